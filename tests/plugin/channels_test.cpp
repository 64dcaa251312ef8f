// Channel configuration, connections, scratch buffers and the processing frame for the double,
// float and accumulating host callbacks.
#include <gtest/gtest.h>

#include <vector>

#include "test_plug.h"

using namespace plugtest;

namespace {

TestPlugConfig WithIO(const char* io) {
  TestPlugConfig c;
  c.channelIO = io;
  return c;
}

TEST(ChannelIO, CountsAreTheLargestOfAllPairsAndUnreadableCountsAreZero) {
  using Pairs = std::vector<std::pair<int, int>>;
  const struct {
    const char* io;
    int nIn, nOut;
    Pairs legal, illegal;  // -1: any count
    bool canMono;
  } cases[] = {
      {"0-1 0-2", 0, 2, {{0, 1}, {0, 2}, {-1, 2}, {-1, -1}}, {{1, -1}, {0, 3}, {2, 2}}, false},
      {"1-1 4-2 2-6", 4, 6, {{4, 2}, {1, -1}}, {{4, 6}}, true},
      {"x 2 3-", 3, 0, {{0, 0}, {2, 0}, {3, 0}}, {{1, -1}}, false},
      {"", 0, 0, {}, {{-1, -1}}, false},  // no pairs at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.io);
    TestPlug plug(WithIO(c.io));
    EXPECT_EQ(plug.NInChannels(), c.nIn);
    EXPECT_EQ(plug.NOutChannels(), c.nOut);
    EXPECT_EQ(plug.GetAEffect()->numInputs, c.nIn);
    EXPECT_EQ(plug.GetAEffect()->numOutputs, c.nOut);
    for (auto [in, out] : c.legal) EXPECT_TRUE(plug.LegalIO(in, out)) << in << "-" << out;
    for (auto [in, out] : c.illegal) EXPECT_FALSE(plug.LegalIO(in, out)) << in << "-" << out;
    EXPECT_EQ((plug.GetAEffect()->flags & effFlagsCanMono) != 0, c.canMono);
    // Processing with any channel count, even none, is harmless.
    std::vector<float> f(32 * 8);
    std::vector<double> d(32 * 8);
    float* fp[8];
    double* dp[8];
    for (int ch = 0; ch < 8; ++ch) fp[ch] = f.data() + 32 * ch, dp[ch] = d.data() + 32 * ch;
    plug.HostProcessReplacing(c.nIn ? fp : nullptr, c.nOut ? fp : nullptr, 32);
    plug.HostProcessDouble(c.nIn ? dp : nullptr, c.nOut ? dp : nullptr, 32);
  }
}

TEST(Connections, RangesAreClippedAndLimitToStereoTouchesOnlyInputs) {
  TestPlug plug(WithIO("4-4"));
  for (int c = 0; c < 4; ++c) {
    EXPECT_TRUE(plug.IsInChannelConnected(c));
    EXPECT_TRUE(plug.IsOutChannelConnected(c));
  }
  EXPECT_FALSE(plug.IsInChannelConnected(4));
  EXPECT_FALSE(plug.IsOutChannelConnected(-1));

  plug.SetOutputChannelConnections(3, 10, false);
  EXPECT_FALSE(plug.IsOutChannelConnected(3));
  EXPECT_TRUE(plug.IsOutChannelConnected(2));
  plug.SetOutputChannelConnections(3, 1, true);

  plug.LimitToStereoIO();
  EXPECT_TRUE(plug.IsInChannelConnected(0));
  EXPECT_TRUE(plug.IsInChannelConnected(1));
  EXPECT_FALSE(plug.IsInChannelConnected(2));
  EXPECT_FALSE(plug.IsInChannelConnected(3));
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(plug.IsOutChannelConnected(c)) << c;
}

TEST(BlockSize, ScratchBuffersFollowTheBlockSize) {
  TestPlug plug(WithIO("1-2"));
  EXPECT_EQ(plug.GetBlockSize(), 1024);
  EXPECT_EQ(plug.InScratchSize(0), 1024);
  EXPECT_EQ(plug.OutScratchSize(1), 1024);

  plug.SetBlockSize(100);
  EXPECT_EQ(plug.GetBlockSize(), 100);
  EXPECT_EQ(plug.OutScratchSize(0), 100);
  plug.OutScratch(0)[7] = 42.0;
  double* before = plug.OutScratch(0);
  plug.SetBlockSize(100);  // the same size leaves the buffers alone
  EXPECT_EQ(plug.OutScratch(0), before);
  EXPECT_EQ(plug.OutScratch(0)[7], 42.0);

  plug.SetBlockSize(300);
  ASSERT_EQ(plug.OutScratchSize(0), 300);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(plug.OutScratch(0)[i], 0.0) << i;
}

// ---- The processing frame ----

class Frame : public ::testing::Test {
 protected:
  static constexpr int kFrames = 16;
  Frame() : plug(WithIO("2-2")) {
    for (int c = 0; c < 2; ++c) {
      fin[c].assign(kFrames, 0.f);
      fout[c].assign(kFrames, 0.f);
      din[c].assign(kFrames, 0.0);
      dout[c].assign(kFrames, 0.0);
      for (int s = 0; s < kFrames; ++s) {
        fin[c][s] = 0.125f * (float)(s + 1) * (c ? -1.f : 1.f);
        din[c][s] = fin[c][s];
      }
      fi[c] = fin[c].data();
      fo[c] = fout[c].data();
      di[c] = din[c].data();
      dd[c] = dout[c].data();
    }
  }
  TestPlug plug;
  std::vector<float> fin[2], fout[2];
  std::vector<double> din[2], dout[2];
  float *fi[2], *fo[2];
  double *di[2], *dd[2];
};

TEST_F(Frame, DoubleHostsHandTheirOwnArraysThrough) {
  plug.HostProcessDouble(di, dd, kFrames);
  ASSERT_EQ(plug.mRenderCalls.size(), 1u);
  EXPECT_EQ(plug.mRenderCalls[0].inputs, std::vector<double*>({di[0], di[1]}));
  EXPECT_EQ(plug.mRenderCalls[0].outputs, std::vector<double*>({dd[0], dd[1]}));
  EXPECT_EQ(dout[0], din[0]);
  EXPECT_EQ(dout[1], din[1]);
}

TEST_F(Frame, FloatHostsAreConvertedBothWays) {
  plug.HostProcessReplacing(fi, fo, kFrames);
  ASSERT_EQ(plug.mRenderCalls.size(), 1u);
  // The plug-in sees its scratch buffers holding the converted input.
  EXPECT_EQ(plug.mRenderCalls[0].inputs[0], plug.InScratch(0));
  EXPECT_EQ(plug.mRenderCalls[0].outputs[1], plug.OutScratch(1));
  EXPECT_EQ(plug.mRenderCalls[0].firstInputs, std::vector<double>({0.125, -0.125}));
  EXPECT_EQ(fout[0], fin[0]);
  EXPECT_EQ(fout[1], fin[1]);
}

TEST_F(Frame, TheAccumulatingCallbackAddsToWhatTheHostHas) {
  plug.mRender = Render::kRamp;
  for (int c = 0; c < 2; ++c) fout[c].assign(kFrames, 0.5f);
  plug.HostProcessAccumulating(fi, fo, kFrames);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < kFrames; ++s) EXPECT_EQ(fout[c][s], 0.5f + (float)RampValue(c, s)) << c << " " << s;

  // The replacing float callback overwrites.
  plug.HostProcessReplacing(fi, fo, kFrames);
  for (int s = 0; s < kFrames; ++s) EXPECT_EQ(fout[1][s], (float)RampValue(1, kFrames + s)) << s;
}

TEST_F(Frame, TheDefaultRenderZeroesOutputsWithoutAnInput) {
  TestPlug mono(WithIO("1-2"));
  for (int c = 0; c < 2; ++c) fout[c].assign(kFrames, 9.f);
  mono.HostProcessReplacing(fi, fo, kFrames);
  EXPECT_EQ(fout[0], fin[0]);
  EXPECT_EQ(fout[1], std::vector<float>(kFrames, 0.f));
}

// Guards a mended use-after-free: a disconnected channel's slot kept the scratch buffer's old
// address when SetBlockSize reallocated it, so the plug-in rendered into freed memory.
TEST_F(Frame, DisconnectedChannelsFollowTheirScratchBuffersWhenTheBlockSizeGrows) {
  plug.mRender = Render::kRamp;
  plug.SetOutputChannelConnections(1, 1, false);
  plug.SetInputChannelConnections(1, 1, false);
  plug.Dispatch(effSetBlockSize, 0, 8192);
  plug.Dispatch(effSetBlockSize, 0, 16);
  plug.Dispatch(effSetBlockSize, 0, 20000);
  plug.HostProcessReplacing(fi, fo, kFrames);
  ASSERT_EQ(plug.mRenderCalls.size(), 1u);
  EXPECT_EQ(plug.mRenderCalls[0].outputs[1], plug.OutScratch(1));
  EXPECT_EQ(plug.mRenderCalls[0].inputs[1], plug.InScratch(1));
}

TEST_F(Frame, NullHostPointersGetScratchBuffers) {
  plug.mRender = Render::kRamp;
  float* outs[2] = {fo[0], nullptr};
  float* ins[2] = {nullptr, fi[1]};
  plug.HostProcessReplacing(ins, outs, kFrames);
  EXPECT_EQ(fout[0][1], (float)RampValue(0, 1));
  double* douts[2] = {nullptr, dd[1]};
  plug.HostProcessDouble(nullptr, douts, kFrames);
  EXPECT_EQ(dout[1][2], RampValue(1, kFrames + 2));
}

TEST(LongHostBlocks, AreProcessedInPiecesOfTheBlockSize) {
  constexpr int kBlock = 64, kHostFrames = 3 * kBlock + 10;
  for (int path = 0; path < 3; ++path) {
    TestPlug plug(WithIO("2-2"));
    plug.mRender = Render::kRamp;
    plug.Dispatch(effSetBlockSize, 0, kBlock);
    std::vector<float> f0(kHostFrames, 0.f), f1(kHostFrames, 0.f);
    std::vector<double> d0(kHostFrames, 0.0), d1(kHostFrames, 0.0);
    float* fo[2] = {f0.data(), f1.data()};
    double* dd[2] = {d0.data(), d1.data()};
    if (path == 0) plug.HostProcessReplacing(nullptr, fo, kHostFrames);
    if (path == 1) plug.HostProcessAccumulating(nullptr, fo, kHostFrames);
    if (path == 2) plug.HostProcessDouble(nullptr, dd, kHostFrames);

    std::vector<int> pieces;
    for (const RenderCall& c : plug.mRenderCalls) pieces.push_back(c.nFrames);
    EXPECT_EQ(pieces, std::vector<int>({kBlock, kBlock, kBlock, 10})) << path;
    for (int s = 0; s < kHostFrames; ++s) {
      const double a = path == 2 ? d0[s] : f0[s], b = path == 2 ? d1[s] : f1[s];
      ASSERT_EQ(a, (double)(float)RampValue(0, s)) << path << " " << s;
      ASSERT_EQ(b, (double)(float)RampValue(1, s)) << path << " " << s;
    }
  }
}

TEST(LongHostBlocks, InputsArriveInTheMatchingPieces) {
  constexpr int kBlock = 32, kHostFrames = 100;
  TestPlug plug(WithIO("2-2"));
  plug.Dispatch(effSetBlockSize, 0, kBlock);
  std::vector<float> in0(kHostFrames), in1(kHostFrames), out0(kHostFrames), out1(kHostFrames);
  for (int s = 0; s < kHostFrames; ++s) {
    in0[s] = (float)s;
    in1[s] = -(float)s;
  }
  float* ins[2] = {in0.data(), in1.data()};
  float* outs[2] = {out0.data(), out1.data()};
  plug.HostProcessReplacing(ins, outs, kHostFrames);
  EXPECT_EQ(out0, in0);
  EXPECT_EQ(out1, in1);
}

TEST(LongHostBlocks, WithoutABlockSizeAHostGetsSilence) {
  // A scanning host sets block size 0 and may still ask for audio.
  TestPlug plug(WithIO("2-2"));
  plug.Dispatch(effSetBlockSize, 0, 0);
  std::vector<float> f0(40, 3.f), f1(40, 3.f);
  float* fo[2] = {f0.data(), f1.data()};
  plug.HostProcessReplacing(nullptr, fo, 40);
  EXPECT_EQ(f0, std::vector<float>(40, 0.f));
  EXPECT_EQ(f1, std::vector<float>(40, 0.f));
  f1.assign(40, 3.f);
  plug.HostProcessAccumulating(nullptr, fo, 40);  // adds nothing
  EXPECT_EQ(f1, std::vector<float>(40, 3.f));
  EXPECT_TRUE(plug.mRenderCalls.empty());
}

}  // namespace
