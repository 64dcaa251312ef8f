#include "dsp/resonator.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kLowestHz = 80.0;
constexpr double kHighestHz = 10000.0;
constexpr double kSmoothingHz = 2000.0;  // corner of the per-frame modulation smoothing
constexpr double kStartRate = 44100.0;
constexpr double kTwoThirds = 2.0 / 3.0;
constexpr double kOneThird = 1.0 / 3.0;

// Marks the coefficients as never computed, so the first update always computes them (even
// for position + modulation 0, which a start value of 0 would take as already done).
constexpr double kNoCentre = std::numeric_limits<double>::quiet_NaN();

// Anything that is not a finite number becomes 0 (v - v is 0 only for finite v): an infinity
// left in the history would keep it cycling through inf and NaN.
inline double finiteOrZero(double v) { return v - v == 0.0 ? v : 0.0; }
}  // namespace

Resonator::Resonator()
    : position(0.5),
      intensity(0.0),
      omegaMin(kTwoPi * kLowestHz / kStartRate),
      omegaMax(kTwoPi * kHighestHz / kStartRate),
      b0(0.0),
      a1(0.0),
      a2(0.0),
      smoothA(0.0),
      smoothB(std::exp(-kTwoPi * kSmoothingHz / kStartRate)),
      modSmoothed(0.0),
      lastX(kNoCentre),
      x1(0.0),
      x2(0.0),
      y1(0.0),
      y2(0.0) {
  smoothA = 1.0 - smoothB;
}

void Resonator::setSampleRate(float rate) {
  if (!(rate > 0.0f)) return;
  const double r = rate;
  omegaMin = kTwoPi * kLowestHz / r;
  omegaMax = kTwoPi * kHighestHz / r;
  smoothB = std::exp(-kTwoPi * kSmoothingHz / r);
  smoothA = 1.0 - smoothB;
  b0 = a1 = a2 = 0.0;
  x1 = x2 = y1 = y2 = 0.0;
  modSmoothed = 0.0;
  lastX = kNoCentre;
  position = 0.5;
  intensity = 0.0;
}

void Resonator::update(double mod) {
  // A modulation that is not a finite number would stick in the smoother for good: drop it.
  modSmoothed = finiteOrZero(smoothA * mod + smoothB * modSmoothed);
  const double x = modSmoothed + position;
  if (x == lastX) return;
  lastX = x;
  double y;
  if (x < 0.0) {
    y = 0.0;
  } else if (x > 1.0) {
    y = 1.0;
  } else {
    const double x2sq = x * x;
    y = x2sq * x2sq;
  }
  const double w = omegaMin + (omegaMax - omegaMin) * y;
  const double alpha = std::sin(w) / 4.0;
  const double norm = 1.0 + alpha;
  b0 = 2.0 * alpha / norm;
  a1 = 2.0 * std::cos(w) / norm;
  a2 = (alpha - 1.0) / norm;
}

void Resonator::process(const double* in, double* out, int n) {
  const double c0 = b0, c1 = a1, c2 = a2, gain = intensity;
  // The input history only ever holds cleaned inputs; the output history is cleaned as it
  // is used, so a non-finite value that got into it is dropped on the next sample.
  double h1 = finiteOrZero(x1), h2 = finiteOrZero(x2);
  double g1 = y1, g2 = finiteOrZero(y2);
  for (int j = 0; j < n; ++j) {
    const double x = finiteOrZero(in[j]);
    g1 = finiteOrZero(g1);
    const double r = c0 * (x - h2) + c1 * g1 + c2 * g2;
    h2 = h1;
    h1 = x;
    g2 = g1;
    g1 = r;
    out[j] += (kTwoThirds * r - kOneThird * x) * gain + kOneThird * x;
  }
  x1 = h1;
  x2 = h2;
  y1 = g1;
  y2 = g2;
}
