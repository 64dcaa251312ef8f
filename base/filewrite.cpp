#include "base/filewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

bool WriteAllToFd(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  size_t left = n;
  while (left > 0) {
    const ssize_t written = write(fd, p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    p += written;
    left -= (size_t)written;
  }
  return true;
}

bool ReplaceFileAtomically(const char* path, const void* data, size_t n, const char* tag) {
  static std::atomic<unsigned> sCounter{0};
  if (!path || !path[0]) return false;
  const std::string target(path);
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    tmp = dir + "." + (tag ? tag : "tmp") + std::to_string((long)getpid()) + "-" + std::to_string(sCounter++) + ".tmp";
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  struct stat st;
  if (stat(path, &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 07777);
  bool ok = WriteAllToFd(fd, data, n) && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path) != 0) ok = false;
  if (!ok) unlink(tmp.c_str());
  return ok;
}
