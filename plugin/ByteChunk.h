#pragma once
// Growable byte buffer for all state data. Values are stored in the machine's native
// (little-endian) byte order. Strings are an int32 length followed by the characters
// without terminator. Every read checks both ends of the data: a read that does not fit,
// or that starts at a negative position, leaves its target unchanged and returns -1, so a
// failed read followed by another read stays safe.
#include <cstring>
#include <type_traits>

#include "base/heapbuf.h"
#include "base/wdlstring.h"

class ByteChunk {
 public:
  ByteChunk() : mBytes(4096) {}

  template <class T>
  int Put(const T* pVal) {
    static_assert(std::is_trivially_copyable<T>::value, "Put takes plain values");
    return PutBytes(pVal, (int)sizeof(T));
  }

  template <class T>
  int Get(T* pVal, int startPos) const {
    static_assert(std::is_trivially_copyable<T>::value, "Get takes plain values");
    if (!Fits(startPos, (long long)sizeof(T))) return -1;
    std::memcpy(pVal, GetBytes() + startPos, sizeof(T));
    return startPos + (int)sizeof(T);
  }

  // Appends n raw bytes; returns the new size, or -1 when memory ran out.
  int PutBytes(const void* pSrc, int n);
  // Copies n bytes from startPos; returns the next position or -1.
  int GetBytes(void* pDest, int n, int startPos) const;

  int PutStr(const char* str);
  // Reads a length-prefixed string. A length that cannot be read, or a negative length, fails
  // with -1. A length of 0, or one that runs past the end, leaves the string empty; otherwise
  // the string takes the bytes up to the first NUL. Returns startPos + 4 + length on success.
  int GetStr(WDL_String* pStr, int startPos) const;

  int PutChunk(const ByteChunk* pRHS) { return PutBytes(pRHS->GetBytes(), pRHS->Size()); }

  void Clear() { mBytes.Resize(0); }
  int Size() const { return mBytes.GetSize(); }
  // New bytes are zero. Returns the new size (the old size when memory ran out).
  int Resize(int newSize);
  unsigned char* GetBytes() const { return static_cast<unsigned char*>(mBytes.Get()); }
  bool IsEqual(const ByteChunk* pRHS) const {
    return pRHS && pRHS->Size() == Size() &&
           (Size() == 0 || std::memcmp(pRHS->GetBytes(), GetBytes(), (size_t)Size()) == 0);
  }

 private:
  bool Fits(int startPos, long long n) const {
    return startPos >= 0 && n >= 0 && (long long)startPos + n <= Size();
  }

  WDL_HeapBuf mBytes;
};
