#pragma once
// The hot state of up to 16 sounding voices of a Block laid out lane by lane (structure of
// arrays), the form the wide voice loop reads and writes with whole-register loads and stores:
// slot s of every array belongs to the same voice. The Block fills the slots from its active
// voices in voice order (gather), a wide kernel runs the stretch (waveform read, filter,
// envelope, keyboard gain and the sum into the voice sum), and the Block writes the slots back
// (scatter).
//
// Kernels exist for AVX2 (4 voices per register) and AVX-512 (8 per register), each in its own
// translation unit built for its instruction set; one is chosen once when the library loads
// (see simd.h). They compute what the scalar path computes, bit for bit: the same operations in
// the same order for every voice, and the voice sum built in voice order.
#include <cstdint>

class EM;

struct alignas(64) VoiceLanes {
  static constexpr int kSlots = 16;    // voices in one pass of a kernel
  static constexpr int kMaxChunk = 8;  // samples summed per transposition (widest lanes)

  // The numbers of SG, Korg35 and EM the kernels use (each module checks its own): phase mask,
  // table read shift and size, last wavetable, last entries of the increment and filter
  // tables, the filter's positive-feedback boost, the envelope's floor and segments.
  static constexpr int32_t kPhaseMask = (1 << 28) - 1;
  static constexpr int kReadShift = 16;
  static constexpr int kTableBits = 12;
  static constexpr int32_t kLastTable = 10;
  static constexpr int32_t kLastFreqIndex = 34561;
  static constexpr int32_t kLastFilterIndex = 17280;
  static constexpr double kBoost = 1.17;
  static constexpr double kEnvelopeFloor = 1e-300;
  enum { kIdle = 0, kAttack, kDecay, kRelease };

  // Filter (see Korg35): states, anti-denormal offset, coefficients, K, the pitch index the
  // coefficients belong to and the base cut-off of the frame.
  double z1[kSlots], z2[kSlots], z3[kSlots], antiDenormal[kSlots];
  double alpha[kSlots], beta1[kSlots], beta2[kSlots], gain[kSlots], k[kSlots];
  int32_t lastIndex[kSlots], cutoff[kSlots];

  // Waveform (see SG): phases of the two reads, the pitch index of the voice without
  // modulation, and -1 for a voice the generator leaves silent.
  uint32_t phase[kSlots], phase2[kSlots];
  int32_t pitchBase[kSlots], silent[kSlots];

  // Envelope (see EM): level, segment and hold state; holdSet marks envelopes whose hold
  // engages at their next step, holdEnd those whose hold ends then if they are holding.
  double value[kSlots], previous[kSlots], target[kSlots], coefficient[kSlots];
  int32_t state[kSlots], holding[kSlots], holdSet[kSlots], holdEnd[kSlots];
  // -1 for an envelope whose next step changes nothing (idle, or settled on its sustain level
  // to the last bit): nor will any later step of the stretch, since they all start alike.
  int32_t steady[kSlots];
  // Keyboard gain of the voice.
  double keyGain[kSlots];

  // Rows of the last samples' contributions, one row per sample, one column per slot.
  double rows[kMaxChunk * kSlots];

  // The pass: slots in use, and the envelope of each (for the rare steps that change segment).
  int count;
  EM* envelope[kSlots];

  // The stretch: n samples from frame position offset; modulation arrays already at offset
  // (cutoffMod may be null: no offsets); the generator's tables; the filter's coefficient
  // table (kTableSize entries of alpha, 1 + g, beta2); the voice sum to add to.
  int n, offset;
  const int* pitchMod;
  const int* cutoffMod;
  const int* freq2PhInc;
  const double* waves;
  bool pulse;
  const double* filterEntries;
  double* voiceSum;
};

// One envelope step of slot s taken by the scalar envelope itself: for the steps that leave a
// segment (an attack reaching its top, a hold ending), which the kernels hand back.
void stepEnvelopeSlot(VoiceLanes& lanes, int s);

// The wide kernels: run one pass of lanes over its stretch.
void runVoiceLanesAvx2(VoiceLanes& lanes);
void runVoiceLanesAvx512(VoiceLanes& lanes);
