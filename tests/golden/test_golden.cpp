// Golden renders: a handful of patches rendered through the exported entry point and compared
// sample for sample, bit for bit, with stored renders. They guard refactors of the engine: any
// change of the sound, however small, fails them.
//
// The stored renders live in tests/golden/data/<patch>.f64: the double-precision output as
// little-endian float64, left and right interleaved. They are regenerated only on purpose,
// after a change of the sound that is meant:
//
//     build/tests/quenta_golden_tests --update-goldens
//
// (optionally with --gtest_filter=Golden/GoldenTest.Render/<patch> to rewrite only some), then
// listen to or inspect the new renders and commit the data files with the change. Each patch is
// a few settings on top of the instrument's initial program, so a new initial program (or
// factory bank) is such a change too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/params.h"
#include "support/test_host.h"

using quenta_test::TestHost;

namespace {

const char* const kUpdateFlag = "--update-goldens";

// True when the test program was started with --update-goldens (the flag is not one of
// GoogleTest's, so it is read from the process's own command line).
bool UpdateRequested() {
  static const bool requested = [] {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream args(all);
    std::string arg;
    while (std::getline(args, arg, '\0'))
      if (arg == kUpdateFlag) return true;
    return false;
  }();
  return requested;
}

// A parameter set the way a host sets one from text (effString2Parameter): numbers for
// continuous parameters, display texts for lists and switches.
struct Setting {
  int index;
  const char* text;
};

// A MIDI message at an absolute sample position of the render.
struct Event {
  int position;
  uint8_t status, data1, data2;
};

struct Patch {
  const char* name;
  float sampleRate;
  int hostBlock;
  int frames;
  std::vector<Setting> settings;  // applied in order after activation, on the initial program
  std::vector<Event> events;      // sorted by position
};

// GoogleTest names a failing patch by this.
void PrintTo(const Patch& patch, std::ostream* os) { *os << patch.name; }

constexpr int A(int k) { return BlockParam(kBlockA, k); }
constexpr int B(int k) { return BlockParam(kBlockB, k); }
constexpr int C(int k) { return BlockParam(kBlockC, k); }

std::vector<Patch> Patches() {
  return {
      // The initial program: sawtooth in all three Blocks, a chord, one key released.
      {"saw_chord",
       48000.0f,
       512,
       1024,
       {},
       {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}, {0, 0x90, 67, 100}, {600, 0x80, 64, 0}}},
      // Square at 16' through a resonant filter opened by the envelope ("Expand"), Block A
      // alone, at 44100 Hz in host blocks of 100 so that control frames straddle blocks.
      {"square_filter_env",
       44100.0f,
       100,
       1024,
       {{B(kChEnable), "off"},
        {C(kChEnable), "off"},
        {A(kWaveform), "Square"},
        {A(kOctave), "16'"},
        {A(kCutoff), "0.2"},
        {A(kPeak), "0.7"},
        {A(kExpand), "0.8"},
        {A(kEMDcy), "0.1"},
        {A(kEMSus), "0.2"}},
       {{10, 0x90, 45, 90}, {700, 0x80, 45, 0}}},
      // Pulse through the three resonator peaks, their centres swept by MG2, panned left.
      {"resonator",
       48000.0f,
       256,
       1024,
       {{B(kChEnable), "off"},
        {C(kChEnable), "off"},
        {A(kWaveform), "Pulse"},
        {A(kRSInt), "0.9"},
        {A(kRSFreq1), "0.3"},
        {A(kRSFreq2), "0.55"},
        {A(kRSFreq3), "0.75"},
        {A(kRSMod), "on"},
        {A(kMG2Freq), "20"},
        {A(kPan), "0.2"}},
       {{0, 0x90, 40, 127}}},
      // MG1 at audio rates at 96000 Hz: triangle FM in A, square AM on "Rect" in B, a rising
      // saw on the cut-off of a resonant "PWM" at 4' in C.
      {"mg1_fm_am",
       96000.0f,
       480,
       1024,
       {{A(kWaveform), "Triangle"},
        {A(kFMMod), "on"},
        {A(kFMMG1), "900"},
        {A(kMG1Freq), "200"},
        {B(kWaveform), "Rect"},
        {B(kAMMod), "on"},
        {B(kAMInt), "0.7"},
        {B(kMG1Wave), "Square"},
        {B(kMG1Freq), "150"},
        {B(kPan), "0.9"},
        {C(kWaveform), "PWM"},
        {C(kPWMInt), "80"},
        {C(kOctave), "4'"},
        {C(kFCMod), "on"},
        {C(kFCMG1), "0.3"},
        {C(kCutoff), "0.5"},
        {C(kPeak), "0.5"},
        {C(kMG1Wave), "Saw Up"},
        {C(kMG1Freq), "300"}},
       {{0, 0x90, 57, 100}, {0, 0x90, 64, 100}}},
      // Sample and hold of white noise stepping the cut-off at 20 Hz, at 8000 Hz so that a few
      // hundred samples hold several steps.
      {"sh_cutoff",
       8000.0f,
       64,
       1600,
       {{kSHIn, "Rnd"},
        {kSHFreq, "20"},
        {B(kChEnable), "off"},
        {C(kChEnable), "off"},
        {A(kFCMod), "on"},
        {A(kFCSrc), "S/H"},
        {A(kFCGEG), "0.4"},
        {A(kCutoff), "0.5"},
        {A(kPeak), "0.4"}},
       {{0, 0x90, 52, 100}}},
      // Pitch bend (range 7 semitones) and the modulation wheel as an FM source, a second key,
      // at 44100 Hz in host blocks of 64.
      {"bend_wheel",
       44100.0f,
       64,
       1024,
       {{kPBRange, "7"},
        {B(kChEnable), "off"},
        {C(kChEnable), "off"},
        {A(kFMMod), "on"},
        {A(kFMSrc), "MW"},
        {A(kFMGEG), "300"}},
       {{0, 0x90, 62, 100},
        {300, 0xE0, 0x00, 0x60},
        {500, 0xB0, 1, 100},
        {600, 0x91, 69, 80},
        {800, 0x80, 62, 0}}},
      // Nine keys coming and going over a decaying envelope with a slow release, with the
      // cut-off following the envelope and the keyboard, in host blocks of 333: voices in
      // every segment at once, several of them side by side.
      {"nine_keys",
       48000.0f,
       333,
       1536,
       {{kFinal, "0.1"},
        {A(kEMAtk), "0.1"},
        {A(kEMDcy), "0.15"},
        {A(kEMSus), "0.5"},
        {A(kEMRel), "Halp Damp"},
        {A(kExpand), "0.3"},
        {A(kFCBal), "0.5"},
        {A(kCutoff), "0.4"},
        {A(kPeak), "0.3"},
        {B(kWaveform), "Square"},
        {B(kEMDcy), "0"},
        {B(kEMSus), "0"},
        {C(kEMAtk), "0.05"},
        {C(kOctave), "2'"}},
       {{0, 0x90, 36, 100},
        {0, 0x90, 43, 100},
        {0, 0x90, 48, 100},
        {0, 0x90, 52, 100},
        {0, 0x90, 55, 100},
        {200, 0x90, 60, 90},
        {250, 0x90, 64, 90},
        {300, 0x90, 67, 90},
        {500, 0x80, 48, 0},
        {700, 0x90, 71, 80},
        {900, 0x80, 36, 0},
        {900, 0x80, 60, 0},
        {1100, 0x90, 48, 70},
        {1300, 0x80, 43, 0}}},
  };
}

std::string DataPath(const std::string& name) {
  return std::string(QUENTA_SOURCE_DIR) + "/tests/golden/data/" + name + ".f64";
}

// Renders the patch through the double-precision callback: left and right interleaved.
std::vector<double> Render(const Patch& patch) {
  std::vector<double> out;
  TestHost host;
  if (!host.Instantiate()) {
    ADD_FAILURE() << host.Error();
    return out;
  }
  host.SetRecording(false);
  host.StartSession(patch.sampleRate, patch.hostBlock);
  for (const Setting& s : patch.settings) {
    const VstIntPtr ok = host.Dispatch(effString2Parameter, s.index, 0, const_cast<char*>(s.text));
    if (!ok)
      ADD_FAILURE() << patch.name << ": parameter " << s.index << " refuses \"" << s.text << "\"";
  }
  size_t next = 0;
  for (int start = 0; start < patch.frames; start += patch.hostBlock) {
    const int n = std::min(patch.hostBlock, patch.frames - start);
    std::vector<VstMidiEvent> midi;
    for (; next < patch.events.size() && patch.events[next].position < start + n; ++next) {
      const Event& e = patch.events[next];
      midi.push_back(TestHost::Midi(e.position - start, e.status, e.data1, e.data2));
    }
    if (!midi.empty()) host.SendMidi(midi);
    host.ProcessDoubleReplacing(n);
    for (int i = 0; i < n; ++i) {
      out.push_back(host.OutputD(0)[size_t(i)]);
      out.push_back(host.OutputD(1)[size_t(i)]);
    }
  }
  host.Close();
  return out;
}

bool ReadGolden(const std::string& path, std::vector<double>& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (bytes.size() % 8 != 0) return false;
  data.resize(bytes.size() / 8);
  for (size_t i = 0; i < data.size(); ++i) {
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | bytes[i * 8 + size_t(b)];
    std::memcpy(&data[i], &bits, 8);
  }
  return true;
}

bool WriteGolden(const std::string& path, const std::vector<double>& data) {
  std::vector<unsigned char> bytes(data.size() * 8);
  for (size_t i = 0; i < data.size(); ++i) {
    uint64_t bits;
    std::memcpy(&bits, &data[i], 8);
    for (int b = 0; b < 8; ++b) bytes[i * 8 + size_t(b)] = (unsigned char)(bits >> (8 * b));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class GoldenTest : public ::testing::TestWithParam<Patch> {};

TEST_P(GoldenTest, Render) {
  const std::string missing = quenta_test::UnavailableVoiceLoop();
  if (!missing.empty()) GTEST_SKIP() << missing;
  const Patch& patch = GetParam();
  const std::vector<double> got = Render(patch);
  ASSERT_EQ(got.size(), size_t(patch.frames) * 2);

  // A golden of silence (or of garbage) would guard nothing.
  double peak = 0.0;
  for (double s : got) {
    ASSERT_TRUE(std::isfinite(s)) << patch.name << ": non-finite sample";
    peak = std::max(peak, std::fabs(s));
  }
  ASSERT_GT(peak, 0.01) << patch.name << ": the patch does not sound";

  const std::string path = DataPath(patch.name);
  if (UpdateRequested()) {
    ASSERT_TRUE(WriteGolden(path, got)) << "cannot write " << path;
    std::printf("updated %s (%d samples, peak %.4f)\n", path.c_str(), patch.frames, peak);
    return;
  }

  std::vector<double> want;
  ASSERT_TRUE(ReadGolden(path, want)) << "missing or unreadable golden " << path
                                      << "; create it with: quenta_golden_tests " << kUpdateFlag;
  ASSERT_EQ(want.size(), got.size()) << patch.name << ": the golden holds " << want.size() / 2
                                     << " samples, the render " << got.size() / 2;
  size_t differing = 0, first = got.size();
  double largest = 0.0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (SameBits(got[i], want[i])) continue;
    if (differing++ == 0) first = i;
    largest = std::max(largest, std::fabs(got[i] - want[i]));
  }
  if (differing == 0) return;
  char detail[256];
  std::snprintf(detail, sizeof detail,
                "first at sample %zu (%s): got %.17g, golden %.17g; largest difference %.3g",
                first / 2, first % 2 ? "right" : "left", got[first], want[first], largest);
  ADD_FAILURE()
      << patch.name << ": " << differing << " of " << got.size()
      << " values differ from the golden render, " << detail
      << ".\nThe sound changed. If that is intended, regenerate with: quenta_golden_tests "
      << kUpdateFlag << " and commit tests/golden/data/.";
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(Patches()),
                         [](const ::testing::TestParamInfo<Patch>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
