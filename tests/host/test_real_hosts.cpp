// Call sequences of hosts as they really are: scanners, hosts that answer everything with 0,
// and odd transport records. The sanitizer build turns any memory fault
// or leak here into a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>
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

// A scanner's own minimal host callback, used where the test host's library handling must not
// take part (a real unload).
VstIntPtr ScannerCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
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
    for (VstInt32 opcode : {effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged})
      e->dispatcher(e, opcode, 0, 0, nullptr, 0.0f);
    char name[256] = {};
    e->dispatcher(e, effGetEffectName, 0, 0, name, 0.0f);
    void* chunk = nullptr;
    if (e->dispatcher(e, effGetChunk, 0, 0, &chunk, 0.0f) <= 0) std::_Exit(5);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    if (dlclose(lib) != 0) std::_Exit(6);
  }
}

}  // namespace

TEST(RealHosts, ScannersAndHostsAnsweringEverythingWithZero) {
  // A scanner: sample rate 0, block size 0, deactivation without activation, every text,
  // chunks, close, with and without effOpen. Then a host whose callback answers everything
  // with 0 and writes nothing, not even into string buffers, through a whole session.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    TestHost host;
    if (round == 2)
      host.SetScript([](const HostCall&, void*, VstIntPtr& answer) {
        answer = 0;
        return true;
      });
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    if (round != 1) host.Open();
    host.SetSampleRate(round == 2 ? 48000.0f : 0.0f);
    host.SetBlockSize(round == 2 ? 512 : 0);
    host.MainsChanged(round == 2);
    for (VstInt32 opcode : {effGetEffectName, effGetVendorString, effGetProductString})
      host.GetString(opcode);
    host.Dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent"));
    for (int p = 0; p < kQuentaNumPrograms; ++p) host.ProgramNameIndexed(p);
    for (int i = 0; i < kQuentaNumParams; ++i)
      for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        host.GetString(opcode, i);
    if (round == 2) {
      host.SendMidi({TestHost::Midi(0, 0x90, 60, 100), TestHost::Midi(300, 0x80, 60, 0)});
      host.SendSysex(4, {0xF0, 0x01, 0xF7});
      for (int b = 0; b < 50; ++b) {
        host.ProcessReplacing(512);
        ExpectFiniteOutput(host, 512);
        host.ProcessDoubleReplacing(512);
      }
      host.MainsChanged(false);
    }
    for (bool bank : {false, true}) {
      const std::vector<uint8_t> chunk = host.GetChunk(bank);
      EXPECT_FALSE(chunk.empty());
      EXPECT_EQ(host.SetChunk(chunk, bank), 1);
    }
    EXPECT_EQ(host.Close(), 0);
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

TEST(RealHosts, OddTransportRecords) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  const VstInt32 kAll = ~0;  // every validity bit, playing, cycling
  const VstInt32 kPlaying = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid;
  // Flags, tempo, position in quarters and in samples, bar start, cycle start and end, time
  // signature; one instance takes them one after the other.
  using Time = std::tuple<VstInt32, double, double, double, double, double, double, int, int>;
  const Time records[] = {{kAll, 0.0, -4.0, -1000.0, 0.0, 0.0, 0.0, 0, 0},
                          {kAll, 1e9, 1e300, 1e18, -1.0, 8.0, 4.0, INT_MAX, -3},
                          {kAll, kNaN, kInf, kNaN, kNaN, -kInf, kNaN, INT_MAX, -3},
                          {kPlaying, 1e-300, 0.0, 0.0, 0.0, 0.0, 0.0, 0, 0}};
  TestHost host;
  host.Answers().hasTimeInfo = true;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession(48000.0f, 512);
  for (const Time& record : records) {
    VstTimeInfo& t = host.Answers().timeInfo;
    std::tie(t.flags, t.tempo, t.ppqPos, t.samplePos, t.barStartPos, t.cycleStartPos, t.cycleEndPos,
             t.timeSigNumerator, t.timeSigDenominator) = record;
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    for (int b = 0; b < 20; ++b) {
      host.ProcessReplacing(512);
      ExpectFiniteOutput(host, 512);
    }
  }
}
