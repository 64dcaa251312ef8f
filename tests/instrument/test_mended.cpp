// Faults that were mended in the engine, each pinned by a measurement: envelope timing that
// does not depend on host block sizes, re-tuning on every sample-rate change, a filter that
// stays finite below 40 kHz, per-rate tables shared by instances at different rates, and
// rates too low for a control frame.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

constexpr unsigned kFlushBits = 0x8040;  // flush-to-zero and denormals-are-zero in MXCSR

// Envelope of "EM Atk" 0.3 (112 ms) relative to an attack of 0, then a release, rendered in
// host blocks of `block`.
std::vector<double> AttackEnvelope(int block) {
  auto render = [&](double attack) {
    Session s(48000.0, 512);
    EXPECT_TRUE(s.ok);
    s.SetBlocks(kEMAtk, attack);
    s.SetBlocks(kEMRel, "Halp Damp");
    return s.RenderStream({{0, NoteOn(0, 69)}, {7200, NoteOff(0, 69)}}, 9600, block);
  };
  return EnvelopeRatio(render(0.3), render(0.0), 0.02);
}

TEST(Mended, EnvelopeTimingDoesNotDependOnHostBlockSizes) {
  // One-sample host blocks must step the envelope once per sample just as whole frames do.
  const std::vector<double> whole = AttackEnvelope(48);
  for (int block : {1, 7, 100}) {
    SCOPED_TRACE(block);
    const std::vector<double> split = AttackEnvelope(block);
    const int top = FirstRatioAt(split, 0, 0.9999, true);
    EXPECT_EQ(top, FirstRatioAt(whole, 0, 0.9999, true));
    EXPECT_NEAR(top / 48000.0, SegmentSeconds(0.3), 0.0002);
    int compared = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      if (std::isnan(whole[i]) || std::isnan(split[i])) continue;
      // Samples of split pieces may differ slightly; the ratio of two renders with the same
      // pieces does not.
      ASSERT_NEAR(split[i], whole[i], 1e-6) << "sample " << i;
      ++compared;
    }
    EXPECT_GT(compared, 4800);
  }
}

TEST(Mended, ARateWithTheSameFrameLengthOnlyRetunesTheGlobalModules) {
  // 44100 to 44056 Hz (44-sample frames both): the general envelope keeps rising and the
  // lags keep their cut-offs; the re-tune once also stopped the one and opened the others
  // to 500 Hz until the next activation.
  Direct d(44100.0);
  d.Set(kGEGSrc1, kTrigMlt);
  d.Set(kGEGAtk, 0.5);
  d.Set(kLag1Src, kSrc5V);
  d.Set(kLag1, 0.5);  // 3.9 Hz
  d.q().setNoteOn(60, 100);
  d.Frame(50);
  const double envelope = d.Source(kSrcGE3Plus), lag = d.Source(kSrcLag1);
  d.Dispatch(effSetSampleRate, 0, 0, nullptr, 44056.0f);
  d.Frame();
  EXPECT_GT(d.Source(kSrcGE3Plus), envelope);
  EXPECT_NEAR(d.Source(kSrcLag1), lag, 0.05);
}

TEST(Mended, AKeyAfterARateChangeSoundsAsInAnInstanceStartedAtThatRate) {
  // "Cutoff" 0.5 (2029 Hz) with some "Peak", a key at offset 100, after 44100 Hz: at 44056
  // Hz (the same 44-sample frame, once left at the old tuning) and at 48000 Hz (the key
  // starts at 96; the filter once kept the old coefficients, 1.47 semitones too bright).
  for (float rate : {44056.0f, 48000.0f}) {
    Session moved(44100.0, 512), fresh(rate, 512);
    ASSERT_TRUE(moved.ok && fresh.ok);
    for (Session* s : {&moved, &fresh}) s->Apply({{kCutoff, "0.5"}, {kPeak, "0.5"}});
    moved.Midi({NoteOn(0, 57)});
    moved.Render(22050);
    moved.host.MainsChanged(false);
    moved.host.SetSampleRate(rate);
    moved.host.MainsChanged(true);
    moved.Midi({NoteOn(100, 57)});
    fresh.Midi({NoteOn(100, 57)});
    const std::vector<double> a = moved.Render(24000), b = fresh.Render(24000);
    EXPECT_EQ(FirstNonZero(a), FirstNonZero(b)) << rate;
    for (int i = 12000; i < 24000; ++i)
      ASSERT_NEAR(a[size_t(i)], b[size_t(i)], 1e-9) << rate << " at " << i;
  }
}

TEST(Mended, FullyOpenResonantFilterStaysFiniteAt32000Hz) {
  // At 32000 Hz the top cut-off pitches lie above half the rate; "Cutoff" 1 with "Peak" 1
  // must still give finite, bounded output.
  Session s(32000.0, 512);
  ASSERT_TRUE(s.ok);
  s.Apply({{kCutoff, "1"}, {kPeak, "1"}, {kExpand, "1"}});
  s.Set(BlockParam(kBlockB, kWaveform), "Pulse");
  s.Set(BlockParam(kBlockC, kOctave), "2'");
  s.Midi({NoteOn(0, 36), NoteOn(0, 60), NoteOn(0, 84), NoteOn(0, 108), NoteOn(0, 120)});
  std::vector<double> out = s.Render(32000);
  EXPECT_TRUE(AllFinite(out));
  EXPECT_TRUE(AllFinite(s.other));
  EXPECT_LT(Peak(out, 0, 32000), 10.0);
  EXPECT_GT(Rms(out, 16000, 16000), 0.01);
}

TEST(Mended, InstancesAtDifferentRatesKeepTheirOwnTuning) {
  // The frequency and filter tables are shared per rate: an instance that comes and goes at
  // another rate while one renders must not detune it.
  for (double rate : {48000.0, 44100.0}) {
    Session s(rate, 480);
    ASSERT_TRUE(s.ok);
    s.beforeBlock = [&](int start, int) {
      if (start != 4800) return;
      Session other(rate == 48000.0 ? 44100.0 : 32000.0, 512);
      other.Midi({NoteOn(0, 69)});
      other.Render(512);
    };
    const std::vector<double> out = s.RenderStream({{0, NoteOn(0, 69)}}, 19200);
    EXPECT_NEAR(CrossingHz(out, 4800, 14400, rate), 440.0, 0.05) << rate;
  }
}

TEST(Mended, ModulationOutOfAllProportionSaturatesPitchAndCutOff) {
  // A source far out of range (the "Key" cell forced to 1e12, as a runaway lag once drove
  // its cell) patched to pitch and cut-off of Block A: both stop at the top, a tone near
  // 19.9 kHz. Converted to int unchecked, the pitch wrapped round to the bottom of its table.
  Direct d;
  const std::pair<int, double> patch[] = {{kFMMod, 1}, {kFMGEG, 6145}, {kFMSrc, kSrcKey},
                                          {kFCMod, 1}, {kFCGEG, 1},    {kFCSrc, kSrcKey}};
  for (auto [k, v] : patch) d.Set(BlockParam(kBlockA, k), v);
  d.Set(BlockParam(kBlockB, kChEnable), 0);
  d.Set(BlockParam(kBlockC, kChEnable), 0);
  d.q().setNoteOn(69, 100);
  *const_cast<double*>(d.q().getModSource(kSrcKey)) = 1e12;
  std::vector<double> left(4800), right(4800);
  double* outputs[2] = {left.data(), right.data()};
  AEffect* e = d.q().GetAEffect();
  e->processDoubleReplacing(e, nullptr, outputs, 4800);
  EXPECT_GT(CrossingHz(left, 480, 4320, 48000.0), 19000.0);
}

TEST(Mended, NoSubnormalOutputAndTheHostsFloatingPointModeKept) {
  // A key below its footage's range (note 12 at 16') with sustain 0: its silent voice once
  // made 44,032 of every 44,100 samples subnormal after 11 s.
  Session s(44100.0, 512);
  ASSERT_TRUE(s.ok);
  s.SetBlocks(kOctave, "16'");
  s.SetBlocks(kEMSus, 0.0);
  s.Midi({NoteOn(0, 12)});
  s.Render(11 * 44100);
  std::vector<double> left = s.Render(44100);
  int subnormal = 0;
  for (std::vector<double>* x : {&left, &s.other})
    for (double v : *x) subnormal += std::fpclassify(v) == FP_SUBNORMAL ? 1 : 0;
  EXPECT_EQ(subnormal, 0);
  // The host's own mode, flushing or not, is what it finds again after the call.
  const unsigned original = _mm_getcsr();
  for (unsigned mode : {original & ~kFlushBits, original | kFlushBits}) {
    _mm_setcsr(mode);
    s.Render(512);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(original);
    EXPECT_EQ(after, mode);
  }
}

TEST(Mended, RatesWithoutAControlFrameRenderSilence) {
  // Below 1000 Hz there is no frame; the instrument waits, silent, for a usable rate. Keys
  // pressed meanwhile are dropped: once they were kept and all sounded with the new rate.
  for (float rate : {0.0f, 500.0f}) {
    SCOPED_TRACE(rate);
    Session s(rate, 512);
    ASSERT_TRUE(s.ok);
    s.Midi({NoteOn(0, 69), NoteOn(0, 76)});
    std::vector<double> out = s.Render(1024);
    EXPECT_TRUE(AllZero(out, 0, 1024));
    s.host.MainsChanged(false);
    s.host.SetSampleRate(48000.0f);
    s.host.MainsChanged(true);
    EXPECT_TRUE(AllZero(s.Render(4800), 0, 4800));
    s.Midi({NoteOn(0, 69)});
    std::vector<double> tone = s.Render(9600);
    EXPECT_NEAR(CrossingHz(tone, 2400, 7200, 48000.0), 440.0, 0.05);
  }
}

}  // namespace
