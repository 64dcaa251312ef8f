#pragma once
// The panel suite's rig: an instrument made in the test, its panel built on a headless graphics
// object (images from the bundle this build made) and opened, with lookups of controls by
// parameter or id and mouse actions at their centres.
#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/platform/headless.h"
#include "instrument/quenta.h"

namespace paneltest {

class PanelRig {
 public:
  PanelRig();
  ~PanelRig();

  Quenta& q() { return *mQuenta; }
  IGraphicsHeadless& gui() { return *mGui; }

  // The controls whose parameter-index field holds paramOrId, in attachment order; the one such
  // control (failing the test when there is not exactly one).
  std::vector<IControl*> Find(int paramOrId);
  IControl* One(int paramOrId);
  template <typename T>
  T* As(int paramOrId) {
    return dynamic_cast<T*>(One(paramOrId));
  }

  // Left or right click at the centre of r (or at x, y).
  void Click(const IRECT& r, bool right = false);
  void ClickAt(int x, int y, bool right = false);
  void Hover(const IRECT& r);

  // Plain value of parameter idx; the value set as the editor sets it.
  double Value(int idx) { return mQuenta->GetParam(idx)->Value(); }
  void Set(int idx, double plain);

  // The options menu as shown, the command's item chosen by its text (and submenu item).
  void ChooseOption(const char* text);
  // Runs one control frame at 48 kHz.
  void RenderFrame();

  // The whole panel drawn now.
  LICE_IBitmap* DrawAll();

 private:
  std::unique_ptr<Quenta> mQuenta;
  IGraphicsHeadless* mGui;  // owned by the instrument
  std::vector<double> mOut[2];
};

}  // namespace paneltest
