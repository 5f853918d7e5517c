// The in-memory table as a dataset: open/close cycles, the edit protocol and
// its refusals, index choice, record numbers, bookmarks, auto-increment and
// defaults, and variant writes of keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memtable/indexes.h"
#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/db/datasource.h"

namespace {

using mttest::Names;
using mttest::ExpectError;

TEST(MemTable, KeyedTotalsRoadOfTheBreakdownReport) {
  TmtMemTable t;
  t.FieldDefs().Add("SES_TYP", ftString, 3);
  t.FieldDefs().Add("SES_SUM", ftFloat);
  t.IndexDefs().Add("TYP", "SES_TYP", {ixPrimary, ixUnique});
  t.SetIndexName("TYP");
  t.Open();
  t.ClearAllRecords();
  t.SetIndexName("TYP");
  EXPECT_EQ(t.IndexName(), "TYP");
  struct Row {
    const char* typ;
    double amount;
  } rows[] = {{"B", 1}, {"A", 2}, {"C", 3}, {"A", 4}, {"B", 5}};
  for (const Row& r : rows) {
    if (t.SeekKeyValues({Variant(r.typ)})) {
      t.Edit();
      t.FieldByName("SES_SUM")->SetAsFloat(t.FieldByName("SES_SUM")->AsFloat() + r.amount);
    } else {
      t.Append();
      t.FieldByName("SES_TYP")->SetAsString(r.typ);
      t.FieldByName("SES_SUM")->SetAsFloat(r.amount);
    }
    t.Post();
  }
  EXPECT_EQ(t.RecordCount(), 3);
  std::vector<std::string> walk;
  for (t.First(); !t.Eof(); t.Next())
    walk.push_back(t.FieldByName("SES_TYP")->AsString() + "=" +
                   std::to_string(static_cast<int>(t.FieldByName("SES_SUM")->AsFloat())));
  EXPECT_EQ(walk, (std::vector<std::string>{"A=6", "B=6", "C=3"}));
  t.Close();
  EXPECT_FALSE(t.Active());
  t.Open();
  EXPECT_EQ(t.RecordCount(), 0);
}

}  // namespace
