// PNG loading: files of every form the loader converts, written by the test with libpng and
// decoded byte for byte; broken and oversized files refused without touching the caller's
// bitmap, without leaks and without large allocations.
#include <gtest/gtest.h>
#include <png.h>

#include <memory>

#include "png_writer.h"
#include "render/png.h"

using namespace pngtest;

// The sanitizers let a test watch every allocation; the plain build has no such hook.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*))
    __attribute__((weak));

namespace {

std::vector<LICE_pixel> pixels(LICE_IBitmap& bm) {
  std::vector<LICE_pixel> v;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) v.push_back(bm.getBits()[y * bm.getRowSpan() + x]);
  return v;
}

// A file holding a valid signature and header for w x h and then whatever follows.
std::vector<uint8_t> headerOnly(uint32_t w, uint32_t h, const std::vector<uint8_t>& idat) {
  std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> ihdr;
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back((uint8_t)(v >> s));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, not interlaced
  appendChunk(f, "IHDR", ihdr);
  appendChunk(f, "IDAT", idat);
  appendChunk(f, "IEND", {});
  return f;
}

size_t gLargest = 0;
void onMalloc(const volatile void*, size_t n) {
  if (n > gLargest) gLargest = n;
}
void onFree(const volatile void*) {}

}  // namespace

TEST(LoadPNG, EveryFormDecodesByteForByte) {
  struct Case {
    const char* what;
    int colourType, depth;
    bool interlaced, trns;
  };
  const Case cases[] = {
      {"palette with transparency", PNG_COLOR_TYPE_PALETTE, 8, false, true},
      {"4-bit palette with transparency", PNG_COLOR_TYPE_PALETTE, 4, false, true},
      {"1-bit grey", PNG_COLOR_TYPE_GRAY, 1, false, false},
      {"2-bit grey with a transparent level", PNG_COLOR_TYPE_GRAY, 2, false, true},
      {"8-bit grey with alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
      {"16-bit grey with a transparent level", PNG_COLOR_TYPE_GRAY, 16, false, true},
      {"16-bit RGBA", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},
      {"RGB", PNG_COLOR_TYPE_RGB, 8, false, false},
      {"RGB with a transparent colour", PNG_COLOR_TYPE_RGB, 8, false, true},
      {"interlaced RGBA", PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false},
      {"interlaced 1-bit grey", PNG_COLOR_TYPE_GRAY, 1, true, false},
      {"interlaced palette", PNG_COLOR_TYPE_PALETTE, 8, true, true},
  };
  ScratchDir dir;
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // 13 x 11 has partial Adam7 blocks and rows that do not fill whole bytes.
    const Image img = randomImage(13, 11, c.colourType, c.depth, c.interlaced, c.trns, seed++);
    const std::string path = dir.file("image.png");
    ASSERT_TRUE(write(img, path));
    std::unique_ptr<LICE_IBitmap> bm(LICE_LoadPNG(path.c_str()));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->getWidth(), 13);
    EXPECT_EQ(bm->getHeight(), 11);
    EXPECT_EQ(bm->getRowSpan(), 16);  // a memory bitmap with rows aligned to 4 pixels
    EXPECT_EQ(pixels(*bm), img.expected());

    LICE_SysBitmap into(50, 2);
    EXPECT_EQ(LICE_LoadPNG(path.c_str(), &into), &into);
    EXPECT_EQ(pixels(into), img.expected());
  }
}

TEST(LoadPNG, SidesUpToTheLimitOnly) {
  ScratchDir dir;
  for (int w : {LICE_PNG_MAX_SIDE, LICE_PNG_MAX_SIDE + 1}) {
    const std::string path = dir.file("wide.png");
    ASSERT_TRUE(write(randomImage(w, 1, PNG_COLOR_TYPE_GRAY, 8, false, false, 5), path));
    std::unique_ptr<LICE_IBitmap> bm(LICE_LoadPNG(path.c_str()));
    EXPECT_EQ(bm != nullptr, w <= LICE_PNG_MAX_SIDE) << w;
    ASSERT_TRUE(write(randomImage(1, w, PNG_COLOR_TYPE_GRAY, 8, false, false, 5), path));
    bm.reset(LICE_LoadPNG(path.c_str()));
    EXPECT_EQ(bm != nullptr, w <= LICE_PNG_MAX_SIDE) << w;
  }
}

// Every failure returns null and leaves the caller's bitmap exactly as it was.
TEST(LoadPNG, BadFilesAreRefusedAndTheCallersBitmapKept) {
  ScratchDir dir;
  const std::string good = dir.file("good.png");
  ASSERT_TRUE(write(randomImage(40, 30, PNG_COLOR_TYPE_RGB, 8, false, false, 9), good));
  const std::vector<uint8_t> bytes = readFile(good);

  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  std::vector<uint8_t> badCrc = bytes;
  badCrc[bytes.size() / 2] ^= 0x55;
  const Case cases[] = {
      {"truncated in the image data",
       std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2)},
      {"truncated in the header", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20)},
      {"corrupt image data", badCrc},
      {"empty", {}},
      {"not a PNG", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}},
      {"100000 x 100000",
       headerOnly(100000, 100000, {0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01})},
      {"zero width", headerOnly(0, 10, {})},
  };
  const bool watching = __sanitizer_install_malloc_and_free_hooks &&
                        __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file("bad.png");
    writeFile(path, c.file);
    LICE_MemBitmap mine(7, 5);
    for (int i = 0; i < 8 * 5; ++i) mine.getBits()[i] = (LICE_pixel)i * 0x01020304u;
    const std::vector<LICE_pixel> before = pixels(mine);
    LICE_pixel* bits = mine.getBits();
    gLargest = 0;
    EXPECT_EQ(LICE_LoadPNG(path.c_str(), &mine), nullptr);
    EXPECT_EQ(LICE_LoadPNG(path.c_str()), nullptr);
    EXPECT_EQ(mine.getBits(), bits);
    EXPECT_EQ(mine.getWidth(), 7);
    EXPECT_EQ(pixels(mine), before);
    if (watching) {
      EXPECT_LT(gLargest, 1u << 20) << "largest allocation";
    }
  }
  EXPECT_EQ(LICE_LoadPNG(dir.file("missing.png").c_str()), nullptr);
  EXPECT_EQ(LICE_LoadPNG(nullptr), nullptr);
}
