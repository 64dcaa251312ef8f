// MIDI delivered through effProcessEvents, and what the plug-in sends back to the host through
// audioMasterProcessEvents.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// The instrument echoes short messages to the host (MIDI thru) only when its "MIDI Thru"
// setting is on, which it is not in a fresh configuration; SysEx is never echoed. With the
// setting on, every message comes back at once, unchanged, one host call per message.
constexpr bool kEchoesMidi = false;

struct Msg {
  int delta;
  uint8_t status, data1, data2;
};

class Midi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.StartSession(48000.0f, 512);
    host.ClearRecords();
  }
  VstIntPtr Send(const std::vector<Msg>& msgs) {
    std::vector<VstMidiEvent> events;
    for (const Msg& m : msgs) events.push_back(TestHost::Midi(m.delta, m.status, m.data1, m.data2));
    return host.SendMidi(events);
  }
  // The echoed events must be exactly the messages sent, one host call each, in order.
  void ExpectEchoOf(const std::vector<Msg>& msgs) {
    const std::vector<SentEvent> sent = host.SentEvents();
    if (!kEchoesMidi) {
      EXPECT_TRUE(sent.empty());
      return;
    }
    ASSERT_EQ(sent.size(), msgs.size());
    for (size_t i = 0; i < msgs.size(); ++i) {
      const VstMidiEvent& e = sent[i].midi;
      EXPECT_EQ(sent[i].batch, static_cast<int>(i));
      EXPECT_EQ(e.type, kVstMidiType);
      EXPECT_EQ(e.byteSize, static_cast<VstInt32>(sizeof(VstMidiEvent)));
      EXPECT_EQ(e.deltaFrames, msgs[i].delta);
      EXPECT_EQ(e.flags, 0);
      EXPECT_EQ(e.noteLength, 0);
      EXPECT_EQ(e.noteOffset, 0);
      EXPECT_EQ(static_cast<uint8_t>(e.midiData[0]), msgs[i].status) << "event " << i;
      EXPECT_EQ(static_cast<uint8_t>(e.midiData[1]), msgs[i].data1) << "event " << i;
      EXPECT_EQ(static_cast<uint8_t>(e.midiData[2]), msgs[i].data2) << "event " << i;
      EXPECT_EQ(e.midiData[3], 0);
      EXPECT_EQ(e.detune, 0);
      EXPECT_EQ(e.noteOffVelocity, 0);
      EXPECT_EQ(e.reserved1, 0);
      EXPECT_EQ(e.reserved2, 0);
    }
  }
  TestHost host;
};

}  // namespace

TEST_F(Midi, ShortMessagesAreEchoedAtOnce) {
  const std::vector<Msg> msgs = {{17, 0x93, 60, 100}, {0, 0xB0, 7, 127}, {511, 0xE5, 0, 64},
                                 {20, 0x83, 60, 0},   {30, 0xC2, 5, 0},  {40, 0xD1, 99, 0},
                                 {50, 0xA4, 61, 33}};
  EXPECT_EQ(Send(msgs), 1);
  // Delivered inside effProcessEvents, before any audio callback.
  ExpectEchoOf(msgs);
  EXPECT_EQ(host.CountCalls(audioMasterProcessEvents), kEchoesMidi ? msgs.size() : 0u);
}

TEST_F(Midi, EchoKeepsOffsetsAndBytesAsTheyCame) {
  // System messages, stray data bytes and offsets outside the block are passed on unchanged.
  const std::vector<Msg> msgs = {{100000, 0x90, 60, 100}, {-5, 0x80, 60, 0}, {0, 0xF8, 0, 0},
                                 {1, 0x3C, 0x40, 0x7F},  {2, 0xFF, 0xFF, 0xFF}};
  EXPECT_EQ(Send(msgs), 1);
  ExpectEchoOf(msgs);
}

TEST_F(Midi, ExtraBytesOfTheHostsEventAreNotEchoed) {
  VstMidiEvent e = TestHost::Midi(3, 0x91, 64, 80);
  e.midiData[3] = 0x55;
  e.noteLength = 1000;
  e.noteOffset = 7;
  e.detune = 12;
  e.noteOffVelocity = 90;
  e.flags = 1;  // kVstMidiEventIsRealtime
  EXPECT_EQ(host.SendMidi({e}), 1);
  ExpectEchoOf({{3, 0x91, 64, 80}});
}

TEST_F(Midi, SysexIsTakenInButNotEchoed) {
  EXPECT_EQ(host.SendSysex(12, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}), 1);
  EXPECT_EQ(host.SendSysex(0, {}), 1);
  EXPECT_EQ(host.SendSysex(-3, {0xF0}), 1);
  EXPECT_TRUE(host.SentEvents().empty());
}

TEST_F(Midi, OtherEventTypesAndNullEntriesAreSkipped) {
  VstMidiEvent note = TestHost::Midi(9, 0x90, 48, 70);
  VstEvent other{};
  other.type = 2;  // audio event: not MIDI
  other.byteSize = sizeof(VstEvent);
  VstEvent unknown{};
  unknown.type = 99;
  std::vector<VstEvent*> events = {&other, nullptr, reinterpret_cast<VstEvent*>(&note), &unknown, nullptr};
  EXPECT_EQ(host.SendEvents(events), 1);
  ExpectEchoOf({{9, 0x90, 48, 70}});
  host.ClearRecords();
  EXPECT_EQ(host.SendEvents({}), 1);
  EXPECT_TRUE(host.SentEvents().empty());
}

TEST_F(Midi, ManyEventsInOneDelivery) {
  std::vector<Msg> msgs;
  for (int i = 0; i < 2000; ++i)
    msgs.push_back({i % 600, static_cast<uint8_t>((i % 2 ? 0x80 : 0x90) | (i % 16)), static_cast<uint8_t>(i % 128),
                    static_cast<uint8_t>(i % 2 ? 0 : 1 + i % 127)});
  EXPECT_EQ(Send(msgs), 1);
  ExpectEchoOf(msgs);
  host.ProcessReplacing(512);
  for (int ch = 0; ch < 2; ++ch)
    for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s));
}

TEST_F(Midi, HostsThatRefuseMidiOutput) {
  host.Answers().processEventsResult = 0;
  EXPECT_EQ(Send({{0, 0x90, 60, 100}, {10, 0x80, 60, 0}}), 1);
  EXPECT_EQ(host.SentEvents().size(), kEchoesMidi ? 2u : 0u);
  host.ProcessReplacing(512);
  for (int ch = 0; ch < 2; ++ch)
    for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s));
}

TEST_F(Midi, EventsBeyondTheBlockAndAcrossBlocks) {
  // Offsets at, after and far beyond the end of the coming block, and negative ones: all are
  // taken without harm, and blocks of other sizes follow.
  for (int delta : {0, 511, 512, 513, 600, 100000, INT_MAX, -1, INT_MIN}) {
    EXPECT_EQ(Send({{delta, 0x90, 60, 100}, {delta, 0x80, 60, 0}}), 1) << delta;
    host.ProcessReplacing(512);
    host.ProcessDoubleReplacing(100);
    for (int ch = 0; ch < 2; ++ch) {
      for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s)) << delta;
      for (int i = 0; i < 100; ++i) ASSERT_TRUE(std::isfinite(host.OutputD(ch)[i])) << delta;
    }
  }
}
