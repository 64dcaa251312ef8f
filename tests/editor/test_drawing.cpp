// Drawing through the graphics object, checked in pixels: frames, blends, repaint passes,
// the bitmap cache, text measuring and one golden image of text and controls
// (tests/editor/data/controls.png; on a difference the test writes editor-golden-actual.png
// and editor-golden-diff.png and fails; accept them with: make update-editor-golden).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "editor_rig.h"
#include "render/blit.h"
#include "render/font.h"
#include "tools/quenta_render/editor_png.h"

namespace {

using edtest::FrameColour;
using edtest::Rig;
using quenta_test::Pixels;

const LICE_pixel kBlack = LICE_RGBA(0, 0, 0, 255);

TEST(Drawing, GrayedControlsDrawAtAQuarterOfTheirOpacity) {
  Rig rig;
  rig.gfx->AttachPanelBackground(COLOR_BLACK);
  auto* pLamp =
      new IBitmapControl(&rig.plug, 10, 10, rig.Solid(10, 10, LICE_RGBA(255, 255, 255, 255)));
  auto* pCopy =
      new IBitmapControl(&rig.plug, 30, 10, -1, rig.Solid(10, 10, LICE_RGBA(200, 100, 0, 255)),
                         IChannelBlend::kBlendCopy);
  rig.gfx->AttachControl(pLamp);
  rig.gfx->AttachControl(pCopy);
  // A transparent fill on top, as the panel's invisible controls draw: it leaves all alone.
  rig.gfx->AttachControl(new IPanelControl(&rig.plug, IRECT(0, 0, 200, 100), COLOR_TRANSPARENT));
  rig.Attach();
  pLamp->GrayOut(true);
  pCopy->GrayOut(true);
  rig.gfx->Tick();
  // White over black at weight 64/256: 255 + (0 - 255) * 192 / 256, truncated toward zero.
  EXPECT_EQ(rig.Screen(15, 15), LICE_RGBA(64, 64, 64, 255));
  // Copied without alpha at weight 64/256: each byte s + (d - s) * 192 / 256.
  EXPECT_EQ(rig.Screen(35, 15), LICE_RGBA(50, 25, 0, 255));
  pLamp->GrayOut(false);
  rig.gfx->Tick();
  EXPECT_EQ(rig.Screen(15, 15), LICE_RGBA(255, 255, 255, 255));
}

const LICE_pixel kLampColour = LICE_RGBA(255, 200, 0, 255);

// A panel with overlapping controls, translucent fills, text and a lamp, for repaint tests.
struct Panel {
  explicit Panel(Rig& rig) {
    rig.gfx->AttachPanelBackground(COLOR_GRAY);
    knob = new IKnobMultiControl(&rig.plug, 10, 10, edtest::kParamGain, rig.Gradient(30, 30, 8));
    sw = new ISwitchControl(&rig.plug, 100, 20, edtest::kParamSwitch, rig.Strip(20, 12, 2));
    veil = new IPanelControl(&rig.plug, IRECT(20, 20, 90, 60), IColor(100, 0, 0, 255));
    lamp = new IBitmapControl(&rig.plug, 35, 35, rig.Solid(8, 8, kLampColour));
    label = new ITextControl(&rig.plug, IRECT(60, 62, 120, 76),
                             IText(12, IColor(160, 255, 255, 255), "Arial"), "Cutoff");
    for (IControl* p :
         {(IControl*)knob, (IControl*)sw, (IControl*)veil, (IControl*)lamp, (IControl*)label})
      rig.gfx->AttachControl(p);
  }
  // The same change, whatever the panel's history. The knob stays, so a partial repaint cuts
  // through it (and through the veil) and must take the right part of its frame.
  void Change(Rig& rig) {
    rig.gfx->SetParameterFromPlug(edtest::kParamSwitch, 1.0, true);
    lamp->Hide(true);
    label->SetTextFromPlug("Peak");
  }
  IKnobMultiControl* knob;
  ISwitchControl* sw;
  IPanelControl* veil;
  IBitmapControl* lamp;
  ITextControl* label;
};

TEST(Drawing, PartialRepaintGivesTheSamePixelsAsAFullOne) {
  for (bool strict : {true, false}) {
    Rig partial(160, 100), full(160, 100);
    Panel p1(partial), p2(full);
    partial.gfx->SetStrictDrawing(strict);
    full.gfx->SetStrictDrawing(strict);
    partial.Attach();
    full.Attach();
    partial.gfx->Tick();  // everything
    partial.gfx->ScreenCopies().clear();
    p1.Change(partial);
    partial.gfx->Tick();  // only the changed part
    partial.gfx->Tick();  // and the second pass some controls asked for
    p2.Change(full);
    full.gfx->Draw(IRECT(0, 0, 160, 100));  // one pass over everything

    const std::vector<LICE_pixel> a = Pixels(*partial.gfx->Screen());
    const std::vector<LICE_pixel> b = Pixels(*full.gfx->Screen());
    const size_t at = std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin();
    EXPECT_EQ(at, a.size()) << "strict " << strict << ": first difference at " << at % 160 << ","
                            << at / 160;
    ASSERT_FALSE(partial.gfx->ScreenCopies().empty());
    const IRECT& first = partial.gfx->ScreenCopies()[0];
    EXPECT_LT(first.W() * first.H(), 160 * 100)
        << "strict " << strict << ": the repaint was not partial";
  }
}

TEST(Drawing, StrictRepaintCleansOnlyWhatItRepainted) {
  Rig rig(160, 100);
  Panel panel(rig);
  rig.Attach();
  rig.gfx->Tick();
  panel.knob->SetDirty(false);   // 10..40
  panel.label->SetDirty(false);  // 60..120
  rig.gfx->Draw(IRECT(0, 0, 60, 60));
  EXPECT_FALSE(panel.knob->IsDirty());
  EXPECT_TRUE(panel.label->IsDirty()) << "outside the repainted area, its face is still old";
  IRECT r;
  EXPECT_TRUE(rig.gfx->IsDirty(&r));
  EXPECT_EQ(r, IRECT(60, 62, 120, 76));
  rig.gfx->Draw(r);
  EXPECT_FALSE(rig.gfx->IsDirty(&r));
}

// Bitmaps from files: decoded once for every editor (by id), and refused when the strip does
// not divide into its frames; a control of a refused strip has no area.
TEST(Drawing, BitmapsAreDecodedOnceAndStripsMustDivideIntoTheirFrames) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quenta-editor-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string error;
  LICE_MemBitmap strip(12, 30), seven(10, 7);
  ASSERT_TRUE(qrender::writePng(&strip, (dir / "strip.png").string(), error)) << error;
  ASSERT_TRUE(qrender::writePng(&seven, (dir / "seven.png").string(), error)) << error;
  Rig a, b;
  a.gfx->SetResourceDir(dir.c_str());
  b.gfx->SetResourceDir(dir.c_str());
  IBitmap first = a.gfx->LoadIBitmap(9101, "resources/img/strip.png", 3);
  IBitmap again = a.gfx->LoadIBitmap(9101, "resources/img/other-name.png", 3);
  IBitmap elsewhere = b.gfx->LoadIBitmap(9101, "resources/img/strip.png", 3);
  EXPECT_EQ(a.gfx->Decoded().size(), 1u);
  EXPECT_TRUE(b.gfx->Decoded().empty());
  ASSERT_NE(first.mData, nullptr);
  EXPECT_EQ(again.mData, first.mData);
  EXPECT_EQ(elsewhere.mData, first.mData);
  EXPECT_EQ(first.FrameHeight(), 10);

  const struct {
    int frames;
    bool horizontal, loads;
  } cases[] = {{1, false, true},   {7, false, true}, {2, false, false}, {0, false, false},
               {-1, false, false}, {5, true, true},  {3, true, false}};
  for (const auto& c : cases) {
    IBitmap bm = a.gfx->LoadIBitmap(9102, "seven.png", c.frames, c.horizontal);
    EXPECT_EQ(bm.mData != nullptr, c.loads) << c.frames << (c.horizontal ? " across" : " down");
  }
  EXPECT_EQ(a.gfx->LoadIBitmap(9103, "missing.png").mData, nullptr);
  auto* pControl = new ISwitchControl(&a.plug, 5, 5, edtest::kParamSwitch,
                                      a.gfx->LoadIBitmap(9102, "seven.png", 2));
  a.gfx->AttachControl(pControl);
  a.Attach();
  a.Click(5, 5);
  EXPECT_EQ(pControl->GetValue(), 0.0);
  a.gfx->Tick();
  std::filesystem::remove_all(dir);
}

// Measuring places the extent by alignment, one line high; the line-height rule makes every
// face's line as high as the size asked (give or take a pixel), and a font is shared by texts
// that differ only in colour, alignment or quality.
TEST(Text, MeasuredExtentsAndLineHeights) {
  Rig rig;
  IText centre(10), left(10, COLOR_BLACK, "Monaco", IText::kStyleNormal, IText::kAlignNear),
      right(10, COLOR_BLACK, "Monaco", IText::kStyleNormal, IText::kAlignFar);
  IRECT one(100, 5, 300, 20), four = one;
  ASSERT_TRUE(rig.gfx->MeasureIText(&left, "M", &one));
  ASSERT_TRUE(rig.gfx->MeasureIText(&left, "MMMM", &four));
  const int w = one.W(), lineHeight = rig.gfx->CacheFont(&left)->GetLineHeight();
  EXPECT_GT(w, 0);
  EXPECT_EQ(four, IRECT(100, 5, 100 + 4 * w, 5 + lineHeight)) << "a fixed-pitch face";
  IRECT r(100, 5, 300, 20);
  rig.gfx->MeasureIText(&right, "MMMM", &r);
  EXPECT_EQ(r, IRECT(300 - 4 * w, 5, 300, 5 + lineHeight));
  r = IRECT(100, 5, 301, 20);
  rig.gfx->MeasureIText(&centre, "MMM", &r);
  EXPECT_EQ(r.L, (int)(200.5 - 1.5 * w));
  IRECT empty(1, 2, 3, 4);
  EXPECT_TRUE(rig.gfx->MeasureIText(&centre, "", &empty));
  EXPECT_EQ(empty, IRECT(1, 2, 3, 4));

  for (const char* face : {"Monaco", "Arial", "Helvetica"})
    for (int size : {9, 10, 11, 12, 15}) {
      IText text(size, COLOR_BLACK, face);
      LICE_CachedFont* pFont = rig.gfx->CacheFont(&text);
      ASSERT_NE(pFont, nullptr) << face;
      EXPECT_NEAR(pFont->GetLineHeight(), size, 1) << face << " " << size;
      IText same(size, COLOR_WHITE, face, IText::kStyleNormal, IText::kAlignNear, 0,
                 IText::kQualityAntiAliased);
      EXPECT_EQ(rig.gfx->CacheFont(&same), pFont) << face << " " << size;
    }
}

TEST(Golden, TextAndControls) {
  Rig rig(240, 96);
  rig.gfx->AttachPanelBackground(IColor(255, 40, 44, 52));
  const IColor cream(255, 240, 230, 200);
  rig.gfx->AttachControl(
      new ITextControl(&rig.plug, IRECT(4, 4, 236, 18),
                       IText(10, cream, "Monaco", IText::kStyleNormal, IText::kAlignNear),
                       "Monaco 10 left 0123456789"));
  rig.gfx->AttachControl(new ITextControl(&rig.plug, IRECT(4, 20, 236, 36),
                                          IText(12, cream, "Arial"), "Arial 12 centred"));
  rig.gfx->AttachControl(new ITextControl(
      &rig.plug, IRECT(4, 38, 236, 54),
      IText(15, IColor(160, 255, 255, 255), "Helvetica", IText::kStyleBold, IText::kAlignFar),
      "Helvetica bold right"));
  auto* pKnob = new IKnobMultiControl(&rig.plug, 8, 58, edtest::kParamGain, rig.Strip(30, 30, 8));
  auto* pSwitch = new ISwitchControl(&rig.plug, 48, 64, edtest::kParamSwitch, rig.Strip(24, 16, 2));
  auto* pGray = new IKnobMultiControl(&rig.plug, 84, 58, edtest::kParamDepth, rig.Strip(30, 30, 8));
  auto* pVeil = new IPanelControl(&rig.plug, IRECT(120, 58, 232, 90), IColor(96, 255, 128, 0));
  auto* pValue =
      new ITextControl(&rig.plug, IRECT(120, 66, 232, 80), IText(11, COLOR_WHITE, "Monaco"));
  for (IControl* p : {(IControl*)pKnob, (IControl*)pSwitch, (IControl*)pGray, (IControl*)pVeil,
                      (IControl*)pValue})
    rig.gfx->AttachControl(p);
  pKnob->SetValDisplayControl(pValue);  // shows the knob's own value, set below
  rig.Attach();
  pGray->GrayOut(true);
  rig.gfx->SetParameterFromPlug(edtest::kParamSwitch, 1.0, true);
  rig.gfx->SetParameterFromPlug(edtest::kParamGain, 0.75, true);
  rig.gfx->Tick();

  quenta_test::ExpectGolden(rig.gfx->Screen(), "tests/editor/data/controls.png", "editor-golden",
                            "make update-editor-golden");
}

}  // namespace
