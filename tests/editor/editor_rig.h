#pragma once
// The editor suite's rig: a small plug-in that records what the editor tells it, and a headless
// graphics object attached to it as the framework attaches one, with strips made in memory.
#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/platform/headless.h"
#include "plugin/IPlugBase.h"
#include "render/bitmap.h"
#include "support/images.h"

namespace edtest {

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
  RecordingPlug();
  void SetParameterFromGUI(int idx, double normalizedValue) override;
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
  std::string TakeLog();

  std::vector<std::string> mLog;
};

class Rig {
 public:
  explicit Rig(int w = 200, int h = 100);

  void Attach();  // as the framework attaches the graphics object; opens its window
  // Images the rig owns: a strip of frames of w x frameH stacked top to bottom, each of its own
  // colour; the same with every pixel different; one colour.
  IBitmap Strip(int w, int frameH, int frames);
  IBitmap Gradient(int w, int frameH, int frames);
  IBitmap Solid(int w, int h, LICE_pixel colour);
  // Mouse actions with the left button (or mod).
  void Click(int x, int y, const IMouseMod& mod = IMouseMod(true));
  void Drag(int x0, int y0, int x1, int y1, const IMouseMod& mod = IMouseMod(true));

  RecordingPlug plug;
  IGraphicsHeadless* gfx;  // owned by plug once attached

 private:
  std::vector<std::unique_ptr<LICE_MemBitmap>> mImages;
  std::unique_ptr<IGraphicsHeadless> mUnattached;
};

}  // namespace edtest
