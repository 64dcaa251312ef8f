// The panel as createGraphics builds it: the number of controls, where they lie, what they are
// bound to, which overlap, the images the build drew for them, the texts that fit them, and the
// whole picture.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "editor/quenta.controls.h"
#include "editor/quenta.layout.h"
#include "editor/quenta.text.h"
#include "instrument/labels.h"
#include "panel/panel_rig.h"
#include "render/png.h"
#include "support/images.h"

namespace {

using quenta_test::PanelRig;

std::string Describe(IControl* c) {
  const IRECT& r = c->GetRECT();
  return std::to_string(c->ParamIdx()) + " at (" + std::to_string(r.L) + "," + std::to_string(r.T) +
         ")-(" + std::to_string(r.R) + "," + std::to_string(r.B) + ")";
}

TEST(Layout, ControlsLieInsideThePanelBindEveryParameterOnceAndCarryTheirIds) {
  PanelRig rig;
  IGraphics& g = rig.gui();
  // Background, 10 of the program row, 64 global, the information panel with 4 lines, 3 x 59.
  ASSERT_EQ(g.NControls(), 257);
  std::map<int, int> bound;
  for (int i = 1; i < g.NControls(); ++i) {
    IControl* c = g.GetControl(i);
    const IRECT& r = c->GetRECT();
    EXPECT_TRUE(r.HasArea() && IRECT(0, 0, 1480, 660).Contains(r)) << Describe(c);
    if (c->ParamIdx() >= 0) ++bound[c->ParamIdx()];
  }
  EXPECT_EQ((int)bound.size(), 229);
  for (int p = 0; p < 229; ++p) EXPECT_EQ(bound[p], 1) << "parameter " << p;
  EXPECT_EQ(g.GetControl(0)->GetRECT(), IRECT(0, 0, 1480, 660));
  // The controls without a parameter carry their ids; some by their class.
  for (int id = -232; id >= -244; --id) {
    if (id != qlayout::kIdContextMenu) {
      EXPECT_EQ(rig.Find(id).size(), 1u) << id;
    }
  }
  EXPECT_NE(rig.As<IAFOptionMenu>(-234), nullptr);
  EXPECT_EQ(rig.As<IAFMicroTuningMenu>(-241)->Block(), 1);
  EXPECT_EQ(rig.As<IAFUtilMenu>(-239)->Block(), 2);
}

TEST(Layout, OnlyTheKnownControlsOverlap) {
  PanelRig rig;
  IGraphics& g = rig.gui();
  const IRECT info(1296, 576, 1456, 640);
  std::set<std::string> overlaps;
  for (int i = 1; i < g.NControls(); ++i)
    for (int j = i + 1; j < g.NControls(); ++j) {
      const IRECT& a = g.GetControl(i)->GetRECT();
      const IRECT& b = g.GetControl(j)->GetRECT();
      // The information panel draws its own lines over them.
      if (info.Contains(a) && info.Contains(b)) continue;
      if (a.Intersect(b).HasArea())
        overlaps.insert(Describe(g.GetControl(i)) + " / " + Describe(g.GetControl(j)));
    }
  // The program control covers the next-program button; each Block's "EM Rel" covers 8 x 20 px
  // of its "EM Hold".
  const std::set<std::string> known = {
      "-1 at (54,584)-(297,604) / -233 at (79,581)-(103,601)",
      "34 at (195,260)-(235,300) / 35 at (227,264)-(247,284)",
      "95 at (559,260)-(599,300) / 96 at (591,264)-(611,284)",
      "156 at (923,260)-(963,300) / 157 at (955,264)-(975,284)",
  };
  EXPECT_EQ(overlaps, known);
}

// Where controls overlap the later one takes the click: (90, 590) lies on the next-program
// button and inside the program control's rectangle, (230, 274) on "EM Hold" and "EM Rel". A
// missing image must not change that (the program menu would open instead).
TEST(Layout, LaterControlsTakeTheClickWhereTheyOverlap) {
  for (const char* images : {QUENTA_IMG_DIR, "/nonexistent"}) {
    SCOPED_TRACE(images);
    PanelRig rig(images);
    rig.q().changePreset(5);
    rig.Click(IRECT(90, 590, 91, 591));
    EXPECT_EQ(rig.q().GetCurrentPresetIdx(), 6);
    EXPECT_TRUE(rig.gui().Menus().empty()) << "the program menu opened";
    rig.Click(IRECT(230, 274, 231, 275));
    if (images == std::string(QUENTA_IMG_DIR)) {
      EXPECT_EQ(rig.Value(kEMHold), 1.0);
      EXPECT_EQ(rig.Value(kEMRel), 0.0);
    }
  }
}

TEST(Layout, EveryImageIsThereWithWholeFramesOfTheLayoutsSize) {
  for (const qlayout::Bitmap& b : qlayout::kBitmaps) {
    SCOPED_TRACE(b.file);
    const std::string path = std::string(QUENTA_IMG_DIR) + "/" + qlayout::bitmapFileName(b);
    std::unique_ptr<LICE_IBitmap> image(LICE_LoadPNG(path.c_str()));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getHeight() % b.frames, 0);
    EXPECT_EQ(image->getWidth(), b.width);
    EXPECT_EQ(image->getHeight() / b.frames, b.frameHeight);
  }
}

// The whole panel at default settings against tests/panel/data/panel.png. On a difference the
// test writes panel-golden-actual.png and panel-golden-diff.png and fails.
TEST(PanelGolden, DefaultSettings) {
  PanelRig rig;
  rig.gui().Draw(IRECT(0, 0, 1480, 660));
  quenta_test::ExpectGolden(rig.gui().Screen(), "tests/panel/data/panel.png", "panel-golden",
                            "make update-panel-golden");
}

// Every text the panel can show, measured with the fonts the build installs against the field
// it is drawn in.
int Width(PanelRig& rig, IText* pText, const std::string& s) {
  const int w = qtext::textWidth(&rig.gui(), pText, s.c_str());
  EXPECT_GT(w, 0) << "no font for \"" << s << "\"";
  return w;
}

// Every text each selector can show fits its text field (a patch point's name tag, a rate or
// controller button); every information line, with each selector's target, fits the panel.
TEST(TextFit, SelectorEntriesAndInformationLines) {
  PanelRig rig;
  IGraphics& g = rig.gui();
  auto* pInfo = rig.As<IAFInfoBubble>(IAFInfoBubble::kId);
  ASSERT_NE(pInfo, nullptr);
  std::vector<std::string> lines = {"Input: -5 to 5 Volt", "Input: 0 to 5 Volt", "Input: Trigger",
                                    "Output: Trigger", "Output: inactive"};
  for (const char* s : descModSource) lines.push_back(s);
  for (const char* s : descInputSource) lines.push_back(s);
  for (const char* s : descTriggerSource) lines.push_back(s);
  for (const char* s : outputModSource) lines.push_back(s);
  int checked = 0;
  for (int i = 0; i < g.NControls(); ++i) {
    auto* pSel = dynamic_cast<IAFPopUpMenuControl*>(g.GetControl(i));
    if (!pSel) continue;
    IParam* pParam = pSel->GetParam();
    ASSERT_NE(pParam, nullptr);
    for (int v = 0; v < pParam->GetNDisplayTexts(); ++v) {
      rig.Set(pSel->ParamIdx(), v);
      const std::string text = pSel->DisplayText();
      if (text == "off") continue;  // the "off" image carries no text
      EXPECT_LE(Width(rig, pSel->GetText(), text), pSel->GetTextRECT().W())
          << "\"" << text << "\" of parameter " << pSel->ParamIdx();
      ++checked;
    }
    pInfo->setInfo(pSel->ParamIdx());
    lines.push_back(pInfo->GetLine(0));
  }
  EXPECT_GT(checked, 2600);
  IText style(12, IColor(128, 255, 255, 255), "Arial");
  for (const std::string& s : lines) EXPECT_LE(Width(rig, &style, s), IAFInfoBubble::kWidth) << s;
}

TEST(TextFit, ProgramNumberNamesAndVersion) {
  PanelRig rig;
  auto* pProgram = dynamic_cast<IAFPresetMenu*>(rig.gui().GetControl(1));
  ASSERT_NE(pProgram, nullptr);
  EXPECT_LE(Width(rig, pProgram->GetText(), "63"), pProgram->GetNumberRECT().W());
  // The factory names fit whole; a name of 32 wide characters is shortened to fit.
  WDL_String factory(QUENTA_FACTORY_BANK);
  ASSERT_TRUE(rig.q().LoadBankFromFXB(&factory));
  for (int i = 0; i < rig.q().NPresets(); ++i)
    EXPECT_LE(Width(rig, pProgram->GetText(), rig.q().GetPresetName(i)),
              pProgram->GetNameRECT().W())
        << rig.q().GetPresetName(i);
  const std::string wide(32, 'W');
  const std::string fitted =
      qtext::fitText(&rig.gui(), pProgram->GetText(), wide.c_str(), 192, true);
  EXPECT_GT(Width(rig, pProgram->GetText(), wide), 192);
  EXPECT_LE(Width(rig, pProgram->GetText(), fitted), 192);
  EXPECT_EQ(fitted.substr(fitted.size() - 3), "\xE2\x80\xA6");
  auto* pVersion = dynamic_cast<ITextControl*>(rig.gui().GetControl(5));
  ASSERT_NE(pVersion, nullptr);
  EXPECT_STREQ(pVersion->GetTextForPlug(), "v1.2.4");
  EXPECT_LE(Width(rig, pVersion->GetText(), pVersion->GetTextForPlug()), pVersion->GetRECT().W());
}

}  // namespace
