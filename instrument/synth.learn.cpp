// MIDI learn: pairing controllers 0 to 119 with parameters, and learned controllers in play.
//
// While learning, the controller and the parameter are captured in either order; the pairing
// is made as soon as both are known. The captured parameter survives the end of learning, so
// the next time a controller moved before any parameter pairs with it at once. Unlearning
// removes the pairing of the controller moved, or of every controller bound to the parameter
// touched.
#include "instrument/synth.h"
#include "editor/IGraphics.h"

void Synth::doMidiLearn(bool on) {
  WDL_MutexLock lock(&mMutex);
  mMidiUnlearn = false;
  mMidiLearn = on;
  mLearnCC = -1;
}

void Synth::doMidiUnlearn(bool on) {
  WDL_MutexLock lock(&mMutex);
  mMidiUnlearn = true;
  mMidiLearn = on;
  mLearnCC = -1;
}

void Synth::setMidiLearnCC(int cc) {
  if (cc < 0 || cc >= kNumLearnableCCs) return;
  WDL_MutexLock lock(&mMutex);
  mLearnCC = cc;
  applyMidiLearn();
}

void Synth::setMidiLearnParam(int paramIdx) {
  if (paramIdx < 0 || paramIdx >= NParams()) return;
  WDL_MutexLock lock(&mMutex);
  mLearnParam = paramIdx;
  applyMidiLearn();
}

void Synth::applyMidiLearn() {
  WDL_MutexLock lock(&mMutex);
  if (!mMidiUnlearn) {
    if (mLearnCC < 0 || mLearnParam < 0) return;
    // A parameter has at most one controller.
    for (int& p : mCCMap)
      if (p == mLearnParam) p = -1;
    mCCMap[mLearnCC] = mLearnParam;
    mMidiLearn = false;
  } else {
    if (mLearnCC >= 0) {
      mCCMap[mLearnCC] = -1;
    } else if (mLearnParam >= 0) {
      for (int& p : mCCMap)
        if (p == mLearnParam) p = -1;
    } else {
      return;
    }
    mMidiLearn = false;
    mMidiUnlearn = false;
  }
  // Learning has ended: the editor's learn switch goes back to off. This may run on the audio
  // thread (a controller arriving); the editor then applies it on its next tick.
  if (mMidiLearnSwitch && GetGUI()) GetGUI()->SetControlFromPlug(mMidiLearnSwitch, 0.0);
}

void Synth::OnParamChange(int paramIdx) {
  WDL_MutexLock lock(&mMutex);
  if (mMidiLearn && paramIdx >= 0 && paramIdx < NParams()) {
    mLearnParam = paramIdx;
    applyMidiLearn();
  }
}

void Synth::handleLearnedCC(int cc, int value) {
  if (cc < 0 || cc >= kNumLearnableCCs || cc == IMidiMsg::kModWheel ||
      cc == IMidiMsg::kSustainOnOff)
    return;
  const int p = mCCMap[cc];
  if (p < 0 || p >= NParams()) return;
  const double x = value / 127.0;
  if (x == GetParam(p)->GetNormalized()) return;
  SetParameterFromGUI(p, x);
  if (IGraphics* pGraphics = GetGUI()) pGraphics->SetParameterFromPlug(p, x, true);
}
