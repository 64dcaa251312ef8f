// The filter measured on the spectrum of a sawtooth; the sample-and-hold as it reaches the
// patch panel; the clock locked to the host's transport, firing the general envelope.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;

// Amplitudes of the first `count` harmonics of a sawtooth key, after the cut-off glide
// (100 frames) has settled.
std::vector<double> Harmonics(int note, int count, const std::vector<Setting>& settings) {
  Session s(kRate, 512);
  EXPECT_TRUE(s.ok);
  s.Apply(settings);
  s.Midi({NoteOn(0, note)});
  const int skip = 5280, n = 16384;
  std::vector<double> out = s.Render(skip + n), a(size_t(count + 1), 0.0);
  for (int h = 1; h <= count; ++h)
    a[size_t(h)] = audio::toneAmplitude(&out[skip], n, h * NoteTableHz(note), kRate);
  return a;
}

// Gain per harmonic of a patch against the open filter.
std::vector<double> HarmonicGain(int note, int count, const std::vector<Setting>& settings) {
  std::vector<double> open = Harmonics(note, count, {});
  std::vector<double> g = Harmonics(note, count, settings);
  for (int h = 1; h <= count; ++h) g[size_t(h)] /= open[size_t(h)];
  return g;
}

TEST(Filter, ExpandOpensTheFilterWithTheEnvelope) {
  // "Cutoff" 0 closes the filter (8 Hz); "Expand" 1 at full envelope adds 84 semitones:
  // index 10752, note 84, 1046.5 Hz.
  EXPECT_LT(HarmonicGain(45, 1, {{kCutoff, "0"}})[1], 0.01);
  std::vector<double> expanded = HarmonicGain(45, 40, {{kCutoff, "0"}, {kExpand, "1"}});
  EXPECT_NEAR(expanded[2], 1.0, 0.1);
  EXPECT_NEAR(expanded[10], 0.5, 0.08);  // 1100 Hz
  EXPECT_LT(expanded[32], 0.1);
}

TEST(Filter, BalanceMakesTheCutoffFollowTheKeys) {
  // "fC Bal" 1 moves the cut-off one semitone per key around note 48: an octave up, the
  // same harmonic number passes alike; without it the higher key loses its harmonics.
  std::vector<double> lowTracked = HarmonicGain(48, 12, {{kCutoff, "0.4"}, {kFCBal, "1"}});
  std::vector<double> highTracked = HarmonicGain(60, 12, {{kCutoff, "0.4"}, {kFCBal, "1"}});
  std::vector<double> highFixed = HarmonicGain(60, 12, {{kCutoff, "0.4"}, {kFCBal, "0"}});
  EXPECT_NEAR(highTracked[10] / lowTracked[10], 1.0, 0.1);
  EXPECT_LT(highFixed[10], 0.6 * highTracked[10]);
}

TEST(SampleAndHold, SyncStretchesTheNextCycleByTheSample) {
  // With "S/H Sync" the sampled value x sets the next cycle to 50 * ((x + 1) / 2 + 0.5)
  // frames: 75 for +1, 25 for -1; without it every cycle is 50 frames.
  struct Case {
    bool sync;
    int note;  // the "Key" source: note 127 is +1, note 0 is -1
    int expected;
  } cases[] = {{false, 127, 50}, {true, 127, 75}, {true, 0, 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    Direct d;
    d.Set(kSHIn, kSrcKey);
    d.Set(kSHFreq, 20.0);
    d.Set(kSHSync, c.sync ? 1.0 : 0.0);
    d.q().setNoteOn(c.note, 100);
    std::vector<int> at;  // frames of the S&H trigger
    for (int f = 0; f < 500; ++f, d.Frame())
      if (d.Trigger(kTrigSH)) at.push_back(f);
    ASSERT_GE(at.size(), 5u);
    // The S&H starts unarmed: it first samples at the start of its second cycle, and that
    // cycle still runs with the period it started with.
    for (size_t i = 3; i < at.size(); ++i) EXPECT_EQ(at[i] - at[i - 1], c.expected);
    EXPECT_DOUBLE_EQ(d.Source(kSrcSH), c.note * 2.0 / 127.0 - 1.0);
    if (c.sync) continue;
    // Synchronised to the (stopped) host clock and back at "off", it runs at the last
    // "S/H Freq" again without the host moving that parameter.
    d.Set(kSHHost, 16);  // "1/16"
    d.Frame(50);
    d.Set(kSHHost, 0);
    at.clear();
    for (int f = 0; f < 300; ++f, d.Frame())
      if (d.Trigger(kTrigSH)) at.push_back(f);
    ASSERT_GE(at.size(), 4u);
    for (size_t i = 1; i < at.size(); ++i) EXPECT_EQ(at[i] - at[i - 1], 50) << "after host sync";
  }
}

// Onsets of the bursts clock 1 or 2 makes through the general envelope (automatic release)
// and the total VCA, at 120 bpm and 44100 Hz (22050 samples per quarter), in host calls of
// `call` frames with a block size of 441 announced. songPos maps the start of a host call
// to the song position the host reports; without it the host has no position at all.
std::vector<int> ClockBursts(int clock, const char* rate, int frames,
                             std::function<int(int)> songPos, int call = 441) {
  Session s(44100.0, 441);
  EXPECT_TRUE(s.ok);
  VstTimeInfo& ti = s.host.Answers().timeInfo;
  ti = VstTimeInfo{};
  ti.tempo = 120.0;
  ti.sampleRate = 44100.0;
  ti.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
  s.host.Answers().hasTimeInfo = bool(songPos);
  s.beforeBlock = [&](int start, int) {
    if (songPos) ti.ppqPos = (ti.samplePos = songPos(start)) / 22050.0;
  };
  const bool one = clock == 1;  // clock 1 or 2, through GEG trigger 1 or 2
  s.Set(one ? kClk1Src : kClk2Src, rate);
  s.Set(one ? kGEGSrc1 : kGEGSrc2, one ? "Clk1" : "Clk2");
  s.Set(kGEGAuto, "on");
  s.Set(kTVCASrc, "GE3+");
  std::vector<double> out = s.RenderStream({{0, NoteOn(0, 69)}}, frames, call);
  std::vector<int> onsets;
  for (int i = 0; i < int(out.size()); ++i)
    if (out[size_t(i)] != 0.0 && (i == 0 || out[size_t(i - 1)] == 0.0)) onsets.push_back(i);
  return onsets;
}

TEST(Clock, LongHostCallsFireAsTheAnnouncedBlocksDo) {
  // Calls of 3528 frames are processed in pieces of the announced 441: the host's position,
  // read once per call, moves on with every piece. Re-read for each piece it stepped back
  // and a "1/64" clock fired 11 times in a second instead of 32.
  const auto songPos = [](int start) { return start; };
  const std::vector<int> announced = ClockBursts(1, "1/16", 44100, songPos);
  EXPECT_EQ(announced.size(), 8u);
  EXPECT_EQ(ClockBursts(1, "1/16", 44100, songPos, 8 * 441), announced);
}

TEST(Clock, ALoopJumpRestartsTheGrid) {
  // "1/4": bursts at 0 and 22050; the host loops back to the start at 1.8 beats (39690
  // samples), which re-anchors the grid there: bursts at 39690 and 39690 + 22050.
  const int jump = 39690;
  const std::vector<int> onsets = ClockBursts(2, "1/4", jump + 22050 + 4410, [&](int start) {
    return start < jump ? start : start - jump;
  });
  ASSERT_EQ(onsets.size(), 4u);
  // Each burst starts after the GEG's 5 ms delay (221 samples), within a frame of its point.
  const int expected[4] = {0, 22050, jump, jump + 22050};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(onsets[size_t(k)] - 221, expected[k], 2 * 44) << k;
}

TEST(Clock, WithoutAHostPositionNoClockTriggerFires) {
  EXPECT_TRUE(ClockBursts(1, "1/64", 22050, nullptr).empty());
}

}  // namespace
