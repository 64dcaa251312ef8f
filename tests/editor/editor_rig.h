#pragma once
// The editor suite's rig: a small plug-in that records what the editor tells it, and a headless
// graphics object attached to it as the framework attaches one, with strips made in memory.
#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/platform/headless.h"
#include "plugin/IParam.h"
#include "plugin/IPlugBase.h"
#include "render/bitmap.h"
#include "render/blit.h"
#include "support/images.h"

namespace quenta_test {

enum ERigParam {
  kParamGain = 0,  // double 0 .. 1, step 0.001, default 0.5
  kParamMode,      // enum of four named waves, default 1
  kParamSwitch,    // bool "off" / "on", default off
  kParamDepth,     // double -10 .. 10, step 0.1, shown negated, default 0
  kNumRigParams
};

// What the plug-in was told, in order: "B<i>" begin edit, "E<i>" end edit, "S<i>" a value from
// the editor (SetParameterFromGUI), "I" OnIdle; TakeLog joins and clears them.
class RecordingPlug : public IPlugBase {
 public:
  RecordingPlug()
      : IPlugBase(kNumRigParams, "0-2", 1, "RigPlug", "RigPlug", "Rig", 0x10000, 1, 1, 0, false,
                  false, true, kAPIVST2) {
    GetParam(kParamGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.001);
    GetParam(kParamMode)->InitEnum("Mode", 1, 4);
    const char* const names[] = {"Saw", "Square", "Tri", "Sine"};
    for (int i = 0; i < 4; ++i) GetParam(kParamMode)->SetDisplayText(i, names[i]);
    GetParam(kParamSwitch)->InitBool("Switch", false);
    GetParam(kParamDepth)->InitDouble("Depth", 0.0, -10.0, 10.0, 0.1);
    GetParam(kParamDepth)->SetNegateDisplay();
  }
  void SetParameterFromGUI(int idx, double normalizedValue) override {
    mLog.push_back("S" + std::to_string(idx));
    IPlugBase::SetParameterFromGUI(idx, normalizedValue);
  }
  void OnIdle() override { mLog.push_back("I"); }
  void BeginInformHostOfParamChange(int idx) override { mLog.push_back("B" + std::to_string(idx)); }
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int idx) override { mLog.push_back("E" + std::to_string(idx)); }
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int* pNum, int* pDenom) override { *pNum = *pDenom = 4; }
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int, int) override {}
  bool SendMidiMsg(IMidiMsg*) override { return false; }
  std::string TakeLog() {
    std::string s;
    for (const std::string& e : mLog) s += (s.empty() ? "" : " ") + e;
    mLog.clear();
    return s;
  }

  std::vector<std::string> mLog;
};

class Rig {
 public:
  explicit Rig(int w = 200, int h = 100)
      : gfx(new IGraphicsHeadless(&plug, w, h)), mUnattached(gfx) {}

  void Attach() {  // as the framework attaches the graphics object; opens its window
    plug.AttachGraphics(mUnattached.release());
    gfx->OpenWindow(nullptr);
  }
  // Images the rig owns: a strip of frames of w x frameH stacked top to bottom, each of its own
  // colour; the same with every pixel different; one colour.
  IBitmap Strip(int w, int frameH, int frames) {
    LICE_MemBitmap* pImage = Image(w, frameH * frames);
    for (int k = 0; k < frames; ++k)
      LICE_FillRect(pImage, 0, k * frameH, w, frameH,
                    LICE_RGBA(40 * (k + 1) % 256, 255 - 30 * k % 256, 7 * k, 255), 1.0f,
                    LICE_BLIT_MODE_COPY);
    return IBitmap(pImage, w, frameH * frames, frames);
  }
  IBitmap Gradient(int w, int frameH, int frames) {
    IBitmap strip = Strip(w, frameH, frames);
    for (int y = 0; y < strip.H; ++y)
      for (int x = 0; x < w; ++x)
        quenta_test::At(*strip.mData, x, y) =
            LICE_RGBA(x * 8 % 256, y % frameH * 8 % 256, 40 * (y / frameH) % 256, 255);
    return strip;
  }
  IBitmap Solid(int w, int h, LICE_pixel colour) {
    LICE_FillRect(Image(w, h), 0, 0, w, h, colour, 1.0f, LICE_BLIT_MODE_COPY);
    return IBitmap(mImages.back().get(), w, h, 1);
  }
  // Mouse actions with the left button (or mod).
  void Click(int x, int y, const IMouseMod& mod = IMouseMod(true)) {
    gfx->OnMouseDown(x, y, mod);
    gfx->OnMouseUp(x, y, mod);
  }
  void Drag(int x0, int y0, int x1, int y1, const IMouseMod& mod = IMouseMod(true)) {
    gfx->OnMouseDown(x0, y0, mod);
    gfx->OnMouseDrag(x1, y1, mod);
    gfx->OnMouseUp(x1, y1, mod);
  }

  RecordingPlug plug;
  IGraphicsHeadless* gfx;  // owned by plug once attached

 private:
  LICE_MemBitmap* Image(int w, int h) {
    mImages.emplace_back(new LICE_MemBitmap(w, h));
    return mImages.back().get();
  }
  std::vector<std::unique_ptr<LICE_MemBitmap>> mImages;
  std::unique_ptr<IGraphicsHeadless> mUnattached;
};

}  // namespace quenta_test
