// The documents folder: the XDG user directory when one is configured, else
// ~/Documents.
#include "platform/rtl/documents_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/rtl/paths.h"

extern char** environ;

namespace {

// Standard output of `xdg-user-dir DOCUMENTS` without its line end, or ""
// when the tool is missing or fails. Its error output is discarded.
std::string AskXdgUserDir() {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  char program[] = "xdg-user-dir";
  char argument[] = "DOCUMENTS";
  char* argv[] = {program, argument, nullptr};
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string out;
  if (spawned == 0) {
    char chunk[512];
    for (;;) {
      ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      if (out.size() < 65536) out.append(chunk, static_cast<std::size_t>(n));
    }
  }
  close(pipeFds[0]);
  if (spawned != 0) return {};
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string HomeDirectory() {
  if (const char* home = getenv("HOME"); home && *home) return home;
  if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

AnsiString DocumentsFolder() {
  std::string home = WithoutTrailingSlashes(HomeDirectory());
  std::string folder = WithoutTrailingSlashes(AskXdgUserDir());
  if (folder.empty() || folder[0] != '/' || folder == home || SameFile(folder, home)) {
    folder = (home == "/" ? std::string() : home) + "/Documents";
  }
  AnsiString name = DiskPathToProgramName(folder);
  if (!DirectoryExists(name)) ForceDirectories(name);
  return IncludeTrailingPathDelimiter(name);
}
