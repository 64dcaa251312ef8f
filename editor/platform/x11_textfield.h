#pragma once
// One line of text being edited: the text, the caret, the character filter and the length
// limit. Pure logic, shared by the editor's text field and the built-in path dialog; the keys
// arrive as key symbols with their text.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace x11 {

class LineEditor {
 public:
  enum Outcome { kEditing, kCommit, kCancel, kPaste };

  // What may be inserted of some text when `room` more characters fit: a filter returns the
  // part it accepts (at most room characters).
  using Filter = std::function<std::string(const std::string& text, size_t room)>;

  // maxChars: the longest text in characters (0: no limit); filter: null takes any printable
  // text. The initial text is kept as it is.
  LineEditor(const std::string& initial, int maxChars, Filter filter = nullptr);

  // One key: editing keys change the text or the caret; Return and keypad Enter commit,
  // Escape cancels; Ctrl+V or Shift+Insert ask the owner to paste.
  Outcome Key(uint32_t keysym, const char* text, bool control, bool shift);
  // Inserts UTF-8 text at the caret: line breaks and control characters are dropped, then what
  // the filter refuses, and only as many characters as the length limit leaves room for are
  // taken.
  void Insert(const std::string& utf8);

  const std::string& Text() const { return mText; }
  // The caret as a byte offset into Text().
  size_t Caret() const { return mCaret; }

 private:
  size_t Chars() const;

  std::string mText;
  int mMaxChars;
  Filter mFilter;
  size_t mCaret;
};

}  // namespace x11
