#include "render/blend.h"
#include "render/blit.h"

// A fill is clipped once, one per-pixel operation is chosen for the kind and opacity, and the
// rows run through it. Whole-quarter copy opacities work on all four bytes at once.

namespace {

using namespace lice;

template <class Op>
void fillRows(LICE_pixel* row, int span, int w, int h, Op op) {
  for (int y = 0; y < h; ++y, row += span) {
    for (int x = 0; x < w; ++x) op(row[x]);
  }
}

void fillCopy(LICE_pixel* row, int span, int w, int h, LICE_pixel c, int ia) {
  switch (ia) {
    case 64: {
      const LICE_pixel cq = quarter(c);
      fillRows(row, span, w, h, [cq](LICE_pixel& d) { d = quarter(d) + half(d) + cq; });
      return;
    }
    case 128: {
      const LICE_pixel ch = half(c);
      fillRows(row, span, w, h, [ch](LICE_pixel& d) { d = half(d) + ch; });
      return;
    }
    case 192: {
      const LICE_pixel cq = quarter(c) + half(c);
      fillRows(row, span, w, h, [cq](LICE_pixel& d) { d = quarter(d) + cq; });
      return;
    }
    case 256: fillRows(row, span, w, h, [c](LICE_pixel& d) { d = c; }); return;
  }
  // Colour bytes move toward the colour, the alpha byte toward ia itself.
  const int wgt = 256 - ia;
  fillRows(row, span, w, h, [c, ia, wgt](LICE_pixel& d) {
    d = colours(c, d, [wgt](int cc, int dc) { return mix(cc, dc, wgt); }) |
        put(mix(ia, chan(d, kShiftA), wgt), kShiftA);
  });
}

void fillAdd(LICE_pixel* row, int span, int w, int h, LICE_pixel c, int ia) {
  const int addA = t(ia * ia);
  fillRows(row, span, w, h, [c, ia, addA](LICE_pixel& d) {
    d = colours(c, d, [ia](int cc, int dc) { return min255(dc + t(cc * ia)); }) |
        put(min255(chan(d, kShiftA) + addA), kShiftA);
  });
}

void fillDodge(LICE_pixel* row, int span, int w, int h, LICE_pixel c, int ia) {
  const int dodgeA = t(ia * chan(c, kShiftA));
  fillRows(row, span, w, h, [c, ia, dodgeA](LICE_pixel& d) {
    d = colours(c, d, [ia](int cc, int dc) { return dodge(dc, t(cc * ia)); }) |
        put(dodge(chan(d, kShiftA), dodgeA), kShiftA);
  });
}

}  // namespace

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha,
                   int mode) {
  if (!dest) return;
  const int kind = mode & LICE_BLIT_MODE_MASK;
  if (kind > LICE_BLIT_MODE_DODGE) return;
  long long x0 = x, y0 = y, x1 = x0 + w, y1 = y0 + h;
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > dest->getWidth()) x1 = dest->getWidth();
  if (y1 > dest->getHeight()) y1 = dest->getHeight();
  if (x1 <= x0 || y1 <= y0) return;
  LICE_pixel* bits = dest->getBits();
  if (!bits) return;

  float opacity = clampOpacity(alpha);
  if (mode & LICE_BLIT_USE_ALPHA) opacity *= (float)LICE_GETA(color) / 255.0f;
  const int ia = weight256(opacity);
  if (ia == 0) return;  // every kind leaves the destination as it is

  const int span = dest->getRowSpan();
  LICE_pixel* row = bits + (ptrdiff_t)y0 * span + x0;
  const int cw = (int)(x1 - x0), ch = (int)(y1 - y0);
  switch (kind) {
    case LICE_BLIT_MODE_COPY: fillCopy(row, span, cw, ch, color, ia); break;
    case LICE_BLIT_MODE_ADD: fillAdd(row, span, cw, ch, color, ia); break;
    case LICE_BLIT_MODE_DODGE: fillDodge(row, span, cw, ch, color, ia); break;
  }
}
