#include "dsp/geg.h"

#include "dsp/segment.h"

GEG::GEG() : rateScale(segment::rateScale(segment::kRateBeforeAny)) {}

double GEG::coefficientFor(double p) const { return segment::coefficient(p, rateScale); }

void GEG::setSampleRate(double rate) {
  retune(rate);
  state = kIdle;
  display.store(false, std::memory_order_relaxed);
  setIdleOutputs();
  target = previous = coefficient = value = 0.0;
  delayTarget = delayPrevious = delayCoefficient = delayValue = 0.0;
}

void GEG::retune(double rate) {
  if (!(rate >= 1.0)) return;
  rateScale = segment::rateScale(rate);
  if (state == kDelay) delayCoefficient = coefficientFor(delay);
  if (state == kAttack) coefficient = coefficientFor(attack);
  if (state == kRelease) coefficient = coefficientFor(release);
}

void GEG::start() {
  state = kDelay;
  display.store(true, std::memory_order_relaxed);
  delayValue = 0.0;
  delayTarget = segment::kRiseTarget;
  delayCoefficient = coefficientFor(delay);
}

void GEG::stop() {
  state = kRelease;
  display.store(true, std::memory_order_relaxed);
  target = segment::kFallTarget;
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
