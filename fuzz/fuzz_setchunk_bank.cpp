// effSetChunk with a bank chunk (idx 0), as a host restores all programs from its project.
#include "fuzz_common.h"

using namespace quenta_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Instance& q = Instance::Fresh("");
  // The plug-in must only read the host's buffer; libFuzzer notices any write to it.
  q.Dispatch(effSetChunk, 0, (VstIntPtr)size, const_cast<uint8_t*>(data));
  // Every program the bank left behind can be selected and named.
  for (int p : {q.Plug()->NPresets() - 1, 1, 0}) {
    char name[kVstMaxProgNameLen + 1];
    q.Dispatch(effSetProgram, 0, p);
    q.Dispatch(effGetProgramName, 0, 0, name);
  }
  q.CheckChunkRoundTrip(0);
  q.RenderAndCheck();
  return 0;
}
