#pragma once
// The API-neutral plug-in core: identity, parameters, presets, channel configuration, the
// plug-in mutex and the processing frame that hands the host's buffers to
// ProcessDoubleReplacing as double-precision channel arrays. The VST binding derives from it
// and feeds it; the instrument overrides its virtual operations.
#include "base/heapbuf.h"
#include "base/mutex.h"
#include "base/ptrlist.h"
#include "base/wdlstring.h"
#include "plugin/ByteChunk.h"
#include "plugin/Hosts.h"
#include "plugin/IMidiMsg.h"
#include "plugin/IParam.h"
#include "plugin/IPreset.h"
#include "plugin/ITimeInfo.h"

class IGraphics;

enum EAPI { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIRTAS = 3, kAPIAAX = 4, kAPISA = 5 };
const char* GetAPIString(EAPI api);

// Magic and framework version at the start of every chunk handed to the host.
enum { kIPlugChunkMagic = 0x70666674, kIPlugVersion = 0x00010000 };

class IPlugBase {
 public:
  enum { kNameLen = 128 };
  // Most frames of one piece of processing: the scratch buffers never grow beyond it, and a
  // host call longer than the block size in force is processed in pieces of that size.
  enum { kMaxBlockSize = 65536 };

  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
            int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
            EAPI plugAPI);
  virtual ~IPlugBase();
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Overridable behaviour (defaults as documented per operation) ----
  virtual void Reset();                      // takes and releases the mutex
  virtual void OnParamChange(int paramIdx);  // takes and releases the mutex
  // Default: copies input i to output i where both exist, zeroes the other outputs.
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  virtual void OnActivate(bool active);         // takes and releases the mutex
  virtual void ProcessMidiMsg(IMidiMsg* pMsg);  // default: MIDI through
  virtual void ProcessSysEx(ISysEx* /*pSysEx*/) {}
  // Writes a name for a note into name (at least 64 bytes); default clears it and returns false.
  virtual bool MidiNoteName(int noteNumber, char* name);
  virtual bool SerializeState(ByteChunk* pChunk) { return SerializeParams(pChunk); }
  virtual int UnserializeState(ByteChunk* pChunk, int startPos) {
    return UnserializeParams(pChunk, startPos);
  }
  // True when every parameter, as float, is within 0.00001 of the double stored for it.
  virtual bool CompareState(const unsigned char* data, int startPos);
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void PopupHostContextMenuForParam(int /*paramIdx*/, int /*x*/, int /*y*/) {}
  virtual void SetParameterFromGUI(int idx, double normalizedValue);

  virtual void BeginInformHostOfParamChange(int idx) = 0;
  virtual void InformHostOfParamChange(int idx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int idx) = 0;
  virtual void InformHostOfProgramChange() = 0;
  virtual bool IsRenderingOffline() { return false; }
  virtual int GetSamplePos() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSig(int* pNum, int* pDenom) = 0;
  virtual void GetTime(ITimeInfo* pTimeInfo) = 0;
  virtual EHost GetHost() { return mHost; }
  virtual EAPI GetAPI() { return mAPI; }
  virtual void ResizeGraphics(int w, int h) = 0;
  virtual void HostSpecificInit() {}
  virtual void AttachGraphics(IGraphics* pGraphics);
  virtual void SetLatency(int samples) { mLatency = samples; }
  virtual bool SendMidiMsg(IMidiMsg* pMsg) = 0;
  virtual bool SendSysEx(ISysEx* /*pSysEx*/) { return false; }
  virtual void RedrawParamControls();
  virtual int UnserializePresets(ByteChunk* pChunk, int startPos);
  virtual void ModifyCurrentPreset(const char* name = nullptr);
  virtual void DirtyPTCompareState() {}
  virtual void PresetsChangedByHost() {}
  virtual void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  virtual void SetBlockSize(int blockSize);

  // ---- Identity ----
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  int GetEffectVersion(bool decimal) const;
  void GetEffectVersionStr(char* str) const;  // "v%d.%d.%d" (at least 16 bytes)
  const char* GetArchString() const { return "x64"; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInst() const { return mIsInst; }
  bool DoesMIDI() const { return mDoesMIDI; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }

  // ---- Host ----
  void SetHost(const char* productString, int version);
  int GetHostVersion(bool decimal);
  void GetHostVersionStr(char* str);  // "v%d.%d.%d" (at least 16 bytes)

  // ---- Parameters ----
  IParam* GetParam(int idx) const { return mParams.Get(idx); }
  int NParams() const { return mParams.GetSize(); }
  IGraphics* GetGUI() const { return mGraphics; }
  void DirtyParameters();
  void OnParamReset();

  // ---- Channels ----
  int NInChannels() const { return mInChannels.GetSize(); }
  int NOutChannels() const { return mOutChannels.GetSize(); }
  bool IsInChannelConnected(int chIdx) const;
  bool IsOutChannelConnected(int chIdx) const;
  bool LegalIO(int nIn, int nOut) const;
  void LimitToStereoIO();
  void SetInputChannelConnections(int idx, int n, bool connected);
  void SetOutputChannelConnections(int idx, int n, bool connected);
  void SetInputLabel(int idx, const char* label);
  void SetOutputLabel(int idx, const char* label);
  const char* GetInputLabel(int idx) const;
  const char* GetOutputLabel(int idx) const;

  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }

  // ---- Presets and state ----
  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  const char* GetPresetName(int idx) const;
  IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  void EnsureDefaultPreset();
  bool SerializeParams(ByteChunk* pChunk);
  int UnserializeParams(ByteChunk* pChunk, int startPos);
  bool SerializePresets(ByteChunk* pChunk);
  static void InitChunkWithIPlugVer(ByteChunk* pChunk);
  static int GetIPlugVerFromChunk(ByteChunk* pChunk, int* pPos);

  // ---- Program and bank files ----
  bool SaveProgramAsFXP(WDL_String* pFileName);
  bool SaveBankAsFXB(WDL_String* pFileName);
  bool LoadProgramFromFXP(WDL_String* pFileName);
  bool LoadBankFromFXB(WDL_String* pFileName);

  WDL_Mutex* GetMutex() { return &mMutex; }

 protected:
  // ---- Processing frame (called by the binding with the mutex held) ----
  void AttachInputBuffers(int idx, int n, double** ppData, int nFrames);
  void AttachInputBuffers(int idx, int n, float** ppData, int nFrames);
  void AttachOutputBuffers(int idx, int n, double** ppData);
  void AttachOutputBuffers(int idx, int n, float** ppData);
  void ProcessBuffers(double sampleType, int nFrames);
  void ProcessBuffers(float sampleType, int nFrames);
  void ProcessBuffersAccumulating(float sampleType, int nFrames);

  struct ChannelIO {
    int mIn, mOut;
  };
  struct InChannel {
    bool mConnected = false;
    double** mSrc = nullptr;
    WDL_TypedBuf<double> mScratchBuf;
    WDL_String mLabel;
  };
  struct OutChannel {
    bool mConnected = false;
    double** mDest = nullptr;
    float* mFDest = nullptr;
    WDL_TypedBuf<double> mScratchBuf;
    WDL_String mLabel;
  };

  WDL_PtrList<ChannelIO, true> mChannelIO;
  WDL_Mutex mMutex;
  char mEffectName[kNameLen], mProductName[kNameLen], mMfrName[kNameLen];
  int mUniqueID, mMfrID;
  int mVersion;
  EAPI mAPI;
  EHost mHost = kHostUninit;
  int mHostVersion = 0;
  bool mStateChunks, mIsInst, mDoesMIDI, mIsBypassed = false;
  int mCurrentPresetIdx = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  int mTailSize = 0;
  WDL_PtrList<IParam, true> mParams;
  IGraphics* mGraphics = nullptr;
  WDL_PtrList<IPreset, true> mPresets;
  WDL_TypedBuf<double*> mInData, mOutData;
  WDL_PtrList<InChannel, true> mInChannels;
  WDL_PtrList<OutChannel, true> mOutChannels;

 private:
  void ParseChannelIO(const char* channelIOStr);
  // The whole image of a program or bank file of the current state, made under the mutex.
  void MakeProgramFile(ByteChunk* pImage);
  void MakeBankFile(ByteChunk* pImage);
};
