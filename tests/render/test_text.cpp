// Text: the editor's faces and their line heights; widths and alignment. (Clipping and the
// per-pixel alpha of drawn text show in the editor's repaints and golden image.)
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "render/font.h"

namespace {

std::unique_ptr<LICE_CachedFont> font(const char* face, int h, int weight = 400) {
  const LICE_FontSpec request = {face, h, weight, false, 0, 0};
  return std::unique_ptr<LICE_CachedFont>(LICE_CachedFont::Create(request));
}

}  // namespace

// The packages the build installs supply these files and line heights, which the editor's
// line-height rule works from.
TEST(Text, EditorFacesResolveToTheNamedFamiliesAndMeasureByCharacter) {
  const struct {
    const char *face, *family, *file;
    int weight;
  } cases[] = {
      {"Monaco", "DejaVu Sans Mono", "DejaVuSansMono.ttf", 400},
      {"monaco", "DejaVu Sans Mono", "DejaVuSansMono-Bold.ttf", 700},
      {"Arial", "Liberation Sans", "LiberationSans-Regular.ttf", 400},
      {"Helvetica", "Liberation Sans", "LiberationSans-Bold.ttf", 700},
  };
  const int lineHeights[] = {10, 12, 13, 14, 15, 16};  // sizes 9 .. 14, the same for all four
  for (const auto& c : cases) {
    for (int size = 9; size <= 14; ++size) {
      auto f = font(c.face, size, c.weight);
      ASSERT_NE(f, nullptr) << c.face;
      EXPECT_STREQ(f->GetFamily(), c.family) << c.face;
      EXPECT_EQ(std::filesystem::path(f->GetFile()).filename(), c.file) << c.face;
      EXPECT_EQ(f->GetLineHeight(), lineHeights[size - 9]) << c.face << " " << size;
    }
  }
  // Names the editor does not map still find a face.
  EXPECT_NE(font("No Such Family", 10), nullptr);
  EXPECT_NE(font(nullptr, 10), nullptr);

  // Widths add up per character, UTF-8 decoded; malformed sequences, a lone surrogate and a
  // cut-off sequence count one character per byte.
  auto mono = font("Monaco", 10);
  EXPECT_EQ(mono->GetTextWidth("x"), 6);
  EXPECT_EQ(mono->GetTextWidth(nullptr), 0);
  EXPECT_EQ(mono->GetTextWidth("Hello, World"), 12 * 6);
  EXPECT_EQ(mono->GetTextWidth("caf\xc3\xa9 \xe2\x80\x94"), 6 * 6);
  EXPECT_EQ(mono->GetTextWidth("\xc3(\xed\xa0\x80\xe2\x82"), 7 * 6);
  auto sans = font("Arial", 12);
  EXPECT_EQ(sans->GetTextWidth("il"), sans->GetTextWidth("i") + sans->GetTextWidth("l"));
  EXPECT_LT(sans->GetTextWidth("iiii"), sans->GetTextWidth("WWWW"));
}

// Measuring places the extent by alignment (centre: middle minus half the width, truncated
// toward zero).
TEST(Text, AlignmentPlacesTheMeasuredExtent) {
  auto f = font("Monaco", 10);
  const char* text = "Cutoff";
  const int w = f->GetTextWidth(text);  // 36
  const struct {
    int align;
    LICE_Rect in;
    int left;
  } cases[] = {
      {0, {20, 5, 120, 9}, 20},
      {2, {20, 5, 120, 9}, 120 - w},
      {1, {20, 5, 121, 9}, 70 - w / 2},  // 70.5 - 18 = 52.5 -> 52
      {1, {-50, 0, -1, 0}, -43},         // -25.5 - 18 = -43.5 -> -43
  };
  for (const auto& c : cases) {
    LICE_Rect r = c.in;
    f->DrawText(nullptr, text, &r, c.align, LICE_RGBA(0, 0, 0, 255), nullptr, true);
    EXPECT_EQ(r.left, c.left) << c.align;
    EXPECT_EQ(r.right, c.left + w) << c.align;
    EXPECT_EQ(r.bottom - r.top, f->GetLineHeight());
  }
}
