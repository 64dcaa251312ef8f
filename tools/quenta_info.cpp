// quenta-info: loads a Quenta.so the way a VST 2 host does, opens the instrument, prints its
// identity and closes it again.
//
//   quenta-info path/to/Quenta.vst/Contents/x86_64-linux/Quenta.so
//
// Exit status 0 on success; a missing or unloadable file, a missing entry point or an entry
// point that returns no valid effect gives one line on stderr and status 1 (2 for bad usage).
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/vst2abi.h"

namespace {

constexpr int kProgramsShown = 8;
constexpr size_t kStringBuffer = 256;  // hosts give plug-ins more room than the interface asks

// A quiet host: it names itself and answers everything else with 0.
VstIntPtr HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetProductString:
    case audioMasterGetVendorString:
      if (!ptr) return 0;
      std::snprintf(static_cast<char*>(ptr), kVstMaxProductStrLen, "quenta-info");
      return 1;
    case audioMasterGetVendorVersion: return 1;
    default: return 0;
  }
}

std::string GetString(AEffect* e, VstInt32 opcode, VstInt32 index = 0) {
  char buffer[kStringBuffer];
  std::memset(buffer, 0, sizeof buffer);
  e->dispatcher(e, opcode, index, 0, buffer, 0.0f);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

std::string FourCharText(VstInt32 id) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

const char* CategoryName(VstIntPtr category) {
  switch (category) {
    case kPlugCategEffect: return "effect";
    case kPlugCategSynth: return "instrument";
    default: return "unknown";
  }
}

std::string FlagNames(VstInt32 flags) {
  static const struct {
    VstInt32 bit;
    const char* name;
  } kNames[] = {{effFlagsHasEditor, "editor"},         {effFlagsCanMono, "mono"},
                {effFlagsCanReplacing, "replacing"},   {effFlagsProgramChunks, "chunks"},
                {effFlagsIsSynth, "instrument"},       {effFlagsNoSoundInStop, "no-sound-in-stop"},
                {effFlagsCanDoubleReplacing, "double"}};
  std::string s;
  for (const auto& n : kNames) {
    if (!(flags & n.bit)) continue;
    if (!s.empty()) s += ", ";
    s += n.name;
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quenta-info path/to/Quenta.so\n");
    return 2;
  }
  const char* path = argv[1];
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    std::fprintf(stderr, "quenta-info: cannot load %s: %s\n", path, why ? why : "unknown error");
    return 1;
  }
  using EntryProc = AEffect* (*)(audioMasterCallback);
  auto entry = reinterpret_cast<EntryProc>(dlsym(library, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryProc>(dlsym(library, "main"));
  if (!entry) {
    std::fprintf(stderr, "quenta-info: %s exports no VST 2 entry point\n", path);
    dlclose(library);
    return 1;
  }
  AEffect* e = entry(HostCallback);
  if (!e || e->magic != kEffectMagic) {
    std::fprintf(stderr, "quenta-info: %s did not return a VST 2 effect\n", path);
    dlclose(library);
    return 1;
  }

  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  const int version = e->version;
  std::printf("Effect:      %s\n", GetString(e, effGetEffectName).c_str());
  std::printf("Vendor:      %s\n", GetString(e, effGetVendorString).c_str());
  std::printf("Product:     %s\n", GetString(e, effGetProductString).c_str());
  std::printf("Version:     %d (%d.%d.%d)\n", version, version / 10000, version / 100 % 100,
              version % 100);
  std::printf("Unique ID:   %s (0x%08X)\n", FourCharText(e->uniqueID).c_str(),
              static_cast<unsigned>(e->uniqueID));
  const VstIntPtr category = e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f);
  std::printf("Category:    %s (%d)\n", CategoryName(category), static_cast<int>(category));
  std::printf("VST version: %d\n",
              static_cast<int>(e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0.0f)));
  std::printf("Parameters:  %d\n", e->numParams);
  std::printf("Programs:    %d\n", e->numPrograms);
  std::printf("Inputs:      %d\n", e->numInputs);
  std::printf("Outputs:     %d\n", e->numOutputs);
  std::printf("Latency:     %d samples\n", e->initialDelay);
  std::printf("Flags:       0x%X (%s)\n", static_cast<unsigned>(e->flags),
              FlagNames(e->flags).c_str());
  const int shown = e->numPrograms < kProgramsShown ? e->numPrograms : kProgramsShown;
  std::printf("First programs:\n");
  for (int p = 0; p < shown; ++p)
    std::printf("  %2d  %s\n", p, GetString(e, effGetProgramNameIndexed, p).c_str());
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  dlclose(library);
  return 0;
}
