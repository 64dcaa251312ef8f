#include "dsp/k35.h"

#include <cmath>
#include <mutex>

#include "dsp/pitch.h"

namespace {
constexpr double kPi = 3.141592653589793238462643383279;
constexpr double kAntiDenormal = 1e-13;
constexpr double kStartRate = 44100.0;
constexpr double kPositiveFeedbackBoost = 1.17;
constexpr double kPeakToK = 1.7;
constexpr double kMinK = 0.01;
// Highest cut-off as a fraction of the rate: just below half of it, and above the top pitch
// (19912.127 Hz) at 44100 Hz, so the table only changes below about 40 kHz.
constexpr double kMaxCutoffRatio = 0.49;
}  // namespace

// Per rate: the tangent of every cut-off pitch, and the parts of the coefficients that do not
// depend on K, so a change of cut-off costs two divisions instead of four.
struct Korg35::Table {
  struct Entry {
    double alpha;     // g / (1 + g)
    double onePlusG;  // 1 + g
    double beta2;     // -1 / (1 + g)
  };

  explicit Table(double rate) : sampleRate(rate), next(nullptr) {
    const double maxHz = kMaxCutoffRatio * rate;
    for (int i = 0; i < kTableSize; ++i) {
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
  const Table* next;
  double tanW[kTableSize];
  Entry entries[kTableSize];
};
static_assert(VoiceLanes::kBoost == kPositiveFeedbackBoost &&
                  VoiceLanes::kLastFilterIndex == Korg35::kMaxIndex,
              "the wide loop's filter numbers");
static_assert(sizeof(Korg35::Table::Entry) == 3 * sizeof(double),
              "entries are read as triples of doubles");

namespace {
// The tables of every rate used so far, newest first. A filter keeps its table as long as it
// lives; the list itself is freed when the plug-in is unloaded, so hosts that load and unload
// it (scanners) get the memory back.
struct TableList {
  std::mutex lock;
  const Korg35::Table* head = nullptr;
  ~TableList() {
    while (head) {
      const Korg35::Table* t = head;
      head = t->next;
      delete t;
    }
  }
};

const Korg35::Table* findOrBuildTable(double rate) {
  static TableList tables;
  std::lock_guard<std::mutex> guard(tables.lock);
  for (const Korg35::Table* t = tables.head; t; t = t->next) {
    if (t->sampleRate == rate) return t;
  }
  Korg35::Table* t = new Korg35::Table(rate);
  t->next = tables.head;
  tables.head = t;
  return t;
}
}  // namespace

Korg35::Korg35()
    : peak(0.0),
      cutoffMod(nullptr),
      cutoff(0),
      gain(0.0),
      alpha(1.0),
      beta1(1.0),
      beta2(1.0),
      k(kMinK),
      lastIndex(-1),
      lastK(0.0),
      z1(0.0),
      z2(0.0),
      z3(0.0),
      antiDenormal(kAntiDenormal),
      table(findOrBuildTable(kStartRate)) {}

void Korg35::setSampleRate(double rate) {
  if (!(rate > 0.0) || !std::isfinite(rate)) return;
  if (table->sampleRate == rate) return;
  table = findOrBuildTable(rate);
  // The coefficients in use belong to the old rate: a K that matches nothing makes the next
  // sample compute them anew, whether or not cut-off and resonance move.
  lastK = std::nan("");
}

double Korg35::getSampleRate() const { return table->sampleRate; }

const double* Korg35::getTangentTable() const { return table->tanW; }

const double* Korg35::getCoefficientTable() const { return &table->entries[0].alpha; }

void Korg35::coefficients(const double* entries, int idx, double K, double& a, double& b1,
                          double& b2, double& G) {
  const int i = idx < 0 ? 0 : (idx > kMaxIndex ? kMaxIndex : idx);
  const double* e = entries + 3 * i;  // alpha, 1 + g, beta2
  a = e[0];
  b2 = e[2];
  b1 = (K - K * a) / e[1];
  G = 1.0 / (1.0 - K * a + K * a * a);
}

void Korg35::toLanes(VoiceLanes& L, int s, int framePos) {
  if (k != lastK) {
    lastK = k;
    lastIndex = (cutoffMod ? cutoffMod[framePos] : 0) + cutoff;
    coefficients(getCoefficientTable(), lastIndex, k, alpha, beta1, beta2, gain);
  }
  L.z1[s] = z1;
  L.z2[s] = z2;
  L.z3[s] = z3;
  L.antiDenormal[s] = antiDenormal;
  L.alpha[s] = alpha;
  L.beta1[s] = beta1;
  L.beta2[s] = beta2;
  L.gain[s] = gain;
  L.k[s] = k;
  L.lastIndex[s] = lastIndex;
  L.cutoff[s] = cutoff;
}

void Korg35::fromLanes(const VoiceLanes& L, int s) {
  z1 = L.z1[s];
  z2 = L.z2[s];
  z3 = L.z3[s];
  antiDenormal = L.antiDenormal[s];
  alpha = L.alpha[s];
  beta1 = L.beta1[s];
  beta2 = L.beta2[s];
  gain = L.gain[s];
  lastIndex = L.lastIndex[s];
}

void Korg35::update(int cutoffIndex) {
  cutoff = cutoffIndex;
  k = kPeakToK * peak + kMinK;
}

void Korg35::process(double* buffer, int n, int framePos) {
  Korg35* self = this;
  runGroup<1>(&self, &buffer, n, framePos);
}

void Korg35::processMany(Korg35* const* filters, double* const* buffers, int count, int n,
                         int framePos) {
  int i = 0;
  for (; i + kGroupSize <= count; i += kGroupSize) {
    runGroup<kGroupSize>(filters + i, buffers + i, n, framePos);
  }
  for (; i < count; ++i) runGroup<1>(filters + i, buffers + i, n, framePos);
}

// Runs N filters side by side over the same n samples. Every filter does exactly its own
// arithmetic (its result is bit for bit that of its own process call); interleaving only lets
// the processor overlap the feedback paths of independent voices.
template <int N>
void Korg35::runGroup(Korg35* const* f, double* const* buf, int n, int framePos) {
  if (n <= 0) return;
  static const int kNoOffset = 0;
  double* out[N];
  const int* mod[N];
  int stride[N];  // 0 reads the single zero offset again and again
  int base[N], last[N];
  double K[N], a[N], b1[N], b2[N], G[N], s1[N], s2[N], s3[N], ad[N];
  const double* entries[N];

  // Coefficients of filter v for pitch index idx at its resonance.
  auto recompute = [&](int v, int idx) {
    coefficients(entries[v], idx, K[v], a[v], b1[v], b2[v], G[v]);
  };

  for (int v = 0; v < N; ++v) {
    const Korg35& q = *f[v];
    out[v] = buf[v];
    mod[v] = q.cutoffMod ? q.cutoffMod + framePos : &kNoOffset;
    stride[v] = q.cutoffMod ? 1 : 0;
    entries[v] = q.getCoefficientTable();
    base[v] = q.cutoff;
    last[v] = q.lastIndex;
    K[v] = q.k;
    a[v] = q.alpha;
    b1[v] = q.beta1;
    b2[v] = q.beta2;
    G[v] = q.gain;
    s1[v] = q.z1;
    s2[v] = q.z2;
    s3[v] = q.z3;
    ad[v] = q.antiDenormal;
    // K only changes between calls: a new K forces the coefficients of the first sample.
    if (K[v] != q.lastK) {
      f[v]->lastK = K[v];
      last[v] = mod[v][0] + base[v];
      recompute(v, last[v]);
    }
  }

  for (int j = 0; j < n; ++j) {
    for (int v = 0; v < N; ++v) {
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
      const double d2 = A * (G[v] * (y1 + S) - z2);
      const double y = z2 + d2;
      s1[v] = y1 + d1;
      s2[v] = y + d2;
      const double d3 = A * (K[v] * y - z3);
      s3[v] = z3 + 2.0 * d3;
      out[v][j] = y;
    }
  }

  for (int v = 0; v < N; ++v) {
    Korg35& q = *f[v];
    q.z1 = s1[v];
    q.z2 = s2[v];
    q.z3 = s3[v];
    q.antiDenormal = ad[v];
    q.alpha = a[v];
    q.beta1 = b1[v];
    q.beta2 = b2[v];
    q.gain = G[v];
    q.lastIndex = last[v];
  }
}
