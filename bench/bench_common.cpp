#include "bench_common.h"

#include <cstring>

namespace quenta_bench {

void SetRateCounters(benchmark::State& state, double audioSamples, double voiceSamples) {
  const double iterations = double(state.iterations());
  // kIsRate divides by the CPU time: seconds of audio per CPU second (shown as "x/s").
  state.counters["xRT"] =
      benchmark::Counter(iterations * audioSamples / kSampleRate, benchmark::Counter::kIsRate);
  // The inverted rate is CPU seconds per voice-sample (shown with its SI prefix, "13.2ns").
  state.counters["per_vs"] = benchmark::Counter(
      iterations * voiceSamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

namespace {

// A host that knows nothing: version 2.4, no time info, every other request answered with 0.
VstIntPtr SilentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

}  // namespace

Instrument::Instrument(bool modulated) : mLeft(kHostBlock), mRight(kHostBlock) {
  IPlugInstanceInfo info;
  info.mVSTHostCallback = SilentHost;
  mPlug = static_cast<Quenta*>(MakePlug(info));
  mPlug->EnsureDefaultPreset();
  mEffect = mPlug->GetAEffect();
  mEffect->dispatcher(mEffect, effOpen, 0, 0, nullptr, 0.0f);
  mEffect->dispatcher(mEffect, effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
  mEffect->dispatcher(mEffect, effSetBlockSize, 0, kHostBlock, nullptr, 0.0f);
  mEffect->dispatcher(mEffect, effMainsChanged, 0, 1, nullptr, 0.0f);

  SetBlockParam(kWaveform, SG::kSawtooth);
  SetBlockParam(kCutoff, 0.6);
  SetBlockParam(kPeak, 0.3);
  SetBlockParam(kEMSus, 1.0);
  SetBlockParam(kRSInt, 0.5);
  SetBlockParam(kMG1Wave, MG::kTriangle);
  SetBlockParam(kMG1Freq, 300.0);
  SetBlockParam(kFMMod, modulated ? 1.0 : 0.0);
  SetBlockParam(kFMMG1, 100.0);  // about +-0.8 semitone
  SetBlockParam(kFCMod, modulated ? 1.0 : 0.0);
  SetBlockParam(kFCMG1, 0.2);  // about +-1.4 octaves
  SetBlockParam(kAMMod, modulated ? 1.0 : 0.0);
  SetBlockParam(kAMInt, 0.5);
}

Instrument::~Instrument() {
  mEffect->dispatcher(mEffect, effMainsChanged, 0, 0, nullptr, 0.0f);
  mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);  // deletes the instance
}

bool Instrument::SetSimdPath(simd::Path path) {
  if (!simd::supported(path)) return false;
  for (int b = 0; b < kNumBlocks; ++b) mPlug->getBlock(b)->setSimdPath(path);
  return true;
}

void Instrument::SetParam(int index, double value) {
  mPlug->GetParam(index)->Set(value);
  mPlug->OnParamChange(index);
}

void Instrument::SetBlockParam(int k, double value) {
  for (int b = 0; b < kNumBlocks; ++b) SetParam(BlockParam(b, k), value);
}

void Instrument::HoldKeys() {
  std::vector<VstMidiEvent> notes(kHeldKeys);
  std::vector<char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * kHeldKeys);
  VstEvents* events = reinterpret_cast<VstEvents*>(storage.data());
  events->numEvents = kHeldKeys;
  for (int i = 0; i < kHeldKeys; ++i) {
    VstMidiEvent& e = notes[size_t(i)];
    std::memset(&e, 0, sizeof e);
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.midiData[0] = char(0x90);
    e.midiData[1] = char(kLowestKey + i);
    e.midiData[2] = 100;
    events->events[i] = reinterpret_cast<VstEvent*>(&e);
  }
  mEffect->dispatcher(mEffect, effProcessEvents, 0, 0, events, 0.0f);
}

void Instrument::Render(int frames) {
  float* outputs[2] = {mLeft.data(), mRight.data()};
  mEffect->processReplacing(mEffect, nullptr, outputs, frames);
  benchmark::DoNotOptimize(mLeft.data());
  benchmark::DoNotOptimize(mRight.data());
}

int Instrument::ActiveVoices() {
  int n = 0;
  for (int b = 0; b < kNumBlocks; ++b) n += mPlug->getBlock(b)->numActiveVoices();
  return n;
}

}  // namespace quenta_bench
