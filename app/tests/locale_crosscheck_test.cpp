// Files, keys and expressions do not depend on the C library's locale: the
// probe program, run under a generated Czech locale (decimal comma), writes
// byte for byte what it writes under "C". The locale is generated into a
// temporary folder (LOCPATH), so no system file changes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct ProbeRun {
  int status = -1;
  std::string output;
};

ProbeRun RunProbe(const std::string& environment, const std::string& dir) {
  // Leaks inside system libraries (the C library's locale names) are
  // suppressed for the probe as for every program on the test display.
  const std::string command = "env LSAN_OPTIONS=suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0 " +
                              environment + " " LOCALE_PROBE_PROGRAM " " + dir;
  ProbeRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Every file under dir by its relative path. The date and time of the last
// update in a table header (bytes 1 to 3 and 16 to 19) are masked.
std::map<std::string, std::string> Tree(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string ext = entry.path().extension().string();
    if ((ext == ".dbf" || ext == ".DBF") && bytes.size() > 20) {
      bytes.replace(1, 3, 3, '\0');
      bytes.replace(16, 4, 4, '\0');
    }
    files[fs::relative(entry.path(), dir).string()] = bytes;
  }
  return files;
}

TEST(LocaleCrosscheck, CzechDecimalCommaLeavesTablesIndexesAndBalancesByteIdentical) {
  TempDir root;
  const std::string locales = root.Path() + "locales";
  fs::create_directories(locales);
  const std::string generate =
      "localedef -i cs_CZ -f UTF-8 " + locales + "/cs_CZ.UTF-8 > " + root.Path() + "localedef.log 2>&1";
  if (std::system(generate.c_str()) != 0 || !fs::exists(locales + "/cs_CZ.UTF-8"))
    GTEST_SKIP() << "cannot generate cs_CZ.UTF-8 with localedef (package locales)";

  // Both runs use the same folder: the settings file names it.
  const std::string dir = root.Path() + "run";
  const ProbeRun plain = RunProbe("LC_ALL=C LANG=C", dir);
  ASSERT_EQ(plain.status, 0) << plain.output;
  ASSERT_EQ(plain.output, ".\n");
  const auto expected = Tree(dir);
  fs::remove_all(dir);

  const ProbeRun czech = RunProbe("LOCPATH=" + locales + " LC_ALL=cs_CZ.UTF-8 LANG=cs_CZ.UTF-8", dir);
  ASSERT_EQ(czech.status, 0) << czech.output;
  ASSERT_EQ(czech.output, ",\n") << "the Czech locale did not take effect";
  const auto actual = Tree(dir);

  ASSERT_GE(expected.size(), 10u);
  ASSERT_TRUE(expected.count("engine/probe.cdx") && expected.count("engine/ranges.txt"));
  EXPECT_NE(expected.at("engine/ranges.txt").find("="), std::string::npos);
  for (const auto& [name, bytes] : expected) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(actual.count(name));
    EXPECT_TRUE(actual.at(name) == bytes) << "differs under the Czech locale";
  }
  EXPECT_EQ(actual.size(), expected.size());
}

}  // namespace
