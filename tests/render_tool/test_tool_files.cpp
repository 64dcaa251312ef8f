// The host against the built Quenta.so in process: program and bank files made from the
// plug-in's own chunks and parameters come back through --program and --bank. (The time info a
// plug-in fetches is checked block by block against the scripted plug-in in host_test.cpp.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "test_files.h"
#include "tools/quenta_render/render.h"
#include "tools/quenta_render/vst_host.h"

using quenta_test::bankHeader;
using quenta_test::programHeader;
using quenta_test::put32;
using quenta_test::putFloat;
using quenta_test::TempDir;
using quenta_test::writeFile;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kFinal = 183;  // global output level

Bytes chunkOf(qrender::PluginHost& host, int index) {
  void* data = nullptr;
  VstIntPtr size = host.dispatch(effGetChunk, index, 0, &data);
  EXPECT_GT(size, 0);
  return size > 0 ? Bytes((uint8_t*)data, (uint8_t*)data + size) : Bytes();
}

std::string listLine(const std::string& listing, int index) {
  std::istringstream in(listing);
  std::string line;
  for (int i = 0; i <= index && std::getline(in, line); ++i) {
  }
  return line;
}

std::string listWith(const std::vector<std::string>& args, const TempDir& dir) {
  std::string cmd =
      std::string(QUENTA_RENDER_EXE) + " --plugin '" + QUENTA_SO_PATH + "' --list-params";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " >'" + dir.File("list.txt") + "' 2>&1";
  int rc = std::system(cmd.c_str());
  std::string out = quenta_test::slurp(dir.File("list.txt"));
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << out;
  return out;
}

class RealPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host.load(QUENTA_SO_PATH, error)) << error;
    host.open(48000, 512);
  }
  qrender::PluginHost host;
};

TEST_F(RealPlugin, ProgramAndBankFilesComeBackThroughTheTool) {
  TempDir dir;
  std::string defaultLine = listLine(listWith({}, dir), kFinal);
  host.setParameter(kFinal, 0.7f);
  std::string changed = host.paramDisplay(kFinal);
  AEffect* e = host.effect();

  // Program, chunk form: the plug-in's program chunk embedded after the header.
  Bytes state = chunkOf(host, 1);
  Bytes fxp = programHeader("FPCh", (uint32_t)e->uniqueID, (uint32_t)e->version,
                            (uint32_t)e->numParams, "From test");
  put32(fxp, (uint32_t)state.size());
  fxp.insert(fxp.end(), state.begin(), state.end());
  writeFile(dir.File("chunk.fxp"), fxp);

  // Program, parameter form: every normalised value as a big-endian float.
  Bytes params = programHeader("FxCk", (uint32_t)e->uniqueID, (uint32_t)e->version,
                               (uint32_t)e->numParams, "Params");
  for (int i = 0; i < e->numParams; ++i) putFloat(params, host.getParameter(i));
  writeFile(dir.File("params.fxp"), params);

  // Bank, chunk form.
  Bytes bankChunk = chunkOf(host, 0);
  Bytes fxb =
      bankHeader("FBCh", (uint32_t)e->uniqueID, (uint32_t)e->version, (uint32_t)e->numPrograms, 0);
  put32(fxb, (uint32_t)bankChunk.size());
  fxb.insert(fxb.end(), bankChunk.begin(), bankChunk.end());
  writeFile(dir.File("bank.fxb"), fxb);

  // The value column starts at 25 (see listParams).
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--program", dir.File("chunk.fxp")},
        std::vector<std::string>{"--program", dir.File("params.fxp")},
        std::vector<std::string>{"--bank", dir.File("bank.fxb")}}) {
    std::string line = listLine(listWith(args, dir), kFinal);
    EXPECT_EQ(line.substr(25), changed) << args[1];
  }
  EXPECT_NE(defaultLine.substr(25), changed);
}

}  // namespace
