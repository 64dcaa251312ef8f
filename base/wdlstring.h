#pragma once
// Growable NUL-terminated character string. Get() never returns null.
#include <cstdarg>
#include <cstdio>
#include <string>

class WDL_String {
 public:
  WDL_String() = default;
  explicit WDL_String(const char* s, int maxlen = -1) { Set(s, maxlen); }

  const char* Get() const { return mStr.c_str(); }
  int GetLength() const { return (int)mStr.size(); }

  // Copies s, at most maxlen characters when maxlen >= 0; a null s gives the empty string.
  // s may point into this string.
  void Set(const char* s, int maxlen = -1) { mStr.assign(s ? s : "", Length(s, maxlen)); }
  void Append(const char* s, int maxlen = -1) { mStr.append(s ? s : "", Length(s, maxlen)); }
  void SetFormatted(int maxlen, const char* fmt, ...) __attribute__((format(printf, 3, 4))) {
    std::string buf((size_t)(maxlen > 0 ? maxlen : 1) + 1, '\0');
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(&buf[0], buf.size(), fmt, ap);
    va_end(ap);
    if (n < 0) n = 0;
    if ((size_t)n >= buf.size()) n = (int)buf.size() - 1;
    mStr.assign(buf.data(), (size_t)n);
  }
  // Cuts the string to at most n characters.
  void SetLen(int n) {
    if (n >= 0 && (size_t)n < mStr.size()) mStr.resize((size_t)n);
  }

 private:
  static size_t Length(const char* s, int maxlen) {
    size_t n = 0;
    while (s && s[n] && (maxlen < 0 || (int)n < maxlen)) ++n;
    return n;
  }

  std::string mStr;
};
