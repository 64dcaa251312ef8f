#pragma once
// Text on the panel: user texts made safe and short (program names), and text drawn clipped to
// its field and shortened with an ellipsis when too wide, so that no text spills over its
// neighbours.
#include <string>

#include "editor/IGraphicsTypes.h"

class IGraphics;

namespace qtext {

// At most maxBytes bytes of s, cut before a character that would not fit whole (UTF-8).
std::string cutUtf8(const char* s, size_t maxBytes);
// The first maxChars characters of s (UTF-8).
std::string firstChars(const char* s, int maxChars);
// A program name as typed: control characters become spaces, at most 255 bytes, cut on a
// character boundary.
std::string programName(const char* typed);

// Width in pixels of str in style text; 0 when no font can be had.
int textWidth(IGraphics* pGraphics, IText* pText, const char* str);
// str as it fits width: whole, or shortened with "…" (elide) or cut (not elide).
std::string fitText(IGraphics* pGraphics, IText* pText, const char* str, int width, bool elide);
// Draws str in r as DrawIText does (aligned, from r's top), clipped to r and to the pass's
// drawing rectangle; a text wider than r is shortened to fit first. False when no font.
bool drawClipped(IGraphics* pGraphics, IText* pText, const char* str, const IRECT& r,
                 bool elide = false);

}  // namespace qtext
