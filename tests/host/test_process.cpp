// The audio callbacks as hosts call them: float, double and accumulating blocks, uneven and
// absurd block sizes, changing rates, disconnected outputs, and the MIDI they are given.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

constexpr int kBlock = 512;

// Finite, written by the plug-in, and (when silent is asked for) below -120 dBFS.
template <typename T>
::testing::AssertionResult Check(const std::vector<T>& samples, int frames, bool silent) {
  for (int i = 0; i < frames; ++i) {
    const T s = samples[static_cast<size_t>(i)];
    if (!std::isfinite(s) || s == static_cast<T>(TestHost::kUnwrittenSample) ||
        (silent && std::fabs(static_cast<double>(s)) > 1e-6))
      return ::testing::AssertionFailure() << "sample " << i << " is " << s;
  }
  return ::testing::AssertionSuccess();
}
template <typename T>
::testing::AssertionResult IsSilent(const std::vector<T>& samples, int frames) {
  return Check(samples, frames, true);
}

}  // namespace

// No note is played: every callback must write silence, whatever block sizes the host
// announces and delivers.
TEST(Process, UnevenAndAbsurdBlocksChangingRatesAndAnyMidiDelivery) {
  // Odd lifecycles too: closed right after creation; processing before activation, activated
  // twice, deactivated twice; closed while still active.
  TestHost closed, host;
  ASSERT_TRUE(closed.Instantiate()) << closed.Error();
  EXPECT_EQ(closed.Close(), 0);
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.Open();
  host.SetSampleRate(44100.0f);
  host.SetBlockSize(kBlock);
  for (bool on : {true, true, false, false, true}) {
    host.ProcessReplacing(kBlock);
    for (int ch = 0; ch < 2; ++ch) ASSERT_TRUE(IsSilent(host.OutputF(ch), kBlock)) << on;
    host.MainsChanged(on);
  }
  host.ClearRecords();
  const std::vector<int> sizes = {kBlock, 1, 7, 0, 511, 13, 44, 45, 256, kBlock, 3, 100, 88, 2};
  for (int n : sizes) {
    host.ProcessReplacing(n);
    for (int ch = 0; ch < 2; ++ch) ASSERT_TRUE(IsSilent(host.OutputF(ch), n)) << n;
    host.ProcessDoubleReplacing(n);
    for (int ch = 0; ch < 2; ++ch) ASSERT_TRUE(IsSilent(host.OutputD(ch), n)) << n;
    host.FillOutputs(0.0f, n);
    host.ProcessAccumulating(n);
    for (int ch = 0; ch < 2; ++ch) ASSERT_TRUE(IsSilent(host.OutputF(ch), n)) << n;
  }
  // Every audio callback asks the host for MIDI once.
  EXPECT_EQ(host.CountCalls(audioMasterWantMidi), 3 * sizes.size());
  // Absurd announcements: the buffers stop at a ceiling of 65,536 frames and longer calls
  // are cut into pieces of it (0 announces no size at all: silence).
  for (int size : {64, 4096, 1, 128, 8192, INT_MAX, -1, 0, 65537, kBlock}) {
    const int frames = size > 0 && size <= 8192 ? size : 70000;
    host.SetBlockSize(size);
    host.ProcessReplacing(frames);
    for (int ch = 0; ch < 2; ++ch) ASSERT_TRUE(IsSilent(host.OutputF(ch), frames)) << size;
  }
  for (float rate : {22050.0f, 96000.0f, 192000.0f, 8000.0f, 44100.0f, 48000.0f}) {
    host.SetSampleRate(rate);
    host.ProcessDoubleReplacing(kBlock);
    for (int ch = 0; ch < 2; ++ch) ASSERT_TRUE(IsSilent(host.OutputD(ch), kBlock)) << rate;
  }
  // Any MIDI delivery is taken (answer 1) without harm, and nothing is echoed while "MIDI Thru"
  // is off, as in a fresh configuration (the echo is tested in the instrument suite).
  VstMidiEvent note = TestHost::Midi(9, 0x90, 48, 70);
  VstEvent audio{}, unknown{};
  audio.type = 2;
  audio.byteSize = sizeof(VstEvent);
  unknown.type = 99;
  std::vector<VstMidiEvent> midi = {
      TestHost::Midi(17, 0x93, 60, 100),   TestHost::Midi(0, 0xB0, 7, 127),
      TestHost::Midi(511, 0xE5, 0, 64),    TestHost::Midi(20, 0x83, 60, 0),
      TestHost::Midi(30, 0xC2, 5, 0),      TestHost::Midi(40, 0xD1, 99, 0),
      TestHost::Midi(50, 0xA4, 61, 33),    TestHost::Midi(0, 0xF8, 0, 0),
      TestHost::Midi(1, 0x3C, 0x40, 0x7F), TestHost::Midi(2, 0xFF, 0xFF, 0xFF)};
  // Offsets beyond the coming block and negative ones, then more events than a block holds.
  for (int delta : {512, 513, 100000, INT_MAX, -1, INT_MIN}) {
    midi.push_back(TestHost::Midi(delta, 0x90, 60, 100));
    midi.push_back(TestHost::Midi(delta, 0x80, 60, 0));
  }
  for (int i = 0; i < 2000; ++i)
    midi.push_back(TestHost::Midi(i % 600, static_cast<uint8_t>((i % 2 ? 0x80 : 0x90) | (i % 16)),
                                  static_cast<uint8_t>(i % 128),
                                  static_cast<uint8_t>(i % 2 ? 0 : 1 + i % 127)));
  EXPECT_EQ(host.SendMidi(midi), 1);
  EXPECT_EQ(host.SendEvents({&audio, nullptr, reinterpret_cast<VstEvent*>(&note), &unknown}), 1);
  EXPECT_EQ(host.SendEvents({}), 1);
  EXPECT_EQ(host.SendSysex(12, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}), 1);
  EXPECT_EQ(host.SendSysex(0, {}), 1);
  EXPECT_EQ(host.SendSysex(-3, {0xF0}), 1);
  for (int b = 0; b < 4; ++b) {
    host.ProcessReplacing(512);
    host.ProcessDoubleReplacing(100);
    for (int ch = 0; ch < 2; ++ch) {
      ASSERT_TRUE(Check(host.OutputF(ch), 512, false)) << "block " << b;
      ASSERT_TRUE(Check(host.OutputD(ch), 100, false)) << "block " << b;
    }
  }
  EXPECT_EQ(host.CountCalls(audioMasterProcessEvents), 0u);
  EXPECT_EQ(host.Close(), 0);
  // Every request the plug-in made carried its own AEffect.
  EXPECT_EQ(TestHost::OrphanCalls(), 0);
}

TEST(Process, FloatDoubleAndAccumulatingAgree) {
  // One phrase through the three callbacks: float is the double output converted; accumulating
  // adds the float output to what the host's buffers held.
  constexpr float kPrefill = 0.25f;
  TestHost f, d, acc;
  for (TestHost* h : {&f, &d, &acc}) {
    ASSERT_TRUE(h->Instantiate()) << h->Error();
    h->StartSession(48000.0f, kBlock);
  }
  float peak = 0.0f;
  for (int b = 0; b < 40; ++b) {
    for (TestHost* h : {&f, &d, &acc}) {
      if (b == 0)
        h->SendMidi({TestHost::Midi(10, 0x90, 60, 100), TestHost::Midi(200, 0x90, 67, 90)});
      if (b == 3) h->SendMidi({TestHost::Midi(0, 0xE0, 0, 80), TestHost::Midi(100, 0xB0, 1, 64)});
      if (b == 6) h->SendMidi({TestHost::Midi(5, 0x80, 60, 0), TestHost::Midi(6, 0x90, 67, 0)});
    }
    f.ProcessReplacing(kBlock);
    d.ProcessDoubleReplacing(kBlock);
    acc.FillOutputs(kPrefill, kBlock);
    acc.ProcessAccumulating(kBlock);
    for (int ch = 0; ch < 2; ++ch) {
      ASSERT_TRUE(Check(f.OutputF(ch), kBlock, false));
      for (int i = 0; i < kBlock; ++i) {
        const float expected = f.OutputF(ch)[i];
        peak = std::max(peak, std::fabs(expected));
        ASSERT_EQ(static_cast<float>(d.OutputD(ch)[i]), expected)
            << "block " << b << " ch " << ch << " at " << i;
        ASSERT_EQ(acc.OutputF(ch)[i], kPrefill + expected)
            << "block " << b << " ch " << ch << " at " << i;
      }
    }
  }
  EXPECT_GT(peak, 1e-3f) << "the phrase must be heard for the comparison to mean anything";
}

TEST(Process, DisconnectedOutputsNeverReachTheHost) {
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession(48000.0f, kBlock);
  auto arrange = [&](int outputs) {
    VstSpeakerArrangement out{};
    out.type = outputs == 1 ? kSpeakerArrMono : outputs == 2 ? kSpeakerArrStereo : kSpeakerArrEmpty;
    out.numChannels = outputs;
    EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, 0, &out), 1);
  };
  auto untouched = [](const auto& v) {
    return std::all_of(v.begin(), v.end(), [](auto s) { return s == TestHost::kUnwrittenSample; });
  };

  arrange(1);
  host.ProcessReplacing(kBlock);
  EXPECT_TRUE(IsSilent(host.OutputF(0), kBlock));
  EXPECT_TRUE(untouched(host.OutputF(1)));
  host.ProcessDoubleReplacing(kBlock);
  EXPECT_TRUE(IsSilent(host.OutputD(0), kBlock));
  EXPECT_TRUE(untouched(host.OutputD(1)));
  host.FillOutputs(TestHost::kUnwrittenSample, kBlock);
  host.ProcessAccumulating(kBlock);
  EXPECT_TRUE(untouched(host.OutputF(1)));
  // Without a block size (a scanner's 0): silence, on the connected output only.
  host.SetBlockSize(0);
  host.ProcessReplacing(40);
  EXPECT_TRUE(IsSilent(host.OutputF(0), 40));
  EXPECT_TRUE(untouched(host.OutputF(1)));
  host.SetBlockSize(kBlock);
  // The host's array has one entry (on the heap) for the one connected output: nothing past it
  // is read (the sanitizer build sees any read), in the pieces of a long call either.
  std::vector<float> mono(3 * kBlock, TestHost::kUnwrittenSample);
  std::vector<double> monoD(3 * kBlock, TestHost::kUnwrittenSample);
  std::vector<float*> one{mono.data()};
  std::vector<double*> oneD{monoD.data()};
  AEffect* e = host.Effect();
  e->processReplacing(e, nullptr, one.data(), 3 * kBlock);
  EXPECT_TRUE(IsSilent(mono, 3 * kBlock));
  e->processDoubleReplacing(e, nullptr, oneD.data(), 3 * kBlock);
  EXPECT_TRUE(IsSilent(monoD, 3 * kBlock));
  std::fill(mono.begin(), mono.end(), 0.5f);
  e->process(e, nullptr, one.data(), 3 * kBlock);
  EXPECT_EQ(mono.back(), 0.5f);

  // The disconnected channel's scratch buffer moves as the block size grows (once it did not).
  for (int size : {8192, 16, 20000}) host.SetBlockSize(size);
  host.ProcessReplacing(20000);
  EXPECT_TRUE(IsSilent(host.OutputF(0), 20000));
  host.SetBlockSize(kBlock);
  // A null pointer for a connected output is given a scratch buffer.
  std::vector<float*> none{nullptr};
  e->processReplacing(e, nullptr, none.data(), kBlock);

  arrange(0);
  host.ProcessReplacing(kBlock);
  EXPECT_TRUE(untouched(host.OutputF(0)));
  EXPECT_TRUE(untouched(host.OutputF(1)));
  host.ProcessDoubleReplacing(kBlock);
  EXPECT_TRUE(untouched(host.OutputD(0)));

  arrange(2);
  host.ProcessReplacing(kBlock);
  EXPECT_TRUE(IsSilent(host.OutputF(0), kBlock));
  EXPECT_TRUE(IsSilent(host.OutputF(1), kBlock));
  // Both connected, without a block size: both silent, and an accumulating call adds nothing.
  host.SetBlockSize(0);
  host.ProcessReplacing(40);
  EXPECT_TRUE(IsSilent(host.OutputF(1), 40));
  host.FillOutputs(0.5f, 40);
  host.ProcessAccumulating(40);
  EXPECT_EQ(host.OutputF(1)[39], 0.5f);
}
