#pragma once
// Second-order Butterworth low-pass (Q = 1/sqrt 2). The instrument runs two of them at one
// step per control frame as the lag processors (namespace lag below); it works at any rate.
//
// The filter is a state-variable form with trapezoidal integrators: its two states are the
// integrators' contents (the output and the output's rate of change divided by the cut-off
// frequency), not past samples. A move of the cut-off therefore changes how fast the output
// follows, never where it heads: the response to a fixed cut-off is the usual bilinear
// Butterworth, and at 0 Hz the output holds its last value.

#include <cmath>

#include "dsp/frame.h"

class LowPass {
 public:
  LowPass();

  // Sets the rate the filter runs at, clears the state and recomputes the coefficients for
  // the stored cut-off. Rates of 0 or below (or not a number) are ignored.
  void setSampleRate(float rate);
  // Stores the cut-off in hertz and recomputes the coefficients. Cut-offs are limited to
  // 0 .. 0.49 of the rate (below 0, or not a number, counts as 0).
  void setCutOff(double hz);
  double getCutOff() const { return cutOff; }

  // One sample in, one out.
  double process(double x) {
    // Anything that is not a finite number is replaced by 0, in the input and the state.
    x = clean(x);
    const double s1 = clean(state1);
    const double s2 = clean(state2);
    const double v3 = x - s2;
    const double v1 = c1 * s1 + c2 * v3;
    const double v2 = s2 + c2 * s1 + c3 * v3;
    state1 = 2.0 * v1 - s1;
    state2 = 2.0 * v2 - s2;
    return v2;
  }

  // The same for n samples in place.
  void process(double* buffer, int n);

 private:
  // v - v is 0 for every finite v and not a number for infinities and NaN. Infinities are
  // dropped too: one would otherwise keep the state cycling through inf and NaN for good.
  static double clean(double v) { return v - v == 0.0 ? v : 0.0; }
  void calcCoefficients();

  double cutOff;
  double sampleRate;
  // With g = tan(pi * cut-off / rate) and k = sqrt 2 (the damping): c1 = 1 / (1 + g (g + k)),
  // c2 = g c1, c3 = g c2. At 0 Hz c1 = 1 and c2 = c3 = 0: the state passes through unchanged.
  double c1, c2, c3;
  double state1;  // band-pass integrator: the output's slope over the cut-off frequency
  double state2;  // low-pass integrator: the output
};

// As the instrument's lag processors "LAG 1" and "LAG 2": one step per control frame, open
// at 500 Hz after a new frame length until the knobs are applied, and (1 - v)^6 * 250 Hz for
// a knob at v: 250 Hz at 0, 0 Hz (hold) at 1.
namespace lag {
constexpr float kRate = float(kFramesPerSecond);
constexpr double kStartCutOff = 500.0;
constexpr double kTopCutOff = 250.0;
inline double cutOffFor(double setting) { return std::pow(1.0 - setting, 6.0) * kTopCutOff; }
}  // namespace lag
