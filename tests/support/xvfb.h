#pragma once
// A private X server for tests that open the editor: Xvfb started on a display number it picks
// itself (-displayfd), DISPLAY set for the test program, and the server stopped by its pid at
// the end. Register it once per test program:
//   ::testing::AddGlobalTestEnvironment(new quenta_test::XvfbEnvironment);
#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>

namespace quenta_test {

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  // ":N" of the running server, "" when it could not start.
  static const std::string& Display();

 private:
  pid_t mPid = 0;
};

}  // namespace quenta_test
