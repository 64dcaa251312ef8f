#include "dsp/lowpass.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kStartCutOff = 7000.0;
constexpr double kStartRate = 44100.0;
constexpr double kAntiDenormal = 1e-13;
}  // namespace

LowPass::LowPass()
    : cutOff(kStartCutOff),
      omegaScale(kTwoPi / kStartRate),
      a1(0.0),
      a2(0.0),
      b0(0.0),
      b1(0.0),
      x1(0.0),
      x2(0.0),
      y1(0.0),
      y2(0.0),
      antiDenormal(kAntiDenormal) {
  calcCoefficients();
}

void LowPass::setSampleRate(float rate) {
  if (!(rate > 0.0f)) return;
  omegaScale = kTwoPi / rate;
  x1 = x2 = y1 = y2 = 0.0;
  calcCoefficients();
}

void LowPass::setCutOff(double hz) {
  cutOff = hz;
  calcCoefficients();
}

void LowPass::calcCoefficients() {
  const double w = cutOff * omegaScale;
  const double cosW = std::cos(w);
  const double alpha = std::sin(w) / std::sqrt(2.0);
  const double norm = 1.0 + alpha;
  a1 = 2.0 * cosW / norm;
  a2 = (alpha - 1.0) / norm;
  b0 = (1.0 - cosW) / (2.0 * norm);
  b1 = (1.0 - cosW) / norm;
}

void LowPass::process(double* buffer, int n) {
  for (int j = 0; j < n; ++j) buffer[j] = process(buffer[j]);
}
