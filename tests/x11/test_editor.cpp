// The editor inside a host's window: what the user does with the pointer reaches the controls at
// the exact place with the right buttons and modifiers, and the host hears of parameter edits
// in order; what the editor drew is what the window shows; the window survives the host's ways
// of opening and closing it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "editor_rig.h"
#include "plugin/vst2abi.h"
#include "render/bitmap.h"
#include "render/pixel.h"

using quenta_test::XRig;
using namespace x11test;

namespace {

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Ok());
    session.reset(new EditorSession(rig));
    ASSERT_TRUE(session->Opened());
    ASSERT_NE(session->EditorWindow(), 0u);
    session->Plug().TakeEdits();
  }
  void TearDown() override { session.reset(); }

  std::vector<std::string> Lines() { return session->Plug().Recorder()->Take(); }
  XRig rig;
  std::unique_ptr<EditorSession> session;
};

std::string Describe(const std::vector<HostEdit>& edits) {
  std::string s;
  for (const HostEdit& e : edits) {
    s += e.opcode == audioMasterBeginEdit ? "begin" : e.opcode == audioMasterEndEdit ? "end" : "automate";
    s += " " + std::to_string(e.index) + "; ";
  }
  return s;
}

TEST_F(EditorTest, DragAndWheelOnAKnobReachTheHostAsOneEdit) {
  AEffect* e = session->Effect();
  session->MoveTo(132, 150);
  rig.Press(1);
  session->MoveTo(132, 118);  // 32 pixels up: half the knob's height, an eighth of the range
  rig.Release(1);
  session->Settle();
  std::vector<HostEdit> edits = session->Plug().TakeEdits();
  ASSERT_EQ(Describe(edits), "begin 0; automate 0; end 0; ");
  EXPECT_NEAR(edits[1].value, 0.625, 1e-6);
  EXPECT_NEAR(e->getParameter(e, kKnob), 0.625f, 1e-6);

  // Two steps of the wheel away from the user, one towards: one hundredth each.
  for (int button : {4, 4, 5, 4}) rig.Click(button);
  session->Settle();
  edits = session->Plug().TakeEdits();
  ASSERT_EQ(edits.size(), 4u);
  EXPECT_NEAR(edits.back().value, 0.645, 1e-6);
  EXPECT_NEAR(e->getParameter(e, kKnob), 0.645f, 1e-6);
}

TEST_F(EditorTest, EventsArriveAtExactCoordinatesWithTheirButtonsAndModifiers) {
  session->MoveTo(310, 120);
  rig.Click(1);
  session->Settle();
  rig.Click(3);  // a right click is a right click
  session->Settle();
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  rig.KeyDown(0xffe3);  // Control: the fine-adjust modifier, never a right click
  rig.Click(1);
  rig.KeyUp(0xffe3);
  rig.KeyDown(0xffe1);  // Shift
  rig.KeyDown(0xffe9);  // Alt
  session->MoveTo(311, 140);
  rig.Press(1);
  session->MoveTo(330, 150);
  rig.Release(1);
  rig.KeyUp(0xffe9);
  rig.KeyUp(0xffe1);
  session->MoveTo(399, 199);  // the pad's last pixel
  session->MoveTo(400, 199);  // just outside it
  session->Settle();
  const std::vector<std::string> expected = {
      "over 310,120 ", "down 310,120 L", "up 310,120 L", "down 310,120 R", "up 310,120 R", "down 310,120 LC",
      "up 310,120 LC", "over 311,140 SA", "down 311,140 LSA", "drag 330,150 LSA", "up 330,150 LSA",
      "over 399,199 ", "out"};
  std::vector<std::string> lines = Lines();
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
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  rig.Click(1);  // too late for the last one
  session->MoveTo(325, 150);
  rig.Click(1);  // five pixels away: too far
  session->MoveTo(329, 154);
  rig.Click(3);  // another button
  session->Settle();
  std::vector<std::string> lines;
  for (const std::string& l : Lines())
    if (l.compare(0, 4, "over") != 0) lines.push_back(l);
  const std::vector<std::string> expected = {"down 320,150 L", "up 320,150 L", "dbl 320,150 L", "up 320,150 L",
                                             "down 320,150 L", "up 320,150 L", "down 325,150 L", "up 325,150 L",
                                             "down 329,154 R", "up 329,154 R"};
  EXPECT_EQ(lines, expected);
}

TEST_F(EditorTest, TheWindowShowsTheSurfaceInItsColours) {
  session->Settle();
  std::vector<uint32_t> surface;
  session->OnUiThread([&] {
    LICE_IBitmap* s = session->Plug().Graphics()->GetDrawBitmap();
    for (int y = 0; y < 660; ++y)
      for (int x = 0; x < 1480; ++x) {
        const LICE_pixel p = s->getBits()[y * s->getRowSpan() + x];
        surface.push_back(LICE_GETR(p) << 16 | LICE_GETG(p) << 8 | LICE_GETB(p));
      }
  });
  const std::vector<uint32_t> shown = rig.ReadPixels(session->EditorWindow(), 0, 0, 1480, 660);
  ASSERT_EQ(shown.size(), surface.size());
  EXPECT_TRUE(shown == surface);
  EXPECT_EQ(shown[120 * 1480 + 720], 0xFF0000u);
  EXPECT_EQ(shown[120 * 1480 + 760], 0x00FF00u);
  EXPECT_EQ(shown[120 * 1480 + 800], 0x0000FFu);
  EXPECT_EQ(shown[5 * 1480 + 5], 0x282828u);
  const XRig::Geometry g = rig.RootGeometry(session->EditorWindow());
  EXPECT_EQ(g.w, 1480);
  EXPECT_EQ(g.h, 660);
}

TEST_F(EditorTest, OpeningTwiceLeavesOneWindowAndReopeningShowsTheEditorAgain) {
  AEffect* e = session->Effect();
  const uint32_t host = session->HostWindow();
  session->OnUiThread([&] { EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, (void*)(uintptr_t)host, 0.0f), 1); });
  session->Settle();
  EXPECT_EQ(rig.Children(host).size(), 1u);
  session->OnUiThread([&] { EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f), 1); });
  session->Settle();
  EXPECT_TRUE(rig.Children(host).empty());
  session->OnUiThread([&] { EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, (void*)(uintptr_t)host, 0.0f), 1); });
  session->Settle();
  ASSERT_EQ(rig.Children(host).size(), 1u);
  EXPECT_TRUE(EditorSession::WaitFor(
      [&] { return rig.ReadPixels(session->EditorWindow(), 720, 120, 1, 1) == std::vector<uint32_t>{0xFF0000u}; }));
}

TEST_F(EditorTest, AHostThatDestroysItsWindowFirstCanStillCloseAndReopen) {
  AEffect* e = session->Effect();
  rig.DestroyWindow(session->HostWindow());
  session->Settle();
  session->OnUiThread([&] { EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f), 1); });
  // A parent that no longer exists: the editor does not open.
  session->OnUiThread([&] {
    EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, (void*)(uintptr_t)session->HostWindow(), 0.0f), 0);
  });
  const uint32_t second = rig.MakeHostWindow(0, 0, 1500, 700);
  session->OnUiThread([&] { EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, (void*)(uintptr_t)second, 0.0f), 1); });
  session->Settle();
  EXPECT_EQ(rig.Children(second).size(), 1u);
  session->OnUiThread([&] { e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f); });
  rig.DestroyWindow(second);
}

}  // namespace
