#include "dsp/geg.h"

#include <cmath>

namespace {
constexpr double kLn10 = 2.302585092994045684017991454684;
}

GEG::GEG() : rateScale(kLn10 / 1000.0) {}

double GEG::coefficientFor(double p) const {
  const double c = std::pow(10.0, 2.3 - 4.5 * p) * rateScale;
  // A coefficient above 1 would overshoot the target; it only arises from out-of-range times.
  return c < 1.0 ? c : 1.0;
}

void GEG::setSampleRate(double rate) {
  retune(rate);
  state = kIdle;
  setIdleOutputs();
  target = previous = coefficient = value = 0.0;
  delayTarget = delayPrevious = delayCoefficient = delayValue = 0.0;
}

void GEG::retune(double rate) {
  if (!(rate >= 1.0)) return;
  rateScale = kLn10 / rate;
  if (state == kDelay) delayCoefficient = coefficientFor(delay);
  if (state == kAttack) coefficient = coefficientFor(attack);
  if (state == kRelease) coefficient = coefficientFor(release);
}

void GEG::start() {
  state = kDelay;
  delayValue = 0.0;
  delayTarget = 10.0 / 9.0;
  delayCoefficient = coefficientFor(delay);
}

void GEG::stop() {
  state = kRelease;
  target = -1.0 / 9.0;
  coefficient = coefficientFor(release);
}

void GEG::setDelay(double v) {
  delay = v;
  if (state == kDelay) delayCoefficient = coefficientFor(v);
}

void GEG::setAttack(double v) {
  attack = v;
  if (state == kAttack) coefficient = coefficientFor(v);
}

void GEG::setRelease(double v) {
  release = v;
  if (state == kRelease) coefficient = coefficientFor(v);
}
