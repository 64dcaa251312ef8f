// The built-in temperaments: applying one sets exactly the twelve tune parameters of its
// Block, informs the host, and is recognised again; anything off by a cent is "custom". A
// temperament applied to Block A is heard: the pitch of a rendered note, measured from the
// audio, moves by the temperament's deviation for its pitch class.
#include "tuning/tuning_fixture.h"

using namespace quenta_test;

namespace {

constexpr int kJust = 1;

TEST(TuningTables, EachTableIsAppliedToItsBlockOnlyAndRecognised) {
  Tuned q;
  for (int block = 0; block < kNumBlocks; ++block) {
    for (int t = 0; t < kNumMicroTunings; ++t) {
      SCOPED_TRACE(std::string(descMicroTuning[t]) + " on Block " + char('A' + block));
      std::vector<double> before = q.All();
      ASSERT_TRUE(q.q().setMicroTuning(block, t));
      const Tunes want = TableDeviations(t);
      for (int k = 0; k < kMicroTuningDegrees; ++k) {
        EXPECT_NEAR(q.Degree(block, k), want[size_t(k)], 1e-9) << "degree " << k + 1;
        before[size_t(BlockParam(block, paramIndices[k]))] = q.Degree(block, k);
      }
      EXPECT_EQ(q.All(), before) << "a parameter outside the twelve changed";
      EXPECT_EQ(q.q().getMicroTuning(block), t);
    }
  }
}

// Each of the twelve is reported to the host when set, then every parameter once more;
// Blocks and tables outside their ranges change and report nothing.
TEST(TuningTables, ApplyingGoesThroughTheEditorPathToTheHost) {
  Tuned q;
  Log().automated.clear();
  ASSERT_TRUE(q.q().setMicroTuning(kBlockB, kJust));
  const std::vector<int> a = Log().automated;
  ASSERT_EQ(a.size(), size_t(kMicroTuningDegrees + kNumParams));
  for (int k = 0; k < kMicroTuningDegrees; ++k)
    EXPECT_EQ(a[size_t(k)], BlockParam(kBlockB, paramIndices[k]));
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(a[size_t(kMicroTuningDegrees + i)], i);

  const std::vector<double> before = q.All();
  Log().automated.clear();
  for (const auto& [block, table] :
       {std::pair{-1, kJust}, {kNumBlocks, kJust}, {kBlockA, -1}, {kBlockA, kNumMicroTunings}})
    EXPECT_FALSE(q.q().setMicroTuning(block, table)) << block << " " << table;
  EXPECT_EQ(q.All(), before);
  EXPECT_TRUE(Log().automated.empty());
  EXPECT_EQ(q.q().getMicroTuning(-1), -1);
  EXPECT_EQ(q.q().getMicroTuning(kNumBlocks), -1);
}

TEST(TuningTables, OneCentOffAnywhereIsCustom) {
  Tuned q;
  EXPECT_EQ(q.q().getMicroTuning(kBlockC), 0) << "a fresh Block is equal-tempered";
  for (int k = 0; k < kMicroTuningDegrees; ++k) {
    SCOPED_TRACE(k);
    ASSERT_TRUE(q.q().setMicroTuning(kBlockC, kJust));
    const int idx = BlockParam(kBlockC, paramIndices[k]);
    q.Set(idx, q.Get(idx) + 1.0);
    EXPECT_EQ(q.q().getMicroTuning(kBlockC), -1);
    // Within the tolerance of 1e-5 cents it still matches.
    q.Set(idx, q.Get(idx) - 1.0 + 0.9e-5);
    EXPECT_EQ(q.q().getMicroTuning(kBlockC), kJust);
  }
  // The other Blocks are not looked at.
  EXPECT_EQ(q.q().getMicroTuning(kBlockA), 0);
}

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kFrom = 2400;   // past the attack
constexpr int kCount = 9600;  // 0.2 s measured
constexpr int kPentatonic = 12;
constexpr int kHeptatonic = 13;

// Frequency of one key played on Block A alone after tuning Block A with the temperament
// (and Block B, which is silent, with another one).
double PlayTuned(int tuning, int note) {
  Tuned q;
  q.Set(BlockParam(kBlockB, kChEnable), 0.0);
  q.Set(BlockParam(kBlockC, kChEnable), 0.0);
  EXPECT_TRUE(q.q().setMicroTuning(kBlockA, tuning));
  EXPECT_TRUE(q.q().setMicroTuning(kBlockB, kPentatonic));
  q.Midi(0x90, uint8_t(note), 100);
  std::vector<double> left(kFrom + kCount), right(kFrom + kCount);
  for (int start = 0; start < kFrom + kCount; start += kBlock) {
    const int n = std::min(kBlock, kFrom + kCount - start);
    double* outs[2] = {left.data() + start, right.data() + start};
    q.q().ProcessDoubleReplacing(nullptr, outs, n);
  }
  EXPECT_GT(Rms(left, kFrom, kCount), 0.01) << "key " << note << " is silent";
  return CrossingHz(left, kFrom, kCount, kRate);
}

// The pitch the engine plays for a key with a deviation in cents: 1.28 units per cent,
// truncated.
double TunedHz(int note, int tuning, int degree) {
  return PitchHz(note * 128 + int(1.28 * microTuningDeviation(tuning, degree - 1)));
}

TEST(TunedPitch, EachPitchClassMovesByItsDeviation) {
  const struct {
    const char* name;
    int tuning, note;
    double hz;
  } cases[] = {
      // E4 lies 2 units (1.5625 cents) above equal temperament: 329.934 Hz instead of 329.628.
      {"E4, a pure fifth above A: +1.955 cents", kJust, 64, 329.934},
      {"C4, a pure minor third above A: +15.641 cents", kJust, 60, TunedHz(60, kJust, 3)},
      {"F#4, a pure major sixth above A: -15.641 cents", kJust, 66, TunedHz(66, kJust, 9)},
      // Degree 1 of "Pentatonic" sits on A itself: the A# key sounds A 440 Hz.
      {"A#4 in Pentatonic", kPentatonic, 70, 440.0},
      {"A4 in Heptatonic: -43 cents", kHeptatonic, 69, TunedHz(69, kHeptatonic, 12)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.tuning != kPentatonic) {
      ASSERT_GT(std::fabs(c.hz - NoteTableHz(c.note)), 0.25) << "the deviation must be measurable";
    }
    EXPECT_NEAR(PlayTuned(c.tuning, c.note), c.hz, 0.05);
  }
}

}  // namespace
