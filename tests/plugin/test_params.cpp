// The parameter model: the four kinds of initialisation, normalisation with shape, stepping,
// display texts and precision, the host's texts and the bounds of every copied name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "plugin/IParam.h"

namespace {

std::string Display(const IParam& p, double value, bool normalized = false, bool withTexts = true) {
  char buf[64];
  std::memset(buf, 'x', sizeof buf);
  p.GetDisplayForHost(value, normalized, buf, sizeof buf, withTexts);
  return buf;
}

TEST(ParamNormalisation, ShapeBendsTheCurveBothWays) {
  IParam p;
  p.InitDouble("Cutoff", 1000.0, 20.0, 20000.0, 1.0, "Hz", "", 3.0);
  p.SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.Value(), 20.0 + 19980.0 * 0.125);  // doubles are not stepped
  EXPECT_NEAR(p.GetNormalized(), 0.5, 1e-12);
  EXPECT_NEAR(p.GetNormalized(20.0 + 19980.0 / 27.0), 1.0 / 3.0, 1e-12);
  EXPECT_DOUBLE_EQ(p.GetNonNormalized(0.5), 2517.5);
  for (double n = 0.0; n <= 1.0; n += 0.0625) {
    p.SetNormalized(n);
    EXPECT_NEAR(p.GetNormalized(), n, 1e-12) << n;
  }
}

// Non-doubles round half up (4.5 to 5; -2.5 to -2, not away from zero); doubles keep their
// value between steps.
TEST(ParamStepping, NonDoublesRoundHalfUpToTheStepAndSetClamps) {
  IParam i, s, b, e, d;
  i.InitInt("Steps", 0, 0, 10);
  s.InitInt("Signed", 0, -8, 8);
  b.InitBool("B", false);
  e.InitEnum("E", 0, 4);  // 0..3
  d.InitDouble("D", 0.0, 0.0, 10.0, 1.0);
  const struct {
    IParam* p;
    double normalized, value;
  } cases[] = {{&i, 0.44, 4.0},        {&i, 0.45, 5.0}, {&s, 11.0 / 32.0, -2.0},
               {&s, 21.0 / 32.0, 3.0}, {&b, 0.49, 0.0}, {&b, 0.5, 1.0},
               {&e, 0.5, 2.0},         {&e, 1.0, 3.0},  {&d, 0.4321, 4.321}};
  for (const auto& c : cases) {
    c.p->SetNormalized(c.normalized);
    EXPECT_DOUBLE_EQ(c.p->Value(), c.value) << c.p->GetNameForHost() << " " << c.normalized;
  }
  // Set clamps to the range and ignores not-a-number.
  for (auto [v, expected] : {std::pair{42.0, 8.0}, {-42.0, -8.0}, {NAN, -8.0}, {INFINITY, 8.0}}) {
    s.Set(v);
    EXPECT_EQ(s.Value(), expected) << v;
  }
}

TEST(ParamDisplay, PrecisionFollowsTheDecimalsOfTheStep) {
  const struct {
    double step;
    int precision;
  } cases[] = {{1.0, 0},   {5.0, 0},    {0.1, 1},  {0.5, 1},  {0.01, 2},     {0.25, 2},
               {0.001, 3}, {0.0001, 4}, {1e-6, 6}, {1e-9, 6}, {1.0 / 3.0, 6}};
  for (const auto& c : cases) {
    IParam p;
    p.InitDouble("P", 0.0, 0.0, 100.0, c.step);
    EXPECT_EQ(p.GetDisplayPrecision(), c.precision) << c.step;
  }
}

TEST(ParamDisplay, NumbersAreTruncatedOrPrintedWithThePrecision) {
  IParam whole, cents;
  whole.InitDouble("W", 0.0, -100.0, 100.0, 1.0);
  cents.InitDouble("C", 0.0, -100.0, 100.0, 0.01);
  EXPECT_EQ(Display(whole, -37.4), "-37");
  EXPECT_EQ(Display(whole, -37.9), "-37");
  EXPECT_EQ(Display(whole, -0.7), "0");
  EXPECT_EQ(Display(cents, -37.4), "-37.40");
  // Normalised input is converted with the shape, without stepping.
  EXPECT_EQ(Display(cents, 0.25, true), "-50.00");

  IParam neg;
  neg.InitDouble("N", 0.25, 0.0, 1.0, 0.001);
  neg.SetNegateDisplay();
  EXPECT_EQ(Display(neg, 0.25), "-0.250");

  // Hostile values from a host never overflow the text or the integer conversion.
  EXPECT_EQ(Display(whole, 1e300), "2147483647");
  EXPECT_EQ(Display(whole, -1e300), "-2147483648");
  char tiny[4];
  cents.GetDisplayForHost(-37.4, false, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "-37");
}

TEST(ParamDisplay, MapDisplayTextIsExactAndCaseSensitive) {
  IParam b;
  b.InitBool("B", false);
  int v = -7;
  EXPECT_FALSE(b.MapDisplayText("On", &v));
  EXPECT_EQ(v, -7);
  EXPECT_FALSE(b.MapDisplayText("on ", &v));
  EXPECT_FALSE(b.MapDisplayText(nullptr, &v));
  EXPECT_TRUE(b.MapDisplayText("on", &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(b.MapDisplayText("off", &v));
  EXPECT_EQ(v, 0);
}

}  // namespace
