// The lamps follow the engine from the instrument's idle call; changes made on other threads
// (activation, the end of MIDI learn) reach the panel at the next tick (also under TSan).
#include <gtest/gtest.h>

#include <thread>

#include "editor/quenta.controls.h"
#include "panel/panel_rig.h"

namespace {

using paneltest::PanelRig;

TEST(Lamps, FollowTheEngineWhileTheWindowIsOpen) {
  PanelRig rig;
  rig.Set(kMG1Freq, 40.0);                       // Block A's MG1: 25 ms per cycle
  rig.Set(BlockParam(kBlockB, kMG2Freq), 10.0);  // Block B's MG2
  Quenta::EditorControls& panel = rig.q().editorControls();
  EXPECT_TRUE(panel.activeLed->IsHidden()) << "dark until the instrument lights them";
  for (IControl* pLed : panel.leds) EXPECT_TRUE(pLed->IsHidden());
  int onOff[2] = {0, 0};
  for (int frame = 0; frame < 200; ++frame) {
    rig.RenderFrame();
    rig.q().OnIdle();
    bool states[Quenta::kNumLeds];
    rig.q().computeLedStates(states);
    for (int i = 0; i < Quenta::kNumLeds; ++i)
      ASSERT_EQ(panel.leds[i]->IsHidden(), !states[i]) << i << " " << frame;
    ++onOff[states[0]];
  }
  EXPECT_GT(onOff[0], 50);
  EXPECT_GT(onOff[1], 50);
}

TEST(Lamps, ChangesFromOtherThreadsShowAtTheNextTick) {
  PanelRig rig;
  IControl* pActive = rig.q().editorControls().activeLed;
  IRECT dirty;
  std::thread([&] { rig.q().OnActivate(true); }).join();
  EXPECT_TRUE(pActive->IsHidden()) << "applied on the editor's thread only";
  rig.gui().IsDirty(&dirty);
  EXPECT_FALSE(pActive->IsHidden());

  // Learning ends on the audio thread when a controller arrives: the switch goes off at the
  // next tick.
  IControl* pLearn = rig.One(IAFSwitchMidiLearn::kId);
  rig.Click(pLearn->GetRECT());
  rig.Set(kFinal, 0.5);
  std::thread([&] { rig.q().setMidiLearnCC(12); }).join();
  EXPECT_EQ(pLearn->GetValue(), 1.0);
  rig.gui().IsDirty(&dirty);
  EXPECT_EQ(pLearn->GetValue(), 0.0);
}

}  // namespace
