// Process services: sleeping through a replaceable hook, the one retry
// helper of the program, the program and "Windows" directories, the
// pseudo-random generator and CP1250 literals.
//
// Invariants: the sleep hook, when installed, receives every pause that
// SleepMs would take (so retry tests count pauses instead of waiting); the
// directories are returned in program form with a trailing separator.
#include "platform/rtl/system.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/rtl/codepages.h"
#include "platform/rtl/paths.h"

namespace {

std::function<void(int)>& SleepHook() {
  static std::function<void(int)> hook;
  return hook;
}

AnsiString& ProgramDirectoryOverride() {
  static AnsiString dir;
  return dir;
}

AnsiString ExecutableDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return IncludeTrailingPathDelimiter(GetCurrentDir());
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(n));
      return ExtractFilePath(DiskPathToProgramName(path));
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The class library's generator: a 32-bit linear congruential sequence,
// seed 0 until Randomize.
uint32_t randSeed = 0;

uint32_t NextRandom() {
  randSeed = randSeed * 0x08088405u + 1u;
  return randSeed;
}

}  // namespace

void SleepMs(int ms) {
  if (SleepHook()) {
    SleepHook()(ms);
    return;
  }
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::function<void(int)> SetSleepHook(std::function<void(int)> hook) {
  std::function<void(int)> previous = std::move(SleepHook());
  SleepHook() = std::move(hook);
  return previous;
}

namespace {

std::function<void(const RetryWait&)>& RetryObserver() {
  static std::function<void(const RetryWait&)> observer;
  return observer;
}

// Sleeps a short random while (0.2 to 2 ms), never past `until`. Random so
// that two waiters never fall into step with each other or with a holder.
void ShortRandomPause(std::chrono::steady_clock::time_point until) {
  thread_local std::minstd_rand random(static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ (static_cast<long>(getpid()) << 16)));
  auto pause = std::chrono::microseconds(200 + static_cast<int>(random() % 1800));
  const auto left = until - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return;
  std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, left));
}

}  // namespace

bool RetryWithPause(const std::function<bool()>& attempt, int attempts, int pauseMs) {
  if (attempts < 1) attempts = 1;
  const auto start = std::chrono::steady_clock::now();
  int calls = 0;
  auto report = [&](bool succeeded) {
    if (RetryObserver() && calls > 1)
      RetryObserver()(RetryWait{std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now() - start),
                                calls, succeeded});
    return succeeded;
  };
  for (int i = 0; i < attempts; ++i) {
    if (i > 0) {
      if (SleepHook()) {
        SleepHook()(pauseMs);
      } else {
        // A holder that takes the lock again at once would win against a
        // waiter that looks only every pauseMs: the waiter looks again
        // every millisecond or so, for the same time in all.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(pauseMs);
        for (;;) {
          ShortRandomPause(until);
          if (std::chrono::steady_clock::now() >= until) break;
          ++calls;
          if (attempt()) return report(true);
        }
      }
    }
    ++calls;
    if (attempt()) return report(true);
  }
  return report(false);
}

std::function<void(const RetryWait&)> SetRetryObserver(std::function<void(const RetryWait&)> observer) {
  std::function<void(const RetryWait&)> previous = std::move(RetryObserver());
  RetryObserver() = std::move(observer);
  return previous;
}

AnsiString ProgramDirectory() {
  if (!ProgramDirectoryOverride().empty()) return ProgramDirectoryOverride();
  static const AnsiString dir = ExecutableDirectory();
  return dir;
}

void SetProgramDirectory(const AnsiString& dir) {
  ProgramDirectoryOverride() = dir.empty() ? AnsiString() : IncludeTrailingPathDelimiter(dir);
}

AnsiString WindowsDirectory() {
  const char* dir = std::getenv("XBASE_CFG_DIR");
  if (dir && *dir) return IncludeTrailingPathDelimiter(DiskPathToProgramName(dir));
  return ProgramDirectory();
}

void Randomize() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  randSeed = static_cast<uint32_t>(ticks) ^ static_cast<uint32_t>(static_cast<uint64_t>(ticks) >> 32);
}

int Random(int n) {
  uint32_t r = NextRandom();
  if (n <= 0) return 0;
  return static_cast<int>((static_cast<uint64_t>(r) * static_cast<uint32_t>(n)) >> 32);
}

double Random() { return static_cast<double>(NextRandom()) / 4294967296.0; }

AnsiString Cz(std::string_view utf8) { return Utf8ToAnsi(utf8); }

namespace {

std::vector<AnsiString>& ProgramArguments() {
  static std::vector<AnsiString> args;
  return args;
}

}  // namespace

void SetProgramArguments(int argc, const char* const* argv) {
  std::vector<AnsiString>& args = ProgramArguments();
  args.clear();
  for (int i = 0; i < argc && argv && argv[i]; ++i) args.push_back(Utf8ToAnsi(argv[i]));
}

int ParamCount() {
  const std::size_t n = ProgramArguments().size();
  return n > 0 ? static_cast<int>(n) - 1 : 0;
}

AnsiString ParamStr(int index) {
  const std::vector<AnsiString>& args = ProgramArguments();
  if (index < 0 || static_cast<std::size_t>(index) >= args.size()) return AnsiString();
  return args[static_cast<std::size_t>(index)];
}

void Halt(int exitCode) {
  // std::exit runs the atexit list and the static destructors, which is
  // where the engine closes its files.
  std::exit(exitCode);
}
