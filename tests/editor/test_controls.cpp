// The standard controls' values as the user and the plug-in move them; typed values.
#include <gtest/gtest.h>

#include <limits>

#include "editor_rig.h"
#include "plugin/IParam.h"

namespace {

using quenta_test::Rig;

class Controls : public ::testing::Test {
 protected:
  void SetUp() override { rig.gfx->AttachPanelBackground(COLOR_BLACK); }
  // A vertical knob of height 50 on the gain, at 10, 10.
  IKnobMultiControl* Knob() {
    auto* p =
        new IKnobMultiControl(&rig.plug, 10, 10, quenta_test::kParamGain, rig.Strip(50, 50, 5));
    rig.gfx->AttachControl(p);
    return p;
  }
  double Gain() { return rig.plug.GetParam(quenta_test::kParamGain)->GetNormalized(); }
  // A knob on param that prompts for a value on a right click.
  IControl* Prompting(int param) {
    auto* p = new IKnobMultiControl(&rig.plug, 10 + 40 * param, 10, param, rig.Strip(30, 30, 2));
    p->DisablePrompt(false);
    rig.gfx->AttachControl(p);
    return p;
  }
  void RightClick(const IControl* p) {
    rig.Click(p->GetRECT().L + 1, p->GetRECT().T + 1, IMouseMod(false, true));
  }
  IParam* Param(int idx) { return rig.plug.GetParam(idx); }

  Rig rig;
};

TEST_F(Controls, SwitchStepsThroughItsFramesAndWraps) {
  struct Case {
    int frames;
    std::vector<double> values;  // after each click
  } cases[] = {{1, {1.0, 0.0, 1.0}},
               {2, {1.0, 0.0, 1.0}},
               {3, {0.5, 1.0, 0.0}},
               {4, {1.0 / 3, 2.0 / 3, 1.0, 0.0}}};
  for (const Case& c : cases) {
    Rig local;
    auto* pSwitch = new ISwitchControl(&local.plug, 0, 0, quenta_test::kParamSwitch,
                                       local.Strip(10, 10, c.frames));
    local.gfx->AttachControl(pSwitch);
    local.Attach();
    for (size_t k = 0; k < c.values.size(); ++k) {
      local.Click(5, 5);
      EXPECT_NEAR(pSwitch->GetValue(), c.values[k], 1e-9) << c.frames << " frames, click " << k;
    }
  }
}

// Drags by gearing, direction and modifier; a knob of zero height (a strip of empty frames)
// and gearing 0 divide by nothing.
TEST_F(Controls, KnobDragFollowsGearingAndFineMode) {
  const IMouseMod l(true), shift(true, false, true), ctrl(true, false, false, true);
  const auto kV = IKnobControl::kVertical, kH = IKnobControl::kHorizontal;
  const struct {
    const char* name;
    double gearing;
    IKnobControl::EDirection dir;
    int frameH, dx, dy;
    IMouseMod mod;
    double delta;
  } cases[] = {
      {"up by its height", 4.0, kV, 50, 0, -50, l, 0.25},
      {"shift: fine", 4.0, kV, 50, 0, -50, shift, 0.025},
      {"control: fine", 4.0, kV, 50, 0, -50, ctrl, 0.025},
      {"negative gearing reverses", -1.0, kV, 50, 0, -10, l, -0.2},
      {"horizontal", 4.0, kH, 50, -50, 0, l, -0.25},
      {"horizontal ignores dy", 4.0, kH, 50, 0, -50, l, 0.0},
      {"gearing 0 stays", 0.0, kV, 50, 0, -50, l, 0.0},
      {"no height stays", 4.0, kV, 0, 0, -10, l, 0.0},
  };
  for (const auto& c : cases) {
    Rig local;
    auto* pKnob = new IKnobMultiControl(&local.plug, 10, 10, quenta_test::kParamGain,
                                        local.Strip(50, c.frameH, 5), c.dir, c.gearing);
    pKnob->SetTargetArea(IRECT(10, 10, 60, 60));
    local.gfx->AttachControl(pKnob);
    local.Attach();
    local.plug.TakeLog();
    local.Drag(30, 30, 30 + c.dx, 30 + c.dy, c.mod);
    EXPECT_NEAR(pKnob->GetValue(), 0.5 + c.delta, 1e-12) << c.name;
    EXPECT_NEAR(local.plug.GetParam(quenta_test::kParamGain)->GetNormalized(), 0.5 + c.delta, 1e-3)
        << c.name;
    EXPECT_EQ(local.plug.TakeLog().substr(0, 2), "B0") << c.name;
  }
}

TEST_F(Controls, WheelStepsAndClampsAtTheEnds) {
  IKnobMultiControl* pKnob = Knob();
  rig.Attach();
  const struct {
    double from;
    int d;
    IMouseMod mod;
    double to;
  } cases[] = {{0.5, 1, IMouseMod(), 0.51},         {0.5, -3, IMouseMod(), 0.47},
               {0.5, 1, IMouseMod(0, 0, 1), 0.501}, {0.995, 1, IMouseMod(), 1.0},
               {0.005, -1, IMouseMod(), 0.0},       {0.5, 0, IMouseMod(), 0.5}};
  for (const auto& c : cases) {
    rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, c.from, true);
    rig.gfx->OnMouseWheel(20, 20, c.mod, c.d);
    EXPECT_NEAR(pKnob->GetValue(), c.to, 1e-12) << c.from << " by " << c.d;
    EXPECT_NEAR(Gain(), c.to, 1e-9) << c.from << " by " << c.d;
  }
}

TEST_F(Controls, DoubleClickRestoresTheFirstValueFromThePlugIn) {
  IKnobMultiControl* pKnob = Knob();
  auto* pFresh =
      new IKnobMultiControl(&rig.plug, 100, 10, quenta_test::kParamDepth, rig.Strip(10, 10, 2));
  rig.gfx->AttachControl(pFresh);
  EXPECT_EQ(pKnob->GetDefaultValue(), -1.0);
  pFresh->OnMouseDblClick(0, 0, IMouseMod(true));  // no default yet: nothing
  EXPECT_EQ(pFresh->GetValue(), 0.0);
  rig.Attach();  // the first value from the plug-in becomes the default
  EXPECT_EQ(pKnob->GetDefaultValue(), 0.5);
  rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, 0.9, true);
  EXPECT_EQ(pKnob->GetDefaultValue(), 0.5);
  rig.gfx->OnMouseDblClick(20, 20, IMouseMod(true));
  EXPECT_EQ(pKnob->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(Gain(), 0.5);
}

TEST_F(Controls, PlugInValuesAreNormalisedClampedAndNeverNaN) {
  IKnobMultiControl* pKnob = Knob();
  auto* pDepth =
      new IKnobMultiControl(&rig.plug, 100, 10, quenta_test::kParamDepth, rig.Strip(10, 10, 2));
  rig.gfx->AttachControl(pDepth);
  rig.Attach();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, nan, true);
  rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, nan, false);
  EXPECT_EQ(pKnob->GetValue(), 0.5);
  rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, 7.0, true);
  EXPECT_EQ(pKnob->GetValue(), 1.0);
  rig.gfx->SetParameterFromPlug(quenta_test::kParamGain, -7.0, true);
  EXPECT_EQ(pKnob->GetValue(), 0.0);
  rig.gfx->SetParameterFromPlug(quenta_test::kParamDepth, 5.0, false);  // -10 .. 10
  EXPECT_DOUBLE_EQ(pDepth->GetValue(), 0.75);
  rig.gfx->SetParameterFromPlug(99, 0.5, true);  // no such parameter: nothing, no crash
  rig.gfx->SetControlFromPlug(99, 0.5);
  rig.gfx->SetControlFromPlug(-1, 0.5);

  // The user's side: a NaN from a prompt or a subclass never reaches the plug-in.
  rig.plug.TakeLog();
  pKnob->SetValueFromUserInput(nan);
  EXPECT_EQ(rig.plug.TakeLog(), "");
}

// Typed values through the headless back end's text field: filtered, limited, negated back
// for a parameter shown negated, clamped to the range.
TEST_F(Controls, TypedValuesSetTheParameter) {
  IControl* pGain = Prompting(quenta_test::kParamGain);
  IControl* pDepth = Prompting(quenta_test::kParamDepth);
  rig.Attach();
  const struct {
    IControl* control;
    const char* typed;
    double plain;
  } cases[] = {
      {pGain, "0.25", 0.25},
      {pGain, "abc", 0.0},             // filtered to nothing: the number 0
      {pGain, "0.7xyz", 0.7},          // letters cannot be typed
      {pGain, "0.123456789", 0.1234},  // at most 7 characters: "0.12345"
      {pDepth, "3", -3.0},             // shown negated, so typed negated
      {pDepth, "-50", 10.0},           // beyond the range: clamped
  };
  for (const auto& c : cases) {
    rig.gfx->ScriptTextEntry(c.typed);
    RightClick(c.control);
    EXPECT_NEAR(Param(c.control->ParamIdx())->Value(), c.plain, 1e-3) << c.typed;
  }
  // The field opened over the 40 x 16 middle of the control, holding the value as shown.
  const auto& first = rig.gfx->TextEntries()[0];
  EXPECT_EQ(first.area, IRECT(5, 17, 45, 33));
  EXPECT_EQ(first.initial, "0.500");
  EXPECT_EQ(first.paramIdx, quenta_test::kParamGain);
  EXPECT_EQ(rig.gfx->TextEntries().back().initial, "3.0");  // -3 shown negated
  rig.gfx->ScriptTextEntryCancel();
  RightClick(pGain);
  EXPECT_NEAR(Param(quenta_test::kParamGain)->Value(), 0.12345, 1e-9);
}

TEST_F(Controls, UnknownListTextChangesNothing) {
  IControl* pMode = Prompting(quenta_test::kParamMode);
  rig.Attach();
  rig.plug.TakeLog();
  rig.gfx->SetFromStringAfterPrompt(pMode, Param(quenta_test::kParamMode), "Noise");
  EXPECT_EQ(Param(quenta_test::kParamMode)->Int(), 1);
  rig.gfx->SetFromStringAfterPrompt(pMode, Param(quenta_test::kParamMode), "Sine");
  EXPECT_EQ(Param(quenta_test::kParamMode)->Int(), 3);
  EXPECT_EQ(rig.plug.TakeLog(), "S1");
}

}  // namespace
