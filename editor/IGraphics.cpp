// The graphics core: attachment, parameter synchronisation, the mailbox, prompts, events and
// the tick. Drawing and the caches are in IGraphics.draw.cpp.
#include "editor/IGraphics.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "editor/GraphicsCaches.h"
#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "editor/ParamMailbox.h"
#include "plugin/IParam.h"
#include "plugin/IPlugBase.h"
#include "render/bitmap.h"

static_assert(std::atomic<std::thread::id>::is_always_lock_free,
              "the user-interface thread check must not lock");

IGraphics::IGraphics(IPlugBase* pPlug, int w, int h, int fps)
    : mPlug(pPlug),
      mWidth(w > 0 ? w : 0),
      mHeight(h > 0 ? h : 0),
      mFPS(fps > 0 ? fps : kDefaultFPS),
      mUIThread(std::this_thread::get_id()),
      mMailbox(new ParamMailbox(pPlug ? pPlug->NParams() : 0)) {}

IGraphics::~IGraphics() {
  delete mKeyCatcher;
  for (int i = mControls.GetSize() - 1; i >= 0; --i) delete mControls.Get(i);
}

// ---- Windows ----

void* IGraphics::OpenWindow(void* pParent) {
  mUIThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  return OSOpenWindow(pParent);
}

void IGraphics::CloseWindow() {
  ReleaseMouseCapture();
  OSCloseWindow();
}

IPopupMenu* IGraphics::CreateIPopupMenu(IPopupMenu* pMenu, const IRECT* pArea) {
  ReleaseMouseCapture();
  if (!pMenu) return nullptr;
  const IRECT area = pArea ? *pArea : IRECT(mMouseX, mMouseY, mMouseX, mMouseY);
  IPopupMenu* pChosen = OSCreatePopupMenu(pMenu, area);
  // Only an item the user could choose, in this menu's own tree, is an answer.
  if (!pChosen || !pMenu->Owns(pChosen)) return nullptr;
  const IPopupMenuItem* pItem = pChosen->GetChosenItem();
  return pItem && pItem->IsChoosable() ? pChosen : nullptr;
}

void IGraphics::CreateTextEntry(IControl* pControl, const IText& text, const IRECT& area,
                                const char* str, IParam* pParam) {
  ReleaseMouseCapture();
  if (!pControl) return;
  OSCreateTextEntry(pControl, text, area, str ? str : "", pParam);
}

void IGraphics::TextEntryEnded(IControl* pControl, IParam* pParam, const char* text) {
  if (!pControl) return;
  if (pParam)
    SetFromStringAfterPrompt(pControl, pParam, text);
  else
    pControl->TextFromTextEntry(text ? text : "");
}

void IGraphics::FilterTextEntry(const IParam* pParam, int maxLen, const char* typed,
                                WDL_String* pOut) {
  if (!pOut) return;
  pOut->Set("");
  if (!typed) return;
  if (!pParam) {
    pOut->Set(typed);
    return;
  }
  const char* allowed = pParam->Type() == IParam::kTypeDouble ? "0123456789.-+" : "0123456789-+";
  char buf[2] = {0, 0};
  for (const char* p = typed; *p && (maxLen < 0 || pOut->GetLength() < maxLen); ++p) {
    if (!std::strchr(allowed, *p)) continue;
    buf[0] = *p;
    pOut->Append(buf);
  }
}

// ---- Attachment ----

void IGraphics::InsertBackground(IControl* pControl) {
  mControls.Insert(0, pControl);
  // Indices moved up by one; nothing may stay captured or hovered under the old ones.
  mMouseCapture = mMouseOver = -1;
}

void IGraphics::AttachBackground(int id, const char* name) {
  IBitmap bitmap = LoadIBitmap(id, name, 1);
  InsertBackground(new IBitmapControl(mPlug, 0, 0, -1, bitmap, IChannelBlend::kBlendCopy));
}

void IGraphics::AttachPanelBackground(const IColor& color) {
  InsertBackground(new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color));
}

int IGraphics::AttachControl(IControl* pControl) {
  if (!pControl) return -1;
  mControls.Add(pControl);
  return mControls.GetSize() - 1;
}

void IGraphics::AttachKeyCatcher(IControl* pControl) {
  if (pControl == mKeyCatcher) return;
  delete mKeyCatcher;
  mKeyCatcher = pControl;
}

IBitmap IGraphics::LoadIBitmap(int id, const char* name, int nFrames, bool framesAreHorizontal) {
  BitmapStorage& storage = BitmapStorage::Get();
  LICE_IBitmap* pImage = storage.Find(id);
  if (!pImage) {
    // Decoded without the cache's lock: decoding is slow and the platform's business.
    pImage = storage.Add(id, OSLoadBitmap(id, name));
  }
  IBitmap bitmap(nullptr, 0, 0, nFrames, framesAreHorizontal);
  if (!pImage || nFrames < 1) return bitmap;
  const int w = pImage->getWidth(), h = pImage->getHeight();
  // Every frame must be the same whole number of pixels long.
  if ((framesAreHorizontal ? w : h) % nFrames != 0) return bitmap;
  return IBitmap(pImage, w, h, nFrames, framesAreHorizontal);
}

void IGraphics::RetainBitmap(const IBitmap& bitmap) { BitmapStorage::Get().Retain(bitmap.mData); }

void IGraphics::ReleaseBitmap(const IBitmap& bitmap) { BitmapStorage::Get().Release(bitmap.mData); }

int IGraphics::NControls() const { return mControls.GetSize(); }

IControl* IGraphics::GetControl(int idx) const { return mControls.Get(idx); }

int IGraphics::GetControlIdx(const IControl* pControl) const { return mControls.Find(pControl); }

void IGraphics::HideControl(int paramIdx, bool hide) {
  for (int i = 0; i < NControls(); ++i)
    if (GetControl(i)->ParamIdx() == paramIdx) GetControl(i)->Hide(hide);
}

void IGraphics::GrayOutControl(int paramIdx, bool gray) {
  for (int i = 0; i < NControls(); ++i)
    if (GetControl(i)->ParamIdx() == paramIdx) GetControl(i)->GrayOut(gray);
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized) {
  if (!normalized) {
    const IParam* pParam = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!pParam) return;
    lo = pParam->GetNormalized(lo);
    hi = pParam->GetNormalized(hi);
  }
  for (int i = 0; i < NControls(); ++i)
    if (GetControl(i)->ParamIdx() == paramIdx) GetControl(i)->Clamp(lo, hi);
}

void IGraphics::AssignParamNameToolTips() {
  for (int i = 0; i < NControls(); ++i) {
    IControl* pControl = GetControl(i);
    if (const IParam* pParam = pControl->GetParam()) pControl->SetTooltip(pParam->GetNameForHost());
  }
}

void IGraphics::SetStrictDrawing(bool strict) {
  mStrict = strict;
  SetAllControlsDirty();
}

// ---- Parameters and controls from the plug-in ----

bool IGraphics::OnUIThread() const {
  return mUIThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  if (!normalized) {
    const IParam* pParam = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!pParam || std::isnan(value)) return;
    value = pParam->GetNormalized(value);
  }
  if (std::isnan(value)) return;
  if (value < 0.0) value = 0.0;
  if (value > 1.0) value = 1.0;
  if (OnUIThread()) {
    mMailbox->Drop(paramIdx);  // what is older than this must not overwrite it later
    ApplyParameter(paramIdx, value);
  } else {
    mMailbox->Post(paramIdx, value);
  }
}

void IGraphics::ApplyParameter(int paramIdx, double value) {
  for (int i = 0; i < NControls(); ++i) {
    IControl* pControl = GetControl(i);
    if (pControl->ParamIdx() == paramIdx) pControl->SetValueFromPlug(value);
    const int slot = pControl->AuxParamIdx(paramIdx);
    if (slot >= 0) pControl->SetAuxParamValueFromPlug(slot, value);
  }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue) {
  // The list is complete before any other thread can call: it is built with the instrument.
  SetControlFromPlug(GetControl(controlIdx), normalizedValue);
}

void IGraphics::SetControlFromPlug(IControl* pControl, double normalizedValue) {
  if (!pControl || std::isnan(normalizedValue)) return;
  if (OnUIThread()) {
    pControl->SetValueFromPlug(normalizedValue);
    return;
  }
  pControl->mPostedValue.store(normalizedValue, std::memory_order_relaxed);
  PostToControl(pControl, IControl::kPostedValue);
}

void IGraphics::HideControlFromPlug(IControl* pControl, bool hide) {
  if (!pControl) return;
  if (OnUIThread()) {
    pControl->Hide(hide);
    return;
  }
  pControl->mPostedHide.store(hide, std::memory_order_relaxed);
  PostToControl(pControl, IControl::kPostedVisibility);
}

void IGraphics::RedrawControlFromPlug(IControl* pControl) {
  if (!pControl) return;
  if (OnUIThread()) {
    pControl->SetDirty(false);
    return;
  }
  PostToControl(pControl, IControl::kPostedRedraw);
}

void IGraphics::PostToControl(IControl* pControl, unsigned flag) {
  pControl->mPostedFlags.fetch_or(flag, std::memory_order_release);
  mControlsPosted.store(true, std::memory_order_release);
}

void IGraphics::SetAllControlsDirty() {
  if (!OnUIThread()) {
    mAllDirtyPosted.store(true, std::memory_order_release);
    return;
  }
  for (int i = 0; i < NControls(); ++i) GetControl(i)->SetDirty(false);
}

void IGraphics::ApplyPosted() {
  mMailbox->Drain([this](int idx, double value) { ApplyParameter(idx, value); });
  if (mControlsPosted.exchange(false, std::memory_order_acquire)) {
    for (int i = 0; i < NControls(); ++i) {
      IControl* pControl = GetControl(i);
      const unsigned flags = pControl->mPostedFlags.exchange(0, std::memory_order_acquire);
      if (flags & IControl::kPostedValue)
        pControl->SetValueFromPlug(pControl->mPostedValue.load(std::memory_order_relaxed));
      if (flags & IControl::kPostedVisibility)
        pControl->Hide(pControl->mPostedHide.load(std::memory_order_relaxed));
      if (flags & IControl::kPostedRedraw) pControl->SetDirty(false);
    }
  }
  if (mAllDirtyPosted.exchange(false, std::memory_order_acquire)) SetAllControlsDirty();
}

// ---- Parameters from the user ----

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue) {
  for (int i = 0; i < NControls(); ++i)
    if (GetControl(i)->ParamIdx() == paramIdx)
      GetControl(i)->SetValueFromUserInput(normalizedValue);
}

void IGraphics::PromptUserInput(IControl* pControl, IParam* pParam, const IRECT* pR) {
  if (!pControl || !pParam || !pR) return;
  const int nTexts = pParam->GetNDisplayTexts();
  const IParam::EParamType type = pParam->Type();
  char current[IParam::kTextLen];
  if (type == IParam::kTypeEnum || (type == IParam::kTypeBool && nTexts)) {
    pParam->GetDisplayForHost(current, (int)sizeof(current), true);
    IPopupMenu menu;
    for (int i = 0; i < nTexts; ++i) {
      const char* text = pParam->GetDisplayTextAtIdx(i);
      menu.AddItem(text)->SetChecked(std::strcmp(text, current) == 0);
    }
    if (CreateIPopupMenu(&menu, pR) == &menu) {
      int value = 0;
      pParam->GetDisplayTextAtIdx(menu.GetChosenItemIdx(), &value);
      pControl->SetValueFromUserInput(pParam->GetNormalized((double)value));
    }
    return;
  }
  pParam->GetDisplayForHost(current, (int)sizeof(current), false);
  CreateTextEntry(pControl, *pControl->GetText(), *pR, current, pParam);
}

void IGraphics::SetFromStringAfterPrompt(IControl* pControl, IParam* pParam, const char* text) {
  if (!pControl || !pParam || !text) return;
  double v;
  const IParam::EParamType type = pParam->Type();
  if (type == IParam::kTypeEnum || type == IParam::kTypeBool) {
    int vi = 0;
    if (!pParam->MapDisplayText(text, &vi)) return;  // no such entry: nothing changes
    v = vi;
  } else {
    v = std::atof(text);
    if (std::isnan(v)) return;
    if (pParam->GetNegateDisplay()) v = -v;
  }
  pControl->SetValueFromUserInput(pParam->GetNormalized(v));
}

// ---- Events ----

int IGraphics::FindControl(int x, int y, bool mouseOver) const {
  if (mMouseCapture >= 0) return mMouseCapture;
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl* pControl = GetControl(i);
    if (pControl->IsHidden()) continue;
    if (pControl->IsGrayed() && !(mouseOver && pControl->GetMOWhenGrayed())) continue;
    if (pControl->IsHit(x, y)) return i;
  }
  return -1;
}

void IGraphics::EndParamEdit() {
  const int param = mEditParam;
  mEditParam = -1;
  if (param >= 0 && mPlug) mPlug->EndInformHostOfParamChange(param);
}

void IGraphics::ReleaseMouseCapture() {
  mMouseCapture = -1;
  EndParamEdit();
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod) {
  ReleaseMouseCapture();
  const int c = FindControl(x, y, false);
  if (c < 0) return;
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  IControl* pControl = GetControl(c);
  const int param = pControl->ParamIdx();
  if (mPlug && param >= 0 && param < mPlug->NParams()) {
    mEditParam = param;
    mPlug->BeginInformHostOfParamChange(param);
  }
  pControl->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod) {
  const int c = FindControl(x, y, false);
  mMouseCapture = -1;
  if (IControl* pControl = GetControl(c)) pControl->OnMouseUp(x, y, mod);
  EndParamEdit();
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod) {
  IControl* pControl = GetControl(mMouseCapture);
  if (!pControl) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  if (dX == 0 && dY == 0) return;
  mMouseX = x;
  mMouseY = y;
  pControl->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod) {
  ReleaseMouseCapture();
  const int c = FindControl(x, y, false);
  IControl* pControl = GetControl(c);
  if (!pControl) return;
  if (!pControl->GetMouseDblAsSingleClick()) {
    pControl->OnMouseDblClick(x, y, mod);
    return;
  }
  // A second mouse down, without a Begin of its own; so no End will be due for it either.
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  pControl->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int d) {
  if (IControl* pControl = GetControl(FindControl(x, y, false)))
    pControl->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod) {
  if (!mHandleMouseOver) return false;
  const int c = FindControl(x, y, true);
  IControl* pControl = GetControl(c);
  if (!pControl) return false;
  mMouseX = x;
  mMouseY = y;
  pControl->OnMouseOver(x, y, mod);
  if (mMouseOver >= 0 && mMouseOver != c)
    if (IControl* pPrevious = GetControl(mMouseOver)) pPrevious->OnMouseOut();
  mMouseOver = c;
  return true;
}

void IGraphics::OnMouseOut() {
  for (int i = 0; i < NControls(); ++i) GetControl(i)->OnMouseOut();
  mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  // The background never takes keys: over it (or captured by it) they go to the key catcher.
  const int c = FindControl(x, y, false);
  if (c > 0) return GetControl(c)->OnKeyDown(x, y, key);
  return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y) {
  const int c = FindControl(x, y, false);
  mLastClickedParam = c > 0 ? GetControl(c)->ParamIdx() : -1;
  return mLastClickedParam;
}

int IGraphics::GetLastClickedParamForPTAutomation() {
  const int param = mLastClickedParam;
  mLastClickedParam = -1;
  return param;
}

// ---- The tick ----

bool IGraphics::IsDirty(IRECT* pR) {
  mUIThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  ApplyPosted();
  IRECT dirty;
  const IRECT surface = SurfaceRECT();
  for (int i = 0; i < NControls(); ++i) {
    IControl* pControl = GetControl(i);
    if (!pControl->IsDirty()) continue;
    const IRECT visible = pControl->GetRECT().Intersect(surface);
    // Nothing of it shows: there is nothing to repaint for it.
    if (!visible.HasArea())
      pControl->SetClean();
    else
      dirty = dirty.Union(visible);
  }
  if (pR) *pR = dirty;
  if (!dirty.Empty()) {
    mIdleTicks = 0;
    return true;
  }
  if (mIdleTicks++ >= kIdleTicks - 1) {
    mIdleTicks = 0;
    OnGUIIdle();
  }
  return false;
}

void IGraphics::Tick() {
  IRECT r;
  if (IsDirty(&r)) Draw(r);
}

void IGraphics::OnGUIIdle() {
  if (mPlug) mPlug->OnIdle();
}
