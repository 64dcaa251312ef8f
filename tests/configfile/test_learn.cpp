// MIDI learn: the pairing of controllers with parameters, unlearning, the parameter carried
// over between learning sessions, and learned controllers driving their parameters in play,
// through the entry point as a host delivers MIDI.
#include "configfile_fixture.h"
#include "support/audio_measure.h"
#include "support/test_host.h"

using namespace quenta_test;

namespace {

constexpr int kVolumeB = kBlockB * kBlockParamCount + kVolume;

}  // namespace

// ---- The state machine --------------------------------------------------------------------

TEST(MidiLearn, ParameterThenControllerMakesThePairingAndEndsLearning) {
  FreshHome home;
  Instance a;
  Quenta& q = a.q();
  q.doMidiLearn(true);
  a.Turn(kFinal, 0.3);
  EXPECT_EQ(q.getLearnParam(), kFinal);
  EXPECT_TRUE(q.isMidiLearn());  // waits for a controller
  a.Midi(0xB0, 11, 100);
  EXPECT_EQ(q.getCCMap(11), kFinal);
  EXPECT_FALSE(q.isMidiLearn());
  // The captured controller is not played.
  a.Frame();
  EXPECT_NEAR(a.Normalized(kFinal), 0.3, 1e-12);
  // From now on it is.
  a.Midi(0xB0, 11, 127);
  a.Frame();
  EXPECT_NEAR(a.Normalized(kFinal), 1.0, 1e-12);
}

TEST(MidiUnlearn, AMovedControllerLosesItsPairing) {
  FreshHome home;
  home.WriteIni("[MIDI Control]\nCC11=183\nCC12=61\n");
  Instance a;
  Quenta& q = a.q();
  q.doMidiUnlearn(true);
  EXPECT_TRUE(q.isMidiLearn());
  EXPECT_TRUE(q.isMidiUnlearn());
  a.Midi(0xB0, 11, 64);
  EXPECT_EQ(q.getCCMap(11), -1);
  EXPECT_EQ(q.getCCMap(12), 61);
  EXPECT_FALSE(q.isMidiLearn());
  EXPECT_FALSE(q.isMidiUnlearn());
  // Controller 11 plays nothing now.
  const double finalNow = a.Normalized(kFinal);
  a.Midi(0xB0, 11, 3);
  a.Frame();
  EXPECT_EQ(a.Normalized(kFinal), finalNow);
}

TEST(MidiUnlearn, ATouchedParameterLosesEveryController) {
  FreshHome home;
  home.WriteIni("[MIDI Control]\nCC5=183\nCC6=183\nCC7=100\n");
  Instance a;
  Quenta& q = a.q();
  q.doMidiUnlearn(true);
  a.Turn(kFinal, 0.1);
  EXPECT_EQ(q.getCCMap(5), -1);
  EXPECT_EQ(q.getCCMap(6), -1);
  EXPECT_EQ(q.getCCMap(7), 100);
  EXPECT_FALSE(q.isMidiLearn());
}

TEST(MidiLearn, ControllersAndParametersOutsideTheirRangesAreNotCaptured) {
  FreshHome home;
  Instance a;
  Quenta& q = a.q();
  q.doMidiLearn(true);
  q.setMidiLearnCC(120);
  q.setMidiLearnCC(-1);
  q.setMidiLearnParam(kNumParams);
  q.setMidiLearnParam(-5);
  EXPECT_EQ(q.getLearnCC(), -1);
  EXPECT_EQ(q.getLearnParam(), -1);
  q.setMidiLearnParam(kVolumeB);
  q.setMidiLearnCC(119);
  EXPECT_EQ(q.getCCMap(119), kVolumeB);
  EXPECT_EQ(q.getCCMap(120), -1);
}

// ---- Learned controllers in play ----------------------------------------------------------

// Through the entry point: the configuration file pairs controller 7 with "Final", the host
// delivers controller 7 with its events and the rendered output follows.
class LearnedThroughHost : public ::testing::Test {
 protected:
  // Renders one block of 4800 samples with the controller at value and the given note held.
  double RenderWith(int cc, int value) {
    mHost.SendMidi({quenta_test::TestHost::Midi(0, 0xB0, (uint8_t)cc, (uint8_t)value)});
    mHost.ProcessDoubleReplacing(kFrames);
    const std::vector<double>& l = mHost.OutputD(0);
    return audio::rms(l.data(), kFrames);
  }
  static constexpr int kFrames = 4800;
  FreshHome mHome;
  quenta_test::TestHost mHost;
};

TEST_F(LearnedThroughHost, ControllerSevenDrivesFinalWhenTheFileSaysSo) {
  mHome.WriteIni("[MIDI Control]\nCC7=183\n");
  ASSERT_TRUE(mHost.Instantiate()) << mHost.Error();
  mHost.StartSession(48000.0f, kFrames);
  mHost.SendMidi({quenta_test::TestHost::Midi(0, 0x90, 57, 100)});
  mHost.ProcessDoubleReplacing(kFrames);

  const double loud = RenderWith(7, 127);
  EXPECT_FLOAT_EQ(mHost.GetParameter(kFinal), 1.0f);
  EXPECT_GT(loud, 1e-3);
  const double silent = RenderWith(7, 0);
  EXPECT_EQ(mHost.GetParameter(kFinal), 0.0f);
  EXPECT_EQ(silent, 0.0);  // gain 0 from the first frame of the block on
  RenderWith(7, 64);
  EXPECT_NEAR(mHost.GetParameter(kFinal), 64.0 / 127.0, 1e-6);
  // The host heard about it as automation of "Final"; the same value again tells it nothing.
  const size_t told = mHost.CallsWith(audioMasterAutomate).size();
  EXPECT_GT(told, 0u);
  EXPECT_EQ(mHost.CallsWith(audioMasterAutomate).back().index, kFinal);
  RenderWith(7, 64);
  EXPECT_EQ(mHost.CallsWith(audioMasterAutomate).size(), told);
}

TEST_F(LearnedThroughHost, ControllersOneAndSixtyFourDoNotDriveFinal) {
  mHome.WriteIni("[MIDI Control]\nCC1=183\nCC64=183\n");
  ASSERT_TRUE(mHost.Instantiate()) << mHost.Error();
  mHost.StartSession(48000.0f, kFrames);
  const float before = mHost.GetParameter(kFinal);
  RenderWith(1, 0);
  RenderWith(64, 127);
  RenderWith(1, 127);
  EXPECT_EQ(mHost.GetParameter(kFinal), before);
  for (const quenta_test::HostCall& c : mHost.CallsWith(audioMasterAutomate))
    EXPECT_NE(c.index, kFinal);
}
