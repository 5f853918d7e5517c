// What the main window's add-ons cost at rest: the program's start
// sequence on a small demo directory (status bar with clock and key panes,
// magnet, topmost button, single-instance channel) against the baseline of
// an empty Qt window, each in a child process on the same platform. After a
// settle time each child measures its own CPU time (utime + stime) and its
// voluntary context switches (wake-ups) over the measured time.
//
//   status_bar_idle            three runs each, 2 s settle, 10 s measured,
//                              offscreen and, with DISPLAY set, X11
//   status_bar_idle --quick    one run, 1 s settle, 2 s measured, offscreen
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "bench/bench_harness.h"
#include "platform/gui/application.h"
#include "platform/gui/instance_channel.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

extern char** environ;

namespace {

struct Usage {
  double cpuMs = 0;
  long switches = 0;
};

Usage ReadUsage() {
  Usage u;
  std::ifstream stat("/proc/self/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), {});
  // Fields after the command name (which may hold blanks) in parentheses.
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::vector<std::string> f;
  for (std::string s; rest >> s;) f.push_back(s);
  const double tick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  if (f.size() > 12) u.cpuMs = (std::stod(f[11]) + std::stod(f[12])) * tick;  // utime, stime
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) u.switches = std::stol(line.substr(24));
  return u;
}

void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

int Child(const std::string& kind, int settleMs, int measureMs, int argc, char** argv) {
  QTemporaryDir temp;
  std::unique_ptr<QWidget> empty;
  if (kind == "main") {
    const AnsiString root = DiskPathToProgramName(temp.path().toStdString());
    TDemoDataOptions demo;
    demo.documents = 50;
    demo.iniFile = root + "/Platebna.ini";
    MakeDemoData(root + "/data", demo);
    SetProgramDirectory(root + "/");
    InstanceChannel::DecideUnguarded();
    CreateProgramObjects(argc, argv);
    Platebna->Show();
  } else {
    QApplication* app = new QApplication(argc, argv);
    (void)app;
    empty = std::make_unique<QWidget>();
    empty->resize(580, 363);
    empty->show();
  }
  RunFor(settleMs);
  const Usage a = ReadUsage();
  RunFor(measureMs);
  const Usage b = ReadUsage();
  std::printf("%.3f %ld\n", b.cpuMs - a.cpuMs, b.switches - a.switches);
  std::fflush(stdout);
  std::_Exit(0);  // the numbers are out; nothing else matters
}

// Runs one child and returns its usage over the measured time.
bool Measure(const std::string& self, const std::string& kind, const std::string& platform, int settleMs,
             int measureMs, Usage& out) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) envs.emplace_back(*e);
  envs.push_back("QT_QPA_PLATFORM=" + platform);
  std::vector<char*> envp;
  for (std::string& e : envs) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string settle = std::to_string(settleMs), measure = std::to_string(measureMs);
  char* argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>("--child"), const_cast<char*>(kind.c_str()),
                  const_cast<char*>(settle.c_str()), const_cast<char*>(measure.c_str()), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFd[1]);
  if (rc != 0) {
    close(pipeFd[0]);
    return false;
  }
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(pipeFd[0], buffer, sizeof(buffer))) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  std::istringstream in(text);
  return static_cast<bool>(in >> out.cpuMs >> out.switches);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::strcmp(argv[1], "--child") == 0)
    return Child(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), 1, argv);
  const bool quick = bench::QuickRun(argc, argv);
  const int runs = quick ? 1 : 3, settleMs = quick ? 1000 : 2000, measureMs = quick ? 2000 : 10000;
  const std::string self = "/proc/self/exe";
  std::vector<std::string> platforms = {"offscreen"};
  if (!quick && std::getenv("DISPLAY")) platforms.push_back("xcb");
  const double tickMs = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const std::string& platform : platforms) {
    std::vector<double> cpu[2], wake[2];
    const char* kinds[2] = {"main", "empty"};
    for (int r = 0; r < runs; ++r)
      for (int k = 0; k < 2; ++k) {
        Usage u;
        if (!Measure(self, kinds[k], platform, settleMs, measureMs, u)) {
          std::fprintf(stderr, "status_bar_idle: the %s child on %s gave no figures\n", kinds[k], platform.c_str());
          return 1;
        }
        cpu[k].push_back(u.cpuMs * 10000.0 / measureMs);
        wake[k].push_back(static_cast<double>(u.switches) * 1000.0 / measureMs);
      }
    const double a = Median(cpu[0]), b = Median(cpu[1]);
    const double wa = Median(wake[0]), wb = Median(wake[1]);
    std::printf("%s: main window with add-ons %.1f ms CPU per 10 s (%.2f %% of a core), %.1f wake-ups/s\n",
                platform.c_str(), a, a / 100.0, wa);
    std::printf("%s: baseline (empty QWidget window) %.1f ms CPU per 10 s, %.1f wake-ups/s\n", platform.c_str(), b, wb);
    std::printf("%s: difference %.1f ms per 10 s, %.1f wake-ups/s, ratio %.3f\n", platform.c_str(), a - b, wa - wb,
                a / std::max(b, tickMs));
  }
  return 0;
}
