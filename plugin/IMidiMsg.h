#pragma once
// One short MIDI message with its sample offset in the current host block, and a
// system-exclusive message. Building sets all fields; decoding never fails (a message of
// another kind answers -1, 0.0 or -1.0 as documented per accessor).
#include <cstdint>

struct IMidiMsg {
  enum EStatusMsg {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
  };

  // A continuous-controller number as carried in the first data byte.
  enum EControlChangeMsg {
    kModWheel = 1,
    kBreathController = 2,
    kFootController = 4,
    kPortamentoTime = 5,
    kChannelVolume = 7,
    kBalance = 8,
    kPan = 10,
    kExpressionController = 11,
    kSustainOnOff = 64,
    kPortamentoOnOff = 65,
    kSustenutoOnOff = 66,
    kSoftPedalOnOff = 67,
    kAllSoundOff = 120,
    kResetAllControllers = 121,
    kAllNotesOff = 123,
  };

  int mOffset;
  uint8_t mStatus, mData1, mData2;

  IMidiMsg(int offset = 0, uint8_t status = 0, uint8_t data1 = 0, uint8_t data2 = 0)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
  void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);
  void MakePitchWheelMsg(double value, int channel = 0);
  void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel = 0);
  void Clear();

  int Channel() const { return mStatus & 0x0F; }
  EStatusMsg StatusMsg() const;
  int NoteNumber() const;
  int Velocity() const;
  int PolyAfterTouch() const;
  int ChannelAfterTouch() const;
  int Program() const;
  double PitchWheel() const;
  EControlChangeMsg ControlChangeIdx() const { return (EControlChangeMsg)mData1; }
  // data2 / 127 for a control change on controller idx, else -1.0.
  double ControlChange(EControlChangeMsg idx) const;

  static const char* StatusMsgStr(EStatusMsg msg);
  void LogMsg() const {}
};

struct ISysEx {
  int mOffset, mSize;
  const uint8_t* mData;  // not owned; valid only during the call that delivers the message

  ISysEx(int offset = 0, const uint8_t* data = nullptr, int size = 0)
      : mOffset(offset), mSize(size), mData(data) {}
  void Clear() {
    mOffset = mSize = 0;
    mData = nullptr;
  }
  void LogMsg() const {}
};

// Writes data as upper-case hex bytes separated by spaces: at most bufferLength / 3 bytes
// and at most size bytes, NUL-terminated. Returns buffer.
char* SysExStr(char* buffer, int bufferLength, const uint8_t* data, int size);
