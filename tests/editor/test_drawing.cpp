// Drawing through the graphics object, checked in pixels: one golden image of text (which shows
// the line-height rule) and controls, repaint passes, the bitmap cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "editor_rig.h"
#include "support/test_files.h"
#include "tools/quenta_render/editor_png.h"

namespace {

using quenta_test::Pixels;
using quenta_test::Rig;

// Text in the three faces and alignments; a knob showing its value in a text control under a
// translucent veil, with a lamp on it; a switch and a knob to be greyed over the value.
struct Panel {
  explicit Panel(Rig& rig) {
    const IColor cream(255, 240, 230, 200);
    rig.gfx->AttachPanelBackground(IColor(255, 40, 44, 52));
    rig.gfx->AttachControl(
        new ITextControl(&rig.plug, IRECT(4, 4, 236, 18),
                         IText(10, cream, "Monaco", IText::kStyleNormal, IText::kAlignNear),
                         "Monaco 10 left 0123456789"));
    rig.gfx->AttachControl(new ITextControl(&rig.plug, IRECT(4, 20, 236, 36),
                                            IText(12, cream, "Arial"), "Arial 12 centred"));
    label = new ITextControl(
        &rig.plug, IRECT(4, 38, 236, 54),
        IText(15, IColor(160, 255, 255, 255), "Helvetica", IText::kStyleBold, IText::kAlignFar),
        "Helvetica bold right");
    knob =
        new IKnobMultiControl(&rig.plug, 8, 58, quenta_test::kParamGain, rig.Gradient(30, 30, 8));
    sw = new ISwitchControl(&rig.plug, 48, 64, quenta_test::kParamSwitch, rig.Strip(24, 16, 2));
    gray =
        new IKnobMultiControl(&rig.plug, 100, 58, quenta_test::kParamDepth, rig.Strip(30, 30, 8));
    veil = new IPanelControl(&rig.plug, IRECT(20, 58, 232, 90), IColor(96, 255, 128, 0));
    value = new ITextControl(&rig.plug, IRECT(120, 66, 232, 80), IText(11, COLOR_WHITE, "Monaco"));
    lamp = new IBitmapControl(&rig.plug, 28, 70, rig.Solid(8, 8, LICE_RGBA(255, 200, 0, 255)));
    for (IControl* p : {(IControl*)label, (IControl*)knob, (IControl*)sw, (IControl*)gray,
                        (IControl*)veil, (IControl*)value, (IControl*)lamp})
      rig.gfx->AttachControl(p);
    knob->SetValDisplayControl(value);
  }
  // The same change, whatever the panel's history. The places of the lamp and the greyed knob
  // are repainted apart: that cuts through the knob, the veil and the value's text, and must
  // take the right part of the knob's frame and clip the text.
  void Change(Rig& rig) {
    gray->GrayOut(true);
    rig.gfx->SetParameterFromPlug(quenta_test::kParamSwitch, 1.0, true);
    lamp->Hide(true);
    label->SetTextFromPlug("Helvetica bold, right");
  }
  ITextControl *label, *value;
  IKnobMultiControl *knob, *gray;
  ISwitchControl* sw;
  IPanelControl* veil;
  IBitmapControl* lamp;
};

// The panel drawn whole against tests/editor/data/controls.png (on a difference the test writes
// editor-golden-actual.png and editor-golden-diff.png and fails), and repainted in part after a
// change: the same pixels.
TEST(Golden, TextAndControlsWholeAndRepaintedInPart) {
  for (bool strict : {true, false}) {
    Rig partial(240, 96), full(240, 96);
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
    full.gfx->Draw(IRECT(0, 0, 240, 96));  // one pass over everything
    if (strict) {
      quenta_test::ExpectGolden(full.gfx->Screen(), "tests/editor/data/controls.png",
                                "editor-golden", "make update-editor-golden");
    }

    const std::vector<LICE_pixel> a = Pixels(*partial.gfx->Screen());
    const std::vector<LICE_pixel> b = Pixels(*full.gfx->Screen());
    const size_t at = std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin();
    EXPECT_EQ(at, a.size()) << "strict " << strict << ": first difference at " << at % 240 << ","
                            << at / 240;
    ASSERT_FALSE(partial.gfx->ScreenCopies().empty());
    const IRECT& first = partial.gfx->ScreenCopies()[0];
    EXPECT_LT(first.W() * first.H(), 240 * 96)
        << "strict " << strict << ": the repaint was not partial";
  }
}

TEST(Drawing, StrictRepaintCleansOnlyWhatItRepainted) {
  Rig rig(240, 96);
  Panel panel(rig);
  rig.gfx->SetStrictDrawing(true);
  rig.Attach();
  rig.gfx->Tick();
  panel.knob->SetDirty(false);
  panel.value->SetDirty(false);
  rig.gfx->Draw(IRECT(0, 56, 60, 96));  // the knob's place, not the value's
  EXPECT_FALSE(panel.knob->IsDirty());
  EXPECT_TRUE(panel.value->IsDirty()) << "outside the repainted area, its face is still old";
  IRECT r;
  EXPECT_TRUE(rig.gfx->IsDirty(&r));
  EXPECT_EQ(r, panel.value->GetRECT());
  rig.gfx->Draw(r);
  EXPECT_FALSE(rig.gfx->IsDirty(&r));
}

// Bitmaps from files: decoded once for every editor (by id), and refused when the strip does
// not divide into its frames; a control of a refused strip has no area.
TEST(Drawing, BitmapsAreDecodedOnceAndStripsMustDivideIntoTheirFrames) {
  quenta_test::TempDir dir;
  std::string error;
  LICE_MemBitmap strip(12, 30), seven(10, 7);
  ASSERT_TRUE(qrender::writePng(&strip, dir.File("strip.png"), error)) << error;
  ASSERT_TRUE(qrender::writePng(&seven, dir.File("seven.png"), error)) << error;
  Rig a, b;
  a.gfx->SetResourceDir(dir.Path().c_str());
  b.gfx->SetResourceDir(dir.Path().c_str());
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
  auto* pControl = new ISwitchControl(&a.plug, 5, 5, quenta_test::kParamSwitch,
                                      a.gfx->LoadIBitmap(9102, "seven.png", 2));
  a.gfx->AttachControl(pControl);
  a.Attach();
  a.Click(5, 5);
  EXPECT_EQ(pControl->GetValue(), 0.0);
  a.gfx->Tick();
}

}  // namespace
