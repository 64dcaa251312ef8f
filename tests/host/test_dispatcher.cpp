// The dispatcher as a host drives it: every opcode's result, the strings it writes into host
// buffers, and the opcodes that must do nothing.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// Most bytes the plug-in writes into a host's string buffer, terminator included: parameter
// texts 32, program names the published 24 characters, effect name 32 characters, vendor and
// product 64 characters.
constexpr size_t kParamTextBytes = 32;
constexpr size_t kProgramNameBytes = kVstMaxProgNameLen + 1;
constexpr size_t kEffectNameBytes = kVstMaxEffectNameLen + 1;
constexpr size_t kVendorBytes = kVstMaxVendorStrLen + 1;

const std::vector<VstInt32> kInvalidParamIndices = {-1, kQuentaNumParams, kQuentaNumParams + 1,
                                                    INT_MAX, INT_MIN};

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.Open();
  }
  // Runs an opcode with a canary-filled buffer and tells whether the buffer was left alone.
  bool LeavesBufferAlone(VstInt32 opcode, VstInt32 index, VstIntPtr value, VstIntPtr* result,
                         float opt = 0.0f) {
    std::vector<unsigned char> buffer(2048, TestHost::kCanary);
    *result = host.Dispatch(opcode, index, value, buffer.data(), opt);
    for (unsigned char c : buffer)
      if (c != TestHost::kCanary) return false;
    return true;
  }
  TestHost host;
};

// Runs an opcode on a canary-filled buffer and checks that the text written is terminated
// within limit bytes and that nothing was written after it.
::testing::AssertionResult WritesWithin(TestHost& host, VstInt32 opcode, VstInt32 index,
                                        size_t limit, VstIntPtr value = 0, float opt = 0.0f) {
  std::vector<unsigned char> buffer(1024, TestHost::kCanary);
  host.Dispatch(opcode, index, value, buffer.data(), opt);
  const void* nul = std::memchr(buffer.data(), 0, limit);
  if (!nul) return ::testing::AssertionFailure() << "no terminator within " << limit << " bytes";
  for (size_t k = static_cast<size_t>(static_cast<unsigned char*>(const_cast<void*>(nul)) -
                                      buffer.data()) +
                  1;
       k < buffer.size(); ++k)
    if (buffer[k] != TestHost::kCanary)
      return ::testing::AssertionFailure() << "byte " << k << " written";
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(Dispatcher, FixedAnswers) {
  EXPECT_EQ(host.Dispatch(effIdentify), 0x4E764566);  // 'NvEf'
  EXPECT_EQ(host.Dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(host.Dispatch(effGetVendorVersion), kQuentaVersion);
  EXPECT_EQ(host.Dispatch(effGetTailSize), 0);
  EXPECT_EQ(host.Dispatch(effIdle), 0);
  EXPECT_EQ(host.Dispatch(effEditIdle), 0);
  EXPECT_EQ(host.Dispatch(effOpen), 0);
  EXPECT_EQ(host.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f), 0);
  EXPECT_EQ(host.Dispatch(effSetBlockSize, 0, 256), 0);
  EXPECT_EQ(host.Dispatch(effMainsChanged, 0, 1), 0);
  EXPECT_EQ(host.Dispatch(effMainsChanged, 0, 0), 0);
  EXPECT_EQ(host.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effGetChunk, 1, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effSetChunk, 0, 100, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effSetChunk, 1, 100, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
  for (int i = 0; i < kQuentaNumParams; ++i) EXPECT_EQ(host.Dispatch(effCanBeAutomated, i), 1) << i;
  EXPECT_EQ(host.EffectName(), kQuentaEffectName);
  EXPECT_EQ(host.VendorString(), kQuentaVendor);
  EXPECT_TRUE(WritesWithin(host, effGetEffectName, 0, kEffectNameBytes));
  EXPECT_TRUE(WritesWithin(host, effGetVendorString, 0, kVendorBytes));
  EXPECT_TRUE(WritesWithin(host, effGetProductString, 0, kVendorBytes));
  EXPECT_EQ(host.Close(), 0);
}

TEST_F(Dispatcher, InvalidParameterIndicesWriteNothing) {
  for (VstInt32 index : kInvalidParamIndices) {
    SCOPED_TRACE(index);
    VstIntPtr r = -1;
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      EXPECT_TRUE(LeavesBufferAlone(opcode, index, 0, &r)) << "opcode " << opcode;
      EXPECT_EQ(r, 0);
    }
    // effVendorSpecific idx 7 still answers 0xBEEF but writes nothing; idx 8 answers 0.
    EXPECT_TRUE(LeavesBufferAlone(effVendorSpecific, kVendorSpecificParamDisplay, index, &r, 0.5f));
    EXPECT_EQ(r, kVendorSpecificHandled);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, kVendorSpecificParamStepped, index), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, index, 0, const_cast<char*>("0.5")), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, index, 0, nullptr), 0);
  }
  EXPECT_EQ(host.Dispatch(effVendorSpecific, kVendorSpecificParamDisplay, 0, nullptr, 0.5f), 0);
  for (VstInt32 idx : {0, 1, 6, 9, 0x12345, -7}) {
    VstIntPtr r = -1;
    EXPECT_TRUE(LeavesBufferAlone(effVendorSpecific, idx, 0, &r, 0.5f));
    EXPECT_EQ(r, 0) << "idx " << idx;
  }
  // A null string asks whether conversion is supported.
  for (int i = 0; i < kQuentaNumParams; ++i)
    EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, nullptr), 1);
}

TEST_F(Dispatcher, ParameterStringsAreTerminatedAndBounded) {
  for (int i = 0; i < kQuentaNumParams; ++i) {
    for (float v : {0.0f, 0.5f, 1.0f}) {
      host.SetParameter(i, v);
      for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        ASSERT_TRUE(WritesWithin(host, opcode, i, kParamTextBytes))
            << "opcode " << opcode << " param " << i;
      ASSERT_TRUE(
          WritesWithin(host, effVendorSpecific, kVendorSpecificParamDisplay, kParamTextBytes, i, v))
          << "param " << i;
    }
  }
}

TEST_F(Dispatcher, String2ParameterClampsToTheRange) {
  for (int i = 0; i < kQuentaNumParams; ++i) {
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
    if (high == 1) {
      // One end of the range each (a negated display swaps them).
      EXPECT_TRUE((highValue == 1.0f && lowValue == 0.0f) ||
                  (highValue == 0.0f && lowValue == 1.0f))
          << "param " << i << ": " << highValue << ' ' << lowValue;
    } else {
      EXPECT_EQ(high, 0);
      EXPECT_EQ(lowValue, before) << "param " << i;
    }
  }
}

TEST_F(Dispatcher, ProgramsAndTheirNames) {
  for (int p = 0; p < kQuentaNumPrograms; ++p) {
    VstIntPtr r = 0;
    const std::string name = host.ProgramNameIndexed(p, &r);
    EXPECT_FALSE(name.empty()) << "program " << p;
    EXPECT_EQ(r, 1) << "program " << p;
  }
  for (VstInt32 p : {-1, kQuentaNumPrograms, INT_MAX}) {
    VstIntPtr r = -1;
    host.ProgramNameIndexed(p, &r);
    EXPECT_EQ(r, 0) << "program " << p;
  }
  EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);

  EXPECT_EQ(host.Dispatch(effSetProgram, 0, 5), 0);
  EXPECT_EQ(host.Program(), 5);
  EXPECT_EQ(host.ProgramName(), host.ProgramNameIndexed(5));
  // Out-of-range programs are refused and leave the current one.
  for (VstIntPtr p : {VstIntPtr{-1}, VstIntPtr{kQuentaNumPrograms}, VstIntPtr{1} << 40}) {
    EXPECT_EQ(host.Dispatch(effSetProgram, 0, p), 0);
    EXPECT_EQ(host.Program(), 5);
  }

  EXPECT_EQ(host.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Renamed")), 0);
  EXPECT_EQ(host.ProgramName(), "Renamed");
  EXPECT_EQ(host.ProgramNameIndexed(5), "Renamed");
  EXPECT_NE(host.ProgramNameIndexed(4), "Renamed");
  EXPECT_EQ(host.Dispatch(effSetProgramName, 0, 0, nullptr), 0);
  EXPECT_EQ(host.ProgramName(), "Renamed");
  EXPECT_EQ(host.Dispatch(effGetProgramName, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, LongProgramNamesAreCutNotOverflowed) {
  std::string longName;
  for (int i = 0; longName.size() < 1000; ++i) longName += static_cast<char>('a' + i % 26);
  host.SetProgramName(longName);
  EXPECT_TRUE(WritesWithin(host, effGetProgramName, 0, kProgramNameBytes));
  EXPECT_TRUE(WritesWithin(host, effGetProgramNameIndexed, host.Program(), kProgramNameBytes));
  const std::string shown = host.ProgramName();
  EXPECT_EQ(shown, longName.substr(0, kProgramNameBytes - 1));
  EXPECT_EQ(host.ProgramNameIndexed(host.Program()), shown);
  // The cut name survives a program chunk round trip.
  const std::vector<uint8_t> chunk = host.GetChunk(false);
  ASSERT_FALSE(chunk.empty());
  TestHost other;
  ASSERT_TRUE(other.Instantiate()) << other.Error();
  EXPECT_EQ(other.SetChunk(chunk, false), 1);
  EXPECT_EQ(other.ProgramName(), shown);
}

// Guards program names set by the host being cut to 24 characters in the program itself
// (chunks, banks and program files keep up to 255 and 28 characters).
TEST_F(Dispatcher, HostProgramNamesAreStoredWhole) {
  const std::string name = "A forty character long program name 1234";
  host.SetProgramName(name);
  const std::vector<uint8_t> chunk = host.GetChunk(false);
  ASSERT_GE(chunk.size(), name.size() + 4);
  EXPECT_EQ(ReadLE32(chunk, chunk.size() - name.size() - 4), static_cast<int32_t>(name.size()));
  EXPECT_EQ(std::string(chunk.end() - static_cast<long>(name.size()), chunk.end()), name);
  // Only what is handed back to the host is cut to its buffer.
  EXPECT_EQ(host.ProgramName(), name.substr(0, kProgramNameBytes - 1));
}

TEST_F(Dispatcher, SwitchingProgramsKeepsTheEditsOfEach) {
  // effSetProgram first stores the live state into the program being left.
  const int param = 0;
  host.SetProgram(1);
  const std::vector<float> second = host.AllParameters();
  host.SetProgram(0);
  const float original = host.GetParameter(param);
  const float edited = original == 1.0f ? 0.0f : 1.0f;
  host.SetParameter(param, edited);
  host.SetProgram(1);
  EXPECT_EQ(host.AllParameters(), second);
  host.SetProgram(0);
  EXPECT_EQ(host.GetParameter(param), edited);
  EXPECT_EQ(host.Program(), 0);
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
  EXPECT_EQ(
      host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&onlyIn), nullptr), 1);
  EXPECT_EQ(onlyIn, in);

  VstSpeakerArrangement stereo{}, empty{}, many{};
  stereo.type = kSpeakerArrStereo;
  stereo.numChannels = 2;
  empty.type = kSpeakerArrEmpty;
  many.type = kSpeakerArrUserDefined;
  many.numChannels = 8;
  EXPECT_EQ(
      host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&empty), &stereo), 1);
  EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, 0, &stereo), 1);
  EXPECT_EQ(
      host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&empty), nullptr), 1);
  // Hosts asking for more channels than exist: nothing beyond the real ones is touched.
  EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&many), &many),
            1);
  host.StartSession(48000.0f, 64);
  host.ProcessReplacing(64);
  for (int ch = 0; ch < 2; ++ch)
    for (float s : host.OutputF(ch)) ASSERT_NE(s, TestHost::kUnwrittenSample);
}

TEST_F(Dispatcher, EditorOpcodesBeforeAWindowIsOpen) {
  EXPECT_EQ(host.Effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 660);
  EXPECT_EQ(rect->right, 1480);
  EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
  // No parent window: nothing opens. Idle and close without a window are harmless.
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effEditIdle), 0);
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
}
