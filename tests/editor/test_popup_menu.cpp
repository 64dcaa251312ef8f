// The pop-up menu model, and the core's refusal of answers a back end should never give.
#include <gtest/gtest.h>

#include <string>

#include "editor/IPopupMenu.h"
#include "editor_rig.h"

namespace {

TEST(PopupMenu, PlacesItemsAndToleratesBadIndicesAndStyles) {
  IPopupMenu menu;
  for (const char* t : {"a", "b", "c"}) menu.AddItem(t);
  menu.AddItem("x", 1);
  menu.AddItem("y", -5);  // before the first
  menu.AddItem("z", 99);  // after the last
  std::string texts;
  for (int i = 0; i < menu.GetNItems(); ++i) texts += menu.GetItemText(i);
  EXPECT_EQ(texts, "yaxbcz");
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

// A back end that answers with something outside the menu, or a disabled item.
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
