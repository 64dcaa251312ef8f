// The wide voice loops against the scalar one: the same instrument, driven the same way on
// each path the machine runs, must give the same samples bit for bit and leave every voice's
// filter and envelope in the same state.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "dsp/simd.h"
#include "instrument/instrument_helpers.h"

using namespace quenta_test;

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// An instance made in this process with its Blocks on the given voice loop.
struct Plug : Direct {
  Plug(simd::Path path, float rate, int maxBlock)
      : Direct(rate, maxBlock), left(size_t(maxBlock)), right(size_t(maxBlock)) {
    for (int b = 0; b < kNumBlocks; ++b) q().getBlock(b)->setSimdPath(path);
  }
  void SetNormalized(int index, double value) {
    plug->GetParam(index)->SetNormalized(value);
    plug->OnParamChange(index);
  }
  void Render(int n) {
    double* outputs[2] = {left.data(), right.data()};
    AEffect* e = plug->GetAEffect();
    e->processDoubleReplacing(e, nullptr, outputs, n);
  }
  std::vector<double> left, right;
};

// What differs between a wide render and its scalar twin after a host block of n samples: the
// first sample, or else the first sounding voice whose envelope or filter state differs.
std::string Difference(Plug& scalar, Plug& wide, int n, int lanes) {
  for (int i = 0; i < n; ++i)
    if (!SameBits(scalar.left[size_t(i)], wide.left[size_t(i)]) ||
        !SameBits(scalar.right[size_t(i)], wide.right[size_t(i)]))
      return "sample " + std::to_string(i);
  for (int b = 0; b < kNumBlocks; ++b) {
    const VoiceLanes &s = scalar.q().getBlock(b)->getLanes(), &w = wide.q().getBlock(b)->getLanes();
    for (int v = 0; v < Block::kNumVoices; ++v) {
      const Voice& voice = scalar.q().getBlock(b)->getVoice(v);
      if (!voice.isActive() && !wide.q().getBlock(b)->getVoice(v).isActive()) continue;
      bool same = SameBits(s.envelope.value[v], w.envelope.value[v]) &&
                  s.envelope.state[v] == w.envelope.state[v];
      for (int stage = 0; stage < 3; ++stage)
        same = same && SameBits(s.filter.getState(v, stage), w.filter.getState(v, stage));
      if (!same)
        return "Block " + std::to_string(b) + ", key " + std::to_string(voice.getNote()) +
               " (lane " + std::to_string(v % lanes) + "): envelope or filter state";
    }
  }
  return "";
}

// Many short renders with random patches, keys, controllers and host block sizes, on the
// scalar path and every wide path side by side, compared after every host block.
TEST(VoiceLanes, RandomRendersMatchTheScalarPathLaneByLane) {
  std::vector<simd::Path> paths;
  for (simd::Path p : {simd::Path::kAvx2, simd::Path::kAvx512}) {
    if (simd::supported(p))
      paths.push_back(p);
    else
      std::printf("[  SKIPPED ] %s: this machine cannot run it\n", simd::name(p));
  }
  if (paths.empty()) GTEST_SKIP() << "this machine runs no wide voice loop";
  constexpr int kRenders = 24, kLength = 2400, kMaxBlock = 700;
  const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f};
  for (int round = 0; round < kRenders; ++round) {
    const unsigned seed = 1000u + unsigned(round);
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto uniform = [&](double lo, double hi) {
      return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
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
    // Timed MIDI: up to 40 keys, most of them released out of order (the sounding voices leave
    // gaps between their slots), sustain, bend and the wheel.
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

    Plug scalar(simd::Path::kScalar, rate, kMaxBlock);
    std::vector<std::unique_ptr<Plug>> wide;
    for (simd::Path path : paths) wide.push_back(std::make_unique<Plug>(path, rate, kMaxBlock));
    std::vector<Plug*> all = {&scalar};
    for (auto& w : wide) all.push_back(w.get());
    for (Plug* p : all)
      for (const auto& [index, value] : patch) p->SetNormalized(index, value);
    size_t next = 0;
    for (int start = 0; start < kLength;) {
      const int n = std::min(kLength - start, pick(0, 3) ? pick(1, kMaxBlock) : pick(1, 8));
      for (; next < midi.size() && midi[next].time < start + n; ++next)
        for (Plug* p : all)
          p->Midi(midi[next].status, midi[next].data1, midi[next].data2, midi[next].time - start);
      for (Plug* p : all) p->Render(n);
      for (size_t k = 0; k < paths.size(); ++k)
        ASSERT_EQ(Difference(scalar, *wide[k], n, simd::lanes(paths[k])), "")
            << simd::name(paths[k]) << ", seed " << seed << ", " << rate << " Hz, host block at "
            << start;
      start += n;
    }
  }
}

}  // namespace
