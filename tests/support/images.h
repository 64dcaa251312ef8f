#pragma once
// Looking at bitmaps in tests: pixel access, whole images as lists of pixels, golden images.
#include <cstdint>
#include <string>
#include <vector>

#include "render/bitmap.h"

namespace quenta_test {

inline LICE_pixel& At(LICE_IBitmap& bm, int x, int y) {
  return bm.getBits()[(size_t)y * (size_t)bm.getRowSpan() + (size_t)x];
}

// Every pixel, row by row, without the rows' padding.
std::vector<LICE_pixel> Pixels(LICE_IBitmap& bm);
// The colours only, as 0xRRGGBB (what an X server's 24-bit screen shows).
std::vector<uint32_t> RgbPixels(LICE_IBitmap& bm);

// Compares the colours of bmp with the PNG stored at relPath under the source tree. With
// QUENTA_UPDATE_GOLDEN=1 in the environment it rewrites the stored file instead. On a
// difference it writes <name>-actual.png and <name>-diff.png (the image darkened, differing
// pixels magenta) into the working folder and fails, naming updateCommand.
void ExpectGolden(LICE_IBitmap* bmp, const std::string& relPath, const std::string& name,
                  const std::string& updateCommand);

}  // namespace quenta_test
