// The dataset against independent readers and writers: a table written
// only through TXbaseDataSet (appends, edits, a delete, memos, Czech texts)
// reads the same in Debian's dbfread with code page 852, and a table that
// python3-dbf writes reads the same through the dataset.
#include <gtest/gtest.h>

#include <cstdio>

#include "dbase/testing/table_fixtures.h"
#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"

using namespace xbase_test;
using table_test::Hex;

namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The dataset's view of the table in the canonical form of
// crosscheck_dataset.py (deletion marks from the file itself).
std::string DatasetDump(const std::string& dir, const std::string& table, const std::vector<int>& decimals) {
  auto ds = NewDataSet(dir, table);
  ds->SetUseDeleted(true);
  ds->Open();
  std::string out = "fields ";
  for (int i = 0; i < ds->FieldCount(); ++i) out += (i ? "," : "") + std::string(ds->Fields()[i]->FieldName());
  out += "\n";
  for (ds->First(); !ds->Eof(); ds->Next()) {
    out += RawRecord(dir + table, ds->RecNo())[0] == '*' ? "1" : "0";
    for (int i = 0; i < ds->FieldCount(); ++i) {
      TField* f = ds->Fields()[i];
      std::string value;
      switch (f->DataType()) {
        case ftString:
        case ftMemo: value = Hex(AnsiToUtf8(f->AsString())); break;
        case ftDate:
          if (!f->IsNull()) {
            int y = 0, m = 0, d = 0;
            DecodeDate(f->AsDateTime(), y, m, d);
            char text[16];
            std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
            value = text;
          }
          break;
        case ftBoolean: value = f->AsBoolean() ? "T" : "F"; break;
        default: value = Fixed(f->AsFloat(), decimals[static_cast<std::size_t>(i)]); break;
      }
      out += "|" + value;
    }
    out += "\n";
  }
  return out;
}

table_test::ToolRun Script(const std::string& command, const std::string& path) {
  return table_test::RunTool({"/usr/bin/python3", table_test::CrosscheckScript("crosscheck_dataset.py"), command, path});
}

}  // namespace

TEST(XbaseDatasetCrosscheck, ATableWrittenThroughTheDatasetReadsTheSameInDbfread) {
  if (!table_test::PythonHas({"dbfread"})) GTEST_SKIP() << "python3-dbfread is not installed";
  TempDir data;
  const std::string path = table_test::MakeTable(
      data.Path(), "DS.DBF",
      {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"COUNT", 'N', 8, 0}, {"DAY", 'D', 0, 0}, {"PAID", 'L', 0, 0},
       {"NOTE", 'M', 0, 0}},
      0x83);
  struct Row {
    std::string name;  // UTF-8
    double amount;
    int count;
    int year, month, day;  // year 0: no date
    bool paid;
    std::string note;  // UTF-8
  };
  std::vector<Row> rows = {{"Příjem hotovosti", 1250.5, 3, 2024, 1, 5, true, "Úhrada faktury č. 12"},
                           {"Výdej", -80.25, -1, 0, 0, 0, false, ""},
                           {"Zrušený doklad", 10, 0, 1999, 12, 31, false, "ďábelské ódy"},
                           {"ŽLUŤOUČKÝ KŮŇ", 0.01, 99999, 2000, 2, 29, true, std::string(1300, 'm')}};
  auto ds = NewDataSet(data.Path(), "DS.DBF");
  ds->Open();
  auto fill = [&](const Row& r) {
    ds->FieldByName("NAME")->SetAsString(Cz(r.name));
    ds->FieldByName("AMOUNT")->SetAsFloat(r.amount);
    ds->FieldByName("COUNT")->SetAsInteger(r.count);
    if (r.year)
      ds->FieldByName("DAY")->SetAsDateTime(EncodeDate(r.year, r.month, r.day));
    else
      ds->FieldByName("DAY")->Clear();
    ds->FieldByName("PAID")->SetAsBoolean(r.paid);
    ds->FieldByName("NOTE")->SetAsString(Cz(r.note));
  };
  for (const Row& r : rows) {
    ds->Append();
    fill(r);
    ds->Post();
  }
  rows[1] = {"Výdej opravený", -80.3, 2, 2024, 12, 24, true, "doplněná poznámka"};
  ds->SetRecNo(2);
  ds->Edit();
  fill(rows[1]);
  ds->Post();
  ds->SetRecNo(3);
  ds->Delete();
  ds->Close();

  std::string expected = "fields NAME,AMOUNT,COUNT,DAY,PAID,NOTE\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    char day[16] = "";
    if (r.year) std::snprintf(day, sizeof day, "%04d%02d%02d", r.year, r.month, r.day);
    expected += std::string(i == 2 ? "1" : "0") + "|" + Hex(r.name) + "|" + Fixed(r.amount, 2) + "|" +
                Fixed(r.count, 0) + "|" + day + "|" + (r.paid ? "T" : "F") + "|" + Hex(r.note) + "\n";
  }
  const table_test::ToolRun dump = Script("dump", path);
  ASSERT_EQ(dump.status, 0) << dump.output;
  EXPECT_EQ(dump.output, expected);
  EXPECT_EQ(DatasetDump(data.Path(), "DS.DBF", {0, 2, 0, 0, 0, 0}), expected);
}

TEST(XbaseDatasetCrosscheck, ATableWrittenByPythonDbfReadsTheSameThroughTheDataset) {
  if (!table_test::PythonHas({"dbf"})) GTEST_SKIP() << "python3-dbf is not installed";
  TempDir data;
  const table_test::ToolRun created = Script("create", data.File("PY.DBF"));
  ASSERT_EQ(created.status, 0) << created.output;
  EXPECT_EQ(DatasetDump(data.Path(), "PY.DBF", {0, 2, 0, 0, 0, 0}), created.output);
}
