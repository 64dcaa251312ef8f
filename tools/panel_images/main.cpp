// quenta-panel-images: draws the editor's images (the background and every control strip)
// from the layout tables into a folder, as the bundle's Resources/img/ holds them.
// Usage: quenta-panel-images [--draft] OUTPUT_FOLDER
// Fails, writing nothing, when a printed label would cover a control or another label;
// --draft writes the images anyway, for working on the layout.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/panel_images/paint.h"
#include "tools/panel_images/strips.h"

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

int run(int argc, char** argv) {
  const bool draft = argc == 3 && std::string(argv[1]) == "--draft";
  if (argc != 2 && !draft) {
    std::fprintf(stderr, "usage: quenta-panel-images [--draft] OUTPUT_FOLDER\n");
    return kExitUsage;
  }
  const std::string folder = argv[argc - 1];
  mkdir(folder.c_str(), 0755);

  // The background first: its layout check decides whether anything is written.
  panelimg::Canvas back(qlayout::kPanelWidth, qlayout::kPanelHeight);
  std::vector<panelimg::Collision> collisions;
  panelimg::drawBackground(back, collisions);
  for (const panelimg::Collision& c : collisions)
    std::fprintf(stderr, "quenta-panel-images: %s\n", c.what.c_str());
  if (!collisions.empty() && !draft) {
    std::fprintf(stderr, "quenta-panel-images: error: %zu printed labels do not fit\n",
                 collisions.size());
    return kExitError;
  }

  for (const qlayout::Bitmap& b : qlayout::kBitmaps) {
    const std::string path = folder + "/" + qlayout::bitmapFileName(b);
    bool ok;
    if (b.id == qlayout::kBack) {
      ok = back.writePng(path);
    } else {
      panelimg::Canvas strip(b.width, b.frames * b.frameHeight);
      panelimg::drawStrip(b, strip);
      ok = strip.writePng(path);
    }
    if (!ok) {
      std::fprintf(stderr, "quenta-panel-images: error: cannot write %s\n", path.c_str());
      return kExitError;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
