#pragma once
// The process-wide caches behind IGraphics: decoded bitmaps and fonts. One of each exists per
// loaded plug-in module, shared by every editor in the process, each guarded by its own mutex;
// they live as long as the module and free what they hold when it unloads. Not part of the
// editor's interface: only IGraphics uses them.
#include <vector>

#include "base/mutex.h"
#include "base/wdlstring.h"

class LICE_IBitmap;
class LICE_CachedFont;

// Decoded images by resource id (-1 for images put under the cache's ownership).
class BitmapStorage {
 public:
  static BitmapStorage& Get();
  ~BitmapStorage();

  // The image stored under id, or null.
  LICE_IBitmap* Find(int id);
  // Stores the image under id and returns what is stored there now: the image, or the one
  // another thread stored first (then the given image is freed).
  LICE_IBitmap* Add(int id, LICE_IBitmap* pImage);
  // Takes ownership of the image under id -1 (once).
  void Retain(LICE_IBitmap* pImage);
  // Removes and frees the entry holding the image.
  void Release(LICE_IBitmap* pImage);

 private:
  BitmapStorage() = default;
  struct Entry {
    int id;
    LICE_IBitmap* image;
  };
  WDL_Mutex mMutex;
  std::vector<Entry> mEntries;
};

// Fonts by size, orientation, style and face.
class FontStorage {
 public:
  static FontStorage& Get();
  ~FontStorage();

  LICE_CachedFont* Find(int size, int orientation, int style, const char* face);
  // Same as BitmapStorage::Add, for fonts.
  LICE_CachedFont* Add(int size, int orientation, int style, const char* face,
                       LICE_CachedFont* pFont);

 private:
  FontStorage() = default;
  struct Entry {
    int size, orientation, style;
    WDL_String face;
    LICE_CachedFont* font;
  };
  WDL_Mutex mMutex;
  std::vector<Entry> mEntries;
};
