// LoadProgramFromFXP on a program file of any content. A refused file must leave the
// instrument exactly as it was; an accepted one must survive being saved and loaded again.
#include "fuzz_common.h"

using namespace quenta_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = ScratchPath(".in.fxp"), resaved = ScratchPath(".out.fxp");
  WriteScratch(input, data, size);
  Instance& q = Instance::Fresh("");
  IPlugVST* plug = q.Plug();
  const Snapshot before = Take(*plug);
  WDL_String path(input.c_str());
  if (!plug->LoadProgramFromFXP(&path)) {
    CheckSame(before, Take(*plug), "a refused program file changed the instrument");
    return 0;
  }
  const Snapshot loaded = WithoutStates(Take(*plug));
  WDL_String out(resaved.c_str());
  Check(plug->SaveProgramAsFXP(&out), "cannot save the loaded program");
  Check(plug->LoadProgramFromFXP(&out), "a saved program file was refused");
  CheckSame(loaded, WithoutStates(Take(*plug)), "saving and loading a program changed it");
  q.RenderAndCheck();
  return 0;
}
