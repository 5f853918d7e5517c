// The other workstation of the dataset's lock tests: the helper program
// xbase_lock_peer, started with pipes on its standard input and output and
// driven one command line at a time. Every wait is bounded.
#pragma once

#include <string>
#include <sys/types.h>

class XbasePeer {
 public:
  // Starts the helper program; throws std::runtime_error when it cannot.
  XbasePeer();
  // Asks the helper to quit and reaps it (killing it when it does not go).
  ~XbasePeer();
  XbasePeer(const XbasePeer&) = delete;
  XbasePeer& operator=(const XbasePeer&) = delete;

  // Sends one command and waits for its one-line answer ("ok", "error
  // <message>", or a value); "" after timeoutMs without one.
  std::string Call(const std::string& command, int timeoutMs = 10000);
  // The two halves, for commands that run while this process works.
  void Send(const std::string& command);
  std::string Receive(int timeoutMs = 10000);

 private:
  pid_t pid_ = -1;
  int toPeer_ = -1;
  int fromPeer_ = -1;
  std::string buffer_;
};
