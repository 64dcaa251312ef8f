#pragma once
// The panel suite's rig: an instrument made in the test, its panel built on a headless graphics
// object (images from the bundle this build made) and opened, with lookups of controls by
// parameter or id and mouse actions at their centres.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/platform/headless.h"
#include "editor/quenta.layout.h"
#include "instrument/quenta.h"

namespace quenta_test {

class PanelRig {
 public:
  explicit PanelRig(const char* images = QUENTA_IMG_DIR)
      : mQuenta(static_cast<Quenta*>(MakePlug(IPlugInstanceInfo{}))) {
    mQuenta->EnsureDefaultPreset();
    mGui = new IGraphicsHeadless(mQuenta.get(), qlayout::kPanelWidth, qlayout::kPanelHeight);
    mGui->SetResourceDir(images);
    mQuenta->replaceGraphics(mGui);
    mGui->OpenWindow(nullptr);
  }
  ~PanelRig() { mGui->CloseWindow(); }

  Quenta& q() { return *mQuenta; }
  IGraphicsHeadless& gui() { return *mGui; }

  // The controls whose parameter-index field holds paramOrId; the one such control (failing
  // the test when there is not exactly one).
  std::vector<IControl*> Find(int paramOrId) {
    std::vector<IControl*> found;
    for (int i = 0; i < mGui->NControls(); ++i)
      if (mGui->GetControl(i)->ParamIdx() == paramOrId) found.push_back(mGui->GetControl(i));
    return found;
  }
  IControl* One(int paramOrId) {
    const std::vector<IControl*> found = Find(paramOrId);
    EXPECT_EQ(found.size(), 1u) << "controls of " << paramOrId;
    return found.empty() ? nullptr : found[0];
  }
  template <typename T>
  T* As(int paramOrId) {
    return dynamic_cast<T*>(One(paramOrId));
  }

  void Click(const IRECT& r, bool right = false) {  // at the centre
    const IMouseMod mod(!right, right);
    mGui->OnMouseDown((r.L + r.R) / 2, (r.T + r.B) / 2, mod);
    mGui->OnMouseUp((r.L + r.R) / 2, (r.T + r.B) / 2, mod);
  }
  double Value(int idx) { return mQuenta->GetParam(idx)->Value(); }
  void Set(int idx, double plain) {  // as the editor sets it
    mQuenta->SetParameterFromGUI(idx, mQuenta->GetParam(idx)->GetNormalized(plain));
    mGui->SetParameterFromPlug(idx, plain, false);
  }
  void ChooseOption(const char* text) {  // the options menu's item by its text
    mGui->ScriptMenuText(text);
    Click(One(qlayout::kIdOptions)->GetRECT());
  }
  void RenderFrame() {  // one control frame at 48 kHz
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

 private:
  std::unique_ptr<Quenta> mQuenta;
  IGraphicsHeadless* mGui;  // owned by the instrument
  std::vector<double> mOut[2];
};

}  // namespace quenta_test
