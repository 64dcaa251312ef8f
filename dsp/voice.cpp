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

Voice::Voice() {}

Voice::~Voice() { std::free(buffer); }

void Voice::setSampleRate(float rate) {
  active = gate = sustain = false;
  note = 48;
  octave = 4;
  pitchClass = 0;
  serial = 0;
  bufferLength = samplesPerFrame(rate);
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
  if (!canSound()) return;
  active = gate = true;
  note = n;
  octave = n / 12;
  pitchClass = n % 12;
  serial = s;
  envelope.start();
  keyTrack = (n - kTrackCentreKey) / double(pitch::kSweepSemitones);
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
  filter.update(pitch::toOffset((expand * e + fcBal * keyTrack) * pitch::kCutoffSweep + cutoffInt));
  active = !envelope.isIdle();
}

void Voice::toLanes(VoiceLanes& L, int s, int offset) {
  filter.toLanes(L, s, offset);
  envelope.toLanes(L, s);
  L.envelope[s] = &envelope;
  L.keyGain[s] = getGain();
  uint32_t ph = 0, ph2 = 0;
  long long base = 0;
  const bool sounds = sg->voiceStart(octave, pitchClass, ph, ph2, base);
  // Beyond +-2^30 any offset leaves the index past the same end of the table.
  constexpr long long kBaseLimit = 1ll << 30;
  L.phase[s] = ph;
  L.phase2[s] = ph2;
  L.pitchBase[s] =
      int32_t(base < -kBaseLimit ? -kBaseLimit : (base > kBaseLimit ? kBaseLimit : base));
  L.silent[s] = sounds ? 0 : -1;
}

void Voice::fromLanes(const VoiceLanes& L, int s) {
  filter.fromLanes(L, s);
  envelope.fromLanes(L, s);
}

namespace {

// The same double, to the last bit (0.0 and -0.0 differ).
inline bool sameBits(double a, double b) {
  uint64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

}  // namespace

void Voice::mix(double* out, int n, int offset) {
  Voice* self = this;
  mixGroup<1>(&self, out, n, offset);
}

void Voice::mixMany(Voice* const* voices, int count, double* out, int n, int offset) {
  int i = 0;
  for (; i + kMixGroupSize <= count; i += kMixGroupSize) mixGroup<kMixGroupSize>(voices + i, out, n, offset);
  for (; i < count; ++i) mixGroup<1>(voices + i, out, n, offset);
}

// The envelope steps after every sample whose position in the control frame is at least 1;
// with the step of update() at the frame start that makes one step per sample of the frame
// however the host splits it, and samples 0 and 1 share the first value.
//
// A step that leaves value, segment and hold exactly as they were (a sustain level reached to
// the last bit, or an idle envelope) changes nothing the next step reads: every further step
// of the stretch is the same no-op, so from there on the voice's level is a constant.
template <int N>
void Voice::mixGroup(Voice* const* voices, double* out, int n, int offset) {
  double g[N], level[N];
  const double* in[N];
  EM* env[N];
  bool steady[N];
  for (int v = 0; v < N; ++v) {
    g[v] = voices[v]->getGain();
    in[v] = voices[v]->buffer;
    env[v] = &voices[v]->envelope;
    level[v] = 0.0;
    steady[v] = false;
  }
  int j = 0;
  if (offset == 0 && n > 0) {
    for (int v = 0; v < N; ++v) out[0] += in[v][0] * env[v]->getValue() * g[v];
    j = 1;
  }
  int moving = N;
  for (; j < n && moving > 0; ++j) {
    for (int v = 0; v < N; ++v) {
      if (steady[v]) {
        out[j] += in[v][j] * level[v] * g[v];
        continue;
      }
      const double e = env[v]->getValue();
      out[j] += in[v][j] * e * g[v];
      const int state = env[v]->getState();
      const bool holding = env[v]->isHolding();
      env[v]->update();
      if (sameBits(env[v]->getValue(), e) && env[v]->getState() == state && env[v]->isHolding() == holding) {
        steady[v] = true;
        level[v] = e;
        --moving;
      }
    }
  }
  for (; j < n; ++j)
    for (int v = 0; v < N; ++v) out[j] += in[v][j] * level[v] * g[v];
}
