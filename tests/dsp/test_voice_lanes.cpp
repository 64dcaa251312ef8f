// The wide voice loops against the scalar one: the same instrument, driven the same way on
// each path the machine runs, must give the same samples bit for bit and leave every voice's
// filter and envelope in the same state.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/simd.h"
#include "instrument/params.h"
#include "instrument/quenta.h"

namespace {

VstIntPtr SilentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The wide paths this machine runs; the test says which it skips.
std::vector<simd::Path> WidePaths() {
  std::vector<simd::Path> paths;
  for (simd::Path p : {simd::Path::kAvx2, simd::Path::kAvx512}) {
    if (simd::supported(p))
      paths.push_back(p);
    else
      std::printf("[  SKIPPED ] %s: this machine cannot run it\n", simd::name(p));
  }
  return paths;
}

// An instance made in this process, so that its Blocks can be put on a given voice loop.
class Plug {
 public:
  Plug(simd::Path path, float rate, int maxBlock)
      : mLeft(size_t(maxBlock)), mRight(size_t(maxBlock)) {
    IPlugInstanceInfo info;
    info.mVSTHostCallback = SilentHost;
    mPlug = static_cast<Quenta*>(MakePlug(info));
    mPlug->EnsureDefaultPreset();
    mEffect = mPlug->GetAEffect();
    Dispatch(effOpen, 0, nullptr, 0.0f);
    Dispatch(effSetSampleRate, 0, nullptr, rate);
    Dispatch(effSetBlockSize, maxBlock, nullptr, 0.0f);
    Dispatch(effMainsChanged, 1, nullptr, 0.0f);
    for (int b = 0; b < kNumBlocks; ++b) mPlug->getBlock(b)->setSimdPath(path);
  }
  ~Plug() {
    Dispatch(effMainsChanged, 0, nullptr, 0.0f);
    Dispatch(effClose, 0, nullptr, 0.0f);  // deletes the instance
  }

  void SetNormalized(int index, double value) {
    mPlug->GetParam(index)->SetNormalized(value);
    mPlug->OnParamChange(index);
  }
  void Midi(int offset, uint8_t status, uint8_t data1, uint8_t data2) {
    VstMidiEvent e;
    std::memset(&e, 0, sizeof e);
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.deltaFrames = offset;
    e.midiData[0] = char(status);
    e.midiData[1] = char(data1);
    e.midiData[2] = char(data2);
    VstEvents events;
    std::memset(&events, 0, sizeof events);
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&e);
    Dispatch(effProcessEvents, 0, &events, 0.0f);
  }
  void Render(int n) {
    double* outputs[2] = {mLeft.data(), mRight.data()};
    mEffect->processDoubleReplacing(mEffect, nullptr, outputs, n);
  }
  const std::vector<double>& Left() const { return mLeft; }
  const std::vector<double>& Right() const { return mRight; }
  Quenta& Instrument() { return *mPlug; }

 private:
  void Dispatch(VstInt32 opcode, VstIntPtr value, void* ptr, float opt) {
    mEffect->dispatcher(mEffect, opcode, 0, value, ptr, opt);
  }
  Quenta* mPlug = nullptr;
  AEffect* mEffect = nullptr;
  std::vector<double> mLeft, mRight;
};

// First difference between two renders of n samples, or "".
std::string Compare(const Plug& a, const Plug& b, int n) {
  for (int i = 0; i < n; ++i) {
    if (!SameBits(a.Left()[size_t(i)], b.Left()[size_t(i)]) ||
        !SameBits(a.Right()[size_t(i)], b.Right()[size_t(i)])) {
      char text[160];
      std::snprintf(text, sizeof text, "sample %d: scalar %.17g %.17g, wide %.17g %.17g", i,
                    a.Left()[size_t(i)], a.Right()[size_t(i)], b.Left()[size_t(i)],
                    b.Right()[size_t(i)]);
      return text;
    }
  }
  return "";
}

// Twenty-four keys, more than one pass of the wide loop, each with a cut-off of its own (the
// filter follows key and envelope), in every segment of the envelope over time, released out
// of order so that the sounding voices leave gaps between their slots: after every host block
// each voice's envelope and filter state must match its scalar twin, lane by lane.
TEST(VoiceLanes, EveryLaneMatchesItsScalarVoice) {
  constexpr float kRate = 48000.0f;
  constexpr int kBlock = 100;  // frames of 48 straddle the host blocks
  for (simd::Path path : WidePaths()) {
    Plug scalar(simd::Path::kScalar, kRate, kBlock), wide(path, kRate, kBlock);
    for (Plug* p : {&scalar, &wide}) {
      const int A = BlockParam(kBlockA, 0);
      p->SetNormalized(A + kWaveform, 0.9);  // "Pulse"/"PWM" range: two reads per sample
      p->SetNormalized(A + kFCBal, 1.0);
      p->SetNormalized(A + kExpand, 0.6);
      p->SetNormalized(A + kPeak, 0.8);
      p->SetNormalized(A + kCutoff, 0.5);
      p->SetNormalized(A + kEMAtk, 0.2);
      p->SetNormalized(A + kEMDcy, 0.2);
      p->SetNormalized(A + kEMSus, 0.3);
      p->SetNormalized(A + kFCMod, 1.0);
      p->SetNormalized(A + kFCMG1, 0.6);
    }
    constexpr int kKeys = 24;
    const int keys[kKeys] = {0,  9,  21,  30,  36, 43, 50, 57, 64, 71, 78, 85,
                             92, 99, 110, 127, 40, 47, 54, 61, 68, 75, 82, 89};
    for (int block = 0; block < 80; ++block) {
      for (Plug* p : {&scalar, &wide}) {
        if (block < kKeys) p->Midi(block * 4, 0x90, uint8_t(keys[block]), 100);  // staggered
        const int off = block - 30;  // odd keys first, then even ones
        if (off >= 0 && off < kKeys) {
          const int k = off < kKeys / 2 ? 2 * off + 1 : 2 * (off - kKeys / 2);
          p->Midi(7, 0x80, uint8_t(keys[k]), 0);
        }
        p->Render(kBlock);
      }
      const std::string diff = Compare(scalar, wide, kBlock);
      ASSERT_EQ(diff, "") << simd::name(path) << ", host block " << block;
      const VoiceLanes& sl = scalar.Instrument().getBlock(kBlockA)->getLanes();
      const VoiceLanes& wl = wide.Instrument().getBlock(kBlockA)->getLanes();
      for (int v = 0; v < Block::kNumVoices; ++v) {
        const Voice& s = scalar.Instrument().getBlock(kBlockA)->getVoice(v);
        const Voice& w = wide.Instrument().getBlock(kBlockA)->getVoice(v);
        if (!s.isActive() && !w.isActive()) continue;
        const int lane = v % simd::lanes(path);
        ASSERT_TRUE(SameBits(sl.envelope.value[v], wl.envelope.value[v]) &&
                    sl.envelope.state[v] == wl.envelope.state[v])
            << simd::name(path) << ": envelope of key " << s.getNote() << " (lane " << lane
            << "), host block " << block << ": scalar " << sl.envelope.value[v] << ", wide "
            << wl.envelope.value[v];
        for (int stage = 0; stage < 3; ++stage)
          ASSERT_TRUE(SameBits(sl.filter.getState(v, stage), wl.filter.getState(v, stage)))
              << simd::name(path) << ": filter stage " << stage << " of key " << s.getNote()
              << " (lane " << lane << "), host block " << block << ": scalar "
              << sl.filter.getState(v, stage) << ", wide " << wl.filter.getState(v, stage);
      }
    }
  }
}

// Many short renders with random patches, keys, controllers and host block sizes, each on the
// scalar path and on every wide path, compared sample for sample.
TEST(VoiceLanes, RandomRendersMatchTheScalarPath) {
  const std::vector<simd::Path> paths = WidePaths();
  if (paths.empty()) GTEST_SKIP() << "this machine runs no wide voice loop";
  constexpr int kRenders = 24, kLength = 2400, kMaxBlock = 700;
  const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f};
  for (int round = 0; round < kRenders; ++round) {
    const unsigned seed = 1000u + unsigned(round);
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) {
      return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const float rate = rates[pick(0, 3)];

    // The patch: about half the parameters at random, every section on and audible.
    std::vector<std::pair<int, double>> patch;
    for (int i = 0; i < kNumParams; ++i)
      if (pick(0, 1)) patch.push_back({i, uniform(0.0, 1.0)});
    for (int b = 0; b < kNumBlocks; ++b) {
      patch.push_back({BlockParam(b, kChEnable), 1.0});
      patch.push_back({BlockParam(b, kVolume), uniform(0.3, 1.0)});
    }
    patch.push_back({kFinal, 0.5});
    // Timed MIDI: notes, releases, sustain, bend and the wheel.
    struct Message {
      int time;
      uint8_t status, data1, data2;
    };
    std::vector<Message> midi;
    for (int i = pick(1, 40); i > 0; --i) {
      const int t = pick(0, kLength - 1);
      const uint8_t key = uint8_t(pick(0, 127));
      midi.push_back({t, 0x90, key, uint8_t(pick(1, 127))});
      if (pick(0, 1)) midi.push_back({pick(t, kLength - 1), 0x80, key, 0});
    }
    for (int i = pick(0, 4); i > 0; --i) {
      midi.push_back({pick(0, kLength - 1), 0xB0, 64, uint8_t(pick(0, 1) * 127)});
      midi.push_back({pick(0, kLength - 1), 0xE0, 0, uint8_t(pick(0, 127))});
      midi.push_back({pick(0, kLength - 1), 0xB0, 1, uint8_t(pick(0, 127))});
    }
    std::stable_sort(midi.begin(), midi.end(),
                     [](const Message& a, const Message& b) { return a.time < b.time; });
    std::vector<int> blocks;
    for (int done = 0; done < kLength;) {
      const int n = std::min(kLength - done, pick(0, 3) ? pick(1, kMaxBlock) : pick(1, 8));
      blocks.push_back(n);
      done += n;
    }

    auto render = [&](Plug& plug, std::vector<double>& out) {
      for (const auto& [index, value] : patch) plug.SetNormalized(index, value);
      size_t next = 0;
      int start = 0;
      for (int n : blocks) {
        for (; next < midi.size() && midi[next].time < start + n; ++next)
          plug.Midi(midi[next].time - start, midi[next].status, midi[next].data1, midi[next].data2);
        plug.Render(n);
        for (int i = 0; i < n; ++i) {
          out.push_back(plug.Left()[size_t(i)]);
          out.push_back(plug.Right()[size_t(i)]);
        }
        start += n;
      }
    };
    std::vector<double> reference;
    {
      Plug scalar(simd::Path::kScalar, rate, kMaxBlock);
      render(scalar, reference);
    }
    for (simd::Path path : paths) {
      std::vector<double> got;
      Plug wide(path, rate, kMaxBlock);
      render(wide, got);
      ASSERT_EQ(got.size(), reference.size());
      for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(SameBits(got[i], reference[i]))
            << simd::name(path) << ", seed " << seed << ", " << rate << " Hz: sample " << i / 2
            << (i % 2 ? " right" : " left") << ": scalar " << reference[i] << ", wide " << got[i];
    }
  }
}

}  // namespace
