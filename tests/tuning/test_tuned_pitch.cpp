// A temperament applied to Block A is heard: the pitch of a rendered note, measured from the
// audio, moves by the temperament's deviation for its pitch class.
#include "tuning/tuning_fixture.h"

using namespace quenta_test;

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kFrom = 2400;   // past the attack
constexpr int kCount = 9600;  // 0.2 s measured
constexpr int kJust = 1;
constexpr int kPentatonic = 12;

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
  EXPECT_GT(quenta_test::Rms(left, kFrom, kCount), 0.01) << "key " << note << " is silent";
  return quenta_test::CrossingHz(left, kFrom, kCount, kRate);
}

// The pitch the engine plays for a key with a deviation in cents: 1.28 units per cent,
// truncated.
int TunedPitch(int note, double cents) { return note * 128 + int(1.28 * cents); }

TEST(TunedPitch, JustMovesEachPitchClassByItsDeviation) {
  struct Case {
    const char* name;
    int note;
    int degree;  // scale degree above A, 1 .. 12
  } cases[] = {
      {"E4, a pure fifth above A: +1.955 cents", 64, 7},
      {"C4, a pure minor third above A: +15.641 cents", 60, 3},
      {"F#4, a pure major sixth above A: -15.641 cents", 66, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double want =
        quenta_test::PitchHz(TunedPitch(c.note, microTuningDeviation(kJust, c.degree - 1)));
    const double equal = quenta_test::NoteTableHz(c.note);
    ASSERT_GT(std::fabs(want - equal), 0.25) << "the deviation must be measurable";
    EXPECT_NEAR(PlayTuned(kJust, c.note), want, 0.05);
  }
  // E4 lies 2 units (1.5625 cents) above equal temperament: 329.934 Hz instead of 329.628.
  EXPECT_NEAR(quenta_test::PitchHz(TunedPitch(64, microTuningDeviation(kJust, 6))), 329.934, 0.001);
}

TEST(TunedPitch, PentatonicPlaysASharpAsA) {
  // Degree 1 of "Pentatonic" sits on A itself: the A# key sounds A 440 Hz.
  EXPECT_NEAR(PlayTuned(kPentatonic, 70), 440.0, 0.05);
  EXPECT_NEAR(PlayTuned(kPentatonic, 69), 440.0, 0.05);
}

}  // namespace
