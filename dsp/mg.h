#pragma once
// Modulation generator: a counter-based low-frequency oscillator with six waveforms.
//
// The counter runs down from period - 1 to 0 once per cycle; the ramp r = 1 - 2 * counter /
// (period - 1) rises from -1 to +1 over the cycle and every waveform is derived from it. The
// period is either set freely (in steps: samples for a generator stepped every sample, control
// frames for one stepped every frame) or taken, together with the phase, from a rate of the
// tempo clock. isTrigger reports the start of every cycle.
//
// Noise comes from a 32-bit multiplicative congruential generator. Its seed is a plain cell
// that the owner may share between all generators of one instrument (setNoiseSeed), so that
// they draw from one sequence; a generator without a shared cell uses its own. Nothing is
// shared between instruments.
#include <atomic>
#include <cstdint>

#include "dsp/clock.h"

class MG {
 public:
  // "MG1 Wave" list entries. Entry 4 ("White Noise") gives the pink-filtered noise and entry 5
  // ("Pink Noise") the plain one: stored programs depend on the entries as they are.
  enum Waveform {
    kTriangle = 0,
    kSawDown = 1,
    kSawUp = 2,
    kSquare = 3,
    kNoiseFiltered = 4,
    kNoisePlain = 5,
  };
  static constexpr int32_t kNoiseSeedStart = 1;

  // One step of the noise generator on a seed cell: seed *= 16807 (wrapping in 32 bits);
  // returns seed / 2^31, a value in -1 .. +1. A seed that starts odd never becomes 0.
  static double getNoise(int32_t& randSeed) {
    randSeed = int32_t(uint32_t(randSeed) * 16807u);
    return randSeed * 4.6566129e-10;
  }

  // The counter of a cycle of oldPeriod steps moved to the same place in a cycle of newPeriod
  // steps (0 when either is shorter than one step).
  static int rescaleCounter(int counter, int oldPeriod, int newPeriod);

  MG();
  MG(const MG&) = delete;
  MG& operator=(const MG&) = delete;

  // Back to the state after construction (period 1, counter 0, triangle, silent noise filter,
  // own noise seed 1), keeping the clock and the shared seed cell.
  void init();

  void setClock(const Clock* c) { clock = c; }
  // Seed cell shared with other generators; null makes the generator use its own seed.
  void setNoiseSeed(int32_t* seed) { sharedSeed = seed; }

  void setWaveForm(int w) { waveform = w; }
  // Steps per cycle. Free running, the position within the cycle is kept in proportion. While
  // synced the value is only remembered: the period belongs to the clock.
  void setPeriod(int p);
  // Clock rate to follow, 0 (or anything that is not a rate) = free running. Turning sync off
  // leaves the clock's last period until a period is set again.
  void setSyncRate(int rate);

  // One step.
  void update() {
    const int p = period;
    int c = counter;
    if (c >= p) c = 0;
    const double r = p >= 2 ? 1.0 - 2.0 * c / (p - 1) : 0.0;

    double out = output;
    switch (waveform) {
      case kTriangle: out = r >= 0.0 ? 1.0 - 2.0 * r : 1.0 + 2.0 * r; break;
      case kSawDown: out = -r; break;
      case kSawUp: out = r; break;
      case kSquare: out = r < 0.0 ? 1.0 : -1.0; break;
      case kNoiseFiltered: {
        const double w = getNoise(sharedSeed ? *sharedSeed : ownSeed);
        // Three one-pole low-passes spread over the audio band sum to a -3 dB/octave slope.
        const double p0 = 0.99765 * pink0 + 0.099046 * w;
        const double p1 = 0.963 * pink1 + 0.2965164 * w;
        const double p2 = 0.57 * pink2 + 1.0526913 * w;
        pink0 = p0;
        pink1 = p1;
        pink2 = p2;
        out = 0.5 * (p0 + p1 + p2 + 0.1848 * w);
        break;
      }
      case kNoisePlain: out = getNoise(sharedSeed ? *sharedSeed : ownSeed); break;
      default: break;  // unknown waveform: the output holds
    }
    output = out;
    display.store(out, std::memory_order_relaxed);

    if (synced && clock) {
      // Follow the clock's grid, one step behind it.
      period = clock->getPeriod(syncRate);
      counter = clock->getCounter(syncRate);
      return;
    }
    counter = c > 0 ? c - 1 : p - 1;
  }

  // True once per cycle, at the first ask after the counter has wrapped to the top (rising
  // edge of 2 * counter >= period). Asked once per control frame.
  bool isTrigger() {
    const bool on = 2 * int64_t(counter) >= period;
    const bool fired = on && !lastOn;
    lastOn = on;
    return fired;
  }

  double getOutput() const { return output; }
  // The output as a patch-panel source cell.
  const double* outputCell() const { return &output; }
  // The last output, safe to read from another thread (the editor's lamps).
  double displayOutput() const { return display.load(std::memory_order_relaxed); }

  int getWaveForm() const { return waveform; }
  int getPeriod() const { return period; }
  int getRequestedPeriod() const { return requestedPeriod; }
  int getCounter() const { return counter; }
  int getSyncRate() const { return syncRate; }
  bool isSynced() const { return synced; }

 private:
  double output;
  const Clock* clock;
  int32_t* sharedSeed;
  int32_t ownSeed;
  bool synced;
  bool lastOn;
  int syncRate;
  int period;
  int requestedPeriod;
  int counter;
  int waveform;
  double pink0, pink1, pink2;
  std::atomic<double> display;
};
