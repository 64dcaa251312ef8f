// The voice filter, measured with sine input: cut-off tracking, resonance, and the guard
// against values that are not finite numbers; the lag filter's own guard (its response is
// measured through the instrument).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dsp/k35.h"
#include "dsp/lowpass.h"
#include "dsp/pitch.h"
#include "support/audio_measure.h"

using namespace quenta_test;

namespace {

constexpr double kPi = 3.141592653589793238462643383279;
constexpr int kSemitone = 128;  // pitch units per semitone
constexpr double kHuge = std::numeric_limits<double>::max();

double dB(double gain) { return 20.0 * std::log10(gain); }

std::vector<double> sine(double freq, double rate, int n) {
  std::vector<double> x(size_t(n), 0.0);
  for (int i = 0; i < n; ++i) x[size_t(i)] = std::sin(2.0 * kPi * freq * i / rate);
  return x;
}

// A voice filter driven as a voice drives it: update once per control frame, then the
// frame's samples with the Block's cut-off offsets.
struct FilterRig {
  double rate;
  int frame;
  std::vector<int> offsets;
  Korg35 filter;

  explicit FilterRig(double sampleRate, double peak = 0.0)
      : rate(sampleRate), frame(int(sampleRate) / 1000), offsets(size_t(frame), 0) {
    filter.setSampleRate(rate);
    filter.cutoffMod = offsets.data();
    filter.peak = peak;
  }

  void run(std::vector<double>& x, int cutoff) {
    for (int pos = 0; pos < int(x.size()); pos += frame) {
      filter.update(cutoff);
      filter.process(x.data() + pos, std::min(frame, int(x.size()) - pos), 0);
    }
  }

  // Steady-state gain for a sine at freq, measured over the second half of 0.25 s.
  double gain(int cutoff, double freq) {
    std::vector<double> x = sine(freq, rate, int(0.25 * rate));
    run(x, cutoff);
    const int half = int(x.size()) / 2;
    return audio::toneAmplitude(x.data() + half, half, freq, rate);
  }
};

}  // namespace

// With "Peak" 0 the two one-pole stages each take 3 dB at the cut-off: -6 dB there, flat far
// below, 12 dB per octave above. The cut-off follows the pitch index, one octave per 1536.
TEST(Korg35, CutoffTracksPitchIndex) {
  FilterRig rig(48000.0);
  for (int note : {45, 69, 93}) {
    const int cutoff = note * kSemitone;
    const double fc = pitch::toHz(cutoff);
    SCOPED_TRACE(fc);
    EXPECT_NEAR(dB(rig.gain(cutoff, fc)), -6.0, 0.3);
    EXPECT_GT(dB(rig.gain(cutoff, fc / 4)), -0.8);
    EXPECT_NEAR(dB(rig.gain(cutoff, fc * 0.6436)), -3.0, 0.4);  // -3 dB of two equal poles
    const double octaveAbove = dB(rig.gain(cutoff, 2 * fc));
    const double twoOctavesAbove = dB(rig.gain(cutoff, 4 * fc));
    EXPECT_LT(twoOctavesAbove, -22.0);
    EXPECT_NEAR(octaveAbove - twoOctavesAbove, 10.5, 1.5);  // approaching 12 dB/octave
    // One octave up in pitch units moves the response with it.
    EXPECT_NEAR(dB(rig.gain(cutoff + 12 * kSemitone, 2 * fc)), -6.0, 0.3);
    // A new rate re-tunes a filter whose cut-off and resonance stay where they are.
    FilterRig moved(44100.0);
    moved.gain(cutoff, fc);
    moved.rate = 48000.0;
    moved.filter.setSampleRate(48000.0);
    EXPECT_NEAR(dB(moved.gain(cutoff, fc)), -6.0, 0.3);
  }
}

// "Peak" raises the response around the cut-off: K = 0.01 at 0 (no bump), a strong
// resonance at 1, centred on the cut-off.
TEST(Korg35, PeakRaisesResponseAtCutoff) {
  const int cutoff = 81 * kSemitone;  // 880 Hz
  const double fc = pitch::toHz(cutoff);
  double atCutoff[3];
  for (int p = 0; p < 3; ++p) atCutoff[p] = dB(FilterRig(48000.0, p / 2.0).gain(cutoff, fc));
  EXPECT_LT(atCutoff[0], atCutoff[1] - 4.0);
  EXPECT_LT(atCutoff[1], atCutoff[2] - 10.0);
  EXPECT_GT(atCutoff[2], 12.0);

  FilterRig full(48000.0, 1.0);
  EXPECT_GT(atCutoff[2], dB(full.gain(cutoff, fc * 0.8)) + 5.0);
  EXPECT_GT(atCutoff[2], dB(full.gain(cutoff, fc * 1.25)) + 8.0);
  // Far above, the resonance does not lift the stop band.
  EXPECT_LT(dB(full.gain(cutoff, fc * 4)), -20.0);
}

// A sample that is not a number yields a finite output and disturbs nothing else; values near
// the top of the range overflow the states to infinity, which are cleared, and the filter
// recovers.
TEST(Korg35, NotANumberGuards) {
  const int cutoff = 90 * kSemitone;
  std::vector<double> clean = sine(700.0, 48000.0, 9600), dirty = clean, hit = clean;
  clean[1000] = 0.0;
  dirty[1000] = std::numeric_limits<double>::quiet_NaN();
  for (int i = 1000; i < 1008; ++i) hit[size_t(i)] = (i % 2 ? 1 : -1) * kHuge;
  for (std::vector<double>* x : {&clean, &dirty, &hit}) FilterRig(48000.0, 0.8).run(*x, cutoff);
  for (size_t i = 0; i < clean.size(); ++i) ASSERT_NEAR(clean[i], dirty[i], 1e-9) << i;
  for (size_t i = 1020; i < hit.size(); ++i) ASSERT_TRUE(std::isfinite(hit[i])) << i;
  EXPECT_GT(audio::rms(hit.data() + 4800, 4800), 0.3);
}

// The lag filter drops input that is not a number or infinite; huge input overflows its
// history, which is then cleared; a new rate clears it too.
TEST(LowPass, GuardsAndReset) {
  LowPass lp;
  lp.setSampleRate(1000.0f);
  lp.setCutOff(100.0);
  double y = 0.0;
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, kHuge}) {
    for (int i = 0; i < 4; ++i) {
      const double out = lp.process(i < 2 ? bad : -bad);
      ASSERT_TRUE(std::isfinite(out) || bad == kHuge) << bad;  // dropped, or overflowing
    }
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(std::isfinite(y = lp.process(0.25))) << bad << i;
    EXPECT_NEAR(y, 0.25, 1e-9) << bad;
  }
  lp.setSampleRate(1000.0f);
  EXPECT_LT(std::fabs(lp.process(0.0)), 1e-12);
}
