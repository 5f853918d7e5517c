// Computer, user and memory facts agree with the system's own answers.
#include "platform/rtl/system_info.h"

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/rtl/codepages.h"

TEST(SystemInfo, FactsComeFromTheSystem) {
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(ComputerName(), Utf8ToAnsi(host));
  passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  std::string gecos = pw->pw_gecos ? pw->pw_gecos : "";
  gecos = gecos.substr(0, gecos.find(','));
  EXPECT_EQ(UserFullName(), Utf8ToAnsi(gecos.empty() ? pw->pw_name : gecos));
  EXPECT_EQ(OperatingSystemText().rfind("Linux ", 0), 0u);
  EXPECT_GT(MemoryTotalBytes(), 0u);
  EXPECT_GT(MemoryFreeBytes(), 0u);
  EXPECT_LE(MemoryFreeBytes(), MemoryTotalBytes());
}
