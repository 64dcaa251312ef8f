#pragma once
// Versions of the plug-in and of the host, packed as 0xMMMMmmpp: major in the high 16 bits,
// minor and patch one byte each. Hosts and files see the decimal form major * 10000 + minor *
// 100 + patch (10204 for 1.2.4).
#include <cstdio>

constexpr int PackVersion(int major, int minor, int patch) {
  return (major << 16) | (minor << 8) | patch;
}
constexpr int VersionMajor(int packed) { return int((unsigned(packed) >> 16) & 0xFFFF); }
constexpr int VersionMinor(int packed) { return (packed >> 8) & 0xFF; }
constexpr int VersionPatch(int packed) { return packed & 0xFF; }

constexpr int DecimalVersion(int packed) {
  return VersionMajor(packed) * 10000 + VersionMinor(packed) * 100 + VersionPatch(packed);
}

// The packed form of a decimal version (negative counts as 0; a major number beyond 16 bits
// is held at the largest that fits).
constexpr int PackDecimalVersion(int decimal) {
  const int d = decimal > 0 ? decimal : 0;
  const int major = d / 10000 > 0x7FFF ? 0x7FFF : d / 10000;
  return PackVersion(major, d % 10000 / 100, d % 100);
}

// "v1.2.4": at most 16 bytes with the terminator.
inline void VersionString(int packed, char* out) {
  const int v = packed;
  std::snprintf(out, 16, "v%d.%d.%d", VersionMajor(v), VersionMinor(v), VersionPatch(v));
}
