#include "dsp/pitch.h"

#include <cmath>

namespace pitch {
namespace {

double roundTo(double x, double scale) { return std::round(x * scale) / scale; }

struct Tables {
  double up[kTableSize];
  double down[kTableSize];
  Tables() {
    for (int n = 0; n < kTableSize; ++n) {
      up[n] = roundTo(440.0 * std::pow(2.0, (n - 69) / 12.0), 1e3);
      down[n] = roundTo(kNote0Hz * std::pow(2.0, -n / 12.0), 1e10);
    }
  }
};

const Tables& tables() {
  static const Tables t;  // built once, thread-safe initialisation
  return t;
}

}  // namespace

const double* midi2HzTable() { return tables().up; }
const double* antiMidi2HzTable() { return tables().down; }

double toHz(int p) {
  const Tables& t = tables();
  if (p == 0) return kNote0Hz;
  if (p > kMaxPitch) return t.up[kTableSize - 1];
  if (p < -kMaxPitch) return t.down[kTableSize - 1];
  const double* table = t.up;
  if (p < 0) {
    table = t.down;
    p = -p;
  }
  const int i = p >> 7;
  const int f = p & 127;
  return table[i] + (table[i + 1] - table[i]) * f / 128;
}

}  // namespace pitch
