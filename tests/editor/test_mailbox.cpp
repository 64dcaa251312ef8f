// Values and requests from other threads wait in the mailbox for the next tick on the
// user-interface thread; on that thread they act at once. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "editor_rig.h"

namespace {

using quenta_test::Rig;

class Mailbox : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.gfx->AttachPanelBackground(COLOR_BLACK);
    knob = new IKnobMultiControl(&rig.plug, 0, 0, quenta_test::kParamGain, rig.Strip(10, 10, 4));
    mode = new IKnobMultiControl(&rig.plug, 20, 0, quenta_test::kParamMode, rig.Strip(10, 10, 4));
    lamp = new IBitmapControl(&rig.plug, 40, 0, rig.Strip(4, 4, 1));
    learn = new ISwitchControl(&rig.plug, 60, 0, -235, rig.Strip(10, 10, 2));
    for (IControl* p : {(IControl*)knob, (IControl*)mode, (IControl*)lamp, (IControl*)learn})
      rig.gfx->AttachControl(p);
    lamp->Hide(true);
    rig.Attach();
    rig.gfx->Tick();
    rig.gfx->Tick();
  }

  Rig rig;
  IKnobMultiControl *knob, *mode;
  IBitmapControl* lamp;
  ISwitchControl* learn;
};

TEST_F(Mailbox, OtherThreadsWaitForTheNextTick) {
  rig.gfx->SetControlFromPlug(learn, 1.0);  // on the user-interface thread: at once
  EXPECT_EQ(learn->GetValue(), 1.0);
  // (Lamps and the learn switch from other threads show in the panel's lamp tests.)
  std::thread([this] {
    rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, 0.8, true);
    rig.gfx->SetParameterFromPlug(quenta_test::kParamMode, 3.0, false);
  }).join();
  EXPECT_EQ(knob->GetValue(), 0.5);
  EXPECT_NEAR(mode->GetValue(), 1.0 / 3, 1e-12);
  EXPECT_FALSE(knob->IsDirty());

  IRECT r;
  EXPECT_TRUE(rig.gfx->IsDirty(&r));
  EXPECT_EQ(knob->GetValue(), 0.8);
  EXPECT_EQ(mode->GetValue(), 1.0);
  EXPECT_EQ(r, IRECT(0, 0, 70, 10));
  EXPECT_EQ(rig.plug.TakeLog(), "") << "values from the plug-in are not sent back";

  // Redraw requests and "all dirty" wait too.
  rig.gfx->Tick();
  rig.gfx->Tick();
  std::thread([this] { rig.gfx->RedrawControlFromPlug(learn); }).join();
  EXPECT_FALSE(learn->IsDirty());
  EXPECT_TRUE(rig.gfx->IsDirty(&r));
  EXPECT_EQ(r, learn->GetRECT());
  rig.gfx->Tick();
  std::thread([this] { rig.gfx->SetAllControlsDirty(); }).join();
  EXPECT_FALSE(knob->IsDirty());
  EXPECT_TRUE(rig.gfx->IsDirty(&r));
  EXPECT_EQ(r, IRECT(0, 0, 200, 100));
}

// The latest posted value wins, NaN is ignored, nothing is applied twice, and a value set on
// the user-interface thread outranks an older post.
TEST_F(Mailbox, TheLatestValueWinsAndNothingIsAppliedTwice) {
  std::thread([this] {
    for (double v : {0.1, 0.2, 0.3})
      rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, v, true);
    rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, std::nan(""), true);
  }).join();
  rig.gfx->Tick();
  EXPECT_EQ(knob->GetValue(), 0.3);
  knob->SetValueFromUserInput(0.6);
  rig.gfx->Tick();
  EXPECT_EQ(knob->GetValue(), 0.6);
  std::thread([this] { rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, 0.2, true); }).join();
  rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, 0.7, true);
  rig.gfx->Tick();
  EXPECT_EQ(knob->GetValue(), 0.7);
}

// Posting while the user-interface thread ticks: no race, no lost final value.
TEST_F(Mailbox, ConcurrentPostsAndTicksSettleOnTheLastValues) {
  std::atomic<bool> done{false};
  std::thread poster([&] {
    for (int i = 1; i <= 20000; ++i) {
      rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, i / 20000.0, true);
      rig.gfx->SetParameterFromPlug(quenta_test::kParamMode, (double)(i % 4), false);
      rig.gfx->HideControlFromPlug(lamp, i % 2 != 0);
      rig.gfx->SetControlFromPlug(learn, i % 3 == 0 ? 1.0 : 0.0);
    }
    done = true;
  });
  while (!done) rig.gfx->Tick();
  poster.join();
  rig.gfx->Tick();
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(mode->GetValue(), 0.0);
  EXPECT_FALSE(lamp->IsHidden());
  EXPECT_EQ(learn->GetValue(), 0.0);
}

}  // namespace
