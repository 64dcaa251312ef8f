#pragma once
// Small drawing vocabulary over cairo for the panel's images: colours, shapes, text in the
// fonts the build installs, and one image (a strip of frames or the background) per canvas.
// Everything is deterministic: no clock, no random source, fixed font options.
#include <cairo.h>

#include <string>

namespace panelimg {

struct Rgb {
  double r, g, b;
};
constexpr Rgb rgb(int hex) {
  return Rgb{((hex >> 16) & 255) / 255.0, ((hex >> 8) & 255) / 255.0, (hex & 255) / 255.0};
}
Rgb mix(Rgb a, Rgb b, double t);

// The panel's palette.
namespace colour {
constexpr Rgb kPanel = rgb(0x24272b);       // anodised panel
constexpr Rgb kPanelLight = rgb(0x2d3136);  // module fields
constexpr Rgb kLine = rgb(0x5b6068);        // printed frame lines
constexpr Rgb kInk = rgb(0xece6d6);         // printed labels
constexpr Rgb kInkDim = rgb(0xa9a79f);      // scale marks, secondary labels
constexpr Rgb kAccent = rgb(0xf0a23a);      // module titles
constexpr Rgb kDisplay = rgb(0x0b0c0d);     // display windows
constexpr Rgb kLamp = rgb(0xff4a3a);
}  // namespace colour

enum class Font { Label, Title, Heading, Logo, Button };
enum class Align { Left, Centre, Right };

// A canvas of w x h pixels (transparent, or filled with the panel colour).
class Canvas {
 public:
  Canvas(int w, int h);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return mCr; }
  int width() const { return mW; }
  int height() const { return mH; }
  // Writes the canvas as PNG; false on failure.
  bool writePng(const std::string& path) const;

  void setColour(Rgb c, double alpha = 1.0) const;
  void roundRect(double x, double y, double w, double h, double r) const;
  void circle(double cx, double cy, double r) const;
  void fillRoundRect(double x, double y, double w, double h, double r, Rgb c,
                     double alpha = 1.0) const;
  void strokeRoundRect(double x, double y, double w, double h, double r, Rgb c, double width) const;
  void line(double x0, double y0, double x1, double y1, Rgb c, double width,
            double alpha = 1.0) const;

  // Text: x is the left edge, centre or right edge by align; y is the baseline.
  void selectFont(Font f) const;
  double textWidth(Font f, const char* text) const;
  void text(Font f, const char* text, double x, double y, Align align, Rgb c,
            double alpha = 1.0) const;
  // Ascent above the baseline of capitals in font f, in pixels (for centring).
  double capHeight(Font f) const;

 private:
  int mW, mH;
  cairo_surface_t* mSurface;
  cairo_t* mCr;
};

// Angle of a pointer, in radians clockwise from 12 o'clock, for knob value v (0..1): the
// scale runs from -135 to +135 degrees.
double knobAngle(double v);
// Angle of position i of n on a rotary switch.
double switchAngle(int i, int n);

}  // namespace panelimg
