#pragma once
// Tempo clock: a grid of 20 note values locked to the host's transport.
//
// For every rate the clock keeps the interval in samples, the song position of its next grid
// point and a countdown that restarts at `period` on every grid point and runs down to 0. A
// rate is "on" during roughly the first half of each interval; isTrigger reports the rising
// edge of that state. Synced modulation generators and the sample-and-hold read a rate's
// period and countdown to follow the grid.
//
// Use: setSampleRate whenever the processing rate changes; at the start of every host block
// synchronize (transport running, or the very first block), reset (transport just started) or
// calculateMarkers (transport stopped); tick once for every sample the engine renders.
#include <cstdint>

#include "plugin/ITimeInfo.h"

// Tempo rounded to a thousandth of a beat per minute (halves away from zero).
double roundTempo(double bpm);

class Clock {
 public:
  // The "... Host" / "Clk. Src" list: rate 0 ("off") is no rate; 1 .. 20 run from "4/1"
  // down to "1/64" ("Dotted" = ".", "T" = triplet).
  enum Rate {
    kRateOff = 0,
    kRate4_1,
    kRate2_1Dotted,
    kRate2_1,
    kRate1_1Dotted,
    kRate1_1,
    kRate1_2Dotted,
    kRate1_2,
    kRate1_4Dotted,
    kRate1_2T,
    kRate1_4,
    kRate1_8Dotted,
    kRate1_4T,
    kRate1_8,
    kRate1_16Dotted,
    kRate1_8T,
    kRate1_16,
    kRate1_32Dotted,
    kRate1_16T,
    kRate1_32,
    kRate1_64,
  };
  static constexpr int kNumRates = 21;
  static constexpr double kDefaultSampleRate = 44100.0;
  // Longest period in samples (about 6.7 hours at 44.1 kHz); keeps absurd host tempos from
  // overflowing the countdowns.
  static constexpr int kMaxPeriod = (1 << 30) - 1;

  // Quarter notes per interval of a rate; 0 for "off" and for unknown rates.
  static double beatsOfRate(int rate);

  Clock();

  // Back to the state after construction, keeping the sample rate.
  void init();

  // The processing sample rate. Once the grid is known (after the first synchronize) a new
  // rate rescales it at once, keeping the musical position, tempo and phase, so that a clock
  // running on with the transport stopped keeps its tempo. Rates of 0 or below are ignored.
  void setSampleRate(double rate);
  double getSampleRate() const { return sampleRate; }

  // Takes the host's tempo and position. A position that went back (a loop, a jump) restarts
  // every countdown and anchors the grid at the jump until the next call brings the position.
  void synchronize(const ITimeInfo* ti);
  // Transport start: song position 0 and every countdown restarted; the synchronize that
  // follows brings the host's position.
  void reset();
  // Places every rate's next grid point at or after the current position.
  void calculateMarkers();

  // Advances one sample. Does nothing while there is no song position (negative).
  void tick() {
    if (position < 0.0) return;
    const double pos = position + 1.0;
    position = pos;
    for (int r = 1; r < kNumRates; ++r) {
      int c = counter[r] - 1;
      if (pos >= nextMarker[r]) {
        nextMarker[r] = pos + interval[r];
        c = period[r];
      }
      counter[r] = c > 0 ? c : 0;
    }
  }

  // Rising edge of a rate's on-state (2 * countdown >= period), asked once per control frame.
  // Always false for rate 0 and for unknown rates.
  bool isTrigger(int rate);

  // Read by synced generators; 0 for rate 0 and for unknown rates.
  int getPeriod(int rate) const { return validRate(rate) ? period[rate] : 0; }
  int getCounter(int rate) const { return validRate(rate) ? counter[rate] : 0; }
  double getInterval(int rate) const { return validRate(rate) ? interval[rate] : 0.0; }
  double getNextMarker(int rate) const { return validRate(rate) ? nextMarker[rate] : 0.0; }
  double getPosition() const { return position; }
  double getSamplesPerBeat() const { return samplesPerBeat; }

  static bool validRate(int rate) { return rate > 0 && rate < kNumRates; }

 private:
  void computeGrid();

  int period[kNumRates];
  int counter[kNumRates];
  double nextMarker[kNumRates];
  double interval[kNumRates];
  double position;  // song position in samples; negative = none
  double sampleRate;
  double tempo;           // rounded tempo the grid was computed from
  double samplesPerBeat;  // 0 until the first synchronize
  double lastPPQ;         // quarter-note position seen by the last synchronize
  bool triggerState[kNumRates];
};
