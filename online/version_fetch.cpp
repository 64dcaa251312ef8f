#include "online/version_fetch.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#ifndef QUENTA_VERSION_URL
#error "QUENTA_VERSION_URL must name the version service (a CMake cache variable)"
#endif
#ifndef QUENTA_DOWNLOAD_URL
#error "QUENTA_DOWNLOAD_URL must name the download page (a CMake cache variable)"
#endif

namespace online {

namespace {

// libcurl's global set-up is not thread-safe and other plug-ins in the host may use libcurl
// too: it runs once, under a lock, and is never undone (cleaning up could pull it away from
// another user in the same process).
bool EnsureCurlGlobal() {
  static std::mutex sLock;
  static bool sDone = false, sOk = false;
  std::lock_guard<std::mutex> lock(sLock);
  if (!sDone) {
    sOk = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    sDone = true;
  }
  return sOk;
}

struct Sink {
  std::string* body;
  size_t cap;
  bool overflowed;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (sink->body->size() + n > sink->cap) {
    sink->overflowed = true;
    return 0;  // makes libcurl stop the transfer
  }
  sink->body->append(data, n);
  return n;
}

}  // namespace

std::string VersionServiceUrl() {
  const char* env = std::getenv("QUENTA_VERSION_URL");
  return env && env[0] ? std::string(env) : std::string(QUENTA_VERSION_URL);
}

std::string DownloadPageUrl() { return QUENTA_DOWNLOAD_URL; }

std::string HostOfUrl(const std::string& url) {
  std::string host;
  if (!EnsureCurlGlobal()) return host;
  CURLU* u = curl_url();
  char* part = nullptr;
  if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
    host = part;
  }
  curl_free(part);
  curl_url_cleanup(u);
  return host;
}

FetchResult FetchVersion(const std::string& url, const FetchLimits& limits) {
  FetchResult result;
  result.transferFailed = true;
  if (!EnsureCurlGlobal()) return result;
  CURL* curl = curl_easy_init();
  if (!curl) return result;
  Sink sink = {&result.body, limits.maxBodyBytes, false};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
  // Inside a host, libcurl must not touch signal handlers (the host owns them).
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quenta version check");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  const CURLcode code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
  curl_easy_cleanup(curl);
  result.overflowed = sink.overflowed;
  result.transferFailed = code != CURLE_OK;
  return result;
}

}  // namespace online
