// The editor in a host's window: pointer events at the exact place with their buttons and
// modifiers; the window through the host's ways of opening and closing it; its pixel layouts.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "editor/platform/x11_window.h"
#include "editor_rig.h"
#include "support/xvfb.h"

using namespace quenta_test;

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

// The surface copy's conversion to pixel layouts other than the test server's own: channels
// placed by the visual's masks (and scaled to their widths), bytes in the server's order.
struct LayoutCase {
  const char* what;
  x11::PixelFormat format;
  std::vector<uint8_t> bytes;  // of the two pixels (255, 128, 1) and (0, 255, 64)
};

TEST(SurfaceCopy, PixelsFollowTheVisualsMasksAndByteOrder) {
  const LayoutCase cases[] = {
      {"xRGB, LSB first", {32, false, 0xff0000, 0xff00, 0xff}, {1, 128, 255, 0, 64, 255, 0, 0}},
      {"xRGB, MSB first", {32, true, 0xff0000, 0xff00, 0xff}, {0, 255, 128, 1, 0, 0, 255, 64}},
      {"xBGR, LSB first", {32, false, 0xff, 0xff00, 0xff0000}, {255, 128, 1, 0, 0, 255, 64, 0}},
      {"RGB 5-6-5, LSB first", {16, false, 0xf800, 0x07e0, 0x1f}, {0x00, 0xfc, 0xe8, 0x07}},
      {"RGB 5-6-5, MSB first", {16, true, 0xf800, 0x07e0, 0x1f}, {0xfc, 0x00, 0x07, 0xe8}},
      {"10 bits a channel",
       {32, false, 0x3ff00000, 0xffc00, 0x3ff},
       {0x04, 0x00, 0xc8, 0x3f, 0x00, 0xf1, 0x0f, 0x00}},
  };
  const LICE_pixel src[] = {LICE_RGBA(255, 128, 1, 7), LICE_RGBA(0, 255, 64, 200)};
  for (const LayoutCase& c : cases) {
    std::vector<uint8_t> out(c.bytes.size(), 0xAA);
    ASSERT_TRUE(x11::ConvertPixels(src, 2, c.format, out.data())) << c.what;
    EXPECT_EQ(out, c.bytes) << c.what;
  }
  std::vector<uint8_t> out(8, 0xAA);
  EXPECT_FALSE(x11::ConvertPixels(src, 2, {24, false, 0xff0000, 0xff00, 0xff}, out.data()));
  EXPECT_EQ(out, std::vector<uint8_t>(8, 0xAA));
}

}  // namespace
