// The host against the built Quenta.so in process: program and bank files made from the
// plug-in's own chunks and parameters come back through --program and --bank, and the time info
// the plug-in fetches while rendering describes the running transport.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/wait.h>

#include "smf_bytes.h"
#include "test_files.h"
#include "tools/quenta_render/render.h"
#include "tools/quenta_render/vst_host.h"

using testfiles::put32;
using testfiles::putTag;
using testfiles::TempDir;
using testfiles::writeFile;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kFinal = 183;  // global output level

// The file header of a program (fxMagic "FPCh"/"FxCk") up to and including the name.
Bytes programHeader(const char* tag, AEffect* e, const char* name) {
  Bytes b;
  putTag(b, "CcnK");
  put32(b, 0);
  putTag(b, tag);
  put32(b, 1);
  put32(b, (uint32_t)e->uniqueID);
  put32(b, (uint32_t)e->version);
  put32(b, (uint32_t)e->numParams);
  Bytes field(28, 0);
  std::memcpy(field.data(), name, std::strlen(name));
  b.insert(b.end(), field.begin(), field.end());
  return b;
}

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
  std::string cmd = std::string(QUENTA_RENDER_EXE) + " --plugin '" + QUENTA_SO_PATH + "' --list-params";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " >'" + dir.file("list.txt") + "' 2>&1";
  int rc = std::system(cmd.c_str());
  std::string out = testfiles::slurp(dir.file("list.txt"));
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
  Bytes fxp = programHeader("FPCh", e, "From test");
  put32(fxp, (uint32_t)state.size());
  fxp.insert(fxp.end(), state.begin(), state.end());
  writeFile(dir.file("chunk.fxp"), fxp);

  // Program, parameter form: every normalised value as a big-endian float.
  Bytes params = programHeader("FxCk", e, "Params");
  for (int i = 0; i < e->numParams; ++i) {
    float f = host.getParameter(i);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put32(params, bits);
  }
  writeFile(dir.file("params.fxp"), params);

  // Bank, chunk form.
  Bytes bankChunk = chunkOf(host, 0);
  Bytes fxb;
  putTag(fxb, "CcnK");
  put32(fxb, 0);
  putTag(fxb, "FBCh");
  put32(fxb, 2);
  put32(fxb, (uint32_t)e->uniqueID);
  put32(fxb, (uint32_t)e->version);
  put32(fxb, (uint32_t)e->numPrograms);
  put32(fxb, 0);
  fxb.resize(156, 0);
  put32(fxb, (uint32_t)bankChunk.size());
  fxb.insert(fxb.end(), bankChunk.begin(), bankChunk.end());
  writeFile(dir.file("bank.fxb"), fxb);

  // The value column starts at 25 (see listParams).
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--program", dir.file("chunk.fxp")},
                                               std::vector<std::string>{"--program", dir.file("params.fxp")},
                                               std::vector<std::string>{"--bank", dir.file("bank.fxb")}}) {
    std::string line = listLine(listWith(args, dir), kFinal);
    EXPECT_EQ(line.substr(25), changed) << args[1];
  }
  EXPECT_NE(defaultLine.substr(25), changed);
}

TEST_F(RealPlugin, TimeInfoItFetchesDescribesTheRunningTransport) {
  constexpr double kTempo = 97.0;
  host.recordTimeInfo(true);
  qrender::MidiFile song;
  std::string error;
  smf::Bytes bytes = smf::file(0, 96, {smf::track({{0, {0x90, 60, 100}}, {192, {0x80, 60, 0}}})});
  ASSERT_TRUE(qrender::parseMidiFile(bytes.data(), bytes.size(), song, error));
  TempDir dir;
  qrender::RenderSettings settings;
  settings.tempo = kTempo;
  settings.numerator = 3;
  settings.denominator = 4;
  settings.tailSeconds = 0.5;
  qrender::RenderResult result;
  ASSERT_TRUE(qrender::renderToFile(host, song, settings, dir.file("out.wav"), result, error)) << error;
  EXPECT_GT(host.timeQueries(), 0);
  for (const VstTimeInfo& ti : host.timeLog()) {
    if (!(ti.flags & kVstTransportPlaying)) continue;  // queries made while the host was stopped
    EXPECT_EQ(ti.tempo, kTempo);
    EXPECT_EQ(std::fmod(ti.samplePos, 512.0), 0.0);  // always the start of a block
    EXPECT_DOUBLE_EQ(ti.ppqPos, ti.samplePos / 48000.0 * kTempo / 60.0);
    EXPECT_DOUBLE_EQ(ti.barStartPos, std::floor(ti.ppqPos / 3.0) * 3.0);
    EXPECT_EQ(ti.timeSigNumerator, 3);
    EXPECT_LT(ti.samplePos, (double)result.frames);
  }
}

}  // namespace
