#include "plugin/IPlugBase.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/IGraphics.h"
#include "plugin/Version.h"

const char* GetAPIString(EAPI api) {
  switch (api) {
    case kAPIVST2: return "VST2";
    case kAPIVST3: return "VST3";
    case kAPIAU: return "AU";
    case kAPIRTAS: return "RTAS";
    case kAPIAAX: return "AAX";
    case kAPISA: return "Standalone";
  }
  return "";
}

IPreset::IPreset() { SetName("empty"); }

void IPreset::SetName(const char* name) { CopyBounded(mName, kNameLen, name); }

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                     int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                     bool plugIsInst, EAPI plugAPI)
    : mUniqueID(uniqueID),
      mMfrID(mfrID),
      mVersion(vendorVersion),
      mAPI(plugAPI),
      mStateChunks(plugDoesChunks),
      mIsInst(plugIsInst),
      mDoesMIDI(plugDoesMidi),
      mLatency(latency) {
  for (int i = 0; i < nParams; ++i) mParams.Add(new IParam);
  for (int i = 0; i < nPresets; ++i) mPresets.Add(new IPreset);
  CopyBounded(mEffectName, kNameLen, effectName);
  CopyBounded(mProductName, kNameLen, productName);
  CopyBounded(mMfrName, kNameLen, mfrName);
  ParseChannelIO(channelIOStr);
}

IPlugBase::~IPlugBase() {
  delete mGraphics;
  mGraphics = nullptr;
  // The owning lists delete parameters, presets (with their chunks) and channel records.
}

void IPlugBase::ParseChannelIO(const char* channelIOStr) {
  int nInputs = 0, nOutputs = 0;
  const char* p = channelIOStr;
  while (p && *p) {
    int nIn = 0, nOut = 0;
    if (std::sscanf(p, "%d-%d", &nIn, &nOut) < 2) {
      // A count that cannot be read is taken as 0.
      if (std::sscanf(p, "%d", &nIn) < 1) nIn = 0;
      nOut = 0;
    }
    if (nIn < 0) nIn = 0;
    if (nOut < 0) nOut = 0;
    ChannelIO* pIO = new ChannelIO;
    pIO->mIn = nIn;
    pIO->mOut = nOut;
    mChannelIO.Add(pIO);
    if (nIn > nInputs) nInputs = nIn;
    if (nOut > nOutputs) nOutputs = nOut;
    p = std::strchr(p, ' ');
    if (p) ++p;
  }

  mInData.Resize(nInputs);
  mOutData.Resize(nOutputs);
  for (int i = 0; i < nInputs; ++i) {
    InChannel* pIn = new InChannel;
    pIn->mSrc = mInData.Get() + i;
    *pIn->mSrc = nullptr;
    mInChannels.Add(pIn);
  }
  for (int i = 0; i < nOutputs; ++i) {
    OutChannel* pOut = new OutChannel;
    pOut->mDest = mOutData.Get() + i;
    *pOut->mDest = nullptr;
    mOutChannels.Add(pOut);
  }
}

void IPlugBase::Reset() { WDL_MutexLock lock(&mMutex); }

void IPlugBase::OnParamChange(int /*paramIdx*/) { WDL_MutexLock lock(&mMutex); }

void IPlugBase::OnActivate(bool /*active*/) { WDL_MutexLock lock(&mMutex); }

void IPlugBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
  int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i) {
    if (!outputs[i]) continue;
    if (i < nIn && inputs[i]) {
      if (inputs[i] != outputs[i])
        std::memmove(outputs[i], inputs[i], (size_t)nFrames * sizeof(double));
    } else {
      std::memset(outputs[i], 0, (size_t)nFrames * sizeof(double));
    }
  }
}

void IPlugBase::ProcessMidiMsg(IMidiMsg* pMsg) { SendMidiMsg(pMsg); }

bool IPlugBase::MidiNoteName(int /*noteNumber*/, char* name) {
  if (name) name[0] = '\0';
  return false;
}

bool IPlugBase::CompareState(const unsigned char* data, int startPos) {
  if (!data || startPos < 0) return false;
  bool isEqual = true;
  const double* pD = reinterpret_cast<const double*>(data + startPos);
  for (int i = 0; i < NParams() && isEqual; ++i) {
    double stored;
    std::memcpy(&stored, pD + i, sizeof(double));  // the data need not be aligned
    // The live double itself is compared: through a float, values of a few thousand would
    // never match their own stored copies.
    isEqual = std::fabs(GetParam(i)->Value() - stored) < 0.00001;
  }
  return isEqual;
}

void IPlugBase::SetParameterFromGUI(int idx, double normalizedValue) {
  WDL_MutexLock lock(&mMutex);
  IParam* pParam = GetParam(idx);
  if (!pParam) return;
  pParam->SetNormalized(normalizedValue);
  InformHostOfParamChange(idx, normalizedValue);
  OnParamChange(idx);
}

void IPlugBase::AttachGraphics(IGraphics* pGraphics) {
  if (!pGraphics) return;
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i)
    pGraphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
  pGraphics->PrepDraw();
  if (mGraphics != pGraphics) delete mGraphics;
  mGraphics = pGraphics;
}

void IPlugBase::RedrawParamControls() {
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i)
    mGraphics->SetParameterFromPlug(i, GetParam(i)->Value(), false);
}

void IPlugBase::SetBlockSize(int blockSize) {
  // A size beyond the ceiling, or a negative one, takes the ceiling: whatever the host then
  // delivers is processed in pieces that fit the buffers. (0 announces no size: the host
  // then gets silence.)
  if (blockSize < 0 || blockSize > kMaxBlockSize) blockSize = kMaxBlockSize;
  if (blockSize == mBlockSize) return;
  // All scratch buffers take the new size, or none does: buffers only grow their memory, so
  // after a failure every one still holds the old size, which stays in force.
  bool resized = true;
  auto resize = [&](WDL_TypedBuf<double>& buf) { resized = resized && buf.Resize(blockSize); };
  for (int i = 0; i < NInChannels(); ++i) resize(mInChannels.Get(i)->mScratchBuf);
  for (int i = 0; i < NOutChannels(); ++i) resize(mOutChannels.Get(i)->mScratchBuf);
  const int size = resized ? blockSize : mBlockSize;
  auto settle = [&](WDL_TypedBuf<double>& buf) {
    if (buf.Resize(size) && size > 0) std::memset(buf.Get(), 0, (size_t)size * sizeof(double));
  };
  for (int i = 0; i < NInChannels(); ++i) settle(mInChannels.Get(i)->mScratchBuf);
  for (int i = 0; i < NOutChannels(); ++i) settle(mOutChannels.Get(i)->mScratchBuf);
  mBlockSize = size;
  // Disconnected channels keep reading and writing their scratch buffers, which may have moved.
  for (int i = 0; i < NInChannels(); ++i) {
    InChannel* pIn = mInChannels.Get(i);
    if (!pIn->mConnected) *pIn->mSrc = pIn->mScratchBuf.Get();
  }
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel* pOut = mOutChannels.Get(i);
    if (!pOut->mConnected) *pOut->mDest = pOut->mScratchBuf.Get();
  }
}

int IPlugBase::GetEffectVersion(bool decimal) const {
  return decimal ? DecimalVersion(mVersion) : mVersion;
}

void IPlugBase::GetEffectVersionStr(char* str) const {
  if (str) VersionString(mVersion, str);
}

void IPlugBase::SetHost(const char* productString, int version) {
  mHost = LookUpHost(productString);
  mHostVersion = version;
}

int IPlugBase::GetHostVersion(bool decimal) {
  GetHost();
  return decimal ? DecimalVersion(mHostVersion) : mHostVersion;
}

void IPlugBase::GetHostVersionStr(char* str) {
  GetHost();
  if (str) VersionString(mHostVersion, str);
}

void IPlugBase::DirtyParameters() {
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i) InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

void IPlugBase::OnParamReset() {
  for (int i = 0; i < NParams(); ++i) OnParamChange(i);
}

// ---- Channels ----

bool IPlugBase::IsInChannelConnected(int chIdx) const {
  const InChannel* pIn = mInChannels.Get(chIdx);
  return pIn && pIn->mConnected;
}

bool IPlugBase::IsOutChannelConnected(int chIdx) const {
  const OutChannel* pOut = mOutChannels.Get(chIdx);
  return pOut && pOut->mConnected;
}

bool IPlugBase::LegalIO(int nIn, int nOut) const {
  for (int i = 0; i < mChannelIO.GetSize(); ++i) {
    const ChannelIO* pIO = mChannelIO.Get(i);
    if ((nIn < 0 || nIn == pIO->mIn) && (nOut < 0 || nOut == pIO->mOut)) return true;
  }
  return false;
}

void IPlugBase::LimitToStereoIO() {
  int nIn = NInChannels();
  if (nIn > 2) SetInputChannelConnections(2, nIn - 2, false);
}

void IPlugBase::SetInputChannelConnections(int idx, int n, bool connected) {
  if (idx < 0) idx = 0;
  int iEnd = n > 0 && (long long)idx + n < NInChannels() ? idx + n : NInChannels();
  if (n <= 0) iEnd = idx;
  for (int i = idx; i < iEnd; ++i) {
    InChannel* pIn = mInChannels.Get(i);
    pIn->mConnected = connected;
    if (!connected) *pIn->mSrc = pIn->mScratchBuf.Get();
  }
}

void IPlugBase::SetOutputChannelConnections(int idx, int n, bool connected) {
  if (idx < 0) idx = 0;
  int iEnd = n > 0 && (long long)idx + n < NOutChannels() ? idx + n : NOutChannels();
  if (n <= 0) iEnd = idx;
  for (int i = idx; i < iEnd; ++i) {
    OutChannel* pOut = mOutChannels.Get(i);
    pOut->mConnected = connected;
    if (!connected) {
      *pOut->mDest = pOut->mScratchBuf.Get();
      pOut->mFDest = nullptr;
    }
  }
}

void IPlugBase::SetInputLabel(int idx, const char* label) {
  if (InChannel* pIn = mInChannels.Get(idx)) pIn->mLabel.Set(label, kNameLen - 1);
}

void IPlugBase::SetOutputLabel(int idx, const char* label) {
  if (OutChannel* pOut = mOutChannels.Get(idx)) pOut->mLabel.Set(label, kNameLen - 1);
}

const char* IPlugBase::GetInputLabel(int idx) const {
  const InChannel* pIn = mInChannels.Get(idx);
  return pIn ? pIn->mLabel.Get() : "";
}

const char* IPlugBase::GetOutputLabel(int idx) const {
  const OutChannel* pOut = mOutChannels.Get(idx);
  return pOut ? pOut->mLabel.Get() : "";
}

// ---- Processing frame ----
// Slots of disconnected channels keep pointing at their scratch buffers. A host pointer that
// is null is replaced by the channel's scratch buffer, so the instrument always sees valid
// arrays.

void IPlugBase::AttachInputBuffers(int idx, int n, double** ppData, int nFrames) {
  int iEnd = idx + n < NInChannels() ? idx + n : NInChannels();
  for (int i = idx < 0 ? 0 : idx; i < iEnd; ++i) {
    InChannel* pIn = mInChannels.Get(i);
    if (!pIn->mConnected) continue;
    double* p = ppData ? *ppData++ : nullptr;
    if (!p) {
      p = pIn->mScratchBuf.Get();
      if (p && nFrames > 0) std::memset(p, 0, (size_t)nFrames * sizeof(double));
    }
    *pIn->mSrc = p;
  }
}

void IPlugBase::AttachInputBuffers(int idx, int n, float** ppData, int nFrames) {
  int iEnd = idx + n < NInChannels() ? idx + n : NInChannels();
  for (int i = idx < 0 ? 0 : idx; i < iEnd; ++i) {
    InChannel* pIn = mInChannels.Get(i);
    if (!pIn->mConnected) continue;
    const float* pSrc = ppData ? *ppData++ : nullptr;
    double* pScratch = pIn->mScratchBuf.Get();
    *pIn->mSrc = pScratch;
    if (!pScratch || nFrames < 1) continue;
    for (int s = 0; s < nFrames; ++s) pScratch[s] = pSrc ? (double)pSrc[s] : 0.0;
  }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, double** ppData) {
  int iEnd = idx + n < NOutChannels() ? idx + n : NOutChannels();
  for (int i = idx < 0 ? 0 : idx; i < iEnd; ++i) {
    OutChannel* pOut = mOutChannels.Get(i);
    if (!pOut->mConnected) continue;
    double* p = ppData ? *ppData++ : nullptr;
    *pOut->mDest = p ? p : pOut->mScratchBuf.Get();
    pOut->mFDest = nullptr;
  }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, float** ppData) {
  int iEnd = idx + n < NOutChannels() ? idx + n : NOutChannels();
  for (int i = idx < 0 ? 0 : idx; i < iEnd; ++i) {
    OutChannel* pOut = mOutChannels.Get(i);
    if (!pOut->mConnected) continue;
    *pOut->mDest = pOut->mScratchBuf.Get();
    pOut->mFDest = ppData ? *ppData++ : nullptr;
  }
}

void IPlugBase::ProcessBuffers(double /*sampleType*/, int nFrames) {
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
}

void IPlugBase::ProcessBuffers(float /*sampleType*/, int nFrames) {
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel* pOut = mOutChannels.Get(i);
    if (!pOut->mConnected || !pOut->mFDest) continue;
    const double* pSrc = *pOut->mDest;
    float* pDest = pOut->mFDest;
    for (int s = 0; s < nFrames; ++s) pDest[s] = (float)pSrc[s];
  }
}

void IPlugBase::ProcessBuffersAccumulating(float /*sampleType*/, int nFrames) {
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel* pOut = mOutChannels.Get(i);
    if (!pOut->mConnected || !pOut->mFDest) continue;
    const double* pSrc = *pOut->mDest;
    float* pDest = pOut->mFDest;
    for (int s = 0; s < nFrames; ++s) pDest[s] += (float)pSrc[s];
  }
}
