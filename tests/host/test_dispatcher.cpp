// The dispatcher and the parameter callbacks as a host drives them: every opcode's result, the
// strings written into host buffers, the opcodes that must do nothing, parameter traffic.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// Most bytes the plug-in writes into a host's string buffer, terminator included.
constexpr size_t kParamTextBytes = 32;
constexpr size_t kProgramNameBytes = kVstMaxProgNameLen + 1;

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.Open();
  }
  // Runs an opcode on a canary-filled buffer: the text must be terminated within `limit`
  // bytes and nothing written after it; limit 0 asks that nothing at all is written.
  ::testing::AssertionResult Writes(VstInt32 opcode, VstInt32 index, size_t limit,
                                    VstIntPtr value = 0, float opt = 0.0f,
                                    VstIntPtr* result = nullptr) {
    std::vector<unsigned char> buffer(1024, TestHost::kCanary);
    const VstIntPtr r = host.Dispatch(opcode, index, value, buffer.data(), opt);
    if (result) *result = r;
    size_t end = 0;
    if (limit > 0) {
      const void* nul = std::memchr(buffer.data(), 0, limit);
      if (!nul) return ::testing::AssertionFailure() << "no terminator within " << limit;
      end = static_cast<size_t>(static_cast<const unsigned char*>(nul) - buffer.data()) + 1;
    }
    for (size_t k = end; k < buffer.size(); ++k)
      if (buffer[k] != TestHost::kCanary)
        return ::testing::AssertionFailure() << "byte " << k << " written";
    return ::testing::AssertionSuccess();
  }
  TestHost host;
};

}  // namespace

TEST_F(Dispatcher, FixedAnswers) {
  EXPECT_EQ(host.Dispatch(effIdentify), 0x4E764566);  // 'NvEf'
  EXPECT_EQ(host.Dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(host.Dispatch(effGetVendorVersion), kQuentaVersion);
  EXPECT_EQ(host.Dispatch(effSetBlockSize, 0, 256), 0);
  EXPECT_EQ(host.Dispatch(effMainsChanged, 0, 1), 0);
  // With index, value and pointer 0 (a careless host's null pointers; no parent window for the
  // editor), and for the chunks with either index and a size.
  for (VstInt32 opcode : {effGetTailSize, effIdle, effEditIdle, effOpen, effMainsChanged,
                          effProcessEvents, effGetProgramNameIndexed, effSetProgramName,
                          effGetProgramName, effEditGetRect, effEditOpen, effVendorSpecific})
    EXPECT_EQ(host.Dispatch(opcode), 0) << "opcode " << opcode;
  for (VstInt32 opcode : {effSetSpeakerArrangement, effGetSpeakerArrangement, effEditClose})
    EXPECT_EQ(host.Dispatch(opcode), 1) << "opcode " << opcode;
  for (VstInt32 idx : {0, 1}) {
    EXPECT_EQ(host.Dispatch(effGetChunk, idx), 0);
    EXPECT_EQ(host.Dispatch(effSetChunk, idx, 100), 0);
  }
  EXPECT_EQ(host.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f), 0);
  for (int i = 0; i < kQuentaNumParams; ++i) EXPECT_EQ(host.Dispatch(effCanBeAutomated, i), 1) << i;
  EXPECT_EQ(host.GetString(effGetEffectName), kQuentaEffectName);
  EXPECT_EQ(host.GetString(effGetVendorString), kQuentaVendor);
  EXPECT_TRUE(Writes(effGetEffectName, 0, kVstMaxEffectNameLen + 1));
  EXPECT_TRUE(Writes(effGetVendorString, 0, kVstMaxVendorStrLen + 1));
  EXPECT_TRUE(Writes(effGetProductString, 0, kVstMaxVendorStrLen + 1));
  EXPECT_EQ(host.Effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ((std::vector<int>{rect->top, rect->left, rect->bottom, rect->right}),
            (std::vector<int>{0, 0, 660, 1480}));
  EXPECT_EQ(host.Close(), 0);
}

TEST_F(Dispatcher, InvalidParameterIndicesWriteNothingReadZeroAndChangeNothing) {
  const std::vector<float> before = host.AllParameters();
  const std::vector<uint8_t> chunk = host.GetChunk(false);
  for (VstInt32 index : {-1, kQuentaNumParams, kQuentaNumParams + 1, 1000, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(host.GetParameter(index), 0.0f);
    host.SetParameter(index, 0.7f);
    VstIntPtr r = -1;
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      EXPECT_TRUE(Writes(opcode, index, 0, 0, 0.0f, &r)) << "opcode " << opcode;
      EXPECT_EQ(r, 0);
    }
    // effVendorSpecific idx 7 still answers 0xBEEF but writes nothing; idx 8 answers 0.
    EXPECT_TRUE(Writes(effVendorSpecific, kVendorSpecificParamDisplay, 0, index, 0.5f, &r));
    EXPECT_EQ(r, kVendorSpecificHandled);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, kVendorSpecificParamStepped, index), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, index, 0, const_cast<char*>("0.5")), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, index, 0, nullptr), 0);
  }
  EXPECT_EQ(host.AllParameters(), before);
  EXPECT_EQ(host.GetChunk(false), chunk);
  EXPECT_EQ(host.Dispatch(effVendorSpecific, kVendorSpecificParamDisplay, 0, nullptr, 0.5f), 0);
  for (VstInt32 idx : {0, 1, 6, 9, 0x12345, -7}) {
    VstIntPtr r = -1;
    EXPECT_TRUE(Writes(effVendorSpecific, idx, 0, 0, 0.5f, &r));
    EXPECT_EQ(r, 0) << "idx " << idx;
  }
}

// Parameter traffic through the dispatcher and the getParameter and setParameter callbacks.
TEST_F(Dispatcher, ParameterValuesRoundTripStringsAreBoundedAndTextsClampToTheRange) {
  for (int i = 0; i < kQuentaNumParams; ++i) {
    // The ends of the range come back exactly.
    for (float v : {0.0f, 1.0f}) {
      host.SetParameter(i, v);
      EXPECT_EQ(host.GetParameter(i), v) << "param " << i;
    }
    // Setting the value the host just read must not move the parameter (no drift through the
    // normalisation and the step rounding).
    for (float v : {0.1f, 0.25f, 0.5f, 0.77f, 0.9f}) {
      host.SetParameter(i, v);
      const float read = host.GetParameter(i);
      host.SetParameter(i, read);
      EXPECT_NEAR(host.GetParameter(i), read, 1e-6) << "param " << i << " set to " << v;
    }
    // Hosts occasionally send values a little (or a lot) outside 0 to 1.
    for (float v : {-0.5f, -1e-6f, 1.000001f, 1.5f, 100.0f, -100.0f}) {
      host.SetParameter(i, v);
      const float read = host.GetParameter(i);
      ASSERT_TRUE(std::isfinite(read) && read >= 0.0f && read <= 1.0f)
          << "param " << i << " set to " << v;
    }
    for (float v : {0.0f, 0.5f, 1.0f}) {
      host.SetParameter(i, v);
      for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        ASSERT_TRUE(Writes(opcode, i, kParamTextBytes)) << "opcode " << opcode << " param " << i;
      ASSERT_TRUE(Writes(effVendorSpecific, kVendorSpecificParamDisplay, kParamTextBytes, i, v))
          << "param " << i;
    }
    // A null string asks whether conversion is supported.
    EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, nullptr), 1);
    host.SetParameter(i, 0.5f);
    const float before = host.GetParameter(i);
    for (const char* text : {"nan", "inf", "-inf", "1e400", "", "   ", "x"}) {
      host.Dispatch(effString2Parameter, i, 0, const_cast<char*>(text));
      const float v = host.GetParameter(i);
      ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f)
          << "param " << i << " from \"" << text << "\": " << v;
    }
    host.SetParameter(i, 0.5f);
    const VstIntPtr high = host.Dispatch(effString2Parameter, i, 0, const_cast<char*>("1e9"));
    const float highValue = host.GetParameter(i);
    const VstIntPtr low = host.Dispatch(effString2Parameter, i, 0, const_cast<char*>("-1e9"));
    const float lowValue = host.GetParameter(i);
    EXPECT_EQ(high, low) << "param " << i;
    // One end of the range each (a negated display swaps them), or nothing changed.
    EXPECT_EQ(high == 1 ? std::fabs(highValue - lowValue) : lowValue, high == 1 ? 1.0f : before)
        << "param " << i << " answered " << high;
  }
  // A value the host sets is not reported back as automation (that would loop in the host).
  for (VstInt32 opcode : {audioMasterAutomate, audioMasterBeginEdit, audioMasterEndEdit})
    EXPECT_EQ(host.CountCalls(opcode), 0u) << opcode;
}

TEST_F(Dispatcher, ProgramsTheirNamesAndTheirEdits) {
  std::vector<int> programs = {INT_MAX};
  for (int p = -1; p <= kQuentaNumPrograms; ++p) programs.push_back(p);
  for (int p : programs) {
    VstIntPtr r = -1;
    const bool named = !host.ProgramNameIndexed(p, &r).empty();
    EXPECT_EQ(r, p >= 0 && p < kQuentaNumPrograms ? 1 : 0) << "program " << p;
    EXPECT_EQ(named, r == 1) << "program " << p;
  }
  // effSetProgram stores the live state into the program being left; out-of-range programs
  // are refused.
  host.SetProgram(1);
  const std::vector<float> second = host.AllParameters();
  EXPECT_EQ(host.Dispatch(effSetProgram, 0, 5), 0);
  const float edited = host.GetParameter(0) == 1.0f ? 0.0f : 1.0f;
  host.SetParameter(0, edited);
  for (VstIntPtr p : {VstIntPtr{-1}, VstIntPtr{kQuentaNumPrograms}, VstIntPtr{1} << 40}) {
    EXPECT_EQ(host.Dispatch(effSetProgram, 0, p), 0);
    EXPECT_EQ(host.Program(), 5);
  }
  host.SetProgram(1);
  EXPECT_EQ(host.AllParameters(), second);
  host.SetProgram(5);
  EXPECT_EQ(host.GetParameter(0), edited);

  EXPECT_EQ(host.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Renamed")), 0);
  EXPECT_EQ(host.ProgramName(), "Renamed");
  EXPECT_EQ(host.ProgramNameIndexed(5), "Renamed");
  EXPECT_NE(host.ProgramNameIndexed(4), "Renamed");
}

// Guards host-set program names once cut to 24 characters in the program itself (chunks keep
// 255): only what is handed back to the host is cut to its buffer, never overflowed.
TEST_F(Dispatcher, HostProgramNamesAreStoredWholeAndCutOnlyForTheHost) {
  std::string name;
  for (int i = 0; name.size() < 1000; ++i) name += static_cast<char>('a' + i % 26);
  host.SetProgramName(name);
  EXPECT_TRUE(Writes(effGetProgramName, 0, kProgramNameBytes));
  EXPECT_TRUE(Writes(effGetProgramNameIndexed, host.Program(), kProgramNameBytes));
  const std::string shown = name.substr(0, kProgramNameBytes - 1);
  EXPECT_EQ(host.ProgramName(), shown);
  EXPECT_EQ(host.ProgramNameIndexed(host.Program()), shown);
  const std::string forty = name.substr(0, 40);
  host.SetProgramName(forty);
  const std::vector<uint8_t> chunk = host.GetChunk(false);
  ASSERT_GE(chunk.size(), forty.size() + 4);
  EXPECT_EQ(ReadLE32(chunk, chunk.size() - forty.size() - 4), 40);
  EXPECT_EQ(std::string(chunk.end() - 40, chunk.end()), forty);
  TestHost other;
  ASSERT_TRUE(other.Instantiate()) << other.Error();
  EXPECT_EQ(other.SetChunk(chunk, false), 1);
  EXPECT_EQ(other.ProgramName(), shown);
}

TEST_F(Dispatcher, SpeakerArrangements) {
  VstSpeakerArrangement *in = nullptr, *out = nullptr, *onlyIn = nullptr, *onlyOut = nullptr;
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->numChannels, 0);
  EXPECT_EQ(in->type, kSpeakerArrEmpty);
  EXPECT_EQ(out->numChannels, 2);
  EXPECT_EQ(out->type, kSpeakerArrStereo);
  // Only the side asked for is given.
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, 0, &onlyOut), 1);
  EXPECT_EQ(onlyOut, out);
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&onlyIn)), 1);
  EXPECT_EQ(onlyIn, in);
  // Hosts asking for more channels than exist: nothing beyond the real ones is touched.
  VstSpeakerArrangement many{};
  many.type = kSpeakerArrUserDefined;
  many.numChannels = 8;
  EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&many), &many),
            1);
  host.StartSession(48000.0f, 64);
  host.ProcessReplacing(64);
  for (int ch = 0; ch < 2; ++ch)
    for (float s : host.OutputF(ch)) ASSERT_NE(s, TestHost::kUnwrittenSample);
}
