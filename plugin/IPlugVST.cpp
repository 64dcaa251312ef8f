#include "plugin/IPlugVST.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/denormals.h"
#include "editor/IGraphics.h"
#include "plugin/Version.h"

namespace {

// Largest number of bytes (terminator included) written into a host-owned string buffer.
// Program, effect, vendor and product names follow the interface's published limits plus
// the terminator. Parameter texts get 32 bytes: the published 8 is far shorter than the
// names and display texts this plug-in has, and hosts in use allocate at least 64.
constexpr int kHostParamStrSize = IParam::kTextLen;
constexpr int kHostProgNameSize = kVstMaxProgNameLen + 1;
constexpr int kHostEffectNameSize = kVstMaxEffectNameLen + 1;
constexpr int kHostVendorStrSize = kVstMaxVendorStrLen + 1;
constexpr int kHostProductStrSize = kVstMaxProductStrLen + 1;
constexpr int kHostStringQuerySize = 256;  // buffer handed to the host for its strings

int ClampToInt(VstIntPtr v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return (int)v;
}

IPlugVST* PlugFromEffect(AEffect* pEffect) {
  return pEffect ? static_cast<IPlugVST*>(pEffect->object) : nullptr;
}

}  // namespace

int VSTSpkrArrType(int nchan) {
  if (nchan == 0) return kSpeakerArrEmpty;
  if (nchan == 1) return kSpeakerArrMono;
  if (nchan == 2) return kSpeakerArrStereo;
  return kSpeakerArrUserDefined;
}

IPlugVST::IPlugVST(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr,
                   int nPresets, const char* effectName, const char* productName,
                   const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
                   bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, int /*plugScChans*/)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIVST2),
      mHostCallback(instanceInfo.mVSTHostCallback) {
  std::memset(&mAEffect, 0, sizeof(mAEffect));
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.numPrograms = nPresets;
  mAEffect.numParams = nParams;
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plugDoesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  if (plugIsInst) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = GetEffectVersion(true);
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;

  std::memset(&mEditRect, 0, sizeof(mEditRect));
  std::memset(&mInputSpkrArr, 0, sizeof(mInputSpkrArr));
  std::memset(&mOutputSpkrArr, 0, sizeof(mOutputSpkrArr));
  mInputSpkrArr.numChannels = NInChannels();
  mOutputSpkrArr.numChannels = NOutChannels();
  mInputSpkrArr.type = VSTSpkrArrType(NInChannels());
  mOutputSpkrArr.type = VSTSpkrArrType(NOutChannels());

  mPieceIn.Resize(NInChannels());
  mPieceOut.Resize(NOutChannels());

  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  SetBlockSize(1024);
}

IPlugVST::~IPlugVST() {
  mState.Clear();
  mBankState.Clear();
}

VstIntPtr IPlugVST::CallHost(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  if (!mHostCallback) return 0;
  return mHostCallback(&mAEffect, opCode, idx, value, ptr, opt);
}

// ---- Host notifications ----

void IPlugVST::BeginInformHostOfParamChange(int idx) { CallHost(audioMasterBeginEdit, idx); }

void IPlugVST::InformHostOfParamChange(int idx, double normalizedValue) {
  CallHost(audioMasterAutomate, idx, 0, nullptr, (float)normalizedValue);
}

void IPlugVST::EndInformHostOfParamChange(int idx) { CallHost(audioMasterEndEdit, idx); }

void IPlugVST::InformHostOfProgramChange() { CallHost(audioMasterUpdateDisplay); }

bool IPlugVST::IsRenderingOffline() {
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

bool IPlugVST::SendVSTEvent(VstEvent* pEvent) {
  VstEvents events;
  std::memset(&events, 0, sizeof(events));
  events.numEvents = 1;
  events.events[0] = pEvent;
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendMidiMsg(IMidiMsg* pMsg) {
  if (!pMsg) return false;
  VstMidiEvent midiEvent;
  std::memset(&midiEvent, 0, sizeof(midiEvent));
  midiEvent.type = kVstMidiType;
  midiEvent.byteSize = (VstInt32)sizeof(VstMidiEvent);
  midiEvent.deltaFrames = pMsg->mOffset;
  midiEvent.midiData[0] = (char)pMsg->mStatus;
  midiEvent.midiData[1] = (char)pMsg->mData1;
  midiEvent.midiData[2] = (char)pMsg->mData2;
  return SendVSTEvent(reinterpret_cast<VstEvent*>(&midiEvent));
}

bool IPlugVST::SendSysEx(ISysEx* pSysEx) {
  if (!pSysEx) return false;
  VstMidiSysexEvent sysexEvent;
  std::memset(&sysexEvent, 0, sizeof(sysexEvent));
  sysexEvent.type = kVstSysExType;
  sysexEvent.byteSize = (VstInt32)sizeof(VstMidiSysexEvent);
  sysexEvent.deltaFrames = pSysEx->mOffset;
  sysexEvent.dumpBytes = pSysEx->mSize;
  sysexEvent.sysexDump = (char*)pSysEx->mData;
  return SendVSTEvent(reinterpret_cast<VstEvent*>(&sysexEvent));
}

void IPlugVST::SetLatency(int samples) {
  mAEffect.initialDelay = samples;
  IPlugBase::SetLatency(samples);
}

// ---- Transport ----

namespace {
// Everything any transport query asks for.
constexpr VstInt32 kTimeMask =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
}  // namespace

const VstTimeInfo* IPlugVST::HostTime(VstInt32 mask) {
  if (!mInHostCall) return (const VstTimeInfo*)CallHost(audioMasterGetTime, 0, mask);
  if (!mCallTimeRead) {
    mCallTimeRead = true;
    const VstTimeInfo* pTI = (const VstTimeInfo*)CallHost(audioMasterGetTime, 0, kTimeMask);
    mCallTimeGiven = pTI != nullptr;
    if (pTI) mCallTime = *pTI;
  }
  if (!mCallTimeGiven) return nullptr;
  mPieceTime = mCallTime;
  const double frames = mPieceOffset;
  mPieceTime.samplePos += frames;
  const double rate = GetSampleRate();
  if ((mPieceTime.flags & kVstPpqPosValid) && (mPieceTime.flags & kVstTempoValid) && rate > 0.0)
    mPieceTime.ppqPos += frames / rate * mPieceTime.tempo / 60.0;
  return &mPieceTime;
}

int IPlugVST::GetSamplePos() {
  const VstTimeInfo* pTI = HostTime(0);
  if (pTI && pTI->samplePos >= 0.0 && pTI->samplePos < (double)INT_MAX)
    return (int)(pTI->samplePos + 0.5);
  return 0;
}

double IPlugVST::GetTempo() {
  if (!mHostCallback) return 0.0;
  const VstTimeInfo* pTI = HostTime(kVstTempoValid);
  if (pTI && (pTI->flags & kVstTempoValid) && pTI->tempo >= 0.0) return pTI->tempo;
  return 0.0;
}

void IPlugVST::GetTimeSig(int* pNum, int* pDenom) {
  if (pNum) *pNum = 0;
  if (pDenom) *pDenom = 0;
  const VstTimeInfo* pTI = HostTime(kVstTimeSigValid);
  if (pTI && (pTI->flags & kVstTimeSigValid) && pTI->timeSigNumerator >= 0 &&
      pTI->timeSigDenominator >= 0) {
    if (pNum) *pNum = pTI->timeSigNumerator;
    if (pDenom) *pDenom = pTI->timeSigDenominator;
  }
}

void IPlugVST::GetTime(ITimeInfo* pTimeInfo) {
  if (!pTimeInfo) return;
  const VstTimeInfo* pTI = HostTime(kTimeMask);
  if (!pTI || !(pTI->flags & kTimeMask)) return;
  pTimeInfo->mSamplePos = pTI->samplePos;
  if ((pTI->flags & kVstPpqPosValid) && pTI->ppqPos >= 0.0) pTimeInfo->mPPQPos = pTI->ppqPos;
  if ((pTI->flags & kVstTempoValid) && pTI->tempo > 0.0) pTimeInfo->mTempo = pTI->tempo;
  if ((pTI->flags & kVstBarsValid) && pTI->barStartPos >= 0.0)
    pTimeInfo->mLastBar = pTI->barStartPos;
  if ((pTI->flags & kVstCyclePosValid) && pTI->cycleStartPos >= 0.0 && pTI->cycleEndPos >= 0.0) {
    pTimeInfo->mCycleStart = pTI->cycleStartPos;
    pTimeInfo->mCycleEnd = pTI->cycleEndPos;
  }
  if ((pTI->flags & kVstTimeSigValid) && pTI->timeSigNumerator > 0 && pTI->timeSigDenominator > 0) {
    pTimeInfo->mNumerator = pTI->timeSigNumerator;
    pTimeInfo->mDenominator = pTI->timeSigDenominator;
  }
  pTimeInfo->mTransportIsRunning = (pTI->flags & kVstTransportPlaying) != 0;
  pTimeInfo->mTransportLoopEnabled = (pTI->flags & kVstTransportCycleActive) != 0;
}

// ---- Host identification ----

EHost IPlugVST::GetHost() {
  EHost host = IPlugBase::GetHost();
  if (host == kHostUninit) {
    char productStr[kHostStringQuerySize];
    std::memset(productStr, 0, sizeof(productStr));
    CallHost(audioMasterGetProductString, 0, 0, productStr);
    productStr[sizeof(productStr) - 1] = '\0';
    const int version =
        productStr[0] ? PackDecimalVersion(ClampToInt(CallHost(audioMasterGetVendorVersion))) : 0;
    SetHost(productStr, version);
    host = IPlugBase::GetHost();
  }
  return host;
}

void IPlugVST::HostSpecificInit() {
  if (mHostSpecificInitDone) return;
  mHostSpecificInitDone = true;
  EHost host = GetHost();
  switch (host) {
    case kHostForte:
    case kHostAudition:
    case kHostOrion:
    case kHostSAWStudio: LimitToStereoIO(); break;
    default: break;
  }
  mInputSpkrArr.numChannels = mAEffect.numInputs = NInChannels();
  mOutputSpkrArr.numChannels = mAEffect.numOutputs = NOutChannels();
  OnHostIdentified();
}

bool IPlugVST::isBankRequestingHost() {
  if (!mBankHostChecked) {
    mBankHostChecked = true;
    char vendor[kHostStringQuerySize];
    std::memset(vendor, 0, sizeof(vendor));
    CallHost(audioMasterGetVendorString, 0, 0, vendor);
    vendor[sizeof(vendor) - 1] = '\0';
    ToLower(vendor, vendor);
    mIsBankRequestingHost =
        !std::strcmp(vendor, "native instruments") || !std::strcmp(vendor, "juce vst host");
  }
  return mIsBankRequestingHost;
}

// ---- Graphics ----

void IPlugVST::AttachGraphics(IGraphics* pGraphics) {
  if (!pGraphics) return;
  IPlugBase::AttachGraphics(pGraphics);
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect.left = mEditRect.top = 0;
  mEditRect.right = (int16_t)pGraphics->Width();
  mEditRect.bottom = (int16_t)pGraphics->Height();
}

void IPlugVST::ResizeGraphics(int /*w*/, int /*h*/) {
  IGraphics* pGraphics = GetGUI();
  if (!pGraphics) return;
  mEditRect.left = mEditRect.top = 0;
  mEditRect.right = (int16_t)pGraphics->Width();
  mEditRect.bottom = (int16_t)pGraphics->Height();
  OnWindowResize();
}

// ---- Static entry functions ----

VstIntPtr IPlugVST::VSTDispatcher(AEffect* pEffect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                  void* ptr, float opt) {
  IPlugVST* _this = PlugFromEffect(pEffect);
  if (!_this) return 0;
  // The editor's idle call runs its event loop and timer; menus, boxes and the version check run
  // inside it for as long as the user takes. It holds no lock, so the audio thread never waits
  // for the user: whatever the editor does to the plug-in takes the lock itself.
  if (opCode == effEditIdle) {
    if (IGraphics* pGraphics = _this->GetGUI()) pGraphics->OnEditorIdle();
    return 0;
  }
  _this->mMutex.Enter();
  if (opCode == effClose) {
    _this->mMutex.Leave();
    pEffect->object = nullptr;
    delete _this;
    return 0;
  }
  VstIntPtr result = _this->Dispatch(opCode, idx, value, ptr, opt);
  _this->mMutex.Leave();
  return result;
}

float IPlugVST::VSTGetParameter(AEffect* pEffect, VstInt32 idx) {
  IPlugVST* _this = PlugFromEffect(pEffect);
  if (!_this) return 0.0f;
  WDL_MutexLock lock(&_this->mMutex);
  IParam* pParam = _this->GetParam(idx);
  return pParam ? (float)pParam->GetNormalized() : 0.0f;
}

void IPlugVST::VSTSetParameter(AEffect* pEffect, VstInt32 idx, float value) {
  IPlugVST* _this = PlugFromEffect(pEffect);
  if (!_this) return;
  WDL_MutexLock lock(&_this->mMutex);
  IParam* pParam = _this->GetParam(idx);
  if (!pParam) return;
  if (IGraphics* pGraphics = _this->GetGUI()) pGraphics->SetParameterFromPlug(idx, value, true);
  pParam->SetNormalized(value);
  _this->OnParamChange(idx);
}

template <class T>
void IPlugVST::ProcessHostBlock(T** inputs, T** outputs, int nFrames, bool accumulate) {
  if (DoesMIDI()) CallHost(audioMasterWantMidi);
  if (nFrames <= 0) return;
  const ScopedFlushDenormals flush;
  // The host's arrays hold one pointer per connected channel, in channel order.
  int nIn = 0, nOut = 0;
  for (int c = 0; c < NInChannels(); ++c) nIn += IsInChannelConnected(c) ? 1 : 0;
  for (int c = 0; c < NOutChannels(); ++c) nOut += IsOutChannelConnected(c) ? 1 : 0;
  int piece = mBlockSize;
  if (piece <= 0) {
    // No block size yet: nothing can be rendered; a replacing call still gets silence.
    if (!accumulate && outputs)
      for (int c = 0; c < nOut; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, (size_t)nFrames * sizeof(T));
    return;
  }
  void** pIn = mPieceIn.Get();
  void** pOut = mPieceOut.Get();
  mInHostCall = true;
  mCallTimeRead = false;
  for (int done = 0; done < nFrames; done += piece) {
    int n = nFrames - done < piece ? nFrames - done : piece;
    mPieceOffset = done;
    for (int c = 0; c < nIn; ++c) pIn[c] = inputs && inputs[c] ? inputs[c] + done : nullptr;
    for (int c = 0; c < nOut; ++c) pOut[c] = outputs && outputs[c] ? outputs[c] + done : nullptr;
    AttachInputBuffers(0, NInChannels(), reinterpret_cast<T**>(pIn), n);
    AttachOutputBuffers(0, NOutChannels(), reinterpret_cast<T**>(pOut));
    if (accumulate)
      ProcessBuffersAccumulating((float)0, n);
    else
      ProcessBuffers((T)0, n);
  }
  mInHostCall = false;
}

void IPlugVST::VSTProcess(AEffect* pEffect, float** inputs, float** outputs, VstInt32 nFrames) {
  IPlugVST* _this = PlugFromEffect(pEffect);
  if (!_this) return;
  WDL_MutexLock lock(&_this->mMutex);
  _this->ProcessHostBlock(inputs, outputs, nFrames, true);
}

void IPlugVST::VSTProcessReplacing(AEffect* pEffect, float** inputs, float** outputs,
                                   VstInt32 nFrames) {
  IPlugVST* _this = PlugFromEffect(pEffect);
  if (!_this) return;
  WDL_MutexLock lock(&_this->mMutex);
  _this->ProcessHostBlock(inputs, outputs, nFrames, false);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* pEffect, double** inputs, double** outputs,
                                         VstInt32 nFrames) {
  IPlugVST* _this = PlugFromEffect(pEffect);
  if (!_this) return;
  WDL_MutexLock lock(&_this->mMutex);
  _this->ProcessHostBlock(inputs, outputs, nFrames, false);
}

// ---- Dispatcher ----

VstIntPtr IPlugVST::Dispatch(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  if (opCode == effIdle) {
    OnIdle();
    return 0;
  }
  if (opCode > effGetSpeakerArrangement || opCode < 0) return 0;

  IParam* pParam = GetParam(idx);  // null for an invalid index
  switch (opCode) {
    case effOpen:
      HostSpecificInit();
      OnParamReset();
      return 0;

    case effSetProgram: {
      ModifyCurrentPreset(nullptr);
      int program = value < 0 || value > INT_MAX ? -1 : (int)value;
      RestorePreset(program);
      return 0;
    }
    case effGetProgram: return mCurrentPresetIdx;

    case effSetProgramName:
      if (ptr) {
        // Read up to the preset name's own size, so a terminator missing in the host's buffer
        // cannot run the read away; longer names are cut there.
        char name[IPreset::kNameLen];
        CopyBounded(name, sizeof(name), (const char*)ptr);
        ModifyCurrentPreset(name);
        PresetsChangedByHost();
      }
      return 0;

    case effGetProgramName:
      if (ptr) CopyBounded((char*)ptr, kHostProgNameSize, GetPresetName(mCurrentPresetIdx));
      return 0;

    case effGetParamLabel:
      if (pParam && ptr) CopyBounded((char*)ptr, kHostParamStrSize, pParam->GetLabelForHost());
      return 0;

    case effGetParamDisplay:
      if (pParam && ptr)
        pParam->GetDisplayForHost(pParam->Value(), false, (char*)ptr, kHostParamStrSize, true);
      return 0;

    case effGetParamName:
      if (pParam && ptr) CopyBounded((char*)ptr, kHostParamStrSize, pParam->GetNameForHost());
      return 0;

    case effSetSampleRate:
      SetSampleRate(opt);
      Reset();
      return 0;

    case effSetBlockSize:
      SetBlockSize(ClampToInt(value));
      Reset();
      return 0;

    case effMainsChanged:
      if (value) {
        OnActivate(true);
      } else {
        OnActivate(false);
        Reset();
      }
      return 0;

    case effEditGetRect:
      if (ptr && GetGUI()) {
        *(ERect**)ptr = &mEditRect;
        return 1;
      }
      return 0;

    case effEditOpen:
      if (IGraphics* pGraphics = GetGUI()) {
        if (pGraphics->OpenWindow(ptr)) {
          OnGUIOpen();
          return 1;
        }
      }
      return 0;

    case effEditClose:
      if (IGraphics* pGraphics = GetGUI()) {
        OnGUIClose();
        pGraphics->CloseWindow();
        return 1;
      }
      return 0;

    case effIdentify: return kEffectIdentifier;

    case effGetChunk: return GetChunk(idx, ptr);

    case effSetChunk: return SetChunk(idx, value, ptr);

    case effProcessEvents:
      if (!ptr) return 0;
      ProcessEvents((VstEvents*)ptr);
      return 1;

    case effCanBeAutomated: return pParam ? 1 : 0;

    case effString2Parameter: return String2Parameter(idx, (const char*)ptr);

    case effGetProgramNameIndexed:
      if (!ptr) return 0;
      CopyBounded((char*)ptr, kHostProgNameSize, GetPresetName(idx));
      return ((char*)ptr)[0] ? 1 : 0;

    case effGetInputProperties: return GetPinProperties(true, idx, (VstPinProperties*)ptr);

    case effGetOutputProperties: return GetPinProperties(false, idx, (VstPinProperties*)ptr);

    case effGetPlugCategory: return IsInst() ? kPlugCategSynth : kPlugCategEffect;

    case effSetSpeakerArrangement: {
      VstSpeakerArrangement* pInArr = (VstSpeakerArrangement*)value;
      VstSpeakerArrangement* pOutArr = (VstSpeakerArrangement*)ptr;
      if (pInArr) {
        int n = pInArr->numChannels < 0 ? 0 : pInArr->numChannels;
        SetInputChannelConnections(0, n, true);
        SetInputChannelConnections(n, NInChannels() - n, false);
      }
      if (pOutArr) {
        int n = pOutArr->numChannels < 0 ? 0 : pOutArr->numChannels;
        SetOutputChannelConnections(0, n, true);
        SetOutputChannelConnections(n, NOutChannels() - n, false);
      }
      return 1;
    }

    case effGetEffectName:
      if (!ptr) return 0;
      CopyBounded((char*)ptr, kHostEffectNameSize, GetEffectName());
      return 1;

    case effGetVendorString:
      if (!ptr) return 0;
      CopyBounded((char*)ptr, kHostVendorStrSize, GetMfrName());
      return 1;

    case effGetProductString:
      if (!ptr) return 0;
      CopyBounded((char*)ptr, kHostProductStrSize, GetProductName());
      return 1;

    case effGetVendorVersion: return GetEffectVersion(true);

    case effVendorSpecific: return VendorSpecific(idx, value, ptr, opt);

    case effCanDo: return CanDo((const char*)ptr);

    case effGetTailSize: return GetTailSize();

    case effGetVstVersion: return kVstVersion;

    case effGetMidiKeyName: {
      if (!ptr) return 0;
      MidiKeyName* pKey = (MidiKeyName*)ptr;
      pKey->keyName[0] = '\0';
      bool named = MidiNoteName(pKey->thisKeyNumber, pKey->keyName);
      pKey->keyName[sizeof(pKey->keyName) - 1] = '\0';
      return named ? 1 : 0;
    }

    case effGetSpeakerArrangement:
      if (value) *(VstSpeakerArrangement**)value = &mInputSpkrArr;
      if (ptr) *(VstSpeakerArrangement**)ptr = &mOutputSpkrArr;
      return 1;

    default: return 0;
  }
}

VstIntPtr IPlugVST::GetChunk(VstInt32 idx, void* ptr) {
  if (!ptr) return 0;
  bool bankHost = isBankRequestingHost();
  bool isBank = idx == 0 && !bankHost;
  ByteChunk* pChunk = isBank ? &mBankState : &mState;
  InitChunkWithIPlugVer(pChunk);
  if (isBank) {
    ModifyCurrentPreset(nullptr);
    if (!SerializePresets(pChunk)) return 0;
  } else {
    SerializeState(pChunk);
    pChunk->PutStr(GetPresetName(mCurrentPresetIdx));
  }
  if (pChunk->Size() == 0) return 0;
  *(void**)ptr = pChunk->GetBytes();
  return pChunk->Size();
}

VstIntPtr IPlugVST::SetChunk(VstInt32 idx, VstIntPtr size, void* ptr) {
  if (!ptr) return 0;
  if (size < 0 || size > INT_MAX) return 0;
  bool bankHost = isBankRequestingHost();
  bool isBank = idx == 0 && !bankHost;
  ByteChunk* pChunk = isBank ? &mBankState : &mState;
  if (pChunk->Resize((int)size) != (int)size) return 0;
  if (size > 0) std::memcpy(pChunk->GetBytes(), ptr, (size_t)size);

  int pos = 0;
  int version = GetIPlugVerFromChunk(pChunk, &pos);
  if (isBank && version >= kIPlugVersion) {
    pos = UnserializePresets(pChunk, pos);
  } else {
    pos = UnserializeState(pChunk, pos);
    if (pos >= 0 && pos < size) {
      WDL_String name;
      pos = pChunk->GetStr(&name, pos);
      ModifyCurrentPreset(name.Get());
    } else if (pos >= 0) {
      ModifyCurrentPreset(nullptr);
    }

    if (bankHost && pos != (int)size) {
      // These hosts hand over bank chunks on the program road.
      if (mBankState.Resize((int)size) != (int)size) return 0;
      if (size > 0) std::memcpy(mBankState.GetBytes(), ptr, (size_t)size);
      pos = 0;
      version = GetIPlugVerFromChunk(&mBankState, &pos);
      // Without the header the data is neither a program nor a bank: refuse it.
      pos = version >= kIPlugVersion ? UnserializePresets(&mBankState, pos) : -1;
      if (pos < 0) return 0;
    }
  }
  if (pos < 0) return 0;
  RedrawParamControls();
  return 1;
}

VstIntPtr IPlugVST::String2Parameter(VstInt32 idx, const char* str) {
  IParam* pParam = GetParam(idx);
  if (!pParam) return 0;
  if (!str) return 1;
  double v;
  if (pParam->GetNDisplayTexts()) {
    int vi;
    if (!pParam->MapDisplayText(str, &vi)) return 0;
    v = vi;
  } else {
    v = std::atof(str);
    if (pParam->GetNegateDisplay()) v = -v;
  }
  if (IGraphics* pGraphics = GetGUI()) pGraphics->SetParameterFromPlug(idx, v, false);
  pParam->Set(v);
  OnParamChange(idx);
  return 1;
}

VstIntPtr IPlugVST::GetPinProperties(bool input, VstInt32 idx, VstPinProperties* pProp) {
  int nChannels = input ? NInChannels() : NOutChannels();
  if (!pProp || idx < 0 || idx >= nChannels) return 0;
  pProp->flags = kVstPinIsActive;
  if (idx % 2 == 0 && idx + 1 < nChannels) pProp->flags |= kVstPinIsStereo;
  const char* label = input ? GetInputLabel(idx) : GetOutputLabel(idx);
  if (label[0]) {
    CopyBounded(pProp->label, sizeof(pProp->label), label);
  } else {
    std::snprintf(pProp->label, sizeof(pProp->label), input ? "Input %d" : "Output %d", idx + 1);
  }
  return 1;
}

VstIntPtr IPlugVST::CanDo(const char* str) {
  if (!str) return 0;
  if (!std::strcmp(str, "receiveVstTimeInfo")) return 1;
  if (DoesMIDI()) {
    if (!std::strcmp(str, "sendVstEvents") || !std::strcmp(str, "sendVstMidiEvent") ||
        !std::strcmp(str, "receiveVstEvents") || !std::strcmp(str, "receiveVstMidiEvent"))
      return 1;
  }
  if (!std::strcmp(str, "hasCockosExtensions")) {
    mHasVSTExtensions |= 1;
    return kExtensionsCanDo;
  }
  if (!std::strcmp(str, "hasCockosViewAsConfig")) {
    mHasVSTExtensions |= 2;
    return kExtensionsCanDo;
  }
  return 0;
}

VstIntPtr IPlugVST::VendorSpecific(VstInt32 idx, VstIntPtr value, void* ptr, float opt) {
  if (idx == kVendorSpecificParamDisplay && ptr) {
    IParam* pParam = value >= 0 && value <= INT_MAX ? GetParam((int)value) : nullptr;
    if (pParam) pParam->GetDisplayForHost(opt, true, (char*)ptr, kHostParamStrSize, true);
    return kVendorSpecificHandled;
  }
  if (idx == kVendorSpecificParamStepped) {
    IParam* pParam = value >= 0 && value <= INT_MAX ? GetParam((int)value) : nullptr;
    if (pParam && pParam->Type() != IParam::kTypeDouble) return kVendorSpecificHandled;
    return 0;
  }
  return 0;
}

void IPlugVST::ProcessEvents(VstEvents* pEvents) {
  // The record declares two entries; the host allocates numEvents of them.
  VstEvent** ppEvents = pEvents->events;
  for (int i = 0; i < pEvents->numEvents; ++i) {
    VstEvent* pEvent = ppEvents[i];
    if (!pEvent) continue;
    if (pEvent->type == kVstMidiType) {
      VstMidiEvent* pME = (VstMidiEvent*)pEvent;
      // Data bytes carry 7 bits; a set top bit is not MIDI and is dropped here, once for all.
      IMidiMsg msg(pME->deltaFrames, (uint8_t)pME->midiData[0], (uint8_t)(pME->midiData[1] & 0x7F),
                   (uint8_t)(pME->midiData[2] & 0x7F));
      ProcessMidiMsg(&msg);
    } else if (pEvent->type == kVstSysExType) {
      VstMidiSysexEvent* pSE = (VstMidiSysexEvent*)pEvent;
      ISysEx sysex(pSE->deltaFrames, (const uint8_t*)pSE->sysexDump, pSE->dumpBytes);
      ProcessSysEx(&sysex);
    }
  }
}
