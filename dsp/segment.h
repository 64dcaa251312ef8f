#pragma once
// The time law of the envelopes (the voices' EM and the general GEG). Every segment is a
// one-pole step toward a target a ninth beyond its end point, so it stops when a tenth of the
// distance is left: rising segments aim at 10/9 and stop at 1, falling ones aim at -1/9 and
// stop at 0. With the step coefficient c(p) = 10^(2.3 - 4.5 p) * ln(10) / rate a segment of
// time parameter p (0 .. 1) then lasts 10^(4.5 p - 2.3) s: 5 ms at 0, 0.891 s at 0.5, 158 s
// at 1.
#include <cmath>

namespace segment {

constexpr double kRiseTarget = 10.0 / 9.0;
constexpr double kFallTarget = -1.0 / 9.0;
constexpr double kRateBeforeAny = 1000.0;  // the rate assumed until one is set

// ln(10) / rate: the part of the coefficient that depends on the rate.
inline double rateScale(double rate) { return 2.302585092994045684017991454684 / rate; }

// Step coefficient of time parameter p at a rate scale. A coefficient above 1 would overshoot
// the target; it only arises from out-of-range times.
inline double coefficient(double p, double rateScale) {
  const double c = std::pow(10.0, 2.3 - 4.5 * p) * rateScale;
  return c < 1.0 ? c : 1.0;
}

}  // namespace segment
