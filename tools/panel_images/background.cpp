// The background: panel, section and module frames, display windows, lamp lenses, menu
// buttons, knob scales and every printed label, placed from the layout tables.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/panel_images/paint.h"
#include "tools/panel_images/strips.h"

namespace panelimg {

namespace {

using namespace colour;
using qlayout::Control;
using qlayout::Kind;
using qlayout::Place;
using qlayout::Rect;

constexpr double kPi = 3.14159265358979323846;
constexpr int kLabelGap = 2;     // between a control and its label
constexpr int kScaleReach = 5;   // how far a knob's scale reaches beyond its rectangle
constexpr int kRotaryInset = 2;  // a rotary switch's corners are empty

struct Box {
  double L, T, R, B;
  bool overlaps(const Box& o) const { return L < o.R && o.L < R && T < o.B && o.T < B; }
};

struct Printed {
  Box box;
  std::string name;
};

// Everything the collision check compares: the controls (with their scales) and the printed
// labels so far.
struct Occupancy {
  std::vector<Printed> controls;
  std::vector<Printed> labels;
  std::vector<Collision>* collisions;

  // owner: the control the label belongs to when it may reach into its corners (the names
  // around a rotary switch), else empty.
  void addLabel(const Box& b, const std::string& name, const std::string& owner = "") {
    if (b.L < 0 || b.T < 0 || b.R > qlayout::kPanelWidth || b.B > qlayout::kPanelHeight)
      collisions->push_back({"label \"" + name + "\" leaves the panel"});
    for (const Printed& c : controls)
      if (b.overlaps(c.box) && c.name != owner)
        collisions->push_back({"label \"" + name + "\" covers " + c.name});
    for (const Printed& l : labels)
      if (b.overlaps(l.box))
        collisions->push_back({"label \"" + name + "\" overlaps label \"" + l.name + "\""});
    labels.push_back({b, name});
  }
};

bool hasScale(const Control& c) { return c.kind == Kind::Knob && c.scale != qlayout::Scale::None; }

Box zoneOf(const Control& c, const Rect& r) {
  Box b{(double)r.L, (double)r.T, (double)r.R, (double)r.B};
  if (hasScale(c) && c.scale != qlayout::Scale::Positions) {
    b.L -= kScaleReach;
    b.R += kScaleReach;
    b.T -= kScaleReach;
  }
  if (c.scale == qlayout::Scale::Positions) {
    // A rotary switch fills its round base only; the bar reaches the edge at its tip.
    b.L += kRotaryInset;
    b.R -= kRotaryInset;
    b.T += kRotaryInset;
    b.B -= kRotaryInset;
  }
  return b;
}

std::string controlName(const Control& c, int block) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s (param %d at %d,%d)", c.label ? c.label : "control",
                qlayout::controlParam(c, block), c.x + block * qlayout::kBlockDx, c.y);
  return buf;
}

// Prints text with its box's top-left corner at (x, top) and records it.
void printAt(const Canvas& cv, Occupancy& occ, Font f, const char* text, double x, double top,
             Align align, Rgb colour, const std::string& name, const std::string& owner = "") {
  const double w = cv.textWidth(f, text), capH = cv.capHeight(f);
  double L = align == Align::Left ? x : align == Align::Centre ? x - w / 2 : x - w;
  L = std::round(L);
  cv.text(f, text, L, top + capH, Align::Left, colour);
  occ.addLabel(Box{L, top, L + w, top + capH}, name, owner);
}

void printLabel(const Canvas& cv, Occupancy& occ, const Control& c, const Rect& r, int block) {
  if (!c.label || c.place == Place::None) return;
  const Font f = c.smallLabel ? Font::Button : Font::Label;
  const double w = cv.textWidth(f, c.label), capH = cv.capHeight(f);
  const double reach = hasScale(c) && c.scale != qlayout::Scale::Positions ? kScaleReach : 0;
  const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0;
  double x = cx, top = r.B + kLabelGap;
  Align align = Align::Centre;
  switch (c.place) {
    case Place::Below: break;
    case Place::Above: top = r.T - reach - kLabelGap - capH; break;
    case Place::Left:
      x = r.L - reach - kLabelGap - 1;
      top = std::round(cy - capH / 2);
      align = Align::Right;
      break;
    case Place::Right:
      x = r.R + reach + kLabelGap + 1;
      top = std::round(cy - capH / 2);
      align = Align::Left;
      break;
    case Place::None: return;
  }
  (void)w;
  printAt(cv, occ, f, c.label, x + c.labelDx, top + c.labelDy, align, kInk, controlName(c, block));
}

// Ticks around a knob: eleven marks over its travel; a bipolar knob marks its centre.
void drawKnobScale(const Canvas& cv, const Control& c, const Rect& r) {
  const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0, rad = (r.R - r.L) / 2.0;
  for (int i = 0; i <= 10; ++i) {
    const double a = knobAngle(i / 10.0);
    const bool major = i == 0 || i == 10 || (c.scale == qlayout::Scale::Bipolar && i == 5);
    const double r0 = rad + 1.5, r1 = rad + (major ? 4.5 : 3.5);
    cv.line(cx + std::sin(a) * r0, cy - std::cos(a) * r0, cx + std::sin(a) * r1,
            cy - std::cos(a) * r1, major ? kInk : kInkDim, major ? 1.2 : 0.9);
  }
}

// Position marks and names around a rotary switch.
void drawPositions(const Canvas& cv, Occupancy& occ, const Control& c, const Rect& r, int block) {
  std::vector<std::string> names;
  for (const char* p = c.positions; p && *p;) {
    const char* bar = std::strchr(p, '|');
    names.emplace_back(p, bar ? (size_t)(bar - p) : std::strlen(p));
    p = bar ? bar + 1 : nullptr;
  }
  const int n = (int)names.size();
  const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0, rad = (r.R - r.L) / 2.0;
  const double capH = cv.capHeight(Font::Button);
  for (int i = 0; i < n; ++i) {
    const double a = switchAngle(i, n), s = std::sin(a), co = std::cos(a);
    cv.line(cx + s * (rad - 2.5), cy - co * (rad - 2.5), cx + s * (rad + 0.5),
            cy - co * (rad + 0.5), kInk, 1.2);
    const double px = cx + s * (rad + 3.0), py = cy - co * (rad + 3.0);
    Align align = s < -0.3 ? Align::Right : s > 0.3 ? Align::Left : Align::Centre;
    double top = py - capH / 2;
    if (co > 0.6) top = py - capH;
    if (co < -0.6) top = py;
    printAt(cv, occ, Font::Button, names[i].c_str(),
            px + (align == Align::Left    ? 1
                  : align == Align::Right ? -1
                                          : 0),
            std::round(top), align, kInk, controlName(c, block) + " position " + names[i],
            controlName(c, block));
  }
}

// The two ends of a slide switch.
void drawSlideEnds(const Canvas& cv, Occupancy& occ, const Control& c, const Rect& r, int block) {
  const char* bar = std::strchr(c.positions, '|');
  const std::string left(c.positions, (size_t)(bar - c.positions)), right(bar + 1);
  const double capH = cv.capHeight(Font::Button), top = std::round((r.T + r.B) / 2.0 - capH / 2);
  printAt(cv, occ, Font::Button, left.c_str(), r.L - 3, top, Align::Right, kInk,
          controlName(c, block) + " left");
  printAt(cv, occ, Font::Button, right.c_str(), r.R + 3, top, Align::Left, kInk,
          controlName(c, block) + " right");
}

// A display window sunk into the panel.
void drawDisplay(const Canvas& cv, double x, double y, double w, double h) {
  cv.fillRoundRect(x - 1.5, y - 1.5, w + 3, h + 3, 3, rgb(0x4a4e55));
  cv.fillRoundRect(x - 1, y - 1, w + 2, h + 2, 2.5, rgb(0x0f1012));
  cv.fillRoundRect(x, y, w, h, 2, kDisplay);
  cv.line(x + 1, y + 0.5, x + w - 1, y + 0.5, rgb(0x000000), 1.0);
}

// The lens of a lamp, seen when the lamp is dark (the lit lamp is drawn over it).
void drawLens(const Canvas& cv, const Rect& r) {
  const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0;
  cv.circle(cx, cy, 6.5);
  cv.setColour(rgb(0x0b0c0d));
  cairo_fill(cv.cr());
  cv.circle(cx, cy, 4.8);
  cv.setColour(rgb(0x4a1511));
  cairo_fill(cv.cr());
  cv.circle(cx - 1.3, cy - 1.3, 1.3);
  cv.setColour(rgb(0xffffff), 0.18);
  cairo_fill(cv.cr());
}

// A menu button printed on the panel (the control itself draws nothing).
void drawMenuButton(const Canvas& cv, const Rect& r, const char* text) {
  const double w = r.R - r.L, h = r.B - r.T;
  cv.fillRoundRect(r.L, r.T + 0.8, w, h, 3, rgb(0x000000), 0.55);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, r.T, 0, r.B);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.34, 0.36, 0.39);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.14, 0.15, 0.17);
  cv.roundRect(r.L + 0.5, r.T + 0.5, w - 1, h - 1, 2.5);
  cairo_set_source(cv.cr(), p);
  cairo_fill(cv.cr());
  cairo_pattern_destroy(p);
  if (text) {
    const double capH = cv.capHeight(Font::Button);
    cv.text(Font::Button, text, (r.L + r.R) / 2.0, std::round((r.T + r.B) / 2.0 + capH / 2),
            Align::Centre, kInk);
  } else {
    // A small down arrow.
    const double cx = (r.L + r.R) / 2.0, cy = (r.T + r.B) / 2.0;
    cairo_move_to(cv.cr(), cx - 4, cy - 2);
    cairo_line_to(cv.cr(), cx + 4, cy - 2);
    cairo_line_to(cv.cr(), cx, cy + 2.5);
    cairo_close_path(cv.cr());
    cv.setColour(kAccent);
    cairo_fill(cv.cr());
  }
}

// Fine horizontal grain of brushed metal, from a fixed sequence.
void drawGrain(const Canvas& cv) {
  uint32_t seed = 0x2545F491u;
  for (int y = 0; y < qlayout::kPanelHeight; ++y) {
    seed = seed * 1664525u + 1013904223u;
    const double a = ((seed >> 24) / 255.0) * 0.035;
    cv.line(0, y + 0.5, qlayout::kPanelWidth, y + 0.5,
            (seed & 0x100) ? rgb(0xffffff) : rgb(0x000000), 1.0, a);
  }
}

void drawFrame(const Canvas& cv, Occupancy& occ, const qlayout::Frame& f, int block) {
  const double x = f.x + block * qlayout::kBlockDx;
  std::string title = f.title ? f.title : "";
  const bool section = f.style == qlayout::FrameStyle::Section;
  if (section && f.perBlock && !title.empty()) title += std::string(" ") + (char)('A' + block);
  switch (f.style) {
    case qlayout::FrameStyle::Section:
      cv.fillRoundRect(x + 0.5, f.y + 0.5, f.w - 1, f.h - 1, 6, rgb(0x000000), 0.18);
      cv.strokeRoundRect(x + 0.5, f.y + 0.5, f.w - 1, f.h - 1, 6, kLine, 1.0);
      break;
    case qlayout::FrameStyle::Module: cv.fillRoundRect(x, f.y, f.w, f.h, 4, kPanelLight); break;
    case qlayout::FrameStyle::Strip: cv.fillRoundRect(x, f.y, f.w, f.h, 4, rgb(0x1b1d20)); break;
  }
  if (title.empty()) return;
  const Font font = section ? Font::Title : Font::Heading;
  const double top = section ? f.y + 9 : f.y + 4;
  if (cv.textWidth(font, title.c_str()) > f.w - 8)
    occ.collisions->push_back({"title \"" + title + "\" is wider than its frame"});
  switch (f.titleAt) {
    case qlayout::TitleAt::Left:
      printAt(cv, occ, font, title.c_str(), x + (section ? 10 : 4), top, Align::Left,
              section ? kInk : kAccent, title);
      break;
    case qlayout::TitleAt::Right:
      printAt(cv, occ, font, title.c_str(), x + f.w - 4, top, Align::Right, kAccent, title);
      break;
    case qlayout::TitleAt::Centre:
      printAt(cv, occ, font, title.c_str(), x + f.w / 2.0, top, Align::Centre,
              section ? kInk : kAccent, title);
      break;
  }
}

// The maker's mark under the program row.
void drawLogo(const Canvas& cv, Occupancy& occ) {
  const double x = 30, top = 616;
  printAt(cv, occ, Font::Logo, "QUENTA", x, top, Align::Left, kInk, "logo");
  const double w = cv.textWidth(Font::Logo, "QUENTA");
  printAt(cv, occ, Font::Label, "POLYPHONIC SYNTHESIZER", x + w + 12, top + 4, Align::Left, kInkDim,
          "logo line 1");
  printAt(cv, occ, Font::Label, "AMBERFOLD", x + w + 12, top + 15, Align::Left, kAccent,
          "logo line 2");
}

void drawControlDecor(const Canvas& cv, Occupancy& occ, const Control& c, int block) {
  const Rect r = qlayout::controlRect(c, block);
  switch (c.kind) {
    case Kind::Knob:
      if (c.scale == qlayout::Scale::Positions)
        drawPositions(cv, occ, c, r, block);
      else if (c.scale != qlayout::Scale::None)
        drawKnobScale(cv, c, r);
      break;
    case Kind::TextKnob:
      drawDisplay(cv, r.L + 1, r.B - qlayout::kValueStripBottom + qlayout::kValueStripTop,
                  r.R - r.L - 2, qlayout::kValueStripBottom - qlayout::kValueStripTop);
      break;
    case Kind::Switch:
      if (c.positions) drawSlideEnds(cv, occ, c, r, block);
      break;
    case Kind::Led: drawLens(cv, r); break;
    case Kind::UtilMenu:
    case Kind::TuningMenu: drawMenuButton(cv, r, nullptr); break;
    case Kind::OptionMenu: drawMenuButton(cv, r, "OPTIONS"); break;
    case Kind::PresetMenu:
      drawDisplay(cv, qlayout::kProgramNumber[0], qlayout::kProgramNumber[1],
                  qlayout::kProgramNumber[2] - qlayout::kProgramNumber[0],
                  qlayout::kProgramNumber[3] - qlayout::kProgramNumber[1]);
      drawDisplay(cv, qlayout::kProgramName[0], qlayout::kProgramName[1],
                  qlayout::kProgramName[2] - qlayout::kProgramName[0],
                  qlayout::kProgramName[3] - qlayout::kProgramName[1]);
      break;
    default: break;
  }
  printLabel(cv, occ, c, r, block);
}

template <typename F>
void forEachControl(F f) {
  for (int i = 0; i < qlayout::kNumFixedControls; ++i) f(qlayout::kFixedControls[i], 0);
  for (int i = 0; i < qlayout::kNumGlobalControls; ++i) f(qlayout::kGlobalControls[i], 0);
  for (int b = 0; b < 3; ++b)
    for (int i = 0; i < qlayout::kNumBlockControls; ++i) f(qlayout::kBlockControls[i], b);
}

}  // namespace

void drawBackground(Canvas& cv, std::vector<Collision>& collisions) {
  Occupancy occ;
  occ.collisions = &collisions;
  forEachControl([&](const Control& c, int block) {
    if (c.kind == Kind::PresetMenu) {
      // The program control's rectangle covers the next-program button; only its two fields
      // count as occupied.
      occ.controls.push_back(
          {Box{(double)qlayout::kProgramNumber[0], (double)qlayout::kProgramNumber[1],
               (double)qlayout::kProgramNumber[2], (double)qlayout::kProgramNumber[3]},
           "program number"});
      occ.controls.push_back(
          {Box{(double)qlayout::kProgramName[0], (double)qlayout::kProgramName[1],
               (double)qlayout::kProgramName[2], (double)qlayout::kProgramName[3]},
           "program name"});
      return;
    }
    occ.controls.push_back({zoneOf(c, qlayout::controlRect(c, block)), controlName(c, block)});
  });
  occ.controls.push_back(
      {Box{(double)qlayout::kInfoX, (double)qlayout::kInfoY,
           (double)qlayout::kInfoX + qlayout::kInfoW, (double)qlayout::kInfoY + qlayout::kInfoH},
       "information panel"});

  cv.setColour(kPanel);
  cairo_paint(cv.cr());
  drawGrain(cv);
  for (int i = 0; i < qlayout::kNumFrames; ++i) {
    const qlayout::Frame& f = qlayout::kFrames[i];
    for (int b = 0; b < (f.perBlock ? 3 : 1); ++b) drawFrame(cv, occ, f, b);
  }
  drawDisplay(cv, qlayout::kInfoX, qlayout::kInfoY, qlayout::kInfoW, qlayout::kInfoH);
  for (int i = 0; i < qlayout::kNumTexts; ++i) {
    const qlayout::Text& t = qlayout::kTexts[i];
    for (int b = 0; b < (t.perBlock ? 3 : 1); ++b)
      printAt(cv, occ, t.heading ? Font::Heading : Font::Label, t.text, t.x + b * qlayout::kBlockDx,
              t.y, Align::Centre, t.heading ? kAccent : kInk, t.text);
  }
  drawLogo(cv, occ);
  forEachControl([&](const Control& c, int block) { drawControlDecor(cv, occ, c, block); });
}

}  // namespace panelimg
