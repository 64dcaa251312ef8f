// ByteChunk reads and writes, the version header and the default parameter state.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "test_plug.h"

using namespace plugtest;

namespace {

Bytes Le32(int32_t v) {
  Bytes b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Bytes kHeaderBytes = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

TEST(ByteChunk, ValuesAndStringsAreLaidOutLittleEndianWithoutTerminators) {
  ByteChunk c;
  int i = 0x01020304;
  double d = 1.5;
  bool b = true;
  EXPECT_EQ(c.Put(&i), 4);
  EXPECT_EQ(c.Put(&d), 12);
  EXPECT_EQ(c.Put(&b), 13);
  EXPECT_EQ(c.PutStr("abc"), 20);
  EXPECT_EQ(c.PutStr(""), 24);
  ChunkOf tail({9, 8});
  EXPECT_EQ(c.PutChunk(&tail), 26);

  Bytes expected = {0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 1, 3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 9, 8};
  EXPECT_EQ(ChunkBytes(c), expected);

  int ri = 0;
  double rd = 0;
  bool rb = false;
  WDL_String s, empty("x");
  int pos = c.Get(&ri, 0);
  pos = c.Get(&rd, pos);
  pos = c.Get(&rb, pos);
  pos = c.GetStr(&s, pos);
  pos = c.GetStr(&empty, pos);
  EXPECT_EQ(pos, 24);
  EXPECT_EQ(ri, i);
  EXPECT_EQ(rd, d);
  EXPECT_TRUE(rb);
  EXPECT_STREQ(s.Get(), "abc");
  EXPECT_STREQ(empty.Get(), "");  // a length of 0 gives the empty string and advances by 4
}

TEST(ByteChunk, ReadsAreCheckedAtBothEnds) {
  ChunkOf c({1, 2, 3, 4, 5, 6});
  int v = 77;
  EXPECT_EQ(c.Get(&v, 2), 6);  // exactly fits
  EXPECT_EQ(v, 0x06050403);
  v = 77;
  EXPECT_EQ(c.Get(&v, 3), -1);  // one byte short
  EXPECT_EQ(v, 77);
  EXPECT_EQ(c.Get(&v, 6), -1);
  EXPECT_EQ(c.Get(&v, INT_MAX), -1);
  EXPECT_EQ(c.Get(&v, -1), -1);  // a negative position reads nothing
  EXPECT_EQ(c.Get(&v, INT_MIN), -1);
  EXPECT_EQ(v, 77);

  // A failed read followed by another stays failed and reads nothing.
  double d = 3.0;
  int pos = c.Get(&d, 0);
  ASSERT_EQ(pos, -1);
  pos = c.Get(&v, pos);
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(v, 77);
  EXPECT_EQ(d, 3.0);

  unsigned char raw[4] = {0, 0, 0, 0};
  EXPECT_EQ(c.GetBytes(raw, 4, 2), 6);
  EXPECT_EQ(c.GetBytes(raw, 5, 2), -1);
  EXPECT_EQ(c.GetBytes(raw, 1, -1), -1);

  ByteChunk empty;
  EXPECT_EQ(empty.Get(&v, 0), -1);
  EXPECT_EQ(empty.GetBytes(), nullptr);
}

TEST(ByteChunk, StringLengthsThatLie) {
  WDL_String s("before");

  // Negative length: the read fails instead of moving backwards.
  ChunkOf neg(Concat({Le32(-8), {'a', 'b', 'c', 'd'}}));
  EXPECT_EQ(neg.GetStr(&s, 0), -1);
  ChunkOf minInt(Concat({Le32(INT_MIN), {'a'}}));
  EXPECT_EQ(minInt.GetStr(&s, 0), -1);

  // Too few bytes for the length itself, or a negative start.
  ChunkOf three({3, 0, 0});
  EXPECT_EQ(three.GetStr(&s, 0), -1);
  ChunkOf ok(Concat({Le32(2), {'h', 'i'}}));
  EXPECT_EQ(ok.GetStr(&s, -1), -1);
  EXPECT_EQ(ok.GetStr(&s, -4), -1);

  // A length running past the end leaves the string empty, and whatever is read next fails.
  ChunkOf longer(Concat({Le32(10), {'x', 'y'}}));
  s.Set("before");
  int pos = longer.GetStr(&s, 0);
  EXPECT_EQ(pos, 14);
  EXPECT_STREQ(s.Get(), "");
  int v = 5;
  EXPECT_EQ(longer.Get(&v, pos), -1);

  // The largest length cannot wrap the position around.
  ChunkOf huge(Concat({Le32(INT_MAX), {'z'}}));
  EXPECT_EQ(huge.GetStr(&s, 0), -1);

  // An embedded NUL ends the text; the position still moves past all its bytes.
  ChunkOf nul(Concat({Le32(5), {'a', 'b', 0, 'c', 'd'}, {7}}));
  pos = nul.GetStr(&s, 0);
  EXPECT_EQ(pos, 9);
  EXPECT_STREQ(s.Get(), "ab");
}

TEST(ByteChunk, ResizeZeroFillsWhatItAdds) {
  ByteChunk c;
  Bytes ff(20, 0xFF);
  c.PutBytes(ff.data(), 20);
  EXPECT_EQ(c.Resize(4), 4);
  EXPECT_EQ(c.Resize(12), 12);
  EXPECT_EQ(ChunkBytes(c), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(c.Resize(-3), 0);
  EXPECT_EQ(c.Size(), 0);

  // Growing well past the granularity keeps everything written so far.
  ByteChunk big;
  for (int i = 0; i < 5000; ++i) big.Put(&i);
  ASSERT_EQ(big.Size(), 20000);
  int v = -1;
  EXPECT_EQ(big.Get(&v, 4 * 4999), 20000);
  EXPECT_EQ(v, 4999);
  EXPECT_EQ(big.Get(&v, 4 * 1234), 4 * 1235);
  EXPECT_EQ(v, 1234);
  big.Clear();
  EXPECT_EQ(big.Size(), 0);

  ChunkOf a({1, 2}), b({1, 2}), d({1, 3});
  EXPECT_TRUE(a.IsEqual(&b));
  EXPECT_FALSE(a.IsEqual(&d));
  EXPECT_FALSE(a.IsEqual(nullptr));
}

TEST(VersionHeader, WrittenAndRecognised) {
  ChunkOf c({1, 2, 3});
  IPlugBase::InitChunkWithIPlugVer(&c);
  EXPECT_EQ(ChunkBytes(c), kHeaderBytes);

  int pos = 0;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&c, &pos), 0x10000);
  EXPECT_EQ(pos, 8);

  // Further in: the header is read where the position points.
  ChunkOf later(Concat({{0, 0, 0, 0}, kHeaderBytes}));
  pos = 4;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&later, &pos), 0x10000);
  EXPECT_EQ(pos, 12);
}

TEST(VersionHeader, AbsentOrCutShort) {
  const struct {
    const char* what;
    Bytes bytes;
    int start, pos;  // where reading starts, where it is left
  } cases[] = {
      {"another magic", {0x75, 0x66, 0x66, 0x70, 0, 0, 1, 0}, 0, 0},  // read from the start
      {"magic only", {0x74, 0x66, 0x66, 0x70}, 0, -1},
      {"magic and half", {0x74, 0x66, 0x66, 0x70, 0, 0}, 0, -1},
      {"two bytes", {0x74, 0x66}, 0, 0},
      {"negative start", kHeaderBytes, -1, -1},
  };
  for (const auto& c : cases) {
    ChunkOf chunk(c.bytes);
    int pos = c.start;
    EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&chunk, &pos), 0) << c.what;
    EXPECT_EQ(pos, c.pos) << c.what;
  }
}

TEST(ParamState, SerializedAsPlainDoublesInIndexOrder) {
  TestPlug plug;
  plug.Scramble(3);
  ByteChunk c;
  ASSERT_TRUE(plug.SerializeParams(&c));
  ASSERT_EQ(c.Size(), kNumTestParams * 8);
  for (int i = 0; i < kNumTestParams; ++i) {
    double v;
    std::memcpy(&v, c.GetBytes() + 8 * i, 8);
    EXPECT_EQ(v, plug.GetParam(i)->Value()) << i;
  }

  TestPlug fresh;
  fresh.mParamChanges.clear();
  ChunkOf prefixed({0xAA, 0xBB, 0xCC});
  prefixed.PutChunk(&c);
  EXPECT_EQ(fresh.UnserializeParams(&prefixed, 3), 3 + kNumTestParams * 8);
  EXPECT_EQ(fresh.Values(), plug.Values());
  // Every parameter is pushed once afterwards, in index order.
  std::vector<int> order;
  for (int i = 0; i < kNumTestParams; ++i) order.push_back(i);
  EXPECT_EQ(fresh.mParamChanges, order);
}

TEST(ParamState, StoredValuesAreClampedAndNaNIsIgnored) {
  TestPlug plug;
  const std::vector<double> before = plug.Values();
  ByteChunk c;
  double values[kNumTestParams] = {5.0, -3.0, std::numeric_limits<double>::quiet_NaN(), 1e9,
                                   -std::numeric_limits<double>::infinity(), 0.5};
  for (double v : values) c.Put(&v);
  EXPECT_EQ(plug.UnserializeParams(&c, 0), c.Size());
  EXPECT_EQ(plug.GetParam(kParamSwitch)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(kParamMode)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(kParamSteps)->Value(), before[kParamSteps]);
  EXPECT_EQ(plug.GetParam(kParamGain)->Value(), 100.0);
  EXPECT_EQ(plug.GetParam(kParamCutoff)->Value(), 20.0);
  EXPECT_EQ(plug.GetParam(kParamDepth)->Value(), 0.5);
}

TEST(ParamState, TruncatedStateStopsAtTheFirstMissingValue) {
  TestPlug plug;
  plug.Scramble(5);
  const std::vector<double> before = plug.Values();
  ByteChunk c;
  double a = 0.0, b = 1.0;
  c.Put(&a);
  c.Put(&b);
  c.PutBytes("\1\2\3\4", 4);  // half a value
  plug.mParamChanges.clear();
  EXPECT_EQ(plug.UnserializeParams(&c, 0), -1);
  EXPECT_EQ(plug.GetParam(kParamSwitch)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(kParamMode)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(kParamSteps)->Value(), 0.0);  // the missing value counts as 0.0
  for (int i = kParamSteps + 1; i < kNumTestParams; ++i) EXPECT_EQ(plug.GetParam(i)->Value(), before[(size_t)i]) << i;
  EXPECT_EQ((int)plug.mParamChanges.size(), kNumTestParams);
}

TEST(ParamState, CompareStateToleratesOnlyFloatRounding) {
  // Guards a mended fault: the comparison went through float, which loses more than its
  // tolerance of 0.00001 for values of a few thousand.
  TestPlug plug;
  plug.Scramble(1);
  plug.GetParam(kParamCutoff)->Set(12345.678);
  ChunkOf c({0, 0});
  plug.SerializeParams(&c);
  EXPECT_TRUE(plug.CompareState(c.GetBytes(), 2));

  double v;
  std::memcpy(&v, c.GetBytes() + 2 + 8 * kParamGain, 8);
  double nudged = v + 2e-6;
  std::memcpy(c.GetBytes() + 2 + 8 * kParamGain, &nudged, 8);
  EXPECT_TRUE(plug.CompareState(c.GetBytes(), 2));
  nudged = v + 1e-3;
  std::memcpy(c.GetBytes() + 2 + 8 * kParamGain, &nudged, 8);
  EXPECT_FALSE(plug.CompareState(c.GetBytes(), 2));
}

}  // namespace
