#pragma once
// The instrument's own controls: knobs and switches with a copy-to-Block menu, knobs that print
// their value, patch-point and rate selectors with their pop-up menus, the information panel
// that explains a patch, the program selector with its editable name, the MIDI-learn switch,
// push buttons for programs and the manual trigger, and the menu buttons (commands in
// quenta.commands.h).
#include <string>

#include "editor/IControl.h"

class IAFInfoBubble;
class IPopupMenu;
class Quenta;

// The copy-to-Block menu of a Block control: copies the control's value to the same control of
// another Block. Owned by its control and never attached; draws nothing.
class IAFContextMenu : public IControl {
 public:
  enum { kId = -243 };
  IAFContextMenu(IPlugBase* pPlug, const IRECT& rect, int ownerParam);

  bool Draw(IGraphics* pGraphics) override;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // Shows the menu over the owner; a choice copies the value. Global parameters have no
  // Blocks to copy to: nothing is shown for them.
  void doPopupMenu();

 private:
  int mOwnerParam;
};

// A switch whose right click opens the copy-to-Block menu (when it has one).
class IAFSwitchControl : public ISwitchControl {
 public:
  IAFSwitchControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                   bool contextMenu,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  ~IAFSwitchControl() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  IAFContextMenu* GetContextMenu() const { return mContextMenu; }

 private:
  IAFContextMenu* mContextMenu;  // owned
};

// A knob (or rotary switch) whose right click opens the copy-to-Block menu (when it has one).
class IAFKnobMultiControl : public IKnobMultiControl {
 public:
  IAFKnobMultiControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IBitmap& bitmap,
                      bool contextMenu, EDirection direction = kVertical,
                      double gearing = kDefaultGearing);
  ~IAFKnobMultiControl() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  IAFContextMenu* GetContextMenu() const { return mContextMenu; }

 private:
  IAFContextMenu* mContextMenu;  // owned
};

// A small knob with its value printed in a strip below it; a click on the strip lets the user
// type a value, a double click restores the default. Block knobs also have the copy-to-Block
// menu.
class IAFKnobMultiControlText : public IKnobControl {
 public:
  // The value strip lies from kStripTop to kStripBottom pixels below the knob.
  enum { kStripTop = 2, kStripBottom = 16 };
  IAFKnobMultiControlText(IPlugBase* pPlug, const IRECT& rect, int paramIdx, const IBitmap& bitmap,
                          bool contextMenu = false);
  ~IAFKnobMultiControlText() override;

  bool Draw(IGraphics* pGraphics) override;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  const IRECT& GetKnobRECT() const { return mKnobRECT; }
  const IRECT& GetValueRECT() const { return mValueRECT; }
  IAFContextMenu* GetContextMenu() const { return mContextMenu; }

 private:
  IBitmap mBitmap;
  IRECT mKnobRECT, mValueRECT;
  IAFContextMenu* mContextMenu;  // owned
};

// A selector: a patch point (jack) showing the source plugged in, or a button showing a rate or
// a controller number. Any click opens a menu of the parameter's entries, grouped by type.
class IAFPopUpMenuControl : public IControl {
 public:
  enum MenuType {
    kAllItems = 0,     // every entry at the top
    kControllers = 1,  // controller numbers in groups of 30, shown as numbers
    kModSources = 2,   // "off", "+5V", then Intern / Extern / MIDI
    kTriggers = 3,     // "off", then Intern / Extern
    kSyncRates = 4,    // "off", then the long and the short rates
  };
  IAFPopUpMenuControl(IPlugBase* pPlug, int x, int y, int paramIdx, const IColor* pTextColor,
                      const IBitmap& off, const IBitmap& on, MenuType type,
                      IAFInfoBubble* pInfo = nullptr);

  bool Draw(IGraphics* pGraphics) override;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseOver(int x, int y, const IMouseMod& mod) override;
  // The text shown for the parameter's current value.
  std::string DisplayText() const;
  MenuType GetMenuType() const { return mType; }
  const IRECT& GetTextRECT() const { return mTextRECT; }
  // Builds the menu with the current entry checked; for each (sub)menu the entry index of its
  // first item goes into pFirst (indexed as the menus are found depth first: top, then
  // submenus in order). The caller owns the menu.
  IPopupMenu* BuildMenu(int* pFirst, IPopupMenu** pMenus, int maxMenus) const;

 private:
  IBitmap mOff, mOn;
  IRECT mTextRECT;
  MenuType mType;
  bool mExplainsPatch;
  IAFInfoBubble* mInfo;
};

// The information panel: four lines explaining the patch selector last hovered: its target,
// the range its input takes, the source plugged in and the range that source gives.
class IAFInfoBubble : public IControl {
 public:
  enum { kId = -244, kWidth = 160, kHeight = 64, kLines = 4, kLineHeight = 11 };
  IAFInfoBubble(IPlugBase* pPlug, int x, int y, int id = kId);

  // Attaches the four line controls, then the panel itself above them.
  void attachToGraphics(IGraphics* pGraphics);
  bool Draw(IGraphics* pGraphics) override;
  // Explains the selector of parameter paramIdx (a no-op for parameters without a patch).
  void setInfo(int paramIdx);
  const char* GetLine(int i) const;

 private:
  class Line;
  Line* mLines[kLines];  // owned by the graphics object once attached
  bool mAttached = false;
};

// The program selector: number and name of the current program. A click on the name lets the
// user rename the program; a click elsewhere opens the program menu.
class IAFPresetMenu : public IControl {
 public:
  enum { kMaxNameChars = 32 };
  IAFPresetMenu(IPlugBase* pPlug, const IRECT& numberRect, const IRECT& nameRect);
  ~IAFPresetMenu() override;

  bool Draw(IGraphics* pGraphics) override;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // The typed name renames the program that was current when the field opened.
  void TextFromTextEntry(const char* text) override;
  void doPopupMenu();
  const IRECT& GetNumberRECT() const { return mNumberRECT; }
  const IRECT& GetNameRECT() const { return mNameRECT; }

 private:
  IRECT mNumberRECT, mNameRECT;
  int mRenaming = -1;  // program being renamed while the field is open
};

// The MIDI-learn switch: on starts learning (or unlearning), off stops it; a right click while
// off switches between learning and unlearning, with the image to match.
class IAFSwitchMidiLearn : public ISwitchControl {
 public:
  enum { kId = -235 };
  IAFSwitchMidiLearn(IPlugBase* pPlug, int x, int y, const IBitmap& bitmap, bool learnMode = true);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool IsLearnMode() const { return mLearnMode; }

 private:
  bool mLearnMode;
};

// A push button: previous or next program, or the manual trigger, by its id.
class IAFUtilityKick : public IContactControl {
 public:
  enum { kPrevious = -232, kNext = -233, kTrigger = -236 };
  IAFUtilityKick(IPlugBase* pPlug, int x, int y, int id, const IBitmap& bitmap);

  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};

// A menu button: its look is printed on the background; a click opens its menu.
class IAFMenuBase : public IControl {
 public:
  IAFMenuBase(IPlugBase* pPlug, const IRECT& rect, int id);
  bool Draw(IGraphics* pGraphics) override;
};

// The options menu: programs, banks, start-up bank, configuration, MIDI settings, online.
class IAFOptionMenu : public IAFMenuBase {
 public:
  enum { kId = -234 };
  using IAFMenuBase::IAFMenuBase;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
};

// A Block's temperament menu, with loading and saving of scale files.
class IAFMicroTuningMenu : public IAFMenuBase {
 public:
  enum { kIdA = -240, kIdB = -241, kIdC = -242 };
  using IAFMenuBase::IAFMenuBase;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  int Block() const { return ParamIdx() == kIdA ? 0 : ParamIdx() == kIdB ? 1 : 2; }
};

// A Block's utility menu: copy the whole Block to another.
class IAFUtilMenu : public IAFMenuBase {
 public:
  enum { kIdA = -237, kIdB = -238, kIdC = -239 };
  using IAFMenuBase::IAFMenuBase;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  int Block() const { return ParamIdx() == kIdA ? 0 : ParamIdx() == kIdB ? 1 : 2; }
};
