// The configuration file: where it lives, how it is made on first use, and the keys the
// instrument keeps in it (start-up bank, program folder, MIDI options, learned controllers).
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/swell-ini.h"
#include "instrument/synth.h"

namespace {

// The maker's folder under the user's configuration folder, and the file in it.
constexpr const char* kConfigFolder = "/.config/";
constexpr const char* kMakerFolder = "AmberfoldMusic";
constexpr const char* kIniFileName = "/quenta.ini";

// Sections and keys.
constexpr const char* kSecStartupBank = "Startup Bank";
constexpr const char* kKeyFile = "File";
constexpr const char* kSecGlobal = "Global";
constexpr const char* kKeyProgramPath = "Path to Program Files";
constexpr const char* kSecMidiGlobal = "MIDI Global";
constexpr const char* kKeyMidiThru = "MIDI Thru";
constexpr const char* kKeyIgnoreProgramChange = "Ignore Program Change";
constexpr const char* kSecMidiControl = "MIDI Control";

// Longest path read back from the file, terminator included; both paths share it.
constexpr int kPathBufSize = 1023;
constexpr int kValueBufSize = 64;

constexpr mode_t kFolderMode = 0774;
constexpr mode_t kRepairMode = 0666;

const char* BoolText(bool b) { return b ? "true" : "false"; }

// Makes the maker's folder and every missing folder above it. The folders above are the
// user's and are made as the file-creation mask says; the maker's folder gets kFolderMode
// exactly, by chmod rather than by clearing the mask, which belongs to the host.
void MakeFolders(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    const std::string prefix = path.substr(0, i);
    struct stat st;
    if (stat(prefix.c_str(), &st) != 0) mkdir(prefix.c_str(), 0777);
  }
  if (mkdir(path.c_str(), kFolderMode) == 0) chmod(path.c_str(), kFolderMode);
}

// The value to store for a path so that reading it back gives the path unchanged. Values are
// read without blanks around them and without one pair of enclosing quotes, and lose a CR at
// the end of their line, so a path that would lose any of these is stored in double quotes.
// False for a path no value can hold: one with a line break, or longer than is read back.
bool PathValue(const char* path, std::string& value) {
  value = path;
  if (value.size() >= (size_t)kPathBufSize || value.find('\n') != std::string::npos) return false;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  const bool edge = !value.empty() && (blank(value.front()) || blank(value.back()));
  const char first = value.empty() ? '\0' : value.front();
  const bool quoted = value.size() >= 2 && (first == '"' || first == '\'') && value.back() == first;
  if (edge || quoted) value = '"' + value + '"';
  return true;
}

// Creates path empty. A file that appeared in the meantime (another instance or process) is
// left as it is rather than truncated.
void CreateEmptyFile(const char* path) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) close(fd);
}

// The "CC%i" value: a number, or -1 for text that is not one. "0" is parameter 0.
int ParseCCValue(const char* text) {
  const long v = std::atol(text);
  if (v == 0 && text[0] != '0') return -1;
  if (v < INT_MIN || v > INT_MAX) return -1;
  return (int)v;
}

}  // namespace

bool Synth::fileExists(WDL_String path) {
  struct stat st;
  return stat(path.Get(), &st) == 0;
}

void Synth::openConfig() {
  const char* home = std::getenv("HOME");
  mHomePath.Set(home ? home : "");
  const std::string folder = std::string(mHomePath.Get()) + kConfigFolder + kMakerFolder;
  if (!fileExists(WDL_String(folder.c_str()))) MakeFolders(folder);
  mProgramPath.Set(mHomePath.Get());
  mIniPath.Set(folder.c_str());
  mIniPath.Append(kIniFileName);
  if (!fileExists(mIniPath))
    CreateEmptyFile(mIniPath.Get());
  else
    loadConfig();
}

bool Synth::readConfig() {
  const char* ini = mIniPath.Get();
  char path[kPathBufSize];
  char value[kValueBufSize];

  mStartupBankPath.Set("");
  path[0] = '\0';
  GetPrivateProfileString(kSecStartupBank, kKeyFile, "", path, kPathBufSize, ini);
  if (path[0]) mStartupBankPath.Set(path);

  path[0] = '\0';
  GetPrivateProfileString(kSecGlobal, kKeyProgramPath, "", path, kPathBufSize, ini);
  if (path[0]) mProgramPath.Set(path);

  value[0] = '\0';
  GetPrivateProfileString(kSecMidiGlobal, kKeyMidiThru, BoolText(mMidiThru), value, kValueBufSize,
                          ini);
  if (value[0]) mMidiThru = strcasecmp(value, "true") == 0;
  value[0] = '\0';
  GetPrivateProfileString(kSecMidiGlobal, kKeyIgnoreProgramChange, BoolText(mIgnoreProgramChange),
                          value, kValueBufSize, ini);
  if (value[0]) mIgnoreProgramChange = strcasecmp(value, "true") == 0;

  for (int c = 0; c < kNumLearnableCCs; ++c) {
    char key[16];
    std::snprintf(key, sizeof(key), "CC%i", c);
    value[0] = '\0';
    GetPrivateProfileString(kSecMidiControl, key, "-1", value, kValueBufSize, ini);
    if (value[0]) mCCMap[c] = ParseCCValue(value);
  }

  // A file that is there but cannot be opened has been read as empty.
  if (!fileExists(mIniPath)) return true;
  FILE* fp = std::fopen(ini, "r");
  if (!fp) return false;
  std::fclose(fp);
  return true;
}

int Synth::loadConfig() {
  // A file that could not be read is opened up for everyone and read once more.
  if (!readConfig() && repairConfig()) readConfig();
  return fileExists(mIniPath) ? kConfigOK : kConfigMissing;
}

bool Synth::repairConfig() {
  struct stat st;
  return stat(mIniPath.Get(), &st) == 0 && S_ISREG(st.st_mode) &&
         chmod(mIniPath.Get(), kRepairMode) == 0;
}

bool Synth::writeStartupBank() {
  // The section holds the one key: emptied and refilled in a single write.
  std::string value;
  if (!PathValue(mStartupBankPath.Get(), value)) return false;
  const std::string entries = std::string(kKeyFile) + "=" + value + '\0';
  return WritePrivateProfileSection(kSecStartupBank, entries.c_str(), mIniPath.Get()) != 0;
}

bool Synth::saveConfig(int command) {
  const char* ini = mIniPath.Get();
  // Each write stores everything changed so far; the file is up to date when all succeeded.
  bool ok = writeStartupBank();
  if (command < 0 || command == kSaveMidiThru)
    ok &= WritePrivateProfileString(kSecMidiGlobal, kKeyMidiThru, BoolText(mMidiThru), ini) != 0;
  if (command < 0 || command == kSaveIgnoreProgramChange) {
    const char* value = BoolText(mIgnoreProgramChange);
    ok &= WritePrivateProfileString(kSecMidiGlobal, kKeyIgnoreProgramChange, value, ini) != 0;
  }
  if (command < 0) {
    // The section is emptied and refilled with the learned controllers in one write.
    std::string entries;
    for (int c = 0; c < kNumLearnableCCs; ++c) {
      if (mCCMap[c] == -1) continue;
      char entry[48];
      std::snprintf(entry, sizeof(entry), "CC%i=%i", c, mCCMap[c]);
      entries += entry;
      entries += '\0';
    }
    ok &= WritePrivateProfileSection(kSecMidiControl, entries.c_str(), ini) != 0;
  }
  // The settings in memory are kept for the next save: reading the file back now would
  // replace them with what is on disk and lose them.
  if (!ok) repairConfig();
  return ok;
}

int Synth::setStartupFxb(const char* path) {
  if (!isLoadableBank(path)) return kStartupBankInvalid;
  std::string value;
  if (!PathValue(path, value)) return kStartupBankUnwritable;
  const WDL_String previous(mStartupBankPath.Get());
  mStartupBankPath.Set(path);
  if (writeStartupBank()) return kConfigOK;
  // Nothing changes, in memory or (when this write gets through) on disk.
  mStartupBankPath.Set(previous.Get());
  writeStartupBank();
  return kStartupBankUnwritable;
}

void Synth::unsetStartupFxb() {
  mStartupBankPath.Set("");
  WritePrivateProfileSection(kSecStartupBank, "", mIniPath.Get());
}

void Synth::saveStartupFxb() { writeStartupBank(); }

bool Synth::storeProgramPath(WDL_String* path) {
  std::string value;
  if (!PathValue(path ? path->Get() : mProgramPath.Get(), value)) return false;
  if (path) mProgramPath.Set(path->Get());
  const char* ini = mIniPath.Get();
  if (WritePrivateProfileString(kSecGlobal, kKeyProgramPath, value.c_str(), ini)) return true;
  repairConfig();
  return false;
}

bool Synth::isLoadableBank(const char* path) const {
  if (!path || !path[0] || !fileExists(WDL_String(path))) return false;
  // Loaded into an instance of its own, which is then thrown away: the bank is read by the
  // very code that will load it at start-up, and nothing of this instance changes.
  std::unique_ptr<IPlugVST> scratch(MakePlug(IPlugInstanceInfo{}));
  if (!scratch) return false;
  WDL_String file(path);
  return scratch->LoadBankFromFXB(&file);
}
