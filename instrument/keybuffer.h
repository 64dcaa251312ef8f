#pragma once
// The keys held down, one entry per note with its velocity. A fixed table rather than a
// tree, so that note handling on the audio thread never allocates.
#include <cstring>

class KeyBuffer {
 public:
  KeyBuffer() { clear(); }

  // A velocity below 1 removes the note; otherwise it is added or its velocity replaced.
  void add(int note, int velocity) {
    if (note < 0 || note > 127) return;
    if (velocity < 1) {
      remove(note);
      return;
    }
    if (!mVelocity[note]) ++mCount;
    mVelocity[note] = velocity;
  }
  void remove(int note) {
    if (note < 0 || note > 127 || !mVelocity[note]) return;
    mVelocity[note] = 0;
    --mCount;
  }
  void clear() {
    std::memset(mVelocity, 0, sizeof(mVelocity));
    mCount = 0;
  }
  int size() const { return mCount; }
  bool contains(int note) const { return note >= 0 && note <= 127 && mVelocity[note] != 0; }
  int velocity(int note) const { return contains(note) ? mVelocity[note] : 0; }

 private:
  int mVelocity[128];
  int mCount;
};
