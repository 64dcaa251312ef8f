// The factory bank in the built bundle, played program by program, and the reader of its
// source, resources/factory/programs.txt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dsp/quenta.tuning.h"
#include "instrument/params.h"
#include "instrument/quenta.h"
#include "plugin/IPlugVST.h"
#include "support/audio_measure.h"
#include "support/test_files.h"
#include "tools/factory_bank/program_source.h"

using namespace quenta_test;

namespace {

constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;
constexpr double kTempo = 120.0;
// Sanitizer builds run many times slower: there every program plays for one second.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kRenderSeconds = 1.0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr double kRenderSeconds = 1.0;
#else
constexpr double kRenderSeconds = 3.0;
#endif
#else
constexpr double kRenderSeconds = 3.0;
#endif
// The test chord: C3, G3, C4, E4, released after two thirds of the render.
constexpr int kChord[] = {48, 55, 60, 64};
constexpr int kVelocity = 100;
// Quietest average level a program may have over the render (about -46 dBFS); the quietest
// factory programs, the short plucks, stay well above it.
constexpr double kAudibleRms = 0.005;

// The transport the direct instance sees: playing from 0 at kTempo, moved on every block.
VstTimeInfo gTime;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&gTime);
    default: return 0;
  }
}

void setTransport(double samplePos) {
  gTime = VstTimeInfo();
  gTime.sampleRate = kSampleRate;
  gTime.samplePos = samplePos;
  gTime.tempo = kTempo;
  gTime.ppqPos = samplePos / kSampleRate * kTempo / 60.0;
  gTime.timeSigNumerator = 4;
  gTime.timeSigDenominator = 4;
  gTime.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
}

// An instance made here and driven through its dispatcher and audio callback, as a host does.
class Instrument {
 public:
  Instrument() {
    setTransport(0.0);
    IPlugInstanceInfo info;
    info.mVSTHostCallback = hostCallback;
    mPlug.reset(static_cast<Quenta*>(MakePlug(info)));
    mPlug->EnsureDefaultPreset();
  }
  Quenta& plug() { return *mPlug; }
  VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    AEffect* e = mPlug->GetAEffect();
    return e->dispatcher(e, op, index, value, ptr, opt);
  }
  void start() {
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
    dispatch(effSetBlockSize, 0, kBlockSize);
    dispatch(effMainsChanged, 0, 1);
  }
  void midi(uint8_t status, uint8_t d1, uint8_t d2) {
    IMidiMsg m(0, status, d1, d2);
    mPlug->ProcessMidiMsg(&m);
  }

  // Plays the test chord on the current program from a transport at 0 and returns both
  // channels of the render, one after the other.
  std::vector<double> playChord() {
    const int frames = int(kRenderSeconds * kSampleRate);
    const int release = frames * 2 / 3;
    std::vector<double> out(2 * size_t(frames));
    std::vector<double> left(kBlockSize), right(kBlockSize);
    double* outputs[2] = {left.data(), right.data()};
    AEffect* e = mPlug->GetAEffect();
    for (int key : kChord) midi(0x90, uint8_t(key), kVelocity);
    for (int pos = 0; pos < frames; pos += kBlockSize) {
      const int n = std::min(kBlockSize, frames - pos);
      if (pos <= release && release < pos + n)
        for (int key : kChord) midi(0x80, uint8_t(key), 0);
      setTransport(pos);
      e->processDoubleReplacing(e, nullptr, outputs, n);
      std::copy(left.begin(), left.begin() + n, out.begin() + pos);
      std::copy(right.begin(), right.begin() + n, out.begin() + frames + pos);
    }
    return out;
  }

 private:
  std::unique_ptr<Quenta> mPlug;
};

bool loadFactoryBank(Quenta& plug) {
  WDL_String path(QUENTA_FACTORY_BANK);
  return plug.LoadBankFromFXB(&path);
}

std::vector<factory::ProgramSource> parse(const std::string& text, std::string& error) {
  std::vector<factory::ProgramSource> programs;
  EXPECT_TRUE(factory::parseProgramSource(text, "test.txt", programs, error)) << error;
  return programs;
}

// Stores the programs of text into the instance's presets, the last one staying in the live
// parameters; returns the error, empty on success.
std::string apply(Instrument& inst, const std::string& text, const std::string& scalaDir = "") {
  std::string error;
  std::vector<factory::ProgramSource> programs = parse(text, error);
  if (programs.empty()) return "no program";
  if (!factory::storePrograms(inst.plug(), programs, "test.txt", scalaDir, error)) return error;
  return factory::applyProgram(inst.plug(), programs.back(), "test.txt", scalaDir, error) ? ""
                                                                                          : error;
}

double value(Instrument& inst, int index) { return inst.plug().GetParam(index)->Value(); }

std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

}  // namespace

// ---- The bank in the bundle ------------------------------------------------------------------

TEST(FactoryBank, LoadsWithTheSourcesSixtyFourDistinctNames) {
  Instrument inst;
  ASSERT_TRUE(loadFactoryBank(inst.plug())) << QUENTA_FACTORY_BANK;

  std::string error;
  std::vector<factory::ProgramSource> source = parse(ReadFile(QUENTA_FACTORY_SOURCE), error);
  ASSERT_EQ(source.size(), size_t(kQuentaNumPrograms));
  ASSERT_EQ(inst.plug().NPresets(), kQuentaNumPrograms);
  std::set<std::string> names;
  for (int i = 0; i < kQuentaNumPrograms; ++i) {
    const std::string name = inst.plug().GetPresetName(i);
    EXPECT_FALSE(name.empty()) << "program " << i;
    EXPECT_EQ(name, source[size_t(i)].name) << "program " << i;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), size_t(kQuentaNumPrograms));
  EXPECT_EQ(inst.plug().GetCurrentPresetIdx(), 0);
}

TEST(FactoryBank, StoresTheSourcesSettings) {
  // Spot checks that the bank holds what the source says, tuning lines included.
  Instrument inst;
  ASSERT_TRUE(loadFactoryBank(inst.plug()));
  Quenta& q = inst.plug();
  ASSERT_TRUE(q.RestorePreset("Drawbar Organ"));
  EXPECT_EQ(q.GetParam(BlockParam(kBlockB, kOctave))->Int(), 2);    // "4'"
  EXPECT_EQ(q.GetParam(BlockParam(kBlockC, kWaveform))->Int(), 0);  // "Triangle"
  ASSERT_TRUE(q.RestorePreset("Clocked Pluck"));
  EXPECT_EQ(q.GetParam(kClk1Src)->Int(), 13);  // "1/8"
  EXPECT_EQ(q.GetParam(kGEGSrc1)->Int(), kTrigClk1);
  EXPECT_EQ(q.GetParam(kTVCASrc)->Int(), kSrcGE3Plus);
  ASSERT_TRUE(q.RestorePreset("Just Organ"));
  EXPECT_EQ(q.getMicroTuning(kBlockA), 1);  // "Just"
  ASSERT_TRUE(q.RestorePreset("Pythagorean Brass"));
  EXPECT_EQ(q.getMicroTuning(kBlockC), 3);
  ASSERT_TRUE(q.RestorePreset("Septimal Pad"));
  // septimal.scl tunes C (degree 3) to 7/6 above A.
  EXPECT_NEAR(q.GetParam(BlockParam(kBlockB, kTuneC))->Value(),
              1200.0 * std::log2(7.0 / 6.0) - 300.0, 1e-6);
}

TEST(FactoryBank, EveryProgramPlaysAChordAudiblyAndWithinFullScale) {
  Instrument inst;
  inst.start();
  ASSERT_TRUE(loadFactoryBank(inst.plug()));
  for (int p = 0; p < kQuentaNumPrograms; ++p) {
    // Every program starts on a fresh engine, as after loading the plug-in.
    inst.dispatch(effMainsChanged, 0, 0);
    inst.dispatch(effSetProgram, 0, p);
    inst.dispatch(effMainsChanged, 0, 1);
    const std::vector<double> out = inst.playChord();
    const std::string name = inst.plug().GetPresetName(p);
    size_t bad = 0;
    for (double x : out) bad += std::isfinite(x) ? 0 : 1;
    ASSERT_EQ(bad, 0u) << "program " << p << " \"" << name << "\" gives non-finite samples";
    EXPECT_GT(audio::rms(out), kAudibleRms) << "program " << p << " \"" << name << "\" is silent";
    EXPECT_LE(audio::peak(out), 1.0) << "program " << p << " \"" << name << "\" clips";
  }
}

// ---- The source reader -----------------------------------------------------------------------

TEST(FactorySource, AppliesValuesOverTheDefaults) {
  Instrument inst;
  // Something off the defaults first: applying a program must put it back.
  inst.plug().GetParam(BlockParam(kBlockC, kPeak))->Set(0.9);
  ASSERT_EQ(
      apply(
          inst,
          "[P]\nAB:Waveform = Square\nB:Octave = 16'\nC:Fine = -12\nA:FM Mod = on\nS/H In = Rnd\n"
          "Clk2 Src = 1/8T\nVC1 Src = 001\nTrg1 Src = 064    Sustain Pedal On/Off\nPB Range = -7\n"
          "Final = 0.4\nB:EM Rel = halp damp\nC:Tune C# = 5  # a comment after a blank\n"),
      "");
  EXPECT_EQ(value(inst, BlockParam(kBlockA, kWaveform)), 2.0);
  EXPECT_EQ(value(inst, BlockParam(kBlockB, kWaveform)), 2.0);
  EXPECT_EQ(value(inst, BlockParam(kBlockC, kWaveform)), 1.0);  // default "Sawtooth"
  EXPECT_EQ(value(inst, BlockParam(kBlockB, kOctave)), 0.0);
  EXPECT_EQ(value(inst, BlockParam(kBlockC, kFine)), -12.0);
  EXPECT_EQ(value(inst, BlockParam(kBlockA, kFMMod)), 1.0);
  EXPECT_EQ(value(inst, kSHIn), double(kSHInputNoise));
  EXPECT_EQ(value(inst, kClk2Src), 15.0);
  EXPECT_EQ(value(inst, kVC1Src), 1.0);
  EXPECT_EQ(value(inst, kTrg1Src), 64.0);
  EXPECT_EQ(value(inst, kPBRange), -7.0);
  EXPECT_EQ(value(inst, BlockParam(kBlockC, kTuneCs)), 5.0);  // "#" inside a name is no comment
  EXPECT_EQ(value(inst, kFinal), 0.4);
  EXPECT_EQ(value(inst, BlockParam(kBlockB, kEMRel)), 1.0);  // case-insensitive "Halp Damp"
  EXPECT_EQ(value(inst, BlockParam(kBlockC, kPeak)), 0.0);
  // The engine follows: the output gain is twice "Final".
  EXPECT_DOUBLE_EQ(inst.plug().getOutputGain(), 0.8);
}

TEST(FactorySource, AppliesTuningsInOrderWithLaterTunesOnTop) {
  Instrument inst;
  const std::string dir = folderOf(QUENTA_FACTORY_SOURCE);
  ASSERT_EQ(
      apply(inst, "[T]\nAB:Tuning = Meantone, 1/4 comma\nB:Tune E = 3\nC:Scala = septimal.scl\n",
            dir),
      "");
  EXPECT_EQ(inst.plug().getMicroTuning(kBlockA), 6);
  EXPECT_EQ(inst.plug().getMicroTuning(kBlockB), -1);  // moved off the table by "Tune E"
  EXPECT_EQ(value(inst, BlockParam(kBlockB, kTuneE)), 3.0);
  EXPECT_NEAR(value(inst, BlockParam(kBlockB, kTuneC)), microTuningDeviation(6, 2), 1e-6);
  EXPECT_NEAR(value(inst, BlockParam(kBlockC, kTuneG)), 1200.0 * std::log2(7.0 / 4.0) - 1000.0,
              1e-6);
}

TEST(FactorySource, TheToolStopsOnAnUnknownValueWithAMessage) {
  TempDir dir;
  const std::string source = dir.File("programs.txt"), bank = dir.File("out.fxb");
  WriteFile(source, "[Fine]\nFinal = 0.3\n[Broken]\nA:Waveform = Sine\n");
  const std::string command =
      std::string(QUENTA_MAKE_FACTORY_BANK) + " " + source + " " + bank + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[256];
  while (std::fgets(buf, sizeof(buf), pipe)) output += buf;
  EXPECT_NE(pclose(pipe), 0);
  EXPECT_NE(output.find("programs.txt:4: program \"Broken\": unknown value \"Sine\""),
            std::string::npos)
      << output;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"programs.txt"}) << "a bank was written";
}
