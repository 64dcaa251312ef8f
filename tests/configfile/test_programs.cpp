// The programs at start-up (start-up bank, else the factory bank in the bundle) and the
// program operations of the editor: initialise, copy, paste.
#include <cmath>
#include <filesystem>

#include "configfile_fixture.h"
#include "support/test_host.h"

using namespace quenta_test;

// The plug-in loaded by a host from a bundle of its own whose factory bank names its programs
// "Factory n": a start-up bank that is missing, not a bank or not configured gives way to it.
TEST(StartupPrograms, TheStartupBankComesFirstAndTheBundlesFactoryBankOtherwise) {
  FreshHome home;
  const std::string plugins = home.File("plugins/Quenta.vst/Contents/");
  std::filesystem::create_directories(plugins + "Resources");
  std::filesystem::create_directories(plugins + "x86_64-linux");
  MakeBankFile(plugins + "Resources/init.fxb", "Factory ");
  // A copy, not a link: the loader must see a library of its own at that place.
  std::filesystem::copy_file(QUENTA_SO_PATH, plugins + "x86_64-linux/Quenta.so");
  WriteFile(home.File("junk.fxb"), "junk");

  for (const std::string& startup : {home.File("gone.fxb"), home.File("junk.fxb"), std::string()}) {
    home.WriteIni("[Startup Bank]\nFile=" + startup + "\n");
    TestHost host(plugins + "x86_64-linux/Quenta.so");
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    EXPECT_EQ(host.ProgramNameIndexed(63), "Factory 63") << startup;
    EXPECT_EQ(host.ProgramName(), "Factory 0") << startup;
    EXPECT_NEAR(host.GetParameter(kFinal), 0.01f, 1e-6) << startup;  // program 0 is applied
    // The file keeps its entry until the configuration is saved.
    EXPECT_EQ(ReadFile(home.Ini()), "[Startup Bank]\nFile=" + startup + "\n");
  }

  const std::string mine = home.File("mine.fxb");
  MakeBankFile(mine, "Mine ");
  WriteFile(home.Ini(), "[Startup Bank]\nFile=" + mine + "\n");
  TestHost host(plugins + "x86_64-linux/Quenta.so");
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  EXPECT_EQ(host.ProgramNameIndexed(63), "Mine 63");
}

class ProgramOps : public ::testing::Test {
 protected:
  // Program 1 "Alpha" with "Final" at 0.2, 3 "Gamma" with "Final" at 0.7; 0 current.
  void SetUp() override {
    Quenta& q = mA.q();
    q.changePreset(1);
    mA.Turn(kFinal, 0.2);
    q.ModifyCurrentPreset("Alpha");
    q.changePreset(3);
    mA.Turn(kFinal, 0.7);
    q.ModifyCurrentPreset("Gamma");
    q.changePreset(0);
  }
  FreshHome mHome;
  Instance mA;
};

TEST_F(ProgramOps, CopyPasteAndChangeKeepUnsavedEdits) {
  Quenta& q = mA.q();
  q.changePreset(1);
  mA.Turn(kFinal, 0.45);  // not saved into program 1 yet
  q.copyPreset();
  EXPECT_EQ(q.getCopiedPreset(), 1);
  // Copying stores the edit in the program too.
  ByteChunk live;
  q.SerializeState(&live);
  EXPECT_TRUE(q.GetPreset(1)->mChunk.IsEqual(&live));
  // Pasted onto itself after a further edit: the copied sound again.
  mA.Turn(kFinal, 0.9);
  q.pastePreset();
  EXPECT_NEAR(mA.Normalized(kFinal), 0.45, 1e-9);

  q.changePreset(3);
  ASSERT_NEAR(mA.Normalized(kFinal), 0.7, 1e-9);
  q.pastePreset();
  EXPECT_EQ(mA.Name(3), "Alpha");
  EXPECT_NEAR(mA.Normalized(kFinal), 0.45, 1e-9);
  // Stored in program 3, not only live.
  q.changePreset(0);
  q.changePreset(3);
  EXPECT_NEAR(mA.Normalized(kFinal), 0.45, 1e-9);
  EXPECT_EQ(mA.Name(1), "Alpha");
  // A change keeps the edits of the program left; a program that does not exist changes nothing.
  mA.Turn(kFinal, 0.55);
  EXPECT_TRUE(q.changePreset(1));
  EXPECT_NEAR(mA.Normalized(kFinal), 0.45, 1e-9);
  EXPECT_FALSE(q.changePreset(::kQuentaNumPrograms));
  EXPECT_EQ(q.GetCurrentPresetIdx(), 1);
  q.changePreset(3);
  EXPECT_NEAR(mA.Normalized(kFinal), 0.55, 1e-9);
}

TEST_F(ProgramOps, InitialiseGivesEveryParameterItsDefaultAndNamesTheProgramInit) {
  Quenta& q = mA.q();
  q.changePreset(3);
  mA.Turn(BlockParam(kBlockA, kCutoff), 0.123);
  mA.Turn(BlockParam(kBlockB, kWaveform), 1.0);
  // Every parameter at its default (up to the rounding of the normalised round trip).
  const auto expectDefaults = [&q] {
    for (int i = 0; i < q.NParams(); ++i) {
      const double d = q.GetParam(i)->GetDefault();
      EXPECT_NEAR(q.GetParam(i)->Value(), d, 1e-9 * (1.0 + std::fabs(d))) << i;
    }
  };
  Log() = DirectLog();
  q.initPreset();
  expectDefaults();
  EXPECT_EQ(mA.Name(3), "Init");
  // The host heard of every parameter.
  EXPECT_GE(Log().automated.size(), (size_t)q.NParams());
  // The stored program holds the initial sound.
  q.changePreset(1);
  q.changePreset(3);
  expectDefaults();
  EXPECT_EQ(mA.Name(1), "Alpha");
}
