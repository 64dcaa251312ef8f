#include "tools/factory_bank/program_source.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "dsp/quenta.tuning.h"
#include "instrument/params.h"
#include "instrument/quenta.h"

namespace factory {

const char* const kTuningDirective = "Tuning";
const char* const kScalaDirective = "Scala";

namespace {

// Most list entries quoted in a message about an unknown value.
constexpr int kQuotedEntriesMax = 21;
// Controller lists show "064    Sustain Pedal On/Off"; the number before the blanks also names
// the entry.
constexpr const char* kEntryNameGap = "  ";

std::string trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  const size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool equalNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// The line without a trailing comment: "#" after a blank starts one ("Tune C#" keeps its "#").
std::string stripComment(const std::string& line) {
  for (size_t i = 1; i < line.size(); ++i)
    if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
  return line;
}

std::string where(const std::string& fileName, int line) {
  return fileName + ":" + std::to_string(line) + ": ";
}

std::string inProgram(const std::string& fileName, int line, const std::string& program) {
  return where(fileName, line) + "program \"" + program + "\": ";
}

// "A:Cutoff", "Final".
std::string qualifiedName(const Setting& s) {
  return s.blocks.empty() ? s.name : s.blocks + ":" + s.name;
}

// Block letters of a setting: one or more of A, B, C, each at most once.
bool parseBlocks(const std::string& text, std::string& blocks) {
  if (text.empty()) return false;
  for (char c : text) {
    const char up = (char)std::toupper((unsigned char)c);
    if (up < 'A' || up > 'C' || blocks.find(up) != std::string::npos) return false;
    blocks += up;
  }
  return true;
}

// A whole string that is a plain decimal number ("0.45", "-12", "+3.5").
bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  for (char c : text)
    if (!(std::isdigit((unsigned char)c) || c == '.' || c == '-' || c == '+')) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// Index of the parameter called name among [begin, end), -1 if none.
int findParam(const Quenta& plug, int begin, int end, const std::string& name) {
  for (int i = begin; i < end; ++i)
    if (name == plug.GetParam(i)->GetNameForHost()) return i;
  return -1;
}

// The entry of a list or switch parameter that text names: its display text exactly, else the
// one entry whose text matches without regard to case, else the one entry whose text starts
// with text followed by blanks. -1 if none or ambiguous.
int findEntry(const IParam& param, const std::string& text) {
  int value = 0;
  if (param.MapDisplayText(text.c_str(), &value)) return value;
  const int n = param.GetNDisplayTexts();
  int found = -1, matches = 0;
  for (int i = 0; i < n; ++i) {
    int v = 0;
    const std::string entry = param.GetDisplayTextAtIdx(i, &v);
    if (equalNoCase(trim(entry), text)) {
      found = v;
      ++matches;
    }
  }
  if (matches == 1) return found;
  found = -1;
  matches = 0;
  for (int i = 0; i < n; ++i) {
    int v = 0;
    const std::string entry = param.GetDisplayTextAtIdx(i, &v);
    const size_t gap = entry.find(kEntryNameGap);
    if (gap != std::string::npos && entry.substr(0, gap) == text) {
      found = v;
      ++matches;
    }
  }
  return matches == 1 ? found : -1;
}

std::string entryList(const IParam& param) {
  const int n = param.GetNDisplayTexts();
  if (n > kQuotedEntriesMax)
    return std::to_string(n) + " entries from \"" + param.GetDisplayTextAtIdx(0) + "\" to \"" +
           param.GetDisplayTextAtIdx(n - 1) + "\"";
  std::string s = "one of";
  for (int i = 0; i < n; ++i)
    s += std::string(i ? ", \"" : " \"") + param.GetDisplayTextAtIdx(i) + "\"";
  return s;
}

std::string numberText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%g", v);
  return buf;
}

// Sets one parameter from a setting's value. Returns an empty string or what is wrong.
std::string setValue(IParam& param, const std::string& qualified, const std::string& value) {
  if (param.GetNDisplayTexts() > 0) {
    const int entry = findEntry(param, value);
    if (entry < 0)
      return "unknown value \"" + value + "\" for " + qualified + " (" + entryList(param) + ")";
    param.Set(entry);
    return "";
  }
  double v = 0.0;
  if (!parseNumber(value, v))
    return "unknown value \"" + value + "\" for " + qualified + " (a number is expected)";
  if (param.Type() == IParam::kTypeInt && v != std::floor(v))
    return "unknown value \"" + value + "\" for " + qualified + " (a whole number is expected)";
  if (v < param.GetMin() || v > param.GetMax())
    return "value " + value + " for " + qualified + " is out of range (" +
           numberText(param.GetMin()) + " to " + numberText(param.GetMax()) + ")";
  param.Set(v);
  return "";
}

int findTuning(const std::string& name) {
  for (int t = 0; t < kNumMicroTunings; ++t)
    if (name == descMicroTuning[t]) return t;
  int found = -1, matches = 0;
  for (int t = 0; t < kNumMicroTunings; ++t)
    if (equalNoCase(name, descMicroTuning[t])) {
      found = t;
      ++matches;
    }
  return matches == 1 ? found : -1;
}

std::string tuningList() {
  std::string s;
  for (int t = 0; t < kNumMicroTunings; ++t)
    s += std::string(t ? ", \"" : "\"") + descMicroTuning[t] + "\"";
  return s;
}

// Applies a "Tuning" or "Scala" line to each of its Blocks. Returns an empty string or what is
// wrong.
std::string applyTuning(Quenta& plug, const Setting& s, const std::string& scalaDir) {
  if (s.blocks.empty())
    return s.name + " needs a Block letter (A:" + s.name + ", B:" + s.name + " or C:" + s.name +
           ")";
  if (s.name == kTuningDirective) {
    const int tuning = findTuning(s.value);
    if (tuning < 0) return "unknown tuning \"" + s.value + "\" (one of " + tuningList() + ")";
    for (char b : s.blocks)
      if (!plug.setMicroTuning(b - 'A', tuning))
        return "the tuning \"" + s.value + "\" could not be applied";
    return "";
  }
  if (s.value.find('/') != std::string::npos)
    return "Scala file \"" + s.value + "\" must be a plain file name";
  const std::string path = scalaDir.empty() ? s.value : scalaDir + "/" + s.value;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "cannot read the Scala file " + path;
  std::fclose(f);
  for (char b : s.blocks)
    if (!plug.loadMicroTuningFile(b - 'A', path.c_str()))
      return "cannot load the Scala file " + path;
  return "";
}

}  // namespace

bool parseProgramSource(const std::string& text, const std::string& fileName,
                        std::vector<ProgramSource>& programs, std::string& error) {
  programs.clear();
  std::map<std::string, int> firstLine;
  size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    const std::string raw = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNo;
    const std::string whole = trim(raw);
    // Comments between a header and its first setting describe the program.
    const bool described = !programs.empty() && programs.back().settings.empty();
    if (!whole.empty() && whole[0] == '#' && described) {
      std::string& d = programs.back().description;
      d += (d.empty() ? "" : " ") + trim(whole.substr(1));
      continue;
    }
    if (whole.empty() || whole[0] == '#') continue;
    const std::string line = trim(stripComment(whole));

    if (line[0] == '[') {
      if (line.back() != ']') {
        error = where(fileName, lineNo) + "a program header must end with \"]\"";
        return false;
      }
      const std::string name = trim(line.substr(1, line.size() - 2));
      if (name.empty()) {
        error = where(fileName, lineNo) + "empty program name";
        return false;
      }
      if ((int)name.size() > kMaxProgramNameLength) {
        error = where(fileName, lineNo) + "program name \"" + name + "\" is longer than " +
                std::to_string(kMaxProgramNameLength) + " characters";
        return false;
      }
      auto seen = firstLine.find(name);
      if (seen != firstLine.end()) {
        error = where(fileName, lineNo) + "program name \"" + name + "\" is already used at line " +
                std::to_string(seen->second);
        return false;
      }
      firstLine[name] = lineNo;
      ProgramSource p;
      p.name = name;
      p.line = lineNo;
      programs.push_back(p);
      continue;
    }

    const size_t eq = line.find('=');
    if (programs.empty()) {
      error = where(fileName, lineNo) + "setting before the first program header \"[Name]\"";
      return false;
    }
    const std::string& program = programs.back().name;
    if (eq == std::string::npos) {
      error =
          inProgram(fileName, lineNo, program) + "expected NAME = VALUE, found \"" + line + "\"";
      return false;
    }
    Setting s;
    s.line = lineNo;
    s.value = trim(line.substr(eq + 1));
    std::string left = trim(line.substr(0, eq));
    const size_t colon = left.find(':');
    if (colon != std::string::npos) {
      if (!parseBlocks(trim(left.substr(0, colon)), s.blocks)) {
        error = inProgram(fileName, lineNo, program) + "\"" + trim(left.substr(0, colon)) +
                "\" is not a Block (A, B, C or several of them, as in AB:)";
        return false;
      }
      left = trim(left.substr(colon + 1));
    }
    s.name = left;
    if (s.name.empty()) {
      error = inProgram(fileName, lineNo, program) + "missing parameter name";
      return false;
    }
    if (s.value.empty()) {
      error = inProgram(fileName, lineNo, program) + "missing value for " + qualifiedName(s);
      return false;
    }
    programs.back().settings.push_back(s);
  }
  return true;
}

bool applyProgram(Quenta& plug, const ProgramSource& program, const std::string& fileName,
                  const std::string& scalaDir, std::string& error) {
  WDL_MutexLock lock(plug.GetMutex());
  for (int i = 0; i < plug.NParams(); ++i) plug.GetParam(i)->Set(plug.GetParam(i)->GetDefault());

  for (const Setting& s : program.settings) {
    const std::string prefix = inProgram(fileName, s.line, program.name);
    if (s.name == kTuningDirective || s.name == kScalaDirective) {
      const std::string what = applyTuning(plug, s, scalaDir);
      if (!what.empty()) {
        error = prefix + what;
        return false;
      }
      continue;
    }
    if (s.blocks.empty()) {
      const int idx = findParam(plug, kFinal, plug.NParams(), s.name);
      if (idx < 0) {
        error = prefix + (findParam(plug, 0, kBlockParamCount, s.name) >= 0
                              ? "\"" + s.name + "\" is a Block parameter: write A:" + s.name +
                                    ", B:" + s.name + " or C:" + s.name
                              : "unknown parameter \"" + s.name + "\"");
        return false;
      }
      const std::string what = setValue(*plug.GetParam(idx), s.name, s.value);
      if (!what.empty()) {
        error = prefix + what;
        return false;
      }
      continue;
    }
    const int k = findParam(plug, 0, kBlockParamCount, s.name);
    if (k < 0) {
      error = prefix +
              (findParam(plug, kFinal, plug.NParams(), s.name) >= 0
                   ? "\"" + s.name + "\" is a global parameter: write it without a Block letter"
                   : "unknown parameter \"" + qualifiedName(s) + "\"");
      return false;
    }
    for (char b : s.blocks) {
      const std::string what =
          setValue(*plug.GetParam(BlockParam(b - 'A', k)), qualifiedName(s), s.value);
      if (!what.empty()) {
        error = prefix + what;
        return false;
      }
    }
  }
  // The engine follows the new values, so the program can be played right away.
  plug.OnParamReset();
  return true;
}

bool storePrograms(Quenta& plug, const std::vector<ProgramSource>& programs,
                   const std::string& fileName, const std::string& scalaDir, std::string& error) {
  WDL_MutexLock lock(plug.GetMutex());
  if ((int)programs.size() > plug.NPresets()) {
    error = fileName + ": " + std::to_string(programs.size()) +
            " programs, but the instrument holds only " + std::to_string(plug.NPresets());
    return false;
  }
  for (int i = 0; i < (int)programs.size(); ++i) {
    if (!plug.RestorePreset(i)) {
      error = fileName + ": cannot select program slot " + std::to_string(i);
      return false;
    }
    if (!applyProgram(plug, programs[(size_t)i], fileName, scalaDir, error)) return false;
    // The state carries the program's name too: name the preset first, then store it again so
    // that the stored state holds the new name.
    plug.ModifyCurrentPreset(programs[(size_t)i].name.c_str());
    plug.ModifyCurrentPreset(programs[(size_t)i].name.c_str());
  }
  if (!programs.empty()) plug.RestorePreset(0);
  return true;
}

}  // namespace factory
