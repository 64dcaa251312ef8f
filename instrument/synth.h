#pragma once
// The instrument base: everything the instrument shares with the framework binding.
#include "plugin/IPlugVST.h"

class Synth : public IPlugVST {
 public:
  Synth(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets, const char* effectName,
        const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
        bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
      : IPlugVST(instanceInfo, nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                 uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst) {}
};
