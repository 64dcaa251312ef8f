#pragma once
// The voice filter: a Korg 35 style low-pass (two trapezoidal one-pole stages with a third in
// the feedback path) whose cut-off is a pitch index that may change every sample. Resonance
// ("Peak") sets the feedback K = 1.7 * peak + 0.01; positive feedback is boosted by 1.17.
//
// The tangents tan(pi f / rate) of the cut-off pitches come from a table shared by all filters
// running at the same rate: one immutable table per rate, built once, so filters at different
// rates never disturb each other. Frequencies are limited to just below half the rate, so the
// top pitches stay stable at rates under about 40 kHz; at 44100 Hz and above nothing is cut.
//
// Korg35Lanes holds N filters side by side, their state laid out slot by slot (structure of
// arrays): slot s of every array belongs to filter s. A Block keeps all of its voices' filters
// in one set, where the wide voice loop runs them in place; Korg35 is the one-filter case.
#include <cstdint>

#include "dsp/pitch.h"

// The per-rate tables (see k35.cpp).
struct Korg35Table;

template <int N>
class Korg35Lanes {
 public:
  static constexpr int kMaxIndex = pitch::kTopPitch;  // 19912.127 Hz, the top of the table
  static constexpr int kTableSize = kMaxIndex + 1;
  static constexpr double kPositiveFeedbackBoost = 1.17;
  static constexpr double kPeakToK = 1.7, kMinK = 0.01;  // K = 1.7 peak + 0.01

  // Every filter at rest, with the table for 44100 Hz and no resonance.
  Korg35Lanes();

  // Selects (building it on first use) the shared table for this rate, for every filter of the
  // set. Called outside the audio path; rates of 0 or below are ignored.
  void setSampleRate(double rate);
  double getSampleRate() const;

  // Once per control frame: filter s's base cut-off as a pitch index, and K from its peak.
  void update(int s, int cutoffIndex, double peak) {
    cutoff[s] = cutoffIndex;
    k[s] = kPeakToK * peak + kMinK;
  }

  // Before filter s runs a stretch that starts at framePos: when K moved since its coefficients
  // were computed, the coefficients of the stretch's first sample.
  void prepare(int s, int framePos) {
    if (k[s] != lastK[s]) resonanceMoved(s, framePos);
  }
  // The same for count filters (their slots).
  void prepareMany(const int* slots, int count, int framePos);

  // Filters count filters' buffers in place (filter slots[i] on buffers[i], n samples, cut-off
  // offsets from cutoffMod[framePos] on, none when cutoffMod is null), each exactly as alone
  // (same samples, bit for bit), but several at a time: one filter is bound by the latency of
  // its feedback path, and independent filters side by side overlap.
  void processMany(const int* slots, double* const* buffers, int count, int n, int framePos);

  // The three stage states of filter s (for inspection).
  double getState(int s, int stage) const {
    return stage == 0 ? z1[s] : stage == 1 ? z2[s] : z3[s];
  }
  // The shared tangent table in use, kTableSize entries (for inspection).
  const double* getTangentTable() const;
  // The coefficient table of the rate as kTableSize triples (alpha, 1 + g, beta2).
  const double* getCoefficientTable() const;

  // The per-sample cut-off offsets of every filter of the set (a Block's), not owned.
  const int* cutoffMod;

  // Hot state, slot by slot; the wide voice loop reads and writes it in place.
  double z1[N], z2[N], z3[N];
  double antiDenormal[N];  // the offset against denormals, alternating in sign
  double alpha[N];         // a = g / (1 + g)
  double beta1[N];         // K (1 - a) / (1 + g)
  double beta2[N];         // -1 / (1 + g)
  double gain[N];          // 1 / (1 - K a + K a^2)
  double k[N];             // K
  double lastK[N];         // K of the coefficients (not a number: recompute, the rate changed)
  int32_t lastIndex[N];    // pitch index of the coefficients
  int32_t cutoff[N];       // base cut-off as a pitch index (0 = 8.176 Hz, 128 per semitone)

 protected:
  static constexpr int kGroupSize = 4;  // filters interleaved by processMany
  // Runs G filters (slots[v] of *sets[v]) side by side over the same n samples.
  template <int G>
  static void runGroup(Korg35Lanes* const* sets, const int* slots, double* const* buffers, int n,
                       int framePos);

 private:
  void resonanceMoved(int s, int framePos);
  // Coefficients for pitch index idx (an index outside the table takes its nearest end).
  static void coefficients(const double* entries, int idx, double K, double& a, double& b1,
                           double& b2, double& G);

  const Korg35Table* table;
};

// One filter.
class Korg35 : public Korg35Lanes<1> {
 public:
  // Once per control frame: the base cut-off as a pitch index, and K from the current peak.
  void update(int cutoff) { Korg35Lanes<1>::update(0, cutoff, peak); }

  // Filters n samples in place; the cut-off offsets are read from cutoffMod[framePos] on (no
  // offsets when cutoffMod is null).
  void process(double* buffer, int n, int framePos);

  // Filters count filters' buffers in place, each exactly as its own process(buffers[i], n,
  // framePos) would, several at a time.
  static void processMany(Korg35* const* filters, double* const* buffers, int count, int n,
                          int framePos);

  // The three stage states (for inspection).
  double getState(int stage) const { return Korg35Lanes<1>::getState(0, stage); }

  double peak = 0.0;  // "Peak", 0 .. 1, set directly by the owner
};
