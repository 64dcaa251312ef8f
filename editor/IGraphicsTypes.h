#pragma once
// The editor's small value types: rectangles, colours, blends, text styles, bitmaps, mouse
// modifiers and key codes. All plain values; the decoded image behind a bitmap and the font
// behind a text style belong to the process-wide caches and are only pointed to, so this
// header needs nothing from the rendering library.

class LICE_IBitmap;
class LICE_CachedFont;

// A colour with straight (not premultiplied) alpha, each channel 0 .. 255.
struct IColor {
  int A = 255, R = 0, G = 0, B = 0;

  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  constexpr bool operator==(const IColor& o) const {
    return A == o.A && R == o.R && G == o.G && B == o.B;
  }
  constexpr bool operator!=(const IColor& o) const { return !(*this == o); }
};

constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
constexpr IColor COLOR_BLACK(255, 0, 0, 0);
constexpr IColor COLOR_GRAY(255, 127, 127, 127);
constexpr IColor COLOR_WHITE(255, 255, 255, 255);
constexpr IColor COLOR_RED(255, 255, 0, 0);
constexpr IColor COLOR_GREEN(255, 0, 255, 0);
constexpr IColor COLOR_BLUE(255, 0, 0, 255);
constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
constexpr IColor COLOR_ORANGE(255, 255, 127, 0);

constexpr IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
constexpr IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
constexpr IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

// How a bitmap or a fill is laid onto the surface, and at what opacity (the weight).
// kBlendNone (and no blend at all) is a copy that honours the source's alpha; kBlendCopy
// ignores it; kBlendAdd and kBlendDodge honour it.
struct IChannelBlend {
  enum EBlendMethod { kBlendNone = 0, kBlendCopy = 1, kBlendAdd = 2, kBlendDodge = 3 };

  EBlendMethod mMethod = kBlendNone;
  float mWeight = 1.0f;

  constexpr IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f)
      : mMethod(method), mWeight(weight) {}
};

// A text style. mCachedFont is filled by IGraphics::CacheFont on first use and points into
// the process-wide font cache.
struct IText {
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum EQuality {
    kQualityDefault = 0,
    kQualityNonAntiAliased = 1,
    kQualityAntiAliased = 2,
    kQualityClearType = 3,
  };
  enum { kMaxFaceLen = 32 };

  char mFace[kMaxFaceLen + 1];
  int mSize = 10;  // pixels
  IColor mColor = DEFAULT_TEXT_COLOR;
  IColor mTextEntryBGColor = DEFAULT_TEXT_ENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXT_ENTRY_FGCOLOR;
  EStyle mStyle = kStyleNormal;
  EAlign mAlign = kAlignCenter;
  int mOrientation = 0;  // degrees
  EQuality mQuality = kQualityDefault;
  LICE_CachedFont* mCachedFont = nullptr;

  // face null means "Monaco"; a longer face is cut to kMaxFaceLen characters.
  explicit IText(int size = 10, const IColor& color = DEFAULT_TEXT_COLOR,
                 const char* face = nullptr, EStyle style = kStyleNormal,
                 EAlign align = kAlignCenter, int orientation = 0,
                 EQuality quality = kQualityDefault);
  explicit IText(const IColor& color) : IText(10, color) {}
  void SetFace(const char* face);
};

// A decoded image as the controls see it: the image (owned by the bitmap cache; null when it
// could not be loaded, and then drawing it does nothing), its full size and its frames. Every
// strip of this editor is vertical, one frame being W x H / N.
struct IBitmap {
  LICE_IBitmap* mData = nullptr;
  int W = 0, H = 0;
  int N = 1;  // frames; values below 1 count as 1
  bool mFramesAreHorizontal = false;

  IBitmap() = default;
  IBitmap(LICE_IBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
      : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(framesAreHorizontal) {}

  int Frames() const { return N > 1 ? N : 1; }
  int FrameWidth() const { return mFramesAreHorizontal ? W / Frames() : W; }
  int FrameHeight() const { return mFramesAreHorizontal ? H : H / Frames(); }
};

// A rectangle in editor pixels (origin top-left, y down); R and B are exclusive.
struct IRECT {
  int L = 0, T = 0, R = 0, B = 0;

  constexpr IRECT() = default;
  constexpr IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}
  // A bitmap-sized rectangle: x, y to x + one frame's width and height.
  IRECT(int x, int y, const IBitmap& bitmap)
      : L(x), T(y), R(x + bitmap.FrameWidth()), B(y + bitmap.FrameHeight()) {}

  // Empty means all four are 0 (the "no rectangle" value); HasArea is the geometric test.
  constexpr bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  constexpr bool HasArea() const { return R > L && B > T; }
  void Clear() { L = T = R = B = 0; }
  constexpr int W() const { return R - L; }
  constexpr int H() const { return B - T; }
  constexpr bool operator==(const IRECT& o) const {
    return L == o.L && T == o.T && R == o.R && B == o.B;
  }
  constexpr bool operator!=(const IRECT& o) const { return !(*this == o); }

  // An empty rectangle contains nothing.
  constexpr bool Contains(int x, int y) const {
    return !Empty() && x >= L && x < R && y >= T && y < B;
  }
  // Whether o lies wholly inside this rectangle.
  constexpr bool Contains(const IRECT& o) const {
    return o.L >= L && o.T >= T && o.R <= R && o.B <= B;
  }
  // The overlap test of the redraw pass: touching on the right or bottom edge counts.
  constexpr bool Overlaps(const IRECT& c) const {
    return R >= c.L && L < c.R && B >= c.T && T < c.B;
  }
  // The smallest rectangle holding both; an empty operand is ignored.
  IRECT Union(const IRECT& o) const;
  // The common part; the empty rectangle when there is none.
  IRECT Intersect(const IRECT& o) const;
};

// The mouse buttons and modifier keys of an event: left, right, shift, control, option (alt).
struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;

  constexpr IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false,
                      bool a = false)
      : L(l), R(r), S(s), C(c), A(a) {}
};

// Key codes handed to IGraphics::OnKeyDown by the window back ends.
enum EKeyCode {
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,  // '0' .. '9' are 5 .. 14
  kKeyA = 15,      // 'A' .. 'Z' (either case) are 15 .. 40
  kKeyZ = 40,
};
