// Process services: the retry helper and its sleep hook, the program and
// alias-file directories, the random generator and CP1250 literals.
#include "platform/rtl/system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/rtl/paths.h"

namespace {

TEST(System, RetryCountsAttemptsAndPausesWithoutAClock) {
  struct Case {
    int attempts;
    int succeedAt;  // 0: never
    bool result;
    int calls;
    int pauses;
  } cases[] = {
      {100, 0, false, 100, 99}, {100, 1, true, 1, 0}, {100, 37, true, 37, 36},
      {3, 0, false, 3, 2},      {1, 0, false, 1, 0},  {0, 0, false, 1, 0},
  };
  for (const Case& c : cases) {
    std::vector<int> pauses;
    auto previous = SetSleepHook([&](int ms) { pauses.push_back(ms); });
    int calls = 0;
    bool result = RetryWithPause([&] { return ++calls == c.succeedAt; }, c.attempts, 25);
    SetSleepHook(previous);
    EXPECT_EQ(result, c.result) << c.attempts << "/" << c.succeedAt;
    EXPECT_EQ(calls, c.calls) << c.attempts << "/" << c.succeedAt;
    EXPECT_EQ(static_cast<int>(pauses.size()), c.pauses) << c.attempts << "/" << c.succeedAt;
    for (int ms : pauses) EXPECT_EQ(ms, 25);
  }
}

// Without a hook a waiter looks again many times inside one pause, so that
// it gets what a busy holder lets go between two of its own locks; the
// observer hears of every call that had to wait.
TEST(System, RetryWithoutAHookLooksAgainInsideThePauseAndReportsTheWait) {
  std::vector<RetryWait> waits;
  auto previousObserver = SetRetryObserver([&](const RetryWait& w) { waits.push_back(w); });
  int calls = 0;
  EXPECT_TRUE(RetryWithPause([&] { return ++calls == 4; }, 2, 1000));
  EXPECT_EQ(calls, 4);  // two attempts, yet the fourth call inside the pause won
  EXPECT_TRUE(RetryWithPause([] { return true; }));
  calls = 0;
  EXPECT_FALSE(RetryWithPause([&] { return ++calls < 0; }, 2, 3));
  SetRetryObserver(previousObserver);
  ASSERT_EQ(waits.size(), 2u);  // the call that won at once waited for nothing
  EXPECT_EQ(waits[0].calls, 4);
  EXPECT_TRUE(waits[0].succeeded);
  EXPECT_EQ(waits[1].calls, calls);
  EXPECT_FALSE(waits[1].succeeded);
  EXPECT_GE(waits[1].waited.count(), 3000);
}

TEST(System, SleepHookIsReplacedAndRestored) {
  int outer = 0, inner = 0;
  auto original = SetSleepHook([&](int) { ++outer; });
  auto previous = SetSleepHook([&](int) { ++inner; });
  SleepMs(1000);
  SetSleepHook(previous);
  SleepMs(1000);
  SetSleepHook(original);
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(outer, 1);
}

TEST(System, ProgramAndAliasDirectories) {
  AnsiString exe = ProgramDirectory();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.back(), '/');
  EXPECT_TRUE(DirectoryExists(exe));
  EXPECT_TRUE(FileExists(exe + "rtl_tests"));

  SetProgramDirectory("/opt/platebna");
  EXPECT_EQ(ProgramDirectory(), "/opt/platebna/");
  const char* old = std::getenv("XBASE_CFG_DIR");
  std::string saved = old ? old : "";
  unsetenv("XBASE_CFG_DIR");
  EXPECT_EQ(WindowsDirectory(), "/opt/platebna/");
  setenv("XBASE_CFG_DIR", "/etc/xbase", 1);
  EXPECT_EQ(WindowsDirectory(), "/etc/xbase/");
  if (old)
    setenv("XBASE_CFG_DIR", saved.c_str(), 1);
  else
    unsetenv("XBASE_CFG_DIR");
  SetProgramDirectory("");
  EXPECT_EQ(ProgramDirectory(), exe);
}

TEST(System, RandomStaysInRange) {
  Randomize();
  std::set<int> seen;
  for (int i = 0; i < 10000; ++i) {
    int r = Random(7);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, 7);
    seen.insert(r);
    double d = Random();
    ASSERT_GE(d, 0.0);
    ASSERT_LT(d, 1.0);
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-5), 0);
}

TEST(System, CzechLiteralsBecomeCp1250) {
  EXPECT_EQ(Cz("Příjem"), "P\xF8\xEDjem");
  EXPECT_EQ(Cz("Kč"), "K\xE8");
  EXPECT_EQ(Cz("plain"), "plain");
}

TEST(System, ParamStrGivesTheArgumentsInCp1250) {
  const char* argv[] = {"./platebna", "ř", "a b", "Ω"};
  SetProgramArguments(4, argv);
  EXPECT_EQ(ParamCount(), 3);
  EXPECT_EQ(ParamStr(0), "./platebna");
  EXPECT_EQ(ParamStr(1), "\xF8");
  EXPECT_EQ(ParamStr(2), "a b");
  EXPECT_EQ(ParamStr(3), "?");
  EXPECT_EQ(ParamStr(4), "");
  EXPECT_EQ(ParamStr(-1), "");
  SetProgramArguments(0, nullptr);
  EXPECT_EQ(ParamCount(), 0);
  EXPECT_EQ(ParamStr(0), "");
}

TEST(System, HaltRunsTheExitHandlersAndKeepsTheCode) {
  EXPECT_EXIT(
      {
        std::atexit([] { std::fputs("finalised", stderr); });
        Halt(3);
      },
      ::testing::ExitedWithCode(3), "finalised");
}

}  // namespace
