// The whole instrument at full load (64 held keys: all 192 voices sound) through the host's
// process callback in blocks of 512, and its frame step.
#include <string>

#include "bench_common.h"

namespace quenta_bench {
namespace {

constexpr int kVoices = kNumBlocks * kHeldKeys;

// Holds the keys and renders past the 100 ms cut-off glide and the attacks.
void WarmUp(Instrument& inst, benchmark::State& state) {
  inst.HoldKeys();
  for (int i = 0; i < 20; ++i) inst.Render(kHostBlock);
  if (inst.ActiveVoices() != kVoices) state.SkipWithError("not every voice sounds");
}

// (a) modulated: MG1 at 300 Hz moves pitch and cut-off of every voice every sample, AM on.
// (b) the same patch without pitch, cut-off and amplitude modulation.
// With moving_env, "EM Atk" 1 keeps every envelope in its attack (158 s long), so no voice
// reaches a steady level and every envelope steps every sample; otherwise the voices hold
// the sustain level the default envelope reaches after 5 ms. The last argument is the voice
// loop: 0 scalar, 1 AVX2, 2 AVX-512 (skipped on machines without it).
void BM_FullLoad(benchmark::State& state) {
  Instrument inst(state.range(0) != 0);
  const simd::Path path = simd::Path(state.range(2));
  if (!inst.SetSimdPath(path)) {
    state.SkipWithError((std::string("this machine cannot run ") + simd::name(path)).c_str());
    return;
  }
  if (state.range(1) != 0) inst.SetBlockParam(kEMAtk, 1.0);
  WarmUp(inst, state);
  for (auto _ : state) inst.Render(kHostBlock);
  SetRateCounters(state, kHostBlock, double(kHostBlock) * kVoices);
  state.SetLabel(simd::name(path));
}
BENCHMARK(BM_FullLoad)
    ->ArgNames({"modulated", "moving_env", "simd"})
    ->ArgsProduct({{1, 0}, {0, 1}, {0, 1, 2}})
    ->MinTime(2.0);

// (a) with the cut-off following the keyboard ("fC Bal" 1): every voice has a cut-off of its
// own, so no two voices share filter coefficients and each recomputes its own every sample.
void BM_FullLoadKeyTracked(benchmark::State& state) {
  Instrument inst(true);
  const simd::Path path = simd::Path(state.range(0));
  if (!inst.SetSimdPath(path)) {
    state.SkipWithError((std::string("this machine cannot run ") + simd::name(path)).c_str());
    return;
  }
  inst.SetBlockParam(kFCBal, 1.0);
  WarmUp(inst, state);
  for (auto _ : state) inst.Render(kHostBlock);
  SetRateCounters(state, kHostBlock, double(kHostBlock) * kVoices);
  state.SetLabel(simd::name(path));
}
BENCHMARK(BM_FullLoadKeyTracked)->ArgName("simd")->Arg(0)->Arg(1)->Arg(2)->MinTime(2.0);

// Quenta::update: the modulation step of one control frame (clock, triggers, GEG, the
// per-sample update of the three Blocks and each Block's per-frame voice updates).
void BM_FrameStep(benchmark::State& state) {
  Instrument inst(state.range(0) != 0);
  WarmUp(inst, state);
  for (auto _ : state) inst.Plug().update(kFrameLength);
  SetRateCounters(state, kFrameLength, double(kFrameLength) * kVoices);
}
BENCHMARK(BM_FrameStep)->ArgName("modulated")->Arg(1)->Arg(0);

// Block::update for every sample of a frame, one Block of 64 voices.
void BM_BlockUpdate(benchmark::State& state) {
  Instrument inst(state.range(0) != 0);
  WarmUp(inst, state);
  Block& block = *inst.Plug().getBlock(kBlockA);
  for (auto _ : state)
    for (int i = 0; i < kFrameLength; ++i) block.update(i, 0.0);
  SetRateCounters(state, kFrameLength, double(kFrameLength) * kHeldKeys);
}
BENCHMARK(BM_BlockUpdate)->ArgName("modulated")->Arg(1)->Arg(0);

// Block::process over a whole frame, one Block of 64 voices: waveforms, filters, envelopes,
// resonators, AM and VCA (the modulation of the frame computed once beforehand), on each
// voice loop.
void BM_BlockProcess(benchmark::State& state) {
  Instrument inst(state.range(0) != 0);
  if (!inst.SetSimdPath(simd::Path(state.range(1)))) {
    state.SkipWithError("this machine cannot run the voice loop");
    return;
  }
  WarmUp(inst, state);
  Block& block = *inst.Plug().getBlock(kBlockA);
  for (int i = 0; i < kFrameLength; ++i) block.update(i, 0.0);
  std::vector<double> left(kFrameLength), right(kFrameLength);
  for (auto _ : state) {
    block.process(left.data(), right.data(), kFrameLength, 0);
    benchmark::DoNotOptimize(left.data());
  }
  SetRateCounters(state, kFrameLength, double(kFrameLength) * kHeldKeys);
}
BENCHMARK(BM_BlockProcess)->ArgNames({"modulated", "simd"})->ArgsProduct({{1, 0}, {0, 1, 2}});

}  // namespace
}  // namespace quenta_bench
