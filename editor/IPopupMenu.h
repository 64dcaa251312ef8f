#pragma once
// A pop-up menu as the editor describes it, independent of the window system: a list of items
// with flags and optional submenus. The editor builds one per click, hands it to
// IGraphics::CreateIPopupMenu, reads back the chosen item and deletes it (with its items and
// their submenus). Every access by position is checked: out of range reads give "" or null and
// writes do nothing.
#include <cstddef>

#include "base/ptrlist.h"
#include "base/wdlstring.h"

class IPopupMenu;

class IPopupMenuItem {
 public:
  enum EFlags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

  explicit IPopupMenuItem(const char* text, int flags = kNoFlags);
  // Takes ownership of the submenu.
  IPopupMenuItem(const char* text, IPopupMenu* pSubmenu);
  ~IPopupMenuItem();
  IPopupMenuItem(const IPopupMenuItem&) = delete;
  IPopupMenuItem& operator=(const IPopupMenuItem&) = delete;

  const char* GetText() const { return mText.Get(); }
  void SetText(const char* text) { mText.Set(text); }
  IPopupMenu* GetSubmenu() const { return mSubmenu; }
  int GetFlags() const { return mFlags; }

  bool GetEnabled() const { return !(mFlags & kDisabled); }
  bool GetChecked() const { return (mFlags & kChecked) != 0; }
  bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
  bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
  // Whether a user can choose it: not a separator, title, submenu header or disabled item.
  bool IsChoosable() const { return !mSubmenu && !(mFlags & (kDisabled | kTitle | kSeparator)); }

  void SetChecked(bool checked) { SetFlag(kChecked, checked); }
  void SetEnabled(bool enabled) { SetFlag(kDisabled, !enabled); }
  void SetTitle(bool title) { SetFlag(kTitle, title); }

 private:
  void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }

  WDL_String mText;
  IPopupMenu* mSubmenu = nullptr;  // owned
  int mFlags = kNoFlags;
};

class IPopupMenu {
 public:
  // How each item's 1-based position is shown before its text.
  enum EPrefix {
    kPrefixNone = 0,
    kPrefix1 = 1,  // "%1d: "
    kPrefix2 = 2,  // "%02d: "
    kPrefix3 = 3,  // "%03d: "
  };

  IPopupMenu() = default;
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Inserting: at index when 0 <= index < count; appended when index is -1 or not below the
  // count; any other negative index inserts at the front. Each returns the item (null for a
  // null item).
  IPopupMenuItem* AddItem(IPopupMenuItem* pItem, int index = -1);
  IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
  IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* pSubmenu);
  IPopupMenuItem* AddItem(const char* text, IPopupMenu* pSubmenu);  // appended
  IPopupMenuItem* AddSeparator(int index = -1);

  // Styles 0 .. 3 (EPrefix); any other value is ignored.
  void SetPrefix(int style);
  int GetPrefix() const { return mPrefix; }

  int GetNItems() const { return mItems.GetSize(); }
  IPopupMenuItem* GetItem(int index) const { return mItems.Get(index); }
  const char* GetItemText(int index) const;
  // The item's text as the user sees it, after the position prefix; "" out of range.
  void GetItemDisplayText(int index, WDL_String* pOut) const;

  // The position of the item the user chose in this menu, -1 when none.
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  IPopupMenuItem* GetChosenItem() const { return mItems.Get(mChosenItemIdx); }

  bool CheckItem(int index, bool checked);  // false out of range
  void CheckItemAlone(int index);           // checks it, unchecks every other; nothing out of range
  bool IsItemChecked(int index) const;      // false out of range

  // Whether pMenu is this menu or one of its submenus at any depth.
  bool Owns(const IPopupMenu* pMenu) const;

 private:
  int mPrefix = kPrefixNone;
  int mChosenItemIdx = -1;
  WDL_PtrList<IPopupMenuItem, true> mItems;
};
