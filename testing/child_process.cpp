#include "testing/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <stdexcept>

Channel::~Channel() {
  if (readFd_ >= 0) close(readFd_);
  if (writeFd_ >= 0) close(writeFd_);
}

void Channel::Send(const std::string& line) {
  std::string data = line + "\n";
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = write(writeFd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

std::string Channel::Receive(int timeoutMs) {
  for (;;) {
    auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    pollfd p{readFd_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::string();
    char chunk[256];
    ssize_t n = read(readFd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::string();
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

ChildProcess::ChildProcess(const std::function<int(Channel&)>& body) {
  int toChild[2], toParent[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(toParent, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  std::fflush(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    close(toChild[1]);
    close(toParent[0]);
    int status = 99;
    {
      Channel channel(toChild[0], toParent[1]);
      try {
        status = body(channel);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "child: %s\n", e.what());
        status = 99;
      } catch (...) {
        status = 99;
      }
    }
    _exit(status);
  }
  close(toChild[0]);
  close(toParent[1]);
  channel_ = new Channel(toParent[0], toChild[1]);
}

ChildProcess::~ChildProcess() {
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
  delete channel_;
}

int ChildProcess::Wait() {
  if (reaped_) return status_;
  int raw = 0;
  while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return status_;
}

void ChildProcess::Kill(int signal) {
  if (!reaped_ && pid_ > 0) kill(pid_, signal);
}
