#pragma once
// Blits and rectangle fills with the editor's blend modes, in exact integer arithmetic.
//
// A mode is a blend kind in its low byte plus LICE_BLIT_USE_ALPHA, which makes the source's
// (or, for fills, the colour's) alpha count. Opacity is clamped to 0 .. 1 (NaN counts as 0);
// everything is clipped to both bitmaps first. Kinds other than copy, add and dodge draw
// nothing.
//
// To clip a blit to a drawing rectangle, the caller clips the destination and moves the source
// origin by the same amount; a source rectangle that starts left of or above the source bitmap
// moves the destination by the amount cut off.
#include "render/bitmap.h"
#include "render/rect.h"

enum {
  LICE_BLIT_MODE_COPY = 0,
  LICE_BLIT_MODE_ADD = 1,
  LICE_BLIT_MODE_DODGE = 2,
  LICE_BLIT_MODE_MASK = 0xff,
  LICE_BLIT_USE_ALPHA = 0x10000,
};

// srcrect null = the whole source.
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, const LICE_Rect* srcrect,
               float alpha, int mode);
void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int srcw, int srch, float alpha, int mode);
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha,
                   int mode);
