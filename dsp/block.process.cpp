// The Block's per-sample modulation and its audio.
#include <cstring>

#include "dsp/block.h"
#include "dsp/pitch.h"

void Block::update(int i, double pitchOffset) {
  if (i < 0 || i >= frameLength) return;

  if (mg1FreqSource) {
    double x = 0.5 * *mg1FreqSource + mg1FreqNorm;
    if (!(x >= 0.0)) x = 0.0;
    if (x > 1.0) x = 1.0;
    double x2 = x * x;
    mg1.setPeriod((int)(sampleRate / (1499.95 * (x2 * x2 * x2) + 0.05)));
  }

  mg1.update();
  const double mg1Out = mg1.getOutput();
  amSignal[i] = mg1Out;
  double level = mg1Out;
  if (mg1AmountSource) level *= *mg1AmountSource > 0.0 ? *mg1AmountSource : 0.0;
  mg1Level = level;

  double fm = 0.0;
  if (fmOn) {
    fm = fmMg1 * mg1Level + fmGeg * *fmSource;
    if (fmReverse) fm = -fm;
  }
  pitchMod[i] = pitch::toOffset(fm + pitchOffset);
  const double fc = fcModOn ? (fcMg1 * mg1Level + fcGeg * *fcSource) * pitch::kCutoffSweep : 0.0;
  cutoffMod[i] = pitch::toOffset(fc);

  if (i == 0) {
    mg2.update();
    const double p = pwmSource ? *pwmSource : mg2.getOutput();
    sg.update((p * 0.25 + 0.25) * pwmDepth);
    if (cutoffSteps > 0) {
      --cutoffSteps;
      cutoffCur += cutoffStep;
    }
    cutoffInt = pitch::toOffset(cutoffCur * Korg35::kMaxIndex);
    for (Voice& v : voices)
      if (v.isActive()) v.update(cutoffInt);
    if (resonatorOn) {
      double m = (rfcSource ? *rfcSource : 0.0) + (rsModOn ? mg2.getOutput() : 0.0);
      double r = 0.5 * m + 0.5;
      for (Resonator& res : resonators) res.update(r * r);
    }
  }

  if (channelOn && (!gateSource || *gateSource > 0.5)) {
    gainLeft = (1.0 - pan) * volume;
    gainRight = pan * volume;
    vcaGain[i] = !vcaSource ? 1.0 : (*vcaSource > 0.0 ? *vcaSource : 0.0);
  } else {
    vcaGain[i] = 0.0;
  }
}

void Block::process(double* left, double* right, int n, int offset) {
  if (n <= 0 || offset < 0 || offset + n > frameLength) return;
  std::memset(voiceSum, 0, (size_t)n * sizeof(double));

  int count = 0;
  for (int i = 0; i < kNumVoices; ++i)
    if (voices[i].isActive()) lanes.active[count++] = i;
  lanes.count = count;
  if (wideKernel && count > 0 && sg.getFreqTable() && sg.getPitchMod()) {
    processLanes(n, offset);
  } else {
    // Render every active voice's waveform, run their filters side by side, then add them up
    // in voice order: the same sum, sample for sample, as one voice after another.
    for (int i = 0; i < count; ++i) {
      const Voice& v = voices[lanes.active[i]];
      v.render(n, offset);
      activeBuffers[i] = v.getBuffer();
    }
    lanes.filter.processMany(lanes.active, activeBuffers, count, n, offset);
    lanes.envelope.mixMany(lanes.active, activeBuffers, lanes.keyGain, count, voiceSum, n, offset);
  }
  const bool anyActive = count > 0;  // mixing leaves a voice's activity as update() set it
  sg.next(n);

  if (!channelOn || !anyActive) return;
  const double* section = voiceSum;
  if (resonatorOn) {
    std::memset(sectionBuf, 0, (size_t)n * sizeof(double));
    for (Resonator& r : resonators) r.process(voiceSum, sectionBuf, n);
    section = sectionBuf;
  }
  if (amOn) {
    if (section != sectionBuf) {
      std::memcpy(sectionBuf, voiceSum, (size_t)n * sizeof(double));
      section = sectionBuf;
    }
    for (int j = 0; j < n; ++j) sectionBuf[j] *= (amSignal[offset + j] - 1.0) * amDepth + 1.0;
  }
  const double* vca = vcaGain + offset;
  const double gl = gainLeft, gr = gainRight;
  for (int j = 0; j < n; ++j) {
    double s = section[j] * vca[j];
    left[j] += s * gl;
    right[j] += s * gr;
  }
}

// The kernel runs on the voices' filters and envelopes where they live; what it needs beyond
// them is decided here: each voice's waveform start (from the masters, which moved since the
// last stretch) and its filter coefficients where its resonance changed.
void Block::processLanes(int n, int offset) {
  VoiceLanes& L = lanes;
  sg.voiceStarts(L.active, L.count, L.octave, L.pitchClass, L.phase, L.phase2, L.pitchBase,
                 L.silent);
  L.filter.prepareMany(L.active, L.count, offset);
  L.n = n;
  L.offset = offset;
  L.pitchMod = sg.getPitchMod() + offset;
  L.cutoffMod = cutoffMod ? cutoffMod + offset : nullptr;
  L.freq2PhInc = sg.getFreqTable();
  L.waves = sg.voiceTables();
  L.pulse = sg.readsPulse();
  // Every voice of a Block runs at the Block's rate: one coefficient table serves them all.
  L.filterEntries = L.filter.getCoefficientTable();
  L.voiceSum = voiceSum;
  wideKernel(L);
}
