#include "plugin/ByteChunk.h"

int ByteChunk::PutBytes(const void* pSrc, int n) {
  int oldSize = Size();
  if (n <= 0) return oldSize;
  if ((long long)oldSize + n > 0x7fffffff) return -1;
  unsigned char* p = static_cast<unsigned char*>(mBytes.Resize(oldSize + n));
  if (!p) return -1;
  std::memcpy(p + oldSize, pSrc, (size_t)n);
  return Size();
}

int ByteChunk::GetBytes(void* pDest, int n, int startPos) const {
  if (!Fits(startPos, n)) return -1;
  if (n > 0) std::memcpy(pDest, GetBytes() + startPos, (size_t)n);
  return startPos + n;
}

int ByteChunk::PutStr(const char* str) {
  if (!str) str = "";
  int n = (int)std::strlen(str);
  Put(&n);
  return PutBytes(str, n);
}

int ByteChunk::GetStr(WDL_String* pStr, int startPos) const {
  int len = 0;
  int pos = Get(&len, startPos);
  if (pos < 0 || len < 0) return -1;
  if ((long long)pos + len > 0x7fffffff) return -1;
  if (len > 0 && Fits(pos, len)) {
    const char* s = reinterpret_cast<const char*>(GetBytes() + pos);
    pStr->Set(s, (int)strnlen(s, (size_t)len));
  } else {
    pStr->Set("");
  }
  return pos + len;
}

int ByteChunk::Resize(int newSize) {
  int oldSize = Size();
  if (newSize < 0) newSize = 0;
  unsigned char* p = static_cast<unsigned char*>(mBytes.Resize(newSize));
  if (!p && newSize > 0) return oldSize;
  if (newSize > oldSize) std::memset(p + oldSize, 0, (size_t)(newSize - oldSize));
  return Size();
}
