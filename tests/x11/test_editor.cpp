// The editor inside a host's window: what the user does with the pointer reaches the controls at
// the exact place with the right buttons and modifiers, and the window survives the host's ways
// of opening and closing it. (test_panel_window.cpp shows its pixels and a knob.)
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "editor_rig.h"
#include "plugin/vst2abi.h"
#include "support/xvfb.h"

using namespace x11test;

namespace {

// The suite's private X server, started before the first test and stopped after the last.
[[maybe_unused]] const ::testing::Environment* const kXvfb =
    ::testing::AddGlobalTestEnvironment(new quenta_test::XvfbEnvironment);

using EditorTest = SessionTest;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST_F(EditorTest, EventsArriveAtExactCoordinatesWithTheirButtonsAndModifiers) {
  session->MoveTo(310, 120);
  rig.Click(1);
  session->Settle();
  rig.Click(3);  // a right click is a right click
  session->Settle();
  Pause(450);
  rig.KeyDown(XKB_KEY_Control_L);  // the fine-adjust modifier, never a right click
  rig.Click(1);
  rig.KeyUp(XKB_KEY_Control_L);
  rig.KeyDown(XKB_KEY_Shift_L);
  rig.KeyDown(XKB_KEY_Alt_L);
  session->MoveTo(311, 140);
  rig.Press(1);
  session->MoveTo(330, 150);
  rig.Release(1);
  rig.KeyUp(XKB_KEY_Alt_L);
  rig.KeyUp(XKB_KEY_Shift_L);
  session->MoveTo(399, 199);  // the pad's last pixel
  session->MoveTo(400, 199);  // just outside it
  session->MoveTo(399, 199);
  rig.MoveTo(1490, 680);  // out of the editor's window
  session->Settle();
  const std::vector<std::string> expected = {"over 310,120 ",
                                             "down 310,120 L",
                                             "up 310,120 L",
                                             "down 310,120 R",
                                             "up 310,120 R",
                                             "down 310,120 LC",
                                             "up 310,120 LC",
                                             "over 311,140 SA",
                                             "down 311,140 LSA",
                                             "drag 330,150 LSA",
                                             "up 330,150 LSA",
                                             "over 399,199 ",
                                             "out",
                                             "over 399,199 ",
                                             "out"};
  std::vector<std::string> lines = session->Plug().Recorder()->Take();
  // The first move may pass over the pad's corner on its way; only the events from arriving at
  // (310, 120) on count.
  while (!lines.empty() && lines.front() != "over 310,120 ") lines.erase(lines.begin());
  EXPECT_EQ(lines, expected);
}

TEST_F(EditorTest, DoubleClicksNeedTheSameButtonSoonAndClose) {
  session->MoveTo(320, 150);
  rig.Click(1);
  rig.Click(1);  // soon, same place: a double click
  session->Settle();
  Pause(450);
  rig.Click(1);  // too late for the last one
  session->MoveTo(325, 150);
  rig.Click(1);  // five pixels away: too far
  session->MoveTo(329, 154);
  rig.Click(3);  // another button
  rig.Click(1);  // and back to the first
  session->Settle();
  std::vector<std::string> lines;
  for (const std::string& l : session->Plug().Recorder()->Take())
    if (l.compare(0, 4, "over") != 0) lines.push_back(l);
  const std::vector<std::string> expected = {"down 320,150 L", "up 320,150 L",   "dbl 320,150 L",
                                             "up 320,150 L",   "down 320,150 L", "up 320,150 L",
                                             "down 325,150 L", "up 325,150 L",   "down 329,154 R",
                                             "up 329,154 R",   "down 329,154 L", "up 329,154 L"};
  EXPECT_EQ(lines, expected);
}

// The editor creates and destroys its windows on its own connection: the test's connection
// sees the change once the server has handled those requests.
TEST_F(EditorTest, OpeningTwiceLeavesOneWindowAndReopeningShowsTheEditorAgain) {
  const uint32_t host = session->HostWindow();
  auto children = [&](size_t n) {
    return EditorSession::WaitFor([&] { return rig.Children(host).size() == n; });
  };
  EXPECT_EQ(session->Dispatch(effEditOpen, host), 1);
  EXPECT_TRUE(children(1));
  EXPECT_EQ(session->Dispatch(effEditClose), 1);
  EXPECT_TRUE(children(0));
  EXPECT_EQ(session->Dispatch(effEditOpen, host), 1);
  ASSERT_TRUE(children(1));
  EXPECT_TRUE(EditorSession::WaitFor([&] {
    return rig.ReadPixels(session->EditorWindow(), 720, 120, 1, 1) ==
           std::vector<uint32_t>{0xFF0000};
  }));
}

TEST_F(EditorTest, AHostThatDestroysItsWindowFirstCanStillCloseAndReopen) {
  rig.DestroyWindow(session->HostWindow());
  session->Settle();
  EXPECT_EQ(session->Dispatch(effEditClose), 1);
  // A parent that no longer exists: the editor does not open.
  EXPECT_EQ(session->Dispatch(effEditOpen, session->HostWindow()), 0);
  const uint32_t second = rig.MakeHostWindow(0, 0, 1500, 700);
  EXPECT_EQ(session->Dispatch(effEditOpen, second), 1);
  EXPECT_TRUE(EditorSession::WaitFor([&] { return rig.Children(second).size() == 1; }));
  session->Dispatch(effEditClose);
  rig.DestroyWindow(second);
}

}  // namespace
