// The pop-up menu model. (That an unchoosable item is never the answer shows in the panel's
// temperament menu and the X11 menus.)
#include <gtest/gtest.h>

#include <string>

#include "editor/IPopupMenu.h"

namespace {

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
