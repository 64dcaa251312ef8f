#pragma once
// A rectangle in pixels; right and bottom are exclusive, so the width is right - left.

struct LICE_Rect {
  int left, top, right, bottom;
};
