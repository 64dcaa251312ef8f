#pragma once
// Writing files the user owns without ever leaving a partial one behind.
#include <cstddef>

// Writes all n bytes to fd, retrying after interruptions; false on any write error.
bool WriteAllToFd(int fd, const void* data, size_t n);

// Writes the data to a new file in the target's folder, flushes it and renames it over the
// target, so the target is either the old file or the complete new one. A replaced file keeps
// its permissions; a new one gets those the umask allows. tag names the temporary file
// (".<tag><pid>-<n>.tmp", short so that long target names still fit). On failure the
// temporary file is removed and false returned.
bool ReplaceFileAtomically(const char* path, const void* data, size_t n, const char* tag);
