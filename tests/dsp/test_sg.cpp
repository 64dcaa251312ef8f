// Sound generator: band-limiting measured on rendered audio (pitch and pulse widths are
// measured through the instrument).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/sg.h"
#include "support/audio_measure.h"

using namespace quenta_test;

namespace {

// One section's generator driven the way the section drives it: update at every control
// frame, one voice rendered per stretch, then the masters advanced.
struct Rig {
  double rate;
  int frame;
  std::vector<int> pitchMod;
  SG sg;

  Rig(double sampleRate, int waveform)
      : rate(sampleRate), frame(int(sampleRate) / 1000), pitchMod(size_t(frame), 0) {
    sg.setSampleRate(float(rate), pitchMod.data());
    sg.setWaveForm(waveform);
    sg.setOctaveSwitch(SG::k8ft);
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

double noteHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

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
