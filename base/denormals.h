#pragma once
// Flush-to-zero and denormals-are-zero for the lifetime of an object, and the caller's own
// floating-point mode back afterwards. The audio callbacks run under one: decaying signals
// and filter states then reach 0 instead of crawling through the subnormal range, where
// every operation costs many times a normal one. The mode belongs to the calling thread.
#if defined(__x86_64__) || defined(__SSE2__)
#include <xmmintrin.h>
#endif

class ScopedFlushDenormals {
 public:
#if defined(__x86_64__) || defined(__SSE2__)
  ScopedFlushDenormals() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | kFlushBits); }
  ~ScopedFlushDenormals() { _mm_setcsr(mSaved); }

 private:
  static constexpr unsigned kFlushBits = 0x8040;  // MXCSR: flush to zero (15), inputs as zero (6)
  unsigned mSaved;
#elif defined(__aarch64__)
  ScopedFlushDenormals() {
    asm volatile("mrs %0, fpcr" : "=r"(mSaved));
    setFpcr(mSaved | kFlushBit);
  }
  ~ScopedFlushDenormals() { setFpcr(mSaved); }

 private:
  static void setFpcr(unsigned long long v) { asm volatile("msr fpcr, %0" : : "r"(v)); }
  static constexpr unsigned long long kFlushBit = 1ull << 24;  // FPCR.FZ
  unsigned long long mSaved;
#else
  ScopedFlushDenormals() {}
#endif

 public:
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;
};
