#include "editor/platform/x11_textfield.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace x11 {

namespace {

bool IsContinuation(char c) { return ((unsigned char)c & 0xC0) == 0x80; }

// Byte length of the UTF-8 character starting with c (1 for stray bytes).
size_t CharLength(char c) {
  const unsigned char u = (unsigned char)c;
  return u >= 0xF0 ? 4 : u >= 0xE0 ? 3 : u >= 0xC0 ? 2 : 1;
}

}  // namespace

LineEditor::LineEditor(const std::string& initial, int maxChars, Filter filter)
    : mText(initial), mMaxChars(maxChars), mFilter(std::move(filter)), mCaret(initial.size()) {}

size_t LineEditor::Chars() const {
  size_t n = 0;
  for (char c : mText) n += IsContinuation(c) ? 0 : 1;
  return n;
}

void LineEditor::Insert(const std::string& utf8) {
  std::string printable;
  for (size_t i = 0; i < utf8.size();) {
    const size_t len = CharLength(utf8[i]);
    if (i + len > utf8.size()) break;  // a cut-off character at the end
    const unsigned char c = (unsigned char)utf8[i];
    if (len > 1 || (c >= 0x20 && c != 0x7f)) printable.append(utf8, i, len);
    i += len;
  }
  const size_t used = Chars();
  const size_t room = mMaxChars <= 0             ? printable.size()
                      : (size_t)mMaxChars > used ? (size_t)mMaxChars - used
                                                 : 0;
  std::string accepted = mFilter ? mFilter(printable, room) : printable;
  // Whatever the filter returns, no more than room characters go in.
  size_t end = 0;
  for (size_t n = 0; end < accepted.size() && n < room; ++n) end += CharLength(accepted[end]);
  accepted.resize(end < accepted.size() ? end : accepted.size());
  mText.insert(mCaret, accepted);
  mCaret += accepted.size();
}

LineEditor::Outcome LineEditor::Key(uint32_t keysym, const char* text, bool control, bool shift) {
  switch (keysym) {
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter: return kCommit;
    case XKB_KEY_Escape: return kCancel;
    case XKB_KEY_BackSpace:
      if (mCaret > 0) {
        size_t start = mCaret - 1;
        while (start > 0 && IsContinuation(mText[start])) --start;
        mText.erase(start, mCaret - start);
        mCaret = start;
      }
      return kEditing;
    case XKB_KEY_Delete:
    case XKB_KEY_KP_Delete:
      if (mCaret < mText.size()) mText.erase(mCaret, CharLength(mText[mCaret]));
      return kEditing;
    case XKB_KEY_Left:
    case XKB_KEY_KP_Left:
      if (mCaret > 0) {
        --mCaret;
        while (mCaret > 0 && IsContinuation(mText[mCaret])) --mCaret;
      }
      return kEditing;
    case XKB_KEY_Right:
    case XKB_KEY_KP_Right:
      if (mCaret < mText.size()) mCaret += CharLength(mText[mCaret]);
      return kEditing;
    case XKB_KEY_Home:
    case XKB_KEY_KP_Home: mCaret = 0; return kEditing;
    case XKB_KEY_End:
    case XKB_KEY_KP_End: mCaret = mText.size(); return kEditing;
    case XKB_KEY_Insert: return shift ? kPaste : kEditing;
    default: break;
  }
  if (control) return keysym == XKB_KEY_v || keysym == XKB_KEY_V ? kPaste : kEditing;
  if (text && text[0]) Insert(text);
  return kEditing;
}

}  // namespace x11
