#pragma once
// 32-bit bitmaps (pixel layout in render/pixel.h). Rows are stored top-down; row y starts at
// getBits() + y * getRowSpan(). Pixel contents are never cleared by a resize.
#include <cstddef>

#include "render/pixel.h"

class LICE_IBitmap {  // virtual operations in this slot order
 public:
  virtual ~LICE_IBitmap() {}
  virtual LICE_pixel* getBits() = 0;  // first pixel of the top row (null when 0 x 0)
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  virtual int getRowSpan() = 0;  // pixels from one row to the next
  virtual bool isFlipped() { return false; }
  virtual bool resize(int w, int h) = 0;  // true when the size changed
  virtual void* getDC() { return nullptr; }
  virtual int Extended(int, void*) { return 0; }
};

// Pixels in owned heap memory. The row span is the width rounded up to a multiple of the line
// alignment. The first allocation is exactly the pixels plus 63 bytes of slack; growing
// reallocates to 1.25 times the needed size plus the slack, so that a bitmap resized upwards
// step by step does not reallocate every time; shrinking keeps the memory. A zero or negative
// side frees the pixels. When memory cannot be had, resize leaves the bitmap as it was and
// returns false.
class LICE_MemBitmap : public LICE_IBitmap {
 public:
  LICE_MemBitmap(int w = 0, int h = 0, unsigned lineAlign = 4);
  ~LICE_MemBitmap() override;
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

  LICE_pixel* getBits() override { return mBits; }
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override { return mRowSpan; }
  bool resize(int w, int h) override;

  size_t allocatedBytes() const { return mAllocated; }

  static constexpr size_t kSlackBytes = 63;

 private:
  LICE_pixel* mBits = nullptr;
  size_t mAllocated = 0;  // bytes
  int mWidth = 0, mHeight = 0, mRowSpan = 0;
  unsigned mLineAlign;  // pixels, at least 1
};

// The editor's drawing surface. On this platform it is plain memory that the window back end
// copies to the screen; the row span is the width rounded up to a multiple of 4. A new size
// that fits inside the allocated one keeps the memory and its row span; a larger one replaces
// both. When memory cannot be had, resize leaves the bitmap as it was and returns false.
class LICE_SysBitmap : public LICE_IBitmap {
 public:
  LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* getBits() override { return mWidth > 0 ? mBits : nullptr; }
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override { return mRowSpan; }
  bool resize(int w, int h) override;

 private:
  LICE_pixel* mBits = nullptr;
  int mWidth = 0, mHeight = 0, mRowSpan = 0;
  int mAllocRows = 0;  // rows of mRowSpan pixels the memory holds
};
