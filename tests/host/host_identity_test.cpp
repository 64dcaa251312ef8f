// How the plug-in identifies its host when opened: the requests it makes, and what follows.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// Size of the zeroed buffer the plug-in hands the host for its product and vendor strings.
constexpr size_t kHostStringBuffer = 256;

std::vector<VstInt32> IdentificationRequests(const TestHost& host) {
  std::vector<VstInt32> out;
  for (const HostCall& c : host.Calls())
    if (c.opcode == audioMasterGetProductString || c.opcode == audioMasterGetVendorVersion) out.push_back(c.opcode);
  return out;
}

}  // namespace

TEST(HostIdentification, ProductThenVersionOnceAtOpen) {
  TestHost host;
  host.Answers().productString = "REAPER";
  host.Answers().vendorVersion = 60123;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.Open();
  EXPECT_EQ(IdentificationRequests(host),
            (std::vector<VstInt32>{audioMasterGetProductString, audioMasterGetVendorVersion}));
  // Once per instance, however often the host opens it or asks for anything else.
  host.Open();
  host.SetSampleRate(44100.0f);
  host.SetBlockSize(128);
  host.MainsChanged(true);
  host.ProcessReplacing(128);
  host.GetChunk(true);
  host.Open();
  EXPECT_EQ(host.CountCalls(audioMasterGetProductString), 1u);
  EXPECT_EQ(host.CountCalls(audioMasterGetVendorVersion), 1u);
}

TEST(HostIdentification, NoVersionRequestWithoutAProductName) {
  TestHost host;
  host.Answers().vendorVersion = 1234;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.Open();
  host.Open();
  EXPECT_EQ(IdentificationRequests(host), (std::vector<VstInt32>{audioMasterGetProductString}));
}

TEST(HostIdentification, TheHostWritesIntoAZeroedBufferOfFullSize) {
  TestHost host;
  bool checked = false;
  host.SetScript([&](const HostCall& call, void* ptr, VstIntPtr& answer) {
    if (call.opcode != audioMasterGetProductString && call.opcode != audioMasterGetVendorString) return false;
    EXPECT_NE(ptr, nullptr);
    if (!ptr) return false;
    unsigned char* buffer = static_cast<unsigned char*>(ptr);
    // The whole buffer is the plug-in's; reading and writing all of it must be allowed.
    for (size_t i = 0; i < kHostStringBuffer; ++i) EXPECT_EQ(buffer[i], 0) << "byte " << i;
    std::string s(kHostStringBuffer - 1, 'h');
    std::copy(s.begin(), s.end(), buffer);
    buffer[kHostStringBuffer - 1] = 0;
    checked = true;
    answer = 1;
    return true;
  });
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.Open();
  EXPECT_TRUE(checked);
  checked = false;
  host.GetChunk(true);  // the vendor string request of the chunk exchange
  EXPECT_TRUE(checked);
}

void OpenWithHostVersion(VstIntPtr version) {
  TestHost host;
  host.Answers().productString = "Cubase VST";
  host.Answers().vendorVersion = version;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession();
  host.ProcessReplacing(512);
  EXPECT_EQ(host.CountCalls(audioMasterGetVendorVersion), 1u) << version;
}

TEST(HostIdentification, StrangeVersionAnswers) {
  for (VstIntPtr version : {VstIntPtr{-1}, VstIntPtr{0}, VstIntPtr{INT_MIN}, VstIntPtr{99999999}, VstIntPtr{100000000}})
    OpenWithHostVersion(version);
}

// DISABLED until the host version packing stays defined for any answer: a decimal version of
// 327680000 or more (major 32768 and up) shifts a signed int out of range.
TEST(HostIdentification, HugeVersionAnswers) {
  for (VstIntPtr version : {VstIntPtr{327680000}, VstIntPtr{INT_MAX}, VstIntPtr{1} << 40}) OpenWithHostVersion(version);
}

TEST(HostIdentification, StereoLimitedHostsStillGetBothOutputs) {
  // Some hosts make the plug-in limit itself to stereo input; outputs are not affected.
  for (const char* product : {"Forte", "Adobe Audition", "Orion Platinum", "SAWStudio", "REAPER", "Live",
                              "Bitwig Studio", "VstManLib scanner", ""}) {
    SCOPED_TRACE(product);
    TestHost host;
    host.Answers().productString = product;
    host.Answers().vendorVersion = 10000;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.StartSession(48000.0f, 256);
    EXPECT_EQ(host.Effect()->numInputs, kQuentaNumInputs);
    EXPECT_EQ(host.Effect()->numOutputs, kQuentaNumOutputs);
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->numChannels, kQuentaNumInputs);
    EXPECT_EQ(out->numChannels, kQuentaNumOutputs);
    host.ProcessReplacing(256);
    for (int ch = 0; ch < 2; ++ch)
      for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s) && s != TestHost::kUnwrittenSample);
  }
}

TEST(HostIdentification, OfflineRenderingQueryIsHarmless) {
  // Hosts that answer the process level with offline rendering, or with nonsense.
  for (VstIntPtr level : {VstIntPtr{kVstProcessLevelOffline}, VstIntPtr{kVstProcessLevelRealtime}, VstIntPtr{-1},
                          VstIntPtr{1000}}) {
    TestHost host;
    host.Answers().processLevel = level;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.StartSession();
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    host.ProcessReplacing(512);
    for (int ch = 0; ch < 2; ++ch)
      for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s));
  }
}
