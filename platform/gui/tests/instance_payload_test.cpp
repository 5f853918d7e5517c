// The single-instance channel: the hand-over payload's codec, and the
// receiver facing well-formed and hostile clients on its socket.
#include "platform/gui/instance_channel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "testing/random_input.h"
#include "testing/temp_dir.h"

namespace {

TEST(InstancePayload, RoundTripsAndCuts) {
  std::string every;
  for (int b = 1; b < 256; ++b) every.push_back(static_cast<char>(b));
  struct Case {
    std::vector<AnsiString> in;
    std::vector<AnsiString> out;
  };
  std::vector<AnsiString> twelve, ten;
  for (int i = 0; i < 12; ++i) twelve.push_back("p" + std::to_string(i));
  ten.assign(twelve.begin(), twelve.begin() + 10);
  const Case cases[] = {
      {{}, {}},
      {{"one"}, {"one"}},
      {ten, ten},
      {twelve, ten},
      {{"", std::string(300, 'x')}, {"", std::string(300, 'x')}},
      {{std::string(350, '\xF8')}, {std::string(300, '\xF8')}},
      {{every}, {every.substr(0, 300)}},
      {{every.substr(200)}, {every.substr(200)}},
      {{"  \"quoted\" 'a b'  "}, {"  \"quoted\" 'a b'  "}},
  };
  for (const Case& c : cases) {
    const std::string bytes = EncodeHandOver(c.in);
    EXPECT_LE(bytes.size(), kHandOverMaxBytes);
    std::vector<AnsiString> back;
    ASSERT_TRUE(DecodeHandOver(bytes, back)) << c.in.size();
    EXPECT_EQ(back, c.out);
  }
  std::vector<AnsiString> full(10, std::string(300, 'y'));
  EXPECT_EQ(EncodeHandOver(full).size(), kHandOverMaxBytes);
}

TEST(InstancePayloadMalformed, RefusesWhatTheEncoderCannotProduce) {
  const std::string good = EncodeHandOver({"ab", "c"});
  std::string zero = good;
  zero[7] = '\0';
  std::string count11 = EncodeHandOver(std::vector<AnsiString>(10, "z")) + std::string("\x01\x00z", 3);
  count11[4] = 11;
  std::string long301 = EncodeHandOver({std::string(300, 'q')}) + "q";
  long301[5] = static_cast<char>(301 & 0xFF);
  long301[6] = static_cast<char>(301 >> 8);
  const std::string bad[] = {
      "",      "OIH",          "OIH2" + good.substr(4), good.substr(0, good.size() - 1), good + "x", zero,
      count11, std::string("OIH1\xFF", 5), long301,     std::string(1 << 20, 'A'),
  };
  for (const std::string& b : bad) {
    std::vector<AnsiString> out{"stale"};
    EXPECT_FALSE(DecodeHandOver(b, out)) << b.size();
    EXPECT_TRUE(out.empty());
  }
}

TEST(InstancePayloadMalformed, RandomInputsNeverCrashAndOnlyEncoderOutputPasses) {
  std::vector<std::string> seeds = {EncodeHandOver({}), EncodeHandOver({"a", "", "ř"}),
                                    EncodeHandOver(std::vector<AnsiString>(10, std::string(300, 'k')))};
  RandomInputOptions options;
  options.iterations = 100000;
  options.maxSize = 4096;
  RunRandomInputs(
      seeds,
      [](const std::string& input) {
        std::vector<AnsiString> params;
        if (DecodeHandOver(input, params)) {
          ASSERT_EQ(EncodeHandOver(params), input);
        } else {
          ASSERT_TRUE(params.empty());
        }
      },
      options);
}

// ---------------------------------------------------------------- receiver

// A client on its own thread, so the receiver can serve on this one.
struct Client {
  std::function<void(int fd)> body;
  std::atomic<bool> done{false};
  std::string answer;
};

int Connect(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  path.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends bytes (optionally without closing the writing side) and waits for
// the answer byte or the receiver closing the connection.
std::string Talk(const std::string& path, const std::string& bytes, bool shutWrite = true, int silentMs = 0) {
  int fd = Connect(path);
  if (fd < 0) return "no connection";
  if (silentMs) std::this_thread::sleep_for(std::chrono::milliseconds(silentMs));
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  if (shutWrite) shutdown(fd, SHUT_WR);
  pollfd p{fd, POLLIN, 0};
  std::string answer = "timeout";
  if (poll(&p, 1, 8000) > 0) {
    char c = 0;
    answer = recv(fd, &c, 1, 0) == 1 ? "ack" : "closed";
  }
  close(fd);
  return answer;
}

class InstanceReceiverMalformed : public ::testing::Test {
 protected:
  void SetUp() override {
    InstanceChannel::ResetForTests();
    options_.programName = "probe";
    options_.directory = dir_.Path().substr(0, dir_.Path().size() - 1);
    options_.readLimitMs = 500;
    ASSERT_EQ(InstanceChannel::Decide({}, options_), InstanceRole::Receiver);
    InstanceChannel::StartServing();
    InstanceChannel::SetSink([this](const std::vector<AnsiString>& p) { delivered_.push_back(p); });
    path_ = options_.directory + "/probe.sock";
  }
  void TearDown() override { InstanceChannel::ResetForTests(); }

  // Runs the talks on threads while this thread serves; their answers.
  std::vector<std::string> Run(const std::vector<std::function<std::string()>>& talks) {
    std::vector<std::string> answers(talks.size());
    std::atomic<int> left{static_cast<int>(talks.size())};
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < talks.size(); ++i)
      threads.emplace_back([&, i] {
        answers[i] = talks[i]();
        --left;
      });
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (left > 0 && std::chrono::steady_clock::now() < until)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (auto& t : threads) t.join();
    return answers;
  }

  TempDir dir_;
  InstanceChannelOptions options_;
  std::string path_;
  std::vector<std::vector<AnsiString>> delivered_;
};

TEST_F(InstanceReceiverMalformed, ValidHandOversArriveInOrderAndAreAnswered) {
  const std::string a = EncodeHandOver({"first"});
  const std::string b = EncodeHandOver({});
  EXPECT_EQ(Run({[&] { return Talk(path_, a); }}), std::vector<std::string>{"ack"});
  EXPECT_EQ(Run({[&] { return Talk(path_, b); }}), std::vector<std::string>{"ack"});
  ASSERT_EQ(delivered_.size(), 2u);
  EXPECT_EQ(delivered_[0], std::vector<AnsiString>{"first"});
  EXPECT_TRUE(delivered_[1].empty());
}

TEST_F(InstanceReceiverMalformed, HostileClientsAreDroppedAndServingGoesOn) {
  const std::string good = EncodeHandOver({"ok"});
  std::string count11 = EncodeHandOver(std::vector<AnsiString>(10, "z")) + std::string("\x01\x00z", 3);
  count11[4] = 11;
  std::string count255 = good;
  count255[4] = static_cast<char>(255);
  std::string long301 = EncodeHandOver({std::string(300, 'q')}) + "q";
  long301[5] = static_cast<char>(301 & 0xFF);
  long301[6] = static_cast<char>(301 >> 8);
  std::string zero = good;
  zero[7] = '\0';
  const std::string hostile[] = {count11,
                                 count255,
                                 long301,
                                 zero,
                                 "XIH1" + good.substr(4),
                                 good.substr(0, good.size() - 1),
                                 good + "extra",
                                 std::string(1 << 20, 'A')};
  std::vector<std::function<std::string()>> talks;
  for (const std::string& h : hostile) talks.push_back([&, h] { return Talk(path_, h); });
  for (const std::string& answer : Run(talks)) EXPECT_EQ(answer, "closed");
  EXPECT_TRUE(delivered_.empty());
  // A silent client (no end of its payload) is dropped at the read limit,
  // while a valid start meanwhile is served normally.
  auto answers = Run({[&] { return Talk(path_, good.substr(0, 3), false); },
                      [&] {
                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        return Talk(path_, good);
                      }});
  EXPECT_EQ(answers[0], "closed");
  EXPECT_EQ(answers[1], "ack");
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_EQ(delivered_[0], std::vector<AnsiString>{"ok"});
  EXPECT_GE(InstanceChannel::RefusedCount(), 9);
}

TEST_F(InstanceReceiverMalformed, HandOversWaitForTheSinkAndStopRemovesTheSocket) {
  InstanceChannel::SetSink(nullptr);
  bool emptyBeforeSink = false;
  QTimer::singleShot(300, [this, &emptyBeforeSink] {
    emptyBeforeSink = delivered_.empty();
    InstanceChannel::SetSink([this](const std::vector<AnsiString>& p) { delivered_.push_back(p); });
  });
  EXPECT_EQ(Run({[&] { return Talk(path_, EncodeHandOver({"later"})); }}), std::vector<std::string>{"ack"});
  EXPECT_TRUE(emptyBeforeSink);
  ASSERT_EQ(delivered_.size(), 1u);
  InstanceChannel::StopServing();
  EXPECT_NE(access(path_.c_str(), F_OK), 0);
}

TEST(InstanceChannelDirectory, IsPrivateAndOurs) {
  const std::string dir = InstanceChannel::DefaultDirectory();
  ASSERT_FALSE(dir.empty());
  struct stat st{};
  ASSERT_EQ(lstat(dir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_uid, getuid());
  EXPECT_EQ(st.st_mode & 077, 0u);
}

}  // namespace
