#pragma once
// Fetches the version service's answer over libcurl. Runs synchronously on the calling thread.
#include <string>

#include "online/version_verdict.h"

namespace online {

struct FetchLimits {
  long connectTimeoutMs = 5000;  // to establish the connection
  long totalTimeoutMs = 10000;   // for the whole transfer
  size_t maxBodyBytes = 256;     // a longer body is refused, not read to its end
};

struct FetchResult {
  bool transferFailed = false;
  bool overflowed = false;
  long httpStatus = 0;
  std::string body;

  VersionReply AsReply() const {
    return {transferFailed, overflowed, httpStatus, body.data(), body.size()};
  }
};

// The service's address: the environment variable QUENTA_VERSION_URL when set and not empty,
// else the address the plug-in was built with.
std::string VersionServiceUrl();
// The download page offered when a newer release exists.
std::string DownloadPageUrl();
// The host name in url ("" when url cannot be parsed).
std::string HostOfUrl(const std::string& url);

// One GET of url. Only http and https are spoken; TLS peers and host names are verified;
// redirects are not followed.
FetchResult FetchVersion(const std::string& url, const FetchLimits& limits = FetchLimits());

}  // namespace online
