// The patch panel: source cells and triggers read on a directly made instance driven by its
// own steps, and the selectors that reach audio checked through the entry point.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;

double KeyValue(int note) { return note * 2.0 / 127.0 - 1.0; }

TEST(Routing, KeyAndWheelSources) {
  Direct d;
  for (int note : {0, 127, 64}) {
    d.q().setNoteOn(note, 100);
    EXPECT_DOUBLE_EQ(d.Source(kSrcKey), KeyValue(note));
  }
  d.q().setNoteOff(64);
  EXPECT_DOUBLE_EQ(d.Source(kSrcKey), KeyValue(64));  // the last key stays
  // Wheels arrive with the frame that drains them; the "+" cell is (x + 1) / 2.
  const struct {
    uint8_t status, data1, data2;
    int source;
    double value;
  } wheels[] = {{0xE3, 0, 0, kSrcPB, -1.0},
                {0xE0, 127, 127, kSrcPB, 8191.0 / 8192.0},
                {0xB7, 1, 127, kSrcMW, 1.0},
                {0xB0, 1, 0, kSrcMW, -1.0},
                {0xB0, 1, 100, kSrcMW, 200.0 / 127.0 - 1.0}};
  for (const auto& w : wheels) {
    d.Midi(w.status, w.data1, w.data2);
    EXPECT_NE(d.Source(w.source), w.value);
    d.Frame();
    EXPECT_DOUBLE_EQ(d.Source(w.source), w.value) << int(w.status) << " " << int(w.data2);
    EXPECT_DOUBLE_EQ(d.Source(w.source + 1), (w.value + 1.0) * 0.5) << int(w.status);
  }
}

TEST(Routing, VoltageProcessorsAndAttenuators) {
  // A voltage processor maps -5 .. +5 V linearly onto "VPn B" .. "VPn A"; "VP2 Sel" = "VP1
  // Input" reads VP1's input through VP2's own A and B. Attenuators scale their inputs, and
  // within a sample the voltage processors come first.
  Direct d;
  const std::pair<int, double> patch[] = {
      {kVP1Src, kSrcKey},  {kVP1A, 0.6},  {kVP1B, -0.2},       {kVP2A, -1.0},
      {kVP2B, 1.0},        {kVP2Sel, 0},  {kAtn1Src, kSrc5V},  {kAtn1, -0.5},
      {kAtn2Src, kSrcKey}, {kAtn2, 0.25}, {kAtn3Src, kSrcVP1}, {kAtn3, 1.0}};
  for (auto [index, value] : patch) d.Set(index, value);
  for (int note : {0, 100, 127}) {
    d.q().setNoteOn(note, 100);
    d.Frame();
    const double key = KeyValue(note);
    EXPECT_DOUBLE_EQ(d.Source(kSrcVP1), -0.2 + 0.8 * (key + 1.0) / 2.0) << note;
    EXPECT_DOUBLE_EQ(d.Source(kSrcVP2), -key) << note;
    EXPECT_EQ(d.Source(kSrcAtn1), -0.5);
    EXPECT_DOUBLE_EQ(d.Source(kSrcAtn2), 0.25 * key) << note;
    EXPECT_EQ(d.Source(kSrcAtn3), d.Source(kSrcVP1)) << note;
  }
  // "VP2 Input" without a source gives nothing; VP1 and an attenuator without one give 0
  // whatever their settings.
  d.Set(kVP2Sel, 1);
  d.Frame();
  EXPECT_EQ(d.Source(kSrcVP2), 0.0);
  d.Set(kVP2Src, kSrc5V);
  d.Set(kVP1Src, kSrcOff);
  d.Set(kAtn1Src, kSrcOff);
  d.Frame();
  EXPECT_EQ(d.Source(kSrcVP2), -1.0);
  EXPECT_EQ(d.Source(kSrcVP1), 0.0);
  EXPECT_EQ(d.Source(kSrcAtn1), 0.0);
}

TEST(Routing, LagsAreButterworthLowPassesStepping1000TimesPerSecond) {
  // "LAG 1" 0: 250 Hz at the lag's rate of 1000 steps per second (w = pi / 2). The step
  // response of that biquad, from its coefficients: a1 = 2 cos w / (1 + alpha),
  // a2 = (alpha - 1) / (1 + alpha), b0 = (1 - cos w) / (2 (1 + alpha)), b1 = 2 b0, b2 = b0.
  const double w = 3.14159265358979323846 / 2.0, alpha = std::sin(w) / std::sqrt(2.0);
  const double a1 = 2.0 * std::cos(w) / (1.0 + alpha), a2 = (alpha - 1.0) / (1.0 + alpha);
  const double b0 = (1.0 - std::cos(w)) / (2.0 * (1.0 + alpha)), b1 = 2.0 * b0;
  Direct d;
  d.Set(kLag1Src, kSrc5V);
  d.Set(kLag1, 0.0);
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (int f = 0; f < 12; ++f) {
    const double y = b0 * (1.0 + x2) + b1 * x1 + a1 * y1 + a2 * y2;
    x2 = x1, x1 = 1.0, y2 = y1, y1 = y;
    d.Frame();
    EXPECT_NEAR(d.Source(kSrcLag1), y, 1e-9) << "frame " << f;
  }
  EXPECT_NEAR(d.Source(kSrcLag1), 1.0, 0.01);
  // "LAG 2" at 1: cut-off 0 Hz, the input never gets through.
  d.Set(kLag2Src, kSrc5V);
  d.Set(kLag2, 1.0);
  d.Frame(20);
  EXPECT_LT(std::fabs(d.Source(kSrcLag2)), 1e-9);
  // Half way: (1 - 0.5)^6 * 250 = 3.9 Hz, a slow rise.
  d.Set(kLag2, 0.5);
  d.Frame(100);
  EXPECT_GT(d.Source(kSrcLag2), 0.5);
  EXPECT_LT(d.Source(kSrcLag2), 0.99);
}

TEST(Routing, LagsStayWithinTheirInputsRangeWhileTheKnobMoves) {
  // MG2 A, a 0.5 Hz triangle from -1 to 1, through LAG 1 while the knob is turned through
  // every setting, up and back, 0.1 s at each. A lag whose history kept the old slope when
  // its cut-off fell ran off (1.65 beyond the input's range here, without bound at 0 Hz).
  Direct d;
  d.Set(BlockParam(kBlockA, kMG2Freq), 0.5);
  d.Set(kLag1Src, kSrcMG2A);
  d.Frame(200);
  for (int step = 0; step <= 200; ++step) {
    const double setting = (step <= 100 ? step : 200 - step) / 100.0;
    d.Set(kLag1, setting);
    for (int f = 0; f < 100; ++f) {
      d.Frame();
      ASSERT_LE(std::fabs(d.Source(kSrcLag1)), 1.0 + 1e-3) << "at " << setting << ", frame " << f;
    }
  }
  // At 1 (0 Hz) the moving output stops where it is.
  d.Set(kLag1, 1.0);
  d.Frame();
  const double held = d.Source(kSrcLag1);
  d.Frame(100);
  EXPECT_EQ(d.Source(kSrcLag1), held);
}

TEST(Routing, ControllerCellsTakeTheFirstMatchingAssignment) {
  Direct d;
  for (auto [index, cc] :
       {std::pair{kVC3Src, 10}, {kVC1Src, 7}, {kVC2Src, 7}, {kVC4Src, 64}, {kVC5Src, 1}})
    d.Set(index, cc);
  const struct {
    int cc, value, source;
    double expected;
  } steps[] = {{10, 64, kSrcVC3, 64.0 / 127.0},
               {7, 100, kSrcVC1, 100.0 / 127.0},
               {7, 100, kSrcVC2, 0.0},  // only the first of two equal assignments
               {64, 1, kSrcVC4, 1.0},   // the sustain pedal as a voltage: 1 or 0
               {64, 0, kSrcVC4, 0.0},
               {1, 127, kSrcVC5, 1.0},  // the wheel sets an assigned VC and its own cells
               {1, 127, kSrcMW, 1.0}};
  for (const auto& c : steps) {
    d.Midi(0xB0, uint8_t(c.cc), uint8_t(c.value));
    d.Frame();
    EXPECT_DOUBLE_EQ(d.Source(c.source), c.expected) << "controller " << c.cc << " " << c.value;
  }
  // A trigger assignment comes first of all.
  d.Set(kTrg2Src, 7);
  d.Midi(0xB0, 7, 20);
  d.Frame();
  EXPECT_DOUBLE_EQ(d.Source(kSrcVC1), 100.0 / 127.0);
}

TEST(Routing, ControllerGatesGiveOneTriggerPerRisingEdge) {
  Direct d;
  // Pulses of trigger t over `frames` frames after the controller message.
  auto pulses = [&](int trigger, int cc, int value, int frames = 1) {
    d.Midi(0xB0, uint8_t(cc), uint8_t(value));
    int n = 0;
    for (int f = 0; f < frames; ++f) {
      d.Frame();
      n += d.Trigger(trigger);
    }
    return n;
  };
  // Controller 0 is every assignment's default, so it drives gate 1 only, for one frame.
  EXPECT_EQ(pulses(kTrigTrg1, 0, 127, 2), 1);
  EXPECT_EQ(d.Source(kSrcVC1), 0.0);
  EXPECT_EQ(pulses(kTrigTrg1, 0, 0), 0);
  // "Trg1 Src" = 64: pressing the pedal gives one pulse; releasing it none.
  d.Set(kTrg1Src, 64);
  EXPECT_EQ(pulses(kTrigTrg1, 64, 127, 10), 1);
  EXPECT_EQ(pulses(kTrigTrg1, 64, 0, 10), 0);
  // Gate 2 opens at 64 / 127, not at 63 / 127.
  d.Set(kTrg2Src, 20);
  EXPECT_EQ(pulses(kTrigTrg2, 20, 63, 2), 0);
  EXPECT_EQ(pulses(kTrigTrg2, 20, 64, 2), 1);
  // Two messages in one frame that leave the last two states equal give no pulse.
  EXPECT_EQ(pulses(kTrigTrg2, 20, 0, 2), 0);
  d.Midi(0xB0, 20, 127);
  EXPECT_EQ(pulses(kTrigTrg2, 20, 127, 2), 0);
}

TEST(Routing, KeyboardTriggersLastOneFrame) {
  Direct d;
  // The keyboard triggers that fire: "Mlt", "Sng" and "KBD" as M, S and K.
  auto fired = [&] {
    return std::string(d.Trigger(kTrigMlt) ? "M" : "-") + (d.Trigger(kTrigSng) ? "S" : "-") +
           (d.Trigger(kTrigKBD) ? "K" : "-");
  };
  d.Set(kKBDTrig, 2);
  d.q().setNoteOn(60, 100);
  EXPECT_EQ(fired(), "MS-");
  d.Frame();
  EXPECT_EQ(fired(), "---");
  d.q().setNoteOn(64, 100);  // the second key held
  EXPECT_EQ(fired(), "M-K");
  d.Frame();
  EXPECT_EQ(fired(), "---");
  d.q().setNoteOn(67, 100);
  EXPECT_EQ(fired(), "M--");
  d.Frame();
  // A later note-on in the same frame rewrites the KBD trigger.
  d.q().setNoteOff(67);
  d.q().setNoteOff(64);
  d.q().setNoteOn(64, 100);
  EXPECT_EQ(fired(), "M-K");
  d.q().setNoteOn(65, 100);
  EXPECT_EQ(fired(), "M--");
  d.Frame();
  // "Off" never fires it.
  d.Set(kKBDTrig, 0);
  d.q().allNotesOff();
  d.q().setNoteOn(60, 100);
  EXPECT_EQ(fired(), "MS-");
}

// Renders key 69 with the wheel at `wheel` and one selector set to `source` (Block A alone
// when the selector is Block A's).
std::vector<double> RenderWithWheel(int selector, const char* source, int wheel,
                                    int frames = 4800) {
  Session s(kRate, 512);
  EXPECT_TRUE(s.ok);
  if (selector < kNumBlocks * kBlockParamCount)  // Block A alone
    for (int b : {kBlockB, kBlockC}) s.Set(BlockParam(b, kChEnable), "off");
  s.Set(selector, source);
  s.Midi({CC(0, 1, wheel), NoteOn(0, 69)});
  return s.Render(frames);
}

TEST(Routing, VcaSourcesScaleLinearlyAndSilenceAtZeroOrBelow) {
  for (int vca : {BlockParam(kBlockA, kVCAFSrc), int(kTVCASrc)}) {
    SCOPED_TRACE(vca);
    const std::vector<double> full = RenderWithWheel(vca, "off", 0);
    ASSERT_GT(Rms(full, 0, 4800), 0.01);
    for (int wheel : {64, 32}) {
      const std::vector<double> part = RenderWithWheel(vca, "MW+", wheel);
      for (int i = 0; i < 4800; ++i)
        ASSERT_NEAR(part[size_t(i)], full[size_t(i)] * wheel / 127.0, 1e-12) << wheel;
    }
    EXPECT_TRUE(AllZero(RenderWithWheel(vca, "MW+", 0), 0, 4800));
    EXPECT_TRUE(AllZero(RenderWithWheel(vca, "MW", 10), 0, 4800));  // below zero
  }
}

TEST(Routing, ChannelGateOpensAboveOneHalf) {
  const int gate = BlockParam(kBlockA, kChGate);
  EXPECT_GT(Rms(RenderWithWheel(gate, "MW+", 64, 2400), 0, 2400), 0.01);  // 0.504
  EXPECT_TRUE(AllZero(RenderWithWheel(gate, "MW+", 63, 2400), 0, 2400));  // 0.496
  // A Block switched off contributes nothing.
  EXPECT_TRUE(AllZero(RenderWithWheel(BlockParam(kBlockA, kChEnable), "off", 0, 2400), 0, 2400));
}

TEST(Routing, LastKeyUpStopsTheGegButAllNotesOffDoesNot) {
  Direct d;
  d.Set(kGEGSrc1, kTrigMlt);
  d.q().setNoteOn(60, 100);
  d.Frame(40);  // delay and attack: about 20 ms
  ASSERT_TRUE(d.q().getGEG().isOn());
  ASSERT_EQ(d.Source(kSrcGE3Plus), 1.0);
  d.q().allNotesOff();
  d.Frame(40);
  EXPECT_EQ(d.Source(kSrcGE3Plus), 1.0);
  d.q().setNoteOn(62, 100);
  d.q().setNoteOn(64, 100);
  d.Frame(40);
  d.q().setNoteOff(62);
  d.Frame(5);
  EXPECT_EQ(d.Source(kSrcGE3Plus), 1.0);
  d.q().setNoteOff(64);
  d.Frame(5);
  EXPECT_LT(d.Source(kSrcGE3Plus), 0.5);
  d.Frame(10);
  EXPECT_FALSE(d.q().getGEG().isOn());
  EXPECT_EQ(d.Source(kSrcGE1Minus), 1.0);
}

}  // namespace
