#include "base/tempfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

// Links followed before a path counts as a loop.
constexpr int kMaxLinks = 40;
// Attempts at a unique name, and at locking a shared temporary file that other writers keep
// replacing.
constexpr int kUniqueNameAttempts = 8;
constexpr int kSharedOpenAttempts = 100;

// "dir/name" -> "dir/", "name" -> "".
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with every symbolic link at its end replaced by what it names, which need not exist.
std::string FollowLinks(const char* path) {
  std::string p(path);
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::vector<char> buf((size_t)st.st_size + 256);
    const ssize_t n = readlink(p.c_str(), buf.data(), buf.size());
    if (n <= 0 || (size_t)n == buf.size()) break;
    const std::string link(buf.data(), (size_t)n);
    p = link[0] == '/' ? link : FolderOf(p) + link;
  }
  return p;
}

// Flushes a folder's entries, so that a file renamed into it stays renamed after a power cut.
// Some file systems cannot do that; the rename has happened all the same.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

void LockExclusive(int fd) {
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

}  // namespace

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

bool TempFile::Open(const char* path, Naming naming) {
  Discard();
  if (!path || !path[0]) {
    errno = ENOENT;
    return false;
  }
  mTarget = FollowLinks(path);
  struct stat st;
  const bool exists = lstat(mTarget.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  // A file the user may not write is not replaced either, though the folder would allow it.
  if (exists && access(mTarget.c_str(), W_OK) != 0) return false;

  const std::string folder = FolderOf(mTarget);
  mFd = naming == Naming::kShared ? OpenShared(folder, NameOf(mTarget)) : OpenUnique(folder);
  if (mFd >= 0) {
    if (exists) fchmod(mFd, st.st_mode & 07777);
    return true;
  }
  if (!exists || (errno != EACCES && errno != EPERM)) return false;
  // The folder takes no new file, the file itself may be written: gather the contents in memory.
  mFd = memfd_create("quenta-file", MFD_CLOEXEC);
  mInMemory = mFd >= 0;
  return mInMemory;
}

int TempFile::OpenUnique(const std::string& folder) {
  static std::atomic<unsigned> sCounter{0};
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    mTemp = folder + ".quenta-" + std::to_string((long)getpid()) + "-" +
            std::to_string(sCounter++) + ".tmp";
    const int fd = open(mTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  mTemp.clear();
  return -1;
}

// Opens the shared temporary file and locks it. Another writer may rename it away while this
// one waits for the lock, so the lock only counts when the name still leads to the locked file
// afterwards. The file is emptied only once locked: before, it may be the holder's.
int TempFile::OpenShared(const std::string& folder, const std::string& name) {
  const std::string temp = folder + "." + name + ".new";
  for (int attempt = 0; attempt < kSharedOpenAttempts; ++attempt) {
    // Non-blocking, so that a FIFO in its place cannot hang the caller; no links followed.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    const int fd = open(temp.c_str(), flags, 0666);
    if (fd < 0) return -1;
    struct stat held, named;
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      close(fd);
      errno = EINVAL;
      return -1;
    }
    fcntl(fd, F_SETFL, 0);
    LockExclusive(fd);
    const bool same = stat(temp.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                      named.st_ino == held.st_ino;
    if (same) {
      if (ftruncate(fd, 0) == 0) {
        mTemp = temp;
        return fd;
      }
      close(fd);
      return -1;
    }
    close(fd);
  }
  errno = EAGAIN;
  return -1;
}

bool TempFile::Commit(struct stat* written) {
  if (mFd < 0) {
    errno = EBADF;
    return false;
  }
  const bool ok = mInMemory ? WriteInPlace(written) : Rename(written);
  const int error = errno;
  Discard();
  errno = error;
  return ok;
}

bool TempFile::Rename(struct stat* written) {
  struct stat st;
  // The data reaches the disk before the name does: a power cut cannot leave an empty file.
  if (fsync(mFd) != 0 || fstat(mFd, &st) != 0) return false;
  // Renamed while a shared temporary file is still locked, so no other writer takes it up.
  if (std::rename(mTemp.c_str(), mTarget.c_str()) != 0) return false;
  mTemp.clear();
  close(mFd);
  mFd = -1;
  SyncFolder(FolderOf(mTarget));
  if (written) *written = st;
  return true;
}

bool TempFile::WriteInPlace(struct stat* written) {
  const off_t size = lseek(mFd, 0, SEEK_END);
  if (size < 0) return false;
  std::vector<char> image((size_t)size);
  if (size > 0 && pread(mFd, image.data(), image.size(), 0) != (ssize_t)size) return false;

  const int fd = open(mTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    fcntl(fd, F_SETFL, 0);
    // Readers that lock the file shared wait until it is whole again.
    LockExclusive(fd);
    ok = WriteAllToFd(fd, image.data(), image.size()) && ftruncate(fd, size) == 0 &&
         fsync(fd) == 0 && fstat(fd, &st) == 0;
    flock(fd, LOCK_UN);
  }
  const int error = errno;
  close(fd);
  errno = error;
  if (ok && written) *written = st;
  return ok;
}

void TempFile::Discard() {
  // A shared temporary file goes before its lock is let go, so no waiting writer adopts it.
  if (!mTemp.empty()) unlink(mTemp.c_str());
  if (mFd >= 0) close(mFd);
  mTemp.clear();
  mFd = -1;
  mInMemory = false;
}

bool ReplaceFile(const char* path, const void* data, size_t n) {
  TempFile out;
  return out.Open(path) && WriteAllToFd(out.Fd(), data, n) && out.Commit();
}
