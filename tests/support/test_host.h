#pragma once
// A scripted VST 2 host for tests: loads the built plug-in as a host application does (dlopen,
// the exported entry point) and then uses only the AEffect's function pointers. It answers
// requests from a table or a script and records them. Dispatch, process and parameter helpers
// may run on several threads at once; answers and script change only while no other thread is
// inside the plug-in, and one TestHost's process helpers run on one thread at a time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/vst2abi.h"

namespace quenta_test {

// One request the plug-in made through the host callback.
struct HostCall {
  VstInt32 opcode = 0;
  VstInt32 index = 0;
  VstIntPtr value = 0;
  float opt = 0.0f;
  VstIntPtr answer = 0;  // what the host returned
};

// What the scripted host answers when the plug-in asks; a plain Linux host by default.
struct HostAnswers {
  std::string vendorString;                  // audioMasterGetVendorString
  std::string productString;                 // audioMasterGetProductString
  VstIntPtr vendorVersion = 0;               // audioMasterGetVendorVersion
  size_t stringLimit = kVstMaxVendorStrLen;  // bytes the host writes at most, terminator included
  bool hasTimeInfo = false;                  // audioMasterGetTime: null when false
  VstTimeInfo timeInfo{};                    // the record handed out when hasTimeInfo
  VstIntPtr processLevel = kVstProcessLevelUnknown;  // audioMasterGetCurrentProcessLevel
};

// A script may take over any request: return true and set answer to answer it, false to leave
// it to the answer table. ptr is the plug-in's pointer argument (may be null).
using HostScript = std::function<bool(const HostCall& call, void* ptr, VstIntPtr& answer)>;

// Which exported entry point Instantiate calls.
enum class Entry { VSTPluginMain, Main };

class TestHost {
 public:
  explicit TestHost(std::string soPath = QUENTA_SO_PATH);  // the built plug-in by default
  ~TestHost();  // closes the instance when it is still open; the library stays loaded
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // Loads the library (once) and calls the entry point; false with Error() set on failure. The
  // AEffect's user field, which the plug-in must leave alone, then names this host.
  bool Instantiate(Entry entry = Entry::VSTPluginMain);
  AEffect* Effect() const { return mEffect; }
  const std::string& Error() const { return mError; }
  HostAnswers& Answers() { return mAnswers; }
  void SetScript(HostScript script) { mScript = std::move(script); }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void Open() { Dispatch(effOpen); }
  VstIntPtr Close();  // effClose; Effect() becomes null
  void SetSampleRate(float rate) { Dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
  void SetBlockSize(int frames) { Dispatch(effSetBlockSize, 0, frames); }
  void MainsChanged(bool on) { Dispatch(effMainsChanged, 0, on ? 1 : 0); }
  // effOpen, sample rate, block size, mains on: what every host does before processing.
  void StartSession(float sampleRate = 48000.0f, int blockSize = 512);

  // String requests: the plug-in writes into a buffer of bufferSize bytes filled with kCanary;
  // the text up to the first NUL is returned, *result receives the opcode's result.
  static constexpr unsigned char kCanary = 0xA5;
  std::string GetString(VstInt32 opcode, VstInt32 index = 0, size_t bufferSize = 256,
                        VstIntPtr* result = nullptr);
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
  float GetParameter(int i) { return mEffect ? mEffect->getParameter(mEffect, i) : 0.0f; }
  void SetParameter(int i, float value) {
    if (mEffect) mEffect->setParameter(mEffect, i, value);
  }
  std::vector<float> AllParameters();

  // --- Chunks: effGetChunk returns a copy (idx 0 asks for a bank); *result gets the size ----
  std::vector<uint8_t> GetChunk(bool bank, VstIntPtr* result = nullptr);
  VstIntPtr SetChunk(const std::vector<uint8_t>& data, bool bank);

  // numOutputs (at least 2) output buffers owned by the host, and no inputs. The replacing
  // calls prefill the outputs with kUnwrittenSample so that a sample the plug-in failed to
  // write shows up; the accumulating call keeps what is there.
  static constexpr float kUnwrittenSample = 12345.0f;
  void ProcessReplacing(int frames);
  void ProcessDoubleReplacing(int frames);
  void ProcessAccumulating(int frames);       // the deprecated process callback
  void FillOutputs(float value, int frames);  // prepares the float buffers for accumulation
  const std::vector<float>& OutputF(int channel) const { return mOutF[channel]; }
  const std::vector<double>& OutputD(int channel) const { return mOutD[channel]; }

  // --- Events: one effProcessEvents call each, returning its result ------------------------
  static VstMidiEvent Midi(int deltaFrames, uint8_t status, uint8_t data1, uint8_t data2);
  VstIntPtr SendEvents(const std::vector<VstEvent*>& events);
  VstIntPtr SendMidi(std::vector<VstMidiEvent> events);
  VstIntPtr SendSysex(int deltaFrames, std::vector<uint8_t> bytes);

  std::vector<HostCall> Calls() const;
  std::vector<HostCall> CallsWith(VstInt32 opcode) const;
  size_t CountCalls(VstInt32 opcode) const;
  void ClearRecords();
  // Recording of single calls can be switched off for long runs; counts are always kept.
  void SetRecording(bool on) { mRecording = on; }
  // Requests that arrived with an AEffect no TestHost knows, process-wide. Should stay 0.
  static int OrphanCalls();

  // The C host callback handed to the plug-in; finds the TestHost by the AEffect.
  static VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                void* ptr, float opt);

 private:
  VstIntPtr Answer(const HostCall& call, void* ptr);
  void PrepareBuffers(int frames);

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
  std::atomic<bool> mRecording{true};

  std::vector<std::vector<float>> mOutF;
  std::vector<std::vector<double>> mOutD;
  std::vector<float*> mOutPtrF;
  std::vector<double*> mOutPtrD;
};

// Little-endian helpers for chunk data (the plug-in's chunks are native little-endian).
int32_t ReadLE32(const std::vector<uint8_t>& data, size_t pos);
void AppendLE32(std::vector<uint8_t>& data, int32_t value);
double ReadLEDouble(const std::vector<uint8_t>& data, size_t pos);

// The instrument's identity as a host sees it.
constexpr int kQuentaNumParams = 229;
constexpr int kQuentaNumPrograms = 64;
constexpr VstInt32 kQuentaVersion = 10204;  // 1.2.4 in the decimal form hosts see
constexpr const char* kQuentaEffectName = "Quenta";
constexpr const char* kQuentaVendor = "Amberfold Ziziz";
// The version header that starts every chunk handed to the host: "tffp" magic, version 1.0.0.
constexpr uint8_t kChunkHeader[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

// When QUENTA_SIMD asks for a voice loop this machine cannot run (the plug-in then runs
// another one), the reason to skip a test pinned to that loop; otherwise "".
std::string UnavailableVoiceLoop();

}  // namespace quenta_test
