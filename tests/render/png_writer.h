#pragma once
// Writes test PNG files with libpng from logical samples, and computes the pixels the loader
// must make of them from the format's own rules.
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "render/pixel.h"

namespace quenta_test {

struct Image {
  int width = 0, height = 0;
  int colourType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int depth = 8;       // bits per sample
  bool interlaced = false;
  std::vector<uint16_t> samples;  // width x height x channels, each below 2^depth
  std::vector<uint8_t> palette;   // R, G, B per entry
  std::vector<uint16_t> trns;     // palette alphas, or the transparent grey or R, G, B samples

  int channels() const {
    return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  }
  // What the loader must produce: small depths scaled up to 0..255, 16 bits keep the high byte.
  std::vector<LICE_pixel> expected() const {
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
      bool clear = !trns.empty();
      for (size_t c = 0; c < trns.size(); ++c) clear = clear && s[c] == trns[c];
      const unsigned a = clear ? 0 : n == 2 || n == 4 ? to8(s[n - 1]) : 255;
      out.push_back(n <= 2 ? LICE_RGBA(to8(s[0]), to8(s[0]), to8(s[0]), a)
                           : LICE_RGBA(to8(s[0]), to8(s[1]), to8(s[2]), a));
    }
    return out;
  }
};

// A random image of the given form, with a palette and transparency where asked.
inline Image randomImage(int w, int h, int colourType, int depth, bool interlaced, bool trns,
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

inline void onPngError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }

// Nothing with a destructor lives in this frame: libpng may jump out of it. Rows hold one
// byte per sample below 8 bits (libpng packs them), two (most significant first) at 16.
inline bool writeRows(FILE* fp, const Image* img, png_bytep* rows, png_color* palette,
                      png_byte* alphas, png_color_16* colour) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, nullptr);
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
  png_set_packing(png);
  if (img->interlaced) png_set_interlace_handling(png);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Writes img to path; false when libpng refused.
inline bool write(const Image& img, const std::string& path) {
  const size_t n = (size_t)img.width * img.channels();
  std::vector<std::vector<uint8_t>> bytes((size_t)img.height);
  std::vector<png_bytep> rows;
  for (size_t y = 0; y < bytes.size(); ++y) {
    for (size_t i = 0; i < n; ++i) {
      const uint16_t v = img.samples[y * n + i];
      if (img.depth == 16) bytes[y].push_back((uint8_t)(v >> 8));
      bytes[y].push_back((uint8_t)v);
    }
    rows.push_back(bytes[y].data());
  }
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

}  // namespace quenta_test
