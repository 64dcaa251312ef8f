#include "dsp/mg.h"

static_assert(std::atomic<double>::is_always_lock_free, "the lamp value must be lock-free");

int MG::rescaleCounter(int counter, int oldPeriod, int newPeriod) {
  if (newPeriod < 1 || oldPeriod < 1 || counter <= 0) return 0;
  const double c = counter * (double(newPeriod) / double(oldPeriod));
  // A counter can stand at the top of its cycle (the clock counts from the period itself).
  return c >= newPeriod ? newPeriod : int(c);
}

MG::MG() : clock(nullptr), sharedSeed(nullptr), display(0.0) { init(); }

void MG::init() {
  output = 0.0;
  ownSeed = kNoiseSeedStart;
  synced = false;
  lastOn = false;
  syncRate = 0;
  period = 1;
  requestedPeriod = 1;
  counter = 0;
  waveform = kTriangle;
  pink0 = pink1 = pink2 = 0.0;
  display.store(0.0, std::memory_order_relaxed);
}

void MG::setPeriod(int p) {
  requestedPeriod = p;
  if (synced) return;
  counter = rescaleCounter(counter, period, p);
  period = p;
}

void MG::setSyncRate(int rate) {
  syncRate = Clock::validRate(rate) ? rate : 0;
  synced = syncRate > 0;
}
