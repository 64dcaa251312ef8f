#pragma once
// The instrument's panel: the images by id, as the layout tables name them.
#include "editor/IGraphicsTypes.h"

class IGraphics;

// The panel image id from the bitmap cache. An image that cannot be decoded keeps the frame
// size the layout gives it, so that its control still covers its place (and is not mistaken
// for whatever lies below it); it draws nothing.
IBitmap panelBitmap(IGraphics* pGraphics, int id);
