#include "fuzz_common.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace quenta_fuzz {

namespace {

constexpr float kSampleRate = 48000.0f;
constexpr int kBlockSize = 64;
constexpr int kRenderBlocks = 3;

// The vendor of the host the instance in use stands for. The plug-in asks once per instance
// and keeps the answer; "Native Instruments" makes it take banks on the program road.
const char* gVendor = "";

// A plain host: answers what a host must and 0 or an empty string to the rest.
VstIntPtr HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetVendorString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen, "%s", gVendor);
      return 1;
    case audioMasterProcessEvents: return 1;
    default: return 0;
  }
}

// Made with new and never destroyed: the order of teardown at exit does not matter.
std::vector<std::string>& ScratchFiles() {
  static auto* files = new std::vector<std::string>;
  return *files;
}

}  // namespace

void Check(bool cond, const char* what) {
  if (cond) return;
  std::fprintf(stderr, "quenta fuzz check failed: %s\n", what);
  __builtin_trap();
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

Snapshot Comparable(Snapshot s, bool bank) {
  for (auto& c : s.chunks) c.clear();
  for (size_t i = 1; bank && i < s.names.size(); ++i)
    if (s.names[i].empty()) s.names[i] = s.names[i - 1];
  return s;
}

void CheckSame(const Snapshot& a, const Snapshot& b, const char* what) {
  if (a == b) return;
  std::fprintf(stderr, "differ: names %d, flags %d, states %d, current %d, values %d\n",
               a.names != b.names, a.initialized != b.initialized, a.chunks != b.chunks,
               a.current != b.current, a.values != b.values);
  Check(false, what);
}

Instance::Instance() {
  IPlugInstanceInfo info;
  info.mVSTHostCallback = HostCallback;
  mPlug = MakePlug(info);
  Check(mPlug != nullptr, "MakePlug returned null");
  mPlug->EnsureDefaultPreset();
  mEffect = mPlug->GetAEffect();
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
  Dispatch(effSetBlockSize, 0, kBlockSize);
  Dispatch(effMainsChanged, 0, 1);
  mFirst = Take(*mPlug);
}

Instance& Instance::Fresh(const char* hostVendor) {
  static auto* shared = new std::map<std::string, Instance*>;
  gVendor = hostVendor;
  Instance*& q = (*shared)[hostVendor];
  if (!q) q = new Instance;  // lives as long as the process
  q->Restore();
  return *q;
}

void Instance::Restore() {
  Dispatch(effMainsChanged, 0, 0);
  for (int i = 0; i < mPlug->NPresets(); ++i) {
    IPreset* p = mPlug->GetPreset(i);
    p->SetName(mFirst.names[(size_t)i].c_str());
    p->mInitialized = mFirst.initialized[(size_t)i];
    p->mChunk.Clear();
    const std::vector<uint8_t>& c = mFirst.chunks[(size_t)i];
    if (!c.empty()) p->mChunk.PutBytes(c.data(), (int)c.size());
  }
  if (mPlug->GetCurrentPresetIdx() != mFirst.current)
    Check(mPlug->RestorePreset(mFirst.current), "cannot restore");
  for (int i = 0; i < mPlug->NParams(); ++i) mPlug->GetParam(i)->Set(mFirst.values[(size_t)i]);
  mPlug->OnParamReset();
  Dispatch(effMainsChanged, 0, 1);
  Check(Take(*mPlug) == mFirst, "the instance could not be put back to its first state");
}

VstIntPtr Instance::Dispatch(VstInt32 opcode, VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  return mEffect->dispatcher(mEffect, opcode, idx, value, ptr, opt);
}

std::vector<uint8_t> Instance::GetChunk(VstInt32 idx) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, idx, 0, &data);
  Check(size > 0 && data != nullptr, "effGetChunk gave no chunk");
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}

void Instance::RenderAndCheck() {
  for (int i = 0; i < 3; ++i) {
    IMidiMsg note(5 * i, 0x90, uint8_t(48 + 7 * i), 100);
    mPlug->ProcessMidiMsg(&note);
  }
  float left[kBlockSize], right[kBlockSize];
  float* outs[2] = {left, right};
  for (int b = 0; b < kRenderBlocks; ++b) {
    mEffect->processReplacing(mEffect, nullptr, outs, kBlockSize);
    for (int s = 0; s < kBlockSize; ++s)
      Check(std::isfinite(left[s]) && std::isfinite(right[s]), "output not finite");
  }
}

void Instance::CheckChunkRoundTrip(VstInt32 idx) {
  const std::vector<uint8_t> chunk = GetChunk(idx);  // stores the live sound into its program
  const Snapshot before = Comparable(Take(*mPlug), true);
  Check(Dispatch(effSetChunk, idx, (VstIntPtr)chunk.size(), (void*)chunk.data()) == 1,
        "own chunk refused");
  if (idx == 1)
    Check(GetChunk(1) == chunk, "program chunk changed by a round trip");
  else
    CheckSame(before, Comparable(Take(*mPlug), true), "bank round trip changed programs or sound");
}

void CheckFileLoad(const uint8_t* data, size_t size, bool bank) {
  const std::string ext = bank ? ".fxb" : ".fxp";
  const std::string input = ScratchPath(".in" + ext), resaved = ScratchPath(".out" + ext);
  WriteScratch(input, data, size);
  Instance& q = Instance::Fresh("");
  IPlugVST* plug = q.Plug();
  const auto load = [&](const std::string& file) {
    WDL_String path(file.c_str());
    return bank ? plug->LoadBankFromFXB(&path) : plug->LoadProgramFromFXP(&path);
  };
  const Snapshot before = Take(*plug);
  if (!load(input)) return CheckSame(before, Take(*plug), "a refused file changed the instrument");
  const Snapshot loaded = Comparable(Take(*plug), bank);
  WDL_String out(resaved.c_str());
  Check(bank ? plug->SaveBankAsFXB(&out) : plug->SaveProgramAsFXP(&out), "cannot save the load");
  Check(load(resaved), "a saved file was refused");
  CheckSame(loaded, Comparable(Take(*plug), bank), "saving and loading changed the instrument");
  q.RenderAndCheck();
}

std::string ScratchPath(const std::string& suffix) {
  const char* dir = std::getenv("TMPDIR");
  const std::string path = std::string(dir && dir[0] ? dir : "/tmp") + "/quenta-fuzz-" +
                           std::to_string((long)getpid()) + suffix;
  std::vector<std::string>& files = ScratchFiles();
  for (const std::string& f : files)
    if (f == path) return path;
  if (files.empty())
    std::atexit([] {
      for (const std::string& f : ScratchFiles()) unlink(f.c_str());
    });
  files.push_back(path);
  return path;
}

void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
  FILE* fp = std::fopen(path.c_str(), "wb");
  Check(fp != nullptr, "cannot create a scratch file");
  Check(size == 0 || std::fwrite(data, 1, size, fp) == size, "cannot write a scratch file");
  Check(std::fclose(fp) == 0, "cannot close a scratch file");
}

}  // namespace quenta_fuzz
