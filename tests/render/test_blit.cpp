// Blits and fills: every mode, opacity and placement against a slow reference written straight
// from the formulas (channel by channel on the pixel's memory bytes); the edge cases as a table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "render/blit.h"
#include "support/images.h"

namespace {

using quenta_test::At;
using quenta_test::Pixels;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
enum Byte { A = 0, R = 1, G = 2, B = 3 };  // channel order in memory

// Integer division by 256 truncating toward zero, written without '/' so that it cannot share
// a mistake with the library.
int t(int x) { return x >= 0 ? x >> 8 : -((-x) >> 8); }
int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int dodgeRef(int d, int q) { return q >= 2 ? std::min(255, d * 256 / q) : std::min(255, d * 256); }
float clampRef(float a) { return std::isnan(a) || a < 0 ? 0.0f : a > 1 ? 1.0f : a; }
// Add (kind 1) or dodge (kind 2): the colour channels by t(s * k), alpha by aTerm.
void addOrDodgeRef(uint8_t* d, const uint8_t* s, int k, int aTerm, int kind) {
  for (int c = R; c <= B; ++c)
    d[c] = (uint8_t)(kind == 1 ? clamp255(d[c] + t(s[c] * k)) : dodgeRef(d[c], 256 - t(s[c] * k)));
  d[A] = (uint8_t)(kind == 1 ? clamp255(d[A] + aTerm) : dodgeRef(d[A], 256 - aTerm));
}

void blitPixelRef(uint8_t* d, const uint8_t* s, float opacity, int mode) {
  opacity = clampRef(opacity);
  if (opacity == 0.0f) return;
  const int ia = (int)(opacity * 256);
  const int sa = s[A];
  const bool useAlpha = mode & 0x10000;
  const int kind = mode & 0xff;
  const int k = useAlpha ? (sa + 1) * ia / 256 : ia;
  if (kind == 0 && !useAlpha) {
    if (opacity == 1.0f) {
      std::memcpy(d, s, 4);
    } else if (opacity == 0.5f) {
      for (int c = 0; c < 4; ++c) d[c] = (uint8_t)((s[c] >> 1) + (d[c] >> 1));
    } else if (ia >= 1) {
      for (int c = 0; c < 4; ++c) d[c] = (uint8_t)(s[c] + t((d[c] - s[c]) * (256 - ia)));
    }
  } else if (kind == 0) {
    if (sa == 0) return;
    if (ia == 256 && sa == 255) {
      for (int c = R; c <= B; ++c) d[c] = s[c];
      d[A] = 255;
    } else if (ia == 256) {
      for (int c = R; c <= B; ++c) d[c] = (uint8_t)(s[c] + t((d[c] - s[c]) * (255 - sa)));
      d[A] = (uint8_t)std::min(255, d[A] + sa);
    } else {
      for (int c = R; c <= B; ++c) d[c] = (uint8_t)(s[c] + t((d[c] - s[c]) * (256 - k)));
      d[A] = (uint8_t)std::min(255, d[A] + k);
    }
  } else if ((kind == 1 && !(useAlpha && sa == 0)) || kind == 2) {
    addOrDodgeRef(d, s, k, useAlpha ? t(k * sa) : t(s[A] * ia), kind);
  }
}

void fillPixelRef(uint8_t* d, const uint8_t* c, float opacity, int mode) {
  opacity = clampRef(opacity);
  if (mode & 0x10000) opacity *= (float)c[A] / 255.0f;
  const int ia = (int)(opacity * 256);
  if (ia == 0) return;
  switch (mode & 0xff) {
    case 0:
      for (int i = 0; i < 4; ++i) {
        if (ia == 64)
          d[i] = (uint8_t)((d[i] >> 2) + (d[i] >> 1) + (c[i] >> 2));
        else if (ia == 128)
          d[i] = (uint8_t)((d[i] >> 1) + (c[i] >> 1));
        else if (ia == 192)
          d[i] = (uint8_t)((d[i] >> 2) + (c[i] >> 2) + (c[i] >> 1));
        else if (ia == 256)
          d[i] = c[i];
        else if (i == A)
          d[i] = (uint8_t)(ia + t((d[i] - ia) * (256 - ia)));
        else
          d[i] = (uint8_t)(c[i] + t((d[i] - c[i]) * (256 - ia)));
      }
      break;
    case 1:
    case 2:
      addOrDodgeRef(d, c, ia, (mode & 0xff) == 1 ? t(ia * ia) : t(ia * c[A]), mode & 0xff);
      break;
  }
}

uint8_t* bytes(LICE_pixel& p) { return reinterpret_cast<uint8_t*>(&p); }

// Random pixels; alpha is often a value the formulas treat specially.
void randomize(LICE_IBitmap& bm, std::mt19937& rng) {
  static const int kAlphas[] = {0, 1, 127, 128, 254, 255};
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) {
      LICE_pixel p = rng();
      if (rng() % 2) p = (p & ~0xffu) | (LICE_pixel)kAlphas[rng() % 6];
      At(bm, x, y) = p;
    }
}

// Every pixel of the source rectangle that lies inside both bitmaps, blended at its own offset.
void blitRef(LICE_IBitmap& dst, LICE_IBitmap& src, int dx, int dy, int sx, int sy, int w, int h,
             float opacity, int mode) {
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int x = sx + i, y = sy + j, X = dx + i, Y = dy + j;
      if (x < 0 || y < 0 || x >= src.getWidth() || y >= src.getHeight()) continue;
      if (X < 0 || Y < 0 || X >= dst.getWidth() || Y >= dst.getHeight()) continue;
      blitPixelRef(bytes(At(dst, X, Y)), bytes(At(src, x, y)), opacity, mode);
    }
  }
}

const int kModes[] = {0x00000, 0x10000, 0x10001, 0x10002, 0x00001, 0x00002};

std::vector<float> opacities(std::mt19937& rng) {
  std::vector<float> v = {1.0f, 0.5f, 0.25f, 0.75f, 0.999f, 0.004f, 0.003f, 1.5f, -0.5f, kNaN};
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  for (int i = 0; i < 12; ++i) v.push_back(u(rng));
  return v;
}

}  // namespace

// Random images, colours, opacities and places (reaching past every edge of both bitmaps, and
// for blits in both forms of the call) through every mode.
TEST(BlitAndFill, EveryModeOpacityAndPlaceMatchesTheReference) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> pos(-25, 25), size(-2, 40);
  LICE_MemBitmap src(20, 15), dst(17, 12), expected(17, 12);
  int n = 0;
  for (bool fill : {false, true}) {
    for (int mode : kModes) {
      std::vector<float> ops = opacities(rng);
      ops.insert(ops.end(), {64 / 256.0f, 192 / 256.0f, 1 / 256.0f});
      for (float opacity : ops) {
        for (int i = 0; i < 8; ++i, ++n) {
          int dx = pos(rng), dy = pos(rng), sx = pos(rng), sy = pos(rng), w = size(rng),
              h = size(rng);
          if (i == 0) dx = dy = sx = sy = 0, w = h = 20;  // one whole, unclipped
          randomize(src, rng);
          randomize(dst, rng);
          LICE_pixel colour = At(src, 0, 0);
          SCOPED_TRACE(testing::Message()
                       << (fill ? "fill" : "blit") << " mode 0x" << std::hex << mode << " colour "
                       << colour << std::dec << " opacity " << opacity << " dst " << dx << "," << dy
                       << " src " << sx << "," << sy << " " << w << "x" << h);
          LICE_Blit(&expected, &dst, 0, 0, nullptr, 1.0f, 0);
          if (fill) {
            for (int y = std::max(dy, 0); y < std::min(dy + h, 12); ++y)
              for (int x = std::max(dx, 0); x < std::min(dx + w, 17); ++x)
                fillPixelRef(bytes(At(expected, x, y)), bytes(colour), opacity, mode);
            LICE_FillRect(&dst, dx, dy, w, h, colour, opacity, mode);
          } else if (n % 2) {
            blitRef(expected, src, dx, dy, sx, sy, w, h, opacity, mode);
            LICE_Blit(&dst, &src, dx, dy, sx, sy, w, h, opacity, mode);
          } else {
            blitRef(expected, src, dx, dy, sx, sy, w, h, opacity, mode);
            const LICE_Rect r = {sx, sy, sx + w, sy + h};
            LICE_Blit(&dst, &src, dx, dy, &r, opacity, mode);
          }
          ASSERT_EQ(Pixels(dst), Pixels(expected));
        }
      }
    }
  }
}

TEST(BlendEdgeCases, Table) {
  struct Case {
    const char* what;
    bool fill;
    int mode;
    float opacity;
    LICE_pixel src, dst, expected;
  };
  const LICE_pixel grey = LICE_RGBA(90, 90, 90, 255);
  const LICE_pixel clear = LICE_RGBA(10, 20, 30, 0);
  const Case cases[] = {
      {"copy with alpha skips a transparent pixel", false, 0x10000, 1.0f, clear, grey, grey},
      {"alpha 128 over opaque: s + t((d - s) * 127), alpha stays 255", false, 0x10000, 1.0f,
       LICE_RGBA(200, 0, 100, 128), LICE_RGBA(0, 200, 100, 255),
       LICE_RGBA(200 - 200 * 127 / 256, 200 * 127 / 256, 100, 255)},
      {"copy at 0.5 halves both bytewise", false, 0x00000, 0.5f, LICE_RGBA(255, 1, 3, 9),
       LICE_RGBA(1, 255, 3, 200), LICE_RGBA(127, 127, 2, 104)},
      {"dodge by a half-bright source doubles, its alpha saturates", false, 0x10002, 1.0f,
       LICE_RGBA(128, 128, 128, 255), LICE_RGBA(100, 100, 100, 100), LICE_RGBA(200, 200, 200, 255)},
      {"NaN opacity blits nothing", false, 0x00000, kNaN, clear, grey, grey},
      {"negative opacity adds nothing", false, 0x10001, -1.0f, grey, clear, clear},
      {"opacity above 1 blits as 1", false, 0x00000, 7.0f, clear, grey, clear},
      {"NaN opacity fills nothing", true, 0x00000, kNaN, clear, grey, grey},
      {"opacity above 1 fills as 1", true, 0x00000, 300.0f, clear, grey, clear},
      {"a transparent colour with alpha fills nothing", true, 0x10000, 1.0f, clear, grey, grey},
      {"an unknown kind blits nothing", false, 0x10003, 1.0f, clear, grey, grey},
      {"an unknown kind fills nothing", true, 0x00005, 1.0f, clear, grey, grey},
  };
  for (const Case& c : cases) {
    LICE_MemBitmap s(1, 1), d(1, 1);
    At(s, 0, 0) = c.src;
    At(d, 0, 0) = c.dst;
    if (c.fill) {
      LICE_FillRect(&d, 0, 0, 1, 1, c.src, c.opacity, c.mode);
    } else {
      LICE_Blit(&d, &s, 0, 0, nullptr, c.opacity, c.mode);
    }
    EXPECT_EQ(At(d, 0, 0), c.expected) << c.what;
  }
}
