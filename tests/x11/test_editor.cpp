// The editor in a host's window: pointer events at the exact place with their buttons and
// modifiers; the window through the host's ways of opening and closing it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "editor_rig.h"
#include "plugin/vst2abi.h"
#include "support/xvfb.h"

using namespace x11test;

namespace {

[[maybe_unused]] const ::testing::Environment* const kXvfb =
    ::testing::AddGlobalTestEnvironment(new quenta_test::XvfbEnvironment);

using EditorTest = SessionTest;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The recorder's lines since the last call, joined by "|", from the first that starts with
// from (a move may pass over the pad on its way) and without mouse-over lines unless asked.
std::string Events(EditorSession& session, const std::string& from, bool overs) {
  std::string out;
  for (const std::string& l : session.Plug().Recorder()->Take()) {
    if (out.empty() && l.compare(0, from.size(), from) != 0) continue;
    if (overs || l.compare(0, 4, "over") != 0) out += (out.empty() ? "" : "|") + l;
  }
  return out;
}

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
  EXPECT_EQ(Events(*session, "over 310,120 ", true),
            "over 310,120 |down 310,120 L|up 310,120 L|down 310,120 R|up 310,120 R|"
            "down 310,120 LC|up 310,120 LC|over 311,140 SA|down 311,140 LSA|drag 330,150 LSA|"
            "up 330,150 LSA|over 399,199 |out|over 399,199 |out");
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
  EXPECT_EQ(Events(*session, "", false),
            "down 320,150 L|up 320,150 L|dbl 320,150 L|up 320,150 L|down 320,150 L|up 320,150 L|"
            "down 325,150 L|up 325,150 L|down 329,154 R|up 329,154 R|down 329,154 L|up 329,154 L");
}

// Opening twice leaves one window; closing and opening again shows the editor; a host that
// destroys its window first can still close, and open in another window.
TEST_F(EditorTest, TheHostsWaysOfOpeningAndClosing) {
  const uint32_t host = session->HostWindow();
  auto children = [&](uint32_t window, size_t n) {
    return EditorSession::WaitFor([&] { return rig.Children(window).size() == n; });
  };
  EXPECT_EQ(session->Dispatch(effEditOpen, host), 1);
  EXPECT_TRUE(children(host, 1));
  EXPECT_EQ(session->Dispatch(effEditClose), 1);
  EXPECT_TRUE(children(host, 0));
  EXPECT_EQ(session->Dispatch(effEditOpen, host), 1);
  ASSERT_TRUE(children(host, 1));
  EXPECT_TRUE(EditorSession::WaitFor([&] {
    return rig.ReadPixels(session->EditorWindow(), 720, 120, 1, 1) ==
           std::vector<uint32_t>{0xFF0000};
  }));

  rig.DestroyWindow(host);
  session->Settle();
  EXPECT_EQ(session->Dispatch(effEditClose), 1);
  EXPECT_EQ(session->Dispatch(effEditOpen, host), 0);  // a parent that is gone
  const uint32_t second = rig.MakeHostWindow(0, 0, 1500, 700);
  EXPECT_EQ(session->Dispatch(effEditOpen, second), 1);
  EXPECT_TRUE(children(second, 1));
  session->Dispatch(effEditClose);
  rig.DestroyWindow(second);
}

}  // namespace
