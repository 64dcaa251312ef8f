#include "editor/platform/x11_popups.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "editor/platform/x11_textfield.h"
#include "render/blit.h"
#include "render/font.h"

namespace x11 {

namespace {

constexpr int kTickMs = 40;
constexpr size_t kMaxPasteBytes = 4096;
constexpr int kPasteTimeoutMs = 500;

// Colours of the modal windows.
constexpr LICE_pixel kFace = LICE_RGBA(236, 236, 236, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(120, 120, 120, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0, 0, 0, 255);
constexpr LICE_pixel kDimInk = LICE_RGBA(150, 150, 150, 255);
constexpr LICE_pixel kTitleInk = LICE_RGBA(90, 90, 90, 255);
constexpr LICE_pixel kHot = LICE_RGBA(51, 102, 204, 255);
constexpr LICE_pixel kHotInk = LICE_RGBA(255, 255, 255, 255);
constexpr LICE_pixel kButton = LICE_RGBA(250, 250, 250, 255);
constexpr LICE_pixel kWhite = LICE_RGBA(255, 255, 255, 255);

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Fill(LICE_IBitmap* bmp, int x, int y, int w, int h, LICE_pixel c) {
  LICE_FillRect(bmp, x, y, w, h, c, 1.0f, LICE_BLIT_MODE_COPY);
}
void Frame(LICE_IBitmap* bmp, int x, int y, int w, int h, LICE_pixel c) {
  Fill(bmp, x, y, w, 1, c);
  Fill(bmp, x, y + h - 1, w, 1, c);
  Fill(bmp, x, y, 1, h, c);
  Fill(bmp, x + w - 1, y, 1, h, c);
}
int TextWidth(LICE_CachedFont* font, const std::string& s) {
  return font ? font->GetTextWidth(s.c_str()) : 0;
}
int LineHeight(LICE_CachedFont* font) { return font ? font->GetLineHeight() : 14; }
// Text in a box, vertically centred.
void Text(LICE_IBitmap* bmp, LICE_CachedFont* font, const std::string& s, int x, int y, int w,
          int h, int align, LICE_pixel c) {
  if (!font || s.empty()) return;
  LICE_Rect r = {x, y + (h - font->GetLineHeight()) / 2, x + w, y + h};
  font->DrawText(bmp, s.c_str(), &r, align, c, nullptr);
}

// The loop all modal windows run: their events to handle, the editor's to the host, and the
// editor's tick at its frame rate, until done.
void RunLoop(ModalHost& host, const std::function<bool(const Event&)>& ours,
             const std::function<void(const Event&)>& handle, const std::function<bool()>& done) {
  int64_t nextTick = NowMs() + kTickMs;
  while (!done() && !host.Conn().Broken()) {
    Event e;
    const int64_t wait = nextTick - NowMs();
    if (host.Conn().NextEvent(&e, wait > 0 ? (int)wait : 0)) {
      if (ours(e)) {
        handle(e);
      } else {
        host.OtherEvent(e);
      }
    }
    if (NowMs() >= nextTick) {
      host.Tick();
      nextTick = NowMs() + kTickMs;
    }
  }
}

// A window with its picture.
struct Canvas {
  Canvas(Connection& c, Window::Kind kind, uint32_t parent, int x, int y, int w, int h)
      : window(c, kind, parent, x, y, w, h), bitmap(w, h) {}
  void Show() {
    window.Present(bitmap.getBits(), bitmap.getRowSpan(), 0, 0, bitmap.getWidth(),
                   bitmap.getHeight());
  }
  Window window;
  LICE_MemBitmap bitmap;
};

// ---- Menus ----

struct MenuMetrics {
  int itemHeight, separatorHeight, checkColumn, arrowColumn;
};

struct OpenMenu {
  int menu = 0;
  int x = 0, y = 0, w = 0, h = 0;  // on the screen
  std::vector<int> top;            // each item's top inside the window
  int hot = -1;
  std::unique_ptr<Canvas> canvas;
};

class MenuSession {
 public:
  MenuSession(ModalHost& host, const MenuTree& tree) : mHost(host), mTree(tree) {
    const int line = LineHeight(host.UiFont());
    mMetrics = {line + 6, 7, 20, 18};
  }

  MenuChoice Run(int x, int y) {
    if (mTree.menus.empty() || mTree.menus[0].empty()) return MenuChoice();
    Open(0, x, y, 0);
    Window& top = mOpen[0].canvas->window;
    // A grab may fail while another client still holds one for a moment: try a few times.
    for (int i = 0; i < 10 && !top.Grab(); ++i) mHost.Conn().NextEvent(&mIgnored, 10);
    RunLoop(
        mHost, [this](const Event& e) { return IsOurs(e); }, [this](const Event& e) { Handle(e); },
        [this] { return mDone; });
    top.Ungrab();
    mOpen.clear();
    mHost.Conn().Flush();
    return mChoice;
  }

 private:
  // The menus' own events, and all pointer and key input while the menu is open: with the grab
  // a click on another of the editor's windows is reported there, and is still a click outside.
  bool IsOurs(const Event& e) const {
    if (e.type == Event::kButtonDown || e.type == Event::kDoubleClick ||
        e.type == Event::kButtonUp || e.type == Event::kMotion || e.type == Event::kKeyDown) {
      return true;
    }
    for (const OpenMenu& m : mOpen)
      if (m.canvas->window.Id() == e.window) return true;
    return false;
  }

  void Open(int menu, int x, int y, int leftEdgeIfFlipped) {
    const std::vector<MenuEntry>& entries = mTree.menus[(size_t)menu];
    LICE_CachedFont* font = mHost.UiFont();
    OpenMenu m;
    m.menu = menu;
    int width = 80, height = 2;
    for (const MenuEntry& e : entries) {
      m.top.push_back(height);
      height += e.separator ? mMetrics.separatorHeight : mMetrics.itemHeight;
      width = std::max(width,
                       TextWidth(font, e.text) + mMetrics.checkColumn + mMetrics.arrowColumn + 8);
    }
    height += 2;
    const int sw = mHost.Conn().ScreenWidth(), sh = mHost.Conn().ScreenHeight();
    // Kept on the screen: moved up when it would run off the bottom, to the other side of its
    // parent (or left) when it would run off the right.
    if (x + width > sw) x = leftEdgeIfFlipped > 0 ? leftEdgeIfFlipped - width : sw - width;
    if (y + height > sh) y = sh - height;
    m.x = std::max(0, x);
    m.y = std::max(0, y);
    m.w = width;
    m.h = height;
    m.canvas.reset(new Canvas(mHost.Conn(), Window::kPopUp, 0, m.x, m.y, m.w, m.h));
    mOpen.push_back(std::move(m));
    Draw(mOpen.back());
    mOpen.back().canvas->window.Map();
    mOpen.back().canvas->Show();
  }

  void Draw(OpenMenu& m) {
    LICE_IBitmap* bmp = &m.canvas->bitmap;
    LICE_CachedFont* font = mHost.UiFont();
    Fill(bmp, 0, 0, m.w, m.h, kFace);
    Frame(bmp, 0, 0, m.w, m.h, kFrame);
    const std::vector<MenuEntry>& entries = mTree.menus[(size_t)m.menu];
    for (size_t i = 0; i < entries.size(); ++i) {
      const MenuEntry& e = entries[i];
      const int y = m.top[i];
      if (e.separator) {
        Fill(bmp, 4, y + mMetrics.separatorHeight / 2, m.w - 8, 1, kFrame);
        continue;
      }
      const bool hot = (int)i == m.hot;
      if (hot) Fill(bmp, 1, y, m.w - 2, mMetrics.itemHeight, kHot);
      const LICE_pixel ink = hot ? kHotInk : e.disabled ? kDimInk : e.title ? kTitleInk : kInk;
      if (e.checked) {
        // A check mark of two strokes.
        const int cx = 6, cy = y + mMetrics.itemHeight / 2;
        for (int k = 0; k < 3; ++k) Fill(bmp, cx + k, cy + k - 1, 2, 2, ink);
        for (int k = 0; k < 6; ++k) Fill(bmp, cx + 3 + k, cy + 1 - k, 2, 2, ink);
      }
      Text(bmp, font, e.text, mMetrics.checkColumn + (e.title ? 0 : 0), y,
           m.w - mMetrics.checkColumn, mMetrics.itemHeight, 0, ink);
      if (e.submenu >= 0)
        Text(bmp, font, ">", m.w - mMetrics.arrowColumn, y, mMetrics.arrowColumn - 6,
             mMetrics.itemHeight, 2, ink);
    }
  }

  void Redraw(size_t level) {
    Draw(mOpen[level]);
    mOpen[level].canvas->Show();
  }

  // The open menu (deepest first) and item under the screen point; item -1 when on no item.
  bool Hit(int sx, int sy, size_t* level, int* item) const {
    for (size_t l = mOpen.size(); l-- > 0;) {
      const OpenMenu& m = mOpen[l];
      if (sx < m.x || sx >= m.x + m.w || sy < m.y || sy >= m.y + m.h) continue;
      *level = l;
      *item = -1;
      const std::vector<MenuEntry>& entries = mTree.menus[(size_t)m.menu];
      for (size_t i = 0; i < entries.size(); ++i) {
        const int h = entries[i].separator ? mMetrics.separatorHeight : mMetrics.itemHeight;
        if (sy - m.y >= m.top[i] && sy - m.y < m.top[i] + h) *item = (int)i;
      }
      return true;
    }
    return false;
  }

  const MenuEntry& Entry(size_t level, int item) const {
    return mTree.menus[(size_t)mOpen[level].menu][(size_t)item];
  }
  bool Hoverable(size_t level, int item) const {
    const MenuEntry& e = Entry(level, item);
    return !e.separator && !e.title && !e.disabled;
  }

  void CloseBelow(size_t level) {
    while (mOpen.size() > level + 1) mOpen.pop_back();
  }

  void SetHot(size_t level, int item) {
    CloseBelow(level);
    if (mOpen[level].hot != item) {
      mOpen[level].hot = item;
      Redraw(level);
    }
  }

  void OpenSubmenu(size_t level) {
    const OpenMenu& m = mOpen[level];
    const MenuEntry& e = Entry(level, m.hot);
    if (e.submenu < 0 || e.submenu >= (int)mTree.menus.size() ||
        mTree.menus[(size_t)e.submenu].empty())
      return;
    if (mOpen.size() > level + 1 && mOpen[level + 1].menu == e.submenu) return;
    CloseBelow(level);
    Open(e.submenu, m.x + m.w - 2, m.y + m.top[(size_t)m.hot] - 2, m.x);
  }

  void Choose(size_t level, int item) {
    const MenuEntry& e = Entry(level, item);
    if (!IsChoosable(e)) return;
    mChoice.menu = mOpen[level].menu;
    mChoice.item = item;
    mDone = true;
  }

  void Move(size_t level, int step) {
    OpenMenu& m = mOpen[level];
    const int n = (int)mTree.menus[(size_t)m.menu].size();
    int i = m.hot;
    for (int tries = 0; tries < n; ++tries) {
      i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
      if (Hoverable(level, i)) {
        SetHot(level, i);
        return;
      }
    }
  }

  void Handle(const Event& e) {
    size_t level = 0;
    int item = -1;
    switch (e.type) {
      case Event::kExpose:
        for (size_t l = 0; l < mOpen.size(); ++l)
          if (mOpen[l].canvas->window.Id() == e.window) mOpen[l].canvas->Show();
        break;
      case Event::kMotion:
        if (Hit(e.rootX, e.rootY, &level, &item)) {
          mMoved = true;
          if (item >= 0 && Hoverable(level, item)) {
            SetHot(level, item);
            OpenSubmenu(level);
          } else if (item >= 0 || mOpen[level].hot >= 0) {
            if (level + 1 == mOpen.size()) SetHot(level, -1);
          }
        }
        break;
      case Event::kButtonDown:
      case Event::kDoubleClick:
        if (!Hit(e.rootX, e.rootY, &level, &item)) {
          mDone = true;  // a click outside cancels
        } else {
          mPressed = true;
          if (item >= 0 && Hoverable(level, item)) {
            SetHot(level, item);
            OpenSubmenu(level);
          }
        }
        break;
      case Event::kButtonUp:
        if ((mPressed || mMoved) && Hit(e.rootX, e.rootY, &level, &item) && item >= 0)
          Choose(level, item);
        break;
      case Event::kWheel: break;
      case Event::kKeyDown: {
        const size_t deepest = mOpen.size() - 1;
        OpenMenu& m = mOpen[deepest];
        switch (e.keysym) {
          case XKB_KEY_Escape: mDone = true; break;
          case XKB_KEY_Down:
          case XKB_KEY_KP_Down: Move(deepest, 1); break;
          case XKB_KEY_Up:
          case XKB_KEY_KP_Up: Move(deepest, -1); break;
          case XKB_KEY_Left:
          case XKB_KEY_KP_Left:
            if (deepest > 0) CloseBelow(deepest - 1);
            break;
          case XKB_KEY_Right:
          case XKB_KEY_KP_Right:
          case XKB_KEY_Return:
          case XKB_KEY_KP_Enter:
          case XKB_KEY_space:
            if (m.hot >= 0 && Entry(deepest, m.hot).submenu >= 0) {
              OpenSubmenu(deepest);
              if (mOpen.size() > deepest + 1) Move(deepest + 1, 1);
            } else if (m.hot >= 0 && e.keysym != XKB_KEY_Right && e.keysym != XKB_KEY_KP_Right) {
              Choose(deepest, m.hot);
            }
            break;
          default: break;
        }
        break;
      }
      default: break;
    }
  }

  ModalHost& mHost;
  const MenuTree& mTree;
  MenuMetrics mMetrics;
  std::vector<OpenMenu> mOpen;
  MenuChoice mChoice;
  Event mIgnored;
  bool mDone = false, mPressed = false, mMoved = false;
};

// ---- Boxes ----

const char* ButtonLabel(int result) {
  switch (result) {
    case kBoxOK: return "OK";
    case kBoxCancel: return "Cancel";
    case kBoxYes: return "Yes";
    default: return "No";
  }
}

constexpr int kBoxMargin = 16, kButtonW = 84, kButtonH = 26, kButtonGap = 8, kTabStop = 110;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else if (c != '\r') {
      lines.back() += c;
    }
  }
  return lines;
}

// Width of a line whose tabs jump to the next multiple of kTabStop.
int LineWidth(LICE_CachedFont* font, const std::string& line) {
  int x = 0;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    x += TextWidth(font,
                   line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return x;
    x = (x / kTabStop + 1) * kTabStop;
    start = tab + 1;
  }
}

void DrawLine(LICE_IBitmap* bmp, LICE_CachedFont* font, const std::string& line, int x, int y,
              int h) {
  int pos = 0;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    const std::string piece =
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    Text(bmp, font, piece, x + pos, y, TextWidth(font, piece) + 2, h, 0, kInk);
    pos += TextWidth(font, piece);
    if (tab == std::string::npos) return;
    pos = (pos / kTabStop + 1) * kTabStop;
    start = tab + 1;
  }
}

// Breaks lines longer than maxWidth at spaces.
std::vector<std::string> Wrap(LICE_CachedFont* font, const std::vector<std::string>& lines,
                              int maxWidth) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::string rest = line;
    while (LineWidth(font, rest) > maxWidth) {
      size_t cut = rest.rfind(' ');
      while (cut != std::string::npos && cut > 0 &&
             LineWidth(font, rest.substr(0, cut)) > maxWidth) {
        cut = rest.rfind(' ', cut - 1);
      }
      if (cut == std::string::npos || cut == 0) break;
      out.push_back(rest.substr(0, cut));
      rest = rest.substr(cut + 1);
    }
    out.push_back(rest);
  }
  return out;
}

// Centred over the editor when it is open, else on the screen.
void PlaceOver(ModalHost& host, int w, int h, int* x, int* y) {
  Connection& c = host.Conn();
  int ex = (c.ScreenWidth() - w) / 2, ey = (c.ScreenHeight() - h) / 2;
  int sx = 0, sy = 0;
  if (host.EditorWindow() && c.ToScreen(host.EditorWindow(), 0, 0, &sx, &sy)) {
    ex = sx + (1480 - w) / 2;
    ey = sy + (660 - h) / 3;
  }
  *x = std::max(0, std::min(ex, c.ScreenWidth() - w));
  *y = std::max(0, std::min(ey, c.ScreenHeight() - h));
}

// The part common to message boxes and the path dialog: a dialog window with text lines, an
// optional line field and a row of buttons.
class BoxSession {
 public:
  BoxSession(ModalHost& host, const char* text, const char* caption, int type, LineEditor* field)
      : mHost(host),
        mType(type),
        mField(field),
        mButtons(BoxButtons(type)),
        mDismiss(BoxDismissResult(type)) {
    LICE_CachedFont* font = host.UiFont();
    const std::vector<std::string> raw = Lines(text ? text : "");
    int textWidth = 0;
    for (const std::string& l : raw) textWidth = std::max(textWidth, LineWidth(font, l));
    mW = std::max(320, std::min(640, textWidth + 2 * kBoxMargin));
    if (field) mW = 520;
    mLines = Wrap(font, raw, mW - 2 * kBoxMargin);
    mLineH = LineHeight(font) + 2;
    mFieldY = kBoxMargin + (int)mLines.size() * mLineH + 8;
    mH = mFieldY + (field ? mLineH + 8 + 12 : 0) + kButtonH + kBoxMargin + 4;
    int x = 0, y = 0;
    PlaceOver(host, mW, mH, &x, &y);
    mCanvas.reset(new Canvas(host.Conn(), Window::kDialog, host.EditorWindow(), x, y, mW, mH));
    mCanvas->window.SetTitle(caption ? caption : "");
  }

  int Run() {
    Draw();
    mCanvas->window.Map();
    RunLoop(
        mHost, [this](const Event& e) { return e.window == mCanvas->window.Id(); },
        [this](const Event& e) { Handle(e); }, [this] { return mResult != 0; });
    const int result = mResult ? mResult : mDismiss;
    mCanvas.reset();
    mHost.Conn().Flush();
    return result;
  }

 private:
  void Draw() {
    LICE_IBitmap* bmp = &mCanvas->bitmap;
    LICE_CachedFont* font = mHost.UiFont();
    Fill(bmp, 0, 0, mW, mH, kFace);
    for (size_t i = 0; i < mLines.size(); ++i)
      DrawLine(bmp, font, mLines[i], kBoxMargin, kBoxMargin + (int)i * mLineH, mLineH);
    if (mField) {
      const int fh = mLineH + 8;
      Frame(bmp, kBoxMargin - 1, mFieldY - 1, mW - 2 * kBoxMargin + 2, fh + 2, kFrame);
      DrawLineField(bmp, font, *mField, kBoxMargin, mFieldY, mW - 2 * kBoxMargin, fh, kInk, kWhite,
                    0);
    }
    const std::vector<BoxRect> rects = BoxButtonRects(mType, mW, mH);
    for (size_t i = 0; i < rects.size(); ++i) {
      const BoxRect& r = rects[i];
      const bool pressed = (int)i == mPressedButton;
      Fill(bmp, r.x, r.y, r.w, r.h, pressed ? kHot : kButton);
      Frame(bmp, r.x, r.y, r.w, r.h, (int)i == mFocus ? kHot : kFrame);
      if ((int)i == mFocus) Frame(bmp, r.x + 1, r.y + 1, r.w - 2, r.h - 2, kHot);
      Text(bmp, font, ButtonLabel(mButtons[i]), r.x, r.y, r.w, r.h, 1, pressed ? kHotInk : kInk);
    }
    mCanvas->Show();
  }

  int ButtonAt(int x, int y) const {
    const std::vector<BoxRect> rects = BoxButtonRects(mType, mW, mH);
    for (size_t i = 0; i < rects.size(); ++i)
      if (x >= rects[i].x && x < rects[i].x + rects[i].w && y >= rects[i].y &&
          y < rects[i].y + rects[i].h)
        return (int)i;
    return -1;
  }

  void Handle(const Event& e) {
    switch (e.type) {
      case Event::kExpose:
        mCanvas->Show();
        // The box takes the keys once it is on the screen (a window manager would give them
        // to a modal dialog anyway).
        if (!mFocused) mCanvas->window.TakeFocus();
        mFocused = true;
        break;
      case Event::kCloseRequest:
      case Event::kDestroyed: mResult = mDismiss; break;
      case Event::kButtonDown:
      case Event::kDoubleClick:
        if (e.button == 1) {
          mPressedButton = ButtonAt(e.x, e.y);
          Draw();
        }
        break;
      case Event::kButtonUp:
        if (e.button == 1 && mPressedButton >= 0) {
          const int b = ButtonAt(e.x, e.y);
          if (b == mPressedButton) mResult = mButtons[(size_t)b];
          mPressedButton = -1;
          if (!mResult) Draw();
        }
        break;
      case Event::kKeyDown: Key(e); break;
      default: break;
    }
  }

  void Key(const Event& e) {
    const int n = (int)mButtons.size();
    switch (e.keysym) {
      case XKB_KEY_Escape: mResult = mDismiss; return;
      case XKB_KEY_Return:
      case XKB_KEY_KP_Enter: mResult = mButtons[(size_t)mFocus]; return;
      case XKB_KEY_Tab:
      case XKB_KEY_ISO_Left_Tab:
        mFocus = (mFocus + (e.shift || e.keysym == XKB_KEY_ISO_Left_Tab ? n - 1 : 1)) % n;
        Draw();
        return;
      default: break;
    }
    if (mField) {
      const LineEditor::Outcome o = mField->Key(e.keysym, e.text, e.control, e.shift);
      if (o == LineEditor::kPaste) {
        std::string pasted;
        if (mHost.Conn().ReadClipboard(mCanvas->window.Id(), &pasted, kMaxPasteBytes,
                                       kPasteTimeoutMs)) {
          mField->Insert(pasted);
        }
      }
      Draw();
      return;
    }
    if (e.keysym == XKB_KEY_space) {
      mResult = mButtons[(size_t)mFocus];
    } else if (e.keysym == XKB_KEY_Left || e.keysym == XKB_KEY_Right) {
      mFocus = (mFocus + (e.keysym == XKB_KEY_Left ? n - 1 : 1)) % n;
      Draw();
    }
  }

  ModalHost& mHost;
  int mType;
  LineEditor* mField;
  std::vector<int> mButtons;
  int mDismiss;
  std::vector<std::string> mLines;
  int mW = 0, mH = 0, mLineH = 0, mFieldY = 0;
  int mFocus = 0, mPressedButton = -1, mResult = 0;
  bool mFocused = false;
  std::unique_ptr<Canvas> mCanvas;
};

}  // namespace

bool IsChoosable(const MenuEntry& e) {
  return !e.disabled && !e.title && !e.separator && e.submenu < 0;
}

MenuChoice RunPopupMenu(ModalHost& host, const MenuTree& tree, int x, int y) {
  MenuSession session(host, tree);
  return session.Run(x, y);
}

std::vector<int> BoxButtons(int type) {
  switch (type) {
    case 1: return {kBoxOK, kBoxCancel};
    case 3: return {kBoxYes, kBoxNo, kBoxCancel};
    case 4: return {kBoxYes, kBoxNo};
    default: return {kBoxOK};
  }
}

int BoxDismissResult(int type) {
  switch (type) {
    case 1:
    case 3: return kBoxCancel;
    case 4: return kBoxNo;
    default: return kBoxOK;
  }
}

std::vector<BoxRect> BoxButtonRects(int type, int w, int h) {
  const std::vector<int> buttons = BoxButtons(type);
  const int n = (int)buttons.size();
  std::vector<BoxRect> rects;
  int x = w - kBoxMargin - n * kButtonW - (n - 1) * kButtonGap;
  for (int i = 0; i < n; ++i, x += kButtonW + kButtonGap)
    rects.push_back({x, h - kBoxMargin - kButtonH, kButtonW, kButtonH});
  return rects;
}

int RunMessageBox(ModalHost& host, const char* text, const char* caption, int type) {
  BoxSession box(host, text, caption, type, nullptr);
  return box.Run();
}

bool RunPathDialog(ModalHost& host, const char* caption, const char* prompt, std::string* path) {
  LineEditor field(*path, 0);
  BoxSession box(host, prompt, caption, 1, &field);
  if (box.Run() != kBoxOK || field.Text().empty()) return false;
  *path = field.Text();
  return true;
}

void DrawLineField(LICE_IBitmap* bmp, LICE_CachedFont* font, const LineEditor& editor, int x, int y,
                   int w, int h, LICE_pixel foreground, LICE_pixel background, int align) {
  Fill(bmp, x, y, w, h, background);
  if (!font) return;
  const int pad = 3;
  const int textW = TextWidth(font, editor.Text());
  const int caretX = TextWidth(font, editor.Text().substr(0, editor.Caret()));
  int left = align == 1 ? (w - textW) / 2 : align == 2 ? w - pad - textW : pad;
  // Scrolled so the caret stays inside the field.
  if (left + caretX > w - pad) left = w - pad - caretX;
  if (left + caretX < pad) left = pad - caretX;
  const LICE_Rect clip = {x, y, x + w, y + h};
  LICE_Rect r = {x + left, y + (h - font->GetLineHeight()) / 2, x + left + textW + 1, y + h};
  font->DrawText(bmp, editor.Text().c_str(), &r, 0, foreground, &clip);
  const int cx = x + left + caretX;
  if (cx >= x && cx < x + w)
    LICE_FillRect(bmp, cx, y + 2, 1, h - 4, foreground, 1.0f, LICE_BLIT_MODE_COPY);
}

}  // namespace x11
