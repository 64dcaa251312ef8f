#include "tools/quenta_render/editor_png.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "editor/platform/headless.h"
#include "editor/quenta.layout.h"
#include "instrument/quenta.h"
#include "render/bitmap.h"

namespace qrender {

namespace {

// What the entry point needs: the entry itself takes nothing but the host callback.
std::string gImgFolder, gFactoryBank;

AEffect* makeHeadlessInstance(audioMasterCallback host) {
  IPlugInstanceInfo info;
  info.mVSTHostCallback = host;
  Quenta* pQuenta = static_cast<Quenta*>(MakePlug(info));
  if (!pQuenta) return nullptr;
  if (!pQuenta->getStartupBankPath()[0] && !gFactoryBank.empty()) {
    WDL_String bank(gFactoryBank.c_str());
    pQuenta->LoadBankFromFXB(&bank);
  }
  pQuenta->EnsureDefaultPreset();
  IGraphicsHeadless* pGraphics =
      new IGraphicsHeadless(pQuenta, qlayout::kPanelWidth, qlayout::kPanelHeight);
  pGraphics->SetResourceDir(gImgFolder.c_str());
  pQuenta->replaceGraphics(pGraphics);
  return pQuenta->GetAEffect();
}

// libpng reports errors by longjmp: nothing with a destructor lives in the function that calls
// setjmp.
bool writeRows(FILE* f, int w, int h, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePng(LICE_IBitmap* pBitmap, const std::string& path, std::string& error) {
  const int w = pBitmap ? pBitmap->getWidth() : 0, h = pBitmap ? pBitmap->getHeight() : 0;
  if (w <= 0 || h <= 0) {
    error = "nothing to write to " + path;
    return false;
  }
  std::vector<png_byte> pixels((size_t)w * (size_t)h * 3);
  std::vector<png_bytep> rows((size_t)h);
  for (int y = 0; y < h; ++y) {
    const LICE_pixel* src = pBitmap->getBits() + (size_t)y * (size_t)pBitmap->getRowSpan();
    png_bytep dst = &pixels[(size_t)y * (size_t)w * 3];
    rows[(size_t)y] = dst;
    for (int x = 0; x < w; ++x) {
      dst[3 * x] = (png_byte)LICE_GETR(src[x]);
      dst[3 * x + 1] = (png_byte)LICE_GETG(src[x]);
      dst[3 * x + 2] = (png_byte)LICE_GETB(src[x]);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot write " + path;
    return false;
  }
  const bool ok = writeRows(f, w, h, rows.data());
  if (std::fclose(f) != 0 || !ok) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

PluginEntry headlessEditorEntry(const std::string& imgFolder, const std::string& factoryBank) {
  gImgFolder = imgFolder;
  gFactoryBank = factoryBank;
  return &makeHeadlessInstance;
}

bool writeEditorPng(AEffect* effect, const std::string& path, std::string& error) {
  Quenta* pQuenta = effect ? static_cast<Quenta*>(static_cast<IPlugVST*>(effect->object)) : nullptr;
  IGraphicsHeadless* pGraphics =
      pQuenta ? dynamic_cast<IGraphicsHeadless*>(pQuenta->GetGUI()) : nullptr;
  if (!pGraphics) {
    error = "the instance has no headless editor";
    return false;
  }
  pGraphics->OpenWindow(nullptr);
  pGraphics->Draw(IRECT(0, 0, pGraphics->Width(), pGraphics->Height()));
  const bool ok = writePng(pGraphics->Screen(), path, error);
  pGraphics->CloseWindow();
  return ok;
}

}  // namespace qrender
