// The profile store on files of any content. Everything read from a file must come back the
// same after the store wrote the file and read it again; name lists must be well formed; cut
// reads must give prefixes; a value written must read back, an unchanged one must not cause a
// write, deleted keys and sections must be gone.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "config/swell-ini.h"
#include "fuzz_common.h"

using namespace quenta_fuzz;

namespace {

// More file names than the store caches, used in turn: every input also exercises eviction,
// and each file is read fresh (its name left the cache long before it comes round again).
constexpr int kFileNames = 40;
constexpr const char* kKey = "Fuzz Key";
constexpr const char* kOwnSection = "Fuzz Section";

using Profile = std::map<std::string, std::map<std::string, std::string>>;

// Names as the store compares them.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

std::vector<std::string> Names(const std::string& file, const char* section, int room) {
  std::vector<char> out((size_t)room, 'X');
  const int n = GetPrivateProfileString(section, nullptr, nullptr, out.data(), room, file.c_str());
  Check(n >= 0 && n <= room - 2, "list length out of range");
  Check(out[(size_t)n] == '\0' && out[(size_t)n + 1] == '\0', "list without its final double NUL");
  std::vector<std::string> names;
  for (int i = 0; i < n; i += (int)names.back().size() + 1) {
    const std::string name(out.data() + i);
    Check(!name.empty(), "empty name in a list");
    Check(names.empty() || strcasecmp(names.back().c_str(), name.c_str()) < 0, "list not sorted");
    names.push_back(name);
  }
  return names;
}

std::string Value(const std::string& file, const char* section, const char* key, int room) {
  std::vector<char> out((size_t)room + 1, 'X');
  const int n = GetPrivateProfileString(section, key, "", out.data(), room, file.c_str());
  Check(n >= 0 && n < room && (size_t)n == std::strlen(out.data()), "value length wrong");
  return std::string(out.data(), (size_t)n);
}

Profile Read(const std::string& file, int room) {
  Profile p;
  for (const std::string& s : Names(file, nullptr, room))
    for (const std::string& k : Names(file, s.c_str(), room))
      p[s][k] = Value(file, s.c_str(), k.c_str(), room);
  return p;
}

// What a read gives for a stored value: blanks and one pair of enclosing quotes removed.
std::string Trimmed(const std::string& v) {
  size_t b = 0, e = v.size();
  while (b < e && (v[b] == ' ' || v[b] == '\t')) ++b;
  while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t')) --e;
  if (e - b >= 2 && (v[b] == '"' || v[b] == '\'') && v[e - 1] == v[b]) ++b, --e;
  return v.substr(b, e - b);
}

void CheckInt(const std::string& file, const char* section, const char* key,
              const std::string& value) {
  const int got = GetPrivateProfileInt(section, key, INT_MIN + 7, file.c_str());
  if (value.empty()) return Check(got == INT_MIN + 7, "empty value did not give the default");
  // The store reads at most 511 characters of a value for this.
  long n = std::strtol(value.substr(0, 511).c_str(), nullptr, 10);
  n = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : n;
  Check(got == ((n == 0 && value[0] != '0') ? INT_MIN + 7 : (int)n),
        "GetPrivateProfileInt disagrees");
}

}  // namespace

// Inputs replace files by rename: in memory the run gets through many more. TMPDIR wins.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::getenv("TMPDIR") && access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int turn = 0;
  const std::string slot = std::to_string(turn++ % kFileNames) + ".ini";
  const std::string a = ScratchPath("-a" + slot), b = ScratchPath("-b" + slot);
  const int room = (int)size + 256;  // no list or value read back is longer than this

  WriteScratch(a, data, size);
  Profile p = Read(a, room);

  // Cut reads give prefixes of the whole value.
  if (!p.empty() && !p.begin()->second.empty()) {
    const std::string& s = p.begin()->first;
    const std::string& k = p.begin()->second.begin()->first;
    const std::string& whole = p.begin()->second.begin()->second;
    for (int cut = 1; cut <= 4; ++cut)
      Check(Value(a, s.c_str(), k.c_str(), cut) == whole.substr(0, (size_t)cut - 1), "cut value");
    CheckInt(a, s.c_str(), k.c_str(), whole);
  }

  // A value from the input (a value holds no line ends or NULs) written into the first section.
  std::string value;
  for (size_t i = 0; i < size && value.size() < 200; ++i)
    if (data[i] != '\0' && data[i] != '\n' && data[i] != '\r') value += (char)data[i];
  const std::string section = p.empty() ? kOwnSection : p.begin()->first;
  Check(WritePrivateProfileString(section.c_str(), kKey, value.c_str(), a.c_str()) == 1,
        "write refused");
  Check(Value(a, section.c_str(), kKey, room) == Trimmed(value),
        "written value does not read back");
  const Profile written = Read(a, room);

  // The file written, read by a cache that has never seen it, gives the same profile.
  std::ifstream in(a, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  WriteScratch(b, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  Check(Read(b, room) == written, "profile changed through writing and reading the file");

  // The same value again writes nothing.
  struct stat before {
  }, after{};
  Check(stat(a.c_str(), &before) == 0, "written file missing");
  WritePrivateProfileString(section.c_str(), kKey, value.c_str(), a.c_str());
  Check(stat(a.c_str(), &after) == 0 && after.st_ino == before.st_ino &&
            after.st_size == before.st_size,
        "unchanged value written again");

  // Deletions.
  WritePrivateProfileString(section.c_str(), kKey, nullptr, a.c_str());
  for (const std::string& k : Names(a, section.c_str(), room))
    Check(strcasecmp(k.c_str(), kKey) != 0, "key not deleted");
  WritePrivateProfileString(section.c_str(), nullptr, nullptr, a.c_str());
  for (const std::string& s : Names(a, nullptr, room))
    Check(strcasecmp(s.c_str(), section.c_str()) != 0, "section not deleted");

  // The input as section entries: NUL-separated "key=value" strings of at most 8191
  // characters; the last of equal keys counts, under its first spelling.
  std::string entries(reinterpret_cast<const char*>(data), size);
  entries.append(2, '\0');
  std::map<std::string, std::string, NoCase> expected;
  for (const char* e = entries.c_str(); *e; e += std::strlen(e) + 1) {
    const std::string entry(e, strnlen(e, 8191));
    const size_t eq = entry.find('=');
    if (eq != std::string::npos && eq > 0) expected[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  WritePrivateProfileSection(kOwnSection, entries.c_str(), b.c_str());
  Check(Names(b, kOwnSection, room).size() == expected.size(), "section entries lost or invented");
  for (const auto& [key, value] : expected)
    Check(Value(b, kOwnSection, key.c_str(), room) == Trimmed(value), "section entry value");
  return 0;
}
