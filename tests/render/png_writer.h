#pragma once
// Writes test PNG files with libpng from logical samples, and computes the pixels the loader
// must make of them from the format's own rules.
#include <cstdint>
#include <string>
#include <vector>

#include "render/pixel.h"

namespace pngtest {

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
  std::vector<LICE_pixel> expected() const;  // what the loader must produce
};

// A random image of the given form, with a palette and transparency where asked.
Image randomImage(int w, int h, int colourType, int depth, bool interlaced, bool trns,
                  unsigned seed);

// Writes img to path; false when libpng refused.
bool write(const Image& img, const std::string& path);

}  // namespace pngtest
