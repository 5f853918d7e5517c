// The single-instance guard across processes, with the probe program: the
// first start receives, later ones hand over and end; crashed, stopped and
// racing starts; and the late decision at the component's load.
#include "ui/window_addons/one_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui/forms.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::string HexOf(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

class Probes {
 public:
  Probes() : runtime_(dir_.Path() + "run") {
    mkdir(runtime_.c_str(), 0700);
    log_ = dir_.Path() + "log";
  }
  ~Probes() {
    for (pid_t pid : running_) {
      kill(pid, SIGCONT);
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Starts the probe (program: its path) with extra environment settings.
  pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
              const std::string& program = ONE_INSTANCE_PROBE) {
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e) {
      std::string s = *e;
      if (s.rfind("XDG_RUNTIME_DIR=", 0) == 0 || s.rfind("PROBE_", 0) == 0) continue;
      envs.push_back(s);
    }
    envs.push_back("XDG_RUNTIME_DIR=" + runtime_);
    envs.push_back("PROBE_LOG=" + log_);
    envs.push_back("QT_QPA_PLATFORM=offscreen");
    for (const std::string& e : env) envs.push_back(e);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
    running_.push_back(pid);
    return pid;
  }

  // The exit status, or -1 when still running after the timeout.
  int Wait(pid_t pid, std::chrono::milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        std::erase(running_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > until) return -1;
      std::this_thread::sleep_for(10ms);
    }
  }

  std::vector<std::string> Lines() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : Lines()) n += l.rfind(prefix, 0) == 0;
    return n;
  }
  bool WaitForLine(const std::string& prefix, int count = 1, std::chrono::milliseconds timeout = 10s) const {
    auto until = std::chrono::steady_clock::now() + timeout;
    while (Count(prefix) < count) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
  std::string Last(const std::string& prefix) const {
    std::string found;
    for (const std::string& l : Lines())
      if (l.rfind(prefix, 0) == 0) found = l;
    return found;
  }
  const std::string& Runtime() const { return runtime_; }
  const TempDir& Dir() const { return dir_; }

 private:
  TempDir dir_;
  std::string runtime_;
  std::string log_;
  std::vector<pid_t> running_;
};

TEST(OneInstanceMultiprocess, LaterStartsHandOverTheirParameters) {
  Probes p;
  p.Start({}, {"PROBE_MINIMISED=1"});
  ASSERT_TRUE(p.WaitForLine("ready"));
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  std::vector<std::string> twelve;
  std::string ten = "got 10";
  for (int i = 0; i < 12; ++i) {
    twelve.push_back("p" + std::to_string(i));
    if (i < 10) ten += " " + HexOf("p" + std::to_string(i));
  }
  std::string r350;
  for (int i = 0; i < 350; ++i) r350 += "ř";
  const Case cases[] = {
      {{}, "got 0"},
      {twelve, ten},
      {{r350}, "got 1 " + HexOf(std::string(300, '\xF8'))},
      {{"Ω", " a \"b\" 'c' "}, "got 2 " + HexOf("?") + " " + HexOf(" a \"b\" 'c' ")},
  };
  int n = 0;
  for (const Case& c : cases) {
    auto started = std::chrono::steady_clock::now();
    pid_t second = p.Start(c.args);
    EXPECT_EQ(p.Wait(second, 5s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    ASSERT_TRUE(p.WaitForLine("got", ++n));
    EXPECT_EQ(p.Last("got"), c.expected);
  }
  EXPECT_EQ(p.Last("state"), "state normal") << "the first copy is restored";
  EXPECT_EQ(p.Count("handed-over"), 4);
}

TEST(OneInstanceMultiprocess, WithoutShowingOnlyTheEventFires) {
  Probes p;
  p.Start({}, {"PROBE_MINIMISED=1", "PROBE_NO_SHOW=1"});
  ASSERT_TRUE(p.WaitForLine("ready"));
  EXPECT_EQ(p.Wait(p.Start({"x"}), 5s), 0);
  ASSERT_TRUE(p.WaitForLine("state"));
  EXPECT_EQ(p.Last("state"), "state minimised");
}

TEST(OneInstanceMultiprocess, AnotherFileNameIsAnotherProgram) {
  Probes p;
  const std::string copy = p.Dir().Path() + "probe_copy";
  std::filesystem::copy_file(ONE_INSTANCE_PROBE, copy);
  p.Start({});
  ASSERT_TRUE(p.WaitForLine("receiver"));
  pid_t other = p.Start({}, {}, copy);
  ASSERT_TRUE(p.WaitForLine("receiver", 2));
  EXPECT_EQ(p.Wait(other, 500ms), -1) << "both run";
}

TEST(OneInstanceMultiprocess, CrashedAndStoppedReceivers) {
  Probes p;
  pid_t first = p.Start({});
  ASSERT_TRUE(p.WaitForLine("ready"));
  kill(first, SIGKILL);
  p.Wait(first, 5s);
  struct stat st{};
  EXPECT_EQ(stat((p.Runtime() + "/one_instance_probe.sock").c_str(), &st), 0) << "the socket file stays";
  pid_t second = p.Start({});
  ASSERT_TRUE(p.WaitForLine("receiver", 2));
  ASSERT_TRUE(p.WaitForLine("ready", 2));
  EXPECT_EQ(p.Wait(p.Start({"a"}), 5s), 0);
  ASSERT_TRUE(p.WaitForLine("got"));
  // A stopped receiver: the next start takes the name over after its wait.
  kill(second, SIGSTOP);
  pid_t third = p.Start({}, {"PROBE_ACK_MS=500"});
  ASSERT_TRUE(p.WaitForLine("receiver", 3));
  ASSERT_TRUE(p.WaitForLine("ready", 3));
  EXPECT_EQ(p.Wait(p.Start({"b"}), 5s), 0);
  ASSERT_TRUE(p.WaitForLine("got", 2));
  kill(second, SIGCONT);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(p.Wait(second, 10ms), -1) << "the old receiver keeps running";
  EXPECT_EQ(p.Wait(third, 10ms), -1);
}

TEST(OneInstanceMultiprocess, EightSimultaneousStarts) {
  Probes p;
  std::vector<pid_t> pids;
  for (int i = 0; i < 8; ++i) pids.push_back(p.Start({"s" + std::to_string(i)}));
  // The one receiver keeps running; the others end.
  int handed = 0;
  auto until = std::chrono::steady_clock::now() + 10s;
  while (handed < 7 && std::chrono::steady_clock::now() < until) {
    for (pid_t& pid : pids)
      if (pid > 0 && p.Wait(pid, 0ms) == 0) {
        ++handed;
        pid = -1;
      }
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(handed, 7);
  EXPECT_EQ(p.Count("receiver"), 1);
  EXPECT_TRUE(p.WaitForLine("got", 7));
}

TEST(OneInstanceMultiprocess, LateDecisionEndsBeforeTheFormShows) {
  for (const char* halt : {"PROBE_HALT=1", "PROBE_NOTHING=1"}) {
    Probes p;
    p.Start({});
    ASSERT_TRUE(p.WaitForLine("ready"));
    pid_t late = p.Start({"z"}, {"PROBE_LATE=1", halt});
    EXPECT_EQ(p.Wait(late, 10s), 0) << halt;
    ASSERT_TRUE(p.WaitForLine("got"));
    EXPECT_EQ(p.Count("shown"), 1) << "only the first copy's form: " << halt;
  }
}

TEST(OneInstanceGui, OnlyOneComponentPerProcess) {
  std::unique_ptr<TForm> form(NewForm<TForm>(nullptr));
  auto* one = new TOneInstance(form.get());
  EXPECT_EQ(TOneInstance::Instance(), one);
  EXPECT_TRUE(one->ShowOnNewInstance());
  EXPECT_FALSE(one->UseHaltToExit());
  EXPECT_EQ(ErrorMessage([&] { new TOneInstance(form.get()); }), "Drop only one of these components on your form !");
  delete one;
  EXPECT_EQ(TOneInstance::Instance(), nullptr);
}

}  // namespace
