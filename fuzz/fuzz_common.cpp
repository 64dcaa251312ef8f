#include "fuzz_common.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace quenta_fuzz {

namespace {

constexpr float kSampleRate = 48000.0f;
constexpr int kBlockSize = 64;
constexpr int kRenderBlocks = 3;

// The vendor string each instance's host gives; "Native Instruments" makes the plug-in treat
// the host as one that hands over banks on the program road.
// (Process-long tables are made with new and never destroyed, so nothing depends on the order
// in which statics are torn down at exit.)
std::map<const AEffect*, std::string>& Vendors() {
  static auto* vendors = new std::map<const AEffect*, std::string>;
  return *vendors;
}
const char* gNewHostVendor = "";

// A plain host: answers what a host must and 0 or an empty string to the rest.
VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 /*index*/, VstIntPtr /*value*/,
                       void* ptr, float /*opt*/) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetVendorString:
      if (ptr)
        std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen, "%s",
                      Vendors()[effect].c_str());
      return 1;
    case audioMasterProcessEvents: return 1;
    default: return 0;
  }
}

std::map<std::string, std::string>& ScratchFiles() {
  static auto* files = new std::map<std::string, std::string>;
  return *files;
}

void RemoveScratchFiles() {
  for (const auto& f : ScratchFiles()) unlink(f.second.c_str());
}

}  // namespace

void Check(bool cond, const char* what) {
  if (cond) return;
  std::fprintf(stderr, "quenta fuzz check failed: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

Instance::Instance() {
  IPlugInstanceInfo info;
  info.mVSTHostCallback = HostCallback;
  mPlug = MakePlug(info);
  Check(mPlug != nullptr, "MakePlug returned null");
  mPlug->EnsureDefaultPreset();
  mEffect = mPlug->GetAEffect();
  Vendors()[mEffect] = gNewHostVendor;
  if (mEffect->numPrograms < 1) mEffect->numPrograms = 1;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
  Dispatch(effSetBlockSize, 0, kBlockSize);
  Dispatch(effMainsChanged, 0, 1);
  mFirst = new Snapshot(Take(*mPlug));
}

Instance::~Instance() {
  Dispatch(effMainsChanged, 0, 0);
  Vendors().erase(mEffect);
  Dispatch(effClose);
  delete mFirst;
}

Instance& Instance::Fresh(const char* hostVendor) {
  static auto* shared = new std::map<std::string, Instance*>;
  Instance*& q = (*shared)[hostVendor];
  if (!q) {
    gNewHostVendor = hostVendor;
    q = new Instance;  // lives as long as the process
  }
  q->Restore();
  return *q;
}

void Instance::Restore() {
  Dispatch(effMainsChanged, 0, 0);
  const Snapshot& s = *mFirst;
  for (int i = 0; i < mPlug->NPresets(); ++i) {
    IPreset* p = mPlug->GetPreset(i);
    p->SetName(s.names[(size_t)i].c_str());
    p->mInitialized = s.initialized[(size_t)i];
    p->mChunk.Clear();
    if (!s.chunks[(size_t)i].empty())
      p->mChunk.PutBytes(s.chunks[(size_t)i].data(), (int)s.chunks[(size_t)i].size());
  }
  if (mPlug->GetCurrentPresetIdx() != s.current)
    Check(mPlug->RestorePreset(s.current), "cannot restore");
  for (int i = 0; i < mPlug->NParams(); ++i) mPlug->GetParam(i)->Set(s.values[(size_t)i]);
  mPlug->OnParamReset();
  Dispatch(effMainsChanged, 0, 1);
  Check(Take(*mPlug) == s, "the instance could not be put back to its first state");
}

VstIntPtr Instance::Dispatch(VstInt32 opcode, VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  return mEffect->dispatcher(mEffect, opcode, idx, value, ptr, opt);
}

std::vector<uint8_t> Instance::GetChunk(VstInt32 idx) {
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, idx, 0, &data);
  Check(size > 0 && data != nullptr, "effGetChunk gave no chunk");
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}

void Instance::RenderAndCheck() {
  // One delivery per note: the plug-in indexes the host's event list through the two-element
  // array of the interface's declaration, which the bounds sanitizer of clang reports for a
  // third event (reported separately); single deliveries keep that out of the way here.
  const int keys[3] = {48, 60, 67};
  for (int i = 0; i < 3; ++i) {
    VstMidiEvent note;
    std::memset(&note, 0, sizeof note);
    note.type = kVstMidiType;
    note.byteSize = (VstInt32)sizeof(VstMidiEvent);
    note.deltaFrames = 5 * i;
    note.midiData[0] = (char)0x90;
    note.midiData[1] = (char)keys[i];
    note.midiData[2] = 100;
    VstEvents events;
    std::memset(&events, 0, sizeof events);
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    Dispatch(effProcessEvents, 0, 0, &events);
  }

  float left[kBlockSize], right[kBlockSize];
  float* outs[2] = {left, right};
  for (int b = 0; b < kRenderBlocks; ++b) {
    mEffect->processReplacing(mEffect, nullptr, outs, kBlockSize);
    for (int s = 0; s < kBlockSize; ++s)
      Check(std::isfinite(left[s]) && std::isfinite(right[s]), "output not finite");
  }
}

void Instance::CheckProgramRoundTrip() {
  std::vector<uint8_t> program = GetChunk(1);
  Check(Dispatch(effSetChunk, 1, (VstIntPtr)program.size(), program.data()) == 1,
        "own program chunk refused");
  Check(GetChunk(1) == program, "program chunk changed by a round trip");
}

void Instance::CheckBankRoundTrip() {
  std::vector<uint8_t> bank = GetChunk(0);  // stores the live sound into the current program
  const Snapshot before = AfterBankRoundTrip(Take(*mPlug));
  Check(Dispatch(effSetChunk, 0, (VstIntPtr)bank.size(), bank.data()) == 1,
        "own bank chunk refused");
  CheckSame(before, WithoutStates(Take(*mPlug)), "bank round trip changed programs or sound");
}

Snapshot WithoutStates(Snapshot s) {
  for (auto& c : s.chunks) c.clear();
  return s;
}

Snapshot AfterBankRoundTrip(Snapshot s) {
  s = WithoutStates(s);
  for (size_t i = 0; i < s.names.size(); ++i)
    if (s.names[i].empty() && i > 0) s.names[i] = s.names[i - 1];
  return s;
}

Snapshot Take(const IPlugVST& plug) {
  Snapshot s;
  for (int i = 0; i < plug.NPresets(); ++i) {
    const IPreset* p = plug.GetPreset(i);
    s.names.push_back(p->mName);
    s.initialized.push_back(p->mInitialized);
    const uint8_t* b = p->mChunk.GetBytes();
    s.chunks.push_back(b ? std::vector<uint8_t>(b, b + p->mChunk.Size()) : std::vector<uint8_t>());
  }
  s.current = plug.GetCurrentPresetIdx();
  for (int i = 0; i < plug.NParams(); ++i) s.values.push_back(plug.GetParam(i)->Value());
  return s;
}

void CheckSame(const Snapshot& a, const Snapshot& b, const char* what) {
  if (a == b) return;
  if (a.current != b.current)
    std::fprintf(stderr, "current program %d / %d\n", a.current, b.current);
  for (size_t i = 0; i < a.names.size() && i < b.names.size(); ++i) {
    if (a.names[i] != b.names[i])
      std::fprintf(stderr, "program %zu name \"%s\" / \"%s\"\n", i, a.names[i].c_str(),
                   b.names[i].c_str());
    if (a.initialized[i] != b.initialized[i])
      std::fprintf(stderr, "program %zu initialised flag differs\n", i);
    if (a.chunks[i] != b.chunks[i])
      std::fprintf(stderr, "program %zu state differs (%zu / %zu bytes)\n", i, a.chunks[i].size(),
                   b.chunks[i].size());
  }
  for (size_t i = 0; i < a.values.size() && i < b.values.size(); ++i)
    if (a.values[i] != b.values[i])
      std::fprintf(stderr, "parameter %zu: %.17g / %.17g\n", i, a.values[i], b.values[i]);
  Check(false, what);
}

std::string ScratchPath(const char* suffix) {
  auto& files = ScratchFiles();
  auto it = files.find(suffix);
  if (it != files.end()) return it->second;
  if (files.empty()) std::atexit(RemoveScratchFiles);
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && dir[0] ? dir : "/tmp") + "/quenta-fuzz-" +
                     std::to_string((long)getpid()) + suffix;
  files[suffix] = path;
  return path;
}

void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
  FILE* fp = std::fopen(path.c_str(), "wb");
  Check(fp != nullptr, "cannot create a scratch file");
  Check(size == 0 || std::fwrite(data, 1, size, fp) == size, "cannot write a scratch file");
  Check(std::fclose(fp) == 0, "cannot close a scratch file");
}

}  // namespace quenta_fuzz
