#include "dsp/sh.h"

#include "dsp/mg.h"

SH::SH(const Clock* c) : clock(c), display(false) { init(); }

void SH::init() {
  output = 0.0;
  armed = false;
  synced = false;
  synchro = false;
  lastOn = false;
  syncRate = 0;
  period = 1;
  requestedPeriod = 1;
  counter = 0;
  display.store(false, std::memory_order_relaxed);
}

void SH::setPeriod(int p) {
  requestedPeriod = p;
  if (synced) return;
  counter = MG::rescaleCounter(counter, period, p);
  period = p;
}

void SH::setSyncRate(int rate) {
  syncRate = Clock::validRate(rate) ? rate : 0;
  synced = syncRate > 0;
}

void SH::setSynchro(bool on) {
  synchro = on;
  if (!on) counter = period = requestedPeriod;
}

int SH::stretchedPeriod(double x) const {
  const double p = requestedPeriod * ((x + 1.0) * 0.5 + 0.5);
  if (!(p >= kMinStretchedPeriod)) return kMinStretchedPeriod;  // also for not a number
  if (p >= Clock::kMaxPeriod) return Clock::kMaxPeriod;
  return int(p);
}

void SH::sample(double x) {
  int p = period;
  int c = counter;
  if (2 * int64_t(c) >= p) {
    // First half of the cycle: the first frame takes the value.
    if (armed) {
      output = x;
      armed = false;
      if (synchro && !synced) p = stretchedPeriod(x);
    }
  } else {
    armed = true;
  }

  if (synced && clock) {
    p = clock->getPeriod(syncRate);
    c = clock->getCounter(syncRate);
  } else {
    c = c > 0 ? c - 1 : p - 1;
  }
  period = p;
  counter = c;
  display.store(2 * int64_t(c) >= p, std::memory_order_relaxed);
}

bool SH::isTrigger() {
  const bool on = 2 * int64_t(counter) >= period;
  const bool fired = on && !lastOn;
  lastOn = on;
  return fired;
}
