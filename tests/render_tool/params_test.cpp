// --set and --list-params against the scripted plug-in: names resolved with and without Block
// letters, values as display texts or numbers in the parameter's units, ranges enforced.
#include <gtest/gtest.h>

#include <sstream>

#include "fake_plugin.h"
#include "tools/quenta_render/param_access.h"

using qrender::ParamAssignment;
using qrender::PluginHost;

namespace {

constexpr int kBlockB = 1, kBlockC = 2;

ParamAssignment assignment(const std::string& text) {
  ParamAssignment a;
  std::string error;
  EXPECT_TRUE(qrender::parseAssignment(text, a, error)) << error;
  return a;
}

class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host.attach(fake::entry, error)) << error;
    plugin = fake::last();
    host.open(48000, 512);
  }
  // Applies one --set; returns the error (empty on success).
  std::string set(const std::string& text) {
    std::string error;
    bool ok = qrender::applyAssignments(host, {assignment(text)}, error);
    EXPECT_EQ(ok, error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return error;
  }
  float value(int index) { return plugin->params[(size_t)index]; }

  PluginHost host;
  fake::Plugin* plugin = nullptr;
};

TEST(ParamLayout, BlockLettersFollowTheIndex) {
  EXPECT_EQ(qrender::blockLetterOf(0), 'A');
  EXPECT_EQ(qrender::blockLetterOf(60), 'A');
  EXPECT_EQ(qrender::blockLetterOf(61), 'B');
  EXPECT_EQ(qrender::blockLetterOf(182), 'C');
  EXPECT_EQ(qrender::blockLetterOf(183), 0);
  EXPECT_EQ(qrender::blockLetterOf(228), 0);
}

TEST(ParamLayout, NamesResolvePerBlockAndGlobally) {
  std::vector<std::string> names(229, "x");
  for (int b = 0; b < 3; ++b) names[(size_t)(b * 61 + 23)] = "Cutoff";
  names[183] = "Final";
  names[184] = "TVCA Src";
  std::string error;
  EXPECT_EQ(qrender::resolveParam(names, assignment("A:Cutoff=1"), error), 23);
  EXPECT_EQ(qrender::resolveParam(names, assignment("B:Cutoff=1"), error), 84);
  EXPECT_EQ(qrender::resolveParam(names, assignment("c:cutoff=1"), error), 145);  // any case
  EXPECT_EQ(qrender::resolveParam(names, assignment("TVCA Src=off"), error), 184);
  EXPECT_EQ(qrender::resolveParam(names, assignment("Cutoff=1"), error), -1);
  EXPECT_NE(error.find("Block parameter, write A:Cutoff, B:Cutoff or C:Cutoff"), std::string::npos) << error;
  EXPECT_EQ(qrender::resolveParam(names, assignment("A:Final=1"), error), -1);
  EXPECT_NE(error.find("global parameter"), std::string::npos) << error;
  EXPECT_EQ(qrender::resolveParam(names, assignment("Resonance=1"), error), -1);
  EXPECT_NE(error.find("unknown parameter \"Resonance\""), std::string::npos) << error;
  EXPECT_EQ(qrender::resolveParam(names, assignment("B:Resonance=1"), error), -1);
  EXPECT_NE(error.find("unknown parameter B:Resonance"), std::string::npos) << error;

  // Two names differing only in case: the exact one wins, a case-insensitive guess is refused.
  names[185] = "Mode";
  names[186] = "MODE";
  EXPECT_EQ(qrender::resolveParam(names, assignment("MODE=1"), error), 186);
  EXPECT_EQ(qrender::resolveParam(names, assignment("mode=1"), error), -1);
}

TEST_F(ParamsTest, NumbersInTheParametersUnits) {
  EXPECT_EQ(set("A:Cutoff=0.4"), "");
  EXPECT_FLOAT_EQ(value(fake::kCutoffK), 0.4f);
  EXPECT_EQ(set("C:Coarse=-400"), "");
  EXPECT_FLOAT_EQ(value(kBlockC * 61 + fake::kCoarseK), 0.25f);
  EXPECT_EQ(set("PB Range= 12 "), "");  // blanks around a number are fine
  EXPECT_FLOAT_EQ(value(fake::kPbRange), 0.75f);
  EXPECT_FLOAT_EQ(value(kBlockB * 61 + fake::kCutoffK), 0.5f);  // other Blocks untouched
}

TEST_F(ParamsTest, NumbersOutsideTheRangeAreRefused) {
  float before = value(fake::kFinal);
  std::string error = set("Final=1.5");
  EXPECT_NE(error.find("1.5 is out of range (0.00 to 1.00)"), std::string::npos) << error;
  EXPECT_NE(error.find("--set \"Final=1.5\""), std::string::npos) << error;
  EXPECT_EQ(value(fake::kFinal), before);  // left as it was
  EXPECT_NE(set("B:Coarse=-801").find("out of range (-800 to 800)"), std::string::npos);
  EXPECT_EQ(set("Final=1.004"), "");  // within the display's rounding
  EXPECT_NE(set("Final=abc").find("\"abc\" is not a number"), std::string::npos);
  EXPECT_NE(set("Final=nan").find("not a number"), std::string::npos);
  EXPECT_NE(set("Final=1e0").find("not a number"), std::string::npos);
}

TEST_F(ParamsTest, DisplayTextsAndEntryNumbers) {
  EXPECT_EQ(set("TVCA Src=GE3+"), "");
  EXPECT_FLOAT_EQ(value(fake::kTvcaSrc), 1.0f);
  EXPECT_EQ(set("TVCA Src=+5v"), "");  // case does not matter when the match is unique
  EXPECT_FLOAT_EQ(value(fake::kTvcaSrc), 0.5f);
  EXPECT_EQ(set("B:Waveform=0"), "");  // entry number
  EXPECT_FLOAT_EQ(value(kBlockB * 61 + fake::kWaveformK), 0.0f);
  EXPECT_EQ(set("Trg1 Src=091    Effects 1 Depth"), "");  // the text's trailing space may be left out
  EXPECT_FLOAT_EQ(value(fake::kTrgSrc), 1.0f);

  std::string error = set("A:Waveform=Sine");
  EXPECT_NE(error.find("\"Sine\" is not a value of A:Waveform: one of \"Triangle\", \"Sawtooth\", \"Square\""),
            std::string::npos)
      << error;
  EXPECT_NE(set("A:Waveform=3").find("entry number 0 to 2"), std::string::npos);
  EXPECT_NE(set("A:Waveform=1.5").find("not a value"), std::string::npos);
}

TEST_F(ParamsTest, AssignmentsApplyInOrderAndStopAtTheFirstError) {
  std::string error;
  std::vector<ParamAssignment> list = {assignment("Final=0.1"), assignment("Final=0.2"), assignment("Nope=1"),
                                       assignment("A:Cutoff=0.9")};
  EXPECT_FALSE(qrender::applyAssignments(host, list, error));
  EXPECT_NE(error.find("Nope"), std::string::npos);
  EXPECT_FLOAT_EQ(value(fake::kFinal), 0.2f);
  EXPECT_FLOAT_EQ(value(fake::kCutoffK), 0.5f);
}

TEST_F(ParamsTest, ListShowsEveryParameterOnItsOwnLine) {
  std::string text = qrender::listParams(host);
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 229u);
  EXPECT_EQ(lines[0].substr(0, 26), "  0  A       Cutoff      0");
  EXPECT_EQ(lines[61 + fake::kWaveformK], " 62  B       Waveform    Sawtooth");
  EXPECT_EQ(lines[fake::kPbRange], "185  global  PB Range    0 semi");
}

}  // namespace
