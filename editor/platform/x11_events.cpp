#include "editor/platform/x11_events.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

namespace x11 {

bool ClickTracker::Press(int button, int x, int y, uint32_t timeMs) {
  const bool dbl = mButton == button && timeMs - mTime <= kMaxIntervalMs &&
                   std::abs(x - mX) <= kMaxDistance && std::abs(y - mY) <= kMaxDistance;
  mButton = button;
  mX = x;
  mY = y;
  mTime = timeMs;
  return dbl;
}

class Keyboard {
 public:
  xkb_context* context = nullptr;
  xkb_keymap* keymap = nullptr;
  xkb_state* state = nullptr;
  ~Keyboard() {
    if (state) xkb_state_unref(state);
    if (keymap) xkb_keymap_unref(keymap);
    if (context) xkb_context_unref(context);
  }
};

Keyboard* CreateKeyboard(void* xcbConnection) {
  xcb_connection_t* c = static_cast<xcb_connection_t*>(xcbConnection);
  if (!xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                   XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                   nullptr)) {
    return nullptr;
  }
  Keyboard* k = new Keyboard;
  k->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const int32_t device = xkb_x11_get_core_keyboard_device_id(c);
  if (k->context && device >= 0)
    k->keymap = xkb_x11_keymap_new_from_device(k->context, c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (k->keymap) k->state = xkb_x11_state_new_from_device(k->keymap, c, device);
  if (!k->state) {
    delete k;
    return nullptr;
  }
  return k;
}

void DestroyKeyboard(Keyboard* keyboard) { delete keyboard; }

namespace {

void SetModifiers(uint16_t state, Event* out) {
  out->shift = state & XCB_MOD_MASK_SHIFT;
  out->control = state & XCB_MOD_MASK_CONTROL;
  out->alt = state & XCB_MOD_MASK_1;
}

// The key's symbol and text under the modifiers and group the event reports. The state is set
// from the event itself, so it never depends on earlier events having been seen.
void LookUpKey(Keyboard* k, const xcb_key_press_event_t* e, Event* out) {
  if (!k) return;
  const uint32_t mods = e->state & 0xff;
  const uint32_t group = (e->state >> 13) & 3;
  xkb_state_update_mask(k->state, mods, 0, 0, 0, 0, group);
  out->keysym = xkb_state_key_get_one_sym(k->state, e->detail);
  xkb_state_key_get_utf8(k->state, e->detail, out->text, sizeof(out->text));
  // Control characters are keys, not text.
  if ((unsigned char)out->text[0] < 0x20 || out->text[0] == 0x7f) out->text[0] = '\0';
}

}  // namespace

bool TranslateEvent(const void* xcbEvent, const TranslateContext& context, Event* out) {
  const xcb_generic_event_t* g = static_cast<const xcb_generic_event_t*>(xcbEvent);
  *out = Event();
  switch (g->response_type & 0x7f) {
    case XCB_EXPOSE: {
      auto e = reinterpret_cast<const xcb_expose_event_t*>(g);
      out->type = Event::kExpose;
      out->window = e->window;
      out->x = e->x;
      out->y = e->y;
      out->w = e->width;
      out->h = e->height;
      return true;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      auto e = reinterpret_cast<const xcb_button_press_event_t*>(g);
      const bool press = (g->response_type & 0x7f) == XCB_BUTTON_PRESS;
      out->window = e->event;
      out->time = e->time;
      out->x = e->event_x;
      out->y = e->event_y;
      out->rootX = e->root_x;
      out->rootY = e->root_y;
      SetModifiers(e->state, out);
      if (e->detail == 4 || e->detail == 5) {
        // The wheel: one press per step; its releases carry nothing.
        if (!press) return false;
        out->type = Event::kWheel;
        out->wheel = e->detail == 4 ? 1 : -1;
        return true;
      }
      if (e->detail < 1 || e->detail > 3) return false;
      out->button = e->detail;
      if (!press) {
        out->type = Event::kButtonUp;
      } else {
        const bool dbl =
            context.clicks && context.clicks->Press(e->detail, e->event_x, e->event_y, e->time);
        out->type = dbl ? Event::kDoubleClick : Event::kButtonDown;
      }
      return true;
    }
    case XCB_MOTION_NOTIFY: {
      auto e = reinterpret_cast<const xcb_motion_notify_event_t*>(g);
      out->type = Event::kMotion;
      out->window = e->event;
      out->time = e->time;
      out->x = e->event_x;
      out->y = e->event_y;
      out->rootX = e->root_x;
      out->rootY = e->root_y;
      SetModifiers(e->state, out);
      out->button = e->state & XCB_BUTTON_MASK_1 ? 1 : e->state & XCB_BUTTON_MASK_3 ? 3 : 0;
      return true;
    }
    case XCB_LEAVE_NOTIFY: {
      auto e = reinterpret_cast<const xcb_leave_notify_event_t*>(g);
      // Leaving into a child window or because of a grab is not leaving the editor.
      if (e->detail == XCB_NOTIFY_DETAIL_INFERIOR || e->mode != XCB_NOTIFY_MODE_NORMAL)
        return false;
      out->type = Event::kLeave;
      out->window = e->event;
      out->time = e->time;
      return true;
    }
    case XCB_KEY_PRESS: {
      auto e = reinterpret_cast<const xcb_key_press_event_t*>(g);
      out->type = Event::kKeyDown;
      out->window = e->event;
      out->time = e->time;
      out->x = e->event_x;
      out->y = e->event_y;
      SetModifiers(e->state, out);
      LookUpKey(context.keyboard, e, out);
      return true;
    }
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: {
      auto e = reinterpret_cast<const xcb_focus_in_event_t*>(g);
      // Focus moving for a grab and back is not a change of focus.
      if (e->mode == XCB_NOTIFY_MODE_GRAB || e->mode == XCB_NOTIFY_MODE_UNGRAB) return false;
      if (e->detail == XCB_NOTIFY_DETAIL_POINTER) return false;
      out->type = (g->response_type & 0x7f) == XCB_FOCUS_IN ? Event::kFocusIn : Event::kFocusOut;
      out->window = e->event;
      return true;
    }
    case XCB_CLIENT_MESSAGE: {
      auto e = reinterpret_cast<const xcb_client_message_event_t*>(g);
      if (e->type != context.wmProtocols || e->format != 32 ||
          e->data.data32[0] != context.wmDeleteWindow) {
        return false;
      }
      out->type = Event::kCloseRequest;
      out->window = e->window;
      return true;
    }
    case XCB_DESTROY_NOTIFY: {
      auto e = reinterpret_cast<const xcb_destroy_notify_event_t*>(g);
      out->type = Event::kDestroyed;
      out->window = e->window;
      return true;
    }
    case XCB_CONFIGURE_NOTIFY: {
      auto e = reinterpret_cast<const xcb_configure_notify_event_t*>(g);
      out->type = Event::kConfigure;
      out->window = e->window;
      out->x = e->x;
      out->y = e->y;
      out->w = e->width;
      out->h = e->height;
      return true;
    }
    default: return false;
  }
}

}  // namespace x11
