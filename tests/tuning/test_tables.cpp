// The built-in temperaments: applying one sets exactly the twelve tune parameters of its
// Block, informs the host, and is recognised again; anything off by a cent is "custom".
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

}  // namespace
