#pragma once
#include "dsp/voicelanes.h"

// The voice filter: a Korg 35 style low-pass (two trapezoidal one-pole stages with a third in
// the feedback path) whose cut-off is a pitch index that may change every sample. Resonance
// ("Peak") sets the feedback K = 1.7 * peak + 0.01; positive feedback is boosted by 1.17.
//
// The tangents tan(pi f / rate) of the cut-off pitches come from a table shared by all filters
// running at the same rate: one immutable table per rate, built once, so filters at different
// rates never disturb each other. Frequencies are limited to just below half the rate, so the
// top pitches stay stable at rates under about 40 kHz; at 44100 Hz and above nothing is cut.
#include "dsp/pitch.h"

class Korg35 {
 public:
  static constexpr int kMaxIndex = pitch::kTopPitch;  // 19912.127 Hz, the top of the table
  static constexpr int kTableSize = kMaxIndex + 1;

  // Starts with the table for 44100 Hz and no resonance.
  Korg35();

  // Selects (building it on first use) the shared table for this rate. Called outside the
  // audio path; rates of 0 or below are ignored.
  void setSampleRate(double rate);
  double getSampleRate() const;

  // Once per control frame: the base cut-off as a pitch index, and K from the current peak.
  void update(int cutoff);

  // Filters n samples in place; the cut-off offsets are read from cutoffMod[framePos] on
  // (no offsets when cutoffMod is null).
  void process(double* buffer, int n, int framePos);

  // Filters count voices' buffers in place, each exactly as its own process(buffers[i], n,
  // framePos) would (same samples, bit for bit), but several at a time: one voice's filter is
  // bound by the latency of its feedback path, and independent voices side by side overlap.
  static void processMany(Korg35* const* filters, double* const* buffers, int count, int n,
                          int framePos);

  // The three stage states (for inspection).
  double getState(int stage) const { return stage == 0 ? z1 : stage == 1 ? z2 : z3; }

  // The shared tangent table in use, kTableSize entries (for inspection).
  const double* getTangentTable() const;

  // Lane form for the wide voice loop: the state into slot s of lanes, with the coefficients
  // already right for a stretch that starts at framePos (as process would make them at its
  // first sample when K moved), and back from the slot after the stretch.
  void toLanes(VoiceLanes& lanes, int s, int framePos);
  void fromLanes(const VoiceLanes& lanes, int s);
  // The coefficient table of the rate as kTableSize triples (alpha, 1 + g, beta2).
  const double* getCoefficientTable() const;

  // Set directly by the voice.
  double peak;           // "Peak", 0 .. 1
  const int* cutoffMod;  // the Block's per-sample cut-off offsets, not owned

  struct Table;

 private:
  static constexpr int kGroupSize = 4;  // filters interleaved by processMany
  template <int N>
  static void runGroup(Korg35* const* filters, double* const* buffers, int n, int framePos);
  // Coefficients for pitch index idx (an index outside the table takes its nearest end).
  static void coefficients(const double* entries, int idx, double K, double& a, double& b1,
                           double& b2, double& G);

  int cutoff;     // base cut-off as a pitch index (0 = 8.176 Hz, 128 per semitone)
  double gain;    // 1 / (1 - K a + K a^2)
  double alpha;   // a = g / (1 + g)
  double beta1;   // K (1 - a) / (1 + g)
  double beta2;   // -1 / (1 + g)
  double k;       // K
  int lastIndex;  // index the coefficients were computed for
  double lastK;   // K they were computed for (not a number: recompute, the rate changed)
  double z1, z2, z3;
  double antiDenormal;
  const Table* table;
};
