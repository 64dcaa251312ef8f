// Memory and system bitmaps: row spans, the allocation rules (exact first, a quarter more when
// growing, kept when shrinking) and what a zero or impossible size does.
#include <gtest/gtest.h>

#include "render/bitmap.h"

TEST(MemBitmap, RowSpanRoundsTheWidthUpToTheLineAlignment) {
  const struct {
    int w;
    unsigned align;
    int span;
  } cases[] = {{5, 4, 8}, {8, 4, 8}, {5, 16, 16}, {5, 1, 5}, {5, 0, 5}, {17, 16, 32}};
  for (const auto& c : cases) {
    LICE_MemBitmap bm(c.w, 3, c.align);
    EXPECT_EQ(bm.getRowSpan(), c.span) << c.w << " aligned to " << c.align;
    EXPECT_EQ(bm.getWidth(), c.w);
    EXPECT_EQ(bm.getHeight(), 3);
  }
}

TEST(MemBitmap, AllocatesExactlyThenGrowsByAQuarterAndKeepsMemoryWhenShrinking) {
  const size_t slack = LICE_MemBitmap::kSlackBytes;
  LICE_MemBitmap bm(10, 10, 4);  // span 12
  EXPECT_EQ(bm.allocatedBytes(), 12u * 10 * 4 + slack);
  LICE_pixel* first = bm.getBits();
  first[12 * 10 - 1] = 0x12345678;  // the last pixel is ours to write

  EXPECT_TRUE(bm.resize(4, 4));
  EXPECT_FALSE(bm.resize(4, 4));
  EXPECT_EQ(bm.getBits(), first);
  EXPECT_EQ(bm.getRowSpan(), 4);
  EXPECT_TRUE(bm.resize(20, 20));  // 1600 bytes needed
  EXPECT_EQ(bm.allocatedBytes(), 1600u + 400 + slack);
  EXPECT_TRUE(bm.resize(22, 20));  // 1760 still fits
  EXPECT_EQ(bm.allocatedBytes(), 1600u + 400 + slack);

  EXPECT_TRUE(bm.resize(0, 5));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_EQ(bm.allocatedBytes(), 0u);

  // An impossible size leaves the bitmap as it was.
  LICE_MemBitmap small(3, 3);
  LICE_pixel* bits = small.getBits();
  EXPECT_FALSE(small.resize(0x7fffffff, 0x7fffffff));
  EXPECT_EQ(small.getBits(), bits);
  EXPECT_EQ(small.getWidth(), 3);
}

TEST(SysBitmap, KeepsItsMemoryAndSpanForSizesThatFit) {
  LICE_SysBitmap bm(1480, 660);
  EXPECT_EQ(bm.getRowSpan(), 1480);
  LICE_pixel* bits = bm.getBits();
  bits[1480 * 660 - 1] = 1;
  EXPECT_TRUE(bm.resize(101, 50));
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getRowSpan(), 1480);
  EXPECT_TRUE(bm.resize(0, 0));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_TRUE(bm.resize(1481, 10));
  EXPECT_EQ(bm.getRowSpan(), 1484);
  bm.getBits()[1484 * 10 - 1] = 1;
}
