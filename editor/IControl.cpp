#include "editor/IControl.h"

#include <cmath>
#include <cstring>

#include "editor/IGraphics.h"
#include "plugin/IParam.h"
#include "plugin/IPlugBase.h"

IControl::IControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx,
                   IChannelBlend::EBlendMethod blendMethod)
    : mPlug(pPlug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blendMethod) {}

IParam* IControl::GetParam() const {
  return mPlug && mParamIdx >= 0 ? mPlug->GetParam(mParamIdx) : nullptr;
}

void IControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& mod) {
  if (mod.R) PromptUserInput();
}

void IControl::OnMouseDblClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IControl::SetValueFromPlug(double value) {
  if (std::isnan(value)) return;
  if (mDefaultValue < 0.0) {
    mValue = mDefaultValue = value;
    SetDirty(false);
  } else if (value != mValue) {
    mValue = value;
    SetDirty(false);
    Redraw();
  }
}

void IControl::SetValueFromUserInput(double value) {
  if (std::isnan(value) || value == mValue) return;
  mValue = value;
  SetDirty(true);
  Redraw();
}

void IControl::Hide(bool hide) {
  mHide = hide;
  Redraw();
  SetDirty(false);
}

void IControl::GrayOut(bool gray) {
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

void IControl::Clamp(double lo, double hi) {
  if (std::isnan(lo) || std::isnan(hi)) return;
  mClampLo = lo;
  mClampHi = hi;
  mClamped = true;
}

void IControl::PushToPlug(double value) {
  if (mPlug && mParamIdx >= 0 && mParamIdx < mPlug->NParams())
    mPlug->SetParameterFromGUI(mParamIdx, value);
}

void IControl::SetDirty(bool pushParamToPlug) {
  // A value a subclass left as NaN is never sent: it falls to the lower bound, unsent.
  if (std::isnan(mValue)) {
    mValue = mClampLo;
    pushParamToPlug = false;
  }
  if (mValue < mClampLo) mValue = mClampLo;
  if (mValue > mClampHi) mValue = mClampHi;
  mDirty = true;
  if (pushParamToPlug) PushToPlug(mValue);
  const IParam* pParam = GetParam();
  if (!pParam || (!mValDisplayControl && !mNameDisplayControl)) return;
  // The label depends on the parameter's value, which the audio thread may be setting.
  WDL_MutexLock lock(mPlug->GetMutex());
  if (mValDisplayControl) {
    // The value this control shows: the parameter itself may not have been set yet (hosts
    // and the framework update the editor before or after the parameter).
    char display[IParam::kTextLen];
    pParam->GetDisplayForHost(mValue, true, display, (int)sizeof(display), true);
    WDL_String text(display);
    text.Append(" ");
    text.Append(pParam->GetLabelForHost());
    mValDisplayControl->SetTextFromPlug(text.Get());
  }
  if (mNameDisplayControl) mNameDisplayControl->SetTextFromPlug(pParam->GetNameForHost());
}

void IControl::SetClean() {
  mDirty = mRedraw;
  mRedraw = false;
}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double value) {
  AuxParam* pAux = GetAuxParam(auxParamIdx);
  if (!pAux || std::isnan(value)) return;
  pAux->mValue = value;
  SetDirty(false);
}

int IControl::AuxParamIdx(int paramIdx) const {
  for (size_t i = 0; i < mAuxParams.size(); ++i)
    if (mAuxParams[i].mParamIdx == paramIdx) return (int)i;
  return -1;
}

IControl::AuxParam* IControl::GetAuxParam(int slot) {
  return slot >= 0 && slot < NAuxParams() ? &mAuxParams[(size_t)slot] : nullptr;
}

void IControl::SetAllAuxParamsFromGUI() {
  if (!mPlug) return;
  for (const AuxParam& aux : mAuxParams)
    if (aux.mParamIdx >= 0 && aux.mParamIdx < mPlug->NParams() && !std::isnan(aux.mValue))
      mPlug->SetParameterFromGUI(aux.mParamIdx, aux.mValue);
}

void IControl::PromptUserInput() {
  IParam* pParam = GetParam();
  if (!pParam || mDisablePrompt) return;
  if (pParam->GetNDisplayTexts()) {
    PromptUserInput(mRECT);
    return;
  }
  // A 40 x 16 field centred on the control.
  const int cx = (int)(0.5f * (float)(mRECT.L + mRECT.R));
  const int cy = (int)(0.5f * (float)(mRECT.T + mRECT.B));
  PromptUserInput(IRECT(cx - 20, cy - 8, cx + 20, cy + 8));
}

void IControl::PromptUserInput(const IRECT& r) {
  IParam* pParam = GetParam();
  if (!pParam || mDisablePrompt || !mPlug) return;
  if (IGraphics* pGraphics = mPlug->GetGUI()) {
    IRECT area = r;
    pGraphics->PromptUserInput(this, pParam, &area);
  }
  Redraw();
}

// ---- Standard controls ----

int FrameForNormalizedValue(double value, int nFrames) {
  if (nFrames < 2 || !(value > 0.0)) return 1;  // also NaN
  const int frame = (int)(0.5 + value * (nFrames - 1)) + 1;
  return frame > nFrames ? nFrames : frame;
}

IBitmapControl::IBitmapControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(pPlug, IRECT(x, y, bitmap), paramIdx, blendMethod), mBitmap(bitmap) {}

int IBitmapControl::FrameForValue() const { return FrameForNormalizedValue(mValue, mBitmap.N); }

bool IBitmapControl::Draw(IGraphics* pGraphics) {
  return pGraphics->DrawBitmap(mBitmap, mRECT, FrameForValue(), &mBlend);
}

void IBitmapControl::SetBitmap(const IBitmap& bitmap) {
  mBitmap = bitmap;
  Redraw();
  SetDirty(false);
}

void ISwitchControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  const int n = mBitmap.N;
  mValue += n < 2 ? 1.0 : 1.0 / (n - 1);
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void IContactControl::OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  mValue = 0.0;
  SetDirty(true);
}

IKnobControl::IKnobControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, EDirection direction,
                           double gearing)
    : IControl(pPlug, rect, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControl::OnMouseDrag(int /*x*/, int /*y*/, int dX, int dY, const IMouseMod& mod) {
  double gearing = mGearing;
  if (mod.C || mod.S) gearing *= 10.0;
  const int span = mDirection == kVertical ? mRECT.T - mRECT.B : mRECT.R - mRECT.L;
  // A knob without extent or gearing cannot be turned (and must not divide by zero).
  if (span == 0 || gearing == 0.0 || !std::isfinite(gearing)) return;
  const double d = mDirection == kVertical ? dY : dX;
  mValue += d / span / gearing;
  SetDirty(true);
}

void IKnobControl::OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& mod, int d) {
  mValue += (mod.C || mod.S ? 0.001 : 0.01) * d;
  SetDirty(true);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* pPlug, int x, int y, int paramIdx,
                                     const IBitmap& bitmap, EDirection direction, double gearing)
    : IKnobControl(pPlug, IRECT(x, y, bitmap), paramIdx, direction, gearing), mBitmap(bitmap) {}

bool IKnobMultiControl::Draw(IGraphics* pGraphics) {
  return pGraphics->DrawBitmap(mBitmap, mRECT, FrameForNormalizedValue(mValue, mBitmap.N), &mBlend);
}

ITextControl::ITextControl(IPlugBase* pPlug, const IRECT& rect, const IText& text, const char* str)
    : IControl(pPlug, rect), mStr(str) {
  mText = text;
}

bool ITextControl::Draw(IGraphics* pGraphics) {
  if (!mStr.GetLength()) return true;
  IRECT r = mRECT;
  return pGraphics->DrawIText(&mText, mStr.Get(), &r);
}

void ITextControl::SetTextFromPlug(const char* str) {
  if (!str) str = "";
  if (std::strcmp(str, mStr.Get()) == 0) return;
  mStr.Set(str);
  SetDirty(false);
}

IPanelControl::IPanelControl(IPlugBase* pPlug, const IRECT& rect, const IColor& color)
    : IControl(pPlug, rect), mColor(color) {}

bool IPanelControl::Draw(IGraphics* pGraphics) {
  return pGraphics->FillIRect(mColor, mRECT, &mBlend);
}
