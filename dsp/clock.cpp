#include "dsp/clock.h"

#include <cmath>

namespace {

constexpr double kDefaultTempo = 120.0;

// A rate is a note value as its label reads: num/den of a whole note, plain, dotted (one and
// a half times as long) or triplet (two thirds as long).
enum class Kind { kPlain, kDotted, kTriplet };
struct NoteValue {
  int num;
  int den;
  Kind kind;
};

constexpr NoteValue kNoteValues[Clock::kNumRates] = {
    {0, 1, Kind::kPlain},     // "off"
    {4, 1, Kind::kPlain},     // "4/1"
    {2, 1, Kind::kDotted},    // "2/1."
    {2, 1, Kind::kPlain},     // "2/1"
    {1, 1, Kind::kDotted},    // "1/1."
    {1, 1, Kind::kPlain},     // "1/1"
    {1, 2, Kind::kDotted},    // "1/2."
    {1, 2, Kind::kPlain},     // "1/2"
    {1, 4, Kind::kDotted},    // "1/4."
    {1, 2, Kind::kTriplet},   // "1/2T"
    {1, 4, Kind::kPlain},     // "1/4"
    {1, 8, Kind::kDotted},    // "1/8."
    {1, 4, Kind::kTriplet},   // "1/4T"
    {1, 8, Kind::kPlain},     // "1/8"
    {1, 16, Kind::kDotted},   // "1/16."
    {1, 8, Kind::kTriplet},   // "1/8T"
    {1, 16, Kind::kPlain},    // "1/16"
    {1, 32, Kind::kDotted},   // "1/32."
    {1, 16, Kind::kTriplet},  // "1/16T"
    {1, 32, Kind::kPlain},    // "1/32"
    {1, 64, Kind::kPlain},    // "1/64"
};

// Quarter notes in a note value.
constexpr double quarterNotes(const NoteValue& v) {
  const double q = 4.0 * v.num / v.den;
  switch (v.kind) {
    case Kind::kDotted: return q * 1.5;
    case Kind::kTriplet: return q * 2.0 / 3.0;
    default: return q;
  }
}

struct RateTable {
  double beats[Clock::kNumRates];
  constexpr RateTable() : beats() {
    for (int r = 0; r < Clock::kNumRates; ++r) beats[r] = quarterNotes(kNoteValues[r]);
  }
};
constexpr RateTable kRateTable;

// Nearest integer period for an interval, limited to 0 .. kMaxPeriod (0 for not a number).
int roundPeriod(double interval) {
  const double p = std::floor(interval + 0.5);
  if (!(p >= 0.0)) return 0;
  if (p >= double(Clock::kMaxPeriod)) return Clock::kMaxPeriod;
  return int(p);
}

}  // namespace

double roundTempo(double bpm) { return std::round(bpm * 1000.0) * 0.001; }

double Clock::beatsOfRate(int rate) { return validRate(rate) ? kRateTable.beats[rate] : 0.0; }

Clock::Clock() : sampleRate(kDefaultSampleRate) { init(); }

void Clock::init() {
  for (int r = 0; r < kNumRates; ++r) {
    period[r] = 0;
    counter[r] = 0;
    nextMarker[r] = 0.0;
    interval[r] = 0.0;
    triggerState[r] = false;
  }
  position = -1.0;
  tempo = kDefaultTempo;
  samplesPerBeat = 0.0;
  lastPPQ = 0.0;
}

void Clock::setSampleRate(double rate) {
  if (!(rate > 0.0) || !std::isfinite(rate) || rate == sampleRate) return;
  const double ratio = rate / sampleRate;
  sampleRate = rate;
  if (!(samplesPerBeat > 0.0)) return;  // no grid yet: the first synchronize builds it

  if (position > 0.0) position *= ratio;
  computeGrid();
  for (int r = 1; r < kNumRates; ++r) {
    const double c = std::floor(counter[r] * ratio);
    counter[r] = c < 0.0 ? 0 : (c > period[r] ? period[r] : int(c));
  }
  calculateMarkers();
}

void Clock::computeGrid() {
  samplesPerBeat = 60.0 / tempo * sampleRate;
  for (int r = 1; r < kNumRates; ++r) {
    interval[r] = samplesPerBeat * kRateTable.beats[r];
    period[r] = roundPeriod(interval[r]);
  }
}

void Clock::synchronize(const ITimeInfo* ti) {
  if (!ti) return;
  const double t = roundTempo(ti->mTempo);
  // No tempo (or nonsense) runs the grid at 120 beats per minute.
  tempo = (t > 0.0 && std::isfinite(t)) ? t : kDefaultTempo;
  computeGrid();

  const double ppq = ti->mPPQPos;
  position = ti->mSamplePos < 0.0 ? ti->mSamplePos : ppq * samplesPerBeat;
  if (!std::isfinite(position)) position = -1.0;

  // The same position again: the grid runs on as it is.
  if (ppq == lastPPQ) return;

  // The song went back (a loop or a jump): restart every countdown and anchor the grid at
  // the jump. Only with a position: without one the clock stands still.
  if (lastPPQ > ppq && position >= 0.0) {
    position = 0.0;
    for (int r = 1; r < kNumRates; ++r) counter[r] = period[r];
  }
  calculateMarkers();
  lastPPQ = ppq;
}

void Clock::reset() {
  position = 0.0;
  for (int r = 1; r < kNumRates; ++r) counter[r] = period[r];
}

void Clock::calculateMarkers() {
  const double pos = position;
  for (int r = 1; r < kNumRates; ++r) {
    const double iv = interval[r];
    if (!(iv > 0.0)) {
      nextMarker[r] = HUGE_VAL;  // no grid for this rate
      continue;
    }
    double m = std::floor(pos / iv) * iv;
    if (m < pos) m += iv;
    nextMarker[r] = m;
  }
}

bool Clock::isTrigger(int rate) {
  if (!validRate(rate)) return false;
  const bool on = 2 * int64_t(counter[rate]) >= period[rate];
  const bool fired = on && !triggerState[rate];
  triggerState[rate] = on;
  return fired;
}
