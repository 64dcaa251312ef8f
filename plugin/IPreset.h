#pragma once
// One stored program: a name and the plug-in state as the state serialiser wrote it.
#include "plugin/ByteChunk.h"

struct IPreset {
  enum { kNameLen = 256 };

  bool mInitialized = false;
  char mName[kNameLen];
  ByteChunk mChunk;

  IPreset();
  void SetName(const char* name);  // bounded to the buffer, always terminated
};
