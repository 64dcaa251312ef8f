#include "editor/platform/helpers.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace platform {

namespace {

constexpr int kTickMs = 40;

// argv as the C array posix_spawnp takes (pointers into the strings).
std::vector<char*> CArgs(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

// Spawns argv with standard input from /dev/null and standard output into outFd (or
// /dev/null when outFd < 0). 0 when it could not start.
pid_t Spawn(const std::vector<std::string>& argv, int outFd) {
  if (argv.empty()) return 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  // The helper's own group, so that signals meant for the host's group do not reach it.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<char*> args = CArgs(argv);
  pid_t pid = 0;
  const int err = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return err == 0 ? pid : 0;
}

bool HasExtension(const std::string& path, const std::vector<std::string>& extensions) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  const std::string ext = path.substr(dot + 1);
  for (const std::string& e : extensions)
    if (strcasecmp(e.c_str(), ext.c_str()) == 0) return true;
  return false;
}

}  // namespace

bool IsOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (!path || !name || !name[0] || std::strchr(name, '/')) return false;
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string file = dir + "/" + name;
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

HelperResult RunHelper(const std::vector<std::string>& argv, const std::function<void()>& tick,
                       size_t maxOutput) {
  HelperResult result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return result;
  const pid_t pid = Spawn(argv, fds[1]);
  close(fds[1]);
  if (!pid) {
    close(fds[0]);
    return result;
  }
  result.started = true;
  bool open = true;
  int status = 0;
  for (;;) {
    if (open) {
      pollfd p = {fds[0], POLLIN, 0};
      if (poll(&p, 1, kTickMs) > 0) {
        char buf[4096];
        const ssize_t n = read(fds[0], buf, sizeof(buf));
        if (n > 0) {
          const size_t room = maxOutput - result.output.size();
          result.output.append(buf, (size_t)n < room ? (size_t)n : room);
        } else if (n == 0 || errno != EINTR) {
          open = false;
        }
      }
    } else {
      poll(nullptr, 0, kTickMs);
    }
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (tick) tick();
  }
  // What it wrote just before it ended.
  for (char buf[4096];;) {
    const ssize_t n = open ? read(fds[0], buf, sizeof(buf)) : 0;
    if (n <= 0) break;
    const size_t room = maxOutput - result.output.size();
    result.output.append(buf, (size_t)n < room ? (size_t)n : room);
  }
  close(fds[0]);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

int StartHelper(const std::vector<std::string>& argv) { return (int)Spawn(argv, -1); }

void ReapHelpers(std::vector<int>* pids) {
  for (size_t i = 0; i < pids->size();) {
    const pid_t r = waitpid((*pids)[i], nullptr, WNOHANG);
    if (r == (*pids)[i] || (r < 0 && errno == ECHILD)) {
      pids->erase(pids->begin() + (long)i);
    } else {
      ++i;
    }
  }
}

bool IsOpenableAddress(const char* address) {
  if (!address || !address[0]) return false;
  for (const char* p = address; *p; ++p)
    if ((unsigned char)*p <= ' ' || *p == 0x7f) return false;
  if (strncasecmp(address, "http://", 7) == 0 || strncasecmp(address, "https://", 8) == 0) {
    const char* host = std::strstr(address, "://") + 3;
    return *host && *host != '/';
  }
  struct stat st;
  return address[0] == '/' && stat(address, &st) == 0;
}

std::vector<std::string> SplitExtensions(const char* extensions) {
  std::vector<std::string> list;
  std::string word;
  for (const char* p = extensions ? extensions : "";; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!word.empty()) list.push_back(word);
      word.clear();
      if (!*p) break;
    } else if (*p != '.' || !word.empty()) {
      word += *p;
    }
  }
  return list;
}

std::vector<std::string> FileDialogCommand(DialogTool tool, const FileRequest& request) {
  const bool save = request.action == FileAction::kSave;
  const std::string start = request.folder + "/" + (save ? request.fileName : std::string());
  std::string patterns;
  for (const std::string& e : request.extensions) patterns += (patterns.empty() ? "*." : " *.") + e;
  std::vector<std::string> argv;
  if (tool == DialogTool::kZenity) {
    argv = {"zenity", "--file-selection", "--title=" + std::string(save ? "Save" : "Open")};
    if (save) argv.push_back("--save");
    argv.push_back("--filename=" + start);
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
  } else {
    argv = {"kdialog", save ? "--getsavefilename" : "--getopenfilename", start};
    if (!patterns.empty()) argv.push_back(patterns);
  }
  return argv;
}

std::string ChosenPath(const std::string& helperOutput, const FileRequest& request) {
  std::string path = helperOutput;
  if (!path.empty() && path.back() == '\n') path.pop_back();
  // A path with a line break in it cannot be told apart from two answers: refused.
  if (path.empty() || path[0] != '/' || path.find('\n') != std::string::npos ||
      path.find('\r') != std::string::npos) {
    return std::string();
  }
  if (request.action == FileAction::kSave && !request.extensions.empty() && path.back() != '/' &&
      !HasExtension(path, request.extensions)) {
    path += "." + request.extensions[0];
  }
  return path;
}

}  // namespace platform
