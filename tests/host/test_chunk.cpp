// Program and bank chunks as hosts store and restore them: exact headers, round trips between
// instances, the bank-requesting-host rule, and truncated or hostile data.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kHeaderSize = sizeof kChunkHeader;
constexpr size_t kParamBytes = kQuentaNumParams * sizeof(double);  // the plain values in a state

// Programs given their own names and sounds before a transfer, and the program left current.
const std::vector<int> kEditedPrograms = {0, 3, 17, 40, 63};
constexpr int kCurrentAfterEdit = 17;

std::string EditedName(int program) { return "Edited program " + std::to_string(program); }

// Gives some programs distinct names and parameter values, through the host's own calls.
void EditPrograms(TestHost& host) {
  for (int p : kEditedPrograms) {
    host.SetProgram(p);
    for (int i = 0; i < kQuentaNumParams; ++i)
      host.SetParameter(i, static_cast<float>((p * 31 + i * 17) % 101) / 100.0f);
    host.SetProgramName(EditedName(p));
  }
  host.SetProgram(kCurrentAfterEdit);
}

struct ProgramSnapshot {
  std::string name;
  std::vector<float> params;
  bool operator==(const ProgramSnapshot& o) const { return name == o.name && params == o.params; }
};

// Names and values of every program, visited with effSetProgram; the current program is kept.
std::vector<ProgramSnapshot> Snapshot(TestHost& host) {
  const int current = host.Program();
  std::vector<ProgramSnapshot> all;
  for (int p = 0; p < kQuentaNumPrograms; ++p) {
    host.SetProgram(p);
    all.push_back({host.ProgramName(), host.AllParameters()});
  }
  host.SetProgram(current);
  return all;
}

bool StartsWithHeader(const Bytes& chunk) {
  return chunk.size() >= kHeaderSize && std::memcmp(chunk.data(), kChunkHeader, kHeaderSize) == 0;
}

// A program chunk ends with the program name as a 32-bit length and the characters.
bool EndsWithName(const Bytes& chunk, const std::string& name) {
  if (chunk.size() < kHeaderSize + 4 + name.size()) return false;
  const size_t at = chunk.size() - name.size() - 4;
  return ReadLE32(chunk, at) == static_cast<int32_t>(name.size()) &&
         std::memcmp(chunk.data() + at + 4, name.data(), name.size()) == 0;
}

// Finds where each program's record (name length, name, initialised byte) starts in a bank
// chunk, given the program names in order. The states in between have no length, so the next
// record is found by its exact bytes.
std::vector<size_t> FindBankRecords(const Bytes& bank, const std::vector<std::string>& names) {
  std::vector<size_t> at;
  size_t pos = kHeaderSize;
  for (const std::string& name : names) {
    Bytes pattern;
    AppendLE32(pattern, static_cast<int32_t>(name.size()));
    pattern.insert(pattern.end(), name.begin(), name.end());
    pattern.push_back(1);
    auto it = std::search(bank.begin() + static_cast<long>(pos), bank.end(), pattern.begin(),
                          pattern.end());
    if (it == bank.end()) return {};
    at.push_back(static_cast<size_t>(it - bank.begin()));
    pos = at.back() + pattern.size();
  }
  return at;
}

std::vector<std::string> ProgramNames(TestHost& host) {
  std::vector<std::string> names;
  for (int p = 0; p < kQuentaNumPrograms; ++p) names.push_back(host.ProgramNameIndexed(p));
  return names;
}

void ExpectSaneParameters(TestHost& host) {
  for (int i = 0; i < kQuentaNumParams; ++i) {
    const float v = host.GetParameter(i);
    ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f) << "param " << i << " = " << v;
  }
}

class Chunks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(a.Instantiate()) << a.Error();
    ASSERT_TRUE(b.Instantiate()) << b.Error();
    a.Open();
    b.Open();
  }
  TestHost a, b;
};

}  // namespace

TEST_F(Chunks, ExactHeadersAndLayout) {
  EditPrograms(a);
  const Bytes program = a.GetChunk(false);
  ASSERT_TRUE(StartsWithHeader(program));
  EXPECT_TRUE(EndsWithName(program, EditedName(kCurrentAfterEdit)));
  EXPECT_GE(program.size(), kHeaderSize + kParamBytes + 4);

  VstIntPtr size = 0;
  const Bytes bank = a.GetChunk(true, &size);
  EXPECT_EQ(size, static_cast<VstIntPtr>(bank.size()));
  ASSERT_TRUE(StartsWithHeader(bank));
  // Every program is in the bank in order: its name and the initialised flag before its state.
  const std::vector<size_t> records = FindBankRecords(bank, ProgramNames(a));
  ASSERT_EQ(records.size(), static_cast<size_t>(kQuentaNumPrograms));
  EXPECT_EQ(records[0], kHeaderSize);
  // The current program's record holds the same state the program chunk carries.
  const std::string current = EditedName(kCurrentAfterEdit);
  const size_t state = records[kCurrentAfterEdit] + 4 + current.size() + 1;
  const size_t stateSize = program.size() - kHeaderSize - 4 - current.size();
  ASSERT_LE(state + stateSize, bank.size());
  EXPECT_EQ(std::memcmp(bank.data() + state, program.data() + kHeaderSize, stateSize), 0);
  // Asking again gives the same bytes.
  EXPECT_EQ(a.GetChunk(false), program);
  EXPECT_EQ(a.GetChunk(true), bank);
}

TEST_F(Chunks, ProgramChunkRoundTripBetweenInstances) {
  EditPrograms(a);
  const std::vector<std::string> namesBefore = ProgramNames(b);
  const int bProgram = b.Program();
  EXPECT_EQ(b.SetChunk(a.GetChunk(false), false), 1);
  EXPECT_EQ(b.AllParameters(), a.AllParameters());
  // The state goes into b's current program, which takes the name; b stays on its program.
  EXPECT_EQ(b.Program(), bProgram);
  EXPECT_EQ(b.ProgramName(), EditedName(kCurrentAfterEdit));
  std::vector<std::string> namesAfter = ProgramNames(b);
  namesAfter[bProgram] = namesBefore[bProgram];
  EXPECT_EQ(namesAfter, namesBefore);
  // And it was stored: leaving and coming back keeps it.
  b.SetProgram((bProgram + 1) % kQuentaNumPrograms);
  b.SetProgram(bProgram);
  EXPECT_EQ(b.AllParameters(), a.AllParameters());
}

TEST_F(Chunks, BankChunkRoundTripBetweenInstances) {
  EditPrograms(a);
  const int bProgram = b.Program();
  EXPECT_EQ(b.SetChunk(a.GetChunk(true), true), 1);
  EXPECT_EQ(b.Program(), bProgram);
  const std::vector<ProgramSnapshot> inA = Snapshot(a);
  const std::vector<ProgramSnapshot> inB = Snapshot(b);
  ASSERT_EQ(inA.size(), inB.size());
  for (size_t p = 0; p < inA.size(); ++p) {
    EXPECT_EQ(inB[p].name, inA[p].name) << "program " << p;
    EXPECT_EQ(inB[p].params, inA[p].params) << "program " << p;
  }
  // The live sound is b's current program from the bank.
  a.SetProgram(bProgram);
  EXPECT_EQ(b.AllParameters(), a.AllParameters());
  // A bank saved again from b carries the same names.
  EXPECT_EQ(FindBankRecords(b.GetChunk(true), ProgramNames(a)).size(),
            static_cast<size_t>(kQuentaNumPrograms));
}

TEST_F(Chunks, TruncatedProgramChunks) {
  EditPrograms(a);
  const Bytes full = a.GetChunk(false);
  const std::string name = EditedName(kCurrentAfterEdit);
  const size_t stateEnd = full.size() - 4 - name.size();
  const std::string bName = b.ProgramName();
  for (size_t n = 0; n < full.size(); ++n) {
    const Bytes part(full.begin(), full.begin() + static_cast<long>(n));
    const VstIntPtr r = b.SetChunk(part, false);
    if (n < stateEnd) {
      ASSERT_EQ(r, 0) << "truncated to " << n << " bytes";
    } else if (n == stateEnd) {
      ASSERT_EQ(r, 1) << "ends after the state";
      EXPECT_EQ(b.AllParameters(), a.AllParameters());
    } else if (n < stateEnd + 4) {
      ASSERT_EQ(r, 0) << "cut inside the name length";
    } else {
      ASSERT_EQ(r, 1) << "cut inside the name";  // the name cannot be read and is not used
    }
    ASSERT_EQ(b.ProgramName(), bName) << "truncated to " << n << " bytes";
  }
  // An empty trailing name keeps the program's name as well.
  Bytes unnamed(full.begin(), full.begin() + static_cast<long>(stateEnd));
  AppendLE32(unnamed, 0);
  EXPECT_EQ(b.SetChunk(unnamed, false), 1);
  EXPECT_EQ(b.ProgramName(), bName);
  EXPECT_EQ(b.SetChunk(full, false), 1);
  EXPECT_EQ(b.ProgramName(), name);
  EXPECT_EQ(b.AllParameters(), a.AllParameters());
}

TEST_F(Chunks, ProgramChunkNameLengthsThatLie) {
  const std::string name = a.ProgramName();
  const Bytes full = a.GetChunk(false);
  const size_t at = full.size() - 4 - name.size();
  const std::string bName = b.ProgramName();
  for (int32_t length : {-1, -4, -8, -static_cast<int32_t>(full.size()), INT_MIN}) {
    Bytes chunk = full;
    std::memcpy(chunk.data() + at, &length, 4);
    EXPECT_EQ(b.SetChunk(chunk, false), 0) << "name length " << length;
    EXPECT_EQ(b.ProgramName(), bName);
  }
  for (int32_t length : {INT_MAX, INT_MAX - 3, 0x7FFFFFF0, 1 << 30}) {
    Bytes chunk = full;
    std::memcpy(chunk.data() + at, &length, 4);
    const VstIntPtr r = b.SetChunk(chunk, false);
    EXPECT_TRUE(r == 0 || r == 1) << r;
    EXPECT_EQ(b.ProgramName(), bName) << "name length " << length;
  }
}

TEST_F(Chunks, TruncatedBankChunks) {
  EditPrograms(a);
  const Bytes full = a.GetChunk(true);
  const std::vector<size_t> records = FindBankRecords(full, ProgramNames(a));
  ASSERT_EQ(records.size(), static_cast<size_t>(kQuentaNumPrograms));
  std::vector<size_t> cuts;
  for (size_t n = 0; n < 64; ++n) cuts.push_back(n);
  for (size_t r : records)
    for (size_t d : {0, 1, 3, 4, 5, 6}) cuts.push_back(r + d);
  for (size_t n = 64; n < full.size(); n += 997) cuts.push_back(n);
  cuts.push_back(full.size() - 1);
  for (size_t n : cuts) {
    if (n >= full.size()) continue;
    const Bytes part(full.begin(), full.begin() + static_cast<long>(n));
    ASSERT_EQ(b.SetChunk(part, true), 0)
        << "bank truncated to " << n << " of " << full.size() << " bytes";
  }
  EXPECT_EQ(b.SetChunk(full, true), 1);
  EXPECT_EQ(ProgramNames(b), ProgramNames(a));
}

TEST_F(Chunks, BankReadStopsAtABadRecordKeepingWhatCameBefore) {
  EditPrograms(a);
  const Bytes full = a.GetChunk(true);
  const std::vector<std::string> aNames = ProgramNames(a);
  const std::vector<size_t> records = FindBankRecords(full, aNames);
  ASSERT_EQ(records.size(), static_cast<size_t>(kQuentaNumPrograms));
  constexpr int kBadRecord = 20;
  for (int32_t length : {-1, -5, -100000, INT_MIN, INT_MAX, 0x7FFFFFF0}) {
    SCOPED_TRACE(length);
    TestHost fresh;
    ASSERT_TRUE(fresh.Instantiate()) << fresh.Error();
    const std::vector<std::string> before = ProgramNames(fresh);
    Bytes bank = full;
    std::memcpy(bank.data() + records[kBadRecord], &length, 4);
    EXPECT_EQ(fresh.SetChunk(bank, true), 0);
    const std::vector<std::string> after = ProgramNames(fresh);
    for (int p = 0; p < kBadRecord; ++p) EXPECT_EQ(after[p], aNames[p]) << "program " << p;
    for (int p = kBadRecord + 1; p < kQuentaNumPrograms; ++p)
      EXPECT_EQ(after[p], before[p]) << "program " << p;
    ExpectSaneParameters(fresh);
  }
}

// (Random and mutated chunks are the fuzz targets' work.)
TEST_F(Chunks, ChunksOfTheOtherKindLeaveAWorkingInstrument) {
  EditPrograms(a);
  const Bytes bank = a.GetChunk(true);
  const Bytes program = a.GetChunk(false);
  // A bank offered as a program, a program offered as a bank, a bank without its header:
  // whatever the result, the instance stays sound.
  for (auto [chunk, asBank] : {std::pair<Bytes, bool>{bank, false},
                               {program, true},
                               {Bytes(bank.begin() + kHeaderSize, bank.end()), true}}) {
    b.SetChunk(chunk, asBank);
    ExpectSaneParameters(b);
  }
  // Still a working instrument afterwards, which takes the bank whole.
  EXPECT_EQ(b.SetChunk(bank, true), 1);
  EXPECT_EQ(ProgramNames(b), ProgramNames(a));
  ExpectSaneParameters(b);
  b.StartSession();
  b.ProcessReplacing(512);
  for (int ch = 0; ch < 2; ++ch)
    for (float s : b.OutputF(ch)) ASSERT_TRUE(std::isfinite(s));
}

// ---- Hosts that ask for a bank but store it as a program ---------------------------------

class BankRequestingHost : public ::testing::TestWithParam<const char*> {};

// An opened instance whose host names its vendor as given.
std::unique_ptr<TestHost> OpenedBy(const std::string& vendor) {
  auto host = std::make_unique<TestHost>();
  host->Answers().vendorString = vendor;
  host->Answers().stringLimit = 256;
  EXPECT_TRUE(host->Instantiate()) << host->Error();
  host->Open();
  return host;
}

TEST_P(BankRequestingHost, GetsProgramChunksForBankRequests) {
  std::unique_ptr<TestHost> host = OpenedBy(GetParam());
  EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 0u);
  EditPrograms(*host);
  const Bytes asBank = host->GetChunk(true);
  EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 1u);
  EXPECT_EQ(asBank, host->GetChunk(false));
  EXPECT_TRUE(EndsWithName(asBank, EditedName(kCurrentAfterEdit)));

  // Such a host gives the chunk back with idx 0 as well: it is applied as a program.
  std::unique_ptr<TestHost> other = OpenedBy(GetParam());
  EXPECT_EQ(other->SetChunk(asBank, true), 1);
  EXPECT_EQ(other->AllParameters(), host->AllParameters());
  EXPECT_EQ(other->ProgramName(), EditedName(kCurrentAfterEdit));
  EXPECT_EQ(other->CountCalls(audioMasterGetVendorString), 1u);

  // A real bank delivered with idx 0 is recognised as a bank after all.
  std::unique_ptr<TestHost> plain = OpenedBy("");
  EditPrograms(*plain);
  plain->SetProgramName("bank marker");
  EXPECT_EQ(other->SetChunk(plain->GetChunk(true), true), 1);
  EXPECT_EQ(ProgramNames(*other), ProgramNames(*plain));
  host->GetChunk(true);
  host->SetChunk(asBank, true);
  EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 1u);  // asked once per instance
}

INSTANTIATE_TEST_SUITE_P(Vendors, BankRequestingHost,
                         ::testing::Values("Native Instruments", "NATIVE INSTRUMENTS",
                                           "native instruments", "JUCE VST Host", "juce vst host",
                                           "Juce Vst Host"));

TEST(BankRequestingHostTest, FirstDeliveryAlsoAsksAndLongVendorStringsAreSafe) {
  TestHost source;
  ASSERT_TRUE(source.Instantiate()) << source.Error();
  // A vendor string that fills the plug-in's whole buffer.
  std::unique_ptr<TestHost> host = OpenedBy(std::string(255, 'v'));
  EXPECT_EQ(host->SetChunk(source.GetChunk(false), false), 1);
  EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 1u);

  // A host that answers without writing anything.
  TestHost silent;
  silent.SetScript([](const HostCall& call, void*, VstIntPtr& answer) {
    answer = 0;
    return call.opcode == audioMasterGetVendorString;
  });
  ASSERT_TRUE(silent.Instantiate()) << silent.Error();
  EXPECT_NE(silent.GetChunk(true), silent.GetChunk(false));
}

// Guards a bank-requesting host's chunk that is neither a program nor a bank: it was once
// "loaded" as a bank without any bank being read, answering 1 where any other host got 0.
TEST(BankRequestingHostTest, DataThatIsNeitherProgramNorBankIsRefused) {
  for (size_t n : {0, 1, 3, 5, 9, 100, 1000}) {
    SCOPED_TRACE(n);
    const Bytes garbage(n, 0x41);
    for (const char* vendor : {"", "Native Instruments"}) {
      std::unique_ptr<TestHost> host = OpenedBy(vendor);
      EXPECT_EQ(host->SetChunk(garbage, true), 0) << vendor;
      EXPECT_EQ(host->SetChunk(garbage, false), 0) << vendor;
    }
  }
}
