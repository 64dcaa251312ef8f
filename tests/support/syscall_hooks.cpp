#include "syscall_hooks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <map>
#include <set>

extern "C" {
int __real_open(const char* path, int flags, ...);
ssize_t __real_write(int fd, const void* data, size_t n);
int __real_fsync(int fd);
int __real_rename(const char* from, const char* to);
int __real_access(const char* path, int mode);
}

namespace quenta_test::syscall_hooks {
namespace {

thread_local bool tRecording = false;
thread_local std::string tCalls;
thread_local std::map<int, std::string> tNames;  // files opened while recording

// Changed only while the test runs no other threads.
std::set<std::string> gDenied;

std::string LastPart(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path.substr(path.rfind('/') + 1);
}

void Note(const std::string& call) {
  if (tRecording) tCalls += call + "; ";
}

void NoteFd(const char* call, int fd) {
  if (tRecording && tNames.count(fd)) Note(call + (" " + tNames[fd]));
}

}  // namespace

void Begin() {
  tCalls.clear();
  tNames.clear();
  tRecording = true;
}

std::string End() {
  tRecording = false;
  return tCalls;
}

void DenyWrite(const std::string& path) { gDenied.insert(path); }
void AllowAll() { gDenied.clear(); }

}  // namespace quenta_test::syscall_hooks

using namespace quenta_test::syscall_hooks;

extern "C" {

int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, flags);
    mode = (mode_t)va_arg(ap, int);
    va_end(ap);
  }
  const std::string name = path;
  if ((flags & O_CREAT) && gDenied.count(name.substr(0, name.rfind('/'))))
    return errno = EACCES, -1;
  const int fd = __real_open(path, flags, mode);
  if (tRecording && fd >= 0) tNames[fd] = LastPart(path);
  NoteFd("open", fd);
  return fd;
}

ssize_t __wrap_write(int fd, const void* data, size_t n) {
  NoteFd("write", fd);
  return __real_write(fd, data, n);
}

int __wrap_fsync(int fd) {
  NoteFd("fsync", fd);
  return __real_fsync(fd);
}

int __wrap_rename(const char* from, const char* to) {
  Note("rename " + LastPart(from) + " " + LastPart(to));
  return __real_rename(from, to);
}

int __wrap_access(const char* path, int mode) {
  if ((mode & W_OK) && gDenied.count(path)) return errno = EACCES, -1;
  return __real_access(path, mode);
}

}  // extern "C"
