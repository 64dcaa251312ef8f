#pragma once
// The factory bank's source: programs written as text, one setting per line, read into a list
// of programs and then played into an instrument by parameter name and display value.
//
//   [Program Name]
//   A:Cutoff = 0.45          Block parameter of Block A (AB:, ABC: set several Blocks)
//   B:Waveform = Square      list and switch parameters take their display texts
//   TVCA Src = GE3+          global parameters have no Block letter
//   A:Tuning = Just          a built-in temperament for a Block's twelve "Tune" parameters
//   B:Scala = septimal.scl   a Block's tuning read from a Scala file beside the source
//
// Blank lines and lines starting with "#" are ignored. resources/factory/programs.txt
// describes the format in full at its top.
#include <string>
#include <vector>

class Quenta;

namespace factory {

// Longest program name: what a VST 2 host shows of a program name.
constexpr int kMaxProgramNameLength = 24;

// Names of the two tuning directives.
extern const char* const kTuningDirective;
extern const char* const kScalaDirective;

// One "NAME = VALUE" line.
struct Setting {
  int line = 0;        // 1-based line in the source
  std::string blocks;  // Block letters ("A", "BC") or empty for a global parameter
  std::string name;    // parameter name, or a directive name
  std::string value;   // as written, blanks around it removed
};

struct ProgramSource {
  std::string name;
  std::string description;        // the comment lines right after the header, joined
  int line = 0;                   // line of the program's header
  std::vector<Setting> settings;  // in source order
};

// Reads the source text. fileName is used in messages only. On a line that is not a header, a
// setting, a comment or blank, on a setting before the first header, an empty or overlong
// program name or a name used twice, returns false with one message
// "<file>:<line>: <what>" (naming the program where there is one).
bool parseProgramSource(const std::string& text, const std::string& fileName,
                        std::vector<ProgramSource>& programs, std::string& error);

// Puts one program into the instrument's live parameters: every parameter back to its default,
// then each setting in source order. Parameter values are set as plain values without telling
// the engine; tunings go through the instrument's microtuning operations. Scala files are
// looked for in scalaDir. On an unknown parameter, value, temperament or an unreadable Scala
// file, returns false with "<file>:<line>: program "<name>": <what>".
bool applyProgram(Quenta& plug, const ProgramSource& program, const std::string& fileName,
                  const std::string& scalaDir, std::string& error);

// Fills the instrument's presets from the programs, preset i from program i (there must be at
// most as many programs as presets; presets beyond them are left as they are) and makes
// preset 0 current. Returns false with the message of the first program that fails.
bool storePrograms(Quenta& plug, const std::vector<ProgramSource>& programs,
                   const std::string& fileName, const std::string& scalaDir, std::string& error);

}  // namespace factory
