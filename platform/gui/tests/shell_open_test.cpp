#include "platform/gui/shell_open.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ShellOpen, SchemesAreToldFromDrivesAndFileNames) {
  struct Case {
    const char* target;
    bool scheme;
  } cases[] = {
      {"http://example.invalid/a", true}, {"mailto:someone@example.invalid", true},
      {"file:///tmp/x.txt", true},        {"ms-help:topic", true},
      {"C:\\data\\x.xls", false},         {"report.xls", false},
      {"dir/a:b.txt", false},             {"", false},
      {"1http:x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(HasUrlScheme(c.target), c.scheme) << c.target;
}

TEST(ShellOpen, HookRecordsInsteadOfOpeningAndIsRestored) {
  std::vector<AnsiString> seen;
  TShellOpenHook old = SetShellOpenHook([&](const AnsiString& t) {
    seen.push_back(t);
    return true;
  });
  EXPECT_TRUE(ShellOpen("http://example.invalid"));
  EXPECT_TRUE(ShellOpen("a.xls"));
  TShellOpenHook mine = SetShellOpenHook(old);
  EXPECT_TRUE(static_cast<bool>(mine));
  EXPECT_EQ(seen, (std::vector<AnsiString>{"http://example.invalid", "a.xls"}));
  // Without the hook a file that does not exist is not opened.
  EXPECT_FALSE(ShellOpen("/nonexistent-dir-for-shell-open/none.xls"));
}
