#include "editor/GraphicsCaches.h"

#include <cstring>

#include "render/bitmap.h"
#include "render/font.h"

// Function-local statics: made on first use (thread-safe), destroyed when the module unloads.
BitmapStorage& BitmapStorage::Get() {
  static BitmapStorage storage;
  return storage;
}

BitmapStorage::~BitmapStorage() {
  for (Entry& e : mEntries) delete e.image;
}

LICE_IBitmap* BitmapStorage::Find(int id) {
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries)
    if (e.id == id) return e.image;
  return nullptr;
}

LICE_IBitmap* BitmapStorage::Add(int id, LICE_IBitmap* pImage) {
  if (!pImage) return nullptr;
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries) {
    if (e.id == id && id != -1) {
      delete pImage;  // another editor decoded it meanwhile
      return e.image;
    }
  }
  mEntries.push_back(Entry{id, pImage});
  return pImage;
}

void BitmapStorage::Retain(LICE_IBitmap* pImage) {
  if (!pImage) return;
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries)
    if (e.image == pImage) return;
  mEntries.push_back(Entry{-1, pImage});
}

void BitmapStorage::Release(LICE_IBitmap* pImage) {
  if (!pImage) return;
  LICE_IBitmap* pFreed = nullptr;
  {
    WDL_MutexLock lock(&mMutex);
    for (size_t i = 0; i < mEntries.size(); ++i) {
      if (mEntries[i].image != pImage) continue;
      pFreed = pImage;
      mEntries.erase(mEntries.begin() + (long)i);
      break;
    }
  }
  delete pFreed;
}

FontStorage& FontStorage::Get() {
  static FontStorage storage;
  return storage;
}

FontStorage::~FontStorage() {
  for (Entry& e : mEntries) delete e.font;
}

LICE_CachedFont* FontStorage::Find(int size, int orientation, int style, const char* face) {
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries)
    if (e.size == size && e.orientation == orientation && e.style == style &&
        std::strcmp(e.face.Get(), face) == 0)
      return e.font;
  return nullptr;
}

LICE_CachedFont* FontStorage::Add(int size, int orientation, int style, const char* face,
                                  LICE_CachedFont* pFont) {
  if (!pFont) return nullptr;
  WDL_MutexLock lock(&mMutex);
  for (const Entry& e : mEntries) {
    if (e.size == size && e.orientation == orientation && e.style == style &&
        std::strcmp(e.face.Get(), face) == 0) {
      delete pFont;
      return e.font;
    }
  }
  mEntries.push_back(Entry{size, orientation, style, WDL_String(face), pFont});
  return pFont;
}
