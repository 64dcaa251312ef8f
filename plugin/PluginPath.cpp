#include "plugin/PluginPath.h"

#include <dlfcn.h>

#include <string>

void PluginPathFromModulePath(const char* modulePath, WDL_String* path) {
  path->Set("");
  if (!modulePath || !modulePath[0]) return;
  std::string p(modulePath);
  size_t slash = p.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : p.substr(0, slash);
  // Inside a bundle the module sits in <bundle>.vst/Contents/<arch>/.
  const std::string marker = ".vst/Contents/";
  size_t at = dir.rfind(marker);
  if (at != std::string::npos && dir.find('/', at + marker.size()) == std::string::npos) {
    size_t bundleStart = dir.rfind('/', at);
    dir = bundleStart == std::string::npos ? std::string(".") : dir.substr(0, bundleStart);
  }
  if (dir.empty()) dir = "/";
  if (dir.back() != '/') dir += '/';
  path->Set(dir.c_str());
}

bool GetPluginPath(WDL_String* path) {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&GetPluginPath), &info) || !info.dli_fname) {
    path->Set("");
    return false;
  }
  char resolved[4096];
  const char* modulePath = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  PluginPathFromModulePath(modulePath, path);
  return path->GetLength() > 0;
}
