// quenta-render with the built Quenta.so: the demo piece, the parameter list, program and bank
// files, errors (one line on stderr, non-zero exit, no file left), the time info it hands over.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/wait.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "instrument/instrument_helpers.h"
#include "smf_bytes.h"
#include "support/test_files.h"
#include "tools/quenta_render/midi_file.h"
#include "tools/quenta_render/vst_host.h"

using namespace quenta_test;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

struct ToolRun {
  int status = -1;
  std::string out, err;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the tool with the built plug-in; stdout and stderr are captured through files.
ToolRun runTool(const std::vector<std::string>& args, bool withPlugin = true) {
  TempDir io;
  std::string cmd = quote(QUENTA_RENDER_EXE);
  if (withPlugin) cmd += " --plugin " + quote(QUENTA_SO_PATH);
  for (const std::string& a : args) cmd += " " + quote(a);
  cmd += " >" + quote(io.File("out")) + " 2>" + quote(io.File("err")) + " </dev/null";
  const int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(io.File("out")), ReadFile(io.File("err"))};
}

void WriteSong(const std::string& path, const smf::Bytes& song) {
  WriteFile(path, std::string(song.begin(), song.end()));
}

// A WAV file's format and its interleaved samples.
struct Wav {
  SF_INFO info{};
  std::vector<float> samples;
};
Wav ReadWav(const std::string& path) {
  Wav w;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &w.info);
  EXPECT_NE(f, nullptr) << path;
  if (!f) return w;
  w.samples.resize(size_t(w.info.frames * w.info.channels));
  sf_readf_float(f, w.samples.data(), w.info.frames);
  sf_close(f);
  return w;
}

// A bad run: exit code 1 (2 for command-line errors), exactly one line on stderr containing what.
void expectOneLineError(const ToolRun& r, const std::string& what, int status = 1) {
  EXPECT_EQ(r.status, status);
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_EQ(r.err.rfind("quenta-render: error: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

const smf::Bytes kShortSong = smf::file(
    0, 96,
    {smf::track({{0, {0x90, 60, 100}}, {0, {0x90, 64, 100}}, {96, {0x80, 60, 0}}, {0, {64, 0}}})});

TEST(Tool, RendersTheDemoPieceToItsLengthPlusTheTail) {
  qrender::MidiFile demo;
  std::string error;
  ASSERT_TRUE(qrender::loadMidiFile(QUENTA_DEMO_MIDI, demo, error)) << error;
  // The first key comes after the 0.1 s in which a program just loaded glides its filter in
  // from fully open (struck at 0 it clicked).
  const auto firstKey = std::find_if(demo.events.begin(), demo.events.end(), [](const auto& e) {
    return (e.data[0] & 0xF0) == 0x90 && e.data[2] > 0;
  });
  ASSERT_NE(firstKey, demo.events.end());
  EXPECT_GE(firstKey->seconds, 0.1);

  TempDir dir;
  ToolRun r = runTool({QUENTA_DEMO_MIDI, "-o", dir.File("demo.wav"), "-r", "44100", "-b", "300",
                       "--tail", "0.5", "--bench"});
  ASSERT_EQ(r.status, 0) << r.err;
  const SF_INFO info = ReadWav(dir.File("demo.wav")).info;
  EXPECT_EQ(info.frames, qrender::secondsToFrame(demo.lengthSeconds, 44100) + 22050);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  for (const char* shown : {"peak level: ", " dBFS", "realtime factor: ", "ns per sample"})
    EXPECT_NE(r.out.find(shown), std::string::npos) << r.out;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"demo.wav"});
}

TEST(Tool, BadInputGivesOneLineAndNoFile) {
  TempDir dir;
  std::string out = dir.File("out.wav");
  WriteSong(dir.File("short.mid"), kShortSong);
  WriteFile(dir.File("text.mid"), "not a midi file");
  std::string foreign("CcnK\0\0\0\0FBCh\0\0\0\2xxxx", 20);
  foreign.resize(159, '\0');
  WriteFile(dir.File("foreign.fxb"), foreign + std::string("\4\1\2\3\4", 5));  // chunk size 4

  const std::string song = dir.File("short.mid");
  const struct {
    std::vector<std::string> args;
    const char* message;
    int status;
  } cases[] = {
      {{dir.File("missing.mid"), "-o", out}, "missing.mid: No such file or directory", 1},
      {{dir.File("text.mid"), "-o", out}, "text.mid: not a Standard MIDI File", 1},
      {{song, "-o", out, "--set", "No Such Param=1"}, "unknown parameter \"No Such Param\"", 1},
      {{song, "-o", out, "--set", "A:Cutoff=1.5"}, "1.5 is out of range (0.00 to 1.00)", 1},
      {{song, "-o", out, "--bank", dir.File("none.fxb")}, "none.fxb: No such file or directory", 1},
      {{song, "-o", out, "--bank", dir.File("foreign.fxb")},
       "foreign bank: made for plug-in ID 'xxxx', this plug-in is 'qnta'",
       1},
      {{song, "-o", out, "--program", song}, "not a VST program file", 1},
      {{song, "-o", out, "-p", "64"}, "program number 64 out of range (0 to 63)", 1},
      {{song, "-o", dir.File("no/such/dir/out.wav")}, "no/such/dir", 1},
      {{song, "-r", "22"}, "sample rate", 2},
      {{"--list-params", "--wrong"}, "unknown option --wrong", 2},
  };
  for (const auto& c : cases) expectOneLineError(runTool(c.args), c.message, c.status);
  expectOneLineError(runTool({song, "-o", out, "--plugin", song}, false), "cannot load plug-in");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"foreign.fxb", "short.mid", "text.mid"}));

  // A failed run leaves an existing output as it was.
  WriteFile(out, "old");
  EXPECT_NE(runTool({song, "-o", out, "--set", "Final=not a number"}).status, 0);
  EXPECT_EQ(ReadFile(out), "old");
  EXPECT_EQ(dir.Entries().size(), 4u);
}

TEST(Tool, ListParamsWithSettingsByName) {
  // Every parameter on a line of its own: index, Block letter or "global", name, value.
  ToolRun r = runTool({"--list-params", "--set", "A:Cutoff=0.4", "--set", "TVCA Src=GE3+", "--set",
                       "B:Waveform=Square", "--set", "PB Range=-12"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 229u);
  // The Block column at 5, the name column at 13, the value column at 25.
  const std::pair<int, const char*> starts[] = {{0, "  0  A       "},   {60, " 60  A       "},
                                                {61, " 61  B       "},  {182, "182  C       "},
                                                {183, "183  global  "}, {228, "228  global  "}};
  for (const auto& [n, start] : starts) EXPECT_EQ(lines[n].substr(0, 13), start);
  EXPECT_EQ(lines[23].substr(13), "Cutoff      0.40");
  EXPECT_NE(lines[184].find("GE3+"), std::string::npos) << lines[184];
  EXPECT_NE(lines[61 + 12].find("Square"), std::string::npos) << lines[73];
  EXPECT_EQ(lines[186].substr(25), "-12");
}

// Program and bank files of the instrument's own writing, and a program file of the parameter
// form, come back through --program and --bank.
TEST(Tool, ProgramAndBankFilesAreApplied) {
  const auto finalLine = [](std::vector<std::string> args) {
    args.insert(args.begin(), "--list-params");
    const ToolRun r = runTool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    return lines.size() > size_t(kFinal) ? lines[kFinal] : std::string();
  };
  const std::string changed = finalLine({"--set", "Final=0.7"});
  EXPECT_NE(finalLine({}), changed);

  TempDir dir;
  Direct inst;
  inst.Set(kFinal, 0.7);
  inst.q().ModifyCurrentPreset();  // the live sound stored into program 0, for the bank
  WDL_String fxp(dir.File("chunk.fxp").c_str()), fxb(dir.File("bank.fxb").c_str());
  ASSERT_TRUE(inst.q().SaveProgramAsFXP(&fxp));
  ASSERT_TRUE(inst.q().SaveBankAsFXB(&fxb));
  // The parameter form: the header up to the program's name, then every normalised value.
  const AEffect* e = inst.q().GetAEffect();
  std::string params = "CcnK";
  PutBE32(params, 0);
  params += "FxCk";
  for (int v : {1, e->uniqueID, e->version, e->numParams}) PutBE32(params, uint32_t(v));
  params.resize(params.size() + 28, '\0');
  for (int i = 0; i < e->numParams; ++i) {
    const float f = float(inst.q().GetParam(i)->GetNormalized());
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutBE32(params, bits);
  }
  WriteFile(dir.File("params.fxp"), params);
  for (const auto& [option, file] :
       {std::pair{"--program", "chunk.fxp"}, {"--program", "params.fxp"}, {"--bank", "bank.fxb"}})
    EXPECT_EQ(finalLine({option, dir.File(file)}), changed) << file;
}

TEST(Tool, ChannelPlaysOnlyItsPartAndMixAddsToTheFile) {
  TempDir dir;
  // Two notes on MIDI channel 2 (status 0x91), none elsewhere.
  WriteSong(dir.File("song.mid"), smf::file(0, 96,
                                            {smf::track({{0, {0x91, 57, 100}},
                                                         {0, {0x91, 64, 100}},
                                                         {96, {0x81, 57, 0}},
                                                         {0, {0x81, 64, 0}}})}));
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {dir.File("song.mid"), "--tail", "0.2", "-q"};
    args.insert(args.end(), extra.begin(), extra.end());
    return runTool(args);
  };
  ASSERT_EQ(run({"-o", dir.File("all.wav")}).status, 0);
  ASSERT_EQ(run({"-o", dir.File("two.wav"), "--channel", "2"}).status, 0);
  ASSERT_EQ(run({"-o", dir.File("one.wav"), "--channel", "1"}).status, 0);
  const std::vector<float> all = ReadWav(dir.File("all.wav")).samples;
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(ReadWav(dir.File("two.wav")).samples, all);
  const std::vector<float> one = ReadWav(dir.File("one.wav")).samples;
  ASSERT_EQ(one.size(), all.size());  // the song keeps its length without its notes
  EXPECT_TRUE(std::all_of(one.begin(), one.end(), [](float x) { return x == 0.0f; }));
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](float x) { return std::fabs(x) > 0.01f; }));

  // Mixing the same render in again doubles every sample; a longer file keeps its length.
  ToolRun mixed =
      runTool({dir.File("song.mid"), "--tail", "0.2", "-o", dir.File("all.wav"), "--mix"});
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_NE(mixed.out.find("mixed into"), std::string::npos) << mixed.out;
  const std::vector<float> twice = ReadWav(dir.File("all.wav")).samples;
  ASSERT_EQ(twice.size(), all.size());
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(twice[i], 2.0f * all[i]) << "sample " << i;
  ASSERT_EQ(run({"-o", dir.File("all.wav"), "--mix", "--tail", "0"}).status, 0);
  EXPECT_EQ(ReadWav(dir.File("all.wav")).samples.size(), all.size());

  expectOneLineError(run({"-o", dir.File("none.wav"), "--mix"}), "cannot mix into");
  ASSERT_EQ(run({"-o", dir.File("fast.wav"), "-r", "44100"}).status, 0);
  expectOneLineError(run({"-o", dir.File("fast.wav"), "--mix"}), "not a stereo file at 48000 Hz");
}

// A key half a quarter note in (0.25 s, frame 12000): host blocks that keep the instrument's
// 1 ms frames whole give the same samples; the key sounds within a frame of its time. Quiet
// runs print nothing; without -o the output is named after the song.
TEST(Tool, HostBlockSizesGiveTheSameFileAndKeysSoundOnTime) {
  TempDir dir;
  WriteSong(dir.File("key.mid"),
            smf::file(0, 96, {smf::track({{48, {0x90, 60, 100}}, {96, {0x80, 60, 0}}})}));
  for (const char* block : {"480", "512"}) {
    const ToolRun r = runTool({dir.File("key.mid"), "-q", "--format", "pcm24", "--tail", "0.1",
                               "-b", block, "-o", dir.File(std::string(block) + ".wav")});
    ASSERT_EQ(r.status, 0) << block << r.err;
  }
  const ToolRun r =
      runTool({dir.File("key.mid"), "-q", "--format", "pcm24", "--tail", "0.1", "-b", "48"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  const Wav a = ReadWav(dir.File("key.wav"));
  EXPECT_EQ(a.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(a.info.frames, 36000 + 4800);  // 0.75 s of song at 48000 Hz, 0.1 s of tail
  EXPECT_EQ(ReadWav(dir.File("480.wav")).samples, a.samples);
  const std::vector<float> c = ReadWav(dir.File("512.wav")).samples;
  for (const std::vector<float>* w : {&a.samples, &c}) {
    const auto first = std::find_if(w->begin(), w->end(), [](float x) { return x != 0.0f; });
    ASSERT_NE(first, w->end());
    EXPECT_NEAR(double(first - w->begin()) / 2, 12000, 48);
  }
}

// The time info the tool hands a plug-in: song position, tempo, bars and transport flags.
TEST(HostCallback, TimeInfoFollowsTheTransport) {
  constexpr VstInt32 kTimeFlags =
      kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
  qrender::PluginHost host;
  AEffect effect{};
  effect.resvd1 = (VstIntPtr)&host;
  const auto timeInfo = [&effect] {
    return *(VstTimeInfo*)qrender::PluginHost::callback(&effect, audioMasterGetTime, 0, kTimeFlags,
                                                        nullptr, 0.0f);
  };
  qrender::Transport& t = host.transport();
  t = {44100.0, 90.0, 3, 8, 44100 * 3, true, false};  // 3/8: bars of 1.5 quarter notes
  VstTimeInfo ti = timeInfo();
  EXPECT_EQ(ti.samplePos, 132300.0);
  EXPECT_EQ(ti.sampleRate, 44100.0);
  EXPECT_DOUBLE_EQ(ti.ppqPos, 4.5);  // 3 s at 1.5 quarters per second
  EXPECT_EQ(ti.tempo, 90.0);
  EXPECT_DOUBLE_EQ(ti.barStartPos, 4.5);
  EXPECT_EQ(ti.timeSigNumerator, 3);
  EXPECT_EQ(ti.timeSigDenominator, 8);
  EXPECT_EQ(ti.flags & (kTimeFlags | kVstTransportPlaying), kTimeFlags | kVstTransportPlaying);
  EXPECT_EQ(ti.flags & (kVstTransportChanged | kVstTransportCycleActive | kVstCyclePosValid), 0);

  t.samplePos = 44100 * 3 + 100;
  EXPECT_DOUBLE_EQ(timeInfo().barStartPos, 4.5);  // still in the fourth bar
  t.playing = false;
  t.changed = true;
  EXPECT_EQ(timeInfo().flags & (kVstTransportPlaying | kVstTransportChanged), kVstTransportChanged);
  EXPECT_EQ(host.timeQueries(), 3);
}

}  // namespace
