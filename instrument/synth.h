#pragma once
// The instrument base: the parts any instrument of this family needs on top of the VST
// binding: the queue of timed MIDI messages, the control-frame counters, the buffer of held
// keys, MIDI thru and program-change handling, the configuration file, MIDI learn, the
// program clipboard and the start-up programs.
#include "base/wdlstring.h"
#include "instrument/keybuffer.h"
#include "instrument/midiqueue.h"
#include "plugin/ByteChunk.h"
#include "plugin/IPlugVST.h"

class IControl;
class IGraphics;

class Synth : public IPlugVST {
 public:
  // Controllers 0 to 119 can be learned; 120 and above are channel mode messages.
  enum { kNumLearnableCCs = 120 };
  // The editor's size in pixels.
  enum { kEditorWidth = 1480, kEditorHeight = 660 };
  // Results of checkVersionAgainstWeb.
  enum {
    kVersionChecked = 0,        // a verdict was shown
    kVersionNoReply = -1,       // nothing came back (no connection, no body)
    kVersionInvalidReply = -3,  // the service answered with something that is not a version
    kVersionStreamError = -5    // the answer broke off midway
  };
  // Results of loadConfig and setStartupFxb.
  enum {
    kConfigOK = 0,
    kConfigMissing = 11,        // loadConfig: the configuration file is not there
    kStartupBankInvalid = 8,    // setStartupFxb: not a bank this plug-in can load
    kStartupBankUnwritable = 9  // setStartupFxb: the configuration file cannot be written
  };
  // saveConfig commands: everything, or one of the two MIDI menu toggles.
  enum { kSaveAll = -1, kSaveMidiThru = 22, kSaveIgnoreProgramChange = 23 };

  Synth(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
        const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
        int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
        bool plugIsInst);

  void Reset() override;
  // While MIDI learn is active every parameter change names the parameter to learn.
  void OnParamChange(int paramIdx) override;
  void OnActivate(bool active) override;
  void ProcessMidiMsg(IMidiMsg* /*pMsg*/) override {}

  // Fills the editor's graphics object (mGUI) with the panel; the instrument's own.
  virtual void createGraphics() {}
  virtual void allNotesOff() {}
  virtual void initParameters() {}

  // Builds the panel on another graphics object (a headless one, for the tools and tests) and
  // attaches it in place of the current one, which is deleted.
  void replaceGraphics(IGraphics* pGraphics);

  // ---- Programs (instrument/synth.programs.cpp) ----
  // Fills the programs from the start-up bank, else from the factory bank in the bundle.
  virtual void initAllPrograms();
  // The current program becomes the initial sound, named "Init".
  virtual void initPreset();
  void copyPreset();
  // Applies the copied program to the current one, which takes the copied program's name.
  // Does nothing while the clipboard is empty.
  void pastePreset();
  // Leaves the current program (keeping its unsaved edits in it) for program index.
  bool changePreset(int index);
  int getCopiedPreset() const { return mCopiedPreset; }
  bool hasCopiedPreset() const { return mPresetClipboard.Size() > 0; }

  // ---- Configuration file (instrument/synth.config.cpp) ----
  // Reads the configuration file; kConfigMissing when it is not there (defaults then apply).
  int loadConfig();
  // kSaveAll writes every key but the program folder; kSaveMidiThru and
  // kSaveIgnoreProgramChange write the start-up bank and that one flag. False when the
  // configuration file could not be written.
  bool saveConfig(int command);
  // Makes path the start-up bank: kConfigOK, kStartupBankInvalid (nothing changed) or
  // kStartupBankUnwritable (nothing changed: the configuration file could not be written, or
  // cannot hold the path, which has a line break or is longer than 1022 characters).
  int setStartupFxb(const char* path);
  void unsetStartupFxb();
  void saveStartupFxb();
  // Remembers the folder for program files (path may be null: the current folder is written).
  // False when the configuration file could not be written, or cannot hold the path (then
  // nothing changed).
  bool storeProgramPath(WDL_String* path);
  static bool fileExists(WDL_String path);

  const char* getHomePath() const { return mHomePath.Get(); }
  const char* getIniPath() const { return mIniPath.Get(); }
  const char* getStartupBankPath() const { return mStartupBankPath.Get(); }
  const char* getProgramPath() const { return mProgramPath.Get(); }
  const char* getPluginPath() const { return mPluginPath.Get(); }

  // ---- MIDI learn (instrument/synth.learn.cpp) ----
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  // A controller arrived while learning.
  void setMidiLearnCC(int cc);
  // Names the parameter to learn.
  void setMidiLearnParam(int paramIdx);
  // Completes a pairing (or removes one when unlearning) once enough has been captured.
  void applyMidiLearn();
  // A control change in play: drives the parameter learned for the controller, if any.
  // Controllers 1 and 64 never drive learned parameters.
  void handleLearnedCC(int cc, int value);

  void setMidiLearn(bool on) { mMidiLearn = on; }
  bool isMidiLearn() const { return mMidiLearn; }
  bool isMidiUnlearn() const { return mMidiUnlearn; }
  int getLearnCC() const { return mLearnCC; }
  int getLearnParam() const { return mLearnParam; }
  // Parameter learned for controller cc, -1 for none or for a controller that cannot be learned.
  int getCCMap(int cc) const { return cc >= 0 && cc < kNumLearnableCCs ? mCCMap[cc] : -1; }
  // The editor's learn switch; set back to off when learning ends.
  void setMidiLearnSwitch(IControl* pSwitch) { mMidiLearnSwitch = pSwitch; }

  // Makes an enumerated parameter whose entries show texts[0 .. count - 1].
  void initListParameter(int index, const char* name, int defaultVal, int count,
                         const char* const* texts);

  // Asks the version service for the latest release and tells the user in the editor's boxes;
  // offers the download page when a newer release exists. Runs on the user-interface thread
  // and blocks it while it waits (at most the fetch's time-outs) and while a box is up.
  int checkVersionAgainstWeb();

  // Frequency in Hz of a pitch in 1/128 semitone (pitch 0 = MIDI note 0, 8.176 Hz).
  static double convert2Hz(int pitch);

  // The key buffer: one entry per held key.
  void addPressedKey(int note, int velocity) { mPressedKeys.add(note, velocity); }
  void removePressedKey(int note) { mPressedKeys.remove(note); }
  void clearKeyBuffer() { mPressedKeys.clear(); }
  int numPressedKeys() const { return mPressedKeys.size(); }

  void setMidiThru(bool on) { mMidiThru = on; }
  bool getMidiThru() const { return mMidiThru; }
  void setIgnoreProgramChange(bool on) { mIgnoreProgramChange = on; }
  bool getIgnoreProgramChange() const { return mIgnoreProgramChange; }

  int getSamplesPerFrame() const { return mSamplesPerFrame; }

 protected:
  IMidiQueue mMidiQueue;
  // The editor's graphics object, made at construction (without touching a display), filled by
  // createGraphics and attached once complete; the framework owns it from then on.
  IGraphics* mGUI = nullptr;
  // The editor's MIDI learn switch; null until the editor layout sets it.
  IControl* mMidiLearnSwitch = nullptr;
  int mCopiedPreset = -1;
  ByteChunk mPresetClipboard;
  bool mMidiThru = false;
  bool mIgnoreProgramChange = false;
  int mFrameRemaining = 0;
  int mSamplesPerFrame = 0;
  WDL_String mPluginPath, mHomePath, mIniPath, mStartupBankPath, mProgramPath;
  int mCCMap[kNumLearnableCCs];
  bool mMidiLearn = false;
  bool mMidiUnlearn = false;
  int mLearnCC = -1;
  int mLearnParam = -1;
  KeyBuffer mPressedKeys;

 private:
  // Construction step: configuration folder and file.
  void openConfig();
  // The configuration could not be read or written: makes the file readable and writable for
  // everyone. False when there is no plain file to repair.
  bool repairConfig();
  // Reads every key; false when the configuration file is there but cannot be read.
  bool readConfig();
  // Writes the "Startup Bank" section with just "File" = the start-up bank; false when the
  // file was not written.
  bool writeStartupBank();
  // True when path is a bank this plug-in loads; checked on a scratch instance, so nothing of
  // this one changes.
  bool isLoadableBank(const char* path) const;
};
