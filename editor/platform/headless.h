#pragma once
// The headless back end: every platform operation without a display. The screen is an image
// that DrawScreen copies the surface into; menus, text fields, message boxes, file dialogs,
// the clipboard and URLs are answered from a script the caller sets up beforehand, and every
// request is recorded so that tests and the render tool can see what the editor asked.
// An empty script answers as a user who dismisses everything: no menu choice, no text, Cancel
// (No for a yes/no box, OK for a plain one), no file.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

class IGraphicsHeadless : public IGraphics {
 public:
  IGraphicsHeadless(IPlugBase* pPlug, int w, int h, int fps = 0);
  ~IGraphicsHeadless() override;

  // ---- Script -------------------------------------------------------------------------
  // The next menu: choose by positions (top-level position, then positions in submenus), by
  // the text of an item at any depth (the text without position prefix), or choose nothing.
  void ScriptMenuChoice(const std::vector<int>& path);
  void ScriptMenuText(const char* text);
  void ScriptMenuDismiss();
  // The next text field: commit typed text (filtered as a real field would) or cancel.
  void ScriptTextEntry(const char* typed);
  void ScriptTextEntryCancel();
  // The next message box's answer (an EMsgBoxResult).
  void ScriptMessageBox(int result);
  // The next file dialog: the chosen path, or "" to cancel.
  void ScriptFile(const char* path);
  void SetClipboard(const char* text) { mClipboard = text ? text : ""; }
  void SetOpenURLResult(bool ok) { mOpenURLResult = ok; }
  // Where OSLoadBitmap looks for images (the last component of a resource name is taken
  // there); "" takes resource names as paths.
  void SetResourceDir(const char* dir) { mResourceDir = dir ? dir : ""; }
  void SetPluginPath(const char* path) { mPluginPath = path ? path : ""; }
  void SetHostPath(const char* path) { mHostPath = path ? path : ""; }
  // Answers still waiting in the script.
  size_t PendingAnswers() const;

  // ---- Record -------------------------------------------------------------------------
  struct MenuItemShown {
    int depth;         // 0 top level, 1 in a submenu, ...
    std::string text;  // as displayed, with the position prefix
    int flags;         // IPopupMenuItem::EFlags; submenu headers have kHasSubmenu added
  };
  enum { kHasSubmenu = 0x100 };
  struct MenuShown {
    IRECT area;
    std::vector<MenuItemShown> items;  // depth-first
    bool chosen;                       // whether the scripted answer chose an item
  };
  struct TextEntryShown {
    IControl* control;
    int paramIdx;  // -1 without a parameter
    IRECT area;
    std::string initial, committed;
    bool cancelled;
  };
  struct MessageBoxShown {
    std::string text, caption;
    int type, result;
  };
  struct FilePromptShown {
    EFileAction action;
    std::string file, dir, extensions, result;
  };
  const std::vector<MenuShown>& Menus() const { return mMenus; }
  const std::vector<TextEntryShown>& TextEntries() const { return mTextEntries; }
  const std::vector<MessageBoxShown>& MessageBoxes() const { return mMessageBoxes; }
  const std::vector<FilePromptShown>& FilePrompts() const { return mFilePrompts; }
  const std::vector<std::string>& URLs() const { return mURLs; }
  // Every rectangle DrawScreen copied, in order; cleared by the caller when convenient.
  std::vector<IRECT>& ScreenCopies() { return mScreenCopies; }
  // Names OSLoadBitmap was asked to decode, in order.
  const std::vector<std::string>& Decoded() const { return mDecoded; }
  bool CursorHidden() const { return mCursorHidden; }
  int EndUserEditCalls() const { return mEndUserEdits; }

  // The screen: what DrawScreen copied so far (0 x 0 before the first copy is made).
  LICE_IBitmap* Screen() const;

  // ---- Platform operations ------------------------------------------------------------
  void DrawScreen(const IRECT& r) override;
  void ForceEndUserEdit() override { ++mEndUserEdits; }
  const char* GetGUIAPI() override { return "Headless"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  void HostPath(WDL_String* pPath) override;
  void PluginPath(WDL_String* pPath) override;
  void DesktopPath(WDL_String* pPath) override;
  void AppSupportPath(WDL_String* pPath, bool isSystem = false) override;
  void SandboxSafeAppSupportPath(WDL_String* pPath) override;
  void PromptForFile(WDL_String* pFile, EFileAction action, WDL_String* pDir,
                     const char* extensions) override;
  bool PromptForColor(IColor* /*pColor*/, const char* /*prompt*/) override { return false; }
  bool OpenURL(const char* url) override;
  void* GetWindow() override { return mOpen ? this : nullptr; }
  bool GetTextFromClipboard(WDL_String* pStr) override;
  void HideMouseCursor() override { mCursorHidden = true; }
  void ShowMouseCursor() override { mCursorHidden = false; }
  void UpdateTooltips() override { ++mTooltipUpdates; }

 protected:
  void* OSOpenWindow(void* pParent) override;
  void OSCloseWindow() override { mOpen = false; }
  IPopupMenu* OSCreatePopupMenu(IPopupMenu* pMenu, const IRECT& area) override;
  void OSCreateTextEntry(IControl* pControl, const IText& text, const IRECT& area, const char* str,
                         IParam* pParam) override;
  LICE_IBitmap* OSLoadBitmap(int id, const char* name) override;

 private:
  struct MenuAnswer {
    enum Kind { kDismiss, kPath, kText } kind;
    std::vector<int> path;
    std::string text;
  };
  struct TextAnswer {
    bool commit;
    std::string typed;
  };

  bool mOpen = false;
  bool mCursorHidden = false;
  bool mOpenURLResult = true;
  int mEndUserEdits = 0, mTooltipUpdates = 0;
  std::unique_ptr<LICE_MemBitmap> mScreen;
  std::string mClipboard, mResourceDir, mPluginPath, mHostPath;

  std::deque<MenuAnswer> mMenuScript;
  std::deque<TextAnswer> mTextScript;
  std::deque<int> mBoxScript;
  std::deque<std::string> mFileScript;

  std::vector<MenuShown> mMenus;
  std::vector<TextEntryShown> mTextEntries;
  std::vector<MessageBoxShown> mMessageBoxes;
  std::vector<FilePromptShown> mFilePrompts;
  std::vector<std::string> mURLs;
  std::vector<IRECT> mScreenCopies;
  std::vector<std::string> mDecoded;
};
