#pragma once
// Quenta: three Blocks of 64 voices and the global modules, as one VST 2 instrument.
#include "instrument/synth.h"

#define QUENTA_FOURCC(a, b, c, d) ((int)(((unsigned)(a) << 24) | ((unsigned)(b) << 16) | ((unsigned)(c) << 8) | (unsigned)(d)))

enum {
  kQuentaNumParams = 229,
  kQuentaNumPrograms = 64,
  kQuentaVersion = 0x10204,
  kQuentaUniqueID = QUENTA_FOURCC('q', 'n', 't', 'a'),
  kQuentaMfrID = QUENTA_FOURCC('A', 'm', 'F', 'o'),
  kQuentaLatency = 0,
};

class Quenta : public Synth {
 public:
  explicit Quenta(IPlugInstanceInfo instanceInfo);
};
