#include "dbase/tests/support/xbase_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

extern char** environ;

#ifndef XBASE_LOCK_PEER
#error "the build names the helper program in XBASE_LOCK_PEER"
#endif

XbasePeer::XbasePeer() {
  // A peer that died must fail the test, not end it with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  char program[] = XBASE_LOCK_PEER;
  char* argv[] = {program, nullptr};
  const int status = posix_spawn(&pid_, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  toPeer_ = in[1];
  fromPeer_ = out[0];
  if (status != 0) {
    close(toPeer_);
    close(fromPeer_);
    throw std::runtime_error(std::string("cannot start ") + program);
  }
}

XbasePeer::~XbasePeer() {
  Send("quit");
  close(toPeer_);
  int raw = 0;
  // A peer stuck in a lock wait gets five seconds, then is killed.
  for (int i = 0; i < 500; ++i) {
    const pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_ || (r < 0 && errno != EINTR)) {
      close(fromPeer_);
      return;
    }
    usleep(10000);
  }
  kill(pid_, SIGKILL);
  while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
  }
  close(fromPeer_);
}

void XbasePeer::Send(const std::string& command) {
  const std::string line = command + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(toPeer_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string XbasePeer::Receive(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::string();
    pollfd p{fromPeer_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::string();
    char chunk[512];
    const ssize_t n = read(fromPeer_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::string();
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string XbasePeer::Call(const std::string& command, int timeoutMs) {
  Send(command);
  return Receive(timeoutMs);
}
