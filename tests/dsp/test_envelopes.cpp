// Voice envelope (EM) and general envelope (GEG): segment times, levels, hold and release
// behaviour, measured from the envelopes' output sample by sample.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp/em.h"
#include "dsp/geg.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kDamp = 0, kHalfDamp = 1, kLongRelease = 2;  // "EM Rel" list

// Length of a segment with time parameter p.
double segmentSeconds(double p) { return std::pow(10.0, 4.5 * p - 2.3); }

// Steps an envelope until the condition holds; the elapsed time in seconds, or -1.
template <class Env, class Done>
double secondsUntil(Env& env, Done done, double limitSeconds, double rate = kRate) {
  for (long i = 1, limit = long(limitSeconds * rate); i <= limit; ++i) {
    env.update();
    if (done()) return double(i) / rate;
  }
  return -1.0;
}

template <class Env>
void run(Env& env, double seconds, double rate = kRate) {
  for (long i = 0, n = long(seconds * rate); i < n; ++i) env.update();
}

// Reaches 1 within 5 ms, then falls toward the sustain level within 40 ms.
EM makeEM(double sustain = 1.0, double attack = 0.0) {
  EM em;
  em.setSampleRate(float(kRate));
  em.setAttack(attack);
  em.setDecay(0.0);
  em.setSustain(sustain);
  em.setRelease(kDamp);
  return em;
}

double releaseSeconds(EM& em) { return secondsUntil(em, [&] { return em.isIdle(); }, 20.0); }

}  // namespace

TEST(VoiceEnvelope, AttackFollowsTheTimeLawAtEveryRate) {
  for (double rate : {1000.0, 48000.0, 96000.0}) {
    for (double p : {0.0, 0.5, 1.0}) {
      EM em = makeEM(1.0, p);
      em.setSampleRate(float(rate));
      em.start();
      const double t = secondsUntil(em, [&] { return em.getValue() >= 1.0; }, 200.0, rate);
      EXPECT_NEAR(t, segmentSeconds(p), 0.01 * segmentSeconds(p) + 1 / rate) << rate << " " << p;
    }
  }
}

TEST(VoiceEnvelope, DecayFallsToTheSustainLevel) {
  for (double dcy : {0.0, 0.25}) {
    for (double sus : {0.0, 0.3, 0.75}) {
      EM em = makeEM(sus);
      em.setDecay(dcy);
      em.start();
      secondsUntil(em, [&] { return em.getValue() >= 1.0; }, 1.0);
      // 90 % of the way in the segment time of 0.2 + 0.8 * "EM Dcy" (40 ms at 0).
      const double t = secondsUntil(em, [&] { return em.getValue() <= sus + 0.1 * (1 - sus); }, 10.0);
      const double expected = segmentSeconds(0.2 + 0.8 * dcy);
      EXPECT_NEAR(t, expected, 0.01 * expected) << dcy << " " << sus;
      run(em, 20 * expected);
      EXPECT_NEAR(em.getValue(), sus, 1e-6);
      EXPECT_FALSE(em.isIdle()) << "a sustained note stays until released";
    }
  }
  EM moved = makeEM(0.8);
  moved.start();
  run(moved, 0.5);
  moved.setSustain(0.2);
  run(moved, 0.5);
  EXPECT_NEAR(moved.getValue(), 0.2, 1e-6) << "a sustain change moves a running decay";
}

TEST(VoiceEnvelope, DecayToZeroSustainStaysActiveWithoutDenormals) {
  EM em;
  em.setSampleRate(1000.0f);
  em.setSustain(0.0);
  em.start();
  run(em, 600.0, 1000.0);  // far beyond the range of doubles for a 40 ms decay
  EXPECT_FALSE(em.isIdle());
  EXPECT_EQ(std::fpclassify(em.getValue()), FP_NORMAL);
  em.stop(false);
  EXPECT_GT(secondsUntil(em, [&] { return em.isIdle(); }, 1.0, 1000.0), 0.0);
  EXPECT_EQ(em.getValue(), 0.0);
}

TEST(VoiceEnvelope, ReleaseListAndOverrideRelease) {
  const struct {
    int index;
    double seconds;
  } cases[] = {{kDamp, 0.0084}, {kHalfDamp, 0.43}, {kLongRelease, 11.9}, {7, 11.9}};
  for (const auto& c : cases) {
    EM em = makeEM();
    em.setRelease(c.index);
    em.setRelease(0.5);  // override time, not in use
    em.start();
    run(em, 0.05);
    ASSERT_EQ(em.getValue(), 1.0);
    em.stop(false);
    const double t = secondsUntil(em, [&] { return em.getValue() <= 0.0; }, 20.0);
    EXPECT_NEAR(t, c.seconds, 0.01 * c.seconds) << c.index;
    EXPECT_TRUE(em.isIdle());
  }

  EM em = makeEM();
  em.setRelease(0.5);
  em.setOverrideRelease(true);
  em.start();
  run(em, 0.05);
  em.stop(false);
  EXPECT_NEAR(releaseSeconds(em), 0.891, 0.009);
  // Switching back during a release takes the list time from there on.
  em.start();
  run(em, 0.05);
  em.stop(false);
  run(em, 0.1);
  EXPECT_GT(em.getValue(), 0.5);
  em.setOverrideRelease(false);
  EXPECT_LT(releaseSeconds(em), 0.0084);
}

TEST(VoiceEnvelope, NoteOnRestartsTheAttackFromTheCurrentLevel) {
  EM em = makeEM(1.0);
  em.setRelease(kHalfDamp);
  em.start();
  run(em, 0.05);
  em.stop(false);
  run(em, 0.1);
  const double level = em.getValue();
  ASSERT_GT(level, 0.2);
  ASSERT_LT(level, 0.9);
  em.start();
  em.update();
  EXPECT_GT(em.getValue(), level);
  EXPECT_LT(em.getValue(), level + 0.05);
  EXPECT_EQ(em.getState(), EM::kAttack);
}

TEST(VoiceEnvelope, AttackChangesDuringTheAttack) {
  EM em = makeEM(1.0, 1.0);  // 158 s
  em.start();
  run(em, 0.1);
  EXPECT_LT(em.getValue(), 0.01);
  em.setAttack(0.0);
  EXPECT_LT(secondsUntil(em, [&] { return em.getValue() >= 1.0; }, 1.0), 0.0051);
  EM clamped = makeEM(1.0, -3.0);  // clamped to 0
  clamped.start();
  EXPECT_NEAR(secondsUntil(clamped, [&] { return clamped.getValue() >= 1.0; }, 1.0), 0.005, 0.0001);
}

TEST(VoiceEnvelope, WithoutUseHoldASecondNoteOnRestartsAHeldAttack) {
  // (Holding through the note-off, releasing by switch or trigger: measured through the
  // entry point.)
  EM again = makeEM(0.6);
  again.setHold(true);
  again.start();
  run(again, 0.5);
  again.start();
  EXPECT_EQ(again.getState(), EM::kAttack);
}

TEST(VoiceEnvelope, UseHoldMakesTheAttackAGate) {
  EM em = makeEM(0.6);
  em.setHold(true);
  em.setUseHold(true);
  em.setAttack(0.5);
  em.start();
  run(em, 0.01);
  EXPECT_FALSE(em.isHolding()) << "attack below 0.7 does not engage the hold";
  em.setAttack(0.75);
  em.update();
  em.stop(false);
  em.update();
  EXPECT_NE(em.getState(), EM::kRelease) << "held";
  em.start();
  EXPECT_EQ(em.getState(), EM::kRelease) << "a second note-on ends the hold";

  // With "EM Hold" off the gate closes only below 0.3.
  EM gate = makeEM(0.6);
  gate.start();
  run(gate, 0.1);
  gate.setHold(true);
  gate.setUseHold(true);
  gate.setAttack(0.8);
  gate.update();
  ASSERT_TRUE(gate.isHolding());
  gate.setHold(false);
  gate.setAttack(0.5);
  gate.update();
  EXPECT_EQ(gate.getState(), EM::kDecay);
  gate.setAttack(0.2);
  gate.update();
  EXPECT_EQ(gate.getState(), EM::kRelease);
}

namespace {

// A general envelope at kRate with its times set.
struct TimedGEG : GEG {
  TimedGEG(double delay, double attack, double release) {
    setSampleRate(kRate);
    setDelay(delay);
    setAttack(attack);
    setRelease(release);
  }
};

double ge(const GEG& g, int n) { return *g.getOutput(n); }

}  // namespace

TEST(GeneralEnvelope, DelayAttackHoldRelease) {
  // (The idle outputs and the automatic release are checked through the entry point.)
  EXPECT_EQ(GEG().getOutput(4), nullptr);
  for (double p : {0.0, 0.3, 0.5}) {
    TimedGEG g(p, p, p);
    g.start();
    const double delay = secondsUntil(g, [&] { return ge(g, 3) > 0.0; }, 10.0);
    EXPECT_NEAR(delay, segmentSeconds(p), 0.01 * segmentSeconds(p) + 2 / kRate) << p;
    // The attack aims at 1.0 itself and ends at 0.999: three segment times.
    run(g, segmentSeconds(p));
    const double e = ge(g, 3);
    EXPECT_DOUBLE_EQ(ge(g, 1), 1.0 - e);
    EXPECT_DOUBLE_EQ(ge(g, 2), e - 1.0);
    const double attack = segmentSeconds(p) + secondsUntil(g, [&] { return ge(g, 3) >= 0.999; }, 30.0);
    EXPECT_NEAR(attack, 3 * segmentSeconds(p), 0.01 * 3 * segmentSeconds(p)) << p;
    run(g, 1.0);
    EXPECT_EQ(ge(g, 3), 1.0) << "holds at the top until stopped";
    EXPECT_EQ(ge(g, 1), 0.0);
    g.stop();
    const double release = secondsUntil(g, [&] { return ge(g, 3) <= 0.0; }, 10.0);
    EXPECT_NEAR(release, segmentSeconds(p), 0.01 * segmentSeconds(p)) << p;
    EXPECT_FALSE(g.isOn());
  }
}

TEST(GeneralEnvelope, RestartDuringReleaseFinishesTheFallInTheDelay) {
  TimedGEG g(0.4, 0.0, 0.3);
  g.start();
  run(g, 0.5);
  ASSERT_EQ(ge(g, 3), 1.0);
  g.stop();
  run(g, 0.02);
  double last = ge(g, 3);
  ASSERT_GT(last, 0.2);
  g.start();
  // During the 0.32 s delay the level keeps falling to 0 and stays there.
  for (int i = 0; i < int(0.3 * kRate); ++i) {
    g.update();
    ASSERT_LE(ge(g, 3), last);
    ASSERT_GE(ge(g, 3), 0.0);
    last = ge(g, 3);
  }
  EXPECT_EQ(last, 0.0);
  EXPECT_GT(secondsUntil(g, [&] { return ge(g, 3) > 0.5; }, 1.0), 0.0);
}

TEST(GeneralEnvelope, ParameterChangesTakeEffectInTheirSegment) {
  TimedGEG g(1.0, 1.0, 1.0);  // 158 s each
  g.start();
  run(g, 0.01);
  g.setDelay(0.0);
  EXPECT_LT(secondsUntil(g, [&] { return ge(g, 3) > 0.0; }, 1.0), 0.006);
  g.setAttack(0.0);
  EXPECT_LT(secondsUntil(g, [&] { return ge(g, 3) >= 1.0; }, 1.0), 0.016);
  g.setRelease(0.0);
  g.stop();
  EXPECT_LT(secondsUntil(g, [&] { return !g.isOn(); }, 1.0), 0.0051);
  // A new rate keeps the parameters and stops the envelope.
  g.setRelease(0.5);
  g.start();
  g.setSampleRate(96000.0);
  EXPECT_FALSE(g.isOn());
  g.start();
  secondsUntil(g, [&] { return ge(g, 3) >= 1.0; }, 1.0, 96000.0);
  g.stop();
  EXPECT_NEAR(secondsUntil(g, [&] { return !g.isOn(); }, 2.0, 96000.0), 0.891, 0.009);
}
