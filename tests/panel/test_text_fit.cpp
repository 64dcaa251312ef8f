// Every text the panel can show, measured with the fonts the build installs against the field
// it is drawn in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/quenta.controls.h"
#include "editor/quenta.text.h"
#include "instrument/labels.h"
#include "panel/panel_rig.h"

namespace {

using paneltest::PanelRig;

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
