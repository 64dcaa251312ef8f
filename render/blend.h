#pragma once
// Per-pixel blend arithmetic shared by the blits and fills (internal to render/).
//
// Weights are integers out of 256: ia = int(opacity * 256). t(x) divides by 256 truncating
// toward zero (not a shift, which would floor negative differences). Every result is stored in
// 8 bits after the clamp shown.
#include <cmath>

#include "render/pixel.h"

namespace lice {

// Opacity clamped to 0 .. 1; NaN counts as 0.
inline float clampOpacity(float a) {
  if (!(a > 0.0f)) return 0.0f;
  return a > 1.0f ? 1.0f : a;
}

inline int weight256(float opacity) { return (int)(opacity * 256.0f); }

inline int t(int x) { return x / 256; }
inline int chan(LICE_pixel p, int shift) { return (int)(p >> shift) & 0xff; }
inline LICE_pixel put(int v, int shift) { return (LICE_pixel)v << shift; }
inline int min255(int v) { return v < 255 ? v : 255; }

// Moves v toward the target by (256 - w) / 256 of the difference: s + t((d - s) * w).
inline int mix(int s, int d, int w) { return s + t((d - s) * w); }

// Colour dodge of destination byte d by the weighted source term ws = t(s * k).
inline int dodge(int d, int ws) {
  int q = 256 - ws;
  return q >= 2 ? min255(d * 256 / q) : min255(d * 256);
}

constexpr int kShiftA = LICE_PIXEL_A_SHIFT;
constexpr int kShiftR = LICE_PIXEL_R_SHIFT;
constexpr int kShiftG = LICE_PIXEL_G_SHIFT;
constexpr int kShiftB = LICE_PIXEL_B_SHIFT;

// Applies f(source byte, destination byte) to the three colour channels and returns them in
// place, alpha bits zero.
template <class F>
inline LICE_pixel colours(LICE_pixel s, LICE_pixel d, F f) {
  return put(f(chan(s, kShiftR), chan(d, kShiftR)), kShiftR) |
         put(f(chan(s, kShiftG), chan(d, kShiftG)), kShiftG) |
         put(f(chan(s, kShiftB), chan(d, kShiftB)), kShiftB);
}

// The same for all four channels.
template <class F>
inline LICE_pixel channels(LICE_pixel s, LICE_pixel d, F f) {
  return colours(s, d, f) | put(f(chan(s, kShiftA), chan(d, kShiftA)), kShiftA);
}

// Each byte halved, without carries between bytes.
inline LICE_pixel half(LICE_pixel p) { return (p >> 1) & 0x7f7f7f7fu; }
inline LICE_pixel quarter(LICE_pixel p) { return (p >> 2) & 0x3f3f3f3fu; }

}  // namespace lice
