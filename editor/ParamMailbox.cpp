#include "editor/ParamMailbox.h"

ParamMailbox::ParamMailbox(int size)
    : mSlots(new Slot[size > 0 ? size : 0]), mSize(size > 0 ? size : 0) {}

void ParamMailbox::Post(int idx, double value) {
  if (idx < 0 || idx >= mSize) return;
  Slot& s = mSlots[idx];
  s.mValue.store(value, std::memory_order_relaxed);
  s.mPending.store(true, std::memory_order_release);
  mAnyPending.store(true, std::memory_order_release);
}

void ParamMailbox::Drop(int idx) {
  if (idx < 0 || idx >= mSize) return;
  mSlots[idx].mPending.store(false, std::memory_order_relaxed);
}
