// MIDI delivered through effProcessEvents: every kind of delivery is taken (answer 1) without
// harm, and nothing is echoed to the host while "MIDI Thru" is off, as it is in a fresh
// configuration (the echo itself is tested in the instrument suite).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

TEST(Midi, EveryDeliveryIsTakenAndNothingIsEchoed) {
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession(48000.0f, 512);
  VstMidiEvent extras = TestHost::Midi(3, 0x91, 64, 80);  // every extra field of the event set
  extras.midiData[3] = 0x55;
  extras.noteLength = 1000;
  extras.noteOffset = 7;
  extras.detune = 12;
  extras.noteOffVelocity = 90;
  extras.flags = 1;
  VstMidiEvent note = TestHost::Midi(9, 0x90, 48, 70);
  VstEvent audio{}, unknown{};
  audio.type = 2;
  audio.byteSize = sizeof(VstEvent);
  unknown.type = 99;
  std::vector<VstMidiEvent> kinds = {
      TestHost::Midi(17, 0x93, 60, 100),   TestHost::Midi(0, 0xB0, 7, 127),
      TestHost::Midi(511, 0xE5, 0, 64),    TestHost::Midi(20, 0x83, 60, 0),
      TestHost::Midi(30, 0xC2, 5, 0),      TestHost::Midi(40, 0xD1, 99, 0),
      TestHost::Midi(50, 0xA4, 61, 33),    TestHost::Midi(0, 0xF8, 0, 0),
      TestHost::Midi(1, 0x3C, 0x40, 0x7F), TestHost::Midi(2, 0xFF, 0xFF, 0xFF)};
  // Offsets at, after and far beyond the end of the coming block, and negative ones.
  for (int delta : {512, 513, 100000, INT_MAX, -1, INT_MIN}) {
    kinds.push_back(TestHost::Midi(delta, 0x90, 60, 100));
    kinds.push_back(TestHost::Midi(delta, 0x80, 60, 0));
  }
  std::vector<VstMidiEvent> many;
  for (int i = 0; i < 2000; ++i)
    many.push_back(TestHost::Midi(i % 600, static_cast<uint8_t>((i % 2 ? 0x80 : 0x90) | (i % 16)),
                                  static_cast<uint8_t>(i % 128),
                                  static_cast<uint8_t>(i % 2 ? 0 : 1 + i % 127)));
  auto pointers = [](std::vector<VstMidiEvent>& v) {
    std::vector<VstEvent*> p;
    for (VstMidiEvent& e : v) p.push_back(reinterpret_cast<VstEvent*>(&e));
    return p;
  };
  const struct {
    const char* what;
    std::vector<VstEvent*> events;
  } deliveries[] = {
      {"every kind of short message", pointers(kinds)},
      {"2000 events", pointers(many)},
      {"extra bytes", {reinterpret_cast<VstEvent*>(&extras)}},
      {"other types and null entries",
       {&audio, nullptr, reinterpret_cast<VstEvent*>(&note), &unknown, nullptr}},
      {"nothing", {}},
  };
  for (const auto& d : deliveries) {
    EXPECT_EQ(host.SendEvents(d.events), 1) << d.what;
    host.ProcessReplacing(512);
    host.ProcessDoubleReplacing(100);
    for (int ch = 0; ch < 2; ++ch) {
      for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s)) << d.what;
      for (int i = 0; i < 100; ++i) ASSERT_TRUE(std::isfinite(host.OutputD(ch)[i])) << d.what;
    }
  }
  EXPECT_EQ(host.SendSysex(12, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}), 1);
  EXPECT_EQ(host.SendSysex(0, {}), 1);
  EXPECT_EQ(host.SendSysex(-3, {0xF0}), 1);
  EXPECT_EQ(host.CountCalls(audioMasterProcessEvents), 0u);
}
