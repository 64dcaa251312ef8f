#pragma once
// Parameters by name, as --set and --list-params see them. Quenta's first 183 parameters are
// three Blocks of 61 with the same names (index = block * 61 + k); the rest are global.
#include <string>
#include <vector>

#include "tools/quenta_render/options.h"
#include "tools/quenta_render/vst_host.h"

namespace qrender {

constexpr int kParamsPerBlock = 61;
constexpr int kBlockCount = 3;
constexpr int kFirstGlobalParam = kParamsPerBlock * kBlockCount;  // 183

// 'A', 'B' or 'C' for a Block parameter, 0 for a global one.
char blockLetterOf(int index);

// Finds the parameter an assignment names among names (index order, as effGetParamName gives
// them). Exact names first, then a unique case-insensitive match. Returns -1 and sets error.
int resolveParam(const std::vector<std::string>& names, const ParamAssignment& a,
                 std::string& error);

// The display texts of a list parameter in entry order, found by stepping its normalised value
// (leaves the parameter at its last entry; the caller sets it afterwards). Empty when the
// parameter shows numbers.
std::vector<std::string> probeDisplayTexts(PluginHost& host, int index);

// Sets parameter index to the assignment's value: a display text, or a number in the
// parameter's units that must lie within its range. Returns false with a one-line error.
bool applyAssignment(PluginHost& host, int index, const ParamAssignment& a, std::string& error);

// Resolves and applies every assignment in order.
bool applyAssignments(PluginHost& host, const std::vector<ParamAssignment>& list,
                      std::string& error);

// One line per parameter: index, Block letter or "global", name, display text and label.
std::string listParams(PluginHost& host);

}  // namespace qrender
