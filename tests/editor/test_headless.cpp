// The headless back end's own answers, which the panel's tests rely on.
#include <gtest/gtest.h>

#include "editor_rig.h"

namespace {

TEST(Headless, UnscriptedBoxesAnswerWhatChangesNothing) {
  edtest::Rig rig;
  const int cases[][2] = {{IGraphics::kMsgBoxOK, IGraphics::kResultOK},
                          {IGraphics::kMsgBoxOKCancel, IGraphics::kResultCancel},
                          {IGraphics::kMsgBoxYesNoCancel, IGraphics::kResultCancel},
                          {IGraphics::kMsgBoxYesNo, IGraphics::kResultNo}};
  for (const auto& c : cases) EXPECT_EQ(rig.gfx->ShowMessageBox("t", "c", c[0]), c[1]) << c[0];
  rig.gfx->ScriptMessageBox(IGraphics::kResultYes);
  EXPECT_EQ(rig.gfx->ShowMessageBox("Really?", "Paste Program", IGraphics::kMsgBoxYesNo),
            IGraphics::kResultYes);
  ASSERT_EQ(rig.gfx->MessageBoxes().size(), 5u);
  EXPECT_EQ(rig.gfx->MessageBoxes().back().caption, "Paste Program");
}

TEST(Headless, FileDialogsNeedAnOpenWindowAndReturnTheFolder) {
  edtest::Rig rig;
  WDL_String file("Quenta"), dir("/start/");
  rig.gfx->ScriptFile("/home/u/banks/b.fxb");
  rig.gfx->PromptForFile(&file, IGraphics::kFileSave, &dir, "fxb");
  EXPECT_STREQ(file.Get(), "") << "closed editor: no dialog";
  rig.Attach();
  rig.gfx->ScriptFile("/home/u/banks/b.fxb");
  rig.gfx->PromptForFile(&file, IGraphics::kFileSave, &dir, "fxb");
  EXPECT_STREQ(file.Get(), "/home/u/banks/b.fxb");
  EXPECT_STREQ(dir.Get(), "/home/u/banks/");
  rig.gfx->PromptForFile(&file, IGraphics::kFileOpen, &dir, "fxp");  // unscripted: cancelled
  EXPECT_STREQ(file.Get(), "");
  EXPECT_STREQ(dir.Get(), "/home/u/banks/");
  EXPECT_EQ(rig.gfx->FilePrompts()[1].dir, "/start/");
  EXPECT_EQ(rig.gfx->PendingAnswers(), 0u);
}

}  // namespace
