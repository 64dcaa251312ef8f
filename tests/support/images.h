#pragma once
// Looking at bitmaps in tests: pixel access, whole images as lists of pixels, golden images.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "render/png.h"
#include "tools/quenta_render/editor_png.h"

namespace quenta_test {

inline LICE_pixel& At(LICE_IBitmap& bm, int x, int y) {
  return bm.getBits()[(size_t)y * (size_t)bm.getRowSpan() + (size_t)x];
}

// Every pixel, row by row, without the rows' padding.
inline std::vector<LICE_pixel> Pixels(LICE_IBitmap& bm) {
  std::vector<LICE_pixel> v;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) v.push_back(At(bm, x, y));
  return v;
}

// The colours only, as 0xRRGGBB (what an X server's 24-bit screen shows).
inline std::vector<uint32_t> RgbPixels(LICE_IBitmap& bm) {
  std::vector<uint32_t> v;
  for (LICE_pixel p : Pixels(bm))
    v.push_back(LICE_GETR(p) << 16 | LICE_GETG(p) << 8 | LICE_GETB(p));
  return v;
}

// Compares the colours of bmp with the PNG stored at relPath under the source tree. With
// QUENTA_UPDATE_GOLDEN=1 in the environment it rewrites the stored file instead. On a
// difference it writes <name>-actual.png and <name>-diff.png (the image darkened, differing
// pixels magenta) into the working folder and fails, naming updateCommand.
inline void ExpectGolden(LICE_IBitmap* bmp, const std::string& relPath, const std::string& name,
                         const std::string& updateCommand) {
  ASSERT_NE(bmp, nullptr);
  const std::string golden = std::string(QUENTA_SOURCE_DIR) + "/" + relPath;
  std::string error;
  const char* update = std::getenv("QUENTA_UPDATE_GOLDEN");
  if (update && update[0] == '1') {
    ASSERT_TRUE(qrender::writePng(bmp, golden, error)) << error;
    std::printf("updated %s\n", golden.c_str());
    return;
  }
  LICE_MemBitmap stored;
  ASSERT_NE(LICE_LoadPNG(golden.c_str(), &stored), nullptr)
      << golden << " is missing; create it with: " << updateCommand;
  ASSERT_EQ(stored.getWidth(), bmp->getWidth());
  ASSERT_EQ(stored.getHeight(), bmp->getHeight());
  const std::vector<uint32_t> want = RgbPixels(stored), got = RgbPixels(*bmp);
  LICE_MemBitmap diff(bmp->getWidth(), bmp->getHeight());
  int differing = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    const uint32_t p = got[i];
    differing += want[i] != p;
    diff.getBits()[i / diff.getWidth() * diff.getRowSpan() + i % diff.getWidth()] =
        want[i] != p ? LICE_RGBA(255, 0, 255, 255)
                     : LICE_RGBA((p >> 16 & 255) / 4, (p >> 8 & 255) / 4, (p & 255) / 4, 255);
  }
  if (differing) {
    qrender::writePng(bmp, name + "-actual.png", error);
    qrender::writePng(&diff, name + "-diff.png", error);
  }
  EXPECT_EQ(differing, 0) << "pixels differ from " << golden << "; see " << name
                          << "-actual.png and " << name << "-diff.png in the test's folder, and "
                          << "accept them with: " << updateCommand;
}

}  // namespace quenta_test
