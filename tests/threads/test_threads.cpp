// Threads: a host's audio thread renders while its user-interface thread automates parameters,
// switches programs, reads displays and exchanges program and bank chunks, all through the
// exported entry point, or reads the lamps as the editor's timer does; the editor saves files
// while the host exchanges banks; and two instances at different sample rates render side by
// side while one of them keeps changing its rate. Meant to run under ThreadSanitizer (`make
// test` runs it in the TSan build), where any data race fails it; in the other builds it checks
// that the output stays finite and the chunks stay whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/instrument_helpers.h"
#include "instrument/params.h"
#include "plugin/IPlugVST.h"
#include "support/test_host.h"
#include "support/x11_rig.h"
#include "support/xvfb.h"

using quenta_test::TestHost;

namespace {

constexpr int kBlock = 256;

// Renders at least `blocks` blocks, and on until `stop` is set, with a few notes coming and
// going, alternating the float and double callbacks; counts the samples it sees that are not
// finite or were not written at all.
void RenderBlocks(TestHost& host, int blocks, std::atomic<int>& rendered,
                  std::atomic<int>& nonFinite, const std::atomic<bool>& stop) {
  for (int n = 0; n < blocks || !stop; ++n) {
    const uint8_t key = uint8_t(48 + (n * 5) % 24);
    std::vector<VstMidiEvent> midi = {
        TestHost::Midi(0, 0x90, key, 100),
        TestHost::Midi(kBlock / 2, 0x80, uint8_t(48 + ((n + 20) * 5) % 24), 0)};
    if (n % 8 == 0) midi.push_back(TestHost::Midi(kBlock - 1, 0xE0, 0, uint8_t(n % 128)));
    if (n % 16 == 0) midi.push_back(TestHost::Midi(3, 0xB0, 1, uint8_t(n % 128)));
    host.SendMidi(midi);
    int bad = 0;
    if (n % 2) {
      host.ProcessDoubleReplacing(kBlock);
      for (int c = 0; c < 2; ++c)
        for (double v : host.OutputD(c))
          bad += std::isfinite(v) && v != TestHost::kUnwrittenSample ? 0 : 1;
    } else {
      host.ProcessReplacing(kBlock);
      for (int c = 0; c < 2; ++c)
        for (float v : host.OutputF(c))
          bad += std::isfinite(v) && v != TestHost::kUnwrittenSample ? 0 : 1;
    }
    nonFinite += bad;
    ++rendered;
  }
}

TEST(Threads, RenderWhileTheUserInterfaceAutomatesSwitchesProgramsAndExchangesChunks) {
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.SetRecording(false);
  host.StartSession(48000.0f, kBlock);
  // Something for every program slot to switch between: a few programs with their own sound.
  for (int p = 0; p < 4; ++p) {
    host.SetProgram(p);
    host.SetParameter(BlockParam(kBlockA, kWaveform), float(p) / 5.0f);
    host.SetParameter(BlockParam(kBlockA, kCutoff), 0.3f + 0.2f * float(p));
  }
  host.SetProgram(0);
  const std::vector<uint8_t> program = host.GetChunk(false);
  const std::vector<uint8_t> bank = host.GetChunk(true);
  ASSERT_FALSE(program.empty());
  ASSERT_FALSE(bank.empty());

  constexpr int kBlocks = 300;
  std::atomic<int> rendered{0}, nonFinite{0};
  std::atomic<bool> stop{false};
  std::thread audio([&] { RenderBlocks(host, kBlocks, rendered, nonFinite, stop); });

  // The user-interface thread: at least a few rounds of every kind of request, and on until the
  // audio thread has rendered its blocks, however the two threads are scheduled.
  constexpr int kMinSteps = 8;
  const int automated[] = {BlockParam(kBlockA, kCutoff),
                           BlockParam(kBlockB, kPeak),
                           BlockParam(kBlockC, kMG1Freq),
                           BlockParam(kBlockA, kFMMod),
                           BlockParam(kBlockA, kFMMG1),
                           BlockParam(kBlockB, kRSInt),
                           BlockParam(kBlockC, kEMAtk),
                           BlockParam(kBlockA, kMG1Host),
                           kFinal,
                           kSHFreq,
                           kSHIn,
                           kGEGSrc1,
                           kVP1Src,
                           kPBRange};
  int step = 0;
  size_t shortChunks = 0;
  while (rendered < kBlocks || step < kMinSteps) {
    for (int index : automated) {
      host.SetParameter(index, float((step * 7 + index) % 11) / 10.0f);
      (void)host.GetParameter(index);
      (void)host.ParamDisplay(index);
    }
    switch (step % 4) {
      case 0: host.SetProgram(step / 4 % 4); break;
      case 1: host.SetChunk(program, false); break;
      case 2: shortChunks += host.GetChunk(step % 8 == 2).size() < program.size() ? 1 : 0; break;
      default: host.SetChunk(bank, true); break;
    }
    (void)host.ProgramName();
    ++step;
  }
  stop = true;
  audio.join();

  EXPECT_EQ(nonFinite.load(), 0);
  EXPECT_EQ(shortChunks, 0u);
  // The state still makes the round trip after all this.
  host.SetProgram(0);
  host.SetChunk(program, false);
  EXPECT_EQ(host.GetChunk(false), program);
}

TEST(Threads, FilesAreSavedWhileTheHostExchangesBanksAndSwitchesPrograms) {
  // The editor saves program and bank files on its thread while the host replaces the bank and
  // switches programs on another: the files are made from the programs as they stand under the
  // plug-in's mutex, then written without it.
  std::unique_ptr<IPlugVST> plug(MakePlug(IPlugInstanceInfo{}));
  AEffect* e = plug->GetAEffect();
  void* data = nullptr;
  const VstIntPtr size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
  const std::vector<uint8_t> bank((uint8_t*)data, (uint8_t*)data + size);
  const std::string folder = std::string(std::getenv("HOME")) + "/";
  WDL_String program((folder + "saved.fxp").c_str()), programs((folder + "saved.fxb").c_str());

  std::atomic<bool> stop{false};
  std::thread host([&] {
    for (int n = 0; !stop; ++n) {
      e->dispatcher(e, effSetChunk, 0, (VstIntPtr)bank.size(), (void*)bank.data(), 0.0f);
      e->dispatcher(e, effSetProgram, 0, n % 64, nullptr, 0.0f);
    }
  });
  int saved = 0;
  for (int n = 0; n < 20; ++n)
    saved += plug->SaveBankAsFXB(&programs) + plug->SaveProgramAsFXP(&program);
  stop = true;
  host.join();
  EXPECT_EQ(saved, 40);
}

TEST(Threads, TwoInstancesAtDifferentRatesRenderSideBySide) {
  // Each instance renders on its own thread; the second keeps switching between rates (a
  // reset each time, with the rate-dependent tables of its filters and oscillators) while the
  // first renders at its own rate, so the tables shared per rate are looked up and built
  // while another instance reads its own.
  TestHost first, second;
  ASSERT_TRUE(first.Instantiate()) << first.Error();
  ASSERT_TRUE(second.Instantiate()) << second.Error();
  first.SetRecording(false);
  second.SetRecording(false);
  first.StartSession(48000.0f, kBlock);
  second.StartSession(44100.0f, kBlock);
  for (TestHost* h : {&first, &second})
    h->Dispatch(effString2Parameter, kSHIn, 0, const_cast<char*>("Rnd"));  // noise on both

  constexpr int kBlocks = 200;
  std::atomic<int> renderedA{0}, renderedB{0}, nonFinite{0};
  const std::atomic<bool> done{true};  // each thread renders just its own count
  std::thread a([&] { RenderBlocks(first, kBlocks, renderedA, nonFinite, done); });
  std::thread b([&] {
    const float rates[] = {44100.0f, 32000.0f, 96000.0f, 22050.0f};
    for (int round = 0; round < 8; ++round) {
      second.MainsChanged(false);
      second.SetSampleRate(rates[round % 4]);
      second.MainsChanged(true);
      std::atomic<int> dummy{0};
      RenderBlocks(second, kBlocks / 8, dummy, nonFinite, done);
      renderedB += kBlocks / 8;
    }
  });
  a.join();
  b.join();
  EXPECT_EQ(renderedA.load(), kBlocks);
  EXPECT_EQ(renderedB.load(), kBlocks);
  EXPECT_EQ(nonFinite.load(), 0);
}

TEST(Threads, TheLampsAreReadWhileTheAudioThreadRenders) {
  // The editor's timer reads the lamps without the plug-in's lock while the audio thread
  // renders: the general envelope, started by every note and falling by itself, and the
  // modulation generators and the sample and hold, which run all the time.
  quenta_test::Direct d;
  d.Set(kGEGSrc1, kTrigMlt);
  d.Set(kGEGAuto, 1.0);
  AEffect* e = d.q().GetAEffect();
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::vector<double> left(kBlock), right(kBlock);
    double* outputs[2] = {left.data(), right.data()};
    for (int n = 0; n < 200; ++n) {
      VstMidiEvent key = TestHost::Midi(0, 0x90, uint8_t(48 + n % 24), 100);
      VstEvents list{1, 0, {reinterpret_cast<VstEvent*>(&key), nullptr}};
      e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
      e->processDoubleReplacing(e, nullptr, outputs, kBlock);
    }
    stop = true;
  });
  while (!stop) {
    bool lamps[Quenta::kNumLeds];
    d.q().computeLedStates(lamps);
  }
  audio.join();
}

}  // namespace

TEST(Threads, RenderWhileTheEditorIsOpenAndIdling) {
  // The editor's idle call takes no lock of the plug-in: it must share nothing unguarded with
  // the audio thread while the host automates and the pointer moves over the editor.
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
    host.StartSession(48000.0f, kBlock);
    ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>((uintptr_t)window)), 1);

    constexpr int kBlocks = 200;
    std::atomic<int> rendered{0}, nonFinite{0};
    std::atomic<bool> stop{false};
    std::thread audio([&] { RenderBlocks(host, kBlocks, rendered, nonFinite, stop); });
    for (int step = 0; step < 20 || rendered < kBlocks; ++step) {
      host.Dispatch(effEditIdle);
      host.SetParameter(BlockParam(kBlockA, kCutoff), float(step % 10) / 10.0f);
      rig.MoveInto(window, 100 + step % 200, 100 + step % 50);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stop = true;
    audio.join();
    EXPECT_EQ(host.Dispatch(effEditClose), 1);
    EXPECT_EQ(nonFinite.load(), 0);
  }
  xvfb.TearDown();
}
