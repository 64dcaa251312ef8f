#pragma once
// Replacing a file the user owns so that, whatever happens (a failed write, a crash, a power
// cut), it holds either its old contents or the complete new ones.
//
//   TempFile out;
//   if (!out.Open(path)) ...   // refused: the file cannot be written
//   write the new contents to out.Fd()
//   if (!out.Commit()) ...     // failed: the file is as it was
//
// The new contents go to a temporary file in the target's folder, which is flushed to the disk
// before it is renamed over the target; the folder is flushed afterwards so that the rename
// lasts too. The target is the file that symbolic links in the path lead to: a link stays a
// link and the file it names gets the new contents. A replaced file keeps its permissions; a
// new one gets those the umask allows.
//
// A target that exists but is not a plain file the user may write is refused. When the folder
// takes no new file but the target itself may be written, the new contents are gathered in
// memory and written over the target once they are complete (a crash during that last write
// can leave it incomplete: without a second file there is no other way to change it).
//
// Temporary files are named ".quenta-<pid>-<n>.tmp" and made exclusively. With
// Naming::kShared the name is ".<target's name>.new", the same for every writer of the target:
// the file is held locked from before it is truncated until it has been renamed, so writers in
// other processes take turns instead of writing into each other's files.
#include <sys/stat.h>

#include <cstddef>
#include <string>

class TempFile {
 public:
  enum class Naming { kUnique, kShared };

  TempFile() = default;
  ~TempFile() { Discard(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Starts replacing path. False (with errno telling why) when the target cannot be written or
  // nothing can be made to gather the new contents in.
  bool Open(const char* path, Naming naming = Naming::kUnique);
  // Where the new contents are written: a new, empty file.
  int Fd() const { return mFd; }
  // The temporary file, for removal by a signal handler; empty when the contents are gathered
  // in memory or nothing is open.
  const std::string& TempPath() const { return mTemp; }
  // Puts the new contents in place. False (errno telling why) when that failed; the target is
  // then as it was, except after a failed write in place. written, when given, receives what
  // stat says of the new file. Nothing is left open or behind either way.
  bool Commit(struct stat* written = nullptr);
  // Drops the new contents; the target is left as it was.
  void Discard();

 private:
  int OpenShared(const std::string& folder, const std::string& name);
  int OpenUnique(const std::string& folder);
  bool Rename(struct stat* written);
  bool WriteInPlace(struct stat* written);

  std::string mTarget;  // the file to replace, links followed
  std::string mTemp;    // the temporary file, empty while the contents are in memory
  int mFd = -1;
  bool mInMemory = false;
};

// Writes all n bytes to fd, retrying after interruptions; false on any write error.
bool WriteAllToFd(int fd, const void* data, size_t n);

// Replaces the file at path with n bytes of data through a TempFile.
bool ReplaceFile(const char* path, const void* data, size_t n);
