// MIDI messages: decoding of every kind, the pitch wheel both ways.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/IMidiMsg.h"

namespace {

TEST(MidiDecode, EveryKindGivesOnlyItsOwnFields) {
  using M = IMidiMsg;
  const struct {
    uint8_t status, d1, d2;
    M::EStatusMsg kind;
    int channel, note, velocity, poly, program, channelAT;
  } cases[] = {
      {0x93, 60, 100, M::kNoteOn, 3, 60, 100, -1, -1, -1},
      {0x90, 60, 0, M::kNoteOn, 0, 60, 0, -1, -1, -1},  // velocity 0 is still a note-on
      {0x8F, 61, 40, M::kNoteOff, 15, 61, 40, -1, -1, -1},
      {0xA2, 62, 33, M::kPolyAftertouch, 2, 62, -1, 33, -1, -1},
      {0xB1, 1, 64, M::kControlChange, 1, -1, -1, -1, -1, -1},
      {0xC2, 5, 0, M::kProgramChange, 2, -1, -1, -1, 5, -1},
      {0xD0, 77, 0, M::kChannelAftertouch, 0, -1, -1, -1, -1, 77},
      {0xE5, 1, 64, M::kPitchWheel, 5, -1, -1, -1, -1, -1},
      // System messages and data bytes are none of them.
      {0xF0, 60, 100, M::kNone, -1, -1, -1, -1, -1, -1},
      {0xFF, 60, 100, M::kNone, -1, -1, -1, -1, -1, -1},
      {0x7F, 60, 100, M::kNone, -1, -1, -1, -1, -1, -1},
  };
  for (const auto& c : cases) {
    IMidiMsg m(5, c.status, c.d1, c.d2);
    EXPECT_EQ(
        (std::vector<int>{m.StatusMsg(), c.kind == M::kNone ? -1 : m.Channel(), m.NoteNumber(),
                          m.Velocity(), m.PolyAfterTouch(), m.Program(), m.ChannelAfterTouch()}),
        (std::vector<int>{c.kind, c.channel, c.note, c.velocity, c.poly, c.program, c.channelAT}))
        << "status " << int(c.status);
    EXPECT_EQ(m.PitchWheel() == 0.0, c.kind != M::kPitchWheel) << int(c.status);
    EXPECT_EQ(m.ControlChange(M::kModWheel) == -1.0, c.kind != M::kControlChange) << int(c.status);
  }
  EXPECT_DOUBLE_EQ(IMidiMsg(0, 0xB1, 1, 64).ControlChange(IMidiMsg::kModWheel), 64.0 / 127.0);
  EXPECT_EQ(IMidiMsg(0, 0xB1, 1, 64).ControlChange(IMidiMsg::kSustainOnOff), -1.0);
}

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
