#pragma once
// The hot state of a Block's voices, laid out lane by lane (structure of arrays): slot s of
// every array belongs to the Block's voice s. Filters and envelopes live here for good; voice
// updates, note events and parameter changes act on their slots, the scalar voice loop works
// on them one slot at a time, and the wide voice loop loads them into registers for a stretch
// and stores them back, with no copy through voice objects.
//
// A wide kernel runs one stretch of the active voices, listed by slot in voice order: waveform
// read, filter, envelope, keyboard gain and the sum into the voice sum. Voices in consecutive
// slots are loaded and stored as whole registers; the others are gathered by slot, and lanes
// beyond the last voice take the spare slot, which no voice uses and no kernel writes.
//
// Kernels exist for AVX2 (4 voices per register) and AVX-512 (8 per register), each in its own
// translation unit built for its instruction set; one is chosen once when the library loads
// (see simd.h). They compute what the scalar path computes, bit for bit: the same operations in
// the same order for every voice, and the voice sum built in voice order. They touch the
// filters and envelopes only through these arrays (no member function of theirs is compiled
// for a wide instruction set).
#include <cstdint>

#include "dsp/em.h"
#include "dsp/k35.h"

struct VoiceLanes {
  static constexpr int kVoices = 64;  // voices of a Block
  static constexpr int kSpare = kVoices;
  static constexpr int kSlots = kVoices + 1;
  static constexpr int kMaxLanes = 8;  // voices in the widest register

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

  VoiceLanes();

  Korg35Lanes<kSlots> filter;
  EMLanes<kSlots> envelope;

  // The key: octave and pitch class of the voice's note, its keyboard gain.
  int32_t octave[kSlots], pitchClass[kSlots];
  double keyGain[kSlots];

  // Waveform at the start of the stretch (from the sound generator's masters, see SG): phases
  // of the two reads, the pitch index without modulation, and -1 for a voice the generator
  // leaves silent.
  uint32_t phase[kSlots], phase2[kSlots];
  int32_t pitchBase[kSlots], silent[kSlots];

  // The stretch: the active voices by slot in voice order; n samples from frame position
  // offset; modulation arrays already at offset (cutoffMod may be null: no offsets); the
  // generator's tables; the filters' coefficient table (entries of alpha, 1 + g, beta2); the
  // voice sum to add to.
  int32_t active[kVoices];
  int count;
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

// The wide kernels: run the stretch of lanes.
void runVoiceLanesAvx2(VoiceLanes& lanes);
void runVoiceLanesAvx512(VoiceLanes& lanes);
