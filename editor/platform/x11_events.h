#pragma once
// The X events the editor uses, in the editor's own terms: window coordinates with the origin
// at the top-left, whole wheel steps, double clicks synthesised from press times, keys as key
// symbols with their text. One function turns a native event into one of these.
#include <cstdint>

namespace x11 {

struct Event {
  enum Type : uint8_t {
    kNone,
    kExpose,       // x, y, w, h: the part of the window to show again
    kButtonDown,   // button 1, 2 or 3 pressed (a first click)
    kDoubleClick,  // the same button pressed again soon and close by
    kButtonUp,
    kMotion,   // button: the button held (1 or 3), 0 when none
    kWheel,    // wheel: +1 a step up (away from the user), -1 a step down
    kLeave,    // the pointer left the window
    kKeyDown,  // keysym, text
    kFocusIn,
    kFocusOut,
    kCloseRequest,  // the window manager asks the window to close
    kDestroyed,     // the window is gone (its parent was destroyed)
    kConfigure,     // x, y, w, h: the window's new place and size
  };
  Type type = kNone;
  uint32_t window = 0;
  uint32_t time = 0;  // server time in milliseconds (0 for events without one)
  int x = 0, y = 0;   // in the window
  int rootX = 0, rootY = 0;
  int w = 0, h = 0;
  int button = 0;
  int wheel = 0;
  bool shift = false, control = false, alt = false;
  uint32_t keysym = 0;
  char text[8] = {};  // the key's character as UTF-8, empty for keys without one
};

// Two presses of the same button count as a double click when the second comes at most
// kMaxIntervalMs after the first and at most kMaxDistance pixels away in either direction.
// A third press soon after counts as another double click, as on platforms that report click
// counts.
class ClickTracker {
 public:
  static constexpr uint32_t kMaxIntervalMs = 400;
  static constexpr int kMaxDistance = 4;

  // Records a press; true when it completes a double click.
  bool Press(int button, int x, int y, uint32_t timeMs);
  void Forget() { mButton = 0; }

 private:
  int mButton = 0, mX = 0, mY = 0;
  uint32_t mTime = 0;
};

// The keyboard map of one connection (xkbcommon); defined in x11_events.cpp.
class Keyboard;
// Null when the keyboard extension is missing: keys then carry no symbols.
Keyboard* CreateKeyboard(void* xcbConnection);
void DestroyKeyboard(Keyboard* keyboard);

struct TranslateContext {
  Keyboard* keyboard = nullptr;
  ClickTracker* clicks = nullptr;
  uint32_t wmProtocols = 0, wmDeleteWindow = 0;  // atoms
};

// Turns one native event into an editor event; false for events the editor does not use.
bool TranslateEvent(const void* xcbEvent, const TranslateContext& context, Event* out);

}  // namespace x11
