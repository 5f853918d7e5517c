// The single-instance channel (see the header for the files and the
// payload). The receiver trusts nothing it reads: only its own user, only a
// complete, exactly sized payload, within a size and a time bound, and at
// most a few connections at once; anything else is closed with nothing
// delivered, and the receiver goes on serving.
#include "platform/gui/instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

#include "platform/rtl/codepages.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

// ---------------------------------------------------------------- payload

std::string EncodeHandOver(const std::vector<AnsiString>& params) {
  std::string out = "OIH1";
  const std::size_t n = params.size() < kHandOverMaxParams ? params.size() : kHandOverMaxParams;
  out.push_back(static_cast<char>(n));
  for (std::size_t i = 0; i < n; ++i) {
    std::string_view text = params[i];
    std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
    if (text.size() > kHandOverMaxText) text = text.substr(0, kHandOverMaxText);
    out.push_back(static_cast<char>(text.size() & 0xFF));
    out.push_back(static_cast<char>(text.size() >> 8));
    out.append(text);
  }
  return out;
}

bool DecodeHandOver(std::string_view bytes, std::vector<AnsiString>& params) {
  params.clear();
  if (bytes.size() < 5 || bytes.size() > kHandOverMaxBytes || bytes.substr(0, 4) != "OIH1") return false;
  const std::size_t n = static_cast<unsigned char>(bytes[4]);
  if (n > kHandOverMaxParams) return false;
  std::size_t pos = 5;
  std::vector<AnsiString> out;
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes.size() - pos < 2) return false;
    const std::size_t len = static_cast<unsigned char>(bytes[pos]) |
                            (static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 1])) << 8);
    pos += 2;
    if (len > kHandOverMaxText || bytes.size() - pos < len) return false;
    std::string_view text = bytes.substr(pos, len);
    if (text.find('\0') != std::string_view::npos) return false;
    out.emplace_back(text);
    pos += len;
  }
  if (pos != bytes.size()) return false;
  params = std::move(out);
  return true;
}

// ---------------------------------------------------------------- decision

namespace {

struct ChannelState {
  InstanceRole role = InstanceRole::Undecided;
  InstanceChannelOptions options;
  std::string socketPath;
  int listenFd = -1;
  dev_t socketDev = 0;
  ino_t socketIno = 0;
  bool exitHookSet = false;
};

ChannelState& State() {
  static ChannelState state;
  return state;
}

bool PrivateDirectoryOfOurs(const std::string& dir) {
  struct stat st{};
  if (dir.empty() || dir[0] != '/' || lstat(dir.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

void Warn(const std::string& text) { std::fprintf(stderr, "one instance: %s\n", text.c_str()); }

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  path.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
  return addr;
}

// Connects and hands the payload over; true once the receiver answered.
bool HandOver(const std::string& path, const std::string& payload, int ackTimeoutMs) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr = SocketAddress(path);
  bool acknowledged = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && SendAll(fd, payload)) {
    shutdown(fd, SHUT_WR);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ackTimeoutMs);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd, POLLIN, 0};
      int r = poll(&p, 1, static_cast<int>(left.count()));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      char byte = 0;
      ssize_t n = recv(fd, &byte, 1, 0);
      if (n < 0 && errno == EINTR) continue;
      acknowledged = n == 1;
      break;
    }
  }
  close(fd);
  return acknowledged;
}

void RemoveOwnSocket() {
  ChannelState& s = State();
  if (s.socketPath.empty()) return;
  struct stat st{};
  // A later start that took the name over has its own socket there.
  if (lstat(s.socketPath.c_str(), &st) == 0 && st.st_dev == s.socketDev && st.st_ino == s.socketIno)
    unlink(s.socketPath.c_str());
  s.socketPath.clear();
}

bool BecomeReceiver(const std::string& path) {
  ChannelState& s = State();
  unlink(path.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  sockaddr_un addr = SocketAddress(path);
  mode_t old = umask(077);
  bool bound = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  umask(old);
  struct stat st{};
  if (!bound || listen(fd, 8) != 0 || lstat(path.c_str(), &st) != 0) {
    close(fd);
    return false;
  }
  s.listenFd = fd;
  s.socketPath = path;
  s.socketDev = st.st_dev;
  s.socketIno = st.st_ino;
  if (!s.exitHookSet) {
    s.exitHookSet = true;
    std::atexit(RemoveOwnSocket);
  }
  return true;
}

}  // namespace

namespace InstanceChannel {

std::string DefaultDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && PrivateDirectoryOfOurs(runtime))
    return runtime;
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string dir = base + "/.one-instance-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  return PrivateDirectoryOfOurs(dir) ? dir : std::string();
}

InstanceRole Decide(const std::vector<AnsiString>& params, const InstanceChannelOptions& options) {
  ChannelState& s = State();
  if (s.role != InstanceRole::Undecided) return s.role;
  s.options = options;
  s.role = InstanceRole::Unguarded;
  const std::string dir = options.directory.empty() ? DefaultDirectory() : options.directory;
  if (!PrivateDirectoryOfOurs(dir) || options.programName.empty() ||
      options.programName.find('/') != AnsiString::npos) {
    Warn("no private directory for the instance guard; this copy runs on its own");
    return s.role;
  }
  const std::string base = dir + "/" + AnsiToUtf8(options.programName);
  const std::string socketPath = base + ".sock";
  if (socketPath.size() >= sizeof(sockaddr_un{}.sun_path)) {
    Warn("the instance socket's path is too long; this copy runs on its own");
    return s.role;
  }
  const AnsiString lockName = DiskPathToProgramName(base + ".lock");
  THandle lock = FileOpen(lockName, fmOpenReadWrite | fmShareDenyNone);
  if (lock == kInvalidHandle) lock = FileCreate(lockName, fmShareDenyNone);
  // Another start may have created it between the two calls.
  if (lock == kInvalidHandle) lock = FileOpen(lockName, fmOpenReadWrite | fmShareDenyNone);
  if (lock == kInvalidHandle) {
    Warn("cannot open the instance lock file; this copy runs on its own");
    return s.role;
  }
  const int attempts = options.lockTimeoutMs / 50 > 0 ? options.lockTimeoutMs / 50 : 1;
  const bool locked = RetryWithPause([&] { return FileLockRegion(lock, 0, 1); }, attempts, 50);
  if (locked && HandOver(socketPath, EncodeHandOver(params), options.ackTimeoutMs)) {
    s.role = InstanceRole::HandedOver;
  } else if (BecomeReceiver(socketPath)) {
    s.role = InstanceRole::Receiver;
  } else {
    Warn("cannot listen for later starts; this copy runs on its own");
  }
  if (locked) FileUnlockRegion(lock, 0, 1);
  FileClose(lock);
  return s.role;
}

InstanceRole Decide() {
  std::vector<AnsiString> params;
  for (int i = 1; i <= ParamCount() && params.size() < kHandOverMaxParams; ++i) params.push_back(ParamStr(i));
  InstanceChannelOptions options;
  options.programName = ExtractFileName(ParamStr(0));
  return Decide(params, options);
}

InstanceRole Role() { return State().role; }

void DecideUnguarded() {
  if (State().role == InstanceRole::Undecided) State().role = InstanceRole::Unguarded;
}

const InstanceChannelOptions& Options() { return State().options; }

}  // namespace InstanceChannel

// ---------------------------------------------------------------- receiver

namespace {

constexpr int kMaxConnections = 8;

class Receiver : public QObject {
 public:
  explicit Receiver(int listenFd) : listener_(listenFd, QSocketNotifier::Read) {
    QObject::connect(&listener_, &QSocketNotifier::activated, this, [this] { Accept(); });
  }
  ~Receiver() override {
    for (auto& c : connections_) close(c->fd);
    for (auto& w : waiting_) close(w.fd);
  }

  void SetSink(InstanceChannel::Sink sink) {
    sink_ = std::move(sink);
    DeliverWaiting();
  }
  int delivered = 0;
  int refused = 0;

 private:
  struct Connection {
    int fd = -1;
    std::string data;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> timer;
  };
  struct Waiting {
    int fd;
    std::vector<AnsiString> params;
  };

  static bool OwnUser(int fd) {
    ucred cred{};
    socklen_t len = sizeof(cred);
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == getuid();
  }

  void Accept() {
    for (;;) {
      int fd = accept4(State().listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (!OwnUser(fd) || static_cast<int>(connections_.size()) >= kMaxConnections) {
        ++refused;
        close(fd);
        continue;
      }
      auto c = std::make_unique<Connection>();
      c->fd = fd;
      c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
      c->timer = std::make_unique<QTimer>();
      c->timer->setSingleShot(true);
      Connection* raw = c.get();
      QObject::connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { Read(raw); });
      QObject::connect(c->timer.get(), &QTimer::timeout, this, [this, raw] { Drop(raw); });
      c->timer->start(InstanceChannel::Options().readLimitMs);
      connections_.push_back(std::move(c));
    }
  }

  void Read(Connection* c) {
    char buffer[4096];
    for (;;) {
      ssize_t n = recv(c->fd, buffer, sizeof(buffer), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        Drop(c);
        return;
      }
      if (n == 0) break;  // the sender shut its side: the payload is complete
      c->data.append(buffer, static_cast<std::size_t>(n));
      if (c->data.size() > kHandOverMaxBytes) {
        Drop(c);
        return;
      }
    }
    std::vector<AnsiString> params;
    if (!DecodeHandOver(c->data, params)) {
      Drop(c);
      return;
    }
    int fd = c->fd;
    c->fd = -1;
    Forget(c);
    waiting_.push_back({fd, std::move(params)});
    DeliverWaiting();
  }

  void Drop(Connection* c) {
    ++refused;
    close(c->fd);
    c->fd = -1;
    Forget(c);
  }

  // Deferred, because the notifier or timer that called us belongs to c.
  void Forget(Connection* c) {
    c->notifier->setEnabled(false);
    c->timer->stop();
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
      if (it->get() != c) continue;
      graveyard_.push_back(std::move(*it));
      connections_.erase(it);
      QTimer::singleShot(0, this, [this] { graveyard_.clear(); });
      return;
    }
  }

  void DeliverWaiting() {
    while (sink_ && !waiting_.empty() && !delivering_) {
      Waiting w = std::move(waiting_.front());
      waiting_.pop_front();
      delivering_ = true;
      try {
        InstanceChannel::Sink sink = sink_;
        sink(w.params);
      } catch (...) {
        delivering_ = false;
        ++delivered;
        Answer(w.fd);
        throw;
      }
      delivering_ = false;
      ++delivered;
      Answer(w.fd);
    }
  }

  static void Answer(int fd) {
    // The sender may have given up meanwhile; MSG_NOSIGNAL keeps that quiet.
    const char ack = 1;
    send(fd, &ack, 1, MSG_NOSIGNAL);
    close(fd);
  }

  QSocketNotifier listener_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::vector<std::unique_ptr<Connection>> graveyard_;
  std::deque<Waiting> waiting_;
  InstanceChannel::Sink sink_;
  bool delivering_ = false;
};

Receiver*& TheReceiver() {
  static Receiver* receiver = nullptr;
  return receiver;
}

}  // namespace

namespace InstanceChannel {

void StartServing() {
  ChannelState& s = State();
  if (s.role != InstanceRole::Receiver || s.listenFd < 0 || TheReceiver()) return;
  TheReceiver() = new Receiver(s.listenFd);
}

void SetSink(Sink sink) {
  if (TheReceiver()) TheReceiver()->SetSink(std::move(sink));
}

int DeliveredCount() { return TheReceiver() ? TheReceiver()->delivered : 0; }

int RefusedCount() { return TheReceiver() ? TheReceiver()->refused : 0; }

void StopServing() {
  delete TheReceiver();
  TheReceiver() = nullptr;
  ChannelState& s = State();
  if (s.listenFd >= 0) close(s.listenFd);
  s.listenFd = -1;
  RemoveOwnSocket();
}

void ResetForTests() {
  StopServing();
  State().role = InstanceRole::Undecided;
}

}  // namespace InstanceChannel
