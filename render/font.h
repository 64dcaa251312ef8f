#pragma once
// Text: a scalable face found through the system's font configuration and drawn into 32-bit
// bitmaps with antialiased coverage.
//
// The editor's face names are mapped to explicit family lists, so that the same files are used
// everywhere: "Monaco" -> DejaVu Sans Mono, Liberation Mono, monospace; "Arial" and "Helvetica"
// -> Liberation Sans, DejaVu Sans, sans-serif. Other names go to the font configuration as
// they are.
//
// The requested height is the em size in pixels; the line height (from one baseline to the
// next) is the face's own, usually a little larger. Text is laid out on one line at whole-pixel
// advances, without kerning.
#include "render/bitmap.h"
#include "render/rect.h"

struct LICE_FontSpec {
  const char* face;  // "Monaco", "Arial", "Helvetica", or any fontconfig family
  int height;        // requested height in pixels (the caller applies max(size, 2))
  int weight;        // 400 normal, 700 bold
  bool italic;
  int orientationTenths;  // escapement in tenths of a degree (0 for this editor)
  int quality;            // 0 default, 1 non-antialiased, 2 antialiased
};

class LICE_CachedFont {
 public:
  static LICE_CachedFont* Create(const LICE_FontSpec& request);  // null when no face can be found
  ~LICE_CachedFont();
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  int GetLineHeight() const;  // pixels from one line to the next
  int GetTextWidth(const char* utf8) const;
  // Draws UTF-8 text aligned in r (align: 0 left, 1 centre, 2 right; vertically at r.top),
  // colour with per-pixel alpha (A < 255 blends), clipped to clip (null = bitmap bounds).
  // measure = true draws nothing and sets *r to the text's extent, placed as it would be drawn:
  // left keeps L (R = L + width), right keeps R, centre puts L at the middle minus half the
  // width (truncated toward zero); B = T + line height.
  void DrawText(LICE_IBitmap* dest, const char* utf8, LICE_Rect* r, int align, LICE_pixel colour,
                const LICE_Rect* clip, bool measure = false);

  // The family and file of the face in use (for diagnostics and tests).
  const char* GetFamily() const;
  const char* GetFile() const;

 private:
  struct Impl;
  explicit LICE_CachedFont(Impl* impl);
  Impl* mImpl;
};
