#pragma once
// Measurements on rendered audio for the tests: level, pitch, duty cycle, spectrum.
#include <vector>

namespace quenta_test::audio {

double rms(const double* x, int n);
double peak(const double* x, int n);  // largest magnitude

// Frequency from the crossings of zero in one direction (rising: from below to at-or-above),
// located by linear interpolation: (crossings - 1) / (last - first) * sampleRate.
// Returns 0 with fewer than two crossings.
double crossingFrequency(const double* x, int n, double sampleRate, bool rising = true);

// Fraction of the samples above level.
double fractionAbove(const double* x, int n, double level);

// Power spectrum |X(k)|^2, k = 0 .. n/2, of x under a Blackman-Harris window (leakage below
// -92 dB beyond 4 bins); n must be a power of two. Bin k lies at k * sampleRate / n.
std::vector<double> powerSpectrum(const double* x, int n);

// Amplitude of the sinusoid at freq in x (one DFT bin with a Hann window, scaled so that a
// sine of amplitude A over many periods measures about A).
double toneAmplitude(const double* x, int n, double freq, double sampleRate);

inline double rms(const std::vector<double>& x) { return rms(x.data(), int(x.size())); }
inline double peak(const std::vector<double>& x) { return peak(x.data(), int(x.size())); }
inline double crossingFrequency(const std::vector<double>& x, double sampleRate,
                                bool rising = true) {
  return crossingFrequency(x.data(), int(x.size()), sampleRate, rising);
}

}  // namespace quenta_test::audio
