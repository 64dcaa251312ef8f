// The wide voice loop for AVX-512: eight voices per register. Built for AVX-512 F, DQ, BW and
// VL (and without FMA), called only on machines that run them.
#include "dsp/lanes.h"
#define KERNEL_GROUPS 2
#include "dsp/voicelanes.wide.h"

void runVoiceLanesAvx512(VoiceLanes& lanes) { runLanes(lanes); }
