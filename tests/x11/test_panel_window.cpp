// The built plug-in's panel in a host's window, driven through the exported entry point: the
// window shows the headless editor's pixels, and a knob dragged and turned with the wheel
// changes its parameter as the host sees it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "panel/panel_rig.h"
#include "support/images.h"
#include "support/test_host.h"
#include "support/x11_rig.h"

namespace {

using quenta_test::TestHost;
using quenta_test::XRig;

// The host's idle call every few milliseconds until done() (checked every 50 ms) holds.
bool IdleUntil(TestHost& host, const std::function<bool()>& done, int timeoutMs = 5000) {
  for (int t = 0; t <= timeoutMs; t += 5) {
    host.Dispatch(effEditIdle);
    if (t % 50 == 0 && done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

TEST(PanelWindow, ShowsTheHeadlessPixelsAndAKnobReachesTheHost) {
  constexpr int kW = qlayout::kPanelWidth, kH = qlayout::kPanelHeight;
  XRig x;
  ASSERT_TRUE(x.Ok());
  TestHost host;
  ASSERT_TRUE(host.Instantiate()) << host.Error();
  host.StartSession();
  const uint32_t window = x.MakeHostWindow(0, 0, kW, kH);
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>((uintptr_t)window)), 1);
  ASSERT_TRUE(IdleUntil(host, [&] { return x.Children(window).size() == 1; }));
  const uint32_t editor = x.Children(window)[0];
  EXPECT_EQ(x.RootGeometry(editor).w, kW);
  EXPECT_EQ(x.RootGeometry(editor).h, kH);

  // The same instrument and activation drawn headless; the window catches up once the lamps
  // have had their first idle update.
  quenta_test::PanelRig headless;
  headless.q().OnActivate(true);
  headless.q().OnIdle();
  headless.gui().Draw(IRECT(0, 0, kW, kH));
  const std::vector<uint32_t> drawn = quenta_test::RgbPixels(*headless.gui().Screen());
  std::vector<uint32_t> shown;
  IdleUntil(host, [&] { return (shown = x.ReadPixels(editor, 0, 0, kW, kH)) == drawn; });
  ASSERT_EQ(shown.size(), drawn.size());
  const size_t first =
      std::mismatch(shown.begin(), shown.end(), drawn.begin()).first - shown.begin();
  EXPECT_EQ(first, shown.size()) << "first difference at " << first % kW << ", " << first / kW;

  // Block A's "Cutoff" (parameter 23, at 1.0) dragged down by its own height: a quarter less;
  // then wheel steps down, down, up, down: two hundredths less than that.
  host.ClearRecords();
  auto cutoffIs = [&](float v) { return std::abs(host.GetParameter(kCutoff) - v) < 1e-6f; };
  x.MoveInto(editor, 151, 96);
  x.Press(1);
  ASSERT_TRUE(IdleUntil(host, [&] { return host.CountCalls(audioMasterBeginEdit) == 1; }));
  x.MoveInto(editor, 151, 136);
  x.Release(1);
  EXPECT_TRUE(IdleUntil(host, [&] { return host.CountCalls(audioMasterEndEdit) == 1; }));
  EXPECT_TRUE(cutoffIs(0.75f)) << host.GetParameter(kCutoff);
  x.MoveInto(editor, 151, 96);
  for (int button : {5, 5, 4, 5}) x.Click(button);
  EXPECT_TRUE(IdleUntil(host, [&] { return cutoffIs(0.73f); })) << host.GetParameter(kCutoff);
  // Told in order: Begin, the drag's value, End, then the wheel's four values.
  std::string told;
  for (const quenta_test::HostCall& c : host.Calls()) {
    if (c.opcode == audioMasterBeginEdit) told += 'B';
    if (c.opcode == audioMasterEndEdit) told += 'E';
    if (c.opcode == audioMasterAutomate) told += c.index == kCutoff ? 'A' : '?';
  }
  EXPECT_EQ(told, "BAEAAAA");
  EXPECT_NEAR(host.CallsWith(audioMasterAutomate).back().opt, 0.73f, 1e-6);
  host.Dispatch(effEditClose);
}

}  // namespace
