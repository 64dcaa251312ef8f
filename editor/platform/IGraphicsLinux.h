#pragma once
// The X11 back end of the editor. It opens a connection of its own to the X server when the
// host opens the editor (never earlier: hosts, scanners and tools construct editors without a
// display), puts a child window of the editor's size into the host's window, and does all of
// its work from the host's idle call: reading events, the frame timer, repainting. It has no
// thread and no run loop of its own; menus, boxes and dialogs run nested loops that keep the
// editor ticking. The window system's types stay inside editor/platform/*.cpp.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

class LICE_CachedFont;
namespace x11 {
class Connection;
class Window;
class LineEditor;
struct Event;
}  // namespace x11

class IGraphicsLinux : public IGraphics {
 public:
  IGraphicsLinux(IPlugBase* pPlug, int w, int h, int fps = 0);
  ~IGraphicsLinux() override;

  // ---- The host's idle call ----
  void OnEditorIdle() override;

  // ---- Platform operations ----
  void DrawScreen(const IRECT& r) override;
  void ForceEndUserEdit() override;
  const char* GetGUIAPI() override { return "X11 GUI"; }
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
  void* GetWindow() override;
  bool GetTextFromClipboard(WDL_String* pStr) override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  // X11 offers no tool tips of its own, and this editor does not enable them.
  void UpdateTooltips() override {}

 protected:
  void* OSOpenWindow(void* pParent) override;
  void OSCloseWindow() override;
  IPopupMenu* OSCreatePopupMenu(IPopupMenu* pMenu, const IRECT& area) override;
  void OSCreateTextEntry(IControl* pControl, const IText& text, const IRECT& area, const char* str,
                         IParam* pParam) override;
  LICE_IBitmap* OSLoadBitmap(int id, const char* name) override;

 private:
  class Modal;
  struct TextField;

  void HandleEvent(const x11::Event& e);
  void HandleTextFieldEvent(const x11::Event& e);
  void EndTextEntry(bool commit);
  void DrawTextField();
  // Repaints what exposes asked for, once per pass.
  void FlushExposed();
  // The frame timer: a tick when a frame's time has passed since the last one.
  void TimerTick(bool force);
  LICE_CachedFont* UiFont();
  uint32_t EditorWindowId() const;

  std::unique_ptr<x11::Connection> mConn;
  std::unique_ptr<x11::Window> mWindow;
  std::unique_ptr<TextField> mTextField;
  std::unique_ptr<Modal> mModal;
  LICE_CachedFont* mUiFont = nullptr;
  bool mUiFontTried = false;
  bool mWindowGone = false;  // the host destroyed its window (and so ours) already
  int mModalDepth = 0;       // nested menus, boxes and dialogs running
  int64_t mLastTickMs = 0;
  IRECT mExposed;
  int mLastX = 0, mLastY = 0;  // the last pointer position in the editor
  bool mCursorHidden = false;
  int mSavedCursorX = 0, mSavedCursorY = 0;
  std::vector<int> mHelpers;  // started helpers still to be reaped
};
