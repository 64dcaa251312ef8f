#include "dsp/sg.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "dsp/pitch.h"
#include "dsp/voicelanes.h"

static_assert(VoiceLanes::kPhaseMask == int32_t(SG::kPhaseMask) &&
                  VoiceLanes::kReadShift == SG::kPhaseBits - SG::kTableBits &&
                  VoiceLanes::kTableBits == SG::kTableBits &&
                  VoiceLanes::kLastTable == SG::kTableCount - 1 &&
                  VoiceLanes::kLastFreqIndex == SG::kFreqTableSize - 1,
              "the wide loop's sound generator numbers");

struct SG::FreqTable {
  double rate;
  int inc[kFreqTableSize];
};

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kCycle = double(1u << SG::kPhaseBits);

// Both wavetable sets, built once per process on first use.
struct Wavetables {
  double saw[SG::kTableCount * SG::kTableLength];
  double tri[SG::kTableCount * SG::kTableLength];

  Wavetables() {
    constexpr int L = SG::kTableLength;
    // sin and cos of 2 pi k / L; harmonic h at sample i reads entry (h * i) mod L, which is
    // sin(h * 2 pi i / L) without the argument growing with h.
    std::vector<double> sine(L), cosine(L);
    for (int k = 0; k < L; ++k) {
      sine[size_t(k)] = std::sin(kTwoPi * k / L);
      cosine[size_t(k)] = std::cos(kTwoPi * k / L);
    }
    std::vector<double> sawGain, triGain;
    for (int t = 0; t < SG::kTableCount; ++t) {
      const int harmonics = 1 << (10 - t);
      // Sawtooth partials 0.5 / h with a taper from 1 at the fundamental down to 0.54 at the
      // top harmonic; triangle partials 0.5 / h^2 on odd harmonics only.
      sawGain.assign(size_t(harmonics) + 1, 0.0);
      triGain.assign(size_t(harmonics) + 1, 0.0);
      for (int h = 1; h <= harmonics; ++h) {
        double w = 1.0;
        if (h >= 2)
          w = 0.54 + 0.46 * std::cos(double(h - 1) / double(harmonics - 1) * (kTwoPi / 4));
        sawGain[size_t(h)] = w * (0.5 / h);
        if (h & 1) triGain[size_t(h)] = 0.5 / (double(h) * h);
      }
      double* s = saw + t * L;
      double* c = tri + t * L;
      for (int i = 0; i < L; ++i) {
        double ys = 0.0, yc = 0.0;
        for (int h = 1; h <= harmonics; ++h) {
          const size_t k = size_t((h * i) & (L - 1));
          ys += sawGain[size_t(h)] * sine[k];
          if (h & 1) yc += triGain[size_t(h)] * cosine[k];
        }
        s[i] = ys;
        c[i] = yc;
      }
    }
  }
};

const Wavetables& wavetables() {
  // Built on first use; destroyed when the plug-in is unloaded, so hosts that load and unload
  // it (scanners) get their memory back.
  static const Wavetables tables;
  return tables;
}

// One immutable phase-increment table per sample rate, shared by every generator at that rate
// and freed with the last of them. Looked up only when a rate is set, never on the audio path.
struct FreqTableRegistry {
  std::mutex mutex;
  std::vector<std::weak_ptr<const SG::FreqTable>> tables;
};

FreqTableRegistry& registry() {
  // Generators hold their tables themselves, so the registry (weak references only) may go
  // away at unload before any of them.
  static FreqTableRegistry r;
  return r;
}

}  // namespace

std::shared_ptr<const SG::FreqTable> SG::acquireFreqTable(double rate) {
  FreqTableRegistry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (size_t i = 0; i < r.tables.size();) {
    std::shared_ptr<const FreqTable> t = r.tables[i].lock();
    if (!t) {
      r.tables.erase(r.tables.begin() + long(i));
      continue;
    }
    if (t->rate == rate) return t;
    ++i;
  }
  auto table = std::make_shared<FreqTable>();
  table->rate = rate;
  constexpr double kLimit = double(std::numeric_limits<int>::max());
  for (int i = 0; i < kFreqTableSize; ++i) {
    // Increments at or above 2^31 only occur far above half the sample rate at rates below
    // about 2.5 kHz; they are held at the largest int (the phase still wraps correctly).
    const double inc = pitch::toHz(i - kPitchIndexOffset) * kCycle / rate;
    table->inc[i] = inc < kLimit ? int(inc) : std::numeric_limits<int>::max();
  }
  r.tables.push_back(table);
  return table;
}

SG::SG() {
  const Wavetables& w = wavetables();
  saw = w.saw;
  tri = w.tri;
}

const double* SG::sawTables() { return wavetables().saw; }
const double* SG::triTables() { return wavetables().tri; }

void SG::setSampleRate(float rate, const int* pitchModulation) {
  if (!(rate >= 1.0f)) return;
  pitchMod = pitchModulation;
  if (!freqTable || freqTable->rate != double(rate)) {
    freqTable = acquireFreqTable(double(rate));
    freq2PhInc = freqTable->inc;
  }
  for (int k = 0; k < 12; ++k) {
    phase[k] = 0;
    increment[k] = 0;
  }
}

void SG::setWaveForm(int w) {
  waveform = w;
  useTriangle = (w == kTriangle);
  isPulse = (w >= kSquare);
  switch (w) {
    case kSquare: width = 0.5; break;
    case kRect: width = 0.3; break;
    case kPulse: width = 0.1; break;
    default: width = 0.0; break;  // "PWM" takes its width at the next update
  }
}

void SG::calcOffset() {
  for (int k = 0; k < 12; ++k) offset[k] = tune[k] + coarse + fine;
}

int SG::lookup(long long index) const {
  if (!freq2PhInc) return 0;
  if (index < 0) index = 0;
  if (index > kFreqTableSize - 1) index = kFreqTableSize - 1;
  return freq2PhInc[index];
}

void SG::update(double pwm) {
  if (waveform == kPWM) width = pwm + 0.5;
  const long long mod = pitchMod ? pitchMod[0] : 0;
  for (int k = 0; k < 12; ++k)
    increment[k] = lookup(offset[k] + kMasterIndex + mod + kUnitsPerSemitone * k);
}

namespace {

// Wavetable for an increment: log2 of the table steps per sample, so that table t (with
// 2^(10 - t) harmonics) keeps its top harmonic below half the sample rate.
inline int tableFor(int inc) {
  const unsigned steps = unsigned(inc) >> (SG::kPhaseBits - SG::kTableBits);
  if (steps < 2) return 0;
  const int t = 31 - __builtin_clz(steps);
  return t < SG::kTableCount - 1 ? t : SG::kTableCount - 1;
}

constexpr int kReadShift = SG::kPhaseBits - SG::kTableBits;

}  // namespace

// Octaves a voice's note is shifted by under the footage switch.
int SG::octaveShift() const {
  switch (octaveSwitch) {
    case k16ft: return -2;
    case k4ft: return 0;
    case k2ft: return 1;
    default: return -1;
  }
}

// The start of a voice at shifted octave o, once the tables are known to be there.
inline bool SG::startAt(int o, int pc, uint32_t& ph, uint32_t& ph2, long long& base) const {
  if (o < 0 || pc < 0 || pc > 11) return false;
  ph = o < kPhaseBits ? (phase[pc] << o) & kPhaseMask : 0;
  base = (long long)offset[pc] + (long long)kUnitsPerOctave * o + kUnitsPerSemitone * pc +
         kMasterIndex;
  // Second read a pulse width ahead; guard the conversion against absurd widths.
  const double ahead = width * kCycle + double(ph);
  ph2 = (ahead > -1e18 && ahead < 1e18) ? uint32_t((long long)ahead) & kPhaseMask : ph;
  return true;
}

bool SG::voiceStart(int octave, int pitchClass, uint32_t& ph, uint32_t& ph2,
                    long long& base) const {
  return freq2PhInc && pitchMod && startAt(octave + octaveShift(), pitchClass, ph, ph2, base);
}

void SG::voiceStarts(const int32_t* slots, int count, const int32_t* octave,
                     const int32_t* pitchClass, uint32_t* ph, uint32_t* ph2, int32_t* base,
                     int32_t* silent) const {
  constexpr long long kBaseLimit = 1ll << 30;
  const bool tables = freq2PhInc && pitchMod;
  const int shift = octaveShift();
  for (int i = 0; i < count; ++i) {
    const int s = slots[i];
    uint32_t p = 0, p2 = 0;
    long long b = 0;
    silent[s] = tables && startAt(octave[s] + shift, pitchClass[s], p, p2, b) ? 0 : -1;
    ph[s] = p;
    ph2[s] = p2;
    base[s] = int32_t(b < -kBaseLimit ? -kBaseLimit : (b > kBaseLimit ? kBaseLimit : b));
  }
}

void SG::process(double* buffer, int n, int octave, int pitchClass, int framePos) const {
  if (n <= 0) return;
  uint32_t ph = 0, ph2 = 0;
  long long base = 0;
  if (!voiceStart(octave, pitchClass, ph, ph2, base)) {
    std::memset(buffer, 0, sizeof(double) * size_t(n));
    return;
  }
  const int* mod = pitchMod + framePos;
  const int* f2i = freq2PhInc;
  const double* tables = useTriangle ? tri : saw;

  // The pitch offsets change rarely within a stretch: redo the lookup and the table choice
  // only when the offset moves.
  long long lastMod = (long long)mod[0] + 1;
  int inc = 0;
  const double* T = tables;

  if (!isPulse) {
    for (int j = 0; j < n; ++j) {
      const long long m = mod[j];
      if (m != lastMod) {
        lastMod = m;
        long long i = m + base;
        i = i < 0 ? 0 : i;
        i = i > kFreqTableSize - 1 ? kFreqTableSize - 1 : i;
        inc = f2i[i];
        T = tables + (tableFor(inc) << kTableBits);
      }
      ph = (ph + uint32_t(inc)) & kPhaseMask;
      buffer[j] = T[ph >> kReadShift];
    }
    return;
  }

  for (int j = 0; j < n; ++j) {
    const long long m = mod[j];
    if (m != lastMod) {
      lastMod = m;
      long long i = m + base;
      i = i < 0 ? 0 : i;
      i = i > kFreqTableSize - 1 ? kFreqTableSize - 1 : i;
      inc = f2i[i];
      T = tables + (tableFor(inc) << kTableBits);
    }
    ph = (ph + uint32_t(inc)) & kPhaseMask;
    ph2 = (ph2 + uint32_t(inc)) & kPhaseMask;
    buffer[j] = T[ph >> kReadShift] - T[ph2 >> kReadShift];
  }
}
