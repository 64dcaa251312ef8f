// The exported entry points and the AEffect record a host receives from them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// Literal values, so that a wrong constant in the plug-in's own interface header shows too.
constexpr VstInt32 kInstrumentFlags =
    0x1131;  // editor, replacing, double replacing, program chunks, synth
constexpr VstInt32 kMagic = 0x56737450;  // 'VstP'

void ExpectQuentaIdentity(const AEffect* e) {
  EXPECT_EQ(e->magic, kMagic);
  EXPECT_EQ(e->flags, kInstrumentFlags);
  EXPECT_EQ(e->numParams, kQuentaNumParams);
  EXPECT_EQ(e->numPrograms, kQuentaNumPrograms);
  EXPECT_EQ(e->numInputs, kQuentaNumInputs);
  EXPECT_EQ(e->numOutputs, kQuentaNumOutputs);
  EXPECT_EQ(e->uniqueID, 0x716E7461);  // 'qnta'
  EXPECT_EQ(e->version, kQuentaVersion);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
}

}  // namespace

TEST(Entry, AEffectAfterVSTPluginMainAndAfterOpen) {
  // effOpen identifies the host and copies the channel counts again; nothing may change.
  for (const char* product : {"", "REAPER", "Forte", "Audition", "Orion", "SAWStudio"}) {
    SCOPED_TRACE(product);
    TestHost host;
    host.Answers().productString = product;
    host.Answers().vendorVersion = 60123;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    const AEffect* e = host.Effect();
    ExpectQuentaIdentity(e);
    EXPECT_TRUE(e->dispatcher && e->process && e->processReplacing && e->processDoubleReplacing &&
                e->setParameter && e->getParameter && e->object);
    // Everything not named above is zero.
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->resvd1 | e->resvd2, 0);
    EXPECT_EQ(e->realQualities | e->offQualities, 0);
    for (char c : e->future) EXPECT_EQ(c, 0);
    host.Open();
    ExpectQuentaIdentity(host.Effect());
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
    if (!(in >> address >> type >> name)) continue;
    // Symbols the linker defines for every shared object are not the project's own.
    if (name.rfind("_", 0) == 0) continue;
    names.insert(name.substr(0, name.find('@')));
  }
  const int status = pclose(pipe);
  if (names.empty() && status != 0) GTEST_SKIP() << "nm failed";
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(Entry, InstancesAreIndependent) {
  TestHost a, b;
  ASSERT_TRUE(a.Instantiate()) << a.Error();
  ASSERT_TRUE(b.Instantiate()) << b.Error();
  a.Open();
  b.Open();
  a.SetProgram(7);
  a.SetProgramName("only in a");
  EXPECT_EQ(a.Program(), 7);
  EXPECT_EQ(b.Program(), 0);
  EXPECT_EQ(a.ProgramName(), "only in a");
  EXPECT_NE(b.ProgramNameIndexed(7), "only in a");
  a.SetParameter(0, 1.0f);
  b.SetParameter(0, 0.0f);
  EXPECT_EQ(a.GetParameter(0), 1.0f);
  EXPECT_EQ(b.GetParameter(0), 0.0f);
}
