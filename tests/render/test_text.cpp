// Text: the editor's faces resolve to the named families with fixed line heights; widths,
// alignment, clipping and the per-pixel alpha of drawn text.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/blit.h"
#include "render/font.h"

namespace {

std::unique_ptr<LICE_CachedFont> font(const char* face, int h, int weight = 400, int quality = 0) {
  const LICE_FontSpec spec = {face, h, weight, false, 0, quality};
  return std::unique_ptr<LICE_CachedFont>(LICE_CachedFont::Create(spec));
}

std::string base(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

LICE_pixel& at(LICE_IBitmap& bm, int x, int y) { return bm.getBits()[y * bm.getRowSpan() + x]; }

std::vector<LICE_pixel> pixels(LICE_IBitmap& bm) {
  std::vector<LICE_pixel> v;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) v.push_back(at(bm, x, y));
  return v;
}

void clear(LICE_IBitmap& bm, LICE_pixel p) {
  LICE_FillRect(&bm, 0, 0, bm.getWidth(), bm.getHeight(), p, 1.0f, 0);
}

// Columns and rows holding any pixel that differs from the background.
LICE_Rect inkBounds(LICE_IBitmap& bm, LICE_pixel background) {
  LICE_Rect r = {bm.getWidth(), bm.getHeight(), 0, 0};
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x)
      if (at(bm, x, y) != background) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  return r;
}

const LICE_pixel kBlack = LICE_RGBA(0, 0, 0, 255);
const LICE_pixel kWhite = LICE_RGBA(255, 255, 255, 255);

}  // namespace

// The packages the build installs supply these files; their line heights are what the editor's
// line-height rule works from, so a change of fonts shows up here first.
TEST(Text, EditorFacesResolveToTheNamedFamilies) {
  struct Case {
    const char* face;
    int weight;
    const char* family;
    const char* file;
    int lineHeights[6];  // sizes 9 .. 14
  };
  const Case cases[] = {
      {"Monaco", 400, "DejaVu Sans Mono", "DejaVuSansMono.ttf", {10, 12, 13, 14, 15, 16}},
      {"monaco", 700, "DejaVu Sans Mono", "DejaVuSansMono-Bold.ttf", {10, 12, 13, 14, 15, 16}},
      {"Arial", 400, "Liberation Sans", "LiberationSans-Regular.ttf", {10, 12, 13, 14, 15, 16}},
      {"Helvetica", 700, "Liberation Sans", "LiberationSans-Bold.ttf", {10, 12, 13, 14, 15, 16}},
  };
  for (const Case& c : cases) {
    for (int size = 9; size <= 14; ++size) {
      auto f = font(c.face, size, c.weight);
      ASSERT_NE(f, nullptr) << c.face;
      EXPECT_STREQ(f->GetFamily(), c.family) << c.face;
      EXPECT_EQ(base(f->GetFile()), c.file) << c.face;
      EXPECT_EQ(f->GetLineHeight(), c.lineHeights[size - 9]) << c.face << " " << size;
    }
  }
  // Names the editor does not map still find a face.
  EXPECT_NE(font("No Such Family", 10), nullptr);
  EXPECT_NE(font(nullptr, 10), nullptr);
}

TEST(Text, WidthsAddUpPerCharacterAndDecodeUtf8) {
  auto mono = font("Monaco", 10);
  ASSERT_NE(mono, nullptr);
  const int x = mono->GetTextWidth("x");
  EXPECT_EQ(x, 6);
  EXPECT_EQ(mono->GetTextWidth(""), 0);
  EXPECT_EQ(mono->GetTextWidth(nullptr), 0);
  EXPECT_EQ(mono->GetTextWidth("Hello, World"), 12 * x);
  EXPECT_EQ(mono->GetTextWidth("caf\xc3\xa9 \xe2\x80\x94"),
            6 * x);  // two- and three-byte characters
  // Malformed sequences, a lone surrogate and a cut-off sequence count one character per byte.
  EXPECT_EQ(mono->GetTextWidth("\xc3(\xed\xa0\x80\xe2\x82"), 7 * x);

  auto sans = font("Arial", 12);
  ASSERT_NE(sans, nullptr);
  EXPECT_EQ(sans->GetTextWidth("il"), sans->GetTextWidth("i") + sans->GetTextWidth("l"));
  EXPECT_LT(sans->GetTextWidth("iiii"), sans->GetTextWidth("WWWW"));
}

TEST(Text, MeasuringPlacesTheExtentByAlignment) {
  auto f = font("Monaco", 10);
  ASSERT_NE(f, nullptr);
  const int w = f->GetTextWidth("Cutoff");  // 36
  struct Case {
    int align;
    LICE_Rect in, out;
  };
  const Case cases[] = {
      {0, {100, 5, 200, 9}, {100, 5, 100 + w, 17}},
      {2, {100, 5, 200, 9}, {200 - w, 5, 200, 17}},
      {1, {100, 5, 201, 9}, {150 - w / 2, 5, 150 - w / 2 + w, 17}},  // 150.5 - 18 = 132.5 -> 132
      {1, {-50, 0, -1, 0}, {-43, 0, -43 + w, 12}},                   // -25.5 - 18 = -43.5 -> -43
  };
  for (const Case& c : cases) {
    LICE_Rect r = c.in;
    f->DrawText(nullptr, "Cutoff", &r, c.align, kBlack, nullptr, true);
    EXPECT_EQ(r.left, c.out.left) << c.align;
    EXPECT_EQ(r.top, c.out.top);
    EXPECT_EQ(r.right, c.out.right) << c.align;
    EXPECT_EQ(r.bottom, c.out.bottom);
  }
}

// Right- and centre-aligned text is the left-aligned image moved by exactly the measured
// offset, and it stays inside its line.
TEST(Text, AlignmentMovesTheWholeImage) {
  auto f = font("Arial", 14);
  ASSERT_NE(f, nullptr);
  const char* text = "Filter Env";
  const int w = f->GetTextWidth(text);
  LICE_MemBitmap left(160, 30), other(160, 30);
  clear(left, kWhite);
  LICE_Rect r = {10, 6, 150, 20};
  f->DrawText(&left, text, &r, 0, kBlack, nullptr);
  const LICE_Rect ink = inkBounds(left, kWhite);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 10 + w + 1);
  EXPECT_GE(ink.top, 6);
  EXPECT_LE(ink.bottom, 6 + f->GetLineHeight());
  for (int align : {1, 2}) {
    const int shift = align == 2 ? 140 - w : (int)(80.0 - 0.5 * w) - 10;
    clear(other, kWhite);
    LICE_Rect r2 = r;
    f->DrawText(&other, text, &r2, align, kBlack, nullptr);
    LICE_MemBitmap moved(160, 30);
    clear(moved, kWhite);
    LICE_Blit(&moved, &left, shift, 0, nullptr, 1.0f, 0);
    EXPECT_EQ(pixels(other), pixels(moved)) << "align " << align;
  }
}

// Each text pixel mixes colour and background by its coverage times the colour's alpha; the
// coverage is read from the same text drawn opaque white on black.
TEST(Text, PixelsBlendCoverageWithTheColoursAlpha) {
  auto f = font("Monaco", 13);
  ASSERT_NE(f, nullptr);
  LICE_MemBitmap coverage(120, 20), bm(120, 20);
  clear(coverage, kBlack);
  LICE_Rect r = {2, 2, 118, 18};
  f->DrawText(&coverage, "Gate @ 50%", &r, 0, kWhite, nullptr);
  const LICE_pixel background = LICE_RGBA(40, 90, 200, 160);
  const LICE_pixel colour = LICE_RGBA(250, 20, 100, 128);
  clear(bm, background);
  f->DrawText(&bm, "Gate @ 50%", &r, 0, colour, nullptr);
  int partial = 0, full = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 120; ++x) {
      const int cov = (int)LICE_GETR(at(coverage, x, y));
      partial += cov > 0 && cov < 255;
      full += cov == 255;
      const int a = (cov * 128 + 127) / 255;
      auto mixed = [a](int c, int d) { return (c * a + d * (255 - a) + 127) / 255; };
      const LICE_pixel want = a == 0 ? background
                                     : LICE_RGBA(mixed(250, 40), mixed(20, 90), mixed(100, 200),
                                                 (a * 255 + 160 * (255 - a) + 127) / 255);
      ASSERT_EQ(at(bm, x, y), want) << x << "," << y << " coverage " << cov;
    }
  }
  EXPECT_GT(partial, 20);  // antialiased
  EXPECT_GT(full, 5);

  // Without antialiasing every pixel is either untouched or fully covered.
  auto mono = font("Monaco", 13, 400, 1);
  clear(coverage, kBlack);
  mono->DrawText(&coverage, "Gate @ 50%", &r, 0, kWhite, nullptr);
  for (LICE_pixel p : pixels(coverage)) ASSERT_TRUE(p == kBlack || p == kWhite) << std::hex << p;
}

// Drawing clipped to a rectangle equals drawing unclipped inside it and leaves the rest alone;
// text running off the bitmap is cut at its edges.
TEST(Text, ClipsToTheRectangleAndTheBitmap) {
  auto f = font("Arial", 12);
  ASSERT_NE(f, nullptr);
  LICE_MemBitmap full(80, 20), clipped(80, 20);
  clear(full, kWhite);
  clear(clipped, kWhite);
  LICE_Rect r = {-7, -3, 90, 20};
  f->DrawText(&full, "Resonance Peak", &r, 0, kBlack, nullptr);
  const LICE_Rect clip = {10, 2, 40, 9};
  f->DrawText(&clipped, "Resonance Peak", &r, 0, kBlack, &clip);
  int inside = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 80; ++x) {
      const bool in = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
      ASSERT_EQ(at(clipped, x, y), in ? at(full, x, y) : kWhite) << x << "," << y;
      inside += in && at(full, x, y) != kWhite;
    }
  }
  EXPECT_GT(inside, 10);
}
