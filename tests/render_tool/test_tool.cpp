// quenta-render as a user runs it, with the built Quenta.so: a render of the demo piece, the
// parameter list, and the error paths (one line on stderr, non-zero exit, no file left behind).
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <sys/wait.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "smf_bytes.h"
#include "test_files.h"
#include "tools/quenta_render/midi_file.h"

using namespace quenta_test;

using quenta_test::slurp;
using quenta_test::TempDir;
using quenta_test::writeFile;

namespace {

struct ToolRun {
  int status = -1;
  std::string out, err;
  std::vector<std::string> errLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
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
  ToolRun r;
  int rc = std::system(cmd.c_str());
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = slurp(io.File("out"));
  r.err = slurp(io.File("err"));
  return r;
}

SF_INFO wavInfo(const std::string& path) {
  SF_INFO info;
  std::memset(&info, 0, sizeof(info));
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(f, nullptr) << path;
  if (f) sf_close(f);
  return info;
}

// A bad run: exit code 1 (2 for command-line errors), exactly one line on stderr containing what.
void expectOneLineError(const ToolRun& r, const std::string& what, int status = 1) {
  EXPECT_EQ(r.status, status);
  ASSERT_EQ(r.errLines().size(), 1u) << r.err;
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
  EXPECT_GE(demo.lengthSeconds, 20.0);
  EXPECT_LE(demo.lengthSeconds, 30.0);
  // The first key comes after the 0.1 s in which a program just loaded glides its filter in
  // from fully open (struck at 0 it clicked).
  const auto isKey = [](const qrender::MidiEvent& e) {
    return (e.data[0] & 0xF0) == 0x90 && e.data[2] > 0;
  };
  const auto firstKey = std::find_if(demo.events.begin(), demo.events.end(), isKey);
  ASSERT_NE(firstKey, demo.events.end());
  EXPECT_GE(firstKey->seconds, 0.1);

  TempDir dir;
  ToolRun r = runTool({QUENTA_DEMO_MIDI, "-o", dir.File("demo.wav"), "-r", "44100", "-b", "300",
                       "--tail", "0.5", "--bench"});
  ASSERT_EQ(r.status, 0) << r.err;
  SF_INFO info = wavInfo(dir.File("demo.wav"));
  EXPECT_EQ(info.frames, qrender::secondsToFrame(demo.lengthSeconds, 44100) + 22050);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_NE(r.out.find("peak level: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" dBFS"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("realtime factor: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ns per sample"), std::string::npos) << r.out;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"demo.wav"});
}

TEST(Tool, Pcm24QuietAndTheDefaultOutputName) {
  TempDir dir;
  writeFile(dir.File("short.mid"), kShortSong);
  ToolRun r = runTool({dir.File("short.mid"), "--format", "pcm24", "--tail", "0.1", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_TRUE(r.err.empty()) << r.err;
  SF_INFO info = wavInfo(dir.File("short.wav"));
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(info.frames, 24000 + 4800);  // 0.5 s of song at 48000 Hz, 0.1 s of tail
}

TEST(Tool, BadInputGivesOneLineAndNoFile) {
  TempDir dir;
  std::string out = dir.File("out.wav");
  writeFile(dir.File("short.mid"), kShortSong);
  smf::Bytes broken(kShortSong.begin(), kShortSong.end() - 6);
  writeFile(dir.File("broken.mid"), broken);
  writeFile(dir.File("text.mid"),
            {'n', 'o', 't', ' ', 'a', ' ', 'm', 'i', 'd', 'i', ' ', 'f', 'i', 'l', 'e'});
  std::vector<uint8_t> foreign(160, 0);
  std::memcpy(foreign.data(), "CcnK\0\0\0\0FBCh\0\0\0\2xxxx", 20);
  foreign[159] = 4;  // chunk size 4
  foreign.insert(foreign.end(), {1, 2, 3, 4});
  writeFile(dir.File("foreign.fxb"), foreign);

  expectOneLineError(runTool({dir.File("missing.mid"), "-o", out}),
                     "missing.mid: No such file or directory");
  expectOneLineError(runTool({dir.File("broken.mid"), "-o", out}),
                     "broken.mid: track 1 is truncated");
  expectOneLineError(runTool({dir.File("text.mid"), "-o", out}),
                     "text.mid: not a Standard MIDI File");
  expectOneLineError(runTool({dir.File("short.mid"), "-o", out, "--set", "No Such Param=1"}),
                     "unknown parameter \"No Such Param\"");
  expectOneLineError(runTool({dir.File("short.mid"), "-o", out, "--set", "A:Cutoff=1.5"}),
                     "1.5 is out of range (0.00 to 1.00)");
  expectOneLineError(runTool({dir.File("short.mid"), "-o", out, "--bank", dir.File("none.fxb")}),
                     "none.fxb: No such file or directory");
  expectOneLineError(runTool({dir.File("short.mid"), "-o", out, "--bank", dir.File("foreign.fxb")}),
                     "foreign bank: made for plug-in ID 'xxxx', this plug-in is 'qnta'");
  expectOneLineError(
      runTool({dir.File("short.mid"), "-o", out, "--program", dir.File("short.mid")}),
      "not a VST program file");
  expectOneLineError(runTool({dir.File("short.mid"), "-o", out, "-p", "64"}),
                     "program number 64 out of range (0 to 63)");
  expectOneLineError(runTool({dir.File("short.mid"), "-o", dir.File("no/such/dir/out.wav")}),
                     "no/such/dir");
  expectOneLineError(
      runTool({dir.File("short.mid"), "-o", out, "--plugin", dir.File("short.mid")}, false),
      "cannot load plug-in");
  expectOneLineError(runTool({dir.File("short.mid"), "-r", "22"}), "sample rate", 2);
  expectOneLineError(runTool({"--list-params", "--wrong"}), "unknown option --wrong", 2);
  EXPECT_EQ(dir.Entries(),
            (std::vector<std::string>{"broken.mid", "foreign.fxb", "short.mid", "text.mid"}));
}

TEST(Tool, FailedRunKeepsAnExistingOutput) {
  TempDir dir;
  writeFile(dir.File("short.mid"), kShortSong);
  writeFile(dir.File("out.wav"), {'o', 'l', 'd'});
  ToolRun r =
      runTool({dir.File("short.mid"), "-o", dir.File("out.wav"), "--set", "Final=not a number"});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(slurp(dir.File("out.wav")), "old");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out.wav", "short.mid"}));
}

TEST(Tool, ListParamsWithSettingsByName) {
  // Every parameter on a line of its own: index, Block letter or "global", name, value.
  ToolRun r = runTool({"--list-params", "--set", "A:Cutoff=0.4", "--set", "TVCA Src=GE3+", "--set",
                       "B:Waveform=Square", "--set", "PB Range=-12"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 229u);
  for (int n = 0; n < 229; ++n) {
    int index = -1;
    char where[16] = {0};
    ASSERT_EQ(std::sscanf(lines[size_t(n)].c_str(), "%d %15s", &index, where), 2)
        << lines[size_t(n)];
    EXPECT_EQ(index, n);
    EXPECT_EQ(where, n < 183 ? std::string(1, char('A' + n / 61)) : "global") << lines[size_t(n)];
  }
  auto value = [&](int index) {
    std::string line = lines[(size_t)index];
    return line.substr(line.find_last_of(' ', line.size() - 2) + 1);
  };
  EXPECT_NE(lines[23].find("Cutoff"), std::string::npos);
  EXPECT_EQ(value(23), "0.40");
  EXPECT_NE(lines[184].find("GE3+"), std::string::npos) << lines[184];
  EXPECT_NE(lines[61 + 12].find("Square"), std::string::npos) << lines[73];
  EXPECT_EQ(value(186), "-12");
}

}  // namespace

namespace {
std::vector<float> wavSamples(const std::string& path) {
  SF_INFO info;
  std::memset(&info, 0, sizeof(info));
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(f, nullptr) << path;
  if (!f) return {};
  std::vector<float> s((size_t)(info.frames * info.channels));
  sf_readf_float(f, s.data(), info.frames);
  sf_close(f);
  return s;
}
}  // namespace

TEST(Tool, ChannelPlaysOnlyItsPartAndMixAddsToTheFile) {
  TempDir dir;
  // Two notes on MIDI channel 2 (status 0x91), none elsewhere.
  const smf::Bytes song = smf::file(
      0, 96,
      {smf::track(
          {{0, {0x91, 57, 100}}, {0, {0x91, 64, 100}}, {96, {0x81, 57, 0}}, {0, {0x81, 64, 0}}})});
  writeFile(dir.File("song.mid"), song);
  const std::vector<std::string> common = {dir.File("song.mid"), "--tail", "0.2", "-q"};
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = common;
    args.insert(args.end(), extra.begin(), extra.end());
    return runTool(args);
  };
  ASSERT_EQ(run({"-o", dir.File("all.wav")}).status, 0);
  ASSERT_EQ(run({"-o", dir.File("two.wav"), "--channel", "2"}).status, 0);
  ASSERT_EQ(run({"-o", dir.File("one.wav"), "--channel", "1"}).status, 0);
  const std::vector<float> all = wavSamples(dir.File("all.wav"));
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(wavSamples(dir.File("two.wav")), all);
  const std::vector<float> one = wavSamples(dir.File("one.wav"));
  ASSERT_EQ(one.size(), all.size());  // the song keeps its length without its notes
  EXPECT_TRUE(std::all_of(one.begin(), one.end(), [](float x) { return x == 0.0f; }));
  float peak = 0.0f;
  for (float x : all) peak = std::max(peak, std::fabs(x));
  EXPECT_GT(peak, 0.01f);

  // Mixing the same render in again doubles every sample; a longer file keeps its length.
  ToolRun mixed =
      runTool({dir.File("song.mid"), "--tail", "0.2", "-o", dir.File("all.wav"), "--mix"});
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_NE(mixed.out.find("mixed into"), std::string::npos) << mixed.out;
  const std::vector<float> twice = wavSamples(dir.File("all.wav"));
  ASSERT_EQ(twice.size(), all.size());
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(twice[i], 2.0f * all[i]) << "sample " << i;
  ASSERT_EQ(run({"-o", dir.File("all.wav"), "--mix", "--tail", "0"}).status, 0);
  EXPECT_EQ(wavSamples(dir.File("all.wav")).size(), all.size());

  expectOneLineError(run({"-o", dir.File("none.wav"), "--mix"}), "cannot mix into");
  ASSERT_EQ(run({"-o", dir.File("fast.wav"), "-r", "44100"}).status, 0);
  expectOneLineError(run({"-o", dir.File("fast.wav"), "--mix"}), "not a stereo file at 48000 Hz");
}

TEST(Tool, HostBlockSizesGiveTheSameFileAndKeysSoundOnTime) {
  // A key half a quarter note in (0.25 s, frame 12000): host blocks that keep the instrument's
  // 1 ms frames whole give the same samples; the key sounds within a frame of its time.
  TempDir dir;
  writeFile(dir.File("key.mid"),
            smf::file(0, 96, {smf::track({{48, {0x90, 60, 100}}, {96, {0x80, 60, 0}}})}));
  for (const char* block : {"48", "480", "512"})
    ASSERT_EQ(runTool({dir.File("key.mid"), "-q", "--tail", "0.1", "-b", block, "-o",
                       dir.File(std::string(block) + ".wav")})
                  .status,
              0)
        << block;
  const std::vector<float> a = wavSamples(dir.File("48.wav"));
  EXPECT_EQ(wavSamples(dir.File("480.wav")), a);
  const std::vector<float> c = wavSamples(dir.File("512.wav"));
  for (const std::vector<float>* w : {&a, &c}) {
    const auto first = std::find_if(w->begin(), w->end(), [](float x) { return x != 0.0f; });
    ASSERT_NE(first, w->end());
    EXPECT_NEAR(double(first - w->begin()) / 2, 12000, 48);
  }
}
