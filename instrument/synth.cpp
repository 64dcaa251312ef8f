#include "instrument/synth.h"

#include "dsp/frame.h"
#include "dsp/pitch.h"
#include "editor/platform/IGraphicsLinux.h"
#include "plugin/PluginPath.h"

Synth::Synth(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
             const char* effectName, const char* productName, const char* mfrName,
             int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
             bool plugDoesChunks, bool plugIsInst)
    : IPlugVST(instanceInfo, nParams, channelIOStr, nPresets, effectName, productName, mfrName,
               vendorVersion, uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst),
      mMidiQueue(1024) {
  for (int& p : mCCMap) p = -1;
  mGUI = new IGraphicsLinux(this, kEditorWidth, kEditorHeight, 0);
  GetPluginPath(&mPluginPath);
  openConfig();
}

void Synth::Reset() {
  WDL_MutexLock lock(&mMutex);
  mMidiQueue.Resize(GetBlockSize());
  clearKeyBuffer();
  // Rates that give no frame leave the engine silent.
  mSamplesPerFrame = samplesPerFrame(GetSampleRate());
  mFrameRemaining = 0;
  mMidiLearn = false;
}

void Synth::replaceGraphics(IGraphics* pGraphics) {
  if (!pGraphics) return;
  // The panel's controls are reached through the instrument's pointers; createGraphics points
  // them at the new object's controls before the old object goes.
  mGUI = pGraphics;
  createGraphics();
  AttachGraphics(pGraphics);
}

void Synth::OnActivate(bool active) {
  WDL_MutexLock lock(&mMutex);
  if (active) OnParamReset();
}

double Synth::convert2Hz(int pitch) { return pitch::toHz(pitch); }
