// The alias list: "Default Directory" first, then section "Alias" of
// xbase.cfg from the configured directory; DatabaseName adds directories.
#include <gtest/gtest.h>

#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_aliases.h"
#include "dbase/dataset/xbase_dataset.h"
#include "testing/temp_dir.h"

using xbase_test::ScopedAliasDirectory;

TEST(XbaseAliases, MissingFileLeavesOnlyDefaultDirectory) {
  TempDir dir;
  ScopedAliasDirectory aliases(dir.Path());
  ASSERT_EQ(XbaseAliasList().Count(), 1);
  EXPECT_EQ(XbaseAliasList()[0], "Default Directory");
  EXPECT_EQ(XbaseAliasPath("anything"), "");
}

TEST(XbaseAliases, AliasesOfTheFileAreFoundCaseInsensitively) {
  TempDir dir;
  dir.Write("xbase.cfg",
            "[Other]\r\nDATA=/wrong\r\n[Alias]\r\nDATA1=C:\\Kelvo\\Data\r\nArchiv=/srv/archiv\r\n");
  ScopedAliasDirectory aliases(dir.Path());
  EXPECT_EQ(XbaseAliasList().Count(), 3);
  EXPECT_EQ(XbaseAliasList()[0], "Default Directory");
  const struct {
    const char* name;
    const char* path;
  } cases[] = {{"DATA1", "C:\\Kelvo\\Data"}, {"data1", "C:\\Kelvo\\Data"}, {"ARCHIV", "/srv/archiv"},
               {"archiv", "/srv/archiv"},    {"DATA", ""},                {"Default Directory", ""}};
  for (const auto& c : cases) EXPECT_EQ(XbaseAliasPath(c.name), c.path) << c.name;
}

TEST(XbaseAliases, DatabaseNameWithATrailingSeparatorBecomesItsOwnAliasOnce) {
  TempDir dir;
  ScopedAliasDirectory aliases(dir.Path());
  TXbaseDataSet first(nullptr);
  first.SetDatabaseName("C:\\Kelvo\\Data\\");
  EXPECT_EQ(first.DatabaseName(), "C:\\Kelvo\\Data");
  TXbaseDataSet second(nullptr);
  second.SetDatabaseName("c:\\kelvo\\data");
  second.SetDatabaseName("Default Directory");
  EXPECT_EQ(second.DatabaseName(), "Default Directory");
  ASSERT_EQ(XbaseAliasList().Count(), 2);
  EXPECT_EQ(XbaseAliasList()[1], "C:\\Kelvo\\Data=C:\\Kelvo\\Data");
}
