#pragma once
// A small plug-in for the framework's unit tests: a few parameters of every type, chunks on or
// off, a channel configuration of the test's choosing, and an optional recording host callback.
// It records what the framework calls on it (parameter changes, preset notifications, render
// calls) so tests can see the framework's effects without the instrument's behaviour in the way.
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/IPlugVST.h"

namespace plugtest {

constexpr int FourCC(char a, char b, char c, char d) {
  return (int)(((unsigned)(unsigned char)a << 24) | ((unsigned)(unsigned char)b << 16) |
               ((unsigned)(unsigned char)c << 8) | (unsigned)(unsigned char)d);
}

// Parameters of the test plug-in.
enum ETestParam {
  kParamSwitch = 0,  // bool, default on
  kParamMode,        // enum of kModeCount values with display texts, default 2
  kParamSteps,       // int -5 .. 10, default 3
  kParamGain,        // double -100 .. 100 step 0.01 "dB", default -6
  kParamCutoff,      // double 20 .. 20000 step 1 "Hz", shape 3, default 1000
  kParamDepth,       // double 0 .. 1 step 0.001, negated display, default 0.25
  kNumTestParams
};
constexpr int kModeCount = 4;
extern const char* const kModeNames[kModeCount];

constexpr int kTestUniqueID = FourCC('T', 's', 't', 'P');
constexpr int kOtherUniqueID = FourCC('O', 't', 'h', 'r');
constexpr int kTestNumPresets = 64;
constexpr int kTestVersion = 0x00020305;  // 2.3.5
constexpr int kTestVersionDecimal = 20305;

struct TestPlugConfig {
  const char* channelIO = "2-2";
  int nPresets = kTestNumPresets;
  bool chunks = true;
  bool midi = true;
  bool instrument = false;
  int uniqueID = kTestUniqueID;
  bool recordHost = false;  // true: the recording host callback; false: no host callback at all
};

// One request the plug-in made through the recording host callback.
struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

// What ProcessDoubleReplacing does.
enum class Render {
  kDefault,  // the framework's default: inputs copied to outputs, other outputs zeroed
  kRamp,     // output c, frame k of the whole stream: RampValue(c, k)
};
inline double RampValue(int channel, long long frame) { return 1000.0 * (channel + 1) + 0.25 * (double)frame; }

// One ProcessDoubleReplacing call as the plug-in saw it.
struct RenderCall {
  int nFrames;
  std::vector<double*> inputs, outputs;
  std::vector<double> firstInputs;  // inputs[c][0] of each channel (when nFrames > 0)
};

class TestPlug : public IPlugVST {
 public:
  explicit TestPlug(const TestPlugConfig& config = TestPlugConfig());

  void OnParamChange(int idx) override;
  void PresetsChangedByHost() override { ++mPresetsChangedCount; }
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

  // The processing frame, for tests that drive it without the binding.
  using IPlugBase::AttachInputBuffers;
  using IPlugBase::AttachOutputBuffers;
  using IPlugBase::ProcessBuffers;
  using IPlugBase::ProcessBuffersAccumulating;

  // Dispatcher and audio callbacks exactly as a host reaches them.
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.f);
  void HostProcessReplacing(float** in, float** out, int n) { GetAEffect()->processReplacing(GetAEffect(), in, out, n); }
  void HostProcessDouble(double** in, double** out, int n) {
    GetAEffect()->processDoubleReplacing(GetAEffect(), in, out, n);
  }
  void HostProcessAccumulating(float** in, float** out, int n) { GetAEffect()->process(GetAEffect(), in, out, n); }

  // Channel internals.
  double* InScratch(int ch) const { return mInChannels.Get(ch)->mScratchBuf.Get(); }
  double* OutScratch(int ch) const { return mOutChannels.Get(ch)->mScratchBuf.Get(); }
  int InScratchSize(int ch) const { return mInChannels.Get(ch)->mScratchBuf.GetSize(); }
  int OutScratchSize(int ch) const { return mOutChannels.Get(ch)->mScratchBuf.GetSize(); }

  // Parameter values.
  std::vector<double> Values() const;
  // Moves every parameter to a value that depends on seed and differs from the defaults.
  void Scramble(int seed);

  Render mRender = Render::kDefault;
  long long mRampFrame = 0;
  std::vector<RenderCall> mRenderCalls;
  std::vector<int> mParamChanges;
  int mPresetsChangedCount = 0;

  // Recording host: its requests, what it answers.
  std::vector<HostCall> mHostCalls;
  std::string mHostVendor, mHostProduct;
  VstIntPtr mHostVendorVersion = 0;
  int CountHostCalls(VstInt32 opcode) const;
};

// Everything a program or bank load may change: preset names, flags and stored states, the
// current preset and the live parameter values.
struct PlugSnapshot {
  std::vector<std::string> names;
  std::vector<bool> initialized;
  std::vector<std::vector<uint8_t>> chunks;
  int current = 0;
  std::vector<double> values;
  bool operator==(const PlugSnapshot& o) const {
    return names == o.names && initialized == o.initialized && chunks == o.chunks && current == o.current &&
           values == o.values;
  }
};
PlugSnapshot TakeSnapshot(const TestPlug& plug);

// Gives presets distinct names and sounds: preset p gets Scramble(p) and the name "Program p".
// The current preset is left at `current`.
void FillPresets(TestPlug& plug, int current);
std::string ProgramName(int p);

using Bytes = std::vector<uint8_t>;
Bytes ChunkBytes(const ByteChunk& chunk);
// A chunk holding the given bytes.
class ChunkOf : public ByteChunk {
 public:
  explicit ChunkOf(const Bytes& bytes) {
    if (!bytes.empty()) PutBytes(bytes.data(), (int)bytes.size());
  }
};

// Builders for crafted program and bank files (big-endian headers).
void PutBE32(Bytes& b, uint32_t v);
void PutBEFloat(Bytes& b, float f);
void PutTag(Bytes& b, const char* tag);  // four characters
void PutFxName(Bytes& b, const std::string& name);  // 28 bytes, NUL-padded
uint32_t GetBE32(const Bytes& b, size_t pos);
void SetBE32(Bytes& b, size_t pos, uint32_t v);
// A parameter-form program block (also a whole .fxp): "CcnK", 0, "FxCk", version 1, id,
// version, parameter count, name, then the floats.
Bytes MakeParamProgram(int uniqueID, const std::string& name, const std::vector<float>& values);
// A parameter-form bank: the 156-byte header ("FxBk", format version 2) and the blocks.
Bytes MakeParamBank(int uniqueID, int currentProgram, const std::vector<Bytes>& programs);

// A folder of its own under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return mPath; }
  std::string File(const std::string& name) const { return mPath + "/" + name; }
  std::vector<std::string> Entries() const;  // names in the folder, sorted

 private:
  std::string mPath;
};

Bytes ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace plugtest
