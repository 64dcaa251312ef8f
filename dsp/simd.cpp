#include "dsp/simd.h"

#include <cpuid.h>

#include <cstdlib>
#include <cstring>

namespace simd {

namespace {

// XCR0: the register state the operating system saves (SSE, AVX, and the three AVX-512 parts).
constexpr unsigned kXcrSse = 1u << 1, kXcrAvx = 1u << 2;
constexpr unsigned kXcrAvx512 = (1u << 5) | (1u << 6) | (1u << 7);

unsigned long long readXcr0() {
  unsigned eax, edx;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (static_cast<unsigned long long>(edx) << 32) | eax;
}

struct Features {
  bool avx2 = false;
  bool avx512 = false;  // F, DQ, BW and VL: the set the wide loop is built with
};

Features detect() {
  Features f;
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return f;
  if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return f;
  const unsigned long long xcr0 = readXcr0();
  if ((xcr0 & (kXcrSse | kXcrAvx)) != (kXcrSse | kXcrAvx)) return f;
  if (__get_cpuid_max(0, nullptr) < 7) return f;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  f.avx2 = (ebx & bit_AVX2) != 0;
  const unsigned need = bit_AVX512F | bit_AVX512DQ | bit_AVX512BW | bit_AVX512VL;
  f.avx512 = f.avx2 && (ebx & need) == need && (xcr0 & kXcrAvx512) == kXcrAvx512;
  return f;
}

const Features& features() {
  static const Features f = detect();
  return f;
}

Path choose() {
  Path requested = Path::kAvx512;
  const char* env = std::getenv("QUENTA_SIMD");
  if (env && *env) parse(env, requested);
  return resolve(requested);
}

}  // namespace

Path active() {
  // Decided once, on first use (the library's first engine is built when it loads).
  static const Path path = choose();
  return path;
}

bool supported(Path path) {
  switch (path) {
    case Path::kScalar: return true;
    case Path::kAvx2: return features().avx2;
    case Path::kAvx512: return features().avx512;
  }
  return false;
}

Path resolve(Path requested) {
  if (requested == Path::kAvx512 && !supported(Path::kAvx512)) requested = Path::kAvx2;
  if (requested == Path::kAvx2 && !supported(Path::kAvx2)) requested = Path::kScalar;
  return requested;
}

const char* name(Path path) {
  switch (path) {
    case Path::kScalar: return "scalar";
    case Path::kAvx2: return "avx2";
    case Path::kAvx512: return "avx512";
  }
  return "scalar";
}

bool parse(const char* text, Path& path) {
  static const Path kPaths[] = {Path::kScalar, Path::kAvx2, Path::kAvx512};
  for (const Path p : kPaths) {
    if (text && std::strcmp(text, name(p)) == 0) {
      path = p;
      return true;
    }
  }
  return false;
}

int lanes(Path path) { return path == Path::kAvx512 ? 8 : path == Path::kAvx2 ? 4 : 1; }

}  // namespace simd
