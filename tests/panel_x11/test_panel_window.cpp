// The built plug-in's panel in a host's window on a private X server: the window shows the
// pixels the headless editor draws for the same settings, and dragging a knob changes its
// parameter as the host sees it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "editor/platform/headless.h"
#include "editor/quenta.layout.h"
#include "instrument/quenta.h"
#include "render/bitmap.h"
#include "support/test_host.h"
#include "support/x11_rig.h"

namespace {

using quenta_test::TestHost;
using quenta_test::XRig;

// The host's idle calls for about ms milliseconds.
void Idle(TestHost& host, int ms) {
  for (int t = 0; t < ms; t += 5) {
    host.Dispatch(effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(PanelWindow, ShowsTheHeadlessPixelsAndAKnobDragReachesTheHost) {
  XRig x;
  ASSERT_TRUE(x.Ok());
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession();
  const uint32_t window = x.MakeHostWindow(0, 0, qlayout::kPanelWidth, qlayout::kPanelHeight);
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>((uintptr_t)window)), 1);
  // Long enough for the lamps' first idle update.
  Idle(host, 1500);
  const std::vector<uint32_t> children = x.Children(window);
  ASSERT_EQ(children.size(), 1u);
  const uint32_t editor = children[0];
  const std::vector<uint32_t> shown =
      x.ReadPixels(editor, 0, 0, qlayout::kPanelWidth, qlayout::kPanelHeight);

  // The same instrument, settings and activation, drawn headless.
  std::unique_ptr<Quenta> q(static_cast<Quenta*>(MakePlug(IPlugInstanceInfo{})));
  IGraphicsHeadless* pHeadless =
      new IGraphicsHeadless(q.get(), qlayout::kPanelWidth, qlayout::kPanelHeight);
  pHeadless->SetResourceDir(QUENTA_IMG_DIR);
  q->replaceGraphics(pHeadless);
  pHeadless->OpenWindow(nullptr);
  q->OnActivate(true);
  q->OnIdle();
  pHeadless->Draw(IRECT(0, 0, qlayout::kPanelWidth, qlayout::kPanelHeight));
  LICE_IBitmap* pDrawn = pHeadless->Screen();
  ASSERT_EQ((size_t)pDrawn->getWidth() * pDrawn->getHeight(), shown.size());
  int differing = 0, firstX = -1, firstY = -1;
  for (int y = 0; y < qlayout::kPanelHeight; ++y)
    for (int xx = 0; xx < qlayout::kPanelWidth; ++xx) {
      const LICE_pixel p = pDrawn->getBits()[y * pDrawn->getRowSpan() + xx];
      const uint32_t rgb = LICE_GETR(p) << 16 | LICE_GETG(p) << 8 | LICE_GETB(p);
      if (rgb == shown[(size_t)y * qlayout::kPanelWidth + xx]) continue;
      if (differing++ == 0) firstX = xx, firstY = y;
    }
  EXPECT_EQ(differing, 0) << "first at " << firstX << ", " << firstY;
  pHeadless->CloseWindow();

  // Block A's "Cutoff" (parameter 23, at 1.0) dragged down by its own height: a quarter less.
  host.ClearRecords();
  x.MoveInto(editor, 151, 96);
  x.Sync();
  Idle(host, 100);
  x.Press(1);
  x.Sync();
  Idle(host, 100);
  x.MoveInto(editor, 151, 136);
  x.Sync();
  Idle(host, 100);
  x.Release(1);
  x.Sync();
  Idle(host, 100);
  EXPECT_NEAR(host.GetParameter(kCutoff), 0.75f, 1e-6);
  const std::vector<quenta_test::HostCall> automated = host.CallsWith(audioMasterAutomate);
  ASSERT_FALSE(automated.empty());
  EXPECT_EQ(automated.back().index, kCutoff);
  EXPECT_NEAR(automated.back().opt, 0.75f, 1e-6);
  EXPECT_EQ(host.CountCalls(audioMasterBeginEdit), 1u);
  EXPECT_EQ(host.CountCalls(audioMasterEndEdit), 1u);
  host.Dispatch(effEditClose);
}

}  // namespace
