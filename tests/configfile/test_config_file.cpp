// The configuration file: made on first use, read at construction and on request, written by
// the save commands, and the start-up bank entry with its checks.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "configfile_fixture.h"
#include "support/test_host.h"

using namespace quenta_test;

// ---- Folder and file on first use ---------------------------------------------------------

TEST(ConfigFolder, LoadingThePlugInWithAFreshHomeCreatesAnEmptyConfigurationFile) {
  FreshHome home;
  ASSERT_FALSE(Exists(home.Path() + "/.config"));
  const mode_t maskBefore = umask(027);
  quenta_test::TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  ASSERT_TRUE(Exists(home.Ini()));
  EXPECT_EQ(ReadFile(home.Ini()), "");
  // The maker's folder gets its own permissions, the user's folder above it those of the
  // mask; the process keeps its mask.
  EXPECT_EQ(Mode(home.Folder()), 0774u);
  EXPECT_EQ(Mode(home.Path() + "/.config"), 0750u);
  EXPECT_EQ(umask(maskBefore), 027u);
}

// ---- Reading ------------------------------------------------------------------------------

TEST(LoadConfig, ControllerKeysTakeNumbersAndTurnOtherTextIntoNone) {
  FreshHome home;
  home.WriteIni(
      "[MIDI Control]\n"
      "CC0=0\n"
      "CC7=183\n"
      "CC8=abc\n"
      "CC9=0x10\n"
      "CC10=500\n"
      "CC11=12abc\n"
      "CC13=  42  \n"
      "CC14=-7\n"
      "cc15=3\n"
      "CC119=228\n");
  Instance a;
  const Quenta& q = a.q();
  EXPECT_EQ(q.getCCMap(0), 0);  // "0" is parameter 0, not "no number"
  EXPECT_EQ(q.getCCMap(7), kFinal);
  EXPECT_EQ(q.getCCMap(8), -1);    // letters
  EXPECT_EQ(q.getCCMap(9), 0);     // begins with 0
  EXPECT_EQ(q.getCCMap(10), 500);  // kept, ignored in play
  EXPECT_EQ(q.getCCMap(11), 12);
  EXPECT_EQ(q.getCCMap(13), 42);
  EXPECT_EQ(q.getCCMap(14), -7);
  EXPECT_EQ(q.getCCMap(15), 3);  // key names ignore case
  EXPECT_EQ(q.getCCMap(119), 228);
  EXPECT_EQ(q.getCCMap(12), -1);  // missing
}

TEST(LoadConfig, MidiFlagsAreTrueOnlyForTrueInAnyCaseAndKeptWhenEmpty) {
  FreshHome home;
  home.WriteIni("[MIDI Global]\nMIDI Thru=TRUE\nIgnore Program Change=yes\n");
  Instance a;
  EXPECT_TRUE(a.q().getMidiThru());
  EXPECT_FALSE(a.q().getIgnoreProgramChange());
  a.q().setIgnoreProgramChange(true);
  WriteFile(home.Ini(), "[MIDI Global]\nMIDI Thru=\nIgnore Program Change=\n");
  a.q().loadConfig();
  EXPECT_TRUE(a.q().getMidiThru());
  EXPECT_TRUE(a.q().getIgnoreProgramChange());
  // Missing keys keep the current flags too (they are their own defaults).
  WriteFile(home.Ini(), "");
  a.q().loadConfig();
  EXPECT_TRUE(a.q().getMidiThru());
  EXPECT_TRUE(a.q().getIgnoreProgramChange());
}

TEST(LoadConfig, BothPathsAreReadWholeUpToTheSameLimit) {
  FreshHome home;
  // Longer than the 64 characters the program folder used to be cut to.
  const std::string folder = "/music/" + std::string(300, 'p');
  const std::string bank = "/banks/" + std::string(300, 'b') + ".fxb";
  home.WriteIni("[Global]\nPath to Program Files=" + folder + "\n[Startup Bank]\nFile=" + bank +
                "\n");
  Instance a;
  EXPECT_EQ(std::string(a.q().getProgramPath()), folder);
  // The start-up bank does not exist, so construction forgot it; loadConfig reads it again.
  EXPECT_STREQ(a.q().getStartupBankPath(), "");
  a.q().loadConfig();
  EXPECT_EQ(std::string(a.q().getStartupBankPath()), bank);

  // Beyond the limit both are cut to the same length.
  const std::string longFolder(1500, 'f'), longBank(1500, 'g');
  WriteFile(home.Ini(), "[Global]\nPath to Program Files=" + longFolder +
                            "\n[Startup Bank]\nFile=" + longBank + "\n");
  a.q().loadConfig();
  EXPECT_EQ(std::string(a.q().getProgramPath()), longFolder.substr(0, 1022));
  EXPECT_EQ(std::string(a.q().getStartupBankPath()), longBank.substr(0, 1022));
}

TEST(LoadConfig, AnUnreadableFileIsOpenedUpAndReadAgain) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser from reading";
  FreshHome home;
  home.WriteIni("[MIDI Control]\nCC7=183\n");
  chmod(home.Ini().c_str(), 0);
  Instance a;
  EXPECT_EQ(Mode(home.Ini()), 0666u);
  EXPECT_EQ(a.q().getCCMap(7), kFinal);
}

// ---- Writing ------------------------------------------------------------------------------

TEST(SaveConfig, SaveAllWritesEveryKeyButTheProgramFolderInTheStoresLayout) {
  FreshHome home;
  home.WriteIni("[Global]\nPath to Program Files=/music/progs\n[MIDI Control]\nCC7=0\nCC9=abc\n");
  Instance a;
  Quenta& q = a.q();
  // Controller 11 learned for "Final".
  q.doMidiLearn(true);
  a.Turn(kFinal, 0.25);
  a.Midi(0xB0, 11, 10);
  ASSERT_EQ(q.getCCMap(11), kFinal);
  q.setMidiThru(true);
  EXPECT_TRUE(q.saveConfig(Synth::kSaveAll));
  EXPECT_EQ(ReadFile(home.Ini()),
            "[Global]\n"
            "Path to Program Files=/music/progs\n"
            "\n"
            "[MIDI Control]\n"
            "CC11=183\n"
            "CC7=0\n"
            "\n"
            "[MIDI Global]\n"
            "Ignore Program Change=false\n"
            "MIDI Thru=true\n"
            "\n"
            "[Startup Bank]\n"
            "File=\n"
            "\n");
  // What was saved comes back in a new instance.
  Instance b;
  EXPECT_EQ(b.q().getCCMap(11), kFinal);
  EXPECT_EQ(b.q().getCCMap(7), 0);
  EXPECT_EQ(b.q().getCCMap(9), -1);
  EXPECT_TRUE(b.q().getMidiThru());
}

TEST(SaveConfig, TheMidiTogglesLeaveTheControllerSectionAndTheOtherFlagAlone) {
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

  q.saveConfig(Synth::kSaveMidiThru);
  EXPECT_EQ(ReadFile(home.Ini()),
            "[MIDI Control]\nCC5=17\n\n"
            "[MIDI Global]\nIgnore Program Change=false\nMIDI Thru=true\n\n"
            "[Startup Bank]\nFile=\n\n");
  q.saveConfig(Synth::kSaveIgnoreProgramChange);
  EXPECT_EQ(ReadFile(home.Ini()),
            "[MIDI Control]\nCC5=17\n\n"
            "[MIDI Global]\nIgnore Program Change=true\nMIDI Thru=true\n\n"
            "[Startup Bank]\nFile=\n\n");
}

TEST(SaveConfig, AFailedSaveKeepsTheSettingsAndTheNextSaveWritesThem) {
  FreshHome home;
  Instance a;
  Quenta& q = a.q();
  q.doMidiLearn(true);
  a.Turn(kFinal, 0.5);
  a.Midi(0xB0, 11, 1);
  // A folder in the temporary file's place: the folder takes files, but this write fails.
  const std::string blocked = home.Folder() + "/.quenta.ini.new";
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  EXPECT_FALSE(q.saveConfig(Synth::kSaveAll));
  EXPECT_FALSE(q.saveConfig(Synth::kSaveMidiThru));
  EXPECT_EQ(ReadFile(home.Ini()), "");
  EXPECT_EQ(q.getCCMap(11), kFinal);
  // Unblocked: the next save writes what was kept.
  ASSERT_EQ(rmdir(blocked.c_str()), 0);
  EXPECT_TRUE(q.saveConfig(Synth::kSaveAll));
  EXPECT_NE(ReadFile(home.Ini()).find("[MIDI Control]\nCC11=183\n"), std::string::npos)
      << ReadFile(home.Ini());
}

// ---- The start-up bank entry ----------------------------------------------------------------

class StartupBank : public ::testing::Test {
 protected:
  void SetUp() override {
    mBank = mHome.File("start.fxb");
    MakeBankFile(mBank, "Start ");
  }
  std::vector<uint8_t> Bytes(const std::string& path) const {
    const std::string s = ReadFile(path);
    return std::vector<uint8_t>(s.begin(), s.end());
  }
  void WriteBytes(const std::string& path, const std::vector<uint8_t>& b) const {
    WriteFile(path, std::string(b.begin(), b.end()));
  }

  FreshHome mHome;
  std::string mBank;
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
  const std::vector<uint8_t> good = Bytes(mBank);

  std::vector<std::string> bad;
  const std::string junk = mHome.File("junk.fxb");
  WriteFile(junk,
            "this is not a bank at all, just some text long enough to pass a size check ....");
  bad.push_back(junk);

  std::vector<uint8_t> otherId = good;
  otherId[19] ^= 0x01;  // unique ID
  WriteBytes(mHome.File("other-id.fxb"), otherId);
  bad.push_back(mHome.File("other-id.fxb"));

  std::vector<uint8_t> cut(good.begin(), good.begin() + (long)(good.size() / 2));
  WriteBytes(mHome.File("cut.fxb"), cut);
  bad.push_back(mHome.File("cut.fxb"));

  std::vector<uint8_t> programTag = good;
  programTag[8] = 'F', programTag[9] = 'P', programTag[10] = 'C', programTag[11] = 'h';
  WriteBytes(mHome.File("program-tag.fxb"), programTag);
  bad.push_back(mHome.File("program-tag.fxb"));

  WDL_String program(mHome.File("one.fxp").c_str());
  ASSERT_TRUE(q.SaveProgramAsFXP(&program));
  bad.push_back(program.Get());

  bad.push_back(mHome.File("missing.fxb"));
  bad.push_back(mHome.Path());  // a folder
  bad.push_back("");

  for (const std::string& path : bad) {
    EXPECT_EQ(q.setStartupFxb(path.c_str()), Synth::kStartupBankInvalid) << path;
    EXPECT_EQ(std::string(q.getStartupBankPath()), mBank) << path;
    EXPECT_EQ(ReadFile(mHome.Ini()), iniBefore) << path;
  }
  EXPECT_EQ(q.setStartupFxb(nullptr), Synth::kStartupBankInvalid);
  EXPECT_EQ(a.Name(0), "Empty");
}

TEST_F(StartupBank, AConfigurationThatCannotBeWrittenIsReportedAndNothingChanges) {
  Instance a;
  Quenta& q = a.q();
  // A folder in the temporary file's place: the folder takes files, but this write fails.
  ASSERT_EQ(mkdir((mHome.Folder() + "/.quenta.ini.new").c_str(), 0755), 0);
  EXPECT_EQ(q.setStartupFxb(mBank.c_str()), Synth::kStartupBankUnwritable);
  EXPECT_STREQ(q.getStartupBankPath(), "");
  ASSERT_EQ(rmdir((mHome.Folder() + "/.quenta.ini.new").c_str()), 0);
  q.saveConfig(Synth::kSaveMidiThru);
  EXPECT_EQ(ReadFile(mHome.Ini()), "[MIDI Global]\nMIDI Thru=false\n\n[Startup Bank]\nFile=\n\n");
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
