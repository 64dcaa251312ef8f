#pragma once
// Sample-and-hold of the instrument, stepped once per control frame.
//
// Every frame it is offered an input value; at the first frame of each of its cycles it takes
// that value and holds it for the whole cycle. The cycle is free running (a period in control
// frames), follows a rate of the tempo clock, or, with "S/H Sync", is stretched by the value
// just taken: from half the set period at -1 to one and a half times at +1.
#include <atomic>
#include <cstdint>

#include "dsp/clock.h"

class SH {
 public:
  // Shortest stretched cycle: with fewer frames the first half of the cycle, where the value is
  // taken, would vanish and the S&H would never sample again.
  static constexpr int kMinStretchedPeriod = 2;

  explicit SH(const Clock* clock = nullptr);
  SH(const SH&) = delete;
  SH& operator=(const SH&) = delete;

  // Back to the state after construction (held value 0, period 1), keeping the clock.
  void init();
  void setClock(const Clock* c) { clock = c; }

  // Control frames per cycle; as MG::setPeriod.
  void setPeriod(int p);
  // Clock rate to follow, 0 (or anything that is not a rate) = free running.
  void setSyncRate(int rate);
  // "S/H Sync". Switching it off restarts the cycle with the period last set.
  void setSynchro(bool on);

  // Once per control frame with the frame's input value.
  void sample(double x);
  // True once per cycle (rising edge of 2 * counter >= period), asked once per frame.
  bool isTrigger();

  double getOutput() const { return output; }
  // The held value as a patch-panel source cell.
  const double* outputCell() const { return &output; }
  // First half of the cycle (the lamp), safe to read from another thread.
  bool displayOn() const { return display.load(std::memory_order_relaxed); }

  int getPeriod() const { return period; }
  int getRequestedPeriod() const { return requestedPeriod; }
  int getCounter() const { return counter; }
  bool isSynced() const { return synced; }
  bool getSynchro() const { return synchro; }

 private:
  int stretchedPeriod(double x) const;

  double output;
  const Clock* clock;
  bool armed;
  bool synced;
  bool synchro;
  bool lastOn;
  int syncRate;
  int period;
  int requestedPeriod;
  int counter;
  std::atomic<bool> display;
};
