#pragma once
// Files for the render tests: a temporary folder removed with its contents, whole-file reads and
// writes, and the big-endian fields and headers of program and bank files.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace quenta_test {

inline std::string slurp(const std::string& path) { return ReadFile(path); }
inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

inline void put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back((uint8_t)(v >> s));
}

inline void putTag(std::vector<uint8_t>& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back((uint8_t)tag[i]);
}

inline void putFloat(std::vector<uint8_t>& b, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  put32(b, bits);
}

// A program file ("FPCh" chunk form, "FxCk" parameter form) up to its 28-byte name.
inline std::vector<uint8_t> programHeader(const char* tag, uint32_t id, uint32_t version,
                                          uint32_t numParams, const std::string& name) {
  std::vector<uint8_t> b;
  putTag(b, "CcnK");
  put32(b, 0);
  putTag(b, tag);
  for (uint32_t v : {1u, id, version, numParams}) put32(b, v);
  std::vector<uint8_t> field(28, 0);
  std::memcpy(field.data(), name.data(), std::min(name.size(), field.size()));
  b.insert(b.end(), field.begin(), field.end());
  return b;
}

// The 156-byte header of a bank file ("FBCh" chunk form, "FxBk" parameter form).
inline std::vector<uint8_t> bankHeader(const char* tag, uint32_t id, uint32_t version,
                                       uint32_t numPrograms, uint32_t current) {
  std::vector<uint8_t> b;
  putTag(b, "CcnK");
  put32(b, 0);
  putTag(b, tag);
  for (uint32_t v : {2u, id, version, numPrograms, current}) put32(b, v);
  b.resize(156, 0);
  return b;
}

}  // namespace quenta_test
