#include "render/bitmap.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Bytes of h rows of the given span, or 0 when that exceeds half the address space (no
// allocation could succeed; the limit also keeps the growth arithmetic below from overflowing).
size_t pixelBytes(int rowSpan, int h) {
  const size_t limit = SIZE_MAX / 2 / sizeof(LICE_pixel);
  if ((size_t)h > limit / (size_t)rowSpan) return 0;
  return (size_t)rowSpan * (size_t)h * sizeof(LICE_pixel);
}

// The width rounded up to a multiple of align, or -1 when that overflows an int.
int roundedSpan(int w, unsigned align) {
  long long span = ((long long)w + align - 1) / align * align;
  return span > INT32_MAX ? -1 : (int)span;
}

}  // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h, unsigned lineAlign)
    : mLineAlign(lineAlign ? lineAlign : 1) {
  resize(w, h);
}

LICE_MemBitmap::~LICE_MemBitmap() { std::free(mBits); }

bool LICE_MemBitmap::resize(int w, int h) {
  if (w == mWidth && h == mHeight) return false;
  if (w <= 0 || h <= 0) {
    std::free(mBits);
    mBits = nullptr;
    mAllocated = 0;
    mWidth = mHeight = mRowSpan = 0;
    return true;
  }
  int span = roundedSpan(w, mLineAlign);
  size_t need = span < 0 ? 0 : pixelBytes(span, h);
  if (!need) return false;
  if (need > mAllocated) {
    // The first allocation is exact; later ones leave room to grow a quarter.
    size_t bytes = mBits ? need + need / 4 : need;
    void* p = std::malloc(bytes + kSlackBytes);
    if (!p) return false;
    std::free(mBits);
    mBits = static_cast<LICE_pixel*>(p);
    mAllocated = bytes + kSlackBytes;
  }
  mWidth = w;
  mHeight = h;
  mRowSpan = span;
  return true;
}

LICE_SysBitmap::LICE_SysBitmap(int w, int h) { resize(w, h); }

LICE_SysBitmap::~LICE_SysBitmap() { std::free(mBits); }

bool LICE_SysBitmap::resize(int w, int h) {
  if (w == mWidth && h == mHeight) return false;
  if (w <= 0 || h <= 0) {
    // Keeps the memory: the surface usually comes back at its old size.
    mWidth = mHeight = 0;
    return true;
  }
  if (mBits && w <= mRowSpan && h <= mAllocRows) {
    mWidth = w;
    mHeight = h;
    return true;
  }
  int span = roundedSpan(w, 4);
  size_t bytes = span < 0 ? 0 : pixelBytes(span, h);
  if (!bytes) return false;
  void* p = std::malloc(bytes);
  if (!p) return false;
  std::free(mBits);
  mBits = static_cast<LICE_pixel*>(p);
  mRowSpan = span;
  mAllocRows = h;
  mWidth = w;
  mHeight = h;
  return true;
}
