// The Standard MIDI File reader: timing through the tempo map, running status, merging of
// format 1 tracks, and refusal of broken files with a message that names the fault.
#include <gtest/gtest.h>

#include <cstdio>

#include "smf_bytes.h"
#include "tools/quenta_render/midi_file.h"

using namespace quenta_test;

using qrender::MidiFile;
using qrender::parseMidiFile;
using smf::Bytes;

namespace {

constexpr int kPpq = 96;
constexpr uint32_t k120Bpm = 500000, k60Bpm = 1000000, k150Bpm = 400000;

MidiFile parseOk(const Bytes& b) {
  MidiFile m;
  std::string error;
  EXPECT_TRUE(parseMidiFile(b.data(), b.size(), m, error)) << error;
  return m;
}

std::string parseError(const Bytes& b) {
  MidiFile m;
  std::string error;
  EXPECT_FALSE(parseMidiFile(b.data(), b.size(), m, error));
  return error;
}

// Each event as its tick and its bytes in hex: "25:e0 7f 7f|...".
std::string Events(const MidiFile& m) {
  std::string s;
  for (const auto& e : m.events) {
    s += (s.empty() ? "" : "|") + std::to_string(e.tick) + ":";
    for (int i = 0; i < e.size; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, i ? " %02x" : "%02x", e.data[i]);
      s += hex;
    }
  }
  return s;
}

// Running status repeats the last channel status, also across meta and SysEx events (which
// are not passed on); program change and channel pressure take one data byte.
TEST(MidiFile, RunningStatusRepeatsTheLastChannelStatus) {
  MidiFile m = parseOk(smf::file(0, kPpq,
                                 {smf::track({{0, {0x90, 60, 100}},
                                              {10, {62, 90}},
                                              {10, {60, 0}},
                                              {0, {0xC3, 5}},
                                              {0, {0xFF, 0x01, 0x02, 'h', 'i'}},
                                              {0, {0xF0, 0x02, 0x7E, 0xF7}},
                                              {0, {7}},
                                              {0, {0xD1, 99}},
                                              {5, {0xE0, 0x00, 0x40}},
                                              {0, {0x7F, 0x7F}}})}));
  EXPECT_EQ(Events(m),
            "0:90 3c 64|10:90 3e 5a|20:90 3c 00|20:c3 05|20:c3 07|20:d1 63|25:e0 00 40|"
            "25:e0 7f 7f");
}

TEST(MidiFile, TempoChangesTimeLaterEvents) {
  // 96 ticks at 120 bpm = 0.5 s, then 96 ticks at 60 bpm = 1 s, then 96 at 150 bpm = 0.4 s.
  MidiFile m = parseOk(smf::file(0, kPpq,
                                 {smf::track({{0, smf::tempo(k120Bpm)},
                                              {0, {0x90, 60, 100}},
                                              {96, smf::tempo(k60Bpm)},
                                              {0, {0x90, 62, 100}},
                                              {48, {0x90, 64, 100}},
                                              {48, smf::tempo(k150Bpm)},
                                              {96, {0x90, 65, 100}}})}));
  ASSERT_EQ(m.events.size(), 4u);
  EXPECT_DOUBLE_EQ(m.events[0].seconds, 0.0);
  EXPECT_DOUBLE_EQ(m.events[1].seconds, 0.5);
  EXPECT_DOUBLE_EQ(m.events[2].seconds, 1.0);
  EXPECT_DOUBLE_EQ(m.events[3].seconds, 1.9);
  EXPECT_DOUBLE_EQ(m.lengthSeconds, 1.9);
  EXPECT_TRUE(m.hasTempo);
  EXPECT_DOUBLE_EQ(m.firstTempoBpm, 120.0);
}

// Format 1: the tempo map of the first track times the other tracks, whose events merge by
// time, then track, then file order.
TEST(MidiFile, Format1TracksShareTheFirstTracksTempoMapAndMerge) {
  Bytes conductor = smf::track({{0, smf::tempo(k60Bpm)}, {192, smf::tempo(k120Bpm)}});
  Bytes t1 = smf::track({{96, {0x90, 1, 1}}, {0, {0x90, 2, 1}}, {192, {0x90, 3, 1}}});
  Bytes t2 = smf::track({{0, {0x91, 4, 1}}, {96, {0x91, 5, 1}}, {96, {0x91, 6, 1}}});
  Bytes t3 = smf::track({{96, {0x92, 7, 1}}});
  MidiFile m = parseOk(smf::file(1, kPpq, {conductor, t1, t2, t3}));
  std::vector<int> keys;
  for (const auto& e : m.events) keys.push_back(e.data[1]);
  // tick 0: 4; tick 96: 1, 2 (track 1), 5 (track 2), 7 (track 3); tick 192: 6; tick 288: 3.
  EXPECT_EQ(keys, (std::vector<int>{4, 1, 2, 5, 7, 6, 3}));
  EXPECT_EQ(m.events[4].track, 3);
  EXPECT_DOUBLE_EQ(m.events[1].seconds, 1.0);        // tick 96 at 60 bpm
  EXPECT_DOUBLE_EQ(m.events[6].seconds, 2.0 + 0.5);  // 192 ticks at 60, 96 at 120
  EXPECT_DOUBLE_EQ(m.firstTempoBpm, 60.0);
  EXPECT_EQ(m.format, 1);
  EXPECT_EQ(m.trackCount, 4);
}

TEST(MidiFile, TrackEndsMetaEventsAndTimeDivisions) {
  // The length includes the End of Track's delta (384 ticks after the last key) ...
  Bytes body = smf::trackBody({{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}}, false);
  smf::append(body, {0x83, 0x00, 0xFF, 0x2F, 0x00});
  EXPECT_DOUBLE_EQ(parseOk(smf::file(0, kPpq, {smf::chunk("MTrk", body)})).lengthSeconds, 2.5);
  // ... and a track without one ends with its chunk; unknown chunks are skipped.
  Bytes f = smf::header(0, 1, kPpq);
  smf::append(f, smf::chunk("XFIH", {1, 2, 3}));
  smf::append(f, smf::track({{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}}, false));
  MidiFile m = parseOk(f);
  EXPECT_EQ(m.events.size(), 2u);
  EXPECT_DOUBLE_EQ(m.lengthSeconds, 0.5);

  MidiFile sig = parseOk(smf::file(0, kPpq, {smf::track({{0, {0xFF, 0x58, 0x04, 6, 3, 24, 8}}})}));
  EXPECT_EQ(sig.timeSigNumerator, 6);
  EXPECT_EQ(sig.timeSigDenominator, 8);
  // 25 frames per second, 40 ticks per frame: 1000 ticks per second whatever the tempo.
  const int division = ((256 - 25) << 8) | 40;
  m = parseOk(
      smf::file(0, division, {smf::track({{0, smf::tempo(k60Bpm)}, {250, {0x90, 60, 1}}})}));
  EXPECT_EQ(m.ticksPerQuarter, 0);
  EXPECT_DOUBLE_EQ(m.events[0].seconds, 0.25);
  // Seconds round to the nearest frame.
  EXPECT_EQ(qrender::secondsToFrame(0.5, 48000), 24000);
  EXPECT_EQ(qrender::secondsToFrame(1.0 / 3.0, 44100), 14700);
  EXPECT_EQ(qrender::secondsToFrame(0.00001, 48000), 0);   // 0.48 frames
  EXPECT_EQ(qrender::secondsToFrame(0.000011, 48000), 1);  // 0.528 frames
}

TEST(MidiFile, BrokenFilesAreRefusedWithTheirFault) {
  Bytes good = smf::file(0, kPpq, {smf::track({{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}})});
  Bytes missingTrack = smf::header(1, 2, kPpq);
  smf::append(missingTrack, smf::track({{0, {0x90, 60, 100}}}));
  const std::pair<Bytes, const char*> cases[] = {
      {Bytes(14, 'h'), "no MThd header"},
      {Bytes(good.begin(), good.begin() + 10), "no MThd header"},
      {Bytes(good.begin(), good.end() - 5), "track 1 is truncated"},
      {missingTrack, "announces 2 tracks, the file holds 1"},
      {smf::file(2, kPpq, {smf::track({})}), "format 2"},
      {smf::file(7, kPpq, {smf::track({})}), "format 7"},
      {smf::file(0, 0, {smf::track({})}), "time division"},
      {smf::file(0, kPpq, {smf::track({{0, {60, 100}}})}), "without a preceding status"},
      {smf::file(0, kPpq, {smf::track({{0, {0x90, 60, 0x90}}})}), "where a data byte belongs"},
      {smf::file(0, kPpq, {smf::track({{0, {0x90, 60}}}, false)}), "ends inside an event"},
      {smf::file(0, kPpq, {smf::chunk("MTrk", {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1})}),
       "longer than 4 bytes"},
      {smf::file(0, kPpq, {smf::track({{0, {0xF0, 0x40, 1}}}, false)}), "SysEx"},
      {smf::file(0, kPpq, {smf::track({{0, {0xFF, 0x51, 0x02, 1, 2}}})}), "tempo event"},
      {smf::file(0, kPpq, {smf::track({{0, smf::tempo(0)}})}), "tempo of 0"},
      {smf::file(0, kPpq, {smf::track({{0, {0xF2, 1, 2}}})}), "system message 0xF2"},
  };
  for (const auto& [bytes, message] : cases) {
    const std::string error = parseError(bytes);
    EXPECT_NE(error.find(message), std::string::npos) << message << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << message;
  }
}

}  // namespace
