#include "editor/quenta.text.h"

#include "editor/IGraphics.h"
#include "render/font.h"

namespace qtext {

namespace {

constexpr size_t kMaxProgramNameBytes = 255;  // the program's name buffer holds 256 with the end
const char* const kEllipsis = "\xE2\x80\xA6";

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of s without its last character.
size_t dropLastChar(const std::string& s) {
  size_t n = s.size();
  if (n == 0) return 0;
  --n;
  while (n > 0 && isContinuation((unsigned char)s[n])) --n;
  return n;
}

}  // namespace

std::string cutUtf8(const char* s, size_t maxBytes) {
  std::string out(s ? s : "");
  if (out.size() <= maxBytes) return out;
  size_t n = maxBytes;
  while (n > 0 && isContinuation((unsigned char)out[n])) --n;
  out.resize(n);
  return out;
}

std::string firstChars(const char* s, int maxChars) {
  std::string out;
  if (!s) return out;
  int chars = 0;
  for (const char* p = s; *p; ++p) {
    if (!isContinuation((unsigned char)*p) && ++chars > maxChars) break;
    out += *p;
  }
  return out;
}

std::string programName(const char* typed) {
  std::string name = cutUtf8(typed, kMaxProgramNameBytes);
  for (char& c : name)
    if ((unsigned char)c < 0x20 || c == 0x7F) c = ' ';
  return name;
}

int textWidth(IGraphics* pGraphics, IText* pText, const char* str) {
  LICE_CachedFont* pFont = pGraphics ? pGraphics->CacheFont(pText) : nullptr;
  return pFont && str ? pFont->GetTextWidth(str) : 0;
}

std::string fitText(IGraphics* pGraphics, IText* pText, const char* str, int width, bool elide) {
  std::string s(str ? str : "");
  if (textWidth(pGraphics, pText, s.c_str()) <= width) return s;
  while (!s.empty()) {
    s.resize(dropLastChar(s));
    const std::string candidate = elide ? s + kEllipsis : s;
    if (textWidth(pGraphics, pText, candidate.c_str()) <= width) return candidate;
  }
  return elide && textWidth(pGraphics, pText, kEllipsis) <= width ? kEllipsis : "";
}

bool drawClipped(IGraphics* pGraphics, IText* pText, const char* str, const IRECT& r, bool elide) {
  if (!str || !*str) return true;
  LICE_CachedFont* pFont = pGraphics ? pGraphics->CacheFont(pText) : nullptr;
  LICE_IBitmap* pSurface = pGraphics ? pGraphics->GetDrawBitmap() : nullptr;
  if (!pFont || !pSurface) return false;
  const std::string fitted = fitText(pGraphics, pText, str, r.W(), elide);
  const IRECT clip = pGraphics->GetDrawRECT().Intersect(r).Intersect(
      IRECT(0, 0, pGraphics->Width(), pGraphics->Height()));
  if (!clip.HasArea() || fitted.empty()) return true;
  LICE_Rect lr{r.L, r.T, r.R, r.B};
  const LICE_Rect lclip{clip.L, clip.T, clip.R, clip.B};
  const IColor& c = pText->mColor;
  pFont->DrawText(pSurface, fitted.c_str(), &lr, pText->mAlign, LICE_RGBA(c.R, c.G, c.B, c.A),
                  &lclip);
  return true;
}

}  // namespace qtext
