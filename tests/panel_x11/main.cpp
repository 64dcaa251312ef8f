// The panel in a host's window runs against a private X server that this program starts and
// stops.
#include <gtest/gtest.h>

#include "support/xvfb.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new quenta_test::XvfbEnvironment);
  return RUN_ALL_TESTS();
}
