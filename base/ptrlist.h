#pragma once
// A list of pointers. The owning form (WDL_PtrList<T, true>) deletes its elements when they
// are removed or when the list is destroyed.
#include <vector>

template <class T, bool Owning = false>
class WDL_PtrList {
 public:
  WDL_PtrList() = default;
  ~WDL_PtrList() { Empty(); }
  WDL_PtrList(const WDL_PtrList&) = delete;
  WDL_PtrList& operator=(const WDL_PtrList&) = delete;

  int GetSize() const { return (int)mList.size(); }
  T* Get(int idx) const {
    return idx >= 0 && idx < (int)mList.size() ? mList[(size_t)idx] : nullptr;
  }
  T* Add(T* p) {
    mList.push_back(p);
    return p;
  }
  T* Insert(int idx, T* p) {
    if (idx < 0) idx = 0;
    if (idx > GetSize()) idx = GetSize();
    mList.insert(mList.begin() + idx, p);
    return p;
  }
  int Find(const T* p) const {
    for (size_t i = 0; i < mList.size(); ++i)
      if (mList[i] == p) return (int)i;
    return -1;
  }
  void Delete(int idx) {
    if (idx < 0 || idx >= GetSize()) return;
    T* p = mList[(size_t)idx];
    mList.erase(mList.begin() + idx);
    if (Owning) delete p;
  }
  void Empty() {
    if (Owning)
      for (T* p : mList) delete p;
    mList.clear();
  }

 private:
  std::vector<T*> mList;
};
