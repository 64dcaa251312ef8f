// The programs at start-up (start-up bank, else the factory bank in the bundle) and the
// program operations: initialise, copy, paste, change.
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "configfile_fixture.h"
#include "support/test_host.h"

using namespace quenta_test;

namespace {

constexpr int kCutoffA = kBlockA * kBlockParamCount + kCutoff;
constexpr int kWaveformB = kBlockB * kBlockParamCount + kWaveform;

// An instance whose bundle folder and start-up bank can be pointed anywhere before the
// programs are filled again.
class RelocatedQuenta : public Quenta {
 public:
  RelocatedQuenta() : Quenta(IPlugInstanceInfo{}) {}
  void setPaths(const std::string& pluginFolder, const std::string& startupBank) {
    mPluginPath.Set(pluginFolder.c_str());
    mStartupBankPath.Set(startupBank.c_str());
  }
};

// A bundle folder holding Quenta.vst with a factory bank whose programs are "Factory n".
std::string MakeBundleWithFactoryBank(const FreshHome& home) {
  const std::string folder = home.File("plugins/");
  std::filesystem::create_directories(folder + "Quenta.vst/Contents/Resources");
  MakeBankFile(folder + "Quenta.vst/Contents/Resources/init.fxb", "Factory ");
  return folder;
}

// Every parameter at its default (up to the rounding of the normalised round trip).
void ExpectDefaults(const Quenta& q) {
  for (int i = 0; i < q.NParams(); ++i) {
    const double d = q.GetParam(i)->GetDefault();
    EXPECT_NEAR(q.GetParam(i)->Value(), d, 1e-9 * (1.0 + std::fabs(d))) << i;
  }
}

}  // namespace

// ---- Start-up programs --------------------------------------------------------------------

TEST(InitAllPrograms, TheStartupBankComesFirst) {
  FreshHome home;
  const std::string plugins = MakeBundleWithFactoryBank(home);
  const std::string startup = home.File("mine.fxb");
  MakeBankFile(startup, "Mine ");
  RelocatedQuenta q;
  q.setPaths(plugins, startup);
  q.initAllPrograms();
  EXPECT_STREQ(q.GetPresetName(63), "Mine 63");
  EXPECT_EQ(std::string(q.getStartupBankPath()), startup);
}

TEST(InitAllPrograms, AStartupBankThatDoesNotLoadGivesWayToTheFactoryBank) {
  FreshHome home;
  const std::string plugins = MakeBundleWithFactoryBank(home);
  const std::string junk = home.File("junk.fxb");
  WriteFile(junk, "junk");
  for (const std::string& startup : {home.File("missing.fxb"), junk, std::string()}) {
    RelocatedQuenta q;
    q.setPaths(plugins, startup);
    q.initAllPrograms();
    EXPECT_STREQ(q.GetPresetName(0), "Factory 0") << startup;
    EXPECT_STREQ(q.GetPresetName(63), "Factory 63") << startup;
    EXPECT_NEAR(q.GetParam(kFinal)->GetNormalized(), 0.01, 1e-9);  // program 0 is applied
    EXPECT_STREQ(q.getStartupBankPath(), "") << startup;
  }
}

// The whole path as a host sees it: the plug-in loaded from a bundle that carries a factory
// bank, with a configured start-up bank that is gone.
TEST(StartupPrograms, ThePlugInLoadsTheFactoryBankFromItsBundleWhenTheStartupBankIsGone) {
  FreshHome home;
  const std::string plugins = MakeBundleWithFactoryBank(home);
  const std::string so = plugins + "Quenta.vst/Contents/x86_64-linux/Quenta.so";
  std::filesystem::create_directories(plugins + "Quenta.vst/Contents/x86_64-linux");
  // A copy, not a link: the loader must see a library of its own at that place.
  std::filesystem::copy_file(QUENTA_SO_PATH, so);
  home.WriteIni("[Startup Bank]\nFile=" + home.File("gone.fxb") + "\n");

  quenta_test::TestHost host(so);
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  EXPECT_EQ(host.ProgramNameIndexed(0), "Factory 0");
  EXPECT_EQ(host.ProgramNameIndexed(42), "Factory 42");
  EXPECT_EQ(host.ProgramName(), "Factory 0");
  EXPECT_NEAR(host.GetParameter(kFinal), 0.01f, 1e-6);
  // The file keeps its entry until the configuration is saved.
  EXPECT_EQ(ReadFile(home.Ini()), "[Startup Bank]\nFile=" + home.File("gone.fxb") + "\n");

  // With a start-up bank that loads, the factory bank is not used.
  const std::string mine = home.File("mine.fxb");
  MakeBankFile(mine, "Mine ");
  WriteFile(home.Ini(), "[Startup Bank]\nFile=" + mine + "\n");
  quenta_test::TestHost second(so);
  ASSERT_TRUE(second.Instantiate()) << second.Error();
  EXPECT_EQ(second.ProgramNameIndexed(42), "Mine 42");
}

// ---- Program operations -------------------------------------------------------------------

class ProgramOps : public ::testing::Test {
 protected:
  // Program 1 "Alpha" with "Final" at 0.2, program 3 "Gamma" with "Final" at 0.7; program 0
  // current.
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

TEST_F(ProgramOps, PasteGivesTheCurrentProgramTheCopiedSoundAndName) {
  Quenta& q = mA.q();
  q.changePreset(1);
  q.copyPreset();
  EXPECT_EQ(q.getCopiedPreset(), 1);
  q.changePreset(3);
  ASSERT_NEAR(mA.Normalized(kFinal), 0.7, 1e-9);
  q.pastePreset();
  EXPECT_EQ(mA.Name(3), "Alpha");
  EXPECT_NEAR(mA.Normalized(kFinal), 0.2, 1e-9);
  // Stored in program 3, not only live.
  q.changePreset(0);
  q.changePreset(3);
  EXPECT_NEAR(mA.Normalized(kFinal), 0.2, 1e-9);
  EXPECT_EQ(mA.Name(1), "Alpha");
}

TEST_F(ProgramOps, CopyTakesUnsavedEditsAndPasteOntoItselfRestoresThem) {
  Quenta& q = mA.q();
  q.changePreset(1);
  mA.Turn(kFinal, 0.45);  // not saved into program 1 yet
  q.copyPreset();
  // Copying stores the edit in the program too.
  ByteChunk live;
  q.SerializeState(&live);
  EXPECT_TRUE(q.GetPreset(1)->mChunk.IsEqual(&live));
  mA.Turn(kFinal, 0.9);
  q.pastePreset();
  EXPECT_NEAR(mA.Normalized(kFinal), 0.45, 1e-9);
  EXPECT_EQ(mA.Name(1), "Alpha");
}

TEST_F(ProgramOps, ChangeKeepsTheEditsOfTheProgramLeft) {
  Quenta& q = mA.q();
  q.changePreset(3);
  mA.Turn(kFinal, 0.55);
  EXPECT_TRUE(q.changePreset(1));
  EXPECT_EQ(q.GetCurrentPresetIdx(), 1);
  EXPECT_NEAR(mA.Normalized(kFinal), 0.2, 1e-9);
  q.changePreset(3);
  EXPECT_NEAR(mA.Normalized(kFinal), 0.55, 1e-9);
  // A program that does not exist leaves everything where it was.
  EXPECT_FALSE(q.changePreset(::kQuentaNumPrograms));
  EXPECT_EQ(q.GetCurrentPresetIdx(), 3);
  EXPECT_NEAR(mA.Normalized(kFinal), 0.55, 1e-9);
}

TEST_F(ProgramOps, InitialiseGivesEveryParameterItsDefaultAndNamesTheProgramInit) {
  Quenta& q = mA.q();
  q.changePreset(3);
  mA.Turn(kCutoffA, 0.123);
  mA.Turn(kWaveformB, 1.0);
  Log() = DirectLog();
  q.initPreset();
  ExpectDefaults(q);
  EXPECT_EQ(mA.Name(3), "Init");
  // The host heard of every parameter.
  EXPECT_GE(Log().automated.size(), (size_t)q.NParams());
  // The stored program holds the initial sound.
  q.changePreset(1);
  q.changePreset(3);
  ExpectDefaults(q);
  EXPECT_EQ(mA.Name(1), "Alpha");
}
