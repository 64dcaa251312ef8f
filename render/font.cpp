#include "render/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <strings.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Faces are found through fontconfig (initialised once, and called under one lock: it is the
// only process-wide state here). Each font owns its own FreeType library instance, so fonts
// share nothing; a font's glyph cache is guarded by the font's own lock, as the editor's font
// cache hands one font to every editor in the process.

namespace {

std::mutex gFontconfigLock;
bool gFontconfigReady = false;  // guarded by gFontconfigLock

// One family to try: named families must really be what fontconfig returns; generic ones (and
// names the editor does not know) take whatever fontconfig substitutes.
struct Candidate {
  const char* family;
  bool exact;
};

std::vector<Candidate> candidatesFor(const char* face) {
  if (!strcasecmp(face, "Monaco"))
    return {{"DejaVu Sans Mono", true}, {"Liberation Mono", true}, {"monospace", false}};
  if (!strcasecmp(face, "Arial") || !strcasecmp(face, "Helvetica"))
    return {{"Liberation Sans", true}, {"DejaVu Sans", true}, {"sans-serif", false}};
  return {{face, false}};
}

struct Match {
  std::string file, family;
  int index = 0;
  bool embolden = false;
  FT_Matrix shear = {0x10000, 0, 0, 0x10000};  // synthetic oblique, when fontconfig asks for it
};

bool hasFamily(FcPattern* p, const char* family) {
  FcChar8* s = nullptr;
  for (int i = 0; FcPatternGetString(p, FC_FAMILY, i, &s) == FcResultMatch; ++i) {
    if (!strcasecmp(reinterpret_cast<const char*>(s), family)) return true;
  }
  return false;
}

bool findFace(const Candidate& c, int weight, bool italic, Match* out) {
  std::lock_guard<std::mutex> lock(gFontconfigLock);
  if (!gFontconfigReady) gFontconfigReady = FcInit() == FcTrue;
  if (!gFontconfigReady) return false;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(c.family));
  FcPatternAddInteger(pat, FC_WEIGHT,
                      FcWeightFromOpenType(weight >= 1 && weight <= 1000 ? weight : 400));
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res = FcResultNoMatch;
  FcPattern* m = FcFontMatch(nullptr, pat, &res);
  FcPatternDestroy(pat);
  if (!m) return false;
  bool ok = false;
  FcChar8* file = nullptr;
  FcChar8* family = nullptr;
  if (FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch &&
      FcPatternGetString(m, FC_FAMILY, 0, &family) == FcResultMatch &&
      (!c.exact || hasFamily(m, c.family))) {
    out->file = reinterpret_cast<const char*>(file);
    out->family = c.exact ? c.family : reinterpret_cast<const char*>(family);
    int index = 0;
    if (FcPatternGetInteger(m, FC_INDEX, 0, &index) == FcResultMatch) out->index = index;
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(m, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) out->embolden = embolden;
    FcMatrix* mx = nullptr;
    if (FcPatternGetMatrix(m, FC_MATRIX, 0, &mx) == FcResultMatch && mx) {
      out->shear = {(FT_Fixed)(mx->xx * 0x10000), (FT_Fixed)(mx->xy * 0x10000),
                    (FT_Fixed)(mx->yx * 0x10000), (FT_Fixed)(mx->yy * 0x10000)};
    }
    ok = true;
  }
  FcPatternDestroy(m);
  return ok;
}

// Decodes one UTF-8 character at *p and advances past it; malformed, overlong and surrogate
// sequences give U+FFFD and skip one byte.
uint32_t nextCodepoint(const unsigned char*& p) {
  const unsigned c = *p++;
  if (c < 0x80) return c;
  int extra;
  uint32_t cp, min;
  if ((c & 0xe0) == 0xc0) {
    extra = 1, cp = c & 0x1f, min = 0x80;
  } else if ((c & 0xf0) == 0xe0) {
    extra = 2, cp = c & 0x0f, min = 0x800;
  } else if ((c & 0xf8) == 0xf0) {
    extra = 3, cp = c & 0x07, min = 0x10000;
  } else {
    return 0xfffd;
  }
  for (int i = 0; i < extra; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0xfffd;
    cp = cp << 6 | (p[i] & 0x3f);
  }
  if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0xfffd;
  p += extra;
  return cp;
}

constexpr size_t kMaxCachedGlyphs = 4096;
constexpr int kMaxHeight = 1024;  // pixels; larger requests are cut to this

}  // namespace

struct LICE_CachedFont::Impl {
  struct Glyph {
    int left = 0, top = 0;  // bitmap origin from the pen, pixels (top: up from the baseline)
    int width = 0, rows = 0;
    FT_Pos advanceX = 0, advanceY = 0;  // 26.6, y up
    int advance = 0;                    // whole pixels along the baseline
    std::vector<uint8_t> coverage;      // width x rows, 0 .. 255
  };

  std::mutex lock;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  Match match;
  int ascender = 0, lineHeight = 1;
  bool mono = false, rotated = false;
  double angle = 0.0;  // radians, counter-clockwise on screen
  std::unordered_map<uint32_t, Glyph> glyphs;

  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  bool open(const Match& m, const LICE_FontSpec& request);
  const Glyph& glyph(uint32_t cp);
  int width(const char* utf8);
};

bool LICE_CachedFont::Impl::open(const Match& m, const LICE_FontSpec& request) {
  match = m;
  if (FT_Init_FreeType(&library) != 0) return false;
  if (FT_New_Face(library, m.file.c_str(), m.index, &face) != 0) return false;
  if (!FT_IS_SCALABLE(face)) return false;
  const int h = request.height < 1 ? 1 : request.height > kMaxHeight ? kMaxHeight : request.height;
  if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)h) != 0) return false;
  const FT_Size_Metrics& sm = face->size->metrics;
  ascender = (int)((sm.ascender + 63) >> 6);
  lineHeight = (int)((sm.height + 32) >> 6);
  if (lineHeight < 1) lineHeight = (int)((sm.ascender - sm.descender + 63) >> 6);
  if (lineHeight < 1) lineHeight = 1;
  mono = request.quality == 1;
  angle = (request.orientationTenths % 3600) * M_PI / 1800.0;
  rotated = request.orientationTenths % 3600 != 0;
  FT_Matrix rot = {0x10000, 0, 0, 0x10000};
  if (rotated) {
    const FT_Fixed c = (FT_Fixed)std::lround(std::cos(angle) * 0x10000);
    const FT_Fixed s = (FT_Fixed)std::lround(std::sin(angle) * 0x10000);
    rot = {c, -s, s, c};
  }
  FT_Matrix mx = match.shear;
  FT_Matrix_Multiply(&rot, &mx);  // shear first, then rotate
  FT_Set_Transform(face, &mx, nullptr);
  return true;
}

const LICE_CachedFont::Impl::Glyph& LICE_CachedFont::Impl::glyph(uint32_t cp) {
  auto it = glyphs.find(cp);
  if (it != glyphs.end()) return it->second;
  if (glyphs.size() >= kMaxCachedGlyphs) glyphs.clear();
  Glyph& g = glyphs[cp];
  const FT_Int32 flags = FT_LOAD_DEFAULT | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
  if (FT_Load_Char(face, cp, flags) != 0) return g;
  FT_GlyphSlot slot = face->glyph;
  if (match.embolden) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return g;
  g.advanceX = slot->advance.x;
  g.advanceY = slot->advance.y;
  g.advance = rotated ? (int)std::lround(std::hypot((double)g.advanceX, (double)g.advanceY) / 64.0)
                      : (int)((g.advanceX + 32) >> 6);
  if (!rotated) g.advanceX = (FT_Pos)g.advance * 64;
  const FT_Bitmap& b = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = (int)b.width;
  g.rows = (int)b.rows;
  g.coverage.resize((size_t)g.width * g.rows);
  for (int y = 0; y < g.rows; ++y) {
    const unsigned char* src = b.buffer + (ptrdiff_t)y * b.pitch;
    uint8_t* dst = g.coverage.data() + (size_t)y * g.width;
    for (int x = 0; x < g.width; ++x) {
      if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
        dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      } else {
        dst[x] = src[x];  // FT_PIXEL_MODE_GRAY with 256 levels
      }
    }
  }
  return g;
}

int LICE_CachedFont::Impl::width(const char* utf8) {
  int w = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;)
    w += glyph(nextCodepoint(p)).advance;
  return w;
}

LICE_CachedFont::LICE_CachedFont(Impl* impl) : mImpl(impl) {}

LICE_CachedFont::~LICE_CachedFont() { delete mImpl; }

LICE_CachedFont* LICE_CachedFont::Create(const LICE_FontSpec& request) {
  const char* face = request.face && *request.face ? request.face : "sans-serif";
  for (const Candidate& c : candidatesFor(face)) {
    Match m;
    if (!findFace(c, request.weight, request.italic, &m)) continue;
    Impl* impl = new Impl;
    if (impl->open(m, request)) return new LICE_CachedFont(impl);
    delete impl;
  }
  return nullptr;
}

int LICE_CachedFont::GetLineHeight() const { return mImpl->lineHeight; }

const char* LICE_CachedFont::GetFamily() const { return mImpl->match.family.c_str(); }

const char* LICE_CachedFont::GetFile() const { return mImpl->match.file.c_str(); }

int LICE_CachedFont::GetTextWidth(const char* utf8) const {
  if (!utf8) return 0;
  std::lock_guard<std::mutex> lock(mImpl->lock);
  return mImpl->width(utf8);
}

namespace {

// One glyph's coverage blended into the bitmap inside the clip rectangle (already limited to
// the bitmap). Coverage times the colour's alpha gives each pixel's weight a out of 255; the
// colour and the destination mix as c * a + d * (255 - a), rounded, and the destination's
// alpha grows as a + da * (255 - a) / 255.
void blendCoverage(LICE_pixel* bits, int span, const LICE_Rect& clip, int x0, int y0, int w, int h,
                   const uint8_t* coverage, LICE_pixel colour) {
  const int cx0 = x0 > clip.left ? x0 : clip.left, cy0 = y0 > clip.top ? y0 : clip.top;
  const int cx1 = x0 + w < clip.right ? x0 + w : clip.right;
  const int cy1 = y0 + h < clip.bottom ? y0 + h : clip.bottom;
  if (cx1 <= cx0 || cy1 <= cy0) return;
  const int ca = (int)LICE_GETA(colour);
  const int cr = (int)LICE_GETR(colour), cg = (int)LICE_GETG(colour), cb = (int)LICE_GETB(colour);
  for (int y = cy0; y < cy1; ++y) {
    const uint8_t* cov = coverage + (size_t)(y - y0) * w + (cx0 - x0);
    LICE_pixel* d = bits + (ptrdiff_t)y * span + cx0;
    for (int x = cx0; x < cx1; ++x, ++cov, ++d) {
      const int a = (*cov * ca + 127) / 255;
      if (a == 0) continue;
      const int ia = 255 - a;
      const LICE_pixel p = *d;
      *d = LICE_RGBA((cr * a + (int)LICE_GETR(p) * ia + 127) / 255,
                     (cg * a + (int)LICE_GETG(p) * ia + 127) / 255,
                     (cb * a + (int)LICE_GETB(p) * ia + 127) / 255,
                     (a * 255 + (int)LICE_GETA(p) * ia + 127) / 255);
    }
  }
}

}  // namespace

void LICE_CachedFont::DrawText(LICE_IBitmap* dest, const char* utf8, LICE_Rect* r, int align,
                               LICE_pixel colour, const LICE_Rect* clip, bool measure) {
  if (!utf8 || !r) return;
  std::lock_guard<std::mutex> lock(mImpl->lock);
  const int w = mImpl->width(utf8);
  int x;
  if (align == 1) {
    x = (int)std::trunc(0.5 * ((double)r->left + r->right) - 0.5 * w);
  } else if (align == 2) {
    x = r->right - w;
  } else {
    x = r->left;
  }
  if (measure) {
    r->left = x;
    r->right = x + w;
    r->bottom = r->top + mImpl->lineHeight;
    return;
  }
  if (!dest || !dest->getBits()) return;
  LICE_Rect c = {0, 0, dest->getWidth(), dest->getHeight()};
  if (clip) {
    if (clip->left > c.left) c.left = clip->left;
    if (clip->top > c.top) c.top = clip->top;
    if (clip->right < c.right) c.right = clip->right;
    if (clip->bottom < c.bottom) c.bottom = clip->bottom;
  }
  if (c.right <= c.left || c.bottom <= c.top) return;

  // The pen, in 26.6 screen coordinates (y down), starts on the baseline one ascender below the
  // top of the line, turned with the text.
  const double sn = std::sin(mImpl->angle), cs = std::cos(mImpl->angle);
  FT_Pos penX = (FT_Pos)x * 64 + (FT_Pos)std::lround(mImpl->ascender * sn * 64.0);
  FT_Pos penY = (FT_Pos)r->top * 64 + (FT_Pos)std::lround(mImpl->ascender * cs * 64.0);
  LICE_pixel* bits = dest->getBits();
  const int span = dest->getRowSpan();
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
    const Impl::Glyph& g = mImpl->glyph(nextCodepoint(p));
    const int gx = (int)((penX + 32) >> 6) + g.left;
    const int gy = (int)((penY + 32) >> 6) - g.top;
    if (!g.coverage.empty())
      blendCoverage(bits, span, c, gx, gy, g.width, g.rows, g.coverage.data(), colour);
    penX += g.advanceX;
    penY -= g.advanceY;
  }
}
