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
  // effOpen identifies the host: the product, then (only when there is one) the version, once
  // per instance however often the host opens it. Some hosts make the plug-in limit itself to
  // stereo input, which must not touch the outputs; some answer the process level with
  // offline rendering, or with nonsense; any version answer is safe (huge decimal versions,
  // major 32768 and up, once shifted a signed int out of range).
  const struct {
    const char* product;
    VstIntPtr level, version;
  } cases[] = {{"Forte", kVstProcessLevelRealtime, -1},
               {"Adobe Audition", kVstProcessLevelUnknown, 0},
               {"Orion Platinum", kVstProcessLevelUnknown, INT_MIN},
               {"SAWStudio", kVstProcessLevelUnknown, 99999999},
               {"REAPER", kVstProcessLevelOffline, 100000000},
               {"Live", -1, 327680000},
               {"Bitwig Studio", 1000, INT_MAX},
               {"Cubase VST", kVstProcessLevelUnknown, VstIntPtr{1} << 40},
               {"", kVstProcessLevelOffline, 60123}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    TestHost host;
    host.Answers().productString = c.product;
    host.Answers().vendorVersion = c.version;
    host.Answers().processLevel = c.level;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    ExpectQuentaIdentity(host.Effect());
    host.StartSession(48000.0f, 256);
    host.Open();
    ExpectQuentaIdentity(host.Effect());
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    host.ProcessReplacing(256);
    for (int ch = 0; ch < 2; ++ch)
      for (float s : host.OutputF(ch))
        ASSERT_TRUE(std::isfinite(s) && s != TestHost::kUnwrittenSample);
    host.GetChunk(true);
    std::vector<VstInt32> asked, expected = {audioMasterGetProductString};
    if (c.product[0]) expected.push_back(audioMasterGetVendorVersion);
    for (const HostCall& call : host.Calls())
      if (call.opcode == audioMasterGetProductString || call.opcode == audioMasterGetVendorVersion)
        asked.push_back(call.opcode);
    EXPECT_EQ(asked, expected);
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
