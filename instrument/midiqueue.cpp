#include "instrument/midiqueue.h"

#include <cstdlib>
#include <cstring>

static_assert(sizeof(IMidiMsg) == 8, "queued messages are 8 bytes each");

IMidiQueue::IMidiQueue(int size) : mGrow(Granulize(size)) { Grow(); }

IMidiQueue::~IMidiQueue() { std::free(mBuf); }

int IMidiQueue::Granulize(int size) {
  if (size < 0) size = 0;
  if (size > kMaxSize) size = kMaxSize;
  const int granule = 4096 / (int)sizeof(IMidiMsg);
  return (size + granule - 1) / granule * granule;
}

bool IMidiQueue::Reallocate(int newSize) {
  if (newSize <= 0) return false;
  void* p = std::realloc(mBuf, (size_t)newSize * sizeof(IMidiMsg));
  if (!p) return false;
  mBuf = static_cast<IMidiMsg*>(p);
  mSize = newSize;
  return true;
}

bool IMidiQueue::Grow() {
  if (mGrow <= 0) return false;
  long long newSize = ((long long)mSize / mGrow + 1) * mGrow;
  if (newSize > kMaxSize) return false;
  return Reallocate((int)newSize);
}

void IMidiQueue::Compact() {
  if (mFront <= 0) return;
  int n = mBack - mFront;
  if (n > 0) std::memmove(mBuf, mBuf + mFront, (size_t)n * sizeof(IMidiMsg));
  mBack -= mFront;
  mFront = 0;
}

void IMidiQueue::Add(const IMidiMsg* msg) {
  if (mBack >= mSize) {
    if (mFront > 0)
      Compact();
    else if (!Grow())
      return;
  }
  if (!Empty() && msg->mOffset < mBuf[mBack - 1].mOffset) {
    // Insert after the last message whose offset is not greater than the new one's.
    int i = mBack - 2;
    while (i >= mFront && mBuf[i].mOffset > msg->mOffset) --i;
    ++i;
    std::memmove(mBuf + i + 1, mBuf + i, (size_t)(mBack - i) * sizeof(IMidiMsg));
    mBuf[i] = *msg;
  } else {
    mBuf[mBack] = *msg;
  }
  ++mBack;
}

void IMidiQueue::Flush(int nFrames) {
  Compact();
  for (int i = 0; i < mBack; ++i) mBuf[i].mOffset -= nFrames;
}

void IMidiQueue::Resize(int blockSize) {
  Compact();
  int grow = Granulize(blockSize);
  if (grow <= 0) grow = Granulize(1);
  mGrow = grow;
  int newSize = mBack > grow ? Granulize(mBack) : grow;
  if (newSize != mSize) Reallocate(newSize);
}
