#include "config/swell-ini.h"

#include "base/tempfile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "base/mutex.h"

namespace {

constexpr int kMaxContexts = 32;
// Text read before the first section header; a longer header-less prefix ends the file.
constexpr size_t kHeaderlessLimit = 0x40000;
// Characters kept of one line; the rest of a longer line is dropped.
constexpr size_t kMaxLineLength = 0x2000000;
// Characters considered of one entry given to WritePrivateProfileSection.
constexpr size_t kMaxSectionEntryLength = 8191;
// Buffer GetPrivateProfileInt reads the value into.
constexpr int kIntValueBufferSize = 512;

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};
using KeyMap = std::map<std::string, std::string, CaseLess>;
using SectionMap = std::map<std::string, KeyMap, CaseLess>;

// What stat tells about a file, to see whether it changed since it was read or written.
struct FileStamp {
  bool present = false;
  time_t mtimeSec = 0;
  long mtimeNsec = 0;
  off_t size = 0;
  dev_t device = 0;
  ino_t inode = 0;

  static FileStamp From(const struct stat& st) {
    FileStamp s;
    s.present = true;
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = st.st_mtim.tv_nsec;
    s.size = st.st_size;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    return s;
  }
  static FileStamp Of(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 ? From(st) : FileStamp();
  }
  // Files replaced by rename (as this module writes them) change identity even when time and
  // size come out equal, so identity is compared too.
  bool operator==(const FileStamp& o) const {
    if (present != o.present) return false;
    return !present || (mtimeSec == o.mtimeSec && mtimeNsec == o.mtimeNsec && size == o.size &&
                        device == o.device && inode == o.inode);
  }
};

// One cached file. An empty name marks a slot that has never been used. unsaved: the sections
// hold changes the file does not, because writing it failed.
struct FileContext {
  uint64_t access = 0;
  FileStamp stamp;
  std::string name;
  SectionMap sections;
  bool unsaved = false;
};

struct Cache {
  WDL_Mutex mutex;
  uint64_t counter = 0;
  FileContext contexts[kMaxContexts];
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsTrailingJunk(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits a file into lines at LF. Each line's text is cut at its first NUL (the rest of the
// line is not text) and at kMaxLineLength characters; Next also reports how many bytes of the
// file the line took, LF and dropped parts included.
class LineReader {
 public:
  explicit LineReader(int fd) : mFd(fd), mBuf(new char[kChunk]) {}

  // Reads the next line into text. Returns the bytes it took, 0 at the end of the file.
  size_t Next(std::string& text) {
    text.clear();
    size_t taken = 0;
    bool cut = false;
    for (;;) {
      if (mPos == mLen && !Fill()) break;
      const char* start = mBuf.get() + mPos;
      const size_t avail = mLen - mPos;
      const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
      const size_t chunk = lf ? (size_t)(lf - start) + 1 : avail;
      taken += chunk;
      mPos += chunk;
      if (!cut) {
        size_t n = lf ? chunk - 1 : chunk;
        if (const char* nul = static_cast<const char*>(std::memchr(start, '\0', n))) {
          n = (size_t)(nul - start);
          cut = true;
        }
        if (n > kMaxLineLength - text.size()) {
          n = kMaxLineLength - text.size();
          cut = true;
        }
        text.append(start, n);
      }
      if (lf) break;
    }
    return taken;
  }

 private:
  static constexpr size_t kChunk = 1 << 16;

  bool Fill() {
    if (mEnd) return false;
    for (;;) {
      const ssize_t n = read(mFd, mBuf.get(), kChunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        mEnd = true;  // end of file, or a read error: the rest reads as nothing
        return false;
      }
      mPos = 0;
      mLen = (size_t)n;
      return true;
    }
  }

  int mFd;
  std::unique_ptr<char[]> mBuf;
  size_t mPos = 0, mLen = 0;
  bool mEnd = false;
};

void Parse(int fd, SectionMap& sections) {
  LineReader reader(fd);
  std::string line;
  KeyMap* open = nullptr;
  bool headerSeen = false;
  size_t prefix = 0;
  while (const size_t taken = reader.Next(line)) {
    size_t end = line.size();
    while (end > 0 && IsTrailingJunk(line[end - 1])) --end;
    size_t begin = 0;
    while (begin < end && IsBlank(line[begin])) ++begin;

    const bool bracket = begin < end && line[begin] == '[';
    if (bracket) {
      const size_t close = line.find(']', begin + 1);
      if (close != std::string::npos) {
        headerSeen = true;
        const std::string name = line.substr(begin + 1, close - begin - 1);
        if (name.empty()) {
          open = nullptr;
          continue;
        }
        auto it = sections.find(name);
        if (it == sections.end()) {
          it = sections.emplace(name, KeyMap()).first;
        } else {
          it->second.clear();
        }
        open = &it->second;
        continue;
      }
    }
    if (!headerSeen) {
      prefix += taken;
      if (prefix > kHeaderlessLimit) break;
      continue;
    }
    // A "[" without "]" is a broken header, never an entry.
    if (!open || bracket) continue;
    const size_t eq = line.find('=', begin);
    if (eq == std::string::npos || eq >= end || eq == begin) continue;
    (*open)[line.substr(begin, eq - begin)] = line.substr(eq + 1, end - eq - 1);
  }
}

// Reads the file into the context; a file that cannot be opened or is not a regular file
// reads as empty (and as absent, so that it is looked at again next time).
void Load(FileContext& ctx, const char* fileName) {
  ctx.sections.clear();
  ctx.name = fileName;
  ctx.stamp = FileStamp();
  ctx.unsaved = false;
  // Non-blocking, so that a FIFO in place of the file cannot hang the caller.
  const int fd = open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    fcntl(fd, F_SETFL, 0);
    while (flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    Parse(fd, ctx.sections);
    if (fstat(fd, &st) == 0) ctx.stamp = FileStamp::From(st);
    flock(fd, LOCK_UN);
  }
  close(fd);
}

// The context of a file, read again when the file changed on disk since it was cached.
FileContext& Lookup(const char* fileName) {
  Cache& cache = TheCache();
  ++cache.counter;
  FileContext* slot = nullptr;
  // File names are compared exactly: on this system names differing in case are different
  // files.
  for (FileContext& c : cache.contexts) {
    if (!c.name.empty() && c.name == fileName) {
      slot = &c;
      break;
    }
  }
  const bool cached = slot != nullptr;
  if (!slot) {
    for (FileContext& c : cache.contexts) {
      if (c.name.empty()) {
        slot = &c;
        break;
      }
    }
  }
  if (!slot) {
    slot = &cache.contexts[0];
    for (FileContext& c : cache.contexts) {
      if (c.access < slot->access) slot = &c;
    }
  }
  slot->access = cache.counter;
  if (cached && FileStamp::Of(fileName) == slot->stamp) return *slot;
  Load(*slot, fileName);
  return *slot;
}

std::string FileText(const SectionMap& sections) {
  std::string text;
  for (const auto& section : sections) {
    text += '[';
    text += section.first;
    text += "]\n";
    for (const auto& entry : section.second) {
      if (entry.first.empty()) continue;
      text += entry.first;
      text += '=';
      text += entry.second;
      text += '\n';
    }
    text += '\n';
  }
  return text;
}

// Writes the context's sections to its file; the temporary file has the one name all writers
// of the file share, so writers in other processes take turns. When anything fails the file is
// left as it was and the change stays in the cache. Returns whether the file was written.
bool WriteBack(FileContext& ctx) {
  const std::string text = FileText(ctx.sections);
  TempFile out;
  struct stat st {};
  ctx.unsaved = !(out.Open(ctx.name.c_str(), TempFile::Naming::kShared) &&
                  WriteAllToFd(out.Fd(), text.data(), text.size()) && out.Commit(&st));
  // The cache now matches the file, so the next lookup need not read it again.
  if (!ctx.unsaved) ctx.stamp = FileStamp::From(st);
  return !ctx.unsaved;
}

// Writes the file back when it changed or holds changes an earlier write failed to store:
// 1 when the file then holds the sections, 0 when it could not be written.
int Store(FileContext& ctx, bool changed) {
  if (!changed && !ctx.unsaved) return 1;
  return WriteBack(ctx) ? 1 : 0;
}

bool Usable(const char* s) { return s != nullptr && s[0] != '\0'; }

int CopyOut(const char* text, size_t len, char* out, int outSize) {
  const size_t n = len < (size_t)outSize - 1 ? len : (size_t)outSize - 1;
  std::memmove(out, text, n);  // the default may be out itself
  out[n] = '\0';
  return (int)n;
}

// Copies the value without surrounding blanks and without one pair of enclosing quotes.
int CopyTrimmedValue(const std::string& value, char* out, int outSize) {
  size_t begin = 0, end = value.size();
  while (begin < end && IsBlank(value[begin])) ++begin;
  while (end > begin && IsBlank(value[end - 1])) --end;
  if (end - begin >= 2 && (value[begin] == '"' || value[begin] == '\'') &&
      value[end - 1] == value[begin]) {
    ++begin;
    --end;
  }
  return CopyOut(value.data() + begin, end - begin, out, outSize);
}

// Copies names as a list: each followed by a NUL, one more NUL at the end.
template <typename Map>
int CopyNameList(const Map* names, char* out, int outSize) {
  if (outSize < 2) {
    out[0] = '\0';
    return 0;
  }
  std::string list;
  if (names) {
    for (const auto& item : *names) {
      if (item.first.empty()) continue;  // an empty name would end the list early
      if (!list.empty()) list += '\0';
      list += item.first;
    }
  }
  size_t n = list.size() < (size_t)outSize - 2 ? list.size() : (size_t)outSize - 2;
  // A list cut just after a name ends with that name, not with an empty one.
  if (n > 0 && list[n - 1] == '\0') --n;
  std::memcpy(out, list.data(), n);
  out[n] = '\0';
  out[n + 1] = '\0';
  return (int)n;
}

}  // namespace

int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                            char* out, int outSize, const char* fileName) {
  if (!out || outSize < 1) return 0;
  Cache& cache = TheCache();
  WDL_MutexLock lock(&cache.mutex);
  FileContext* ctx = Usable(fileName) ? &Lookup(fileName) : nullptr;

  if (!section) return CopyNameList(ctx ? &ctx->sections : nullptr, out, outSize);
  const KeyMap* keys = nullptr;
  if (ctx) {
    auto it = ctx->sections.find(section);
    if (it != ctx->sections.end()) keys = &it->second;
  }
  if (!key) return CopyNameList(keys, out, outSize);
  if (keys && key[0] != '\0') {
    auto it = keys->find(key);
    if (it != keys->end()) return CopyTrimmedValue(it->second, out, outSize);
  }
  if (!defaultValue) defaultValue = "";
  return CopyOut(defaultValue, std::strlen(defaultValue), out, outSize);
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                         const char* fileName) {
  if (!section || !key) return defaultValue;
  char value[kIntValueBufferSize];
  if (GetPrivateProfileString(section, key, "", value, (int)sizeof value, fileName) == 0)
    return defaultValue;
  long n = std::strtol(value, nullptr, 10);
  if (n > INT_MAX) n = INT_MAX;
  if (n < INT_MIN) n = INT_MIN;
  if (n == 0 && value[0] != '0') return defaultValue;
  return (int)n;
}

int WritePrivateProfileString(const char* section, const char* key, const char* value,
                              const char* fileName) {
  if (!Usable(section) || (key && key[0] == '\0') || !Usable(fileName)) return 0;
  Cache& cache = TheCache();
  WDL_MutexLock lock(&cache.mutex);
  FileContext& ctx = Lookup(fileName);

  if (!key) return Store(ctx, ctx.sections.erase(section) > 0);
  if (!value) {
    auto it = ctx.sections.find(section);
    return Store(ctx, it != ctx.sections.end() && it->second.erase(key) > 0);
  }
  KeyMap& keys = ctx.sections[section];
  auto it = keys.find(key);
  if (it != keys.end()) {
    if (it->second == value) return Store(ctx, false);
    it->second = value;
  } else {
    keys.emplace(key, value);
  }
  return Store(ctx, true);
}

int WritePrivateProfileSection(const char* section, const char* entries, const char* fileName) {
  if (!Usable(section) || !Usable(fileName)) return 0;
  Cache& cache = TheCache();
  WDL_MutexLock lock(&cache.mutex);
  FileContext& ctx = Lookup(fileName);

  auto it = ctx.sections.find(section);
  if (it == ctx.sections.end()) {
    if (!entries || !entries[0]) return Store(ctx, false);
    it = ctx.sections.emplace(section, KeyMap()).first;
  } else {
    it->second.clear();
  }
  for (const char* p = entries; p && *p; p += std::strlen(p) + 1) {
    const size_t len = strnlen(p, kMaxSectionEntryLength);
    const char* eq = static_cast<const char*>(std::memchr(p, '=', len));
    if (!eq || eq == p) continue;
    it->second[std::string(p, (size_t)(eq - p))] = std::string(eq + 1, (size_t)(p + len - eq - 1));
  }
  return Store(ctx, true);
}
