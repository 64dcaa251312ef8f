#include "plugin/IMidiMsg.h"

#include <cstdio>

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel) {
  Clear();
  mStatus = (uint8_t)(channel | (kNoteOn << 4));
  mData1 = (uint8_t)noteNumber;
  mData2 = (uint8_t)velocity;
  mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel) {
  Clear();
  mStatus = (uint8_t)(channel | (kNoteOff << 4));
  mData1 = (uint8_t)noteNumber;
  mOffset = offset;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel) {
  Clear();
  mStatus = (uint8_t)(channel | (kPitchWheel << 4));
  double scaled = value * 8192.0;
  if (!(scaled >= -8192.0)) {  // also catches NaN
    mData1 = mData2 = 0;
    return;
  }
  if (scaled > 16383.0) scaled = 16383.0;  // keeps the conversion to int defined
  int v = (int)scaled + 8192;
  if (v > 16383) {
    mData1 = mData2 = 127;
  } else {
    mData1 = (uint8_t)(v & 127);
    mData2 = (uint8_t)(v >> 7);
  }
}

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel) {
  Clear();
  mStatus = (uint8_t)(channel | (kControlChange << 4));
  mData1 = (uint8_t)idx;
  double d = value * 127.0;
  if (!(d >= 0.0)) d = 0.0;
  if (d > 127.0) d = 127.0;
  mData2 = (uint8_t)(int)d;
}

void IMidiMsg::Clear() {
  mOffset = 0;
  mStatus = mData1 = mData2 = 0;
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const {
  unsigned int hi = mStatus >> 4;
  if (hi < kNoteOff || hi > kPitchWheel) return kNone;
  return (EStatusMsg)hi;
}

int IMidiMsg::NoteNumber() const {
  switch (StatusMsg()) {
    case kNoteOn:
    case kNoteOff:
    case kPolyAftertouch: return mData1;
    default: return -1;
  }
}

int IMidiMsg::Velocity() const {
  switch (StatusMsg()) {
    case kNoteOn:
    case kNoteOff: return mData2;
    default: return -1;
  }
}

int IMidiMsg::PolyAfterTouch() const { return StatusMsg() == kPolyAftertouch ? mData2 : -1; }
int IMidiMsg::ChannelAfterTouch() const { return StatusMsg() == kChannelAftertouch ? mData1 : -1; }
int IMidiMsg::Program() const { return StatusMsg() == kProgramChange ? mData1 : -1; }

double IMidiMsg::PitchWheel() const {
  if (StatusMsg() != kPitchWheel) return 0.0;
  int iVal = (mData2 << 7) + mData1;
  return (double)(iVal - 8192) / 8192.0;
}

double IMidiMsg::ControlChange(EControlChangeMsg idx) const {
  if (StatusMsg() == kControlChange && ControlChangeIdx() == idx) return (double)mData2 / 127.0;
  return -1.0;
}

const char* IMidiMsg::StatusMsgStr(EStatusMsg msg) {
  switch ((int)msg) {
    case kNone: return "none";
    case kNoteOff: return "noteoff";
    case kNoteOn: return "noteon";
    case kPolyAftertouch: return "aftertouch";
    case kControlChange: return "controlchange";
    case kProgramChange: return "programchange";
    case kChannelAftertouch: return "channelaftertouch";
    case kPitchWheel: return "pitchwheel";
    default: return "unknown";
  }
}

char* SysExStr(char* buffer, int bufferLength, const uint8_t* data, int size) {
  if (!buffer || bufferLength <= 0) return buffer;
  buffer[0] = '\0';
  if (!data || size <= 0) return buffer;
  int n = bufferLength / 3;
  if (n > size) n = size;
  char* p = buffer;
  for (int i = 0; i < n; ++i) {
    // Each byte takes "XX " (3 chars); the last one "XX" plus the terminator.
    std::snprintf(p, 3, "%02X", data[i]);
    p += 2;
    if (i + 1 < n) *p++ = ' ';
  }
  *p = '\0';
  return buffer;
}
