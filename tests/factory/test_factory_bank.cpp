// The factory bank in the built bundle, played program by program, and the reader of its
// source, resources/factory/programs.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "dsp/quenta.tuning.h"
#include "instrument/instrument_helpers.h"
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
#else
constexpr double kRenderSeconds = 3.0;
#endif
// The test chord: C3, G3, C4, E4, released after two thirds of the render.
constexpr int kChord[] = {48, 55, 60, 64};
constexpr int kVelocity = 100;
// Quietest average level a program may have over the render (about -46 dBFS); the quietest
// factory programs, the short plucks, stay well above it.
constexpr double kAudibleRms = 0.005;

std::vector<factory::ProgramSource> parse(const std::string& text, std::string& error) {
  std::vector<factory::ProgramSource> programs;
  EXPECT_TRUE(factory::parseProgramSource(text, "test.txt", programs, error)) << error;
  return programs;
}

// Stores the programs of text into the instance's presets, the last one staying in the live
// parameters; returns the error, empty on success.
std::string apply(Direct& inst, const std::string& text, const std::string& scalaDir = "") {
  std::string error;
  std::vector<factory::ProgramSource> programs = parse(text, error);
  if (programs.empty()) return "no program";
  if (!factory::storePrograms(inst.q(), programs, "test.txt", scalaDir, error)) return error;
  return factory::applyProgram(inst.q(), programs.back(), "test.txt", scalaDir, error) ? "" : error;
}

}  // namespace

// ---- The bank in the bundle ------------------------------------------------------------------

// The bank holds the source's 64 distinct names and, spot-checked, its settings, tuning
// lines included.
TEST(FactoryBank, HoldsTheSourcesNamesAndSettings) {
  Direct inst;
  Quenta& q = inst.q();
  WDL_String path(QUENTA_FACTORY_BANK);
  ASSERT_TRUE(q.LoadBankFromFXB(&path)) << QUENTA_FACTORY_BANK;
  std::string error;
  const std::vector<factory::ProgramSource> source = parse(ReadFile(QUENTA_FACTORY_SOURCE), error);
  ASSERT_EQ(source.size(), size_t(::kQuentaNumPrograms));
  ASSERT_EQ(q.NPresets(), ::kQuentaNumPrograms);
  std::set<std::string> names;
  for (int i = 0; i < ::kQuentaNumPrograms; ++i) {
    EXPECT_EQ(q.GetPresetName(i), source[size_t(i)].name) << "program " << i;
    names.insert(q.GetPresetName(i));
  }
  EXPECT_EQ(names.size(), size_t(::kQuentaNumPrograms));
  EXPECT_EQ(q.GetCurrentPresetIdx(), 0);

  ASSERT_TRUE(q.RestorePreset("Drawbar Organ"));
  EXPECT_EQ(q.GetParam(BlockParam(kBlockB, kOctave))->Int(), 2);    // "4'"
  EXPECT_EQ(q.GetParam(BlockParam(kBlockC, kWaveform))->Int(), 0);  // "Triangle"
  ASSERT_TRUE(q.RestorePreset("Clocked Pluck"));
  EXPECT_EQ(q.GetParam(kClk1Src)->Int(), 13);  // "1/8"
  EXPECT_EQ(q.GetParam(kGEGSrc1)->Int(), kTrigClk1);
  EXPECT_EQ(q.GetParam(kTVCASrc)->Int(), kSrcGE3Plus);
  ASSERT_TRUE(q.RestorePreset("Pythagorean Brass"));
  EXPECT_EQ(q.getMicroTuning(kBlockC), 3);
  ASSERT_TRUE(q.RestorePreset("Septimal Pad"));
  // septimal.scl tunes C (degree 3) to 7/6 above A.
  EXPECT_NEAR(q.GetParam(BlockParam(kBlockB, kTuneC))->Value(),
              1200.0 * std::log2(7.0 / 6.0) - 300.0, 1e-6);
}

// Through the entry point: the bank file's chunk handed over as a host restores a bank, then
// every program on a fresh engine, as after loading the plug-in, plays a chord released after
// two thirds of the render.
TEST(FactoryBank, EveryProgramPlaysAChordAudiblyAndWithinFullScale) {
  Session s(kSampleRate, kBlockSize);
  ASSERT_TRUE(s.ok) << s.host.Error();
  // The host's transport: playing from 0 at kTempo, moved on every block.
  s.host.Answers().hasTimeInfo = true;
  VstTimeInfo& t = s.host.Answers().timeInfo;
  t.sampleRate = kSampleRate;
  t.tempo = kTempo;
  t.timeSigNumerator = t.timeSigDenominator = 4;
  t.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
  s.beforeBlock = [&t](int start, int) {
    t.samplePos = start;
    t.ppqPos = start / kSampleRate * kTempo / 60.0;
  };
  std::string bank = ReadFile(QUENTA_FACTORY_BANK);
  ASSERT_GT(bank.size(), 160u);
  ASSERT_EQ(s.host.Dispatch(effSetChunk, 0, VstIntPtr(bank.size() - 160), &bank[160]), 1);
  std::string error;
  const std::vector<factory::ProgramSource> source = parse(ReadFile(QUENTA_FACTORY_SOURCE), error);
  const int frames = int(kRenderSeconds * kSampleRate);
  std::vector<TimedEvent> chord;
  for (int key : kChord) {
    chord.push_back({0, NoteOn(0, key, kVelocity)});
    chord.push_back({frames * 2 / 3, NoteOff(0, key)});
  }
  for (int p = 0; p < ::kQuentaNumPrograms; ++p) {
    s.host.MainsChanged(false);
    s.host.Dispatch(effSetProgram, 0, p);
    s.host.MainsChanged(true);
    std::vector<double> out = s.RenderStream(chord, frames);
    out.insert(out.end(), s.other.begin(), s.other.end());
    const std::string name = "program " + std::to_string(p) + " \"" + s.host.ProgramName() + "\"";
    ASSERT_EQ(s.host.ProgramName(), source[size_t(p)].name);
    ASSERT_TRUE(AllFinite(out)) << name << " gives non-finite samples";
    EXPECT_GT(audio::rms(out), kAudibleRms) << name << " is silent";
    EXPECT_LE(audio::peak(out), 1.0) << name << " clips";
  }
}

// ---- The source reader -----------------------------------------------------------------------

TEST(FactorySource, AppliesValuesOverTheDefaults) {
  Direct inst;
  // Something off the defaults first: applying a program must put it back.
  inst.q().GetParam(BlockParam(kBlockC, kPeak))->Set(0.9);
  ASSERT_EQ(
      apply(
          inst,
          "[P]\nAB:Waveform = Square\nB:Octave = 16'\nC:Fine = -12\nA:FM Mod = on\nS/H In = Rnd\n"
          "Clk2 Src = 1/8T\nVC1 Src = 001\nTrg1 Src = 064    Sustain Pedal On/Off\nPB Range = -7\n"
          "Final = 0.4\nB:EM Rel = halp damp\nC:Tune C# = 5  # a comment after a blank\n"),
      "");
  // C keeps the default "Sawtooth"; "#" inside a name is no comment; "Halp Damp" in any case.
  const std::pair<int, double> want[] = {{BlockParam(kBlockA, kWaveform), 2},
                                         {BlockParam(kBlockB, kWaveform), 2},
                                         {BlockParam(kBlockC, kWaveform), 1},
                                         {BlockParam(kBlockB, kOctave), 0},
                                         {BlockParam(kBlockC, kFine), -12},
                                         {BlockParam(kBlockA, kFMMod), 1},
                                         {kSHIn, kSHInputNoise},
                                         {kClk2Src, 15},
                                         {kVC1Src, 1},
                                         {kTrg1Src, 64},
                                         {kPBRange, -7},
                                         {BlockParam(kBlockC, kTuneCs), 5},
                                         {kFinal, 0.4},
                                         {BlockParam(kBlockB, kEMRel), 1},
                                         {BlockParam(kBlockC, kPeak), 0}};
  for (const auto& [index, value] : want)
    EXPECT_EQ(inst.Get(index), value) << "parameter " << index;
  // The engine follows: the output gain is twice "Final".
  EXPECT_DOUBLE_EQ(inst.q().getOutputGain(), 0.8);
  // An unknown value stops the reader with a message that names the line.
  EXPECT_EQ(apply(inst, "[Fine]\nFinal = 0.3\n[Broken]\nA:Waveform = Sine\n")
                .rfind("test.txt:4: program \"Broken\": unknown value \"Sine\"", 0),
            0u);
}

TEST(FactorySource, AppliesTuningsInOrderWithLaterTunesOnTop) {
  Direct inst;
  const std::string source = QUENTA_FACTORY_SOURCE;
  const std::string dir = source.substr(0, source.rfind('/'));
  ASSERT_EQ(
      apply(inst, "[T]\nAB:Tuning = Meantone, 1/4 comma\nB:Tune E = 3\nC:Scala = septimal.scl\n",
            dir),
      "");
  EXPECT_EQ(inst.q().getMicroTuning(kBlockA), 6);
  EXPECT_EQ(inst.q().getMicroTuning(kBlockB), -1);  // moved off the table by "Tune E"
  EXPECT_EQ(inst.Get(BlockParam(kBlockB, kTuneE)), 3.0);
  EXPECT_NEAR(inst.Get(BlockParam(kBlockB, kTuneC)), microTuningDeviation(6, 2), 1e-6);
  EXPECT_NEAR(inst.Get(BlockParam(kBlockC, kTuneG)), 1200.0 * std::log2(7.0 / 4.0) - 1000.0, 1e-6);
}
