#pragma once
// Pending MIDI messages of the coming host block, kept in non-decreasing offset order
// (messages with equal offsets keep their order of arrival). The array grows in granules;
// it is sized to the block size at reset so that the audio thread normally never allocates.
#include "plugin/IMidiMsg.h"

class IMidiQueue {
 public:
  explicit IMidiQueue(int size = 1024);
  ~IMidiQueue();
  IMidiQueue(const IMidiQueue&) = delete;
  IMidiQueue& operator=(const IMidiQueue&) = delete;

  // Queues a copy of msg in offset order; dropped when the queue cannot grow.
  void Add(const IMidiMsg* msg);
  void Remove() { ++mFront; }
  bool Empty() const { return mFront == mBack; }
  void Clear() { mFront = mBack = 0; }
  int ToDo() const { return mBack - mFront; }
  int GetSize() const { return mSize; }
  IMidiMsg* Peek() const { return mBuf + mFront; }
  // Moves the queued messages to the start of the array and subtracts nFrames from their offsets.
  void Flush(int nFrames);
  // Capacity for a host block of blockSize samples (rounded to whole 4096-byte granules).
  void Resize(int blockSize);

  // The queue never holds more messages than this; further ones are dropped.
  static constexpr int kMaxSize = 65536;

  // Rounds a message count (at most kMaxSize) up so that its bytes fill whole 4096-byte
  // granules.
  static int Granulize(int size);

 private:
  void Compact();
  bool Grow();
  bool Reallocate(int newSize);

  IMidiMsg* mBuf = nullptr;
  int mSize = 0;
  int mGrow;
  int mFront = 0, mBack = 0;
};
