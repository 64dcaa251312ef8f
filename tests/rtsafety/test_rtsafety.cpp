// Real-time safety: once warmed up, the plug-in makes no heap allocation on the audio thread
// while a busy MIDI stream keeps all 192 voices sounding, with automation, program changes and
// an open editor. Hooks in this test program count the allocations (alloc_hooks.h); the host
// side of each counted call is prepared beforehand and allocates nothing itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "alloc_hooks.h"
#include "instrument/params.h"
#include "support/test_host.h"
#include "support/x11_rig.h"
#include "support/xvfb.h"

using namespace quenta_test;

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;
constexpr int kMaxEvents = 256;

::testing::AssertionResult NoAllocation(const char* what, const alloc_hooks::Counts& c) {
  if (c.total() == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << what << ": " << c.mallocs << " malloc-family calls, " << c.frees << " frees, " << c.news
         << " operator new, " << c.deletes << " operator delete on the audio thread";
}

// A host's audio thread: a transport that runs, an event list and output buffers made once,
// MIDI and audio calls going straight to the effect's function pointers.
class AudioThread {
 public:
  explicit AudioThread(TestHost& host) : mHost(host), mEffect(host.Effect()) {
    VstTimeInfo& t = host.Answers().timeInfo = VstTimeInfo{};
    host.Answers().hasTimeInfo = true;
    t.sampleRate = kRate;
    t.tempo = 123.0;
    t.timeSigNumerator = t.timeSigDenominator = 4;
    t.flags =
        kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid;
  }

  void Add(int offset, int status, int data1, int data2) {
    if (mCount < kMaxEvents)
      mEvents[mCount++] = TestHost::Midi(offset, uint8_t(status), uint8_t(data1), uint8_t(data2));
  }

  // Delivers the queued events, then renders one block, counting both calls. (The test host's
  // buffers are made on the first call of each kind and then reused.)
  alloc_hooks::Counts Block(bool useDouble) {
    VstEvents* list = reinterpret_cast<VstEvents*>(mEventList.data());
    list->numEvents = mCount;
    for (int i = 0; i < mCount; ++i) list->events[i] = reinterpret_cast<VstEvent*>(&mEvents[i]);
    alloc_hooks::Begin();
    if (mCount > 0) mEffect->dispatcher(mEffect, effProcessEvents, 0, 0, list, 0.0f);
    if (useDouble)
      mHost.ProcessDoubleReplacing(kBlock);
    else
      mHost.ProcessReplacing(kBlock);
    const alloc_hooks::Counts counts = alloc_hooks::End();
    mCount = 0;
    VstTimeInfo& t = mHost.Answers().timeInfo;
    t.samplePos += kBlock;
    t.ppqPos = t.samplePos / kRate * t.tempo / 60.0;
    t.barStartPos = double(int(t.ppqPos / 4.0) * 4);
    for (int i = 0; i < kBlock; ++i)
      mPeak = std::max(mPeak, useDouble ? mHost.OutputD(0)[i] : double(mHost.OutputF(0)[i]));
    return counts;
  }

  // Counts one automation step of a parameter, as hosts send it from the audio thread.
  alloc_hooks::Counts Automate(int index, float normalized) {
    alloc_hooks::Begin();
    mEffect->setParameter(mEffect, index, normalized);
    return alloc_hooks::End();
  }

  double Peak() const { return mPeak; }

 private:
  TestHost& mHost;
  AEffect* mEffect;
  std::array<VstMidiEvent, kMaxEvents> mEvents{};
  std::array<char, sizeof(VstEvents) + sizeof(VstEvent*) * kMaxEvents> mEventList{};
  int mCount = 0;
  double mPeak = 0.0;
};

// Sets up a patch that runs every part of the engine: audio-rate MG1 on pitch and cut-off,
// resonators, AM, a resonant filter, noise into the sample and hold.
void BusyPatch(TestHost& host) {
  const std::pair<int, const char*> block[] = {
      {kFMMod, "on"},    {kFMMG1, "100"},  {kFCMod, "on"},      {kFCMG1, "0.2"},
      {kMG1Freq, "300"}, {kRSInt, "0.5"},  {kAMMod, "on"},      {kAMInt, "0.5"},
      {kPeak, "0.4"},    {kCutoff, "0.6"}, {kEMRel, "Release"}, {kFCSrc, "S/H"}};
  for (int b = 0; b < kNumBlocks; ++b)
    for (auto [k, text] : block)
      ASSERT_EQ(host.Dispatch(effString2Parameter, BlockParam(b, k), 0, const_cast<char*>(text)), 1)
          << text;
  ASSERT_EQ(host.Dispatch(effString2Parameter, kSHIn, 0, const_cast<char*>("Rnd")), 1);
  ASSERT_EQ(host.Dispatch(effString2Parameter, kPBRange, 0, const_cast<char*>("12")), 1);
}

// Block `n` of a busy stream: 64 keys held, then in every block eight released (some by
// velocity 0) and eight pressed, stealing voices; bend and controllers in every block, the
// sustain pedal every 16 blocks and "all notes off" every 64.
void BusyStream(AudioThread& audio, int n, std::vector<bool>& held) {
  if (n == 0) {
    for (int k = 0; k < 64; ++k) {
      audio.Add(k, 0x90, 32 + k, 100);
      held[size_t(32 + k)] = true;
    }
    return;
  }
  for (int i = 0; i < 8; ++i) {
    const int offset = i * 60;
    const int off = (n * 37 + i * 13) % 128;
    const int on = (n * 53 + i * 29 + 7) % 128;
    if (held[size_t(off)]) audio.Add(offset, (i % 2 ? 0x80 : 0x90) | (i & 15), off, 0);
    held[size_t(off)] = false;
    audio.Add(offset + 1, 0x90 | (i & 15), on, 40 + i * 10);
    held[size_t(on)] = true;
  }
  const int bend = (n * 997) % 16384;
  audio.Add(100, 0xE0, bend & 127, bend >> 7);
  audio.Add(200, 0xB0, 1, (n * 7) % 128);  // modulation wheel
  audio.Add(300, 0xB1, 74, (n * 11) % 128);
  audio.Add(301, 0xB2, 7, (n * 5) % 128);
  if (n % 16 == 0) audio.Add(400, 0xB0, 64, (n / 16) % 2 ? 0 : 127);  // sustain pedal
  if (n % 64 == 63) {
    audio.Add(511, 0xB0, 123, 0);
    held.assign(held.size(), false);
  }
}

// The busy stream, with four parameters moved before each block and, in each of the last 32
// blocks, a program change (applied at once), while the user-interface thread opens the editor
// and keeps it busy: idle calls, automation the editor shows, the pointer moving over it.
TEST(RealTimeSafety, BusyStreamAutomationAndProgramChangesWithTheEditorOpenAllocateNothing) {
  if (!alloc_hooks::Available()) GTEST_SKIP() << "no allocation hooks in sanitizer builds";
  quenta_test::XvfbEnvironment xvfb;
  xvfb.SetUp();
  ASSERT_FALSE(quenta_test::XvfbEnvironment::Display().empty());
  {
    quenta_test::XRig rig;
    ASSERT_TRUE(rig.Ok());
    const uint32_t window = rig.MakeHostWindow(0, 0, 1500, 700);
    TestHost host;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.SetRecording(false);
    host.StartSession(kRate, kBlock);
    AudioThread audio(host);
    std::vector<bool> held(128, false);
    BusyPatch(host);
    if (HasFatalFailure()) return;
    // Continuous parameters a host typically automates, in every Block, and the globals.
    std::vector<int> automated = {kFinal, kGEGAtk, kGEGRel, kVP1A, kAtn1, kLag1, kSHFreq};
    for (int b = 0; b < kNumBlocks; ++b)
      for (int k :
           {kCutoff, kPeak, kExpand, kFCBal, kEMAtk, kEMDcy, kEMSus, kMG1Freq, kMG2Freq, kVolume,
            kPan, kRSInt, kRSFreq1, kAMInt, kTuneA, kFine, kCoarse, kFMMG1, kPWMInt})
        automated.push_back(BlockParam(b, k));
    std::atomic<bool> opened{false}, stop{false};
    std::thread ui([&] {
      opened = host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>((uintptr_t)window)) == 1;
      for (int step = 0; !stop; ++step) {
        host.Dispatch(effEditIdle);
        host.SetParameter(BlockParam(kBlockB, kCutoff), float(step % 10) / 10.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      host.Dispatch(effEditClose);
    });
    for (int i = 0; i < 500 && !opened; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(opened.load());
    // Warm-up: both callbacks, the first blocks of the stream, one change of each parameter.
    int n = 0;
    for (; n < 4; ++n) {
      BusyStream(audio, n, held);
      audio.Block(n % 2 == 1);
    }
    for (int index : automated) audio.Automate(index, 0.5f);
    for (; n < 4 + 288 && !HasFailure(); ++n) {
      if (n % 8 == 0) rig.MoveInto(window, 100 + n % 200, 100);
      for (int j = 0; j < 4; ++j) {
        const int index = automated[size_t(n * 4 + j) % automated.size()];
        const float value = float((n * 7 + j * 3) % 17) / 16.0f;
        EXPECT_TRUE(NoAllocation("setParameter", audio.Automate(index, value)))
            << "parameter " << index << " to " << value;
      }
      BusyStream(audio, n, held);
      if (n >= 4 + 256) audio.Add(n * 7 % kBlock, 0xC0 | (n & 15), n % 8, 0);
      const bool useDouble = n % 2 == 1;
      const alloc_hooks::Counts counts = audio.Block(useDouble);
      if (n == 4 + 256) continue;  // the first program change warms up the host's records
      EXPECT_TRUE(NoAllocation(useDouble ? "double block" : "float block", counts))
          << "block " << n;
    }
    stop = true;
    ui.join();
    EXPECT_GT(audio.Peak(), 0.05) << "the stream should be sounding";
  }
  xvfb.TearDown();
}

// Allocations that fail (the hooks must see the plug-in allocate for this to hold). At 48 kHz
// a frame's buffers are 48 doubles: three for the mix, four per Block (two of ints between),
// then the voices'. Letting 17 succeed leaves Block A ten voices that can sound; a key beyond
// them takes one instead of writing through a null buffer. Without the buffers for 4096 frames
// the instance keeps 512 and plays 4096-frame calls in pieces, as one never asked would.
TEST(FailedAllocation, AVoiceWithoutABufferIsSilentAndABlockSizeWithoutBuffersIsRefused) {
  if (!alloc_hooks::Available()) GTEST_SKIP() << "no allocation hooks in sanitizer builds";
  TestHost host, refused, kept;
  alloc_hooks::Begin();
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  EXPECT_GT(alloc_hooks::End().news, 0) << "operator new inside the plug-in is not seen";
  host.Open();
  alloc_hooks::Begin();
  alloc_hooks::FailAfter(48 * sizeof(double), 3 + 4 + 10);
  host.SetSampleRate(kRate);
  alloc_hooks::Succeed();
  EXPECT_GT(alloc_hooks::End().mallocs, 0) << "malloc inside the plug-in is not seen";
  host.SetBlockSize(kBlock);
  host.MainsChanged(true);
  std::vector<VstMidiEvent> keys;
  for (int k = 0; k < 12; ++k) keys.push_back(TestHost::Midi(0, 0x90, uint8_t(48 + 3 * k), 100));
  host.SendMidi(keys);
  double peak = 0.0;
  for (int b = 0; b < 20; ++b) {
    host.ProcessDoubleReplacing(kBlock);
    for (double s : host.OutputD(0)) peak = std::max(peak, std::fabs(s));
  }
  EXPECT_GT(peak, 0.01);  // Block A's ten voices sound

  for (TestHost* h : {&refused, &kept}) {
    ASSERT_TRUE(h->Instantiate()) << h->Error();
    h->StartSession(kRate, kBlock);
  }
  alloc_hooks::FailAfter(4096 * sizeof(double), 0);
  refused.SetBlockSize(4096);
  alloc_hooks::Succeed();
  for (TestHost* h : {&refused, &kept}) {
    h->SendMidi({TestHost::Midi(100, 0x90, 60, 100)});
    h->ProcessReplacing(4096);
  }
  EXPECT_EQ(refused.OutputF(0), kept.OutputF(0));
  EXPECT_EQ(refused.OutputF(1), kept.OutputF(1));
}

}  // namespace
