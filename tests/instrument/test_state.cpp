// The instrument's state: its exact bytes as a host receives them, older untagged states, a
// chunk cut short, out-of-range values, and the Block copy.
#include <gtest/gtest.h>

#include <cstring>

#include "instrument/instrument_helpers.h"
#include "plugin/ByteChunk.h"

using namespace quenta_test;
using quenta_test::kChunkHeader;
using quenta_test::ReadLE32;
using quenta_test::ReadLEDouble;

namespace {

constexpr int kTagLen = 12;
constexpr int kValuesLen = kNumParams * 8;  // 1832

// A value inside every parameter's range, different from parameter to parameter: a whole
// number of units above the minimum (valid for lists, switches and numbers alike).
double SpreadValue(const Quenta& q, int i) {
  const IParam* p = q.GetParam(i);
  const double span = p->GetMax() - p->GetMin();
  return p->GetMin() + std::floor(span * double((i * 37) % 100) / 100.0);
}

void PutValues(ByteChunk& c, const std::vector<double>& v) {
  for (double x : v) c.Put(&x);
}

std::vector<double> Values(const Quenta& q) {
  std::vector<double> v;
  for (int i = 0; i < kNumParams; ++i) v.push_back(q.GetParam(i)->Value());
  return v;
}

TEST(State, ProgramChunkBytesAsTheHostReceivesThem) {
  Session s(48000.0, 512);
  ASSERT_TRUE(s.ok);
  s.host.SetProgram(5);
  s.host.SetProgramName("Pad1");
  s.Set(BlockParam(kBlockB, kCoarse), 300.0);
  s.Set(kFinal, 0.5);
  s.Set(kTVCASrc, "GE3+");
  std::vector<uint8_t> c = s.host.GetChunk(false);
  // Version header, the 1856-byte state of program 5 named with four characters, the name.
  ASSERT_EQ(c.size(), 8u + 1856u + 8u);
  EXPECT_EQ(std::memcmp(c.data(), kChunkHeader, 8), 0);
  EXPECT_EQ(std::string(c.begin() + 8, c.begin() + 20), "Quenta_1.2.2");
  EXPECT_EQ(ReadLE32(c, 20), 5);
  EXPECT_EQ(ReadLE32(c, 24), 4);
  EXPECT_EQ(std::string(c.begin() + 28, c.begin() + 32), "Pad1");
  auto value = [&](int index) { return ReadLEDouble(c, 32 + 8 * size_t(index)); };
  Direct fresh;
  for (int i = 0; i < kNumParams; ++i) {
    if (i == BlockParam(kBlockB, kCoarse) || i == kFinal || i == kTVCASrc) continue;
    EXPECT_EQ(value(i), fresh.q().GetParam(i)->GetDefault()) << "parameter " << i;
  }
  // Plain values, not normalised.
  EXPECT_EQ(value(BlockParam(kBlockB, kCoarse)), 300.0);
  EXPECT_EQ(value(kFinal), 0.5);
  EXPECT_EQ(value(kTVCASrc), double(kSrcGE3Plus));
  EXPECT_EQ(ReadLE32(c, 1864), 4);
  EXPECT_EQ(std::string(c.begin() + 1868, c.end()), "Pad1");
}

TEST(State, OlderUntaggedStatesRestoreTheirValues) {
  // Bare values without the tag: a whole state restores every value and applies it ("Final"
  // sets the output gain). One cut at 1000 bytes stops at parameter 125, which gets 0.0
  // limited to its range, and leaves the rest as they were, though all are applied anew (a
  // value stored without being applied reaches the engine).
  Direct d, cut;
  std::vector<double> v;
  for (int i = 0; i < kNumParams; ++i) v.push_back(SpreadValue(d.q(), i));
  ByteChunk whole, part;
  PutValues(whole, v);
  PutValues(part, std::vector<double>(v.begin(), v.begin() + 125));
  EXPECT_EQ(d.q().UnserializeState(&whole, 0), kValuesLen);
  EXPECT_EQ(Values(d.q()), v);
  EXPECT_EQ(d.q().getOutputGain(), 2.0 * v[kFinal]);
  cut.Set(125, 50.0);
  cut.Set(126, 30.0);
  cut.q().GetParam(kFinal)->Set(0.1);
  std::vector<double> want = Values(cut.q());
  std::copy(v.begin(), v.begin() + 125, want.begin());
  want[125] = 0.0;
  EXPECT_EQ(cut.q().UnserializeState(&part, 0), -1);
  EXPECT_EQ(Values(cut.q()), want);
  EXPECT_DOUBLE_EQ(cut.q().getOutputGain(), 0.2);

  // The whole state through the host's program chunk: header and bare values, no name. It
  // comes back tagged: header, tag, program index, name length and name, then the values.
  Session s(48000.0, 512);
  ASSERT_TRUE(s.ok);
  std::vector<uint8_t> chunk(8 + size_t(whole.Size()));
  std::memcpy(chunk.data(), kChunkHeader, 8);
  std::memcpy(chunk.data() + 8, whole.GetBytes(), size_t(whole.Size()));
  EXPECT_EQ(s.host.SetChunk(chunk, false), 1);
  std::vector<uint8_t> back = s.host.GetChunk(false);
  const size_t values = 8 + kTagLen + 8 + size_t(ReadLE32(back, 24));
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(ReadLEDouble(back, values + 8 * size_t(i)), v[size_t(i)]) << "parameter " << i;
}

TEST(State, OutOfRangeValuesAreLimited) {
  Direct d;
  const struct {
    int index;
    double stored, limited;
  } cases[] = {{kFinal, 2.0, 1.0},
               {BlockParam(kBlockA, kCoarse), -5000.0, -800.0},
               {BlockParam(kBlockB, kWaveform), 99.0, 5.0},
               {kPBRange, -1e300, -24.0},
               {BlockParam(kBlockC, kMG1Freq), HUGE_VAL, 1500.0}};
  std::vector<double> v = Values(d.q());  // the defaults
  for (const auto& c : cases) v[size_t(c.index)] = c.stored;
  v[BlockParam(kBlockC, kCutoff)] = std::nan("");
  // A tagged state of program 0 with an empty name.
  ByteChunk chunk;
  const int zero = 0;
  chunk.PutBytes("Quenta_1.2.2", kTagLen);
  chunk.Put(&zero);
  chunk.Put(&zero);
  PutValues(chunk, v);
  EXPECT_EQ(d.q().UnserializeState(&chunk, 0), chunk.Size());
  for (const auto& c : cases) EXPECT_EQ(d.Get(c.index), c.limited) << "parameter " << c.index;
  EXPECT_EQ(d.q().getOutputGain(), 2.0);
  EXPECT_EQ(d.q().getBendRange(), -24.0 * 128.0);
  // Not a number is no value: the parameter keeps one inside its range.
  const double cutoff = d.Get(BlockParam(kBlockC, kCutoff));
  EXPECT_TRUE(cutoff >= 0.0 && cutoff <= 1.0) << cutoff;
}

TEST(State, CopyBlockAToCKeepsCsOwnLevelSourcesAndSwitch) {
  Direct d;
  const int own[] = {kVolume, kVCAFSrc, kChEnable, kChGate};
  for (int k = 0; k < kBlockParamCount; ++k)
    d.Set(BlockParam(kBlockA, k), SpreadValue(d.q(), BlockParam(kBlockA, k)));
  d.Set(BlockParam(kBlockA, kMG1Freq), 100.0);
  const double ownOfC[] = {0.4, kSrcMW, 1.0, kSrcVC2};
  for (int i = 0; i < 4; ++i) d.Set(BlockParam(kBlockC, own[i]), ownOfC[i]);
  const std::vector<double> before = Values(d.q());
  Log().automated.clear();
  d.q().runUtilCommand(kBlockA, 2);  // copy A to C
  // C takes A's values but its own four; A, B and the globals are untouched.
  std::vector<double> want = before;
  for (int k = 0; k < kBlockParamCount; ++k)
    if (std::find(std::begin(own), std::end(own), k) == std::end(own))
      want[size_t(BlockParam(kBlockC, k))] = before[size_t(BlockParam(kBlockA, k))];
  const std::vector<double> after = Values(d.q());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_NEAR(after[i], want[i], 1e-9 * (1.0 + std::fabs(want[i]))) << "parameter " << i;
  // The host heard of every parameter.
  std::vector<int> told = Log().automated;
  std::sort(told.begin(), told.end());
  told.erase(std::unique(told.begin(), told.end()), told.end());
  EXPECT_EQ(told.size(), size_t(kNumParams));
  // And the engine has the copies: C's MG1 now fires every 10 frames (100 Hz).
  d.Set(BlockParam(kBlockC, kMG1Host), 0.0);
  std::vector<int> at;
  for (int f = 0; f < 60; ++f) {
    d.Frame();
    if (d.Trigger(kTrigMG1C)) at.push_back(f);
  }
  ASSERT_GE(at.size(), 3u);
  EXPECT_EQ(at[2] - at[1], 10);
}

}  // namespace
