// PNG decoding on files of any content. A decoded image has sides within the limit and blits
// without faults; decoding into a caller's bitmap gives the same pixels, a refusal leaves it.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "render/blit.h"
#include "render/png.h"

using namespace quenta_fuzz;

namespace {

std::vector<LICE_pixel> Pixels(LICE_IBitmap& bm) {
  std::vector<LICE_pixel> v;
  for (int y = 0; y < bm.getHeight(); ++y) {
    const LICE_pixel* row = bm.getBits() + (size_t)y * bm.getRowSpan();
    v.insert(v.end(), row, row + bm.getWidth());
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath(".png");
  WriteScratch(path, data, size);

  LICE_IBitmap* image = LICE_LoadPNG(path.c_str());
  LICE_MemBitmap mine(5, 3);
  for (int i = 0; i < 8 * 3; ++i) mine.getBits()[i] = 0x9e3779b9u * (LICE_pixel)i;
  const std::vector<LICE_pixel> before = Pixels(mine);
  LICE_IBitmap* into = LICE_LoadPNG(path.c_str(), &mine);
  Check((image != nullptr) == (into != nullptr), "decoding into a bitmap disagrees with a new one");
  if (!image) {
    Check(mine.getWidth() == 5 && mine.getHeight() == 3 && Pixels(mine) == before,
          "a refused file changed the caller's bitmap");
    return 0;
  }
  Check(into == &mine, "decoding into a bitmap returned another");
  const int w = image->getWidth(), h = image->getHeight();
  Check(w >= 1 && h >= 1 && w <= LICE_PNG_MAX_SIDE && h <= LICE_PNG_MAX_SIDE, "side out of range");
  Check(mine.getWidth() == w && mine.getHeight() == h && Pixels(mine) == Pixels(*image),
        "decoding into a bitmap gave other pixels");

  // The image drawn as the editor draws, partly off the surface on every side.
  LICE_MemBitmap surface(24, 16);
  for (int mode : {0x00000, 0x10000, 0x10001, 0x10002}) {
    LICE_Blit(&surface, image, -w / 2, -h / 2, nullptr, 0.7f, mode);
    LICE_Blit(&surface, image, 20, 12, -3, -2, w + 6, h + 4, 1.0f, mode);
  }
  delete image;
  return 0;
}
