// Forked helper processes for tests between processes. The child gets its
// own pipe pair and must open its files itself: an inherited descriptor
// shares its locks with the parent. The child always leaves with _exit, so
// the engine's atexit shutdown never runs in it.
#pragma once

#include <functional>
#include <string>

// One end of a line-based message channel between parent and child.
class Channel {
 public:
  Channel(int readFd, int writeFd) : readFd_(readFd), writeFd_(writeFd) {}
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Sends one line (the text must not contain "\n").
  void Send(const std::string& line);
  // Next line, or "" on end of stream or after timeoutMs without one.
  std::string Receive(int timeoutMs = 30000);

 private:
  int readFd_;
  int writeFd_;
  std::string buffer_;
};

class ChildProcess {
 public:
  // Forks and runs body in the child; its result is the child's exit status.
  // An exception in body exits with status 99.
  explicit ChildProcess(const std::function<int(Channel&)>& body);
  ~ChildProcess();  // kills a child still running and reaps it
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  Channel& channel() { return *channel_; }
  int pid() const { return pid_; }
  // Waits for the child; its exit status, or 128 + signal.
  int Wait();
  void Kill(int signal);

 private:
  int pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  Channel* channel_ = nullptr;
};
