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

// Makes every missing folder along path. The file-creation mask is cleared for the duration,
// so the folders get exactly kFolderMode, and put back afterwards: it belongs to the host.
void MakeFolders(const std::string& path) {
  const mode_t oldMask = umask(0);
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    const std::string prefix = path.substr(0, i);
    struct stat st;
    if (stat(prefix.c_str(), &st) != 0) mkdir(prefix.c_str(), kFolderMode);
  }
  umask(oldMask);
}

// Creates path empty. A file that appeared in the meantime (another instance or process) is
// left as it is rather than truncated.
void CreateEmptyFile(const char* path) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) close(fd);
}

std::string FolderOf(const char* path) {
  std::string p(path);
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? std::string(".") : p.substr(0, slash ? slash : 1);
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
  GetPrivateProfileString(kSecMidiGlobal, kKeyMidiThru, BoolText(mMidiThru), value, kValueBufSize, ini);
  if (value[0]) mMidiThru = strcasecmp(value, "true") == 0;
  value[0] = '\0';
  GetPrivateProfileString(kSecMidiGlobal, kKeyIgnoreProgramChange, BoolText(mIgnoreProgramChange), value,
                          kValueBufSize, ini);
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
  return stat(mIniPath.Get(), &st) == 0 && S_ISREG(st.st_mode) && chmod(mIniPath.Get(), kRepairMode) == 0;
}

bool Synth::configWritable() const {
  struct stat st;
  const std::string folder = FolderOf(mIniPath.Get());
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (stat(mIniPath.Get(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
  // The file is written next to itself and renamed over the old one: the folder must take a
  // new file. Try one.
  std::string probe = folder + "/.quenta.ini.probe.XXXXXX";
  const int fd = mkstemp(&probe[0]);
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

void Synth::writeStartupBank() {
  // The section holds the one key: emptied and refilled in a single write.
  std::string entries(kKeyFile);
  entries += '=';
  entries += mStartupBankPath.Get();
  entries += '\0';
  WritePrivateProfileSection(kSecStartupBank, entries.c_str(), mIniPath.Get());
}

bool Synth::saveConfig(int command) {
  const char* ini = mIniPath.Get();
  writeStartupBank();
  if (command < 0 || command == kSaveMidiThru)
    WritePrivateProfileString(kSecMidiGlobal, kKeyMidiThru, BoolText(mMidiThru), ini);
  if (command < 0 || command == kSaveIgnoreProgramChange)
    WritePrivateProfileString(kSecMidiGlobal, kKeyIgnoreProgramChange, BoolText(mIgnoreProgramChange), ini);
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
    WritePrivateProfileSection(kSecMidiControl, entries.c_str(), ini);
  }
  // The settings in memory are kept for the next save: reading the file back now would
  // replace them with what is on disk and lose them.
  if (configWritable()) return true;
  repairConfig();
  return false;
}

int Synth::setStartupFxb(const char* path) {
  if (!isLoadableBank(path)) return kStartupBankInvalid;
  // A path the file cannot give back whole is as good as not written.
  if (std::strlen(path) >= (size_t)kPathBufSize || !configWritable()) return kStartupBankUnwritable;
  mStartupBankPath.Set(path);
  writeStartupBank();
  return kConfigOK;
}

void Synth::unsetStartupFxb() {
  mStartupBankPath.Set("");
  WritePrivateProfileSection(kSecStartupBank, "", mIniPath.Get());
}

void Synth::saveStartupFxb() { writeStartupBank(); }

bool Synth::storeProgramPath(WDL_String* path) {
  if (path) mProgramPath.Set(path->Get());
  WritePrivateProfileString(kSecGlobal, kKeyProgramPath, mProgramPath.Get(), mIniPath.Get());
  if (configWritable()) return true;
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
