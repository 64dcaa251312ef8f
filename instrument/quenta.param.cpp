// The instrument's 229 parameters: three identical Blocks of 61, then the globals.
#include "instrument/quenta.h"
#include "instrument/labels.h"
#include "instrument/params.h"

void Synth::initListParameter(int index, const char* name, int defaultVal, int count,
                              const char* const* texts) {
  IParam* pParam = GetParam(index);
  if (!pParam) return;
  pParam->InitEnum(name, defaultVal, count);
  for (int j = 0; j < count; ++j) pParam->SetDisplayText(j, texts[j]);
}

namespace {
const char* const kTuneNames[12] = {"Tune C",  "Tune C#", "Tune D",  "Tune D#",
                                    "Tune E",  "Tune F",  "Tune F#", "Tune G",
                                    "Tune G#", "Tune A",  "Tune A#", "Tune B"};
}  // namespace

void Quenta::initParameters() {
  for (int b = 0; b < kNumBlocks; ++b) {
    auto P = [&](int k) { return GetParam(BlockParam(b, k)); };
    auto list = [&](int k, const char* name, int def, int count, const char* const* texts) {
      initListParameter(BlockParam(b, k), name, def, count, texts);
    };
    for (int k = kTuneC; k <= kTuneB; ++k)
      P(k)->InitDouble(kTuneNames[k], 0.0, -100.0, 100.0, 1.0, "", "", 1.0);
    list(kWaveform, "Waveform", 1, 6, labelSGWaveForm);
    P(kPWMInt)->InitDouble("PWM Int", 50.0, 0.0, 100.0, 0.1, "%", "", 1.0);
    P(kFine)->InitDouble("Fine", 0.0, -100.0, 100.0, 1.0, "", "", 1.0);
    P(kCoarse)->InitDouble("Coarse", 0.0, -800.0, 800.0, 1.0, "", "", 1.0);
    list(kOctave, "Octave", 1, 4, labelSGOctave);
    P(kFMMod)->InitBool("FM Mod", false);
    list(kFMRev, "FM rev", 0, 2, labelPolarity);
    P(kFMMG1)->InitDouble("FM MG1", 0.0, 0.0, 6145.0, 0.1, "", "", 2.0);
    P(kFMGEG)->InitDouble("FM GEG", 0.0, 0.0, 6145.0, 0.1, "", "", 2.0);
    list(kFMSrc, "FM Src", 0, 32, labelModSrc);
    list(kPWMSrc, "PWM Src", 0, 32, labelModSrc);
    P(kCutoff)->InitDouble("Cutoff", 1.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kPeak)->InitDouble("Peak", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kFCBal)->InitDouble("fC Bal", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
    P(kExpand)->InitDouble("Expand", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kFCMod)->InitBool("fC Mod", false);
    P(kFCMG1)->InitDouble("fC MG1", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kFCGEG)->InitDouble("fC GEG", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    list(kFCSrc, "fC Src", 0, 32, labelModSrc);
    P(kEMAtk)->InitDouble("EM Atk", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kEMDcy)->InitDouble("EM Dcy", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kEMSus)->InitDouble("EM Sus", 1.0, 0.0, 1.0, 0.01, "", "", 1.0);
    list(kEMRel, "EM Rel", 0, 3, labelEMRelease);
    P(kEMHold)->InitBool("EM Hold", false);
    list(kEMASrc, "EM A Src", 0, 32, labelModSrc);
    list(kEMRSrc, "EM R Src", 0, 17, labelTrigSrc);
    P(kRSInt)->InitDouble("RS Int", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kRSFreq1)->InitDouble("RS Freq1", 0.2, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kRSFreq2)->InitDouble("RS Freq2", 0.5, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kRSFreq3)->InitDouble("RS Freq3", 0.8, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kRSMod)->InitBool("RS Mod", false);
    list(kRfCSrc, "RfC Src", 0, 32, labelModSrc);
    P(kAMInt)->InitDouble("AM Int", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kAMMod)->InitBool("AM Mod", false);
    list(kMG1Wave, "MG1 Wave", 0, 6, labelMGWaveForm);
    P(kMG1Freq)->InitDouble("MG1 Freq", 0.2, 0.05, 1500.0, 0.1, "Hz", "", 6.0);
    list(kMG1FSrc, "MG1 FSrc", 0, 32, labelModSrc);
    list(kMG1MSrc, "MG1 MSrc", 0, 32, labelModSrc);
    list(kMG1Host, "MG1 Host", 0, 21, labelSyncRates);
    P(kMG2Freq)->InitDouble("MG2 Freq", 0.2, 0.01, 20.0, 0.1, "Hz", "", 2.0);
    list(kMG2Host, "MG2 Host", 0, 21, labelSyncRates);
    P(kKBDBal)->InitDouble("KBD Bal", 0.5, 0.0, 1.0, 0.01, "", "", 1.0);
    P(kVolume)->InitDouble("Volume", 0.25, 0.0, 1.0, 0.01, "", "", 2.0);
    P(kPan)->InitDouble("Pan", 0.5, 0.0, 1.0, 0.01, "", "", 1.0);
    list(kVCAFSrc, "VCA FSrc", 0, 32, labelModSrc);
    P(kChEnable)->InitBool("ChEnable", true);
    list(kChGate, "Ch Gate", 0, 32, labelModSrc);
    P(kOverRel)->InitBool("Over Rel", false);
    P(kEMORel)->InitDouble("EM O.Rel", 0.0, 0.0, 1.0, 0.001, "", "", 1.0);
  }

  auto G = [&](int idx) { return GetParam(idx); };
  G(kFinal)->InitDouble("Final", 0.25, 0.0, 1.0, 0.01, "", "", 2.0);
  initListParameter(kTVCASrc, "TVCA Src", 0, 32, labelModSrc);
  initListParameter(kKBDTrig, "KBD Trig", 0, 6, labelKbdTrigger);
  G(kPBRange)->InitInt("PB Range", 0, -24, 24);
  G(kSHFreq)->InitDouble("S/H Freq", 0.2, 0.01, 20.0, 0.1, "Hz", "", 2.0);
  G(kSHSync)->InitBool("S/H Sync", false);
  initListParameter(kSHIn, "S/H In", 0, 32, labelInputSrc);
  initListParameter(kSHHost, "S/H Host", 0, 21, labelSyncRates);
  G(kGEGDly)->InitDouble("GEG Dly", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
  G(kGEGAtk)->InitDouble("GEG Atk", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
  G(kGEGRel)->InitDouble("GEG Rel", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
  G(kGEGAuto)->InitBool("GEG Auto", false);
  initListParameter(kGEGSrc1, "GEG Src1", 0, 17, labelTrigSrc);
  initListParameter(kGEGSrc2, "GEG Src2", 0, 17, labelTrigSrc);
  G(kVP1A)->InitDouble("VP1 A", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  G(kVP1B)->InitDouble("VP1 B", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kVP1Src, "VP1 Src", 0, 32, labelModSrc);
  G(kVP2A)->InitDouble("VP2 A", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  G(kVP2B)->InitDouble("VP2 B", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kVP2Sel, "VP2 Sel", 1, 2, labelVP2Select);
  initListParameter(kVP2Src, "VP2 Src", 0, 32, labelModSrc);
  static const char* const kClkNames[4] = {"Clk1 Src", "Clk2 Src", "Clk3 Src", "Clk4 Src"};
  for (int i = 0; i < 4; ++i) initListParameter(kClk1Src + i, kClkNames[i], 0, 21, labelSyncRates);
  initListParameter(kTrg1Src, "Trg1 Src", 0, 120, labelCC);
  initListParameter(kTrg2Src, "Trg2 Src", 0, 120, labelCC);
  static const char* const kVCNames[8] = {"VC1 Src", "VC2 Src", "VC3 Src", "VC4 Src",
                                          "VC5 Src", "VC6 Src", "VC7 Src", "VC8 Src"};
  for (int i = 0; i < 8; ++i) initListParameter(kVC1Src + i, kVCNames[i], 0, 120, labelCC);
  G(kUseHold)->InitBool("Use Hold", true);
  G(kLag1)->InitDouble("LAG 1", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kLag1Src, "LAG1 Src", 0, 32, labelModSrc);
  G(kLag2)->InitDouble("LAG 2", 0.0, 0.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kLag2Src, "LAG2 Src", 0, 32, labelModSrc);
  G(kAtn1)->InitDouble("ATN 1", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kAtn1Src, "ATN1 Src", 0, 32, labelModSrc);
  G(kAtn2)->InitDouble("ATN 2", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kAtn2Src, "ATN2 Src", 0, 32, labelModSrc);
  G(kAtn3)->InitDouble("ATN 3", 0.0, -1.0, 1.0, 0.01, "", "", 1.0);
  initListParameter(kAtn3Src, "ATN3 Src", 0, 32, labelModSrc);
}
