#pragma once
// IControl, the base of every element of the panel, and the standard controls built on it.
//
// A control is a rectangle on the editor's surface, optionally bound to one plug-in parameter,
// holding the normalised value 0 .. 1 it shows. Its value follows the plug-in through
// SetValueFromPlug and the user through the mouse reactions, which end in SetDirty(true): that
// clamps the value and sends it to the plug-in. The graphics object owns every attached
// control, draws the dirty ones and routes events to them. Everything here runs on the
// user-interface thread; other threads reach controls only through IGraphics' mailbox.
#include <atomic>
#include <vector>

#include "base/wdlstring.h"
#include "editor/IGraphicsTypes.h"

class IGraphics;
class IParam;
class IPlugBase;
class ITextControl;

class IControl {
 public:
  struct AuxParam {
    int mParamIdx;
    double mValue = 0.0;
    explicit AuxParam(int idx) : mParamIdx(idx) {}
  };

  IControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx = -1,
           IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  virtual ~IControl() {}
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- Reactions; defaults as noted ----
  // The right button prompts for a value (PromptUserInput); otherwise nothing.
  virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
  virtual void OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, const IMouseMod& /*mod*/) {
  }
  // Restores the default value (once one is known) and sends it to the plug-in.
  virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  virtual void OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& /*mod*/, int /*d*/) {}
  // True when the key was used; false passes it on to the host.
  virtual bool OnKeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
  virtual void OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseOut() {}
  // Draws the control through pGraphics (clipped to the pass's drawing rectangle); false on
  // failure.
  virtual bool Draw(IGraphics* pGraphics) = 0;

  // The first value from the plug-in also becomes the default; later ones change the value
  // and mark the control for redraw without sending anything back. NaN is ignored.
  virtual void SetValueFromPlug(double value);
  // A value chosen by the user: changed, marked and sent to the plug-in. NaN is ignored.
  virtual void SetValueFromUserInput(double value);
  // The text a text field opened by this control without a parameter ended with.
  virtual void TextFromTextEntry(const char* /*text*/) {}
  virtual void Hide(bool hide);
  // A grayed control ignores the mouse and draws at a quarter of its opacity.
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y) const { return mTargetRECT.Contains(x, y); }
  // Clamps the value to the clamp range and marks the control dirty; with pushParamToPlug and
  // a parameter, sends the value to the plug-in; updates the value and name displays.
  virtual void SetDirty(bool pushParamToPlug = true);
  // After a drawing pass: a control that asked for a redraw stays dirty for one more pass.
  virtual void SetClean();
  virtual bool IsDirty() const { return mDirty; }
  virtual void OnGUIIdle() {}
  virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);

  // ---- Value and binding ----
  IPlugBase* GetPlug() const { return mPlug; }
  int ParamIdx() const { return mParamIdx; }
  // The bound parameter, or null (negative index or no such parameter).
  IParam* GetParam() const;
  double GetValue() const { return mValue; }
  double GetDefaultValue() const { return mDefaultValue; }
  void SetDefaultValue(double value) { mDefaultValue = value; }
  void Clamp(double lo, double hi);
  bool IsClamped() const { return mClamped; }

  // ---- Geometry, look and flags ----
  const IRECT& GetRECT() const { return mRECT; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetArea(const IRECT& r) { mTargetRECT = r; }
  IText* GetText() { return &mText; }
  void SetText(const IText& text) { mText = text; }
  const IChannelBlend* GetBlend() const { return &mBlend; }
  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  void SetMOWhenGrayed(bool on) { mMOWhenGrayed = on; }
  // A double click on such a control is handled as a second mouse down.
  bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetMouseDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  // Asks for the control to be drawn in the next two passes.
  void Redraw() { mRedraw = true; }

  // ---- Prompting for a value ----
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  bool IsPromptDisabled() const { return mDisablePrompt; }
  void SetTextEntryLength(int len) { mTextEntryLength = len; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  // Over the control (a list parameter) or over a 40 x 16 field at its centre; needs a bound
  // parameter and an enabled prompt.
  void PromptUserInput();
  void PromptUserInput(const IRECT& r);

  // ---- Companions ----
  void SetValDisplayControl(ITextControl* pControl) { mValDisplayControl = pControl; }
  void SetNameDisplayControl(ITextControl* pControl) { mNameDisplayControl = pControl; }
  void SetTooltip(const char* text) { mTooltip.Set(text); }
  const char* GetTooltip() const { return mTooltip.Get(); }

  // ---- Auxiliary parameters ----
  void AddAuxParam(int paramIdx) { mAuxParams.emplace_back(paramIdx); }
  int AuxParamIdx(int paramIdx) const;  // the slot listing paramIdx, -1 when none
  AuxParam* GetAuxParam(int slot);      // null out of range
  int NAuxParams() const { return (int)mAuxParams.size(); }
  void SetAllAuxParamsFromGUI();

 protected:
  // Sends value to the plug-in when the control is bound.
  void PushToPlug(double value);

  int mTextEntryLength = 7;
  IText mText;
  IPlugBase* mPlug;
  IRECT mRECT, mTargetRECT;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  double mValue = 0.0;
  double mDefaultValue = -1.0;  // unknown until the plug-in's first value
  double mClampLo = 0.0, mClampHi = 1.0;
  bool mDirty = true, mHide = false, mGrayed = false, mRedraw = false, mDisablePrompt = true,
       mClamped = false, mDblAsSingleClick = false, mMOWhenGrayed = false;
  IChannelBlend mBlend;
  ITextControl* mValDisplayControl = nullptr;
  ITextControl* mNameDisplayControl = nullptr;
  WDL_String mTooltip;

 private:
  friend class IGraphics;
  // What other threads asked of this control; IGraphics' tick applies it. Values are written
  // before the flag that announces them (release), and read after taking the flags (acquire).
  enum { kPostedValue = 1, kPostedVisibility = 2, kPostedRedraw = 4 };
  std::atomic<unsigned> mPostedFlags{0};
  std::atomic<double> mPostedValue{0.0};
  std::atomic<bool> mPostedHide{false};
};

// ---- Standard controls ----

// Shows one frame of a bitmap: frame 1 for a still image, else the frame nearest the value.
class IBitmapControl : public IControl {
 public:
  // The rectangle is x, y plus one frame of the bitmap.
  IBitmapControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  IBitmapControl(IPlugBase* pPlug, int x, int y, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone)
      : IBitmapControl(pPlug, x, y, -1, bitmap, blendMethod) {}

  bool Draw(IGraphics* pGraphics) override;
  const IBitmap& GetBitmap() const { return mBitmap; }
  // Replaces the image (same rectangle) and marks the control for redraw.
  void SetBitmap(const IBitmap& bitmap);

 protected:
  // 1-based frame shown for the current value.
  int FrameForValue() const;

  IBitmap mBitmap;
};

// Each click steps to the next frame's value, wrapping from the last to the first.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override { OnMouseDown(x, y, mod); }
};

// A push button: steps like a switch when pressed, returns to 0 when released.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;

  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};

// A knob turned by dragging (vertical or horizontal) and by the wheel. Moving the pointer by
// the control's own height (or width) changes the value by 1 / gearing; shift or control make
// that ten times finer; a negative gearing reverses the direction.
class IKnobControl : public IControl {
 public:
  enum EDirection { kVertical = 0, kHorizontal = 1 };
  static constexpr double kDefaultGearing = 4.0;

  IKnobControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, EDirection direction = kVertical,
               double gearing = kDefaultGearing);

  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d) override;

  EDirection GetDirection() const { return mDirection; }
  double GetGearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing; }

 protected:
  EDirection mDirection;
  double mGearing;
};

// A knob drawn as one frame of a strip: the frame nearest the value.
class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                    EDirection direction = kVertical, double gearing = kDefaultGearing);

  bool Draw(IGraphics* pGraphics) override;
  const IBitmap& GetBitmap() const { return mBitmap; }

 protected:
  IBitmap mBitmap;
};

// A line of text in the control's text style; bound to no parameter.
class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase* pPlug, const IRECT& rect, const IText& text, const char* str = "");

  bool Draw(IGraphics* pGraphics) override;
  // Replaces the text; marks the control dirty only when it changed.
  void SetTextFromPlug(const char* str);
  void ClearTextFromPlug() { SetTextFromPlug(""); }
  const char* GetTextForPlug() const { return mStr.Get(); }

 protected:
  WDL_String mStr;
};

// Fills its rectangle with a colour.
class IPanelControl : public IControl {
 public:
  IPanelControl(IPlugBase* pPlug, const IRECT& rect, const IColor& color);

  bool Draw(IGraphics* pGraphics) override;
  const IColor& GetColor() const { return mColor; }

 protected:
  IColor mColor;
};

// The 1-based frame of an N-frame strip for a normalised value: (N - 1) x value rounded half
// up, plus 1, kept within 1 .. N. Shared by the bitmap-frame controls.
int FrameForNormalizedValue(double value, int nFrames);
