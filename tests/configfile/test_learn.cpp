// MIDI learn: the pairing of controllers with parameters, unlearning, and learned controllers
// driving their parameters in play, through the entry point as a host delivers MIDI.
#include "configfile_fixture.h"
#include "support/audio_measure.h"
#include "support/test_host.h"

using namespace quenta_test;

// Controllers and parameters outside their ranges are not captured; a parameter, then a
// controller make the pairing and end learning.
TEST(MidiLearn, ParameterThenControllerMakesThePairingAndEndsLearning) {
  FreshHome home;
  Instance a;
  Quenta& q = a.q();
  q.doMidiLearn(true);
  for (int cc : {120, -1}) q.setMidiLearnCC(cc);
  for (int param : {int(kNumParams), -5}) q.setMidiLearnParam(param);
  EXPECT_EQ(q.getLearnCC(), -1);
  EXPECT_EQ(q.getLearnParam(), -1);
  a.Turn(kFinal, 0.3);
  EXPECT_EQ(q.getLearnParam(), kFinal);
  EXPECT_TRUE(q.isMidiLearn());  // waits for a controller
  a.Midi(0xB0, 119, 100);
  EXPECT_EQ(q.getCCMap(119), kFinal);
  EXPECT_EQ(q.getCCMap(120), -1);
  EXPECT_FALSE(q.isMidiLearn());
  // The captured controller is not played.
  a.Frame();
  EXPECT_NEAR(a.Normalized(kFinal), 0.3, 1e-12);
  // From now on it is.
  a.Midi(0xB0, 119, 127);
  a.Frame();
  EXPECT_NEAR(a.Normalized(kFinal), 1.0, 1e-12);
}

// Unlearning ends with the first controller moved (which loses its pairing and plays nothing
// any more) or the first parameter touched (which loses every controller).
TEST(MidiUnlearn, AMovedControllerOrATouchedParameterLosesItsPairings) {
  FreshHome home;
  home.WriteIni("[MIDI Control]\nCC5=183\nCC6=183\nCC7=100\nCC11=183\nCC12=61\n");
  Instance a;
  Quenta& q = a.q();
  q.doMidiUnlearn(true);
  EXPECT_TRUE(q.isMidiLearn());
  EXPECT_TRUE(q.isMidiUnlearn());
  a.Midi(0xB0, 11, 64);
  EXPECT_EQ(q.getCCMap(11), -1);
  EXPECT_EQ(q.getCCMap(5), kFinal);
  EXPECT_FALSE(q.isMidiLearn());
  EXPECT_FALSE(q.isMidiUnlearn());
  const double finalNow = a.Normalized(kFinal);
  a.Midi(0xB0, 11, 3);
  a.Frame();
  EXPECT_EQ(a.Normalized(kFinal), finalNow);

  q.doMidiUnlearn(true);
  a.Turn(kFinal, 0.1);
  for (const auto& [cc, param] : {std::pair{5, -1}, {6, -1}, {7, 100}, {12, 61}})
    EXPECT_EQ(q.getCCMap(cc), param) << "CC" << cc;
  EXPECT_FALSE(q.isMidiLearn());
}

// Through the entry point: the configuration file pairs controllers with "Final", the host
// delivers them with its events and the rendered output follows; the mod wheel and the
// sustain pedal never drive a parameter.
TEST(LearnedInPlay, ControllerSevenDrivesFinalWhenTheFileSaysSoOneAndSixtyFourDoNot) {
  constexpr int kFrames = 4800;
  FreshHome home;
  home.WriteIni("[MIDI Control]\nCC1=183\nCC7=183\nCC64=183\n");
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession(48000.0f, kFrames);
  // Renders one block with the controller at value; returns its level.
  const auto renderWith = [&host](int cc, int value) {
    host.SendMidi({TestHost::Midi(0, 0xB0, (uint8_t)cc, (uint8_t)value)});
    host.ProcessDoubleReplacing(kFrames);
    return audio::rms(host.OutputD(0).data(), kFrames);
  };
  const float before = host.GetParameter(kFinal);
  renderWith(1, 0);
  renderWith(64, 127);
  renderWith(1, 127);
  EXPECT_EQ(host.GetParameter(kFinal), before);
  EXPECT_TRUE(host.CallsWith(audioMasterAutomate).empty());

  host.SendMidi({TestHost::Midi(0, 0x90, 57, 100)});
  host.ProcessDoubleReplacing(kFrames);
  EXPECT_GT(renderWith(7, 127), 1e-3);
  EXPECT_FLOAT_EQ(host.GetParameter(kFinal), 1.0f);
  EXPECT_EQ(renderWith(7, 0), 0.0);  // gain 0 from the first frame of the block on
  EXPECT_EQ(host.GetParameter(kFinal), 0.0f);
  renderWith(7, 64);
  EXPECT_NEAR(host.GetParameter(kFinal), 64.0 / 127.0, 1e-6);
  // The host heard about it as automation of "Final"; the same value again tells it nothing.
  const size_t told = host.CallsWith(audioMasterAutomate).size();
  EXPECT_GT(told, 0u);
  EXPECT_EQ(host.CallsWith(audioMasterAutomate).back().index, kFinal);
  renderWith(7, 64);
  EXPECT_EQ(host.CallsWith(audioMasterAutomate).size(), told);
}
