// The time info quenta-render hands a plug-in: song position, tempo, bars and transport flags.
#include <gtest/gtest.h>

#include "tools/quenta_render/vst_host.h"

namespace {

using qrender::PluginHost;
constexpr VstInt32 kTimeFlags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

TEST(HostCallback, TimeInfoFollowsTheTransport) {
  PluginHost host;
  AEffect effect{};
  effect.resvd1 = (VstIntPtr)&host;
  const auto timeInfo = [&effect] {
    return *(VstTimeInfo*)PluginHost::callback(&effect, audioMasterGetTime, 0, kTimeFlags, nullptr,
                                               0.0f);
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
