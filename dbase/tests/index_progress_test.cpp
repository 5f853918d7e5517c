// Progress of a tag build as a progress window reads it, for tables with
// deleted records, a FOR condition, none or one record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
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

// What a progress window needs of the reports, for tables of any size: two
// phases, each opened with (-1, phase, total), counting 1, 2, ... without a
// gap and never past total, and closed with (0, 0, 0). The record phase
// counts every record read (deleted ones too), the key phase every key
// written (the records the FOR lets through).
TEST(IndexProgress, EachPhaseOpensCountsUpToItsTotalAndCloses) {
  struct Case {
    int records;
    const char* forExpression;
    bool deleteSecond;
    int keys;
  };
  const Case cases[] = {{5, "SEQ >= 3", true, 3}, {0, "", false, 0}, {1, "", false, 1}, {40, "", true, 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.records) + " records, FOR " + c.forExpression);
    const std::vector<Report> reports = BuildReports(c.records, c.forExpression, c.deleteSecond);
    std::size_t at = 0;
    for (int phase : {1, 2}) {
      ASSERT_LT(at, reports.size());
      const auto [status, current, total] = reports[at++];
      EXPECT_EQ(status, -1);
      EXPECT_EQ(current, phase);
      EXPECT_EQ(total, c.records);
      int counted = 0;
      while (at < reports.size() && std::get<0>(reports[at]) == phase) {
        EXPECT_EQ(std::get<1>(reports[at]), ++counted);
        ++at;
      }
      EXPECT_LE(counted, total);
      EXPECT_EQ(counted, phase == 1 ? c.records : c.keys);
      ASSERT_LT(at, reports.size());
      EXPECT_EQ(reports[at++], Report(0, 0, 0));
    }
    EXPECT_EQ(at, reports.size());
  }
}

}  // namespace
