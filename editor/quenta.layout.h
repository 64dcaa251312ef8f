#pragma once
// The panel's layout as plain data, shared by the editor (createGraphics attaches one control
// per entry, in table order) and by the image tool (which paints every printed label, scale and
// module frame of the background from the same entries). So a label cannot drift away from its
// control: move an entry and both follow.
//
// Coordinates are pixels from the panel's top-left corner. A bitmap-sized control's rectangle
// is its corner plus the frame size of its image; the frame sizes here are the sizes the image
// tool draws, and the editor checks the loaded images against them.
#include "instrument/params.h"

namespace qlayout {

constexpr int kPanelWidth = 1480;
constexpr int kPanelHeight = 660;
constexpr int kFrameRate = 25;
// Block b's controls are Block A's moved right by b * kBlockDx, parameters by 61 * b.
constexpr int kBlockDx = 364;

// ---- Images ----
enum BitmapId {
  kBack = 101,
  kPlugOff,
  kPlugOn,
  kKnob,
  kKnobBig,
  kKnobSmall,
  kSwitch2,
  kSwitch3,
  kSwitch4,
  kSwitch6,
  kSwitch2Orange,
  kSwitch2Horiz,
  kLed,
  kButtonOff,
  kButtonOn,
  kPrev,
  kNext,
  kLearn,
  kUnlearn,
  kKick,
  kNoBitmap = 0
};

struct Bitmap {
  int id;
  const char* file;  // as the editor names it; the bundle holds it under Resources/img/
  int frames;        // stacked top to bottom
  int width, frameHeight;
};
constexpr int kNumBitmaps = 20;
extern const Bitmap kBitmaps[kNumBitmaps];
// The entry of an id, or null.
const Bitmap* findBitmap(int id);
// The file name without its folder ("knob.png").
const char* bitmapFileName(const Bitmap& b);

// ---- Controls ----
// Ids of controls that stand for no parameter (kept in the parameter-index field).
enum ControlId {
  kIdPrevProgram = -232,
  kIdNextProgram = -233,
  kIdOptions = -234,
  kIdMidiLearn = -235,
  kIdTrigger = -236,
  kIdUtilMenuA = -237,
  kIdTuningMenuA = -240,
  kIdContextMenu = -243,
  kIdInfoPanel = -244,
  kIdNone = -1
};

enum class Kind {
  PresetMenu,  // the program number and name fields (kProgramNumber, kProgramName)
  Kick,        // push button: previous, next, manual trigger (by id)
  OptionMenu,  // the options menu button (rect)
  Version,     // the version label (rect)
  MidiLearn,   // the learn / unlearn switch
  Led,         // indicator lamp, hidden until the instrument lights it
  Knob,        // knob or rotary switch over an image of frames
  TextKnob,    // small knob with its value printed below
  Switch,      // two-state switch
  Selector,    // patch point or rate / controller selector with a pop-up menu
  UtilMenu,    // a Block's copy menu button (rect)
  TuningMenu,  // a Block's temperament menu button (rect)
};

// Where the tool prints a control's label relative to its rectangle.
enum class Place { None, Below, Above, Left, Right };

// Which lamp an Led entry is (the instrument keeps a pointer to each).
enum LedRole { kLedActive, kLedSH, kLedGEG, kLedMG1, kLedMG2, kNoLed = -1 };

// How a knob's scale is printed around it.
enum class Scale { None, Unipolar, Bipolar, Positions };

struct Control {
  Kind kind = Kind::Knob;
  int x = 0, y = 0;         // top-left corner
  int w = 0, h = 0;         // rectangle size of controls without an image (menus, fields); else 0
  int param = kIdNone;      // parameter (Block A's for the Block table) or control id
  int bitmap = kNoBitmap;   // image (the off image of a selector)
  int bitmap2 = kNoBitmap;  // the on image of a selector
  int menuType = 0;         // selector menu type 0..4
  double gearing = 4.0;     // knobs
  bool ctx = false;         // copy-to-Block context menu
  bool lightText = false;   // selector text white at alpha 160 instead of black
  int led = kNoLed;         // LedRole of a lamp
  // Printed on the background:
  const char* label = nullptr;
  Place place = Place::Below;
  int labelDx = 0, labelDy = 0;  // nudge from the default position
  Scale scale = Scale::None;
  const char* positions = nullptr;  // rotary switches: names separated by '|', value 0 first
  bool smallLabel = false;          // label in the smaller type, where space is short

  // Chainable settings for the tables.
  constexpr Control withGearing(double g) const {
    Control c = *this;
    c.gearing = g;
    return c;
  }
  constexpr Control withCtx() const {
    Control c = *this;
    c.ctx = true;
    return c;
  }
  constexpr Control withLightText() const {
    Control c = *this;
    c.lightText = true;
    return c;
  }
  constexpr Control at(Place p, int dx = 0, int dy = 0) const {
    Control c = *this;
    c.place = p;
    c.labelDx = dx;
    c.labelDy = dy;
    return c;
  }
  constexpr Control withScale(Scale s) const {
    Control c = *this;
    c.scale = s;
    return c;
  }
  constexpr Control labelled(const char* text, Place p) const {
    Control c = *this;
    c.label = text;
    c.place = p;
    return c;
  }
  constexpr Control small() const {
    Control c = *this;
    c.smallLabel = true;
    return c;
  }
  constexpr Control withPositions(const char* names) const {
    Control c = *this;
    c.scale = Scale::Positions;
    c.positions = names;
    return c;
  }
};

// Steps 2 to 8 of the panel: program control, program buttons, options, version label,
// manual trigger, MIDI learn, the three global lamps.
extern const Control kFixedControls[];
extern const int kNumFixedControls;
// The global controls, in attachment order.
extern const Control kGlobalControls[];
extern const int kNumGlobalControls;
// One Block's controls (Block A), in attachment order.
extern const Control kBlockControls[];
extern const int kNumBlockControls;

// The program control's two fields.
constexpr int kProgramNumber[4] = {54, 584, 78, 604};
constexpr int kProgramName[4] = {105, 584, 297, 604};

// The information panel, attached after the global controls and before the Blocks.
constexpr int kInfoX = 1296, kInfoY = 576, kInfoW = 160, kInfoH = 64;
// Its four lines: top offsets from kInfoY.
constexpr int kInfoLineDy[4] = {1, 12, 41, 52};

// The text knob's value strip: 2 to 16 pixels below the knob.
constexpr int kValueStripTop = 2, kValueStripBottom = 16;

// A control's rectangle on the panel for Block b (0 for fixed and global controls).
struct Rect {
  int L, T, R, B;
};
Rect controlRect(const Control& c, int block = 0);
// The parameter (or id) of a Block entry for Block b.
int controlParam(const Control& c, int block);

// ---- Printed decoration ----
// A frame drawn around a group of controls, with its title; per-Block frames are repeated for
// Blocks B and C.
enum class FrameStyle { Section, Module, Strip };
enum class TitleAt { Centre, Left, Right };
struct Frame {
  const char* title;  // null: none; a Block's section title gets the Block's letter
  int x, y, w, h;
  FrameStyle style;
  bool perBlock;
  TitleAt titleAt;
};
extern const Frame kFrames[];
extern const int kNumFrames;

// Free-standing printed texts (row letters, sub-headings): top-left corner or centre.
struct Text {
  const char* text;
  int x, y;  // x is the centre of the text, y the top of its capitals
  bool heading;
  bool perBlock;
};
extern const Text kTexts[];
extern const int kNumTexts;

}  // namespace qlayout
