#include "testing/tool_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

ToolRun RunTool(const std::vector<std::string>& argv) {
  ToolRun run;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return run;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    dup2(pipeFds[1], 1);
    dup2(pipeFds[1], 2);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, static_cast<std::size_t>(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

bool PythonHas(const std::vector<std::string>& modules) {
  if (access("/usr/bin/python3", X_OK) != 0) return false;
  std::string code;
  for (const std::string& m : modules) code += "import " + m + "\n";
  return RunTool({"/usr/bin/python3", "-c", code}).status == 0;
}

bool PerlHas(const std::string& module) {
  if (access("/usr/bin/perl", X_OK) != 0) return false;
  return RunTool({"/usr/bin/perl", "-M" + module, "-e", "1"}).status == 0;
}
