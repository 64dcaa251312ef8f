// loadMicroTuningFile on a scale file of any content. A refused file changes nothing; an
// accepted one changes only its Block's twelve tune parameters, within their range, and what it
// set survives a save and a load to the five decimals a saved file keeps.
#include <cmath>

#include "dsp/quenta.tuning.h"
#include "fuzz_common.h"
#include "instrument/quenta.h"

using namespace quenta_fuzz;

// Five decimals in the file, and a little for the conversions to a ratio and back.
constexpr double kFileResolution = 5e-6 + 1e-9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = ScratchPath(".in.scl"), resaved = ScratchPath(".out.scl");
  WriteScratch(input, data, size);
  Instance& inst = Instance::Fresh("");
  Quenta* q = static_cast<Quenta*>(inst.Plug());
  // The last byte chooses the Block (it is part of the file as well).
  const int block = size > 0 ? data[size - 1] % kNumBlocks : kBlockA;

  Snapshot expected = Take(*q);
  if (!q->loadMicroTuningFile(block, input.c_str())) {
    CheckSame(expected, Take(*q), "a refused scale file changed the instrument");
    return 0;
  }
  const Snapshot loaded = Take(*q);
  for (int k = 0; k < kMicroTuningDegrees; ++k) {
    const size_t idx = (size_t)BlockParam(block, paramIndices[k]);
    const double v = loaded.values[idx];
    Check(std::isfinite(v) && v >= -100.0 && v <= 100.0, "a tune parameter left its range");
    expected.values[idx] = v;
  }
  CheckSame(expected, loaded, "loading a scale file changed more than the Block's tuning");
  const int tuning = q->getMicroTuning(block);
  Check(tuning >= -1 && tuning < kNumMicroTunings, "getMicroTuning out of range");

  Check(q->saveMicroTuningFile(block, resaved.c_str()), "cannot save the loaded tuning");
  Check(q->setMicroTuning(block, (tuning + 1) % kNumMicroTunings), "cannot apply a temperament");
  Check(q->loadMicroTuningFile(block, resaved.c_str()), "a saved scale file was refused");
  for (int k = 0; k < kMicroTuningDegrees; ++k) {
    const int idx = BlockParam(block, paramIndices[k]);
    Check(std::fabs(q->GetParam(idx)->Value() - loaded.values[(size_t)idx]) <= kFileResolution,
          "saving and loading a tuning changed it");
  }
  inst.RenderAndCheck();
  return 0;
}
