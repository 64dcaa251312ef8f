// Memory and system bitmaps: row spans, the allocation rules (exact first, a quarter more when
// growing, kept when shrinking) and what a zero size does.
#include <gtest/gtest.h>

#include "render/bitmap.h"

TEST(MemBitmap, RowSpanRoundsTheWidthUpToTheLineAlignment) {
  struct Case {
    int w;
    unsigned align;
    int span;
  };
  const Case cases[] = {{5, 4, 8}, {8, 4, 8}, {5, 16, 16}, {5, 1, 5}, {5, 0, 5}, {17, 16, 32}};
  for (const Case& c : cases) {
    LICE_MemBitmap bm(c.w, 3, c.align);
    EXPECT_EQ(bm.getRowSpan(), c.span) << c.w << " aligned to " << c.align;
    EXPECT_EQ(bm.getWidth(), c.w);
    EXPECT_EQ(bm.getHeight(), 3);
    EXPECT_FALSE(bm.isFlipped());
    EXPECT_EQ(bm.getDC(), nullptr);
    EXPECT_EQ(bm.Extended(1, nullptr), 0);
  }
}

TEST(MemBitmap, AllocatesExactlyThenGrowsByAQuarterAndKeepsMemoryWhenShrinking) {
  const size_t slack = LICE_MemBitmap::kSlackBytes;
  LICE_MemBitmap bm(10, 10, 4);  // span 12
  EXPECT_EQ(bm.allocatedBytes(), 12u * 10 * 4 + slack);
  LICE_pixel* first = bm.getBits();
  ASSERT_NE(first, nullptr);
  first[12 * 10 - 1] = 0x12345678;  // the last pixel is ours to write

  EXPECT_TRUE(bm.resize(4, 4));
  EXPECT_EQ(bm.getBits(), first);
  EXPECT_EQ(bm.getRowSpan(), 4);
  EXPECT_EQ(bm.allocatedBytes(), 12u * 10 * 4 + slack);
  EXPECT_FALSE(bm.resize(4, 4));

  EXPECT_TRUE(bm.resize(20, 20));  // 1600 bytes needed
  EXPECT_EQ(bm.allocatedBytes(), 1600u + 400 + slack);
  EXPECT_TRUE(bm.resize(22, 20));  // 1760 still fits in 2000
  EXPECT_EQ(bm.allocatedBytes(), 1600u + 400 + slack);

  EXPECT_TRUE(bm.resize(0, 5));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_EQ(bm.allocatedBytes(), 0u);
  LICE_MemBitmap negative(-3, 4);
  EXPECT_EQ(negative.getBits(), nullptr);
  EXPECT_EQ(negative.getHeight(), 0);
}

TEST(MemBitmap, AnImpossibleSizeLeavesTheBitmapAsItWas) {
  LICE_MemBitmap bm(3, 3);
  LICE_pixel* bits = bm.getBits();
  EXPECT_FALSE(bm.resize(0x7fffffff, 0x7fffffff));
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getWidth(), 3);
  EXPECT_EQ(bm.getRowSpan(), 4);
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
  EXPECT_TRUE(bm.resize(1480, 660));
  EXPECT_EQ(bm.getBits(), bits);

  EXPECT_TRUE(bm.resize(1481, 10));
  EXPECT_EQ(bm.getRowSpan(), 1484);
  bm.getBits()[1484 * 10 - 1] = 1;
  LICE_SysBitmap small(3, 2);
  EXPECT_EQ(small.getRowSpan(), 4);
}
