// How parameters reach the engine, and the patch panel's sources and triggers.
#include "instrument/quenta.h"
#include "dsp/frame.h"

const double* Quenta::getModSource(int index) const {
  switch (index) {
    case kSrc5V: return &mCell5V;
    case kSrcGE1Minus: return mGEG.getOutput(1);
    case kSrcGE2Plus: return mGEG.getOutput(2);
    case kSrcGE3Plus: return mGEG.getOutput(3);
    case kSrcMG1A: return mBlockA.getMG1Source();
    case kSrcMG2A: return mBlockA.getMG2Source();
    case kSrcMG1B: return mBlockB.getMG1Source();
    case kSrcMG2B: return mBlockB.getMG2Source();
    case kSrcMG1C: return mBlockC.getMG1Source();
    case kSrcMG2C: return mBlockC.getMG2Source();
    case kSrcSH: return mSH.outputCell();
    case kSrcVP1: return &mCellVP1;
    case kSrcVP2: return &mCellVP2;
    case kSrcKey: return &mCellKey;
    case kSrcPB: return &mCellPB;
    case kSrcPBPlus: return &mCellPBPlus;
    case kSrcMW: return &mCellMW;
    case kSrcMWPlus: return &mCellMWPlus;
    case kSrcLag1: return &mCellLag1;
    case kSrcLag2: return &mCellLag2;
    case kSrcAtn1:
    case kSrcAtn2:
    case kSrcAtn3: return &mCellAtn[index - kSrcAtn1];
    default:
      if (index >= kSrcVC1 && index <= kSrcVC8) return &mCellVC[index - kSrcVC1];
      return nullptr;
  }
}

const bool* Quenta::getTrigger(int index) const {
  return index >= 1 && index < kNumTriggers ? &mTriggers[index - 1] : nullptr;
}

void Quenta::setCCSources(int controller, double value) {
  // The first matching assignment takes the controller; later ones never see it.
  for (int g = 0; g < 2; ++g) {
    if (controller == mTrgCC[g]) {
      mCCGatePrev[g] = mCCGate[g];
      mCCGate[g] = value > 0.5;
      return;
    }
  }
  for (int v = 0; v < 8; ++v) {
    if (controller == mVCCC[v]) {
      mCellVC[v] = value;
      return;
    }
  }
}

void Quenta::OnParamChange(int paramIdx) {
  WDL_MutexLock lock(&mMutex);
  Synth::OnParamChange(paramIdx);
  IParam* pParam = GetParam(paramIdx);
  if (!pParam) return;
  const double v = pParam->Value();
  const int e = (int)v;

  if (paramIdx < kFinal) {
    getBlock(paramIdx / kBlockParamCount)->setParam(paramIdx, v);
    return;
  }
  switch (paramIdx) {
    case kFinal: mOutputGain = 2.0 * v; break;
    case kTVCASrc: mTotalVcaInput = getModSource(e); break;
    case kKBDTrig: mKbdTrigCount = e; break;
    case kPBRange: mBendRange = v * 128.0; break;
    case kSHFreq:
      mSHFreq = v;
      if (v > 0.0) mSH.setPeriod(framesPerCycle(v));
      break;
    case kSHSync: mSH.setSynchro(v >= 0.5); break;
    case kSHIn:
      mSHNoise = e == kSHInputNoise;
      mSHInput = getModSource(e);
      break;
    case kSHHost:
      mSH.setSyncRate(e);
      if (e == 0) {
        // Back to free running: restore the period of the last "S/H Freq".
        GetParam(kSHFreq)->Set(mSHFreq);
        OnParamChange(kSHFreq);
      }
      break;
    case kGEGDly: mGEG.setDelay(v); break;
    case kGEGAtk: mGEG.setAttack(v); break;
    case kGEGRel: mGEG.setRelease(v); break;
    case kGEGAuto: mGEG.setAutoRelease(v >= 0.5); break;
    case kGEGSrc1: mGEGTrigger[0] = getTrigger(e); break;
    case kGEGSrc2: mGEGTrigger[1] = getTrigger(e); break;
    case kVP1A: mVP1A = v; break;
    case kVP1B: mVP1B = v; break;
    case kVP1Src: mVP1Input = getModSource(e); break;
    case kVP2A: mVP2A = v; break;
    case kVP2B: mVP2B = v; break;
    case kVP2Sel: mVP2OwnInput = v >= 0.5; break;
    case kVP2Src: mVP2Input = getModSource(e); break;
    case kClk1Src:
    case kClk2Src:
    case kClk3Src:
    case kClk4Src: mClockRate[paramIdx - kClk1Src] = e; break;
    case kTrg1Src:
    case kTrg2Src: mTrgCC[paramIdx - kTrg1Src] = e; break;
    case kVC1Src:
    case kVC2Src:
    case kVC3Src:
    case kVC4Src:
    case kVC5Src:
    case kVC6Src:
    case kVC7Src:
    case kVC8Src: mVCCC[paramIdx - kVC1Src] = e; break;
    case kUseHold:
      mBlockA.setParam(paramIdx, v);
      mBlockB.setParam(paramIdx, v);
      mBlockC.setParam(paramIdx, v);
      break;
    case kLag1: mLag1.setCutOff(lag::cutOffFor(v)); break;
    case kLag1Src: mLag1Input = getModSource(e); break;
    case kLag2: mLag2.setCutOff(lag::cutOffFor(v)); break;
    case kLag2Src: mLag2Input = getModSource(e); break;
    case kAtn1:
    case kAtn2:
    case kAtn3: mAtnFactor[(paramIdx - kAtn1) / 2] = v; break;
    case kAtn1Src:
    case kAtn2Src:
    case kAtn3Src: mAtnInput[(paramIdx - kAtn1Src) / 2] = getModSource(e); break;
    default: break;
  }
}
