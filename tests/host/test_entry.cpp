// The exported entry points, the AEffect record a host receives from them, and how the
// plug-in identifies its host when opened.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// Literal values, so that a wrong constant in the plug-in's own interface header shows too.
void ExpectQuentaIdentity(const AEffect* e) {
  EXPECT_EQ(e->magic, 0x56737450);  // 'VstP'
  EXPECT_EQ(e->flags, 0x1131);      // editor, replacing, double replacing, chunks, synth
  EXPECT_EQ(e->numParams, kQuentaNumParams);
  EXPECT_EQ(e->numPrograms, kQuentaNumPrograms);
  EXPECT_EQ(e->numInputs, 0);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->uniqueID, 0x716E7461);  // 'qnta'
  EXPECT_EQ(e->version, kQuentaVersion);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_TRUE(e->dispatcher && e->process && e->processReplacing && e->processDoubleReplacing &&
              e->setParameter && e->getParameter && e->object);
  EXPECT_EQ(e->resvd1 | e->resvd2, 0);
  EXPECT_EQ(e->realQualities | e->offQualities, 0);
  for (char c : e->future) EXPECT_EQ(c, 0);
}

}  // namespace

TEST(Entry, EveryKindOfHostGetsTheSameInstrumentWithBothOutputs) {
  // effOpen identifies the host: some hosts make the plug-in limit itself to stereo input,
  // which must not touch the outputs; some answer the process level with offline rendering,
  // or with nonsense.
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
    ExpectQuentaIdentity(host.Effect());
    host.StartSession(48000.0f, 256);
    ExpectQuentaIdentity(host.Effect());
    VstSpeakerArrangement *in = nullptr, *out = nullptr;
    host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->numChannels, 0);
    EXPECT_EQ(out->numChannels, 2);
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    host.ProcessReplacing(256);
    for (int ch = 0; ch < 2; ++ch)
      for (float s : host.OutputF(ch))
        ASSERT_TRUE(std::isfinite(s) && s != TestHost::kUnwrittenSample);
  }
}

TEST(Entry, OnlyTheEntryPointsAreExported) {
  const std::string command =
      std::string("nm -D --defined-only '") + QUENTA_SO_PATH + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) GTEST_SKIP() << "nm is not available";
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream in(line);
    std::string address, type, name;
    // Symbols the linker defines for every shared object are not the project's own.
    if (in >> address >> type >> name && name.rfind("_", 0) != 0)
      names.insert(name.substr(0, name.find('@')));
  }
  const int status = pclose(pipe);
  if (names.empty() && status != 0) GTEST_SKIP() << "nm failed";
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
  TestHost host;
  ASSERT_TRUE(host.Instantiate(Entry::Main)) << host.Error();
  ExpectQuentaIdentity(host.Effect());
}

TEST(Entry, InstancesAreIndependent) {
  TestHost a, b;
  ASSERT_TRUE(a.Instantiate()) << a.Error();
  ASSERT_TRUE(b.Instantiate()) << b.Error();
  a.SetProgram(7);
  a.SetProgramName("only in a");
  EXPECT_EQ(b.Program(), 0);
  EXPECT_NE(b.ProgramNameIndexed(7), "only in a");
  a.SetParameter(0, 1.0f);
  b.SetParameter(0, 0.0f);
  EXPECT_EQ(a.GetParameter(0), 1.0f);
  EXPECT_EQ(b.GetParameter(0), 0.0f);
}

TEST(HostIdentification, ProductThenVersionOnceAtOpen) {
  // The version is asked for only when the host names its product; once per instance, however
  // often the host opens it or asks for anything else.
  for (const char* product : {"REAPER", ""}) {
    SCOPED_TRACE(product);
    TestHost host;
    host.Answers().productString = product;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.Open();
    host.StartSession(44100.0f, 128);
    host.ProcessReplacing(128);
    host.GetChunk(true);
    host.Open();
    std::vector<VstInt32> asked, expected = {audioMasterGetProductString};
    if (product[0]) expected.push_back(audioMasterGetVendorVersion);
    for (const HostCall& c : host.Calls())
      if (c.opcode == audioMasterGetProductString || c.opcode == audioMasterGetVendorVersion)
        asked.push_back(c.opcode);
    EXPECT_EQ(asked, expected);
  }
}

// Guards the packing of huge decimal versions (major 32768 and up), which once shifted a
// signed int out of range.
TEST(HostIdentification, AnyVersionAnswerIsSafe) {
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
