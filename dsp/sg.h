#pragma once
// Sound generator of one section, shared by all of its voices like a divide-down organ.
//
// Twelve master oscillators, one per pitch class, run at MIDI notes 12 .. 23 (plus tuning and
// modulation). A voice takes the master phase of its pitch class shifted up by its octave, so
// all voices of a pitch class stay phase-locked. Phases are 28-bit fixed point (one cycle is
// 2^28). Waveforms are read from band-limited wavetables whose harmonic count is chosen per
// sample from the phase increment, so that no harmonic passes half the sample rate; pulses
// are the difference of two sawtooth reads a pulse width apart.
//
// Use: setSampleRate (with the section's per-sample pitch offsets), then per control frame
// update() once at its start, process() for every sounding voice of a stretch of the frame,
// and next() once after all voices have rendered that stretch.
#include <cstdint>
#include <memory>

#include "dsp/pitch.h"

class SG {
 public:
  static constexpr int kPhaseBits = 28;
  static constexpr uint32_t kPhaseMask = (1u << kPhaseBits) - 1;
  static constexpr int kTableBits = 12;
  static constexpr int kTableLength = 1 << kTableBits;  // samples per wavetable
  static constexpr int kTableCount = 11;                // 1024, 512, .. 1 harmonics
  // Phase-increment table: entry i holds the increment of pitch i - kPitchIndexOffset.
  static constexpr int kPitchIndexOffset = pitch::kTopPitch + 1;
  static constexpr int kFreqTableSize = 2 * kPitchIndexOffset;
  static constexpr int kUnitsPerSemitone = pitch::kUnitsPerSemitone;
  static constexpr int kUnitsPerOctave = 12 * kUnitsPerSemitone;
  static constexpr int kMasterIndex = kPitchIndexOffset + kUnitsPerOctave;  // MIDI note 12

  enum Waveform { kTriangle = 0, kSawtooth, kSquare, kRect, kPulse, kPWM };
  enum Footage { k16ft = 0, k8ft, k4ft, k2ft };

  SG();

  // Chooses the phase-increment table for this rate and restarts the masters. pitchMod is the
  // section's array of per-sample pitch offsets (1/128 semitone), read from frame position 0.
  // Rates below 1 Hz change nothing.
  void setSampleRate(float rate, const int* pitchMod);

  void setWaveForm(int w);
  void setOctaveSwitch(int index) { octaveSwitch = index; }
  // Tuning in pitch units (1.28 per cent); takes effect with calcOffset().
  void setTune(int pitchClass, int units) {
    if (pitchClass >= 0 && pitchClass < 12) tune[pitchClass] = units;
  }
  void setCoarse(int units) { coarse = units; }
  void setFine(int units) { fine = units; }
  void calcOffset();

  // Once per control frame, at its start: pulse width for "PWM" (0.5 + pwm) and the master
  // increments from the frame's first pitch offset.
  void update(double pwm);

  // Writes n samples of the voice at (octave, pitchClass) into buffer, starting from the
  // master phase and reading the pitch offsets from frame position framePos on.
  void process(double* buffer, int n, int octave, int pitchClass, int framePos) const;

  // Start of one voice's stretch: the phase of its read and of the pulse's second read, and its
  // pitch index without modulation. False when the generator leaves the voice silent (an
  // octave below its range, or no rate set yet).
  bool voiceStart(int octave, int pitchClass, uint32_t& ph, uint32_t& ph2, long long& base) const;
  // The same for count voices, the slots[i]-th entry of each array belonging to one voice:
  // octave and pitch class in, phases, pitch index (held within +-2^30, beyond which any offset
  // leaves the index past the same end of the table) and -1 for a silent voice (else 0) out.
  void voiceStarts(const int32_t* slots, int count, const int32_t* octave,
                   const int32_t* pitchClass, uint32_t* ph, uint32_t* ph2, int32_t* base,
                   int32_t* silent) const;
  // The table set the voices read (kTableCount tables of kTableLength) and whether they read
  // it twice, as pulses; the phase-increment table (null before a rate is set).
  const double* voiceTables() const { return useTriangle ? tri : saw; }
  bool readsPulse() const { return isPulse; }
  const int* getFreqTable() const { return freq2PhInc; }
  const int* getPitchMod() const { return pitchMod; }

  // Advances the masters by n samples.
  void next(int n) {
    for (int k = 0; k < 12; ++k)
      phase[k] = (phase[k] + uint32_t(increment[k]) * uint32_t(n)) & kPhaseMask;
  }

  int getWaveForm() const { return waveform; }
  double getWidth() const { return width; }
  uint32_t getPhase(int pitchClass) const { return phase[pitchClass]; }
  int getIncrement(int pitchClass) const { return increment[pitchClass]; }
  // Entry of the phase-increment table for a table index (clamped); 0 before a rate is set.
  int lookup(long long index) const;

  // Band-limited tables, tables * kTableLength doubles each; table t holds 2^(10 - t) harmonics.
  static const double* sawTables();
  static const double* triTables();

  // Phase increments for one sample rate (opaque outside sg.cpp).
  struct FreqTable;

 private:
  int waveform = kTriangle;
  int octaveSwitch = k8ft;
  int coarse = 0;
  int fine = 0;
  int tune[12] = {};
  const int* pitchMod = nullptr;
  int offset[12] = {};
  uint32_t phase[12] = {};
  int increment[12] = {};
  bool useTriangle = true;
  bool isPulse = false;
  double width = 0.0;

  // Shared, immutable table for the current rate (one per rate in the process, kept alive by
  // the generators using it); freq2PhInc points into it.
  int octaveShift() const;
  bool startAt(int o, int pc, uint32_t& ph, uint32_t& ph2, long long& base) const;

  static std::shared_ptr<const FreqTable> acquireFreqTable(double rate);
  std::shared_ptr<const FreqTable> freqTable;
  const int* freq2PhInc = nullptr;
  const double* saw;
  const double* tri;
};
