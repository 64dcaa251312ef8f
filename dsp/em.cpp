#include "dsp/em.h"

#include "dsp/segment.h"

EM::EM() : rateScale(segment::rateScale(segment::kRateBeforeAny)) {}

double EM::coefficientFor(double p) const { return segment::coefficient(p, rateScale); }

void EM::setSampleRate(float rate) {
  state = kIdle;
  value = 0.0;
  if (rate >= 1.0f) rateScale = segment::rateScale(double(rate));
}

void EM::start() {
  if (hold && holding && useHold && state != kIdle) {
    // A new note-on ends a hold engaged through the attack gate.
    beginRelease();
    return;
  }
  state = kAttack;
  target = segment::kRiseTarget;
  coefficient = coefficientFor(attack);
}

void EM::stop(bool force) {
  if (!force && hold && holding) return;
  beginRelease();
}

void EM::setAttack(double v) {
  v = v >= 0.0 ? (v > 1.0 ? 1.0 : v) : 0.0;  // NaN counts as 0
  if (v == attack) return;  // called every frame: skip the power when nothing moved
  attack = v;
  if (state == kAttack) coefficient = coefficientFor(attack);
}

void EM::setDecay(double v) {
  decay = 0.8 * v + 0.2;
  if (state == kDecay) coefficient = coefficientFor(decay);
}

void EM::setSustain(double v) {
  sustain = v;
  if (state == kDecay) target = v;
}

void EM::setRelease(int index) {
  release = (index >= 0 && index < 2) ? kReleaseTimes[index] : kReleaseTimes[2];
  if (!override) releaseTime = release;
  if (state == kRelease) coefficient = coefficientFor(releaseTime);
}

void EM::setRelease(double v) {
  overrideRelease = v;
  if (override) releaseTime = v;
  if (state == kRelease) coefficient = coefficientFor(releaseTime);
}

void EM::setOverrideRelease(bool on) {
  override = on;
  releaseTime = on ? overrideRelease : release;
  if (state == kRelease) coefficient = coefficientFor(releaseTime);
}
