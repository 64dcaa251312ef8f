#pragma once
// The test's own side of the X server: a host window to embed the editor in, synthetic input
// through the XTEST extension (pointer moves, buttons, keys by key symbol), and looking at what
// the editor put on the screen (its windows, their pixels, the pointer grab, the focus).
#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace quenta_test {

class XRig {
 public:
  XRig() : mConn(xcb_connect(nullptr, nullptr)) {  // connects to DISPLAY
    if (!mConn || xcb_connection_has_error(mConn)) return;
    mScreen = xcb_setup_roots_iterator(xcb_get_setup(mConn)).data;
    xkb_x11_setup_xkb_extension(mConn, 1, 0, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                nullptr, nullptr);
    mContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    mKeymap = xkb_x11_keymap_new_from_device(
        mContext, mConn, xkb_x11_get_core_keyboard_device_id(mConn), XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  ~XRig() {
    if (mConn) {
      for (uint32_t w : mHostWindows) xcb_destroy_window(mConn, w);
      xcb_disconnect(mConn);
    }
    if (mKeymap) xkb_keymap_unref(mKeymap);
    if (mContext) xkb_context_unref(mContext);
  }
  XRig(const XRig&) = delete;
  XRig& operator=(const XRig&) = delete;
  bool Ok() const { return mKeymap != nullptr; }

  // A mapped top-level window of w x h at (x, y).
  uint32_t MakeHostWindow(int x, int y, int w, int h) {
    const uint32_t id = xcb_generate_id(mConn);
    // Crossing and focus events tell when grabs take the pointer and the keyboard (GrabSeen).
    const uint32_t values[] = {mScreen->white_pixel, XCB_EVENT_MASK_ENTER_WINDOW |
                                                         XCB_EVENT_MASK_LEAVE_WINDOW |
                                                         XCB_EVENT_MASK_FOCUS_CHANGE};
    xcb_create_window(mConn, XCB_COPY_FROM_PARENT, id, mScreen->root, (int16_t)x, (int16_t)y,
                      (uint16_t)w, (uint16_t)h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      mScreen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_map_window(mConn, id);
    xcb_set_input_focus(mConn, XCB_INPUT_FOCUS_POINTER_ROOT, id, XCB_CURRENT_TIME);
    mHostWindows.push_back(id);
    Sync();
    return id;
  }
  void DestroyWindow(uint32_t window) {
    xcb_destroy_window(mConn, window);
    mHostWindows.erase(std::remove(mHostWindows.begin(), mHostWindows.end(), window),
                       mHostWindows.end());
    Sync();
  }

  // Input; each call returns once the server has handled it.
  void MoveTo(int rootX, int rootY) { Fake(XCB_MOTION_NOTIFY, 0, rootX, rootY); }
  void MoveInto(uint32_t window, int x, int y) {  // window coordinates
    const Geometry g = RootGeometry(window);
    MoveTo(g.x + x, g.y + y);
  }
  void Press(int button) { Fake(XCB_BUTTON_PRESS, (uint8_t)button); }
  void Release(int button) { Fake(XCB_BUTTON_RELEASE, (uint8_t)button); }
  void Click(int button = 1) { Press(button), Release(button); }
  // Keys by key symbol; a symbol on the shifted level is typed with Shift.
  void KeyDown(uint32_t keysym) { Key(keysym, true); }
  void KeyUp(uint32_t keysym) { Key(keysym, false); }
  void Tap(uint32_t keysym) { Key(keysym, true), Key(keysym, false); }
  // Taps the keys of a script of key symbol names ("Home BackSpace Return"); a word that starts
  // with ' is typed as text (printable ASCII, whose characters are their own key symbols).
  void Play(const std::string& script) {
    std::istringstream words(script);
    for (std::string w; words >> w;) {
      if (w[0] != '\'') Tap(xkb_keysym_from_name(w.c_str(), XKB_KEYSYM_NO_FLAGS));
      for (size_t i = 1; w[0] == '\'' && i < w.size(); ++i) Tap((uint32_t)(unsigned char)w[i]);
    }
  }

  // What is on the screen.
  struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;  // on the screen
  };
  Geometry RootGeometry(uint32_t window) {
    Geometry g;
    auto r = Own(xcb_get_geometry_reply(mConn, xcb_get_geometry(mConn, window), nullptr));
    auto t = Own(xcb_translate_coordinates_reply(
        mConn, xcb_translate_coordinates(mConn, window, mScreen->root, 0, 0), nullptr));
    if (r && t) g = {t->dst_x, t->dst_y, r->width, r->height};
    return g;
  }
  // The mapped children of the root window, in stacking order, with override-redirect set
  // (pop-ups) or not (dialogs); hosts excluded.
  std::vector<uint32_t> MappedTopLevels(bool overrideRedirect) {
    std::vector<uint32_t> out;
    for (uint32_t w : Children(mScreen->root)) {
      if (std::find(mHostWindows.begin(), mHostWindows.end(), w) != mHostWindows.end()) continue;
      auto a =
          Own(xcb_get_window_attributes_reply(mConn, xcb_get_window_attributes(mConn, w), nullptr));
      if (a && a->map_state == XCB_MAP_STATE_VIEWABLE &&
          (bool)a->override_redirect == overrideRedirect)
        out.push_back(w);
    }
    return out;
  }
  std::vector<uint32_t> Children(uint32_t window) {
    auto r = Own(xcb_query_tree_reply(mConn, xcb_query_tree(mConn, window), nullptr));
    std::vector<uint32_t> out;
    if (r)
      out.assign(xcb_query_tree_children(r.get()),
                 xcb_query_tree_children(r.get()) + xcb_query_tree_children_length(r.get()));
    return out;
  }
  // Pixels of window as 0xRRGGBB, row by row.
  std::vector<uint32_t> ReadPixels(uint32_t window, int x, int y, int w, int h) {
    auto r =
        Own(xcb_get_image_reply(mConn,
                                xcb_get_image(mConn, XCB_IMAGE_FORMAT_Z_PIXMAP, window, (int16_t)x,
                                              (int16_t)y, (uint16_t)w, (uint16_t)h, ~0u),
                                nullptr));
    std::vector<uint32_t> out;
    // Xvfb's 24-bit screen: 32 bits per pixel, least significant byte first, 0xRRGGBB masks.
    const uint8_t* p = r ? xcb_get_image_data(r.get()) : nullptr;
    for (int i = 0; p && i < xcb_get_image_data_length(r.get()) / 4 && i < w * h; ++i, p += 4)
      out.push_back((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16);
    return out;
  }
  // Asks window to close, as a window manager's close button does.
  void SendClose(uint32_t window) {
    xcb_client_message_event_t e;
    std::memset(&e, 0, sizeof(e));
    e.response_type = XCB_CLIENT_MESSAGE;
    e.window = window;
    e.type = Intern("WM_PROTOCOLS");
    e.format = 32;
    e.data.data32[0] = Intern("WM_DELETE_WINDOW");
    xcb_send_event(mConn, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    Sync();
  }
  // Whether no other client holds the pointer: a probe that grabs it for a moment itself.
  bool PointerFree() {
    auto r = Own(xcb_grab_pointer_reply(
        mConn,
        xcb_grab_pointer(mConn, 0, mScreen->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr));
    const bool ok = r && r->status == XCB_GRAB_STATUS_SUCCESS;
    if (ok) xcb_ungrab_pointer(mConn, XCB_CURRENT_TIME);
    Sync();
    return ok;
  }
  // After WatchGrab, GrabSeen tells whether another client has taken both the pointer and the
  // keyboard from a host window since; seen from crossing and focus events, without a grab of
  // the rig's own that could take them from that client's attempts.
  void WatchGrab() {
    GrabSeen();
    mGrabs[0] = mGrabs[1] = false;
  }
  bool GrabSeen() {
    Sync();  // every event so far arrives before the reply
    while (xcb_generic_event_t* e = xcb_poll_for_event(mConn)) {
      const int type = e->response_type & 0x7f;
      const bool focus = type == XCB_FOCUS_IN || type == XCB_FOCUS_OUT;
      if (focus || type == XCB_ENTER_NOTIFY || type == XCB_LEAVE_NOTIFY) {
        const uint8_t mode = focus ? reinterpret_cast<xcb_focus_in_event_t*>(e)->mode
                                   : reinterpret_cast<xcb_enter_notify_event_t*>(e)->mode;
        if (mode == XCB_NOTIFY_MODE_GRAB) mGrabs[focus] = true;
        if (mode == XCB_NOTIFY_MODE_UNGRAB) mGrabs[focus] = false;
      }
      free(e);
    }
    return mGrabs[0] && mGrabs[1];
  }
  uint32_t Focus() {  // the window with the keyboard's focus
    auto r = Own(xcb_get_input_focus_reply(mConn, xcb_get_input_focus(mConn), nullptr));
    return r ? r->focus : 0;
  }
  bool ClipboardOwned() {
    auto r = Own(xcb_get_selection_owner_reply(
        mConn, xcb_get_selection_owner(mConn, Intern("CLIPBOARD")), nullptr));
    return r && r->owner != XCB_NONE;
  }

 private:
  // A reply of the server's, freed when it goes.
  template <typename T>
  static std::unique_ptr<T, decltype(&free)> Own(T* reply) {
    return {reply, &free};
  }
  void Sync() { Focus(); }
  void Fake(uint8_t type, uint8_t detail, int x = 0, int y = 0) {
    const uint32_t root = type == XCB_MOTION_NOTIFY ? mScreen->root : XCB_NONE;
    xcb_test_fake_input(mConn, type, detail, XCB_CURRENT_TIME, root, (int16_t)x, (int16_t)y, 0);
    Sync();
  }
  void Key(uint32_t keysym, bool down) {
    uint8_t code = 0, shiftCode = 0;
    bool shifted = false, unused = false;
    if (!KeyFor(keysym, &code, &shifted)) return;
    shifted = shifted && KeyFor(XKB_KEY_Shift_L, &shiftCode, &unused);
    if (shifted && down) Fake(XCB_KEY_PRESS, shiftCode);
    Fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code);
    if (shifted && !down) Fake(XCB_KEY_RELEASE, shiftCode);
  }
  // The key code and level (0 plain, 1 shifted) that give keysym.
  bool KeyFor(uint32_t keysym, uint8_t* code, bool* shifted) {
    const xkb_keycode_t lo = xkb_keymap_min_keycode(mKeymap), hi = xkb_keymap_max_keycode(mKeymap);
    for (xkb_level_index_t level = 0; level < 2; ++level)
      for (xkb_keycode_t k = lo; k <= hi && k < 256; ++k) {
        const xkb_keysym_t* syms = nullptr;
        const int n = xkb_keymap_key_get_syms_by_level(mKeymap, k, 0, level, &syms);
        if (std::find(syms, syms + n, keysym) == syms + n) continue;
        *code = (uint8_t)k;
        *shifted = level == 1;
        return true;
      }
    return false;
  }
  xcb_atom_t Intern(const char* name) {
    auto r = Own(xcb_intern_atom_reply(
        mConn, xcb_intern_atom(mConn, 0, (uint16_t)strlen(name), name), nullptr));
    return r ? r->atom : 0;
  }

  xcb_connection_t* mConn;
  xcb_screen_t* mScreen = nullptr;
  xkb_context* mContext = nullptr;
  xkb_keymap* mKeymap = nullptr;
  bool mGrabs[2] = {false, false};  // the pointer's, the keyboard's
  std::vector<uint32_t> mHostWindows;
};

}  // namespace quenta_test
