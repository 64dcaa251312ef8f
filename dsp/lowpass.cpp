#include "dsp/lowpass.h"

#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793238462643383279;
constexpr double kStartCutOff = 7000.0;
constexpr double kStartRate = 44100.0;
constexpr double kDamping = 1.4142135623730950488016887242097;  // 1 / Q
// Highest cut-off as a fraction of the rate: just below half of it, where the tangent of
// the pre-warped frequency grows without bound.
constexpr double kMaxCutOffRatio = 0.49;
}  // namespace

LowPass::LowPass()
    : cutOff(kStartCutOff),
      sampleRate(kStartRate),
      c1(1.0),
      c2(0.0),
      c3(0.0),
      state1(0.0),
      state2(0.0) {
  calcCoefficients();
}

void LowPass::setSampleRate(float rate) {
  if (!(rate > 0.0f)) return;
  sampleRate = rate;
  state1 = state2 = 0.0;
  calcCoefficients();
}

void LowPass::setCutOff(double hz) {
  cutOff = hz;
  calcCoefficients();
}

void LowPass::calcCoefficients() {
  double hz = cutOff >= 0.0 ? cutOff : 0.0;  // NaN counts as 0
  if (hz > kMaxCutOffRatio * sampleRate) hz = kMaxCutOffRatio * sampleRate;
  const double g = std::tan(kPi * hz / sampleRate);
  c1 = 1.0 / (1.0 + g * (g + kDamping));
  c2 = g * c1;
  c3 = g * c2;
}

void LowPass::process(double* buffer, int n) {
  for (int j = 0; j < n; ++j) buffer[j] = process(buffer[j]);
}
