#pragma once
// The parameter mailbox between the host's threads and the editor's user-interface thread.
//
// One slot per parameter holds the latest normalised value and a pending flag. Post (any
// thread) stores the value, then raises the slot's flag and the box's flag, all lock-free and
// without allocation, so the audio thread may post. Drain (user-interface thread) hands every
// pending slot's value on once. A post that races with the drain is never lost: its flag stays
// raised for the next drain, which then hands on the value current at that time.
#include <atomic>
#include <memory>

class ParamMailbox {
 public:
  explicit ParamMailbox(int size);

  int Size() const { return mSize; }
  // Ignores an index out of range.
  void Post(int idx, double value);
  // Forgets a pending value (the user-interface thread has just set a newer one itself).
  void Drop(int idx);
  // Calls f(idx, value) for every pending slot and clears its flag.
  template <class F>
  void Drain(F f) {
    if (!mAnyPending.exchange(false, std::memory_order_acquire)) return;
    for (int i = 0; i < mSize; ++i) {
      Slot& s = mSlots[i];
      if (!s.mPending.load(std::memory_order_relaxed)) continue;
      if (!s.mPending.exchange(false, std::memory_order_acquire)) continue;
      f(i, s.mValue.load(std::memory_order_relaxed));
    }
  }

 private:
  struct Slot {
    std::atomic<double> mValue{0.0};
    std::atomic<bool> mPending{false};
  };
  static_assert(std::atomic<double>::is_always_lock_free, "the mailbox must not lock");
  static_assert(std::atomic<bool>::is_always_lock_free, "the mailbox must not lock");

  std::unique_ptr<Slot[]> mSlots;
  int mSize;
  std::atomic<bool> mAnyPending{false};
};
