#include "render/png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// libpng reports errors by longjmp back into decode(). Nothing with a destructor lives in that
// frame: everything allocated there is recorded in a plain struct that the caller frees, so a
// jump can neither skip a destructor nor leak.

namespace {

// Largest ancillary chunk (text, ICC profile) libpng may allocate for.
constexpr png_alloc_size_t kMaxChunkBytes = 1 << 20;

struct Decoded {
  unsigned char* pixels = nullptr;  // width x height pixels, rows packed
  png_bytep* rows = nullptr;        // height row pointers into pixels
  int width = 0, height = 0;
};

void onError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }
void onWarning(png_structp, png_const_charp) {}

// Asks libpng for the pixel layout: 8-bit A, R, G, B whatever the file holds.
void requestLayout(png_structp png, png_infop info) {
  const int colour = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (trns) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  if ((colour & PNG_COLOR_MASK_ALPHA) || trns) {
    png_set_swap_alpha(png);  // R, G, B, A -> A, R, G, B
  } else {
    png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

bool decode(FILE* fp, Decoded* out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Sides above the limit stop png_read_info before anything is allocated for the image.
  png_set_user_limits(png, LICE_PNG_MAX_SIDE, LICE_PNG_MAX_SIDE);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_init_io(png, fp);
  png_read_info(png, info);
  requestLayout(png, info);

  const png_uint_32 w = png_get_image_width(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  size_t rowBytes = 0, bytes = 0, rowsBytes = 0;
  if (w == 0 || h == 0 || w > LICE_PNG_MAX_SIDE || h > LICE_PNG_MAX_SIDE ||
      png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) != 4 ||
      __builtin_mul_overflow((size_t)w, sizeof(LICE_pixel), &rowBytes) ||
      png_get_rowbytes(png, info) != rowBytes ||
      __builtin_mul_overflow(rowBytes, (size_t)h, &bytes) ||
      __builtin_mul_overflow(sizeof(png_bytep), (size_t)h, &rowsBytes)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  out->pixels = static_cast<unsigned char*>(std::malloc(bytes));
  out->rows = static_cast<png_bytep*>(std::malloc(rowsBytes));
  if (!out->pixels || !out->rows) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  for (png_uint_32 y = 0; y < h; ++y) out->rows[y] = out->pixels + y * rowBytes;
  png_read_image(png, out->rows);  // every pass of an interlaced image
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  out->width = (int)w;
  out->height = (int)h;
  return true;
}

// Copies the decoded rows into dest, resized to them. False (dest as it was) when the resize
// could not be had.
bool store(const Decoded& d, LICE_IBitmap* dest) {
  dest->resize(d.width, d.height);
  LICE_pixel* bits = dest->getBits();
  if (!bits || dest->getWidth() != d.width || dest->getHeight() != d.height) return false;
  const size_t rowBytes = (size_t)d.width * sizeof(LICE_pixel);
  const ptrdiff_t span = dest->getRowSpan();
  for (int y = 0; y < d.height; ++y) std::memcpy(bits + y * span, d.rows[y], rowBytes);
  return true;
}

}  // namespace

LICE_IBitmap* LICE_LoadPNG(const char* filename, LICE_IBitmap* dest) {
  if (!filename) return nullptr;
  FILE* fp = std::fopen(filename, "rb");
  if (!fp) return nullptr;
  Decoded d;
  const bool decoded = decode(fp, &d);
  std::fclose(fp);

  LICE_IBitmap* result = nullptr;
  if (decoded) {
    if (dest) {
      if (store(d, dest)) result = dest;
    } else {
      LICE_MemBitmap* bm = new (std::nothrow) LICE_MemBitmap(0, 0, 4);
      if (bm && store(d, bm)) {
        result = bm;
      } else {
        delete bm;
      }
    }
  }
  std::free(d.rows);
  std::free(d.pixels);
  return result;
}
