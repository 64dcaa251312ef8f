#pragma once
// General envelope generator of the instrument: delay, attack, release, with an optional
// automatic release. Its level e (0 .. 1) feeds three patch-panel sources: "GE1-" = 1 - e,
// "GE2+" = e - 1 and "GE3+" = e.
//
// Its segments follow the law of dsp/segment.h. A start runs a delay ramp (10^(4.5 d - 2.3)
// s), then the attack toward 1.0, which ends at 0.999 (3 * 10^(4.5 a - 2.3) s). Without
// automatic release the level then holds at 1.0 until stop(); with it the release follows at
// once. The release falls from 1 to 0 in 10^(4.5 r - 2.3) s. update() is called once per
// sample.
#include <atomic>

#include "dsp/segment.h"

class GEG {
 public:
  enum State { kIdle = 0, kDelay, kAttack, kRelease };  // kRelease also holds at 1.0

  GEG();

  // A new rate: the generator goes idle, its parameters stay.
  void setSampleRate(double rate);
  // A new rate for a running generator: its segment in progress continues at the same speed
  // in seconds. Rates below 1 are ignored.
  void retune(double rate);

  void start();
  void stop();
  bool isOn() const { return state != kIdle; }
  // The same for the editor's lamp, which reads it from another thread.
  bool displayOn() const { return display.load(std::memory_order_relaxed); }

  void setDelay(double v);
  void setAttack(double v);
  void setRelease(double v);
  void setAutoRelease(bool on) { autoRelease = on; }

  inline void update();

  // Source cells, valid for the lifetime of the generator: 1 = "GE1-", 2 = "GE2+", 3 = "GE3+";
  // null for any other n.
  const double* getOutput(int n) const {
    return n == 1 ? &ge1 : n == 2 ? &ge2 : n == 3 ? &ge3 : nullptr;
  }
  double getValue() const { return value; }
  int getState() const { return state; }

  double coefficientFor(double p) const;

 private:
  void setIdleOutputs() {
    ge1 = 1.0;
    ge2 = -1.0;
    ge3 = 0.0;
  }

  double ge1 = 1.0;
  double ge2 = -1.0;
  double ge3 = 0.0;
  double delay = 0.0;
  double attack = 0.0;
  double release = 0.0;
  bool autoRelease = false;
  int state = kIdle;
  std::atomic<bool> display{false};  // state != kIdle, stored where the state comes or goes
  double target = 0.0;
  double previous = 0.0;
  double coefficient = 0.0;
  double value = 0.0;
  double delayTarget = 0.0;
  double delayPrevious = 0.0;
  double delayCoefficient = 0.0;
  double delayValue = 0.0;
  double rateScale;
};

inline void GEG::update() {
  if (state == kIdle) {
    setIdleOutputs();
    return;
  }
  previous = value;
  value = value + (target - value) * coefficient;
  switch (state) {
    case kRelease:
      if (value <= 0.0) {
        value = 0.0;
        state = kIdle;
        display.store(false, std::memory_order_relaxed);
      }
      break;
    case kAttack:
      if (value >= 0.999) {
        state = kRelease;
        coefficient = coefficientFor(release);
        if (autoRelease) {
          target = segment::kFallTarget;
        } else {
          value = 1.0;
          target = 1.0;  // hold at the top until stop()
        }
      }
      break;
    case kDelay:
      if (value < 0.0) value = 0.0;
      delayPrevious = delayValue;
      delayValue = delayValue + (delayTarget - delayValue) * delayCoefficient;
      if (delayValue >= 1.0) {
        state = kAttack;
        coefficient = coefficientFor(attack);
        target = 1.0;
      }
      break;
    default: break;
  }
  ge1 = 1.0 - value;
  ge2 = value - 1.0;
  ge3 = value;
}
