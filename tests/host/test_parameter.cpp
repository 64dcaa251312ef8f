// Parameter traffic through the AEffect's getParameter and setParameter callbacks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

namespace {

const std::vector<VstInt32> kInvalidIndices = {
    kQuentaNumParams, kQuentaNumParams + 1, -1, 1000, INT_MAX, INT_MIN};

class Parameters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Instantiate()) << host.Error();
    host.Open();
    host.ClearRecords();
  }
  TestHost host;
};

}  // namespace

TEST_F(Parameters, InvalidIndicesReadZeroAndChangeNothing) {
  for (VstInt32 index : kInvalidIndices) EXPECT_EQ(host.GetParameter(index), 0.0f) << index;
  const std::vector<float> before = host.AllParameters();
  const std::vector<uint8_t> chunk = host.GetChunk(false);
  for (VstInt32 index : kInvalidIndices) host.SetParameter(index, 0.7f);
  EXPECT_EQ(host.AllParameters(), before);
  EXPECT_EQ(host.GetChunk(false), chunk);
}

TEST_F(Parameters, ValuesRoundTripAndStayInRange) {
  for (int i = 0; i < kQuentaNumParams; ++i) {
    // The ends of the range come back exactly.
    for (float v : {0.0f, 1.0f}) {
      host.SetParameter(i, v);
      EXPECT_EQ(host.GetParameter(i), v) << "param " << i;
    }
    // Setting the value the host just read must not move the parameter (no drift through the
    // normalisation and the step rounding).
    for (float v : {0.1f, 0.25f, 0.5f, 0.77f, 0.9f}) {
      host.SetParameter(i, v);
      const float read = host.GetParameter(i);
      host.SetParameter(i, read);
      EXPECT_NEAR(host.GetParameter(i), read, 1e-6) << "param " << i << " set to " << v;
    }
    // Hosts occasionally send values a little (or a lot) outside 0 to 1.
    for (float v : {-0.5f, -1e-6f, 1.000001f, 1.5f, 100.0f, -100.0f}) {
      host.SetParameter(i, v);
      const float read = host.GetParameter(i);
      ASSERT_TRUE(std::isfinite(read) && read >= 0.0f && read <= 1.0f)
          << "param " << i << " set to " << v;
    }
  }
  host.StartSession(48000.0f, 256);
  host.SendMidi({TestHost::Midi(0, 0x90, 60, 100)});
  host.ProcessReplacing(256);
  for (int ch = 0; ch < 2; ++ch)
    for (float s : host.OutputF(ch)) ASSERT_TRUE(std::isfinite(s));
}

TEST_F(Parameters, HostSetValuesAreNotSentBack) {
  // A value the host sets is not reported back as automation (that would loop in the host).
  for (int i = 0; i < kQuentaNumParams; ++i) host.SetParameter(i, 0.5f);
  EXPECT_EQ(host.CountCalls(audioMasterAutomate), 0u);
  EXPECT_EQ(host.CountCalls(audioMasterBeginEdit), 0u);
  EXPECT_EQ(host.CountCalls(audioMasterEndEdit), 0u);
}
