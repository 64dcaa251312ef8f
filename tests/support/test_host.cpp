#include "support/test_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dsp/simd.h"

namespace quenta_test {

namespace {

// The host callback is a plain C function pointer: it finds its TestHost through the AEffect's
// field for the host's own use, or, while an entry point runs and the AEffect is not yet known,
// as the host constructing an instance on this thread.
thread_local TestHost* tConstructing = nullptr;
std::atomic<int> gOrphanCalls{0};

}  // namespace

TestHost::TestHost(std::string soPath) : mPath(std::move(soPath)) {}

TestHost::~TestHost() {
  if (mEffect) Close();
  // Loaded with RTLD_NODELETE, the library stays mapped so that sanitizer reports at exit can
  // still name the plug-in's functions; dlclose only drops the reference.
  if (mLibrary) dlclose(mLibrary);
}

bool TestHost::Instantiate(Entry entry) {
  if (mEffect) {
    mError = "an instance is already open";
    return false;
  }
  if (!mLibrary) {
    dlerror();
    mLibrary = dlopen(mPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!mLibrary) {
      const char* e = dlerror();
      mError = "cannot load " + mPath + ": " + (e ? e : "unknown error");
      return false;
    }
  }
  const char* name = entry == Entry::Main ? "main" : "VSTPluginMain";
  auto proc = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(mLibrary, name));
  if (!proc) {
    mError = std::string("entry point ") + name + " not found";
    return false;
  }
  tConstructing = this;
  AEffect* effect = proc(&TestHost::HostCallback);
  tConstructing = nullptr;
  if (!effect || effect->user) {
    mError = std::string(name) + (effect ? " set the host's user field" : " returned null");
    return false;
  }
  effect->user = this;
  mEffect = effect;
  return true;
}

VstIntPtr TestHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
  if (!mEffect) return 0;
  if (opcode == effClose) return Close();
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::Close() {
  AEffect* effect = mEffect;
  mEffect = nullptr;
  return effect ? effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f) : 0;
}

void TestHost::StartSession(float sampleRate, int blockSize) {
  Open();
  SetSampleRate(sampleRate);
  SetBlockSize(blockSize);
  MainsChanged(true);
}

std::string TestHost::GetString(VstInt32 opcode, VstInt32 index, size_t bufferSize,
                                VstIntPtr* result) {
  std::vector<char> buffer(std::max<size_t>(bufferSize, 1), static_cast<char>(kCanary));
  VstIntPtr r = Dispatch(opcode, index, 0, buffer.data());
  if (result) *result = r;
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

std::vector<float> TestHost::AllParameters() {
  std::vector<float> values;
  for (int i = 0; mEffect && i < mEffect->numParams; ++i) values.push_back(GetParameter(i));
  return values;
}

std::vector<uint8_t> TestHost::GetChunk(bool bank, VstIntPtr* result) {
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (result) *result = size;
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr TestHost::SetChunk(const std::vector<uint8_t>& data, bool bank) {
  // The host owns the data it hands over; an empty chunk still comes with a valid pointer.
  std::vector<uint8_t> copy(data);
  uint8_t dummy = 0;
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(copy.size()),
                  copy.empty() ? &dummy : copy.data());
}

// The plug-in has no inputs: the host hands it a null input array, as hosts may (any read of
// an input would fail).
void TestHost::PrepareBuffers(int frames) {
  const size_t n = static_cast<size_t>(std::max(frames, 1));
  const size_t channels = mEffect ? static_cast<size_t>(std::max(mEffect->numOutputs, 2)) : 2;
  mOutF.resize(channels);
  mOutD.resize(channels);
  mOutPtrF.clear();
  mOutPtrD.clear();
  for (size_t c = 0; c < channels; ++c) {
    mOutF[c].resize(n);
    mOutD[c].resize(n);
    mOutPtrF.push_back(mOutF[c].data());
    mOutPtrD.push_back(mOutD[c].data());
  }
}

void TestHost::ProcessReplacing(int frames) {
  if (!mEffect) return;
  FillOutputs(kUnwrittenSample, frames);
  mEffect->processReplacing(mEffect, nullptr, mOutPtrF.data(), frames);
}

void TestHost::ProcessDoubleReplacing(int frames) {
  if (!mEffect) return;
  PrepareBuffers(frames);
  for (auto& b : mOutD) std::fill(b.begin(), b.end(), static_cast<double>(kUnwrittenSample));
  mEffect->processDoubleReplacing(mEffect, nullptr, mOutPtrD.data(), frames);
}

void TestHost::FillOutputs(float value, int frames) {
  PrepareBuffers(frames);
  for (auto& b : mOutF) std::fill(b.begin(), b.end(), value);
}

void TestHost::ProcessAccumulating(int frames) {
  if (!mEffect) return;
  // Keep what the buffers hold; only grow them when the block is longer than before.
  if (mOutF.empty() || mOutF[0].size() < static_cast<size_t>(std::max(frames, 1)))
    FillOutputs(0.0f, frames);
  mEffect->process(mEffect, nullptr, mOutPtrF.data(), frames);
}

VstMidiEvent TestHost::Midi(int deltaFrames, uint8_t status, uint8_t data1, uint8_t data2) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = deltaFrames;
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(data1);
  e.midiData[2] = static_cast<char>(data2);
  return e;
}

VstIntPtr TestHost::SendEvents(const std::vector<VstEvent*>& events) {
  // VstEvents declares two event slots; a host allocates room for as many as it sends.
  const size_t slots = std::max<size_t>(events.size(), 2);
  std::vector<unsigned char> storage(offsetof(VstEvents, events) + slots * sizeof(VstEvent*), 0);
  VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = static_cast<VstInt32>(events.size());
  std::copy(events.begin(), events.end(), list->events);
  return Dispatch(effProcessEvents, 0, 0, list);
}

VstIntPtr TestHost::SendMidi(std::vector<VstMidiEvent> events) {
  std::vector<VstEvent*> pointers;
  for (auto& e : events) pointers.push_back(reinterpret_cast<VstEvent*>(&e));
  return SendEvents(pointers);
}

VstIntPtr TestHost::SendSysex(int deltaFrames, std::vector<uint8_t> bytes) {
  VstMidiSysexEvent e{};
  e.type = kVstSysExType;
  e.byteSize = sizeof(VstMidiSysexEvent);
  e.deltaFrames = deltaFrames;
  e.dumpBytes = static_cast<VstInt32>(bytes.size());
  e.sysexDump = reinterpret_cast<char*>(bytes.data());
  return SendEvents({reinterpret_cast<VstEvent*>(&e)});
}

std::vector<HostCall> TestHost::Calls() const {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  return mCalls;
}

std::vector<HostCall> TestHost::CallsWith(VstInt32 opcode) const {
  std::vector<HostCall> out = Calls();
  out.erase(std::remove_if(out.begin(), out.end(),
                           [opcode](const HostCall& c) { return c.opcode != opcode; }),
            out.end());
  return out;
}

size_t TestHost::CountCalls(VstInt32 opcode) const {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  auto it = mCallCounts.find(opcode);
  return it == mCallCounts.end() ? 0 : it->second;
}

void TestHost::ClearRecords() {
  std::lock_guard<std::mutex> lock(mRecordMutex);
  mCalls.clear();
  mCallCounts.clear();
}

int TestHost::OrphanCalls() { return gOrphanCalls.load(); }

VstIntPtr TestHost::Answer(const HostCall& call, void* ptr) {
  VstIntPtr answer = 0;
  if (mScript && mScript(call, ptr, answer)) return answer;
  switch (call.opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetTime:
      if (!mAnswers.hasTimeInfo) return 0;
      mTimeInfoOut = mAnswers.timeInfo;
      return reinterpret_cast<VstIntPtr>(&mTimeInfoOut);
    case audioMasterProcessEvents: return 1;
    case audioMasterGetCurrentProcessLevel: return mAnswers.processLevel;
    case audioMasterGetVendorString:
    case audioMasterGetProductString: {
      const std::string& s = call.opcode == audioMasterGetVendorString ? mAnswers.vendorString
                                                                       : mAnswers.productString;
      if (!ptr || mAnswers.stringLimit == 0) return 0;
      const size_t n = std::min(s.size(), mAnswers.stringLimit - 1);
      std::memcpy(ptr, s.data(), n);
      static_cast<char*>(ptr)[n] = '\0';
      return n > 0 ? 1 : 0;
    }
    case audioMasterGetVendorVersion: return mAnswers.vendorVersion;
    default: return 0;  // automation, edits, display updates and the rest: recorded only
  }
}

VstIntPtr TestHost::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                 void* ptr, float opt) {
  TestHost* host = effect && effect->user ? static_cast<TestHost*>(effect->user) : tConstructing;
  if (!host) {
    ++gOrphanCalls;
    // Without a host to ask, answer as a host would before anything is known.
    return opcode == audioMasterVersion ? kVstVersion : 0;
  }
  HostCall call{opcode, index, value, opt, 0};
  call.answer = host->Answer(call, ptr);
  std::lock_guard<std::mutex> lock(host->mRecordMutex);
  ++host->mCallCounts[opcode];
  if (host->mRecording) host->mCalls.push_back(call);
  return call.answer;
}

int32_t ReadLE32(const std::vector<uint8_t>& data, size_t pos) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | data.at(pos + static_cast<size_t>(i));
  return static_cast<int32_t>(v);
}

void AppendLE32(std::vector<uint8_t>& data, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

double ReadLEDouble(const std::vector<uint8_t>& data, size_t pos) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | data.at(pos + static_cast<size_t>(i));
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

std::string UnavailableVoiceLoop() {
  const char* requested = std::getenv("QUENTA_SIMD");
  simd::Path path;
  if (!requested || !simd::parse(requested, path) || simd::supported(path)) return "";
  return std::string("this machine cannot run the ") + requested +
         " voice loop (QUENTA_SIMD=" + requested + ")";
}

}  // namespace quenta_test
