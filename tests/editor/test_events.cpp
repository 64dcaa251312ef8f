// Events through the graphics object: the idle counter, capture and drag, the pairing of
// parameter edits' Begin and End, keys, and the pop-up menu model. (Mouse-over shows through the
// X11 window.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "editor/IPopupMenu.h"
#include "editor_rig.h"

namespace {

using quenta_test::Rig;

// A control that writes what reaches it into a shared log.
class LogControl : public IControl {
 public:
  LogControl(IPlugBase* pPlug, const IRECT& r, int param, std::string* pLog, const char* name)
      : IControl(pPlug, r, param), mLog(pLog), mName(name) {}
  void OnMouseDown(int x, int y, const IMouseMod& mod) override {
    Add("down");
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int, int, const IMouseMod&) override { Add("up"); }
  void OnMouseDrag(int, int, int dX, int dY, const IMouseMod&) override {
    Add("drag" + std::to_string(dX) + "," + std::to_string(dY));
  }
  bool OnKeyDown(int, int, int key) override {
    Add("key" + std::to_string(key));
    return mTakesKeys;
  }
  bool Draw(IGraphics* g) override { return g->FillIRect(COLOR_RED, mRECT); }

  bool mTakesKeys = false;

 private:
  void Add(const std::string& what) { *mLog += (mLog->empty() ? "" : " ") + mName + ":" + what; }
  std::string* mLog;
  std::string mName;
};

class Events : public ::testing::Test {
 public:
  void SetUp() override {
    rig.gfx->AttachPanelBackground(COLOR_GRAY);
    // a: 10..50 bound to the gain; b: 40..80 over a's right part, bound to the mode.
    a = new LogControl(&rig.plug, IRECT(10, 10, 50, 50), quenta_test::kParamGain, &log, "a");
    b = new LogControl(&rig.plug, IRECT(40, 10, 80, 50), quenta_test::kParamMode, &log, "b");
    rig.gfx->AttachControl(a);
    rig.gfx->AttachControl(b);
    rig.Attach();
    rig.plug.TakeLog();
    log.clear();
  }
  std::string TakeLog() { return std::exchange(log, ""); }

  Rig rig;
  std::string log;
  LogControl *a, *b;
};

TEST_F(Events, IdleRunsExactlyOncePer21CleanTicks) {
  rig.gfx->Tick();  // the first pass draws every control, which were all dirty
  rig.plug.TakeLog();
  for (int tick = 1; tick <= 63; ++tick) {
    rig.gfx->Tick();
    EXPECT_EQ(rig.plug.TakeLog(), tick % 21 == 0 ? "I" : "") << "tick " << tick;
  }
  // A dirty control restarts the count.
  for (int tick = 0; tick < 20; ++tick) rig.gfx->Tick();
  a->SetDirty(false);
  rig.gfx->Tick();
  for (int tick = 0; tick < 20; ++tick) rig.gfx->Tick();
  EXPECT_EQ(rig.plug.TakeLog(), "");
}

// Every sequence of mouse actions leaves the Begin and End notices paired; a double click
// taken as a single one captures and presses again, without a Begin of its own.
TEST_F(Events, BeginAndEndPairInEverySequence) {
  b->DisablePrompt(false);  // b prompts with a menu of its list parameter on a right click
  IGraphicsHeadless* g = rig.gfx;
  const IMouseMod l(true), r(false, true);
  const struct {
    const char* name;
    std::function<void()> run;
    const char* expected;
  } steps[] = {
      {"click", [&] { rig.Click(20, 20, l); }, "B0 E0"},
      {"up on another control", [&] { g->OnMouseDown(20, 20, l), g->OnMouseUp(70, 20, l); },
       "B0 E0"},
      {"two downs without an up",
       [&] { g->OnMouseDown(20, 20, l), g->OnMouseDown(70, 20, l), g->OnMouseUp(70, 20, l); },
       "B0 E0 B1 E1"},
      {"menu chosen from a right click", [&] { g->ScriptMenuChoice({3}), rig.Click(70, 20, r); },
       "B1 E1 S1"},
      {"menu dismissed", [&] { rig.Click(70, 20, r); }, "B1 E1"},
      {"double click", [&] { rig.Click(20, 20, l), g->OnMouseDblClick(20, 20, l); }, "B0 E0 S0"},
      {"window closed while pressed",
       [&] { g->OnMouseDown(20, 20, l), g->CloseWindow(), g->OpenWindow(nullptr); }, "B0 E0"},
      {"up without a down", [&] { g->OnMouseUp(20, 20, l); }, ""},
      {"double click taken as a single one",
       [&] {
         a->SetMouseDblAsSingleClick(true);
         log.clear();
         rig.Click(20, 20, l);
         g->OnMouseDblClick(20, 20, l);
         EXPECT_EQ(g->GetMouseCapture(), 1);
         g->OnMouseDrag(25, 20, l);
         g->OnMouseUp(25, 20, l);
         EXPECT_EQ(TakeLog(), "a:down a:up a:down a:drag5,0 a:up");
       },
       "B0 E0"},
  };
  for (const auto& s : steps) {
    s.run();
    EXPECT_EQ(rig.plug.TakeLog(), s.expected) << s.name;
  }
}

TEST_F(Events, KeysGoToTheControlTheCatcherOrBackToTheHost) {
  EXPECT_FALSE(rig.gfx->OnKeyDown(190, 90, kKeyA));  // background, no catcher: the host's
  EXPECT_FALSE(rig.gfx->OnKeyDown(20, 20, kKeyA));   // a does not take keys
  a->mTakesKeys = true;
  EXPECT_TRUE(rig.gfx->OnKeyDown(20, 20, kKeySpace));
  EXPECT_EQ(TakeLog(), "a:key15 a:key0");

  auto* pCatcher = new LogControl(&rig.plug, IRECT(), -1, &log, "k");
  pCatcher->mTakesKeys = true;
  rig.gfx->AttachKeyCatcher(pCatcher);
  EXPECT_TRUE(rig.gfx->OnKeyDown(190, 90, kKeyUp));
  rig.gfx->OnMouseDown(190, 90, IMouseMod(true));  // the background is captured
  EXPECT_TRUE(rig.gfx->OnKeyDown(20, 20, kKeyDown));
  rig.gfx->OnMouseUp(190, 90, IMouseMod(true));
  rig.gfx->OnMouseDown(20, 20, IMouseMod(true));  // a is captured: keys go to it anywhere
  EXPECT_TRUE(rig.gfx->OnKeyDown(190, 90, kKeyLeft));
  EXPECT_EQ(TakeLog(), "k:key1 k:key2 a:down a:key3");
}

// The pop-up menu model. (That an unchoosable item is never the answer shows in the panel's
// temperament menu and the X11 menus.)
TEST(PopupMenu, ToleratesBadIndicesAndStyles) {
  IPopupMenu menu;
  for (const char* t : {"y", "a", "x", "b", "c", "z"}) menu.AddItem(t);
  EXPECT_EQ(menu.AddItem(static_cast<IPopupMenuItem*>(nullptr)), nullptr);
  menu.CheckItem(0, true);
  for (int idx : {-1, 6, 1000}) {
    EXPECT_EQ(menu.GetItem(idx), nullptr) << idx;
    EXPECT_STREQ(menu.GetItemText(idx), "") << idx;
    EXPECT_FALSE(menu.IsItemChecked(idx)) << idx;
    EXPECT_FALSE(menu.CheckItem(idx, true)) << idx;
    menu.CheckItemAlone(idx);  // does nothing: item 0 stays checked
    EXPECT_TRUE(menu.IsItemChecked(0)) << idx;
  }
  EXPECT_EQ(menu.GetNItems(), 6);

  // Positions shown 1-based with the style's digits; a style outside 0..3 is ignored.
  const char* expected[] = {"b", "4: b", "04: b", "004: b"};
  WDL_String s;
  for (int style = 0; style <= 3; ++style) {
    menu.SetPrefix(style);
    menu.GetItemDisplayText(3, &s);
    EXPECT_STREQ(s.Get(), expected[style]);
  }
  menu.SetPrefix(4);
  menu.SetPrefix(-1);
  EXPECT_EQ(menu.GetPrefix(), 3);
}

}  // namespace
