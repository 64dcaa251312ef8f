// The host side of quenta-render against a scripted plug-in: the host callback and the time info
// a plug-in receives, MIDI events reaching the right block and offset, and the WAV file written
// (length, format, content, no temporary file left behind).
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "fake_plugin.h"
#include "smf_bytes.h"
#include "test_files.h"
#include "tools/quenta_render/render.h"
#include "tools/quenta_render/vst_host.h"

using namespace quenta_test;

using quenta_test::TempDir;
using qrender::MidiFile;
using qrender::PluginHost;

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr VstInt32 kTimeFlags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

MidiFile song(const smf::Bytes& bytes) {
  MidiFile m;
  std::string error;
  EXPECT_TRUE(qrender::parseMidiFile(bytes.data(), bytes.size(), m, error)) << error;
  return m;
}

struct Wav {
  SF_INFO info;
  std::vector<float> samples;  // interleaved
};

Wav readWav(const std::string& path) {
  Wav w;
  std::memset(&w.info, 0, sizeof(w.info));
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &w.info);
  EXPECT_NE(f, nullptr) << path;
  if (!f) return w;
  w.samples.resize((size_t)(w.info.frames * w.info.channels));
  sf_readf_float(f, w.samples.data(), w.info.frames);
  sf_close(f);
  return w;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host.attach(fake::entry, error)) << error;
    plugin = fake::last();
    ASSERT_NE(plugin, nullptr);
  }
  PluginHost host;
  fake::Plugin* plugin = nullptr;
};

TEST(HostCallback, TimeInfoFollowsTheTransport) {
  PluginHost host;
  AEffect effect;
  std::memset(&effect, 0, sizeof(effect));
  effect.resvd1 = (VstIntPtr)&host;
  qrender::Transport& t = host.transport();
  t.sampleRate = 44100.0;
  t.tempo = 90.0;
  t.numerator = 3;
  t.denominator = 8;  // bars of 1.5 quarter notes
  t.samplePos = 44100 * 3;
  t.playing = true;
  t.changed = false;
  auto* ti = (VstTimeInfo*)PluginHost::callback(&effect, audioMasterGetTime, 0, kTimeFlags, nullptr, 0.0f);
  ASSERT_NE(ti, nullptr);
  EXPECT_EQ(ti->samplePos, 132300.0);
  EXPECT_EQ(ti->sampleRate, 44100.0);
  EXPECT_DOUBLE_EQ(ti->ppqPos, 4.5);  // 3 s at 1.5 quarters per second
  EXPECT_EQ(ti->tempo, 90.0);
  EXPECT_DOUBLE_EQ(ti->barStartPos, 4.5);
  EXPECT_EQ(ti->timeSigNumerator, 3);
  EXPECT_EQ(ti->timeSigDenominator, 8);
  EXPECT_EQ(ti->flags & (kTimeFlags | kVstTransportPlaying), kTimeFlags | kVstTransportPlaying);
  EXPECT_EQ(ti->flags & (kVstTransportChanged | kVstTransportCycleActive | kVstCyclePosValid), 0);

  t.samplePos = 44100 * 3 + 100;
  ti = (VstTimeInfo*)PluginHost::callback(&effect, audioMasterGetTime, 0, kTimeFlags, nullptr, 0.0f);
  EXPECT_DOUBLE_EQ(ti->barStartPos, 4.5);  // still in the fourth bar
  t.playing = false;
  t.changed = true;
  ti = (VstTimeInfo*)PluginHost::callback(&effect, audioMasterGetTime, 0, kTimeFlags, nullptr, 0.0f);
  EXPECT_EQ(ti->flags & (kVstTransportPlaying | kVstTransportChanged), kVstTransportChanged);
  EXPECT_EQ(host.timeQueries(), 3);
}

// Renders a song of note-ons (one per key) and returns the rendered file.
Wav renderNotes(PluginHost& host, const MidiFile& m, const TempDir& dir, qrender::RenderResult& result,
                qrender::RenderSettings settings = qrender::RenderSettings()) {
  std::string error;
  EXPECT_TRUE(qrender::renderToFile(host, m, settings, dir.File("out.wav"), result, error)) << error;
  return readWav(dir.File("out.wav"));
}

TEST_F(HostTest, PluginSeesTheSongPositionOfEveryBlock) {
  host.open(kRate, kBlock);
  TempDir dir;
  qrender::RenderSettings settings;
  settings.tempo = 135.0;
  settings.numerator = 6;
  settings.denominator = 8;
  settings.tailSeconds = 0.0;
  // A note-on half a second in, its note-off at one second (96 ticks a quarter, 120 bpm).
  MidiFile m = song(smf::file(0, 96, {smf::track({{96, {0x90, 60, 127}}, {96, {0x80, 60, 0}}})}));
  qrender::RenderResult result;
  renderNotes(host, m, dir, result, settings);
  ASSERT_EQ(plugin->times.size(), (size_t)((kRate + kBlock - 1) / kBlock));
  for (size_t b = 0; b < plugin->times.size(); ++b) {
    const VstTimeInfo& ti = plugin->times[b];
    double pos = (double)(b * kBlock);
    EXPECT_EQ(ti.samplePos, pos);
    EXPECT_DOUBLE_EQ(ti.ppqPos, pos / kRate * 135.0 / 60.0);
    EXPECT_DOUBLE_EQ(ti.barStartPos, std::floor(ti.ppqPos / 3.0) * 3.0);  // 6/8: three quarters a bar
    EXPECT_EQ(ti.tempo, 135.0);
    EXPECT_EQ(ti.timeSigNumerator, 6);
    EXPECT_EQ(ti.timeSigDenominator, 8);
    EXPECT_TRUE(ti.flags & kVstTransportPlaying);
    EXPECT_EQ((ti.flags & kVstTransportChanged) != 0, b == 0) << "block " << b;
  }
}

TEST_F(HostTest, EventsArriveInTheirBlockAtTheirOffset) {
  for (int blockSize : {1, 100, kBlock}) {
    std::string error;
    ASSERT_TRUE(host.attach(fake::entry, error));  // a fresh instance for each block size
    plugin = fake::last();
    host.open(kRate, blockSize);
    TempDir dir;
    // 24000 ticks per quarter at 120 bpm: one tick per frame. Note-ons at frames 0, 12000,
    // 24000 and 24001, with a controller at the same frame as the last.
    MidiFile m = song(smf::file(0, 24000, {smf::track({{0, {0x90, 60, 127}},
                                                        {12000, {0x90, 61, 100}},
                                                        {12000, {0x90, 62, 80}},
                                                        {1, {0x90, 63, 64}},
                                                        {0, {0xB0, 1, 5}}})}));
    qrender::RenderResult result;
    Wav w = renderNotes(host, m, dir, result);
    std::vector<std::pair<int64_t, int>> seen;  // (absolute frame, key)
    for (const fake::Block& b : plugin->blocks)
      for (const VstMidiEvent& e : b.events) {
        EXPECT_GE(e.deltaFrames, 0);
        EXPECT_LT(e.deltaFrames, b.frames);
        EXPECT_EQ(e.type, kVstMidiType);
        EXPECT_EQ(e.byteSize, (VstInt32)sizeof(VstMidiEvent));
        seen.push_back({b.hostSamplePos + e.deltaFrames, e.midiData[1]});
      }
    EXPECT_EQ(seen, (std::vector<std::pair<int64_t, int>>{{0, 60}, {12000, 61}, {24000, 62}, {24001, 63}, {24001, 1}}))
        << "block size " << blockSize;
    // The fake writes velocity / 127 at each note-on: the file has them at the same frames.
    ASSERT_EQ(w.info.frames, 24001 + 2 * kRate);
    EXPECT_FLOAT_EQ(w.samples[0], 1.0f);
    EXPECT_FLOAT_EQ(w.samples[2 * 12000], 100.0f / 127.0f);
    EXPECT_FLOAT_EQ(w.samples[2 * 24000], 80.0f / 127.0f);
    EXPECT_FLOAT_EQ(w.samples[2 * 24001], 64.0f / 127.0f);
    EXPECT_FLOAT_EQ(w.samples[2 * 24002], fake::kLeftLevel);
    host.close();
  }
}

TEST_F(HostTest, EventsPastTheEndAreNotSent) {
  host.open(kRate, kBlock);
  // A note-off exactly at the end of the song, with no tail: it could not change any sample.
  MidiFile m = song(smf::file(0, 96, {smf::track({{0, {0x90, 60, 64}}, {96, {0x80, 60, 0}}})}));
  auto events = qrender::scheduleEvents(m, kRate, qrender::renderLength(m, kRate, 0.0));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].frame, 0);
  EXPECT_EQ(qrender::scheduleEvents(m, kRate, qrender::renderLength(m, kRate, 0.001)).size(), 2u);
}

}  // namespace
