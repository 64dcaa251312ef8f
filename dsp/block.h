#pragma once
// One section of the instrument (Block A, B or C): 64 voices sharing one sound generator,
// three resonator peaks, two modulation generators and the per-sample modulation of a
// control frame. The instrument calls update() for every sample of a frame at its start and
// then process() for the stretches of the frame that the host blocks cut out.
#include "dsp/clock.h"
#include "dsp/mg.h"
#include "dsp/resonator.h"
#include "dsp/sg.h"
#include "dsp/simd.h"
#include "dsp/voice.h"
#include "dsp/voicelanes.h"

class Quenta;

class Block {
 public:
  static constexpr int kNumVoices = VoiceLanes::kVoices;
  static constexpr int kNumResonators = 3;

  Block();
  ~Block();
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  void setParents(Quenta* owner, Clock* clock);
  // Stores the rate; reallocates the per-sample arrays when the frame length changes.
  void setSampleRate(double sampleRate, int frameLength);
  // Instrument-wide parameter index; also passed on to every voice.
  void setParam(int index, double value);

  void setNoteOn(int note, int serial);
  void setNoteOff(int note);
  void setSustain(bool on);
  void allNotesOff();

  // Control work for sample i of the frame (pitch offset in 1/128 semitone).
  void update(int i, double pitchOffset);
  // Adds n samples of the section to left and right, from frame position offset on.
  void process(double* left, double* right, int n, int offset);

  // Patch-panel sources of the section: MG1 after its amount source, and MG2.
  const double* getMG1Source() const { return &mg1Level; }
  const double* getMG2Source() const { return mg2.outputCell(); }
  MG& getMG1() { return mg1; }
  MG& getMG2() { return mg2; }
  const Voice& getVoice(int i) const { return voices[i]; }
  // The voices' filters, envelopes and keys, slot i for voice i (for inspection).
  const VoiceLanes& getLanes() const { return lanes; }
  int getCutoffInt() const { return cutoffInt; }
  int numActiveVoices() const;

  // The voice loop this Block runs (by default the one chosen for the process); a path the
  // machine cannot run gives the best one it can. For tests and benchmarks.
  void setSimdPath(simd::Path path);
  simd::Path getSimdPath() const { return simdPath; }

 private:
  void applyMG1Period();
  void reapplyFreq(int k, double hz);
  const double* source(double value) const;

  Voice voices[kNumVoices];
  SG sg;
  Resonator resonators[kNumResonators];
  MG mg1;
  MG mg2;
  int cutoffInt = 0;
  int cutoffSteps = 0;
  double cutoffCur = Korg35::kMaxIndex + 1.0;  // above the range: open until a "Cutoff" glides in
  double cutoffStep = 0.0;
  double mg1Level = 0.0;
  double zeroSource = 0.0;
  const double* fmSource = nullptr;
  const double* pwmSource = nullptr;
  const double* fcSource = nullptr;
  const double* rfcSource = nullptr;
  const double* vcaSource = nullptr;
  const double* gateSource = nullptr;
  const double* mg1AmountSource = nullptr;
  const double* mg1FreqSource = nullptr;
  Quenta* owner = nullptr;
  double* voiceSum = nullptr;
  double* sectionBuf = nullptr;
  double* vcaGain = nullptr;
  double* amSignal = nullptr;
  int* pitchMod = nullptr;
  int* cutoffMod = nullptr;
  int frameLength = 0;
  double sampleRate = 44100.0;
  bool fmReverse = false, fmOn = false, fcModOn = false, rsModOn = false, amOn = false,
       channelOn = false;
  double mg1FreqHz = 0.2;
  double mg1FreqNorm = 0.1;
  double mg2FreqHz = 0.2;
  double volume = 0.0;
  double pan = 0.0;
  double pwmDepth = 0.0;
  double fmMg1 = 0.0, fmGeg = 0.0;
  double fcMg1 = 0.0, fcGeg = 0.0;
  double amDepth = 0.0;
  bool resonatorOn = false;
  double gainLeft = 0.0, gainRight = 0.0;
  // Runs the active voices of a stretch (lanes.active) on a wide path into voiceSum.
  void processLanes(int n, int offset);

  simd::Path simdPath;
  void (*wideKernel)(VoiceLanes&) = nullptr;
  // The voices' hot state, and the working buffers of a stretch's active voices (in the
  // order of lanes.active) for the scalar loop.
  VoiceLanes lanes;
  double* activeBuffers[kNumVoices];
};
