// MIDI messages: decoding of every kind, building, and the hex text of SysEx data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/IMidiMsg.h"

namespace {

TEST(MidiDecode, NoteOn) {
  IMidiMsg m(5, 0x93, 60, 100);
  EXPECT_EQ(m.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(m.Channel(), 3);
  EXPECT_EQ(m.NoteNumber(), 60);
  EXPECT_EQ(m.Velocity(), 100);
  EXPECT_EQ(m.Program(), -1);
  EXPECT_EQ(m.PolyAfterTouch(), -1);
  EXPECT_EQ(m.ChannelAfterTouch(), -1);
  EXPECT_EQ(m.PitchWheel(), 0.0);
  EXPECT_EQ(m.ControlChange(IMidiMsg::kModWheel), -1.0);
  // Velocity 0 is still a note-on; the receiver decides what it means.
  IMidiMsg z(0, 0x90, 60, 0);
  EXPECT_EQ(z.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(z.Velocity(), 0);
}

TEST(MidiDecode, EveryOtherKind) {
  IMidiMsg off(0, 0x8F, 61, 40);
  EXPECT_EQ(off.StatusMsg(), IMidiMsg::kNoteOff);
  EXPECT_EQ(off.Channel(), 15);
  EXPECT_EQ(off.NoteNumber(), 61);
  EXPECT_EQ(off.Velocity(), 40);

  IMidiMsg poly(0, 0xA2, 62, 33);
  EXPECT_EQ(poly.StatusMsg(), IMidiMsg::kPolyAftertouch);
  EXPECT_EQ(poly.NoteNumber(), 62);
  EXPECT_EQ(poly.PolyAfterTouch(), 33);
  EXPECT_EQ(poly.Velocity(), -1);

  IMidiMsg cc(0, 0xB1, 1, 64);
  EXPECT_EQ(cc.StatusMsg(), IMidiMsg::kControlChange);
  EXPECT_EQ(cc.ControlChangeIdx(), IMidiMsg::kModWheel);
  EXPECT_DOUBLE_EQ(cc.ControlChange(IMidiMsg::kModWheel), 64.0 / 127.0);
  EXPECT_EQ(cc.ControlChange(IMidiMsg::kSustainOnOff), -1.0);
  EXPECT_EQ(cc.NoteNumber(), -1);

  IMidiMsg pc(0, 0xC2, 5, 0);
  EXPECT_EQ(pc.StatusMsg(), IMidiMsg::kProgramChange);
  EXPECT_EQ(pc.Program(), 5);

  IMidiMsg cat(0, 0xD0, 77, 0);
  EXPECT_EQ(cat.StatusMsg(), IMidiMsg::kChannelAftertouch);
  EXPECT_EQ(cat.ChannelAfterTouch(), 77);

  // The controller number is read whatever the message.
  EXPECT_EQ(IMidiMsg(0, 0x90, 64, 1).ControlChangeIdx(), IMidiMsg::kSustainOnOff);
}

TEST(MidiDecode, PitchWheelSpansMinusOneToJustBelowOne) {
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0, 64).PitchWheel(), 0.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 127, 127).PitchWheel(), 8191.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0, 0).PitchWheel(), -1.0);
  EXPECT_EQ(IMidiMsg(0, 0xE5, 1, 64).PitchWheel(), 1.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xE5, 1, 64).StatusMsg(), IMidiMsg::kPitchWheel);
}

TEST(MidiDecode, SystemAndDataBytesAreNone) {
  for (int status : {0xF0, 0xF8, 0xFF, 0x00, 0x45, 0x7F}) {
    IMidiMsg m(0, (uint8_t)status, 60, 100);
    EXPECT_EQ(m.StatusMsg(), IMidiMsg::kNone) << status;
    EXPECT_EQ(m.NoteNumber(), -1) << status;
    EXPECT_EQ(m.Velocity(), -1) << status;
    EXPECT_EQ(m.PitchWheel(), 0.0) << status;
  }
}

TEST(MidiBuild, NotesAndControllers) {
  IMidiMsg m(99, 1, 2, 3);
  m.MakeNoteOnMsg(60, 100, 17, 3);
  EXPECT_EQ(m.mStatus, 0x93);
  EXPECT_EQ(m.mData1, 60);
  EXPECT_EQ(m.mData2, 100);
  EXPECT_EQ(m.mOffset, 17);

  m.MakeNoteOffMsg(61, 5, 15);
  EXPECT_EQ(m.mStatus, 0x8F);
  EXPECT_EQ(m.mData1, 61);
  EXPECT_EQ(m.mData2, 0);
  EXPECT_EQ(m.mOffset, 5);

  m.MakeControlChangeMsg(IMidiMsg::kModWheel, 0.5, 2);
  EXPECT_EQ(m.mStatus, 0xB2);
  EXPECT_EQ(m.mData1, 1);
  EXPECT_EQ(m.mData2, 63);  // 63.5 truncated
  EXPECT_EQ(m.mOffset, 0);
  m.MakeControlChangeMsg(IMidiMsg::kAllNotesOff, 1.0, 0);
  EXPECT_EQ(m.mData1, 123);
  EXPECT_EQ(m.mData2, 127);

  m.Clear();
  EXPECT_EQ(m.mOffset, 0);
  EXPECT_EQ(m.mStatus, 0);
  EXPECT_EQ(m.mData1, 0);
  EXPECT_EQ(m.mData2, 0);
}

TEST(MidiBuild, PitchWheel) {
  const struct {
    double value;
    int d1, d2;
  } cases[] = {{1.0, 127, 127}, {-1.0, 0, 0}, {0.0, 0, 64}, {0.5, 0, 96}, {-0.5, 0, 32},
               {3.0, 127, 127}, {-2.0, 0, 0}, {-1.0 / 16384.0, 0, 64}, {8191.0 / 8192.0, 127, 127}};
  for (const auto& c : cases) {
    IMidiMsg m(40, 0, 0, 0);
    m.MakePitchWheelMsg(c.value, 4);
    EXPECT_EQ(m.mStatus, 0xE4) << c.value;
    EXPECT_EQ(m.mOffset, 0) << c.value;
    EXPECT_EQ(m.mData1, c.d1) << c.value;
    EXPECT_EQ(m.mData2, c.d2) << c.value;
  }
  // Building and decoding agree to the wheel's resolution.
  for (double v = -1.0; v < 1.0; v += 0.0371) {
    IMidiMsg m;
    m.MakePitchWheelMsg(v);
    EXPECT_NEAR(m.PitchWheel(), v, 1.0 / 8192.0) << v;
  }
}

TEST(MidiNames, StatusNames) {
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kNone), "none");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kNoteOff), "noteoff");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kNoteOn), "noteon");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kPolyAftertouch), "aftertouch");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kControlChange), "controlchange");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kProgramChange), "programchange");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kChannelAftertouch), "channelaftertouch");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kPitchWheel), "pitchwheel");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr((IMidiMsg::EStatusMsg)3), "unknown");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr((IMidiMsg::EStatusMsg)15), "unknown");
}

std::string SysEx(int bufferLength, const std::vector<uint8_t>& data, bool nullData = false) {
  char buf[64];
  std::memset(buf, '#', sizeof buf);
  SysExStr(buf, bufferLength, nullData ? nullptr : data.data(), (int)data.size());
  // Nothing is written beyond the buffer.
  for (int i = bufferLength; i < (int)sizeof buf; ++i) EXPECT_EQ(buf[i], '#') << bufferLength;
  return buf;
}

TEST(MidiSysEx, HexTextFitsTheBuffer) {
  const std::vector<uint8_t> d = {0xF0, 0x7E, 0xF7};
  EXPECT_EQ(SysEx(7, d), "F0 7E");
  EXPECT_EQ(SysEx(9, d), "F0 7E F7");
  EXPECT_EQ(SysEx(64, d), "F0 7E F7");
  EXPECT_EQ(SysEx(3, d), "F0");
  EXPECT_EQ(SysEx(2, d), "");
  EXPECT_EQ(SysEx(8, {0x0a, 0xbc}), "0A BC");
  EXPECT_EQ(SysEx(16, d, true), "");
  EXPECT_EQ(SysEx(16, {}), "");

  ISysEx s(12, d.data(), 3);
  EXPECT_EQ(s.mOffset, 12);
  s.Clear();
  EXPECT_EQ(s.mOffset, 0);
  EXPECT_EQ(s.mSize, 0);
  EXPECT_EQ(s.mData, nullptr);
}

}  // namespace
