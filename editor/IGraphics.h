#pragma once
// IGraphics: the platform-independent heart of the editor.
//
// It owns the ordered list of controls (index 0 is the background; later controls lie on top
// and are searched first), the drawing surface, and the pointer state (the captured control,
// the hovered one). It turns the events a window back end delivers into calls on controls,
// keeps controls and plug-in parameters in step both ways, and repaints exactly the dirty part
// of the panel when the back end's timer ticks. Decoded bitmaps and fonts live in process-wide
// caches shared by every editor of the module.
//
// Threads. All editor state belongs to the user-interface thread: the thread that constructed
// the object until a window is opened or a tick runs, and from then on the thread that last
// did either (hosts open editors and send their idle calls on that thread). The operations
// marked "any thread" are also reached from the host's other threads (automation, the render
// loop's learned controllers, program changes, activation): on the user-interface thread they
// act at once; elsewhere they only store into a lock-free, allocation-free mailbox (per
// parameter a value and a pending flag; per control a value, a visibility and a redraw request)
// which the next tick applies, latest value winning. The editor has no lock of its own, so
// nothing is held while it calls into the plug-in.
//
// Platform operations are pure virtual, listed together below; a back end (X11, headless)
// implements them. The editor never resizes.
//
// This header names the rendering library's types only by declaration.
#include <atomic>
#include <memory>
#include <thread>

#include "base/ptrlist.h"
#include "base/wdlstring.h"
#include "editor/IGraphicsTypes.h"

class IControl;
class IParam;
class IPlugBase;
class IPopupMenu;
class ParamMailbox;
class LICE_IBitmap;
class LICE_MemBitmap;
class LICE_SysBitmap;

class IGraphics {
 public:
  enum { kDefaultFPS = 25 };
  // OnIdle runs after this many consecutive ticks without a dirty control.
  enum { kIdleTicks = 21 };
  enum EMsgBoxType { kMsgBoxOK = 0, kMsgBoxOKCancel = 1, kMsgBoxYesNoCancel = 3, kMsgBoxYesNo = 4 };
  enum EMsgBoxResult { kResultOK = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };
  enum EFileAction { kFileOpen = 0, kFileSave = 1 };

  // fps of 0 or less selects kDefaultFPS. Touches no window system.
  IGraphics(IPlugBase* pPlug, int w, int h, int fps = 0);
  // Deletes the key catcher, every control (last first) and the surfaces. A back end closes
  // its window in its own destructor with OSCloseWindow, not CloseWindow: the plug-in that
  // owns the editor is being destroyed and must not be called any more.
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- Platform operations: every back end implements these, nothing else ----------------
  // Copies r of the drawing surface to the screen (the end of every drawing pass).
  virtual void DrawScreen(const IRECT& r) = 0;
  // Closes an open text field without applying its text.
  virtual void ForceEndUserEdit() = 0;
  // The window system's name.
  virtual const char* GetGUIAPI() = 0;
  // A modal box with the buttons of type (EMsgBoxType); returns an EMsgBoxResult.
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // The plug-in's shared object; the folder holding the bundle, with a trailing "/".
  virtual void HostPath(WDL_String* pPath) = 0;
  virtual void PluginPath(WDL_String* pPath) = 0;
  // The user's desktop; the (user's or system's) application-data folder; a private folder.
  virtual void DesktopPath(WDL_String* pPath) = 0;
  virtual void AppSupportPath(WDL_String* pPath, bool isSystem = false) = 0;
  virtual void SandboxSafeAppSupportPath(WDL_String* pPath) = 0;
  // File dialog (only while the window is open). pFile: proposed name in, chosen path out
  // ("" when cancelled); pDir: start folder in, chosen folder with a trailing "/" out;
  // extensions separated by spaces.
  virtual void PromptForFile(WDL_String* pFile, EFileAction action, WDL_String* pDir,
                             const char* extensions) = 0;
  // Colour picker; false when not offered.
  virtual bool PromptForColor(IColor* pColor, const char* prompt) = 0;
  // Opens a web address or a file with the user's default application; false on failure.
  virtual bool OpenURL(const char* url) = 0;
  // The open window or view, null while closed.
  virtual void* GetWindow() = 0;
  // The clipboard's plain text; false (and "") when there is none.
  virtual bool GetTextFromClipboard(WDL_String* pStr) = 0;
  virtual void HideMouseCursor() = 0;
  virtual void ShowMouseCursor() = 0;
  // Registers the tool tips of the visible controls (when tool tips are enabled).
  virtual void UpdateTooltips() = 0;
  // The host's idle call (effEditIdle): a back end without a run loop of its own reads the
  // window system's events and runs the frame timer here. Called without the plug-in's lock.
  virtual void OnEditorIdle() {}

 protected:
  // The following are reached through the core, which does its share around them.
  // Creates the window inside pParent (OpenWindow claims the thread first); null on failure.
  virtual void* OSOpenWindow(void* pParent) = 0;
  // Destroys the window (CloseWindow ends the pointer capture first).
  virtual void OSCloseWindow() = 0;
  // Shows the menu over area and returns the (sub)menu holding the chosen item with its chosen
  // index set, or null (CreateIPopupMenu releases the capture first and checks the answer).
  virtual IPopupMenu* OSCreatePopupMenu(IPopupMenu* pMenu, const IRECT& area) = 0;
  // Opens a one-line text field over area holding str; when editing ends with a commit the
  // back end calls TextEntryEnded (CreateTextEntry releases the capture first).
  virtual void OSCreateTextEntry(IControl* pControl, const IText& text, const IRECT& area,
                                 const char* str, IParam* pParam) = 0;
  // Decodes the named PNG resource; null when it is not a PNG or cannot be found or decoded.
  // The result goes to the bitmap cache, which owns it.
  virtual LICE_IBitmap* OSLoadBitmap(int id, const char* name) = 0;

 public:
  // ---- Windows --------------------------------------------------------------------------
  // Makes the calling thread the user-interface thread, then opens the window.
  void* OpenWindow(void* pParent);
  void CloseWindow();
  bool WindowIsOpen() { return GetWindow() != nullptr; }
  // Releases the capture (ending an open parameter edit), shows the menu and returns the menu
  // holding the chosen item, or null. An answer that is not one of pMenu's own choosable items
  // counts as no choice. A null area shows the menu at the pointer.
  IPopupMenu* CreateIPopupMenu(IPopupMenu* pMenu, const IRECT* pArea);
  // Releases the capture, then opens a text field (see OSCreateTextEntry).
  void CreateTextEntry(IControl* pControl, const IText& text, const IRECT& area, const char* str,
                       IParam* pParam = nullptr);
  // For back ends: a text field's text was committed. With a parameter the text sets it
  // (SetFromStringAfterPrompt); without, it goes to the control's TextFromTextEntry.
  void TextEntryEnded(IControl* pControl, IParam* pParam, const char* text);
  // For back ends: what a text field for pParam accepts of typed or pasted text: digits and
  // signs (and the point for fractional parameters), at most maxLen characters; any text
  // without a parameter.
  static void FilterTextEntry(const IParam* pParam, int maxLen, const char* typed,
                              WDL_String* pOut);

  // ---- Construction and attachment ------------------------------------------------------
  // Creates the drawing surface; called when the editor is attached to the plug-in.
  void PrepDraw();
  // Inserts, at index 0, the image (one frame, copied without alpha) or a colour fill.
  void AttachBackground(int id, const char* name);
  void AttachPanelBackground(const IColor& color);
  // Appends the control, which the graphics object owns from then on; returns its index.
  int AttachControl(IControl* pControl);
  // The control that receives the keys no other control takes (owned).
  void AttachKeyCatcher(IControl* pControl);
  // The image under id from the process-wide cache, decoded (once) on a miss. The result has no
  // image when decoding fails, when nFrames is below 1 or when the strip's length is not a
  // multiple of nFrames.
  IBitmap LoadIBitmap(int id, const char* name, int nFrames = 1, bool framesAreHorizontal = false);
  // Puts an image under the cache's ownership, or removes and frees it.
  void RetainBitmap(const IBitmap& bitmap);
  void ReleaseBitmap(const IBitmap& bitmap);

  int NControls() const;
  IControl* GetControl(int idx) const;                // null out of range
  int GetControlIdx(const IControl* pControl) const;  // -1 when not attached
  IControl* GetKeyCatcher() const { return mKeyCatcher; }
  IPlugBase* GetPlug() const { return mPlug; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }

  // Apply Hide, GrayOut or clamp bounds to every control bound to the parameter (bounds in
  // parameter units are normalised first).
  void HideControl(int paramIdx, bool hide);
  void GrayOutControl(int paramIdx, bool gray);
  void ClampControl(int paramIdx, double lo, double hi, bool normalized);

  void HandleMouseOver(bool on) { mHandleMouseOver = on; }
  void EnableTooltips(bool on) { mEnableTooltips = on; }
  bool TooltipsEnabled() const { return mEnableTooltips; }
  void AssignParamNameToolTips();
  // Strict drawing (the default) draws every control overlapping the repainted area.
  void SetStrictDrawing(bool strict);

  // ---- Parameters and controls from the plug-in (any thread) ----------------------------
  // The value (normalised through the parameter unless normalized) goes to every control bound
  // to the parameter and to the auxiliary slots listing it. NaN is ignored; clamped to 0 .. 1.
  void SetParameterFromPlug(int paramIdx, double value, bool normalized);
  // The same for one control; an index out of range is ignored. The control-pointer forms
  // below take controls attached to this object (the list, not the key catcher).
  void SetControlFromPlug(int controlIdx, double normalizedValue);
  void SetControlFromPlug(IControl* pControl, double normalizedValue);
  // Hides or shows one control (the indicator lamps).
  void HideControlFromPlug(IControl* pControl, bool hide);
  // Marks one control for redraw.
  void RedrawControlFromPlug(IControl* pControl);
  // Marks every control dirty; used after every menu command.
  void SetAllControlsDirty();
  // Whether the caller is on the user-interface thread.
  bool OnUIThread() const;

  // ---- Parameters from the user (user-interface thread) ---------------------------------
  // SetValueFromUserInput on every control bound to the parameter.
  void SetParameterFromGUI(int paramIdx, double normalizedValue);
  // A menu of the parameter's display texts (list and labelled bool parameters) or a text
  // field holding its value, over pR. Needs all three arguments.
  void PromptUserInput(IControl* pControl, IParam* pParam, const IRECT* pR);
  // Sets the parameter from a typed or chosen text: list parameters by display text (an
  // unknown text changes nothing), others by its leading number (0 when none).
  void SetFromStringAfterPrompt(IControl* pControl, IParam* pParam, const char* text);

  // ---- Drawing (within a pass, clipped to its drawing rectangle) ------------------------
  // Frame 1 is the first; frames outside 1 .. N are limited to it. Draws at most one frame.
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& r, int frame = 1,
                  const IChannelBlend* pBlend = nullptr);
  bool FillIRect(const IColor& color, const IRECT& r, const IChannelBlend* pBlend = nullptr);
  // Draws str aligned in *pR (not clipped to it); false when no font can be had. In measure
  // mode nothing is drawn and *pR becomes the text's extent as it would be drawn.
  bool DrawIText(IText* pText, const char* str, IRECT* pR, bool measure = false);
  bool MeasureIText(IText* pText, const char* str, IRECT* pR) {
    return DrawIText(pText, str, pR, true);
  }
  // The style's font from the process-wide cache, created on a miss; null when none can be had.
  LICE_CachedFont* CacheFont(IText* pText);
  // The drawing surface (null before PrepDraw) and the current drawing rectangle.
  LICE_IBitmap* GetDrawBitmap() const;
  const IRECT& GetDrawRECT() const { return mDrawRECT; }

  // ---- Events from the back end (user-interface thread; editor coordinates) -------------
  void OnMouseDown(int x, int y, const IMouseMod& mod);
  void OnMouseUp(int x, int y, const IMouseMod& mod);
  void OnMouseDrag(int x, int y, const IMouseMod& mod);
  void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  // d: whole wheel steps, positive away from the user.
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d);
  // True when a control is under the pointer.
  bool OnMouseOver(int x, int y, const IMouseMod& mod);
  void OnMouseOut();
  // True when a control took the key; false lets the back end pass it on to the host.
  bool OnKeyDown(int x, int y, int key);
  // Ends the capture; sends the End of a parameter edit whose Begin was sent.
  void ReleaseMouseCapture();
  int GetMouseCapture() const { return mMouseCapture; }
  int GetMouseOver() const { return mMouseOver; }
  // The parameter of the control under the point (remembered for the query below), -1 for
  // none or the background.
  int GetParamIdxForPTAutomation(int x, int y);
  int GetLastClickedParamForPTAutomation();

  // ---- The timer tick and repainting (user-interface thread) ----------------------------
  // The tick, at the frame rate: claims the thread, applies the mailbox, then sets *pR to the
  // union of the dirty controls' rectangles and returns true when there are any. After
  // kIdleTicks clean ticks in a row it calls the plug-in's OnIdle.
  bool IsDirty(IRECT* pR);
  // Repaints r of the surface (within the editor) and copies it to the screen.
  bool Draw(const IRECT& r);
  // IsDirty, then Draw of the dirty area, for back ends that paint at once.
  void Tick();
  void OnGUIIdle();

 protected:
  IPlugBase* mPlug;

 private:
  int FindControl(int x, int y, bool mouseOver) const;
  void ApplyParameter(int paramIdx, double normalizedValue);
  void ApplyControlValue(IControl* pControl, double normalizedValue);
  void ApplyPosted();
  void PostToControl(IControl* pControl, unsigned flag);
  void EndParamEdit();
  void InsertBackground(IControl* pControl);
  IRECT SurfaceRECT() const { return IRECT(0, 0, mWidth, mHeight); }
  // Whether the visible part of the control's rectangle lies within r (its area was repainted).
  bool Covered(const IControl* pControl, const IRECT& r) const;

  int mWidth, mHeight, mFPS;
  int mIdleTicks = 0;
  IRECT mDrawRECT;
  std::unique_ptr<LICE_SysBitmap> mDrawBitmap;
  std::unique_ptr<LICE_MemBitmap> mTmpBitmap;
  WDL_PtrList<IControl> mControls;  // owned; deleted last first
  IControl* mKeyCatcher = nullptr;

  int mMouseCapture = -1, mMouseX = 0, mMouseY = 0;
  int mMouseOver = -1;
  int mLastClickedParam = -1;
  // The parameter whose BeginInformHostOfParamChange was sent and whose End is still due.
  int mEditParam = -1;
  bool mHandleMouseOver = false, mStrict = true, mEnableTooltips = false;

  std::atomic<std::thread::id> mUIThread;
  std::unique_ptr<ParamMailbox> mMailbox;
  std::atomic<bool> mControlsPosted{false};
  std::atomic<bool> mAllDirtyPosted{false};
};
