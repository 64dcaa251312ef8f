#include "editor/platform/headless.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "plugin/IParam.h"
#include "render/bitmap.h"
#include "render/blit.h"
#include "render/png.h"

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* pPlug, int w, int h, int fps)
    : IGraphics(pPlug, w, h, fps), mScreen(new LICE_MemBitmap()) {}

// The plug-in is being destroyed with its editor: nothing may be sent to it any more, so the
// window is closed without the core's share (which would end an open parameter edit).
IGraphicsHeadless::~IGraphicsHeadless() { OSCloseWindow(); }

// ---- Script ----

void IGraphicsHeadless::ScriptMenuChoice(const std::vector<int>& path) {
  mMenuScript.push_back(MenuAnswer{MenuAnswer::kPath, path, ""});
}

void IGraphicsHeadless::ScriptMenuText(const char* text) {
  mMenuScript.push_back(MenuAnswer{MenuAnswer::kText, {}, text ? text : ""});
}

void IGraphicsHeadless::ScriptMenuDismiss() {
  mMenuScript.push_back(MenuAnswer{MenuAnswer::kDismiss, {}, ""});
}

void IGraphicsHeadless::ScriptTextEntry(const char* typed) {
  mTextScript.push_back(TextAnswer{true, typed ? typed : ""});
}

void IGraphicsHeadless::ScriptTextEntryCancel() { mTextScript.push_back(TextAnswer{false, ""}); }

void IGraphicsHeadless::ScriptMessageBox(int result) { mBoxScript.push_back(result); }

void IGraphicsHeadless::ScriptFile(const char* path) { mFileScript.push_back(path ? path : ""); }

size_t IGraphicsHeadless::PendingAnswers() const {
  return mMenuScript.size() + mTextScript.size() + mBoxScript.size() + mFileScript.size();
}

LICE_IBitmap* IGraphicsHeadless::Screen() const { return mScreen.get(); }

// ---- Platform operations ----

void IGraphicsHeadless::DrawScreen(const IRECT& r) {
  LICE_IBitmap* pSurface = GetDrawBitmap();
  if (!pSurface) return;
  if (mScreen->getWidth() != Width() || mScreen->getHeight() != Height()) {
    mScreen->resize(Width(), Height());
    LICE_FillRect(mScreen.get(), 0, 0, Width(), Height(), 0, 1.0f, LICE_BLIT_MODE_COPY);
  }
  mScreenCopies.push_back(r);
  LICE_Blit(mScreen.get(), pSurface, r.L, r.T, r.L, r.T, r.W(), r.H(), 1.0f, LICE_BLIT_MODE_COPY);
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
  int result;
  if (!mBoxScript.empty()) {
    result = mBoxScript.front();
    mBoxScript.pop_front();
  } else {
    // A user who closes the box: the answer that changes nothing.
    result = type == kMsgBoxOK ? kResultOK : type == kMsgBoxYesNo ? kResultNo : kResultCancel;
  }
  mMessageBoxes.push_back(MessageBoxShown{text ? text : "", caption ? caption : "", type, result});
  return result;
}

void IGraphicsHeadless::HostPath(WDL_String* pPath) {
  if (pPath) pPath->Set(mHostPath.c_str());
}

void IGraphicsHeadless::PluginPath(WDL_String* pPath) {
  if (pPath) pPath->Set(mPluginPath.c_str());
}

static void HomeFolder(WDL_String* pPath, const char* sub) {
  const char* home = std::getenv("HOME");
  pPath->Set(home ? home : "");
  pPath->Append(sub);
}

void IGraphicsHeadless::DesktopPath(WDL_String* pPath) {
  if (pPath) HomeFolder(pPath, "/Desktop");
}

void IGraphicsHeadless::AppSupportPath(WDL_String* pPath, bool isSystem) {
  if (!pPath) return;
  if (isSystem)
    pPath->Set("/etc/xdg");
  else
    HomeFolder(pPath, "/.config");
}

void IGraphicsHeadless::SandboxSafeAppSupportPath(WDL_String* pPath) {
  if (pPath) HomeFolder(pPath, "/Ziziz");
}

void IGraphicsHeadless::PromptForFile(WDL_String* pFile, EFileAction action, WDL_String* pDir,
                                      const char* extensions) {
  if (!pFile) return;
  FilePromptShown shown{action, pFile->Get(), pDir ? pDir->Get() : "", extensions ? extensions : "",
                        ""};
  std::string answer;
  if (!mFileScript.empty()) {
    answer = mFileScript.front();
    mFileScript.pop_front();
  }
  // Dialogs exist only while the editor is open.
  if (!WindowIsOpen()) answer.clear();
  pFile->Set(answer.c_str());
  if (!answer.empty() && pDir) {
    const size_t slash = answer.rfind('/');
    pDir->Set(slash == std::string::npos ? "" : answer.substr(0, slash + 1).c_str());
  }
  shown.result = answer;
  mFilePrompts.push_back(shown);
}

bool IGraphicsHeadless::OpenURL(const char* url) {
  mURLs.push_back(url ? url : "");
  return mOpenURLResult;
}

bool IGraphicsHeadless::GetTextFromClipboard(WDL_String* pStr) {
  if (!pStr) return false;
  pStr->Set(mClipboard.c_str());
  return !mClipboard.empty();
}

void* IGraphicsHeadless::OSOpenWindow(void* /*pParent*/) {
  mOpen = true;
  return this;
}

// Records the menu depth-first, as a user would see it.
static void RecordMenu(const IPopupMenu& menu, int depth,
                       std::vector<IGraphicsHeadless::MenuItemShown>* pItems) {
  WDL_String text;
  for (int i = 0; i < menu.GetNItems(); ++i) {
    const IPopupMenuItem* pItem = menu.GetItem(i);
    menu.GetItemDisplayText(i, &text);
    const int flags =
        pItem->GetFlags() | (pItem->GetSubmenu() ? IGraphicsHeadless::kHasSubmenu : 0);
    pItems->push_back(IGraphicsHeadless::MenuItemShown{depth, text.Get(), flags});
    if (pItem->GetSubmenu()) RecordMenu(*pItem->GetSubmenu(), depth + 1, pItems);
  }
}

// The (sub)menu and position of the first item with the text, depth-first.
static bool FindText(IPopupMenu* pMenu, const std::string& text, IPopupMenu** ppMenu, int* pIdx) {
  for (int i = 0; i < pMenu->GetNItems(); ++i) {
    IPopupMenuItem* pItem = pMenu->GetItem(i);
    if (text == pItem->GetText() && !pItem->GetSubmenu()) {
      *ppMenu = pMenu;
      *pIdx = i;
      return true;
    }
    if (pItem->GetSubmenu() && FindText(pItem->GetSubmenu(), text, ppMenu, pIdx)) return true;
  }
  return false;
}

IPopupMenu* IGraphicsHeadless::OSCreatePopupMenu(IPopupMenu* pMenu, const IRECT& area) {
  MenuShown shown{area, {}, false};
  RecordMenu(*pMenu, 0, &shown.items);
  MenuAnswer answer{MenuAnswer::kDismiss, {}, ""};
  if (!mMenuScript.empty()) {
    answer = mMenuScript.front();
    mMenuScript.pop_front();
  }
  IPopupMenu* pTarget = nullptr;
  int idx = -1;
  if (answer.kind == MenuAnswer::kPath && !answer.path.empty()) {
    pTarget = pMenu;
    for (size_t k = 0; k + 1 < answer.path.size() && pTarget; ++k) {
      const IPopupMenuItem* pItem = pTarget->GetItem(answer.path[k]);
      pTarget = pItem ? pItem->GetSubmenu() : nullptr;
    }
    idx = answer.path.back();
  } else if (answer.kind == MenuAnswer::kText) {
    FindText(pMenu, answer.text, &pTarget, &idx);
  }
  // Like a real menu, only an item that can be chosen is an answer.
  const IPopupMenuItem* pItem = pTarget ? pTarget->GetItem(idx) : nullptr;
  shown.chosen = pItem && pItem->IsChoosable();
  mMenus.push_back(shown);
  if (!shown.chosen) return nullptr;
  pTarget->SetChosenItemIdx(idx);
  return pTarget;
}

void IGraphicsHeadless::OSCreateTextEntry(IControl* pControl, const IText& /*text*/,
                                          const IRECT& area, const char* str, IParam* pParam) {
  TextAnswer answer{false, ""};
  if (!mTextScript.empty()) {
    answer = mTextScript.front();
    mTextScript.pop_front();
  }
  WDL_String entered;
  FilterTextEntry(pParam, pParam ? pControl->GetTextEntryLength() : -1, answer.typed.c_str(),
                  &entered);
  int paramIdx = -1;
  if (pParam) paramIdx = pControl->ParamIdx();
  mTextEntries.push_back(
      TextEntryShown{pControl, paramIdx, area, str, entered.Get(), !answer.commit});
  if (answer.commit) TextEntryEnded(pControl, pParam, entered.Get());
}

LICE_IBitmap* IGraphicsHeadless::OSLoadBitmap(int /*id*/, const char* name) {
  if (!name) return nullptr;
  const size_t len = std::strlen(name);
  // Only PNG resources exist.
  if (len < 3) return nullptr;
  const char* ext = name + len - 3;
  if (std::tolower((unsigned char)ext[0]) != 'p' || std::tolower((unsigned char)ext[1]) != 'n' ||
      std::tolower((unsigned char)ext[2]) != 'g')
    return nullptr;
  std::string path;
  if (mResourceDir.empty()) {
    path = name;
  } else {
    const char* last = std::strrchr(name, '/');
    path = mResourceDir + "/" + (last ? last + 1 : name);
  }
  mDecoded.push_back(path);
  return LICE_LoadPNG(path.c_str());
}
