// The instrument's controls through the headless back end, and its lamps.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "editor/IPopupMenu.h"
#include "editor/quenta.controls.h"
#include "panel/panel_rig.h"

namespace {

using quenta_test::PanelRig;

TEST(Controls, ProgramButtonsWrapAtTheNumberOfPrograms) {
  PanelRig rig;
  ASSERT_EQ(rig.q().NPresets(), 64);
  const struct {
    int id, from, to;
  } cases[] = {{IAFUtilityKick::kPrevious, 0, 63},
               {IAFUtilityKick::kNext, 63, 0},
               {IAFUtilityKick::kPrevious, 10, 9},
               {IAFUtilityKick::kNext, 10, 11}};
  for (const auto& c : cases) {
    rig.q().changePreset(c.from);
    rig.Click(rig.One(c.id)->GetRECT());
    EXPECT_EQ(rig.q().GetCurrentPresetIdx(), c.to) << c.id << " from " << c.from;
    EXPECT_EQ(rig.One(c.id)->GetValue(), 0.0) << "the button springs back";
  }
}

TEST(Controls, ProgramMenuAndName) {
  PanelRig rig;
  auto* pProgram = dynamic_cast<IAFPresetMenu*>(rig.gui().GetControl(1));
  ASSERT_NE(pProgram, nullptr);
  // The menu: four groups of sixteen; a choice in the second group at position 2 is program 18.
  rig.gui().ScriptMenuChoice({1, 2});
  rig.Click(pProgram->GetNumberRECT());
  EXPECT_EQ(rig.q().GetCurrentPresetIdx(), 18);
  const auto& shown = rig.gui().Menus().back().items;
  ASSERT_EQ(shown.size(), 4u + 64u);
  EXPECT_EQ(shown[0].text, "00 - 15");
  EXPECT_EQ(shown[1].text.substr(0, 4), "00: ");

  // The typed name, control characters made spaces.
  rig.q().changePreset(3);
  const std::string before = rig.q().GetPresetName(3);
  rig.gui().ScriptTextEntry("Night\tPad");
  rig.Click(pProgram->GetNameRECT());
  ASSERT_EQ(rig.gui().TextEntries().size(), 1u);
  EXPECT_EQ(rig.gui().TextEntries()[0].initial, before);
  EXPECT_STREQ(rig.q().GetPresetName(3), "Night Pad");
  // A field opened on program 3 and ended after the host moved to program 4 renames 3.
  const std::string other = rig.q().GetPresetName(4);
  rig.gui().ScriptTextEntryCancel();
  rig.Click(pProgram->GetNameRECT());
  rig.q().changePreset(4);
  pProgram->TextFromTextEntry("Late Name");
  EXPECT_STREQ(rig.q().GetPresetName(3), "Late Name");
  EXPECT_EQ(rig.q().GetPresetName(4), other);
  EXPECT_EQ(rig.q().GetCurrentPresetIdx(), 4);
  // Renamed in its state too: going back to it keeps the name.
  rig.q().changePreset(3);
  EXPECT_STREQ(rig.q().GetPresetName(3), "Late Name");

  // Long names keep 255 bytes, cut between characters.
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "\xC3\xA9";  // 300 bytes of two-byte characters
  pProgram->TextFromTextEntry(longName.c_str());
  EXPECT_EQ(std::string(rig.q().GetPresetName(3)), longName.substr(0, 254));
}

TEST(Controls, ManualTriggerFiresOnceAndLeavesTheControllerAlone) {
  PanelRig rig;
  rig.Set(kTrg1Src, 20);  // external trigger 1 follows controller 20
  rig.RenderFrame();
  const bool* pTrigger = rig.q().getTrigger(kTrigTrg1);
  ASSERT_NE(pTrigger, nullptr);
  rig.Click(rig.One(IAFUtilityKick::kTrigger)->GetRECT());
  rig.RenderFrame();
  EXPECT_TRUE(*pTrigger) << "the press fires trigger 1";
  rig.RenderFrame();
  EXPECT_FALSE(*pTrigger) << "once";
  // The controller still triggers on its next press.
  IMidiMsg press(0, 0xB0, 20, 127);
  rig.q().ProcessMidiMsg(&press);
  rig.RenderFrame();
  EXPECT_TRUE(*pTrigger);
}

TEST(Controls, SelectorMenusByType) {
  PanelRig rig;
  const struct {
    int param;
    std::vector<int> path;  // the choice: positions at the top, then in the submenu
    double value;
  } cases[] = {
      {kFMSrc, {3, 2}, 16},                        // mod sources: third of "Extern"
      {kFMSrc, {1}, 1},                            // "+5V" at the top
      {kEMRSrc, {1, 0}, 1},                        // triggers: first of "Intern"
      {kGEGSrc2, {2, 3}, 14},                      // triggers: fourth of "Extern"
      {kMG1Host, {2, 9}, 20},                      // rates: last of the short ones
      {kVC3Src, {2, 4}, 64},                       // controllers: "060 - 089", fifth
      {BlockParam(kBlockC, kChGate), {4, 7}, 31},  // "MIDI", eighth
  };
  for (const auto& c : cases) {
    rig.gui().ScriptMenuChoice(c.path);
    rig.Click(rig.One(c.param)->GetRECT());
    EXPECT_DOUBLE_EQ(rig.Value(c.param), c.value) << "parameter " << c.param;
  }
  // The current entry is checked; a dismissed menu changes nothing.
  rig.gui().ScriptMenuDismiss();
  rig.Click(rig.One(kVC3Src)->GetRECT());
  bool checked = false;
  for (const auto& item : rig.gui().Menus().back().items)
    if (item.flags & IPopupMenuItem::kChecked) checked = item.text == "064    Sustain Pedal On/Off";
  EXPECT_TRUE(checked);
  EXPECT_DOUBLE_EQ(rig.Value(kVC3Src), 64);
}

TEST(Controls, InformationPanelExplainsThePatchHovered) {
  PanelRig rig;
  auto* pInfo = rig.As<IAFInfoBubble>(IAFInfoBubble::kId);
  const struct {
    int param;
    double value;
    int clock;          // "Clk n Src" of the external clock hovered (-1: none set)
    const char* lines;  // the four lines, joined by "|"
  } cases[] = {
      {BlockParam(kBlockB, kFCSrc), 5, -1,
       "LP Frequency|Input: -5 to 5 Volt|Modulation Generator 1 A|Output: -5 to 5 Volt"},
      {kTVCASrc, 3, -1,
       "Total VCA Modulation Source|Input: 0 to 5 Volt|General Envelope (positive)|"
       "Output: -5 to 0 Volt"},
      {kSHIn, 11, -1, "Sample & Hold Input|Input: -5 to 5 Volt|White Noise|Output: -5 to 5 Volt"},
      {kGEGSrc1, 0, -1, "GEG Trigger 1|Input: Trigger|off|Output: inactive"},
      {kGEGSrc1, 11, 0, "GEG Trigger 1|Input: Trigger|External Clock 1|Output: inactive"},
      {kGEGSrc2, 13, 0, "GEG Trigger 2|Input: Trigger|External Clock 3|Output: inactive"},
      {kEMRSrc, 14, 5, "EM Release Trigger|Input: Trigger|External Clock 4|Output: Trigger"},
      {kEMRSrc, 15, -1, "EM Release Trigger|Input: Trigger|External Trigger 1|Output: Trigger"},
  };
  for (const auto& c : cases) {
    rig.Set(c.param, c.value);
    for (int k = 0; k < 4; ++k) rig.Set(kClk1Src + k, 0);
    if (c.clock >= 0 && c.value >= kTrigClk1 && c.value <= kTrigClk4)
      rig.Set(kClk1Src + (int)c.value - kTrigClk1, c.clock);
    const IRECT& r = rig.One(c.param)->GetRECT();
    rig.gui().OnMouseOver((r.L + r.R) / 2, (r.T + r.B) / 2, IMouseMod());
    const std::string shown = std::string(pInfo->GetLine(0)) + "|" + pInfo->GetLine(1) + "|" +
                              pInfo->GetLine(2) + "|" + pInfo->GetLine(3);
    EXPECT_EQ(shown, c.lines) << "parameter " << c.param;
  }
}

TEST(Controls, TextKnobTakesTypedValuesOnItsStrip) {
  PanelRig rig;
  auto* pKnob = rig.As<IAFKnobMultiControlText>(BlockParam(kBlockA, kTuneFs));
  ASSERT_NE(pKnob, nullptr);
  rig.gui().ScriptTextEntry("-37");
  rig.Click(pKnob->GetValueRECT());
  EXPECT_DOUBLE_EQ(rig.Value(kTuneFs), -37.0);
  // A click on the knob itself only re-sends its value.
  rig.Click(pKnob->GetKnobRECT());
  EXPECT_DOUBLE_EQ(rig.Value(kTuneFs), -37.0);
  EXPECT_EQ(rig.gui().TextEntries().size(), 1u);
  // A double click restores the default.
  rig.gui().OnMouseDblClick(pKnob->GetKnobRECT().L + 5, pKnob->GetKnobRECT().T + 5,
                            IMouseMod(true));
  EXPECT_DOUBLE_EQ(rig.Value(kTuneFs), 0.0);
}

// The lamps follow the engine from the instrument's idle call; changes made on other threads
// (activation, the end of MIDI learn) reach the panel at the next tick (also under TSan).
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
