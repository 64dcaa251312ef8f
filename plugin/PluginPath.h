#pragma once
// Where the plug-in lives: the folder that holds the "Quenta.vst" bundle, with a trailing "/".
#include "base/wdlstring.h"

// Fills path from the location of the loaded code. For a bundle
// ".../X/Quenta.vst/Contents/<arch>/Quenta.so" that is ".../X/"; for code that is not inside a
// bundle (a test program, say) it is the folder of the file. Returns false when the location
// cannot be found (path is then empty).
bool GetPluginPath(WDL_String* path);

// The same rule applied to a given file path; exposed for tests.
void PluginPathFromModulePath(const char* modulePath, WDL_String* path);
