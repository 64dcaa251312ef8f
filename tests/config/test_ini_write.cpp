// Writing profile files: the exact text written, deletions, section replacement, and writes
// that are skipped because nothing changed.
#include <string>

#include "ini_files.h"

namespace quenta_test {
namespace {

TEST_F(IniTest, WrittenFileIsSortedWithBlankLineAfterEachSection) {
  const std::string f = Path("sorted.ini");
  const char* writes[][3] = {{"gamma", "z", "26"},         {"Beta", "k", "v"},
                             {"alpha", "b", "2"},          {"alpha", "A", "1"},
                             {"alpha", "c", "  spaced  "}, {"gamma", "y", ""}};
  for (const auto& w : writes) ASSERT_EQ(WritePrivateProfileString(w[0], w[1], w[2], f.c_str()), 1);
  EXPECT_EQ(ReadFile(f), "[alpha]\nA=1\nb=2\nc=  spaced  \n\n[Beta]\nk=v\n\n[gamma]\ny=\nz=26\n\n");
}

TEST_F(IniTest, RefusedWrites) {
  const std::string f = Path("refused.ini");
  EXPECT_EQ(WritePrivateProfileString(nullptr, "k", "v", f.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "", "v", f.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("", "k", "v", f.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", ""), 0);
  EXPECT_EQ(WritePrivateProfileSection(nullptr, "k=v\0", f.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileSection("S", "k=v\0", nullptr), 0);
  EXPECT_FALSE(Exists(f));
}

TEST_F(IniTest, DeletingKeysAndSections) {
  const std::string f = Path("delete.ini");
  const char* file = f.c_str();
  WriteFile(f, "[A]\nx=1\ny=2\n[B]\nz=3\n");
  EXPECT_EQ(WritePrivateProfileString("a", "X", nullptr, file), 1);
  EXPECT_EQ(ReadFile(f), "[A]\ny=2\n\n[B]\nz=3\n\n");
  EXPECT_EQ(WritePrivateProfileString("A", "y", nullptr, file), 1);
  EXPECT_EQ(ReadFile(f), "[A]\n\n[B]\nz=3\n\n");
  EXPECT_EQ(WritePrivateProfileString("b", nullptr, nullptr, file), 1);
  EXPECT_EQ(ReadFile(f), "[A]\n\n");
  EXPECT_EQ(Get(f, "B", "z"), "?");

  // Deleting what is not there writes nothing.
  const ino_t inode = Stat(f).st_ino;
  EXPECT_EQ(WritePrivateProfileString("A", "missing", nullptr, file), 1);
  EXPECT_EQ(WritePrivateProfileString("Missing", "x", nullptr, file), 1);
  EXPECT_EQ(WritePrivateProfileString("Missing", nullptr, nullptr, file), 1);
  EXPECT_EQ(Stat(f).st_ino, inode);
  const std::string never = Path("never.ini");
  EXPECT_EQ(WritePrivateProfileString("S", nullptr, nullptr, never.c_str()), 1);
  EXPECT_EQ(WritePrivateProfileString("S", "k", nullptr, never.c_str()), 1);
  EXPECT_FALSE(Exists(never));
}

TEST_F(IniTest, WriteSectionReplacesItsEntries) {
  const std::string f = Path("section.ini");
  const char* file = f.c_str();
  WriteFile(f, "[Keep]\nk=1\n[S]\nold=1\n");
  static const char entries[] = "b=2\0no equals\0=no key\0a=1=one\0B=3\0";
  EXPECT_EQ(WritePrivateProfileSection("s", entries, file), 1);
  EXPECT_EQ(ReadFile(f), "[Keep]\nk=1\n\n[S]\na=1=one\nb=3\n\n");

  // Only the first 8191 characters of an entry count.
  const std::string longEntry = "long=" + std::string(9000, 'x') + '\0';
  EXPECT_EQ(WritePrivateProfileSection("L", longEntry.c_str(), file), 1);
  EXPECT_EQ(Get(f, "L", "long", "?", 10000).size(), 8191u - 5u);

  // No entries: an existing section is emptied, a missing one is not made.
  EXPECT_EQ(WritePrivateProfileSection("S", "\0", file), 1);
  EXPECT_EQ(WritePrivateProfileSection("L", nullptr, file), 1);
  EXPECT_EQ(ReadFile(f), "[Keep]\nk=1\n\n[L]\n\n[S]\n\n");
  const ino_t inode = Stat(f).st_ino;
  EXPECT_EQ(WritePrivateProfileSection("New", "", file), 1);
  EXPECT_EQ(Stat(f).st_ino, inode);
  EXPECT_EQ(List(f, nullptr), "Keep|L|S||");

  const std::string g = Path("fresh.ini");
  EXPECT_EQ(WritePrivateProfileSection("S", "", g.c_str()), 1);
  EXPECT_FALSE(Exists(g));
}

}  // namespace
}  // namespace quenta_test
