#include "instrument/quenta.h"

Quenta::Quenta(IPlugInstanceInfo instanceInfo)
    : Synth(instanceInfo, kQuentaNumParams, "0-1 0-2", kQuentaNumPrograms, "Quenta", "", "Amberfold Ziziz",
            kQuentaVersion, kQuentaUniqueID, kQuentaMfrID, kQuentaLatency, true, true, true) {}

IPlugVST* MakePlug(IPlugInstanceInfo instanceInfo) { return new Quenta(instanceInfo); }
