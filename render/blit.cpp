#include "render/blit.h"

#include <cstring>

#include "render/blend.h"

// A blit is clipped once, one per-pixel operation is chosen for the mode and opacity, and the
// rows run through it with nothing else decided inside the loop.

namespace {

using namespace lice;

struct Area {
  LICE_pixel* dst;
  const LICE_pixel* src;
  int dstSpan, srcSpan;  // pixels
  int w, h;
  bool overlapping;  // source and destination share pixels (a bitmap blitted onto itself)
};

template <class Op>
void runRows(const Area& a, Op op) {
  LICE_pixel* d = a.dst;
  const LICE_pixel* s = a.src;
  for (int y = 0; y < a.h; ++y, d += a.dstSpan, s += a.srcSpan) {
    for (int x = 0; x < a.w; ++x) op(d[x], s[x]);
  }
}

// A bitmap blitted onto itself over pixels it also reads: rows and chunks are visited in the
// order that reads every source pixel before it is overwritten, each chunk through a copy.
template <class Op>
void runRowsOverlapping(const Area& a, Op op) {
  constexpr int kChunk = 256;
  LICE_pixel buf[kChunk];
  const bool backward = a.dst > a.src;
  for (int i = 0; i < a.h; ++i) {
    int y = backward ? a.h - 1 - i : i;
    LICE_pixel* d = a.dst + (ptrdiff_t)y * a.dstSpan;
    const LICE_pixel* s = a.src + (ptrdiff_t)y * a.srcSpan;
    int chunks = (a.w + kChunk - 1) / kChunk;
    for (int c = 0; c < chunks; ++c) {
      int x0 = (backward ? chunks - 1 - c : c) * kChunk;
      int n = a.w - x0 < kChunk ? a.w - x0 : kChunk;
      std::memcpy(buf, s + x0, (size_t)n * sizeof(LICE_pixel));
      for (int x = 0; x < n; ++x) op(d[x0 + x], buf[x]);
    }
  }
}

template <class Op>
void run(const Area& a, Op op) {
  if (a.overlapping) {
    runRowsOverlapping(a, op);
  } else {
    runRows(a, op);
  }
}

// Copy kind without source alpha.
void blitCopy(const Area& a, float opacity) {
  if (opacity == 1.0f) {
    run(a, [](LICE_pixel& d, LICE_pixel s) { d = s; });
    return;
  }
  if (opacity == 0.5f) {
    run(a, [](LICE_pixel& d, LICE_pixel s) { d = half(s) + half(d); });
    return;
  }
  int ia = weight256(opacity);
  if (ia < 1) return;
  const int w = 256 - ia;
  run(a, [w](LICE_pixel& d, LICE_pixel s) {
    d = channels(s, d, [w](int sc, int dc) { return mix(sc, dc, w); });
  });
}

// Copy kind with source alpha.
void blitCopyAlpha(const Area& a, int ia) {
  if (ia == 256) {
    run(a, [](LICE_pixel& d, LICE_pixel s) {
      const int sa = chan(s, kShiftA);
      if (sa == 0) return;
      if (sa == 255) {
        d = s;
        return;
      }
      const int w = 255 - sa;
      d = colours(s, d, [w](int sc, int dc) { return mix(sc, dc, w); }) |
          put(min255(chan(d, kShiftA) + sa), kShiftA);
    });
    return;
  }
  run(a, [ia](LICE_pixel& d, LICE_pixel s) {
    const int sa = chan(s, kShiftA);
    if (sa == 0) return;
    const int k = (sa + 1) * ia / 256;
    const int w = 256 - k;
    d = colours(s, d, [w](int sc, int dc) { return mix(sc, dc, w); }) |
        put(min255(chan(d, kShiftA) + k), kShiftA);
  });
}

void blitAdd(const Area& a, int ia, bool useAlpha) {
  if (!useAlpha) {
    run(a, [ia](LICE_pixel& d, LICE_pixel s) {
      d = channels(s, d, [ia](int sc, int dc) { return min255(dc + t(sc * ia)); });
    });
    return;
  }
  run(a, [ia](LICE_pixel& d, LICE_pixel s) {
    const int sa = chan(s, kShiftA);
    if (sa == 0) return;
    const int k = (sa + 1) * ia / 256;
    d = colours(s, d, [k](int sc, int dc) { return min255(dc + t(sc * k)); }) |
        put(min255(chan(d, kShiftA) + t(k * sa)), kShiftA);
  });
}

void blitDodge(const Area& a, int ia, bool useAlpha) {
  if (!useAlpha) {
    run(a, [ia](LICE_pixel& d, LICE_pixel s) {
      d = channels(s, d, [ia](int sc, int dc) { return dodge(dc, t(sc * ia)); });
    });
    return;
  }
  // Transparent source pixels are not skipped: with k = int(ia / 256) they still dodge.
  run(a, [ia](LICE_pixel& d, LICE_pixel s) {
    const int sa = chan(s, kShiftA);
    const int k = (sa + 1) * ia / 256;
    d = colours(s, d, [k](int sc, int dc) { return dodge(dc, t(sc * k)); }) |
        put(dodge(chan(d, kShiftA), t(k * sa)), kShiftA);
  });
}

// Clips the source rectangle to the source and the result to the destination, moving the other
// side's origin by whatever is cut off. False when nothing is left.
bool clip(LICE_IBitmap* dest, LICE_IBitmap* src, long long dx, long long dy, long long sx,
          long long sy, long long w, long long h, Area* out) {
  const long long sw = src->getWidth(), sh = src->getHeight();
  const long long dw = dest->getWidth(), dh = dest->getHeight();
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  if (sx + w > sw) w = sw - sx;
  if (sy + h > sh) h = sh - sy;
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
  if (dx + w > dw) w = dw - dx;
  if (dy + h > dh) h = dh - dy;
  if (w <= 0 || h <= 0) return false;
  LICE_pixel* dbits = dest->getBits();
  LICE_pixel* sbits = src->getBits();
  if (!dbits || !sbits) return false;
  out->dstSpan = dest->getRowSpan();
  out->srcSpan = src->getRowSpan();
  out->dst = dbits + (ptrdiff_t)dy * out->dstSpan + dx;
  out->src = sbits + (ptrdiff_t)sy * out->srcSpan + sx;
  out->w = (int)w;
  out->h = (int)h;
  out->overlapping = dbits == sbits && dx < sx + w && sx < dx + w && dy < sy + h && sy < dy + h;
  return true;
}

}  // namespace

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int srcw, int srch, float alpha, int mode) {
  if (!dest || !src) return;
  const float opacity = clampOpacity(alpha);
  if (opacity == 0.0f) return;
  const int kind = mode & LICE_BLIT_MODE_MASK;
  if (kind > LICE_BLIT_MODE_DODGE) return;
  Area a;
  if (!clip(dest, src, dstx, dsty, srcx, srcy, srcw, srch, &a)) return;

  const bool useAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  const int ia = weight256(opacity);
  switch (kind) {
    case LICE_BLIT_MODE_COPY:
      if (useAlpha) {
        // With ia = 0 every formula leaves the destination as it is.
        if (ia > 0) blitCopyAlpha(a, ia);
      } else {
        blitCopy(a, opacity);
      }
      break;
    case LICE_BLIT_MODE_ADD:
      if (ia > 0) blitAdd(a, ia, useAlpha);
      break;
    case LICE_BLIT_MODE_DODGE:
      if (ia > 0) blitDodge(a, ia, useAlpha);
      break;
  }
}

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, const LICE_Rect* srcrect,
               float alpha, int mode) {
  if (!dest || !src) return;
  if (!srcrect) {
    LICE_Blit(dest, src, dstx, dsty, 0, 0, src->getWidth(), src->getHeight(), alpha, mode);
    return;
  }
  // Widths of rectangles spanning more than the int range are cut to it; no bitmap is that big.
  long long w = (long long)srcrect->right - srcrect->left;
  long long h = (long long)srcrect->bottom - srcrect->top;
  auto toInt = [](long long v) { return (int)(v > INT32_MAX ? INT32_MAX : v); };
  LICE_Blit(dest, src, dstx, dsty, srcrect->left, srcrect->top, toInt(w), toInt(h), alpha, mode);
}
