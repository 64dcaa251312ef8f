// Menus, the text field and message boxes, driven by synthetic keys and clicks. The editor
// maps, grabs and takes down its windows on its own connection: what the test reads about them
// is waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "editor/IPopupMenu.h"
#include "editor/platform/x11_popups.h"
#include "editor_rig.h"

using quenta_test::XRig;
using namespace quenta_test;

namespace {

// A plain item, a separator, a title, a disabled item and a submenu; what was chosen. Shared
// with the action, so that a test that fails with the menu still open leaves it nothing gone.
struct MenuRun {
  IPopupMenu top;
  IPopupMenu* sub = new IPopupMenu;
  std::atomic<bool> done{false};
  IPopupMenu* chosen = nullptr;
  int index = -1;
  MenuRun() {
    top.AddItem("One");
    top.AddSeparator();
    top.AddItem("Title", -1, IPopupMenuItem::kTitle);
    top.AddItem("Off", -1, IPopupMenuItem::kDisabled);
    for (const char* t : {"A", "B"}) sub->AddItem(t);
    sub->AddItem("C", -1, IPopupMenuItem::kChecked);
    top.AddItem("More", sub);
  }
};

class PopupTest : public SessionTest {
 protected:
  // Shows the menu from a click on the action control; the pop-up's window, once it takes input
  // (and its geometry in g).
  uint32_t OpenMenu(XRig::Geometry* g = nullptr) {
    if (HasFatalFailure()) return 0;  // the last menu may still be open
    run = std::make_shared<MenuRun>();
    std::shared_ptr<MenuRun> r = run;
    ClickAction([r](ActionControl* c) {
      r->chosen = c->GetPlug()->GetGUI()->CreateIPopupMenu(&r->top, &kActionRect);
      r->index = r->chosen ? r->chosen->GetChosenItemIdx() : -1;
      r->done = true;
    });
    const uint32_t w = WaitForWindow(true);
    if (g) *g = rig.RootGeometry(w);
    return w;
  }
  // The answer, once there; every pop-up taken down and the grab released.
  void ExpectChosen(IPopupMenu* menu, int index) {
    ASSERT_TRUE(EditorSession::WaitFor([&] { return run->done.load(); }));
    EXPECT_EQ(run->chosen, menu);
    if (menu) {
      EXPECT_EQ(run->index, index);
    }
    EXPECT_TRUE(EditorSession::WaitFor([&] { return rig.MappedTopLevels(true).empty(); }));
    EXPECT_TRUE(EditorSession::WaitFor([&] { return rig.PointerFree(); }));
  }
  std::shared_ptr<MenuRun> run;
};

// Keys, then the pointer: past the unchoosable items into the submenu; the answer is the
// submenu and the item's position there. Then cancelled menus.
TEST_F(PopupTest, KeysAndThePointerPickASubmenuItemPastUnchoosableOnesOrCancel) {
  XRig::Geometry g;
  ASSERT_NE(OpenMenu(&g), 0u);
  // Placed below the control.
  const XRig::Geometry editor = rig.RootGeometry(session->EditorWindow());
  EXPECT_EQ(g.x, editor.x + kActionRect.L);
  EXPECT_EQ(g.y, editor.y + kActionRect.B);
  // One, then past the separator, the title and the disabled item to More; its submenu opens
  // at A; B.
  rig.Play("Down Down Right Down Return");
  ExpectChosen(run->sub, 1);

  ASSERT_NE(OpenMenu(&g), 0u);
  const int item = (g.h - 4 - 7) / 4;  // four items and a 7-px separator between 2-px borders
  auto at = [&](const XRig::Geometry& m, int y) { rig.MoveTo(m.x + 20, m.y + y); };
  // The separator, the title and the disabled item take no click.
  for (int y : {2 + item + 3, 2 + item + 7 + item / 2, 2 + 2 * item + 7 + item / 2}) {
    at(g, y);
    rig.Click(1);
  }
  EditorSession::WaitFor([] { return false; }, 200);
  EXPECT_FALSE(run->done.load());
  at(g, 2 + 3 * item + 7 + item / 2);  // over More
  const uint32_t sub = WaitForWindow(true, 2);
  ASSERT_NE(sub, 0u);
  at(rig.RootGeometry(sub), 2 + 2 * item + item / 2);  // C
  rig.Click(1);
  ExpectChosen(run->sub, 2);

  // A click outside or Escape cancels.
  for (bool escape : {false, true}) {
    ASSERT_NE(OpenMenu(&g), 0u);
    if (escape) {
      rig.Play("Down Escape");
    } else {
      rig.MoveTo(g.x + g.w + 200, g.y + g.h + 200);
      rig.Click(1);
    }
    ExpectChosen(nullptr, -1);
  }
}

// ---- Text field ----

// A field for the Number parameter (an integer, -50 .. 50) over the action control.
class TextFieldTest : public SessionTest {
 protected:
  void OpenField(int maxChars) {
    ClickAction([maxChars](ActionControl* c) {
      c->SetTextEntryLength(maxChars);
      c->GetPlug()->GetGUI()->CreateTextEntry(c, IText(12), kActionRect, "", c->GetParam());
    });
    ASSERT_TRUE(WaitField(true));
    session->Settle();
    session->Plug().TakeEdits();
  }
  // Waits until the field's window is there (open) or gone.
  bool WaitField(bool open) {
    return EditorSession::WaitFor(
        [&] { return rig.Children(session->EditorWindow()).empty() != open; });
  }
  float Number() {
    AEffect* e = session->Effect();
    return e->getParameter(e, kNumber);
  }
};

TEST_F(TextFieldTest, KeysEditFilterAndLimitTheTextAndCommitOrCancel) {
  constexpr int kUnchanged = 99;
  const struct {
    const char* what;
    int maxChars;
    const char* keys;  // "paste": Ctrl+V of "4x2\n7", then Return
    bool clickAway;    // after the keys
    int expected;      // kUnchanged: as before, and the host told nothing
  } cases[] = {
      {"letters and points are no part of an integer; three characters fit", 3, "'-1a.72 Return",
       false, -17},
      {"the caret moves and deletes", 6,
       "'1234 Home Delete End BackSpace Left '- Home Right BackSpace Return", false, -3},
      {"Escape cancels", 7, "'42 Escape", false, kUnchanged},
      {"a click elsewhere commits", 7, "'20", true, 20},
      {"pasted text is filtered and limited too", 2, "paste", false, 42},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const float before = Number();
    const bool paste = std::string(c.keys) == "paste";
    if (paste) {  // xclip takes the clipboard in the background and serves one request
      ASSERT_EQ(system("printf '4x2\\n7' | xclip -loops 1 -selection clipboard"), 0);
      ASSERT_TRUE(EditorSession::WaitFor([&] { return rig.ClipboardOwned(); }));
    }
    OpenField(c.maxChars);
    if (paste) {
      rig.KeyDown(XKB_KEY_Control_L);
      rig.Tap(XKB_KEY_v);
      rig.KeyUp(XKB_KEY_Control_L);
      session->Settle();
    }
    rig.Play(paste ? "Return" : c.keys);
    if (c.clickAway) {
      session->MoveTo(900, 500);
      rig.Click(1);
    }
    ASSERT_TRUE(WaitField(false));
    session->Settle();
    if (c.expected == kUnchanged) {
      EXPECT_EQ(Number(), before);
      EXPECT_EQ(session->Plug().TakeEdits(), 0);
    } else {
      EXPECT_NEAR(Number(), (c.expected + 50.0f) / 100.0f, 1e-6);
    }
  }
}

// ---- Message boxes ----

using BoxResult = std::shared_ptr<std::atomic<int>>;

std::function<void(ActionControl*)> ShowBox(int type, BoxResult r) {
  return [type, r](ActionControl* c) {
    *r =
        c->GetPlug()->GetGUI()->ShowMessageBox("Keep the change?\n\tSecond line", "Question", type);
  };
}

TEST_F(PopupTest, BoxesAnswerWithTheirButtonsAndADismissalIsNeverYes) {
  struct Case {
    const char* what;
    int type;
    int answer;
    std::function<void(XRig&, uint32_t)> act;
  };
  auto key = [](uint32_t sym) { return [sym](XRig& r, uint32_t) { r.Tap(sym); }; };
  auto click = [](int type, int button) {
    return [type, button](XRig& r, uint32_t box) {
      const XRig::Geometry g = r.RootGeometry(box);
      const x11::BoxRect b = x11::BoxButtonRects(type, g.w, g.h)[(size_t)button];
      r.MoveTo(g.x + b.x + b.w / 2, g.y + b.y + b.h / 2);
      r.Click(1);
    };
  };
  auto close = [](XRig& r, uint32_t box) { r.SendClose(box); };
  const Case cases[] = {
      {"Return on Yes", 4, 6, key(XKB_KEY_Return)},
      {"click on No", 4, 7, click(4, 1)},
      {"click on Yes", 4, 6, click(4, 0)},
      {"closed", 4, 7, close},
      {"Escape", 4, 7, key(XKB_KEY_Escape)},
      {"Escape with Cancel", 3, 2, key(XKB_KEY_Escape)},
      {"closed with Cancel", 1, 2, close},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = std::make_shared<std::atomic<int>>(0);
    ClickAction(ShowBox(c.type, r));
    const uint32_t box = WaitForWindow(false);
    ASSERT_NE(box, 0u);
    c.act(rig, box);
    ASSERT_TRUE(EditorSession::WaitFor([&] { return *r != 0; }));
    EXPECT_EQ(*r, c.answer);
    EXPECT_TRUE(EditorSession::WaitFor([&] { return rig.MappedTopLevels(false).empty(); }));
  }
}

TEST_F(PopupTest, AnAudioBlockCompletesAndTheEditorRepaintsWhileABoxIsOpen) {
  auto r = std::make_shared<std::atomic<int>>(0);
  ClickAction(ShowBox(4, r));
  ASSERT_NE(WaitForWindow(false), 0u);
  // The user-interface thread is inside effEditIdle, in the box's loop; the audio thread must
  // not have to wait for it.
  AEffect* e = session->Effect();
  std::atomic<bool> rendered{false};
  std::thread audio([&] {
    std::vector<float> l(256), rr(256);
    float* outs[] = {l.data(), rr.data()};
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);  // waits for nothing either
    e->processReplacing(e, nullptr, outs, 256);
    rendered = l[255] == 0.25f;
  });
  const bool done = EditorSession::WaitFor([&] { return rendered.load(); });
  // The editor keeps ticking inside the box's loop: the host's automation shows on the knob.
  e->setParameter(e, kKnob, 1.0f);
  EXPECT_TRUE(EditorSession::WaitFor([&] {
    return rig.ReadPixels(session->EditorWindow(), 110, 110, 1, 1) ==
           std::vector<uint32_t>{0xFF8080};
  }));
  rig.Tap(XKB_KEY_Escape);
  audio.join();
  EXPECT_TRUE(done);
  ASSERT_TRUE(EditorSession::WaitFor([&] { return *r != 0; }));
  EXPECT_EQ(*r, 7);
}

}  // namespace
