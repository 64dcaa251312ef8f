#include "audio_measure.h"

#include <cmath>
#include <complex>

namespace quenta_test::audio {
namespace {
constexpr double kPi = 3.141592653589793238462643383279;

// Four-term Blackman-Harris window: sidelobes below -92 dB, main lobe +-4 bins.
double blackmanHarris(int i, int n) {
  const double x = 2.0 * kPi * i / n;
  return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}
}  // namespace

double rms(const double* x, int n) {
  if (n <= 0) return 0.0;
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += x[i] * x[i];
  return std::sqrt(s / n);
}

double peak(const double* x, int n) {
  double p = 0.0;
  for (int i = 0; i < n; ++i) p = std::fmax(p, std::fabs(x[i]));
  return p;
}

// Positions (in samples, interpolated) of the crossings of zero in one direction.
static std::vector<double> crossings(const double* x, int n, bool rising) {
  std::vector<double> at;
  for (int i = 1; i < n; ++i) {
    const double a = x[i - 1], b = x[i];
    const bool hit = rising ? (a < 0.0 && b >= 0.0) : (a >= 0.0 && b < 0.0);
    if (hit) at.push_back(i - 1 + a / (a - b));
  }
  return at;
}

double crossingFrequency(const double* x, int n, double sampleRate, bool rising) {
  const std::vector<double> at = crossings(x, n, rising);
  if (at.size() < 2) return 0.0;
  return double(at.size() - 1) / (at.back() - at.front()) * sampleRate;
}

double fractionAbove(const double* x, int n, double level) {
  if (n <= 0) return 0.0;
  int count = 0;
  for (int i = 0; i < n; ++i) count += x[i] > level;
  return double(count) / n;
}

std::vector<double> powerSpectrum(const double* x, int n) {
  // Iterative radix-2 FFT.
  std::vector<std::complex<double>> a(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) a[size_t(i)] = x[i] * blackmanHarris(i, n);
  for (int i = 1, j = 0; i < n; ++i) {
    int bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[size_t(i)], a[size_t(j)]);
  }
  for (int len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2.0 * kPi / len);
    for (int i = 0; i < n; i += len) {
      std::complex<double> wk = 1.0;
      for (int k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[size_t(i + k)], v = a[size_t(i + k + len / 2)] * wk;
        a[size_t(i + k)] = u + v;
        a[size_t(i + k + len / 2)] = u - v;
        wk *= w;
      }
    }
  }
  std::vector<double> p(size_t(n / 2 + 1));
  for (int k = 0; k <= n / 2; ++k) p[size_t(k)] = std::norm(a[size_t(k)]);
  return p;
}

double toneAmplitude(const double* x, int n, double freq, double sampleRate) {
  std::complex<double> s = 0.0;
  double windowSum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / n);  // Hann
    windowSum += w;
    s += x[i] * w * std::polar(1.0, -2.0 * kPi * freq * i / sampleRate);
  }
  return 2.0 * std::abs(s) / windowSum;
}

}  // namespace quenta_test::audio
