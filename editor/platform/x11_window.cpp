#include "editor/platform/x11_window.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace x11 {

namespace {

int LowBit(uint32_t mask) {
  int shift = 0;
  while (mask && !(mask & 1)) mask >>= 1, ++shift;
  return shift;
}
int Bits(uint32_t mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}
// An 8-bit channel value placed into a mask of any width up to 8 bits (or more).
uint32_t Place(unsigned v, uint32_t mask) {
  const int bits = Bits(mask);
  const uint32_t scaled = bits >= 8 ? (uint32_t)v << (bits - 8) : (uint32_t)v >> (8 - bits);
  return (scaled << LowBit(mask)) & mask;
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const char* const kAtomNames[] = {"WM_PROTOCOLS",
                                  "WM_DELETE_WINDOW",
                                  "_NET_WM_NAME",
                                  "UTF8_STRING",
                                  "CLIPBOARD",
                                  "_NET_WM_WINDOW_TYPE",
                                  "_NET_WM_WINDOW_TYPE_DIALOG",
                                  "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                                  "_NET_WM_STATE",
                                  "_NET_WM_STATE_MODAL",
                                  "QUENTA_SELECTION",
                                  "INCR"};
enum Atom {
  kWmProtocols,
  kWmDeleteWindow,
  kNetWmName,
  kUtf8String,
  kClipboard,
  kNetWmWindowType,
  kNetWmWindowTypeDialog,
  kNetWmWindowTypePopupMenu,
  kNetWmState,
  kNetWmStateModal,
  kSelectionProperty,
  kIncr,
  kNumAtoms
};

}  // namespace

bool ConvertPixels(const LICE_pixel* src, int n, const PixelFormat& f, uint8_t* dst) {
  const int bytes = f.bitsPerPixel / 8;
  if (f.bitsPerPixel != 16 && f.bitsPerPixel != 32) return false;
  if (!f.redMask || !f.greenMask || !f.blueMask) return false;
  for (int i = 0; i < n; ++i) {
    const LICE_pixel p = src[i];
    const uint32_t v = Place(LICE_GETR(p), f.redMask) | Place(LICE_GETG(p), f.greenMask) |
                       Place(LICE_GETB(p), f.blueMask);
    for (int b = 0; b < bytes; ++b) {
      const int shift = 8 * (f.msbFirst ? bytes - 1 - b : b);
      *dst++ = (uint8_t)(v >> shift);
    }
  }
  return true;
}

struct Connection::Impl {
  xcb_connection_t* c = nullptr;
  xcb_screen_t* screen = nullptr;
  xcb_visualid_t visual = 0;
  uint8_t depth = 0;
  int scanlinePad = 32;
  bool formatOk = false;
  PixelFormat format;
  uint32_t maxRequestBytes = 0;
  xcb_atom_t atoms[kNumAtoms] = {};
  Keyboard* keyboard = nullptr;
  ClickTracker clicks;
  std::deque<Event> pending;       // events read while waiting for something else
  std::vector<uint8_t> converted;  // the surface copy's scratch, kept between copies

  TranslateContext Context() {
    TranslateContext t;
    t.keyboard = keyboard;
    t.clicks = &clicks;
    t.wmProtocols = atoms[kWmProtocols];
    t.wmDeleteWindow = atoms[kWmDeleteWindow];
    return t;
  }
  void SetProperty(uint32_t w, xcb_atom_t property, xcb_atom_t type, int format, uint32_t count,
                   const void* data) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, (uint8_t)format, count, data);
  }
};

std::unique_ptr<Connection> Connection::Open(const char* display) {
  int screenNum = 0;
  xcb_connection_t* c = xcb_connect(display, &screenNum);
  if (!c || xcb_connection_has_error(c)) {
    if (c) xcb_disconnect(c);
    return nullptr;
  }
  Impl* d = new Impl;
  d->c = c;
  const xcb_setup_t* setup = xcb_get_setup(c);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNum && it.rem; ++i) xcb_screen_next(&it);
  d->screen = it.data;
  d->visual = d->screen->root_visual;
  d->depth = d->screen->root_depth;
  d->format.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  for (xcb_depth_iterator_t di = xcb_screen_allowed_depths_iterator(d->screen); di.rem;
       xcb_depth_next(&di)) {
    for (xcb_visualtype_iterator_t vi = xcb_depth_visuals_iterator(di.data); vi.rem;
         xcb_visualtype_next(&vi)) {
      if (vi.data->visual_id != d->visual) continue;
      d->format.redMask = vi.data->red_mask;
      d->format.greenMask = vi.data->green_mask;
      d->format.blueMask = vi.data->blue_mask;
      d->formatOk = vi.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                    vi.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
    }
  }
  bool bppFound = false;
  for (xcb_format_iterator_t fi = xcb_setup_pixmap_formats_iterator(setup); fi.rem;
       xcb_format_next(&fi)) {
    if (fi.data->depth != d->depth) continue;
    d->format.bitsPerPixel = fi.data->bits_per_pixel;
    d->scanlinePad = fi.data->scanline_pad;
    bppFound = true;
  }
  d->formatOk =
      d->formatOk && bppFound && (d->format.bitsPerPixel == 16 || d->format.bitsPerPixel == 32);
  d->maxRequestBytes = xcb_get_maximum_request_length(c) * 4;

  xcb_intern_atom_cookie_t cookies[kNumAtoms];
  for (int i = 0; i < kNumAtoms; ++i)
    cookies[i] = xcb_intern_atom(c, 0, (uint16_t)strlen(kAtomNames[i]), kAtomNames[i]);
  for (int i = 0; i < kNumAtoms; ++i) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookies[i], nullptr);
    d->atoms[i] = r ? r->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(r);
  }
  d->keyboard = CreateKeyboard(c);
  return std::unique_ptr<Connection>(new Connection(d));
}

Connection::~Connection() {
  DestroyKeyboard(mImpl->keyboard);
  xcb_disconnect(mImpl->c);
  delete mImpl;
}

bool Connection::Broken() const { return xcb_connection_has_error(mImpl->c) != 0; }
int Connection::FileDescriptor() const { return xcb_get_file_descriptor(mImpl->c); }
const PixelFormat& Connection::Format() const { return mImpl->format; }
int Connection::ScreenWidth() const { return mImpl->screen->width_in_pixels; }
int Connection::ScreenHeight() const { return mImpl->screen->height_in_pixels; }
uint32_t Connection::Root() const { return mImpl->screen->root; }
void Connection::Flush() { xcb_flush(mImpl->c); }

bool Connection::NextEvent(Event* out, int timeoutMs) {
  if (!mImpl->pending.empty()) {
    *out = mImpl->pending.front();
    mImpl->pending.pop_front();
    return true;
  }
  xcb_flush(mImpl->c);
  const int64_t deadline = NowMs() + (timeoutMs > 0 ? timeoutMs : 0);
  const TranslateContext context = mImpl->Context();
  for (;;) {
    if (Broken()) return false;
    while (xcb_generic_event_t* e = xcb_poll_for_event(mImpl->c)) {
      // Errors of requests on windows that are already gone are expected; they are dropped.
      const bool used = e->response_type != 0 && TranslateEvent(e, context, out);
      free(e);
      if (used) return true;
    }
    const int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    pollfd p = {FileDescriptor(), POLLIN, 0};
    if (poll(&p, 1, (int)left) < 0 && errno != EINTR) return false;
  }
}

uint32_t Connection::TopLevelOf(uint32_t w) {
  for (int depth = 0; depth < 64; ++depth) {
    xcb_query_tree_reply_t* r =
        xcb_query_tree_reply(mImpl->c, xcb_query_tree(mImpl->c, w), nullptr);
    if (!r) return 0;
    const uint32_t parent = r->parent, root = r->root;
    free(r);
    if (parent == root || parent == XCB_WINDOW_NONE) return w;
    w = parent;
  }
  return w;
}

bool Connection::ToScreen(uint32_t w, int x, int y, int* sx, int* sy) {
  xcb_translate_coordinates_reply_t* r = xcb_translate_coordinates_reply(
      mImpl->c, xcb_translate_coordinates(mImpl->c, w, Root(), (int16_t)x, (int16_t)y), nullptr);
  if (!r) return false;
  *sx = r->dst_x;
  *sy = r->dst_y;
  free(r);
  return true;
}

bool Connection::PointerPosition(int* x, int* y) {
  xcb_query_pointer_reply_t* r =
      xcb_query_pointer_reply(mImpl->c, xcb_query_pointer(mImpl->c, Root()), nullptr);
  if (!r) return false;
  *x = r->root_x;
  *y = r->root_y;
  free(r);
  return true;
}

void Connection::WarpPointer(int x, int y) {
  xcb_warp_pointer(mImpl->c, XCB_NONE, Root(), 0, 0, 0, 0, (int16_t)x, (int16_t)y);
  xcb_flush(mImpl->c);
}

bool Connection::ReadClipboard(uint32_t requestor, std::string* out, size_t maxBytes,
                               int timeoutMs) {
  out->clear();
  Impl* d = mImpl;
  xcb_convert_selection(d->c, requestor, d->atoms[kClipboard], d->atoms[kUtf8String],
                        d->atoms[kSelectionProperty], XCB_CURRENT_TIME);
  xcb_flush(d->c);
  const int64_t deadline = NowMs() + timeoutMs;
  const TranslateContext context = d->Context();
  xcb_atom_t property = XCB_ATOM_NONE;
  bool answered = false;
  while (!answered && !Broken()) {
    xcb_generic_event_t* e = xcb_poll_for_event(d->c);
    if (!e) {
      const int64_t left = deadline - NowMs();
      if (left <= 0) break;
      pollfd p = {FileDescriptor(), POLLIN, 0};
      poll(&p, 1, (int)left);
      continue;
    }
    if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
      auto n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
      if (n->requestor == requestor) {
        answered = true;
        property = n->property;
      }
    } else {
      Event ev;
      if (e->response_type != 0 && TranslateEvent(e, context, &ev)) d->pending.push_back(ev);
    }
    free(e);
  }
  if (!answered || property == XCB_ATOM_NONE) return false;
  // One request for at most maxBytes; the rest, if any, stays unread. Transfers in pieces
  // (INCR) are refused: the field takes a line of text, not a document.
  const uint32_t words = (uint32_t)(maxBytes + 3) / 4;
  xcb_get_property_reply_t* r = xcb_get_property_reply(
      d->c, xcb_get_property(d->c, 1, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, words),
      nullptr);
  if (!r) return false;
  bool ok = false;
  if (r->type != d->atoms[kIncr] && r->format == 8) {
    const size_t n = (size_t)xcb_get_property_value_length(r);
    out->assign(static_cast<const char*>(xcb_get_property_value(r)), n < maxBytes ? n : maxBytes);
    ok = true;
  }
  free(r);
  if (!ok || out->empty()) xcb_delete_property(d->c, requestor, property);
  return ok && !out->empty();
}

Window::Window(Connection& connection, Kind kind, uint32_t parent, int x, int y, int w, int h)
    : mConn(connection), mW(w), mH(h) {
  Connection::Impl* d = mConn.impl();
  mId = xcb_generate_id(d->c);
  const uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                          XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                          XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                          XCB_EVENT_MASK_FOCUS_CHANGE |
                          // Only windows that are meant to take keys ask for them: over the
                          // editor's own window they belong to the host.
                          (kind == kChild ? 0 : XCB_EVENT_MASK_KEY_PRESS);
  // The screen's own visual, named explicitly: the host's window may use another one.
  const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                        XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
  const uint32_t values[] = {d->screen->black_pixel, 0, kind == kPopUp ? 1u : 0u, events,
                             d->screen->default_colormap};
  const uint32_t windowParent = kind == kChild || kind == kInput ? parent : d->screen->root;
  xcb_create_window(d->c, d->depth, mId, windowParent, (int16_t)x, (int16_t)y, (uint16_t)w,
                    (uint16_t)h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, d->visual, mask, values);
  mGc = xcb_generate_id(d->c);
  const uint32_t gcValues[] = {0};
  xcb_create_gc(d->c, mGc, mId, XCB_GC_GRAPHICS_EXPOSURES, gcValues);

  if (kind == kPopUp) {
    d->SetProperty(mId, d->atoms[kNetWmWindowType], XCB_ATOM_ATOM, 32, 1,
                   &d->atoms[kNetWmWindowTypePopupMenu]);
  } else if (kind == kDialog) {
    const xcb_atom_t protocols[] = {d->atoms[kWmDeleteWindow]};
    d->SetProperty(mId, d->atoms[kWmProtocols], XCB_ATOM_ATOM, 32, 1, protocols);
    d->SetProperty(mId, d->atoms[kNetWmWindowType], XCB_ATOM_ATOM, 32, 1,
                   &d->atoms[kNetWmWindowTypeDialog]);
    d->SetProperty(mId, d->atoms[kNetWmState], XCB_ATOM_ATOM, 32, 1, &d->atoms[kNetWmStateModal]);
    const uint32_t top = parent ? mConn.TopLevelOf(parent) : 0;
    if (top) d->SetProperty(mId, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &top);
    // WM_NORMAL_HINTS: program position, minimum and maximum size, so the box keeps its size.
    uint32_t hints[18] = {};
    hints[0] = 4 | 16 | 32;
    hints[1] = (uint32_t)x;
    hints[2] = (uint32_t)y;
    hints[5] = hints[7] = (uint32_t)w;
    hints[6] = hints[8] = (uint32_t)h;
    d->SetProperty(mId, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
  }
}

Window::~Window() {
  Connection::Impl* d = mConn.impl();
  if (mGrabbed) Ungrab();
  if (mBlankCursor) xcb_free_cursor(d->c, mBlankCursor);
  xcb_free_gc(d->c, mGc);
  xcb_destroy_window(d->c, mId);
  xcb_flush(d->c);
}

void Window::SetTitle(const char* title) {
  Connection::Impl* d = mConn.impl();
  const uint32_t n = (uint32_t)strlen(title);
  d->SetProperty(mId, d->atoms[kNetWmName], d->atoms[kUtf8String], 8, n, title);
  d->SetProperty(mId, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, n, title);
}

void Window::Map() {
  xcb_map_window(mConn.impl()->c, mId);
  xcb_flush(mConn.impl()->c);
}

void Window::MoveTo(int x, int y) {
  const uint32_t values[] = {(uint32_t)x, (uint32_t)y};
  xcb_configure_window(mConn.impl()->c, mId, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
}

void Window::Present(const LICE_pixel* pixels, int rowSpan, int x, int y, int w, int h) {
  Connection::Impl* d = mConn.impl();
  if (x < 0) w += x, x = 0;
  if (y < 0) h += y, y = 0;
  if (x + w > mW) w = mW - x;
  if (y + h > mH) h = mH - y;
  if (!pixels || w <= 0 || h <= 0 || !d->formatOk) return;
  const int pad = d->scanlinePad > 0 ? d->scanlinePad : 32;
  const size_t stride = (size_t)(((w * d->format.bitsPerPixel + pad - 1) / pad) * pad / 8);
  // Each request carries as many whole rows as the server takes in one request (its
  // header is 24 bytes).
  int rowsPerRequest = (int)((d->maxRequestBytes - 24) / stride);
  if (rowsPerRequest < 1) rowsPerRequest = 1;
  if (rowsPerRequest > h) rowsPerRequest = h;
  d->converted.resize(stride * (size_t)rowsPerRequest);
  for (int row = 0; row < h; row += rowsPerRequest) {
    const int rows = h - row < rowsPerRequest ? h - row : rowsPerRequest;
    for (int r = 0; r < rows; ++r) {
      const LICE_pixel* src = pixels + (size_t)(y + row + r) * (size_t)rowSpan + x;
      ConvertPixels(src, w, d->format, d->converted.data() + stride * (size_t)r);
    }
    xcb_put_image(d->c, XCB_IMAGE_FORMAT_Z_PIXMAP, mId, mGc, (uint16_t)w, (uint16_t)rows,
                  (int16_t)x, (int16_t)(y + row), 0, d->depth, (uint32_t)(stride * (size_t)rows),
                  d->converted.data());
  }
  xcb_flush(d->c);
}

bool Window::Grab() {
  Connection::Impl* d = mConn.impl();
  const uint16_t events =
      XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
  // Both requests go out before either reply is awaited, the keyboard first: by the time the
  // pointer grab shows (its crossing events), keys already come to us. Asked one after the
  // other, keys typed while we waited for the pointer's reply went to the focus window.
  const xcb_grab_keyboard_cookie_t kc =
      xcb_grab_keyboard(d->c, 1, mId, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  const xcb_grab_pointer_cookie_t pc =
      xcb_grab_pointer(d->c, 1, mId, events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                       XCB_NONE, XCB_CURRENT_TIME);
  xcb_grab_keyboard_reply_t* k = xcb_grab_keyboard_reply(d->c, kc, nullptr);
  xcb_grab_pointer_reply_t* p = xcb_grab_pointer_reply(d->c, pc, nullptr);
  mGrabbed = p && p->status == XCB_GRAB_STATUS_SUCCESS && k && k->status == XCB_GRAB_STATUS_SUCCESS;
  free(p);
  free(k);
  if (!mGrabbed) Ungrab();
  return mGrabbed;
}

void Window::Ungrab() {
  Connection::Impl* d = mConn.impl();
  xcb_ungrab_pointer(d->c, XCB_CURRENT_TIME);
  xcb_ungrab_keyboard(d->c, XCB_CURRENT_TIME);
  xcb_flush(d->c);
  mGrabbed = false;
}

void Window::SetCursorHidden(bool hidden) {
  Connection::Impl* d = mConn.impl();
  if (hidden && !mBlankCursor) {
    // A cursor made of an empty 1 x 1 bitmap.
    const xcb_pixmap_t pixmap = xcb_generate_id(d->c);
    xcb_create_pixmap(d->c, 1, pixmap, mId, 1, 1);
    mBlankCursor = xcb_generate_id(d->c);
    xcb_create_cursor(d->c, mBlankCursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
    xcb_free_pixmap(d->c, pixmap);
  }
  const uint32_t value[] = {hidden ? mBlankCursor : (uint32_t)XCB_NONE};
  xcb_change_window_attributes(d->c, mId, XCB_CW_CURSOR, value);
  xcb_flush(d->c);
}

void Window::TakeFocus() {
  xcb_set_input_focus(mConn.impl()->c, XCB_INPUT_FOCUS_PARENT, mId, XCB_CURRENT_TIME);
  xcb_flush(mConn.impl()->c);
}

}  // namespace x11
