#pragma once
// Shared by the tuning tests: an instrument with shorthands for a Block's tune parameters.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "dsp/quenta.tuning.h"
#include "instrument/instrument_helpers.h"
#include "support/test_files.h"

namespace quenta_test {

using Tunes = std::array<double, kMicroTuningDegrees>;

// A directly made instrument (see Direct) with access to a Block's tune parameters by
// scale degree: Degree(b, k) is the parameter of degree k + 1.
class Tuned : public Direct {
 public:
  double Degree(int block, int k) const { return Get(BlockParam(block, paramIndices[k])); }
  Tunes Degrees(int block) const {
    Tunes t;
    for (int k = 0; k < kMicroTuningDegrees; ++k) t[size_t(k)] = Degree(block, k);
    return t;
  }
  // Every parameter's plain value.
  std::vector<double> All() const {
    std::vector<double> v;
    for (int i = 0; i < kNumParams; ++i) v.push_back(Get(i));
    return v;
  }
};

// Deviations of a built-in temperament, from its cents above A for degrees 1 .. 12.
inline Tunes TableDeviations(int tuning) {
  static const double kCents[kNumMicroTunings][kMicroTuningDegrees] = {
      {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200},
      {111.7313, 203.91, 315.6414, 386.3139, 498.0452, 582.5125, 701.9553, 813.6866, 884.3591,
       1015.96, 1088.269, 1200},
      {90.225, 193.849, 294.135, 386.314, 498.045, 590.224, 696.663, 792.18, 889.65, 996.091,
       1088.269, 1200},
      {113.685, 203.91, 294.1351, 407.8201, 498.0452, 611.7302, 701.9553, 815.6403, 905.8654,
       996.0905, 1109.775, 1200},
      {94.135, 196.09, 298.045, 392.18, 501.955, 592.18, 698.045, 796.09, 894.135, 1000, 1090.225,
       1200},
      {90.225, 192.18, 294.135, 390.225, 498.045, 588.27, 696.09, 792.18, 888.27, 996.09, 1092.18,
       1200},
      {85.72, 194.94, 305.672, 390.837, 502.067, 587.593, 696.578, 782.559, 892.091, 1003.122,
       1088.503, 1200},
      {83.576, 195.307, 307.039, 390.615, 502.346, 585.922, 697.654, 781.23, 892.961, 1004.693,
       1088.269, 1200},
      {29.85, 187.682, 256.597, 343.091, 493.957, 548.649, 684.729, 729.879, 871.949, 985.799,
       1049.363, 1200},
      {98.955, 203.91, 315.641, 394.347, 498.045, 608.352, 701.955, 800.91, 905.865, 1017.596,
       1106.397, 1200},
      {104.9554, 203.91, 315.6414, 386.3139, 498.0452, 551.3181, 701.9553, 840.528, 884.3591,
       968.8264, 1088.269, 1200},
      {104.9554, 203.91, 297.5131, 386.3139, 470.7811, 551.3181, 701.9553, 840.528, 905.8654,
       968.8264, 1088.269, 1200},
      {0, 200, 200, 500, 500, 500, 700, 700, 900, 900, 1200, 1200},
      {129, 129, 300, 300, 472, 643, 643, 814, 814, 986, 1157, 1157}};
  Tunes t;
  for (int k = 0; k < kMicroTuningDegrees; ++k) t[size_t(k)] = kCents[tuning][k] - 100.0 * (k + 1);
  return t;
}

}  // namespace quenta_test
