#pragma once
// The editor's own connection to the X server and the windows it makes on it: the child window
// inside the host's window, override-redirect pop-ups for menus, and dialog windows for boxes.
// Every X request of the editor goes through here; XCB's types stay in the .cpp. Nothing is
// process-wide: each open editor has a connection of its own, and XCB reports failed requests
// as events, which are dropped (a host that destroys its window first costs nothing).
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "editor/platform/x11_events.h"
#include "render/pixel.h"

namespace x11 {

// The visual's pixel layout: bits per pixel (16 or 32), server byte order and channel masks.
struct PixelFormat {
  int bitsPerPixel = 32;
  bool msbFirst = false;
  uint32_t redMask = 0xff0000, greenMask = 0xff00, blueMask = 0xff;
};

// Converts n pixels to the server's layout (bytes per pixel = bitsPerPixel / 8); alpha is
// dropped. False for a layout it cannot write (then nothing is written).
bool ConvertPixels(const LICE_pixel* src, int n, const PixelFormat& format, uint8_t* dst);

class Window;

class Connection {
 public:
  // Null when no display can be reached (DISPLAY unset, no server).
  static std::unique_ptr<Connection> Open(const char* display = nullptr);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Broken() const;
  int FileDescriptor() const;
  const PixelFormat& Format() const;
  int ScreenWidth() const;
  int ScreenHeight() const;
  uint32_t Root() const;

  // The next event, waiting at most timeoutMs (0: only what is already there). False when
  // there is none in time or the connection broke.
  bool NextEvent(Event* out, int timeoutMs);
  void Flush();

  // The top-level window holding w (w itself when it is one); 0 when w does not exist.
  uint32_t TopLevelOf(uint32_t w);
  // The position of (x, y) of window w on the screen.
  bool ToScreen(uint32_t w, int x, int y, int* sx, int* sy);
  // The pointer's position on the screen; moving it there.
  bool PointerPosition(int* x, int* y);
  void WarpPointer(int x, int y);
  // The clipboard's text, asked for on behalf of requestor: at most maxBytes, waiting at most
  // timeoutMs for its owner. False when there is none.
  bool ReadClipboard(uint32_t requestor, std::string* out, size_t maxBytes, int timeoutMs);

  struct Impl;
  Impl* impl() const { return mImpl; }

 private:
  explicit Connection(Impl* impl) : mImpl(impl) {}
  Impl* mImpl;
};

class Window {
 public:
  enum Kind {
    kChild,   // inside parent, at x, y; takes no keys (over the editor they are the host's)
    kInput,   // inside parent, at x, y, taking keys while it has the focus (the text field)
    kPopUp,   // override-redirect, at screen position x, y (menus)
    kDialog,  // a managed dialog window, transient for parent's top-level window
  };
  Window(Connection& connection, Kind kind, uint32_t parent, int x, int y, int w, int h);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  uint32_t Id() const { return mId; }
  int Width() const { return mW; }
  int Height() const { return mH; }
  void SetTitle(const char* title);
  void Map();
  void MoveTo(int x, int y);
  // Copies the rectangle (x, y, w, h) of an image of the window's size to the window.
  void Present(const LICE_pixel* pixels, int rowSpan, int x, int y, int w, int h);
  // Takes the pointer and the keyboard for a pop-up; false when they are held elsewhere.
  bool Grab();
  void Ungrab();
  void TakeFocus();
  // An invisible pointer over this window, or the normal one again.
  void SetCursorHidden(bool hidden);

 private:
  Connection& mConn;
  uint32_t mId = 0, mGc = 0, mBlankCursor = 0;
  int mW, mH;
  bool mGrabbed = false;
};

}  // namespace x11
