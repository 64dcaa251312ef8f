#include "editor/IPopupMenu.h"

IPopupMenuItem::IPopupMenuItem(const char* text, int flags) : mText(text), mFlags(flags) {}

IPopupMenuItem::IPopupMenuItem(const char* text, IPopupMenu* pSubmenu)
    : mText(text), mSubmenu(pSubmenu) {}

IPopupMenuItem::~IPopupMenuItem() { delete mSubmenu; }

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* pItem, int index) {
  if (!pItem) return nullptr;
  const int n = mItems.GetSize();
  if (index == -1 || index >= n) return mItems.Add(pItem);
  return mItems.Insert(index < 0 ? 0 : index, pItem);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags) {
  return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* pSubmenu) {
  return AddItem(new IPopupMenuItem(text, pSubmenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* pSubmenu) {
  return AddItem(text, -1, pSubmenu);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index) {
  return AddItem("", index, IPopupMenuItem::kSeparator);
}

void IPopupMenu::SetPrefix(int style) {
  if (style >= kPrefixNone && style <= kPrefix3) mPrefix = style;
}

const char* IPopupMenu::GetItemText(int index) const {
  const IPopupMenuItem* pItem = GetItem(index);
  return pItem ? pItem->GetText() : "";
}

void IPopupMenu::GetItemDisplayText(int index, WDL_String* pOut) const {
  if (!pOut) return;
  pOut->Set("");
  const IPopupMenuItem* pItem = GetItem(index);
  if (!pItem) return;
  // Positions are shown 1-based; the width grows past the style's digits when it must.
  static const char* const kFormats[] = {"", "%1d: ", "%02d: ", "%03d: "};
  if (mPrefix != kPrefixNone) pOut->SetFormatted(16, kFormats[mPrefix], index + 1);
  pOut->Append(pItem->GetText());
}

bool IPopupMenu::CheckItem(int index, bool checked) {
  IPopupMenuItem* pItem = GetItem(index);
  if (!pItem) return false;
  pItem->SetChecked(checked);
  return true;
}

void IPopupMenu::CheckItemAlone(int index) {
  if (!GetItem(index)) return;
  for (int i = 0; i < GetNItems(); ++i) GetItem(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const {
  const IPopupMenuItem* pItem = GetItem(index);
  return pItem && pItem->GetChecked();
}

bool IPopupMenu::Owns(const IPopupMenu* pMenu) const {
  if (!pMenu) return false;
  if (pMenu == this) return true;
  for (int i = 0; i < GetNItems(); ++i) {
    const IPopupMenu* pSub = GetItem(i)->GetSubmenu();
    if (pSub && pSub->Owns(pMenu)) return true;
  }
  return false;
}
