// Golden renders: a handful of patches rendered through the exported entry point and compared
// bit for bit with stored renders, so that any change of the sound, however small, fails them.
// The stored renders (tests/golden/data/<patch>.f64) hold the double-precision output, left and
// right interleaved, as little-endian float64. After a change of the sound that is meant,
// rewrite them with QUENTA_UPDATE_GOLDEN=1 build/tests/quenta_golden_tests, inspect the new
// renders and commit them with the change. Each patch is a few settings on top of the initial
// program, so a new initial program is such a change too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "instrument/instrument_helpers.h"

using quenta_test::TimedEvent;

namespace {

// A parameter set from text, as a host does (a number, or a list's display text).
struct Param {
  int index;
  const char* text;
};

struct Patch {
  const char* name;
  float sampleRate;
  int hostBlock;
  int frames;
  std::vector<Param> settings = {};     // applied in order on the initial program
  std::vector<TimedEvent> events = {};  // at absolute sample times, sorted
};

void PrintTo(const Patch& patch, std::ostream* os) { *os << patch.name; }

constexpr int A(int k) { return BlockParam(kBlockA, k); }
constexpr int B(int k) { return BlockParam(kBlockB, k); }
constexpr int C(int k) { return BlockParam(kBlockC, k); }

TimedEvent On(int time, int key, int velocity) {
  return {time, quenta_test::NoteOn(0, key, velocity)};
}
TimedEvent Off(int time, int key) { return {time, quenta_test::NoteOff(0, key)}; }

std::vector<Patch> Patches() {
  std::vector<Patch> p;
  // The initial program: sawtooth in all three Blocks, a chord, one key released.
  p.push_back({"saw_chord", 48000.0f, 512, 1024});
  p.back().events = {On(0, 60, 100), On(0, 64, 100), On(0, 67, 100), Off(600, 64)};
  // Square at 16' through a resonant filter opened by the envelope ("Expand"), Block A alone,
  // at 44100 Hz in host blocks of 100 so that control frames straddle blocks.
  p.push_back({"square_filter_env", 44100.0f, 100, 1024});
  p.back().settings = {{B(kChEnable), "off"}, {C(kChEnable), "off"}, {A(kWaveform), "Square"},
                       {A(kOctave), "16'"},   {A(kCutoff), "0.2"},   {A(kPeak), "0.7"},
                       {A(kExpand), "0.8"},   {A(kEMDcy), "0.1"},    {A(kEMSus), "0.2"}};
  p.back().events = {On(10, 45, 90), Off(700, 45)};
  // Pulse through the three resonator peaks, their centres swept by MG2, panned left.
  p.push_back({"resonator", 48000.0f, 256, 1024});
  p.back().settings = {{B(kChEnable), "off"}, {C(kChEnable), "off"}, {A(kWaveform), "Pulse"},
                       {A(kRSInt), "0.9"},    {A(kRSFreq1), "0.3"},  {A(kRSFreq2), "0.55"},
                       {A(kRSFreq3), "0.75"}, {A(kRSMod), "on"},     {A(kMG2Freq), "20"},
                       {A(kPan), "0.2"}};
  p.back().events = {On(0, 40, 127)};
  // MG1 at audio rates at 96000 Hz: triangle FM in A, square AM on "Rect" in B, a rising saw
  // on the cut-off of a resonant "PWM" at 4' in C.
  p.push_back({"mg1_fm_am", 96000.0f, 480, 1024});
  p.back().settings = {{A(kWaveform), "Triangle"}, {A(kFMMod), "on"},       {A(kFMMG1), "900"},
                       {A(kMG1Freq), "200"},       {B(kWaveform), "Rect"},  {B(kAMMod), "on"},
                       {B(kAMInt), "0.7"},         {B(kMG1Wave), "Square"}, {B(kMG1Freq), "150"},
                       {B(kPan), "0.9"},           {C(kWaveform), "PWM"},   {C(kPWMInt), "80"},
                       {C(kOctave), "4'"},         {C(kFCMod), "on"},       {C(kFCMG1), "0.3"},
                       {C(kCutoff), "0.5"},        {C(kPeak), "0.5"},       {C(kMG1Wave), "Saw Up"},
                       {C(kMG1Freq), "300"}};
  p.back().events = {On(0, 57, 100), On(0, 64, 100)};
  // Sample and hold of white noise stepping the cut-off at 20 Hz, at 8000 Hz so that a few
  // hundred samples hold several steps.
  p.push_back({"sh_cutoff", 8000.0f, 64, 1600});
  p.back().settings = {{kSHIn, "Rnd"},        {kSHFreq, "20"},     {B(kChEnable), "off"},
                       {C(kChEnable), "off"}, {A(kFCMod), "on"},   {A(kFCSrc), "S/H"},
                       {A(kFCGEG), "0.4"},    {A(kCutoff), "0.5"}, {A(kPeak), "0.4"}};
  p.back().events = {On(0, 52, 100)};
  // Pitch bend (range 7 semitones) and the modulation wheel as an FM source, a second key, at
  // 44100 Hz in host blocks of 64.
  p.push_back({"bend_wheel", 44100.0f, 64, 1024});
  p.back().settings = {{kPBRange, "7"},   {B(kChEnable), "off"}, {C(kChEnable), "off"},
                       {A(kFMMod), "on"}, {A(kFMSrc), "MW"},     {A(kFMGEG), "300"}};
  p.back().events = {On(0, 62, 100),
                     {300, quenta_test::Bend(0, 0x60 << 7)},
                     {500, quenta_test::CC(0, 1, 100)},
                     {600, quenta_test::NoteOn(0, 69, 80, 1)},
                     Off(800, 62)};
  // Nine keys coming and going over a decaying envelope with a slow release, the cut-off
  // following envelope and keyboard, in host blocks of 333: voices in every segment at once.
  p.push_back({"nine_keys", 48000.0f, 333, 1536});
  p.back().settings = {{kFinal, "0.1"},          {A(kEMAtk), "0.1"},       {A(kEMDcy), "0.15"},
                       {A(kEMSus), "0.5"},       {A(kEMRel), "Halp Damp"}, {A(kExpand), "0.3"},
                       {A(kFCBal), "0.5"},       {A(kCutoff), "0.4"},      {A(kPeak), "0.3"},
                       {B(kWaveform), "Square"}, {B(kEMDcy), "0"},         {B(kEMSus), "0"},
                       {C(kEMAtk), "0.05"},      {C(kOctave), "2'"}};
  p.back().events = {On(0, 36, 100),   On(0, 43, 100),  On(0, 48, 100),  On(0, 52, 100),
                     On(0, 55, 100),   On(200, 60, 90), On(250, 64, 90), On(300, 67, 90),
                     Off(500, 48),     On(700, 71, 80), Off(900, 36),    Off(900, 60),
                     On(1100, 48, 70), Off(1300, 43)};
  return p;
}

class GoldenTest : public ::testing::TestWithParam<Patch> {};

TEST_P(GoldenTest, Render) {
  const std::string missing = quenta_test::UnavailableVoiceLoop();
  if (!missing.empty()) GTEST_SKIP() << missing;
  // Rendered through the double-precision callback, left and right interleaved.
  const Patch& patch = GetParam();
  quenta_test::Session s(patch.sampleRate, patch.hostBlock);
  ASSERT_TRUE(s.ok) << s.host.Error();
  for (const Param& x : patch.settings) s.Set(x.index, x.text);
  const std::vector<double> left = s.RenderStream(patch.events, patch.frames);
  std::vector<double> got;
  for (size_t i = 0; i < left.size(); ++i) got.insert(got.end(), {left[i], s.other[i]});
  ASSERT_EQ(got.size(), size_t(patch.frames) * 2);
  // A golden of silence (or of garbage) would guard nothing.
  ASSERT_TRUE(quenta_test::AllFinite(got));
  ASSERT_GT(quenta_test::audio::peak(got), 0.01) << "the patch does not sound";

  const std::string path =
      std::string(QUENTA_SOURCE_DIR) + "/tests/golden/data/" + patch.name + ".f64";
  const std::streamsize bytes = std::streamsize(got.size() * 8);
  if (std::getenv("QUENTA_UPDATE_GOLDEN")) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.write(reinterpret_cast<const char*>(got.data()), bytes)) << path;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<double> want(got.size());
  in.read(reinterpret_cast<char*>(want.data()), bytes);
  ASSERT_TRUE(in.gcount() == bytes && in.peek() == EOF) << "no golden of this length: " << path;
  size_t differing = 0, first = 0;
  for (size_t i = got.size(); i-- > 0;) {
    if (std::memcmp(&got[i], &want[i], 8) == 0) continue;
    ++differing;
    first = i;
  }
  EXPECT_EQ(differing, 0u) << "the sound changed: first at sample " << first / 2
                           << (first % 2 ? " right" : " left") << ", got " << got[first]
                           << ", golden " << want[first]
                           << ". If that is meant, rewrite the goldens (QUENTA_UPDATE_GOLDEN=1).";
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(Patches()),
                         [](const ::testing::TestParamInfo<Patch>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
