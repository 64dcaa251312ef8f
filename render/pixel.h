#pragma once
// The pixel: 32 bits, four 8-bit channels, stored in memory in the byte order A, R, G, B (byte 0
// alpha). Read as a little-endian 32-bit value it is B << 24 | G << 16 | R << 8 | A. Colours are
// straight, not premultiplied by alpha. This is the one place that knows the order.
#include <cstdint>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the pixel layout below assumes a little-endian machine"
#endif

typedef uint32_t LICE_pixel;

// Shifts of the channels inside a LICE_pixel value.
constexpr int LICE_PIXEL_A_SHIFT = 0;
constexpr int LICE_PIXEL_R_SHIFT = 8;
constexpr int LICE_PIXEL_G_SHIFT = 16;
constexpr int LICE_PIXEL_B_SHIFT = 24;

// Byte offsets of the channels inside a pixel in memory.
constexpr int LICE_PIXEL_A = LICE_PIXEL_A_SHIFT / 8;
constexpr int LICE_PIXEL_R = LICE_PIXEL_R_SHIFT / 8;
constexpr int LICE_PIXEL_G = LICE_PIXEL_G_SHIFT / 8;
constexpr int LICE_PIXEL_B = LICE_PIXEL_B_SHIFT / 8;

constexpr LICE_pixel LICE_RGBA(unsigned r, unsigned g, unsigned b, unsigned a) {
  return (LICE_pixel)(b & 0xff) << LICE_PIXEL_B_SHIFT |
         (LICE_pixel)(g & 0xff) << LICE_PIXEL_G_SHIFT |
         (LICE_pixel)(r & 0xff) << LICE_PIXEL_R_SHIFT |
         (LICE_pixel)(a & 0xff) << LICE_PIXEL_A_SHIFT;
}
constexpr unsigned LICE_GETR(LICE_pixel p) { return (p >> LICE_PIXEL_R_SHIFT) & 0xff; }
constexpr unsigned LICE_GETG(LICE_pixel p) { return (p >> LICE_PIXEL_G_SHIFT) & 0xff; }
constexpr unsigned LICE_GETB(LICE_pixel p) { return (p >> LICE_PIXEL_B_SHIFT) & 0xff; }
constexpr unsigned LICE_GETA(LICE_pixel p) { return (p >> LICE_PIXEL_A_SHIFT) & 0xff; }
