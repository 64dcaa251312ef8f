#include "tools/panel_images/paint.h"

#include <cmath>

namespace panelimg {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct FontSpec {
  const char* family;
  cairo_font_weight_t weight;
  double size;  // em size in pixels
};

FontSpec fontSpec(Font f) {
  switch (f) {
    case Font::Label: return {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 9.0};
    case Font::Button: return {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 8.0};
    case Font::Heading: return {"DejaVu Sans Condensed", CAIRO_FONT_WEIGHT_BOLD, 10.0};
    case Font::Title: return {"DejaVu Sans", CAIRO_FONT_WEIGHT_BOLD, 13.0};
    case Font::Logo: return {"DejaVu Sans", CAIRO_FONT_WEIGHT_BOLD, 26.0};
  }
  return {"DejaVu Sans", CAIRO_FONT_WEIGHT_NORMAL, 10.0};
}

}  // namespace

Rgb mix(Rgb a, Rgb b, double t) {
  return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int w, int h) : mW(w), mH(h) {
  mSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  mCr = cairo_create(mSurface);
  // Fixed font rendering: grey anti-aliasing, light hinting, metrics on the pixel grid.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_set_font_options(mCr, options);
  cairo_font_options_destroy(options);
}

Canvas::~Canvas() {
  cairo_destroy(mCr);
  cairo_surface_destroy(mSurface);
}

bool Canvas::writePng(const std::string& path) const {
  cairo_surface_flush(mSurface);
  return cairo_surface_write_to_png(mSurface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

void Canvas::setColour(Rgb c, double alpha) const {
  cairo_set_source_rgba(mCr, c.r, c.g, c.b, alpha);
}

void Canvas::roundRect(double x, double y, double w, double h, double r) const {
  cairo_new_sub_path(mCr);
  cairo_arc(mCr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(mCr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(mCr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(mCr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(mCr);
}

void Canvas::circle(double cx, double cy, double r) const {
  cairo_new_sub_path(mCr);
  cairo_arc(mCr, cx, cy, r, 0, 2 * kPi);
}

void Canvas::fillRoundRect(double x, double y, double w, double h, double r, Rgb c,
                           double alpha) const {
  roundRect(x, y, w, h, r);
  setColour(c, alpha);
  cairo_fill(mCr);
}

void Canvas::strokeRoundRect(double x, double y, double w, double h, double r, Rgb c,
                             double width) const {
  roundRect(x, y, w, h, r);
  setColour(c);
  cairo_set_line_width(mCr, width);
  cairo_stroke(mCr);
}

void Canvas::line(double x0, double y0, double x1, double y1, Rgb c, double width,
                  double alpha) const {
  cairo_move_to(mCr, x0, y0);
  cairo_line_to(mCr, x1, y1);
  setColour(c, alpha);
  cairo_set_line_width(mCr, width);
  cairo_stroke(mCr);
}

void Canvas::selectFont(Font f) const {
  const FontSpec s = fontSpec(f);
  cairo_select_font_face(mCr, s.family, CAIRO_FONT_SLANT_NORMAL, s.weight);
  cairo_set_font_size(mCr, s.size);
}

double Canvas::textWidth(Font f, const char* text) const {
  selectFont(f);
  cairo_text_extents_t e;
  cairo_text_extents(mCr, text, &e);
  return e.x_advance;
}

double Canvas::capHeight(Font f) const {
  selectFont(f);
  cairo_text_extents_t e;
  cairo_text_extents(mCr, "H", &e);
  return -e.y_bearing;
}

void Canvas::text(Font f, const char* text, double x, double y, Align align, Rgb c,
                  double alpha) const {
  const double w = textWidth(f, text);
  double left = x;
  if (align == Align::Centre) left = x - w / 2;
  if (align == Align::Right) left = x - w;
  // Whole pixels keep the hinted glyphs crisp.
  cairo_move_to(mCr, std::round(left), std::round(y));
  setColour(c, alpha);
  cairo_show_text(mCr, text);
}

double knobAngle(double v) { return (-135.0 + 270.0 * v) * kPi / 180.0; }

double switchAngle(int i, int n) {
  // Positions 40 degrees apart (three: 45), centred on 12 o'clock.
  const double step = n == 3 ? 45.0 : 40.0;
  return ((i - (n - 1) / 2.0) * step) * kPi / 180.0;
}

}  // namespace panelimg
