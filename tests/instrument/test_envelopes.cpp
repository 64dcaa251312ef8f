// Envelope timings measured from rendered audio (as the ratio of two renders, see
// EnvelopeRatio): the voice envelope's attack, decay, release modes, hold and override release,
// and the general envelope generator driving the total VCA.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;

const Setting kGegOnTotalVca = {Global(kTVCASrc), "GE3+"}, kGegByKeys = {Global(kGEGSrc1), "Mlt"};

std::vector<double> Play(const std::vector<Setting>& settings,
                         const std::vector<TimedEvent>& events, int frames) {
  Session s(kRate, 512);
  EXPECT_TRUE(s.ok);
  s.Apply(settings);
  return s.RenderStream(events, frames);
}

// Envelope of a patch relative to the default patch (attack 5 ms, sustain 1) holding the same
// key from the same moment.
std::vector<double> Envelope(const std::vector<Setting>& settings,
                             const std::vector<TimedEvent>& events, int frames) {
  std::vector<TimedEvent> held;
  for (const TimedEvent& e : events)
    if ((e.event.midiData[0] & 0xF0) == 0x90 && e.event.midiData[2] > 0) held.push_back(e);
  return EnvelopeRatio(Play(settings, events, frames), Play({}, held, frames), 0.02);
}

// Seconds from sample `from` until the envelope first reaches level (from above or below).
double SecondsTo(const std::vector<double>& r, int from, double level, bool rising) {
  const int at = FirstRatioAt(r, from, level, rising);
  EXPECT_GT(at, 0) << "level " << level << " never reached";
  return (at - from) / kRate;
}

// Level of a release that starts at 1: aims at -1/9 and reaches 0 after T seconds.
double ReleaseLevel(double seconds, double p) {
  return 10.0 / 9.0 * std::pow(10.0, -seconds / SegmentSeconds(p)) - 1.0 / 9.0;
}

const std::vector<TimedEvent> kHeld = {{0, NoteOn(0, 69)}};

TEST(VoiceEnvelope, AttackTakesFiveMillisecondsAt0And891At0Point5) {
  // Reference: the key held since 0, so its envelope is at 1 when the measured note starts.
  const int t = 4800;
  const std::vector<double> r =
      EnvelopeRatio(Play({}, {{t, NoteOn(0, 69)}}, t + 2400), Play({}, kHeld, t + 2400), 0.02);
  EXPECT_NEAR(SecondsTo(r, t, 0.9999, true), 0.005, 0.00005);
  // Half-way up well before that: the attack aims at 10/9.
  EXPECT_NEAR(RatioNear(r, t + 62), 0.5, 0.01);
  EXPECT_NEAR(SecondsTo(Envelope({{kEMAtk, "0.5"}}, kHeld, 45600), 0, 0.9999, true), 0.891, 0.001);
}

TEST(VoiceEnvelope, DecayFallsNinetyPercentToSustain) {
  // "EM Dcy" 0 is the time parameter 0.2: 39.8 ms for 90 % of the way from 1 to the sustain.
  const std::vector<double> r = Envelope({{kEMDcy, "0"}, {kEMSus, "0.5"}}, kHeld, 9600);
  // Both renders share the attack; the decay starts where the ratio leaves 1, at 5 ms.
  const int top = FirstRatioAt(r, 0, 0.9999, false);
  ASSERT_GT(top, 0);
  EXPECT_NEAR(top / kRate, 0.005, 0.00005);
  EXPECT_NEAR(SecondsTo(r, top, 0.55, false), SegmentSeconds(0.2), 0.0001);
  EXPECT_NEAR(RatioNear(r, 9599), 0.5, 0.001);
}

TEST(VoiceEnvelope, ReleaseModesAndOverrideRelease) {
  const int off = 4800;
  const std::vector<TimedEvent> events = {{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}};
  // "EM O.Rel" replaces the mode's time only while "Over Rel" is on: 0.3 is 112 ms.
  const struct {
    std::vector<Setting> settings;
    double p;
  } cases[] = {{{{kEMRel, "Damp"}}, 0.05},
               {{{kEMRel, "Halp Damp"}}, 0.43},
               {{{kOverRel, "on"}, {kEMORel, "0.3"}}, 0.3},
               {{{kEMORel, "0.3"}}, 0.05}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings.back().text);
    const double seconds = SegmentSeconds(c.p);
    const std::vector<double> r = Envelope(c.settings, events, off + int(seconds * kRate) + 2400);
    EXPECT_NEAR(RatioNear(r, off - 1), 1.0, 1e-9);
    EXPECT_NEAR(SecondsTo(r, off, 0.0, false), seconds, 0.0002 + seconds * 0.001);
    EXPECT_NEAR(RatioNear(r, off + int(seconds * kRate / 2)), ReleaseLevel(seconds / 2, c.p),
                0.003);
  }
  // "Release" is 11.9 s long: half a second in, the level follows the same law.
  const std::vector<double> r = Envelope({{kEMRel, "Release"}}, events, off + 24000);
  EXPECT_NEAR(RatioNear(r, off + 24000 - 1), ReleaseLevel(0.5, 0.75), 0.002);
}

TEST(VoiceEnvelope, HoldIgnoresTheKeyUntilSwitchedOffOrReleasedByItsTrigger) {
  // "EM Hold" on with "Use Hold" off: the key's release is ignored; switching the hold off
  // releases the note at the next frame; so does the release trigger ("Trg1", controller 20).
  // Without that trigger the controller leaves the held note alone.
  const int off = 2400, unhold = 9600;
  for (const char* releaseBy : {"switch", "Trg1", "nothing"}) {
    SCOPED_TRACE(releaseBy);
    Session s(kRate, 512);
    ASSERT_TRUE(s.ok);
    s.Set(kUseHold, "off");
    s.SetBlocks(kEMHold, "on");
    s.host.SetParameter(kTrg1Src, 20.0f / 119.0f);  // controller 20
    s.SetBlocks(kEMRSrc, releaseBy[0] == 'T' ? "Trg1" : "off");
    s.beforeBlock = [&](int start, int) {
      if (releaseBy[0] == 's' && start == unhold) s.SetBlocks(kEMHold, "off");
    };
    const std::vector<double> out = s.RenderStream(
        {{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}, {unhold, CC(0, 20, 127)}}, unhold + 2400, 480);
    EXPECT_NEAR(Rms(out, unhold - 960, 960) / Rms(out, 1200, 960), 1.0, 0.01);
    if (releaseBy[0] == 'n')
      EXPECT_GT(Rms(out, unhold + 960, 960), 0.05);
    else
      EXPECT_TRUE(AllZero(out, unhold + 480, unhold + 2400));
  }

  // With "Use Hold" on the hold waits for the (modulated) attack to pass 0.7: with "EM Atk" at
  // 0 it never engages and the key releases as usual.
  const std::vector<double> u =
      Play({{kEMHold, "on"}}, {{0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, 4800);
  EXPECT_TRUE(AllZero(u, off + 480, 4800));
}

TEST(GeneralEnvelope, KeyboardTriggerStartsDelayAndAttack) {
  // "GEG Src1" = "Mlt": delay 5 ms (delay ramp at 0), then the attack reaches 0.999 after a
  // further 15 ms (three times the segment time), then it holds at 1.
  const std::vector<double> r = Envelope({kGegOnTotalVca, kGegByKeys}, kHeld, 4800);
  EXPECT_NEAR(SecondsTo(r, 0, 1e-9, true), 0.005, 0.0001);
  EXPECT_NEAR(SecondsTo(r, 0, 0.999, true), 0.020, 0.0002);
  EXPECT_NEAR(RatioNear(r, 4799), 1.0, 1e-9);
  // The delay follows the time law, here through "GEG Src2".
  const std::vector<double> d =
      Envelope({kGegOnTotalVca, {Global(kGEGSrc2), "Mlt"}, {Global(kGEGDly), "0.3"}}, kHeld, 7200);
  EXPECT_NEAR(SecondsTo(d, 0, 1e-9, true), SegmentSeconds(0.3), 0.0002);
}

TEST(GeneralEnvelope, AutoReleaseFallsIn891MillisecondsAtOneHalf) {
  const std::vector<double> r =
      Envelope({kGegOnTotalVca, kGegByKeys, {Global(kGEGAuto), "on"}, {Global(kGEGRel), "0.5"}},
               kHeld, 48000);
  const int top = FirstRatioAt(r, 0, 0.999, true);
  ASSERT_GT(top, 0);
  EXPECT_NEAR(SecondsTo(r, top, 0.0, false), 0.891, 0.001);
}

TEST(GeneralEnvelope, ReleasingTheLastKeyStopsIt) {
  // The pedal keeps the voice sounding after the key; the GEG falls with the key (release
  // 0.2: 39.8 ms).
  const int off = 2400;
  const std::vector<double> r =
      Envelope({kGegOnTotalVca, kGegByKeys, {Global(kGEGRel), "0.2"}},
               {{0, CC(0, 64, 127)}, {0, NoteOn(0, 69)}, {off, NoteOff(0, 69)}}, off + 4800);
  EXPECT_NEAR(RatioNear(r, off - 1), 1.0, 1e-9);
  EXPECT_NEAR(SecondsTo(r, off, 0.0, false), SegmentSeconds(0.2), 0.0002);
}

}  // namespace
