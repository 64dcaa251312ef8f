// Pitch, measured from rendered audio: the footages and the keys they silence, the tuning
// offsets, pitch bend, frequency modulation, and the pulse widths of the pulse waveforms.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace qtest;

namespace {

constexpr double kRate = 48000.0;
constexpr int kNote69 = 69 * 128;  // pitch of A 440

// Plays one key on a fresh instance prepared by setup, and returns the frequency measured
// over [from, from + count) of the left channel.
template <typename Setup>
double PlayHz(int note, Setup setup, int from = 2400, int count = 9600, std::vector<VstMidiEvent> extra = {}) {
  Session s(kRate, 512);
  EXPECT_TRUE(s.ok);
  setup(s);
  std::vector<VstMidiEvent> events = {NoteOn(0, note)};
  events.insert(events.end(), extra.begin(), extra.end());
  s.Midi(events);
  std::vector<double> out = s.Render(from + count);
  EXPECT_GT(Rms(out, from, count), 0.01) << "key " << note << " is silent";
  return CrossingHz(out, from, count, kRate);
}

TEST(Pitch, FootagesAreOctaves) {
  const char* footage[4] = {"16'", "8'", "4'", "2'"};
  for (int f = 0; f < 4; ++f) {
    SCOPED_TRACE(footage[f]);
    const double hz = PlayHz(69, [&](Session& s) { s.SetBlocks(kOctave, footage[f]); });
    const double expected = 440.0 * std::pow(2.0, f - 1);
    EXPECT_NEAR(hz, expected, expected * 2e-4);
  }
}

TEST(Pitch, LowKeysBelowTheFootageAreSilent) {
  struct Case {
    const char* footage;
    int lastSilent;
  } cases[] = {{"16'", 23}, {"8'", 11}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.footage);
    Session s(kRate, 512);
    ASSERT_TRUE(s.ok);
    s.SetBlocks(kOctave, c.footage);
    s.Midi({NoteOn(0, c.lastSilent), NoteOn(0, c.lastSilent - 11)});
    std::vector<double> silent = s.Render(4800);
    // Nothing but the filters' anti-denormal offset (1e-13) gets through.
    EXPECT_LT(Peak(silent, 0, 4800), 1e-11);
    // The next key up sounds, at the masters' own pitch (MIDI note 12, 16.352 Hz).
    s.Midi({NoteOn(0, c.lastSilent + 1)});
    std::vector<double> out = s.Render(48000);
    EXPECT_NEAR(CrossingHz(out, 2400, 45600, kRate), NoteTableHz(12), 0.01);
  }
}

TEST(Pitch, TuneOffsetsMoveOnlyTheirPitchClass) {
  // "Tune A" +100 cents is one semitone (128 pitch units) on every A, and leaves C alone.
  auto tuneA = [](Session& s) { s.SetBlocks(kTuneA, 100.0); };
  EXPECT_NEAR(PlayHz(69, tuneA), NoteTableHz(70), 0.05);
  EXPECT_NEAR(PlayHz(57, tuneA), NoteTableHz(58), 0.05);
  EXPECT_NEAR(PlayHz(60, tuneA), NoteTableHz(60), 0.05);
  // -50 cents on C#: 64 units below the key, between the table's entries.
  EXPECT_NEAR(PlayHz(61, [](Session& s) { s.SetBlocks(kTuneCs, -50.0); }), PitchHz(61 * 128 - 64), 0.05);
}

TEST(Pitch, FineAndCoarseShiftEveryKey) {
  // Cents become pitch units by 1.28 and truncation; between two semitones the frequency is
  // interpolated linearly (453.08 Hz half-way up from A 440, not the 452.89 Hz of a true
  // quarter tone).
  EXPECT_NEAR(PlayHz(69, [](Session& s) { s.SetBlocks(kFine, 50.0); }), PitchHz(kNote69 + 64), 0.05);
  EXPECT_NEAR(PitchHz(kNote69 + 64), 453.082, 0.001);
  EXPECT_NEAR(PlayHz(69, [](Session& s) { s.SetBlocks(kFine, -100.0); }), NoteTableHz(68), 0.05);
  EXPECT_NEAR(PlayHz(69, [](Session& s) { s.SetBlocks(kCoarse, 700.0); }), NoteTableHz(76), 0.05);
  EXPECT_NEAR(PlayHz(69, [](Session& s) { s.SetBlocks(kCoarse, -800.0); }), NoteTableHz(61), 0.05);
  // Tune, fine and coarse add up: three times int(12.8).
  EXPECT_NEAR(PlayHz(69,
                     [](Session& s) {
                       s.SetBlocks(kTuneA, 10.0);
                       s.SetBlocks(kFine, 10.0);
                       s.SetBlocks(kCoarse, 10.0);
                     }),
              PitchHz(kNote69 + 36), 0.05);
}

TEST(Pitch, PitchBendFollowsTheRangeAndItsSign) {
  auto range = [](int semitones) { return [=](Session& s) { s.Set(kPBRange, double(semitones)); }; };
  // Full down is exactly -1: an octave below.
  EXPECT_NEAR(PlayHz(69, range(12), 2400, 9600, {Bend(0, 0)}), 220.0, 0.05);
  // Full up is 8191/8192 of the range: 1535 units, a 128th of a semitone short of the octave.
  EXPECT_NEAR(PlayHz(69, range(12), 2400, 9600, {Bend(0, 16383)}), PitchHz(kNote69 + 1535), 0.1);
  EXPECT_NEAR(PlayHz(69, range(12), 2400, 9600, {Bend(0, 8192)}), 440.0, 0.05);
  // A negative range turns the wheel round: full down raises by an octave.
  EXPECT_NEAR(PlayHz(69, range(-12), 2400, 9600, {Bend(0, 0)}), 880.0, 0.1);
  EXPECT_NEAR(PlayHz(69, range(2), 2400, 9600, {Bend(0, 0)}), NoteTableHz(67), 0.05);
  // Range 0 (the default) ignores the wheel.
  EXPECT_NEAR(PlayHz(69, range(0), 2400, 9600, {Bend(0, 0)}), 440.0, 0.05);
}

TEST(Pitch, FrequencyModulationBySource) {
  auto fm = [](const char* polarity, double depth) {
    return [=](Session& s) {
      s.SetBlocks(kFMMod, "on");
      s.SetBlocks(kFMSrc, "+5V");
      s.SetBlocks(kFMGEG, depth);
      s.SetBlocks(kFMRev, polarity);
    };
  };
  EXPECT_NEAR(PlayHz(69, fm("Positive", 1536.0)), 880.0, 0.1);
  EXPECT_NEAR(PlayHz(69, fm("Negative", 1536.0)), 220.0, 0.05);
  EXPECT_NEAR(PlayHz(69, fm("Positive", 768.0)), NoteTableHz(75), 0.1);
  // Switched off, the depth does nothing.
  EXPECT_NEAR(PlayHz(69,
                     [](Session& s) {
                       s.SetBlocks(kFMSrc, "+5V");
                       s.SetBlocks(kFMGEG, 1536.0);
                     }),
              440.0, 0.05);
}

TEST(Pitch, FrequencyModulationByMG1Square) {
  // MG1 as a 5 Hz square, depth one octave: the key alternates between 880 Hz (first half of
  // each cycle, +1) and 220 Hz (second half, -1).
  Session s(kRate, 512);
  ASSERT_TRUE(s.ok);
  s.SetBlocks(kFMMod, "on");
  s.SetBlocks(kFMMG1, 1536.0);
  s.SetBlocks(kMG1Wave, "Square");
  s.SetBlocks(kMG1Freq, 5.0);
  s.Midi({NoteOn(0, 69)});
  std::vector<double> out = s.Render(2400 + 2 * 9600);
  int high = 0, low = 0, windows = 0;
  for (int w = 2400; w + 960 <= int(out.size()); w += 960, ++windows) {
    const double hz = CrossingHz(out, w, 960, kRate);
    high += std::fabs(hz - 880.0) < 2.0;
    low += std::fabs(hz - 220.0) < 1.0;
  }
  EXPECT_GE(high, windows * 35 / 100);
  EXPECT_GE(low, windows * 35 / 100);
  EXPECT_GE(high + low, windows * 80 / 100);
}

TEST(Pitch, PulseWaveformsHaveTheirDutyCycles) {
  // A pulse is the difference of two sawtooth reads a width apart: it sits below zero for
  // that fraction of the cycle.
  struct Case {
    const char* waveform;
    double width;
  } cases[] = {{"Square", 0.5}, {"Rect", 0.3}, {"Pulse", 0.1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waveform);
    Session s(kRate, 512);
    ASSERT_TRUE(s.ok);
    s.SetBlocks(kWaveform, c.waveform);
    s.Midi({NoteOn(0, 57)});
    std::vector<double> out = s.Render(2400 + 9600);
    const double below = 1.0 - audio::fractionAbove(out.data() + 2400, 9600, 0.0);
    EXPECT_NEAR(below, c.width, 0.02);
    EXPECT_NEAR(CrossingHz(out, 2400, 9600, kRate), 220.0, 0.05);
  }
}

TEST(Pitch, PulseWidthModulationWidensThePulse) {
  // "PWM" with the constant source at full intensity: width 0.5 + (0.25 + 0.25) * 0.9 = 0.95.
  for (double intensity : {0.0, 100.0}) {
    SCOPED_TRACE(intensity);
    Session s(kRate, 512);
    ASSERT_TRUE(s.ok);
    s.SetBlocks(kWaveform, "PWM");
    s.SetBlocks(kPWMSrc, "+5V");
    s.SetBlocks(kPWMInt, intensity);
    s.Midi({NoteOn(0, 57)});
    std::vector<double> out = s.Render(2400 + 9600);
    const double below = 1.0 - audio::fractionAbove(out.data() + 2400, 9600, 0.0);
    EXPECT_NEAR(below, intensity > 0.0 ? 0.95 : 0.5, 0.02);
  }
}

}  // namespace
