#include "support/x11_rig.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace quenta_test {

struct XRig::Impl {
  xcb_connection_t* c = nullptr;
  xcb_screen_t* screen = nullptr;
  xkb_context* context = nullptr;
  xkb_keymap* keymap = nullptr;

  xcb_atom_t Intern(const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    free(r);
    return a;
  }
  // The key code and level (0 plain, 1 shifted) that give keysym.
  bool KeyFor(uint32_t keysym, uint8_t* code, bool* shifted) {
    const xkb_keycode_t lo = xkb_keymap_min_keycode(keymap), hi = xkb_keymap_max_keycode(keymap);
    for (xkb_level_index_t level = 0; level < 2; ++level)
      for (xkb_keycode_t k = lo; k <= hi && k < 256; ++k) {
        const xkb_keysym_t* syms = nullptr;
        const int n = xkb_keymap_key_get_syms_by_level(keymap, k, 0, level, &syms);
        if (std::find(syms, syms + n, keysym) == syms + n) continue;
        *code = (uint8_t)k;
        *shifted = level == 1;
        return true;
      }
    return false;
  }
};

XRig::XRig() : mImpl(new Impl) {
  xcb_connection_t* c = mImpl->c = xcb_connect(nullptr, nullptr);
  if (!c || xcb_connection_has_error(c)) return;
  mImpl->screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  xkb_x11_setup_xkb_extension(c, 1, 0, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                              nullptr, nullptr);
  mImpl->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  mImpl->keymap = xkb_x11_keymap_new_from_device(
      mImpl->context, c, xkb_x11_get_core_keyboard_device_id(c), XKB_KEYMAP_COMPILE_NO_FLAGS);
  mOk = mImpl->keymap != nullptr;
}

XRig::~XRig() {
  if (mImpl->c) {
    for (uint32_t w : mHostWindows) xcb_destroy_window(mImpl->c, w);
    xcb_disconnect(mImpl->c);
  }
  if (mImpl->keymap) xkb_keymap_unref(mImpl->keymap);
  if (mImpl->context) xkb_context_unref(mImpl->context);
  delete mImpl;
}

uint32_t XRig::MakeHostWindow(int x, int y, int w, int h) {
  xcb_connection_t* c = mImpl->c;
  const uint32_t id = xcb_generate_id(c);
  // Crossing events tell when a grab takes the pointer away (GrabSeen).
  const uint32_t values[] = {mImpl->screen->white_pixel,
                             XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, id, mImpl->screen->root, (int16_t)x, (int16_t)y,
                    (uint16_t)w, (uint16_t)h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    mImpl->screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  xcb_map_window(c, id);
  mHostWindows.push_back(id);
  Sync();
  return id;
}

void XRig::DestroyWindow(uint32_t window) {
  xcb_destroy_window(mImpl->c, window);
  mHostWindows.erase(std::remove(mHostWindows.begin(), mHostWindows.end(), window),
                     mHostWindows.end());
  Sync();
}

void XRig::Fake(uint8_t type, uint8_t detail, int x, int y) {
  const uint32_t root = type == XCB_MOTION_NOTIFY ? mImpl->screen->root : XCB_NONE;
  xcb_test_fake_input(mImpl->c, type, detail, XCB_CURRENT_TIME, root, (int16_t)x, (int16_t)y, 0);
  Sync();
}

void XRig::MoveTo(int rootX, int rootY) { Fake(XCB_MOTION_NOTIFY, 0, rootX, rootY); }

void XRig::MoveInto(uint32_t window, int x, int y) {
  const Geometry g = RootGeometry(window);
  MoveTo(g.x + x, g.y + y);
}

void XRig::Press(int button) { Fake(XCB_BUTTON_PRESS, (uint8_t)button); }
void XRig::Release(int button) { Fake(XCB_BUTTON_RELEASE, (uint8_t)button); }

void XRig::Key(uint32_t keysym, bool down) {
  uint8_t code = 0, shiftCode = 0;
  bool shifted = false, unused = false;
  if (!mImpl->KeyFor(keysym, &code, &shifted)) return;
  shifted = shifted && mImpl->KeyFor(XKB_KEY_Shift_L, &shiftCode, &unused);
  if (shifted && down) Fake(XCB_KEY_PRESS, shiftCode);
  Fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code);
  if (shifted && !down) Fake(XCB_KEY_RELEASE, shiftCode);
}

void XRig::Play(const std::string& script) {
  std::istringstream words(script);
  for (std::string w; words >> w;) {
    if (w[0] != '\'') {
      Tap(xkb_keysym_from_name(w.c_str(), XKB_KEYSYM_NO_FLAGS));
      continue;
    }
    // Printable ASCII characters are their own key symbols.
    for (size_t i = 1; i < w.size(); ++i) Tap((uint32_t)(unsigned char)w[i]);
  }
}

void XRig::Sync() { Focus(); }

uint32_t XRig::Focus() {
  xcb_get_input_focus_reply_t* r =
      xcb_get_input_focus_reply(mImpl->c, xcb_get_input_focus(mImpl->c), nullptr);
  const uint32_t focus = r ? r->focus : 0;
  free(r);
  return focus;
}

XRig::Geometry XRig::RootGeometry(uint32_t window) {
  Geometry g;
  xcb_connection_t* c = mImpl->c;
  xcb_get_geometry_reply_t* r = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
  xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, window, mImpl->screen->root, 0, 0), nullptr);
  if (r && t) g = {t->dst_x, t->dst_y, r->width, r->height};
  free(r);
  free(t);
  return g;
}

std::vector<uint32_t> XRig::Children(uint32_t window) {
  xcb_query_tree_reply_t* r =
      xcb_query_tree_reply(mImpl->c, xcb_query_tree(mImpl->c, window), nullptr);
  std::vector<uint32_t> out;
  if (r) {
    const xcb_window_t* kids = xcb_query_tree_children(r);
    out.assign(kids, kids + xcb_query_tree_children_length(r));
  }
  free(r);
  return out;
}

std::vector<uint32_t> XRig::MappedTopLevels(bool overrideRedirect) {
  std::vector<uint32_t> out;
  for (uint32_t w : Children(mImpl->screen->root)) {
    if (std::find(mHostWindows.begin(), mHostWindows.end(), w) != mHostWindows.end()) continue;
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(mImpl->c, xcb_get_window_attributes(mImpl->c, w), nullptr);
    if (a && a->map_state == XCB_MAP_STATE_VIEWABLE &&
        (bool)a->override_redirect == overrideRedirect)
      out.push_back(w);
    free(a);
  }
  return out;
}

std::vector<uint32_t> XRig::ReadPixels(uint32_t window, int x, int y, int w, int h) {
  xcb_get_image_reply_t* r =
      xcb_get_image_reply(mImpl->c,
                          xcb_get_image(mImpl->c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, (int16_t)x,
                                        (int16_t)y, (uint16_t)w, (uint16_t)h, ~0u),
                          nullptr);
  std::vector<uint32_t> out;
  // Xvfb's 24-bit screen: 32 bits per pixel, least significant byte first, 0xRRGGBB masks.
  const uint8_t* p = r ? xcb_get_image_data(r) : nullptr;
  for (int i = 0; p && i < xcb_get_image_data_length(r) / 4 && i < w * h; ++i, p += 4)
    out.push_back((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16);
  free(r);
  return out;
}

void XRig::SendClose(uint32_t window) {
  xcb_client_message_event_t e;
  std::memset(&e, 0, sizeof(e));
  e.response_type = XCB_CLIENT_MESSAGE;
  e.window = window;
  e.type = mImpl->Intern("WM_PROTOCOLS");
  e.format = 32;
  e.data.data32[0] = mImpl->Intern("WM_DELETE_WINDOW");
  xcb_send_event(mImpl->c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
  Sync();
}

bool XRig::PointerFree() {
  xcb_connection_t* c = mImpl->c;
  xcb_grab_pointer_reply_t* r = xcb_grab_pointer_reply(
      c,
      xcb_grab_pointer(c, 0, mImpl->screen->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                       XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
      nullptr);
  const bool ok = r && r->status == XCB_GRAB_STATUS_SUCCESS;
  free(r);
  if (ok) xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  Sync();
  return ok;
}

void XRig::WatchGrab() {
  GrabSeen();
  mGrabSeen = false;
}

bool XRig::GrabSeen() {
  Sync();  // every crossing event so far arrives before the reply
  while (xcb_generic_event_t* e = xcb_poll_for_event(mImpl->c)) {
    const int type = e->response_type & 0x7f;
    if (type == XCB_ENTER_NOTIFY || type == XCB_LEAVE_NOTIFY) {
      const uint8_t mode = reinterpret_cast<xcb_enter_notify_event_t*>(e)->mode;
      if (mode == XCB_NOTIFY_MODE_GRAB) mGrabSeen = true;
      if (mode == XCB_NOTIFY_MODE_UNGRAB) mGrabSeen = false;
    }
    free(e);
  }
  return mGrabSeen;
}

bool XRig::ClipboardOwned() {
  xcb_connection_t* c = mImpl->c;
  xcb_get_selection_owner_reply_t* r = xcb_get_selection_owner_reply(
      c, xcb_get_selection_owner(c, mImpl->Intern("CLIPBOARD")), nullptr);
  const bool owned = r && r->owner != XCB_NONE;
  free(r);
  return owned;
}

}  // namespace quenta_test
