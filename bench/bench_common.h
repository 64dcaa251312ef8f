#pragma once
// Shared by the benchmarks: the rate counters and a Quenta instance driven as a host drives it.
#include <benchmark/benchmark.h>

#include <vector>

#include "dsp/simd.h"
#include "instrument/quenta.h"

namespace quenta_bench {

constexpr double kSampleRate = 48000.0;
constexpr int kFrameLength = 48;  // control frame at 48000 Hz
constexpr int kHostBlock = 512;
constexpr int kHeldKeys = 64;   // one voice per key in each Block
constexpr int kLowestKey = 36;  // keys 36 .. 99

// Adds the two counters of every benchmark: "xRT", seconds of audio per CPU second (times
// real time), and "per_vs", CPU time per voice-sample. audioSamples is the length of the audio one
// iteration renders (at kSampleRate), voiceSamples the voice-samples it computes.
void SetRateCounters(benchmark::State& state, double audioSamples, double voiceSamples);

// The instrument as a host runs it: created through its factory, opened, 48000 Hz, blocks of
// 512, activated, fed MIDI through the dispatcher and rendered through the process callback.
class Instrument {
 public:
  // Patch of the full-load benchmark: "Sawtooth", "Peak" 0.3, "Cutoff" 0.6, resonators on,
  // MG1 at 300 Hz; with `modulated`, MG1 moves every voice's pitch ("FM Mod") and cut-off
  // ("fC Mod") every sample and drives "AM Mod".
  explicit Instrument(bool modulated);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // The voice loop of all three Blocks; false when the machine cannot run it.
  bool SetSimdPath(simd::Path path);
  void SetParam(int index, double value);
  void SetBlockParam(int k, double value);  // in all three Blocks
  void HoldKeys();                          // note-ons for keys 36 .. 99
  void Render(int frames);                  // one host block through processReplacing
  int ActiveVoices();                       // in all three Blocks
  Quenta& Plug() { return *mPlug; }

 private:
  Quenta* mPlug = nullptr;
  AEffect* mEffect = nullptr;
  std::vector<float> mLeft, mRight;
};

}  // namespace quenta_bench
