#include "tools/quenta_render/param_access.h"

#include <strings.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qrender {
namespace {

// Normalised steps used to find a list parameter's entries: enough for lists of several hundred.
constexpr int kProbeSteps = 1024;
constexpr size_t kListedTextsMax = 12;

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// A whole string that is a finite decimal number (surrounding blanks allowed). decimals receives
// the number of digits after the point.
bool parseNumber(const std::string& text, double& value, int* decimals = nullptr) {
  std::string s = trim(text);
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  for (char c : s)
    if (!(std::isdigit((unsigned char)c) || c == '.' || c == '-' || c == '+'))
      return false;  // no "1e3", "inf"
  value = v;
  if (decimals) {
    size_t dot = s.find('.');
    *decimals = dot == std::string::npos ? 0 : (int)(s.size() - dot - 1);
  }
  return true;
}

bool equalNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string qualified(int index, const std::string& name) {
  char letter = blockLetterOf(index);
  return letter ? std::string(1, letter) + ":" + name : name;
}

// Index of name within [begin, end): exact match, else the one case-insensitive match; -1 if none
// or ambiguous.
int findIn(const std::vector<std::string>& names, int begin, int end, const std::string& name) {
  for (int i = begin; i < end; ++i)
    if (names[(size_t)i] == name) return i;
  int found = -1;
  for (int i = begin; i < end; ++i) {
    if (equalNoCase(names[(size_t)i], name)) {
      if (found >= 0) return -1;
      found = i;
    }
  }
  return found;
}

bool setFromString(PluginHost& host, int index, const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return host.dispatch(effString2Parameter, index, 0, buf.data()) != 0;
}

std::string quoteList(const std::vector<std::string>& texts) {
  std::string s;
  if (texts.size() <= kListedTextsMax) {
    s = "one of";
    for (size_t i = 0; i < texts.size(); ++i) s += (i ? ", \"" : " \"") + texts[i] + "\"";
  } else {
    s = "one of " + std::to_string(texts.size()) + " texts from \"" + texts.front() + "\" to \"" +
        texts.back() + "\" (see --list-params)";
  }
  return s + ", or an entry number 0 to " + std::to_string(texts.size() - 1);
}

}  // namespace

char blockLetterOf(int index) {
  return index >= 0 && index < kFirstGlobalParam ? (char)('A' + index / kParamsPerBlock) : 0;
}

int resolveParam(const std::vector<std::string>& names, const ParamAssignment& a,
                 std::string& error) {
  int n = (int)names.size();
  int globalsBegin = n < kFirstGlobalParam ? n : kFirstGlobalParam;
  if (a.block) {
    int b = a.block - 'A';
    int begin = b * kParamsPerBlock, end = begin + kParamsPerBlock;
    if (end > globalsBegin) end = globalsBegin;
    int idx = begin < end ? findIn(names, begin, end, a.name) : -1;
    if (idx >= 0) return idx;
    if (findIn(names, globalsBegin, n, a.name) >= 0)
      error = "--set \"" + a.text + "\": \"" + a.name +
              "\" is a global parameter, give it without a Block letter";
    else
      error = "--set \"" + a.text + "\": unknown parameter " + std::string(1, a.block) + ":" +
              a.name + " (see --list-params)";
    return -1;
  }
  int idx = findIn(names, globalsBegin, n, a.name);
  if (idx >= 0) return idx;
  if (globalsBegin > 0 &&
      findIn(names, 0, globalsBegin < kParamsPerBlock ? globalsBegin : kParamsPerBlock, a.name) >=
          0)
    error = "--set \"" + a.text + "\": \"" + a.name + "\" is a Block parameter, write A:" + a.name +
            ", B:" + a.name + " or C:" + a.name;
  else
    error = "--set \"" + a.text + "\": unknown parameter \"" + a.name + "\" (see --list-params)";
  return -1;
}

std::vector<std::string> probeDisplayTexts(PluginHost& host, int index) {
  std::vector<std::string> texts;
  for (int i = 0; i <= kProbeSteps; ++i) {
    host.setParameter(index, (float)((double)i / kProbeSteps));
    std::string d = host.paramDisplay(index);
    double unused;
    if (parseNumber(d, unused)) return {};  // shows numbers: not a list
    if (texts.empty() || texts.back() != d) texts.push_back(d);
  }
  return texts;
}

bool applyAssignment(PluginHost& host, int index, const ParamAssignment& a, std::string& error) {
  const std::string where = "--set \"" + a.text + "\": ";
  float original = host.getParameter(index);
  auto fail = [&](const std::string& what) {
    host.setParameter(index, original);
    error = where + what;
    return false;
  };

  // The two ends of the range, in the parameter's display units.
  host.setParameter(index, 0.0f);
  std::string lowText = host.paramDisplay(index);
  host.setParameter(index, 1.0f);
  std::string highText = host.paramDisplay(index);
  double low, high;
  int lowDecimals = 0, highDecimals = 0;
  bool numeric =
      parseNumber(lowText, low, &lowDecimals) && parseNumber(highText, high, &highDecimals);

  if (numeric) {
    double v;
    if (!parseNumber(a.value, v)) return fail("\"" + a.value + "\" is not a number");
    if (low > high) std::swap(low, high);  // parameters shown negated
    // The ends are shown rounded: allow half a unit of their last decimal.
    int decimals = lowDecimals > highDecimals ? lowDecimals : highDecimals;
    double tolerance = 0.5 * std::pow(10.0, -decimals);
    if (v < low - tolerance || v > high + tolerance)
      return fail(trim(a.value) + " is out of range (" + trim(lowText) + " to " + trim(highText) +
                  ")");
    if (!setFromString(host, index, trim(a.value)))
      return fail("the plug-in did not accept \"" + a.value + "\"");
    return true;
  }

  std::vector<std::string> texts = probeDisplayTexts(host, index);
  if (texts.empty()) return fail("the parameter shows neither numbers nor texts");
  std::string chosen;
  for (const std::string& t : texts)
    if (t == a.value) chosen = t;
  if (chosen.empty()) {
    int matches = 0;
    for (const std::string& t : texts)
      if (equalNoCase(trim(t), trim(a.value))) {
        chosen = t;
        ++matches;
      }
    if (matches > 1) chosen.clear();
  }
  double number;
  if (chosen.empty() && parseNumber(a.value, number) && number == std::floor(number) &&
      number >= 0 && number < (double)texts.size())
    chosen = texts[(size_t)number];
  if (chosen.empty())
    return fail("\"" + a.value + "\" is not a value of " + qualified(index, host.paramName(index)) +
                ": " + quoteList(texts));
  if (!setFromString(host, index, chosen))
    return fail("the plug-in did not accept \"" + chosen + "\"");
  return true;
}

bool applyAssignments(PluginHost& host, const std::vector<ParamAssignment>& list,
                      std::string& error) {
  if (list.empty()) return true;
  std::vector<std::string> names;
  for (int i = 0; i < host.numParams(); ++i) names.push_back(host.paramName(i));
  for (const ParamAssignment& a : list) {
    int index = resolveParam(names, a, error);
    if (index < 0 || !applyAssignment(host, index, a, error)) return false;
  }
  return true;
}

std::string listParams(PluginHost& host) {
  std::string out;
  char line[512];
  for (int i = 0; i < host.numParams(); ++i) {
    char letter = blockLetterOf(i);
    std::string label = host.paramLabel(i);
    std::snprintf(line, sizeof(line), "%3d  %-6s  %-10s  %s%s%s\n", i,
                  letter ? std::string(1, letter).c_str() : "global", host.paramName(i).c_str(),
                  host.paramDisplay(i).c_str(), label.empty() ? "" : " ", label.c_str());
    out += line;
  }
  return out;
}

}  // namespace qrender
