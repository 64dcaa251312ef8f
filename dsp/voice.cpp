#include "dsp/voice.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "instrument/params.h"

Voice::Voice() {}

Voice::~Voice() { std::free(buffer); }

void Voice::setSampleRate(float rate) {
  active = gate = sustain = false;
  note = 48;
  octave = 4;
  pitchClass = 0;
  serial = 0;
  bufferLength = rate >= 1000.0f && rate < 2147483647.0f ? (int)rate / 1000 : 0;
  if (bufferLength != allocatedLength) {
    std::free(buffer);
    buffer = bufferLength > 0 ? static_cast<double*>(std::calloc((size_t)bufferLength, sizeof(double))) : nullptr;
    allocatedLength = buffer ? bufferLength : 0;
  }
  if (rate > 0.0f) {
    filter.setSampleRate(rate);
    envelope.setSampleRate(rate);
  }
}

void Voice::setNoteOn(int n, int s) {
  active = gate = true;
  note = n;
  octave = n / 12;
  pitchClass = n % 12;
  serial = s;
  envelope.start();
  keyTrack = (n - 48) / 84.0;
  keyBalance = 0.5 + 0.5 * std::tanh(6.0 * n / 127.0 - 3.0);
}

void Voice::setNoteOff() {
  gate = false;
  if (!sustain) envelope.stop(false);
}

void Voice::setSustain(bool on) {
  sustain = on;
  if (!gate && !on) envelope.stop(false);
}

void Voice::setParam(int index, double value) {
  if (index == kUseHold) {
    envelope.setUseHold(value >= 0.5);
    return;
  }
  if (index < 0 || index >= kNumBlocks * kBlockParamCount) return;
  switch (index % kBlockParamCount) {
    case kPeak: filter.peak = value; break;
    case kFCBal: fcBal = value; break;
    case kExpand: expand = value; break;
    case kEMAtk: attack = value; break;
    case kEMDcy: envelope.setDecay(value); break;
    case kEMSus: envelope.setSustain(value); break;
    case kEMRel: envelope.setRelease((int)value); break;
    case kEMHold: envelope.setHold(value >= 0.5); break;
    case kKBDBal: kbdBal = value; break;
    case kOverRel: envelope.setOverrideRelease(value >= 0.5); break;
    case kEMORel: envelope.setRelease(value); break;
    default: break;
  }
}

void Voice::update(int cutoffInt) {
  envelope.setAttack(attack + (attackSource ? *attackSource : 0.0));
  if (releaseTrigger && *releaseTrigger) envelope.stop(true);
  envelope.update();
  double e = envelope.getValue();
  filter.update((int)((expand * e + fcBal * keyTrack) * 10753.0 + cutoffInt));
  active = !envelope.isIdle();
}

void Voice::mix(double* out, int n, int offset) {
  // The envelope steps after every sample whose position in the control frame is at least 1;
  // with the step of update() at the frame start that makes one step per sample of the frame
  // however the host splits it, and samples 0 and 1 share the first value.
  const double g = getGain();
  const double* in = buffer;
  int j = 0;
  if (offset == 0 && n > 0) {
    out[0] += in[0] * envelope.getValue() * g;
    j = 1;
  }
  for (; j < n; ++j) {
    out[j] += in[j] * envelope.getValue() * g;
    envelope.update();
  }
}
