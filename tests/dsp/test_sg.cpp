// Sound generator: band-limiting measured on rendered audio (pitch and pulse widths are
// measured through the instrument).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/sg.h"
#include "support/audio_measure.h"

using namespace quenta_test;

namespace {

// A quarter of a second of one voice of a section's generator, driven the way the section
// drives it: update at every control frame, the voice rendered, then the masters advanced.
std::vector<double> render(double rate, int waveform, int note) {
  const int frame = int(rate) / 1000;
  std::vector<int> pitchMod(size_t(frame), 0);
  SG sg;
  sg.setSampleRate(float(rate), pitchMod.data());
  sg.setWaveForm(waveform);
  sg.setOctaveSwitch(SG::k8ft);
  sg.calcOffset();
  std::vector<double> out(size_t(rate / 4));
  for (int pos = 0; pos < int(out.size()); pos += frame) {
    const int n = std::min(frame, int(out.size()) - pos);
    sg.update(0.0);
    sg.process(out.data() + pos, n, note / 12, note % 12, 0);
    sg.next(n);
  }
  return out;
}

// Energy outside the harmonics of f0 below half the rate, relative to the total, in the last n
// samples of y.
double aliasedShare(const std::vector<double>& y, double f0, double rate, int n) {
  const std::vector<double> p = audio::powerSpectrum(y.data() + y.size() - size_t(n), n);
  const double binHz = rate / n;
  double total = 0, stray = 0;
  for (size_t k = 1; k < p.size(); ++k) {
    const double hz = double(k) * binHz, h = std::round(hz / f0);
    const bool harmonic = h >= 1 && h * f0 < rate / 2 && std::fabs(hz - h * f0) <= 5 * binHz;
    total += p[k];
    stray += harmonic ? 0.0 : p[k];
  }
  return stray / total;
}

}  // namespace

TEST(SoundGenerator, BandLimitedAtEveryHeight) {
  // Folded harmonics would sit between the true ones (one table too rich puts several per
  // cent there); what remains is the reads' phase truncation, below 2e-5.
  for (double rate : {44100.0, 48000.0})
    for (int waveform : {SG::kSawtooth, SG::kTriangle, SG::kPulse})
      for (int note = 48; note <= 120; note += 6)
        EXPECT_LT(aliasedShare(render(rate, waveform, note),
                               440.0 * std::pow(2.0, (note - 69) / 12.0), rate, 8192),
                  1e-4)
            << rate << " " << waveform << " " << note;
}
