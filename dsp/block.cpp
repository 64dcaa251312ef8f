#include "dsp/block.h"

#include <cmath>
#include <cstdlib>

#include "dsp/frame.h"
#include "dsp/pitch.h"
#include "instrument/params.h"
#include "instrument/quenta.h"

VoiceLanes::VoiceLanes()
    : count(0),
      n(0),
      offset(0),
      pitchMod(nullptr),
      cutoffMod(nullptr),
      freq2PhInc(nullptr),
      waves(nullptr),
      pulse(false),
      filterEntries(nullptr),
      voiceSum(nullptr) {
  for (int s = 0; s < kSlots; ++s) {
    octave[s] = 4;
    pitchClass[s] = 0;
    keyGain[s] = 0.0;
    phase[s] = phase2[s] = 0;
    pitchBase[s] = 0;
    silent[s] = -1;
  }
  for (int i = 0; i < kVoices; ++i) active[i] = i;
  // The spare slot computes on exact zeros.
  filter.antiDenormal[kSpare] = 0.0;
}

Block::Block() {
  setSimdPath(simd::active());
  for (int i = 0; i < kNumVoices; ++i) {
    Voice& v = voices[i];
    v.setLanes(&lanes, i);
    v.setSoundGenerator(&sg);
    v.setAttackSource(nullptr);
    v.setReleaseTrigger(nullptr);
  }
}

Block::~Block() {
  std::free(voiceSum);
  std::free(sectionBuf);
  std::free(vcaGain);
  std::free(amSignal);
  std::free(pitchMod);
  std::free(cutoffMod);
}

void Block::setParents(Quenta* o, Clock* clock) {
  owner = o;
  mg1.setClock(clock);
  mg2.setClock(clock);
  // Every generator of the instrument draws its noise from one sequence.
  int32_t* seed = owner ? owner->getNoiseSeedCell() : nullptr;
  mg1.setNoiseSeed(seed);
  mg2.setNoiseSeed(seed);
}

void Block::setSampleRate(double rate, int length) {
  sampleRate = rate;
  if (length != frameLength) {
    std::free(voiceSum);
    std::free(sectionBuf);
    std::free(vcaGain);
    std::free(amSignal);
    std::free(pitchMod);
    std::free(cutoffMod);
    voiceSum = sectionBuf = vcaGain = amSignal = nullptr;
    pitchMod = cutoffMod = nullptr;
    frameLength = 0;
    if (length > 0) {
      voiceSum = static_cast<double*>(std::calloc((size_t)length, sizeof(double)));
      sectionBuf = static_cast<double*>(std::calloc((size_t)length, sizeof(double)));
      vcaGain = static_cast<double*>(std::calloc((size_t)length, sizeof(double)));
      amSignal = static_cast<double*>(std::calloc((size_t)length, sizeof(double)));
      pitchMod = static_cast<int*>(std::calloc((size_t)length, sizeof(int)));
      cutoffMod = static_cast<int*>(std::calloc((size_t)length, sizeof(int)));
      if (voiceSum && sectionBuf && vcaGain && amSignal && pitchMod && cutoffMod)
        frameLength = length;
    }
  }
  sg.setSampleRate((float)rate, pitchMod);
  const float voiceRate = (float)rate;
  for (Voice& v : voices) v.setSampleRate(voiceRate);
  if (voiceRate > 0.0f) {
    lanes.filter.setSampleRate(voiceRate);
    lanes.envelope.setSampleRate(voiceRate);
  }
  lanes.filter.cutoffMod = cutoffMod;
  for (Resonator& r : resonators) r.setSampleRate((float)rate);
}

const double* Block::source(double value) const {
  return owner ? owner->getModSource((int)value) : nullptr;
}

void Block::reapplyFreq(int k, double hz) {
  if (!owner) return;
  int index = -1;
  // Find this Block's own parameter of position k.
  for (int b = 0; b < kNumBlocks; ++b)
    if (owner->getBlock(b) == this) index = BlockParam(b, k);
  IParam* pParam = owner->GetParam(index);
  if (!pParam) return;
  pParam->Set(hz);  // limited to the parameter's range
  owner->OnParamChange(index);
}

void Block::setParam(int index, double value) {
  if (index >= 0 && index < kNumBlocks * kBlockParamCount) {
    int k = index % kBlockParamCount;
    switch (k) {
      case kTuneC:
      case kTuneCs:
      case kTuneD:
      case kTuneDs:
      case kTuneE:
      case kTuneF:
      case kTuneFs:
      case kTuneG:
      case kTuneGs:
      case kTuneA:
      case kTuneAs:
      case kTuneB:
        sg.setTune(k - kTuneC, (int)(pitch::kUnitsPerCent * value));
        sg.calcOffset();
        break;
      case kWaveform: sg.setWaveForm((int)value); break;
      case kPWMInt: pwmDepth = 0.009 * value; break;
      case kFine:
        sg.setFine((int)(pitch::kUnitsPerCent * value));
        sg.calcOffset();
        break;
      case kCoarse:
        sg.setCoarse((int)(pitch::kUnitsPerCent * value));
        sg.calcOffset();
        break;
      case kOctave: sg.setOctaveSwitch((int)value); break;
      case kFMMod: fmOn = value >= 0.5; break;
      case kFMRev: fmReverse = value >= 0.5; break;
      case kFMMG1: fmMg1 = value; break;
      case kFMGEG: fmGeg = value; break;
      case kFMSrc:
        fmSource = source(value);
        if (!fmSource) fmSource = &zeroSource;
        break;
      case kPWMSrc: pwmSource = source(value); break;
      case kCutoff:
        cutoffSteps = 100;
        cutoffStep = (std::sqrt(value) - cutoffCur) / 100.0;
        break;
      case kFCMod: fcModOn = value >= 0.5; break;
      case kFCMG1: fcMg1 = value; break;
      case kFCGEG: fcGeg = value; break;
      case kFCSrc:
        fcSource = source(value);
        if (!fcSource) fcSource = &zeroSource;
        break;
      case kEMASrc: {
        const double* s = source(value);
        for (Voice& v : voices) v.setAttackSource(s);
        break;
      }
      case kEMRSrc: {
        const bool* t = owner ? owner->getTrigger((int)value) : nullptr;
        for (Voice& v : voices) v.setReleaseTrigger(t);
        break;
      }
      case kRSInt:
        resonatorOn = value > 0.0;
        for (Resonator& r : resonators) r.intensity = value;
        break;
      case kRSFreq1:
      case kRSFreq2:
      case kRSFreq3: resonators[k - kRSFreq1].position = value; break;
      case kRSMod: rsModOn = value >= 0.5; break;
      case kRfCSrc:
        rfcSource = source(value);
        if (!rfcSource) rfcSource = &zeroSource;
        break;
      case kAMInt: amDepth = value; break;
      case kAMMod: amOn = value >= 0.5; break;
      case kMG1Wave: mg1.setWaveForm((int)value); break;
      case kMG1Freq:
        mg1FreqHz = value;
        if (owner && owner->GetParam(index)) mg1FreqNorm = owner->GetParam(index)->GetNormalized();
        if (value > 0.0) mg1.setPeriod((int)(sampleRate / value));
        break;
      case kMG1FSrc:
        if (value == 0.0) reapplyFreq(kMG1Freq, mg1FreqHz);
        mg1FreqSource = source(value);
        break;
      case kMG1MSrc: mg1AmountSource = source(value); break;
      case kMG1Host:
        mg1.setSyncRate((int)value);
        if (value == 0.0) reapplyFreq(kMG1Freq, mg1FreqHz);
        break;
      case kMG2Freq:
        mg2FreqHz = value;
        if (value > 0.0) mg2.setPeriod(framesPerCycle(value));
        break;
      case kMG2Host:
        mg2.setSyncRate((int)value);
        if (value == 0.0) reapplyFreq(kMG2Freq, mg2FreqHz);
        break;
      case kVolume: volume = 2.0 * value; break;
      case kPan: pan = value; break;
      case kVCAFSrc: vcaSource = source(value); break;
      case kChEnable: channelOn = value >= 0.5; break;
      case kChGate: gateSource = source(value); break;
      default: break;
    }
  }
  for (Voice& v : voices) v.setParam(index, value);
}

void Block::setNoteOn(int note, int serial) {
  // Only voices that can sound are given keys (all of them, unless a buffer failed).
  int chosen = -1;
  for (int i = 0; i < kNumVoices && chosen < 0; ++i)
    if (voices[i].canSound() && voices[i].getNote() == note) chosen = i;
  for (int i = 0; i < kNumVoices && chosen < 0; ++i)
    if (voices[i].canSound() && !voices[i].isActive()) chosen = i;
  if (chosen < 0) {
    for (int i = 0; i < kNumVoices; ++i) {
      const bool older = chosen < 0 || voices[i].getSerial() < voices[chosen].getSerial();
      if (voices[i].canSound() && older) chosen = i;
    }
  }
  if (chosen >= 0) voices[chosen].setNoteOn(note, serial);
}

void Block::setNoteOff(int note) {
  for (Voice& v : voices) {
    if (v.isActive() && v.getNote() == note) {
      v.setNoteOff();
      return;
    }
  }
}

void Block::setSustain(bool on) {
  for (Voice& v : voices) v.setSustain(on);
}

void Block::allNotesOff() {
  for (Voice& v : voices) {
    v.setSustain(false);
    v.setNoteOff();
  }
}

int Block::numActiveVoices() const {
  int n = 0;
  for (const Voice& v : voices) n += v.isActive() ? 1 : 0;
  return n;
}

void Block::setSimdPath(simd::Path path) {
  simdPath = simd::resolve(path);
  switch (simdPath) {
    case simd::Path::kAvx512: wideKernel = runVoiceLanesAvx512; break;
    case simd::Path::kAvx2: wideKernel = runVoiceLanesAvx2; break;
    default: wideKernel = nullptr; break;
  }
}
