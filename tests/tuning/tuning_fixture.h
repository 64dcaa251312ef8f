#pragma once
// Shared by the tuning tests: a fresh temporary folder, whole-file reads and writes, and a
// directly constructed instrument with shorthands for a Block's twelve tune parameters.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/quenta.tuning.h"
#include "instrument/instrument_helpers.h"

namespace tuningtest {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/quenta-tuning-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    mPath = made ? made : "";
  }
  ~TempDir() {
    if (!mPath.empty()) {
      std::error_code ec;
      std::filesystem::permissions(mPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
      std::filesystem::remove_all(mPath, ec);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return mPath; }
  std::string file(const std::string& name) const { return mPath + "/" + name; }
  // Names in the folder, sorted.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mPath)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string mPath;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), (std::streamsize)bytes.size());
}

// Replaces every LF of text by the given line ending.
inline std::string WithEndings(const std::string& text, const std::string& ending) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += ending;
    else
      out += c;
  }
  return out;
}

using Tunes = std::array<double, kMicroTuningDegrees>;

// A directly made instrument (see qtest::Direct) with access to a Block's tune parameters by
// scale degree: Degree(b, k) is the parameter of degree k + 1.
class Tuned : public qtest::Direct {
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
  // Sets degree k + 1 of every Block to the given deviations, as a host does.
  void SetDegrees(int block, const Tunes& t) {
    for (int k = 0; k < kMicroTuningDegrees; ++k) Set(BlockParam(block, paramIndices[k]), t[size_t(k)]);
  }
};

// Deviations of a built-in temperament.
inline Tunes TableDeviations(int tuning) {
  Tunes t;
  for (int k = 0; k < kMicroTuningDegrees; ++k) t[size_t(k)] = microTuningDeviation(tuning, k);
  return t;
}

}  // namespace tuningtest
