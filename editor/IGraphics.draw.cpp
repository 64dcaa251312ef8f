// The graphics core's drawing: the surface, the redraw pass, bitmaps, fills and text.
//
// Every primitive clips to the pass's drawing rectangle once and hands the rendering library
// a destination that lies inside it, moving the source origin by what was cut off.
#include "editor/IGraphics.h"

#include <cstring>

#include "editor/GraphicsCaches.h"
#include "editor/IControl.h"
#include "render/bitmap.h"
#include "render/blit.h"
#include "render/font.h"
#include "render/pixel.h"

namespace {

// The rendering library's mode for a blend; no blend copies honouring the source's alpha,
// for blits and fills alike.
int BlendMode(const IChannelBlend* pBlend) {
  switch (pBlend ? pBlend->mMethod : IChannelBlend::kBlendNone) {
    case IChannelBlend::kBlendCopy: return LICE_BLIT_MODE_COPY;
    case IChannelBlend::kBlendAdd: return LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
    case IChannelBlend::kBlendDodge: return LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
    case IChannelBlend::kBlendNone: break;
  }
  return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
}

float BlendWeight(const IChannelBlend* pBlend) { return pBlend ? pBlend->mWeight : 1.0f; }

unsigned Channel(int v) { return v < 0 ? 0u : v > 255 ? 255u : (unsigned)v; }

LICE_pixel Pixel(const IColor& c) {
  return LICE_RGBA(Channel(c.R), Channel(c.G), Channel(c.B), Channel(c.A));
}

LICE_Rect ToLice(const IRECT& r) { return LICE_Rect{r.L, r.T, r.R, r.B}; }

// (frame - 1) x length / frames, rounded half up.
int FrameOffset(int frame, int length, int frames) {
  return (int)(((long long)(frame - 1) * length * 2 + frames) / (2LL * frames));
}

}  // namespace

void IGraphics::PrepDraw() {
  if (mDrawBitmap) return;
  mDrawBitmap.reset(new LICE_SysBitmap(mWidth, mHeight));
  mTmpBitmap.reset(new LICE_MemBitmap());
  // The surface starts black rather than with whatever the memory held.
  if (LICE_pixel* bits = mDrawBitmap->getBits())
    std::memset(bits, 0, sizeof(LICE_pixel) * (size_t)mDrawBitmap->getRowSpan() * (size_t)mHeight);
}

LICE_IBitmap* IGraphics::GetDrawBitmap() const { return mDrawBitmap.get(); }

bool IGraphics::Covered(const IControl* pControl, const IRECT& r) const {
  const IRECT visible = pControl->GetRECT().Intersect(SurfaceRECT());
  return !visible.HasArea() || r.Contains(visible);
}

bool IGraphics::Draw(const IRECT& rIn) {
  if (!mDrawBitmap) return false;
  const int n = NControls();
  if (n == 0) return true;
  const IRECT r = rIn.Intersect(SurfaceRECT());
  IRECT copied = r;
  if (mStrict) {
    mDrawRECT = r;
    for (int i = 0; i < n; ++i) {
      IControl* pControl = GetControl(i);
      const IRECT& c = pControl->GetRECT();
      if (!pControl->IsHidden() && !c.Empty() && !r.Empty() && r.Overlaps(c)) pControl->Draw(this);
      // Only a control whose whole visible area was repainted here is up to date; a dirty one
      // reaching outside r keeps its flag for the pass that covers it.
      if (!r.Empty() && Covered(pControl, r)) pControl->SetClean();
    }
  } else if (GetControl(0)->IsDirty()) {
    mDrawRECT = GetControl(0)->GetRECT().Intersect(SurfaceRECT());
    for (int i = 0; i < n; ++i) {
      IControl* pControl = GetControl(i);
      if (i == 0 || !pControl->IsHidden()) pControl->Draw(this);
      pControl->SetClean();
    }
    copied = copied.Union(mDrawRECT);
  } else {
    for (int i = 1; i < n; ++i) {
      IControl* pDirty = GetControl(i);
      if (!pDirty->IsDirty()) continue;
      mDrawRECT = pDirty->GetRECT().Intersect(SurfaceRECT());
      if (mDrawRECT.HasArea()) {
        for (int j = 0; j < n; ++j) {
          IControl* pControl = GetControl(j);
          const IRECT& c = pControl->GetRECT();
          if (pControl->IsHidden() || c.Empty()) continue;
          if (j == i || mDrawRECT.Overlaps(c)) pControl->Draw(this);
        }
        copied = copied.Union(mDrawRECT);
      }
      pDirty->SetClean();
    }
  }
  if (!copied.Empty()) DrawScreen(copied);
  return true;
}

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& r, int frame,
                           const IChannelBlend* pBlend) {
  if (!bitmap.mData || !mDrawBitmap) return true;
  const int frames = bitmap.Frames();
  if (frame < 1) frame = 1;
  if (frame > frames) frame = frames;
  int srcX = 0, srcY = 0;
  if (frames >= 2 && frame >= 2) {
    if (bitmap.mFramesAreHorizontal)
      srcX = FrameOffset(frame, bitmap.W, frames);
    else
      srcY = FrameOffset(frame, bitmap.H, frames);
  }
  // At most one frame is drawn, however large r is, and only inside the drawing rectangle.
  const IRECT frameArea(r.L, r.T, r.L + bitmap.FrameWidth(), r.T + bitmap.FrameHeight());
  const IRECT dst = r.Intersect(frameArea).Intersect(mDrawRECT);
  if (!dst.HasArea()) return true;
  LICE_Blit(mDrawBitmap.get(), bitmap.mData, dst.L, dst.T, srcX + dst.L - r.L, srcY + dst.T - r.T,
            dst.W(), dst.H(), BlendWeight(pBlend), BlendMode(pBlend));
  return true;
}

bool IGraphics::FillIRect(const IColor& color, const IRECT& r, const IChannelBlend* pBlend) {
  if (!mDrawBitmap) return true;
  const IRECT dst = r.Intersect(mDrawRECT);
  if (!dst.HasArea()) return true;
  LICE_FillRect(mDrawBitmap.get(), dst.L, dst.T, dst.W(), dst.H(), Pixel(color),
                BlendWeight(pBlend), BlendMode(pBlend));
  return true;
}

bool IGraphics::DrawIText(IText* pText, const char* str, IRECT* pR, bool measure) {
  if (!str || !*str) return true;
  if (!pText || !pR) return false;
  LICE_CachedFont* pFont = CacheFont(pText);
  if (!pFont) return false;
  const int align = pText->mAlign;
  if (measure) {
    const int w = pFont->GetTextWidth(str);
    IRECT& r = *pR;
    if (align == IText::kAlignCenter)
      r.L = (int)(0.5 * (r.L + r.R) - 0.5 * w);
    else if (align == IText::kAlignFar)
      r.L = r.R - w;
    r.R = r.L + w;
    r.B = r.T + pFont->GetLineHeight();
    return true;
  }
  LICE_Rect lr = ToLice(*pR);
  if (!mDrawBitmap) return false;
  const IRECT clip = mDrawRECT.Intersect(SurfaceRECT());
  if (!clip.HasArea()) return true;
  const LICE_Rect lclip = ToLice(clip);
  pFont->DrawText(mDrawBitmap.get(), str, &lr, align, Pixel(pText->mColor), &lclip);
  return true;
}

LICE_CachedFont* IGraphics::CacheFont(IText* pText) {
  if (!pText) return nullptr;
  FontStorage& storage = FontStorage::Get();
  const int style = pText->mStyle;
  LICE_CachedFont* pFont = storage.Find(pText->mSize, pText->mOrientation, style, pText->mFace);
  if (!pFont) {
    const int h = pText->mSize > 2 ? pText->mSize : 2;
    int quality = 1;  // unknown qualities draw without antialiasing
    switch (pText->mQuality) {
      case IText::kQualityDefault: quality = 0; break;
      case IText::kQualityNonAntiAliased: quality = 1; break;
      case IText::kQualityAntiAliased:
      case IText::kQualityClearType: quality = 2; break;
    }
    LICE_FontSpec request{pText->mFace,
                          h,
                          style == IText::kStyleBold ? 700 : 400,
                          style == IText::kStyleItalic,
                          10 * pText->mOrientation,
                          quality};
    pFont = LICE_CachedFont::Create(request);
    // Faces whose line is taller than their size would overflow the panel's text fields:
    // scale the request so the line height becomes the size asked for (h^2 / line height,
    // rounded half up). A face without a line height keeps its first size.
    const int lineHeight = pFont ? pFont->GetLineHeight() : 0;
    if (pFont && lineHeight > 0 && lineHeight != h) {
      request.height = (2 * h * h + lineHeight) / (2 * lineHeight);
      if (request.height < 1) request.height = 1;
      if (LICE_CachedFont* pScaled = LICE_CachedFont::Create(request)) {
        delete pFont;
        pFont = pScaled;
      }
    }
    if (!pFont) return nullptr;
    pFont = storage.Add(pText->mSize, pText->mOrientation, style, pText->mFace, pFont);
  }
  pText->mCachedFont = pFont;
  return pFont;
}
