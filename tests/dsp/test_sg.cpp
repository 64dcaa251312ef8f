// Sound generator: pitch, footages, tuning, pulse shapes and band-limiting, measured on
// rendered audio.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/pitch.h"
#include "dsp/sg.h"
#include "support/audio_measure.h"

using namespace quenta_test;

namespace {

constexpr int kNoteA4 = 69;
constexpr double kA4 = 440.0;

// One section's generator driven the way the section drives it: update at every control
// frame, one voice rendered per stretch, then the masters advanced.
struct Rig {
  double rate;
  int frame;
  std::vector<int> pitchMod;
  SG sg;

  Rig(double sampleRate, int waveform, int footage = SG::k8ft)
      : rate(sampleRate), frame(int(sampleRate) / 1000), pitchMod(size_t(frame), 0) {
    sg.setSampleRate(float(rate), pitchMod.data());
    sg.setWaveForm(waveform);
    sg.setOctaveSwitch(footage);
    sg.calcOffset();
  }

  std::vector<double> render(int note, double seconds, double pwm = 0.0) {
    std::vector<double> out(size_t(seconds * rate));
    const int total = int(out.size());
    for (int pos = 0; pos < total; pos += frame) {
      const int n = std::min(frame, total - pos);
      sg.update(pwm);
      sg.process(out.data() + pos, n, note / 12, note % 12, 0);
      sg.next(n);
    }
    return out;
  }

  // Sawtooth frequency from its smooth falling crossings (the rising ones sit on the jump).
  double sawPitch(int note, double seconds = 0.5) {
    return audio::crossingFrequency(render(note, seconds), rate, false);
  }
};

double noteHz(double note) { return kA4 * std::pow(2.0, (note - kNoteA4) / 12.0); }

}  // namespace

TEST(PitchConversion, TablesAndInterpolation) {
  EXPECT_EQ(pitch::toHz(0), 8.176);
  EXPECT_EQ(pitch::toHz(kNoteA4 * 128), 440.0);
  EXPECT_EQ(pitch::midi2HzTable()[1], 8.662);
  EXPECT_EQ(pitch::midi2HzTable()[135], 19912.127);
  EXPECT_EQ(pitch::toHz(-128), 7.7171163805);
  EXPECT_EQ(pitch::antiMidi2HzTable()[135], 0.0033570162);
  const double* t = pitch::midi2HzTable();
  EXPECT_DOUBLE_EQ(pitch::toHz(kNoteA4 * 128 + 64), (t[69] + t[70]) / 2);
  EXPECT_EQ(pitch::toHz(17280), 19912.127);
  EXPECT_EQ(pitch::toHz(1 << 30), 19912.127);
  EXPECT_EQ(pitch::toHz(-17280), 0.0033570162);
  EXPECT_EQ(pitch::toHz(-(1 << 30)), 0.0033570162);
  // Monotonic across the whole range, through pitch 0.
  for (int p = -17281; p < 17280; ++p) ASSERT_LE(pitch::toHz(p), pitch::toHz(p + 1)) << p;
}

TEST(SoundGenerator, PitchAtTwoSampleRates) {
  for (double rate : {44100.0, 48000.0}) {
    Rig saw(rate, SG::kSawtooth);
    EXPECT_NEAR(saw.sawPitch(kNoteA4), kA4, 0.01) << rate;
    EXPECT_NEAR(saw.sawPitch(40), noteHz(40), 0.01) << rate;
    Rig tri(rate, SG::kTriangle);
    EXPECT_NEAR(audio::crossingFrequency(tri.render(60, 0.5), rate), noteHz(60), 0.01) << rate;
  }
}

TEST(SoundGenerator, PulseWidthModulation) {
  constexpr double kRate = 48000.0;
  constexpr int kNote = 45;
  Rig rig(kRate, SG::kPWM);
  std::vector<double> before(size_t(rig.frame));
  rig.sg.process(before.data(), rig.frame, kNote / 12, kNote % 12, 0);
  EXPECT_EQ(audio::peak(before), 0.0) << "no width until the first update";
  for (double pwm : {0.0, 0.2, 0.4, -0.3}) {
    const std::vector<double> y = rig.render(kNote, 0.5, pwm);
    EXPECT_DOUBLE_EQ(rig.sg.getWidth(), 0.5 + pwm);
    EXPECT_NEAR(audio::fractionAbove(y.data(), int(y.size()), 0.0), 0.5 - pwm, 0.01) << pwm;
  }
  // Fixed-width pulses ignore the update argument.
  Rig rect(kRate, SG::kRect);
  const std::vector<double> y = rect.render(kNote, 0.2, 0.4);
  EXPECT_NEAR(audio::fractionAbove(y.data(), int(y.size()), 0.0), 0.7, 0.01);
}

// Energy outside the harmonics below half the sample rate, relative to the total.
static double aliasedShare(const std::vector<double>& y, double f0, double rate, int n) {
  const std::vector<double> p = audio::powerSpectrum(y.data() + y.size() - size_t(n), n);
  const double binHz = rate / n;
  double total = 0, stray = 0;
  for (size_t k = 1; k < p.size(); ++k) {
    const double hz = double(k) * binHz;
    const double h = std::round(hz / f0);
    const bool harmonic = h >= 1 && h * f0 < rate / 2 && std::fabs(hz - h * f0) <= 5 * binHz;
    total += p[k];
    if (!harmonic) stray += p[k];
  }
  return stray / total;
}

TEST(SoundGenerator, BandLimitedAtEveryHeight) {
  constexpr int kN = 8192;
  for (double rate : {44100.0, 48000.0}) {
    for (int waveform : {SG::kSawtooth, SG::kTriangle, SG::kPulse}) {
      Rig rig(rate, waveform);
      for (int note = 48; note <= 120; note += 6) {
        const std::vector<double> y = rig.render(note, 0.25);
        // Folded harmonics would sit between the true ones (one table too rich puts several
        // per cent there); what remains is the reads' phase truncation, below 2e-5.
        const double share = aliasedShare(y, noteHz(note), rate, kN);
        EXPECT_LT(share, 1e-4) << rate << " " << waveform << " " << note;
      }
    }
  }
}

TEST(SoundGenerator, VoicesOfAPitchClassArePhaseLocked) {
  constexpr double kRate = 48000.0;
  Rig rig(kRate, SG::kSawtooth);
  // Render two voices of pitch class A an octave apart from the same masters.
  const int total = int(kRate / 2);
  std::vector<double> low(static_cast<size_t>(total)), high(static_cast<size_t>(total));
  for (int pos = 0; pos < total; pos += rig.frame) {
    rig.sg.update(0.0);
    rig.sg.process(low.data() + pos, rig.frame, (kNoteA4 - 12) / 12, kNoteA4 % 12, 0);
    rig.sg.process(high.data() + pos, rig.frame, kNoteA4 / 12, kNoteA4 % 12, 0);
    rig.sg.next(rig.frame);
  }
  // The low saw crosses zero falling at phase 1/2; the high one is then at phase 0 and
  // crosses half of its period later, all the way through.
  const std::vector<double> lowAt = audio::crossings(low.data(), total, false);
  const std::vector<double> highAt = audio::crossings(high.data(), total, false);
  const double period = kRate / kA4;
  ASSERT_GT(highAt.size(), 200u);
  for (double t : highAt) {
    const double r = std::fmod(t - lowAt.front() + 10 * period, period);
    ASSERT_NEAR(r, period / 2, 0.1) << t;
  }
}
