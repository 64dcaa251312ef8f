#pragma once
// Per-voice envelope: attack, decay, sustain, release, with a hold function.
//
// Every segment follows the law of dsp/segment.h: the attack rises to 1, the release falls to
// 0, each in 10^(4.5 p - 2.3) seconds for its time parameter p (0 .. 1). The decay falls
// toward the sustain level with the same law (90 % of the way in that time).
//
// Hold: with "EM Hold" on, the envelope ignores note-offs once it is holding. Without
// "Use Hold" it holds at once; with "Use Hold" the (modulated) attack parameter acts as a gate
// that engages the hold above 0.7 and ends it, once "EM Hold" is off, below 0.3. A forced stop
// (release trigger) always releases.
//
// The voice calls update() once per control frame and once after every rendered sample.
#include "dsp/segment.h"
#include "dsp/voicelanes.h"

class EM {
 public:
  enum State { kIdle = 0, kAttack, kDecay, kRelease };
  // "EM Rel" list: "Damp", "Halp Damp", "Release".
  static constexpr double kReleaseTimes[3] = {0.05, 0.43, 0.75};

  EM();

  void setSampleRate(float rate);

  void start();
  void stop(bool force);

  void setAttack(double v);
  void setDecay(double v);
  void setSustain(double v);
  void setRelease(int index);   // "EM Rel" list index
  void setRelease(double v);    // "EM O.Rel" time parameter
  void setOverrideRelease(bool on);
  void setHold(bool on) { hold = on; }
  void setUseHold(bool on) { useHold = on; }

  // One step of the envelope.
  inline void update();

  double getValue() const { return value; }
  int getState() const { return state; }
  bool isIdle() const { return state == kIdle; }
  bool isHolding() const { return holding; }
  double getReleaseTime() const { return releaseTime; }

  // Step coefficient of a time parameter at this envelope's rate.
  double coefficientFor(double p) const;

  // Lane form for the wide voice loop: level, segment and hold state into slot s of lanes,
  // with the hold decisions the next steps take (the attack does not move within a stretch);
  // and back from the slot.
  void toLanes(VoiceLanes& lanes, int s) const;
  void fromLanes(const VoiceLanes& lanes, int s);

 private:
  // Smallest level a decay toward sustain 0 is allowed to reach: keeps the value (and the
  // voice output) out of the denormal range on notes held for minutes.
  static constexpr double kFloor = 1e-300;

  void beginRelease() {
    holding = false;
    state = kRelease;
    target = segment::kFallTarget;
    coefficient = coefficientFor(releaseTime);
  }
  void step() {
    previous = value;
    value = value + (target - value) * coefficient;
  }

  double value = 0.0;
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 0.0;
  double release = 0.0;
  double overrideRelease = 0.0;
  bool hold = false;
  bool useHold = false;
  bool override = false;
  int state = kIdle;
  bool holding = false;
  double releaseTime = 0.0;
  double target = 0.0;
  double previous = 0.0;
  double coefficient = 0.0;
  double rateScale;
};

inline void EM::update() {
  if (hold) {
    if (!useHold || attack > 0.7) holding = true;
  } else if (holding && (!useHold || attack < 0.3)) {
    beginRelease();
    step();
    if (value <= 0.0) {
      value = 0.0;
      state = kIdle;
    }
    return;
  }
  switch (state) {
    case kAttack:
      step();
      if (value >= 1.0) {
        value = 1.0;
        state = kDecay;
        coefficient = coefficientFor(decay);
        target = sustain;
      }
      break;
    case kDecay:
      step();
      if (value <= 0.0) {
        value = 0.0;
        state = kIdle;
      } else if (value < kFloor) {
        value = kFloor;
      }
      break;
    case kRelease:
      step();
      if (value <= 0.0) {
        value = 0.0;
        state = kIdle;
      }
      break;
    default: break;
  }
}
