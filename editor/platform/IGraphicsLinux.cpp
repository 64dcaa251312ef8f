#include "editor/platform/IGraphicsLinux.h"

#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "editor/platform/helpers.h"
#include "editor/platform/x11_popups.h"
#include "editor/platform/x11_textfield.h"
#include "editor/platform/x11_window.h"
#include "plugin/PluginPath.h"
#include "render/bitmap.h"
#include "render/font.h"
#include "render/png.h"

namespace {

constexpr size_t kMaxPasteBytes = 4096;
constexpr int kPasteTimeoutMs = 500;
// Events read in one idle call at most, so a flood cannot keep the host's thread.
constexpr int kMaxEventsPerIdle = 512;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

LICE_pixel Pixel(const IColor& c) {
  return LICE_RGBA((unsigned)c.R, (unsigned)c.G, (unsigned)c.B, 255);
}

IRECT Union(const IRECT& a, const IRECT& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return IRECT(std::min(a.L, b.L), std::min(a.T, b.T), std::max(a.R, b.R), std::max(a.B, b.B));
}

std::string Home() {
  const char* home = std::getenv("HOME");
  return home && home[0] ? std::string(home) : std::string("/");
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "~" and "~/..." from HOME.
std::string ExpandHome(const std::string& path) {
  if (path == "~") return Home();
  if (path.compare(0, 2, "~/") == 0) return Home() + path.substr(1);
  return path;
}

// The path of the shared object holding this code.
std::string ModulePath() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&ModulePath), &info) || !info.dli_fname) return std::string();
  char resolved[PATH_MAX];
  return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

IMouseMod Mod(const x11::Event& e, int button) {
  return IMouseMod(button == 1, button == 3, e.shift, e.control, e.alt);
}

}  // namespace

// ---- The nested loops' view of the editor ----

class IGraphicsLinux::Modal : public x11::ModalHost {
 public:
  explicit Modal(IGraphicsLinux& g) : mG(g) {}
  x11::Connection& Conn() override { return *mG.mConn; }
  uint32_t EditorWindow() const override { return mG.EditorWindowId(); }
  void OtherEvent(const x11::Event& e) override {
    // While a modal window is up the editor only shows itself; its input is dropped.
    if (e.type == x11::Event::kExpose || e.type == x11::Event::kDestroyed) mG.HandleEvent(e);
  }
  void Tick() override {
    mG.FlushExposed();
    mG.TimerTick(false);
  }
  LICE_CachedFont* UiFont() override { return mG.UiFont(); }

 private:
  IGraphicsLinux& mG;
};

struct IGraphicsLinux::TextField {
  IControl* control = nullptr;
  IParam* param = nullptr;
  IText text;
  std::unique_ptr<x11::Window> window;
  std::unique_ptr<LICE_MemBitmap> bitmap;
  std::unique_ptr<x11::LineEditor> editor;
};

IGraphicsLinux::IGraphicsLinux(IPlugBase* pPlug, int w, int h, int fps)
    : IGraphics(pPlug, w, h, fps) {}

IGraphicsLinux::~IGraphicsLinux() { OSCloseWindow(); }

uint32_t IGraphicsLinux::EditorWindowId() const {
  return mWindow && !mWindowGone ? mWindow->Id() : 0;
}

void* IGraphicsLinux::GetWindow() { return mWindow ? mWindow.get() : nullptr; }

LICE_CachedFont* IGraphicsLinux::UiFont() {
  if (!mUiFontTried) {
    mUiFontTried = true;
    IText ui(13, IColor(255, 0, 0, 0), "Arial");
    mUiFont = CacheFont(&ui);
  }
  return mUiFont;
}

// ---- Window ----

void* IGraphicsLinux::OSOpenWindow(void* pParent) {
  OSCloseWindow();
  const uint32_t parent = (uint32_t)(uintptr_t)pParent;
  if (!parent) return nullptr;
  mConn = x11::Connection::Open();
  if (!mConn) return nullptr;
  mWindow.reset(new x11::Window(*mConn, x11::Window::kChild, parent, 0, 0, Width(), Height()));
  mWindow->Map();
  // A parent that does not exist makes the window fail: one round trip tells.
  if (!mConn->TopLevelOf(mWindow->Id())) {
    OSCloseWindow();
    return nullptr;
  }
  mModal.reset(new Modal(*this));
  mWindowGone = false;
  mLastTickMs = 0;
  mExposed.Clear();
  SetAllControlsDirty();
  return mWindow.get();
}

void IGraphicsLinux::OSCloseWindow() {
  EndTextEntry(false);
  if (mCursorHidden) ShowMouseCursor();
  mModal.reset();
  mWindow.reset();
  mConn.reset();
  mUiFont = nullptr;
  mUiFontTried = false;
  platform::ReapHelpers(&mHelpers);
}

// ---- The host's idle call: events, then the frame timer ----

void IGraphicsLinux::OnEditorIdle() {
  // Nested loops read events themselves; a host that calls in from inside one is not served twice.
  if (!mConn || mModalDepth > 0) return;
  platform::ReapHelpers(&mHelpers);
  x11::Event e;
  for (int n = 0; n < kMaxEventsPerIdle && mConn && mConn->NextEvent(&e, 0); ++n) {
    if (mTextField && mTextField->window && e.window == mTextField->window->Id()) {
      HandleTextFieldEvent(e);
    } else {
      HandleEvent(e);
    }
  }
  if (!mConn) return;
  FlushExposed();
  TimerTick(false);
}

void IGraphicsLinux::TimerTick(bool force) {
  const int64_t now = NowMs();
  if (!force && now - mLastTickMs < 1000 / FPS()) return;
  mLastTickMs = now;
  Tick();
}

void IGraphicsLinux::FlushExposed() {
  if (mExposed.Empty()) return;
  const IRECT r = mExposed;
  mExposed.Clear();
  DrawScreen(r);
  if (mTextField) DrawTextField();
}

void IGraphicsLinux::DrawScreen(const IRECT& r) {
  LICE_IBitmap* surface = GetDrawBitmap();
  if (!mWindow || mWindowGone || !surface) return;
  mWindow->Present(surface->getBits(), surface->getRowSpan(), r.L, r.T, r.W(), r.H());
}

void IGraphicsLinux::HandleEvent(const x11::Event& e) {
  if (!mWindow || e.window != mWindow->Id()) return;
  switch (e.type) {
    case x11::Event::kExpose:
      mExposed = Union(mExposed, IRECT(e.x, e.y, e.x + e.w, e.y + e.h));
      return;
    case x11::Event::kDestroyed:
      mWindowGone = true;
      EndTextEntry(false);
      return;
    default: break;
  }
  if (mWindowGone) return;
  mLastX = e.x;
  mLastY = e.y;
  switch (e.type) {
    case x11::Event::kButtonDown:
    case x11::Event::kDoubleClick:
      // A click anywhere in the editor ends an open text field, as leaving it does.
      if (mTextField) EndTextEntry(true);
      if (e.button == 1) {
        if (e.type == x11::Event::kDoubleClick) {
          OnMouseDblClick(e.x, e.y, Mod(e, 1));
        } else {
          OnMouseDown(e.x, e.y, Mod(e, 1));
        }
      } else if (e.button == 3) {
        OnMouseDown(e.x, e.y, Mod(e, 3));
      }
      break;
    case x11::Event::kButtonUp:
      if (e.button == 1 || e.button == 3) OnMouseUp(e.x, e.y, Mod(e, e.button));
      break;
    case x11::Event::kMotion:
      if (e.button) {
        if (!mTextField) OnMouseDrag(e.x, e.y, Mod(e, e.button));
      } else {
        OnMouseOver(e.x, e.y, Mod(e, 0));
      }
      break;
    case x11::Event::kWheel:
      if (mTextField) EndTextEntry(false);
      OnMouseWheel(e.x, e.y, Mod(e, 0), e.wheel);
      break;
    case x11::Event::kLeave: OnMouseOut(); break;
    default: break;
  }
}

// ---- Text entry ----

void IGraphicsLinux::OSCreateTextEntry(IControl* pControl, const IText& text, const IRECT& area,
                                       const char* str, IParam* pParam) {
  if (!mConn || !mWindow || mWindowGone || mTextField || !pControl) return;
  const IRECT r(std::max(0, area.L), std::max(0, area.T), std::min(Width(), area.R),
                std::min(Height(), area.B));
  if (!r.HasArea()) return;
  std::unique_ptr<TextField> field(new TextField);
  field->control = pControl;
  field->param = pParam;
  field->text = text;
  // The field's face is a little smaller than the control's text.
  field->text.mSize = std::max(2, text.mSize * 9 / 10);
  field->text.mCachedFont = nullptr;
  const int maxChars = pParam ? pControl->GetTextEntryLength() : 0;
  x11::LineEditor::Filter filter = [pParam](const std::string& typed, size_t room) {
    WDL_String accepted;
    IGraphics::FilterTextEntry(pParam, room > INT_MAX ? -1 : (int)room, typed.c_str(), &accepted);
    return std::string(accepted.Get());
  };
  field->editor.reset(new x11::LineEditor(str ? str : "", maxChars, filter));
  field->window.reset(
      new x11::Window(*mConn, x11::Window::kInput, mWindow->Id(), r.L, r.T, r.W(), r.H()));
  field->bitmap.reset(new LICE_MemBitmap(r.W(), r.H()));
  mTextField = std::move(field);
  mTextField->window->Map();
  mTextField->window->TakeFocus();
  DrawTextField();
}

void IGraphicsLinux::DrawTextField() {
  TextField* f = mTextField.get();
  if (!f) return;
  LICE_MemBitmap* bmp = f->bitmap.get();
  x11::DrawLineField(bmp, CacheFont(&f->text), *f->editor, 0, 0, bmp->getWidth(), bmp->getHeight(),
                     Pixel(f->text.mTextEntryFGColor), Pixel(f->text.mTextEntryBGColor),
                     (int)f->text.mAlign);
  f->window->Present(bmp->getBits(), bmp->getRowSpan(), 0, 0, bmp->getWidth(), bmp->getHeight());
}

void IGraphicsLinux::HandleTextFieldEvent(const x11::Event& e) {
  switch (e.type) {
    case x11::Event::kExpose: DrawTextField(); break;
    case x11::Event::kFocusOut: EndTextEntry(true); break;
    case x11::Event::kKeyDown: {
      const x11::LineEditor::Outcome o =
          mTextField->editor->Key(e.keysym, e.text, e.control, e.shift);
      if (o == x11::LineEditor::kCommit || o == x11::LineEditor::kCancel) {
        EndTextEntry(o == x11::LineEditor::kCommit);
        return;
      }
      if (o == x11::LineEditor::kPaste) {
        std::string pasted;
        if (mConn->ReadClipboard(mTextField->window->Id(), &pasted, kMaxPasteBytes,
                                 kPasteTimeoutMs)) {
          mTextField->editor->Insert(pasted);
        }
      }
      DrawTextField();
      break;
    }
    default: break;
  }
}

void IGraphicsLinux::EndTextEntry(bool commit) {
  if (!mTextField) return;
  // Taken out first: what the commit sets off may open another field.
  std::unique_ptr<TextField> field = std::move(mTextField);
  const std::string text = field->editor->Text();
  field->window.reset();
  if (commit) TextEntryEnded(field->control, field->param, text.c_str());
  SetAllControlsDirty();
}

void IGraphicsLinux::ForceEndUserEdit() { EndTextEntry(false); }

// ---- Menus and boxes ----

namespace {

void AddMenu(IPopupMenu* pMenu, x11::MenuTree* tree, std::vector<IPopupMenu*>* menus) {
  const size_t index = tree->menus.size();
  tree->menus.emplace_back();
  menus->push_back(pMenu);
  for (int i = 0; i < pMenu->GetNItems(); ++i) {
    const IPopupMenuItem* item = pMenu->GetItem(i);
    x11::MenuEntry e;
    WDL_String text;
    pMenu->GetItemDisplayText(i, &text);
    e.text = text.Get();
    e.disabled = !item->GetEnabled();
    e.title = item->GetIsTitle();
    e.checked = item->GetChecked();
    e.separator = item->GetIsSeparator();
    if (item->GetSubmenu() && !e.separator) {
      e.submenu = (int)tree->menus.size();
      AddMenu(item->GetSubmenu(), tree, menus);
    }
    tree->menus[index].push_back(e);
  }
}

}  // namespace

IPopupMenu* IGraphicsLinux::OSCreatePopupMenu(IPopupMenu* pMenu, const IRECT& area) {
  if (!pMenu || !mConn || !mWindow || mWindowGone) return nullptr;
  x11::MenuTree tree;
  std::vector<IPopupMenu*> menus;
  AddMenu(pMenu, &tree, &menus);
  // Below the area; an area without extent (the pointer's position) puts the menu just below
  // that point.
  const bool point = !area.HasArea();
  const int x = area.Empty() ? mLastX : area.L;
  const int y = area.Empty() ? mLastY + 4 : point ? area.T + 4 : area.B;
  int sx = x, sy = y;
  mConn->ToScreen(mWindow->Id(), x, y, &sx, &sy);
  ++mModalDepth;
  const x11::MenuChoice choice = x11::RunPopupMenu(*mModal, tree, sx, sy);
  --mModalDepth;
  if (choice.menu < 0 || choice.item < 0) return nullptr;
  IPopupMenu* chosen = menus[(size_t)choice.menu];
  chosen->SetChosenItemIdx(choice.item);
  return chosen;
}

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type) {
  // Without a window there is no one to ask: the box counts as dismissed.
  if (!mConn || !mModal) return x11::BoxDismissResult(type);
  ++mModalDepth;
  const int result = x11::RunMessageBox(*mModal, text, caption, type);
  --mModalDepth;
  return result;
}

// ---- Files, addresses, clipboard, cursor ----

void IGraphicsLinux::PromptForFile(WDL_String* pFile, EFileAction action, WDL_String* pDir,
                                   const char* extensions) {
  if (!pFile) return;
  const std::string proposed = pFile->Get();
  pFile->Set("");
  if (!mConn || !mModal || !pDir) return;
  platform::FileRequest request;
  request.action = action == kFileSave ? platform::FileAction::kSave : platform::FileAction::kOpen;
  if (!pDir->GetLength()) pDir->Set("~/Desktop");
  request.folder = ExpandHome(pDir->Get());
  while (request.folder.size() > 1 && request.folder.back() == '/') request.folder.pop_back();
  if (request.folder == "~/Desktop" || !IsDirectory(request.folder)) {
    WDL_String desktop;
    DesktopPath(&desktop);
    if (!IsDirectory(request.folder)) request.folder = desktop.Get();
  }
  request.fileName = proposed;
  request.extensions = platform::SplitExtensions(extensions);

  std::string path;
  bool asked = false;
  ++mModalDepth;
  for (platform::DialogTool tool :
       {platform::DialogTool::kZenity, platform::DialogTool::kKdialog}) {
    const std::vector<std::string> argv = platform::FileDialogCommand(tool, request);
    if (!platform::IsOnPath(argv[0].c_str())) continue;
    const platform::HelperResult r = platform::RunHelper(argv, [this] { mModal->Tick(); });
    if (!r.started) continue;
    asked = true;
    if (r.exitCode == 0) path = platform::ChosenPath(r.output, request);
    break;
  }
  if (!asked) {
    // No helper: the built-in dialog asks for the path itself.
    std::string typed = request.folder + "/" + request.fileName;
    const char* caption = request.action == platform::FileAction::kSave ? "Save" : "Open";
    if (x11::RunPathDialog(*mModal, caption, "File:", &typed))
      path = platform::ChosenPath(ExpandHome(typed), request);
  }
  --mModalDepth;
  if (path.empty() || !mConn) return;
  if (request.action == platform::FileAction::kOpen && !IsFile(path)) return;
  if (request.action == platform::FileAction::kSave && IsFile(path)) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::string question = "\"" + name + "\" already exists. Do you want to replace it?";
    if (ShowMessageBox(question.c_str(), "Save", kMsgBoxYesNo) != kResultYes) return;
  }
  pFile->Set(path.c_str());
  pDir->Set(path.substr(0, path.rfind('/') + 1).c_str());
}

bool IGraphicsLinux::OpenURL(const char* url) {
  if (!platform::IsOpenableAddress(url)) return false;
  const int pid = platform::StartHelper({"xdg-open", url});
  if (!pid) return false;
  mHelpers.push_back(pid);
  return true;
}

bool IGraphicsLinux::GetTextFromClipboard(WDL_String* pStr) {
  if (!pStr) return false;
  pStr->Set("");
  std::string text;
  if (!mConn || !mWindow ||
      !mConn->ReadClipboard(mWindow->Id(), &text, kMaxPasteBytes, kPasteTimeoutMs))
    return false;
  pStr->Set(text.c_str());
  return true;
}

void IGraphicsLinux::HideMouseCursor() {
  if (mCursorHidden || !mConn || !mWindow) return;
  if (!mConn->PointerPosition(&mSavedCursorX, &mSavedCursorY)) return;
  mWindow->SetCursorHidden(true);
  mCursorHidden = true;
}

void IGraphicsLinux::ShowMouseCursor() {
  if (!mCursorHidden) return;
  mCursorHidden = false;
  if (!mConn || !mWindow) return;
  mConn->WarpPointer(mSavedCursorX, mSavedCursorY);
  mWindow->SetCursorHidden(false);
}

// ---- Paths and resources ----

void IGraphicsLinux::HostPath(WDL_String* pPath) { pPath->Set(ModulePath().c_str()); }

void IGraphicsLinux::PluginPath(WDL_String* pPath) { GetPluginPath(pPath); }

void IGraphicsLinux::DesktopPath(WDL_String* pPath) {
  const std::string desktop = Home() + "/Desktop";
  pPath->Set(IsDirectory(desktop) ? desktop.c_str() : Home().c_str());
}

void IGraphicsLinux::AppSupportPath(WDL_String* pPath, bool isSystem) {
  pPath->Set(isSystem ? "/etc/xdg" : (Home() + "/.config").c_str());
}

void IGraphicsLinux::SandboxSafeAppSupportPath(WDL_String* pPath) {
  pPath->Set((Home() + "/Ziziz").c_str());
}

LICE_IBitmap* IGraphicsLinux::OSLoadBitmap(int /*id*/, const char* name) {
  if (!name) return nullptr;
  const size_t n = std::strlen(name);
  if (n < 3 || strcasecmp(name + n - 3, "png") != 0) return nullptr;
  // The images lie in the bundle's Contents/Resources/img/, beside the folder of the module.
  const std::string module = ModulePath();
  const size_t slash = module.rfind('/');
  if (slash == std::string::npos) return nullptr;
  const char* base = std::strrchr(name, '/');
  const std::string file =
      module.substr(0, slash) + "/../Resources/img/" + (base ? base + 1 : name);
  return LICE_LoadPNG(file.c_str());
}
