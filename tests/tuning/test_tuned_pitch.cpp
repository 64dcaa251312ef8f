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
