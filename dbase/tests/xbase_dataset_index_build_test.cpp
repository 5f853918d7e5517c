// Index builds through the dataset: the progress reports OnStatus gives,
// the busy table refusing re-entry from a progress handler, controls held
// back for the build, the order the dataset reports afterwards, the order
// codes, and what detaching an index file does to the selected tag.
#include <gtest/gtest.h>

#include <tuple>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "platform/db/datasource.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xbase_test;

namespace {

using Report = std::tuple<int, int, int>;

std::vector<Report> ExpectedReports(int n) {
  std::vector<Report> reports = {{-1, 1, n}};
  for (int i = 1; i <= n; ++i) reports.emplace_back(1, i, 0);
  reports.emplace_back(0, 0, 0);
  reports.emplace_back(-1, 2, n);
  for (int i = 1; i <= n; ++i) reports.emplace_back(2, i, 0);
  reports.emplace_back(0, 0, 0);
  return reports;
}

class CountingLink : public TDataLink {
 public:
  int changed = 0;
  int other = 0;

 protected:
  void DataSetChanged() override { ++changed; }
  void DataSetScrolled(int) override { ++other; }
  void RecordChanged(TField*) override { ++other; }
  void LayoutChanged() override { ++other; }
  void EditingChanged() override { ++other; }
};

}  // namespace

TEST(XbaseDatasetIndexBuild, OnStatusReportsEachRecordAndEachKey) {
  for (const int n : {0, 1, 1000}) {
    TempDir data;
    MakeJournal(data.Path(), "PLA.DBF", SampleRows(n));
    auto ds = NewDataSet(data.Path(), "PLA.DBF");
    ds->Open();
    std::vector<Report> reports;
    TObject* sender = nullptr;
    ds->OnStatus = [&](TObject* s, int status, int current, int total) {
      sender = s;
      reports.emplace_back(status, current, total);
    };
    ds->BuildIndexTag("PLA.CDX", "DO1", 0, 0, "", "PLA_DO1");
    EXPECT_EQ(reports, ExpectedReports(n)) << n;
    EXPECT_EQ(sender, ds.get());
  }
}

TEST(XbaseDatasetIndexBuild, AProgressHandlerCannotReenterTheTableAndTheBuildCompletes) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(50));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  CountingLink link;
  link.SetBufferCount(10);
  link.SetDataSource(&source);
  link.changed = link.other = 0;

  std::vector<std::string> refusals;
  int duringChanged = -1;
  ds->OnStatus = [&](TObject*, int status, int, int) {
    if (status == 1 && refusals.size() < 3) {
      refusals.push_back(ErrorMessage<EDatabaseError>([&] { ds->Next(); }));
      refusals.push_back(ErrorMessage<EDatabaseError>([&] { ds->SeekKey("D0001", true, false); }));
      refusals.push_back(ErrorMessage<EDatabaseError>([&] { ds->RecordCount(); }));
    }
    duringChanged = link.changed + link.other;
  };
  ds->BuildIndexTag("PLA.CDX", "DO1", 0, 0, "", "PLA_DO1");
  EXPECT_EQ(refusals, std::vector<std::string>(3, "Table is busy building an index"));
  EXPECT_EQ(duringChanged, 0);
  EXPECT_EQ(link.changed, 1);
  EXPECT_EQ(link.other, 0);
  EXPECT_EQ(ds->AttachIndexFile("PLA.CDX"), 0);
  ds->SetIndexName("DO1");
  EXPECT_EQ(Column(*ds, "PLA_DO1").size(), 50u);
  link.SetDataSource(nullptr);
}

TEST(XbaseDatasetIndexBuild, AfterABuildTheDatasetIsInPhysicalOrderAndSaysSo) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(25));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag("PLA.CDX", "DAT", 0, 1, "", "PLA_DAT");
  ds->AttachIndexFile("PLA.CDX");
  ds->SetIndexName("DAT");
  ds->IndexDefs().Update();
  EXPECT_EQ(ds->IndexDefs().Count(), 1);

  ds->BuildIndexTag("PLA.CDX", "DAT", 0, 1, "", "PLA_DAT");
  EXPECT_EQ(ds->IndexName(), "");
  EXPECT_FALSE(ds->IndexDefs().Updated());
  EXPECT_EQ(ds->IndexTagCount(), 0);
  EXPECT_EQ(RecordNumbers(*ds).front(), 1);

  ds->AttachIndexFile("PLA.CDX");
  ds->SetIndexName("DAT");
  std::vector<std::string> dates;
  for (ds->First(); !ds->Eof(); ds->Next()) {
    const AnsiString text = ds->FieldByName("PLA_DAT")->AsString();
    dates.push_back(text.substr(6, 4) + text.substr(3, 2) + text.substr(0, 2));
  }
  ASSERT_EQ(dates.size(), 25u);
  EXPECT_TRUE(std::is_sorted(dates.begin(), dates.end()));
  ds->IndexDefs().Update();
  ASSERT_EQ(ds->IndexDefs().Count(), 1);
  EXPECT_EQ(ds->IndexDefs().Items(0)->Name(), "DAT");
}

TEST(XbaseDatasetIndexBuild, IndexDefinitionsDescribeExpressionsAndFieldLists) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag("PLA.CDX", "TK", 1, 1, "", "PLA_TYP + PLA_KOM");
  ds->BuildIndexTag("PLA.CDX", "UP", 0, 1, "", "UPPER(PLA_KOM)");
  ds->AttachIndexFile("PLA.CDX");
  ds->IndexDefs().Update();
  ASSERT_EQ(ds->IndexDefs().Count(), 2);
  for (int i = 0; i < 2; ++i) {
    TIndexDef* def = ds->IndexDefs().Items(i);
    if (def->Name() == "TK") {
      EXPECT_EQ(def->Fields(), "PLA_TYP;PLA_KOM");
      EXPECT_TRUE(def->Options().Contains(ixDescending));
    } else {
      EXPECT_EQ(def->Name(), "UP");
      EXPECT_EQ(def->Expression(), "UPPER(PLA_KOM)");
      EXPECT_TRUE(def->Options().Contains(ixExpression));
    }
  }
  EXPECT_EQ(ds->IndexExpression(3), "");
  ds->DetachIndexFile("PLA.CDX");
  EXPECT_EQ(ds->IndexTagCount(), 0);
}

TEST(XbaseDatasetIndexBuild, OrderCodesGiveBothDirectionsInEitherCollation) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "NAMES.DBF", {{"NAME", 'C', 10, 0}});
  {
    XBO_dBaseFld t(path, false, true, "");
    for (const char* name : {"beta", "Alfa", "Cyril", "alef"}) {
      t.BlankRecord();
      t.PutRaw("NAME", name);
      t.AppendRecord();
    }
  }
  auto ds = NewDataSet(data.Path(), "NAMES.DBF");
  ds->Open();
  // The first collation puts a capital right before its small letter; the
  // second compares letters regardless of case first.
  const struct {
    int order;
    std::vector<int> records;
  } cases[] = {{0, {2, 4, 1, 3}}, {1, {3, 1, 4, 2}}, {7, {4, 2, 1, 3}}, {8, {3, 1, 2, 4}}};
  for (const auto& c : cases) {
    const AnsiString tag = "O" + std::to_string(c.order);
    ds->BuildIndexTag("NAMES.CDX", tag, c.order, 1, "", "NAME");
    ds->AttachIndexFile("NAMES.CDX");
    ds->SetIndexName(tag);
    EXPECT_EQ(RecordNumbers(*ds), c.records) << c.order;
    ds->IndexDefs().Update();
    const TIndexDef* def = ds->IndexDefs().Find(tag);
    ASSERT_NE(def, nullptr) << c.order;
    EXPECT_EQ(def->Options().Contains(ixDescending), c.order == 1 || c.order == 8) << c.order;
  }
}

TEST(XbaseDatasetIndexBuild, DetachingAFileClearsTheSelectedTagOnlyWhenItLivedThere) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(12));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag("HOD.CDX", "HOD", 0, 1, "", "PLA_HOD");
  ds->BuildIndexTag("KOM.CDX", "KOM", 0, 1, "", "PLA_KOM");
  ds->AttachIndexFile("HOD.CDX");
  ds->AttachIndexFile("KOM.CDX");
  ds->SetIndexName("HOD");
  const std::vector<int> physical = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<int> byAmount = RecordNumbers(*ds);
  ASSERT_NE(byAmount, physical);

  ds->DetachIndexFile("KOM.CDX");
  EXPECT_EQ(ds->IndexName(), "HOD");
  EXPECT_EQ(RecordNumbers(*ds), byAmount);

  ds->DetachIndexFile("HOD.CDX");
  EXPECT_EQ(ds->IndexName(), "");
  EXPECT_TRUE(ds->IsSequenced());
  EXPECT_EQ(RecordNumbers(*ds), physical);
  EXPECT_EQ(ds->IndexTagCount(), 0);
}
