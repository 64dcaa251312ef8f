// The exported entry points, the AEffect record a host receives from them, how the plug-in
// identifies its host when opened, and call sequences of hosts as they really are: scanners,
// hosts that answer everything with 0, odd transport records. The sanitizer build turns any
// memory fault or leak here into a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

// Literal values, so that a wrong constant in the plug-in's own interface header shows too.
void ExpectQuentaIdentity(const AEffect* e) {
  EXPECT_EQ(e->magic, 0x56737450);  // 'VstP'
  EXPECT_EQ(e->flags, 0x1131);      // editor, replacing, double replacing, chunks, synth
  EXPECT_EQ(e->numParams, kQuentaNumParams);
  EXPECT_EQ(e->numPrograms, kQuentaNumPrograms);
  EXPECT_EQ(e->numInputs, 0);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->uniqueID, 0x716E7461);  // 'qnta'
  EXPECT_EQ(e->version, kQuentaVersion);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_TRUE(e->dispatcher && e->process && e->processReplacing && e->processDoubleReplacing &&
              e->setParameter && e->getParameter && e->object);
  EXPECT_EQ(e->resvd1 | e->resvd2, 0);
  EXPECT_EQ(e->realQualities | e->offQualities, 0);
  for (char c : e->future) EXPECT_EQ(c, 0);
}

void ExpectFiniteOutput(const TestHost& host, int frames) {
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < frames; ++i) {
      const float s = host.OutputF(ch)[static_cast<size_t>(i)];
      ASSERT_TRUE(std::isfinite(s) && s != TestHost::kUnwrittenSample)
          << "channel " << ch << " sample " << i;
    }
}

}  // namespace

TEST(Entry, EveryKindOfHostGetsTheSameInstrumentWithBothOutputs) {
  // effOpen identifies the host: the product, then (only when there is one) the version, once
  // per instance however often the host opens it. Some hosts make the plug-in limit itself to
  // stereo input, which must not touch the outputs; some answer the process level with
  // offline rendering, or with nonsense; any version answer is safe (huge decimal versions,
  // major 32768 and up, once shifted a signed int out of range).
  const struct {
    const char* product;
    VstIntPtr level, version;
  } cases[] = {{"Forte", kVstProcessLevelRealtime, -1},
               {"Adobe Audition", kVstProcessLevelUnknown, 0},
               {"Orion Platinum", kVstProcessLevelUnknown, INT_MIN},
               {"SAWStudio", kVstProcessLevelUnknown, 99999999},
               {"REAPER", kVstProcessLevelOffline, 100000000},
               {"Live", -1, 327680000},
               {"Bitwig Studio", 1000, INT_MAX},
               {"Cubase VST", kVstProcessLevelUnknown, VstIntPtr{1} << 40},
               {"", kVstProcessLevelOffline, 60123}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    TestHost host;
    host.Answers().productString = c.product;
    host.Answers().vendorVersion = c.version;
    host.Answers().processLevel = c.level;
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    ExpectQuentaIdentity(host.Effect());
    host.StartSession(48000.0f, 256);
    host.Open();
    ExpectQuentaIdentity(host.Effect());
    host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
    host.ProcessReplacing(256);
    ExpectFiniteOutput(host, 256);
    host.GetChunk(true);
    std::vector<VstInt32> asked, expected = {audioMasterGetProductString};
    if (c.product[0]) expected.push_back(audioMasterGetVendorVersion);
    for (const HostCall& call : host.Calls())
      if (call.opcode == audioMasterGetProductString || call.opcode == audioMasterGetVendorVersion)
        asked.push_back(call.opcode);
    EXPECT_EQ(asked, expected);
  }
}

TEST(Entry, OnlyTheEntryPointsAreExported) {
  const std::string command =
      std::string("nm -D --defined-only '") + QUENTA_SO_PATH + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) GTEST_SKIP() << "nm is not available";
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream in(line);
    std::string address, type, name;
    // Symbols the linker defines for every shared object are not the project's own.
    if (in >> address >> type >> name && name.rfind("_", 0) != 0)
      names.insert(name.substr(0, name.find('@')));
  }
  const int status = pclose(pipe);
  if (names.empty() && status != 0) GTEST_SKIP() << "nm failed";
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
  TestHost host;
  ASSERT_TRUE(host.Instantiate(Entry::Main)) << host.Error();
  ExpectQuentaIdentity(host.Effect());
}

TEST(RealHosts, ScannersAndHostsAnsweringEverythingWithZero) {
  // A scanner (rate and block size 0, deactivation without activation, every text, chunks), with
  // and without effOpen; then a whole session with a host that answers 0 and writes nothing.
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
  // A scanner process: loads the library, creates, queries and closes an instance, unloads the
  // library and does it all again. Exit code 0 only when every step worked.
  EXPECT_EXIT(
      {
        for (int round = 0; round < 3; ++round) {
          void* lib = dlopen(QUENTA_SO_PATH, RTLD_NOW | RTLD_LOCAL);
          if (!lib) std::_Exit(2);
          using EntryProc = AEffect* (*)(audioMasterCallback);
          auto entry = reinterpret_cast<EntryProc>(dlsym(lib, "VSTPluginMain"));
          if (!entry) std::_Exit(3);
          // The scanner's own host callback: the test host's library handling takes no part.
          AEffect* e = entry([](AEffect*, VstInt32 op, VstInt32, VstIntPtr, void*, float) {
            return op == audioMasterVersion ? VstIntPtr{kVstVersion} : VstIntPtr{0};
          });
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
