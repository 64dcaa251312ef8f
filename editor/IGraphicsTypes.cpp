#include "editor/IGraphicsTypes.h"

#include <algorithm>

#include "plugin/IParam.h"

IText::IText(int size, const IColor& color, const char* face, EStyle style, EAlign align,
             int orientation, EQuality quality)
    : mSize(size),
      mColor(color),
      mStyle(style),
      mAlign(align),
      mOrientation(orientation),
      mQuality(quality) {
  SetFace(face);
}

void IText::SetFace(const char* face) {
  CopyBounded(mFace, (int)sizeof(mFace), face ? face : "Monaco");
  mCachedFont = nullptr;
}

IRECT IRECT::Union(const IRECT& o) const {
  if (Empty()) return o;
  if (o.Empty()) return *this;
  return IRECT(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
}

IRECT IRECT::Intersect(const IRECT& o) const {
  IRECT r(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
  return r.HasArea() ? r : IRECT();
}
