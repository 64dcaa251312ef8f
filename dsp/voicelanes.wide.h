#pragma once
// The wide voice loop, written once for both instruction sets: each wide translation unit
// includes dsp/lanes.h and then this file, and gets the loop for its own register width.
//
// What goes where: kGroups registers of kLanes voices each run side by side, so that the
// feedback paths of independent filters overlap. Per sample, every lane reads its waveform
// (one table read, two for pulses), runs its filter, scales the output by its envelope and
// keyboard gain into a row of contributions, and then steps its envelope. Every kLanes samples
// the rows are transposed into one column per voice and added to the voice sum in voice order,
// so each sample of the sum receives its voices in the same order as on the scalar path.
#include "dsp/voicelanes.h"

namespace {

using namespace lanes;

// Registers run side by side: enough independent filters to hide the latency of one filter's
// feedback path, few enough that their state stays in registers (16 of them for AVX2).
constexpr int kGroups = KERNEL_GROUPS;
constexpr int kPassSlots = kGroups * kLanes;
static_assert(VoiceLanes::kSlots % kPassSlots == 0, "a pass of the lanes is whole sub-passes");
static_assert(kLanes <= VoiceLanes::kMaxChunk, "the rows hold one chunk of the widest lanes");

constexpr int32_t kPhaseMask = VoiceLanes::kPhaseMask;
constexpr int kReadShift = VoiceLanes::kReadShift;
constexpr int kTableBits = VoiceLanes::kTableBits;
constexpr int32_t kLastTable = VoiceLanes::kLastTable;
constexpr int32_t kLastFreqIndex = VoiceLanes::kLastFreqIndex;
constexpr int32_t kLastFilterIndex = VoiceLanes::kLastFilterIndex;
constexpr double kBoost = VoiceLanes::kBoost;
constexpr double kEnvelopeFloor = VoiceLanes::kEnvelopeFloor;
enum { kIdle = VoiceLanes::kIdle, kAttack = VoiceLanes::kAttack, kDecay = VoiceLanes::kDecay,
       kRelease = VoiceLanes::kRelease };

// Adds the contributions of slots first .. first + count - 1 for one chunk of kLanes samples,
// held in rows, to out[0 .. kLanes).
inline void addChunk(const VoiceLanes& L, int first, int count, double* out) {
  D acc = load(out);
  for (int g = 0; g < kGroups && g * kLanes < count; ++g) {
    D col[kLanes];
    for (int r = 0; r < kLanes; ++r)
      col[r] = load(L.rows + r * VoiceLanes::kSlots + first + g * kLanes);
    transpose(col);
    for (int l = 0; l < kLanes && g * kLanes + l < count; ++l) acc = add(acc, col[l]);
  }
  store(out, acc);
}

// The same for the last rows < kLanes of a stretch, sample by sample.
inline void addRows(const VoiceLanes& L, int first, int count, double* out, int rows) {
  for (int r = 0; r < rows; ++r)
    for (int s = first; s < first + count; ++s) out[r] += L.rows[r * VoiceLanes::kSlots + s];
}

// The coefficients of Korg35 for one pitch index, for all lanes at once.
void sharedCoefficients(const VoiceLanes& L, int idx, double K, D& a, D& b1, D& b2, D& G) {
  const int i = idx < 0 ? 0 : (idx > kLastFilterIndex ? kLastFilterIndex : idx);
  const double* e = L.filterEntries + 3 * i;
  const double alpha = e[0];
  const double ka = K * alpha;
  a = set1(alpha);
  b2 = set1(e[2]);
  b1 = set1((K - ka) / e[1]);
  G = set1(1.0 / (1.0 - ka + ka * alpha));
}

int32_t stateOf(unsigned attack, unsigned decay, unsigned release, int l) {
  if (attack >> l & 1) return kAttack;
  if (decay >> l & 1) return kDecay;
  if (release >> l & 1) return kRelease;
  return kIdle;
}

// One sub-pass: slots first .. first + count - 1 (count <= kPassSlots) over the stretch.
void runPass(VoiceLanes& L, int first, int count, bool shared) {
  const int n = L.n;
  const D zero = set1(0.0), one = set1(1.0), two = set1(2.0), boost = set1(kBoost);
  const D floorLevel = set1(kEnvelopeFloor);
  const I phaseMask = set1I(kPhaseMask);

  // Gather: the pass's state from its slots into registers.
  D z1[kGroups], z2[kGroups], z3[kGroups], ad[kGroups];
  D a[kGroups], b1[kGroups], b2[kGroups], gn[kGroups], k[kGroups];
  I last[kGroups], cutoff[kGroups];
  I ph[kGroups], ph2[kGroups], pitchBase[kGroups], inc[kGroups], table[kGroups];
  M silent[kGroups];
  D value[kGroups], previous[kGroups], target[kGroups], coef[kGroups], keyGain[kGroups];
  M attack[kGroups], decay[kGroups], release[kGroups], holding[kGroups], holdSet[kGroups],
      holdEnd[kGroups];
  const unsigned used = (1u << count) - 1;
  _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
    const int s = first + g * kLanes;
    z1[g] = load(L.z1 + s);
    z2[g] = load(L.z2 + s);
    z3[g] = load(L.z3 + s);
    ad[g] = load(L.antiDenormal + s);
    a[g] = load(L.alpha + s);
    b1[g] = load(L.beta1 + s);
    b2[g] = load(L.beta2 + s);
    gn[g] = load(L.gain + s);
    k[g] = load(L.k + s);
    last[g] = loadI(L.lastIndex + s);
    cutoff[g] = loadI(L.cutoff + s);
    ph[g] = loadI(reinterpret_cast<const int32_t*>(L.phase) + s);
    ph2[g] = loadI(reinterpret_cast<const int32_t*>(L.phase2) + s);
    pitchBase[g] = loadI(L.pitchBase + s);
    inc[g] = table[g] = set1I(0);
    silent[g] = eqI(loadI(L.silent + s), set1I(-1));
    value[g] = load(L.value + s);
    previous[g] = load(L.previous + s);
    target[g] = load(L.target + s);
    coef[g] = load(L.coefficient + s);
    keyGain[g] = load(L.keyGain + s);
    const I state = loadI(L.state + s);
    attack[g] = eqI(state, set1I(kAttack));
    decay[g] = eqI(state, set1I(kDecay));
    release[g] = eqI(state, set1I(kRelease));
    holding[g] = eqI(loadI(L.holding + s), set1I(-1));
    holdSet[g] = eqI(loadI(L.holdSet + s), set1I(-1));
    holdEnd[g] = eqI(loadI(L.holdEnd + s), set1I(-1));
  }

  D sa = zero, sb1 = zero, sb2 = zero, sgn = zero;

  // Envelopes that all sit still skip their steps; the steps would only copy the level into
  // the previous one.
  bool steady = true;
  for (int s = first; s < first + count; ++s) steady = steady && L.steady[s] != 0;
  bool stepped = false;

  const int* const pitchMod = L.pitchMod;
  const int* const cutoffMod = L.cutoffMod;
  int lastPitch = 0, lastCutoff = 0;
  int row = 0;
  for (int j = 0; j < n; ++j) {
    // Waveform: the increment and band-limited table follow the pitch offset, looked up
    // again only when it moves (the offset is the same for every voice of the Block).
    const int pm = pitchMod[j];
    if (j == 0 || pm != lastPitch) {
      lastPitch = pm;
      _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
        const I idx = minI(maxI(addI(set1I(pm), pitchBase[g]), set1I(0)), set1I(kLastFreqIndex));
        inc[g] = gatherI(L.freq2PhInc, idx);
        const I t = minI(maxI(floorLog2(shrI<kReadShift>(inc[g])), set1I(0)), set1I(kLastTable));
        table[g] = shlI<kTableBits>(t);
      }
    }
    // Filter coefficients: for the lanes whose pitch index moved.
    const int cm = cutoffMod ? cutoffMod[j] : 0;
    const bool cutoffMoved = j == 0 || cm != lastCutoff;
    lastCutoff = cm;

    _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
      ph[g] = andI(addI(ph[g], inc[g]), phaseMask);
      D x = gather(L.waves, addI(table[g], shrI<kReadShift>(ph[g])));
      if (L.pulse) {
        ph2[g] = andI(addI(ph2[g], inc[g]), phaseMask);
        x = sub(x, gather(L.waves, addI(table[g], shrI<kReadShift>(ph2[g]))));
      }
      x = select(silent[g], x, zero);

      if (cutoffMoved) {
        const I idx = addI(set1I(cm), cutoff[g]);
        if (shared) {
          // Every voice of the pass has the same index and resonance: one set of coefficients.
          if (g == 0) sharedCoefficients(L, cm + L.cutoff[first], L.k[first], sa, sb1, sb2, sgn);
          a[g] = sa;
          b1[g] = sb1;
          b2[g] = sb2;
          gn[g] = sgn;
        } else {
          const M moved = andNot(eqI(idx, last[g]), fromBits(0xFFu));
          if (bits(moved)) {
            const I i = minI(maxI(idx, set1I(0)), set1I(kLastFilterIndex));
            const I e = addI(addI(i, i), i);  // three doubles per entry
            const D na = gather(L.filterEntries, e);
            const D onePlusG = gather(L.filterEntries + 1, e);
            const D nb2 = gather(L.filterEntries + 2, e);
            const D ka = mul(k[g], na);
            const D nb1 = div(sub(k[g], ka), onePlusG);
            const D ngn = div(one, add(sub(one, ka), mul(ka, na)));
            a[g] = select(moved, a[g], na);
            b2[g] = select(moved, b2[g], nb2);
            b1[g] = select(moved, b1[g], nb1);
            gn[g] = select(moved, gn[g], ngn);
          }
        }
        last[g] = idx;
      }

      // Anti-denormal offset; anything not finite becomes 0, states tested together.
      x = add(x, ad[g]);
      x = select(eq(sub(x, x), zero), zero, x);
      D s1 = add(z1[g], ad[g]);
      D s2 = add(z2[g], ad[g]);
      D s3 = add(z3[g], ad[g]);
      const D any = add(add(s1, s2), s3);
      if (__builtin_expect(bits(eq(sub(any, any), zero)) != bits(fromBits(0xFFu)), 0)) {
        s1 = select(eq(sub(s1, s1), zero), zero, s1);
        s2 = select(eq(sub(s2, s2), zero), zero, s2);
        s3 = select(eq(sub(s3, s3), zero), zero, s3);
      }
      ad[g] = neg(ad[g]);

      const D A = a[g];
      const D d1 = mul(A, sub(x, s1));
      const D y1 = add(s1, d1);
      D S = add(mul(b1[g], s2), mul(b2[g], s3));
      S = maxOf(mul(boost, S), S);
      const D d2 = mul(A, sub(mul(gn[g], add(y1, S)), s2));
      const D y = add(s2, d2);
      z1[g] = add(y1, d1);
      z2[g] = add(y, d2);
      const D d3 = mul(A, sub(mul(k[g], y), s3));
      z3[g] = add(s3, mul(two, d3));

      store(L.rows + row * VoiceLanes::kSlots + first + g * kLanes,
            mul(mul(y, value[g]), keyGain[g]));
    }
    if (++row == kLanes) {
      addChunk(L, first, count, L.voiceSum + j + 1 - kLanes);
      row = 0;
    }

    // Envelope step after every sample but the first of a frame.
    if (L.offset + j < 1) continue;
    if (steady) {
      stepped = true;
      continue;
    }
    D next[kGroups];
    unsigned events = 0;
    _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
      holding[g] = either(holding[g], holdSet[g]);
      next[g] = add(value[g], mul(sub(target[g], value[g]), coef[g]));
      const M ev = either(both(holdEnd[g], holding[g]), both(attack[g], ge(next[g], one)));
      events |= bits(ev) << (g * kLanes);
    }
    if (__builtin_expect((events & used) == 0, 1)) {
      _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
        const M stepping = either(attack[g], either(decay[g], release[g]));
        previous[g] = select(stepping, previous[g], value[g]);
        D v = select(stepping, value[g], next[g]);
        const M atZero = le(v, zero);
        const M decayEnds = both(decay[g], atZero), releaseEnds = both(release[g], atZero);
        v = select(andNot(atZero, both(decay[g], lt(v, floorLevel))), v, floorLevel);
        v = select(either(decayEnds, releaseEnds), v, zero);
        decay[g] = andNot(decayEnds, decay[g]);
        release[g] = andNot(releaseEnds, release[g]);
        value[g] = v;
      }
      continue;
    }
    // A segment ends or a hold releases: the envelopes of this pass take this step on the
    // scalar path, from the state in the slots.
    _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
      const int s = first + g * kLanes;
      store(L.value + s, value[g]);
      store(L.previous + s, previous[g]);
      store(L.target + s, target[g]);
      store(L.coefficient + s, coef[g]);
      const unsigned at = bits(attack[g]), de = bits(decay[g]), re = bits(release[g]);
      const unsigned ho = bits(holding[g]);
      for (int l = 0; l < kLanes; ++l) {
        L.state[s + l] = stateOf(at, de, re, l);
        L.holding[s + l] = (ho >> l & 1) ? -1 : 0;
      }
    }
    for (int s = first; s < first + count; ++s) stepEnvelopeSlot(L, s);
    _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
      const int s = first + g * kLanes;
      value[g] = load(L.value + s);
      previous[g] = load(L.previous + s);
      target[g] = load(L.target + s);
      coef[g] = load(L.coefficient + s);
      const I state = loadI(L.state + s);
      attack[g] = eqI(state, set1I(kAttack));
      decay[g] = eqI(state, set1I(kDecay));
      release[g] = eqI(state, set1I(kRelease));
      holding[g] = eqI(loadI(L.holding + s), set1I(-1));
    }
  }
  addRows(L, first, count, L.voiceSum + n - row, row);

  // Scatter: registers back into the slots.
  _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
    const int s = first + g * kLanes;
    if (stepped)
      previous[g] = select(either(attack[g], either(decay[g], release[g])), previous[g], value[g]);
    store(L.z1 + s, z1[g]);
    store(L.z2 + s, z2[g]);
    store(L.z3 + s, z3[g]);
    store(L.antiDenormal + s, ad[g]);
    store(L.alpha + s, a[g]);
    store(L.beta1 + s, b1[g]);
    store(L.beta2 + s, b2[g]);
    store(L.gain + s, gn[g]);
    storeI(L.lastIndex + s, last[g]);
    store(L.value + s, value[g]);
    store(L.previous + s, previous[g]);
    store(L.target + s, target[g]);
    store(L.coefficient + s, coef[g]);
    const unsigned at = bits(attack[g]), de = bits(decay[g]), re = bits(release[g]);
    const unsigned ho = bits(holding[g]);
    for (int l = 0; l < kLanes; ++l) {
      L.state[s + l] = stateOf(at, de, re, l);
      L.holding[s + l] = (ho >> l & 1) ? -1 : 0;
    }
  }
}

void runLanes(VoiceLanes& L) {
  if (L.n <= 0 || L.count <= 0) return;
  // Voices whose cut-off, resonance and last pitch index are all the same (no key or envelope
  // tracking) have the same coefficients, sample for sample, since a voice's coefficients are
  // always those of its last index and resonance: they are computed once per sample.
  bool shared = true;
  for (int s = 1; s < L.count; ++s)
    shared = shared && L.cutoff[s] == L.cutoff[0] && L.k[s] == L.k[0] &&
             L.lastIndex[s] == L.lastIndex[0];
  // Sub-passes in slot order, so the voice sum still receives the voices in order.
  for (int first = 0; first < L.count; first += kPassSlots)
    runPass(L, first, L.count - first < kPassSlots ? L.count - first : kPassSlots, shared);
}

}  // namespace
