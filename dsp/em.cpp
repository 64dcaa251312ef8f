#include "dsp/em.h"

#include <cstring>

#include "dsp/segment.h"
#include "dsp/voicelanes.h"

static_assert(VoiceLanes::kEnvelopeFloor == EM::kFloor && int(VoiceLanes::kIdle) == EM::kIdle &&
                  int(VoiceLanes::kAttack) == EM::kAttack &&
                  int(VoiceLanes::kDecay) == EM::kDecay &&
                  int(VoiceLanes::kRelease) == EM::kRelease,
              "the wide loop's envelope numbers");

template <int N>
EMLanes<N>::EMLanes() : rateScale(segment::rateScale(segment::kRateBeforeAny)) {
  for (int s = 0; s < N; ++s) {
    value[s] = previous[s] = target[s] = coefficient[s] = 0.0;
    state[s] = kIdle;
    holding[s] = 0;
    attack[s] = decay[s] = sustain[s] = release[s] = overrideRelease[s] = releaseTime[s] = 0.0;
    hold[s] = useHold[s] = override[s] = false;
    refreshHold(s);
  }
}

template <int N>
void EMLanes<N>::setSampleRate(float rate) {
  for (int s = 0; s < N; ++s) {
    state[s] = kIdle;
    value[s] = 0.0;
  }
  if (rate >= 1.0f) rateScale = segment::rateScale(double(rate));
}

template <int N>
void EMLanes<N>::start(int s) {
  if (hold[s] && holding[s] && useHold[s] && state[s] != kIdle) {
    // A new note-on ends a hold engaged through the attack gate.
    beginRelease(s);
    return;
  }
  state[s] = kAttack;
  target[s] = segment::kRiseTarget;
  coefficient[s] = coefficientFor(attack[s]);
}

template <int N>
void EMLanes<N>::stop(int s, bool force) {
  if (!force && hold[s] && holding[s]) return;
  beginRelease(s);
}

template <int N>
void EMLanes<N>::attackMoved(int s, double v) {
  attack[s] = v;
  refreshHold(s);
  if (state[s] == kAttack) coefficient[s] = coefficientFor(attack[s]);
}

template <int N>
void EMLanes<N>::setDecay(int s, double v) {
  decay[s] = 0.8 * v + 0.2;
  if (state[s] == kDecay) coefficient[s] = coefficientFor(decay[s]);
}

template <int N>
void EMLanes<N>::setSustain(int s, double v) {
  sustain[s] = v;
  if (state[s] == kDecay) target[s] = v;
}

template <int N>
void EMLanes<N>::setRelease(int s, int index) {
  release[s] = (index >= 0 && index < 2) ? kReleaseTimes[index] : kReleaseTimes[2];
  if (!override[s]) releaseTime[s] = release[s];
  if (state[s] == kRelease) coefficient[s] = coefficientFor(releaseTime[s]);
}

template <int N>
void EMLanes<N>::setRelease(int s, double v) {
  overrideRelease[s] = v;
  if (override[s]) releaseTime[s] = v;
  if (state[s] == kRelease) coefficient[s] = coefficientFor(releaseTime[s]);
}

template <int N>
void EMLanes<N>::setOverrideRelease(int s, bool on) {
  override[s] = on;
  releaseTime[s] = on ? overrideRelease[s] : release[s];
  if (state[s] == kRelease) coefficient[s] = coefficientFor(releaseTime[s]);
}

template <int N>
void EMLanes<N>::setHold(int s, bool on) {
  hold[s] = on;
  refreshHold(s);
}

template <int N>
void EMLanes<N>::setUseHold(int s, bool on) {
  useHold[s] = on;
  refreshHold(s);
}

template <int N>
void EMLanes<N>::mixMany(const int* slots, const double* const* in, const double* gains, int count,
                         double* out, int n, int offset) {
  int i = 0;
  for (; i + kMixGroupSize <= count; i += kMixGroupSize)
    mixGroup<kMixGroupSize>(slots + i, in + i, gains, out, n, offset);
  for (; i < count; ++i) mixGroup<1>(slots + i, in + i, gains, out, n, offset);
}

namespace {

// The same double, to the last bit (0.0 and -0.0 differ).
inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// With the step of update() at the frame start, stepping after every sample whose position in
// the control frame is at least 1 makes one step per sample of the frame however the host
// splits it, and samples 0 and 1 share the first value.
//
// A step that leaves value, segment and hold exactly as they were (a sustain level reached to
// the last bit, or an idle envelope) changes nothing the next step reads: every further step
// of the stretch is the same no-op, so from there on the envelope's level is a constant.
template <int N>
template <int G>
void EMLanes<N>::mixGroup(const int* slots, const double* const* in, const double* gains,
                          double* out, int n, int offset) {
  int slot[G];  // in locals: the envelopes' stores could otherwise alias the list
  double g[G], level[G];
  bool steady[G];
  for (int v = 0; v < G; ++v) {
    slot[v] = slots[v];
    g[v] = gains[slot[v]];
    level[v] = 0.0;
    steady[v] = false;
  }
  int j = 0;
  if (offset == 0 && n > 0) {
    for (int v = 0; v < G; ++v) out[0] += in[v][0] * value[slot[v]] * g[v];
    j = 1;
  }
  int moving = G;
  for (; j < n && moving > 0; ++j) {
    _Pragma("GCC unroll 4") for (int v = 0; v < G; ++v) {
      if (steady[v]) {
        out[j] += in[v][j] * level[v] * g[v];
        continue;
      }
      const int s = slot[v];
      const double e = value[s];
      out[j] += in[v][j] * e * g[v];
      const int st = state[s];
      const int32_t ho = holding[s];
      update(s);
      if (sameBits(value[s], e) && state[s] == st && holding[s] == ho) {
        steady[v] = true;
        level[v] = e;
        --moving;
      }
    }
  }
  for (; j < n; ++j)
    for (int v = 0; v < G; ++v) out[j] += in[v][j] * level[v] * g[v];
}

template class EMLanes<1>;
template class EMLanes<VoiceLanes::kSlots>;

void stepEnvelopeSlot(VoiceLanes& lanes, int s) { lanes.envelope.update(s); }
