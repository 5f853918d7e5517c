// Process services: sleeping (through a replaceable hook so that retry
// tests need no clock), the one retry helper, the program's directory, the
// stand-in for the Windows directory and UTF-8 literals in CP1250.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>

#include "platform/rtl/ansistring.h"

// Suspends the thread for ms milliseconds, or calls the installed hook.
void SleepMs(int ms);
// Installs a replacement for SleepMs (an empty function restores sleeping);
// returns the previous hook.
std::function<void(int)> SetSleepHook(std::function<void(int)> hook);

// Calls attempt up to `attempts` times (at least once) with a pause of
// pauseMs between two calls (attempts - 1 pauses at most); true as soon as
// one call succeeds. With a sleep hook installed each pause is one call of
// the hook and nothing else, so tests count attempts and pauses without a
// clock. Without one, attempt is also tried every millisecond or so during
// each pause (at random moments), so that a waiter gets what a busy holder
// lets go; the time given up after stays attempts - 1 times pauseMs.
bool RetryWithPause(const std::function<bool()>& attempt, int attempts = 100, int pauseMs = 50);

// One RetryWithPause call that had to wait (its first attempt failed): how
// long it took, how often attempt was called, and whether it succeeded.
struct RetryWait {
  std::chrono::microseconds waited{0};
  int calls = 0;
  bool succeeded = false;
};
// Installs a function told of every such call (benchmarks gather lock
// waits with it; an empty function removes it); returns the previous one.
std::function<void(const RetryWait&)> SetRetryObserver(std::function<void(const RetryWait&)> observer);

// Directory of the running executable, with a trailing separator (from
// /proc/self/exe). Tests may override it; an empty text restores it.
AnsiString ProgramDirectory();
void SetProgramDirectory(const AnsiString& dir);

// Where the engine looks for its alias file: $XBASE_CFG_DIR when set, else
// the program directory; with a trailing separator.
AnsiString WindowsDirectory();

// The class library's pseudo-random generator: Randomize seeds it from the
// clock, Random(n) gives 0 <= x < n (0 when n <= 0), Random() gives
// 0 <= x < 1.
void Randomize();
int Random(int n);
double Random();

// A UTF-8 literal of the source converted to CP1250.
AnsiString Cz(std::string_view utf8);

// The program's command line as given: SetProgramArguments records main()'s
// arguments (converted to CP1250 here, the one boundary); ParamStr(0) is
// the path the program was started by, ParamStr(1 .. ParamCount()) the
// parameters, and an index out of range gives an empty text.
void SetProgramArguments(int argc, const char* const* argv);
int ParamCount();
AnsiString ParamStr(int index);

// Ends the process with exitCode after the finalisation list (the exit
// handlers the engine and the application registered) has run.
[[noreturn]] void Halt(int exitCode = 0);
