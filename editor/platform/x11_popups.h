#pragma once
// The editor's modal windows, drawn by the editor itself with the rendering library: pop-up
// menus in override-redirect windows, message boxes and the built-in path dialog. Each runs a
// nested loop on the editor's connection that keeps the editor ticking and repainting while it
// waits for the user; input meant for the editor's own window is dropped meanwhile.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/platform/x11_window.h"

#include "render/bitmap.h"

class LICE_CachedFont;

namespace x11 {

class LineEditor;

// What a nested loop needs of the editor.
class ModalHost {
 public:
  virtual ~ModalHost() {}
  virtual Connection& Conn() = 0;
  // The editor's child window (0 when none): parent of message boxes.
  virtual uint32_t EditorWindow() const = 0;
  // An event for one of the editor's own windows arriving during the loop (exposes are
  // honoured, input is dropped).
  virtual void OtherEvent(const Event& e) = 0;
  // The editor's frame tick, about every 40 ms.
  virtual void Tick() = 0;
  // The font the modal windows draw with (null: they draw no text).
  virtual LICE_CachedFont* UiFont() = 0;
};

// ---- Pop-up menus ----

struct MenuEntry {
  std::string text;  // as shown (any numbering prefix already applied)
  bool disabled = false, title = false, checked = false, separator = false;
  int submenu = -1;  // index into MenuTree::menus, -1 for none
};
struct MenuTree {
  std::vector<std::vector<MenuEntry>> menus;  // menus[0] is the top menu
};
struct MenuChoice {
  int menu = -1, item = -1;  // -1, -1: nothing chosen
};

// Only plain enabled items can be chosen: not separators, titles, disabled items or the
// headers of submenus.
bool IsChoosable(const MenuEntry& e);

// Shows tree with the top menu's top-left corner at screen point (x, y) (moved to stay on the
// screen) and returns what the user chose. The pointer and keyboard are grabbed while it is
// open; a click outside the menus or Escape cancels.
MenuChoice RunPopupMenu(ModalHost& host, const MenuTree& tree, int x, int y);

// ---- Message boxes ----

// Buttons by type: 0 OK; 1 OK, Cancel; 3 Yes, No, Cancel; 4 Yes, No. Results: OK 1, Cancel 2,
// Yes 6, No 7. Closing the box or Escape gives Cancel, or No when there is no Cancel (OK for
// a box with only OK).
enum { kBoxOK = 1, kBoxCancel = 2, kBoxYes = 6, kBoxNo = 7 };
std::vector<int> BoxButtons(int type);
int BoxDismissResult(int type);

// Where a box of w x h places its buttons: one rectangle per button, in BoxButtons order.
struct BoxRect {
  int x, y, w, h;
};
std::vector<BoxRect> BoxButtonRects(int type, int w, int h);

int RunMessageBox(ModalHost& host, const char* text, const char* caption, int type);

// ---- The built-in path dialog (when no dialog helper is installed) ----

// Asks for a path in a line field; false when cancelled. *path holds the proposal on entry.
bool RunPathDialog(ModalHost& host, const char* caption, const char* prompt, std::string* path);

// Draws a line field into bmp at (x, y, w, h): background, the text aligned left, centre or
// right (0, 1, 2), scrolled so the caret stays in view, and the caret.
void DrawLineField(LICE_IBitmap* bmp, LICE_CachedFont* font, const LineEditor& editor, int x, int y,
                   int w, int h, LICE_pixel foreground, LICE_pixel background, int align);

}  // namespace x11
