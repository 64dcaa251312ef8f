// Parameter traffic through the AEffect's getParameter and setParameter callbacks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "support/test_host.h"

using namespace quenta_test;

TEST(Parameters, ValuesRoundTripStayInRangeAndAreNotSentBack) {
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.Open();
  // Invalid indices read 0 and change nothing.
  const std::vector<float> before = host.AllParameters();
  const std::vector<uint8_t> chunk = host.GetChunk(false);
  for (VstInt32 index : {kQuentaNumParams, kQuentaNumParams + 1, -1, 1000, INT_MAX, INT_MIN}) {
    EXPECT_EQ(host.GetParameter(index), 0.0f) << index;
    host.SetParameter(index, 0.7f);
  }
  EXPECT_EQ(host.AllParameters(), before);
  EXPECT_EQ(host.GetChunk(false), chunk);

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
  // A value the host sets is not reported back as automation (that would loop in the host).
  for (VstInt32 opcode : {audioMasterAutomate, audioMasterBeginEdit, audioMasterEndEdit})
    EXPECT_EQ(host.CountCalls(opcode), 0u) << opcode;
}
