#include "editor_rig.h"

#include "plugin/IParam.h"
#include "render/blit.h"

namespace edtest {

RecordingPlug::RecordingPlug()
    : IPlugBase(kNumRigParams, "0-2", 1, "RigPlug", "RigPlug", "Rig", 0x10000, 1, 1, 0, false,
                false, true, kAPIVST2) {
  GetParam(kParamGain)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.001);
  IParam* pMode = GetParam(kParamMode);
  pMode->InitEnum("Mode", 1, 4);
  const char* const names[] = {"Saw", "Square", "Tri", "Sine"};
  for (int i = 0; i < 4; ++i) pMode->SetDisplayText(i, names[i]);
  GetParam(kParamSwitch)->InitBool("Switch", false);
  IParam* pDepth = GetParam(kParamDepth);
  pDepth->InitDouble("Depth", 0.0, -10.0, 10.0, 0.1);
  pDepth->SetNegateDisplay();
}

void RecordingPlug::SetParameterFromGUI(int idx, double normalizedValue) {
  mLog.push_back("S" + std::to_string(idx));
  IPlugBase::SetParameterFromGUI(idx, normalizedValue);
}

std::string RecordingPlug::TakeLog() {
  std::string s;
  for (const std::string& e : mLog) s += (s.empty() ? "" : " ") + e;
  mLog.clear();
  return s;
}

static LICE_pixel FrameColour(int k) {
  return LICE_RGBA(40 * (k + 1) % 256, 255 - 30 * k % 256, 7 * k, 255);
}

Rig::Rig(int w, int h) : gfx(new IGraphicsHeadless(&plug, w, h)), mUnattached(gfx) {}

void Rig::Attach() {
  plug.AttachGraphics(mUnattached.release());
  gfx->OpenWindow(nullptr);
}

IBitmap Rig::Strip(int w, int frameH, int frames) {
  mImages.emplace_back(new LICE_MemBitmap(w, frameH * frames));
  LICE_MemBitmap* pImage = mImages.back().get();
  for (int k = 0; k < frames; ++k)
    LICE_FillRect(pImage, 0, k * frameH, w, frameH, FrameColour(k), 1.0f, LICE_BLIT_MODE_COPY);
  return IBitmap(pImage, w, frameH * frames, frames);
}

IBitmap Rig::Gradient(int w, int frameH, int frames) {
  IBitmap strip = Strip(w, frameH, frames);
  LICE_IBitmap* pImage = strip.mData;
  for (int y = 0; y < strip.H; ++y)
    for (int x = 0; x < w; ++x)
      quenta_test::At(*pImage, x, y) =
          LICE_RGBA(x * 8 % 256, y % frameH * 8 % 256, 40 * (y / frameH) % 256, 255);
  return strip;
}

IBitmap Rig::Solid(int w, int h, LICE_pixel colour) {
  mImages.emplace_back(new LICE_MemBitmap(w, h));
  LICE_FillRect(mImages.back().get(), 0, 0, w, h, colour, 1.0f, LICE_BLIT_MODE_COPY);
  return IBitmap(mImages.back().get(), w, h, 1);
}

void Rig::Click(int x, int y, const IMouseMod& mod) {
  gfx->OnMouseDown(x, y, mod);
  gfx->OnMouseUp(x, y, mod);
}

void Rig::Drag(int x0, int y0, int x1, int y1, const IMouseMod& mod) {
  gfx->OnMouseDown(x0, y0, mod);
  gfx->OnMouseDrag(x1, y1, mod);
  gfx->OnMouseUp(x1, y1, mod);
}

}  // namespace edtest
