#pragma once
// A VST 2 host in miniature: loads a plug-in through its VSTPluginMain entry point, answers the
// plug-in's host callback (time info, MIDI output, host identity) and drives the dispatcher.
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/vst2abi.h"

namespace qrender {

typedef AEffect* (*PluginEntry)(audioMasterCallback host);

// The song position the host reports. ppq, bar start and time are derived from it.
struct Transport {
  double sampleRate = 48000.0;
  double tempo = 120.0;
  int numerator = 4;
  int denominator = 4;
  int64_t samplePos = 0;
  bool playing = false;
  bool changed = false;  // playing state changed since the last block began
};

// Fills the VstTimeInfo a host answers audioMasterGetTime with: positions, tempo, bars and time
// signature valid; transport playing while the transport plays.
void fillTimeInfo(const Transport& transport, VstTimeInfo& ti);

class PluginHost {
 public:
  PluginHost();
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads a plug-in library and creates its instance. error names the problem on failure.
  bool load(const std::string& path, std::string& error);
  // Creates an instance from an entry point already in this process.
  bool attach(PluginEntry entry, std::string& error);
  // effClose and unload; also done by the destructor.
  void close();

  AEffect* effect() const { return mEffect; }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  // effOpen, then sample rate and block size, as a host does before anything else.
  void open(int sampleRate, int blockSize);
  void resume();   // effMainsChanged on, effStartProcess
  void suspend();  // effStopProcess, effMainsChanged off
  int sampleRate() const { return (int)mTransport.sampleRate; }
  int blockSize() const { return mBlockSize; }

  int numParams() const { return mEffect ? mEffect->numParams : 0; }
  std::string paramName(int index);
  std::string paramDisplay(int index);
  std::string paramLabel(int index);
  float getParameter(int index);
  void setParameter(int index, float value);

  Transport& transport() { return mTransport; }
  // Hands MIDI events for the coming block to the plug-in.
  void sendMidi(const std::vector<VstMidiEvent>& events);
  // Renders n frames (n <= block size) into the plug-in's first two outputs.
  void process(float* left, float* right, int n);

  // The host callback. Static entry for the plug-in; the member does the work.
  static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                            void* ptr, float opt);
  VstIntPtr onHostCall(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  // What the plug-in asked of the host.
  int timeQueries() const { return mTimeQueries; }
  int midiOutEvents() const { return mMidiOutEvents; }
  // When on, every time info handed out is kept (tests).
  void recordTimeInfo(bool on) { mRecordTime = on; }
  const std::vector<VstTimeInfo>& timeLog() const { return mTimeLog; }

 private:
  bool start(PluginEntry entry, std::string& error);

  void* mLibrary = nullptr;
  AEffect* mEffect = nullptr;
  bool mResumed = false;
  int mBlockSize = 512;
  Transport mTransport;
  VstTimeInfo mTimeInfo;
  int mTimeQueries = 0;
  int mMidiOutEvents = 0;
  bool mRecordTime = false;
  std::vector<VstTimeInfo> mTimeLog;
  std::vector<std::vector<float>> mInputs, mScratchOutputs;
  std::vector<float*> mInputPtrs, mOutputPtrs;
  std::vector<uint8_t> mEventBlock;  // VstEvents header plus pointers for one block
};

}  // namespace qrender
