// The pitch wheel both ways (the other messages are decoded where the instrument plays them).
#include <gtest/gtest.h>

#include <vector>

#include "plugin/IMidiMsg.h"

namespace {

TEST(MidiPitchWheel, SpansMinusOneToJustBelowOneBothWays) {
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0, 64).PitchWheel(), 0.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 127, 127).PitchWheel(), 8191.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0, 0).PitchWheel(), -1.0);
  EXPECT_EQ(IMidiMsg(0, 0xE5, 1, 64).PitchWheel(), 1.0 / 8192.0);
  const struct {
    double value;
    int d1, d2;
  } cases[] = {{1.0, 127, 127},
               {-1.0, 0, 0},
               {0.0, 0, 64},
               {0.5, 0, 96},
               {-0.5, 0, 32},
               {3.0, 127, 127},
               {-2.0, 0, 0},
               {-1.0 / 16384.0, 0, 64},
               {8191.0 / 8192.0, 127, 127}};
  for (const auto& c : cases) {
    IMidiMsg m(40, 0, 0, 0);
    m.MakePitchWheelMsg(c.value, 4);
    EXPECT_EQ((std::vector<int>{m.mOffset, m.mStatus, m.mData1, m.mData2}),
              (std::vector<int>{0, 0xE4, c.d1, c.d2}))
        << c.value;
  }
  // Building and decoding agree to the wheel's resolution.
  for (double v = -1.0; v < 1.0; v += 0.0371) {
    IMidiMsg m;
    m.MakePitchWheelMsg(v);
    EXPECT_NEAR(m.PitchWheel(), v, 1.0 / 8192.0) << v;
  }
}

}  // namespace
