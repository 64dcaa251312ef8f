#pragma once
// Pitch to frequency conversion. Pitches are integers in 1/128 of a semitone, pitch 0 being
// MIDI note 0 (8.176 Hz) and pitch n * 128 MIDI note n. Between semitones the frequency is
// interpolated linearly from two tables of 136 entries, one for positive and one for negative
// pitches; beyond +-17279 the result is held at the last entry.

namespace pitch {

constexpr int kTableSize = 136;  // entries of each table, semitones 0 .. 135
constexpr int kUnitsPerSemitone = 128;
constexpr double kUnitsPerCent = kUnitsPerSemitone / 100.0;  // 1.28
constexpr int kTopPitch = 17280;                             // pitch of the top entry, 19912.127 Hz
constexpr int kMaxPitch = kTopPitch - 1;  // last pitch interpolated; above it the top entry
constexpr double kNote0Hz = 8.176;

// A cut-off modulation of 1.0 (5 V) moves a filter by 10753 units, about the 84 semitones
// (10752 units) of the keyboard's span: full envelope on "Expand" sweeps the cut-off up by 84
// semitones, and "fC Bal" 1 makes it follow the keys one semitone per key.
constexpr int kSweepSemitones = 84;
constexpr double kCutoffSweep = 10753.0;

// Semitone n above note 0: 440 * 2^((n - 69) / 12) Hz rounded to three decimals.
const double* midi2HzTable();
// Semitone n below note 0: 8.176 * 2^(-n / 12) Hz rounded to ten decimals.
const double* antiMidi2HzTable();

// Frequency in Hz of a pitch in 1/128 semitone.
double toHz(int pitch);

// Pitch offsets and cut-off indices are carried as ints within +-kMaxOffset: four times the
// span of the tables, far beyond anything that sounds, and far enough inside the range of int
// that sums of a few of them stay exact.
constexpr int kMaxOffset = 4 * kMaxPitch;

// A pitch or cut-off offset in 1/128 semitone, truncated toward zero as a plain conversion
// would be, but limited to +-kMaxOffset first (not a number counts as 0): modulation out of
// all proportion saturates instead of overflowing the int.
inline int toOffset(double units) {
  if (units > kMaxOffset) return kMaxOffset;
  if (units < -kMaxOffset) return -kMaxOffset;
  return units == units ? int(units) : 0;
}

}  // namespace pitch
