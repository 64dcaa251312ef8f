#pragma once
// The test's own side of the X server: a host window to embed the editor in, synthetic input
// through the XTEST extension (pointer moves, buttons, keys by key symbol), and looking at what
// the editor put on the screen (its windows, their pixels, the pointer grab, the focus).
#include <cstdint>
#include <string>
#include <vector>

namespace quenta_test {

class XRig {
 public:
  XRig();  // connects to DISPLAY
  ~XRig();
  XRig(const XRig&) = delete;
  XRig& operator=(const XRig&) = delete;
  bool Ok() const { return mOk; }

  // A mapped top-level window of w x h at (x, y).
  uint32_t MakeHostWindow(int x, int y, int w, int h);
  void DestroyWindow(uint32_t window);

  // Input; each call returns once the server has handled it.
  void MoveTo(int rootX, int rootY);
  void MoveInto(uint32_t window, int x, int y);  // window coordinates
  void Press(int button);
  void Release(int button);
  void Click(int button = 1) { Press(button), Release(button); }
  // Keys by key symbol; a symbol on the shifted level is typed with Shift.
  void KeyDown(uint32_t keysym) { Key(keysym, true); }
  void KeyUp(uint32_t keysym) { Key(keysym, false); }
  void Tap(uint32_t keysym) { Key(keysym, true), Key(keysym, false); }
  // Taps the keys of a script of key symbol names ("Home BackSpace Return"); a word that starts
  // with ' is typed as text (printable ASCII).
  void Play(const std::string& script);

  // What is on the screen.
  struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;  // on the screen
  };
  Geometry RootGeometry(uint32_t window);
  // The mapped children of the root window, in stacking order, with override-redirect set
  // (pop-ups) or not (dialogs); hosts excluded.
  std::vector<uint32_t> MappedTopLevels(bool overrideRedirect);
  std::vector<uint32_t> Children(uint32_t window);
  // Pixels of window as 0xRRGGBB, row by row.
  std::vector<uint32_t> ReadPixels(uint32_t window, int x, int y, int w, int h);
  // Asks window to close, as a window manager's close button does.
  void SendClose(uint32_t window);
  // Whether no other client holds the pointer: a probe that grabs it for a moment itself.
  bool PointerFree();
  // After WatchGrab, GrabSeen tells whether another client has taken the pointer from a host
  // window since; seen from crossing events, without a grab of the rig's own that could take
  // the pointer from that client's attempts.
  void WatchGrab();
  bool GrabSeen();
  uint32_t Focus();  // the window with the keyboard's focus
  bool ClipboardOwned();

 private:
  void Key(uint32_t keysym, bool down);
  void Fake(uint8_t type, uint8_t detail, int x = 0, int y = 0);
  void Sync();

  struct Impl;
  Impl* mImpl = nullptr;
  bool mOk = false, mGrabSeen = false;
  std::vector<uint32_t> mHostWindows;
};

}  // namespace quenta_test
