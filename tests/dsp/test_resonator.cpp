// Resonator peaks measured from their responses: bandwidth, the limits of the centre, and the
// guards.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "dsp/resonator.h"
#include "support/audio_measure.h"

using namespace quenta_test;

namespace {

constexpr double kPi = 3.141592653589793238462643383279;
constexpr double kNoModulation = 0.25;  // what the Block passes when nothing modulates
constexpr int kImpulseLength = 8192;

// Impulse response of one resonator at full intensity (its output is then 2/3 of the peak).
std::vector<double> impulseResponse(Resonator r) {
  std::vector<double> in(size_t(kImpulseLength), 0.0), out(size_t(kImpulseLength), 0.0);
  in[0] = 1.0;
  r.process(in.data(), out.data(), kImpulseLength);
  return out;
}

double magnitudeAt(const std::vector<double>& h, double freq, double rate) {
  std::complex<double> s = 0.0;
  const std::complex<double> step = std::polar(1.0, -2.0 * kPi * freq / rate);
  std::complex<double> w = 1.0;
  for (double v : h) {
    s += v * w;
    w *= step;
  }
  return std::abs(s);
}

struct Peak {
  double hz;
  double magnitude;
};

// The frequency of largest response between 20 Hz and just below half the rate: a logarithmic
// scan, then a finer one around its best point.
Peak findPeak(const std::vector<double>& h, double rate) {
  double lo = 20.0, hi = 0.49 * rate;
  Peak best = {lo, 0.0};
  for (int pass = 0; pass < 2; ++pass) {
    const double step = std::pow(hi / lo, 1.0 / 200.0), from = lo;
    for (int i = 0; i <= 200; ++i) {
      const double f = from * std::pow(step, i), m = magnitudeAt(h, f, rate);
      if (m > best.magnitude) best = {f, m};
    }
    lo = best.hz / step, hi = best.hz * step;
  }
  return best;
}

// A resonator at full intensity after `updates` frames of modulation `mod`.
Resonator settled(double rate, double position, int updates = 200, double mod = kNoModulation) {
  Resonator r;
  r.setSampleRate(float(rate));
  r.position = position;
  r.intensity = 1.0;
  for (int i = 0; i < updates; ++i) r.update(mod);
  return r;
}

}  // namespace

// Q = 2: the response falls to -3 dB a quarter of the centre frequency either side.
TEST(Resonator, BandwidthOfQ2) {
  Resonator r = settled(48000.0, 0.5);
  const std::vector<double> h = impulseResponse(r);
  const Peak p = findPeak(h, 48000.0);
  // Bilinear band-pass: the -3 dB edges sit at frequencies whose geometric mean is the centre
  // and whose spacing is centre / Q.
  const double half = p.hz / 4.0;
  const double upper = half + std::sqrt(half * half + p.hz * p.hz);
  EXPECT_NEAR(magnitudeAt(h, upper, 48000.0) / p.magnitude, std::sqrt(0.5), 0.03);
  EXPECT_NEAR(magnitudeAt(h, p.hz * p.hz / upper, 48000.0) / p.magnitude, std::sqrt(0.5), 0.03);
}

// Position plus modulation is limited to 0 .. 1: 1 or more gives 10000 Hz, 0 or less 80 Hz,
// including the very first update of a fresh resonator at exactly 0.
TEST(Resonator, CentreLimitedTo80To10000Hz) {
  EXPECT_NEAR(findPeak(impulseResponse(settled(44100.0, 1.4)), 44100.0).hz, 10000.0, 20.0);
  EXPECT_NEAR(findPeak(impulseResponse(settled(44100.0, -0.3)), 44100.0).hz, 80.0, 0.5);
  EXPECT_NEAR(findPeak(impulseResponse(settled(44100.0, 0.0, 1, 0.0)), 44100.0).hz, 80.0, 0.5);
}

TEST(Resonator, GuardsAndRateReset) {
  // A sample that is not a number is dropped; infinite input too, and huge input overflows the
  // history, which is then cleared: the peak at 3219 Hz rings on (4/3 for a sine of 1).
  Resonator r = settled(44100.0, 0.5);
  for (int firstFinite : {0, 120}) {
    std::vector<double> in(44100), out(44100);
    for (int i = 0; i < 44100; ++i) in[size_t(i)] = std::sin(2.0 * kPi * 3219.0 * i / 44100.0);
    in[100] = firstFinite ? std::numeric_limits<double>::infinity() : std::nan("");
    for (int i = 101; firstFinite && i < 109; ++i)
      in[size_t(i)] = (i / 2 % 2 ? 1 : -1) * std::numeric_limits<double>::max();
    r.process(in.data(), out.data(), 44100);
    for (int i = firstFinite; i < 44100; ++i) ASSERT_TRUE(std::isfinite(out[size_t(i)])) << i;
    EXPECT_NEAR(audio::toneAmplitude(&out[22050], 22050, 3219.0, 44100.0), 4.0 / 3.0, 0.02);
  }

  // A modulation that is not a number is dropped instead of freezing the centre.
  Resonator m = settled(44100.0, 0.5, 1, std::nan(""));
  for (int i = 0; i < 200; ++i) m.update(kNoModulation);
  EXPECT_NEAR(findPeak(impulseResponse(m), 44100.0).hz, 3219.0, 7.0);
}
