#pragma once
// Quenta: three Blocks of 64 voices and the global modules (general envelope, clock,
// sample-and-hold, lags, voltage processors, attenuators, total VCA), patched by selector
// parameters, as one VST 2 instrument.
#include "dsp/block.h"
#include "dsp/clock.h"
#include "dsp/geg.h"
#include "dsp/lowpass.h"
#include "dsp/sh.h"
#include "instrument/params.h"
#include "instrument/synth.h"
#include "plugin/Version.h"

#include <atomic>

class IAFInfoBubble;

#define QUENTA_FOURCC(a, b, c, d) \
  ((int)(((unsigned)(a) << 24) | ((unsigned)(b) << 16) | ((unsigned)(c) << 8) | (unsigned)(d)))

enum {
  kQuentaNumPrograms = 64,
  kQuentaVersion = PackVersion(1, 2, 4),
  kQuentaUniqueID = QUENTA_FOURCC('q', 'n', 't', 'a'),
  kQuentaMfrID = QUENTA_FOURCC('A', 'm', 'F', 'o'),
  kQuentaLatency = 0,
};

// Version tag at the start of every state the instrument writes.
extern const char versionMagic[];

class Quenta : public Synth {
 public:
  explicit Quenta(IPlugInstanceInfo instanceInfo);
  ~Quenta() override;

  // Framework entry points.
  void Reset() override;
  void OnParamChange(int paramIdx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  void OnIdle() override;
  void OnActivate(bool active) override;
  void ProcessMidiMsg(IMidiMsg* pMsg) override;
  bool SerializeState(ByteChunk* pChunk) override;
  int UnserializeState(ByteChunk* pChunk, int startPos) override;
  void RedrawParamControls() override;
  void PresetsChangedByHost() override { RedrawParamControls(); }
  void allNotesOff() override;
  void initParameters() override;
  // The editor's panel (editor/quenta.editor.cpp).
  void createGraphics() override;

  // Notes and the render loop's steps.
  void setNoteOn(int note, int velocity);
  void setNoteOff(int note);
  void handleMidiEvents();
  void update(int nSamples);
  void handleSync2Host();
  // A frame can be rendered: a usable rate (1000 Hz or more) and the frame's buffers made.
  bool canRender() const {
    return mSamplesPerFrame >= 1 && mMixL && mLastFrameLength == mSamplesPerFrame;
  }

  // Routing.
  const double* getModSource(int index) const;
  const bool* getTrigger(int index) const;
  void setCCSources(int controller, double value);

  // State helpers.
  bool isNewVersion_1_2_2(ByteChunk* pChunk, int pos) const;
  void runUtilCommand(int block, int command);
  void copyBlock(int from, int to);
  void initBlock(int block);

  // Microtuning of Block 0 .. 2: temperament 0 .. 13 applied to its twelve "Tune" parameters
  // (false for a block or temperament that does not exist), the lowest temperament they match
  // (-1 for none), and the tuning read from or written to a Scala scale file (false when the
  // file cannot be read or holds no scale, or cannot be written; saving replaces the file only
  // once it is complete).
  bool setMicroTuning(int block, int tuning);
  int getMicroTuning(int block) const;
  bool loadMicroTuningFile(int block, const char* path);
  bool saveMicroTuningFile(int block, const char* path);

  // Indicator states in the order MG1 A, MG2 A, MG1 B, MG2 B, MG1 C, MG2 C, S&H, GEG.
  enum { kNumLeds = 8 };
  void computeLedStates(bool states[kNumLeds]) const;

  // The manual trigger: asks the next control frame to fire "External Trigger 1" once. Any
  // thread; the controller gate of that trigger is left as the controller set it.
  void fireManualTrigger() { mManualTrigger.store(true, std::memory_order_release); }

  // Renames program idx (the current one or another), in its state too. name is taken as is.
  void renameProgram(int idx, const char* name);

  // The editor's controls the instrument drives (null until createGraphics sets them), and
  // the folder the editor's scale-file dialogs start in.
  struct EditorControls {
    IControl* programMenu = nullptr;
    IAFInfoBubble* infoBubble = nullptr;
    IControl* activeLed = nullptr;
    IControl* leds[kNumLeds] = {};  // in the order of computeLedStates
    WDL_String scaleFolder;
  };
  EditorControls& editorControls() { return mEditor; }

  Block* getBlock(int b) {
    return b == 0 ? &mBlockA : b == 1 ? &mBlockB : b == 2 ? &mBlockC : nullptr;
  }
  const GEG& getGEG() const { return mGEG; }
  const Clock& getClock() const { return mClock; }
  const SH& getSH() const { return mSH; }
  double getOutputGain() const { return mOutputGain; }
  double getBendRange() const { return mBendRange; }
  int getNoteSerial() const { return mNoteSerial; }
  int32_t* getNoiseSeedCell() { return &mNoiseSeed; }

 private:
  // Queues a note, wheel or controller message for the render loop.
  void queue(const IMidiMsg* pMsg);

  Block mBlockA, mBlockB, mBlockC;
  GEG mGEG;
  Clock mClock;
  SH mSH;
  LowPass mLag1, mLag2;
  double* mMixL = nullptr;
  double* mMixR = nullptr;
  double* mTotalVca = nullptr;
  int mLastFrameLength = -1;
  double mLastSampleRate = -1.0;
  bool mSyncStarted = false;
  bool mTransportRunning = false;

  // Routing state.
  bool mSHNoise = false;
  bool mVP2OwnInput = true;
  double mBendRange = 0.0;
  double mOutputGain = 0.5;
  double mSHFreq = 0.2;
  double mVP1A = 0.0, mVP1B = 0.0, mVP2A = 0.0, mVP2B = 0.0;
  double mAtnFactor[3] = {0.0, 0.0, 0.0};
  int mClockRate[4] = {0, 0, 0, 0};
  int mKbdTrigCount = 0;
  int mTrgCC[2] = {0, 0};
  int mVCCC[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  bool mTriggers[16] = {};
  int mNoteSerial = 0;
  // Source cells.
  double mCell5V = 1.0;
  double mCellKey = 0.0;
  double mCellPB = 0.0;
  double mCellPBPlus = 0.0;
  double mCellMW = -1.0;
  double mCellMWPlus = 0.0;
  double mCellVP1 = 0.0;
  double mCellVP2 = 0.0;
  double mCellLag1 = 0.0;
  double mCellLag2 = 0.0;
  double mCellAtn[3] = {0.0, 0.0, 0.0};
  double mCellVC[8] = {};
  bool mCCGate[2] = {false, false};
  bool mCCGatePrev[2] = {false, false};
  // Patched inputs (null = not patched).
  const double* mLag1Input = nullptr;
  const double* mLag2Input = nullptr;
  const double* mAtnInput[3] = {nullptr, nullptr, nullptr};
  const double* mTotalVcaInput = nullptr;
  const double* mSHInput = nullptr;
  const double* mVP1Input = nullptr;
  const double* mVP2Input = nullptr;
  const bool* mGEGTrigger[2] = {nullptr, nullptr};
  // Seed of the white noise the sample and hold can sample.
  int32_t mNoiseSeed = MG::kNoiseSeedStart;
  // Cached indicator states (the editor draws them).
  bool mLedState[kNumLeds] = {};
  EditorControls mEditor;
  // Set by the manual trigger, consumed by the next frame.
  std::atomic<bool> mManualTrigger{false};
};
