#include "editor_rig.h"

#include <sstream>

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

bool RecordingPlug::Balanced(const std::string& log) {
  std::istringstream in(log);
  std::string e;
  int open = -1;
  while (in >> e) {
    const int idx = e.size() > 1 ? std::stoi(e.substr(1)) : -1;
    if (e[0] == 'B') {
      if (open >= 0) return false;
      open = idx;
    } else if (e[0] == 'E') {
      if (open != idx) return false;
      open = -1;
    }
  }
  return open < 0;
}

LICE_pixel FrameColour(int k) {
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
      pImage->getBits()[y * pImage->getRowSpan() + x] =
          LICE_RGBA(x * 8 % 256, y % frameH * 8 % 256, 40 * (y / frameH) % 256, 255);
  return strip;
}

IBitmap Rig::Solid(int w, int h, LICE_pixel colour) {
  mImages.emplace_back(new LICE_MemBitmap(w, h));
  LICE_FillRect(mImages.back().get(), 0, 0, w, h, colour, 1.0f, LICE_BLIT_MODE_COPY);
  return IBitmap(mImages.back().get(), w, h, 1);
}

LICE_pixel PixelAt(LICE_IBitmap* bmp, int x, int y) {
  return bmp->getBits()[(size_t)y * (size_t)bmp->getRowSpan() + (size_t)x];
}

LICE_pixel Rig::Surface(int x, int y) const { return PixelAt(gfx->GetDrawBitmap(), x, y); }

LICE_pixel Rig::Screen(int x, int y) const { return PixelAt(gfx->Screen(), x, y); }

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
