// The plug-in's exported entry points. Instances are created one at a time under a
// process-wide lock; everything else lives in the instance.
#include "base/mutex.h"
#include "plugin/IPlugVST.h"

#define VST_EXPORT extern "C" __attribute__((visibility("default")))

VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback) {
  static WDL_Mutex sCreationMutex;
  WDL_MutexLock lock(&sCreationMutex);
  IPlugInstanceInfo info;
  info.mVSTHostCallback = hostCallback;
  IPlugVST* pPlug = MakePlug(info);
  if (!pPlug) return nullptr;
  pPlug->EnsureDefaultPreset();
  AEffect* pEffect = pPlug->GetAEffect();
  if (pEffect->numPrograms < 1) pEffect->numPrograms = 1;
  return pEffect;
}

// Older hosts look for "main" with the same signature. C++ reserves that name for the
// program's entry, so the symbol is given its name through the assembler.
VST_EXPORT AEffect* VSTMainCompat(audioMasterCallback hostCallback) __asm__("main");
AEffect* VSTMainCompat(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
