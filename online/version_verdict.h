#pragma once
// The verdict of the online version check, decided from what the version service answered.
// Pure logic: no network, no boxes. The service answers with the latest release as plain
// digits: one for the major version, one for the minor version, the rest for the patch
// (1.2.4 is "1204", 1.2.10 is "1210").
#include <cstddef>

namespace online {

// What the transfer produced.
struct VersionReply {
  bool transferFailed = false;  // the request could not be completed (no connection, timeout, ...)
  bool overflowed = false;      // the body was longer than the fetch accepts
  long httpStatus = 0;          // 0 when no status line arrived
  const char* body = nullptr;   // not NUL-terminated
  size_t size = 0;
};

enum class Verdict {
  kUpToDate,     // the service's release is not newer than ours
  kNewer,        // a newer release exists: offer the download page
  kInvalid,      // the service answered with something that is not a version number
  kNoReply,      // nothing arrived (no connection, no body)
  kStreamError,  // the transfer broke off after part of the body arrived
};

struct VersionAnswer {
  Verdict verdict = Verdict::kNoReply;
  // The newer release as "major.minor.patch" (kNewer only).
  char newVersion[32] = {};
};

// Decides on reply, our own version packed as 0xMMMMmmpp. A body counts as a version only with
// status 200, and when, trimmed of surrounding white space, it is 4 to 9 decimal digits.
VersionAnswer JudgeVersionReply(const VersionReply& reply, int ownPackedVersion);

}  // namespace online
