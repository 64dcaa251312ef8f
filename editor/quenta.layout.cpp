#include "editor/quenta.layout.h"

#include <cstring>

namespace qlayout {

const Bitmap kBitmaps[kNumBitmaps] = {
    {kBack, "resources/img/back.png", 1, kPanelWidth, kPanelHeight},
    {kPlugOff, "resources/img/plug_off.png", 1, 30, 30},
    {kPlugOn, "resources/img/plug_on.png", 1, 30, 30},
    {kKnob, "resources/img/knob.png", 65, 32, 32},
    {kKnobBig, "resources/img/knob_big.png", 65, 40, 40},
    {kKnobSmall, "resources/img/knob_small.png", 65, 26, 26},
    {kSwitch2, "resources/img/switch2.png", 2, 20, 20},
    {kSwitch3, "resources/img/switch3.png", 3, 40, 40},
    {kSwitch4, "resources/img/switch4.png", 4, 40, 40},
    {kSwitch6, "resources/img/switch6.png", 6, 40, 40},
    {kSwitch2Orange, "resources/img/switch2orange.png", 2, 20, 20},
    {kSwitch2Horiz, "resources/img/switch2horiz.png", 2, 32, 16},
    {kLed, "resources/img/led.png", 1, 10, 10},
    {kButtonOff, "resources/img/button_off.png", 1, 34, 16},
    {kButtonOn, "resources/img/button_on.png", 1, 34, 16},
    {kPrev, "resources/img/prev.png", 2, 24, 20},
    {kNext, "resources/img/next.png", 2, 24, 20},
    {kLearn, "resources/img/learn.png", 2, 40, 20},
    {kUnlearn, "resources/img/unlearn.png", 2, 40, 20},
    {kKick, "resources/img/kick.png", 2, 32, 24},
};

const Bitmap* findBitmap(int id) {
  for (const Bitmap& b : kBitmaps)
    if (b.id == id) return &b;
  return nullptr;
}

const char* bitmapFileName(const Bitmap& b) {
  const char* slash = std::strrchr(b.file, '/');
  return slash ? slash + 1 : b.file;
}

namespace {

// Table helpers: one per kind of entry, with the label printed for it.
constexpr Control make(Kind kind, int x, int y, int param, int bitmap, const char* label) {
  Control c;
  c.kind = kind;
  c.x = x;
  c.y = y;
  c.param = param;
  c.bitmap = bitmap;
  c.label = label;
  return c;
}
constexpr Control sized(Kind kind, int x, int y, int w, int h, int id, const char* label) {
  Control c = make(kind, x, y, id, kNoBitmap, label);
  c.w = w;
  c.h = h;
  return c;
}
constexpr Control knob(int x, int y, int param, const char* label, int bitmap = kKnob) {
  return make(Kind::Knob, x, y, param, bitmap, label).withScale(Scale::Unipolar);
}
constexpr Control bipolar(int x, int y, int param, const char* label) {
  return knob(x, y, param, label).withScale(Scale::Bipolar);
}
// A rotary switch: a knob over a switch image, one drag over its height covers the range.
constexpr Control rotary(int x, int y, int param, int bitmap, const char* label,
                         const char* positions) {
  return make(Kind::Knob, x, y, param, bitmap, label).withGearing(1.0).withPositions(positions);
}
constexpr Control textKnob(int x, int y, int param, const char* label) {
  return make(Kind::TextKnob, x, y, param, kKnobSmall, label).at(Place::Above);
}
constexpr Control toggle(int x, int y, int param, const char* label, int bitmap = kSwitch2) {
  return make(Kind::Switch, x, y, param, bitmap, label);
}
constexpr Control selector(int x, int y, int param, int type, int off, int on, const char* label) {
  Control c = make(Kind::Selector, x, y, param, off, label);
  c.bitmap2 = on;
  c.menuType = type;
  return c;
}
// A patch point: its text names the source plugged in.
constexpr Control jack(int x, int y, int param, int type, const char* label) {
  return selector(x, y, param, type, kPlugOff, kPlugOn, label);
}
// A host-synchronised rate: dark while "off", lit with the rate otherwise.
constexpr Control rate(int x, int y, int param, const char* label) {
  return selector(x, y, param, 4, kButtonOff, kButtonOn, label);
}
// A MIDI controller number on a dark button.
constexpr Control controller(int x, int y, int param, const char* label) {
  return selector(x, y, param, 1, kButtonOff, kButtonOff, label).withLightText().at(Place::Left);
}
// The program's number and name fields (the number field's rectangle; the name's is known).
constexpr Control programControl() {
  const int w = kProgramNumber[2] - kProgramNumber[0], h = kProgramNumber[3] - kProgramNumber[1];
  return sized(Kind::PresetMenu, kProgramNumber[0], kProgramNumber[1], w, h, kIdNone, nullptr);
}
// A Block's output switch in the mixer.
constexpr Control channelOn(int x, int y, int block) {
  const Control c = toggle(x, y, BlockParam(block, kChEnable), "ON", kSwitch2Orange);
  return c.withCtx().at(Place::Left);
}
constexpr Control led(int x, int y, int role) {
  Control c = make(Kind::Led, x, y, kIdNone, kLed, nullptr);
  c.led = role;
  return c;
}

}  // namespace

const Control kFixedControls[] = {
    programControl(),
    make(Kind::Kick, 28, 581, kIdPrevProgram, kPrev, nullptr),
    make(Kind::Kick, 79, 581, kIdNextProgram, kNext, nullptr),
    sized(Kind::OptionMenu, 304, 581, 48, 20, kIdOptions, nullptr),
    sized(Kind::Version, 364, 630, 108, 14, kIdNone, nullptr),
    make(Kind::Kick, 490, 568, kIdTrigger, kKick, "TRG 1").at(Place::Right),
    make(Kind::MidiLearn, 359, 580, kIdMidiLearn, kLearn, nullptr),
    led(1406, 68, kLedActive).labelled("ACTIVE", Place::Left),
    led(1134, 348, kLedSH),
    led(1178, 468, kLedGEG),
};
const int kNumFixedControls = sizeof kFixedControls / sizeof kFixedControls[0];

const Control kGlobalControls[] = {
    knob(1394, 134, kFinal, "MASTER", kKnobBig),
    jack(1331, 174, kTVCASrc, 2, "TOTAL VCA"),
    // The mixer strip, one row per Block.
    knob(1250, 66, BlockParam(kBlockA, kVolume), "VOLUME").withCtx().at(Place::Right),
    channelOn(1202, 69, kBlockA),
    jack(1131, 102, BlockParam(kBlockA, kVCAFSrc), 2, "VCA").withCtx(),
    jack(1192, 102, BlockParam(kBlockA, kChGate), 2, "GATE").withCtx(),
    knob(1250, 138, BlockParam(kBlockB, kVolume), "VOLUME").withCtx().at(Place::Right),
    channelOn(1202, 141, kBlockB),
    jack(1131, 174, BlockParam(kBlockB, kVCAFSrc), 2, "VCA").withCtx(),
    jack(1192, 174, BlockParam(kBlockB, kChGate), 2, "GATE").withCtx(),
    knob(1250, 210, BlockParam(kBlockC, kVolume), "VOLUME").withCtx().at(Place::Right),
    channelOn(1202, 213, kBlockC),
    jack(1131, 246, BlockParam(kBlockC, kVCAFSrc), 2, "VCA").withCtx(),
    jack(1192, 246, BlockParam(kBlockC, kChGate), 2, "GATE").withCtx(),
    // Sample and hold.
    knob(1122, 384, kSHFreq, "RATE").at(Place::Above),
    rate(1121, 417, kSHHost, "SYNC"),
    toggle(1148, 466, kSHSync, "STRETCH").at(Place::Left).small(),
    jack(1123, 489, kSHIn, 2, "IN"),
    // General envelope.
    knob(1186, 336, kGEGDly, "DELAY"),
    knob(1186, 384, kGEGAtk, "ATTACK"),
    knob(1186, 432, kGEGRel, "REL"),
    toggle(1212, 466, kGEGAuto, "AUTO").at(Place::Above, 12, 1).small(),
    jack(1172, 489, kGEGSrc1, 3, "TRG1").small(),
    jack(1202, 489, kGEGSrc2, 3, "TRG2").small(),
    // Voltage processors.
    bipolar(1250, 336, kVP1A, "+5 V"),
    bipolar(1250, 384, kVP1B, "-5 V"),
    bipolar(1314, 336, kVP2A, "+5 V"),
    bipolar(1314, 384, kVP2B, "-5 V"),
    toggle(1288, 450, kVP2Sel, nullptr, kSwitch2Horiz).withPositions("IN 1|IN 2"),
    jack(1250, 489, kVP1Src, 2, "IN"),
    jack(1314, 489, kVP2Src, 2, "IN"),
    rotary(1394, 212, kKBDTrig, kSwitch6, "KBD TRIG", "OFF|1|2|3|4|5"),
    // Clocks, controller triggers and control voltages.
    rate(1412, 285, kClk1Src, "CLK 1").at(Place::Left),
    rate(1412, 301, kClk2Src, "CLK 2").at(Place::Left),
    rate(1412, 317, kClk3Src, "CLK 3").at(Place::Left),
    rate(1412, 333, kClk4Src, "CLK 4").at(Place::Left),
    controller(1412, 349, kTrg1Src, "CC TRG 1"),
    controller(1412, 365, kTrg2Src, "CC TRG 2"),
    controller(1412, 405, kVC1Src, "CV 1"),
    controller(1412, 421, kVC2Src, "CV 2"),
    controller(1412, 437, kVC3Src, "CV 3"),
    controller(1412, 453, kVC4Src, "CV 4"),
    controller(1412, 469, kVC5Src, "CV 5"),
    controller(1412, 485, kVC6Src, "CV 6"),
    controller(1412, 501, kVC7Src, "CV 7"),
    controller(1412, 517, kVC8Src, "CV 8"),
    // Bottom row.
    textKnob(436, 588, kPBRange, "BEND"),
    toggle(492, 600, kUseHold, "USE HOLD").at(Place::Right),
    toggle(612, 600, BlockParam(kBlockA, kOverRel), "A").withCtx().at(Place::Left),
    knob(684, 584, BlockParam(kBlockA, kEMORel), "TIME").withCtx(),
    toggle(740, 600, BlockParam(kBlockB, kOverRel), "B").withCtx().at(Place::Left),
    knob(812, 584, BlockParam(kBlockB, kEMORel), "TIME").withCtx(),
    toggle(868, 600, BlockParam(kBlockC, kOverRel), "C").withCtx().at(Place::Left),
    knob(940, 584, BlockParam(kBlockC, kEMORel), "TIME").withCtx(),
    knob(1004, 584, kLag1, "LAG 1").at(Place::Above),
    jack(1005, 621, kLag1Src, 2, nullptr),
    knob(1056, 584, kLag2, "LAG 2").at(Place::Above),
    jack(1057, 621, kLag2Src, 2, nullptr),
    bipolar(1120, 584, kAtn1, "ATN 1").at(Place::Above),
    jack(1121, 621, kAtn1Src, 2, nullptr),
    bipolar(1172, 584, kAtn2, "ATN 2").at(Place::Above),
    jack(1173, 621, kAtn2Src, 2, nullptr),
    bipolar(1224, 584, kAtn3, "ATN 3").at(Place::Above),
    jack(1225, 621, kAtn3Src, 2, nullptr),
};
const int kNumGlobalControls = sizeof kGlobalControls / sizeof kGlobalControls[0];

const Control kBlockControls[] = {
    sized(Kind::UtilMenu, 330, 24, 20, 12, kIdUtilMenuA, "COPY").at(Place::Left),
    sized(Kind::TuningMenu, 345, 503, 20, 15, kIdTuningMenuA, "TEMP").at(Place::Above),
    led(231, 396, kLedMG1),
    led(339, 348, kLedMG2),
    textKnob(23, 498, kTuneC, "C").withCtx(),
    textKnob(49, 498, kTuneCs, "C#").withCtx(),
    textKnob(75, 498, kTuneD, "D").withCtx(),
    textKnob(101, 498, kTuneDs, "D#").withCtx(),
    textKnob(127, 498, kTuneE, "E").withCtx(),
    textKnob(153, 498, kTuneF, "F").withCtx(),
    textKnob(179, 498, kTuneFs, "F#").withCtx(),
    textKnob(205, 498, kTuneG, "G").withCtx(),
    textKnob(231, 498, kTuneGs, "G#").withCtx(),
    textKnob(257, 498, kTuneA, "A").withCtx(),
    textKnob(283, 498, kTuneAs, "A#").withCtx(),
    textKnob(309, 498, kTuneB, "B").withCtx(),
    // Sound generator.
    rotary(47, 76, kWaveform, kSwitch6, "WAVE", "TRI|SAW|SQR|RECT|PULSE|PWM").withCtx(),
    knob(51, 144, kPWMInt, "PWM").withCtx(),
    bipolar(27, 200, kFine, "FINE").withCtx(),
    bipolar(75, 200, kCoarse, "COARSE").withCtx(),
    rotary(47, 252, kOctave, kSwitch4, "OCTAVE", "16'|8'|4'|2'").withCtx(),
    toggle(23, 294, kFMRev, "INV", kSwitch2Orange).withCtx(),
    toggle(99, 294, kFMMod, "FM", kSwitch2Orange).withCtx(),
    knob(51, 336, kFMMG1, "FM MG1").withCtx(),
    knob(51, 384, kFMGEG, "FM GEG").withCtx(),
    jack(36, 441, kFMSrc, 2, "FM").withCtx(),
    jack(70, 441, kPWMSrc, 2, "PWM").withCtx(),
    // Filter.
    knob(131, 76, kCutoff, "CUTOFF", kKnobBig).withCtx(),
    knob(135, 144, kPeak, "PEAK").withCtx(),
    bipolar(135, 200, kFCBal, "KBD").withCtx(),
    knob(135, 256, kExpand, "EXPAND").withCtx().at(Place::Below, -4, 0),
    toggle(167, 294, kFCMod, "MOD", kSwitch2Orange).withCtx(),
    knob(135, 336, kFCMG1, "fC MG1").withCtx(),
    knob(135, 384, kFCGEG, "fC GEG").withCtx(),
    jack(136, 441, kFCSrc, 2, "fC").withCtx(),
    // Envelope.
    knob(195, 76, kEMAtk, "ATTACK", kKnobBig).withCtx(),
    knob(199, 144, kEMDcy, "DECAY").withCtx(),
    knob(199, 200, kEMSus, "SUSTAIN").withCtx(),
    rotary(195, 260, kEMRel, kSwitch3, "RELEASE", "DAMP|HALF|REL").withGearing(-1.0).withCtx(),
    toggle(227, 264, kEMHold, "HOLD").withCtx().at(Place::Below, 9, 0).small(),
    jack(185, 441, kEMASrc, 2, "ATK").withCtx(),
    jack(215, 441, kEMRSrc, 3, "REL").withCtx(),
    // Resonator.
    knob(263, 160, kRSInt, "RES").withCtx(),
    knob(327, 136, kRSFreq1, "PEAK 1").withCtx(),
    knob(327, 184, kRSFreq2, "PEAK 2").withCtx(),
    knob(327, 232, kRSFreq3, "PEAK 3").withCtx().at(Place::Below, 0, -1),
    toggle(353, 272, kRSMod, "MOD").withCtx(),
    jack(327, 441, kRfCSrc, 2, "RES").withCtx(),
    // Output.
    bipolar(259, 76, kKBDBal, "KBD BAL").withCtx(),
    bipolar(326, 80, kPan, "PAN").withCtx(),
    knob(263, 256, kAMInt, "AM").withCtx(),
    toggle(295, 294, kAMMod, "AM ON", kSwitch2Orange).withCtx(),
    // Modulation generators.
    rotary(227, 332, kMG1Wave, kSwitch6, nullptr, "TRI|SAW-|SAW+|SQR|WHT|PNK").withCtx(),
    knob(263, 384, kMG1Freq, "RATE").withCtx().at(Place::Above),
    rate(263, 417, kMG1Host, "SYNC").withCtx().at(Place::Left).small(),
    jack(248, 441, kMG1MSrc, 2, "AMT").withCtx(),
    jack(278, 441, kMG1FSrc, 2, "RATE").withCtx(),
    knob(327, 384, kMG2Freq, "RATE").withCtx().at(Place::Above),
    rate(327, 417, kMG2Host, "SYNC").withCtx().at(Place::Left).small(),
};
const int kNumBlockControls = sizeof kBlockControls / sizeof kBlockControls[0];

Rect controlRect(const Control& c, int block) {
  const int dx = block * kBlockDx;
  int w = c.w, h = c.h;
  if (const Bitmap* b = findBitmap(c.bitmap)) {
    w = b->width;
    h = b->frameHeight;
  }
  Rect r{c.x + dx, c.y, c.x + dx + w, c.y + h};
  if (c.kind == Kind::TextKnob) r.B += kValueStripBottom;
  if (c.kind == Kind::PresetMenu) r.R = kProgramName[2];
  return r;
}

int controlParam(const Control& c, int block) {
  // The Blocks' menu ids count down from Block A's.
  const bool blockMenu = c.param <= kIdUtilMenuA && c.param > kIdContextMenu;
  if (c.param < 0) return c.param - (blockMenu ? block : 0);
  return c.param + block * kBlockParamCount;
}

const Frame kFrames[] = {
    // The three Blocks.
    {"BLOCK", 12, 4, 364, 542, FrameStyle::Section, true, TitleAt::Left},
    {"OSCILLATOR", 17, 40, 106, 396, FrameStyle::Module, true, TitleAt::Centre},
    {"FILTER", 125, 40, 64, 396, FrameStyle::Module, true, TitleAt::Centre},
    {"ENVELOPE", 191, 40, 62, 278, FrameStyle::Module, true, TitleAt::Centre},
    {"OUTPUT", 255, 40, 118, 88, FrameStyle::Module, true, TitleAt::Centre},
    {"RESONATOR", 255, 130, 118, 118, FrameStyle::Module, true, TitleAt::Left},
    {nullptr, 321, 240, 52, 78, FrameStyle::Module, true, TitleAt::Centre},
    {nullptr, 255, 250, 64, 68, FrameStyle::Module, true, TitleAt::Centre},
    {"MG 1", 191, 320, 128, 116, FrameStyle::Module, true, TitleAt::Right},
    {"MG 2", 321, 320, 52, 116, FrameStyle::Module, true, TitleAt::Centre},
    {nullptr, 17, 438, 356, 48, FrameStyle::Strip, true, TitleAt::Centre},
    {nullptr, 17, 488, 356, 54, FrameStyle::Module, true, TitleAt::Centre},
    // Global modules.
    {"GLOBAL", 1108, 4, 364, 542, FrameStyle::Section, false, TitleAt::Left},
    {"MIXER", 1113, 40, 187, 256, FrameStyle::Module, false, TitleAt::Centre},
    {"OUTPUT", 1302, 40, 165, 230, FrameStyle::Module, false, TitleAt::Centre},
    {"CLOCK", 1358, 272, 109, 269, FrameStyle::Module, false, TitleAt::Centre},
    {"S/H", 1113, 300, 55, 241, FrameStyle::Module, false, TitleAt::Centre},
    {"GEG", 1170, 300, 75, 241, FrameStyle::Module, false, TitleAt::Centre},
    {"PROCESSORS", 1247, 300, 109, 241, FrameStyle::Module, false, TitleAt::Centre},
    // Bottom row.
    {nullptr, 12, 550, 1460, 106, FrameStyle::Section, false, TitleAt::Left},
    {"PROGRAM", 17, 555, 338, 96, FrameStyle::Module, false, TitleAt::Centre},
    {"MIDI", 357, 555, 173, 96, FrameStyle::Module, false, TitleAt::Centre},
    {"OVERRIDE RELEASE", 532, 555, 458, 96, FrameStyle::Module, false, TitleAt::Centre},
    {nullptr, 992, 555, 116, 96, FrameStyle::Module, false, TitleAt::Centre},
    {nullptr, 1110, 555, 152, 96, FrameStyle::Module, false, TitleAt::Centre},
    {"PATCH INFO", 1264, 555, 203, 96, FrameStyle::Module, false, TitleAt::Centre},
};
const int kNumFrames = sizeof kFrames / sizeof kFrames[0];

const Text kTexts[] = {
    {"A", 1121, 79, true, false},      {"B", 1121, 151, true, false},
    {"C", 1121, 223, true, false},     {"VP 1", 1266, 318, false, false},
    {"VP 2", 1330, 318, false, false}, {"MIDI CC", 1412, 391, true, false},
};
const int kNumTexts = sizeof kTexts / sizeof kTexts[0];

}  // namespace qlayout
