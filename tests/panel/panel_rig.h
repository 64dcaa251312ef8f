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
  explicit PanelRig(const char* images = QUENTA_IMG_DIR);
  ~PanelRig() { mGui->CloseWindow(); }

  Quenta& q() { return *mQuenta; }
  IGraphicsHeadless& gui() { return *mGui; }

  // The controls whose parameter-index field holds paramOrId; the one such control (failing
  // the test when there is not exactly one).
  std::vector<IControl*> Find(int paramOrId);
  IControl* One(int paramOrId);
  template <typename T>
  T* As(int paramOrId) {
    return dynamic_cast<T*>(One(paramOrId));
  }

  void Click(const IRECT& r, bool right = false);  // at the centre
  double Value(int idx) { return mQuenta->GetParam(idx)->Value(); }
  void Set(int idx, double plain);  // as the editor sets it
  // The options menu's item chosen by its text.
  void ChooseOption(const char* text);
  void RenderFrame();  // one control frame at 48 kHz

 private:
  std::unique_ptr<Quenta> mQuenta;
  IGraphicsHeadless* mGui;  // owned by the instrument
  std::vector<double> mOut[2];
};

}  // namespace paneltest
