// Pitch, measured from rendered audio: the footages and the keys they silence, the tuning
// offsets, pitch bend, frequency modulation, and the pulse widths of the pulse waveforms.
#include <gtest/gtest.h>

#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;
constexpr int kNote69 = 69 * 128;  // pitch of A 440

// Plays one key on a fresh instance with the settings and the extra MIDI: the left channel,
// measured over [2400, 12000).
std::vector<double> Play(int note, const std::vector<Setting>& settings,
                         std::vector<VstMidiEvent> extra = {}) {
  Session s(kRate, 512);
  EXPECT_TRUE(s.ok);
  s.Apply(settings);
  extra.insert(extra.begin(), NoteOn(0, note));
  s.Midi(extra);
  std::vector<double> out = s.Render(12000);
  EXPECT_GT(Rms(out, 2400, 9600), 0.01) << "key " << note << " is silent";
  return out;
}

// Frequency modulation by the constant source.
std::vector<Setting> FM(const char* depth, const char* sign) {
  return {{kFMMod, "on"}, {kFMSrc, "+5V"}, {kFMGEG, depth}, {kFMRev, sign}};
}

TEST(Pitch, FootagesTuningBendAndModulation) {
  const std::vector<Setting> range12 = {{Global(kPBRange), "12"}};
  const double bentUp = PitchHz(kNote69 + 1535), allThree = PitchHz(kNote69 + 36);
  const struct {
    const char* what;
    int note;
    std::vector<Setting> settings;
    std::vector<VstMidiEvent> extra;
    double hz, tolerance;
  } cases[] = {
      {"16'", 69, {{kOctave, "16'"}}, {}, 220.0, 0.044},
      {"8'", 69, {{kOctave, "8'"}}, {}, 440.0, 0.088},
      {"4'", 69, {{kOctave, "4'"}}, {}, 880.0, 0.176},
      {"2'", 69, {{kOctave, "2'"}}, {}, 1760.0, 0.352},
      // "Tune A" +100 cents is one semitone (128 pitch units).
      {"Tune A on A4", 69, {{kTuneA, "100"}}, {}, NoteTableHz(70), 0.05},
      // -50 cents on C#: 64 units below the key, between the table's entries.
      {"Tune C#", 61, {{kTuneCs, "-50"}}, {}, PitchHz(61 * 128 - 64), 0.05},
      // Cents become pitch units by 1.28 and truncation; between two semitones the frequency
      // is interpolated linearly (453.08 Hz half-way up from A 440, not the 452.89 Hz of a
      // true quarter tone).
      {"Fine +50", 69, {{kFine, "50"}}, {}, 453.082, 0.05},
      {"Fine -100", 69, {{kFine, "-100"}}, {}, NoteTableHz(68), 0.05},
      {"Coarse +700", 69, {{kCoarse, "700"}}, {}, NoteTableHz(76), 0.05},
      {"Coarse -800", 69, {{kCoarse, "-800"}}, {}, NoteTableHz(61), 0.05},
      // Tune, fine and coarse add up: three times int(12.8).
      {"all three", 69, {{kTuneA, "10"}, {kFine, "10"}, {kCoarse, "10"}}, {}, allThree, 0.05},
      // Full down is exactly -1: an octave below. Full up is 8191/8192 of the range: 1535
      // units, a 128th of a semitone short of the octave.
      {"bend down", 69, range12, {Bend(0, 0)}, 220.0, 0.05},
      {"bend up", 69, range12, {Bend(0, 16383)}, bentUp, 0.1},
      {"bend centre", 69, range12, {Bend(0, 8192)}, 440.0, 0.05},
      // A negative range turns the wheel round: full down raises by an octave.
      {"bend down, range -12", 69, {{Global(kPBRange), "-12"}}, {Bend(0, 0)}, 880.0, 0.1},
      {"bend down, range 2", 69, {{Global(kPBRange), "2"}}, {Bend(0, 0)}, NoteTableHz(67), 0.05},
      {"range 0 ignores the wheel", 69, {{Global(kPBRange), "0"}}, {Bend(0, 0)}, 440.0, 0.05},
      // Data bytes are 7 bits: a set top bit is dropped (once note 197 played far up and the
      // wheel reached +3.0).
      {"note byte 0x80 | 69", 0x80 | 69, {}, {}, 440.0, 0.05},
      {"bend bytes 0xFF", 69, range12, {TestHost::Midi(0, 0xE0, 0xFF, 0xFF)}, bentUp, 0.1},
      // Frequency modulation by the constant source, one octave at 1536.
      {"FM up", 69, FM("1536", "Positive"), {}, 880.0, 0.1},
      {"FM down", 69, FM("1536", "Negative"), {}, 220.0, 0.05},
      {"FM half", 69, FM("768", "Positive"), {}, NoteTableHz(75), 0.1},
      {"FM switched off", 69, {{kFMSrc, "+5V"}, {kFMGEG, "1536"}}, {}, 440.0, 0.05},
  };
  EXPECT_NEAR(PitchHz(kNote69 + 64), 453.082, 0.001);
  for (const auto& c : cases)
    EXPECT_NEAR(CrossingHz(Play(c.note, c.settings, c.extra), 2400, 9600, kRate), c.hz, c.tolerance)
        << c.what;
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

TEST(Pitch, PulseWaveformsHaveTheirDutyCycles) {
  // A pulse is the difference of two sawtooth reads a width apart: it sits below zero for
  // that fraction of the cycle. "PWM" with the constant source at full intensity: width
  // 0.5 + (0.25 + 0.25) * 0.9 = 0.95.
  const struct {
    std::vector<Setting> settings;
    double width;
  } cases[] = {{{{kWaveform, "Square"}}, 0.5},
               {{{kWaveform, "Rect"}}, 0.3},
               {{{kWaveform, "Pulse"}}, 0.1},
               {{{kWaveform, "PWM"}, {kPWMSrc, "+5V"}, {kPWMInt, "0"}}, 0.5},
               {{{kWaveform, "PWM"}, {kPWMSrc, "+5V"}, {kPWMInt, "100"}}, 0.95}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings[0].text + std::string(" ") + c.settings.back().text);
    const std::vector<double> out = Play(57, c.settings);
    EXPECT_NEAR(1.0 - audio::fractionAbove(out.data() + 2400, 9600, 0.0), c.width, 0.02);
    EXPECT_NEAR(CrossingHz(out, 2400, 9600, kRate), 220.0, 0.05);
  }
}

}  // namespace
