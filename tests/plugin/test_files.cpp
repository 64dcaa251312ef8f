// Program (.fxp) and bank (.fxb) files and the bank body: exact headers, round trips, another
// host's parameter-form program, refused files changing nothing, how a file is replaced.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "instrument/params.h"
#include "instrument/quenta.h"
#include "support/syscall_hooks.h"
#include "support/test_files.h"

namespace quenta_test {
namespace {

using Plug = std::unique_ptr<Quenta>;

Plug Make() {
  Plug p(static_cast<Quenta*>(MakePlug(IPlugInstanceInfo{})));
  p->EnsureDefaultPreset();
  return p;
}

std::string Bytes(const ByteChunk& c) {
  return std::string((const char*)c.GetBytes(), (size_t)c.Size());
}
std::string State(Quenta& q) {
  ByteChunk c;
  q.SerializeState(&c);
  return Bytes(c);
}
std::vector<double> Values(const Quenta& q) {
  std::vector<double> v;
  for (int i = 0; i < q.NParams(); ++i) v.push_back(q.GetParam(i)->Value());
  return v;
}

// Program p gets "Final" at (p + 1) / 100 and "Cutoff" of Block A at p / 64, and the name
// "Program p"; program `current` is left current.
void Fill(Quenta& q, int current) {
  for (int p = 0; p < q.NPresets(); ++p) {
    q.RestorePreset(p);
    q.GetParam(kFinal)->Set((p + 1) / 100.0);
    q.GetParam(BlockParam(kBlockA, kCutoff))->Set(p / 64.0);
    q.ModifyCurrentPreset(("Program " + std::to_string(p)).c_str());
  }
  q.RestorePreset(current);
}

// Everything a program or bank load may change: every program's name, flag and state, the
// current program's number and the live values.
std::string Take(Quenta& q) {
  ByteChunk c;
  q.SerializePresets(&c);
  const std::vector<double> v = Values(q);
  return Bytes(c) + std::to_string(q.GetCurrentPresetIdx()) +
         std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(double));
}

// A parameter-form program ("FxCk"), as hosts without chunk support write it.
std::string ParamProgram(uint32_t id, const std::string& name, const std::vector<float>& values) {
  std::string b = "CcnK";
  PutBE32(b, uint32_t(48 + 4 * values.size()));
  b += "FxCk";
  for (uint32_t v : {1u, id, 1u, (uint32_t)values.size()}) PutBE32(b, v);
  b += name.substr(0, 28) + std::string(28 - std::min<size_t>(28, name.size()), '\0');
  for (float f : values) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutBE32(b, bits);
  }
  return b;
}

class Files : public ::testing::Test {
 protected:
  bool Save(Quenta& q, const std::string& name, bool bank) {
    WDL_String p(dir.File(name).c_str());
    return bank ? q.SaveBankAsFXB(&p) : q.SaveProgramAsFXP(&p);
  }
  bool Load(Quenta& q, const std::string& name, bool bank) {
    WDL_String p(dir.File(name).c_str());
    return bank ? q.LoadBankFromFXB(&p) : q.LoadProgramFromFXP(&p);
  }
  bool LoadBytes(Quenta& q, const std::string& file, bool bank) {
    EXPECT_TRUE(WriteFile(dir.File("crafted"), file));
    return Load(q, "crafted", bank);
  }
  void ExpectRefused(Quenta& q, const std::string& file, bool bank, const std::string& what) {
    const std::string before = Take(q);
    EXPECT_FALSE(LoadBytes(q, file, bank)) << what;
    EXPECT_TRUE(Take(q) == before) << what;
  }
  TempDir dir;
};

TEST_F(Files, HeadersAreBigEndianAtTheirOffsetsAndCarryTheChunk) {
  Plug q = Make();
  Fill(*q, 37);
  q->ModifyCurrentPreset("A program name of more than 28 characters");
  ASSERT_TRUE(Save(*q, "p.fxp", false));
  ASSERT_TRUE(Save(*q, "b.fxb", true));
  ByteChunk body;
  q->SerializePresets(&body);
  const std::string header("tffp\0\0\1\0", 8), state = State(*q);

  // Big-endian fields: magic, byte count, form, format version, identifier, version, then the
  // parameter count and name, or the program count, current program and 124 zero bytes.
  const std::string p = ReadFile(dir.File("p.fxp")), b = ReadFile(dir.File("b.fxb"));
  std::string fxp = "CcnK", fxb = "CcnK";
  PutBE32(fxp, uint32_t(p.size()));
  PutBE32(fxb, uint32_t(b.size()));
  fxp += "FPCh";
  fxb += "FBCh";
  for (uint32_t v : {1u, 0x716E7461u, 10204u, 229u}) PutBE32(fxp, v);
  for (uint32_t v : {2u, 0x716E7461u, 10204u, 64u, 37u}) PutBE32(fxb, v);
  fxp += "A program name of more than ";
  fxb += std::string(124, '\0');
  PutBE32(fxp, uint32_t(8 + state.size()));
  PutBE32(fxb, uint32_t(8 + body.Size()));
  EXPECT_EQ(p, fxp + header + state);
  EXPECT_EQ(b, fxb + header + Bytes(body));
}

TEST_F(Files, RoundTripsRestoreSoundNamesAndStates) {
  Plug source = Make();
  Fill(*source, 21);
  ASSERT_TRUE(Save(*source, "p.fxp", false));
  ASSERT_TRUE(Save(*source, "b.fxb", true));

  // A program goes into the current program, which takes its name.
  Plug target = Make();
  target->RestorePreset(9);
  ASSERT_TRUE(Load(*target, "p.fxp", false));
  EXPECT_EQ(Values(*target), Values(*source));
  EXPECT_STREQ(target->GetPresetName(9), "Program 21");
  EXPECT_EQ(Bytes(target->GetPreset(9)->mChunk), State(*target));

  // A bank replaces every program and keeps the current one's number.
  target->RestorePreset(50);
  ASSERT_TRUE(Load(*target, "b.fxb", true));
  EXPECT_EQ(target->GetCurrentPresetIdx(), 50);
  EXPECT_EQ(target->GetParam(kFinal)->Value(), 0.51);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(target->GetPresetName(i), "Program " + std::to_string(i));
    ASSERT_TRUE(target->RestorePreset(i));
    EXPECT_EQ(target->GetParam(kFinal)->Value(), (i + 1) / 100.0) << i;
  }
}

TEST_F(Files, AParameterFormProgramSetsEveryValueItHas) {
  Plug q = Make();
  std::vector<float> f(229, 0.0f);
  f[kFinal] = 0.25f;
  f[BlockParam(kBlockB, kCutoff)] = 0.75f;
  ASSERT_TRUE(LoadBytes(*q, ParamProgram(0x716E7461, "Crafted", f), false));
  EXPECT_EQ(q->GetParam(kFinal)->GetNormalized(), 0.25);
  EXPECT_EQ(q->GetParam(BlockParam(kBlockB, kCutoff))->GetNormalized(), 0.75);
  EXPECT_STREQ(q->GetPresetName(0), "Crafted");
  // Parameters the file has no value for keep theirs.
  const double before = q->GetParam(kFinal)->Value();
  ASSERT_TRUE(LoadBytes(*q, ParamProgram(0x716E7461, "Short", {1.0f}), false));
  EXPECT_EQ(q->GetParam(kFinal)->Value(), before);
}

TEST_F(Files, RefusedFilesChangeNothing) {
  Plug source = Make();
  Fill(*source, 0);
  ASSERT_TRUE(Save(*source, "p.fxp", false));
  ASSERT_TRUE(Save(*source, "b.fxb", true));
  const std::string program = ReadFile(dir.File("p.fxp")), bank = ReadFile(dir.File("b.fxb"));
  Plug q = Make();
  Fill(*q, 40);
  q->GetParam(kFinal)->Set(0.9);  // a live edit stored in no program

  // Cuts in the header, the state and (banks) halfway through the programs, where half the bank
  // was read before the failure and must be put back.
  for (size_t cut : {0, 10, 55, 59, 60, 69, 200})
    ExpectRefused(*q, program.substr(0, cut), false, "program cut at " + std::to_string(cut));
  ExpectRefused(*q, program.substr(0, program.size() - 1), false, "program one byte short");
  for (size_t cut : {19, 155, 160, 170, 200})
    ExpectRefused(*q, bank.substr(0, cut), true, "bank cut at " + std::to_string(cut));
  ExpectRefused(*q, bank.substr(0, bank.size() / 2), true, "bank cut halfway");

  auto with = [](std::string f, size_t at, uint32_t v) {
    SetBE32(f, at, v);
    return f;
  };
  ExpectRefused(*q, with(program, 16, 0x4F746872), false, "another plug-in's program");
  ExpectRefused(*q, with(bank, 16, 0x4F746872), true, "another plug-in's bank");
  ExpectRefused(*q, ParamProgram(0x4F746872, "x", {0.5f}), false, "another plug-in's parameters");
  ExpectRefused(*q, with(program, 12, 2), false, "program format 2");
  ExpectRefused(*q, with(program, 8, 0x58585858), false, "unknown program form");
  ExpectRefused(*q, with(bank, 8, 0x46784B63), true, "program form in a bank");
  ExpectRefused(*q, with(program, 0, 0x43636E4C), false, "bad magic");
  // The first program's name length inside the bank body lies.
  ExpectRefused(*q, with(bank, 168, 0xF0FFFF7F), true, "huge name length");
  ExpectRefused(*q, with(bank, 168, 0x9CFFFFFF), true, "negative name length");

  WDL_String empty(""), missing(dir.File("missing.fxp").c_str()), folder(dir.Path().c_str());
  for (WDL_String* p : {&empty, &missing, &folder}) {
    EXPECT_FALSE(q->LoadProgramFromFXP(p)) << p->Get();
    EXPECT_FALSE(q->LoadBankFromFXB(p)) << p->Get();
  }
  EXPECT_FALSE(q->SaveProgramAsFXP(&empty));
  EXPECT_FALSE(q->SaveBankAsFXB(&empty));
}

// The bank body: empty names take the name before them; a body cut short keeps what was read,
// puts the rest back as it was, and leaves no program that can no longer be selected.
TEST_F(Files, BankBodiesCutShortOrWithEmptyNames) {
  Plug source = Make();
  Fill(*source, 0);
  source->GetPreset(1)->SetName("");
  ByteChunk body;
  source->SerializePresets(&body);
  Plug q = Make();
  ASSERT_EQ(q->UnserializePresets(&body, 0), body.Size());
  EXPECT_STREQ(q->GetPresetName(1), "Program 0");

  const std::string full = Bytes(body);
  const size_t record = 4 + 9 + 1 + State(*source).size();  // name length, "Program 0", flag, state
  for (size_t cut : {3 * record + 2, 3 * record + 6, 3 * record + 13, 3 * record + 13 + 20}) {
    Plug target = Make();
    Fill(*target, 5);
    for (int i = 0; i < 64; ++i) target->GetPreset(i)->SetName("Old");

    ByteChunk part;
    part.PutBytes(full.data(), int(cut));
    EXPECT_EQ(target->UnserializePresets(&part, 0), -1) << cut;
    EXPECT_STREQ(target->GetPresetName(2), "Program 2") << cut;
    for (int i = 4; i < 64; ++i) EXPECT_STREQ(target->GetPresetName(i), "Old") << cut;
    for (int i = 0; i < 64; ++i) EXPECT_TRUE(target->RestorePreset(i)) << cut << " program " << i;
    ASSERT_TRUE(target->RestorePreset(2));
    EXPECT_EQ(target->GetParam(kFinal)->Value(), 0.03) << cut;
  }
}

// Guards CompareState against comparing through a float: values of a few thousand then never
// matched their own stored copies.
TEST_F(Files, StoredValuesCompareEqualToTheLiveOnesWithinTheirTolerance) {
  Plug q = Make();
  const int coarse = BlockParam(kBlockA, kCoarse);
  q->GetParam(coarse)->Set(-765.4321);
  ByteChunk c;
  c.PutBytes("xy", 2);
  q->SerializeParams(&c);
  EXPECT_TRUE(q->CompareState(c.GetBytes(), 2));
  unsigned char* at = c.GetBytes() + 2 + 8 * coarse;  // not aligned: copied, not cast
  for (auto [nudge, equal] : {std::pair{2e-6, true}, std::pair{1e-3, false}}) {
    const double v = -765.4321 + nudge;
    std::memcpy(at, &v, 8);
    EXPECT_EQ(q->CompareState(c.GetBytes(), 2), equal) << nudge;
  }
}

// Some hosts hand the plug-in's own chunk straight back, without copying it first: it is read
// before the buffer it lives in is written again.
TEST_F(Files, AHostMayHandBackTheChunkBufferItWasLent) {
  Plug q = Make();
  Fill(*q, 3);
  auto namesAndValues = [&q] {
    std::vector<std::string> names;
    for (int i = 0; i < q->NPresets(); ++i) names.push_back(q->GetPresetName(i));
    return std::make_pair(names, Values(*q));
  };
  const auto before = namesAndValues();
  AEffect* e = q->GetAEffect();
  for (VstInt32 idx : {1, 0}) {
    void* data = nullptr;
    const VstIntPtr size = e->dispatcher(e, effGetChunk, idx, 0, &data, 0.0f);
    ASSERT_GT(size, 0) << idx;
    EXPECT_EQ(e->dispatcher(e, effSetChunk, idx, size, data, 0.0f), 1) << idx;
    EXPECT_TRUE(namesAndValues() == before) << idx;
  }
}

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

TEST_F(Files, ASaveFlushesTheNewFileBeforeRenamingItAndKeepsThePermissions) {
  Plug q = Make();
  for (const std::string name : {"keep.fxp", "keep.fxb"}) {
    const std::string target = dir.File(name);
    ASSERT_TRUE(WriteFile(target, std::string(5000, 'x')));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    syscall_hooks::Begin();
    ASSERT_TRUE(Save(*q, name, name == "keep.fxb"));
    EXPECT_EQ(Calls(dir.Path()), "open <tmp>; write <tmp>; fsync <tmp>; rename <tmp> " + name +
                                     "; open <dir>; fsync <dir>; ");
    EXPECT_EQ(Mode(target), 0640u);
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"keep.fxb", "keep.fxp"}));
}

TEST_F(Files, ASaveThroughALinkReplacesTheFileTheLinkNames) {
  Plug q = Make();
  ASSERT_EQ(mkdir(dir.File("real").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFile(dir.File("real/p.fxp"), "old"));
  ASSERT_EQ(symlink("real/p.fxp", dir.File("link.fxp").c_str()), 0);
  ASSERT_EQ(symlink("link.fxp", dir.File("chain.fxp").c_str()), 0);
  ASSERT_EQ(symlink("real/new.fxb", dir.File("dangling.fxb").c_str()), 0);
  ASSERT_TRUE(Save(*q, "chain.fxp", false));
  ASSERT_TRUE(Save(*q, "dangling.fxb", true));
  ASSERT_TRUE(Save(*q, "plain.fxp", false));
  ASSERT_TRUE(Save(*q, "plain.fxb", true));
  EXPECT_EQ(ReadFile(dir.File("real/p.fxp")), ReadFile(dir.File("plain.fxp")));
  EXPECT_EQ(ReadFile(dir.File("real/new.fxb")), ReadFile(dir.File("plain.fxb")));
  for (const char* link : {"link.fxp", "chain.fxp", "dangling.fxb"})
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File(link))) << link;
}

TEST_F(Files, PermissionsDecideBetweenReplacingWritingInPlaceAndRefusing) {
  // Denied through the hooks too, so that they bind the superuser as well.
  Plug q = Make();
  ASSERT_TRUE(Save(*q, "plain.fxp", false));
  const std::string readOnly = dir.File("read-only.fxp"), writable = dir.File("writable.fxp");
  ASSERT_TRUE(WriteFile(readOnly, "old"));
  ASSERT_TRUE(WriteFile(writable, std::string(5000, 'x')));
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  syscall_hooks::DenyWrite(readOnly);
  EXPECT_FALSE(Save(*q, "read-only.fxp", false));
  EXPECT_EQ(ReadFile(readOnly), "old");

  // A folder that takes no new files: a file that may be written is written in place.
  struct stat before, after;
  ASSERT_EQ(stat(writable.c_str(), &before), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
  syscall_hooks::DenyWrite(dir.Path());
  const bool inPlace = Save(*q, "writable.fxp", false), created = Save(*q, "new.fxp", false);
  syscall_hooks::AllowAll();
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  EXPECT_TRUE(inPlace);
  EXPECT_FALSE(created);
  ASSERT_EQ(stat(writable.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadFile(writable), ReadFile(dir.File("plain.fxp")));

  // Nothing that is not a plain file is replaced; a missing folder is not made.
  ASSERT_EQ(mkdir(dir.File("folder.fxp").c_str(), 0755), 0);
  EXPECT_FALSE(Save(*q, "folder.fxp", false));
  EXPECT_FALSE(Save(*q, "no/such/folder.fxb", true));
  EXPECT_EQ(dir.Entries(),
            std::vector<std::string>({"folder.fxp", "plain.fxp", "read-only.fxp", "writable.fxp"}));
}

TEST_F(Files, AFailedSaveLeavesTheOldFileIntact) {
  // A file size limit makes the write fail for any user, root included.
  Plug q = Make();
  const std::string target = dir.File("old.fxb"), old(300, 'Z');
  ASSERT_TRUE(WriteFile(target, old));
  struct rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit small = before;
  small.rlim_cur = 100;  // smaller than any program or bank
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  WDL_String path(target.c_str());
  const bool bankSaved = q->SaveBankAsFXB(&path), programSaved = q->SaveProgramAsFXP(&path);
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(bankSaved);
  EXPECT_FALSE(programSaved);
  EXPECT_EQ(ReadFile(target), old);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>({"old.fxb"}));  // no temporary file left
}

}  // namespace
}  // namespace quenta_test
