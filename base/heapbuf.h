#pragma once
// Growable raw and typed buffers. Capacity grows in steps of the granularity so that
// repeated small appends do not reallocate every time; shrinking keeps the capacity.
#include <cstdlib>
#include <cstring>
#include <new>

class WDL_HeapBuf {
 public:
  explicit WDL_HeapBuf(int granularity = 4096) : mGranularity(granularity > 0 ? granularity : 1) {}
  ~WDL_HeapBuf() { std::free(mBuf); }
  WDL_HeapBuf(const WDL_HeapBuf&) = delete;
  WDL_HeapBuf& operator=(const WDL_HeapBuf&) = delete;

  void* Get() const { return mSize ? mBuf : nullptr; }
  int GetSize() const { return mSize; }
  int GetCapacity() const { return mCapacity; }
  int GetGranularity() const { return mGranularity; }

  // Sets the size to newSize bytes (negative counts as 0). Returns the data, or null when the
  // memory could not be had, in which case size and contents stay as they were.
  void* Resize(int newSize) {
    if (newSize < 0) newSize = 0;
    if (newSize > mCapacity) {
      long long cap = ((long long)newSize + mGranularity - 1) / mGranularity * mGranularity;
      if (cap > 0x7fffffff) cap = newSize;
      void* p = std::realloc(mBuf, (size_t)cap);
      if (!p) return nullptr;
      mBuf = p;
      mCapacity = (int)cap;
    }
    mSize = newSize;
    return mBuf;
  }

  // Sets the allocated capacity ahead of use (never below the current size).
  bool Reserve(int capacity) {
    if (capacity <= mCapacity) return true;
    void* p = std::realloc(mBuf, (size_t)capacity);
    if (!p) return false;
    mBuf = p;
    mCapacity = capacity;
    return true;
  }

 private:
  void* mBuf = nullptr;
  int mSize = 0;
  int mCapacity = 0;
  int mGranularity;
};

// A WDL_HeapBuf viewed as an array of trivially copyable T.
template <class T>
class WDL_TypedBuf {
 public:
  explicit WDL_TypedBuf(int granularity = 4096) : mHeap(granularity) {}

  T* Get() const { return static_cast<T*>(mHeap.Get()); }
  int GetSize() const { return mHeap.GetSize() / (int)sizeof(T); }
  // Null, the buffer unchanged, also when n elements would not fit an int of bytes.
  T* Resize(int n) {
    const long long bytes = n < 0 ? 0 : (long long)n * (long long)sizeof(T);
    return bytes > 0x7fffffff ? nullptr : static_cast<T*>(mHeap.Resize((int)bytes));
  }
  T* Add(const T& v) {
    int n = GetSize();
    T* p = Resize(n + 1);
    if (!p || GetSize() != n + 1) return nullptr;
    p[n] = v;
    return p + n;
  }
  bool Reserve(int n) {
    const long long bytes = n < 0 ? 0 : (long long)n * (long long)sizeof(T);
    return bytes <= 0x7fffffff && mHeap.Reserve((int)bytes);
  }

 private:
  WDL_HeapBuf mHeap;
};
