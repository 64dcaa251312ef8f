// Presets: restoring by index and name, storing the live state, default presets, and the bank
// body that carries all of them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_plug.h"

using namespace plugtest;

namespace {

Bytes StateOf(TestPlug& plug) {
  ByteChunk c;
  plug.SerializeState(&c);
  return ChunkBytes(c);
}

void Rename(TestPlug& plug, int idx, const char* name) { plug.GetPreset(idx)->SetName(name); }

TEST(RestorePreset, AnEmptySlotBecomesTheNextUserPresetWithTheLiveSound) {
  TestPlug plug;
  plug.Scramble(4);
  const Bytes live = StateOf(plug);
  EXPECT_FALSE(plug.GetPreset(5)->mInitialized);
  EXPECT_STREQ(plug.GetPresetName(5), "empty");

  ASSERT_TRUE(plug.RestorePreset(5));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 5);
  EXPECT_TRUE(plug.GetPreset(5)->mInitialized);
  EXPECT_STREQ(plug.GetPresetName(5), "user preset 1");
  EXPECT_EQ(ChunkBytes(plug.GetPreset(5)->mChunk), live);
  EXPECT_EQ(plug.mPresetsChangedCount, 1);

  ASSERT_TRUE(plug.RestorePreset(9));
  EXPECT_STREQ(plug.GetPresetName(9), "user preset 2");
  // The count is of names containing the words anywhere, whoever gave them.
  Rename(plug, 20, "my user preset");
  ASSERT_TRUE(plug.RestorePreset(30));
  EXPECT_STREQ(plug.GetPresetName(30), "user preset 4");
}

TEST(RestorePreset, AStoredPresetIsAppliedAndMadeCurrent) {
  TestPlug plug;
  FillPresets(plug, 0);
  plug.Scramble(40);
  plug.mParamChanges.clear();
  ASSERT_TRUE(plug.RestorePreset(7));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 7);
  TestPlug expected;
  expected.Scramble(7);
  EXPECT_EQ(plug.Values(), expected.Values());
  EXPECT_EQ((int)plug.mParamChanges.size(), kNumTestParams);
  EXPECT_STREQ(plug.GetPresetName(7), "Program 7");  // applying keeps the name
}

TEST(RestorePreset, IndicesOutsideTheListAndBrokenPresetsChangeNothing) {
  TestPlug plug;
  FillPresets(plug, 3);
  const PlugSnapshot before = TakeSnapshot(plug);
  const int notified = plug.mPresetsChangedCount;
  EXPECT_FALSE(plug.RestorePreset(-1));
  EXPECT_FALSE(plug.RestorePreset(kTestNumPresets));
  EXPECT_EQ(TakeSnapshot(plug), before);
  EXPECT_EQ(plug.mPresetsChangedCount, notified);

  // A stored preset whose state cannot be read is not made current.
  plug.GetPreset(11)->mChunk.Clear();
  EXPECT_FALSE(plug.RestorePreset(11));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
}

TEST(RestorePreset, ByNameTakesTheFirstExactMatch) {
  TestPlug plug;
  FillPresets(plug, 0);
  Rename(plug, 12, "Twin");
  Rename(plug, 40, "Twin");
  EXPECT_TRUE(plug.RestorePreset("Twin"));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 12);
  EXPECT_FALSE(plug.RestorePreset("twin"));
  EXPECT_FALSE(plug.RestorePreset("Program"));
  EXPECT_FALSE(plug.RestorePreset(""));
  EXPECT_FALSE(plug.RestorePreset((const char*)nullptr));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 12);
  EXPECT_TRUE(plug.RestorePreset("Program 33"));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 33);
}

TEST(ModifyCurrentPreset, StoresTheLiveStateAndRenamesOnlyWithAName) {
  TestPlug plug;
  ASSERT_TRUE(plug.RestorePreset(2));
  plug.Scramble(9);
  plug.ModifyCurrentPreset(nullptr);
  EXPECT_EQ(ChunkBytes(plug.GetPreset(2)->mChunk), StateOf(plug));
  EXPECT_STREQ(plug.GetPresetName(2), "user preset 1");
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(plug.GetPresetName(2), "user preset 1");
  plug.ModifyCurrentPreset("Brass");
  EXPECT_STREQ(plug.GetPresetName(2), "Brass");

  // Names are bounded by the preset's buffer.
  const std::string longName(400, 'n');
  plug.ModifyCurrentPreset(longName.c_str());
  EXPECT_EQ(std::string(plug.GetPresetName(2)), std::string(IPreset::kNameLen - 1, 'n'));
}

TEST(ModifyCurrentPreset, LeavesTheInitialisedFlagAlone) {
  TestPlug plug;  // every preset uninitialised, preset 0 current
  plug.ModifyCurrentPreset("Sketch");
  EXPECT_FALSE(plug.GetPreset(0)->mInitialized);
  EXPECT_STREQ(plug.GetPresetName(0), "Sketch");
  EXPECT_EQ(ChunkBytes(plug.GetPreset(0)->mChunk), StateOf(plug));
}

TEST(EnsureDefaultPreset, FillsOnlyTheEmptySlots) {
  TestPlug plug;
  ASSERT_TRUE(plug.RestorePreset(1));
  plug.Scramble(2);
  plug.ModifyCurrentPreset("Mine");
  const Bytes mine = ChunkBytes(plug.GetPreset(1)->mChunk);
  plug.Scramble(3);
  const Bytes live = StateOf(plug);
  plug.EnsureDefaultPreset();
  for (int i = 0; i < kTestNumPresets; ++i) {
    EXPECT_TRUE(plug.GetPreset(i)->mInitialized) << i;
    if (i == 1) continue;
    EXPECT_STREQ(plug.GetPresetName(i), "Empty") << i;
    EXPECT_EQ(ChunkBytes(plug.GetPreset(i)->mChunk), live) << i;
  }
  EXPECT_STREQ(plug.GetPresetName(1), "Mine");
  EXPECT_EQ(ChunkBytes(plug.GetPreset(1)->mChunk), mine);
}

// ---- Bank body ----

TestPlugConfig ThreePresets() {
  TestPlugConfig c;
  c.nPresets = 3;
  return c;
}

TEST(BankBody, ByteExactLayout) {
  TestPlug plug(ThreePresets());
  ASSERT_TRUE(plug.RestorePreset(0));
  plug.ModifyCurrentPreset("Lead");
  plug.GetPreset(2)->mInitialized = true;
  plug.GetPreset(2)->SetName("");
  plug.GetPreset(2)->mChunk.Clear();
  plug.GetPreset(2)->mChunk.PutBytes("\x11\x22", 2);

  ChunkOf bank({0xEE});
  ASSERT_TRUE(plug.SerializePresets(&bank));

  Bytes expected = {0xEE, 4, 0, 0, 0, 'L', 'e', 'a', 'd', 1};
  Bytes state0 = ChunkBytes(plug.GetPreset(0)->mChunk);
  ASSERT_EQ(state0.size(), (size_t)kNumTestParams * 8);
  expected.insert(expected.end(), state0.begin(), state0.end());
  const Bytes rest = {5, 0, 0, 0, 'e', 'm', 'p', 't', 'y', 0,  // uninitialised: no state
                      0, 0, 0, 0, 1, 0x11, 0x22};
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(ChunkBytes(bank), expected);
}

TEST(BankBody, EmptyNamesCarryOverFromThePresetBefore) {
  TestPlug plug(ThreePresets());
  ASSERT_TRUE(plug.RestorePreset(0));
  plug.GetPreset(0)->SetName("");
  plug.GetPreset(1)->SetName("Keep");
  plug.GetPreset(2)->SetName("");
  ByteChunk bank;
  plug.SerializePresets(&bank);

  TestPlug target(ThreePresets());
  target.EnsureDefaultPreset();
  EXPECT_EQ(target.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_STREQ(target.GetPresetName(0), "");  // nothing before the first
  EXPECT_STREQ(target.GetPresetName(1), "Keep");
  EXPECT_STREQ(target.GetPresetName(2), "Keep");
  EXPECT_TRUE(target.GetPreset(0)->mInitialized);
  EXPECT_FALSE(target.GetPreset(1)->mInitialized);
  EXPECT_FALSE(target.GetPreset(2)->mInitialized);
}

TEST(BankBody, TruncatedBodiesKeepWhatWasReadAndTheRestAsItWas) {
  TestPlug source;
  FillPresets(source, 0);
  ByteChunk bank;
  source.SerializePresets(&bank);
  const Bytes full = ChunkBytes(bank);
  const int recordSize = 4 + (int)std::strlen("Program 0") + 1 + kNumTestParams * 8;

  // Cut inside preset 3's name length, name, flag and state.
  for (int cut : {3 * recordSize + 2, 3 * recordSize + 6, 3 * recordSize + 13, 3 * recordSize + 13 + 20}) {
    TestPlug target;
    target.EnsureDefaultPreset();
    target.Scramble(50);
    target.ModifyCurrentPreset("Current");
    const PlugSnapshot before = TakeSnapshot(target);

    ChunkOf part(Bytes(full.begin(), full.begin() + cut));
    EXPECT_EQ(target.UnserializePresets(&part, 0), -1) << cut;
    for (int i = 0; i < 3; ++i) {
      EXPECT_STREQ(target.GetPresetName(i), ProgramName(i).c_str()) << cut;
      EXPECT_EQ(ChunkBytes(target.GetPreset(i)->mChunk), ChunkBytes(source.GetPreset(i)->mChunk)) << cut;
    }
    for (int i = 4; i < kTestNumPresets; ++i) {
      EXPECT_EQ(target.GetPresetName(i), before.names[(size_t)i]) << cut;
      EXPECT_EQ(ChunkBytes(target.GetPreset(i)->mChunk), before.chunks[(size_t)i]) << cut;
    }
    // The current preset (0, now replaced) is applied again at the end.
    TestPlug expected;
    expected.Scramble(0);
    EXPECT_EQ(target.Values(), expected.Values()) << cut;
  }
}

// Guards a mended fault: the slot was marked initialised before its state was read and kept an
// empty state when the read failed, so it could never be restored afterwards.
TEST(BankBody, AnEmptySlotWhoseStateIsCutStaysUsable) {
  // Preset 1 starts empty; the bank's record for it is cut inside its state.
  TestPlug source(ThreePresets());
  FillPresets(source, 0);
  ByteChunk bank;
  source.SerializePresets(&bank);
  const int recordSize = 4 + (int)std::strlen("Program 0") + 1 + kNumTestParams * 8;
  ChunkOf part(Bytes(bank.GetBytes(), bank.GetBytes() + recordSize + 14 + 8));

  TestPlug target(ThreePresets());
  ASSERT_TRUE(target.RestorePreset(0));
  EXPECT_EQ(target.UnserializePresets(&part, 0), -1);
  EXPECT_STREQ(target.GetPresetName(0), "Program 0");
  // No state was stored for it, so it must not be left claiming one it cannot apply:
  // selecting it has to work, not fail for ever.
  EXPECT_TRUE(target.RestorePreset(1));
  EXPECT_EQ(target.GetCurrentPresetIdx(), 1);
}

TEST(BankBody, HostileBodies) {
  TestPlug plug(ThreePresets());
  plug.EnsureDefaultPreset();
  plug.Scramble(8);
  plug.ModifyCurrentPreset("First");
  const PlugSnapshot before = TakeSnapshot(plug);

  // A negative name length fails at once, without reading backwards: the first preset gets
  // the (empty) name carried so far, nothing else changes.
  ByteChunk neg;
  int len = -5;
  neg.Put(&len);
  neg.PutBytes("abcdefgh", 8);
  EXPECT_EQ(plug.UnserializePresets(&neg, 0), -1);
  PlugSnapshot after = TakeSnapshot(plug);
  EXPECT_EQ(after.names[0], "");
  after.names[0] = before.names[0];
  EXPECT_EQ(after, before);

  // A negative start reads nothing but still applies the current preset.
  plug.GetPreset(0)->SetName("First");
  plug.Scramble(9);
  ChunkOf any({1, 2, 3});
  EXPECT_EQ(plug.UnserializePresets(&any, -1), -1);
  EXPECT_EQ(TakeSnapshot(plug), before);
}

}  // namespace
