#pragma once
// The instrument base: the parts any instrument of this family needs on top of the VST
// binding: the queue of timed MIDI messages, the control-frame counters, the buffer of held
// keys, MIDI thru and program-change handling, the learn capture state and the plug-in path.
#include "base/wdlstring.h"
#include "instrument/keybuffer.h"
#include "instrument/midiqueue.h"
#include "plugin/IPlugVST.h"

class Synth : public IPlugVST {
 public:
  Synth(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
        const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
        bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);

  void Reset() override;
  void OnParamChange(int paramIdx) override;
  void OnActivate(bool active) override;
  void ProcessMidiMsg(IMidiMsg* /*pMsg*/) override {}

  virtual void allNotesOff() {}
  virtual void initParameters() {}

  // Makes an enumerated parameter whose entries show texts[0 .. count - 1].
  void initListParameter(int index, const char* name, int defaultVal, int count, const char* const* texts);

  // Frequency in Hz of a pitch in 1/128 semitone (pitch 0 = MIDI note 0, 8.176 Hz).
  static double convert2Hz(int pitch);

  // The key buffer: one entry per held key.
  void addPressedKey(int note, int velocity) { mPressedKeys.add(note, velocity); }
  void removePressedKey(int note) { mPressedKeys.remove(note); }
  void clearKeyBuffer() { mPressedKeys.clear(); }
  int numPressedKeys() const { return mPressedKeys.size(); }

  // MIDI learn capture: a controller that arrives while learning is active.
  void setMidiLearnCC(int cc) { mLearnCC = cc; }
  void setMidiLearn(bool on) { mMidiLearn = on; }
  bool isMidiLearn() const { return mMidiLearn; }

  void setMidiThru(bool on) { mMidiThru = on; }
  bool getMidiThru() const { return mMidiThru; }
  void setIgnoreProgramChange(bool on) { mIgnoreProgramChange = on; }
  bool getIgnoreProgramChange() const { return mIgnoreProgramChange; }

  int getSamplesPerFrame() const { return mSamplesPerFrame; }
  const char* getPluginPath() const { return mPluginPath.Get(); }

 protected:
  IMidiQueue mMidiQueue;
  bool mMidiThru = false;
  bool mIgnoreProgramChange = false;
  int mFrameRemaining = 0;
  int mSamplesPerFrame = 0;
  WDL_String mPluginPath;
  bool mMidiLearn = false;
  bool mMidiUnlearn = false;
  int mLearnCC = -1;
  int mLearnParam = -1;
  KeyBuffer mPressedKeys;
};
