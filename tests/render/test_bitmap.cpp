// Bitmaps: rows aligned as asked, and a size that cannot be had leaves the bitmap as it was.
#include <gtest/gtest.h>

#include "render/bitmap.h"

TEST(Bitmap, RowSpansAndImpossibleSizes) {
  const struct {
    int w;
    unsigned align;
    int span;
  } cases[] = {{5, 4, 8}, {8, 4, 8}, {5, 16, 16}, {5, 1, 5}, {5, 0, 5}, {17, 16, 32}};
  for (const auto& c : cases) {
    LICE_MemBitmap bm(c.w, 3, c.align);
    EXPECT_EQ(bm.getRowSpan(), c.span) << c.w << " aligned to " << c.align;
    bm.getBits()[c.span * 3 - 1] = 1;  // the last pixel is there to write
  }
  LICE_MemBitmap mem(3, 3);
  LICE_SysBitmap sys(1480, 660);
  for (LICE_IBitmap* bm : {(LICE_IBitmap*)&mem, (LICE_IBitmap*)&sys}) {
    LICE_pixel* bits = bm->getBits();
    const int w = bm->getWidth();
    EXPECT_FALSE(bm->resize(0x7fffffff, 0x7fffffff));
    EXPECT_EQ(bm->getBits(), bits);
    EXPECT_EQ(bm->getWidth(), w);
  }
}
