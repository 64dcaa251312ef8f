// LoadBankFromFXB on a bank file of any content. A refused file must leave the instrument
// exactly as it was; an accepted one must survive being saved and loaded again.
#include "fuzz_common.h"

using namespace quenta_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = ScratchPath(".in.fxb"), resaved = ScratchPath(".out.fxb");
  WriteScratch(input, data, size);
  Instance& q = Instance::Fresh("");
  IPlugVST* plug = q.Plug();
  const Snapshot before = Take(*plug);
  WDL_String path(input.c_str());
  if (!plug->LoadBankFromFXB(&path)) {
    CheckSame(before, Take(*plug), "a refused bank file changed the instrument");
    return 0;
  }
  const Snapshot loaded = AfterBankRoundTrip(Take(*plug));
  WDL_String out(resaved.c_str());
  Check(plug->SaveBankAsFXB(&out), "cannot save the loaded bank");
  Check(plug->LoadBankFromFXB(&out), "a saved bank file was refused");
  CheckSame(loaded, WithoutStates(Take(*plug)), "saving and loading a bank changed it");
  q.RenderAndCheck();
  return 0;
}
