// effSetChunk with a program chunk (idx 1), as a host restores one program from its project,
// once for an ordinary host and once for a host that hands banks over on the program road.
#include "fuzz_common.h"

using namespace quenta_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const char* vendor : {"", "Native Instruments"}) {
    Instance& q = Instance::Fresh(vendor);
    // The plug-in must only read the host's buffer; libFuzzer notices any write to it.
    q.Dispatch(effSetChunk, 1, (VstIntPtr)size, const_cast<uint8_t*>(data));
    q.CheckChunkRoundTrip(1);
    q.RenderAndCheck();
  }
  return 0;
}
