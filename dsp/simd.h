#pragma once
// Which voice loop this process runs: the scalar one, or a wide one for AVX2 (4 voices per
// register) or AVX-512 (8 per register). Chosen once, when the library loads, from what the
// processor offers and the operating system saves on a thread switch (the CPUID feature bits
// and XGETBV); the environment variable QUENTA_SIMD=scalar|avx2|avx512 asks for a path, which
// is granted when the machine can run it (otherwise the best path below it is used). Every
// path gives the same samples, bit for bit.

namespace simd {

enum class Path { kScalar = 0, kAvx2, kAvx512 };

// The path the engine uses by default in this process.
Path active();
// Whether this machine (processor and operating system) can run the path.
bool supported(Path path);
// The path in use for a request: the request itself when supported, otherwise the best path
// below it that is.
Path resolve(Path requested);

// "scalar", "avx2", "avx512"; parse returns false for any other text.
const char* name(Path path);
bool parse(const char* text, Path& path);
// Voices in one register on the path (1 on the scalar path).
int lanes(Path path);

}  // namespace simd
