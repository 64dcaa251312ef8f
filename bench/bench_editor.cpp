// The editor core's drawing cost on a panel the size of the instrument's (1480 x 660) with 250
// knobs of 65 frames over a background image, drawn through the headless back end: a full
// repaint, the tick after one knob moved, and a tick with nothing to do. Times are per call;
// the editor ticks 25 times a second, so 40 ms is the whole budget of one tick.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "editor/IControl.h"
#include "editor/platform/headless.h"
#include "plugin/IPlugBase.h"
#include "render/bitmap.h"
#include "render/blit.h"

namespace quenta_bench {
namespace {

constexpr int kW = 1480, kH = 660, kKnobs = 250, kKnobSide = 32, kFrames = 65;

// A plug-in with one parameter per knob and nothing else.
class PanelPlug : public IPlugBase {
 public:
  PanelPlug()
      : IPlugBase(kKnobs, "0-2", 1, "Bench", "Bench", "Bench", 0x10000, 1, 1, 0, false, false, true,
                  kAPIVST2) {
    for (int i = 0; i < kKnobs; ++i) GetParam(i)->InitDouble("p", 0.5, 0.0, 1.0, 0.001);
  }
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int* pNum, int* pDenom) override { *pNum = *pDenom = 4; }
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int, int) override {}
  bool SendMidiMsg(IMidiMsg*) override { return false; }
};

// The plug-in owns the editor, the images outlive both.
struct Panel {
  Panel() : background(kW, kH), knob(kKnobSide, kKnobSide * kFrames) {
    LICE_FillRect(&background, 0, 0, kW, kH, LICE_RGBA(40, 44, 52, 255), 1.0f, 0);
    for (int k = 0; k < kFrames; ++k)  // translucent knob faces, as the real images have
      LICE_FillRect(&knob, 0, k * kKnobSide, kKnobSide, kKnobSide,
                    LICE_RGBA(4 * k, 200, 255 - 3 * k, 160 + k), 1.0f, 0);
    gfx = new IGraphicsHeadless(&plug, kW, kH);
    gfx->AttachControl(new IBitmapControl(&plug, 0, 0, IBitmap(&background, kW, kH)));
    const IBitmap strip(&knob, kKnobSide, kKnobSide * kFrames, kFrames);
    for (int i = 0; i < kKnobs; ++i)
      gfx->AttachControl(
          new IKnobMultiControl(&plug, 8 + (i % 25) * 58, 12 + (i / 25) * 64, i, strip));
    plug.AttachGraphics(gfx);
    gfx->OpenWindow(nullptr);
    gfx->Tick();
    gfx->Tick();
  }
  LICE_MemBitmap background, knob;
  PanelPlug plug;
  IGraphicsHeadless* gfx;
};

void BM_EditorFullRepaint(benchmark::State& state) {
  Panel panel;
  for (auto _ : state) {
    panel.gfx->Draw(IRECT(0, 0, kW, kH));
    panel.gfx->ScreenCopies().clear();
  }
}
BENCHMARK(BM_EditorFullRepaint)->Unit(benchmark::kMicrosecond);

void BM_EditorTickOneKnobMoved(benchmark::State& state) {
  Panel panel;
  double v = 0.0;
  for (auto _ : state) {
    v = v > 0.99 ? 0.0 : v + 0.01;
    panel.gfx->SetParameterFromPlug(kKnobs / 2, v, true);
    panel.gfx->Tick();
    panel.gfx->ScreenCopies().clear();
  }
}
BENCHMARK(BM_EditorTickOneKnobMoved)->Unit(benchmark::kMicrosecond);

void BM_EditorTickQuiet(benchmark::State& state) {
  Panel panel;
  for (auto _ : state) panel.gfx->Tick();
}
BENCHMARK(BM_EditorTickQuiet)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quenta_bench
