// The instrument's state: version tag, program index and name, then every parameter's plain
// value. Older states are the bare values. Reading consumes exactly what writing produced,
// so states can lie back to back in a bank.
#include <cstring>

#include "instrument/quenta.h"

const char versionMagic[] = "Quenta_1.2.2";

namespace {
constexpr int kTagLen = (int)sizeof(versionMagic) - 1;
}

bool Quenta::isNewVersion_1_2_2(ByteChunk* pChunk, int pos) const {
  if (!pChunk || pos < 0 || (long long)pos + kTagLen > pChunk->Size()) return false;
  return std::memcmp(pChunk->GetBytes() + pos, versionMagic, (size_t)kTagLen) == 0;
}

bool Quenta::SerializeState(ByteChunk* pChunk) {
  WDL_MutexLock lock(&mMutex);
  pChunk->PutBytes(versionMagic, kTagLen);
  int program = mCurrentPresetIdx;
  pChunk->Put(&program);
  pChunk->PutStr(GetPresetName(mCurrentPresetIdx));
  for (int i = 0; i < NParams(); ++i) {
    double v = GetParam(i)->Value();
    pChunk->Put(&v);
  }
  return pChunk->Size() > 0;
}

int Quenta::UnserializeState(ByteChunk* pChunk, int pos) {
  WDL_MutexLock lock(&mMutex);
  if (isNewVersion_1_2_2(pChunk, pos)) {
    pos += kTagLen;
    int program = 0, nameLen = 0;
    pos = pChunk->Get(&program, pos);
    if (pos >= 0) pos = pChunk->Get(&nameLen, pos);
    // The stored program index and name are read past, not applied.
    if (pos < 0 || nameLen < 0 || (long long)pos + nameLen > pChunk->Size()) {
      OnParamReset();
      return -1;
    }
    pos += nameLen;
  }
  for (int i = 0; i < NParams() && pos >= 0; ++i) {
    double v = 0.0;
    pos = pChunk->Get(&v, pos);
    if (pos < 0) v = 0.0;
    GetParam(i)->Set(v);
  }
  OnParamReset();
  return pos;
}

void Quenta::renameProgram(int idx, const char* name) {
  WDL_MutexLock lock(&mMutex);
  IPreset* pPreset = GetPreset(idx);
  if (!pPreset || !name) return;
  if (idx == mCurrentPresetIdx) {
    // The current program also takes the live state, as every edit of it does.
    ModifyCurrentPreset(name);
    return;
  }
  pPreset->SetName(name);
  // Another program keeps its state; the copy of its name inside the state is replaced.
  ByteChunk& chunk = pPreset->mChunk;
  if (!isNewVersion_1_2_2(&chunk, 0)) return;
  int program = 0, nameLen = 0;
  int pos = chunk.Get(&program, kTagLen);
  if (pos >= 0) pos = chunk.Get(&nameLen, pos);
  if (pos < 0 || nameLen < 0 || (long long)pos + nameLen > chunk.Size()) return;
  ByteChunk renamed;
  renamed.PutBytes(versionMagic, kTagLen);
  renamed.Put(&program);
  renamed.PutStr(pPreset->mName);
  renamed.PutBytes(chunk.GetBytes() + pos + nameLen, chunk.Size() - pos - nameLen);
  chunk.Clear();
  chunk.PutChunk(&renamed);
}

void Quenta::runUtilCommand(int block, int command) {
  if (command >= 0 && command <= 2)
    copyBlock(block, command);
  else if (command == 3)
    initBlock(block);
}

namespace {
// A Block's level, VCA source, output switch and gate source stay with the Block.
bool IsBlockOwnSetting(int k) {
  return k == kVolume || k == kVCAFSrc || k == kChEnable || k == kChGate;
}
}  // namespace

void Quenta::copyBlock(int from, int to) {
  if (from < 0 || from >= kNumBlocks || to < 0 || to >= kNumBlocks) return;
  WDL_MutexLock lock(&mMutex);
  for (int k = 0; k < kBlockParamCount; ++k) {
    if (IsBlockOwnSetting(k)) continue;
    SetParameterFromGUI(BlockParam(to, k), GetParam(BlockParam(from, k))->GetNormalized());
  }
  DirtyParameters();
  RedrawParamControls();
}

void Quenta::initBlock(int block) {
  if (block < 0 || block >= kNumBlocks) return;
  WDL_MutexLock lock(&mMutex);
  for (int k = 0; k < kBlockParamCount; ++k) {
    if (IsBlockOwnSetting(k)) continue;
    IParam* pParam = GetParam(BlockParam(block, k));
    pParam->Set(pParam->GetDefault());
  }
  DirtyParameters();
  RedrawParamControls();
}
