#pragma once
// A scripted VST 2 host for tests.
//
// TestHost loads the built plug-in exactly as a host application does: dlopen on the shared
// object, dlsym of the exported entry point, a call of that entry point with a host callback,
// and from then on only the function pointers of the returned AEffect (dispatcher, process
// callbacks, getParameter, setParameter). No C++ method of the plug-in is ever called.
//
// The host callback answers the plug-in's audioMaster requests from a table of answers
// (HostAnswers) that a test may change, and an optional script that can take over any request.
// Every request is recorded (opcode, index, value, opt, answer) and every event the plug-in
// sends through audioMasterProcessEvents is copied, so tests can check what the plug-in asked
// and what it sent.
//
// Typical use:
//   TestHost host;
//   ASSERT_TRUE(host.Instantiate()) << host.Error();
//   host.StartSession(48000.0f, 512);          // open, sample rate, block size, mains on
//   host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
//   host.ProcessReplacing(512);
//   float first = host.OutputF(0)[0];
//   host.Close();                              // or let the destructor close the instance
//
// Threads: Dispatch, the process helpers and the parameter helpers may be called from several
// threads at once (as a host's user-interface and audio threads do); the records are guarded
// by a mutex. The answers and the script must only be changed while no other thread is inside
// the plug-in. Each TestHost owns its own audio buffers, so two threads must not call process
// helpers of the same TestHost at the same time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "plugin/vst2abi.h"

namespace quenta_test {

// One request the plug-in made through the host callback.
struct HostCall {
  const AEffect* effect = nullptr;  // first argument as the plug-in passed it
  VstInt32 opcode = 0;
  VstInt32 index = 0;
  VstIntPtr value = 0;
  bool hasPtr = false;
  float opt = 0.0f;
  VstIntPtr answer = 0;  // what the host returned
  std::string text;      // for string requests: the text the host wrote into ptr
};

// One event the plug-in sent through audioMasterProcessEvents, copied out of the plug-in's
// memory during the call.
struct SentEvent {
  int batch = 0;        // number of the audioMasterProcessEvents call it arrived with, from 0
  VstEvent raw{};       // the first 32 bytes of the event record as sent
  VstMidiEvent midi{};  // the same bytes seen as a MIDI event (meaningful for kVstMidiType)
  VstMidiSysexEvent sysexHeader{};  // the record seen as a SysEx event (kVstSysExType)
  std::vector<uint8_t> sysex;       // the dump bytes of a SysEx event
};

// What the scripted host answers when the plug-in asks. The defaults mimic a plain Linux host
// that answers many requests with 0 or an empty string.
struct HostAnswers {
  VstIntPtr vstVersion = kVstVersion;        // audioMasterVersion
  std::string vendorString;                  // audioMasterGetVendorString
  std::string productString;                 // audioMasterGetProductString
  VstIntPtr vendorVersion = 0;               // audioMasterGetVendorVersion
  size_t stringLimit = kVstMaxVendorStrLen;  // bytes the host writes at most, terminator included
  bool hasTimeInfo = false;                  // audioMasterGetTime: null when false
  VstTimeInfo timeInfo{};                    // the record handed out when hasTimeInfo
  VstIntPtr processLevel = kVstProcessLevelUnknown;  // audioMasterGetCurrentProcessLevel
  VstIntPtr processEventsResult = 1;  // audioMasterProcessEvents (1: events accepted)
  VstIntPtr wantMidiResult = 0;       // audioMasterWantMidi
  VstIntPtr sampleRate = 0;           // audioMasterGetSampleRate
  VstIntPtr blockSize = 0;            // audioMasterGetBlockSize
  std::set<std::string> canDo;        // audioMasterCanDo strings answered with 1
};

// A script may take over any request: return true and set answer to answer it, false to leave
// it to the answer table. ptr is the plug-in's pointer argument (may be null).
using HostScript = std::function<bool(const HostCall& call, void* ptr, VstIntPtr& answer)>;

// Which exported entry point Instantiate calls.
enum class Entry { VSTPluginMain, Main };

class TestHost {
 public:
  // soPath: the shared object to load; the built Quenta.so by default.
#ifdef QUENTA_SO_PATH
  explicit TestHost(std::string soPath = QUENTA_SO_PATH);
#else
  explicit TestHost(std::string soPath);
#endif
  ~TestHost();  // closes the instance when it is still open; the library stays loaded
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // Loads the library (once) and calls the entry point. False with Error() set when the
  // library cannot be loaded, the entry point is missing or it returns null.
  bool Instantiate(Entry entry = Entry::VSTPluginMain);
  AEffect* Effect() const { return mEffect; }
  bool IsOpen() const { return mEffect != nullptr; }
  const std::string& Error() const { return mError; }

  const std::string& Path() const { return mPath; }

  // Answers and script. Change them only while no other thread is inside the plug-in.
  HostAnswers& Answers() { return mAnswers; }
  void SetScript(HostScript script) { mScript = std::move(script); }

  // --- Dispatcher -------------------------------------------------------------------------
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void Open() { Dispatch(effOpen); }
  // effClose; the AEffect is gone afterwards and Effect() becomes null.
  VstIntPtr Close();
  void SetSampleRate(float rate) { Dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
  void SetBlockSize(int frames) { Dispatch(effSetBlockSize, 0, frames); }
  void MainsChanged(bool on) { Dispatch(effMainsChanged, 0, on ? 1 : 0); }
  // effOpen, sample rate, block size, mains on: what every host does before processing.
  void StartSession(float sampleRate = 48000.0f, int blockSize = 512);

  // String requests: the plug-in writes into a buffer of bufferSize bytes that the host filled
  // with kCanary; the text up to the first NUL is returned. *result receives the opcode's result.
  static constexpr unsigned char kCanary = 0xA5;
  std::string GetString(VstInt32 opcode, VstInt32 index = 0, size_t bufferSize = 256,
                        VstIntPtr* result = nullptr, VstIntPtr value = 0, float opt = 0.0f);
  std::string EffectName() { return GetString(effGetEffectName); }
  std::string VendorString() { return GetString(effGetVendorString); }
  std::string ProductString() { return GetString(effGetProductString); }
  std::string ParamName(int index) { return GetString(effGetParamName, index); }
  std::string ParamLabel(int index) { return GetString(effGetParamLabel, index); }
  std::string ParamDisplay(int index) { return GetString(effGetParamDisplay, index); }
  std::string ProgramName() { return GetString(effGetProgramName); }
  std::string ProgramNameIndexed(int index, VstIntPtr* result = nullptr) {
    return GetString(effGetProgramNameIndexed, index, 256, result);
  }
  int Program() { return static_cast<int>(Dispatch(effGetProgram)); }
  void SetProgram(int index) { Dispatch(effSetProgram, 0, index); }
  void SetProgramName(const std::string& name) {
    Dispatch(effSetProgramName, 0, 0, const_cast<char*>(name.c_str()));
  }

  // --- Parameters (through the AEffect callbacks, as a host automates) ---------------------
  float GetParameter(int index);
  void SetParameter(int index, float value);
  int NumParams() const { return mEffect ? mEffect->numParams : 0; }
  std::vector<float> AllParameters();

  // --- Chunks --------------------------------------------------------------------------------
  // effGetChunk (idx 0 asks for a bank, 1 for a program); returns a copy of the plug-in's data.
  // *result receives the opcode's result (the size, or 0).
  std::vector<uint8_t> GetChunk(bool bank, VstIntPtr* result = nullptr);
  VstIntPtr SetChunk(const std::vector<uint8_t>& data, bool bank);

  // --- Audio -------------------------------------------------------------------------------
  // Two or more output buffers (numOutputs, at least 2) and numInputs zeroed input buffers,
  // owned by the host. The replacing calls prefill the outputs with kUnwrittenSample so that a
  // sample the plug-in failed to write shows up; the accumulating call keeps what is there.
  static constexpr float kUnwrittenSample = 12345.0f;
  void ProcessReplacing(int frames);
  void ProcessDoubleReplacing(int frames);
  void ProcessAccumulating(int frames);       // the deprecated process callback
  void FillOutputs(float value, int frames);  // prepares the float buffers for accumulation
  const std::vector<float>& OutputF(int channel) const { return mOutF[channel]; }
  const std::vector<double>& OutputD(int channel) const { return mOutD[channel]; }
  int NumOutputBuffers() const { return static_cast<int>(mOutF.size()); }
  // When set, the input pointer array passed to the process callbacks is null (some hosts do
  // this for plug-ins without inputs).
  void SetNullInputs(bool nullInputs) { mNullInputs = nullInputs; }

  // --- Events ------------------------------------------------------------------------------
  static VstMidiEvent Midi(int deltaFrames, uint8_t status, uint8_t data1, uint8_t data2);
  // Delivers the events in one effProcessEvents call and returns its result.
  VstIntPtr SendEvents(const std::vector<VstEvent*>& events);
  VstIntPtr SendMidi(std::vector<VstMidiEvent> events);
  VstIntPtr SendSysex(int deltaFrames, std::vector<uint8_t> bytes);

  // --- Records -----------------------------------------------------------------------------
  std::vector<HostCall> Calls() const;
  std::vector<HostCall> CallsWith(VstInt32 opcode) const;
  size_t CountCalls(VstInt32 opcode) const;
  std::vector<SentEvent> SentEvents() const;
  void ClearRecords();
  // Recording of single calls can be switched off for long runs; counts are always kept.
  void SetRecording(bool on) { mRecording = on; }

  // Requests that arrived with an AEffect no TestHost knows, process-wide. Should stay 0.
  static int OrphanCalls();

  // The C host callback handed to the plug-in; finds the TestHost by the AEffect.
  static VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                void* ptr, float opt);

 private:
  bool Load();
  VstIntPtr Answer(HostCall& call, void* ptr);
  void CaptureEvents(const VstEvents* events);
  void PrepareBuffers(int frames);
  void Record(const HostCall& call);

  std::string mPath;
  std::string mError;
  void* mLibrary = nullptr;
  AEffect* mEffect = nullptr;

  HostAnswers mAnswers;
  HostScript mScript;
  VstTimeInfo mTimeInfoOut{};  // the record whose address the host hands out

  mutable std::mutex mRecordMutex;
  std::vector<HostCall> mCalls;
  std::map<VstInt32, size_t> mCallCounts;
  std::vector<SentEvent> mSentEvents;
  int mEventBatches = 0;
  std::atomic<bool> mRecording{true};

  bool mNullInputs = false;
  std::vector<std::vector<float>> mInF, mOutF;
  std::vector<std::vector<double>> mInD, mOutD;
  std::vector<float*> mInPtrF, mOutPtrF;
  std::vector<double*> mInPtrD, mOutPtrD;
};

// Little-endian helpers for chunk data (the plug-in's chunks are native little-endian).
int32_t ReadLE32(const std::vector<uint8_t>& data, size_t pos);
void AppendLE32(std::vector<uint8_t>& data, int32_t value);
double ReadLEDouble(const std::vector<uint8_t>& data, size_t pos);

// Four-character identifiers as 32-bit values.
constexpr VstInt32 FourCC(char a, char b, char c, char d) { return VST_FOURCC(a, b, c, d); }

// The instrument's identity as a host sees it.
constexpr int kQuentaNumParams = 229;
constexpr int kQuentaNumPrograms = 64;
constexpr int kQuentaNumInputs = 0;
constexpr int kQuentaNumOutputs = 2;
constexpr VstInt32 kQuentaUniqueId = FourCC('q', 'n', 't', 'a');
constexpr VstInt32 kQuentaVersion = 10204;  // 1.2.4 in the decimal form hosts see
constexpr const char* kQuentaEffectName = "Quenta";
constexpr const char* kQuentaVendor = "Amberfold Ziziz";
// The version header that starts every chunk handed to the host: "tffp" magic, version 1.0.0.
constexpr uint8_t kChunkHeader[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

// When QUENTA_SIMD asks for a voice loop this machine cannot run (the plug-in then runs
// another one), the reason to skip a test pinned to that loop; otherwise "".
std::string UnavailableVoiceLoop();

}  // namespace quenta_test
