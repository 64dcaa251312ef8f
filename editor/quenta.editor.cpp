// The instrument's panel: createGraphics attaches the background and one control per entry
// of the layout tables (editor/quenta.layout.*), in their order, which is the drawing order
// and the order of the mouse search (later controls lie on top).
#include "editor/quenta.editor.h"

#include "editor/IGraphics.h"
#include "editor/quenta.controls.h"
#include "editor/quenta.layout.h"
#include "instrument/quenta.h"

IBitmap panelBitmap(IGraphics* pGraphics, int id) {
  const qlayout::Bitmap* pEntry = qlayout::findBitmap(id);
  if (!pEntry || !pGraphics) return IBitmap();
  IBitmap bitmap = pGraphics->LoadIBitmap(id, pEntry->file, pEntry->frames);
  if (!bitmap.mData)
    bitmap = IBitmap(nullptr, pEntry->width, pEntry->frameHeight * pEntry->frames, pEntry->frames);
  return bitmap;
}

namespace {

using qlayout::Control;
using qlayout::Kind;

// White at alpha 160: the controller numbers on dark buttons.
constexpr IColor kLightSelectorText(160, 255, 255, 255);
// The version label: white at alpha 128.
constexpr IColor kVersionText(128, 255, 255, 255);

IRECT rectOf(const qlayout::Rect& r) { return IRECT(r.L, r.T, r.R, r.B); }
IRECT rectOf(const int (&r)[4]) { return IRECT(r[0], r[1], r[2], r[3]); }

class PanelBuilder {
 public:
  PanelBuilder(Quenta* pQuenta, IGraphics* pGraphics, Quenta::EditorControls* pEditor,
               IControl** ppLearn)
      : mQuenta(pQuenta), mGraphics(pGraphics), mEditor(pEditor), mLearn(ppLearn) {}

  void build() {
    mGraphics->AttachBackground(qlayout::kBack, qlayout::findBitmap(qlayout::kBack)->file);
    mGraphics->HandleMouseOver(true);
    for (const qlayout::Bitmap& b : qlayout::kBitmaps)
      if (b.id != qlayout::kBack) panelBitmap(mGraphics, b.id);
    // The information panel exists before the selectors that explain their patch in it; it is
    // attached where the layout puts it, between the global controls and the Blocks.
    mInfo = new IAFInfoBubble(mQuenta, qlayout::kInfoX, qlayout::kInfoY, qlayout::kIdInfoPanel);
    mEditor->infoBubble = mInfo;
    for (int i = 0; i < qlayout::kNumFixedControls; ++i) attach(qlayout::kFixedControls[i], 0);
    for (int i = 0; i < qlayout::kNumGlobalControls; ++i) attach(qlayout::kGlobalControls[i], 0);
    mInfo->attachToGraphics(mGraphics);
    for (int b = 0; b < kNumBlocks; ++b)
      for (int i = 0; i < qlayout::kNumBlockControls; ++i) attach(qlayout::kBlockControls[i], b);
  }

 private:
  void attach(const Control& c, int block) {
    const int param = qlayout::controlParam(c, block);
    const IRECT r = rectOf(qlayout::controlRect(c, block));
    const IBitmap bitmap = panelBitmap(mGraphics, c.bitmap);
    const int x = r.L, y = r.T;
    IControl* pControl = nullptr;
    switch (c.kind) {
      case Kind::PresetMenu:
        pControl = new IAFPresetMenu(mQuenta, rectOf(qlayout::kProgramNumber),
                                     rectOf(qlayout::kProgramName));
        mEditor->programMenu = pControl;
        break;
      case Kind::Kick: pControl = new IAFUtilityKick(mQuenta, x, y, param, bitmap); break;
      case Kind::OptionMenu: pControl = new IAFOptionMenu(mQuenta, r, param); break;
      case Kind::UtilMenu: pControl = new IAFUtilMenu(mQuenta, r, param); break;
      case Kind::TuningMenu: pControl = new IAFMicroTuningMenu(mQuenta, r, param); break;
      case Kind::Version: {
        char version[32];
        mQuenta->GetEffectVersionStr(version);
        pControl = new ITextControl(mQuenta, r, IText(9, kVersionText, "Helvetica"), version);
        break;
      }
      case Kind::MidiLearn:
        pControl = new IAFSwitchMidiLearn(mQuenta, x, y, bitmap, true);
        *mLearn = pControl;
        break;
      case Kind::Led:
        pControl = new IBitmapControl(mQuenta, x, y, bitmap);
        pControl->Hide(true);
        if (c.led == qlayout::kLedActive) mEditor->activeLed = pControl;
        if (c.led == qlayout::kLedSH) mEditor->leds[6] = pControl;
        if (c.led == qlayout::kLedGEG) mEditor->leds[7] = pControl;
        if (c.led == qlayout::kLedMG1) mEditor->leds[2 * block] = pControl;
        if (c.led == qlayout::kLedMG2) mEditor->leds[2 * block + 1] = pControl;
        break;
      case Kind::Knob:
        pControl = new IAFKnobMultiControl(mQuenta, x, y, param, bitmap, c.ctx,
                                           IKnobControl::kVertical, c.gearing);
        break;
      case Kind::TextKnob: {
        const IRECT knob(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight());
        pControl = new IAFKnobMultiControlText(mQuenta, knob, param, bitmap, c.ctx);
        break;
      }
      case Kind::Switch:
        pControl =
            new IAFSwitchControl(mQuenta, x, y, param, bitmap, c.ctx, IChannelBlend::kBlendNone);
        break;
      case Kind::Selector:
        pControl = new IAFPopUpMenuControl(
            mQuenta, x, y, param, c.lightText ? &kLightSelectorText : nullptr, bitmap,
            panelBitmap(mGraphics, c.bitmap2), (IAFPopUpMenuControl::MenuType)c.menuType, mInfo);
        break;
    }
    if (pControl) mGraphics->AttachControl(pControl);
  }

  Quenta* mQuenta;
  IGraphics* mGraphics;
  Quenta::EditorControls* mEditor;
  IControl** mLearn;
  IAFInfoBubble* mInfo = nullptr;
};

}  // namespace

void Quenta::createGraphics() {
  if (!mGUI) return;
  // A new panel: its lamps start dark, whatever the last panel showed.
  const WDL_String scaleFolder(mEditor.scaleFolder.Get());
  mEditor = EditorControls();
  mEditor.scaleFolder.Set(scaleFolder.Get());
  for (bool& on : mLedState) on = false;
  PanelBuilder(this, mGUI, &mEditor, &mMidiLearnSwitch).build();
}
