// The Scala file reader on its own: line endings, comment lines, tokens and their limits, and
// the three forms of a pitch.
#include <cstdio>

#include "tuning/tuning_fixture.h"

using namespace tuningtest;

namespace {

// An open stream over the given bytes, in a file of a fresh folder.
class Stream {
 public:
  explicit Stream(const std::string& bytes) {
    WriteFile(mDir.file("t.scl"), bytes);
    mFile = std::fopen(mDir.file("t.scl").c_str(), "rb");
    EXPECT_NE(mFile, nullptr);
  }
  ~Stream() {
    if (mFile) std::fclose(mFile);
  }
  FILE* get() { return mFile; }

 private:
  TempDir mDir;
  FILE* mFile = nullptr;
};

// The results of count ReadVal calls: the token, or "#0" for a refused line or the end.
std::vector<std::string> Tokens(const std::string& bytes, int count, int size = 32) {
  Stream s(bytes);
  ScalaScaleFile scl(s.get());
  std::vector<std::string> out;
  std::vector<char> buffer(size_t(size) + 1, 'x');
  for (int i = 0; i < count; ++i) {
    const int r = scl.ReadVal(buffer.data(), size);
    if (r == 0) {
      out.push_back("#0");
      continue;
    }
    EXPECT_EQ(r, int(std::strlen(buffer.data())) + 1);
    out.push_back(buffer.data());
  }
  return out;
}

std::vector<double> Pitches(const std::string& bytes, int count) {
  Stream s(bytes);
  ScalaScaleFile scl(s.get());
  std::vector<double> out;
  for (int i = 0; i < count; ++i) out.push_back(scl.ReadPitch());
  return out;
}

TEST(ScalaReader, EveryLineEndingFormReadsAlike) {
  // Empty lines (which the reader returns as empty tokens) show that a two-character ending is
  // one line end and that two of them are two.
  const std::string text = "! comment\nfirst\n\n  second  tail\n! x\n\tthird\n";
  const std::vector<std::string> want = {"first", "", "second", "third", "#0"};
  for (const char* ending : {"\n", "\r", "\r\n", "\n\r"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(ending)));
    EXPECT_EQ(Tokens(WithEndings(text, ending), 5), want);
    // Without an ending on the last line.
    std::string cut = WithEndings(text, ending);
    cut.erase(cut.size() - std::strlen(ending));
    EXPECT_EQ(Tokens(cut, 5), want);
  }
}

TEST(ScalaReader, SkipCommentsReturnsTheFirstCharacterOfTheNextLine) {
  Stream s("!a\r\n!b\r\n\r\n!c\rZ\n!tail");
  ScalaScaleFile scl(s.get());
  EXPECT_EQ(scl.SkipComments(), 10);  // the empty line
  EXPECT_EQ(scl.SkipComments(), 'Z');
  scl.SkipLine();
  EXPECT_EQ(scl.SkipComments(), -1);  // only a comment is left
  EXPECT_EQ(scl.SkipComments(), -1);
}

TEST(ScalaReader, ReadValRefusesTokensThatDoNotFitAndConsumesTheirLine) {
  // Size 4 takes tokens of up to three characters.
  EXPECT_EQ(Tokens("abc\nabcd\nxy  abcdefgh\n", 4, 4), (std::vector<std::string>{"abc", "#0", "xy", "#0"}));
  Stream s("");
  ScalaScaleFile scl(s.get());
  char buffer[8];
  EXPECT_EQ(scl.ReadVal(buffer, sizeof buffer), 0) << "end of file";
}

TEST(ScalaReader, PitchesInCentsRatiosAndIntegers) {
  const std::vector<double> p = Pitches(
      "701.955\n"            // cents
      "1200.0 octave\n"      // cents, text after the number ignored
      "-50.\n"               // cents below the base
      "3/2\n"                // ratio
      "  5/4\tmajor third\n"  // ratio after blanks, with a comment
      "2\n"                  // integer ratio
      "3.0/2\n",             // a "." makes it cents, whatever follows
      7);
  EXPECT_NEAR(p[0], std::pow(2.0, 701.955 / 1200.0), 1e-15);
  EXPECT_NEAR(p[1], 2.0, 1e-15);
  EXPECT_NEAR(p[2], std::pow(2.0, -50.0 / 1200.0), 1e-15);
  EXPECT_EQ(p[3], 1.5);
  EXPECT_EQ(p[4], 1.25);
  EXPECT_EQ(p[5], 2.0);
  EXPECT_NEAR(p[6], std::pow(2.0, 3.0 / 1200.0), 1e-15);
}

TEST(ScalaReader, OddPitchTokens) {
  // (Lines that are no pitch at all are tried through whole files in test_scala_files.cpp.)
  EXPECT_EQ(Pitches("", 1)[0], 0.0) << "end of file";
  EXPECT_EQ(Pitches("3/x\n3/-2\n", 2), (std::vector<double>{0.0, 0.0}));
  // Integers beyond the int range saturate instead of wrapping.
  EXPECT_EQ(Pitches("99999999999999999999/1\n", 1)[0], 2147483647.0);
  // A 31-character token fits the reader's 32 bytes, 32 characters do not.
  EXPECT_EQ(Pitches("0000000000000000000000000000003\n00000000000000000000000000000003\n", 2),
            (std::vector<double>{3.0, 0.0}));
}

TEST(ScalaReader, NoteCountAndDescription) {
  struct Case {
    const char* text;
    int count;
  } cases[] = {
      {"desc\n12\n", 12},         {"! c\ndesc\n! c\n 7 notes\n", 7}, {"\n5\n", 5},
      {"desc\ntwelve\n", 0},      {"desc\n0\n", 0},                  {"desc\n-3\n", 0},
      {"desc\n", 0},              {"desc\n\n12\n", 0},               {"desc\n0000000000000012\n", 0},
      {"desc\n000000000000012\n", 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    Stream s(c.text);
    ScalaScaleFile scl(s.get());
    scl.SkipDescription();
    EXPECT_EQ(scl.ReadNoteCount(), c.count);
  }
}

}  // namespace
