#include "tools/quenta_render/preset_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qrender {
namespace {

constexpr size_t kProgramHeaderSize = 56;  // up to and including the 28-byte name
constexpr size_t kBankHeaderSize = 156;    // up to the chunk size or the first program block
constexpr long kMaxFileSize = 256L * 1024 * 1024;

int32_t be32(const uint8_t* p) {
  return (int32_t)(((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) |
                   (uint32_t)p[3]);
}

float beFloat(const uint8_t* p) {
  uint32_t bits = (uint32_t)be32(p);
  float f;
  std::memcpy(&f, &bits, sizeof(f));
  return f;
}

bool tagIs(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

std::string nameField(const uint8_t* p) {
  return std::string((const char*)p, strnlen((const char*)p, 28));
}

// Reads the parameter floats of one program block starting at pos (after its 56-byte header).
bool readParams(const std::vector<uint8_t>& b, size_t pos, int count, std::vector<float>& out) {
  if (count < 0 || (size_t)count > (b.size() - pos) / 4) return false;
  out.resize((size_t)count);
  for (int i = 0; i < count; ++i) out[(size_t)i] = beFloat(b.data() + pos + 4 * (size_t)i);
  return true;
}

}  // namespace

std::string fourCCText(int32_t id) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = (char)((uint32_t)id >> shift);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

bool parsePresetFile(const std::vector<uint8_t>& b, bool wantBank, PresetFile& out,
                     std::string& error) {
  out = PresetFile();
  const char* what = wantBank ? "bank" : "program";
  if (b.size() < 12 || !tagIs(b.data(), "CcnK")) {
    error = std::string("not a VST ") + what + " file (no CcnK header)";
    return false;
  }
  const uint8_t* p = b.data();
  bool isProgramTag = tagIs(p + 8, "FPCh") || tagIs(p + 8, "FxCk");
  bool isBankTag = tagIs(p + 8, "FBCh") || tagIs(p + 8, "FxBk");
  if (!isProgramTag && !isBankTag) {
    error = "unknown file type \"" + fourCCText(be32(p + 8)) + "\"";
    return false;
  }
  if (wantBank && isProgramTag) {
    error = "a program file, not a bank (use --program)";
    return false;
  }
  if (!wantBank && isBankTag) {
    error = "a bank file, not a program (use --bank)";
    return false;
  }
  size_t header = wantBank ? kBankHeaderSize : kProgramHeaderSize;
  if (b.size() < header) {
    error = std::string("truncated ") + what + " header";
    return false;
  }
  out.fileVersion = be32(p + 12);
  out.uniqueId = be32(p + 16);
  out.pluginVersion = be32(p + 20);

  if (!wantBank) {
    out.numParams = be32(p + 24);
    out.name = nameField(p + 28);
    if (tagIs(p + 8, "FPCh")) {
      out.kind = PresetFile::ProgramChunk;
      if (b.size() < header + 4) {
        error = "truncated: no chunk size";
        return false;
      }
      int32_t size = be32(p + 56);
      if (size <= 0 || (size_t)size > b.size() - 60) {
        error =
            size <= 0 ? "holds no program data" : "truncated: the chunk is shorter than announced";
        return false;
      }
      out.chunk.assign(p + 60, p + 60 + size);
    } else {
      out.kind = PresetFile::ProgramParams;
      PresetProgram prog;
      prog.name = out.name;
      if (!readParams(b, header, out.numParams, prog.params)) {
        error = "truncated: fewer parameter values than announced";
        return false;
      }
      out.programs.push_back(prog);
    }
    return true;
  }

  out.numPrograms = be32(p + 24);
  out.currentProgram = be32(p + 28);
  if (tagIs(p + 8, "FBCh")) {
    out.kind = PresetFile::BankChunk;
    if (b.size() < header + 4) {
      error = "truncated: no chunk size";
      return false;
    }
    int32_t size = be32(p + 156);
    if (size <= 0 || (size_t)size > b.size() - 160) {
      error = size <= 0 ? "holds no bank data" : "truncated: the chunk is shorter than announced";
      return false;
    }
    out.chunk.assign(p + 160, p + 160 + size);
    return true;
  }
  out.kind = PresetFile::BankParams;
  if (out.numPrograms < 0) {
    error = "negative program count";
    return false;
  }
  size_t pos = header;
  for (int i = 0; i < out.numPrograms; ++i) {
    if (b.size() - pos < kProgramHeaderSize) {
      error = "truncated: program " + std::to_string(i) + " is missing";
      return false;
    }
    const uint8_t* q = p + pos;
    if (!tagIs(q, "CcnK") || !tagIs(q + 8, "FxCk")) {
      error = "program " + std::to_string(i) + " is not a parameter block";
      return false;
    }
    PresetProgram prog;
    prog.name = nameField(q + 28);
    int count = be32(q + 24);
    if (i == 0) out.numParams = count;
    if (count != out.numParams) {
      error = "program " + std::to_string(i) + " has a different parameter count";
      return false;
    }
    if (!readParams(b, pos + kProgramHeaderSize, count, prog.params)) {
      error =
          "truncated: program " + std::to_string(i) + " has fewer parameter values than announced";
      return false;
    }
    pos += kProgramHeaderSize + 4 * (size_t)count;
    out.programs.push_back(prog);
  }
  return true;
}

bool loadPresetFile(const std::string& path, bool wantBank, PresetFile& out, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  long len = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) len = std::ftell(f);
  if (len < 0 || len > kMaxFileSize || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    error = len > kMaxFileSize ? "too large" : "cannot be read (not a regular file?)";
    return false;
  }
  bytes.resize((size_t)len);
  size_t got = len > 0 ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
  std::fclose(f);
  if (got != bytes.size()) {
    error = "read error";
    return false;
  }
  return parsePresetFile(bytes, wantBank, out, error);
}

bool applyPresetFile(PluginHost& host, const PresetFile& file, bool selectProgram,
                     std::string& error) {
  AEffect* effect = host.effect();
  const char* what = file.isBank() ? "bank" : "program";
  if (file.uniqueId != effect->uniqueID) {
    error = std::string("foreign ") + what + ": made for plug-in ID '" + fourCCText(file.uniqueId) +
            "', this plug-in is '" + fourCCText(effect->uniqueID) + "'";
    return false;
  }
  switch (file.kind) {
    case PresetFile::ProgramChunk:
    case PresetFile::BankChunk: {
      if (!(effect->flags & effFlagsProgramChunks)) {
        error = std::string("the plug-in does not take ") + what + " chunks";
        return false;
      }
      // The plug-in may keep reading from the data during the call only, but takes a non-const
      // pointer: hand it a copy.
      std::vector<uint8_t> data(file.chunk);
      VstIntPtr ok =
          host.dispatch(effSetChunk, file.isBank() ? 0 : 1, (VstIntPtr)data.size(), data.data());
      if (!ok) {
        error = std::string("the plug-in rejected the ") + what + "'s data";
        return false;
      }
      if (!file.isBank() && !file.name.empty()) {
        std::string name = file.name;
        host.dispatch(effSetProgramName, 0, 0, &name[0]);
      }
      break;
    }
    case PresetFile::ProgramParams:
    case PresetFile::BankParams: {
      if (file.numParams != effect->numParams) {
        error = std::string(what) + " holds " + std::to_string(file.numParams) +
                " parameters, the plug-in has " + std::to_string(effect->numParams);
        return false;
      }
      if (file.isBank() && file.numPrograms > effect->numPrograms) {
        error = "bank holds " + std::to_string(file.numPrograms) + " programs, the plug-in has " +
                std::to_string(effect->numPrograms);
        return false;
      }
      for (size_t i = 0; i < file.programs.size(); ++i) {
        const PresetProgram& prog = file.programs[i];
        if (file.isBank()) host.dispatch(effSetProgram, 0, (VstIntPtr)i);
        for (size_t k = 0; k < prog.params.size(); ++k) host.setParameter((int)k, prog.params[k]);
        std::string name = prog.name;
        host.dispatch(effSetProgramName, 0, 0, &name[0]);
      }
      break;
    }
  }
  if (file.isBank() && selectProgram && file.currentProgram >= 0 &&
      file.currentProgram < effect->numPrograms)
    host.dispatch(effSetProgram, 0, file.currentProgram);
  return true;
}

}  // namespace qrender
