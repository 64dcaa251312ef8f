#pragma once
// VST program (.fxp) and bank (.fxb) files as a host reads them: the chunk forms are handed to the
// plug-in with effSetChunk, the parameter forms are set parameter by parameter.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/quenta_render/vst_host.h"

namespace qrender {

struct PresetProgram {
  std::string name;
  std::vector<float> params;  // normalised values, in index order
};

struct PresetFile {
  enum Kind { ProgramChunk, ProgramParams, BankChunk, BankParams };
  Kind kind = ProgramChunk;
  int32_t uniqueId = 0;
  int32_t fileVersion = 0;  // format version field
  int32_t pluginVersion = 0;
  int numParams = 0;                    // program forms: the parameter count field
  int numPrograms = 0;                  // bank forms: the program count field
  int currentProgram = -1;              // bank forms
  std::string name;                     // program forms
  std::vector<uint8_t> chunk;           // chunk forms: the embedded opaque data
  std::vector<PresetProgram> programs;  // parameter forms

  bool isBank() const { return kind == BankChunk || kind == BankParams; }
};

// Parses a file image; wantBank selects what the caller asked for (--bank or --program).
bool parsePresetFile(const std::vector<uint8_t>& bytes, bool wantBank, PresetFile& out,
                     std::string& error);

bool loadPresetFile(const std::string& path, bool wantBank, PresetFile& out, std::string& error);

// Hands a parsed file to the plug-in. selectProgram: for a bank, whether to make the bank's
// current program the plug-in's current one afterwards.
bool applyPresetFile(PluginHost& host, const PresetFile& file, bool selectProgram,
                     std::string& error);

std::string fourCCText(int32_t id);

}  // namespace qrender
