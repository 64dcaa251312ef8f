// Program (.fxp) and bank (.fxb) files. Headers are big-endian; the embedded chunk keeps the
// little-endian layout of ByteChunk. Files are read whole before parsing and written as one
// image through a TempFile (base/tempfile.h), so a failed write never destroys the file that
// was there. The image is made under the plug-in's mutex, like every change of the programs,
// and written to the disk outside it. A file that is refused changes nothing.
#include <cstdio>
#include <cstring>

#include "base/tempfile.h"
#include "plugin/IPlugBase.h"

namespace {

constexpr int kFxpHeaderSize = 56;        // program header up to the data
constexpr int kFxpChunkDataOffset = 60;   // after the chunk-size field
constexpr int kFxbHeaderSize = 156;       // bank header up to the data
constexpr int kFxbChunkDataOffset = 160;  // after the chunk-size field
constexpr int kFxNameLen = 28;

constexpr int FourCC(char a, char b, char c, char d) {
  return (int)(((unsigned)(unsigned char)a << 24) | ((unsigned)(unsigned char)b << 16) |
               ((unsigned)(unsigned char)c << 8) | (unsigned)(unsigned char)d);
}
constexpr int kCcnK = FourCC('C', 'c', 'n', 'K');
constexpr int kFxCk = FourCC('F', 'x', 'C', 'k');
constexpr int kFPCh = FourCC('F', 'P', 'C', 'h');
constexpr int kFxBk = FourCC('F', 'x', 'B', 'k');
constexpr int kFBCh = FourCC('F', 'B', 'C', 'h');

void PutBE32(ByteChunk* pChunk, int v) {
  unsigned char b[4] = {(unsigned char)((unsigned)v >> 24), (unsigned char)((unsigned)v >> 16),
                        (unsigned char)((unsigned)v >> 8), (unsigned char)v};
  pChunk->PutBytes(b, 4);
}

void PutBEFloat(ByteChunk* pChunk, float f) {
  int v;
  std::memcpy(&v, &f, 4);
  PutBE32(pChunk, v);
}

void PutZeros(ByteChunk* pChunk, int n) { pChunk->Resize(pChunk->Size() + n); }

// Name field: NUL-padded, cut to 28 characters (no terminator when 28 or more).
void PutFxName(ByteChunk* pChunk, const char* name) {
  char buf[kFxNameLen];
  std::memset(buf, 0, sizeof(buf));
  if (name) std::memcpy(buf, name, strnlen(name, sizeof(buf)));
  pChunk->PutBytes(buf, kFxNameLen);
}

bool GetBE32(const ByteChunk& chunk, int pos, int* pV) {
  unsigned char b[4];
  if (chunk.GetBytes(b, 4, pos) < 0) return false;
  *pV = (int)(((unsigned)b[0] << 24) | ((unsigned)b[1] << 16) | ((unsigned)b[2] << 8) |
              (unsigned)b[3]);
  return true;
}

bool GetBEFloat(const ByteChunk& chunk, int pos, float* pF) {
  int v;
  if (!GetBE32(chunk, pos, &v)) return false;
  std::memcpy(pF, &v, 4);
  return true;
}

void GetFxName(const ByteChunk& chunk, int pos, char* name /* kFxNameLen + 1 */) {
  std::memset(name, 0, kFxNameLen + 1);
  chunk.GetBytes(name, kFxNameLen, pos);
}

bool ReadWholeFile(const char* path, ByteChunk* pChunk) {
  FILE* fp = std::fopen(path, "rb");
  if (!fp) return false;
  bool ok = false;
  if (std::fseek(fp, 0, SEEK_END) == 0) {
    long size = std::ftell(fp);
    if (size >= 0 && size < 0x7fffffff && std::fseek(fp, 0, SEEK_SET) == 0 &&
        pChunk->Resize((int)size) == (int)size) {
      ok = size == 0 || std::fread(pChunk->GetBytes(), 1, (size_t)size, fp) == (size_t)size;
    }
  }
  std::fclose(fp);
  return ok;
}

bool IsVersionHeaderAt(const ByteChunk& chunk, int pos) {
  int magic = 0;
  return chunk.Get(&magic, pos) >= 0 && magic == kIPlugChunkMagic;
}

// The 56-byte program header: "CcnK", byte size, tag, version 1, ID, plug-in version,
// parameter count and the 28-byte name.
void PutProgramHeader(ByteChunk* pImage, int byteSize, int tag, int uniqueID, int version,
                      int nParams, const char* name) {
  PutBE32(pImage, kCcnK);
  PutBE32(pImage, byteSize);
  PutBE32(pImage, tag);
  PutBE32(pImage, 1);
  PutBE32(pImage, uniqueID);
  PutBE32(pImage, version);
  PutBE32(pImage, nParams);
  PutFxName(pImage, name);
}

// The 156-byte bank header: "CcnK", byte size, tag, version 2, ID, plug-in version, program
// count, current program and 124 zero bytes.
void PutBankHeader(ByteChunk* pImage, int byteSize, int tag, int uniqueID, int version,
                   int nPrograms, int currentProgram) {
  PutBE32(pImage, kCcnK);
  PutBE32(pImage, byteSize);
  PutBE32(pImage, tag);
  PutBE32(pImage, 2);
  PutBE32(pImage, uniqueID);
  PutBE32(pImage, version);
  PutBE32(pImage, nPrograms);
  PutBE32(pImage, currentProgram);
  PutZeros(pImage, 124);
}

}  // namespace

void IPlugBase::MakeProgramFile(ByteChunk* pImage) {
  WDL_MutexLock lock(&mMutex);
  const char* name = GetPresetName(mCurrentPresetIdx);
  if (DoesStateChunks()) {
    ByteChunk state;
    InitChunkWithIPlugVer(&state);
    SerializeState(&state);
    PutProgramHeader(pImage, state.Size() + kFxpChunkDataOffset, kFPCh, GetUniqueID(),
                     GetEffectVersion(true), NParams(), name);
    PutBE32(pImage, state.Size());
    pImage->PutChunk(&state);
  } else {
    PutProgramHeader(pImage, 0, kFxCk, GetUniqueID(), GetEffectVersion(true), NParams(), name);
    for (int i = 0; i < NParams(); ++i) PutBEFloat(pImage, (float)GetParam(i)->GetNormalized());
  }
}

void IPlugBase::MakeBankFile(ByteChunk* pImage) {
  WDL_MutexLock lock(&mMutex);
  if (DoesStateChunks()) {
    ByteChunk bank;
    InitChunkWithIPlugVer(&bank);
    SerializePresets(&bank);
    PutBankHeader(pImage, bank.Size() + kFxbChunkDataOffset, kFBCh, GetUniqueID(),
                  GetEffectVersion(true), NPresets(), mCurrentPresetIdx);
    PutBE32(pImage, bank.Size());
    pImage->PutChunk(&bank);
  } else {
    PutBankHeader(pImage, 0, kFxBk, GetUniqueID(), GetEffectVersion(true), NPresets(),
                  mCurrentPresetIdx);
    for (int p = 0; p < NPresets(); ++p) {
      IPreset* pPreset = mPresets.Get(p);
      PutProgramHeader(pImage, 0, kFxCk, GetUniqueID(), GetEffectVersion(true), NParams(),
                       pPreset->mName);
      // The stored state is read as consecutive doubles; a short chunk gives 0.0.
      int pos = 0;
      for (int i = 0; i < NParams(); ++i) {
        double v = 0.0;
        if (pos >= 0) pos = pPreset->mChunk.Get(&v, pos);
        if (pos < 0) v = 0.0;
        PutBEFloat(pImage, (float)GetParam(i)->GetNormalized(v));
      }
    }
  }
}

bool IPlugBase::SaveProgramAsFXP(WDL_String* pFileName) {
  if (!pFileName || !pFileName->GetLength()) return false;
  ByteChunk image;
  MakeProgramFile(&image);
  return ReplaceFile(pFileName->Get(), image.GetBytes(), (size_t)image.Size());
}

bool IPlugBase::SaveBankAsFXB(WDL_String* pFileName) {
  if (!pFileName || !pFileName->GetLength()) return false;
  ByteChunk image;
  MakeBankFile(&image);
  return ReplaceFile(pFileName->Get(), image.GetBytes(), (size_t)image.Size());
}

bool IPlugBase::LoadProgramFromFXP(WDL_String* pFileName) {
  if (!pFileName || !pFileName->GetLength()) return false;
  ByteChunk file;
  if (!ReadWholeFile(pFileName->Get(), &file)) return false;
  if (file.Size() < kFxpHeaderSize) return false;

  int chunkMagic = 0, fxMagic = 0, version = 0, fxID = 0;
  GetBE32(file, 0, &chunkMagic);
  GetBE32(file, 8, &fxMagic);
  GetBE32(file, 12, &version);
  GetBE32(file, 16, &fxID);
  char name[kFxNameLen + 1];
  GetFxName(file, 28, name);
  if (chunkMagic != kCcnK || version != 1 || fxID != GetUniqueID()) return false;

  WDL_MutexLock lock(&mMutex);
  if (fxMagic == kFPCh && DoesStateChunks()) {
    if (file.Size() < kFxpChunkDataOffset) return false;
    int pos = IsVersionHeaderAt(file, kFxpChunkDataOffset) ? kFxpChunkDataOffset + 8
                                                           : kFxpChunkDataOffset;
    // Keep the live state so that a state the reader rejects can be put back.
    ByteChunk before;
    SerializeState(&before);
    if (UnserializeState(&file, pos) < 0) {
      UnserializeState(&before, 0);
      return false;
    }
  } else if (fxMagic == kFxCk) {
    // Parameters the file does not hold keep their values.
    for (int i = 0; i < NParams(); ++i) {
      float f;
      if (!GetBEFloat(file, kFxpHeaderSize + 4 * i, &f)) break;
      GetParam(i)->SetNormalized(f);
    }
  } else {
    return false;
  }
  ModifyCurrentPreset(name);
  RestorePreset(mCurrentPresetIdx);
  InformHostOfProgramChange();
  return true;
}

namespace {

// All presets, their names and flags, the current index and the live state, so that a bank
// the reader rejects halfway can be put back exactly.
struct PresetSnapshot {
  struct Entry {
    bool initialized;
    WDL_String name;
    ByteChunk chunk;
  };
  WDL_PtrList<Entry, true> entries;
  ByteChunk live;
  int current = 0;
};

}  // namespace

bool IPlugBase::LoadBankFromFXB(WDL_String* pFileName) {
  if (!pFileName || !pFileName->GetLength()) return false;
  ByteChunk file;
  if (!ReadWholeFile(pFileName->Get(), &file)) return false;
  if (file.Size() < 20) return false;

  int chunkMagic = 0, fxMagic = 0, fxID = 0;
  GetBE32(file, 0, &chunkMagic);
  GetBE32(file, 8, &fxMagic);
  GetBE32(file, 16, &fxID);
  if (chunkMagic != kCcnK || fxID != GetUniqueID()) return false;
  if (!((fxMagic == kFBCh && DoesStateChunks()) || fxMagic == kFxBk)) return false;
  // A bank too short to hold its data is refused rather than reported as loaded.
  if (file.Size() < kFxbHeaderSize + 4) return false;

  WDL_MutexLock lock(&mMutex);
  PresetSnapshot snap;
  for (int i = 0; i < NPresets(); ++i) {
    IPreset* pPreset = mPresets.Get(i);
    PresetSnapshot::Entry* e = snap.entries.Add(new PresetSnapshot::Entry);
    e->initialized = pPreset->mInitialized;
    e->name.Set(pPreset->mName);
    e->chunk.PutChunk(&pPreset->mChunk);
  }
  SerializeState(&snap.live);
  snap.current = mCurrentPresetIdx;
  auto restore = [&]() {
    for (int i = 0; i < NPresets(); ++i) {
      IPreset* pPreset = mPresets.Get(i);
      PresetSnapshot::Entry* e = snap.entries.Get(i);
      pPreset->mInitialized = e->initialized;
      pPreset->SetName(e->name.Get());
      pPreset->mChunk.Clear();
      pPreset->mChunk.PutChunk(&e->chunk);
    }
    mCurrentPresetIdx = snap.current;
    UnserializeState(&snap.live, 0);
    PresetsChangedByHost();
    RedrawParamControls();
  };

  if (fxMagic == kFBCh) {
    int pos = IsVersionHeaderAt(file, kFxbChunkDataOffset) ? kFxbChunkDataOffset + 8
                                                           : kFxbChunkDataOffset;
    if (UnserializePresets(&file, pos) < 0) {
      restore();
      return false;
    }
    InformHostOfProgramChange();
    return true;
  }

  int nPrograms = 0, currentProgram = 0;
  GetBE32(file, 24, &nPrograms);
  GetBE32(file, 28, &currentProgram);
  if (nPrograms > NPresets()) nPrograms = NPresets();
  int blockSize = kFxpHeaderSize + 4 * NParams();
  int pos = kFxbHeaderSize;
  for (int i = 0; i < nPrograms; ++i, pos += blockSize) {
    int magic = 0, blockFxMagic = 0, version = 0, nParams = 0;
    bool ok = GetBE32(file, pos, &magic) && GetBE32(file, pos + 8, &blockFxMagic) &&
              GetBE32(file, pos + 12, &version) && GetBE32(file, pos + 24, &nParams) &&
              (long long)pos + blockSize <= file.Size();
    if (!ok || magic != kCcnK || blockFxMagic != kFxCk || version != 1 || nParams != NParams()) {
      restore();
      return false;
    }
    char name[kFxNameLen + 1];
    GetFxName(file, pos + 28, name);
    RestorePreset(i);
    for (int p = 0; p < NParams(); ++p) {
      float f = 0.0f;
      GetBEFloat(file, pos + kFxpHeaderSize + 4 * p, &f);
      GetParam(p)->SetNormalized(f);
    }
    ModifyCurrentPreset(name);
  }
  RestorePreset(currentProgram);
  InformHostOfProgramChange();
  return true;
}
