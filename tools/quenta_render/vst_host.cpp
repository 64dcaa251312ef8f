#include "tools/quenta_render/vst_host.h"

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstring>

namespace qrender {
namespace {

// The instance being created: its AEffect is not known to the callback until the entry point
// returns, so calls made during construction are routed here.
thread_local PluginHost* tConstructing = nullptr;

const char* const kHostVendor = "Quenta";
const char* const kHostProduct = "quenta-render";
constexpr VstIntPtr kHostVersion = 10204;

void copyString(void* ptr, const char* s, size_t cap) {
  if (!ptr) return;
  std::strncpy((char*)ptr, s, cap - 1);
  ((char*)ptr)[cap - 1] = '\0';
}

}  // namespace

void fillTimeInfo(const Transport& t, VstTimeInfo& ti) {
  std::memset(&ti, 0, sizeof(ti));
  ti.samplePos = (double)t.samplePos;
  ti.sampleRate = t.sampleRate;
  ti.tempo = t.tempo;
  ti.ppqPos = ti.samplePos / t.sampleRate * t.tempo / 60.0;
  // Quarter notes per bar: numerator beats of a 1/denominator note each.
  double barLength = t.numerator * 4.0 / t.denominator;
  ti.barStartPos = std::floor(ti.ppqPos / barLength) * barLength;
  ti.timeSigNumerator = t.numerator;
  ti.timeSigDenominator = t.denominator;
  ti.nanoSeconds = (double)std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count();
  ti.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
  if (t.playing) ti.flags |= kVstTransportPlaying;
  if (t.changed) ti.flags |= kVstTransportChanged;
}

PluginHost::PluginHost() { std::memset(&mTimeInfo, 0, sizeof(mTimeInfo)); }

PluginHost::~PluginHost() { close(); }

bool PluginHost::load(const std::string& path, std::string& error) {
  close();
  // RTLD_NODELETE: the library stays mapped after dlclose, as its process-wide tables and any
  // late report about its code (sanitizers at exit) may still refer to it.
  mLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!mLibrary) {
    const char* why = dlerror();
    error = "cannot load plug-in " + path + ": " + (why ? why : "unknown error");
    return false;
  }
  void* sym = dlsym(mLibrary, "VSTPluginMain");
  if (!sym) {
    error = "not a VST 2 plug-in (no VSTPluginMain): " + path;
    close();
    return false;
  }
  PluginEntry entry;
  static_assert(sizeof(entry) == sizeof(sym), "function and data pointers differ in size");
  std::memcpy(&entry, &sym, sizeof(entry));
  if (!start(entry, error)) {
    error += ": " + path;
    close();
    return false;
  }
  return true;
}

bool PluginHost::attach(PluginEntry entry, std::string& error) {
  close();
  return start(entry, error);
}

bool PluginHost::start(PluginEntry entry, std::string& error) {
  tConstructing = this;
  AEffect* effect = entry(&PluginHost::callback);
  tConstructing = nullptr;
  if (!effect) {
    error = "the plug-in's entry point returned no instance";
    return false;
  }
  if (effect->magic != kEffectMagic) {
    error = "the plug-in's instance is not a VST 2 effect (bad magic)";
    return false;
  }
  effect->resvd1 = (VstIntPtr)this;  // the host's own field: how the callback finds this host
  mEffect = effect;
  return true;
}

void PluginHost::close() {
  if (mEffect) {
    if (mResumed) suspend();
    dispatch(effClose);  // destroys the instance, opened or not
    mEffect = nullptr;
  }
  mResumed = false;
  if (mLibrary) {
    dlclose(mLibrary);
    mLibrary = nullptr;
  }
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
  if (!mEffect || !mEffect->dispatcher) return 0;
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void PluginHost::open(int sampleRate, int blockSize) {
  mTransport.sampleRate = sampleRate;
  mBlockSize = blockSize;
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, (float)sampleRate);
  dispatch(effSetBlockSize, 0, blockSize);

  int nIn = mEffect->numInputs > 0 ? mEffect->numInputs : 0;
  int nOut = mEffect->numOutputs > 2 ? mEffect->numOutputs : 2;
  mInputs.assign((size_t)nIn, std::vector<float>((size_t)blockSize, 0.0f));
  mInputPtrs.clear();
  for (auto& b : mInputs) mInputPtrs.push_back(b.data());
  mInputPtrs.push_back(nullptr);  // never an empty array
  mScratchOutputs.assign((size_t)nOut, std::vector<float>((size_t)blockSize, 0.0f));
  mOutputPtrs.assign((size_t)nOut, nullptr);
}

void PluginHost::resume() {
  if (mResumed) return;
  dispatch(effMainsChanged, 0, 1);
  dispatch(effStartProcess);
  mResumed = true;
}

void PluginHost::suspend() {
  if (!mResumed) return;
  dispatch(effStopProcess);
  dispatch(effMainsChanged, 0, 0);
  mResumed = false;
}

std::string PluginHost::paramName(int index) {
  char buf[256] = {0};
  dispatch(effGetParamName, index, 0, buf);
  buf[sizeof(buf) - 1] = '\0';
  return buf;
}

std::string PluginHost::paramDisplay(int index) {
  char buf[256] = {0};
  dispatch(effGetParamDisplay, index, 0, buf);
  buf[sizeof(buf) - 1] = '\0';
  return buf;
}

std::string PluginHost::paramLabel(int index) {
  char buf[256] = {0};
  dispatch(effGetParamLabel, index, 0, buf);
  buf[sizeof(buf) - 1] = '\0';
  return buf;
}

float PluginHost::getParameter(int index) {
  return mEffect && mEffect->getParameter ? mEffect->getParameter(mEffect, index) : 0.0f;
}

void PluginHost::setParameter(int index, float value) {
  if (mEffect && mEffect->setParameter) mEffect->setParameter(mEffect, index, value);
}

void PluginHost::sendMidi(const std::vector<VstMidiEvent>& events) {
  if (events.empty()) return;
  size_t n = events.size();
  size_t slots = n < 2 ? 2 : n;
  mEventBlock.assign(offsetof(VstEvents, events) + slots * sizeof(VstEvent*), 0);
  VstEvents* list = reinterpret_cast<VstEvents*>(mEventBlock.data());
  list->numEvents = (VstInt32)n;
  VstEvent** slot = reinterpret_cast<VstEvent**>(mEventBlock.data() + offsetof(VstEvents, events));
  // The events stay where the caller keeps them until the block has been processed.
  for (size_t i = 0; i < n; ++i) slot[i] = (VstEvent*)(const void*)&events[i];
  dispatch(effProcessEvents, 0, 0, list);
}

void PluginHost::process(float* left, float* right, int n) {
  if (!mEffect || n <= 0) return;
  for (size_t c = 0; c < mOutputPtrs.size(); ++c) {
    std::vector<float>& scratch = mScratchOutputs[c];
    if ((int)scratch.size() < n) scratch.resize((size_t)n);
    mOutputPtrs[c] = scratch.data();
  }
  mOutputPtrs[0] = left;
  if (mEffect->numOutputs >= 2) mOutputPtrs[1] = right;
  for (auto& ch : mOutputPtrs) std::memset(ch, 0, sizeof(float) * (size_t)n);
  if (mEffect->processReplacing)
    mEffect->processReplacing(mEffect, mInputPtrs.data(), mOutputPtrs.data(), n);
  if (mEffect->numOutputs < 2) std::memcpy(right, left, sizeof(float) * (size_t)n);  // mono plug-in
}

VstIntPtr PluginHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                               void* ptr, float opt) {
  PluginHost* host =
      effect && effect->resvd1 ? reinterpret_cast<PluginHost*>(effect->resvd1) : tConstructing;
  if (host) return host->onHostCall(opcode, index, value, ptr, opt);
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

VstIntPtr PluginHost::onHostCall(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
  (void)index;
  (void)value;
  (void)opt;
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterWantMidi: return 1;
    case audioMasterGetTime:
      ++mTimeQueries;
      fillTimeInfo(mTransport, mTimeInfo);
      if (mRecordTime) mTimeLog.push_back(mTimeInfo);
      return (VstIntPtr)&mTimeInfo;
    case audioMasterProcessEvents:
      // MIDI the plug-in sends out (its MIDI thru): counted, not routed anywhere.
      if (ptr) mMidiOutEvents += static_cast<VstEvents*>(ptr)->numEvents;
      return 1;
    case audioMasterGetSampleRate: return (VstIntPtr)mTransport.sampleRate;
    case audioMasterGetBlockSize: return mBlockSize;
    case audioMasterGetCurrentProcessLevel:
      return kVstProcessLevelOffline;              // rendering to a file, not in real time
    case audioMasterGetAutomationState: return 1;  // automation off
    case audioMasterGetVendorString:
      copyString(ptr, kHostVendor, kVstMaxVendorStrLen);
      return ptr ? 1 : 0;
    case audioMasterGetProductString:
      copyString(ptr, kHostProduct, kVstMaxProductStrLen);
      return ptr ? 1 : 0;
    case audioMasterGetVendorVersion: return kHostVersion;
    case audioMasterGetLanguage: return 1;  // English
    case audioMasterCanDo: {
      if (!ptr) return 0;
      const char* q = static_cast<const char*>(ptr);
      static const char* const kYes[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                         "receiveVstEvents", "receiveVstMidiEvent"};
      for (const char* s : kYes)
        if (std::strcmp(q, s) == 0) return 1;
      return -1;
    }
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit: return 1;
    default: return 0;  // automation, windows, file selectors and the rest: nothing to do offline
  }
}

}  // namespace qrender
