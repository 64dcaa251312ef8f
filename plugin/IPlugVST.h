#pragma once
// Binds the plug-in base to the VST 2.4 interface: owns the AEffect the host sees, answers
// the dispatcher, routes the audio callbacks into the processing frame, converts parameter
// traffic, takes in MIDI and talks back to the host through its callback. Every index and
// pointer the host passes is checked here, at the boundary.
#include "plugin/IPlugBase.h"
#include "plugin/vst2abi.h"

struct IPlugInstanceInfo {
  audioMasterCallback mVSTHostCallback = nullptr;
};

class IPlugVST : public IPlugBase {
 public:
  IPlugVST(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
           int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
           bool plugIsInst, int plugScChans = 0);
  ~IPlugVST() override;

  // Host notifications (no lock taken).
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfProgramChange() override;
  bool IsRenderingOffline() override;
  audioMasterCallback GetHostCallback() const { return mHostCallback; }
  bool SendVSTEvent(VstEvent* pEvent);
  bool SendMidiMsg(IMidiMsg* pMsg) override;
  bool SendSysEx(ISysEx* pSysEx) override;
  void SetLatency(int samples) override;

  // Transport.
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* pNum, int* pDenom) override;
  void GetTime(ITimeInfo* pTimeInfo) override;

  EHost GetHost() override;
  void HostSpecificInit() override;
  void AttachGraphics(IGraphics* pGraphics) override;
  void ResizeGraphics(int w, int h) override;

  bool isBankRequestingHost();
  AEffect* GetAEffect() { return &mAEffect; }

  // Entry functions the AEffect points at.
  static VstIntPtr VSTDispatcher(AEffect* pEffect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                 void* ptr, float opt);
  static void VSTProcess(AEffect* pEffect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTProcessReplacing(AEffect* pEffect, float** inputs, float** outputs,
                                  VstInt32 nFrames);
  static void VSTProcessDoubleReplacing(AEffect* pEffect, double** inputs, double** outputs,
                                        VstInt32 nFrames);
  static float VSTGetParameter(AEffect* pEffect, VstInt32 idx);
  static void VSTSetParameter(AEffect* pEffect, VstInt32 idx, float value);

 private:
  VstIntPtr Dispatch(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt);
  VstIntPtr GetChunk(VstInt32 idx, void* ptr);
  VstIntPtr SetChunk(VstInt32 idx, VstIntPtr size, void* ptr);
  VstIntPtr String2Parameter(VstInt32 idx, const char* str);
  VstIntPtr GetPinProperties(bool input, VstInt32 idx, VstPinProperties* pProp);
  VstIntPtr CanDo(const char* str);
  VstIntPtr VendorSpecific(VstInt32 idx, VstIntPtr value, void* ptr, float opt);
  void ProcessEvents(VstEvents* pEvents);
  VstIntPtr CallHost(VstInt32 opCode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.f);
  // The host's time record (null when it gives none). Outside a host audio call the host is
  // asked with the given validity mask. Inside one it is asked once, at the first request,
  // and the answer, which describes the first frame of the call, is moved on to the first
  // frame of the piece being processed.
  const VstTimeInfo* HostTime(VstInt32 mask);
  // Runs one host audio call through the processing frame, in pieces no longer than the
  // scratch buffers so that a host sending more frames than it announced cannot overrun them.
  template <class T>
  void ProcessHostBlock(T** inputs, T** outputs, int nFrames, bool accumulate);

  ERect mEditRect;
  audioMasterCallback mHostCallback;
  VstSpeakerArrangement mInputSpkrArr, mOutputSpkrArr;
  bool mHostSpecificInitDone = false;
  int mHasVSTExtensions = 0;
  ByteChunk mState;
  ByteChunk mBankState;
  bool mBankHostChecked = false;
  bool mIsBankRequestingHost = false;
  AEffect mAEffect;
  // Per-channel host pointers offset to the current piece of a host block.
  WDL_TypedBuf<void*> mPieceIn, mPieceOut;
  // The time record of the host call under way (HostTime).
  bool mInHostCall = false;
  bool mCallTimeRead = false;
  bool mCallTimeGiven = false;
  int mPieceOffset = 0;  // frames of the call before the current piece
  VstTimeInfo mCallTime{}, mPieceTime{};
};

// Speaker arrangement type for a channel count.
int VSTSpkrArrType(int nchan);

// Made by the instrument: the plug-in the entry point constructs.
IPlugVST* MakePlug(IPlugInstanceInfo instanceInfo);
