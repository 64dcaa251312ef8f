#pragma once
// Writes test PNG files with libpng from logical samples, and computes the pixels the loader
// must make of them, each from its own rules.
#include <cstdint>
#include <string>
#include <vector>

#include "render/pixel.h"

namespace pngtest {

struct Image {
  int width = 0, height = 0;
  int colourType = 0;  // PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int depth = 8;       // bits per sample
  bool interlaced = false;
  std::vector<uint16_t> samples;  // width x height x channels, each below 2^depth
  std::vector<uint8_t> palette;   // R, G, B per entry
  std::vector<uint16_t> trns;     // palette alphas, or one grey / three RGB samples (depth)

  int channels() const;
  // What the loader must produce.
  std::vector<LICE_pixel> expected() const;
};

// A random image of the given form (samples, a palette and transparency where the form has
// them), reproducible from the seed.
Image randomImage(int w, int h, int colourType, int depth, bool interlaced, bool trns,
                  unsigned seed);

// Writes img to path; false when libpng refused.
bool write(const Image& img, const std::string& path);

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A PNG chunk: length, type, data, CRC.
void appendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data);

}  // namespace pngtest

namespace pngtest {

// A temporary folder of the test's own, removed with its files at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string file(const std::string& name) const { return mPath + "/" + name; }

 private:
  std::string mPath;
};

}  // namespace pngtest
