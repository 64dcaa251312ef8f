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
//
// EMLanes holds N envelopes side by side, slot s of every array belonging to envelope s (the
// level and segment, which change every sample, laid out for the wide voice loop to run in
// place); EM is the one-envelope case.
#include <cstdint>

#include "dsp/segment.h"

template <int N>
class EMLanes {
 public:
  enum State { kIdle = 0, kAttack, kDecay, kRelease };
  // "EM Rel" list: "Damp", "Halp Damp", "Release".
  static constexpr double kReleaseTimes[3] = {0.05, 0.43, 0.75};
  // Smallest level a decay toward sustain 0 is allowed to reach: keeps the value (and the
  // voice output) out of the denormal range on notes held for minutes.
  static constexpr double kFloor = 1e-300;

  EMLanes();

  // Every envelope idle at level 0, its steps timed for this rate (1 Hz and above).
  void setSampleRate(float rate);

  void start(int s);
  void stop(int s, bool force);

  void setAttack(int s, double v) {
    v = v >= 0.0 ? (v > 1.0 ? 1.0 : v) : 0.0;  // NaN counts as 0
    if (v != attack[s]) attackMoved(s, v);     // called every frame: most often nothing moved
  }
  void setDecay(int s, double v);
  void setSustain(int s, double v);
  void setRelease(int s, int index);  // "EM Rel" list index
  void setRelease(int s, double v);   // "EM O.Rel" time parameter
  void setOverrideRelease(int s, bool on);
  void setHold(int s, bool on);
  void setUseHold(int s, bool on);

  // One step of envelope s.
  inline void update(int s);

  double getValue(int s) const { return value[s]; }
  int getState(int s) const { return state[s]; }
  bool isIdle(int s) const { return state[s] == kIdle; }
  bool isHolding(int s) const { return holding[s] != 0; }
  double getReleaseTime(int s) const { return releaseTime[s]; }

  // Step coefficient of a time parameter at these envelopes' rate.
  double coefficientFor(double p) const { return segment::coefficient(p, rateScale); }

  // Adds count buffers, each scaled by the level of its envelope (slots[i] for in[i]) and by a
  // gain (gains[slots[i]]), to out[0 .. n), stepping the envelopes after every sample whose
  // frame position (offset + index) is at least 1. Every sample of out receives the buffers in
  // order, so the sums are the same bit for bit as one buffer after another; several are done
  // at a time so that their envelope steps overlap.
  void mixMany(const int* slots, const double* const* in, const double* gains, int count,
               double* out, int n, int offset);

  // Hot state, slot by slot; the wide voice loop reads and writes it in place.
  double value[N];
  double previous[N];     // the value before the last step
  double target[N];       // where the segment aims
  double coefficient[N];  // its step coefficient
  int32_t state[N];       // State
  int32_t holding[N];     // 1 while holding
  // Decisions of the hold gate at the next step, kept up to date with "EM Hold", "Use Hold"
  // and the attack: 1 where the hold engages, and where it ends if it is holding.
  int32_t holdSet[N];
  int32_t holdEnd[N];

 private:
  static constexpr int kMixGroupSize = 4;  // envelopes mixMany steps side by side
  template <int G>
  void mixGroup(const int* slots, const double* const* in, const double* gains, double* out, int n,
                int offset);

  void attackMoved(int s, double v);
  void refreshHold(int s) {
    holdSet[s] = hold[s] && (!useHold[s] || attack[s] > 0.7);
    holdEnd[s] = !hold[s] && (!useHold[s] || attack[s] < 0.3);
  }
  void beginRelease(int s) {
    holding[s] = 0;
    state[s] = kRelease;
    target[s] = segment::kFallTarget;
    coefficient[s] = coefficientFor(releaseTime[s]);
  }
  void step(int s) {
    previous[s] = value[s];
    value[s] = value[s] + (target[s] - value[s]) * coefficient[s];
  }

  // Settings, slot by slot.
  double attack[N], decay[N], sustain[N], release[N], overrideRelease[N], releaseTime[N];
  bool hold[N], useHold[N], override[N];
  double rateScale;
};

template <int N>
inline void EMLanes<N>::update(int s) {
  if (holdSet[s]) {
    holding[s] = 1;
  } else if (holding[s] && holdEnd[s]) {
    beginRelease(s);
    step(s);
    if (value[s] <= 0.0) {
      value[s] = 0.0;
      state[s] = kIdle;
    }
    return;
  }
  switch (state[s]) {
    case kAttack:
      step(s);
      if (value[s] >= 1.0) {
        value[s] = 1.0;
        state[s] = kDecay;
        coefficient[s] = coefficientFor(decay[s]);
        target[s] = sustain[s];
      }
      break;
    case kDecay:
      step(s);
      if (value[s] <= 0.0) {
        value[s] = 0.0;
        state[s] = kIdle;
      } else if (value[s] < kFloor) {
        value[s] = kFloor;
      }
      break;
    case kRelease:
      step(s);
      if (value[s] <= 0.0) {
        value[s] = 0.0;
        state[s] = kIdle;
      }
      break;
    default: break;
  }
}

// One envelope.
class EM : public EMLanes<1> {
 public:
  void start() { EMLanes<1>::start(0); }
  void stop(bool force) { EMLanes<1>::stop(0, force); }

  void setAttack(double v) { EMLanes<1>::setAttack(0, v); }
  void setDecay(double v) { EMLanes<1>::setDecay(0, v); }
  void setSustain(double v) { EMLanes<1>::setSustain(0, v); }
  void setRelease(int index) { EMLanes<1>::setRelease(0, index); }
  void setRelease(double v) { EMLanes<1>::setRelease(0, v); }
  void setOverrideRelease(bool on) { EMLanes<1>::setOverrideRelease(0, on); }
  void setHold(bool on) { EMLanes<1>::setHold(0, on); }
  void setUseHold(bool on) { EMLanes<1>::setUseHold(0, on); }

  // One step of the envelope.
  void update() { EMLanes<1>::update(0); }

  double getValue() const { return value[0]; }
  int getState() const { return state[0]; }
  bool isIdle() const { return EMLanes<1>::isIdle(0); }
  bool isHolding() const { return EMLanes<1>::isHolding(0); }
  double getReleaseTime() const { return EMLanes<1>::getReleaseTime(0); }
};
