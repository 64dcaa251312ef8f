// The wide voice loop for AVX2: four voices per register. Built with -mavx2 (and without FMA),
// called only on machines that run AVX2.
#include "dsp/lanes.h"
#define KERNEL_GROUPS 4
#include "dsp/voicelanes.wide.h"

void runVoiceLanesAvx2(VoiceLanes& lanes) { runLanes(lanes); }
