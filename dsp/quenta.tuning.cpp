#include "dsp/quenta.tuning.h"

#include <locale.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "instrument/params.h"

// The temperaments' pitches are historical and measured values, not the output of one
// formula, so they are kept as data.
const double microTuning[kNumMicroTunings][kMicroTuningDegrees] = {
    {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200},
    {111.7313, 203.91, 315.6414, 386.3139, 498.0452, 582.5125, 701.9553, 813.6866, 884.3591,
     1015.96, 1088.269, 1200},
    {90.225, 193.849, 294.135, 386.314, 498.045, 590.224, 696.663, 792.18, 889.65, 996.091,
     1088.269, 1200},
    {113.685, 203.91, 294.1351, 407.8201, 498.0452, 611.7302, 701.9553, 815.6403, 905.8654,
     996.0905, 1109.775, 1200},
    {94.135, 196.09, 298.045, 392.18, 501.955, 592.18, 698.045, 796.09, 894.135, 1000, 1090.225,
     1200},
    {90.225, 192.18, 294.135, 390.225, 498.045, 588.27, 696.09, 792.18, 888.27, 996.09, 1092.18,
     1200},
    {85.72, 194.94, 305.672, 390.837, 502.067, 587.593, 696.578, 782.559, 892.091, 1003.122,
     1088.503, 1200},
    {83.576, 195.307, 307.039, 390.615, 502.346, 585.922, 697.654, 781.23, 892.961, 1004.693,
     1088.269, 1200},
    {29.85, 187.682, 256.597, 343.091, 493.957, 548.649, 684.729, 729.879, 871.949, 985.799,
     1049.363, 1200},
    {98.955, 203.91, 315.641, 394.347, 498.045, 608.352, 701.955, 800.91, 905.865, 1017.596,
     1106.397, 1200},
    {104.9554, 203.91, 315.6414, 386.3139, 498.0452, 551.3181, 701.9553, 840.528, 884.3591,
     968.8264, 1088.269, 1200},
    {104.9554, 203.91, 297.5131, 386.3139, 470.7811, 551.3181, 701.9553, 840.528, 905.8654,
     968.8264, 1088.269, 1200},
    {0, 200, 200, 500, 500, 500, 700, 700, 900, 900, 1200, 1200},
    {129, 129, 300, 300, 472, 643, 643, 814, 814, 986, 1157, 1157},
};

const char* const descMicroTuning[kNumMicroTunings] = {
    "Equal",
    "Just",
    "Kirnberger",
    "Pythagorean",
    "Valotti + Young",
    "Werckmeister III",
    "Meantone, 1/4 comma",
    "Meantone, 1/5 comma",
    "Bagpipe",
    "Chinese Lu",
    "Wendy Carlos Super Just",
    "Wendy Carlos Harmonic",
    "Pentatonic",
    "Heptatonic",
};

const int paramIndices[kMicroTuningDegrees] = {kTuneAs, kTuneB, kTuneC,  kTuneCs, kTuneD,  kTuneDs,
                                               kTuneE,  kTuneF, kTuneFs, kTuneG,  kTuneGs, kTuneA};

namespace {

constexpr int kNewline = 10;
constexpr int kPitchTokenSize = 32;
constexpr int kCountTokenSize = 16;

// Numbers are read and written in the "C" locale for as long as this object lives (on this
// thread only): a host that set a locale with a decimal comma must not change the files.
class CNumericScope {
 public:
  CNumericScope() {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
    if (cLocale) mPrevious = uselocale(cLocale);
  }
  ~CNumericScope() {
    if (mPrevious) uselocale(mPrevious);
  }
  CNumericScope(const CNumericScope&) = delete;
  CNumericScope& operator=(const CNumericScope&) = delete;

 private:
  locale_t mPrevious = (locale_t)0;
};

// atoi without its undefined behaviour: values beyond the int range saturate.
int toInt(const char* text) {
  const long v = std::strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return (int)v;
}

bool isBlank(int c) { return c == ' ' || c == '\t'; }

}  // namespace

int formatScalaCents(double cents, char* out, size_t size) {
  CNumericScope c;
  return std::snprintf(out, size, " %.5f\n", cents);
}

int ScalaScaleFile::ReadChar() {
  int c = pending;
  pending = -1;
  if (c < 0) c = std::fgetc(file);
  if (c != '\n' && c != '\r') return c < 0 ? -1 : c;
  // The other character of a two-character ending belongs to this line end; anything else
  // is the next line's first character.
  const int next = std::fgetc(file);
  const int partner = c == '\n' ? '\r' : '\n';
  if (next >= 0 && next != partner) pending = next;
  return kNewline;
}

void ScalaScaleFile::SkipLine() {
  int c;
  do c = ReadChar();
  while (c != kNewline && c != -1);
}

int ScalaScaleFile::SkipComments() {
  for (;;) {
    const int c = ReadChar();
    if (c != '!') return c;
    SkipLine();
  }
}

void ScalaScaleFile::SkipDescription() {
  const int c = SkipComments();
  if (c != kNewline && c != -1) SkipLine();
}

int ScalaScaleFile::ReadNoteCount() {
  char token[kCountTokenSize];
  if (ReadVal(token, kCountTokenSize) == 0) return 0;
  const int n = toInt(token);
  return n > 0 ? n : 0;
}

int ScalaScaleFile::ReadVal(char* buffer, int size) {
  int c = SkipComments();
  if (c == -1) return 0;
  while (isBlank(c)) c = ReadChar();
  int length = 0;
  bool fits = true;
  for (; c != kNewline && c != -1 && !isBlank(c); c = ReadChar()) {
    if (length < size - 1)
      buffer[length] = (char)c;
    else
      fits = false;
    ++length;
  }
  if (c != kNewline && c != -1) SkipLine();
  if (!fits || size <= 0) return 0;
  buffer[length] = 0;
  return length + 1;
}

double ScalaScaleFile::ReadPitch() {
  char token[kPitchTokenSize];
  if (ReadVal(token, kPitchTokenSize) == 0) return 0.0;
  CNumericScope numbers;
  double ratio;
  if (std::strchr(token, '.')) {
    ratio = std::pow(2.0, std::strtod(token, nullptr) / 1200.0);
  } else {
    const int n = toInt(token);
    if (n < 1) return 0.0;
    const char* slash = std::strchr(token, '/');
    if (slash) {
      const int d = toInt(slash + 1);
      if (d <= 0) return 0.0;
      ratio = (double)n / (double)d;
    } else {
      ratio = n;
    }
  }
  // "nan." or an overflowing cent value is no pitch.
  return std::isfinite(ratio) ? ratio : 0.0;
}
