#include "instrument/quenta.h"

#include <cstdlib>

#include "editor/IGraphics.h"

Quenta::Quenta(IPlugInstanceInfo instanceInfo)
    : Synth(instanceInfo, kNumParams, "0-1 0-2", kQuentaNumPrograms, "Quenta", "",
            "Amberfold Ziziz", kQuentaVersion, kQuentaUniqueID, kQuentaMfrID, kQuentaLatency, true,
            true, true),
      mSH(&mClock) {
  mBlockA.setParents(this, &mClock);
  mBlockB.setParents(this, &mClock);
  mBlockC.setParents(this, &mClock);
  initParameters();
  // The editor's panel, attached once complete.
  createGraphics();
  AttachGraphics(mGUI);
  // The programs: the start-up bank, else the factory bank.
  if (!LoadBankFromFXB(&mStartupBankPath)) {
    mStartupBankPath.Set("");
    initAllPrograms();
  }
}

Quenta::~Quenta() {
  std::free(mMixL);
  std::free(mMixR);
  std::free(mTotalVca);
}

IPlugVST* MakePlug(IPlugInstanceInfo instanceInfo) { return new Quenta(instanceInfo); }

void Quenta::Reset() {
  WDL_MutexLock lock(&mMutex);
  Synth::Reset();
  const double rate = GetSampleRate();
  const bool frameLengthChanged = mSamplesPerFrame != mLastFrameLength;
  if (frameLengthChanged) {
    mLastFrameLength = mSamplesPerFrame;
    std::free(mMixL);
    std::free(mMixR);
    std::free(mTotalVca);
    mMixL = mMixR = mTotalVca = nullptr;
    if (mSamplesPerFrame > 0) {
      mMixL = static_cast<double*>(std::calloc((size_t)mSamplesPerFrame, sizeof(double)));
      mMixR = static_cast<double*>(std::calloc((size_t)mSamplesPerFrame, sizeof(double)));
      mTotalVca = static_cast<double*>(std::calloc((size_t)mSamplesPerFrame, sizeof(double)));
      if (!mMixL || !mMixR || !mTotalVca) {
        // Without its buffers the engine stays silent until a later reset succeeds.
        std::free(mMixL);
        std::free(mMixR);
        std::free(mTotalVca);
        mMixL = mMixR = mTotalVca = nullptr;
        mLastFrameLength = -1;
      }
    }
  }
  // A new frame length sets the modules up afresh; a new rate with the same frame length
  // only re-tunes them (the general envelope runs on, the lags, which step once a frame
  // whatever the rate, keep their state and cut-offs).
  if (mSamplesPerFrame > 0 && (frameLengthChanged || rate != mLastSampleRate)) {
    mLastSampleRate = rate;
    mBlockA.setSampleRate(rate, mSamplesPerFrame);
    mBlockB.setSampleRate(rate, mSamplesPerFrame);
    mBlockC.setSampleRate(rate, mSamplesPerFrame);
    mClock.setSampleRate(rate);
    if (frameLengthChanged) {
      mGEG.setSampleRate(rate);
      mLag1.setSampleRate(lag::kRate);
      mLag1.setCutOff(lag::kStartCutOff);
      mLag2.setSampleRate(lag::kRate);
      mLag2.setCutOff(lag::kStartCutOff);
    } else {
      mGEG.retune(rate);
    }
  }
  mNoteSerial = 0;
  allNotesOff();
}

void Quenta::OnActivate(bool active) {
  WDL_MutexLock lock(&mMutex);
  // A host that activates without ever setting rate or block size still gets a working
  // engine at the current (default) rate.
  if (active && mLastFrameLength < 0) Reset();
  Synth::OnActivate(active);
  // Hosts activate from any thread; off the editor's thread the lamp waits for its next tick.
  if (IGraphics* pGraphics = GetGUI()) pGraphics->HideControlFromPlug(mEditor.activeLed, !active);
}

void Quenta::ProcessMidiMsg(IMidiMsg* pMsg) {
  if (!pMsg) return;
  if (mMidiThru) SendMidiMsg(pMsg);
  switch (pMsg->StatusMsg()) {
    case IMidiMsg::kNoteOff:
    case IMidiMsg::kNoteOn:
    case IMidiMsg::kPitchWheel: queue(pMsg); break;
    case IMidiMsg::kControlChange: {
      int cc = pMsg->ControlChangeIdx();
      if (cc == IMidiMsg::kAllSoundOff || cc == IMidiMsg::kAllNotesOff) {
        allNotesOff();
      } else if (cc < 120) {
        if (mMidiLearn)
          setMidiLearnCC(cc);
        else
          queue(pMsg);
      }
      break;
    }
    case IMidiMsg::kProgramChange:
      if (!mIgnoreProgramChange) RestorePreset(pMsg->Program());
      break;
    default: break;
  }
}

void Quenta::queue(const IMidiMsg* pMsg) {
  // While no frame can be rendered nothing would ever drain the queue: the messages would
  // pile up and all act at once when a usable rate comes. They are dropped instead.
  if (canRender()) mMidiQueue.Add(pMsg);
}

void Quenta::setNoteOn(int note, int velocity) {
  addPressedKey(note, velocity);
  ++mNoteSerial;
  mTriggers[kTrigMlt - 1] = true;
  const int held = numPressedKeys();
  if (held == 1) mTriggers[kTrigSng - 1] = true;
  if (mKbdTrigCount > 0) mTriggers[kTrigKBD - 1] = held == mKbdTrigCount;
  mCellKey = note * 2.0 / 127.0 - 1.0;
  mBlockA.setNoteOn(note, mNoteSerial);
  mBlockB.setNoteOn(note, mNoteSerial);
  mBlockC.setNoteOn(note, mNoteSerial);
}

void Quenta::setNoteOff(int note) {
  removePressedKey(note);
  mBlockA.setNoteOff(note);
  mBlockB.setNoteOff(note);
  mBlockC.setNoteOff(note);
  if (numPressedKeys() == 0) mGEG.stop();
}

void Quenta::allNotesOff() {
  clearKeyBuffer();
  mBlockA.allNotesOff();
  mBlockB.allNotesOff();
  mBlockC.allNotesOff();
}

void Quenta::RedrawParamControls() {
  IPlugBase::RedrawParamControls();
  // The program's number and name may have changed with the values.
  if (IGraphics* pGraphics = GetGUI()) pGraphics->RedrawControlFromPlug(mEditor.programMenu);
}

void Quenta::computeLedStates(bool states[kNumLeds]) const {
  const Block* blocks[3] = {&mBlockA, &mBlockB, &mBlockC};
  for (int b = 0; b < 3; ++b) {
    Block* blk = const_cast<Block*>(blocks[b]);
    states[2 * b] = blk->getMG1().displayOutput() > 0.0;
    states[2 * b + 1] = blk->getMG2().displayOutput() > 0.0;
  }
  states[6] = mSH.displayOn();
  states[7] = mGEG.displayOn();
}

void Quenta::OnIdle() {
  // The lamps live in the editor; without an open window there is nothing to drive. The engine
  // values are read without the mutex: a value read while the audio thread writes it only
  // shows for one idle period.
  IGraphics* pGraphics = GetGUI();
  if (!pGraphics || !pGraphics->WindowIsOpen()) return;
  bool states[kNumLeds];
  computeLedStates(states);
  for (int i = 0; i < kNumLeds; ++i) {
    if (states[i] == mLedState[i]) continue;
    mLedState[i] = states[i];
    pGraphics->HideControlFromPlug(mEditor.leds[i], !states[i]);
  }
}
