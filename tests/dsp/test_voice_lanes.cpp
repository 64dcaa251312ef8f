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
  const VoiceLanes& Lanes() { return q().getBlock(kBlockA)->getLanes(); }
  std::vector<double> left, right;
};

// Twenty-four keys, more than one pass of the wide loop, each with a cut-off of its own (the
// filter follows key and envelope), in every segment of the envelope over time, released out
// of order so that the sounding voices leave gaps between their slots: after every host block
// each voice's envelope and filter state must match its scalar twin, lane by lane.
TEST(VoiceLanes, EveryLaneMatchesItsScalarVoice) {
  constexpr int kBlock = 100;  // frames of 48 straddle the host blocks
  for (simd::Path path : WidePaths()) {
    Plug scalar(simd::Path::kScalar, 48000.0f, kBlock), wide(path, 48000.0f, kBlock);
    // "Pulse"/"PWM" range: two reads per sample.
    const std::pair<int, double> patch[] = {
        {kWaveform, 0.9}, {kFCBal, 1.0}, {kExpand, 0.6}, {kPeak, 0.8},  {kCutoff, 0.5},
        {kEMAtk, 0.2},    {kEMDcy, 0.2}, {kEMSus, 0.3},  {kFCMod, 1.0}, {kFCMG1, 0.6}};
    for (Plug* p : {&scalar, &wide})
      for (auto [k, v] : patch) p->SetNormalized(BlockParam(kBlockA, k), v);
    constexpr int kKeys = 24;
    const int keys[kKeys] = {0,  9,  21,  30,  36, 43, 50, 57, 64, 71, 78, 85,
                             92, 99, 110, 127, 40, 47, 54, 61, 68, 75, 82, 89};
    for (int block = 0; block < 80; ++block) {
      for (Plug* p : {&scalar, &wide}) {
        if (block < kKeys) p->Midi(0x90, uint8_t(keys[block]), 100, block * 4);  // staggered
        const int off = block - 30;  // odd keys first, then even ones
        if (off >= 0 && off < kKeys)
          p->Midi(0x80, uint8_t(keys[off < kKeys / 2 ? 2 * off + 1 : 2 * (off - kKeys / 2)]), 0, 7);
        p->Render(kBlock);
      }
      const std::string where =
          std::string(simd::name(path)) + ", host block " + std::to_string(block) + ", ";
      for (int i = 0; i < kBlock; ++i)
        ASSERT_TRUE(SameBits(scalar.left[size_t(i)], wide.left[size_t(i)]) &&
                    SameBits(scalar.right[size_t(i)], wide.right[size_t(i)]))
            << where << "sample " << i;
      const VoiceLanes &sl = scalar.Lanes(), &wl = wide.Lanes();
      for (int v = 0; v < Block::kNumVoices; ++v) {
        const Voice& s = scalar.q().getBlock(kBlockA)->getVoice(v);
        if (!s.isActive() && !wide.q().getBlock(kBlockA)->getVoice(v).isActive()) continue;
        const std::string voice = where + "key " + std::to_string(s.getNote()) + " (lane " +
                                  std::to_string(v % simd::lanes(path)) + ")";
        ASSERT_TRUE(SameBits(sl.envelope.value[v], wl.envelope.value[v]) &&
                    sl.envelope.state[v] == wl.envelope.state[v])
            << voice << ": envelope " << sl.envelope.value[v] << " / " << wl.envelope.value[v];
        for (int stage = 0; stage < 3; ++stage)
          ASSERT_TRUE(SameBits(sl.filter.getState(v, stage), wl.filter.getState(v, stage)))
              << voice << ": filter stage " << stage;
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
      blocks.push_back(std::min(kLength - done, pick(0, 3) ? pick(1, kMaxBlock) : pick(1, 8)));
      done += blocks.back();
    }
    auto render = [&](simd::Path path) {
      Plug plug(path, rate, kMaxBlock);
      for (const auto& [index, value] : patch) plug.SetNormalized(index, value);
      std::vector<double> out;
      size_t next = 0;
      int start = 0;
      for (int n : blocks) {
        for (; next < midi.size() && midi[next].time < start + n; ++next)
          plug.Midi(midi[next].status, midi[next].data1, midi[next].data2, midi[next].time - start);
        plug.Render(n);
        for (int i = 0; i < n; ++i)
          out.insert(out.end(), {plug.left[size_t(i)], plug.right[size_t(i)]});
        start += n;
      }
      return out;
    };
    const std::vector<double> reference = render(simd::Path::kScalar);
    for (simd::Path path : paths) {
      const std::vector<double> got = render(path);
      ASSERT_EQ(got.size(), reference.size());
      for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(SameBits(got[i], reference[i]))
            << simd::name(path) << ", seed " << seed << ", " << rate << " Hz: sample " << i / 2
            << (i % 2 ? " right" : " left") << ": scalar " << reference[i] << ", wide " << got[i];
    }
  }
}

}  // namespace
