// Program and bank chunks as hosts store and restore them: exact headers, round trips between
// instances, the bank-requesting-host rule, and truncated or hostile data.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kHeaderSize = sizeof kChunkHeader;
constexpr int kCurrentAfterEdit = 17;

std::string EditedName(int program) { return "Edited program " + std::to_string(program); }

// Gives some programs distinct names and values through the host's own calls; program 17 is
// left current.
void EditPrograms(TestHost& host) {
  for (int p : {0, 3, 17, 40, 63}) {
    host.SetProgram(p);
    for (int i = 0; i < kQuentaNumParams; ++i)
      host.SetParameter(i, static_cast<float>((p * 31 + i * 17) % 101) / 100.0f);
    host.SetProgramName(EditedName(p));
  }
  host.SetProgram(kCurrentAfterEdit);
}

// A program chunk ends with the program name as a 32-bit length and the characters.
bool EndsWithName(const Bytes& chunk, const std::string& name) {
  if (chunk.size() < kHeaderSize + 4 + name.size()) return false;
  const size_t at = chunk.size() - name.size() - 4;
  return ReadLE32(chunk, at) == static_cast<int32_t>(name.size()) &&
         std::memcmp(chunk.data() + at + 4, name.data(), name.size()) == 0;
}

// Where each program's record (name length, name, initialised byte) starts in a bank chunk;
// the states between have no length, so each record is found by its exact bytes.
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

std::unique_ptr<TestHost> OpenedBy(const std::string& vendor) {
  auto host = std::make_unique<TestHost>();
  host->Answers().vendorString = vendor;
  host->Answers().stringLimit = 256;
  EXPECT_TRUE(host->Instantiate()) << host->Error();
  host->Open();
  return host;
}

class Chunks : public ::testing::Test {
 protected:
  void SetUp() override {
    for (TestHost* h : {&a, &b}) {
      ASSERT_TRUE(h->Instantiate()) << h->Error();
      h->Open();
    }
    EditPrograms(a);
  }
  TestHost a, b;
};

}  // namespace

TEST_F(Chunks, ExactHeadersAndLayout) {
  const Bytes program = a.GetChunk(false);
  ASSERT_TRUE(program.size() > kHeaderSize &&
              !std::memcmp(program.data(), kChunkHeader, kHeaderSize));
  EXPECT_TRUE(EndsWithName(program, EditedName(kCurrentAfterEdit)));
  VstIntPtr size = 0;
  const Bytes bank = a.GetChunk(true, &size);
  EXPECT_EQ(size, static_cast<VstIntPtr>(bank.size()));
  ASSERT_TRUE(bank.size() > kHeaderSize && !std::memcmp(bank.data(), kChunkHeader, kHeaderSize));
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
  EXPECT_EQ(a.GetChunk(false), program);
  EXPECT_EQ(a.GetChunk(true), bank);
}

TEST_F(Chunks, RoundTripsBetweenInstances) {
  // The instances are independent until then.
  const std::vector<std::string> namesBefore = ProgramNames(b);
  EXPECT_EQ(b.Program(), 0);
  EXPECT_NE(namesBefore[3], EditedName(3));
  EXPECT_NE(b.AllParameters(), a.AllParameters());
  // A program goes into b's current program, which takes the name and keeps it when left.
  EXPECT_EQ(b.SetChunk(a.GetChunk(false), false), 1);
  EXPECT_EQ(b.Program(), 0);
  EXPECT_EQ(b.ProgramName(), EditedName(kCurrentAfterEdit));
  std::vector<std::string> namesAfter = ProgramNames(b);
  namesAfter[0] = namesBefore[0];
  EXPECT_EQ(namesAfter, namesBefore);
  b.SetProgram(1);
  b.SetProgram(0);
  EXPECT_EQ(b.AllParameters(), a.AllParameters());

  // A bank replaces every program; b stays on its program, whose sound is the bank's.
  b.SetProgram(40);
  EXPECT_EQ(b.SetChunk(a.GetChunk(true), true), 1);
  EXPECT_EQ(b.Program(), 40);
  for (int p = 0; p < kQuentaNumPrograms; ++p) {
    a.SetProgram(p);
    b.SetProgram(p);
    ASSERT_EQ(b.ProgramName(), a.ProgramName()) << "program " << p;
    ASSERT_EQ(b.AllParameters(), a.AllParameters()) << "program " << p;
  }
}

TEST_F(Chunks, TruncatedProgramChunksAndNameLengthsThatLie) {
  const Bytes full = a.GetChunk(false);
  const std::string name = EditedName(kCurrentAfterEdit);
  const size_t stateEnd = full.size() - 4 - name.size();
  const std::string bName = b.ProgramName();
  for (size_t n = 0; n < full.size(); ++n) {
    const VstIntPtr r = b.SetChunk(Bytes(full.begin(), full.begin() + static_cast<long>(n)), false);
    // Refused inside the state or the name length; a name cut short is not used.
    ASSERT_EQ(r, n < stateEnd || (n > stateEnd && n < stateEnd + 4) ? 0 : 1) << n << " bytes";
    ASSERT_EQ(b.ProgramName(), bName) << "truncated to " << n << " bytes";
    if (n == stateEnd) {
      EXPECT_EQ(b.AllParameters(), a.AllParameters());
    }
  }
  // An empty trailing name keeps the program's name as well.
  Bytes unnamed(full.begin(), full.begin() + static_cast<long>(stateEnd));
  AppendLE32(unnamed, 0);
  EXPECT_EQ(b.SetChunk(unnamed, false), 1);
  EXPECT_EQ(b.ProgramName(), bName);
  for (int32_t length :
       {-1, -4, -static_cast<int32_t>(full.size()), INT_MIN, INT_MAX, INT_MAX - 3, 0x7FFFFFF0}) {
    Bytes chunk = full;
    std::memcpy(chunk.data() + stateEnd, &length, 4);
    const VstIntPtr r = b.SetChunk(chunk, false);
    EXPECT_TRUE(length < 0 ? r == 0 : r == 0 || r == 1) << length;
    EXPECT_EQ(b.ProgramName(), bName) << "name length " << length;
  }
  EXPECT_EQ(b.SetChunk(full, false), 1);
  EXPECT_EQ(b.ProgramName(), name);
}

TEST_F(Chunks, TruncatedBanksAndABadRecordKeepWhatCameBefore) {
  const Bytes full = a.GetChunk(true);
  const std::vector<std::string> aNames = ProgramNames(a);
  const std::vector<size_t> records = FindBankRecords(full, aNames);
  ASSERT_EQ(records.size(), static_cast<size_t>(kQuentaNumPrograms));
  constexpr int kBadRecord = 20;
  // Cut in the header, in a name length, a name, a flag, a state, and one byte short.
  const size_t r = records[kBadRecord];
  for (size_t n :
       {size_t{0}, size_t{5}, kHeaderSize, r + 2, r + 6, r + 4 + 14, r + 100, full.size() - 1})
    ASSERT_EQ(b.SetChunk(Bytes(full.begin(), full.begin() + static_cast<long>(n)), true), 0)
        << "bank truncated to " << n << " of " << full.size() << " bytes";

  for (int32_t length : {-1, -100000, INT_MIN, INT_MAX, 0x7FFFFFF0}) {
    SCOPED_TRACE(length);
    TestHost fresh;
    ASSERT_TRUE(fresh.Instantiate()) << fresh.Error();
    const std::vector<std::string> before = ProgramNames(fresh);
    Bytes bank = full;
    std::memcpy(bank.data() + records[kBadRecord], &length, 4);
    EXPECT_EQ(fresh.SetChunk(bank, true), 0);
    const std::vector<std::string> after = ProgramNames(fresh);
    for (int p = 0; p < kQuentaNumPrograms; ++p)
      EXPECT_TRUE(p == kBadRecord || after[p] == (p < kBadRecord ? aNames[p] : before[p]))
          << "program " << p << ": " << after[p];
    for (int i = 0; i < kQuentaNumParams; ++i)
      ASSERT_TRUE(fresh.GetParameter(i) >= 0.0f && fresh.GetParameter(i) <= 1.0f) << i;
  }
}

// ---- Hosts that ask for a bank but store it as a program ---------------------------------

TEST(BankRequestingHost, GetsProgramChunksForBankRequests) {
  for (const char* vendor :
       {"Native Instruments", "NATIVE INSTRUMENTS", "JUCE VST Host", "juce vst host"}) {
    SCOPED_TRACE(vendor);
    std::unique_ptr<TestHost> host = OpenedBy(vendor);
    EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 0u);
    EditPrograms(*host);
    const Bytes asBank = host->GetChunk(true);
    EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 1u);
    EXPECT_EQ(asBank, host->GetChunk(false));
    EXPECT_TRUE(EndsWithName(asBank, EditedName(kCurrentAfterEdit)));

    // Such a host gives the chunk back with idx 0 as well: it is applied as a program.
    std::unique_ptr<TestHost> other = OpenedBy(vendor);
    EXPECT_EQ(other->SetChunk(asBank, true), 1);
    EXPECT_EQ(other->AllParameters(), host->AllParameters());
    EXPECT_EQ(other->ProgramName(), EditedName(kCurrentAfterEdit));

    // A real bank delivered with idx 0 is recognised as a bank after all.
    std::unique_ptr<TestHost> plain = OpenedBy("");
    EditPrograms(*plain);
    plain->SetProgramName("bank marker");
    EXPECT_EQ(other->SetChunk(plain->GetChunk(true), true), 1);
    EXPECT_EQ(ProgramNames(*other), ProgramNames(*plain));
    EXPECT_EQ(other->CountCalls(audioMasterGetVendorString), 1u);  // asked once per instance
    // Guards a bank-requesting host's chunk that is neither a program nor a bank: it was once
    // "loaded" as a bank without any bank being read, answering 1.
    for (size_t n : {0, 1, 5, 9, 100, 1000})
      for (TestHost* h : {other.get(), plain.get()})
        for (bool bank : {true, false}) EXPECT_EQ(h->SetChunk(Bytes(n, 0x41), bank), 0) << n;
  }
}

TEST(BankRequestingHost, OddVendorAnswers) {
  // A vendor string that fills the plug-in's whole buffer.
  std::unique_ptr<TestHost> host = OpenedBy(std::string(255, 'v'));
  EXPECT_EQ(host->SetChunk(OpenedBy("")->GetChunk(false), false), 1);
  EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 1u);
  // A host that answers without writing anything is no bank-requesting host.
  TestHost silent;
  silent.SetScript([](const HostCall& call, void*, VstIntPtr& answer) {
    answer = 0;
    return call.opcode == audioMasterGetVendorString;
  });
  ASSERT_TRUE(silent.Instantiate()) << silent.Error();
  EXPECT_NE(silent.GetChunk(true), silent.GetChunk(false));
}
