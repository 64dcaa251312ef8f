#pragma once
// Records the file system calls of the calling thread, and refuses writes as the permissions of
// an ordinary user would, also when the tests run as root.
// The suites that use this are linked with --wrap for open, write, fsync, rename and access
// (tests/CMakeLists.txt): these calls of everything linked into the test program come here
// first, then go on to the C library (or a sanitizer's interceptor).
#include <string>

namespace quenta_test::syscall_hooks {

// Starts recording on this thread.
void Begin();
// Stops recording and returns the calls in order, each followed by "; ": "open NAME",
// "write NAME", "fsync NAME" (NAME is the last part of the path the file was opened by),
// "rename FROM TO".
std::string End();

// Until AllowAll: access(path, W_OK) fails, and when path is a folder, no file can be created
// in it (EACCES).
void DenyWrite(const std::string& path);
void AllowAll();

}  // namespace quenta_test::syscall_hooks
