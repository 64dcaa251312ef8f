// PNG loading: files of every form the loader converts, written by the test with libpng and
// decoded byte for byte; broken and oversized files refused without touching the caller's
// bitmap, without leaks and without large allocations.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <memory>

#include "png_writer.h"
#include "render/png.h"
#include "support/images.h"
#include "support/test_files.h"

using namespace quenta_test;
using quenta_test::Pixels;

// The sanitizers let a test watch every allocation; the plain build has no such hook.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*))
    __attribute__((weak));

namespace {

// The file f with the width and height in its header replaced (and the header's CRC made right
// again): a valid header that libpng would take, with image data for another size.
std::string withSize(std::string f, uint32_t w, uint32_t h) {
  quenta_test::SetBE32(f, 16, w);
  quenta_test::SetBE32(f, 20, h);
  // The chunk's type and its 13 bytes.
  quenta_test::SetBE32(f, 29, (uint32_t)crc32(0, (const Bytef*)&f[12], 17));
  return f;
}

size_t gLargest = 0;
void onMalloc(const volatile void*, size_t n) { gLargest = std::max(gLargest, n); }
void onFree(const volatile void*) {}

}  // namespace

TEST(LoadPNG, EveryFormDecodesByteForByte) {
  struct Case {
    const char* what;
    int w, colourType, depth;
    bool interlaced, trns;
  };
  // 13 x 11 has partial interlace blocks and rows that end inside a byte.
  const Case cases[] = {
      {"palette with transparency", 13, PNG_COLOR_TYPE_PALETTE, 8, false, true},
      {"4-bit palette with transparency", 13, PNG_COLOR_TYPE_PALETTE, 4, false, true},
      {"1-bit grey", 13, PNG_COLOR_TYPE_GRAY, 1, false, false},
      {"2-bit grey with a transparent level", 13, PNG_COLOR_TYPE_GRAY, 2, false, true},
      {"8-bit grey with alpha", 13, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
      {"16-bit grey with a transparent level", 13, PNG_COLOR_TYPE_GRAY, 16, false, true},
      {"16-bit RGBA", 13, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},
      {"RGB", 13, PNG_COLOR_TYPE_RGB, 8, false, false},
      {"RGB with a transparent colour", 13, PNG_COLOR_TYPE_RGB, 8, false, true},
      {"interlaced RGBA", 13, PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false},
      {"interlaced 1-bit grey", 13, PNG_COLOR_TYPE_GRAY, 1, true, false},
      {"interlaced palette", 13, PNG_COLOR_TYPE_PALETTE, 8, true, true},
      {"as wide as allowed", LICE_PNG_MAX_SIDE, PNG_COLOR_TYPE_GRAY, 8, false, false},
  };
  quenta_test::TempDir dir;
  const std::string file = dir.File("t.png");
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Image img = randomImage(c.w, 11, c.colourType, c.depth, c.interlaced, c.trns, seed++);
    ASSERT_TRUE(write(img, file));
    std::unique_ptr<LICE_IBitmap> bm(LICE_LoadPNG(file.c_str()));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->getWidth(), c.w);
    EXPECT_EQ(bm->getHeight(), 11);
    EXPECT_EQ(bm->getRowSpan(), (c.w + 3) / 4 * 4);  // a memory bitmap aligned to 4 pixels
    EXPECT_EQ(Pixels(*bm), img.expected());

    LICE_SysBitmap into(50, 2);
    EXPECT_EQ(LICE_LoadPNG(file.c_str(), &into), &into);
    EXPECT_EQ(Pixels(into), img.expected());
  }
}

// Every failure returns null and leaves the caller's bitmap exactly as it was.
TEST(LoadPNG, BadFilesAreRefusedAndTheCallersBitmapKept) {
  quenta_test::TempDir dir;
  const std::string file = dir.File("t.png");
  ASSERT_TRUE(write(randomImage(40, 30, PNG_COLOR_TYPE_RGB, 8, false, false, 9), file));
  const std::string good = quenta_test::ReadFile(file);
  std::string badCrc = good;
  badCrc[good.size() / 2] ^= 0x55;
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"truncated in the image data", good.substr(0, good.size() / 2)},
      {"truncated in the header", good.substr(0, 20)},
      {"corrupt image data", badCrc},
      {"empty", ""},
      {"not a PNG", std::string("GIF89a\0\0\0\0", 10)},
      {"100000 x 100000", withSize(good, 100000, 100000)},
      {"one row too tall", withSize(good, 40, LICE_PNG_MAX_SIDE + 1)},
      {"zero width", withSize(good, 0, 30)},
  };
  const bool watching = __sanitizer_install_malloc_and_free_hooks &&
                        __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    quenta_test::WriteFile(file, c.file);
    LICE_MemBitmap mine(7, 5);
    for (int i = 0; i < 8 * 5; ++i) mine.getBits()[i] = (LICE_pixel)i * 0x01020304u;
    const std::vector<LICE_pixel> before = Pixels(mine);
    LICE_pixel* bits = mine.getBits();
    gLargest = 0;
    EXPECT_EQ(LICE_LoadPNG(file.c_str(), &mine), nullptr);
    EXPECT_EQ(LICE_LoadPNG(file.c_str()), nullptr);
    EXPECT_EQ(mine.getBits(), bits);
    EXPECT_EQ(mine.getWidth(), 7);
    EXPECT_EQ(Pixels(mine), before);
    if (watching) {
      EXPECT_LT(gLargest, 1u << 20) << "largest allocation";
    }
  }
  EXPECT_EQ(LICE_LoadPNG("/nonexistent/missing.png"), nullptr);
  EXPECT_EQ(LICE_LoadPNG(nullptr), nullptr);
}
