// Scale files exchanged with a Block: what loading sets and leaves alone, the exact text of a
// saved file, round trips, and saving that never destroys the file it replaces.
#include <unistd.h>

#include "tuning/tuning_fixture.h"

using namespace quenta_test;

namespace {

constexpr int kEqual = 0;
constexpr int kJust = 1;

// Cents of degrees 1 .. n, each 10 cents above equal temperament plus one hundredth per
// degree, so that every degree reads back differently.
std::string ScaleLines(int n) {
  std::string s;
  for (int k = 0; k < n; ++k)
    s += " " + std::to_string(100 * (k + 1) + 10) + "." + std::to_string(10 + k) + "\n";
  return s;
}
double ScaleDeviation(int k) { return 10.0 + (10 + k) / 100.0; }

// Loads text as a scale file into a Block of q; returns the load's result.
bool Load(Tuned& q, int block, const std::string& text, const TempDir& dir) {
  WriteFile(dir.File("in.scl"), text);
  return q.q().loadMicroTuningFile(block, dir.File("in.scl").c_str());
}

TEST(ScalaFiles, LoadsDegreesInOrderWhateverTheLineEndings) {
  const std::string text = "! made by hand\n!\nTest scale\n! the count follows\n 12\n!\n" +
                           ScaleLines(6) + "! a comment between two pitches\n" +
                           ScaleLines(12).substr(ScaleLines(6).size());
  for (const char* ending : {"\n", "\r", "\r\n", "\n\r"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(ending)));
    TempDir dir;
    Tuned q;
    std::string withEndings;
    for (char c : text) withEndings += c == '\n' ? std::string(ending) : std::string(1, c);
    ASSERT_TRUE(Load(q, kBlockB, withEndings, dir));
    for (int k = 0; k < kMicroTuningDegrees; ++k)
      EXPECT_NEAR(q.Degree(kBlockB, k), ScaleDeviation(k), 1e-9) << k;
    EXPECT_EQ(q.Degrees(kBlockA), TableDeviations(kEqual));
    EXPECT_EQ(q.Degrees(kBlockC), TableDeviations(kEqual));
  }
}

TEST(ScalaFiles, ShortScalesSetTheirDegreesAndLongOnesTheFirstTwelve) {
  for (int notes : {7, 12, 20}) {
    SCOPED_TRACE(notes);
    TempDir dir;
    Tuned q;
    ASSERT_TRUE(q.q().setMicroTuning(kBlockA, kJust));
    ASSERT_TRUE(
        Load(q, kBlockA, "scale\n" + std::to_string(notes) + "\n" + ScaleLines(notes), dir));
    for (int k = 0; k < kMicroTuningDegrees; ++k) {
      const double want = k < notes ? ScaleDeviation(k) : microTuningDeviation(kJust, k);
      EXPECT_NEAR(q.Degree(kBlockA, k), want, 1e-9) << "degree " << k + 1;
    }
  }
}

// Pitches as ratios or cents (with text after them); malformed ones leave their degree.
TEST(ScalaFiles, PitchLinesAreRatiosOrCentsAndMalformedOnesLeaveTheirDegree) {
  TempDir dir;
  Tuned q;
  ASSERT_TRUE(q.q().setMicroTuning(kBlockC, kJust));
  const Tunes just = q.Degrees(kBlockC);
  ASSERT_TRUE(Load(q, kBlockC,
                   "bad lines\n12\n"
                   "1\n"                                 // 1: ratio 1/1, the range's end
                   "0/3\n"                               // 2: zero
                   "315.0\n"                             // 3: good, +15 cents
                   "3/0\n"                               // 4: no denominator
                   "\n"                                  // 5: empty
                   "nan.\n"                              // 6: not a number
                   "3/2\n"                               // 7: good
                   "-1\n"                                // 8: negative
                   "12345678901234567890123456789012\n"  // 9: too long
                   "1e999.\n"                            // 10: overflows
                   "99999.\n"                            // 11: far beyond the range: its end
                   "1200. the octave\n",                 // 12: good, with text after it
                   dir));
  for (int k : {1, 3, 4, 5, 7, 8, 9})
    EXPECT_EQ(q.Degree(kBlockC, k), just[size_t(k)]) << "degree " << k + 1;
  EXPECT_EQ(q.Degree(kBlockC, 0), -100.0);
  EXPECT_NEAR(q.Degree(kBlockC, 2), 15.0, 1e-9);
  EXPECT_NEAR(q.Degree(kBlockC, 6), 1200.0 * std::log2(1.5) - 700.0, 1e-9);
  EXPECT_EQ(q.Degree(kBlockC, 10), 100.0);
  EXPECT_NEAR(q.Degree(kBlockC, 11), 0.0, 1e-9);
}

// A file without a usable count holds no scale: the load fails, as for a file that cannot be
// read or a Block that does not exist, and nothing changes.
TEST(ScalaFiles, FilesWithoutAScaleAndBadArgumentsFailAndChangeNothing) {
  const char* files[] = {
      "",                                 // empty file
      "! only comments\n!\n",             // no description
      "description only\n",               // no count
      "desc\ntwelve\n100.0\n",            // not a number
      "desc\n0\n100.0\n",                 // not positive
      "desc\n-2\n100.0\n",                // negative
      "desc\n\n100.0\n",                  // empty count line
      "desc\n0000000000000001\n150.0\n",  // count token too long
  };
  TempDir dir;
  Tuned q;
  ASSERT_TRUE(q.q().setMicroTuning(kBlockA, kJust));
  const std::vector<double> before = q.All();
  for (const char* text : files)
    EXPECT_FALSE(Load(q, kBlockA, text, dir)) << testing::PrintToString(std::string(text));
  EXPECT_FALSE(q.q().loadMicroTuningFile(kBlockA, dir.File("missing.scl").c_str()));
  EXPECT_FALSE(q.q().loadMicroTuningFile(kBlockA, dir.Path().c_str())) << "a folder";
  WriteFile(dir.File("ok.scl"), "ok\n1\n150.0\n");
  for (const char* path : {"", (const char*)nullptr}) {
    EXPECT_FALSE(q.q().loadMicroTuningFile(kBlockA, path));
    EXPECT_FALSE(q.q().saveMicroTuningFile(kBlockA, path));
  }
  for (int block : {-1, int(kNumBlocks)}) {
    EXPECT_FALSE(q.q().loadMicroTuningFile(block, dir.File("ok.scl").c_str())) << block;
    EXPECT_FALSE(q.q().saveMicroTuningFile(block, dir.File("x.scl").c_str())) << block;
  }
  EXPECT_EQ(q.All(), before);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.scl", "ok.scl"}));
}

// Saved through a link, the file it names is replaced whole: five decimals in degree order.
TEST(ScalaFiles, SavedValuesHaveFiveDecimalsInDegreeOrder) {
  TempDir dir;
  Tuned q;
  q.Set(BlockParam(kBlockC, kTuneAs), 12.345678);  // degree 1
  q.Set(BlockParam(kBlockC, kTuneA), -43.0);       // degree 12
  q.Set(BlockParam(kBlockA, kTuneB), 50.0);        // another Block
  WriteFile(dir.File("keep.scl"), std::string(5000, 'x'));
  ASSERT_EQ(symlink("keep.scl", dir.File("link.scl").c_str()), 0);
  ASSERT_TRUE(q.q().saveMicroTuningFile(kBlockC, dir.File("link.scl").c_str()));
  const std::string text = ReadFile(dir.File("keep.scl"));
  EXPECT_EQ(text.substr(0, 11), "! link.scl\n");
  EXPECT_NE(text.find("!\n 112.34568\n 200.00000\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 24), " 1100.00000\n 1157.00000\n");
  EXPECT_EQ(text.size(), size_t(175)) << "nothing of the longer old file remains";
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"keep.scl", "link.scl"}));
}

}  // namespace
