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
    if (c.opcode == audioMasterGetProductString || c.opcode == audioMasterGetVendorVersion)
      out.push_back(c.opcode);
  return out;
}

}  // namespace

TEST(HostIdentification, ProductThenVersionOnceAtOpen) {
  // The version is asked for only when the host names its product.
  for (const char* product : {"REAPER", ""}) {
    SCOPED_TRACE(product);
    TestHost host;
    host.Answers().productString = product;
    host.Answers().vendorVersion = 60123;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.Open();
    // Once per instance, however often the host opens it or asks for anything else.
    host.Open();
    host.StartSession(44100.0f, 128);
    host.ProcessReplacing(128);
    host.GetChunk(true);
    host.Open();
    std::vector<VstInt32> expected = {audioMasterGetProductString};
    if (product[0]) expected.push_back(audioMasterGetVendorVersion);
    EXPECT_EQ(IdentificationRequests(host), expected);
  }
}

TEST(HostIdentification, AnyVersionAnswerIsSafe) {
  // Guards the packing of huge decimal versions (major 32768 and up), which once shifted a
  // signed int out of range.
  for (VstIntPtr version :
       {VstIntPtr{-1}, VstIntPtr{0}, VstIntPtr{INT_MIN}, VstIntPtr{99999999}, VstIntPtr{100000000},
        VstIntPtr{327680000}, VstIntPtr{INT_MAX}, VstIntPtr{1} << 40}) {
    TestHost host;
    host.Answers().productString = "Cubase VST";
    host.Answers().vendorVersion = version;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.StartSession();
    host.ProcessReplacing(512);
    EXPECT_EQ(host.CountCalls(audioMasterGetVendorVersion), 1u) << version;
  }
}

TEST(HostIdentification, StereoLimitedAndOfflineHostsStillGetBothOutputs) {
  // Some hosts make the plug-in limit itself to stereo input, which must not touch the
  // outputs; some answer the process level with offline rendering, or with nonsense.
  const struct {
    const char* product;
    VstIntPtr level;
  } cases[] = {{"Forte", kVstProcessLevelRealtime},
               {"Adobe Audition", kVstProcessLevelUnknown},
               {"Orion Platinum", kVstProcessLevelUnknown},
               {"SAWStudio", kVstProcessLevelUnknown},
               {"REAPER", kVstProcessLevelOffline},
               {"Live", -1},
               {"Bitwig Studio", 1000},
               {"VstManLib scanner", kVstProcessLevelUnknown},
               {"", kVstProcessLevelOffline}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    TestHost host;
    host.Answers().productString = c.product;
    host.Answers().vendorVersion = 10000;
    host.Answers().processLevel = c.level;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.StartSession(48000.0f, 256);
    EXPECT_EQ(host.Effect()->numInputs, kQuentaNumInputs);
    EXPECT_EQ(host.Effect()->numOutputs, kQuentaNumOutputs);
    VstSpeakerArrangement *in = nullptr, *out = nullptr;
    host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->numChannels, kQuentaNumInputs);
    EXPECT_EQ(out->numChannels, kQuentaNumOutputs);
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    host.ProcessReplacing(256);
    for (int ch = 0; ch < 2; ++ch)
      for (float s : host.OutputF(ch))
        ASSERT_TRUE(std::isfinite(s) && s != TestHost::kUnwrittenSample);
  }
}
