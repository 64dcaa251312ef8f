// The whole panel at default settings, drawn headless, against tests/panel/data/panel.png. On a
// difference the test writes panel-golden-actual.png and panel-golden-diff.png into its working
// folder and fails; accept them with: make update-panel-golden.
#include <gtest/gtest.h>

#include "panel/panel_rig.h"
#include "support/images.h"

TEST(PanelGolden, DefaultSettings) {
  paneltest::PanelRig rig;
  quenta_test::ExpectGolden(rig.DrawAll(), "tests/panel/data/panel.png", "panel-golden",
                            "make update-panel-golden");
}
