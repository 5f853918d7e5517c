// Writes that wait for the close (a header deferred by a table lock, index
// pages kept under an index lock) are done by Close, whose failure reaches
// the caller; destructors only release, and in debug builds a forgotten
// Close stops the program. The write failure is made by swapping the file's
// handle for a read-only one, as a file system gone read-only would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "dbase/handler/table_handler.h"
#include "dbase/index/cdx_index.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/testing/index_file_fixture.h"
#include "dbase/testing/table_fixtures.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

using table_test::JournalFields;
using table_test::MakeTable;

void MakeReadOnly(const XBO_DiskFile& file) {
  const int readOnly = open(file.FileName().c_str(), O_RDONLY);
  ASSERT_GE(readOnly, 0);
  ASSERT_EQ(dup2(readOnly, file.Handle()), file.Handle());
  close(readOnly);
}

// A record rewritten under our table lock: the header (count, date) waits
// for the lock's release or the close.
template <class Table>
std::unique_ptr<Table> TableWithPendingHeader(const std::string& path) {
  auto table = std::make_unique<Table>(path, true, true, "");
  table->BlankRecord();
  table->PutText("NAME", "one");
  EXPECT_TRUE(table->LockAllRecords());
  table->AppendRecord();
  return table;
}

TEST(CloseFailure, AHeaderOrPagesThatCannotBeWrittenAtCloseAreReportedToTheCaller) {
  struct Case {
    const char* what;
    std::function<std::string(TempDir&)> run;  // the message of the failed close
  };
  const Case cases[] = {
      {"table",
       [](TempDir& dir) {
         auto table = TableWithPendingHeader<XBO_dBaseFld>(MakeTable(dir.Path(), "t.dbf", JournalFields()));
         MakeReadOnly(*table);
         return ErrorMessage([&] { table->Close(); });
       }},
      {"handler",
       [](TempDir& dir) {
         auto table = TableWithPendingHeader<XBO_dBHandler>(MakeTable(dir.Path(), "t.dbf", JournalFields()));
         MakeReadOnly(*table);
         return ErrorMessage([&] { table->Close(); });
       }},
      {"index",
       [](TempDir&) {
         IndexFileFixture<XBobjCDXFile> f({{"NAME", 'C', 10, 0}});
         f.Create("K.cdx", "NAME").reset();
         auto file = f.Open("K.cdx");
         f.table->indexes.push_back(file.get());
         // Under our index lock with the tree loaded, changed pages stay in
         // memory until the last lock level goes or the file is closed.
         file->LockIndexFile();
         file->TagAt(0)->LoadRoot(0);
         for (const char* name : {"ALPHA", "BRAVO", "CHARLIE"}) f.table->Append({{"NAME", name}});
         EXPECT_TRUE(file->HasUnwrittenChanges());
         MakeReadOnly(*file->DiskFile());
         std::string message = ErrorMessage([&] { file->Close(); });
         f.table->indexes.clear();
         return message;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string message = c.run(dir);
    EXPECT_EQ(message.rfind("Error writing to ", 0), 0u) << message;
  }
}

TEST(CloseFailureDeathTest, DestroyingATableWithItsHeaderUnwrittenIsReportedInDebugBuilds) {
#ifdef NDEBUG
  GTEST_SKIP() << "only debug builds check";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  const std::string path = MakeTable(dir.Path(), "t.dbf", JournalFields());
  EXPECT_DEATH(TableWithPendingHeader<XBO_dBaseFld>(path).reset(), "Close\\(\\) it first");
  // Closed, nothing is lost.
  auto table = TableWithPendingHeader<XBO_dBaseFld>(path);
  table->Close();
  table.reset();
  EXPECT_EQ(XBO_dBaseFld(path, true, false, "").RecordCount(), 1);
#endif
}

}  // namespace
