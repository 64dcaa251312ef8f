#pragma once
// Shared pieces of the configuration-file tests: a fresh home folder per test (HOME points at
// it while the test runs), whole-file reads and writes, and an instrument made in the test
// and driven through its dispatcher as a host drives it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/instrument_helpers.h"
#include "instrument/quenta.h"
#include "support/test_files.h"

namespace quenta_test {

inline bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

inline mode_t CurrentUmask() {
  const mode_t m = umask(0);
  umask(m);
  return m;
}

// The instrument made directly and set up as a host does (see Direct), with the editor's way
// of turning a parameter.
class Instance : public Direct {
 public:
  // A parameter changed as the editor changes it (host told, change applied).
  void Turn(int index, double normalized) { plug->SetParameterFromGUI(index, normalized); }
  double Normalized(int index) const { return plug->GetParam(index)->GetNormalized(); }
  double Value(int index) const { return Get(index); }
  std::string Name(int program) const { return plug->GetPresetName(program); }
  std::vector<double> Values() const {
    std::vector<double> v;
    for (int i = 0; i < plug->NParams(); ++i) v.push_back(Get(i));
    return v;
  }
};

// Makes a bank file of this instrument whose programs are called prefix + number and whose
// program p has "Final" at (p + 1) / 100 (normalised), through the instrument's own writer.
void MakeBankFile(const std::string& path, const std::string& prefix);

}  // namespace quenta_test

// The panel suite still names the home and file helpers by this fixture's earlier namespace.
namespace cfgtest {
using quenta_test::FreshHome;
using quenta_test::ReadFile;
using quenta_test::WriteFile;
}  // namespace cfgtest
