// Threads, for ThreadSanitizer (`make test` runs this suite in the TSan build; elsewhere output
// must stay finite and chunks whole): an audio thread renders while the user-interface thread
// and the editor work; the editor saves files while the host exchanges banks.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/params.h"
#include "plugin/IPlugVST.h"
#include "support/test_host.h"
#include "support/x11_rig.h"
#include "support/xvfb.h"

using quenta_test::TestHost;

namespace {

constexpr int kBlock = 256;

// Renders at least `blocks` blocks, and on until `stop` is set, with notes coming and going,
// float and double in turn; counts samples not finite or not written.
void RenderBlocks(TestHost& host, int blocks, std::atomic<int>& rendered,
                  std::atomic<int>& nonFinite, const std::atomic<bool>& stop) {
  for (int n = 0; n < blocks || !stop; ++n) {
    std::vector<VstMidiEvent> midi = {
        TestHost::Midi(0, 0x90, uint8_t(48 + (n * 5) % 24), 100),
        TestHost::Midi(kBlock / 2, 0x80, uint8_t(48 + ((n + 20) * 5) % 24), 0)};
    if (n % 8 == 0) midi.push_back(TestHost::Midi(kBlock - 1, 0xE0, 0, uint8_t(n % 128)));
    if (n % 16 == 0) midi.push_back(TestHost::Midi(3, 0xB0, 1, uint8_t(n % 128)));
    host.SendMidi(midi);
    if (n % 2)
      host.ProcessDoubleReplacing(kBlock);
    else
      host.ProcessReplacing(kBlock);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < kBlock; ++i) {
        const double v = n % 2 ? host.OutputD(c)[i] : host.OutputF(c)[i];
        if (!std::isfinite(v) || v == TestHost::kUnwrittenSample) ++nonFinite;
      }
    ++rendered;
  }
}

}  // namespace

// The user-interface thread automates every parameter, reads displays, switches programs,
// exchanges chunks and idles the open editor (which reads the lamps without the plug-in's
// lock) while the pointer moves over it; the second instance keeps changing its rate.
TEST(Threads, RenderWhileTheUserInterfaceAndTheEditorWorkAndAnotherInstanceChangesItsRate) {
  quenta_test::XvfbEnvironment xvfb;
  xvfb.SetUp();
  ASSERT_FALSE(quenta_test::XvfbEnvironment::Display().empty());
  {
    quenta_test::XRig rig;
    ASSERT_TRUE(rig.Ok());
    const uint32_t window = rig.MakeHostWindow(0, 0, 1500, 700);
    TestHost host, other;
    for (TestHost* h : {&host, &other}) {
      ASSERT_TRUE(h->Instantiate()) << h->Error();
      h->SetRecording(false);
    }
    host.StartSession(48000.0f, kBlock);
    other.StartSession(44100.0f, kBlock);
    // Noise on both, and a few programs with their own sound to switch between.
    for (TestHost* h : {&host, &other})
      h->Dispatch(effString2Parameter, kSHIn, 0, const_cast<char*>("Rnd"));
    for (int p = 0; p < 4; ++p) {
      host.SetProgram(p);
      host.SetParameter(BlockParam(kBlockA, kWaveform), float(p) / 5.0f);
      host.SetParameter(BlockParam(kBlockA, kCutoff), 0.3f + 0.2f * float(p));
    }
    host.SetProgram(0);
    const std::vector<uint8_t> program = host.GetChunk(false), bank = host.GetChunk(true);
    ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>((uintptr_t)window)), 1);
    ASSERT_FALSE(program.empty() || bank.empty());

    constexpr int kBlocks = 300;
    std::atomic<int> rendered{0}, renderedOther{0}, nonFinite{0};
    std::atomic<bool> stop{false};
    const std::atomic<bool> done{true};
    std::thread audio([&] { RenderBlocks(host, kBlocks, rendered, nonFinite, stop); });
    // The second instance switches between rates (a reset each time, with the rate-dependent
    // tables of its filters and oscillators, shared per rate) while the first renders at its own.
    std::thread rates([&] {
      const float rate[] = {44100.0f, 32000.0f, 96000.0f, 22050.0f};
      for (int round = 0; round < 8; ++round) {
        other.MainsChanged(false);
        other.SetSampleRate(rate[round % 4]);
        other.MainsChanged(true);
        RenderBlocks(other, 25, renderedOther, nonFinite, done);
      }
    });
    // The user-interface thread: a few rounds of every kind of request at least, and on until the
    // audio thread has rendered its blocks, however the threads are scheduled.
    size_t shortChunks = 0;
    for (int step = 0; rendered < kBlocks || step < 8; ++step) {
      for (int j = 0; j < 14; ++j) {  // every parameter in turn
        const int index = (step * 14 + j) * 37 % quenta_test::kQuentaNumParams;
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
      host.Dispatch(effEditIdle);
      rig.MoveInto(window, 100 + step % 200, 100 + step % 50);
    }
    stop = true;
    audio.join();
    rates.join();
    EXPECT_EQ(host.Dispatch(effEditClose), 1);
    EXPECT_EQ(renderedOther.load(), 200);
    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_EQ(shortChunks, 0u);
    // The state still makes the round trip after all this.
    host.SetProgram(0);
    host.SetChunk(program, false);
    EXPECT_EQ(host.GetChunk(false), program);
  }
  xvfb.TearDown();
}

TEST(Threads, FilesAreSavedWhileTheHostExchangesBanksAndSwitchesPrograms) {
  // The files are made from the programs as they stand under the plug-in's mutex, then
  // written without it.
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
