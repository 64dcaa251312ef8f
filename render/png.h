#pragma once
// PNG decoding into 32-bit bitmaps. Every PNG colour type and bit depth becomes the pixel layout
// of render/pixel.h: palettes and grey expand to RGB, transparency chunks become alpha, 16-bit
// samples keep their high byte, images without alpha get alpha 255. Interlaced images are
// supported.
#include "render/bitmap.h"

// The largest width and height accepted.
constexpr int LICE_PNG_MAX_SIDE = 8192;

// Decodes into dest (resized to the image) or, when dest is null, into a new LICE_MemBitmap
// (line alignment 4) that the caller owns. Returns the bitmap, or null on any failure (file
// missing or unreadable, corrupt or truncated data, a side above LICE_PNG_MAX_SIDE, no memory);
// a caller's bitmap is then left unchanged.
LICE_IBitmap* LICE_LoadPNG(const char* filename, LICE_IBitmap* dest = nullptr);
