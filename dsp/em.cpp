#include "dsp/em.h"

#include <cstring>

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

void EM::toLanes(VoiceLanes& L, int s) const {
  static_assert(VoiceLanes::kEnvelopeFloor == kFloor && int(VoiceLanes::kIdle) == kIdle &&
                    int(VoiceLanes::kAttack) == kAttack && int(VoiceLanes::kDecay) == kDecay &&
                    int(VoiceLanes::kRelease) == kRelease,
                "the wide loop's envelope numbers");
  L.value[s] = value;
  L.previous[s] = previous;
  L.target[s] = target;
  L.coefficient[s] = coefficient;
  L.state[s] = state;
  L.holding[s] = holding ? -1 : 0;
  // The two hold branches of update(), decided once for the stretch.
  const bool holdSet = hold && (!useHold || attack > 0.7);
  const bool holdEnd = !hold && (!useHold || attack < 0.3);
  L.holdSet[s] = holdSet ? -1 : 0;
  L.holdEnd[s] = holdEnd ? -1 : 0;
  // Whether update() would leave everything as it is (previous aside, which takes the value).
  bool steady = hold ? (!holdSet || holding) : !(holdEnd && holding);
  if (state == kDecay) {
    const double next = value + (target - value) * coefficient;
    steady = steady && std::memcmp(&next, &value, sizeof next) == 0 && !(next <= 0.0) &&
             !(next < kFloor);
  } else if (state != kIdle) {
    steady = false;
  }
  L.steady[s] = steady ? -1 : 0;
}

void EM::fromLanes(const VoiceLanes& L, int s) {
  value = L.value[s];
  previous = L.previous[s];
  target = L.target[s];
  coefficient = L.coefficient[s];
  state = L.state[s];
  holding = L.holding[s] != 0;
}

void stepEnvelopeSlot(VoiceLanes& lanes, int s) {
  EM& envelope = *lanes.envelope[s];
  envelope.fromLanes(lanes, s);
  envelope.update();
  envelope.toLanes(lanes, s);
}
