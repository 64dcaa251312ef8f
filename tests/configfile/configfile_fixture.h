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

// Host requests the instrument made, for the instance below.
struct HostLog {
  std::vector<int> automated;   // parameter indices of audioMasterAutomate
  std::vector<float> values;    // their values
};

HostLog& Log();

// The instrument made directly, set up as a host does: open, 48 kHz, 512 samples, active.
class Instance {
 public:
  Instance();
  Quenta& q() { return *mPlug; }
  VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
  // One short MIDI message, delivered as the dispatcher does.
  void Midi(uint8_t status, uint8_t d1, uint8_t d2, int offset = 0);
  // One control frame: its MIDI, then the modulation step.
  void Frame(int count = 1);
  // A parameter changed as the editor changes it (host told, change applied).
  void Turn(int index, double normalized) { mPlug->SetParameterFromGUI(index, normalized); }
  double Normalized(int index) const { return mPlug->GetParam(index)->GetNormalized(); }
  double Value(int index) const { return mPlug->GetParam(index)->Value(); }
  std::string Name(int program) const { return mPlug->GetPresetName(program); }
  // Every parameter's plain value.
  std::vector<double> Values() const;

 private:
  std::unique_ptr<Quenta> mPlug;
};

// Makes a bank file of this instrument whose programs are called prefix + number and whose
// program p has "Final" at (p + 1) / 100 (normalised), through the instrument's own writer.
void MakeBankFile(const std::string& path, const std::string& prefix);

}  // namespace quenta_test
