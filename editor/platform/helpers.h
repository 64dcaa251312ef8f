#pragma once
// The desktop's helper programs: file dialogs (zenity or kdialog) and the web browser
// (xdg-open). Each is started with posix_spawnp and an argument array, never through a shell,
// so no character of a path or address is ever interpreted.
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct HelperResult {
  bool started = false;  // false when the program could not be run at all
  int exitCode = -1;     // its exit status (-1 when it died of a signal)
  std::string output;    // what it printed, cut at the cap
};

// True when name is an executable file in one of PATH's folders.
bool IsOnPath(const char* name);

// Runs argv and waits for it, collecting at most maxOutput bytes of its standard output; while
// waiting, tick() is called about every 40 ms so the editor stays alive.
HelperResult RunHelper(const std::vector<std::string>& argv, const std::function<void()>& tick,
                       size_t maxOutput = 16384);
// Starts argv without waiting; its pid is returned (0 when it could not start). The caller
// reaps it later (ReapHelpers).
int StartHelper(const std::vector<std::string>& argv);
// Collects the helpers in pids that have ended, removing them from the list; never blocks.
void ReapHelpers(std::vector<int>* pids);

// A web address (http or https, without white space or control characters) or an absolute
// path of an existing file; anything else (including text a helper could read as an option)
// is refused.
bool IsOpenableAddress(const char* address);

// ---- File dialogs ----

enum class FileAction { kOpen, kSave };

struct FileRequest {
  FileAction action = FileAction::kOpen;
  std::string folder;                   // where the dialog starts, without trailing "/"
  std::string fileName;                 // proposed name (save)
  std::vector<std::string> extensions;  // "fxp", "fxb", ... (without dots); empty for any file
};

enum class DialogTool { kZenity, kKdialog };

// The helper's command line for request.
std::vector<std::string> FileDialogCommand(DialogTool tool, const FileRequest& request);
// The path the user chose, from a helper's output: the first line, which must be an absolute
// path; "" when there is none or the output holds more than one line. For a save the first
// extension is appended when the name carries none of the allowed ones.
std::string ChosenPath(const std::string& helperOutput, const FileRequest& request);
// The extensions string of the editor ("fxp fxb") split at spaces.
std::vector<std::string> SplitExtensions(const char* extensions);

}  // namespace platform
