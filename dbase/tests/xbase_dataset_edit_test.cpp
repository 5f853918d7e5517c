// Editing through the dataset: posts keep every tag of an eight-tag
// compound index in order, cancel restores, delete and recall move as the
// order asks, memos travel through the blob stream in OEM on disk and ANSI
// in the field, and a cancelled memo edit leaves the record as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xbase_test;

namespace {

// Every tag walks each record once, in non-decreasing key order.
void ExpectTagsInOrder(TXbaseDataSet& ds, int records) {
  const struct {
    const char* tag;
    const char* field;
    bool numeric;
  } tags[] = {{"DO1", "PLA_DO1", false}, {"KOM", "PLA_KOM", false}, {"DAT", "PLA_DAT", false},
              {"TYP", "PLA_TYP", false}, {"KDO", "PLA_KDO", false}, {"SML", "PLA_SML", false},
              {"ROC", "PLA_ROC", false}, {"HOD", "PLA_HOD", true}};
  for (const auto& t : tags) {
    ds.SetIndexName(t.tag);
    std::vector<int> seen;
    double lastNumber = -1e300;
    double lastDate = -1e300;
    AnsiString lastText;
    bool first = true;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      seen.push_back(ds.RecNo());
      TField* f = ds.FieldByName(t.field);
      if (t.numeric) {
        EXPECT_GE(f->AsFloat(), lastNumber) << t.tag;
        lastNumber = f->AsFloat();
      } else if (f->DataType() == ftDate) {
        const double day = f->IsNull() ? -1 : f->AsDateTime();
        EXPECT_GE(day, lastDate) << t.tag;
        lastDate = day;
      } else {
        // Keys are OEM texts under the engine's collation; plain ASCII
        // texts here order as their bytes do.
        if (!first) {
          EXPECT_LE(lastText, f->AsString()) << t.tag;
        }
        lastText = f->AsString();
      }
      first = false;
    }
    std::sort(seen.begin(), seen.end());
    std::vector<int> all(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) all[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(seen, all) << t.tag;
  }
}

}  // namespace

TEST(XbaseDatasetEdit, PostsUpdateEveryTagOfAnEightTagIndex) {
  TempDir data;
  MakeJournal(data.Path(), "PLA0001.DBF", SampleRows(30));
  auto ds = NewDataSet(data.Path(), "PLA0001.DBF");
  ds->Open();
  BuildJournalTags(*ds, data.File("PLA0001.CDX"));
  ASSERT_EQ(ds->AttachIndexFile("PLA0001"), 0);
  EXPECT_EQ(ds->AttachIndexFile(data.File("pla0001.cdx")), -1);
  EXPECT_EQ(ds->IndexTagCount(), 8);

  // Appends in two orders and edits that move keys to both ends.
  ds->SetIndexName("DAT");
  for (int i = 0; i < 5; ++i) {
    ds->Append();
    ds->FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2023 + i % 3, 6, 10 + i));
    ds->FieldByName("PLA_DO1")->SetAsString("N" + std::to_string(i));
    ds->FieldByName("PLA_KOM")->SetAsString(i % 2 ? "AAA first" : "zzz last");
    ds->FieldByName("PLA_HOD")->SetAsFloat(i * 1000.0 - 2000.0);
    ds->FieldByName("PLA_TYP")->SetAsString("P01");
    ds->Post();
  }
  ds->SetIndexName("HOD");
  ds->Last();
  ds->Edit();
  ds->FieldByName("PLA_HOD")->SetAsFloat(-99999);
  ds->FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2030, 1, 1));
  ds->Post();
  EXPECT_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), -99999);
  ds->First();
  EXPECT_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), -99999);
  ds->SetIndexName("DO1");
  ASSERT_TRUE(ds->Locate("PLA_DO1", Variant("D0007"), {}));
  ds->Edit();
  ds->FieldByName("PLA_DO1")->SetAsString("A0000");
  ds->FieldByName("PLA_DAT")->Clear();
  ds->Post();
  ds->First();
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), "A0000");

  ExpectTagsInOrder(*ds, 35);
  // A fresh dataset on the files reads the same orders from disk.
  auto again = NewDataSet(data.Path(), "PLA0001.DBF");
  TStringList files;
  files.Add("PLA0001.CDX");
  again->SetIndexFiles(files);
  again->SetIndexName("DAT");
  again->Open();
  EXPECT_EQ(again->FieldByName("PLA_DO1")->AsString(), "A0000");  // no date sorts first
  ds->Close();
  ExpectTagsInOrder(*again, 35);
}

TEST(XbaseDatasetEdit, CancelRestoresTheStoredValues) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(3));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->Next();
  const AnsiString before = ds->FieldByName("PLA_KOM")->AsString();
  const std::string raw = RawRecord(data.File("PLA.DBF"), 2);
  ds->Edit();
  ds->FieldByName("PLA_KOM")->SetAsString("changed");
  ds->FieldByName("PLA_HOD")->SetAsFloat(1);
  EXPECT_EQ(ds->FieldByName("PLA_KOM")->OldValue().AsString(), before);
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("PLA_KOM")->AsString(), before);
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2), raw);
  // The lock went with the cancel: another dataset can edit the record.
  auto other = NewDataSet(data.Path(), "PLA.DBF");
  other->Open();
  other->SetRecNo(2);
  EXPECT_NO_THROW(other->Edit());
  other->Cancel();
}

TEST(XbaseDatasetEdit, AnInsertIsAppendedAndACancelledOneLeavesNoTrace) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(4));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->SetRecNo(2);
  ds->Insert();
  EXPECT_EQ(ds->FieldByName("PLA_HOD")->AsFloat(), 0);  // a blank record
  EXPECT_TRUE(ds->FieldByName("PLA_DAT")->IsNull());
  ds->Cancel();
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_EQ(ds->RecordCount(), 4);
  ds->Insert();
  ds->FieldByName("PLA_DO1")->SetAsString("NEW");
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 5);
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), "NEW");
  EXPECT_EQ(Column(*ds, "PLA_DO1").back(), "NEW");
}

TEST(XbaseDatasetEdit, DeleteHidesTheRecordAndRecallBringsItBack) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->SetRecNo(2);
  ds->Delete();
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2)[0], '*');
  EXPECT_EQ(RecordNumbers(*ds), (std::vector<int>{1, 3, 4, 5}));
  EXPECT_EQ(ds->RecordCount(), 5);  // physical
  ds->SetExactCount(true);
  EXPECT_EQ(ds->RecordCount(), 4);

  // Deleting the last record leaves the dataset on the one before it.
  ds->Last();
  ds->Delete();
  EXPECT_EQ(ds->RecNo(), 4);
  EXPECT_EQ(RecordNumbers(*ds), (std::vector<int>{1, 3, 4}));

  ds->SetUseDeleted(true);
  ds->Refresh();
  EXPECT_EQ(RecordNumbers(*ds), (std::vector<int>{1, 2, 3, 4, 5}));
  ds->SetRecNo(2);
  ds->RecallRecord();
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2)[0], ' ');
  ds->SetUseDeleted(false);
  ds->Refresh();
  EXPECT_EQ(RecordNumbers(*ds), (std::vector<int>{1, 2, 3, 4}));

  // Deleting every record leaves an empty dataset.
  for (ds->First(); !ds->IsEmpty();) ds->Delete();
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->Delete(); }), "Cannot perform this operation on an empty dataset");
}

TEST(XbaseDatasetEdit, RecallIsRefusedWhileAnotherEditorHoldsTheRecord) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(3));
  auto editor = NewDataSet(data.Path(), "PLA.DBF");
  auto other = NewDataSet(data.Path(), "PLA.DBF");
  for (auto* ds : {editor.get(), other.get()}) {
    ds->SetUseDeleted(true);
    ds->Open();
    ds->SetRecNo(2);
  }
  other->Delete();
  editor->Refresh();
  editor->Edit();
  const std::string stored = RawRecord(data.File("PLA.DBF"), 2);
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { other->RecallRecord(); }), "Cannot recall the record");
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2), stored);
  editor->Cancel();
  other->RecallRecord();
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2)[0], ' ');
}

TEST(XbaseDatasetEdit, DeleteDuringAnEditReleasesTheEditsLock) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(3));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->SetRecNo(2);
  ds->Edit();
  ds->FieldByName("PLA_KOM")->SetAsString("never written");
  ds->Delete();
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2)[0], '*');
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 2).find("never"), std::string::npos);
  auto other = NewDataSet(data.Path(), "PLA.DBF");
  other->SetUseDeleted(true);
  other->Open();
  other->SetRecNo(2);
  EXPECT_NO_THROW(other->Edit());
}

TEST(XbaseDatasetEdit, MemosTravelThroughTheBlobStreamInOemOnDisk) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "MEMO.DBF", {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 0, 0}},
                                                 0x8B, "", 64);
  const AnsiString czech = Cz("Příliš žluťoučký kůň úpěl ďábelské ódy");
  auto ds = NewDataSet(data.Path(), "MEMO.DBF");
  ds->Open();
  ds->Append();
  ds->FieldByName("NAME")->SetAsString("first");
  EXPECT_TRUE(ds->FieldByName("NOTE")->IsNull());
  ds->FieldByName("NOTE")->SetAsString(czech);
  EXPECT_EQ(ds->FieldByName("NOTE")->AsString(), czech);
  ds->Post();
  ds->Append();
  ds->FieldByName("NAME")->SetAsString("second");
  ds->Post();

  {
    XBO_dBaseFld t(path, true, false, "");
    t.GoRecord(1);
    EXPECT_EQ(t.GetMemoText(2), AnsiToOem(czech));
    t.GoRecord(2);
    EXPECT_EQ(t.MemoBlock(2), 0);
  }
  ds->First();
  EXPECT_EQ(ds->FieldByName("NOTE")->AsString(), czech);
  EXPECT_EQ(ds->FieldByName("NOTE")->DisplayText(), "(MEMO)");
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("NOTE")->IsNull());

  // Streams: a write drops what followed the position.
  ds->First();
  ds->Edit();
  {
    std::unique_ptr<TStream> stream = ds->CreateBlobStream(ds->FieldByName("NOTE"), bmReadWrite);
    stream->Seek(6, TSeekOrigin::soBeginning);
    stream->WriteBuffer("!", 1);
  }
  ds->Post();
  EXPECT_EQ(ds->FieldByName("NOTE")->AsString(), czech.substr(0, 6) + "!");
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->CreateBlobStream(ds->FieldByName("NOTE"), bmWrite); }),
            "Dataset not in edit or insert mode");
  ds->FieldByName("NOTE")->SetReadOnly(true);
  ds->Edit();
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->FieldByName("NOTE")->SetAsString("x"); }),
            "Field 'NOTE' cannot be modified");
  ds->Cancel();
  ds->FieldByName("NOTE")->SetReadOnly(false);

  // An empty text stores block 0.
  ds->Edit();
  ds->FieldByName("NOTE")->Clear();
  ds->Post();
  XBO_dBaseFld t(path, true, false, "");
  t.GoRecord(1);
  EXPECT_EQ(t.MemoBlock(2), 0);
}

TEST(XbaseDatasetEdit, ACancelledMemoEditLeavesTheRecordUnchanged) {
  TempDir data;
  for (const uint8_t version : {0x83, 0x8B, 0xF5}) {
    const std::string name = "M" + std::to_string(version) + ".DBF";
    const std::string path =
        table_test::MakeTable(data.Path(), name, {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 0, 0}}, version, "", 64);
    auto ds = NewDataSet(data.Path(), name);
    ds->Open();
    ds->Append();
    ds->FieldByName("NOTE")->SetAsString("original text");
    ds->Post();
    const std::string raw = RawRecord(path, 1);
    ds->Edit();
    ds->FieldByName("NOTE")->SetAsString("a replacement that is longer than the original one");
    ds->FieldByName("NOTE")->SetAsString("and again");
    ds->Cancel();
    EXPECT_EQ(RawRecord(path, 1), raw) << version;
    EXPECT_EQ(ds->FieldByName("NOTE")->AsString(), "original text") << version;
    auto fresh = NewDataSet(data.Path(), name);
    fresh->Open();
    EXPECT_EQ(fresh->FieldByName("NOTE")->AsString(), "original text") << version;
  }
}

TEST(XbaseDatasetEdit, FieldsRefuseChangesOutsideEditAndOnReadOnlyFields) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(2));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->FieldByName("PLA_KOM")->SetAsString("x"); }),
            "Dataset not in edit or insert mode");
  ds->FieldByName("PLA_KOM")->SetReadOnly(true);
  ds->Edit();
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->FieldByName("PLA_KOM")->SetAsString("x"); }),
            "Field 'PLA_KOM' cannot be modified");
  ds->Cancel();

  auto readOnly = NewDataSet(data.Path(), "PLA.DBF");
  readOnly->SetReadOnly(true);
  readOnly->Open();
  EXPECT_TRUE(readOnly->ReadOnly());
  EXPECT_FALSE(readOnly->CanModify());
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { readOnly->Edit(); }), "Cannot modify a read-only dataset");
}
