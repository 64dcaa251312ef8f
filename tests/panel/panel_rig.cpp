#include "panel/panel_rig.h"

#include <gtest/gtest.h>

#include "editor/quenta.layout.h"

namespace paneltest {

PanelRig::PanelRig(const char* images)
    : mQuenta(static_cast<Quenta*>(MakePlug(IPlugInstanceInfo{}))) {
  mQuenta->EnsureDefaultPreset();
  mGui = new IGraphicsHeadless(mQuenta.get(), qlayout::kPanelWidth, qlayout::kPanelHeight);
  mGui->SetResourceDir(images);
  mQuenta->replaceGraphics(mGui);
  mGui->OpenWindow(nullptr);
}

std::vector<IControl*> PanelRig::Find(int paramOrId) {
  std::vector<IControl*> found;
  for (int i = 0; i < mGui->NControls(); ++i)
    if (mGui->GetControl(i)->ParamIdx() == paramOrId) found.push_back(mGui->GetControl(i));
  return found;
}

IControl* PanelRig::One(int paramOrId) {
  const std::vector<IControl*> found = Find(paramOrId);
  EXPECT_EQ(found.size(), 1u) << "controls of " << paramOrId;
  return found.empty() ? nullptr : found[0];
}

void PanelRig::Click(const IRECT& r, bool right) {
  const IMouseMod mod(!right, right);
  mGui->OnMouseDown((r.L + r.R) / 2, (r.T + r.B) / 2, mod);
  mGui->OnMouseUp((r.L + r.R) / 2, (r.T + r.B) / 2, mod);
}

void PanelRig::Set(int idx, double plain) {
  mQuenta->SetParameterFromGUI(idx, mQuenta->GetParam(idx)->GetNormalized(plain));
  mGui->SetParameterFromPlug(idx, plain, false);
}

void PanelRig::ChooseOption(const char* text) {
  mGui->ScriptMenuText(text);
  Click(One(qlayout::kIdOptions)->GetRECT());
}

void PanelRig::RenderFrame() {
  if (mQuenta->getSamplesPerFrame() == 0) {
    mQuenta->SetSampleRate(48000.0);
    mQuenta->SetBlockSize(48);
    mQuenta->Reset();
    mQuenta->OnActivate(true);
  }
  const int n = mQuenta->getSamplesPerFrame();
  for (auto& ch : mOut) ch.assign((size_t)n, 0.0);
  double* outs[2] = {mOut[0].data(), mOut[1].data()};
  mQuenta->ProcessDoubleReplacing(nullptr, outs, n);
}

}  // namespace paneltest
