// The configuration file: made on first use, read at construction and on request, written by
// the save commands, and the start-up bank entry with its checks.
#include <sys/stat.h>

#include <filesystem>

#include "configfile_fixture.h"
#include "support/test_host.h"

using namespace quenta_test;

TEST(ConfigFolder, LoadingThePlugInWithAFreshHomeCreatesAnEmptyConfigurationFile) {
  FreshHome home;
  ASSERT_FALSE(std::filesystem::exists(home.Path() + "/.config"));
  const mode_t maskBefore = umask(027);
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  EXPECT_EQ(ReadFile(home.Ini()), "");
  EXPECT_TRUE(std::filesystem::is_regular_file(home.Ini()));
  // The maker's folder gets its own permissions, the user's folder above it those of the
  // mask; the process keeps its mask.
  EXPECT_EQ(Mode(home.Folder()), 0774u);
  EXPECT_EQ(Mode(home.Path() + "/.config"), 0750u);
  EXPECT_EQ(umask(maskBefore), 027u);
}

// Both paths are read whole (the program folder was once cut to 64 characters) up to the same
// limit. The start-up bank does not exist, so construction forgot it; loadConfig reads it.
TEST(LoadConfig, BothPathsAreReadWholeUpToTheSameLimit) {
  FreshHome home;
  home.WriteIni("[Global]\nPath to Program Files=" + std::string(1500, 'f') +
                "\n[Startup Bank]\nFile=" + std::string(1500, 'g') + "\n");
  Instance a;
  EXPECT_EQ(std::string(a.q().getProgramPath()), std::string(1022, 'f'));
  EXPECT_STREQ(a.q().getStartupBankPath(), "");
  a.q().loadConfig();
  EXPECT_EQ(std::string(a.q().getStartupBankPath()), std::string(1022, 'g'));
}

// Controller keys take numbers and turn other text into none: "0" is parameter 0, a number is
// read up to its first other character, parameters out of range are kept (and ignored in
// play), key names ignore case; a flag is true for "true" in any case only. Saving all writes
// every key but the program folder.
TEST(SaveConfig, ControllerKeysAreReadAndSaveAllWritesEveryKeyButTheProgramFolder) {
  FreshHome home;
  home.WriteIni(
      "[Global]\nPath to Program Files=/music/progs\n[MIDI Control]\nCC0=0\nCC7=183\nCC8=abc\n"
      "CC9=0x10\nCC10=500\nCC11=12abc\nCC13=  42  \nCC14=-7\ncc15=3\nCC119=228\n"
      "[MIDI Global]\nMIDI Thru=TRUE\nIgnore Program Change=yes\n");
  Instance a;
  Quenta& q = a.q();
  const std::pair<int, int> want[] = {{0, 0},   {7, kFinal}, {8, -1},  {9, 0},  {10, 500}, {11, 12},
                                      {12, -1}, {13, 42},    {14, -7}, {15, 3}, {119, 228}};
  for (const auto& [cc, param] : want) EXPECT_EQ(q.getCCMap(cc), param) << "CC" << cc;
  // Controller 12 learned for "Final", which has at most one controller: 7 lets go.
  q.doMidiLearn(true);
  a.Turn(kFinal, 0.25);
  a.Midi(0xB0, 12, 10);
  ASSERT_EQ(q.getCCMap(12), kFinal);
  EXPECT_TRUE(q.saveConfig(Synth::kSaveAll));
  const std::string saved = ReadFile(home.Ini());
  EXPECT_EQ(saved,
            "[Global]\nPath to Program Files=/music/progs\n\n"
            "[MIDI Control]\nCC0=0\nCC10=500\nCC11=12\nCC119=228\nCC12=183\nCC13=42\nCC14=-7\n"
            "CC15=3\nCC9=0\n\n"
            "[MIDI Global]\nIgnore Program Change=false\nMIDI Thru=true\n\n"
            "[Startup Bank]\nFile=\n\n");
  // What was saved comes back in a new instance.
  Instance b;
  b.q().saveConfig(Synth::kSaveAll);
  EXPECT_EQ(ReadFile(home.Ini()), saved);
  EXPECT_TRUE(b.q().getMidiThru());
}

TEST(SaveConfig, TheMidiTogglesLeaveTheControllerSectionAndTheOtherFlagAloneAndEmptyKeysKeepThem) {
  FreshHome home;
  home.WriteIni(
      "[MIDI Control]\nCC5=17\n\n[MIDI Global]\nIgnore Program Change=false\nMIDI Thru=false\n\n");
  Instance a;
  Quenta& q = a.q();
  q.doMidiLearn(true);
  a.Turn(kFinal, 0.5);
  a.Midi(0xB0, 9, 1);
  ASSERT_EQ(q.getCCMap(9), kFinal);
  q.setMidiThru(true);
  q.setIgnoreProgramChange(true);
  for (const auto& [what, ignore] :
       {std::pair{Synth::kSaveMidiThru, "false"}, {Synth::kSaveIgnoreProgramChange, "true"}}) {
    q.saveConfig(what);
    EXPECT_EQ(ReadFile(home.Ini()),
              "[MIDI Control]\nCC5=17\n\n[MIDI Global]\nIgnore Program Change=" +
                  std::string(ignore) + "\nMIDI Thru=true\n\n[Startup Bank]\nFile=\n\n");
  }
  // Empty and missing keys keep the current flags (they are their own defaults).
  for (const char* text : {"[MIDI Global]\nMIDI Thru=\nIgnore Program Change=\n", ""}) {
    WriteFile(home.Ini(), text);
    q.loadConfig();
    EXPECT_TRUE(q.getMidiThru() && q.getIgnoreProgramChange()) << text;
  }
}

// A configuration that cannot be written is reported by every save, and nothing is lost: the
// settings stay in force and the next save that can write writes them.
TEST(SaveConfig, AFailedSaveIsReportedAndTheNextSaveWritesWhatWasKept) {
  FreshHome home;
  const std::string bank = home.File("start.fxb");
  MakeBankFile(bank, "Start ");
  Instance a;
  Quenta& q = a.q();
  q.doMidiLearn(true);
  a.Turn(kFinal, 0.5);
  a.Midi(0xB0, 11, 1);
  // A folder in the temporary file's place: the configuration folder takes files, but writing
  // the configuration fails while it is there.
  const std::string blocked = home.Folder() + "/.quenta.ini.new";
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  EXPECT_FALSE(q.saveConfig(Synth::kSaveAll));
  EXPECT_FALSE(q.saveConfig(Synth::kSaveMidiThru));
  EXPECT_EQ(q.setStartupFxb(bank.c_str()), Synth::kStartupBankUnwritable);
  EXPECT_STREQ(q.getStartupBankPath(), "");
  EXPECT_EQ(ReadFile(home.Ini()), "");
  EXPECT_EQ(q.getCCMap(11), kFinal);
  ASSERT_EQ(rmdir(blocked.c_str()), 0);
  EXPECT_TRUE(q.saveConfig(Synth::kSaveAll));
  EXPECT_EQ(ReadFile(home.Ini()),
            "[MIDI Control]\nCC11=183\n\n[MIDI Global]\nIgnore Program Change=false\n"
            "MIDI Thru=false\n\n[Startup Bank]\nFile=\n\n");
}

// ---- The start-up bank entry ----------------------------------------------------------------

class StartupBank : public ::testing::Test {
 protected:
  void SetUp() override { MakeBankFile(mBank, "Start "); }

  FreshHome mHome;
  const std::string mBank = mHome.File("start.fxb");
};

TEST_F(StartupBank, ALoadableBankIsStoredWithoutBeingApplied) {
  Instance a;
  Quenta& q = a.q();
  a.Turn(kFinal, 0.66);
  const std::vector<double> before = a.Values();
  EXPECT_EQ(q.setStartupFxb(mBank.c_str()), Synth::kConfigOK);
  EXPECT_EQ(std::string(q.getStartupBankPath()), mBank);
  EXPECT_EQ(ReadFile(mHome.Ini()), "[Startup Bank]\nFile=" + mBank + "\n\n");
  // The live sound and the programs are untouched.
  EXPECT_EQ(a.Values(), before);
  EXPECT_EQ(a.Name(5), "Empty");
  EXPECT_EQ(q.GetCurrentPresetIdx(), 0);

  // Set again from the string the instrument holds: the same path.
  EXPECT_EQ(q.setStartupFxb(q.getStartupBankPath()), Synth::kConfigOK);
  EXPECT_EQ(ReadFile(mHome.Ini()), "[Startup Bank]\nFile=" + mBank + "\n\n");

  // The next instance starts with it.
  Instance b;
  EXPECT_EQ(b.Name(5), "Start 5");
  EXPECT_NEAR(b.Normalized(kFinal), 0.01, 1e-9);
  EXPECT_EQ(std::string(b.q().getStartupBankPath()), mBank);
}

TEST_F(StartupBank, FilesThatAreNotLoadableBanksAreRefusedAndChangeNothing) {
  Instance a;
  Quenta& q = a.q();
  ASSERT_EQ(q.setStartupFxb(mBank.c_str()), Synth::kConfigOK);
  const std::string iniBefore = ReadFile(mHome.Ini());
  // The loader's checks of a bank's content are tested with the loader: here one file of
  // text, and a program file, which is no bank.
  WriteFile(mHome.File("junk.fxb"),
            "this is not a bank at all, just text long enough to pass a size check");
  std::vector<std::string> bad = {mHome.File("junk.fxb"), mHome.File("missing.fxb"), mHome.Path(),
                                  ""};
  WDL_String program(mHome.File("one.fxp").c_str());
  ASSERT_TRUE(q.SaveProgramAsFXP(&program));
  bad.push_back(program.Get());

  for (const std::string& path : bad) {
    EXPECT_EQ(q.setStartupFxb(path.c_str()), Synth::kStartupBankInvalid) << path;
    EXPECT_EQ(std::string(q.getStartupBankPath()), mBank) << path;
    EXPECT_EQ(ReadFile(mHome.Ini()), iniBefore) << path;
  }
  EXPECT_EQ(q.setStartupFxb(nullptr), Synth::kStartupBankInvalid);
  EXPECT_EQ(a.Name(0), "Empty");
}

TEST_F(StartupBank, PathsReadBackUnchangedOrAreRefused) {
  Instance a;
  Quenta& q = a.q();
  for (const std::string name :
       {"blanks after.fxb \t", " blank before.fxb", "'quoted'", "\"quoted\"", "cr.fxb\r"}) {
    const std::string path = mHome.File(name);
    std::filesystem::copy_file(mBank, path);
    ASSERT_EQ(q.setStartupFxb(path.c_str()), Synth::kConfigOK) << name;
    Instance b;
    EXPECT_EQ(b.q().getStartupBankPath(), path) << name;
    WDL_String folder(path.c_str());
    ASSERT_TRUE(q.storeProgramPath(&folder)) << name;
    b.q().loadConfig();
    EXPECT_EQ(b.q().getProgramPath(), path) << name;
  }
  // No value holds a line break.
  const std::string broken = mHome.File("two\nlines.fxb");
  std::filesystem::copy_file(mBank, broken);
  const std::string ini = ReadFile(mHome.Ini());
  EXPECT_EQ(q.setStartupFxb(broken.c_str()), Synth::kStartupBankUnwritable);
  WDL_String folder(broken.c_str());
  EXPECT_FALSE(q.storeProgramPath(&folder));
  EXPECT_EQ(ReadFile(mHome.Ini()), ini);
  EXPECT_NE(std::string(q.getStartupBankPath()), broken);
  EXPECT_NE(std::string(q.getProgramPath()), broken);
}
