#include "dsp/voice.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dsp/frame.h"
#include "dsp/pitch.h"
#include "instrument/params.h"

namespace {
constexpr int kTrackCentreKey = 48;  // the key whose cut-off "fC Bal" leaves where it is
}  // namespace

Voice::~Voice() { std::free(buffer); }

void Voice::setLanes(VoiceLanes* voiceLanes, int voiceSlot) {
  lanes = voiceLanes;
  slot = voiceSlot;
  lanes->keyGain[slot] = getGain();
}

void Voice::setSampleRate(float rate) {
  active = gate = sustain = false;
  note = 48;
  lanes->octave[slot] = 4;
  lanes->pitchClass[slot] = 0;
  serial = 0;
  bufferLength = samplesPerFrame(rate);
  if (bufferLength != allocatedLength) {
    std::free(buffer);
    buffer = bufferLength > 0
                 ? static_cast<double*>(std::calloc((size_t)bufferLength, sizeof(double)))
                 : nullptr;
    allocatedLength = buffer ? bufferLength : 0;
  }
}

void Voice::setNoteOn(int n, int s) {
  if (!canSound()) return;
  active = gate = true;
  note = n;
  lanes->octave[slot] = n / 12;
  lanes->pitchClass[slot] = n % 12;
  serial = s;
  lanes->envelope.start(slot);
  keyTrack = (n - kTrackCentreKey) / double(pitch::kSweepSemitones);
  keyBalance = 0.5 + 0.5 * std::tanh(6.0 * n / 127.0 - 3.0);
  lanes->keyGain[slot] = getGain();
}

void Voice::setNoteOff() {
  gate = false;
  if (!sustain) lanes->envelope.stop(slot, false);
}

void Voice::setSustain(bool on) {
  sustain = on;
  if (!gate && !on) lanes->envelope.stop(slot, false);
}

void Voice::setParam(int index, double value) {
  EMLanes<VoiceLanes::kSlots>& envelope = lanes->envelope;
  if (index == kUseHold) {
    envelope.setUseHold(slot, value >= 0.5);
    return;
  }
  if (index < 0 || index >= kNumBlocks * kBlockParamCount) return;
  switch (index % kBlockParamCount) {
    case kPeak: peak = value; break;
    case kFCBal: fcBal = value; break;
    case kExpand: expand = value; break;
    case kEMAtk: attack = value; break;
    case kEMDcy: envelope.setDecay(slot, value); break;
    case kEMSus: envelope.setSustain(slot, value); break;
    case kEMRel: envelope.setRelease(slot, (int)value); break;
    case kEMHold: envelope.setHold(slot, value >= 0.5); break;
    case kKBDBal:
      kbdBal = value;
      lanes->keyGain[slot] = getGain();
      break;
    case kOverRel: envelope.setOverrideRelease(slot, value >= 0.5); break;
    case kEMORel: envelope.setRelease(slot, value); break;
    default: break;
  }
}

void Voice::update(int cutoffInt) {
  EMLanes<VoiceLanes::kSlots>& envelope = lanes->envelope;
  envelope.setAttack(slot, attack + (attackSource ? *attackSource : 0.0));
  if (releaseTrigger && *releaseTrigger) envelope.stop(slot, true);
  envelope.update(slot);
  const double e = envelope.getValue(slot);
  const double sweep = (expand * e + fcBal * keyTrack) * pitch::kCutoffSweep;
  lanes->filter.update(slot, pitch::toOffset(sweep + cutoffInt), peak);
  active = !envelope.isIdle(slot);
}
