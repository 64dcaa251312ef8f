#pragma once
// Parameter indices. Block parameters: index = block * kBlockParamCount + k (Blocks A, B, C =
// 0, 1, 2); global parameters follow the three Blocks.

enum EBlock { kBlockA = 0, kBlockB, kBlockC, kNumBlocks };

enum EBlockParam {
  kTuneC = 0,
  kTuneCs,
  kTuneD,
  kTuneDs,
  kTuneE,
  kTuneF,
  kTuneFs,
  kTuneG,
  kTuneGs,
  kTuneA,
  kTuneAs,
  kTuneB,
  kWaveform,  // 12
  kPWMInt,
  kFine,
  kCoarse,
  kOctave,
  kFMMod,
  kFMRev,
  kFMMG1,
  kFMGEG,
  kFMSrc,
  kPWMSrc,  // 22
  kCutoff,
  kPeak,
  kFCBal,
  kExpand,
  kFCMod,
  kFCMG1,
  kFCGEG,
  kFCSrc,  // 30
  kEMAtk,
  kEMDcy,
  kEMSus,
  kEMRel,
  kEMHold,
  kEMASrc,
  kEMRSrc,  // 37
  kRSInt,
  kRSFreq1,
  kRSFreq2,
  kRSFreq3,
  kRSMod,
  kRfCSrc,  // 43
  kAMInt,
  kAMMod,
  kMG1Wave,  // 46
  kMG1Freq,
  kMG1FSrc,
  kMG1MSrc,
  kMG1Host,
  kMG2Freq,  // 51
  kMG2Host,
  kKBDBal,
  kVolume,  // 54
  kPan,
  kVCAFSrc,
  kChEnable,
  kChGate,
  kOverRel,
  kEMORel,  // 60
  kBlockParamCount
};

enum EGlobalParam {
  kFinal = kNumBlocks * kBlockParamCount,  // 183
  kTVCASrc,
  kKBDTrig,
  kPBRange,
  kSHFreq,  // 187
  kSHSync,
  kSHIn,
  kSHHost,
  kGEGDly,  // 191
  kGEGAtk,
  kGEGRel,
  kGEGAuto,
  kGEGSrc1,
  kGEGSrc2,
  kVP1A,  // 197
  kVP1B,
  kVP1Src,
  kVP2A,
  kVP2B,
  kVP2Sel,
  kVP2Src,  // 203
  kClk1Src,
  kClk2Src,
  kClk3Src,
  kClk4Src,
  kTrg1Src,  // 208
  kTrg2Src,
  kVC1Src,  // 210
  kVC2Src,
  kVC3Src,
  kVC4Src,
  kVC5Src,
  kVC6Src,
  kVC7Src,
  kVC8Src,
  kUseHold,  // 218
  kLag1,
  kLag1Src,
  kLag2,
  kLag2Src,
  kAtn1,  // 223
  kAtn1Src,
  kAtn2,
  kAtn2Src,
  kAtn3,
  kAtn3Src,  // 228
  kNumParams
};

static_assert(kNumParams == 229, "the instrument has 229 parameters");

constexpr int BlockParam(int block, int k) { return block * kBlockParamCount + k; }

// Modulation sources, in selector order.
enum EModSource {
  kSrcOff = 0,
  kSrc5V,
  kSrcGE1Minus,
  kSrcGE2Plus,
  kSrcGE3Plus,
  kSrcMG1A,
  kSrcMG2A,
  kSrcMG1B,
  kSrcMG2B,
  kSrcMG1C,
  kSrcMG2C,
  kSrcSH,
  kSrcVP1,
  kSrcVP2,
  kSrcKey,
  kSrcPB,
  kSrcPBPlus,
  kSrcMW,
  kSrcMWPlus,
  kSrcLag1,
  kSrcLag2,
  kSrcAtn1,
  kSrcAtn2,
  kSrcAtn3,
  kSrcVC1,
  kSrcVC2,
  kSrcVC3,
  kSrcVC4,
  kSrcVC5,
  kSrcVC6,
  kSrcVC7,
  kSrcVC8,
  kNumModSources
};
// Entry of the S&H input list that samples white noise instead of the S&H output.
constexpr int kSHInputNoise = kSrcSH;

// Triggers, in selector order.
enum ETrigger {
  kTrigOff = 0,
  kTrigKBD,
  kTrigSng,
  kTrigMlt,
  kTrigMG1A,
  kTrigMG2A,
  kTrigMG1B,
  kTrigMG2B,
  kTrigMG1C,
  kTrigMG2C,
  kTrigSH,
  kTrigClk1,
  kTrigClk2,
  kTrigClk3,
  kTrigClk4,
  kTrigTrg1,
  kTrigTrg2,
  kNumTriggers
};
