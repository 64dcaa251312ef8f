// Program (.fxp) and bank (.fxb) files: exact headers, round trips, crafted parameter forms,
// files that must be refused without changing anything, and how files are replaced on disk.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/syscall_hooks.h"
#include "test_plug.h"

using namespace plugtest;

namespace {

constexpr size_t kFxpDataOffset = 60;
constexpr size_t kFxbDataOffset = 160;
const Bytes kVersionHeader = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(mDir.Path().empty()); }
  WDL_String Path(const std::string& name) { return WDL_String(mDir.File(name).c_str()); }
  bool Save(TestPlug& plug, const std::string& name, bool bank) {
    WDL_String p = Path(name);
    return bank ? plug.SaveBankAsFXB(&p) : plug.SaveProgramAsFXP(&p);
  }
  bool Load(TestPlug& plug, const std::string& name, bool bank) {
    WDL_String p = Path(name);
    return bank ? plug.LoadBankFromFXB(&p) : plug.LoadProgramFromFXP(&p);
  }
  bool LoadBytes(TestPlug& plug, const Bytes& file, bool bank) {
    EXPECT_TRUE(WriteFile(mDir.File("crafted"), file));
    return Load(plug, "crafted", bank);
  }
  // Loads a file that must be refused and checks that the plug-in is exactly as before.
  void ExpectRefused(TestPlug& plug, const Bytes& file, bool bank, const std::string& what) {
    const PlugSnapshot before = TakeSnapshot(plug);
    const int updates = plug.CountHostCalls(audioMasterUpdateDisplay);
    EXPECT_FALSE(LoadBytes(plug, file, bank)) << what;
    EXPECT_EQ(TakeSnapshot(plug), before) << what;
    EXPECT_EQ(plug.CountHostCalls(audioMasterUpdateDisplay), updates) << what;
  }

  TempDir mDir;
};

TestPlugConfig Recording(bool chunks = true) {
  TestPlugConfig c;
  c.recordHost = true;
  c.chunks = chunks;
  return c;
}

std::vector<float> NormalisedValues(const TestPlug& plug) {
  std::vector<float> v;
  for (int i = 0; i < plug.NParams(); ++i) v.push_back((float)plug.GetParam(i)->GetNormalized());
  return v;
}

std::vector<double> ValuesFromFloats(const std::vector<float>& f) {
  TestPlug p;
  for (int i = 0; i < kNumTestParams && i < (int)f.size(); ++i) p.GetParam(i)->SetNormalized(f[(size_t)i]);
  return p.Values();
}

std::vector<float> Floats(int seed) {
  std::vector<float> f;
  for (int i = 0; i < kNumTestParams; ++i) f.push_back((float)((seed * 7 + i * 3) % 11) / 10.0f);
  return f;
}

// ---- Layouts ----

// The big-endian 32-bit fields of a file at their offsets, and the chunk after the header.
void ExpectFields(const Bytes& f, const std::vector<std::pair<size_t, uint32_t>>& fields, size_t dataOffset,
                  const Bytes& chunk) {
  ASSERT_EQ(f.size(), dataOffset + kVersionHeader.size() + chunk.size());
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), Bytes({'C', 'c', 'n', 'K'}));
  for (auto [offset, value] : fields) EXPECT_EQ(GetBE32(f, offset), value) << "offset " << offset;
  EXPECT_EQ(GetBE32(f, dataOffset - 4), kVersionHeader.size() + chunk.size());
  EXPECT_EQ(Bytes(f.begin() + (long)dataOffset, f.begin() + (long)dataOffset + 8), kVersionHeader);
  EXPECT_EQ(Bytes(f.begin() + (long)dataOffset + 8, f.end()), chunk);
}

TEST_F(Files, ProgramAndBankFileHeadersAreBigEndianAtTheDocumentedOffsets) {
  TestPlug plug;
  FillPresets(plug, 37);
  plug.ModifyCurrentPreset("A program name of more than 28 characters");
  ASSERT_TRUE(Save(plug, "p.fxp", false));
  ASSERT_TRUE(Save(plug, "b.fxb", true));
  ByteChunk state, body;
  plug.SerializeState(&state);
  plug.SerializePresets(&body);
  const uint32_t programChunk = 8 + (uint32_t)state.Size(), bankChunk = 8 + (uint32_t)body.Size();

  const Bytes p = ReadFile(mDir.File("p.fxp"));
  ExpectFields(p,
               {{4, programChunk + 60}, {8, 0x46504368 /* FPCh */}, {12, 1}, {16, (uint32_t)kTestUniqueID},
                {20, (uint32_t)kTestVersionDecimal}, {24, (uint32_t)kNumTestParams}},
               kFxpDataOffset, ChunkBytes(state));
  EXPECT_EQ(p[16], 'T');  // four characters in reading order
  // 28 characters, no terminator.
  EXPECT_EQ(std::string(p.begin() + 28, p.begin() + 56), "A program name of more than ");

  const Bytes b = ReadFile(mDir.File("b.fxb"));
  ExpectFields(b,
               {{4, bankChunk + 160}, {8, 0x46424368 /* FBCh */}, {12, 2}, {16, (uint32_t)kTestUniqueID},
                {20, (uint32_t)kTestVersionDecimal}, {24, (uint32_t)kTestNumPresets}, {28, 37}},
               kFxbDataOffset, ChunkBytes(body));
  EXPECT_EQ(Bytes(b.begin() + 32, b.begin() + 156), Bytes(124, 0));

  // A short name is padded with NULs.
  plug.ModifyCurrentPreset("Pad");
  ASSERT_TRUE(Save(plug, "p.fxp", false));
  const Bytes g = ReadFile(mDir.File("p.fxp"));
  Bytes expected(28, 0);
  std::memcpy(expected.data(), "Pad", 3);
  EXPECT_EQ(Bytes(g.begin() + 28, g.begin() + 56), expected);
}

TEST_F(Files, WithoutChunksTheParameterFormsAreWritten) {
  TestPlugConfig c;
  c.chunks = false;
  c.nPresets = 2;
  TestPlug plug(c);
  FillPresets(plug, 1);
  ASSERT_TRUE(Save(plug, "p.fxp", false));
  ASSERT_TRUE(Save(plug, "b.fxb", true));

  const Bytes p = ReadFile(mDir.File("p.fxp"));
  Bytes expectedProgram = MakeParamProgram(kTestUniqueID, "Program 1", NormalisedValues(plug));
  EXPECT_EQ(p, expectedProgram);

  const Bytes b = ReadFile(mDir.File("b.fxb"));
  TestPlug p0, p1;
  p0.Scramble(0);
  p1.Scramble(1);
  Bytes expectedBank = MakeParamBank(kTestUniqueID, 1,
                                     {MakeParamProgram(kTestUniqueID, "Program 0", NormalisedValues(p0)),
                                      MakeParamProgram(kTestUniqueID, "Program 1", NormalisedValues(p1))});
  EXPECT_EQ(b, expectedBank);
}

TEST_F(Files, ParameterFormBankWritesZeroForValuesMissingFromAShortPreset) {
  TestPlugConfig c;
  c.chunks = false;
  c.nPresets = 1;
  TestPlug plug(c);
  ASSERT_TRUE(plug.RestorePreset(0));
  plug.GetPreset(0)->mChunk.Resize(8 * 2 + 3);  // two values and a fragment
  ASSERT_TRUE(Save(plug, "b.fxb", true));
  const Bytes b = ReadFile(mDir.File("b.fxb"));
  ASSERT_EQ(b.size(), 156u + 56u + 4u * kNumTestParams);
  for (int i = 0; i < kNumTestParams; ++i) {
    uint32_t bits = GetBE32(b, 156 + 56 + 4 * (size_t)i);
    float f;
    std::memcpy(&f, &bits, 4);
    const double stored = i < 2 ? plug.GetParam(i)->Value() : 0.0;  // the live state was captured
    EXPECT_EQ(f, (float)plug.GetParam(i)->GetNormalized(stored)) << i;
  }
}

// ---- Round trips ----

TEST_F(Files, ProgramRoundTripRestoresTheSoundAndRenamesTheCurrentProgram) {
  TestPlug source;
  FillPresets(source, 5);
  source.ModifyCurrentPreset("This name is longer than the field allows");
  ASSERT_TRUE(Save(source, "p.fxp", false));

  TestPlug target(Recording());
  target.EnsureDefaultPreset();
  ASSERT_TRUE(target.RestorePreset(9));
  ASSERT_TRUE(Load(target, "p.fxp", false));
  EXPECT_EQ(target.Values(), source.Values());
  EXPECT_EQ(target.GetCurrentPresetIdx(), 9);
  EXPECT_STREQ(target.GetPresetName(9), "This name is longer than the");
  // The program is stored too.
  ByteChunk state;
  target.SerializeState(&state);
  EXPECT_EQ(ChunkBytes(target.GetPreset(9)->mChunk), ChunkBytes(state));
  EXPECT_EQ(target.CountHostCalls(audioMasterUpdateDisplay), 1);
}

TEST_F(Files, BankRoundTripRestoresAll64NamesAndStatesAndKeepsTheCurrentProgram) {
  TestPlug source;
  FillPresets(source, 21);
  ASSERT_TRUE(Save(source, "b.fxb", true));

  TestPlug target(Recording());
  target.EnsureDefaultPreset();
  target.Scramble(99);
  ASSERT_TRUE(target.RestorePreset(50));
  ASSERT_TRUE(Load(target, "b.fxb", true));
  for (int i = 0; i < kTestNumPresets; ++i) {
    EXPECT_STREQ(target.GetPresetName(i), ProgramName(i).c_str()) << i;
    EXPECT_TRUE(target.GetPreset(i)->mInitialized) << i;
    EXPECT_EQ(ChunkBytes(target.GetPreset(i)->mChunk), ChunkBytes(source.GetPreset(i)->mChunk)) << i;
  }
  EXPECT_EQ(target.GetCurrentPresetIdx(), 50);
  TestPlug expected;
  expected.Scramble(50);
  EXPECT_EQ(target.Values(), expected.Values());
  EXPECT_EQ(target.CountHostCalls(audioMasterUpdateDisplay), 1);
}

TEST_F(Files, ParameterFormsRoundTripWithoutChunks) {
  TestPlugConfig c;
  c.chunks = false;
  TestPlug source(c);
  FillPresets(source, 3);
  ASSERT_TRUE(Save(source, "b.fxb", true));
  ASSERT_TRUE(Save(source, "p.fxp", false));

  TestPlug target(c);
  target.EnsureDefaultPreset();
  ASSERT_TRUE(Load(target, "b.fxb", true));
  // The file's current program becomes current.
  EXPECT_EQ(target.GetCurrentPresetIdx(), 3);
  for (int i = 0; i < kTestNumPresets; ++i) {
    EXPECT_STREQ(target.GetPresetName(i), ProgramName(i).c_str()) << i;
    ASSERT_TRUE(target.RestorePreset(i));
    TestPlug s;
    s.Scramble(i);
    EXPECT_EQ(target.Values(), ValuesFromFloats(NormalisedValues(s))) << i;
  }

  ASSERT_TRUE(target.RestorePreset(10));
  ASSERT_TRUE(Load(target, "p.fxp", false));
  EXPECT_STREQ(target.GetPresetName(10), "Program 3");
  EXPECT_EQ(target.Values(), ValuesFromFloats(NormalisedValues(source)));
}

// ---- Crafted files ----

TEST_F(Files, CraftedParameterFormProgramIsReadByAChunkPlugIn) {
  TestPlug plug(Recording());
  plug.EnsureDefaultPreset();
  ASSERT_TRUE(plug.RestorePreset(4));
  const std::vector<float> f = Floats(1);
  ASSERT_TRUE(LoadBytes(plug, MakeParamProgram(kTestUniqueID, "Crafted", f), false));
  EXPECT_EQ(plug.Values(), ValuesFromFloats(f));
  EXPECT_STREQ(plug.GetPresetName(4), "Crafted");
  EXPECT_EQ(plug.CountHostCalls(audioMasterUpdateDisplay), 1);

  // Parameters the file has no value for keep theirs.
  const std::vector<double> before = plug.Values();
  ASSERT_TRUE(LoadBytes(plug, MakeParamProgram(kTestUniqueID, "Short", {1.0f, 0.0f}), false));
  EXPECT_EQ(plug.GetParam(kParamSwitch)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(kParamMode)->Value(), 0.0);
  for (int i = kParamSteps; i < kNumTestParams; ++i) EXPECT_EQ(plug.GetParam(i)->Value(), before[(size_t)i]) << i;
}

TEST_F(Files, CraftedChunkProgramWithoutVersionHeaderIsReadFromOffset60) {
  TestPlug source;
  source.Scramble(6);
  ByteChunk state;
  source.SerializeState(&state);
  Bytes f;
  PutTag(f, "CcnK");
  PutBE32(f, 60 + (uint32_t)state.Size());
  PutTag(f, "FPCh");
  PutBE32(f, 1);
  PutBE32(f, kTestUniqueID);
  PutBE32(f, 1);
  PutBE32(f, 0);  // parameter count: not checked
  PutFxName(f, "Bare");
  PutBE32(f, (uint32_t)state.Size());
  const Bytes s = ChunkBytes(state);
  f.insert(f.end(), s.begin(), s.end());

  TestPlug target;
  target.EnsureDefaultPreset();
  ASSERT_TRUE(LoadBytes(target, f, false));
  EXPECT_EQ(target.Values(), source.Values());
  EXPECT_STREQ(target.GetPresetName(0), "Bare");
}

TEST_F(Files, CraftedParameterFormBank) {
  TestPlug plug(Recording());
  plug.EnsureDefaultPreset();
  std::vector<Bytes> programs;
  for (int p = 0; p < 3; ++p) programs.push_back(MakeParamProgram(kTestUniqueID, "Bank " + std::to_string(p), Floats(p)));
  ASSERT_TRUE(LoadBytes(plug, MakeParamBank(kTestUniqueID, 2, programs), true));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
  EXPECT_EQ(plug.Values(), ValuesFromFloats(Floats(2)));
  for (int p = 0; p < 3; ++p) {
    EXPECT_STREQ(plug.GetPresetName(p), ("Bank " + std::to_string(p)).c_str());
    ASSERT_TRUE(plug.RestorePreset(p));
    EXPECT_EQ(plug.Values(), ValuesFromFloats(Floats(p))) << p;
  }
  EXPECT_STREQ(plug.GetPresetName(3), "Empty");  // beyond the file's programs
  EXPECT_EQ(plug.CountHostCalls(audioMasterUpdateDisplay), 1);
}

TEST_F(Files, FormatVersions) {
  TestPlug source;
  FillPresets(source, 0);
  ASSERT_TRUE(Save(source, "p.fxp", false));
  ASSERT_TRUE(Save(source, "b.fxb", true));

  TestPlug plug(Recording());
  plug.EnsureDefaultPreset();
  Bytes program = ReadFile(mDir.File("p.fxp"));
  SetBE32(program, 12, 2);
  ExpectRefused(plug, program, false, "program version 2");

  // The bank's format version is not checked: 1 is accepted, in both forms.
  Bytes bank = ReadFile(mDir.File("b.fxb"));
  SetBE32(bank, 12, 1);
  EXPECT_TRUE(LoadBytes(plug, bank, true));
  EXPECT_STREQ(plug.GetPresetName(63), "Program 63");
  Bytes paramBank = MakeParamBank(kTestUniqueID, 0, {MakeParamProgram(kTestUniqueID, "V1", Floats(3))});
  SetBE32(paramBank, 12, 1);
  EXPECT_TRUE(LoadBytes(plug, paramBank, true));
  EXPECT_STREQ(plug.GetPresetName(0), "V1");
}

// ---- Files that are refused ----

TEST_F(Files, AnotherPlugInsFilesAreRefusedWithNothingChanged) {
  TestPlugConfig oc;
  oc.uniqueID = kOtherUniqueID;
  TestPlug other(oc);
  FillPresets(other, 1);
  ASSERT_TRUE(Save(other, "o.fxp", false));
  ASSERT_TRUE(Save(other, "o.fxb", true));

  TestPlug plug(Recording());
  FillPresets(plug, 7);
  plug.Scramble(31);
  ExpectRefused(plug, ReadFile(mDir.File("o.fxp")), false, "chunk program");
  ExpectRefused(plug, ReadFile(mDir.File("o.fxb")), true, "chunk bank");
  ExpectRefused(plug, MakeParamProgram(kOtherUniqueID, "x", Floats(1)), false, "param program");
  ExpectRefused(plug, MakeParamBank(kOtherUniqueID, 0, {MakeParamProgram(kOtherUniqueID, "x", Floats(1))}), true,
                "param bank");
}

TEST_F(Files, TruncatedFilesAreRefusedWithPresetsAndSoundUnchanged) {
  TestPlug source;
  FillPresets(source, 0);
  ASSERT_TRUE(Save(source, "p.fxp", false));
  ASSERT_TRUE(Save(source, "b.fxb", true));
  TestPlug plug(Recording());
  FillPresets(plug, 40);
  plug.GetPreset(40)->SetName("Current");
  plug.Scramble(17);  // live edits not stored in any preset
  for (bool bank : {false, true}) {
    const Bytes full = ReadFile(mDir.File(bank ? "b.fxb" : "p.fxp"));
    // Cuts in the header, in the first preset, and (banks) halfway through the presets: there
    // half the bank has been read before the failure and must be put back.
    const std::vector<size_t> cuts =
        bank ? std::vector<size_t>{19, 100, 155, 159, 160, 170, 200, full.size() / 2, full.size() - 1}
             : std::vector<size_t>{0, 10, 55, 56, 59, 60, 64, 68, 69, full.size() - 1};
    for (size_t cut : cuts)
      ExpectRefused(plug, Bytes(full.begin(), full.begin() + (long)cut), bank, "cut at " + std::to_string(cut));
  }
}

TEST_F(Files, BrokenParameterFormBanksAreRefusedWithNothingChanged) {
  TestPlug plug(Recording());
  FillPresets(plug, 4);
  plug.Scramble(23);
  const Bytes good = MakeParamProgram(kTestUniqueID, "Good", Floats(1));
  auto bankWithSecond = [&](const Bytes& second) { return MakeParamBank(kTestUniqueID, 0, {good, second, good}); };

  Bytes wrongMagic = good;
  wrongMagic[0] = 'X';
  Bytes wrongTag = good;
  std::memcpy(&wrongTag[8], "FPCh", 4);
  Bytes wrongVersion = good;
  SetBE32(wrongVersion, 12, 2);
  Bytes wrongCount = MakeParamProgram(kTestUniqueID, "Few", {0.5f, 0.5f});
  ExpectRefused(plug, bankWithSecond(wrongMagic), true, "block magic");
  ExpectRefused(plug, bankWithSecond(wrongTag), true, "block tag");
  ExpectRefused(plug, bankWithSecond(wrongVersion), true, "block version");
  ExpectRefused(plug, bankWithSecond(wrongCount), true, "parameter count");
  const Bytes full = bankWithSecond(good);
  ExpectRefused(plug, Bytes(full.begin(), full.end() - 1), true, "last block cut");
  ExpectRefused(plug, Bytes(full.begin(), full.begin() + 156 + 30), true, "first block cut");
}

TEST_F(Files, OtherHostileFiles) {
  TestPlug plug(Recording());
  FillPresets(plug, 1);

  Bytes unknownTag = MakeParamProgram(kTestUniqueID, "x", Floats(0));
  std::memcpy(&unknownTag[8], "XXXX", 4);
  ExpectRefused(plug, unknownTag, false, "unknown program tag");
  Bytes unknownBankTag = MakeParamBank(kTestUniqueID, 0, {});
  std::memcpy(&unknownBankTag[8], "FxCk", 4);
  ExpectRefused(plug, unknownBankTag, true, "unknown bank tag");
  Bytes badMagic = MakeParamProgram(kTestUniqueID, "x", Floats(0));
  badMagic[3] = 'k';
  ExpectRefused(plug, badMagic, false, "bad magic");

  // A bank chunk whose body lies about a name length.
  TestPlug source;
  FillPresets(source, 0);
  ASSERT_TRUE(Save(source, "b.fxb", true));
  Bytes lying = ReadFile(mDir.File("b.fxb"));
  const int32_t huge = 0x7ffffff0, negative = -100;
  std::memcpy(&lying[168], &huge, 4);
  ExpectRefused(plug, lying, true, "huge name length");
  std::memcpy(&lying[168], &negative, 4);
  ExpectRefused(plug, lying, true, "negative name length");

  // Chunk forms mean nothing to a plug-in without chunks.
  TestPlugConfig nc = Recording(false);
  TestPlug noChunks(nc);
  FillPresets(noChunks, 0);
  ASSERT_TRUE(Save(plug, "c.fxp", false));
  ExpectRefused(noChunks, ReadFile(mDir.File("c.fxp")), false, "FPCh without chunks");
  ExpectRefused(noChunks, ReadFile(mDir.File("b.fxb")), true, "bank chunk without chunks");

  // Paths that name nothing readable.
  WDL_String empty(""), missing(mDir.File("missing.fxp").c_str()), folder(mDir.Path().c_str());
  EXPECT_FALSE(plug.LoadProgramFromFXP(&empty));
  EXPECT_FALSE(plug.LoadBankFromFXB(&empty));
  EXPECT_FALSE(plug.LoadProgramFromFXP(&missing));
  EXPECT_FALSE(plug.LoadBankFromFXB(&missing));
  EXPECT_FALSE(plug.LoadProgramFromFXP(&folder));
  EXPECT_FALSE(plug.LoadBankFromFXB(&folder));
  EXPECT_FALSE(plug.SaveProgramAsFXP(&empty));
  EXPECT_FALSE(plug.SaveBankAsFXB(&empty));
}

// ---- Writing ----

// The calls recorded, with the temporary file named "<tmp>" and the folder "<dir>".
std::string Calls(const std::string& dir) {
  std::string calls = syscall_hooks::End();
  auto replace = [&calls](const std::string& from, const std::string& end, const std::string& to) {
    for (size_t at; (at = calls.find(from)) != std::string::npos;)
      calls.replace(at, calls.find(end, at) + end.size() - at, to);
  };
  replace(".quenta-", ".tmp", "<tmp>");
  replace(dir.substr(dir.rfind('/') + 1), ";", "<dir>;");
  return calls;
}

TEST_F(Files, ASaveFlushesTheNewFileBeforeRenamingItOverTheOldOne) {
  TestPlug plug;
  plug.EnsureDefaultPreset();
  for (const std::string name : {"keep.fxp", "keep.fxb"}) {
    const std::string target = mDir.File(name);
    ASSERT_TRUE(WriteFile(target, Bytes(5000, 0xAB)));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    syscall_hooks::Begin();
    ASSERT_TRUE(Save(plug, name, name == "keep.fxb"));
    EXPECT_EQ(Calls(mDir.Path()), "open <tmp>; write <tmp>; fsync <tmp>; rename <tmp> " + name +
                                      "; open <dir>; fsync <dir>; ");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(mDir.Entries(), std::vector<std::string>({"keep.fxb", "keep.fxp"}));
}

TEST_F(Files, ASaveThroughALinkReplacesTheFileTheLinkNames) {
  TestPlug plug;
  plug.EnsureDefaultPreset();
  ASSERT_EQ(mkdir(mDir.File("real").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFile(mDir.File("real/p.fxp"), {1, 2, 3}));
  ASSERT_EQ(symlink("real/p.fxp", mDir.File("link.fxp").c_str()), 0);
  ASSERT_EQ(symlink("link.fxp", mDir.File("chain.fxp").c_str()), 0);
  ASSERT_EQ(symlink("real/new.fxb", mDir.File("dangling.fxb").c_str()), 0);
  ASSERT_TRUE(Save(plug, "chain.fxp", false));
  ASSERT_TRUE(Save(plug, "dangling.fxb", true));
  ASSERT_TRUE(Save(plug, "plain.fxp", false));
  ASSERT_TRUE(Save(plug, "plain.fxb", true));
  EXPECT_EQ(ReadFile(mDir.File("real/p.fxp")), ReadFile(mDir.File("plain.fxp")));
  EXPECT_EQ(ReadFile(mDir.File("real/new.fxb")), ReadFile(mDir.File("plain.fxb")));
  for (const char* link : {"link.fxp", "chain.fxp", "dangling.fxb"})
    EXPECT_TRUE(std::filesystem::is_symlink(mDir.File(link))) << link;
  EXPECT_EQ(mDir.Entries(),
            std::vector<std::string>({"chain.fxp", "dangling.fxb", "link.fxp", "plain.fxb", "plain.fxp", "real"}));
}

TEST_F(Files, PermissionsDecideBetweenReplacingWritingInPlaceAndRefusing) {
  // Denied through the hooks too, so that they bind the superuser as well.
  TestPlug plug;
  plug.EnsureDefaultPreset();
  ASSERT_TRUE(Save(plug, "plain.fxp", false));
  const std::string readOnly = mDir.File("read-only.fxp"), writable = mDir.File("writable.fxp");
  ASSERT_TRUE(WriteFile(readOnly, {1, 2, 3}));
  ASSERT_TRUE(WriteFile(writable, Bytes(5000, 0xAB)));
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  syscall_hooks::DenyWrite(readOnly);
  EXPECT_FALSE(Save(plug, "read-only.fxp", false));
  EXPECT_EQ(ReadFile(readOnly), Bytes({1, 2, 3}));

  // A folder that takes no new files: a file that may be written is written in place.
  struct stat before, after;
  ASSERT_EQ(stat(writable.c_str(), &before), 0);
  ASSERT_EQ(chmod(mDir.Path().c_str(), 0555), 0);
  syscall_hooks::DenyWrite(mDir.Path());
  const bool inPlace = Save(plug, "writable.fxp", false), created = Save(plug, "new.fxp", false);
  syscall_hooks::AllowAll();
  ASSERT_EQ(chmod(mDir.Path().c_str(), 0755), 0);
  EXPECT_TRUE(inPlace);
  EXPECT_FALSE(created);
  ASSERT_EQ(stat(writable.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadFile(writable), ReadFile(mDir.File("plain.fxp")));

  // Nothing that is not a plain file is replaced; a missing folder is not made.
  ASSERT_EQ(mkdir(mDir.File("folder.fxp").c_str(), 0755), 0);
  EXPECT_FALSE(Save(plug, "folder.fxp", false));
  EXPECT_FALSE(Save(plug, "no/such/folder.fxb", true));
  EXPECT_EQ(mDir.Entries(), std::vector<std::string>({"folder.fxp", "plain.fxp", "read-only.fxp", "writable.fxp"}));
}

TEST_F(Files, AFailedSaveLeavesTheOldFileIntact) {
  // Guards the atomic save: a write that fails part way must not have destroyed the file that
  // was there. A file size limit makes the write fail for any user, root included.
  TestPlug plug;
  plug.EnsureDefaultPreset();
  const std::string target = mDir.File("old.fxb");
  const Bytes old(300, 0x5A);
  ASSERT_TRUE(WriteFile(target, old));
  struct rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit small = before;
  small.rlim_cur = 100;  // smaller than any program or bank of the test plug-in
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  WDL_String path(target.c_str());
  const bool bankSaved = plug.SaveBankAsFXB(&path), programSaved = plug.SaveProgramAsFXP(&path);
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(bankSaved);
  EXPECT_FALSE(programSaved);
  EXPECT_EQ(ReadFile(target), old);
  EXPECT_EQ(mDir.Entries(), std::vector<std::string>({"old.fxb"}));  // no temporary file left
}

}  // namespace
