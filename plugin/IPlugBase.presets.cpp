// Presets, the bank body and the default parameter (de)serialisation.
#include <cstdio>
#include <cstring>

#include "plugin/IPlugBase.h"

void IPlugBase::InitChunkWithIPlugVer(ByteChunk* pChunk) {
  pChunk->Clear();
  int magic = kIPlugChunkMagic;
  pChunk->Put(&magic);
  int ver = kIPlugVersion;
  pChunk->Put(&ver);
}

int IPlugBase::GetIPlugVerFromChunk(ByteChunk* pChunk, int* pPos) {
  int magic = 0, ver = 0;
  if (*pPos < 0) return 0;
  int pos = pChunk->Get(&magic, *pPos);
  if (pos < 0 || magic != kIPlugChunkMagic) return 0;
  pos = pChunk->Get(&ver, pos);
  if (pos < 0) {
    *pPos = -1;
    return 0;
  }
  *pPos = pos;
  return ver;
}

bool IPlugBase::SerializeParams(ByteChunk* pChunk) {
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i) {
    double v = GetParam(i)->Value();
    pChunk->Put(&v);
  }
  return pChunk->Size() > 0;
}

int IPlugBase::UnserializeParams(ByteChunk* pChunk, int startPos) {
  WDL_MutexLock lock(&mMutex);
  int pos = startPos;
  for (int i = 0; i < NParams() && pos >= 0; ++i) {
    IParam* pParam = GetParam(i);
    double v = 0.0;
    pos = pChunk->Get(&v, pos);
    if (pos < 0) v = 0.0;
    pParam->Set(v);
  }
  OnParamReset();
  return pos;
}

bool IPlugBase::SerializePresets(ByteChunk* pChunk) {
  for (int i = 0; i < NPresets(); ++i) {
    IPreset* pPreset = mPresets.Get(i);
    pChunk->PutStr(pPreset->mName);
    unsigned char initialized = pPreset->mInitialized ? 1 : 0;
    pChunk->Put(&initialized);
    if (pPreset->mInitialized) pChunk->PutChunk(&pPreset->mChunk);
  }
  return true;
}

int IPlugBase::UnserializePresets(ByteChunk* pChunk, int startPos) {
  int pos = startPos;
  if (pos >= 0) {
    // One name buffer for the whole loop: a preset whose stored name is empty or unreadable
    // takes the name read for the preset before it.
    WDL_String name;
    for (int i = 0; i < NPresets(); ++i) {
      IPreset* pPreset = mPresets.Get(i);
      WDL_String readName;
      pos = pChunk->GetStr(&readName, pos);
      if (pos >= 0 && readName.GetLength() > 0) name.Set(readName.Get());
      pPreset->SetName(name.Get());
      if (pos >= 0 && pos < pChunk->Size()) {
        unsigned char initialized = 0;
        pos = pChunk->Get(&initialized, pos);
        pPreset->mInitialized = initialized != 0;
      } else {
        pos = -1;
      }
      if (pos >= 0 && pPreset->mInitialized) {
        pos = UnserializeState(pChunk, pos);
        if (pos > 0 || pPreset->mChunk.Size() == 0) {
          // A preset whose stored state was cut short still gets a state it can be selected
          // with: what the reader applied.
          pPreset->mChunk.Clear();
          SerializeState(&pPreset->mChunk);
        }
      }
      if (pos < 0) break;
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

const char* IPlugBase::GetPresetName(int idx) const {
  const IPreset* pPreset = mPresets.Get(idx);
  return pPreset ? pPreset->mName : "";
}

bool IPlugBase::RestorePreset(int idx) {
  IPreset* pPreset = mPresets.Get(idx);
  if (!pPreset) return false;
  if (pPreset->mInitialized) {
    if (UnserializeState(&pPreset->mChunk, 0) < 1) return false;
  } else {
    int nUser = 0;
    for (int i = 0; i < NPresets(); ++i)
      if (std::strstr(mPresets.Get(i)->mName, "user preset")) ++nUser;
    pPreset->mInitialized = true;
    char name[IPreset::kNameLen];
    std::snprintf(name, sizeof(name), "%s %d", "user preset", nUser + 1);
    pPreset->SetName(name);
    pPreset->mChunk.Clear();
    if (!SerializeState(&pPreset->mChunk)) return false;
  }
  mCurrentPresetIdx = idx;
  PresetsChangedByHost();
  RedrawParamControls();
  return true;
}

bool IPlugBase::RestorePreset(const char* name) {
  if (!name || !name[0]) return false;
  for (int i = 0; i < NPresets(); ++i)
    if (std::strcmp(mPresets.Get(i)->mName, name) == 0) return RestorePreset(i);
  return false;
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  IPreset* pPreset = mPresets.Get(mCurrentPresetIdx);
  if (!pPreset) return;
  // Rename first, so that a state format carrying the program's name stores the new one.
  if (name && name[0]) pPreset->SetName(name);
  pPreset->mChunk.Clear();
  SerializeState(&pPreset->mChunk);
}

void IPlugBase::EnsureDefaultPreset() {
  for (int i = 0; i < NPresets(); ++i) {
    IPreset* pPreset = mPresets.Get(i);
    if (pPreset->mInitialized) continue;
    pPreset->mInitialized = true;
    pPreset->SetName("Empty");
    pPreset->mChunk.Clear();
    SerializeState(&pPreset->mChunk);
  }
}
