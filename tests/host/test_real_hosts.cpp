// Call sequences of hosts as they really are: scanners, hosts that answer everything with 0,
// float-only hosts, repeated activation, and odd transport records. The
// sanitizer build turns any memory fault or leak here into a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

void ExpectFiniteOutput(const TestHost& host, int frames) {
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < frames; ++i) {
      const float s = host.OutputF(ch)[static_cast<size_t>(i)];
      ASSERT_TRUE(std::isfinite(s) && s != TestHost::kUnwrittenSample)
          << "channel " << ch << " sample " << i;
    }
}

// What a scanner asks before it closes the plug-in again.
void ScannerQueries(TestHost& host) {
  host.EffectName();
  host.VendorString();
  host.ProductString();
  host.Dispatch(effGetVendorVersion);
  host.Dispatch(effGetPlugCategory);
  host.Dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent"));
  for (int p = 0; p < kQuentaNumPrograms; ++p) host.ProgramNameIndexed(p);
  for (int i = 0; i < kQuentaNumParams; ++i) {
    host.ParamName(i);
    host.ParamLabel(i);
    host.ParamDisplay(i);
  }
}

// A scanner's own minimal host callback, used where the test host's library handling must not
// take part (a real unload).
VstIntPtr ScannerCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

}  // namespace

TEST(RealHosts, ScannerSequence) {
  // Open, sample rate 0, block size 0, deactivation without activation, chunks, close.
  for (bool withOpen : {true, false}) {
    SCOPED_TRACE(withOpen ? "with effOpen" : "without effOpen");
    TestHost host;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    if (withOpen) host.Open();
    host.SetSampleRate(0.0f);
    host.SetBlockSize(0);
    host.MainsChanged(false);
    ScannerQueries(host);
    EXPECT_FALSE(host.GetChunk(false).empty());
    EXPECT_FALSE(host.GetChunk(true).empty());
    EXPECT_EQ(host.Close(), 0);
  }
}

// A scanner process: loads the library, creates, queries and closes an instance, unloads the
// library and does it all again. Exit code 0 only when every step worked.
void ScanLoadAndUnload(int rounds) {
  for (int round = 0; round < rounds; ++round) {
    void* lib = dlopen(QUENTA_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) std::_Exit(2);
    using EntryProc = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<EntryProc>(dlsym(lib, "VSTPluginMain"));
    if (!entry) std::_Exit(3);
    AEffect* e = entry(ScannerCallback);
    if (!e || e->magic != kEffectMagic) std::_Exit(4);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetBlockSize, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    char name[256] = {};
    e->dispatcher(e, effGetEffectName, 0, 0, name, 0.0f);
    void* chunk = nullptr;
    if (e->dispatcher(e, effGetChunk, 0, 0, &chunk, 0.0f) <= 0) std::_Exit(5);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    if (dlclose(lib) != 0) std::_Exit(6);
  }
}

// Guards the leak of the per-rate tables on unload (found by LeakSanitizer): a normal exit
// runs the leak check in the child process of the sanitizer build.
TEST(RealHosts, ScannerInItsOwnProcessUnloadsAndReloadsLeavingNothingBehind) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, the library not yet loaded
  EXPECT_EXIT(
      {
        ScanLoadAndUnload(3);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(RealHosts, OddLifecycles) {
  // Closed right after creation; activated twice and deactivated twice; processing before
  // activation; closed while still active.
  for (int round = 0; round < 3; ++round) {
    TestHost host;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    EXPECT_EQ(host.Close(), 0);
  }
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.Open();
  host.SetSampleRate(44100.0f);
  host.SetBlockSize(512);
  host.ProcessReplacing(512);
  ExpectFiniteOutput(host, 512);
  host.MainsChanged(true);
  host.MainsChanged(true);
  host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
  host.ProcessReplacing(512);
  ExpectFiniteOutput(host, 512);
  host.MainsChanged(false);
  host.MainsChanged(false);
  host.MainsChanged(true);
  host.ProcessReplacing(512);
  ExpectFiniteOutput(host, 512);
  EXPECT_EQ(host.Close(), 0);
}

TEST(RealHosts, FloatOnlyHostWithEventsBeyondTheBlock) {
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.SetRecording(false);
  host.StartSession(44100.0f, 512);
  const std::vector<int> sizes = {512, 37, 475, 512, 1, 511, 200, 312};
  for (int b = 0; b < 200; ++b) {
    const int n = sizes[static_cast<size_t>(b) % sizes.size()];
    if (b % 3 == 0)
      host.SendMidi({TestHost::Midi(n + 5, 0x90, static_cast<uint8_t>(36 + b % 48), 100),
                     TestHost::Midi(n * 4, 0x80, static_cast<uint8_t>(36 + (b + 40) % 48), 0),
                     TestHost::Midi(n - 1, 0xB0, 1, static_cast<uint8_t>(b % 128))});
    host.ProcessReplacing(n);
    ExpectFiniteOutput(host, n);
  }
}

TEST(RealHosts, HostAnsweringEverythingWithZero) {
  TestHost host;
  host.SetScript([](const HostCall&, void*, VstIntPtr& answer) {
    answer = 0;
    return true;  // writes nothing, not even into string buffers
  });
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession(48000.0f, 512);
  ScannerQueries(host);
  host.SendMidi({TestHost::Midi(0, 0x90, 60, 100), TestHost::Midi(300, 0x80, 60, 0)});
  host.SendSysex(4, {0xF0, 0x01, 0xF7});
  for (int b = 0; b < 50; ++b) {
    host.ProcessReplacing(512);
    ExpectFiniteOutput(host, 512);
    host.ProcessDoubleReplacing(512);
  }
  const std::vector<uint8_t> bank = host.GetChunk(true);
  EXPECT_EQ(host.SetChunk(bank, true), 1);
  const std::vector<uint8_t> program = host.GetChunk(false);
  EXPECT_EQ(host.SetChunk(program, false), 1);
  host.MainsChanged(false);
  EXPECT_EQ(host.Close(), 0);
}

TEST(RealHosts, OddTransportRecords) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  const VstInt32 kAll = ~0;  // every validity bit, playing, cycling
  const VstInt32 kPlaying = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid;
  const struct {
    VstInt32 flags;
    double tempo, ppq, samplePos, barStart, cycleStart, cycleEnd, rate;
    VstInt32 num, den;
  } cases[] = {
      {kAll, 0.0, -4.0, -1000.0, 0.0, 0.0, 0.0, 0.0, 0, 0},
      {kAll, 1e9, 1e300, 1e18, -1.0, 8.0, 4.0, 0.0, INT_MAX, -3},
      {kAll, kNaN, kInf, kNaN, kNaN, -kInf, kNaN, 0.0, INT_MAX, -3},
      {kPlaying, 1e-300, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0, 0},
  };
  std::vector<VstTimeInfo> records;
  for (const auto& c : cases) {
    VstTimeInfo t{};
    t.flags = c.flags;
    t.tempo = c.tempo;
    t.ppqPos = c.ppq;
    t.samplePos = c.samplePos;
    t.barStartPos = c.barStart;
    t.cycleStartPos = c.cycleStart;
    t.cycleEndPos = c.cycleEnd;
    t.sampleRate = c.rate;
    t.timeSigNumerator = c.num;
    t.timeSigDenominator = c.den;
    records.push_back(t);
  }
  for (size_t r = 0; r < records.size(); ++r) {
    SCOPED_TRACE(r);
    TestHost host;
    host.Answers().hasTimeInfo = true;
    host.Answers().timeInfo = records[r];
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.StartSession(48000.0f, 512);
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    for (int b = 0; b < 20; ++b) {
      host.ProcessReplacing(512);
      ExpectFiniteOutput(host, 512);
    }
  }
}
