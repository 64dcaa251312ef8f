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

namespace cfgtest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(text.data(), (std::streamsize)text.size());
}

inline bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

inline mode_t Mode(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

inline mode_t CurrentUmask() {
  const mode_t m = umask(0);
  umask(m);
  return m;
}

// A home folder of the test's own: made empty in the temporary folder, HOME set to it, and
// both put back afterwards.
class FreshHome {
 public:
  FreshHome() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/quenta-home-XXXXXX";
    if (mkdtemp(&pattern[0])) mPath = pattern;
    const char* old = std::getenv("HOME");
    mHadHome = old != nullptr;
    if (old) mOldHome = old;
    setenv("HOME", mPath.c_str(), 1);
  }
  ~FreshHome() {
    if (mHadHome)
      setenv("HOME", mOldHome.c_str(), 1);
    else
      unsetenv("HOME");
    if (!mPath.empty()) {
      std::error_code ec;
      // Folders a test made unreadable are opened up again so that they can be removed.
      std::filesystem::permissions(Folder(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
      std::filesystem::remove_all(mPath, ec);
    }
  }
  FreshHome(const FreshHome&) = delete;
  FreshHome& operator=(const FreshHome&) = delete;

  const std::string& Path() const { return mPath; }
  std::string Folder() const { return mPath + "/.config/AmberfoldMusic"; }
  std::string Ini() const { return Folder() + "/quenta.ini"; }
  std::string File(const std::string& name) const { return mPath + "/" + name; }

  // Writes the configuration file (and its folders) before an instance is made.
  void WriteIni(const std::string& text) const {
    std::filesystem::create_directories(Folder());
    WriteFile(Ini(), text);
  }

 private:
  std::string mPath;
  std::string mOldHome;
  bool mHadHome = false;
};

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

}  // namespace cfgtest
