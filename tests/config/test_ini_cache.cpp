// The file cache (reload after changes on disk, other processes, eviction) and writing back:
// flushed before the rename, writers of other processes taking turns, and writes that cannot be
// completed, which must leave the old file intact and be reported.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ini_files.h"
#include "support/syscall_hooks.h"

namespace quenta_test {
namespace {

// Sets the file's modification time (access time too).
void SetMtime(const std::string& path, const struct timespec& t) {
  const struct timespec times[2] = {t, t};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(IniTest, ReloadsWhenTimeSizeOrIdentityChange) {
  const std::string f = Path("reload.ini");
  WriteFile(f, "[S]\nk=aaaa\n");
  ASSERT_EQ(Get(f, "S", "k"), "aaaa");

  // Same size, later time.
  struct timespec t = Stat(f).st_mtim;
  t.tv_sec += 1;
  WriteFile(f, "[S]\nk=bbbb\n");
  SetMtime(f, t);
  EXPECT_EQ(Get(f, "S", "k"), "bbbb");

  // Same time, other size.
  WriteFile(f, "[S]\nk=cc\n");
  SetMtime(f, t);
  EXPECT_EQ(Get(f, "S", "k"), "cc");

  // A change in place that leaves time, size and file alone is not seen: the cache serves the
  // reads.
  std::ofstream(f, std::ios::binary | std::ios::in) << "[S]\nk=xx\n";
  SetMtime(f, t);
  EXPECT_EQ(Get(f, "S", "k"), "cc");

  // Replaced by another file of the same size and time.
  const std::string other = Path("other.ini");
  WriteFile(other, "[S]\nk=dd\n");
  SetMtime(other, t);
  ASSERT_EQ(rename(other.c_str(), f.c_str()), 0);
  EXPECT_EQ(Get(f, "S", "k"), "dd");
}

// Whether process pid is waiting for a file lock (as /proc/locks shows waiters).
bool WaitsForLock(pid_t pid) {
  std::ifstream locks("/proc/locks");
  const std::string waiter = " " + std::to_string((long)pid) + " ";
  for (std::string line; std::getline(locks, line);)
    if (line.find("->") != std::string::npos && line.find(waiter) != std::string::npos) return true;
  return false;
}

// Another process is writing the temporary file (and holds its lock) when this one wants to
// write: it must wait without touching that file, and then write a file of its own.
TEST_F(IniTest, WriterWaitsForTheTemporaryFileOfAnother) {
  const std::string f = Path("wait.ini"), temp = Path(".wait.ini.new");
  WriteFile(f, "[S]\nk=old\n");
  const std::string theirs = "[S]\nk=theirs, written by the other process\n\n";
  WriteFile(temp, theirs);
  const int held = open(temp.c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const ino_t theirInode = Stat(temp).st_ino;

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(WritePrivateProfileString("S", "k", "mine", f.c_str()) == 1 ? 0 : 1);
  bool waiting = false;
  for (int i = 0; i < 20000 && !(waiting = WaitsForLock(pid)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(waiting);
  // The waiting writer has not cut the file it waits for.
  EXPECT_EQ(ReadFile(temp), theirs);
  // The other process finishes: its file replaces the real one, then it lets go.
  ASSERT_EQ(rename(temp.c_str(), f.c_str()), 0);
  ASSERT_EQ(flock(held, LOCK_UN), 0);
  close(held);

  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // ... in a file of its own, not by writing over theirs after it had become the real file.
  EXPECT_EQ(ReadFile(f), "[S]\nk=mine\n\n");
  EXPECT_NE(Stat(f).st_ino, theirInode);
  EXPECT_FALSE(Exists(temp));
}

// Section and key names match without case, file names with it.
TEST_F(IniTest, NamesMatchWithoutCaseButFileNamesWithIt) {
  const std::string upper = Path("Case.ini"), lower = Path("case.ini");
  WriteFile(upper, "[S]\nk=AAA\n");
  WriteFile(lower, "[S]\nk=aaa\n");
  SetMtime(lower, Stat(upper).st_mtim);
  EXPECT_EQ(Get(upper, "S", "k"), "AAA");
  EXPECT_EQ(Get(lower, "S", "k"), "aaa");
  EXPECT_EQ(Get(upper, "s", "K"), "AAA");
  // A new value under another spelling changes the entry and keeps the first spelling.
  ASSERT_EQ(WritePrivateProfileString("s", "K", "bbb", lower.c_str()), 1);
  EXPECT_EQ(ReadFile(upper), "[S]\nk=AAA\n");
  EXPECT_EQ(ReadFile(lower), "[S]\nk=bbb\n\n");
}

TEST_F(IniTest, WriteBackFlushesTheFileBeforeRenamingIt) {
  const std::string f = Path("quenta.ini");
  ASSERT_EQ(WritePrivateProfileString("S", "k", "old", f.c_str()), 1);
  syscall_hooks::Begin();
  ASSERT_EQ(WritePrivateProfileString("S", "k", "new", f.c_str()), 1);
  const std::string dir = Dir().substr(Dir().rfind('/') + 1);
  EXPECT_EQ(syscall_hooks::End(),
            "open .quenta.ini.new; write .quenta.ini.new; fsync .quenta.ini.new; "
            "rename .quenta.ini.new quenta.ini; open " +
                dir + "; fsync " + dir + "; ");
}

// A write that cannot be completed fails, and leaves the old file (and whatever stands in the
// temporary file's place) as it was.
TEST_F(IniTest, WritesThatCannotCompleteFailAndLeaveTheOldFile) {
  const std::string f = Path("quenta.ini"), temp = Path(".quenta.ini.new");
  WriteFile(f, "[S]\nk=old\n");
  ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "new", f.c_str()), 0);
  EXPECT_EQ(ReadFile(f), "[S]\nk=old\n");
  EXPECT_TRUE(std::filesystem::is_directory(temp));
  // The change stays in the cache, and goes to the file with the next write that succeeds,
  // even one that changes nothing.
  EXPECT_EQ(Get(f, "S", "k"), "new");
  ASSERT_EQ(rmdir(temp.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "new", f.c_str()), 1);
  EXPECT_EQ(ReadFile(f), "[S]\nk=new\n\n");

  // A link in the temporary file's place is not followed.
  const std::string linked = Path("linked.ini"), victim = Path("victim.txt");
  WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), Path(".linked.ini.new").c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", linked.c_str()), 0);
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_FALSE(Exists(linked));

  // Folders that cannot hold the file: a plain file, a missing folder (not made).
  WriteFile(Path("plain"), "not a folder");
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", Path("plain/quenta.ini").c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", Path("missing/quenta.ini").c_str()), 0);
  EXPECT_EQ(ReadFile(Path("plain")), "not a folder");
  EXPECT_FALSE(Exists(Path("missing")));
  EXPECT_EQ(Get(Path("missing/quenta.ini"), "S", "k"), "v");
}

}  // namespace
}  // namespace quenta_test
