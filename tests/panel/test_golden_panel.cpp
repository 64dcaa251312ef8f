// The whole panel at default settings, drawn headless, against tests/panel/data/panel.png.
// When it differs, the test writes panel-golden-actual.png and panel-golden-diff.png into its
// working folder and fails; after looking at them, accept the new image with
//     make update-panel-golden
// (which runs this test with QUENTA_UPDATE_GOLDEN=1, rewriting the stored file).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "panel/panel_rig.h"
#include "render/bitmap.h"
#include "render/png.h"
#include "tools/quenta_render/editor_png.h"

namespace {

LICE_pixel At(LICE_IBitmap* bmp, int x, int y) {
  return bmp->getBits()[y * bmp->getRowSpan() + x] | 0xff;
}

TEST(PanelGolden, DefaultSettings) {
  paneltest::PanelRig rig;
  LICE_IBitmap* pScreen = rig.DrawAll();
  ASSERT_NE(pScreen, nullptr);
  const std::string golden = std::string(QUENTA_SOURCE_DIR) + "/tests/panel/data/panel.png";
  std::string error;
  const char* update = std::getenv("QUENTA_UPDATE_GOLDEN");
  if (update && update[0] == '1') {
    ASSERT_TRUE(qrender::writePng(pScreen, golden, error)) << error;
    std::printf("updated %s\n", golden.c_str());
    return;
  }
  LICE_MemBitmap stored;
  ASSERT_NE(LICE_LoadPNG(golden.c_str(), &stored), nullptr)
      << golden << " is missing; make update-panel-golden";
  ASSERT_EQ(stored.getWidth(), pScreen->getWidth());
  ASSERT_EQ(stored.getHeight(), pScreen->getHeight());
  // The diff: the panel darkened, differing pixels in magenta.
  LICE_MemBitmap diff(pScreen->getWidth(), pScreen->getHeight());
  int differing = 0;
  for (int y = 0; y < diff.getHeight(); ++y)
    for (int x = 0; x < diff.getWidth(); ++x) {
      const LICE_pixel p = At(pScreen, x, y);
      const bool same = At(&stored, x, y) == p;
      differing += !same;
      diff.getBits()[y * diff.getRowSpan() + x] =
          same ? LICE_RGBA(LICE_GETR(p) / 4, LICE_GETG(p) / 4, LICE_GETB(p) / 4, 255)
               : LICE_RGBA(255, 0, 255, 255);
    }
  if (differing) {
    qrender::writePng(pScreen, "panel-golden-actual.png", error);
    qrender::writePng(&diff, "panel-golden-diff.png", error);
  }
  EXPECT_EQ(differing, 0)
      << "pixels differ from " << golden
      << "; see panel-golden-actual.png and panel-golden-diff.png in the test's folder, and "
         "accept them with: make update-panel-golden";
}

}  // namespace
