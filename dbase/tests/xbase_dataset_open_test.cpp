// Opening a table through the dataset: where the file is looked for, the
// open errors, index files named in IndexFiles, and how every DBF field
// type appears as a platform field (with its null rules).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/errors.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xbase_test;

namespace {

std::string TypeName(TField* field) { return FieldTypeName(field->DataType()); }

}  // namespace

TEST(XbaseDatasetOpen, TableNameWithoutExtensionOpensThroughAnAliasOfTheAliasFile) {
  TempDir cfg;
  TempDir data;
  MakeJournal(data.Path(), "DATA1", SampleRows(3));
  cfg.Write("xbase.cfg", "[Alias]\r\nKELVO=" + data.Path() + "\r\n");
  ScopedAliasDirectory aliases(cfg.Path());
  TXbaseDataSet ds(nullptr);
  ds.SetDatabaseName("kelvo");
  ds.SetTableName("DATA1");
  ds.Open();
  EXPECT_EQ(ds.TableName(), "DATA1.DBF");
  EXPECT_EQ(ds.RecordCount(), 3);
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsString(), "D0001");
}

TEST(XbaseDatasetOpen, DefaultDirectoryIsTheProgramDirectory) {
  TempDir data;
  MakeJournal(data.Path(), "PLA0001.DBF", SampleRows(2));
  SetProgramDirectory(data.Path());
  TXbaseDataSet ds(nullptr);
  ds.SetDatabaseName("default directory");
  ds.SetTableName("pla0001.dbf");
  EXPECT_NO_THROW(ds.Open());
  SetProgramDirectory("");
  EXPECT_EQ(ds.RecordCount(), 2);
}

TEST(XbaseDatasetOpen, OpenReportsAMissingNameAndAMissingFile) {
  TempDir data;
  TXbaseDataSet ds(nullptr);
  ds.SetDatabaseName(data.Path());
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds.Open(); }), Cz("Chybí jméno tabulky"));
  ds.SetTableName("NOTHERE");
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds.Open(); }),
            Cz("Nemohu najít soubor ") + data.Path() + "NOTHERE.DBF");
  EXPECT_FALSE(ds.Active());
}

TEST(XbaseDatasetOpen, IndexFilesRefuseAFileThatIsAlreadyOpenOrUnreadable) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(10));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag(data.File("PLA.CDX"), "DO1", 0, 0, "", "PLA_DO1");
  TStringList twice;
  twice.Add("PLA.CDX");
  twice.Add(data.File("pla.cdx"));
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->SetIndexFiles(twice); }),
            Cz("Indexový soubor ") + data.File("pla.cdx") + Cz(" je již otevřen"));

  data.Write("BAD.CDX", std::string(1024, 'x'));
  TStringList bad;
  bad.Add("BAD.CDX");
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->SetIndexFiles(bad); }), "Error getting " + data.File("BAD.CDX"));

  TStringList good;
  good.Add("PLA.CDX");
  ds->SetIndexFiles(good);
  ds->SetIndexName("DO1");
  EXPECT_EQ(ds->IndexTagCount(), 1);
  EXPECT_EQ(ds->IndexTagName(1), "DO1");
  EXPECT_EQ(Column(*ds, "PLA_DO1").front(), "D0001");

  // A closed dataset opens its listed files and selects its tag.
  ds->Close();
  ds->SetIndexName("DO1");
  ds->Open();
  EXPECT_EQ(ds->IndexTagName(1), "DO1");
  ds->IndexDefs().Update();
  ASSERT_EQ(ds->IndexDefs().Count(), 1);
  EXPECT_EQ(ds->IndexDefs().Items(0)->Fields(), "PLA_DO1");
  EXPECT_TRUE(ds->IndexDefs().Items(0)->Options().Contains(ixUnique));
}

TEST(XbaseDatasetOpen, AListedIndexFileWithoutExtensionIsTheNdxFile) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(15));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->SetExclusive(true);
  ds->Open();
  // A compound file of the same name keys another field: the expression
  // tells which of the two was opened.
  ds->BuildIndexTag("DOC.CDX", "DOC", 0, 1, "", "PLA_HOD");
  ds->BuildIndexTag("DOC.NDX", "", 0, 1, "", "PLA_KOM");
  ds->Close();
  TStringList files;
  files.Add("DOC");
  ds->SetIndexFiles(files);
  ds->SetIndexName("DOC");
  ds->Open();
  ASSERT_EQ(ds->IndexTagCount(), 1);
  EXPECT_EQ(ds->IndexExpression(1), "PLA_KOM");
  const std::vector<std::string> texts = Column(*ds, "PLA_KOM");
  EXPECT_EQ(texts.size(), 15u);
  EXPECT_TRUE(std::is_sorted(texts.begin(), texts.end()));
}

TEST(XbaseDatasetOpen, EveryFieldTypeMapsToItsPlatformField) {
  TempDir data;
  table_test::MakeTable(data.Path(), "FOX.DBF",
                        {{"NAME", 'C', 300, 0},
                         {"PRICE", 'N', 8, 2},
                         {"RATE", 'F', 10, 3},
                         {"SMALL", 'N', 4, 0},
                         {"MEDIUM", 'N', 9, 0},
                         {"LARGE", 'N', 10, 0},
                         {"FSMALL", 'F', 3, 0},
                         {"COUNT", 'I', 0, 0},
                         {"PAID", 'L', 0, 0},
                         {"DAY", 'D', 0, 0},
                         {"STAMP", 'T', 0, 0},
                         {"MONEY", 'Y', 0, 0},
                         {"NOTE", 'M', 0, 0},
                         {"REAL", 'B', 0, 0},
                         {"PICTURE", 'G', 0, 0}},
                        0x30);
  table_test::MakeTable(data.Path(), "DB4.DBF", {{"BINARY", 'B', 0, 0}, {"NOTE", 'M', 0, 0}}, 0x8B);
  const struct {
    const char* table;
    TxbIntFields large;
    const char* field;
    const char* type;
    int size;
  } cases[] = {
      {"FOX.DBF", TxbIntFields::asInteger, "NAME", "String", 300},
      {"FOX.DBF", TxbIntFields::asInteger, "PRICE", "Float", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "RATE", "Float", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "SMALL", "SmallInt", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "MEDIUM", "Integer", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "LARGE", "Integer", 0},
      {"FOX.DBF", TxbIntFields::asLargeInt, "LARGE", "LargeInt", 0},
      {"FOX.DBF", TxbIntFields::asFloat, "LARGE", "Float", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "FSMALL", "SmallInt", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "COUNT", "Integer", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "PAID", "Boolean", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "DAY", "Date", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "STAMP", "DateTime", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "MONEY", "Currency", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "NOTE", "Memo", 0},
      // A Visual FoxPro B field holds a double, not a memo block.
      {"FOX.DBF", TxbIntFields::asInteger, "REAL", "Float", 0},
      {"FOX.DBF", TxbIntFields::asInteger, "PICTURE", "Blob", 0},
      {"DB4.DBF", TxbIntFields::asInteger, "BINARY", "Blob", 0},
      {"DB4.DBF", TxbIntFields::asInteger, "NOTE", "Memo", 0},
  };
  for (const auto& c : cases) {
    auto ds = NewDataSet(data.Path(), c.table);
    ds->SetLargeIntegerAs(c.large);
    ds->Open();
    TField* field = ds->FieldByName(c.field);
    EXPECT_EQ(TypeName(field), c.type) << c.table << " " << c.field;
    if (c.size) {
      EXPECT_EQ(field->Size(), c.size) << c.field;
    }
  }
}

TEST(XbaseDatasetOpen, ColumnsOfAnUnknownTypeGetNoFieldAndKeepTheOthersNumbers) {
  TempDir data;
  const std::string path =
      table_test::MakeTable(data.Path(), "ODD.DBF", {{"FIRST", 'C', 5, 0}, {"ODD", 'C', 4, 0}, {"LAST", 'N', 5, 0}});
  table_test::PatchBytes(path, 32 + 32 + 11, "X");  // the second descriptor's type letter
  {
    XBO_dBaseFld t(path, false, true, "");
    t.BlankRecord();
    t.PutRaw("FIRST", "abc");
    t.PutNumber("LAST", 42);
    t.AppendRecord();
  }
  auto ds = NewDataSet(data.Path(), "ODD.DBF");
  ds->Open();
  ASSERT_EQ(ds->FieldCount(), 2);
  EXPECT_EQ(ds->FindField("ODD"), nullptr);
  EXPECT_EQ(ds->FieldByName("LAST")->FieldNo(), 3);
  EXPECT_EQ(ds->FieldByName("LAST")->AsInteger(), 42);
  // Definitions asked while closed come from the table opened briefly.
  auto closed = NewDataSet(data.Path(), "ODD.DBF");
  closed->FieldDefs().Update();
  ASSERT_EQ(closed->FieldDefs().Count(), 2);
  EXPECT_EQ(closed->FieldDefs().Items(1)->FieldNo(), 3);
}

TEST(XbaseDatasetOpen, LargeNumbersAreRangeCheckedUnderAsIntegerAndExactOtherwise) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "BIG.DBF", {{"N10", 'N', 10, 0}, {"N19", 'N', 19, 0}});
  {
    XBO_dBaseFld t(path, false, true, "");
    for (const char* value : {"3000000000", "2147483647", "-999999999"}) {
      t.BlankRecord();
      t.PutRaw("N10", value);
      t.PutRaw("N19", "9007199254740993");  // 2^53 + 1: no double holds it
      t.AppendRecord();
    }
  }
  auto asInteger = NewDataSet(data.Path(), "BIG.DBF");
  asInteger->Open();
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { asInteger->FieldByName("N10")->AsInteger(); }),
            "numeric value too big in field N10 - 3000000000");
  asInteger->Next();
  EXPECT_EQ(asInteger->FieldByName("N10")->AsInteger(), 2147483647);
  asInteger->Next();
  EXPECT_EQ(asInteger->FieldByName("N10")->AsInteger(), -999999999);

  auto asLarge = NewDataSet(data.Path(), "BIG.DBF");
  asLarge->SetLargeIntegerAs(TxbIntFields::asLargeInt);
  asLarge->Open();
  auto* n10 = dynamic_cast<TLargeintField*>(asLarge->FieldByName("N10"));
  auto* n19 = dynamic_cast<TLargeintField*>(asLarge->FieldByName("N19"));
  ASSERT_TRUE(n10 && n19);
  EXPECT_EQ(n10->AsLargeInt(), 3000000000LL);
  EXPECT_EQ(n19->AsLargeInt(), 9007199254740993LL);
  asLarge->Edit();
  n19->SetAsLargeInt(9007199254740995LL);
  asLarge->Post();
  EXPECT_EQ(RawRecord(path, 1).substr(11, 19), "   9007199254740995");

  auto asFloat = NewDataSet(data.Path(), "BIG.DBF");
  asFloat->SetLargeIntegerAs(TxbIntFields::asFloat);
  asFloat->Open();
  EXPECT_EQ(asFloat->FieldByName("N10")->AsFloat(), 3000000000.0);
}

TEST(XbaseDatasetOpen, DatesReadNullForBlankOrInvalidTextAndNullWritesBlanks) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "DAYS.DBF", {{"DAY", 'D', 0, 0}});
  const char* stored[] = {"20240105", "        ", "00000000", "20240230", "2024010 ", "abcdefgh", "00010101"};
  {
    XBO_dBaseFld t(path, false, true, "");
    for (const char* s : stored) {
      t.BlankRecord();
      t.PutRaw("DAY", s);
      t.AppendRecord();
    }
  }
  auto ds = NewDataSet(data.Path(), "DAYS.DBF");
  ds->Open();
  std::vector<std::string> texts;
  for (ds->First(); !ds->Eof(); ds->Next())
    texts.push_back(ds->FieldByName("DAY")->IsNull() ? "null" : std::string(ds->FieldByName("DAY")->AsString()));
  EXPECT_EQ(texts, (std::vector<std::string>{"05.01.2024", "null", "null", "null", "null", "null", "01.01.0001"}));

  ds->First();
  ds->Edit();
  ds->FieldByName("DAY")->Clear();
  ds->Post();
  EXPECT_EQ(RawRecord(path, 1).substr(1), "        ");
  ds->Edit();
  ds->FieldByName("DAY")->SetAsDateTime(EncodeDate(1999, 12, 31));
  ds->Post();
  EXPECT_EQ(RawRecord(path, 1).substr(1), "19991231");
}

TEST(XbaseDatasetOpen, DateTimesCarryMillisecondsAndLogicalsTheirLetters) {
  TempDir data;
  const std::string path =
      table_test::MakeTable(data.Path(), "STAMPS.DBF", {{"STAMP", 'T', 0, 0}, {"PAID", 'L', 0, 0}}, 0x30);
  {
    XBO_dBaseFld t(path, false, true, "");
    t.BlankRecord();
    // 5 January 2024 12:30:15.250 as milliseconds since day 1721425.
    t.PutNumberN(1, (2460315.0 - 1721425.0) * 86400000.0 + 45015250.0);
    t.PutRaw("PAID", "J");
    t.AppendRecord();
    t.BlankRecord();
    t.AppendRecord();
  }
  auto ds = NewDataSet(data.Path(), "STAMPS.DBF");
  ds->Open();
  const TDateTime expected = EncodeDate(2024, 1, 5) + EncodeTime(12, 30, 15, 250);
  EXPECT_NEAR(ds->FieldByName("STAMP")->AsDateTime(), expected, 1e-9);
  EXPECT_TRUE(ds->FieldByName("PAID")->AsBoolean());
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("STAMP")->IsNull());
  EXPECT_FALSE(ds->FieldByName("PAID")->AsBoolean());
  ds->Edit();
  ds->FieldByName("STAMP")->SetAsDateTime(EncodeDate(2000, 2, 29) + EncodeTime(0, 0, 1, 5));
  ds->FieldByName("PAID")->SetAsBoolean(true);
  ds->Post();
  XBO_dBaseFld t(path, true, false, "");
  t.GoRecord(2);
  EXPECT_EQ(t.GetNumberN(1), (2451604.0 - 1721425.0) * 86400000.0 + 1005.0);
  EXPECT_EQ(t.GetRaw("PAID"), "T");
}

TEST(XbaseDatasetOpen, StringsAreTranslatedOnceBetweenOemAndAnsi) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "CZ.DBF", {{"NAME", 'C', 20, 0}});
  const AnsiString czech = Cz("Žluťoučký kůň");
  {
    XBO_dBaseFld t(path, false, true, "");
    t.BlankRecord();
    t.PutRaw("NAME", AnsiToOem(czech));
    t.AppendRecord();
  }
  auto ds = NewDataSet(data.Path(), "CZ.DBF");
  ds->Open();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), czech);
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString(Cz("Příliš"));
  ds->Post();
  EXPECT_EQ(RawRecord(path, 1).substr(1, 6), AnsiToOem(Cz("Příliš")));
  ds->Close();
  ds->SetTranslateASCII(false);
  ds->Open();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), AnsiToOem(Cz("Příliš")));
}
