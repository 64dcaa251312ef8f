#include "editor/quenta.controls.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "editor/quenta.commands.h"
#include "editor/quenta.editor.h"
#include "editor/quenta.layout.h"
#include "editor/quenta.text.h"
#include "instrument/labels.h"
#include "instrument/params.h"
#include "instrument/quenta.h"

namespace {

// The Block a parameter belongs to, -1 for a global one.
int blockOf(int paramIdx) {
  return paramIdx >= 0 && paramIdx < kFinal ? paramIdx / kBlockParamCount : -1;
}

IGraphics* guiOf(IPlugBase* pPlug) { return pPlug ? pPlug->GetGUI() : nullptr; }
Quenta* quentaOf(IPlugBase* pPlug) { return static_cast<Quenta*>(pPlug); }

// What the plug-in holds is read under its lock: the host and the audio thread change values,
// programs and names while the editor draws.
std::string displayText(IPlugBase* pPlug, const IParam* pParam, bool withDisplayTexts) {
  if (!pPlug || !pParam) return "";
  WDL_MutexLock lock(pPlug->GetMutex());
  char text[128];
  pParam->GetDisplayForHost(text, sizeof text, withDisplayTexts);
  return text;
}

int intValue(IPlugBase* pPlug, int paramIdx) {
  WDL_MutexLock lock(pPlug->GetMutex());
  const IParam* pParam = pPlug->GetParam(paramIdx);
  return pParam ? pParam->Int() : 0;
}

// The program number and its name, at most maxChars characters.
std::string programName(IPlugBase* pPlug, int idx, int maxChars) {
  WDL_MutexLock lock(pPlug->GetMutex());
  return qtext::firstChars(pPlug->GetPresetName(idx), maxChars);
}

IAFContextMenu* makeContextMenu(bool wanted, IPlugBase* pPlug, const IRECT& rect, int paramIdx) {
  return wanted ? new IAFContextMenu(pPlug, rect, paramIdx) : nullptr;
}

// A right click belongs to the copy-to-Block menu (or does nothing without one): true when the
// click was one.
bool rightClickOpens(IAFContextMenu* pMenu, const IMouseMod& mod) {
  if (!mod.R) return false;
  if (pMenu) pMenu->doPopupMenu();
  return true;
}

}  // namespace

// ---- Copy-to-Block menu ----

IAFContextMenu::IAFContextMenu(IPlugBase* pPlug, const IRECT& rect, int ownerParam)
    : IControl(pPlug, rect, kId), mOwnerParam(ownerParam) {}

bool IAFContextMenu::Draw(IGraphics* pGraphics) {
  return pGraphics->FillIRect(COLOR_TRANSPARENT, mRECT);
}

void IAFContextMenu::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  doPopupMenu();
  SetDirty(false);
}

void IAFContextMenu::doPopupMenu() {
  IGraphics* pGraphics = guiOf(mPlug);
  const int own = blockOf(mOwnerParam);
  if (!pGraphics || own < 0 || !mPlug->GetParam(mOwnerParam)) return;
  IPopupMenu menu;
  for (int b = 0; b < kNumBlocks; ++b)
    menu.AddItem(copyToBlockText(b).c_str(), -1,
                 b == own ? IPopupMenuItem::kDisabled : IPopupMenuItem::kNoFlags);
  IPopupMenu* pChosen = pGraphics->CreateIPopupMenu(&menu, &mRECT);
  if (!pChosen) return;
  const int target =
      mOwnerParam % kBlockParamCount + kBlockParamCount * pChosen->GetChosenItemIdx();
  const double v = mPlug->GetParam(mOwnerParam)->GetNormalized();
  mPlug->SetParameterFromGUI(target, v);
  pGraphics->SetParameterFromPlug(target, v, true);
  Redraw();
}

// ---- Switch and knobs ----

IAFSwitchControl::IAFSwitchControl(IPlugBase* pPlug, int x, int y, int paramIdx,
                                   const IBitmap& bitmap, bool contextMenu,
                                   IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(pPlug, x, y, paramIdx, bitmap, blendMethod),
      mContextMenu(makeContextMenu(contextMenu, pPlug, mRECT, paramIdx)) {}

IAFSwitchControl::~IAFSwitchControl() { delete mContextMenu; }

void IAFSwitchControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
  if (!rightClickOpens(mContextMenu, mod)) ISwitchControl::OnMouseDown(x, y, mod);
}

IAFKnobMultiControl::IAFKnobMultiControl(IPlugBase* pPlug, int x, int y, int paramIdx,
                                         const IBitmap& bitmap, bool contextMenu,
                                         EDirection direction, double gearing)
    : IKnobMultiControl(pPlug, x, y, paramIdx, bitmap, direction, gearing),
      mContextMenu(makeContextMenu(contextMenu, pPlug, mRECT, paramIdx)) {}

IAFKnobMultiControl::~IAFKnobMultiControl() { delete mContextMenu; }

void IAFKnobMultiControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
  if (!rightClickOpens(mContextMenu, mod)) IKnobMultiControl::OnMouseDown(x, y, mod);
}

IAFKnobMultiControlText::IAFKnobMultiControlText(IPlugBase* pPlug, const IRECT& rect, int paramIdx,
                                                 const IBitmap& bitmap, bool contextMenu)
    : IKnobControl(pPlug, IRECT(rect.L, rect.T, rect.R, rect.B + kStripBottom), paramIdx, kVertical,
                   kDefaultGearing),
      mBitmap(bitmap),
      mKnobRECT(rect.L, rect.T, rect.L + bitmap.FrameWidth(), rect.T + bitmap.FrameHeight()),
      mValueRECT(rect.L, mKnobRECT.B + kStripTop, rect.L + bitmap.FrameWidth(),
                 mKnobRECT.B + kStripBottom),
      mContextMenu(makeContextMenu(contextMenu, pPlug, mRECT, paramIdx)) {
  // Amber, opaque: at a quarter opacity the value could not be read on the dark strip.
  mText = IText(10, IColor(255, 255, 160, 0));
  // The strip takes typed values.
  DisablePrompt(false);
}

IAFKnobMultiControlText::~IAFKnobMultiControlText() { delete mContextMenu; }

bool IAFKnobMultiControlText::Draw(IGraphics* pGraphics) {
  pGraphics->DrawBitmap(mBitmap, mKnobRECT, FrameForNormalizedValue(mValue, mBitmap.N), &mBlend);
  const std::string text = displayText(mPlug, GetParam(), true);
  return text.empty() || qtext::drawClipped(pGraphics, &mText, text.c_str(), mValueRECT);
}

void IAFKnobMultiControlText::OnMouseDown(int x, int y, const IMouseMod& mod) {
  if (rightClickOpens(mContextMenu, mod)) return;
  if (mValueRECT.Contains(x, y))
    PromptUserInput(mValueRECT);
  else
    OnMouseDrag(x, y, 0, 0, mod);
}

// ---- Selectors ----

namespace {

struct MenuGroup {
  const char* title;  // null: items at the top level
  int first, last;    // entry range; last -1: to the end
};

// The groups of each menu type, in menu order.
const MenuGroup kGroups[][5] = {
    {{nullptr, 0, -1}},
    {{"000 - 029", 0, 29}, {"030 - 059", 30, 59}, {"060 - 089", 60, 89}, {"090 - 119", 90, -1}},
    {{nullptr, 0, 1}, {"Intern", 2, 13}, {"Extern", 14, 23}, {"MIDI", 24, -1}},
    {{nullptr, 0, 0}, {"Intern", 1, 10}, {"Extern", 11, -1}},
    {{nullptr, 0, 0}, {"4/1 - 1/4", 1, 10}, {"1/8. - 1/64", 11, -1}},
};

}  // namespace

IAFPopUpMenuControl::IAFPopUpMenuControl(IPlugBase* pPlug, int x, int y, int paramIdx,
                                         const IColor* pTextColor, const IBitmap& off,
                                         const IBitmap& on, MenuType type, IAFInfoBubble* pInfo)
    : IControl(pPlug, IRECT(x, y, off), paramIdx),
      mOff(off),
      mOn(on),
      mTextRECT(mRECT.L, mRECT.T + 4, mRECT.R, mRECT.B),
      mType(type),
      mExplainsPatch(type == kModSources || type == kTriggers),
      mInfo(pInfo) {
  mText = IText(11, pTextColor ? *pTextColor : COLOR_BLACK);
  DisablePrompt(true);
  SetMouseDblAsSingleClick(true);
}

std::string IAFPopUpMenuControl::DisplayText() const {
  return displayText(mPlug, GetParam(), mType != kControllers);
}

bool IAFPopUpMenuControl::Draw(IGraphics* pGraphics) {
  pGraphics->FillIRect(COLOR_TRANSPARENT, mTextRECT);
  const std::string text = DisplayText();
  if (text.empty()) return true;
  if (text == "off") return pGraphics->DrawBitmap(mOff, mRECT, 1);
  pGraphics->DrawBitmap(mOn, mRECT, 1);
  return qtext::drawClipped(pGraphics, &mText, text.c_str(), mTextRECT);
}

IPopupMenu* IAFPopUpMenuControl::BuildMenu(int* pFirst, IPopupMenu** pMenus, int maxMenus) const {
  IPopupMenu* pMenu = new IPopupMenu;
  int nMenus = 0;
  auto note = [&](IPopupMenu* m, int first) {
    if (nMenus < maxMenus) {
      pMenus[nMenus] = m;
      pFirst[nMenus] = first;
    }
    ++nMenus;
  };
  note(pMenu, 0);
  const IParam* pParam = GetParam();
  const int n = pParam ? pParam->GetNDisplayTexts() : 0;
  const std::string current = displayText(mPlug, pParam, true);
  for (const MenuGroup& g : kGroups[mType]) {
    // Only the first group goes to the top level: an untitled group after it ends the list.
    if ((!g.title && &g != &kGroups[mType][0]) || g.first >= n) break;
    const int last = g.last < 0 || g.last >= n ? n - 1 : g.last;
    IPopupMenu* pTarget = pMenu;
    if (g.title) {
      pTarget = new IPopupMenu;
      pMenu->AddItem(g.title, pTarget);
      note(pTarget, g.first);
    }
    for (int i = g.first; i <= last; ++i) {
      const char* text = pParam->GetDisplayText(i);
      IPopupMenuItem* pItem = pTarget->AddItem(text);
      pItem->SetChecked(current == text);
    }
  }
  return pMenu;
}

void IAFPopUpMenuControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  IGraphics* pGraphics = guiOf(mPlug);
  IParam* pParam = GetParam();
  if (!pGraphics || !pParam) return;
  enum { kMaxMenus = 8 };
  IPopupMenu* menus[kMaxMenus] = {};
  int first[kMaxMenus] = {};
  std::unique_ptr<IPopupMenu> pMenu(BuildMenu(first, menus, kMaxMenus));
  if (IPopupMenu* pChosen = pGraphics->CreateIPopupMenu(pMenu.get(), &mRECT)) {
    for (int m = 0; m < kMaxMenus; ++m) {
      if (menus[m] != pChosen) continue;
      SetValueFromUserInput(pParam->GetNormalized(first[m] + pChosen->GetChosenItemIdx()));
      break;
    }
  }
  pGraphics->SetAllControlsDirty();
}

void IAFPopUpMenuControl::OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (mExplainsPatch && mInfo) mInfo->setInfo(mParamIdx);
}

// ---- Information panel ----

// One line of the panel: attached for dirty tracking, drawn by the panel (once).
class IAFInfoBubble::Line : public ITextControl {
 public:
  using ITextControl::ITextControl;
  bool Draw(IGraphics* /*pGraphics*/) override { return true; }
};

namespace {

constexpr int kLineDy[IAFInfoBubble::kLines] = {1, 12, 41, 52};

const char* const descModTarget[21] = {
    "SG Frequency",
    "SG Pulse Width",
    "LP Frequency",
    "EM Attack Time",
    "EM Release Trigger",
    "Resonator Peak Frequencies",
    "MG1 Frequency",
    "MG1 Amplitude",
    "Channel VCA Modulation Source",
    "Channel Gate Source",
    "Total VCA Modulation Source",
    "Sample & Hold Input",
    "GEG Trigger 1",
    "GEG Trigger 2",
    "VP1 Input",
    "VP2 Input",
    "LAG 1 Input",
    "LAG 2 Input",
    "Attenuator 1 Input",
    "Attenuator 2 Input",
    "Attenuator 3 Input",
};

enum class Input { Bipolar, Unipolar, Trigger };
enum class Sources { Mod, SHInput, Trigger };
struct Patch {
  int param;   // Block-relative for Block parameters
  int target;  // descModTarget
  Input input;
  Sources sources;
};
const Patch kPatches[] = {
    {kFMSrc, 0, Input::Bipolar, Sources::Mod},
    {kPWMSrc, 1, Input::Bipolar, Sources::Mod},
    {kFCSrc, 2, Input::Bipolar, Sources::Mod},
    {kEMASrc, 3, Input::Bipolar, Sources::Mod},
    {kRfCSrc, 5, Input::Bipolar, Sources::Mod},
    {kMG1FSrc, 6, Input::Bipolar, Sources::Mod},
    {kMG1MSrc, 7, Input::Bipolar, Sources::Mod},
    {kVP1Src, 14, Input::Bipolar, Sources::Mod},
    {kVP2Src, 15, Input::Bipolar, Sources::Mod},
    {kLag1Src, 16, Input::Bipolar, Sources::Mod},
    {kLag2Src, 17, Input::Bipolar, Sources::Mod},
    {kAtn1Src, 18, Input::Bipolar, Sources::Mod},
    {kAtn2Src, 19, Input::Bipolar, Sources::Mod},
    {kAtn3Src, 20, Input::Bipolar, Sources::Mod},
    {kVCAFSrc, 8, Input::Unipolar, Sources::Mod},
    {kChGate, 9, Input::Unipolar, Sources::Mod},
    {kTVCASrc, 10, Input::Unipolar, Sources::Mod},
    {kSHIn, 11, Input::Bipolar, Sources::SHInput},
    {kEMRSrc, 4, Input::Trigger, Sources::Trigger},
    {kGEGSrc1, 12, Input::Trigger, Sources::Trigger},
    {kGEGSrc2, 13, Input::Trigger, Sources::Trigger},
};

const char* inputText(Input in) {
  switch (in) {
    case Input::Bipolar: return "Input: -5 to 5 Volt";
    case Input::Unipolar: return "Input: 0 to 5 Volt";
    case Input::Trigger: return "Input: Trigger";
  }
  return "";
}

template <size_t N>
const char* entry(const char* const (&table)[N], int v) {
  return v >= 0 && v < (int)N ? table[v] : "";
}

}  // namespace

IAFInfoBubble::IAFInfoBubble(IPlugBase* pPlug, int x, int y, int id)
    : IControl(pPlug, IRECT(x, y, x + kWidth, y + kHeight), id) {
  const IText style(12, IColor(128, 255, 255, 255), "Arial");
  for (int i = 0; i < kLines; ++i)
    mLines[i] = new Line(
        pPlug, IRECT(x, y + kLineDy[i], x + kWidth, y + kLineDy[i] + kLineHeight + 1), style);
}

void IAFInfoBubble::attachToGraphics(IGraphics* pGraphics) {
  for (Line* pLine : mLines) pGraphics->AttachControl(pLine);
  pGraphics->AttachControl(this);
  mAttached = true;
}

const char* IAFInfoBubble::GetLine(int i) const {
  return i >= 0 && i < kLines ? mLines[i]->GetTextForPlug() : "";
}

bool IAFInfoBubble::Draw(IGraphics* pGraphics) {
  pGraphics->FillIRect(COLOR_TRANSPARENT, mRECT);
  bool ok = true;
  for (Line* pLine : mLines) {
    // Each line within the panel, so that no text leaves it.
    const IRECT r = pLine->GetRECT().Intersect(mRECT);
    ok = qtext::drawClipped(pGraphics, pLine->GetText(), pLine->GetTextForPlug(), r) && ok;
  }
  return ok;
}

void IAFInfoBubble::setInfo(int paramIdx) {
  IParam* pParam = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
  if (!pParam) return;
  const int r = paramIdx < kFinal ? paramIdx % kBlockParamCount : paramIdx;
  const Patch* pPatch = nullptr;
  for (const Patch& p : kPatches)
    if (p.param == r) pPatch = &p;
  if (!pPatch) return;
  const int v = intValue(mPlug, paramIdx);
  const char* source = pPatch->sources == Sources::Mod       ? entry(descModSource, v)
                       : pPatch->sources == Sources::SHInput ? entry(descInputSource, v)
                                                             : entry(descTriggerSource, v);
  const char* output = entry(outputModSource, v);
  if (pPatch->sources == Sources::Trigger) {
    // A trigger source fires only when it exists: "off" never does, and an external clock only
    // while its clock runs.
    bool active = v > kTrigOff && v < kNumTriggers;
    if (v >= kTrigClk1 && v <= kTrigClk4) active = intValue(mPlug, kClk1Src + (v - kTrigClk1)) != 0;
    output = active ? "Output: Trigger" : "Output: inactive";
  }
  const char* lines[kLines] = {descModTarget[pPatch->target], inputText(pPatch->input), source,
                               output};
  for (int i = 0; i < kLines; ++i) mLines[i]->SetTextFromPlug(lines[i]);
  SetDirty(false);
}

// ---- Program selector ----

IAFPresetMenu::IAFPresetMenu(IPlugBase* pPlug, const IRECT& numberRect, const IRECT& nameRect)
    : IControl(pPlug, numberRect.Union(nameRect)), mNumberRECT(numberRect), mNameRECT(nameRect) {
  mText = IText(15, IColor(160, 255, 255, 255), "Arial");
}

IAFPresetMenu::~IAFPresetMenu() {}

bool IAFPresetMenu::Draw(IGraphics* pGraphics) {
  pGraphics->FillIRect(COLOR_TRANSPARENT, mNumberRECT);
  pGraphics->FillIRect(COLOR_TRANSPARENT, mNameRECT);
  int idx;
  std::string name;
  {
    WDL_MutexLock lock(mPlug->GetMutex());
    idx = mPlug->GetCurrentPresetIdx();
    name = programName(mPlug, idx, kMaxNameChars);
  }
  char number[16];
  std::snprintf(number, sizeof number, "%02d", idx);
  // The line is centred in the field's height as well.
  IRECT measured = mNameRECT;
  pGraphics->MeasureIText(&mText, "0", &measured);
  const int dy = (mNameRECT.H() - measured.H()) / 2;
  const IRECT numberRow(mNumberRECT.L, mNumberRECT.T + dy, mNumberRECT.R, mNumberRECT.B);
  const IRECT nameRow(mNameRECT.L, mNameRECT.T + dy, mNameRECT.R, mNameRECT.B);
  const bool a = qtext::drawClipped(pGraphics, &mText, number, numberRow);
  const bool b = qtext::drawClipped(pGraphics, &mText, name.c_str(), nameRow, true);
  return a && b;
}

void IAFPresetMenu::OnMouseDown(int x, int y, const IMouseMod& /*mod*/) {
  IGraphics* pGraphics = guiOf(mPlug);
  if (!pGraphics) return;
  if (mNameRECT.Contains(x, y)) {
    mRenaming = mPlug->GetCurrentPresetIdx();
    pGraphics->CreateTextEntry(this, mText, mNameRECT,
                               programName(mPlug, mRenaming, IPreset::kNameLen).c_str());
  } else {
    doPopupMenu();
  }
  pGraphics->SetAllControlsDirty();
}

void IAFPresetMenu::TextFromTextEntry(const char* text) {
  const int idx = mRenaming >= 0 ? mRenaming : mPlug->GetCurrentPresetIdx();
  mRenaming = -1;
  quentaOf(mPlug)->renameProgram(idx, qtext::programName(text).c_str());
  mPlug->InformHostOfProgramChange();
  mPlug->DirtyParameters();
  SetDirty(false);
}

void IAFPresetMenu::doPopupMenu() {
  IGraphics* pGraphics = guiOf(mPlug);
  const int n = mPlug->NPresets();
  if (!pGraphics || n < 1) return;
  enum { kPerGroup = 16, kGroups = 4 };
  static const char* const kTitles[kGroups] = {"00 - 15", "16 - 31", "32 - 47", "48 - 63"};
  IPopupMenu menu;
  IPopupMenu* groups[kGroups] = {};
  const int current = mPlug->GetCurrentPresetIdx();
  for (int i = 0; i < n; ++i) {
    const int g = i / kPerGroup < kGroups ? i / kPerGroup : kGroups - 1;
    if (!groups[g]) {
      groups[g] = new IPopupMenu;
      menu.AddItem(kTitles[g], groups[g]);
    }
    char text[16 + 4 * kMaxNameChars];
    std::snprintf(text, sizeof text, "%02u: %s", (unsigned)i,
                  programName(mPlug, i, kMaxNameChars).c_str());
    groups[g]->AddItem(text)->SetChecked(i == current);
  }
  IPopupMenu* pChosen = pGraphics->CreateIPopupMenu(&menu, &mRECT);
  if (!pChosen) return;
  for (int g = 0; g < kGroups; ++g)
    if (groups[g] == pChosen)
      quentaOf(mPlug)->changePreset(kPerGroup * g + pChosen->GetChosenItemIdx());
}

// ---- MIDI learn ----

IAFSwitchMidiLearn::IAFSwitchMidiLearn(IPlugBase* pPlug, int x, int y, const IBitmap& bitmap,
                                       bool learnMode)
    : ISwitchControl(pPlug, x, y, kId, bitmap), mLearnMode(learnMode) {}

void IAFSwitchMidiLearn::OnMouseDown(int x, int y, const IMouseMod& mod) {
  if (mod.R) {
    if (mValue > 0.0) return;
    mLearnMode = !mLearnMode;
    if (IGraphics* pGraphics = guiOf(mPlug))
      SetBitmap(panelBitmap(pGraphics, mLearnMode ? qlayout::kLearn : qlayout::kUnlearn));
    SetDirty(false);
    return;
  }
  ISwitchControl::OnMouseDown(x, y, mod);
  const bool on = mValue > 0.5;
  if (mLearnMode)
    quentaOf(mPlug)->doMidiLearn(on);
  else
    quentaOf(mPlug)->doMidiUnlearn(on);
}

// ---- Push buttons ----

IAFUtilityKick::IAFUtilityKick(IPlugBase* pPlug, int x, int y, int id, const IBitmap& bitmap)
    : IContactControl(pPlug, x, y, id, bitmap) {}

void IAFUtilityKick::OnMouseUp(int x, int y, const IMouseMod& mod) {
  IContactControl::OnMouseUp(x, y, mod);
  Quenta* pQuenta = quentaOf(mPlug);
  const int n = pQuenta->NPresets();
  const int current = pQuenta->GetCurrentPresetIdx();
  switch (mParamIdx) {
    case kPrevious:
      if (n > 0) pQuenta->changePreset(current > 0 ? current - 1 : n - 1);
      break;
    case kNext:
      if (n > 0) pQuenta->changePreset(current + 1 < n ? current + 1 : 0);
      break;
    case kTrigger: pQuenta->fireManualTrigger(); break;
    default: break;
  }
}

// ---- Menu buttons ----

IAFMenuBase::IAFMenuBase(IPlugBase* pPlug, const IRECT& rect, int id) : IControl(pPlug, rect, id) {}

bool IAFMenuBase::Draw(IGraphics* pGraphics) {
  return pGraphics->FillIRect(COLOR_TRANSPARENT, mRECT);
}

void IAFOptionMenu::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (IGraphics* pGraphics = guiOf(mPlug)) doOptionMenu(quentaOf(mPlug), pGraphics);
}

void IAFMicroTuningMenu::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (IGraphics* pGraphics = guiOf(mPlug)) doMicroTuningMenu(quentaOf(mPlug), pGraphics, Block());
}

void IAFUtilMenu::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (IGraphics* pGraphics = guiOf(mPlug)) doUtilMenu(quentaOf(mPlug), pGraphics, Block());
}
