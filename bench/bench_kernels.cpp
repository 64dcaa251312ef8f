// The engine's inner kernels on their own: the sound generator and the voice filter (one at a
// time and side by side), over control frames of 48 samples at 48000 Hz for 64 voices (keys
// 36 .. 99), with and without a pitch or cut-off offset that changes every sample.
#include <cmath>
#include <vector>

#include "bench_common.h"
#include "dsp/k35.h"
#include "dsp/sg.h"

namespace quenta_bench {
namespace {

// A per-sample offset that moves every sample (a 300 Hz triangle, like MG1 in the full-load
// benchmark) or stays at 0.
std::vector<int> Offsets(bool moving, double depth) {
  std::vector<int> mod(kFrameLength, 0);
  if (!moving) return mod;
  for (int i = 0; i < kFrameLength; ++i) {
    const double r = std::fmod(i * 300.0 / kSampleRate * 4.0, 4.0);
    const double tri = r < 2.0 ? r - 1.0 : 3.0 - r;
    mod[size_t(i)] = int(depth * tri);
  }
  return mod;
}

// A plain sawtooth frame as filter input.
std::vector<double> Sawtooth() {
  std::vector<double> x(kFrameLength);
  for (int i = 0; i < kFrameLength; ++i) x[size_t(i)] = std::fmod(i * 0.07, 1.0) - 0.5;
  return x;
}

void BM_SGProcess(benchmark::State& state) {
  const std::vector<int> pitchMod = Offsets(state.range(0) != 0, 100.0);
  SG sg;
  sg.setSampleRate(float(kSampleRate), pitchMod.data());
  sg.setWaveForm(SG::kSawtooth);
  sg.calcOffset();
  std::vector<double> buffer(kFrameLength);
  for (auto _ : state) {
    sg.update(0.0);
    for (int key = kLowestKey; key < kLowestKey + kHeldKeys; ++key) {
      sg.process(buffer.data(), kFrameLength, key / 12, key % 12, 0);
      benchmark::DoNotOptimize(buffer.data());
    }
    sg.next(kFrameLength);
  }
  SetRateCounters(state, kFrameLength, double(kFrameLength) * kHeldKeys);
}
BENCHMARK(BM_SGProcess)->ArgName("modulated")->Arg(1)->Arg(0);

// Filters with "Peak" 0.3 at a cut-off of about 1.5 kHz, each on its own copy of the input.
struct FilterBank {
  explicit FilterBank(bool moving)
      : cutoffMod(Offsets(moving, 2150.0)),
        input(Sawtooth()),
        filters(kHeldKeys),
        buffers(kHeldKeys, std::vector<double>(kFrameLength)) {
    for (Korg35& f : filters) {
      f.setSampleRate(kSampleRate);
      f.peak = 0.3;
      f.cutoffMod = cutoffMod.data();
      f.update(10368);  // "Cutoff" 0.36: sqrt(0.36) * Korg35::kMaxIndex
    }
    for (int v = 0; v < kHeldKeys; ++v) {
      filterPtrs.push_back(&filters[size_t(v)]);
      bufferPtrs.push_back(buffers[size_t(v)].data());
    }
  }
  void Refill() {
    for (std::vector<double>& b : buffers) b = input;
  }
  std::vector<int> cutoffMod;
  std::vector<double> input;
  std::vector<Korg35> filters;
  std::vector<std::vector<double>> buffers;
  std::vector<Korg35*> filterPtrs;
  std::vector<double*> bufferPtrs;
};

// Korg35::process, 64 voices one after another.
void BM_Korg35Process(benchmark::State& state) {
  FilterBank bank(state.range(0) != 0);
  for (auto _ : state) {
    bank.Refill();
    for (int v = 0; v < kHeldKeys; ++v)
      bank.filters[size_t(v)].process(bank.bufferPtrs[size_t(v)], kFrameLength, 0);
    benchmark::DoNotOptimize(bank.buffers.data());
  }
  SetRateCounters(state, kFrameLength, double(kFrameLength) * kHeldKeys);
}
BENCHMARK(BM_Korg35Process)->ArgName("modulated")->Arg(1)->Arg(0);

// Korg35::processMany, the same 64 voices side by side.
void BM_Korg35ProcessMany(benchmark::State& state) {
  FilterBank bank(state.range(0) != 0);
  for (auto _ : state) {
    bank.Refill();
    Korg35::processMany(bank.filterPtrs.data(), bank.bufferPtrs.data(), kHeldKeys, kFrameLength, 0);
    benchmark::DoNotOptimize(bank.buffers.data());
  }
  SetRateCounters(state, kFrameLength, double(kFrameLength) * kHeldKeys);
}
BENCHMARK(BM_Korg35ProcessMany)->ArgName("modulated")->Arg(1)->Arg(0);

}  // namespace
}  // namespace quenta_bench

BENCHMARK_MAIN();
