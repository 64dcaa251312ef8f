#include "dsp/k35.h"

#include <cmath>
#include <mutex>

#include "dsp/pitch.h"
#include "dsp/voicelanes.h"

namespace {
constexpr double kPi = 3.141592653589793238462643383279;
constexpr double kAntiDenormal = 1e-13;
constexpr double kStartRate = 44100.0;
// Highest cut-off as a fraction of the rate: just below half of it, and above the top pitch
// (19912.127 Hz) at 44100 Hz, so the table only changes below about 40 kHz.
constexpr double kMaxCutoffRatio = 0.49;
}  // namespace

// Per rate: the tangent of every cut-off pitch, and the parts of the coefficients that do not
// depend on K, so a change of cut-off costs two divisions instead of four.
struct Korg35Table {
  static constexpr int kSize = Korg35::kTableSize;
  struct Entry {
    double alpha;     // g / (1 + g)
    double onePlusG;  // 1 + g
    double beta2;     // -1 / (1 + g)
  };

  explicit Korg35Table(double rate) : sampleRate(rate), next(nullptr) {
    const double maxHz = kMaxCutoffRatio * rate;
    for (int i = 0; i < kSize; ++i) {
      double hz = pitch::toHz(i);
      if (hz > maxHz) hz = maxHz;
      const double g = std::tan(kPi * hz / rate);
      tanW[i] = g;
      entries[i].alpha = g / (1.0 + g);
      entries[i].onePlusG = 1.0 + g;
      entries[i].beta2 = -1.0 / (1.0 + g);
    }
  }

  double sampleRate;
  const Korg35Table* next;
  double tanW[kSize];
  Entry entries[kSize];
};
static_assert(VoiceLanes::kBoost == Korg35::kPositiveFeedbackBoost &&
                  VoiceLanes::kLastFilterIndex == Korg35::kMaxIndex,
              "the wide loop's filter numbers");
static_assert(sizeof(Korg35Table::Entry) == 3 * sizeof(double),
              "entries are read as triples of doubles");

namespace {
// The tables of every rate used so far, newest first. A filter keeps its table as long as it
// lives; the list itself is freed when the plug-in is unloaded, so hosts that load and unload
// it (scanners) get the memory back.
struct TableList {
  std::mutex lock;
  const Korg35Table* head = nullptr;
  ~TableList() {
    while (head) {
      const Korg35Table* t = head;
      head = t->next;
      delete t;
    }
  }
};

const Korg35Table* findOrBuildTable(double rate) {
  static TableList tables;
  std::lock_guard<std::mutex> guard(tables.lock);
  for (const Korg35Table* t = tables.head; t; t = t->next) {
    if (t->sampleRate == rate) return t;
  }
  Korg35Table* t = new Korg35Table(rate);
  t->next = tables.head;
  tables.head = t;
  return t;
}
}  // namespace

template <int N>
Korg35Lanes<N>::Korg35Lanes() : cutoffMod(nullptr), table(findOrBuildTable(kStartRate)) {
  for (int s = 0; s < N; ++s) {
    z1[s] = z2[s] = z3[s] = 0.0;
    antiDenormal[s] = kAntiDenormal;
    alpha[s] = beta1[s] = beta2[s] = 1.0;
    gain[s] = 0.0;
    k[s] = kMinK;
    lastK[s] = 0.0;
    lastIndex[s] = -1;
    cutoff[s] = 0;
  }
}

template <int N>
void Korg35Lanes<N>::setSampleRate(double rate) {
  if (!(rate > 0.0) || !std::isfinite(rate)) return;
  if (table->sampleRate == rate) return;
  table = findOrBuildTable(rate);
  // The coefficients in use belong to the old rate: a K that matches nothing makes the next
  // sample compute them anew, whether or not cut-off and resonance move.
  for (int s = 0; s < N; ++s) lastK[s] = std::nan("");
}

template <int N>
double Korg35Lanes<N>::getSampleRate() const {
  return table->sampleRate;
}

template <int N>
const double* Korg35Lanes<N>::getTangentTable() const {
  return table->tanW;
}

template <int N>
const double* Korg35Lanes<N>::getCoefficientTable() const {
  return &table->entries[0].alpha;
}

template <int N>
void Korg35Lanes<N>::coefficients(const double* entries, int idx, double K, double& a, double& b1,
                                  double& b2, double& G) {
  const int i = idx < 0 ? 0 : (idx > kMaxIndex ? kMaxIndex : idx);
  const double* e = entries + 3 * i;  // alpha, 1 + g, beta2
  a = e[0];
  b2 = e[2];
  b1 = (K - K * a) / e[1];
  G = 1.0 / (1.0 - K * a + K * a * a);
}

// K only changes between stretches: a new K forces the coefficients of the first sample.
template <int N>
void Korg35Lanes<N>::resonanceMoved(int s, int framePos) {
  lastK[s] = k[s];
  lastIndex[s] = (cutoffMod ? cutoffMod[framePos] : 0) + cutoff[s];
  coefficients(getCoefficientTable(), lastIndex[s], k[s], alpha[s], beta1[s], beta2[s], gain[s]);
}

template <int N>
void Korg35Lanes<N>::prepareMany(const int* slots, int count, int framePos) {
  for (int i = 0; i < count; ++i) prepare(slots[i], framePos);
}

template <int N>
void Korg35Lanes<N>::processMany(const int* slots, double* const* buffers, int count, int n,
                                 int framePos) {
  Korg35Lanes* const sets[kGroupSize] = {this, this, this, this};
  int i = 0;
  for (; i + kGroupSize <= count; i += kGroupSize)
    runGroup<kGroupSize>(sets, slots + i, buffers + i, n, framePos);
  for (; i < count; ++i) runGroup<1>(sets, slots + i, buffers + i, n, framePos);
}

// Every filter does exactly its own arithmetic (its result is bit for bit that of the filter
// alone); interleaving only lets the processor overlap the feedback paths of independent
// filters. The state is copied into locals, run, and written back once.
template <int N>
template <int G>
void Korg35Lanes<N>::runGroup(Korg35Lanes* const* sets, const int* slots, double* const* buf, int n,
                              int framePos) {
  if (n <= 0) return;
  static const int kNoOffset = 0;
  double* out[G];
  const int* mod[G];
  int stride[G];  // 0 reads the single zero offset again and again
  int base[G], last[G];
  double K[G], a[G], b1[G], b2[G], gn[G], s1[G], s2[G], s3[G], ad[G];
  const double* entries[G];

  // Coefficients of filter v for pitch index idx at its resonance.
  auto recompute = [&](int v, int idx) {
    coefficients(entries[v], idx, K[v], a[v], b1[v], b2[v], gn[v]);
  };

  for (int v = 0; v < G; ++v) {
    Korg35Lanes& q = *sets[v];
    const int s = slots[v];
    q.prepare(s, framePos);
    out[v] = buf[v];
    mod[v] = q.cutoffMod ? q.cutoffMod + framePos : &kNoOffset;
    stride[v] = q.cutoffMod ? 1 : 0;
    entries[v] = q.getCoefficientTable();
    base[v] = q.cutoff[s];
    last[v] = q.lastIndex[s];
    K[v] = q.k[s];
    a[v] = q.alpha[s];
    b1[v] = q.beta1[s];
    b2[v] = q.beta2[s];
    gn[v] = q.gain[s];
    s1[v] = q.z1[s];
    s2[v] = q.z2[s];
    s3[v] = q.z3[s];
    ad[v] = q.antiDenormal[s];
  }

  for (int j = 0; j < n; ++j) {
    for (int v = 0; v < G; ++v) {
      const int idx = mod[v][j * stride[v]] + base[v];
      if (idx != last[v]) {
        last[v] = idx;
        recompute(v, idx);
      }

      // Anti-denormal offset on input and states; anything that is not a finite number
      // becomes 0 (v - v is 0 exactly for finite v). One rarely taken branch tests the three
      // states together, which keeps the tests off the feedback path.
      double x = out[v][j] + ad[v];
      x = x - x == 0.0 ? x : 0.0;
      double z1 = s1[v] + ad[v];
      double z2 = s2[v] + ad[v];
      double z3 = s3[v] + ad[v];
      const double any = z1 + z2 + z3;
      if (__builtin_expect(!(any - any == 0.0), 0)) {
        if (!(z1 - z1 == 0.0)) z1 = 0.0;
        if (!(z2 - z2 == 0.0)) z2 = 0.0;
        if (!(z3 - z3 == 0.0)) z3 = 0.0;
      }
      ad[v] = -ad[v];

      const double A = a[v];
      const double d1 = A * (x - z1);
      const double y1 = z1 + d1;
      // Positive feedback is boosted by 1.17. For every S, 1.17 S is above S exactly when S
      // is positive, so the larger of the two is the boosted sum without a branch on the sign.
      double S = b1[v] * z2 + b2[v] * z3;
      const double boosted = kPositiveFeedbackBoost * S;
      S = boosted > S ? boosted : S;
      const double d2 = A * (gn[v] * (y1 + S) - z2);
      const double y = z2 + d2;
      s1[v] = y1 + d1;
      s2[v] = y + d2;
      const double d3 = A * (K[v] * y - z3);
      s3[v] = z3 + 2.0 * d3;
      out[v][j] = y;
    }
  }

  for (int v = 0; v < G; ++v) {
    Korg35Lanes& q = *sets[v];
    const int s = slots[v];
    q.z1[s] = s1[v];
    q.z2[s] = s2[v];
    q.z3[s] = s3[v];
    q.antiDenormal[s] = ad[v];
    q.alpha[s] = a[v];
    q.beta1[s] = b1[v];
    q.beta2[s] = b2[v];
    q.gain[s] = gn[v];
    q.lastIndex[s] = last[v];
  }
}

template class Korg35Lanes<1>;
template class Korg35Lanes<VoiceLanes::kSlots>;

void Korg35::process(double* buffer, int n, int framePos) {
  Korg35Lanes* self = this;
  static const int kSlot = 0;
  runGroup<1>(&self, &kSlot, &buffer, n, framePos);
}

void Korg35::processMany(Korg35* const* filters, double* const* buffers, int count, int n,
                         int framePos) {
  static const int kSlots[kGroupSize] = {};
  Korg35Lanes* sets[kGroupSize];
  int i = 0;
  for (; i + kGroupSize <= count; i += kGroupSize) {
    for (int v = 0; v < kGroupSize; ++v) sets[v] = filters[i + v];
    runGroup<kGroupSize>(sets, kSlots, buffers + i, n, framePos);
  }
  for (; i < count; ++i) {
    sets[0] = filters[i];
    runGroup<1>(sets, kSlots, buffers + i, n, framePos);
  }
}
