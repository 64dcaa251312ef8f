#pragma once
// The panel's control images and its background, drawn from the layout tables.
#include <string>
#include <vector>

#include "editor/quenta.layout.h"

namespace panelimg {

class Canvas;

// Draws all frames of image b onto a canvas of b.width x b.frames * b.frameHeight.
void drawStrip(const qlayout::Bitmap& b, Canvas& c);

// One printed label that does not fit where the layout puts it.
struct Collision {
  std::string what;
};
// Paints the background onto a canvas of the panel's size; lists labels that overlap a
// control, another label or the panel's edge.
void drawBackground(Canvas& c, std::vector<Collision>& collisions);

}  // namespace panelimg
