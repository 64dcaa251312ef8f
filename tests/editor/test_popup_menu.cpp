// The pop-up menu model, and menus shown through the graphics object.
#include <gtest/gtest.h>

#include <string>

#include "editor/IPopupMenu.h"
#include "editor_rig.h"

namespace {

std::string Texts(const IPopupMenu& menu) {
  std::string s;
  for (int i = 0; i < menu.GetNItems(); ++i) s += menu.GetItemText(i);
  return s;
}

TEST(PopupMenu, InsertionIndexPlacesTheItem) {
  struct Case {
    int index;
    const char* expected;
  } cases[] = {{0, "xabc"}, {1, "axbc"},  {2, "abxc"}, {3, "abcx"},
               {5, "abcx"}, {-1, "abcx"}, {-3, "xabc"}};
  for (const Case& c : cases) {
    IPopupMenu menu;
    menu.AddItem("a");
    menu.AddItem("b");
    menu.AddItem("c");
    IPopupMenuItem* pItem = menu.AddItem("x", c.index);
    EXPECT_EQ(Texts(menu), c.expected) << "index " << c.index;
    EXPECT_STREQ(pItem->GetText(), "x");
  }
}

TEST(PopupMenu, OutOfRangeAccessIsHarmless) {
  IPopupMenu menu;
  menu.AddItem("a", -1, IPopupMenuItem::kChecked);
  menu.AddItem("b");
  for (int idx : {-1, 2, 1000}) {
    EXPECT_EQ(menu.GetItem(idx), nullptr) << idx;
    EXPECT_STREQ(menu.GetItemText(idx), "") << idx;
    EXPECT_FALSE(menu.IsItemChecked(idx)) << idx;
    EXPECT_FALSE(menu.CheckItem(idx, true)) << idx;
    menu.CheckItemAlone(idx);  // does nothing: item 0 stays checked
    EXPECT_TRUE(menu.IsItemChecked(0)) << idx;
  }
  EXPECT_EQ(menu.AddItem(static_cast<IPopupMenuItem*>(nullptr)), nullptr);
  EXPECT_EQ(menu.GetNItems(), 2);
}

TEST(PopupMenu, CheckItemAloneLeavesOnlyThatItemChecked) {
  IPopupMenu menu;
  for (const char* t : {"a", "b", "c"}) menu.AddItem(t);
  menu.CheckItem(0, true);
  menu.CheckItem(1, true);
  menu.CheckItemAlone(2);
  EXPECT_FALSE(menu.IsItemChecked(0));
  EXPECT_FALSE(menu.IsItemChecked(1));
  EXPECT_TRUE(menu.IsItemChecked(2));
}

TEST(PopupMenu, PrefixStylesAndOutOfRangeStylesIgnored) {
  IPopupMenu menu;
  for (int i = 0; i < 12; ++i) menu.AddItem("x");
  WDL_String s;
  const char* expected[] = {"x", "4: x", "04: x", "004: x"};
  for (int style = 0; style <= 3; ++style) {
    menu.SetPrefix(style);
    menu.GetItemDisplayText(3, &s);
    EXPECT_STREQ(s.Get(), expected[style]);
  }
  menu.SetPrefix(4);
  menu.SetPrefix(-1);
  EXPECT_EQ(menu.GetPrefix(), 3);
  menu.GetItemDisplayText(11, &s);
  EXPECT_STREQ(s.Get(), "012: x");
}

TEST(PopupMenu, SubmenuChoiceReturnsTheSubmenuWithItsOwnPosition) {
  edtest::Rig rig;
  rig.Attach();
  IPopupMenu menu;
  menu.AddItem("top");
  IPopupMenu* pSub = new IPopupMenu;
  pSub->AddItem("one");
  pSub->AddItem("two");
  pSub->AddItem("three");
  menu.AddItem("Extern", pSub);
  rig.gfx->ScriptMenuChoice({1, 2});
  IRECT area(10, 10, 20, 20);
  EXPECT_EQ(rig.gfx->CreateIPopupMenu(&menu, &area), pSub);
  EXPECT_EQ(pSub->GetChosenItemIdx(), 2);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);

  // Chosen by text at any depth.
  rig.gfx->ScriptMenuText("two");
  EXPECT_EQ(rig.gfx->CreateIPopupMenu(&menu, &area), pSub);
  EXPECT_EQ(pSub->GetChosenItemIdx(), 1);
}

TEST(PopupMenu, UnchoosableItemsAreNeverTheAnswer) {
  edtest::Rig rig;
  rig.Attach();
  IPopupMenu menu;
  menu.AddItem("disabled", -1, IPopupMenuItem::kDisabled);
  menu.AddItem("title", -1, IPopupMenuItem::kTitle);
  menu.AddSeparator();
  IPopupMenu* pSub = new IPopupMenu;
  pSub->AddItem("inner");
  menu.AddItem("header", pSub);
  for (int i = 0; i < 4; ++i) {
    rig.gfx->ScriptMenuChoice({i});
    EXPECT_EQ(rig.gfx->CreateIPopupMenu(&menu, nullptr), nullptr) << "item " << i;
  }
  ASSERT_EQ(rig.gfx->Menus().size(), 4u);
  EXPECT_FALSE(rig.gfx->Menus()[0].chosen);
  // The record shows the tree as displayed, depth-first.
  const auto& items = rig.gfx->Menus()[0].items;
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[3].flags & IGraphicsHeadless::kHasSubmenu, IGraphicsHeadless::kHasSubmenu);
  EXPECT_EQ(items[4].depth, 1);
  EXPECT_EQ(items[4].text, "inner");
}

// A back end that answers with something outside the menu, or a disabled item: the core
// refuses both.
class LyingBackEnd : public IGraphicsHeadless {
 public:
  using IGraphicsHeadless::IGraphicsHeadless;
  IPopupMenu* mAnswer = nullptr;
  int mIdx = 0;

 protected:
  IPopupMenu* OSCreatePopupMenu(IPopupMenu*, const IRECT&) override {
    if (mAnswer) mAnswer->SetChosenItemIdx(mIdx);
    return mAnswer;
  }
};

TEST(PopupMenu, CoreRefusesAnswersOutsideTheMenuOrUnchoosable) {
  edtest::RecordingPlug plug;
  LyingBackEnd gfx(&plug, 10, 10);
  IPopupMenu menu, stranger;
  menu.AddItem("off", -1, IPopupMenuItem::kDisabled);
  menu.AddItem("on");
  stranger.AddItem("x");
  gfx.mAnswer = &stranger;
  EXPECT_EQ(gfx.CreateIPopupMenu(&menu, nullptr), nullptr);
  gfx.mAnswer = &menu;
  gfx.mIdx = 0;
  EXPECT_EQ(gfx.CreateIPopupMenu(&menu, nullptr), nullptr);
  gfx.mIdx = 1;
  EXPECT_EQ(gfx.CreateIPopupMenu(&menu, nullptr), &menu);
}

}  // namespace
