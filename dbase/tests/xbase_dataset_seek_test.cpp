// Navigation and search through the dataset: key seeks with and without
// near and exact, key ranges, Locate and Lookup, filters and the
// master/detail range.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/db/datasource.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xbase_test;

namespace {

// NAMES.DBF with NAME C(10) holding the texts (CP1250, stored OEM) and a
// tag NAM on NAME in NAMES.CDX; the dataset is open on the tag.
std::unique_ptr<TXbaseDataSet> Names(const TempDir& data, const std::vector<const char*>& names) {
  const std::string path = table_test::MakeTable(data.Path(), "NAMES.DBF", {{"NAME", 'C', 10, 0}, {"N", 'N', 3, 0}});
  {
    XBO_dBaseFld t(path, false, true, "");
    int i = 0;
    for (const char* n : names) {
      t.BlankRecord();
      t.PutRaw("NAME", AnsiToOem(Cz(n)));
      t.PutNumber("N", ++i);
      t.AppendRecord();
    }
  }
  auto ds = NewDataSet(data.Path(), "NAMES.DBF");
  ds->Open();
  ds->BuildIndexTag("NAMES.CDX", "NAM", 0, 1, "", "NAME");
  ds->AttachIndexFile("NAMES.CDX");
  ds->SetIndexName("NAM");
  return ds;
}

AnsiString Name(TXbaseDataSet& ds) { return ds.FieldByName("NAME")->AsString(); }

}  // namespace

TEST(XbaseDatasetSeek, SeekKeyLandsOnTheGreaterKeyWithNearAndOnTheLastRecordWithout) {
  TempDir data;
  auto ds = Names(data, {"OMEGA", "ALFA", "NOVAK", "DELTA", "GAMA"});
  const struct {
    const char* key;
    bool exact;
    bool nearKey;
    bool found;
    const char* lands;
  } cases[] = {
      {"DELTA", true, false, true, "DELTA"},  {"BETA", true, true, false, "DELTA"},
      {"BETA", true, false, false, "OMEGA"},  {"ZULU", true, true, false, "OMEGA"},
      {"NOV", false, false, true, "NOVAK"},   {"NOV", true, false, false, "OMEGA"},
      {"NOV", true, true, false, "NOVAK"},    {"A", false, true, true, "ALFA"},
  };
  for (const auto& c : cases) {
    ds->First();
    EXPECT_EQ(ds->SeekKey(c.key, c.exact, c.nearKey), c.found) << c.key << c.exact << c.nearKey;
    EXPECT_EQ(Name(*ds), c.lands) << c.key << c.exact << c.nearKey;
  }
  // Keys are given in ANSI and sought in OEM.
  TempDir other;
  auto czech = Names(other, {"Čapek", "Adam"});
  EXPECT_TRUE(czech->SeekKey(Cz("Čapek"), true, false));
  EXPECT_EQ(Name(*czech), Cz("Čapek"));
}

TEST(XbaseDatasetSeek, SeekNeedsATagAndDoesNotMoveAnEmptyDataset) {
  TempDir data;
  auto ds = Names(data, {});
  EXPECT_FALSE(ds->SeekKey("ALFA", true, true));
  EXPECT_TRUE(ds->IsEmpty());
  ds->SetIndexName("");
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->SeekKey("ALFA", true, true); }),
            "No index is assigned for Find operation");
}

TEST(XbaseDatasetSeek, DateRangesIncludeTheirBoundsAndAnInvertedRangeIsEmpty) {
  TempDir data;
  std::vector<JournalRow> rows = SampleRows(40);
  rows[3].date = rows[17].date = rows[25].date = "20240615";
  MakeJournal(data.Path(), "PLA.DBF", rows);
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag("PLA.CDX", "DAT", 0, 1, "", "PLA_DAT");
  ds->AttachIndexFile("PLA.CDX");
  ds->SetKeyRange("20240615", "20240615");  // no tag selected: nothing happens
  EXPECT_EQ(RecordNumbers(*ds).size(), 40u);
  ds->SetIndexName("DAT");
  ds->SetKeyRange("20240615", "20240615");
  EXPECT_EQ(RecordNumbers(*ds), (std::vector<int>{4, 18, 26}));
  ds->SetKeyRange("20241231", "20240101");
  EXPECT_TRUE(ds->IsEmpty());
  ds->SetKeyRange("20241201", "");
  for (const std::string& d : Column(*ds, "PLA_DAT")) EXPECT_EQ(d.substr(3), "12.2024");
  ds->SetKeyRange("", "");
  EXPECT_EQ(RecordNumbers(*ds).size(), 40u);
}

TEST(XbaseDatasetSeek, SelectTagKeepsThePositionAndRangesWithOptionsStartAtTheirFirstRecord) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(30));  // ten V02, twenty P01
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->SelectTag("ROC"); }),
            "Cannot perform this operation on a closed dataset");
  ds->Open();
  ds->BuildIndexTag("PLA.CDX", "ROC", 0, 1, "", "PLA_ROC");
  ds->AttachIndexFile("PLA.CDX");
  ds->SelectTag("ROC");
  EXPECT_EQ(ds->IndexName(), "ROC");
  // The position is kept and the next record is the tag's.
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), "D0001");
  ds->Next();
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), "D0004");
  // Keys are type and document ("P01D0002"); a prefix high bound takes in
  // every key that starts with it. A range set again unchanged still goes
  // to its first record.
  const struct {
    const char* low;
    const char* high;
    bool prefix;
    std::size_t count;
    const char* first;
  } cases[] = {
      {"P01", "P01", true, 20, "D0002"},           {"P01", "P01", false, 0, ""},
      {"P01D0005", "P01D0009", false, 4, "D0005"}, {"P01D0005", "P01D0009", false, 4, "D0005"},
      {"V02", "V02", true, 10, "D0001"},           {"P01", "V02", false, 20, "D0002"},
      {"P01", "V02", true, 30, "D0002"},           {"", "", false, 30, "D0002"},
  };
  for (const auto& c : cases) {
    ds->Last();
    ds->SetKeyRangeWithOptions(c.low, c.high, c.prefix, true, true);
    const std::string what = std::string(c.low) + ".." + c.high + (c.prefix ? " prefix" : "");
    EXPECT_EQ(ds->IsEmpty() ? "" : ds->FieldByName("PLA_DO1")->AsString(), c.first) << what;
    EXPECT_EQ(Column(*ds, "PLA_DO1").size(), c.count) << what;
  }
}

TEST(XbaseDatasetSeek, LocateFindsByTagOrScanPartlyAndIgnoringCase) {
  TempDir data;
  std::vector<JournalRow> rows = SampleRows(12);
  rows[5].text = Cz("Čerpání zálohy");
  rows[9].text = Cz("ČERPADLO");
  MakeJournal(data.Path(), "PLA.DBF", rows);
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag("PLA.CDX", "DO1", 0, 0, "", "PLA_DO1");
  ds->AttachIndexFile("PLA.CDX");
  ds->SetIndexName("DO1");
  const struct {
    const char* fields;
    Variant values;
    TLocateOptions options;
    int record;  // 0: not found
  } cases[] = {
      {"PLA_DO1", Variant("D0007"), {}, 7},
      {"PLA_DO1", Variant("D001"), {loPartialKey}, 10},
      {"PLA_DO1", Variant("d0003"), {loCaseInsensitive}, 3},
      {"PLA_DO1", Variant("d0003"), {}, 0},
      {"PLA_KOM", Variant(Cz("Čerpání zálohy")), {}, 6},
      {"PLA_KOM", Variant(Cz("čerpad")), {loCaseInsensitive, loPartialKey}, 10},
      {"PLA_KOM", Variant(Cz("čerpá")), {loPartialKey}, 0},
      {"PLA_TYP;PLA_DO1", Variant::Array({Variant("P01"), Variant("D0011")}), {}, 11},
      {"PLA_TYP;PLA_DO1", Variant::Array({Variant("V02"), Variant("D0011")}), {}, 0},
  };
  for (const auto& c : cases) {
    ds->SetRecNo(2);
    const bool found = ds->Locate(c.fields, c.values, c.options);
    EXPECT_EQ(found, c.record != 0) << c.fields << " " << c.values.AsString();
    EXPECT_EQ(ds->RecNo(), c.record ? c.record : 2) << c.fields << " " << c.values.AsString();
  }
}

TEST(XbaseDatasetSeek, LookupGivesValuesOrNullAndLeavesThePosition) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(8));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->FieldDefs().Update();
  for (int i = 0; i < ds->FieldDefs().Count(); ++i) ds->FieldDefs().Items(i)->CreateField(ds.get(), ds.get());
  auto* income = new TFloatField(ds.get());
  income->SetFieldName("PLA_PRI");
  income->SetFieldKind(fkCalculated);
  income->SetDataSet(ds.get());
  ds->OnCalcFields = [](TDataSet* d) {
    const double amount = d->FieldByName("PLA_HOD")->AsFloat();
    d->FieldByName("PLA_PRI")->SetAsFloat(amount > 0 ? amount : 0);
  };
  ds->Open();
  ds->SetRecNo(4);
  const Variant found = ds->Lookup("PLA_DO1", Variant("D0006"), "PLA_KOM;PLA_PRI");
  ASSERT_TRUE(found.IsArray());
  auto check = NewDataSet(data.Path(), "PLA.DBF");
  check->Open();
  check->SetRecNo(6);
  EXPECT_EQ(found.Element(0).AsString(), check->FieldByName("PLA_KOM")->AsString());
  const double amount = check->FieldByName("PLA_HOD")->AsFloat();
  EXPECT_EQ(found.Element(1).AsDouble(), amount > 0 ? amount : 0);
  EXPECT_TRUE(ds->Lookup("PLA_DO1", Variant("NONE"), "PLA_KOM").IsNull());
  EXPECT_EQ(ds->RecNo(), 4);
  ds->Next();
  EXPECT_EQ(ds->RecNo(), 5);
}

TEST(XbaseDatasetSeek, FiltersCombineTheExpressionAndOnFilterRecord) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(30));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  int offered = 0;
  ds->OnFilterRecord = [&offered](TDataSet* d, bool& accept) {
    ++offered;
    EXPECT_EQ(d->State(), dsFilter);
    accept = d->FieldByName("PLA_TYP")->AsString() == "P01";
  };
  ds->SetFiltered(true);
  EXPECT_GT(offered, 0);
  EXPECT_FALSE(ds->IsSequenced());
  for (const std::string& t : Column(*ds, "PLA_TYP")) EXPECT_EQ(t, "P01");
  const std::size_t p01 = Column(*ds, "PLA_TYP").size();
  ds->SetFilter("PLA_HOD > 0");
  std::size_t both = 0;
  for (ds->First(); !ds->Eof(); ds->Next(), ++both) {
    EXPECT_GT(ds->FieldByName("PLA_HOD")->AsFloat(), 0);
    EXPECT_EQ(ds->FieldByName("PLA_TYP")->AsString(), "P01");
  }
  EXPECT_LT(both, p01);
  EXPECT_GT(both, 0u);
  ds->SetFilter("pla_typ = 'v02'");
  EXPECT_TRUE(ds->IsEmpty());  // every V02 is refused by the event
  ds->OnFilterRecord = nullptr;
  ds->SetFilter("pla_typ = 'v02'");
  EXPECT_TRUE(ds->IsEmpty());  // compared with case
  ds->SetFilterOptions({foCaseInsensitive});
  EXPECT_EQ(Column(*ds, "PLA_TYP").size(), 30 - p01);
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { ds->SetFilter("PLA_HOD + 1"); }),
            "Filter expression must return boolean result");
  EXPECT_EQ(ds->Filter(), "PLA_HOD + 1");
  ds->SetFiltered(false);
  EXPECT_EQ(RecordNumbers(*ds).size(), 30u);
  EXPECT_TRUE(ds->IsSequenced());
}

TEST(XbaseDatasetSeek, AnEmptyMasterShowsNoDetailRecords) {
  TempDir data;
  // Detail keys around every value a fixed "nothing" bound could pick:
  // zero, the first dates, the highest character, blanks.
  const std::string detailPath = table_test::MakeTable(
      data.Path(), "DET.DBF", {{"DC", 'C', 3, 0}, {"DN", 'N', 3, 0}, {"DD", 'D', 8, 0}});
  {
    XBO_dBaseFld t(detailPath, false, true, "");
    const struct {
      const char* c;
      const char* n;
      const char* d;
    } rows[] = {{"A", "0", "19000101"}, {"B", "1", "19000102"}, {"\xFF", "-1", "29991231"},
                {"", "", ""},           {"B", "1", "19000102"}, {"ZZZ", "999", "20240615"}};
    for (const auto& r : rows) {
      t.BlankRecord();
      t.PutRaw("DC", r.c);
      t.PutRaw("DN", r.n);
      t.PutRaw("DD", r.d);
      t.AppendRecord();
    }
  }
  const std::string masterPath = table_test::MakeTable(
      data.Path(), "MAS.DBF", {{"MC", 'C', 3, 0}, {"MN", 'N', 3, 0}, {"MD", 'D', 8, 0}});
  {
    XBO_dBaseFld t(masterPath, false, true, "");
    for (const auto& [c, n, d] : {std::tuple{"B", "1", "19000102"}, std::tuple{"X", "7", "20000101"}}) {
      t.BlankRecord();
      t.PutRaw("MC", c);
      t.PutRaw("MN", n);
      t.PutRaw("MD", d);
      t.AppendRecord();
    }
  }
  auto master = NewDataSet(data.Path(), "MAS.DBF");
  master->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  auto detail = NewDataSet(data.Path(), "DET.DBF");
  detail->SetExclusive(true);  // the single-tag formats are made anew by a build
  detail->Open();

  // The compound format turns a descending tag's navigation around (and has
  // a second collation, 7 and 8); the multiple and Clipper formats store a
  // descending tag with its comparisons negated.
  const struct {
    const char* file;
    const char* detailField;
    const char* masterField;
    int order;
  } cases[] = {
      {"C.CDX", "DC", "MC", 0}, {"N.CDX", "DN", "MN", 0}, {"D.CDX", "DD", "MD", 0},
      {"C.CDX", "DC", "MC", 1}, {"N.CDX", "DN", "MN", 1}, {"D.CDX", "DD", "MD", 1},
      {"C.MDX", "DC", "MC", 0}, {"N.MDX", "DN", "MN", 1}, {"D.MDX", "DD", "MD", 1},
      {"C.NTX", "DC", "MC", 1}, {"N.NTX", "DN", "MN", 1}, {"D.NTX", "DD", "MD", 1},
      {"C.NDX", "DC", "MC", 0}, {"N.NDX", "DN", "MN", 0}, {"D.NDX", "DD", "MD", 0},
      {"G.CDX", "DC", "MC", 7}, {"G.CDX", "DC", "MC", 8},
  };
  for (const auto& c : cases) {
    const std::string what = std::string(c.file) + " order " + std::to_string(c.order);
    const AnsiString tag = AnsiString(c.detailField) + "T";
    detail->BuildIndexTag(c.file, tag, c.order, 1, "", c.detailField);
    detail->AttachIndexFile(c.file);
    detail->SetIndexName(detail->IndexTagName(1));
    detail->SetMasterFields(c.masterField);
    detail->SetMasterSource(&source);

    // Which of two equal keys comes first is the format's business.
    auto sorted = [](std::vector<int> records) {
      std::sort(records.begin(), records.end());
      return records;
    };
    const std::vector<int> both = {2, 5};
    std::vector<int> shown;
    for (master->First(); !master->Eof(); master->Next()) {
      const std::vector<int> records = RecordNumbers(*detail);
      shown.insert(shown.end(), records.begin(), records.end());
    }
    EXPECT_EQ(sorted(shown), both) << what;

    master->SetFilter("MC = 'none'");
    master->SetFiltered(true);
    ASSERT_TRUE(master->IsEmpty());
    EXPECT_EQ(RecordNumbers(*detail), std::vector<int>{}) << what;
    detail->Last();
    EXPECT_TRUE(detail->IsEmpty()) << what;
    master->SetFiltered(false);
    EXPECT_EQ(sorted(RecordNumbers(*detail)), both) << what;

    detail->SetMasterSource(nullptr);
    detail->DetachIndexFile(c.file);
  }
}

TEST(XbaseDatasetSeek, DetailRecordsFollowTheMasterAndBadLinksAreRefused) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(20));
  const std::string types = table_test::MakeTable(data.Path(), "FIN.DBF", {{"FIN_TYP", 'C', 3, 0}});
  {
    XBO_dBaseFld t(types, false, true, "");
    for (const char* type : {"P01", "V02", "X99"}) {
      t.BlankRecord();
      t.PutRaw("FIN_TYP", type);
      t.AppendRecord();
    }
  }
  auto master = NewDataSet(data.Path(), "FIN.DBF");
  master->Open();
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  auto detail = NewDataSet(data.Path(), "PLA.DBF");
  detail->Open();
  detail->BuildIndexTag("PLA.CDX", "TYP", 0, 1, "", "PLA_TYP");
  detail->AttachIndexFile("PLA.CDX");
  detail->SetIndexName("TYP");
  detail->SetMasterFields("FIN_TYP");
  detail->SetMasterSource(&source);

  std::size_t total = 0;
  for (master->First(); !master->Eof(); master->Next()) {
    const AnsiString type = master->FieldByName("FIN_TYP")->AsString();
    const std::vector<std::string> shown = Column(*detail, "PLA_TYP");
    for (const std::string& t : shown) EXPECT_EQ(t, type);
    EXPECT_EQ(shown.empty(), type == "X99") << type;
    total += shown.size();
  }
  EXPECT_EQ(total, 20u);

  master->SetFilter("FIN_TYP = 'none'");
  master->SetFiltered(true);
  ASSERT_TRUE(master->IsEmpty());
  EXPECT_TRUE(detail->IsEmpty());
  master->SetFiltered(false);
  EXPECT_FALSE(detail->IsEmpty());

  // The link is refused when it would lead back to the detail.
  TDataSource detailSource(nullptr);
  detailSource.SetDataSet(detail.get());
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { master->SetMasterSource(&detailSource); }),
            "Circular datalinks are not allowed");

  // More master fields than the key has, and no tag at all.
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { detail->SetMasterFields("FIN_TYP;FIN_TYP"); }),
            "Master/Detail relation failed, field missmatch for PLA.DBF");
  detail->SetMasterSource(nullptr);
  detail->SetIndexName("");
  detail->SetMasterFields("FIN_TYP");
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { detail->SetMasterSource(&source); }),
            "Master/Detail relation failed, no index open for PLA.DBF");
  detail->SetMasterSource(nullptr);
  EXPECT_EQ(RecordNumbers(*detail).size(), 20u);
}
