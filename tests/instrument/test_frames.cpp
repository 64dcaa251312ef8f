// Control frames and MIDI intake, observed through the exported entry point: when notes
// start, what host block sizes change, the controllers that act at delivery, the sustain
// pedal, program changes and MIDI thru.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;
constexpr int kFrame = 48;  // samples per control frame at 48000 Hz

// Level in consecutive windows, for comparing envelopes.
std::vector<double> WindowRms(const std::vector<double>& x, int window) {
  std::vector<double> r;
  for (int i = 0; i + window <= int(x.size()); i += window) r.push_back(Rms(x, i, window));
  return r;
}

int LastNonZero(const std::vector<double>& x) {
  for (int i = int(x.size()) - 1; i >= 0; --i)
    if (x[size_t(i)] != 0.0) return i;
  return -1;
}

// A patch with per-sample modulation inside every frame: MG1 sweeps the cut-off, the
// envelope decays to a sustain level, the resonators are on.
void ModulatedPatch(Session& s) {
  s.Apply({{kCutoff, "0.6"},
           {kPeak, "0.4"},
           {kFCMod, "on"},
           {kFCMG1, "0.3"},
           {kMG1Freq, "7"},
           {kEMDcy, "0.3"},
           {kEMSus, "0.5"}});
  s.Set(BlockParam(kBlockB, kRSInt), 0.5);
}

TEST(FrameLogic, BlockSizesThatKeepFramesWholeGiveIdenticalSamples) {
  const std::string missing = quenta_test::UnavailableVoiceLoop();
  if (!missing.empty()) GTEST_SKIP() << missing;
  // Events in the middle of frames, a bend and a controller: all of it must land on the same
  // frame whatever the host block size, as long as blocks do not cut frames.
  const std::vector<TimedEvent> events = {{100, NoteOn(0, 60)},   {1000, NoteOn(0, 67)},
                                          {1500, CC(0, 1, 90)},   {2222, Bend(0, 12000)},
                                          {3000, NoteOff(0, 60)}, {4100, NoteOff(0, 67)}};
  const int frames = 9600;
  std::vector<std::vector<double>> renders;  // left, then right
  for (int block : {48, 96, 480}) {
    Session s(kRate, 512);
    ASSERT_TRUE(s.ok);
    ModulatedPatch(s);
    s.Set(kPBRange, 2.0);
    renders.push_back(s.RenderStream(events, frames, block));
    renders.back().insert(renders.back().end(), s.other.begin(), s.other.end());
  }
  ASSERT_GT(Peak(renders[0], 0, frames), 0.01);
  EXPECT_TRUE(renders[1] == renders[0]) << "block size 96";
  EXPECT_TRUE(renders[2] == renders[0]) << "block size 480";
}

TEST(FrameLogic, BlockSizesThatSplitFramesKeepOnsetsAndEnvelopes) {
  const std::string missing = quenta_test::UnavailableVoiceLoop();
  if (!missing.empty()) GTEST_SKIP() << missing;
  // Events on frame boundaries are acted on at their own sample whatever the host block size;
  // the level follows the same envelope. (Single samples may differ a little where a piece
  // restarts a voice's phase from its master oscillator.)
  const std::vector<TimedEvent> events = {
      {96, NoteOn(0, 60)}, {960, NoteOn(0, 64)}, {4800, NoteOff(0, 60)}, {7200, NoteOff(0, 64)}};
  const int frames = 9600;
  auto render = [&](int block) {
    Session s(kRate, 512);
    EXPECT_TRUE(s.ok);
    ModulatedPatch(s);
    s.SetBlocks(kEMRel, "Halp Damp");
    s.SetBlocks(kOverRel, "on");
    s.SetBlocks(kEMORel, 0.2);  // a release of about 40 ms
    return s.RenderStream(events, frames, block);
  };
  const std::vector<double> ref = render(kFrame);
  const std::vector<double> refLevel = WindowRms(ref, 240);
  const double loud = *std::max_element(refLevel.begin(), refLevel.end());
  ASSERT_GT(loud, 0.01);
  EXPECT_EQ(FirstNonZero(ref), 96);
  const int refEnd = LastNonZero(ref);
  EXPECT_GT(refEnd, 7200);
  EXPECT_LT(refEnd, 7200 + 3000);

  for (int block : {1, 64, 100, 512}) {
    SCOPED_TRACE(block);
    const std::vector<double> out = render(block);
    EXPECT_EQ(FirstNonZero(out), 96);
    // The voices fall silent in the same frame.
    EXPECT_EQ(LastNonZero(out) / kFrame, refEnd / kFrame);
    const std::vector<double> level = WindowRms(out, 240);
    ASSERT_EQ(level.size(), refLevel.size());
    for (size_t w = 0; w < level.size(); ++w) {
      if (refLevel[w] < 1e-3 * loud) {
        EXPECT_LT(level[w], 2e-3 * loud) << "window " << w;
      } else {
        EXPECT_NEAR(level[w] / refLevel[w], 1.0, 0.01) << "window " << w;
      }
    }
  }
}

TEST(FrameLogic, EventsDeliveredOutOfOrderAreSortedByOffset) {
  // A note-off at 300 delivered before its note-on at 100 still ends the note.
  Session sorted(kRate, 512), reversed(kRate, 512);
  ASSERT_TRUE(sorted.ok && reversed.ok);
  sorted.Midi({NoteOn(100, 69), NoteOff(300, 69)});
  reversed.Midi({NoteOff(300, 69), NoteOn(100, 69)});
  std::vector<double> a = sorted.Render(4800), b = reversed.Render(4800);
  EXPECT_EQ(a, b);
  EXPECT_EQ(FirstNonZero(b), 96);
  // Released at 288 with "Damp" (8.4 ms): silent well before the end.
  EXPECT_TRUE(AllZero(b, 288 + 480, 4800));
  // Equal offsets keep their order of arrival, also when a later offset came in between: a
  // key pressed and released at 96 is over as soon.
  Session s(kRate, 512);
  s.Midi({NoteOn(96, 69), NoteOff(400, 50), NoteOff(96, 69)});
  EXPECT_TRUE(AllZero(s.Render(4800), 96 + 480, 4800));
}

TEST(MidiIntake, AllNotesOffActsAtDeliveryAndSparesNoteOnsQueuedBeforeIt) {
  for (int controller : {120, 123}) {
    SCOPED_TRACE(controller);
    Session s(kRate, 512);
    ASSERT_TRUE(s.ok);
    s.Midi({NoteOn(0, 60), NoteOn(0, 67)});
    s.Render(4800);
    // Sent on channel 6 at the end of the block: it acts before the block is rendered, so the
    // "Damp" release (8.4 ms, 403 samples) is over before the controller's offset.
    s.Midi({CC(480, controller, 0, 5)});
    std::vector<double> out = s.Render(512);
    EXPECT_GT(Peak(out, 0, 48), 0.01);
    EXPECT_TRUE(AllZero(out, 420, 512));
    // A note-on queued first, the controller following in the same delivery: it still sounds.
    s.Midi({NoteOn(10, 69), CC(20, controller, 0)});
    out = s.Render(24000);
    EXPECT_NEAR(CrossingHz(out, 4800, 19200, kRate), 440.0, 0.5);
    EXPECT_GT(Rms(out, 4800, 19200), 0.05);
  }
}

TEST(MidiIntake, SustainPedalHoldsReleasedKeysUntilItIsLifted) {
  Session s(kRate, 512);
  ASSERT_TRUE(s.ok);
  const std::vector<TimedEvent> events = {
      {0, NoteOn(0, 64)}, {480, CC(0, 64, 127)}, {2400, NoteOff(0, 64)}, {12000, CC(0, 64, 0)}};
  std::vector<double> out = s.RenderStream(events, 14400);
  const double held = Rms(out, 1200, 960);
  ASSERT_GT(held, 0.01);
  // The key is up but the pedal is down: the sustain level stays.
  EXPECT_NEAR(Rms(out, 10800, 960) / held, 1.0, 0.02);
  // Lifting the pedal releases the note ("Damp").
  EXPECT_TRUE(AllZero(out, 12000 + 480, 14400));

  // A pedal that goes down after the key is up does not bring it back.
  Session late(kRate, 512);
  std::vector<double> o2 =
      late.RenderStream({{0, NoteOn(0, 64)}, {2400, NoteOff(0, 64)}, {4800, CC(0, 64, 127)}}, 9600);
  EXPECT_TRUE(AllZero(o2, 2400 + 480, 9600));
}

TEST(MidiIntake, ProgramChangeRestoresTheProgramAtDelivery) {
  // Program 3 plays every Block at "4'", program 0 keeps the defaults; a program change on any
  // channel switches between them, one to a program that does not exist changes nothing.
  Session s(kRate, 512);
  ASSERT_TRUE(s.ok);
  s.host.SetProgram(3);
  s.SetBlocks(kOctave, "4'");
  s.host.SetProgram(0);
  s.Midi({NoteOn(0, 69)});
  EXPECT_NEAR(CrossingHz(s.Render(12000), 2400, 9600, kRate), 440.0, 0.5);
  s.Midi({TestHost::Midi(0, 0xC9, 3, 0), TestHost::Midi(0, 0xC0, 100, 0)});
  EXPECT_EQ(s.host.Program(), 3);
  EXPECT_NEAR(CrossingHz(s.Render(12000), 2400, 9600, kRate), 880.0, 1.0);
}

TEST(MidiIntake, MidiThruForwardsEveryMessageUnchanged) {
  // Note on and off; all notes off (acted on at once, forwarded too); 121 (dropped by the
  // instrument, forwarded); poly and channel aftertouch, pitch wheel, a controller; a program
  // change, ignored as set below but forwarded.
  Direct d;
  const int msgs[][4] = {{5, 0x91, 60, 100}, {6, 0x81, 60, 0},  {7, 0xB3, 123, 0},
                         {8, 0xB3, 121, 0},  {9, 0xA0, 60, 50}, {10, 0xD0, 40, 0},
                         {11, 0xE5, 0, 64},  {12, 0xB0, 7, 99}, {33, 0xC2, 7, 0}};
  d.q().setIgnoreProgramChange(true);
  for (bool thru : {false, true}) {
    d.q().setMidiThru(thru);
    for (const int* m : msgs) d.Midi(uint8_t(m[1]), uint8_t(m[2]), uint8_t(m[3]), m[0]);
  }
  ASSERT_EQ(Log().sent.size(), std::size(msgs));  // forwarded only while thru is on
  for (size_t i = 0; i < std::size(msgs); ++i) {
    const VstMidiEvent& e = Log().sent[i];
    EXPECT_EQ((std::vector<int>{e.deltaFrames, uint8_t(e.midiData[0]), uint8_t(e.midiData[1]),
                                uint8_t(e.midiData[2])}),
              std::vector<int>(msgs[i], msgs[i] + 4));
  }
  EXPECT_EQ(d.q().GetCurrentPresetIdx(), 0);
  d.q().setIgnoreProgramChange(false);
  d.Midi(0xC2, 7, 0);
  EXPECT_EQ(d.q().GetCurrentPresetIdx(), 7);
  EXPECT_EQ(Log().sent.size(), std::size(msgs) + 1);
}

}  // namespace
