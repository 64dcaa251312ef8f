// The render loop: host synchronisation, control frames, MIDI draining and the frame step.
#include <cstring>

#include "instrument/quenta.h"

void Quenta::handleSync2Host() {
  ITimeInfo ti;
  GetTime(&ti);
  if (!mSyncStarted) {
    mSyncStarted = true;
    mClock.synchronize(&ti);
    return;
  }
  if (ti.mTransportIsRunning != mTransportRunning) {
    mTransportRunning = ti.mTransportIsRunning;
    if (mTransportRunning) mClock.reset();
  }
  if (mTransportRunning)
    mClock.synchronize(&ti);
  else
    mClock.calculateMarkers();
}

void Quenta::ProcessDoubleReplacing(double** /*inputs*/, double** outputs, int nFrames) {
  handleSync2Host();
  double* outL = outputs[0];
  double* outR = outputs[1];
  if (nFrames < 1) return;
  std::memset(outL, 0, (size_t)nFrames * sizeof(double));
  std::memset(outR, 0, (size_t)nFrames * sizeof(double));
  // Without a frame (no reset yet, or a rate below 1000 Hz) there is nothing to render.
  if (!canRender()) return;

  int written = 0;
  while (written < nFrames) {
    const int remaining = nFrames - written;
    int offset, n;
    if (mFrameRemaining > 0) {
      offset = mSamplesPerFrame - mFrameRemaining;
      n = mFrameRemaining < remaining ? mFrameRemaining : remaining;
      mFrameRemaining -= n;
    } else {
      handleMidiEvents();
      update(mSamplesPerFrame);
      offset = 0;
      n = mSamplesPerFrame < remaining ? mSamplesPerFrame : remaining;
      if (mSamplesPerFrame > remaining) mFrameRemaining = mSamplesPerFrame - n;
    }
    std::memset(mMixL, 0, (size_t)n * sizeof(double));
    std::memset(mMixR, 0, (size_t)n * sizeof(double));
    mBlockA.process(mMixL, mMixR, n, offset);
    mBlockB.process(mMixL, mMixR, n, offset);
    mBlockC.process(mMixL, mMixR, n, offset);
    const double* vca = mTotalVca + offset;
    for (int i = 0; i < n; ++i) {
      const double g = mOutputGain * vca[i];
      outL[written + i] = mMixL[i] * g;
      outR[written + i] = mMixR[i] * g;
    }
    written += n;
  }
}

void Quenta::handleMidiEvents() {
  while (!mMidiQueue.Empty()) {
    IMidiMsg* pMsg = mMidiQueue.Peek();
    if (pMsg->mOffset >= mSamplesPerFrame) break;
    switch (pMsg->StatusMsg()) {
      case IMidiMsg::kNoteOff: setNoteOff(pMsg->NoteNumber()); break;
      case IMidiMsg::kNoteOn:
        if (pMsg->Velocity() > 0)
          setNoteOn(pMsg->NoteNumber(), pMsg->Velocity());
        else
          setNoteOff(pMsg->NoteNumber());
        break;
      case IMidiMsg::kControlChange: {
        const int cc = pMsg->ControlChangeIdx();
        if (cc == IMidiMsg::kSustainOnOff) {
          const bool down = pMsg->mData2 != 0;
          mBlockA.setSustain(down);
          mBlockB.setSustain(down);
          mBlockC.setSustain(down);
          setCCSources(cc, down ? 1.0 : 0.0);
        } else if (cc == IMidiMsg::kModWheel) {
          const double w = pMsg->mData2 / 127.0;
          mCellMW = 2.0 * w - 1.0;
          mCellMWPlus = w;
          setCCSources(cc, w);
        } else {
          setCCSources(cc, pMsg->mData2 / 127.0);
          handleLearnedCC(cc, pMsg->mData2);
        }
        break;
      }
      case IMidiMsg::kPitchWheel:
        mCellPB = pMsg->PitchWheel();
        mCellPBPlus = (mCellPB + 1.0) * 0.5;
        break;
      default: break;
    }
    mMidiQueue.Remove();
  }
  mMidiQueue.Flush(mSamplesPerFrame);
}

void Quenta::update(int nSamples) {
  // Sample and hold.
  double shIn = 0.0;
  if (mSHInput) shIn = mSHNoise ? MG::getNoise(mNoiseSeed) : *mSHInput;
  mSH.sample(shIn);

  mClock.tick();

  // Triggers recomputed at every frame start.
  mTriggers[kTrigMG1A - 1] = mBlockA.getMG1().isTrigger();
  mTriggers[kTrigMG2A - 1] = mBlockA.getMG2().isTrigger();
  mTriggers[kTrigMG1B - 1] = mBlockB.getMG1().isTrigger();
  mTriggers[kTrigMG2B - 1] = mBlockB.getMG2().isTrigger();
  mTriggers[kTrigMG1C - 1] = mBlockC.getMG1().isTrigger();
  mTriggers[kTrigMG2C - 1] = mBlockC.getMG2().isTrigger();
  mTriggers[kTrigSH - 1] = mSH.isTrigger();
  for (int c = 0; c < 4; ++c) mTriggers[kTrigClk1 - 1 + c] = mClock.isTrigger(mClockRate[c]);
  for (int g = 0; g < 2; ++g) {
    mTriggers[kTrigTrg1 - 1 + g] = mCCGate[g] && !mCCGatePrev[g];
    mCCGatePrev[g] = mCCGate[g];
  }
  // The editor's manual trigger fires trigger 1 once, whatever its controller's gate does.
  if (mManualTrigger.load(std::memory_order_relaxed) &&
      mManualTrigger.exchange(false, std::memory_order_acquire))
    mTriggers[kTrigTrg1 - 1] = true;

  if ((mGEGTrigger[0] && *mGEGTrigger[0]) || (mGEGTrigger[1] && *mGEGTrigger[1])) mGEG.start();

  const double bend = mBendRange * mCellPB;

  mCellLag1 = mLag1Input ? mLag1.process(*mLag1Input) : 0.0;
  mCellLag2 = mLag2Input ? mLag2.process(*mLag2Input) : 0.0;

  const double* vp2In = mVP2OwnInput ? mVP2Input : mVP1Input;
  for (int i = 0; i < nSamples; ++i) {
    if (i > 0) mClock.tick();
    mGEG.update();
    mBlockA.update(i, bend);
    mBlockB.update(i, bend);
    mBlockC.update(i, bend);
    mCellVP1 = mVP1Input ? mVP1B + (mVP1A - mVP1B) * (*mVP1Input + 1.0) / 2.0 : 0.0;
    mCellVP2 = vp2In ? mVP2B + (mVP2A - mVP2B) * (*vp2In + 1.0) / 2.0 : 0.0;
    for (int a = 0; a < 3; ++a) mCellAtn[a] = mAtnInput[a] ? mAtnFactor[a] * *mAtnInput[a] : 0.0;
    mTotalVca[i] = !mTotalVcaInput ? 1.0 : (*mTotalVcaInput > 0.0 ? *mTotalVcaInput : 0.0);
  }

  // The keyboard triggers last exactly one frame.
  mTriggers[kTrigKBD - 1] = mTriggers[kTrigSng - 1] = mTriggers[kTrigMlt - 1] = false;
}
