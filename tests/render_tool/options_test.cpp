// The command line: every option in its short, long and --name=value forms, defaults, --set
// splitting, and one-line errors for bad arguments.
#include <gtest/gtest.h>

#include <initializer_list>

#include "tools/quenta_render/options.h"

using qrender::ParamAssignment;
using qrender::ParseResult;
using qrender::RenderOptions;

namespace {

ParseResult parse(std::initializer_list<const char*> args, RenderOptions& out, std::string& error) {
  std::vector<const char*> argv = {"quenta-render"};
  argv.insert(argv.end(), args.begin(), args.end());
  return qrender::parseCommandLine((int)argv.size(), argv.data(), out, error);
}

std::string errorOf(std::initializer_list<const char*> args) {
  RenderOptions o;
  std::string error;
  EXPECT_EQ(parse(args, o, error), ParseResult::Error);
  EXPECT_EQ(error.find('\n'), std::string::npos);
  return error;
}

TEST(Options, DefaultsForAPlainRender) {
  RenderOptions o;
  std::string error;
  ASSERT_EQ(parse({"songs/tune.mid"}, o, error), ParseResult::Ok) << error;
  EXPECT_EQ(o.midiPath, "songs/tune.mid");
  EXPECT_EQ(o.outputPath, "songs/tune.wav");
  EXPECT_EQ(o.sampleRate, 48000);
  EXPECT_EQ(o.blockSize, 512);
  EXPECT_EQ(o.tempo, 0.0);  // from the file
  EXPECT_EQ(o.tailSeconds, 2.0);
  EXPECT_EQ(o.programNumber, -1);
  EXPECT_EQ(o.format, qrender::SampleFormat::Float32);
  EXPECT_TRUE(o.pluginPath.empty());
  EXPECT_FALSE(o.bench || o.quiet || o.listParams);
}

TEST(Options, EveryOptionInEachForm) {
  RenderOptions o;
  std::string error;
  ASSERT_EQ(parse({"-o", "out.wav", "-r", "44100", "-b", "64", "-t", "93.5", "--bank", "b.fxb", "--program=p.fxp",
                   "-p", "7", "--set", "A:Cutoff=0.4", "--set=TVCA Src=GE3+", "--tail", "0.25", "--format", "pcm24",
                   "--plugin", "/x/Q.so", "--bench", "-q", "in.mid"},
                  o, error),
            ParseResult::Ok)
      << error;
  EXPECT_EQ(o.outputPath, "out.wav");
  EXPECT_EQ(o.sampleRate, 44100);
  EXPECT_EQ(o.blockSize, 64);
  EXPECT_EQ(o.tempo, 93.5);
  EXPECT_EQ(o.bankPath, "b.fxb");
  EXPECT_EQ(o.programPath, "p.fxp");
  EXPECT_EQ(o.programNumber, 7);
  ASSERT_EQ(o.assignments.size(), 2u);
  EXPECT_EQ(o.assignments[0].block, 'A');
  EXPECT_EQ(o.assignments[1].name, "TVCA Src");
  EXPECT_EQ(o.assignments[1].value, "GE3+");
  EXPECT_EQ(o.tailSeconds, 0.25);
  EXPECT_EQ(o.format, qrender::SampleFormat::Pcm24);
  EXPECT_EQ(o.pluginPath, "/x/Q.so");
  EXPECT_TRUE(o.bench);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.midiPath, "in.mid");

  ASSERT_EQ(parse({"--output=o2.wav", "--rate=96000", "--block=1", "--tempo=60", "--program-number=0",
                   "--quiet", "--", "-dash.mid"},
                  o, error),
            ParseResult::Ok)
      << error;
  EXPECT_EQ(o.outputPath, "o2.wav");
  EXPECT_EQ(o.sampleRate, 96000);
  EXPECT_EQ(o.blockSize, 1);
  EXPECT_EQ(o.programNumber, 0);
  EXPECT_EQ(o.midiPath, "-dash.mid");  // after "--" a dash starts a file name
}

TEST(Options, ListParamsNeedsNoMidiFileAndHelpStopsParsing) {
  RenderOptions o;
  std::string error;
  EXPECT_EQ(parse({"--list-params"}, o, error), ParseResult::Ok);
  EXPECT_TRUE(o.listParams);
  EXPECT_TRUE(o.outputPath.empty());
  EXPECT_EQ(parse({"--bogus", "-h"}, o, error), ParseResult::Error);  // options are read in order
  EXPECT_EQ(parse({"-r", "48000", "--help", "--bogus"}, o, error), ParseResult::Help);
}

TEST(Options, BadArgumentsNameTheProblem) {
  EXPECT_NE(errorOf({}).find("no MIDI file"), std::string::npos);
  EXPECT_NE(errorOf({"a.mid", "b.mid"}).find("more than one MIDI file"), std::string::npos);
  EXPECT_NE(errorOf({"--frobnicate", "a.mid"}).find("unknown option --frobnicate"), std::string::npos);
  EXPECT_NE(errorOf({"a.mid", "-o"}).find("-o needs a value"), std::string::npos);
  EXPECT_NE(errorOf({"a.mid", "-o", ""}).find("empty file name"), std::string::npos);
  EXPECT_NE(errorOf({"a.mid", "--bench=yes"}).find("--bench takes no value"), std::string::npos);
  for (const char* rate : {"999", "384001", "48k", "", "-48000", "4.8e4"})
    EXPECT_NE(errorOf({"a.mid", "-r", rate}).find("sample rate"), std::string::npos) << rate;
  for (const char* block : {"0", "65537", "12x"})
    EXPECT_NE(errorOf({"a.mid", "-b", block}).find("block size"), std::string::npos) << block;
  for (const char* tempo : {"0", "-120", "nan", "inf", "1000"})
    EXPECT_NE(errorOf({"a.mid", "-t", tempo}).find("tempo"), std::string::npos) << tempo;
  for (const char* tail : {"-1", "3601", "x"})
    EXPECT_NE(errorOf({"a.mid", "--tail", tail}).find("tail"), std::string::npos) << tail;
  EXPECT_NE(errorOf({"a.mid", "-p", "-1"}).find("program number"), std::string::npos);
  EXPECT_NE(errorOf({"a.mid", "--format", "wav16"}).find("float or pcm24"), std::string::npos);
  EXPECT_NE(errorOf({"a.mid", "--set", "Cutoff"}).find("NAME=VALUE"), std::string::npos);
  for (const char* channel : {"0", "17", "one"})
    EXPECT_NE(errorOf({"a.mid", "--channel", channel}).find("MIDI channel from 1 to 16"), std::string::npos) << channel;
  EXPECT_NE(errorOf({"a.mid", "--mix=yes"}).find("--mix takes no value"), std::string::npos);
}

TEST(Options, ChannelAndMix) {
  RenderOptions o;
  std::string error;
  ASSERT_EQ(parse({"a.mid"}, o, error), ParseResult::Ok) << error;
  EXPECT_EQ(o.channel, 0);
  EXPECT_FALSE(o.mix);
  ASSERT_EQ(parse({"--channel", "16", "--mix", "a.mid"}, o, error), ParseResult::Ok) << error;
  EXPECT_EQ(o.channel, 16);
  EXPECT_TRUE(o.mix);
  ASSERT_EQ(parse({"--channel=1", "a.mid"}, o, error), ParseResult::Ok) << error;
  EXPECT_EQ(o.channel, 1);
}

TEST(Options, AssignmentSplitsBlockNameAndValue) {
  ParamAssignment a;
  std::string error;
  ASSERT_TRUE(qrender::parseAssignment("A:Cutoff=0.4", a, error));
  EXPECT_EQ(a.block, 'A');
  EXPECT_EQ(a.name, "Cutoff");
  EXPECT_EQ(a.value, "0.4");
  EXPECT_EQ(a.text, "A:Cutoff=0.4");

  ASSERT_TRUE(qrender::parseAssignment("c: EM Atk =0.1", a, error));
  EXPECT_EQ(a.block, 'C');
  EXPECT_EQ(a.name, "EM Atk");  // blanks around the name go, inner ones stay

  ASSERT_TRUE(qrender::parseAssignment("Trg1 Src=091    Effects 1 Depth ", a, error));
  EXPECT_EQ(a.block, 0);
  EXPECT_EQ(a.name, "Trg1 Src");
  EXPECT_EQ(a.value, "091    Effects 1 Depth ");  // values are kept exactly, trailing space too

  ASSERT_TRUE(qrender::parseAssignment("S/H Freq=2=3", a, error));
  EXPECT_EQ(a.name, "S/H Freq");
  EXPECT_EQ(a.value, "2=3");  // the first '=' splits

  for (const char* bad : {"=0.4", "A:=0.4", "Cutoff=", "D:Cutoff=1", "1:Cutoff=1", "Cutoff"}) {
    EXPECT_FALSE(qrender::parseAssignment(bad, a, error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }
}

TEST(Options, DefaultOutputReplacesTheExtension) {
  EXPECT_EQ(qrender::defaultOutputPath("song.mid"), "song.wav");
  EXPECT_EQ(qrender::defaultOutputPath("a.b/song"), "a.b/song.wav");
  EXPECT_EQ(qrender::defaultOutputPath("dir/.hidden"), "dir/.hidden.wav");
  EXPECT_EQ(qrender::defaultOutputPath("x.y.midi"), "x.y.wav");
}

}  // namespace
