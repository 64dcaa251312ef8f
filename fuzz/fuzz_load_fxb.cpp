// LoadBankFromFXB on a bank file of any content (see CheckFileLoad).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quenta_fuzz::CheckFileLoad(data, size, true);
  return 0;
}
