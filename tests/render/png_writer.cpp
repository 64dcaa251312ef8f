#include "png_writer.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <random>

namespace pngtest {

int Image::channels() const {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

namespace {

// A sample of any depth as 8 bits: small depths scale up to 0..255, 16 bits keep the high byte.
uint8_t to8(unsigned v, int depth) {
  if (depth == 16) return (uint8_t)(v >> 8);
  return (uint8_t)(v * 255 / ((1u << depth) - 1));
}

}  // namespace

std::vector<LICE_pixel> Image::expected() const {
  std::vector<LICE_pixel> out;
  const int n = channels();
  for (int i = 0; i < width * height; ++i) {
    const uint16_t* s = &samples[(size_t)i * n];
    unsigned r, g, b, a = 255;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
      r = palette[s[0] * 3u];
      g = palette[s[0] * 3u + 1];
      b = palette[s[0] * 3u + 2];
      if (s[0] < trns.size()) a = trns[s[0]];
    } else if (n <= 2) {
      r = g = b = to8(s[0], depth);
      if (n == 2) a = to8(s[1], depth);
      if (!trns.empty() && s[0] == trns[0]) a = 0;
    } else {
      r = to8(s[0], depth);
      g = to8(s[1], depth);
      b = to8(s[2], depth);
      if (n == 4) a = to8(s[3], depth);
      if (!trns.empty() && s[0] == trns[0] && s[1] == trns[1] && s[2] == trns[2]) a = 0;
    }
    out.push_back(LICE_RGBA(r, g, b, a));
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
  const unsigned top = (1u << depth) - 1;
  unsigned entries = top + 1;
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    for (unsigned i = 0; i < entries * 3; ++i) img.palette.push_back((uint8_t)rng());
    if (trns)
      for (unsigned i = 0; i < entries / 2 + 1; ++i) img.trns.push_back((uint16_t)(rng() & 0xff));
  }
  for (int i = 0; i < w * h * img.channels(); ++i)
    img.samples.push_back((uint16_t)(rng() % (top + 1)));
  if (trns && colourType != PNG_COLOR_TYPE_PALETTE) {
    // The transparent colour is the first pixel's, so at least one pixel uses it.
    for (int c = 0; c < img.channels(); ++c) img.trns.push_back(img.samples[(size_t)c]);
  }
  return img;
}

namespace {

// Packs one row of samples at the image's depth, big-endian as the format stores them.
std::vector<uint8_t> packRow(const Image& img, int y) {
  const int n = img.channels();
  std::vector<uint8_t> row;
  unsigned acc = 0;
  int bits = 0;
  for (int i = 0; i < img.width * n; ++i) {
    unsigned v = img.samples[((size_t)y * img.width) * n + i];
    if (img.depth == 16) {
      row.push_back((uint8_t)(v >> 8));
      row.push_back((uint8_t)v);
    } else if (img.depth == 8) {
      row.push_back((uint8_t)v);
    } else {
      acc = acc << img.depth | v;
      bits += img.depth;
      if (bits == 8) {
        row.push_back((uint8_t)acc);
        acc = 0;
        bits = 0;
      }
    }
  }
  if (bits) row.push_back((uint8_t)(acc << (8 - bits)));
  return row;
}

void onError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }

// Nothing with a destructor lives in this frame (libpng may jump out of it).
bool writeRows(FILE* fp, const Image* img, png_bytep* rows, png_color* palette,
               png_byte* trnsAlphas, png_color_16* trnsColour) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, fp);
  png_set_IHDR(png, info, img->width, img->height, img->depth, img->colourType,
               img->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette) png_set_PLTE(png, info, palette, (int)img->palette.size() / 3);
  if (!img->trns.empty()) {
    if (palette) {
      png_set_tRNS(png, info, trnsAlphas, (int)img->trns.size(), nullptr);
    } else {
      png_set_tRNS(png, info, nullptr, 0, trnsColour);
    }
  }
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
  png_color_16 trns = {};
  if (!img.trns.empty() && img.colourType != PNG_COLOR_TYPE_PALETTE) {
    trns.gray = img.trns[0];
    if (img.trns.size() == 3) {
      trns.red = img.trns[0];
      trns.green = img.trns[1];
      trns.blue = img.trns[2];
    }
  }
  FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  const bool ok = writeRows(fp, &img, rows.data(), palette.empty() ? nullptr : palette.data(),
                            alphas.data(), &trns);
  return std::fclose(fp) == 0 && ok;
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::vector<uint8_t> b;
  FILE* fp = std::fopen(path.c_str(), "rb");
  if (!fp) return b;
  int c;
  while ((c = std::fgetc(fp)) != EOF) b.push_back((uint8_t)c);
  std::fclose(fp);
  return b;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return;
  // An empty vector may have no data pointer, which fwrite must not be given.
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), fp);
  std::fclose(fp);
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  const uint32_t n = (uint32_t)data.size();
  for (int s = 24; s >= 0; s -= 8) out.push_back((uint8_t)(n >> s));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  const uint32_t crc = (uint32_t)crc32(0, body.data(), (uInt)body.size());
  for (int s = 24; s >= 0; s -= 8) out.push_back((uint8_t)(crc >> s));
}

}  // namespace pngtest

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>

namespace pngtest {

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/quenta-render-XXXXXX";
  if (mkdtemp(pattern)) mPath = pattern;
}

ScratchDir::~ScratchDir() {
  if (mPath.empty()) return;
  if (DIR* d = opendir(mPath.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') unlink(file(e->d_name).c_str());
    }
    closedir(d);
  }
  rmdir(mPath.c_str());
}

}  // namespace pngtest
