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

TEST(ParamInit, BoolIsAnOffOnSwitchWithTexts) {
  IParam p;
  p.InitBool("Sync", true, "lbl", "grp");
  EXPECT_EQ(p.Type(), IParam::kTypeBool);
  EXPECT_EQ(p.GetMax(), 1.0);
  EXPECT_EQ(p.Value(), 1.0);
  ASSERT_EQ(p.GetNDisplayTexts(), 2);
  EXPECT_STREQ(p.GetDisplayText(0), "off");
  EXPECT_STREQ(p.GetDisplayText(1), "on");
  EXPECT_EQ(Display(p, 1.0), "on");
  EXPECT_EQ(Display(p, 0.0), "off");
  EXPECT_EQ(Display(p, 1.0, false, false), "1");
  // A displayed text carries no unit.
  EXPECT_STREQ(p.GetLabelForHost(), "");
  EXPECT_STREQ(p.GetNameForHost(), "Sync");
  EXPECT_STREQ(p.GetParamGroupForHost(), "grp");
}

TEST(ParamInit, RangesAreNeverEmpty) {
  IParam e1, e4, i55, i37, d;
  e1.InitEnum("One", 0, 1);
  EXPECT_EQ(e1.GetMax(), 1.0);
  e4.InitEnum("Four", 3, 4);
  EXPECT_EQ(e4.GetMax(), 3.0);
  EXPECT_EQ(e4.Type(), IParam::kTypeEnum);
  i55.InitInt("Same", 5, 5, 5);
  EXPECT_EQ(i55.GetMin(), 5.0);
  EXPECT_EQ(i55.GetMax(), 6.0);
  i37.InitInt("Normal", 4, 3, 7);
  EXPECT_EQ(i37.GetMax(), 7.0);
  d.InitDouble("Narrow", 10.0, 10.0, 10.2, 0.5);
  EXPECT_EQ(d.GetMax(), 10.5);
  double lo = -1, hi = -1;
  d.GetBounds(&lo, &hi);
  EXPECT_EQ(lo, 10.0);
  EXPECT_EQ(hi, 10.5);
}

TEST(ParamInit, TheFirstInitDecidesTheTypeAndShapeZeroKeepsTheShape) {
  IParam p;
  p.InitInt("Count", 2, 0, 10);
  p.InitDouble("Count", 2.0, 0.0, 10.0, 0.5, "", "", 0.0);
  EXPECT_EQ(p.Type(), IParam::kTypeInt);
  // Still an int: values are rounded to the (new) step.
  p.SetNormalized(0.33);  // 3.3
  EXPECT_EQ(p.Value(), 3.5);
  EXPECT_EQ(p.GetShape(), 1.0);

  IParam q;
  q.InitDouble("Freq", 100.0, 20.0, 20000.0, 1.0, "Hz", "", 2.0);
  q.InitDouble("Freq", 100.0, 20.0, 20000.0, 1.0, "Hz", "", 0.0);
  EXPECT_EQ(q.GetShape(), 2.0);
  q.SetShape(0.0);
  EXPECT_EQ(q.GetShape(), 2.0);
  // The other kinds put the shape back to linear.
  q.InitInt("Freq", 100, 20, 20000);
  EXPECT_EQ(q.GetShape(), 1.0);
  EXPECT_EQ(q.GetDisplayPrecision(), 0);
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

TEST(ParamNormalisation, ValuesOutsideTheRangeNormaliseToTheEnds) {
  IParam p;
  p.InitDouble("Gain", 0.0, -100.0, 100.0, 0.01, "dB");
  EXPECT_EQ(p.GetNormalized(-1000.0), 0.0);
  EXPECT_EQ(p.GetNormalized(1000.0), 1.0);
  EXPECT_EQ(p.GetNormalized(std::numeric_limits<double>::quiet_NaN()), 0.0);
  // The inverse does not clamp.
  EXPECT_DOUBLE_EQ(p.GetNonNormalized(1.5), 200.0);
  // Normalised input from a host is kept inside 0..1.
  p.SetNormalized(7.0);
  EXPECT_EQ(p.Value(), 100.0);
  p.SetNormalized(-3.0);
  EXPECT_EQ(p.Value(), -100.0);
  p.SetNormalized(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(p.Value(), -100.0);
}

TEST(ParamStepping, NonDoublesRoundHalfUpToTheStep) {
  IParam i, s, b, e, d;
  i.InitInt("Steps", 0, 0, 10);
  s.InitInt("Signed", 0, -8, 8);
  b.InitBool("B", false);
  e.InitEnum("E", 0, 4);  // 0..3
  d.InitDouble("D", 0.0, 0.0, 10.0, 1.0);
  const struct {
    IParam* p;
    double normalized, value;
  } cases[] = {
      {&i, 0.44, 4.0}, {&i, 0.45, 5.0},  // 4.5 rounds up
      // Half up, not away from zero: -2.5 becomes -2, +2.5 becomes 3.
      {&s, 11.0 / 32.0, -2.0}, {&s, 21.0 / 32.0, 3.0},
      {&b, 0.49, 0.0}, {&b, 0.5, 1.0},
      {&e, 0.5, 2.0}, {&e, 1.0, 3.0},
      {&d, 0.4321, 4.321},  // doubles keep their value between steps
  };
  for (const auto& c : cases) {
    c.p->SetNormalized(c.normalized);
    EXPECT_DOUBLE_EQ(c.p->Value(), c.value) << c.p->GetNameForHost() << " " << c.normalized;
  }
}

TEST(ParamStepping, SetClampsToTheRangeAndIgnoresNaN) {
  IParam p;
  p.InitInt("Steps", 3, -5, 10);
  p.Set(42.0);
  EXPECT_EQ(p.Value(), 10.0);
  p.Set(-42.0);
  EXPECT_EQ(p.Value(), -5.0);
  p.Set(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(p.Value(), -5.0);
  p.Set(std::numeric_limits<double>::infinity());
  EXPECT_EQ(p.Value(), 10.0);
}

TEST(ParamDisplay, PrecisionFollowsTheDecimalsOfTheStep) {
  const struct {
    double step;
    int precision;
  } cases[] = {{1.0, 0}, {5.0, 0}, {0.1, 1}, {0.5, 1}, {0.01, 2}, {0.25, 2}, {0.001, 3},
               {0.0001, 4}, {1e-6, 6}, {1e-9, 6}, {1.0 / 3.0, 6}};
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

TEST(ParamDisplay, TextsForIntegerValuesFirstEntryWins) {
  IParam p;
  p.InitEnum("Wave", 0, 3, "unit");
  p.SetDisplayText(0, "sine");
  p.SetDisplayText(1, "saw");
  p.SetDisplayText(1, "ignored duplicate");
  p.SetDisplayText(2, "");
  EXPECT_EQ(p.GetNDisplayTexts(), 4);
  EXPECT_STREQ(p.GetDisplayText(1), "saw");
  EXPECT_STREQ(p.GetDisplayText(7), "");
  int v = -1;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &v), "ignored duplicate");
  EXPECT_EQ(v, 1);
  EXPECT_STREQ(p.GetDisplayTextAtIdx(9, &v), "");

  EXPECT_EQ(Display(p, 1.9), "saw");  // looked up by the truncated value
  EXPECT_EQ(Display(p, 0.5, true), "saw");
  EXPECT_EQ(Display(p, 1.0, false, false), "1");
  // An empty text falls back to the number, and the unit is shown with it.
  EXPECT_EQ(Display(p, 2.0), "2");
  p.Set(2.0);
  EXPECT_STREQ(p.GetLabelForHost(), "unit");
  p.Set(0.0);
  EXPECT_STREQ(p.GetLabelForHost(), "");
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

  IParam e;
  e.InitEnum("E", 0, 3);
  e.SetDisplayText(2, "same");
  e.SetDisplayText(1, "same");
  EXPECT_TRUE(e.MapDisplayText("same", &v));
  EXPECT_EQ(v, 2);
}

TEST(ParamDisplay, DBToAmp) {
  IParam p;
  p.InitDouble("Level", 0.0, -120.0, 24.0, 0.1, "dB");
  EXPECT_NEAR(p.DBToAmp(), 1.0, 1e-12);
  p.Set(20.0);
  EXPECT_NEAR(p.DBToAmp(), 10.0, 1e-9);
  p.Set(-120.0);
  EXPECT_NEAR(p.DBToAmp(), 1e-6, 1e-15);
}

TEST(ParamTexts, LongNamesAreCutNotOverflowed) {
  const std::string forty(40, 'N');
  const std::string cut(IParam::kTextLen - 1, 'N');
  IParam p;
  p.InitDouble(forty.c_str(), 0.0, 0.0, 1.0, 0.01, std::string(40, 'L').c_str(), std::string(40, 'G').c_str());
  EXPECT_EQ(p.GetNameForHost(), cut);
  EXPECT_EQ(std::string(p.GetLabelForHost()), std::string(IParam::kTextLen - 1, 'L'));
  EXPECT_EQ(std::string(p.GetParamGroupForHost()), std::string(IParam::kTextLen - 1, 'G'));

  IParam e;
  e.InitEnum("E", 0, 2);
  e.SetDisplayText(0, std::string(40, 'T').c_str());
  e.SetDisplayText(1, "next");
  EXPECT_EQ(std::string(e.GetDisplayText(0)), std::string(IParam::kTextLen - 1, 'T'));
  EXPECT_STREQ(e.GetDisplayText(1), "next");
  int v = -1;
  EXPECT_TRUE(e.MapDisplayText(std::string(IParam::kTextLen - 1, 'T').c_str(), &v));
  EXPECT_EQ(v, 0);

  // Null texts are taken as empty.
  IParam n;
  n.InitInt(nullptr, 0, 0, 3, nullptr, nullptr);
  EXPECT_STREQ(n.GetNameForHost(), "");
  EXPECT_STREQ(n.GetLabelForHost(), "");
}

}  // namespace
