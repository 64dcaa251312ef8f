// The binding's own buffers: identity strings and the chunk buffers lent to the host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_plug.h"

using namespace plugtest;

namespace {

TEST(Identity, LongNamesAreCutToTheirBuffers) {
  const std::string longName(200, 'x');
  IPlugVST plug(IPlugInstanceInfo{}, 1, "1-2", 1, longName.c_str(), longName.c_str(), longName.c_str(), 0x10000,
                kTestUniqueID, kTestUniqueID, 0, false, false, false);
  EXPECT_EQ(std::string(plug.GetEffectName()), std::string(IPlugBase::kNameLen - 1, 'x'));
  EXPECT_EQ(std::string(plug.GetProductName()), std::string(IPlugBase::kNameLen - 1, 'x'));
  EXPECT_EQ(std::string(plug.GetMfrName()), std::string(IPlugBase::kNameLen - 1, 'x'));
  plug.SetOutputLabel(1, longName.c_str());
  EXPECT_EQ(std::string(plug.GetOutputLabel(1)), std::string(IPlugBase::kNameLen - 1, 'x'));
  plug.SetInputLabel(5, "no such channel");
  EXPECT_STREQ(plug.GetInputLabel(5), "");

  // A host's pin label buffer takes the label cut to its size.
  VstPinProperties pin;
  std::memset(&pin, 0x55, sizeof pin);
  AEffect* e = plug.GetAEffect();
  EXPECT_EQ(e->dispatcher(e, effGetOutputProperties, 1, 0, &pin, 0.f), 1);
  EXPECT_EQ(std::string(pin.label), std::string(sizeof pin.label - 1, 'x'));
}

// Some hosts hand the plug-in's own chunk straight back (to restore or duplicate a state)
// without copying it first; the plug-in must read it before it overwrites its buffer.
TEST(ChunkBuffers, AHostMayHandBackTheBufferItWasLent) {
  TestPlug plug;
  plug.EnsureDefaultPreset();
  FillPresets(plug, 3);
  const PlugSnapshot before = TakeSnapshot(plug);
  for (VstInt32 idx : {1, 0}) {
    void* data = nullptr;
    const VstIntPtr size = plug.Dispatch(effGetChunk, idx, 0, &data);
    ASSERT_GT(size, 0) << idx;
    EXPECT_EQ(plug.Dispatch(effSetChunk, idx, size, data), 1) << idx;
    EXPECT_EQ(TakeSnapshot(plug), before) << idx;
  }
}

}  // namespace
