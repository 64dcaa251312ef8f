#pragma once
// The profile store tests' fixture: a scratch folder per test, stat, reads into strings.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "config/swell-ini.h"
#include "support/test_files.h"

namespace quenta_test {

class IniTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return mTemp.File(name); }
  const std::string& Dir() const { return mTemp.Path(); }
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
  static std::string Get(const std::string& file, const char* section, const char* key,
                         const char* def = "?", int size = 4096) {
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
  TempDir mTemp;
};

}  // namespace quenta_test
