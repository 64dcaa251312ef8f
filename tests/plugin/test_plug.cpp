#include "test_plug.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace plugtest {

const char* const kModeNames[kModeCount] = {"sine", "triangle", "saw", "square"};

namespace {

VstIntPtr RecordingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  TestPlug* plug = effect ? static_cast<TestPlug*>(static_cast<IPlugVST*>(effect->object)) : nullptr;
  if (!plug) return 0;
  plug->mHostCalls.push_back({opcode, index, value, opt});
  switch (opcode) {
    case audioMasterGetVendorString:
      if (ptr) std::snprintf((char*)ptr, kVstMaxVendorStrLen, "%s", plug->mHostVendor.c_str());
      return 1;
    case audioMasterGetProductString:
      if (ptr) std::snprintf((char*)ptr, kVstMaxProductStrLen, "%s", plug->mHostProduct.c_str());
      return 1;
    case audioMasterGetVendorVersion:
      return plug->mHostVendorVersion;
    case audioMasterProcessEvents:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

TestPlug::TestPlug(const TestPlugConfig& c)
    : IPlugVST(IPlugInstanceInfo{c.recordHost ? RecordingHost : nullptr}, kNumTestParams, c.channelIO, c.nPresets,
               "Test Plug", "Test Product", "Test Maker", kTestVersion, c.uniqueID, FourCC('T', 'e', 's', 't'), 0,
               c.midi, c.chunks, c.instrument) {
  GetParam(kParamSwitch)->InitBool("Switch", true);
  GetParam(kParamMode)->InitEnum("Mode", 2, kModeCount);
  for (int i = 0; i < kModeCount; ++i) GetParam(kParamMode)->SetDisplayText(i, kModeNames[i]);
  GetParam(kParamSteps)->InitInt("Steps", 3, -5, 10, "st");
  GetParam(kParamGain)->InitDouble("Gain", -6.0, -100.0, 100.0, 0.01, "dB");
  GetParam(kParamCutoff)->InitDouble("Cutoff", 1000.0, 20.0, 20000.0, 1.0, "Hz", "Filter", 3.0);
  GetParam(kParamDepth)->InitDouble("Depth", 0.25, 0.0, 1.0, 0.001);
  GetParam(kParamDepth)->SetNegateDisplay();
}

void TestPlug::OnParamChange(int idx) {
  IPlugVST::OnParamChange(idx);
  mParamChanges.push_back(idx);
}

void TestPlug::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
  RenderCall call;
  call.nFrames = nFrames;
  for (int c = 0; c < NInChannels(); ++c) {
    call.inputs.push_back(inputs[c]);
    if (nFrames > 0 && inputs[c]) call.firstInputs.push_back(inputs[c][0]);
  }
  for (int c = 0; c < NOutChannels(); ++c) call.outputs.push_back(outputs[c]);
  mRenderCalls.push_back(call);

  if (mRender == Render::kDefault) {
    IPlugVST::ProcessDoubleReplacing(inputs, outputs, nFrames);
    return;
  }
  for (int c = 0; c < NOutChannels(); ++c)
    for (int s = 0; s < nFrames; ++s) outputs[c][s] = RampValue(c, mRampFrame + s);
  mRampFrame += nFrames;
}

VstIntPtr TestPlug::Dispatch(VstInt32 opcode, VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  return GetAEffect()->dispatcher(GetAEffect(), opcode, idx, value, ptr, opt);
}

std::vector<double> TestPlug::Values() const {
  std::vector<double> v;
  for (int i = 0; i < NParams(); ++i) v.push_back(GetParam(i)->Value());
  return v;
}

void TestPlug::Scramble(int seed) {
  for (int i = 0; i < NParams(); ++i) {
    IParam* p = GetParam(i);
    // Spread over the range, never landing on the default.
    double n = std::fmod(0.137 + 0.311 * seed + 0.173 * i, 1.0);
    p->SetNormalized(n);
    if (p->Value() == p->GetDefault()) p->SetNormalized(n < 0.5 ? n + 0.4 : n - 0.4);
  }
}

int TestPlug::CountHostCalls(VstInt32 opcode) const {
  return (int)std::count_if(mHostCalls.begin(), mHostCalls.end(), [&](const HostCall& c) { return c.opcode == opcode; });
}

PlugSnapshot TakeSnapshot(const TestPlug& plug) {
  PlugSnapshot s;
  for (int i = 0; i < plug.NPresets(); ++i) {
    const IPreset* p = plug.GetPreset(i);
    s.names.push_back(p->mName);
    s.initialized.push_back(p->mInitialized);
    s.chunks.push_back(ChunkBytes(p->mChunk));
  }
  s.current = plug.GetCurrentPresetIdx();
  s.values = plug.Values();
  return s;
}

std::string ProgramName(int p) { return "Program " + std::to_string(p); }

void FillPresets(TestPlug& plug, int current) {
  for (int p = 0; p < plug.NPresets(); ++p) {
    plug.RestorePreset(p);
    plug.Scramble(p);
    plug.ModifyCurrentPreset(ProgramName(p).c_str());
  }
  plug.RestorePreset(current);
}

Bytes ChunkBytes(const ByteChunk& chunk) {
  const uint8_t* p = chunk.GetBytes();
  return p ? Bytes(p, p + chunk.Size()) : Bytes();
}

void PutBE32(Bytes& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back((uint8_t)(v >> shift));
}

void PutBEFloat(Bytes& b, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  PutBE32(b, v);
}

void PutTag(Bytes& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back((uint8_t)tag[i]);
}

void PutFxName(Bytes& b, const std::string& name) {
  for (size_t i = 0; i < 28; ++i) b.push_back(i < name.size() ? (uint8_t)name[i] : 0);
}

uint32_t GetBE32(const Bytes& b, size_t pos) {
  return (uint32_t)b.at(pos) << 24 | (uint32_t)b.at(pos + 1) << 16 | (uint32_t)b.at(pos + 2) << 8 | b.at(pos + 3);
}

void SetBE32(Bytes& b, size_t pos, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(pos + (size_t)i) = (uint8_t)(v >> (24 - 8 * i));
}

Bytes MakeParamProgram(int uniqueID, const std::string& name, const std::vector<float>& values) {
  Bytes b;
  PutTag(b, "CcnK");
  PutBE32(b, 0);
  PutTag(b, "FxCk");
  for (uint32_t v : {1u, (uint32_t)uniqueID, (uint32_t)kTestVersionDecimal, (uint32_t)values.size()}) PutBE32(b, v);
  PutFxName(b, name);
  for (float f : values) PutBEFloat(b, f);
  return b;
}

Bytes MakeParamBank(int uniqueID, int currentProgram, const std::vector<Bytes>& programs) {
  Bytes b;
  PutTag(b, "CcnK");
  PutBE32(b, 0);
  PutTag(b, "FxBk");
  for (uint32_t v : {2u, (uint32_t)uniqueID, (uint32_t)kTestVersionDecimal, (uint32_t)programs.size(),
                     (uint32_t)currentProgram})
    PutBE32(b, v);
  b.resize(156, 0);
  for (const Bytes& p : programs) b.insert(b.end(), p.begin(), p.end());
  return b;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && base[0] ? base : "/tmp") + "/quenta-plugin-test-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) mPath = buf.data();
}

TempDir::~TempDir() {
  if (mPath.empty()) return;
  std::error_code ec;
  std::filesystem::permissions(mPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(mPath, ec);
}

std::vector<std::string> TempDir::Entries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(mPath, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
  f.close();
  return bool(f);
}

}  // namespace plugtest
