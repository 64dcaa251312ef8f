#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <random>

namespace pngtest {

std::vector<LICE_pixel> Image::expected() const {
  // Small depths scale up to 0..255, 16 bits keep the high byte.
  auto to8 = [this](unsigned v) { return depth == 16 ? v >> 8 : v * 255 / ((1u << depth) - 1); };
  std::vector<LICE_pixel> out;
  const int n = channels();
  for (int i = 0; i < width * height; ++i) {
    const uint16_t* s = &samples[(size_t)i * n];
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
      const uint8_t* c = &palette[s[0] * 3u];
      out.push_back(LICE_RGBA(c[0], c[1], c[2], s[0] < trns.size() ? trns[s[0]] : 255));
      continue;
    }
    const bool grey = n <= 2;
    const bool hasAlpha = n == 2 || n == 4;
    bool clear = !trns.empty();
    for (size_t c = 0; c < trns.size(); ++c) clear = clear && s[c] == trns[c];
    const unsigned a = clear ? 0 : hasAlpha ? to8(s[n - 1]) : 255;
    out.push_back(grey ? LICE_RGBA(to8(s[0]), to8(s[0]), to8(s[0]), a)
                       : LICE_RGBA(to8(s[0]), to8(s[1]), to8(s[2]), a));
  }
  return out;
}

Image randomImage(int w, int h, int colourType, int depth, bool interlaced, bool trns,
                  unsigned seed) {
  std::mt19937 rng(seed);
  Image img;
  img.width = w;
  img.height = h;
  img.colourType = colourType;
  img.depth = depth;
  img.interlaced = interlaced;
  const unsigned levels = 1u << depth;
  for (int i = 0; i < w * h * img.channels(); ++i) img.samples.push_back(rng() % levels);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    for (unsigned i = 0; i < levels * 3; ++i) img.palette.push_back((uint8_t)rng());
    for (unsigned i = 0; trns && i < levels / 2 + 1; ++i) img.trns.push_back(rng() & 0xff);
  } else if (trns) {
    // The first pixel's colour is the transparent one, so at least one pixel uses it.
    img.trns.assign(img.samples.begin(), img.samples.begin() + img.channels());
  }
  return img;
}

namespace {

// One row of samples packed at the image's depth, most significant bits first.
std::vector<uint8_t> packRow(const Image& img, int y) {
  std::vector<uint8_t> row;
  unsigned acc = 0, bits = 0;
  const int n = img.width * img.channels();
  for (int i = 0; i < n; ++i) {
    acc = acc << img.depth | img.samples[(size_t)y * n + i];
    for (bits += img.depth; bits >= 8; bits -= 8) row.push_back((uint8_t)(acc >> (bits - 8)));
  }
  if (bits) row.push_back((uint8_t)(acc << (8 - bits)));
  return row;
}

void onError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }

// Nothing with a destructor lives in this frame: libpng may jump out of it.
bool writeRows(FILE* fp, const Image* img, png_bytep* rows, png_color* palette, png_byte* alphas,
               png_color_16* colour) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, fp);
  png_set_IHDR(png, info, img->width, img->height, img->depth, img->colourType,
               img->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette) png_set_PLTE(png, info, palette, (int)img->palette.size() / 3);
  if (!img->trns.empty()) png_set_tRNS(png, info, alphas, (int)img->trns.size(), colour);
  png_write_info(png, info);
  if (img->interlaced) png_set_interlace_handling(png);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write(const Image& img, const std::string& path) {
  std::vector<std::vector<uint8_t>> packed;
  std::vector<png_bytep> rows;
  for (int y = 0; y < img.height; ++y) packed.push_back(packRow(img, y));
  for (auto& r : packed) rows.push_back(r.data());
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < img.palette.size(); i += 3)
    palette.push_back({img.palette[i], img.palette[i + 1], img.palette[i + 2]});
  std::vector<png_byte> alphas(img.trns.begin(), img.trns.end());
  png_color_16 colour = {};
  const bool isPalette = img.colourType == PNG_COLOR_TYPE_PALETTE;
  if (!img.trns.empty() && !isPalette) {
    colour.gray = colour.red = img.trns[0];
    if (img.trns.size() == 3) colour.green = img.trns[1], colour.blue = img.trns[2];
  }
  FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  const bool ok = writeRows(fp, &img, rows.data(), isPalette ? palette.data() : nullptr,
                            isPalette ? alphas.data() : nullptr, isPalette ? nullptr : &colour);
  return std::fclose(fp) == 0 && ok;
}

}  // namespace pngtest
