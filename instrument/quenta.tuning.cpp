// Microtuning of a Block: the built-in temperaments, recognising which one a Block is tuned
// to, and exchanging a Block's tuning with Scala scale files. Values go through the editor's
// path (SetParameterFromGUI), so the host hears of every change and the engine follows.
#include <cmath>
#include <cstdio>
#include <string>

#include "base/tempfile.h"
#include "dsp/quenta.tuning.h"
#include "instrument/quenta.h"

namespace {

// Largest difference in cents at which a Block still counts as tuned to a temperament.
constexpr double kMatchCents = 1e-5;

bool isBlock(int block) { return block >= 0 && block < kNumBlocks; }

// Sets the tune parameter of degree k + 1 of a Block to a deviation in cents; a deviation
// beyond the parameter's range becomes the range's end.
void setDeviation(IPlugBase& plug, int block, int k, double cents) {
  const int idx = BlockParam(block, paramIndices[k]);
  plug.SetParameterFromGUI(idx, plug.GetParam(idx)->GetNormalized(cents));
}

// The part of a path after its last "/" or "\", with line breaks made spaces so that the
// name stays on its comment line.
std::string baseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  std::string name(base);
  for (char& c : name)
    if (c == '\n' || c == '\r') c = ' ';
  return name;
}

}  // namespace

bool Quenta::setMicroTuning(int block, int tuning) {
  if (!isBlock(block) || tuning < 0 || tuning >= kNumMicroTunings) return false;
  WDL_MutexLock lock(&mMutex);
  for (int k = 0; k < kMicroTuningDegrees; ++k)
    setDeviation(*this, block, k, microTuningDeviation(tuning, k));
  DirtyParameters();
  RedrawParamControls();
  return true;
}

int Quenta::getMicroTuning(int block) const {
  if (!isBlock(block)) return -1;
  for (int t = 0; t < kNumMicroTunings; ++t) {
    int k = 0;
    while (k < kMicroTuningDegrees &&
           std::fabs(GetParam(BlockParam(block, paramIndices[k]))->Value() -
                     microTuningDeviation(t, k)) <= kMatchCents)
      ++k;
    if (k == kMicroTuningDegrees) return t;
  }
  return -1;
}

bool Quenta::loadMicroTuningFile(int block, const char* path) {
  if (!isBlock(block) || !path || !path[0]) return false;
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  // The whole file is read before anything changes, and without holding the plug-in mutex,
  // so that the audio thread never waits for the disk.
  double ratios[kMicroTuningDegrees];
  int count = 0;
  {
    ScalaScaleFile scl(f);
    scl.SkipDescription();
    const int notes = scl.ReadNoteCount();
    count = notes < kMicroTuningDegrees ? notes : kMicroTuningDegrees;
    for (int k = 0; k < count; ++k) ratios[k] = scl.ReadPitch();
  }
  // A stream that cannot be read (a folder, an I/O error) is no scale file, and neither is a
  // file without a usable note count: both are refused without changing anything.
  const bool readable = !std::ferror(f);
  std::fclose(f);
  if (!readable || count <= 0) return false;

  WDL_MutexLock lock(&mMutex);
  for (int k = 0; k < count; ++k)
    if (ratios[k] > 0.0)
      setDeviation(*this, block, k, 1200.0 * std::log2(ratios[k]) - 100.0 * (k + 1));
  DirtyParameters();
  RedrawParamControls();
  return true;
}

bool Quenta::saveMicroTuningFile(int block, const char* path) {
  if (!isBlock(block) || !path || !path[0]) return false;
  std::string text = "! " + baseName(path) + "\n!\nQuenta Tuning Export\n 12\n!\n";
  {
    WDL_MutexLock lock(&mMutex);
    ModifyCurrentPreset();
    for (int k = 0; k < kMicroTuningDegrees; ++k) {
      char line[64];
      formatScalaCents(100.0 * (k + 1) + GetParam(BlockParam(block, paramIndices[k]))->Value(),
                       line, sizeof line);
      text += line;
    }
  }
  return ReplaceFile(path, text.data(), text.size());
}
