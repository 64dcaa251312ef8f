#pragma once
// Shared pieces of the configuration-file tests: an instrument made in the test and driven
// through its dispatcher as a host drives it, and bank files of its own making.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrument/instrument_helpers.h"
#include "instrument/quenta.h"
#include "support/test_files.h"

namespace quenta_test {

// The instrument made directly and set up as a host does (see Direct), with the editor's way
// of turning a parameter (host told, change applied).
class Instance : public Direct {
 public:
  void Turn(int index, double normalized) { plug->SetParameterFromGUI(index, normalized); }
  double Normalized(int index) const { return plug->GetParam(index)->GetNormalized(); }
  std::string Name(int program) const { return plug->GetPresetName(program); }
  std::vector<double> Values() const {
    std::vector<double> v;
    for (int i = 0; i < plug->NParams(); ++i) v.push_back(Get(i));
    return v;
  }
};

// Makes a bank file of this instrument whose programs are called prefix + number and whose
// program p has "Final" at (p + 1) / 100 (normalised), through the instrument's own writer.
inline void MakeBankFile(const std::string& path, const std::string& prefix) {
  Instance maker;
  Quenta& q = maker.q();
  for (int p = 0; p < q.NPresets(); ++p) {
    q.RestorePreset(p);
    maker.Turn(kFinal, (p + 1) / 100.0);
    q.ModifyCurrentPreset((prefix + std::to_string(p)).c_str());
  }
  q.RestorePreset(0);
  WDL_String file(path.c_str());
  ASSERT_TRUE(q.SaveBankAsFXB(&file));
}

}  // namespace quenta_test
