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
//
// A pass loads its voices' state from their slots (whole registers where the voices sit in
// consecutive slots, lane by lane otherwise), keeps it in registers for the stretch and stores
// it back once.
#include "dsp/voicelanes.h"

namespace {

using namespace lanes;

// Registers run side by side: enough independent filters to hide the latency of one filter's
// feedback path, few enough that their state stays in registers (16 of them for AVX2).
constexpr int kGroups = KERNEL_GROUPS;
constexpr int kPassSlots = kGroups * kLanes;
static_assert(kLanes <= VoiceLanes::kMaxLanes, "lanes.h and the lanes agree on the widest lanes");

constexpr int32_t kPhaseMask = VoiceLanes::kPhaseMask;
constexpr int kReadShift = VoiceLanes::kReadShift;
constexpr int kTableBits = VoiceLanes::kTableBits;
constexpr int32_t kLastTable = VoiceLanes::kLastTable;
constexpr int32_t kLastFreqIndex = VoiceLanes::kLastFreqIndex;
constexpr int32_t kLastFilterIndex = VoiceLanes::kLastFilterIndex;
constexpr double kBoost = VoiceLanes::kBoost;
constexpr double kEnvelopeFloor = VoiceLanes::kEnvelopeFloor;
enum {
  kIdle = VoiceLanes::kIdle,
  kAttack = VoiceLanes::kAttack,
  kDecay = VoiceLanes::kDecay,
  kRelease = VoiceLanes::kRelease
};

// Adds the contributions of a pass's count voices for one chunk of kLanes samples, held in
// rows (one row per sample, one column per voice of the pass), to out[0 .. kLanes).
inline void addChunk(const double* rows, int count, double* out) {
  D acc = load(out);
  for (int g = 0; g < kGroups && g * kLanes < count; ++g) {
    D col[kLanes];
    for (int r = 0; r < kLanes; ++r) col[r] = load(rows + r * kPassSlots + g * kLanes);
    transpose(col);
    for (int l = 0; l < kLanes && g * kLanes + l < count; ++l) acc = add(acc, col[l]);
  }
  store(out, acc);
}

// The same for the last rows < kLanes of a stretch, sample by sample.
inline void addRows(const double* rows, int count, double* out, int n) {
  for (int r = 0; r < n; ++r)
    for (int v = 0; v < count; ++v) out[r] += rows[r * kPassSlots + v];
}

// The slots of one register's voices: whole-register loads and stores where they are
// kLanes consecutive slots, one lane at a time otherwise (lanes past the last voice read the
// spare slot and store nothing).
struct Group {
  int32_t slot[kLanes];
  int voices;  // lanes holding a voice
  bool run;    // kLanes voices in consecutive slots from slot[0]
  I index;

  void init(const VoiceLanes& L, int first) {
    voices = 0;
    for (int l = 0; l < kLanes; ++l) {
      const bool voice = first + l < L.count;
      slot[l] = voice ? L.active[first + l] : int32_t(VoiceLanes::kSpare);
      voices += voice ? 1 : 0;
    }
    run = voices == kLanes && slot[kLanes - 1] - slot[0] == kLanes - 1;
    index = loadI(slot);
  }
  D get(const double* p) const { return run ? load(p + slot[0]) : gather(p, index); }
  I getI(const int32_t* p) const { return run ? loadI(p + slot[0]) : gatherI(p, index); }
  M flag(const int32_t* p) const { return andNot(eqI(getI(p), set1I(0)), fromBits(0xFFu)); }
  void put(double* p, D v) const {
    if (run) {
      store(p + slot[0], v);
      return;
    }
    alignas(64) double t[kLanes];
    store(t, v);
    for (int l = 0; l < voices; ++l) p[slot[l]] = t[l];
  }
  void putI(int32_t* p, I v) const {
    if (run) {
      storeI(p + slot[0], v);
      return;
    }
    alignas(64) int32_t t[kLanes];
    storeI(t, v);
    for (int l = 0; l < voices; ++l) p[slot[l]] = t[l];
  }
};

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

// Segment codes from the segment masks, and 1 / 0 from a flag mask, lane by lane.
I statesOf(M attack, M decay, M release) {
  const unsigned at = bits(attack), de = bits(decay), re = bits(release);
  alignas(64) int32_t t[kLanes];
  for (int l = 0; l < kLanes; ++l)
    t[l] = (at >> l & 1) ? kAttack : (de >> l & 1) ? kDecay : (re >> l & 1) ? kRelease : kIdle;
  return loadI(t);
}
I flagsOf(M m) {
  const unsigned b = bits(m);
  alignas(64) int32_t t[kLanes];
  for (int l = 0; l < kLanes; ++l) t[l] = int32_t(b >> l & 1);
  return loadI(t);
}

// One pass: the voices at positions first .. first + count - 1 (count <= kPassSlots) of the
// stretch's list.
void runPass(VoiceLanes& L, int first, int count, bool shared) {
  const int n = L.n;
  const D zero = set1(0.0), one = set1(1.0), two = set1(2.0), boost = set1(kBoost);
  const D floorLevel = set1(kEnvelopeFloor);
  const I phaseMask = set1I(kPhaseMask);
  const M all = fromBits(0xFFu);
  Korg35Lanes<VoiceLanes::kSlots>& F = L.filter;
  EMLanes<VoiceLanes::kSlots>& E = L.envelope;

  // The pass's state from its slots into registers.
  Group group[kGroups];
  for (int g = 0; g < kGroups; ++g) group[g].init(L, first + g * kLanes);
  D z1[kGroups], z2[kGroups], z3[kGroups], ad[kGroups];
  D a[kGroups], b1[kGroups], b2[kGroups], gn[kGroups], k[kGroups];
  I last[kGroups], cutoff[kGroups];
  I ph[kGroups], ph2[kGroups], pitchBase[kGroups], inc[kGroups], table[kGroups];
  M silent[kGroups];
  D value[kGroups], previous[kGroups], target[kGroups], coef[kGroups], keyGain[kGroups];
  M attack[kGroups], decay[kGroups], release[kGroups], holding[kGroups], holdSet[kGroups],
      holdEnd[kGroups];
  const unsigned used = (1u << count) - 1;
  // Envelopes that all sit still skip their steps (the steps would only copy the level into
  // the previous one): idle or settled on their sustain level to the last bit, with no hold
  // about to engage or end. Nor will any later step of the stretch move them, since they all
  // start alike.
  bool steady = true;
  _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
    const Group& G = group[g];
    z1[g] = G.get(F.z1);
    z2[g] = G.get(F.z2);
    z3[g] = G.get(F.z3);
    ad[g] = G.get(F.antiDenormal);
    a[g] = G.get(F.alpha);
    b1[g] = G.get(F.beta1);
    b2[g] = G.get(F.beta2);
    gn[g] = G.get(F.gain);
    k[g] = G.get(F.k);
    last[g] = G.getI(F.lastIndex);
    cutoff[g] = G.getI(F.cutoff);
    ph[g] = G.getI(reinterpret_cast<const int32_t*>(L.phase));
    ph2[g] = G.getI(reinterpret_cast<const int32_t*>(L.phase2));
    pitchBase[g] = G.getI(L.pitchBase);
    inc[g] = table[g] = set1I(0);
    silent[g] = G.flag(L.silent);
    value[g] = G.get(E.value);
    previous[g] = G.get(E.previous);
    target[g] = G.get(E.target);
    coef[g] = G.get(E.coefficient);
    keyGain[g] = G.get(L.keyGain);
    const I state = G.getI(E.state);
    attack[g] = eqI(state, set1I(kAttack));
    decay[g] = eqI(state, set1I(kDecay));
    release[g] = eqI(state, set1I(kRelease));
    holding[g] = G.flag(E.holding);
    holdSet[g] = G.flag(E.holdSet);
    holdEnd[g] = G.flag(E.holdEnd);

    const M holdMoves = either(andNot(holding[g], holdSet[g]), both(holdEnd[g], holding[g]));
    const D next = add(value[g], mul(sub(target[g], value[g]), coef[g]));
    const M settled = andNot(either(le(next, zero), lt(next, floorLevel)),
                             both(decay[g], sameBits(next, value[g])));
    const M idle = andNot(either(attack[g], either(decay[g], release[g])), all);
    const unsigned still = bits(andNot(holdMoves, either(idle, settled)));
    const unsigned mine = (used >> (g * kLanes)) & ((1u << kLanes) - 1);
    steady = steady && (still & mine) == mine;
  }

  D sa = zero, sb1 = zero, sb2 = zero, sgn = zero;
  bool stepped = false;
  alignas(64) double rows[kLanes * kPassSlots];

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
          // Every voice of the stretch has the same index and resonance: one set of
          // coefficients.
          if (g == 0) {
            const int s = L.active[0];
            sharedCoefficients(L, cm + F.cutoff[s], F.k[s], sa, sb1, sb2, sgn);
          }
          a[g] = sa;
          b1[g] = sb1;
          b2[g] = sb2;
          gn[g] = sgn;
        } else {
          const M moved = andNot(eqI(idx, last[g]), all);
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
      if (__builtin_expect(bits(eq(sub(any, any), zero)) != bits(all), 0)) {
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

      store(rows + row * kPassSlots + g * kLanes, mul(mul(y, value[g]), keyGain[g]));
    }
    if (++row == kLanes) {
      addChunk(rows, count, L.voiceSum + j + 1 - kLanes);
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
    // scalar path, in their slots.
    _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
      const Group& G = group[g];
      G.put(E.value, value[g]);
      G.put(E.previous, previous[g]);
      G.put(E.target, target[g]);
      G.put(E.coefficient, coef[g]);
      G.putI(E.state, statesOf(attack[g], decay[g], release[g]));
      G.putI(E.holding, flagsOf(holding[g]));
    }
    for (int v = first; v < first + count; ++v) stepEnvelopeSlot(L, L.active[v]);
    _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
      const Group& G = group[g];
      value[g] = G.get(E.value);
      previous[g] = G.get(E.previous);
      target[g] = G.get(E.target);
      coef[g] = G.get(E.coefficient);
      const I state = G.getI(E.state);
      attack[g] = eqI(state, set1I(kAttack));
      decay[g] = eqI(state, set1I(kDecay));
      release[g] = eqI(state, set1I(kRelease));
      holding[g] = G.flag(E.holding);
    }
  }
  addRows(rows, count, L.voiceSum + n - row, row);

  // Registers back into the slots.
  _Pragma("GCC unroll 4") for (int g = 0; g < kGroups; ++g) {
    const Group& G = group[g];
    if (G.voices == 0) continue;
    if (stepped)
      previous[g] = select(either(attack[g], either(decay[g], release[g])), previous[g], value[g]);
    G.put(F.z1, z1[g]);
    G.put(F.z2, z2[g]);
    G.put(F.z3, z3[g]);
    G.put(F.antiDenormal, ad[g]);
    G.put(F.alpha, a[g]);
    G.put(F.beta1, b1[g]);
    G.put(F.beta2, b2[g]);
    G.put(F.gain, gn[g]);
    G.putI(F.lastIndex, last[g]);
    G.put(E.value, value[g]);
    G.put(E.previous, previous[g]);
    G.put(E.target, target[g]);
    G.put(E.coefficient, coef[g]);
    G.putI(E.state, statesOf(attack[g], decay[g], release[g]));
    G.putI(E.holding, flagsOf(holding[g]));
  }
}

void runLanes(VoiceLanes& L) {
  if (L.n <= 0 || L.count <= 0) return;
  // Voices whose cut-off, resonance and last pitch index are all the same (no key or envelope
  // tracking) have the same coefficients, sample for sample, since a voice's coefficients are
  // always those of its last index and resonance: they are computed once per sample.
  const Korg35Lanes<VoiceLanes::kSlots>& F = L.filter;
  const int s0 = L.active[0];
  bool shared = true;
  for (int v = 1; v < L.count; ++v) {
    const int s = L.active[v];
    shared = shared && F.cutoff[s] == F.cutoff[s0] && F.k[s] == F.k[s0] &&
             F.lastIndex[s] == F.lastIndex[s0];
  }
  // Passes in list order, so the voice sum still receives the voices in order.
  for (int first = 0; first < L.count; first += kPassSlots)
    runPass(L, first, L.count - first < kPassSlots ? L.count - first : kPassSlots, shared);
}

}  // namespace
