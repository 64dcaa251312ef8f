#include "online/version_verdict.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace online {

namespace {

constexpr size_t kMinDigits = 4, kMaxDigits = 9;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Release {
  int major, minor, patch;
};

bool Newer(const Release& a, const Release& b) {
  if (a.major != b.major) return a.major > b.major;
  if (a.minor != b.minor) return a.minor > b.minor;
  return a.patch > b.patch;
}

}  // namespace

VersionAnswer JudgeVersionReply(const VersionReply& reply, int ownPackedVersion) {
  VersionAnswer answer;
  const char* p = reply.body ? reply.body : "";
  size_t n = reply.body ? reply.size : 0;
  if (reply.transferFailed && !reply.overflowed) {
    answer.verdict = n == 0 ? Verdict::kNoReply : Verdict::kStreamError;
    return answer;
  }
  if (n == 0 && !reply.overflowed && reply.httpStatus == 200) {
    answer.verdict = Verdict::kNoReply;
    return answer;
  }
  answer.verdict = Verdict::kInvalid;
  if (reply.overflowed || reply.httpStatus != 200) return answer;

  while (n > 0 && IsSpace(*p)) ++p, --n;
  while (n > 0 && IsSpace(p[n - 1])) --n;
  if (n < kMinDigits || n > kMaxDigits) return answer;
  for (size_t i = 0; i < n; ++i)
    if (p[i] < '0' || p[i] > '9') return answer;

  // The patch has at most seven digits; the range check guards the parse all the same.
  char digits[kMaxDigits + 1];
  std::memcpy(digits, p, n);
  digits[n] = '\0';
  errno = 0;
  char* end = nullptr;
  const long patch = std::strtol(digits + 2, &end, 10);
  if (errno == ERANGE || *end != '\0' || patch < 0 || patch > 9999999) return answer;

  const Release theirs = {digits[0] - '0', digits[1] - '0', (int)patch};
  const Release ours = {(ownPackedVersion >> 16) & 0xFFFF, (ownPackedVersion >> 8) & 0xFF,
                        ownPackedVersion & 0xFF};
  if (!Newer(theirs, ours)) {
    answer.verdict = Verdict::kUpToDate;
    return answer;
  }
  answer.verdict = Verdict::kNewer;
  std::snprintf(answer.newVersion, sizeof(answer.newVersion), "%d.%d.%d", theirs.major,
                theirs.minor, theirs.patch);
  return answer;
}

}  // namespace online
