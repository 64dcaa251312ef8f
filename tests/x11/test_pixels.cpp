// The surface copy's conversion to the server's pixel layouts other than the test server's own:
// channels placed by the visual's masks (and scaled to their widths), bytes in the server's order.
#include <gtest/gtest.h>

#include <vector>

#include "editor/platform/x11_window.h"

namespace {

struct LayoutCase {
  const char* what;
  x11::PixelFormat format;
  std::vector<uint8_t> bytes;  // of the two pixels (255, 128, 1) and (0, 255, 64)
};

TEST(SurfaceCopy, PixelsFollowTheVisualsMasksAndByteOrder) {
  const LayoutCase cases[] = {
      {"xRGB, LSB first", {32, false, 0xff0000, 0xff00, 0xff}, {1, 128, 255, 0, 64, 255, 0, 0}},
      {"xRGB, MSB first", {32, true, 0xff0000, 0xff00, 0xff}, {0, 255, 128, 1, 0, 0, 255, 64}},
      {"xBGR, LSB first", {32, false, 0xff, 0xff00, 0xff0000}, {255, 128, 1, 0, 0, 255, 64, 0}},
      {"RGB 5-6-5, LSB first", {16, false, 0xf800, 0x07e0, 0x1f}, {0x00, 0xfc, 0xe8, 0x07}},
      {"RGB 5-6-5, MSB first", {16, true, 0xf800, 0x07e0, 0x1f}, {0xfc, 0x00, 0x07, 0xe8}},
      {"10 bits a channel",
       {32, false, 0x3ff00000, 0xffc00, 0x3ff},
       {0x04, 0x00, 0xc8, 0x3f, 0x00, 0xf1, 0x0f, 0x00}},
  };
  const LICE_pixel src[] = {LICE_RGBA(255, 128, 1, 7), LICE_RGBA(0, 255, 64, 200)};
  for (const LayoutCase& c : cases) {
    std::vector<uint8_t> out(c.bytes.size(), 0xAA);
    ASSERT_TRUE(x11::ConvertPixels(src, 2, c.format, out.data())) << c.what;
    EXPECT_EQ(out, c.bytes) << c.what;
  }
  std::vector<uint8_t> out(8, 0xAA);
  EXPECT_FALSE(x11::ConvertPixels(src, 2, {24, false, 0xff0000, 0xff00, 0xff}, out.data()));
  EXPECT_EQ(out, std::vector<uint8_t>(8, 0xAA));
}

}  // namespace
