#pragma once
// Microtuning: the built-in temperaments and the reader of Scala scale files (.scl).
//
// A temperament is twelve pitches in cents above A, one per scale degree 1 .. 12 (degree 12
// is the octave). Degree k + 1 is tuned by the Block parameter paramIndices[k] ("Tune A#" for
// degree 1, "Tune B" for degree 2, "Tune C" for degree 3, ... "Tune A" for degree 12), whose
// value is the degree's deviation from equal temperament: cents - 100 * (k + 1).
//
// Numbers in scale files always use "." as decimal point, whatever the process locale says.
#include <cstddef>
#include <cstdio>

enum {
  kNumMicroTunings = 14,
  kMicroTuningDegrees = 12,
};

// Pitches in cents of degrees 1 .. 12 above A, in menu order.
extern const double microTuning[kNumMicroTunings][kMicroTuningDegrees];
// Menu texts of the temperaments.
extern const char* const descMicroTuning[kNumMicroTunings];
// Block-relative parameter index of each degree.
extern const int paramIndices[kMicroTuningDegrees];

// Deviation from equal temperament, in cents, that temperament `tuning` gives degree k + 1.
inline double microTuningDeviation(int tuning, int k) {
  return microTuning[tuning][k] - 100.0 * (k + 1);
}

// Writes one pitch line of a scale file: a space and the cents with five decimals, then LF.
// Returns the length written (as snprintf), the text cut to size - 1 characters.
int formatScalaCents(double cents, char* out, size_t size);

// Reads a Scala scale file line by line from an open stream (owned by the caller). LF, CR,
// CR LF and LF CR each end one line.
class ScalaScaleFile {
 public:
  explicit ScalaScaleFile(FILE* f) : file(f) {}

  // Called at the start of a line: skips every line beginning with "!" and returns the first
  // character of the next line (10 for an empty line), or -1 at the end of the file.
  int SkipComments();

  // Reads the next line that is not a comment and keeps its first token (spaces and tabs
  // around it and everything after it ignored) in buffer, NUL-terminated. Returns the token's
  // length + 1 (1 for an empty line), or 0 at the end of the file or when the token has size
  // or more characters. The whole line is consumed either way.
  int ReadVal(char* buffer, int size);

  // Reads the next pitch line as a frequency ratio: a token with "." is cents, otherwise an
  // integer ratio "n/d" or a bare integer "n". Returns 0.0 for a missing or invalid pitch.
  double ReadPitch();

  // Skips the description: the first line that does not begin with "!".
  void SkipDescription();

  // Reads the note count line (a token of at most 15 characters). Returns the count, or 0
  // when the line is missing, too long, not a number or not positive.
  int ReadNoteCount();

  // Skips the rest of the current line (the line ending included).
  void SkipLine();

 private:
  // Next character with every line ending read as one 10; -1 at the end of the file.
  int ReadChar();

  FILE* file;
  int pending = -1;  // character read ahead while looking for a two-character line ending
};
