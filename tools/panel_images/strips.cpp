// The control images: strips of frames stacked top to bottom, one frame per value step.
#include "tools/panel_images/strips.h"

#include <cmath>

#include "tools/panel_images/paint.h"

namespace panelimg {

namespace {

using namespace colour;

constexpr Rgb kKnobSkirt = rgb(0x17181b);
constexpr Rgb kKnobCapHi = rgb(0x6a6f78);
constexpr Rgb kKnobCapLo = rgb(0x25272c);
constexpr Rgb kPointer = rgb(0xf4efe2);
constexpr Rgb kMetalHi = rgb(0xd9dce0);
constexpr Rgb kMetalLo = rgb(0x7b8087);
constexpr Rgb kGreenLamp = rgb(0x8ef07a);
constexpr Rgb kOrangeLamp = rgb(0xff9d2e);
constexpr Rgb kAmber = rgb(0xf2b43c);

void radial(cairo_t* cr, double cx, double cy, double r, Rgb inner, Rgb outer, double fx,
            double fy) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx + fx, cy + fy, r * 0.1, cx, cy, r);
  cairo_pattern_add_color_stop_rgb(p, 0, inner.r, inner.g, inner.b);
  cairo_pattern_add_color_stop_rgb(p, 1, outer.r, outer.g, outer.b);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

void linear(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb a, Rgb b) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, a.r, a.g, a.b);
  cairo_pattern_add_color_stop_rgb(p, 1, b.r, b.g, b.b);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

// A round knob of size s at (0, oy): skirt, shaded cap (light from the top left, fixed while
// the knob turns) and a pointer line at angle a.
void drawKnob(const Canvas& c, double oy, int s, double a, bool metalCap) {
  cairo_t* cr = c.cr();
  const double cx = s / 2.0, cy = oy + s / 2.0;
  const double rSkirt = s / 2.0 - 0.6;
  const double rCap = s * 0.34;
  // Shadow, skirt with a faint rim.
  c.circle(cx, cy + 0.8, rSkirt);
  c.setColour(rgb(0x000000), 0.45);
  cairo_fill(cr);
  c.circle(cx, cy, rSkirt - 0.4);
  radial(cr, cx, cy, rSkirt, rgb(0x3a3d43), kKnobSkirt, -s * 0.12, -s * 0.12);
  cairo_fill(cr);
  // Skirt index ticks turn with the knob.
  for (int i = 0; i < 12; ++i) {
    const double t = a + i * (3.14159265358979323846 / 6);
    const double x0 = cx + std::sin(t) * (rCap + 1.2), y0 = cy - std::cos(t) * (rCap + 1.2);
    const double x1 = cx + std::sin(t) * (rSkirt - 1.0), y1 = cy - std::cos(t) * (rSkirt - 1.0);
    c.line(x0, y0, x1, y1, rgb(0x4a4e55), 0.7, 0.8);
  }
  // Cap.
  c.circle(cx, cy, rCap + 0.8);
  c.setColour(rgb(0x0c0d0f));
  cairo_fill(cr);
  c.circle(cx, cy, rCap);
  if (metalCap)
    radial(cr, cx, cy, rCap, kMetalHi, kMetalLo, -rCap * 0.45, -rCap * 0.55);
  else
    radial(cr, cx, cy, rCap, kKnobCapHi, kKnobCapLo, -rCap * 0.45, -rCap * 0.55);
  cairo_fill(cr);
  // Pointer: from the cap's middle to the skirt's edge.
  const double x0 = cx + std::sin(a) * rCap * 0.25, y0 = cy - std::cos(a) * rCap * 0.25;
  const double x1 = cx + std::sin(a) * (rSkirt - 1.2), y1 = cy - std::cos(a) * (rSkirt - 1.2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  c.line(x0, y0, x1, y1, metalCap ? rgb(0x1a1b1e) : kPointer, s >= 40 ? 2.4 : 2.0);
  if (metalCap)
    c.line(cx + std::sin(a) * (rCap + 1), cy - std::cos(a) * (rCap + 1), x1, y1, kPointer, 2.4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A rotary switch: a dark base and a tapered bar pointing at angle a.
void drawRotary(const Canvas& c, double oy, int s, double a) {
  cairo_t* cr = c.cr();
  const double cx = s / 2.0, cy = oy + s / 2.0;
  const double rBase = s / 2.0 - 3.0;
  c.circle(cx, cy + 0.8, rBase + 0.5);
  c.setColour(rgb(0x000000), 0.5);
  cairo_fill(cr);
  c.circle(cx, cy, rBase);
  radial(cr, cx, cy, rBase, rgb(0x44484f), rgb(0x1b1c20), -4, -4);
  cairo_fill(cr);
  // The bar, drawn pointing up and turned.
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, a);
  const double len = s / 2.0 - 1.0, tail = s * 0.3, half = s * 0.14;
  cairo_move_to(cr, -half * 0.45, -len);
  cairo_line_to(cr, half * 0.45, -len);
  cairo_line_to(cr, half, tail);
  cairo_curve_to(cr, half, tail + half * 1.2, -half, tail + half * 1.2, -half, tail);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
  cairo_save(cr);
  cairo_translate(cr, 0.6, 1.0);
  cairo_fill_preserve(cr);
  cairo_restore(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, -half * 0.45, -len);
  cairo_line_to(cr, half * 0.45, -len);
  cairo_line_to(cr, half, tail);
  cairo_curve_to(cr, half, tail + half * 1.2, -half, tail + half * 1.2, -half, tail);
  cairo_close_path(cr);
  linear(cr, -half, 0, half, 0, rgb(0x5d626b), rgb(0x1f2125));
  cairo_fill(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  c.line(0, -len + 1.5, 0, -len * 0.25, kPointer, 1.8);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_restore(cr);
}

// A latching push button with a lamp window, lit in frame 2.
void drawLatch(const Canvas& c, double oy, int s, bool on, Rgb lamp) {
  cairo_t* cr = c.cr();
  c.fillRoundRect(0.5, oy + 1.3, s - 1.0, s - 1.5, 3.5, rgb(0x000000), 0.55);
  c.roundRect(1, oy + 0.5 + (on ? 0.6 : 0), s - 2.0, s - 2.5, 3);
  linear(cr, 0, oy, 0, oy + s, rgb(0x4f535b), rgb(0x23252a));
  cairo_fill(cr);
  const double lx = 4.5, ly = oy + 4.5 + (on ? 0.6 : 0), lw = s - 9.0, lh = s - 10.0;
  c.fillRoundRect(lx - 0.8, ly - 0.8, lw + 1.6, lh + 1.6, 2.2, rgb(0x0b0b0c));
  if (on) {
    c.roundRect(lx, ly, lw, lh, 1.6);
    radial(cr, lx + lw / 2, ly + lh / 2, lw * 0.8, mix(lamp, rgb(0xffffff), 0.55), lamp, 0, -1);
    cairo_fill(cr);
  } else {
    c.roundRect(lx, ly, lw, lh, 1.6);
    linear(cr, 0, ly, 0, ly + lh, mix(lamp, rgb(0x000000), 0.62), mix(lamp, rgb(0x000000), 0.8));
    cairo_fill(cr);
  }
}

// A slide switch of w x h with the handle at the left (frame 1) or right (frame 2).
void drawSlide(const Canvas& c, double oy, int w, int h, bool right) {
  cairo_t* cr = c.cr();
  c.fillRoundRect(0.5, oy + 0.5, w - 1.0, h - 1.0, h / 2.0 - 0.5, rgb(0x0b0b0c));
  c.strokeRoundRect(0.5, oy + 0.5, w - 1.0, h - 1.0, h / 2.0 - 0.5, rgb(0x4a4e55), 1.0);
  const double hw = w * 0.5, hx = right ? w - hw - 2.0 : 2.0;
  c.roundRect(hx, oy + 2.0, hw, h - 4.0, (h - 4.0) / 2);
  linear(cr, 0, oy + 2, 0, oy + h - 2, rgb(0xc9ccd1), rgb(0x6f747b));
  cairo_fill(cr);
  for (int i = -1; i <= 1; ++i)
    c.line(hx + hw / 2 + i * 2.5, oy + 4.5, hx + hw / 2 + i * 2.5, oy + h - 4.5, rgb(0x3a3d42),
           1.0);
}

// A flat push button of w x h; lit buttons glow in amber.
void drawButton(const Canvas& c, double oy, int w, int h, bool lit, bool pressed) {
  cairo_t* cr = c.cr();
  c.fillRoundRect(0, oy + 0.5, w, h - 0.5, 3, rgb(0x000000), 0.6);
  const double dy = pressed ? 0.6 : 0.0;
  c.roundRect(0.5, oy + 0.5 + dy, w - 1.0, h - 1.5, 2.5);
  if (lit)
    linear(cr, 0, oy, 0, oy + h, mix(kAmber, rgb(0xffffff), 0.35),
           mix(kAmber, rgb(0x000000), 0.12));
  else
    linear(cr, 0, oy, 0, oy + h, rgb(0x474b52), rgb(0x1e2024));
  cairo_fill(cr);
  c.roundRect(0.5, oy + 0.5 + dy, w - 1.0, h - 1.5, 2.5);
  c.setColour(lit ? mix(kAmber, rgb(0xffffff), 0.6) : rgb(0x5f646c), 0.6);
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
}

void triangle(const Canvas& c, double cx, double cy, double size, bool left, Rgb colour) {
  cairo_t* cr = c.cr();
  const double d = left ? -1 : 1;
  cairo_move_to(cr, cx + d * size * 0.55, cy);
  cairo_line_to(cr, cx - d * size * 0.45, cy - size * 0.6);
  cairo_line_to(cr, cx - d * size * 0.45, cy + size * 0.6);
  cairo_close_path(cr);
  c.setColour(colour);
  cairo_fill(cr);
}

// The jack socket: a hexagonal nut with a dark hole.
void drawSocket(const Canvas& c, double cx, double cy) {
  cairo_t* cr = c.cr();
  const double r = 10.5;
  cairo_new_path(cr);
  for (int i = 0; i < 6; ++i) {
    const double t = (i * 60.0 + 30.0) * 3.14159265358979323846 / 180.0;
    const double x = cx + r * std::cos(t), y = cy + r * std::sin(t);
    if (i == 0)
      cairo_move_to(cr, x, y + 0.8);
    else
      cairo_line_to(cr, x, y + 0.8);
  }
  cairo_close_path(cr);
  c.setColour(rgb(0x000000), 0.5);
  cairo_fill(cr);
  for (int i = 0; i < 6; ++i) {
    const double t = (i * 60.0 + 30.0) * 3.14159265358979323846 / 180.0;
    const double x = cx + r * std::cos(t), y = cy + r * std::sin(t);
    if (i == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  cairo_close_path(cr);
  linear(cr, cx - r, cy - r, cx + r, cy + r, kMetalHi, kMetalLo);
  cairo_fill(cr);
  c.circle(cx, cy, 6.2);
  radial(cr, cx, cy, 6.2, rgb(0xb4b8be), rgb(0x5c6168), -2, -2);
  cairo_fill(cr);
  c.circle(cx, cy, 3.6);
  c.setColour(rgb(0x050505));
  cairo_fill(cr);
}

}  // namespace

void drawStrip(const qlayout::Bitmap& b, Canvas& c) {
  using namespace qlayout;
  const int w = b.width, h = b.frameHeight;
  for (int f = 0; f < b.frames; ++f) {
    const double oy = (double)f * h;
    cairo_save(c.cr());
    cairo_rectangle(c.cr(), 0, oy, w, h);
    cairo_clip(c.cr());
    switch (b.id) {
      case kKnob:
      case kKnobSmall: drawKnob(c, oy, w, knobAngle(f / (double)(b.frames - 1)), false); break;
      case kKnobBig: drawKnob(c, oy, w, knobAngle(f / (double)(b.frames - 1)), true); break;
      case kSwitch3:
      case kSwitch4:
      case kSwitch6: drawRotary(c, oy, w, switchAngle(f, b.frames)); break;
      case kSwitch2: drawLatch(c, oy, w, f == 1, kGreenLamp); break;
      case kSwitch2Orange: drawLatch(c, oy, w, f == 1, kOrangeLamp); break;
      case kSwitch2Horiz: drawSlide(c, oy, w, h, f == 1); break;
      case kLed: {
        cairo_t* cr = c.cr();
        c.circle(w / 2.0, oy + h / 2.0, w / 2.0);
        radial(cr, w / 2.0, oy + h / 2.0, w / 2.0, rgb(0xffd8c8), kLamp, -1, -1);
        cairo_fill(cr);
        break;
      }
      case kButtonOff: drawButton(c, oy, w, h, false, false); break;
      case kButtonOn: drawButton(c, oy, w, h, true, false); break;
      case kPrev:
      case kNext:
        drawButton(c, oy, w, h, false, f == 1);
        triangle(c, w / 2.0, oy + h / 2.0 + (f == 1 ? 0.6 : 0), 9, b.id == kPrev,
                 f == 1 ? kAmber : kInk);
        break;
      case kLearn:
      case kUnlearn: {
        drawButton(c, oy, w, h, f == 1, f == 1);
        const char* text = b.id == kLearn ? "LEARN" : "UNLEARN";
        c.text(Font::Button, text, w / 2.0,
               oy + h / 2.0 + c.capHeight(Font::Button) / 2 + (f == 1 ? 0.6 : 0), Align::Centre,
               f == 1 ? rgb(0x1a1308) : (b.id == kLearn ? kInk : kAccent));
        break;
      }
      case kKick: {
        drawButton(c, oy, w, h, f == 1, f == 1);
        c.text(Font::Button, "TRIG", w / 2.0,
               oy + h / 2.0 + c.capHeight(Font::Button) / 2 + (f == 1 ? 0.6 : 0), Align::Centre,
               f == 1 ? rgb(0x1a1308) : kInk);
        break;
      }
      case kPlugOff: drawSocket(c, w / 2.0, oy + h / 2.0 + 1); break;
      case kPlugOn: {
        // A plug in the socket with a tag on top; the editor prints the source's name on the
        // tag from 4 pixels below the frame's top.
        drawSocket(c, w / 2.0, oy + h / 2.0 + 1);
        cairo_t* cr = c.cr();
        c.circle(w / 2.0, oy + h / 2.0 + 3, 8.5);
        radial(cr, w / 2.0, oy + h / 2.0 + 3, 8.5, rgb(0xff8a5c), rgb(0xb8321c), -2, -3);
        cairo_fill(cr);
        c.fillRoundRect(0.5, oy + 2.5, w - 1.0, 14.5, 2.5, rgb(0x000000), 0.4);
        c.roundRect(0.5, oy + 2.0, w - 1.0, 14.0, 2.5);
        linear(cr, 0, oy + 2, 0, oy + 16, rgb(0xfbf4dc), rgb(0xe2d6b0));
        cairo_fill(cr);
        break;
      }
      default: break;
    }
    cairo_restore(c.cr());
  }
}

}  // namespace panelimg
