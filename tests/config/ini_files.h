#pragma once
// Files for the profile store tests: a fresh temporary folder per test, removed with its
// contents afterwards; whole-file reads and writes; what stat says about a file; and reads
// through the store into std::string.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "config/swell-ini.h"

namespace initest {

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/quenta-ini-test-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    mDir = pattern;
  }
  void TearDown() override {
    if (!mDir.empty()) std::filesystem::remove_all(mDir);
  }

  std::string Path(const std::string& name) const { return mDir + "/" + name; }
  const std::string& Dir() const { return mDir; }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(text.data(), (std::streamsize)text.size());
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
  }
  static struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
  }

  // A single value as GetPrivateProfileString returns it.
  static std::string Get(const std::string& file, const char* section, const char* key, const char* def = "?",
                         int size = 4096) {
    std::string out((size_t)size + 1, 'X');
    const int n = GetPrivateProfileString(section, key, def, &out[0], size, file.c_str());
    EXPECT_EQ((size_t)n, std::strlen(out.c_str()));
    out.resize((size_t)n);
    return out;
  }
  // A name list with its NUL separators and final double NUL replaced by "|" and "||".
  static std::string List(const std::string& file, const char* section, int size = 4096) {
    std::string out((size_t)size, 'X');
    const int n = GetPrivateProfileString(section, nullptr, "unused", &out[0], size, file.c_str());
    EXPECT_LE(n, size - 2);
    EXPECT_EQ(out[(size_t)n], '\0');
    EXPECT_EQ(out[(size_t)n + 1], '\0');
    std::string shown;
    for (int i = 0; i < n; ++i) shown += out[(size_t)i] ? out[(size_t)i] : '|';
    return shown + "||";
  }

 private:
  std::string mDir;
};

}  // namespace initest
