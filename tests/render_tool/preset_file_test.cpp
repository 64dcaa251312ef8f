// Program and bank files as the host hands them over: chunk forms through effSetChunk with the
// embedded bytes, parameter forms through setParameter, foreign and broken files refused.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_plugin.h"
#include "test_files.h"
#include "tools/quenta_render/preset_file.h"

using qrender::PresetFile;
using Bytes = std::vector<uint8_t>;
using testfiles::bankHeader;
using testfiles::programHeader;
using testfiles::put32;
using testfiles::putFloat;

namespace {

Bytes chunkProgram(const Bytes& chunk, uint32_t id = fake::kUniqueId, const std::string& name = "Glass Pad") {
  Bytes b = programHeader("FPCh", id, 10204, fake::kNumParams, name);
  put32(b, (uint32_t)chunk.size());
  b.insert(b.end(), chunk.begin(), chunk.end());
  return b;
}

Bytes paramProgram(const std::vector<float>& values, const std::string& name, uint32_t id = fake::kUniqueId) {
  Bytes b = programHeader("FxCk", id, 10204, (uint32_t)values.size(), name);
  for (float v : values) putFloat(b, v);
  return b;
}

Bytes chunkBank(const Bytes& chunk, int current, uint32_t id = fake::kUniqueId) {
  Bytes b = bankHeader("FBCh", id, 10204, fake::kNumPrograms, (uint32_t)current);
  put32(b, (uint32_t)chunk.size());
  b.insert(b.end(), chunk.begin(), chunk.end());
  return b;
}

std::vector<float> ramp(int n, float offset) {
  std::vector<float> v((size_t)n);
  for (int i = 0; i < n; ++i) v[(size_t)i] = offset + (float)i / (float)(4 * n);
  return v;
}

class PresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host.attach(fake::entry, error)) << error;
    plugin = fake::last();
    host.open(48000, 512);
  }
  bool apply(const Bytes& bytes, bool bank, std::string& error, bool select = true) {
    PresetFile f;
    return qrender::parsePresetFile(bytes, bank, f, error) && qrender::applyPresetFile(host, f, select, error);
  }
  qrender::PluginHost host;
  fake::Plugin* plugin = nullptr;
};

TEST_F(PresetTest, ProgramChunkGoesToTheCurrentProgramWithItsName) {
  Bytes chunk = {'t', 'f', 'f', 'p', 0, 0, 1, 0, 1, 2, 3, 4, 5};
  std::string error;
  ASSERT_TRUE(apply(chunkProgram(chunk), false, error)) << error;
  ASSERT_EQ(plugin->chunks.size(), 1u);
  EXPECT_EQ(plugin->chunks[0].first, 1);  // a program, not a bank
  EXPECT_EQ(plugin->chunks[0].second, chunk);
  EXPECT_EQ(plugin->programNames, std::vector<std::string>{"Glass Pad"});
  EXPECT_TRUE(plugin->programsSelected.empty());
}

TEST_F(PresetTest, BankChunkSelectsTheBanksProgramUnlessTold) {
  Bytes chunk(300, 7);
  std::string error;
  ASSERT_TRUE(apply(chunkBank(chunk, 2), true, error)) << error;
  ASSERT_EQ(plugin->chunks.size(), 1u);
  EXPECT_EQ(plugin->chunks[0].first, 0);
  EXPECT_EQ(plugin->chunks[0].second, chunk);
  EXPECT_EQ(plugin->programsSelected, std::vector<int>{2});

  ASSERT_TRUE(apply(chunkBank(chunk, 3), true, error, false)) << error;
  EXPECT_EQ(plugin->programsSelected, std::vector<int>{2});  // -p given: left to it
  ASSERT_TRUE(apply(chunkBank(chunk, 99), true, error)) << error;
  EXPECT_EQ(plugin->programsSelected, std::vector<int>{2});  // no such program: not selected
}

TEST_F(PresetTest, ParameterFormsSetEveryParameter) {
  std::vector<float> values = ramp(fake::kNumParams, 0.0f);
  std::string error;
  ASSERT_TRUE(apply(paramProgram(values, "Ramp"), false, error)) << error;
  EXPECT_EQ(plugin->params, values);
  EXPECT_EQ(plugin->programNames, std::vector<std::string>{"Ramp"});

  Bytes bank = bankHeader("FxBk", fake::kUniqueId, 10204, 2, 1);
  Bytes p0 = paramProgram(ramp(fake::kNumParams, 0.5f), "First"), p1 = paramProgram(ramp(fake::kNumParams, 0.25f), "Second");
  bank.insert(bank.end(), p0.begin(), p0.end());
  bank.insert(bank.end(), p1.begin(), p1.end());
  plugin->programNames.clear();
  ASSERT_TRUE(apply(bank, true, error)) << error;
  EXPECT_EQ(plugin->programsSelected, (std::vector<int>{0, 1, 1}));  // each program, then the current one
  EXPECT_EQ(plugin->programNames, (std::vector<std::string>{"First", "Second"}));
  EXPECT_EQ(plugin->params, ramp(fake::kNumParams, 0.25f));
}

TEST_F(PresetTest, ForeignAndMismatchedFilesAreRefused) {
  std::string error;
  EXPECT_FALSE(apply(chunkProgram({1, 2, 3}, VST_FOURCC('q', 'n', 't', 'x')), false, error));
  EXPECT_EQ(error, "foreign program: made for plug-in ID 'qntx', this plug-in is 'fake'");
  EXPECT_FALSE(apply(chunkBank({1, 2, 3}, 0, VST_FOURCC('A', 'b', 'c', 'd')), true, error));
  EXPECT_NE(error.find("foreign bank"), std::string::npos);
  EXPECT_FALSE(apply(paramProgram(ramp(100, 0.0f), "Short"), false, error));
  EXPECT_EQ(error, "program holds 100 parameters, the plug-in has 229");
  EXPECT_FALSE(apply(chunkProgram({1}), true, error));
  EXPECT_EQ(error, "a program file, not a bank (use --program)");
  EXPECT_FALSE(apply(chunkBank({1}, 0), false, error));
  EXPECT_EQ(error, "a bank file, not a program (use --bank)");
  EXPECT_FALSE(apply(chunkProgram({'B', 'A', 'D', '!'}), false, error));
  EXPECT_EQ(error, "the plug-in rejected the program's data");
  EXPECT_TRUE(plugin->programNames.empty());  // nothing renamed after a refusal
}

TEST_F(PresetTest, BrokenFilesNameTheirFault) {
  struct Case {
    const char* what;
    Bytes bytes;
    bool bank;
    const char* message;
  };
  Bytes cutChunk = chunkProgram(Bytes(64, 1));
  cutChunk.resize(cutChunk.size() - 1);
  Bytes cutBank = chunkBank(Bytes(64, 1), 0);
  cutBank.resize(100);
  Bytes cutParams = paramProgram(ramp(fake::kNumParams, 0.0f), "x");
  cutParams.resize(cutParams.size() - 2);
  Bytes unknown = chunkProgram({1});
  std::memcpy(unknown.data() + 8, "FxZz", 4);
  Bytes badBlock = bankHeader("FxBk", fake::kUniqueId, 10204, 1, 0);
  Bytes block = paramProgram(ramp(fake::kNumParams, 0.0f), "x");
  std::memcpy(block.data() + 8, "FPCh", 4);
  badBlock.insert(badBlock.end(), block.begin(), block.end());
  std::vector<Case> cases = {
      {"empty", {}, false, "no CcnK header"},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 't', 'h', 'e', 'r', 'e', '!'}, true, "no CcnK header"},
      {"unknown tag", unknown, false, "unknown file type \"FxZz\""},
      {"cut chunk", cutChunk, false, "chunk is shorter than announced"},
      {"cut bank header", cutBank, true, "truncated bank header"},
      {"empty chunk", chunkProgram({}), false, "holds no program data"},
      {"cut values", cutParams, false, "fewer parameter values"},
      {"missing program", bankHeader("FxBk", fake::kUniqueId, 10204, 1, 0), true, "program 0 is missing"},
      {"bad block", badBlock, true, "program 0 is not a parameter block"},
  };
  for (const Case& c : cases) {
    PresetFile f;
    std::string error;
    EXPECT_FALSE(qrender::parsePresetFile(c.bytes, c.bank, f, error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
  EXPECT_TRUE(plugin->chunks.empty());
}

TEST(PresetFileLoad, UnreadableFileNamesTheReason) {
  PresetFile f;
  std::string error;
  EXPECT_FALSE(qrender::loadPresetFile("/nonexistent/bank.fxb", true, f, error));
  EXPECT_NE(error.find("No such file"), std::string::npos);
  EXPECT_FALSE(qrender::loadPresetFile("/", true, f, error));
}

}  // namespace
