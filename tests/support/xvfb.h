#pragma once
// A private X server for tests that open the editor: Xvfb started on a display number it picks
// itself (-displayfd), DISPLAY set for the test program, and the server stopped by its pid at
// the end. Register it once per test program:
//   ::testing::AddGlobalTestEnvironment(new quenta_test::XvfbEnvironment);
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace quenta_test {

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<const char*> argv = {"Xvfb",         "-displayfd", "3",   "-screen",  "0",
                                     "1920x1200x24", "-nolisten",  "tcp", "-noreset", nullptr};
    const int err =
        posix_spawnp(&mPid, "Xvfb", &actions, nullptr, const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (err != 0) {
      close(fds[0]);
      mPid = 0;
      FAIL() << "Xvfb could not be started (scripts/install-deps installs it)";
    }
    // The server writes its display number once it accepts connections; the pipe ends when it
    // exits.
    std::string number;
    for (char c; read(fds[0], &c, 1) == 1 && c != '\n';) number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not report a display";
    Display() = ":" + number;
    setenv("DISPLAY", Display().c_str(), 1);
  }
  void TearDown() override {
    if (mPid > 0) {
      kill(mPid, SIGTERM);
      int status = 0;
      waitpid(mPid, &status, 0);
      mPid = 0;
    }
    Display().clear();
  }
  // ":N" of the running server, "" when it could not start.
  static std::string& Display() {
    static std::string display;
    return display;
  }

 private:
  pid_t mPid = 0;
};

}  // namespace quenta_test
