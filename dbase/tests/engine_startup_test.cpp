// Engine start-up and shutdown: idempotent start, and a shutdown that
// leaves no lock behind for other programs.
#include <gtest/gtest.h>

#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/disk_file.h"
#include "dbase/base/engine.h"
#include "testing/temp_dir.h"

namespace {

TEST(EngineStartup, StartingAgainChangesNothing) {
  ASSERT_TRUE(EngineStarted());
  unsigned char before[256];
  std::copy(AnsiToOemTable, AnsiToOemTable + 256, before);
  TxbDBFDate* date = &DbfDate();
  EngineStartup();
  EXPECT_TRUE(std::equal(before, before + 256, AnsiToOemTable));
  EXPECT_EQ(&DbfDate(), date);
  EXPECT_EQ(KeyCollation, CollationWeights);
}

TEST(EngineStartup, ShutdownReleasesLocksAndClosesEveryOpenFile) {
  TempDir dir;
  dir.Write("t.dbf", "table");
  XBO_DiskFile holder(dir.File("t.dbf"), true, true);
  XBO_DiskFile exclusive(dir.File("x.dbf"), false, true);
  holder.OpenFile();
  exclusive.CreateFile();
  ASSERT_TRUE(holder.LockRegion(0x7FFFFFFE, 1));
  ASSERT_TRUE(holder.LockRegion(0x7FFFFFFE, 1));
  ASSERT_TRUE(exclusive.LockRegion(0, 1));

  EngineShutdown();
  EXPECT_FALSE(EngineStarted());
  EXPECT_TRUE(holder.Closed());
  EXPECT_TRUE(exclusive.Closed());
  EXPECT_EQ(holder.LockCount(), 0);
  EXPECT_EQ(OpenFileList().Count(), 0);

  XBO_DiskFile other(dir.File("t.dbf"), true, true);
  other.OpenFile();
  EXPECT_TRUE(other.LockRegion(0x7FFFFFFE, 1));
  XBO_DiskFile reopened(dir.File("x.dbf"), false, true);
  reopened.OpenFile();  // the exclusive open is gone too

  EngineShutdown();  // twice is harmless
  EngineStartup();
  EXPECT_TRUE(EngineStarted());
  EXPECT_EQ(DbfDate().JulianToDbfText(2460370), "20240229");
}

}  // namespace
