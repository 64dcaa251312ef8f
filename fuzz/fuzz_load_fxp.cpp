// LoadProgramFromFXP on a program file of any content (see CheckFileLoad).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quenta_fuzz::CheckFileLoad(data, size, false);
  return 0;
}
