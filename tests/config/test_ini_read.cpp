// Reading and writing profile files: the line rules, lookups, trimming, output sizes, name
// lists, the exact text written, deletions, section replacement, and writes skipped because
// nothing changed.
#include <cstring>
#include <string>

#include "ini_files.h"

namespace quenta_test {
namespace {

constexpr size_t kMaxLine = 0x2000000;

TEST_F(IniTest, LinesAreEntriesHeadersOrIgnored) {
  const std::string f = Path("crafted.ini");
  WriteFile(f,
            "orphan=before any header\n  [Main]  text after the header\nkey=value\n"
            "\t spaced key \t=  spaced value \t \r\nno equals sign\n=empty key\n[broken=1\n"
            "a=b=c\n; not=a comment\n[Other]\r\nx=\n");
  EXPECT_EQ(List(f, nullptr), "Main|Other||");
  EXPECT_EQ(List(f, "Main"), "; not|a|key|spaced key \t||");
  EXPECT_EQ(Get(f, "Main", "a"), "b=c");
  EXPECT_EQ(Get(f, "Main", "; not"), "a comment");
  EXPECT_EQ(Get(f, "Other", "x"), "");
  EXPECT_EQ(Get(f, "Main", "orphan"), "?");

  // Repeated headers, empty headers and duplicate keys.
  const std::string r = Path("repeat.ini");
  WriteFile(r, "[]\ndropped=1\n[A]\none=1\n[B]\nb=1\n[a]\ntwo=2\nTwo=3\n[]\nlost=1\n[C]\nc=1\n");
  // [a] empties [A] and continues it under its first spelling; "[]" opens no section.
  EXPECT_EQ(List(r, nullptr), "A|B|C||");
  EXPECT_EQ(List(r, "A"), "two||");
  EXPECT_EQ(Get(r, "A", "two"), "3");
  EXPECT_EQ(Get(r, "A", "one"), "?");
  EXPECT_EQ(List(r, "C"), "c||");

  const std::string g = Path("empty-first.ini");
  WriteFile(g, "[]\nk=1\nl=2\n");
  EXPECT_EQ(List(g, nullptr), "||");
  EXPECT_EQ(Get(g, "", "k"), "?");

  // The raw text kept for each entry shows in the file written back.
  ASSERT_EQ(WritePrivateProfileString("Other", "y", "1", f.c_str()), 1);
  EXPECT_EQ(ReadFile(f),
            "[Main]\n; not=a comment\na=b=c\nkey=value\nspaced key \t=  spaced value\n\n"
            "[Other]\nx=\ny=1\n\n");
}

TEST_F(IniTest, LongLinesAndNulBytes) {
  const std::string f = Path("long.ini");
  const std::string mib(1 << 20, 'm');
  // A line longer than the limit: what lies beyond it must not turn into an entry.
  std::string text =
      "[S]\none=" + mib + "\nbig=" + std::string(kMaxLine - 4, 'v') + "tail=1\nnext=2\n";
  text += std::string("nul=ab\0cd=3\n", 12);
  WriteFile(f, text);

  EXPECT_EQ(List(f, "S"), "big|next|nul|one||");
  EXPECT_EQ(Get(f, "S", "one", "?", (int)mib.size() + 1), mib);
  const std::string big = Get(f, "S", "big", "?", (int)kMaxLine);
  EXPECT_EQ(big.size(), kMaxLine - 4);
  EXPECT_EQ(big.find_first_not_of('v'), std::string::npos);
  EXPECT_EQ(Get(f, "S", "next"), "2");
  EXPECT_EQ(Get(f, "S", "nul"), "ab");
}

TEST_F(IniTest, ValuesLoseBlanksAndOnePairOfQuotes) {
  const std::string f = Path("quotes.ini");
  WriteFile(f,
            "[Q]\nsingle=  'a b'  \none='\ndouble=\t\"x\"\nmixed='x\"\nempty=\"\"\nnested=''a''\n"
            "inner=' a '\nblanks= \t v \t\n");
  const std::pair<const char*, const char*> values[] = {
      {"single", "a b"}, {"one", "'"},      {"double", "x"},  {"mixed", "'x\""},
      {"empty", ""},     {"nested", "'a'"}, {"inner", " a "}, {"blanks", "v"}};
  for (const auto& [key, value] : values) EXPECT_EQ(Get(f, "Q", key), value) << key;
  // Defaults come back as given.
  EXPECT_EQ(Get(f, "Q", "missing", "  'd'  "), "  'd'  ");
  EXPECT_EQ(Get(f, "Missing", "single", " d "), " d ");
  std::string out = "left alone";
  EXPECT_EQ(GetPrivateProfileString("Q", "missing", nullptr, &out[0], (int)out.size(), f.c_str()),
            0);
  EXPECT_STREQ(out.c_str(), "");
}

TEST_F(IniTest, OutputSizeLimitsValues) {
  const std::string f = Path("size.ini");
  WriteFile(f, "[S]\nk=abcdef\nq= 'abcdef' \n");
  EXPECT_EQ(Get(f, "S", "k", "?", 5), "abcd");
  EXPECT_EQ(Get(f, "S", "q", "?", 5), "abcd");
  EXPECT_EQ(Get(f, "S", "k", "?", 7), "abcdef");
  EXPECT_EQ(Get(f, "S", "k", "?", 1), "");
  EXPECT_EQ(Get(f, "S", "missing", "default", 4), "def");

  // Nothing is written with no room at all, whatever the buffer holds.
  char unterminated[4] = {'z', 'z', 'z', 'z'};
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", unterminated, 0, f.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", unterminated, -3, f.c_str()), 0);
  EXPECT_EQ(std::string(unterminated, 4), "zzzz");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", nullptr, 10, f.c_str()), 0);
}

TEST_F(IniTest, KeyAndSectionListsAndFilesThatReadAsEmpty) {
  const std::string f = Path("lists.ini");
  WriteFile(f, "[beta]\nb=1\nA=2\nc=3\n[Alpha]\n[gamma]\nz=\n");
  EXPECT_EQ(List(f, nullptr), "Alpha|beta|gamma||");
  EXPECT_EQ(List(f, "BETA"), "A|b|c||");
  EXPECT_EQ(List(f, "Alpha"), "||");
  EXPECT_EQ(List(f, "missing"), "||");
  EXPECT_EQ(List(Path("no-such-file.ini"), nullptr), "||");

  // The result counts the characters before the final double NUL.
  char out[32];
  EXPECT_EQ(GetPrivateProfileString("beta", nullptr, nullptr, out, sizeof out, f.c_str()), 5);
  EXPECT_EQ(std::string(out, 7), std::string("A\0b\0c\0\0", 7));
  // A section null lists sections whatever the key.
  EXPECT_EQ(GetPrivateProfileString(nullptr, "b", nullptr, out, sizeof out, f.c_str()), 16);

  // Cut lists: at most outSize - 2 characters, never ending in an empty name.
  const struct {
    const char* section;
    int size;
    const char* shown;
  } cut[] = {{nullptr, 8, "Alpha||"}, {nullptr, 9, "Alpha|b||"}, {nullptr, 10, "Alpha|be||"},
             {"beta", 2, "||"},       {"beta", 3, "A||"},        {"beta", 4, "A||"},
             {"beta", 5, "A|b||"},    {"beta", 6, "A|b||"}};
  for (const auto& c : cut) EXPECT_EQ(List(f, c.section, c.size), c.shown) << c.size;
  out[0] = out[1] = 'X';
  EXPECT_EQ(GetPrivateProfileString("beta", nullptr, nullptr, out, 1, f.c_str()), 0);
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(out[1], 'X');
  // Missing and unreadable files read as empty; a FIFO in their place must not block.
  EXPECT_EQ(Get(Path("absent.ini"), "S", "k", "dflt"), "dflt");
  EXPECT_EQ(Get(Dir(), "S", "k", "dflt"), "dflt");  // a folder
  EXPECT_EQ(Get("", "S", "k", "dflt"), "dflt");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "dflt", out, sizeof out, nullptr), 4);
  EXPECT_STREQ(out, "dflt");
  const std::string fifo = Path("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Get(fifo, "S", "k", "dflt"), "dflt");
}

TEST_F(IniTest, WrittenFileIsSortedWithBlankLineAfterEachSection) {
  const std::string f = Path("sorted.ini");
  const char* writes[][3] = {{"gamma", "z", "26"},         {"Beta", "k", "v"},
                             {"alpha", "b", "2"},          {"alpha", "A", "1"},
                             {"alpha", "c", "  spaced  "}, {"gamma", "y", ""}};
  for (const auto& w : writes) ASSERT_EQ(WritePrivateProfileString(w[0], w[1], w[2], f.c_str()), 1);
  EXPECT_EQ(ReadFile(f), "[alpha]\nA=1\nb=2\nc=  spaced  \n\n[Beta]\nk=v\n\n[gamma]\ny=\nz=26\n\n");
  // Writes without a section, key or file are refused and make nothing.
  const std::string r = Path("refused.ini");
  EXPECT_EQ(WritePrivateProfileString(nullptr, "k", "v", r.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "", "v", r.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("", "k", "v", r.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", ""), 0);
  EXPECT_EQ(WritePrivateProfileSection(nullptr, "k=v\0", r.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileSection("S", "k=v\0", nullptr), 0);
  EXPECT_FALSE(Exists(r));
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
