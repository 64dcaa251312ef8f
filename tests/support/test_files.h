#pragma once
// Files for the suites: a scratch folder removed with what it holds, whole-file reads and
// writes, big-endian fields of program and bank files, and a home folder of a test's own.
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quenta_test {

// A folder of its own under the temporary folder, removed with its contents (opened up first,
// should a test have left it read-only).
class TempDir {
 public:
  TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/quenta-test-XXXXXX";
    if (mkdtemp(&pattern[0])) mPath = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(mPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(mPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return mPath; }
  std::string File(const std::string& name) const { return mPath + "/" + name; }
  // The names in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mPath))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string mPath;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), (std::streamsize)bytes.size());
  return bool(f);
}

inline mode_t Mode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Big-endian 32-bit fields, as program and bank files store them.
inline uint32_t GetBE32(const std::string& b, size_t pos) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | (uint8_t)b[pos + i];
  return v;
}
inline void PutBE32(std::string& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b += char(v >> s);
}
inline void SetBE32(std::string& b, size_t pos, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b[pos + i] = char(v >> (24 - 8 * i));
}

// A home folder of the test's own: HOME points at an empty folder while the object lives.
class FreshHome : public TempDir {
 public:
  FreshHome() {
    if (const char* old = std::getenv("HOME")) mOldHome = old;
    setenv("HOME", Path().c_str(), 1);
  }
  ~FreshHome() { setenv("HOME", mOldHome.c_str(), 1); }
  std::string Folder() const { return Path() + "/.config/AmberfoldMusic"; }
  std::string Ini() const { return Folder() + "/quenta.ini"; }
  // Writes the configuration file (and its folders) before an instance is made.
  void WriteIni(const std::string& text) const {
    std::filesystem::create_directories(Folder());
    WriteFile(Ini(), text);
  }

 private:
  std::string mOldHome;
};

}  // namespace quenta_test
