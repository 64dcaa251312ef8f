// Sound generator: band-limiting and the phase lock of a pitch class's voices, measured on
// rendered audio (pitch and pulse widths are measured through the instrument).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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

  std::vector<double> render(int note, double seconds) {
    std::vector<double> out(size_t(seconds * rate));
    const int total = int(out.size());
    for (int pos = 0; pos < total; pos += frame) {
      const int n = std::min(frame, total - pos);
      sg.update(0.0);
      sg.process(out.data() + pos, n, note / 12, note % 12, 0);
      sg.next(n);
    }
    return out;
  }
};

double noteHz(double note) { return kA4 * std::pow(2.0, (note - kNoteA4) / 12.0); }

}  // namespace

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
