// Modulation generators and the sample-and-hold, measured from their output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/clock.h"
#include "dsp/mg.h"
#include "dsp/sh.h"
#include "support/audio_measure.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;
constexpr double kSamplesPerQuarter = 24000.0;  // at 120 bpm

std::vector<double> render(MG& mg, int n) {
  std::vector<double> out(size_t(n), 0.0);
  for (double& v : out) {
    mg.update();
    v = mg.getOutput();
  }
  return out;
}

// Steps where the output falls by more than one (the wrap of a rising ramp).
std::vector<int> wraps(const std::vector<double>& x) {
  std::vector<int> at;
  for (size_t i = 1; i < x.size(); ++i)
    if (x[i] < x[i - 1] - 1.0) at.push_back(int(i));
  return at;
}

// Slope in dB per octave of a noise power spectrum between lo and hi hertz: the mean power of
// each octave band, fitted by a straight line over the band number.
double octaveSlope(const std::vector<double>& x, double lo, double hi) {
  const int n = 4096;
  std::vector<double> power(size_t(n / 2 + 1), 0.0);
  for (size_t s = 0; s + n <= x.size(); s += n) {
    const std::vector<double> p = audio::powerSpectrum(x.data() + s, n);
    for (size_t k = 0; k < p.size(); ++k) power[k] += p[k];
  }
  double sx = 0, sy = 0, sxy = 0, sxx = 0, count = 0;
  for (double f = lo; f * 2.0 <= hi; f *= 2.0, ++count) {
    double sum = 0.0;
    const int k0 = int(std::ceil(f * n / kRate)), k1 = int(2.0 * f * n / kRate);
    for (int k = k0; k < k1; ++k) sum += power[size_t(k)];
    const double level = 10.0 * std::log10(sum / (k1 - k0));
    sx += count, sy += level, sxy += count * level, sxx += count * count;
  }
  return (count * sxy - sx * sy) / (count * sxx - sx * sx);
}

}  // namespace

TEST(MG, WaveformsHaveTheirShapeAndPeriod) {
  const int period = 481;  // about 100 Hz at 48 kHz; odd, so the triangle reaches +1
  const double step = 2.0 / (period - 1);
  for (int w : {MG::kTriangle, MG::kSawDown, MG::kSawUp, MG::kSquare}) {
    SCOPED_TRACE(w);
    MG mg;
    mg.setWaveForm(w);
    mg.setPeriod(period);
    const std::vector<double> x = render(mg, 20 * period);
    EXPECT_NEAR(audio::crossingFrequency(x, kRate, w != MG::kSawDown), kRate / period, 0.01);
    EXPECT_NEAR(audio::fractionAbove(x.data(), int(x.size()), 0.0), 0.5, 0.01);
    EXPECT_DOUBLE_EQ(*std::max_element(x.begin(), x.end()), 1.0);
    EXPECT_DOUBLE_EQ(*std::min_element(x.begin(), x.end()), -1.0);
    // Even steps within one cycle (x[0] ends the cycle before): the ramps all the way, the
    // triangle but for its turn, the square but for its flip.
    int uneven = 0;
    for (int i = 2; i <= period; ++i) {
      const double up = w == MG::kTriangle ? (i > (period + 1) / 2 ? -2.0 : 2.0) : 1.0;
      const double slope = w == MG::kSawDown ? -step : w == MG::kSquare ? 0.0 : up * step;
      uneven += std::fabs(x[size_t(i)] - x[size_t(i - 1)] - slope) > 1e-12;
    }
    EXPECT_EQ(uneven, w == MG::kSquare ? 1 : 0);
  }
  // The triangle peaks in the middle of its cycle, -1 at its start.
  MG tri;
  tri.setPeriod(period);
  const std::vector<double> t = render(tri, 1 + period);
  EXPECT_DOUBLE_EQ(t[1], -1.0);
  EXPECT_DOUBLE_EQ(t[1 + period / 2], 1.0);
}

TEST(MG, FilteredNoiseFallsThreeDecibelsPerOctave) {
  MG mg;
  mg.setWaveForm(MG::kNoiseFiltered);
  render(mg, 20000);  // let the slowest filter settle
  const std::vector<double> x = render(mg, 1 << 18);
  EXPECT_NEAR(octaveSlope(x, 93.75, 12000.0), -3.01, 0.3);
  EXPECT_GT(audio::rms(x), 0.2);
  EXPECT_LT(audio::rms(x), 1.0);
}

TEST(MG, SyncedGeneratorFollowsTheClockGrid) {
  Clock clock;  // locked to a running host at 120 bpm from song position 0
  clock.setSampleRate(kRate);
  ITimeInfo ti;
  ti.mSamplePos = ti.mPPQPos = 0.0;
  ti.mTransportIsRunning = true;
  clock.synchronize(&ti);
  MG mg;
  mg.setClock(&clock);
  mg.setWaveForm(MG::kSawUp);
  mg.setPeriod(1000);
  mg.setSyncRate(Clock::kRate1_4);
  std::vector<double> x(size_t(4 * kSamplesPerQuarter));
  for (double& v : x) {
    clock.tick();
    v = render(mg, 1)[0];
  }
  // A cycle starts on every quarter note, a step or two after the clock has seen it.
  const std::vector<int> w = wraps(x);
  ASSERT_EQ(w.size(), 4u);
  for (size_t i = 0; i < w.size(); ++i) EXPECT_NEAR(w[i], double(i) * kSamplesPerQuarter, 2.0);
  EXPECT_EQ(w[3] - w[2], 24000);
  // Rising over the whole beat.
  EXPECT_NEAR(x[size_t(w[0]) + 12000], 0.0, 1e-3);

  // Free again: the clock's period stays until a period is set.
  mg.setSyncRate(Clock::kRateOff);
  render(mg, 10);
  EXPECT_EQ(mg.getPeriod(), 24000);
}

TEST(MG, DegeneratePeriodsStayInRange) {
  // Leaving sync before the clock has a grid (its periods are still 0), and periods below one
  // step: a period set afterwards starts cleanly.
  Clock clock;
  MG mg;
  mg.setClock(&clock);
  mg.setWaveForm(MG::kSawUp);
  mg.setPeriod(100);
  mg.setSyncRate(Clock::kRate1_8);
  render(mg, 5);
  mg.setSyncRate(Clock::kRateOff);
  for (int period : {0, -5, 50}) {
    mg.setPeriod(period);
    render(mg, 3);
  }
  const std::vector<double> x = render(mg, 200);
  for (double v : x) ASSERT_LE(std::fabs(v), 1.0);
  const std::vector<int> w = wraps(x);
  ASSERT_GE(w.size(), 2u);
  EXPECT_EQ(w[1] - w[0], 50);
}

// Guards the stretched period: values far below -1 shrink the synced cycle, never to nothing.
TEST(SH, ValuesFarBelowMinusOneShortenTheSyncedCycleButNeverStopIt) {
  SH sh;
  sh.setPeriod(50);
  sh.setSynchro(true);
  int changes = 0;
  for (int f = 0; f < 200; ++f) {
    const double before = sh.getOutput();
    sh.sample(-3.0 - f);
    changes += sh.getOutput() != before;
  }
  EXPECT_GE(changes, 50);
}
