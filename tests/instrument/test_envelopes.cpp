// Envelope timings measured from rendered audio: the voice envelope's attack, decay, release
// modes, hold and override release, and the general envelope generator driving the total VCA.
//
// The envelope is read as the ratio of two renders of the same key on fresh instances: the
// voices take their waveform from master oscillators that run on from the reset whatever the
// notes do, so the two renders differ only by their envelopes.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace qtest;

namespace {

constexpr double kRate = 48000.0;
constexpr double kMs = kRate / 1000.0;  // samples per millisecond

template <typename Setup>
std::vector<double> Play(Setup setup, const std::vector<TimedEvent>& events, int frames, int block = 512) {
  Session s(kRate, 512);
  EXPECT_TRUE(s.ok);
  setup(s);
  return s.RenderStream(events, frames, block);
}
auto noSetup = [](Session&) {};

// Envelope of a patch relative to the default patch (attack 5 ms, sustain 1) holding the same
// key from the same moment.
template <typename Setup>
std::vector<double> Envelope(Setup setup, const std::vector<TimedEvent>& events, int frames, int block = 512) {
  std::vector<double> a = Play(setup, events, frames, block);
  std::vector<TimedEvent> held;
  for (const TimedEvent& e : events)
    if ((e.event.midiData[0] & 0xF0) == 0x90 && e.event.midiData[2] > 0) held.push_back(e);
  std::vector<double> b = Play(noSetup, held, frames, block);
  return EnvelopeRatio(a, b, 0.02);
}

// Level of a release that starts at 1: aims at -1/9 and reaches 0 after T seconds.
double ReleaseLevel(double seconds, double p) {
  return 10.0 / 9.0 * std::pow(10.0, -seconds / SegmentSeconds(p)) - 1.0 / 9.0;
}

TEST(VoiceEnvelope, AttackAtZeroTakesFiveMilliseconds) {
  // Reference: the key held since 0, so its envelope is at 1 when the measured note starts.
  const int t = 4800;
  std::vector<double> a = Play(noSetup, {{t, NoteOn(0, 69)}}, t + 2400);
  std::vector<double> b = Play(noSetup, {{0, NoteOn(0, 69)}}, t + 2400);
  std::vector<double> r = EnvelopeRatio(a, b, 0.02);
  const int end = FirstRatioAtOrAbove(r, t, 0.9999);
  ASSERT_GT(end, 0);
  EXPECT_NEAR((end - t) / kMs, 1000.0 * SegmentSeconds(0.0), 0.05);
  EXPECT_NEAR(SegmentSeconds(0.0), 0.005, 0.0001);
  // Half-way up well before that: the attack aims at 10/9.
  EXPECT_NEAR(RatioNear(r, t + 62), 0.5, 0.01);
}

TEST(VoiceEnvelope, AttackAtOneHalfTakes891Milliseconds) {
  std::vector<double> r = Envelope([](Session& s) { s.SetBlocks(kEMAtk, 0.5); }, {{0, NoteOn(0, 69)}}, 45600);
  const int end = FirstRatioAtOrAbove(r, 0, 0.9999);
  ASSERT_GT(end, 0);
  EXPECT_NEAR(end / kRate, 0.891, 0.001);
  EXPECT_NEAR(SegmentSeconds(0.5), 0.891, 0.0005);
}

TEST(VoiceEnvelope, DecayFallsNinetyPercentToSustain) {
  // "EM Dcy" 0 is the time parameter 0.2: 39.8 ms for 90 % of the way from 1 to the sustain.
  std::vector<double> r = Envelope(
      [](Session& s) {
        s.SetBlocks(kEMDcy, 0.0);
        s.SetBlocks(kEMSus, 0.5);
      },
      {{0, NoteOn(0, 69)}}, 9600);
  // Both renders share the attack; the decay starts where the ratio leaves 1, at 5 ms.
  const int top = FirstRatioAtOrBelow(r, 0, 0.9999);
  const int ninety = FirstRatioAtOrBelow(r, top, 0.55);
  ASSERT_GT(top, 0);
  EXPECT_NEAR(top / kMs, 5.0, 0.05);
  ASSERT_GT(ninety, 0);
  EXPECT_NEAR((ninety - top) / kMs, 1000.0 * SegmentSeconds(0.2), 0.1);
  EXPECT_NEAR(RatioNear(r, 9599), 0.5, 0.001);
}

TEST(VoiceEnvelope, ReleaseModes) {
  const int off = 4800;
  struct Case {
    const char* mode;
    double p;
  } cases[] = {{"Damp", 0.05}, {"Halp Damp", 0.43}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const double seconds = SegmentSeconds(c.p);
    std::vector<double> r = Envelope([&](Session& s) { s.SetBlocks(kEMRel, c.mode); },
                                     {{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, off + int(seconds * kRate) + 2400);
    EXPECT_NEAR(RatioNear(r, off - 1), 1.0, 1e-9);
    const int zero = FirstRatioAtOrBelow(r, off, 0.0);
    ASSERT_GT(zero, 0);
    EXPECT_NEAR((zero - off) / kRate, seconds, 0.0002 + seconds * 0.001);
    EXPECT_NEAR(RatioNear(r, off + int(seconds * kRate / 2)), ReleaseLevel(seconds / 2, c.p), 0.003);
  }
  // "Release" is 11.9 s long: half a second in, the level follows the same law.
  std::vector<double> r = Envelope([](Session& s) { s.SetBlocks(kEMRel, "Release"); },
                                   {{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, off + 24000);
  EXPECT_NEAR(SegmentSeconds(0.75), 11.885, 0.001);
  EXPECT_NEAR(RatioNear(r, off + 24000 - 1), ReleaseLevel(0.5, 0.75), 0.002);
}

TEST(VoiceEnvelope, OverrideReleaseReplacesTheReleaseMode) {
  const int off = 2400;
  const std::vector<TimedEvent> events = {{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}};
  // "EM O.Rel" 0.3: 112 ms instead of the 8.4 ms of "Damp".
  std::vector<double> r = Envelope(
      [](Session& s) {
        s.SetBlocks(kOverRel, "on");
        s.SetBlocks(kEMORel, 0.3);
      },
      events, off + 7200);
  const int zero = FirstRatioAtOrBelow(r, off, 0.0);
  ASSERT_GT(zero, 0);
  EXPECT_NEAR((zero - off) / kRate, SegmentSeconds(0.3), 0.0003);
  // Switched off, the time stays with the list.
  std::vector<double> d = Envelope([](Session& s) { s.SetBlocks(kEMORel, 0.3); }, events, off + 7200);
  const int dampZero = FirstRatioAtOrBelow(d, off, 0.0);
  EXPECT_NEAR((dampZero - off) / kRate, SegmentSeconds(0.05), 0.0002);
}

TEST(VoiceEnvelope, HoldIgnoresTheKeyUntilSwitchedOff) {
  // "EM Hold" on with "Use Hold" off: the key's release is ignored; switching the hold off
  // releases the note at the next frame.
  const int off = 2400, unhold = 9600;
  Session s(kRate, 512);
  ASSERT_TRUE(s.ok);
  s.Set(kUseHold, "off");
  s.SetBlocks(kEMHold, "on");
  s.beforeBlock = [&](int start, int) {
    if (start == unhold) s.SetBlocks(kEMHold, "off");
  };
  std::vector<double> out = s.RenderStream({{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, unhold + 2400, 480);
  const double held = Rms(out, 1200, 960);
  EXPECT_NEAR(Rms(out, unhold - 960, 960) / held, 1.0, 0.01);
  EXPECT_TRUE(AllZero(out, unhold + 480, unhold + 2400));

  // With "Use Hold" on the hold waits for the (modulated) attack to pass 0.7: with "EM Atk" at
  // 0 it never engages and the key releases as usual.
  Session u(kRate, 512);
  u.SetBlocks(kEMHold, "on");
  std::vector<double> o2 = u.RenderStream({{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, 4800);
  EXPECT_TRUE(AllZero(o2, off + 480, 4800));
}

TEST(VoiceEnvelope, ReleaseTriggerEndsAHeldNote) {
  // The key is up but "EM Hold" holds the note; controller 20 fires "Trg1", the release
  // trigger, which releases it even so.
  const int fire = 4800;
  auto run = [&](const char* trigger) {
    Session s(kRate, 512);
    EXPECT_TRUE(s.ok);
    s.Set(kUseHold, "off");
    s.SetBlocks(kEMHold, "on");
    s.SetEntry(kTrg1Src, 20, 120);
    s.SetBlocks(kEMRSrc, trigger);
    return s.RenderStream({{0, NoteOn(0, 69)}, {960, NoteOff(0, 69)}, {fire, CC(0, 20, 127)}}, fire + 2400);
  };
  std::vector<double> out = run("Trg1");
  EXPECT_GT(Rms(out, fire - 960, 960), 0.05);
  EXPECT_TRUE(AllZero(out, fire + 480, fire + 2400));
  std::vector<double> free = run("off");
  EXPECT_GT(Rms(free, fire + 960, 960), 0.05);
}

// ---- General envelope generator through the total VCA -----------------------------------

TEST(GeneralEnvelope, IdleGegSilencesTheTotalVca) {
  Session s(kRate, 512);
  ASSERT_TRUE(s.ok);
  s.Set(kTVCASrc, "GE3+");
  s.Midi({NoteOn(0, 69)});
  std::vector<double> out = s.Render(4800);
  EXPECT_TRUE(AllZero(out, 0, 4800));
  s.Set(kTVCASrc, "off");
  std::vector<double> on = s.Render(4800);
  EXPECT_GT(Rms(on, 0, 4800), 0.05);
}

TEST(GeneralEnvelope, KeyboardTriggerStartsDelayAndAttack) {
  // "GEG Src1" = "Mlt": delay 5 ms (delay ramp at 0), then the attack reaches 0.999 after a
  // further 15 ms (three times the segment time), then it holds at 1.
  std::vector<double> r = Envelope(
      [](Session& s) {
        s.Set(kTVCASrc, "GE3+");
        s.Set(kGEGSrc1, "Mlt");
      },
      {{0, NoteOn(0, 69)}}, 4800);
  const int start = FirstRatioAtOrAbove(r, 0, 1e-9);
  ASSERT_GT(start, 0);
  EXPECT_NEAR(start / kMs, 5.0, 0.1);
  const int top = FirstRatioAtOrAbove(r, 0, 0.999);
  EXPECT_NEAR(top / kMs, 5.0 + 15.0, 0.2);
  EXPECT_NEAR(RatioNear(r, 4799), 1.0, 1e-9);
}

TEST(GeneralEnvelope, DelayLengthFollowsTheTimeLaw) {
  std::vector<double> r = Envelope(
      [](Session& s) {
        s.Set(kTVCASrc, "GE3+");
        s.Set(kGEGSrc2, "Mlt");
        s.Set(kGEGDly, 0.3);
      },
      {{0, NoteOn(0, 69)}}, 7200);
  const int start = FirstRatioAtOrAbove(r, 0, 1e-9);
  EXPECT_NEAR(start / kRate, SegmentSeconds(0.3), 0.0002);
}

TEST(GeneralEnvelope, AutoReleaseFallsIn891MillisecondsAtOneHalf) {
  std::vector<double> r = Envelope(
      [](Session& s) {
        s.Set(kTVCASrc, "GE3+");
        s.Set(kGEGSrc1, "Mlt");
        s.Set(kGEGAuto, "on");
        s.Set(kGEGRel, 0.5);
      },
      {{0, NoteOn(0, 69)}}, 48000);
  const int top = FirstRatioAtOrAbove(r, 0, 0.999);
  ASSERT_GT(top, 0);
  const int zero = FirstRatioAtOrBelow(r, top, 0.0);
  ASSERT_GT(zero, 0);
  EXPECT_NEAR((zero - top) / kRate, 0.891, 0.001);
}

TEST(GeneralEnvelope, ReleasingTheLastKeyStopsIt) {
  // The pedal keeps the voice sounding after the key; the GEG falls with the key (release
  // 0.2: 39.8 ms).
  const int off = 2400;
  std::vector<double> r = Envelope(
      [](Session& s) {
        s.Set(kTVCASrc, "GE3+");
        s.Set(kGEGSrc1, "Mlt");
        s.Set(kGEGRel, 0.2);
      },
      {{0, CC(0, 64, 127)}, {0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, off + 4800);
  EXPECT_NEAR(RatioNear(r, off - 1), 1.0, 1e-9);
  const int zero = FirstRatioAtOrBelow(r, off, 0.0);
  ASSERT_GT(zero, 0);
  EXPECT_NEAR((zero - off) / kRate, SegmentSeconds(0.2), 0.0002);
}

TEST(GeneralEnvelope, KbdTriggerFiresWhenTheSetNumberOfKeysIsHeld) {
  // "KBD Trig" 2: the first key leaves the GEG idle (silence); the second starts it.
  Session s(kRate, 512);
  ASSERT_TRUE(s.ok);
  s.Set(kTVCASrc, "GE3+");
  s.Set(kGEGSrc1, "KBD");
  s.Set(kKBDTrig, "2");
  std::vector<double> out = s.RenderStream({{0, NoteOn(0, 69)}, {4800, NoteOn(0, 76)}}, 9600);
  EXPECT_TRUE(AllZero(out, 0, 4800));
  EXPECT_GT(Rms(out, 7200, 2400), 0.05);
}

}  // namespace
