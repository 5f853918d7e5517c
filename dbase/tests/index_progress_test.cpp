// Progress of a tag build: the exact sequence of status reports for a table
// with a deleted record and a FOR condition, and for an empty table.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/index_model.h"
#include "testing/temp_dir.h"

namespace {

using Report = indexmodel::ProgressReport;
using indexmodel::RecordingTable;

std::vector<Report> BuildReports(int records, const AnsiString& forExpression, bool deleteSecond) {
  RegisterBuiltinExpressions();
  TempDir dir;
  CreateDbfTable(dir.File("T.DBF"), {{"NAME", 'C', 8, 0}, {"SEQ", 'N', 4, 0}});
  RecordingTable table(dir.File("T.DBF"), false);
  for (int i = 1; i <= records; ++i) table.Append({{"NAME", "N" + std::to_string(i)}, {"SEQ", std::to_string(i)}});
  if (deleteSecond) {
    table.GoRecord(2);
    table.DeleteRecord();
  }
  XBobjCDXFile cdx(&table.link, "T.cdx", false, true, fmOpenReadWrite, fmShareExclusive);
  table.reports.clear();
  cdx.CreateTag("NAME", "NAME", false, true, forExpression);
  return table.reports;
}

TEST(IndexProgress, ReportsEveryRecordThenEveryKeyWritten) {
  // Five records, the second deleted (still read), three pass the FOR.
  std::vector<Report> expected = {{-1, 1, 5}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 4, 0}, {1, 5, 0},
                                  {0, 0, 0},  {-1, 2, 5}, {2, 1, 0}, {2, 2, 0}, {2, 3, 0}, {0, 0, 0}};
  EXPECT_EQ(BuildReports(5, "SEQ >= 3", true), expected);
}

TEST(IndexProgress, EmptyTableStillClosesBothPhases) {
  std::vector<Report> expected = {{-1, 1, 0}, {0, 0, 0}, {-1, 2, 0}, {0, 0, 0}};
  EXPECT_EQ(BuildReports(0, "", false), expected);
}

}  // namespace
