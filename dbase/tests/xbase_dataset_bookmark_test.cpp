// Bookmarks of the dataset (the record number as right-aligned text) and
// record numbers: their bytes and order, their life across deletes,
// appends by others and order changes, and setting RecNo onto a record the
// current order hides; re-reading when there is no record to re-read.
#include <gtest/gtest.h>

#include "dbase/testing/xbase_fixtures.h"
#include "dbase/dataset/xbase_dataset.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xbase_test;

namespace {

// Fetches into a buffer of its own, as the framework does when it fills
// its window.
class FetchingDataSet : public TXbaseDataSet {
 public:
  using TXbaseDataSet::TXbaseDataSet;
  TGetResult Fetch(TGetMode mode, bool check) {
    TRecordBuffer buffer = AllocRecordBuffer();
    try {
      const TGetResult result = GetRecord(buffer, mode, check);
      FreeRecordBuffer(buffer);
      return result;
    } catch (...) {
      FreeRecordBuffer(buffer);
      throw;
    }
  }
};

TBookmark BookmarkOf(int n) {
  std::string text = std::to_string(n);
  return std::string(10 - text.size(), ' ') + text + std::string(1, '\0');
}

}  // namespace

TEST(XbaseDatasetBookmark, ABookmarkIsTheRightAlignedRecordNumberAndSortsByIt) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(120));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->SetRecNo(42);
  const TBookmark b42 = ds->Bookmark();
  EXPECT_EQ(b42, std::string("        42") + std::string(1, '\0'));
  ds->SetRecNo(100);
  const TBookmark b100 = ds->Bookmark();
  const struct {
    TBookmark a, b;
    int sign;
  } cases[] = {{b42, b100, -1}, {b100, b42, 1}, {b42, b42, 0}, {"", b42, -1}, {b42, "", 1}, {"", "", 0},
               {BookmarkOf(9), BookmarkOf(10), -1}};
  for (const auto& c : cases) {
    const int r = ds->CompareBookmarks(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << "[" << c.a << "] [" << c.b << "]";
  }
  EXPECT_TRUE(ds->BookmarkValid(b42));
  EXPECT_FALSE(ds->BookmarkValid(BookmarkOf(121)));
  EXPECT_FALSE(ds->BookmarkValid(BookmarkOf(0)));
  EXPECT_FALSE(ds->BookmarkValid("42"));
}

TEST(XbaseDatasetBookmark, BookmarksSurviveDeletesAppendsByOthersAndOrderChanges) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(30));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  ds->BuildIndexTag("PLA.CDX", "DAT", 0, 1, "", "PLA_DAT");
  ds->AttachIndexFile("PLA.CDX");
  ds->SetRecNo(10);
  const TBookmark mark = ds->Bookmark();
  const AnsiString doc = ds->FieldByName("PLA_DO1")->AsString();

  for (int n : {5, 11}) {
    ds->SetRecNo(n);
    ds->Delete();
  }
  auto other = NewDataSet(data.Path(), "PLA.DBF");
  other->Open();
  for (int i = 0; i < 3; ++i) {
    other->Append();
    other->FieldByName("PLA_DO1")->SetAsString("X" + std::to_string(i));
    other->Post();
  }
  const TBookmark appended = other->Bookmark();
  EXPECT_EQ(appended, BookmarkOf(33));

  ds->GotoBookmark(mark);
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), doc);
  ds->GotoBookmark(appended);
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), "X2");
  for (const char* tag : {"DAT", "", "DAT"}) {
    ds->SetIndexName(tag);
    ds->GotoBookmark(mark);
    EXPECT_EQ(ds->RecNo(), 10) << tag;
    EXPECT_EQ(ds->Bookmark(), mark) << tag;
  }
}

TEST(XbaseDatasetBookmark, ABookmarkBeyondTheTableIsInvalidForTheTable) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  for (const TBookmark& bad : {BookmarkOf(6), BookmarkOf(9999), std::string("      x  1") + std::string(1, '\0')})
    EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->GotoBookmark(bad); }), "Bookmark is invalid for table PLA.DBF");
}

TEST(XbaseDatasetBookmark, ReReadingWithoutACurrentRecordIsBeyondTheTablesRange) {
  for (const int rows : {0, 3}) {
    TempDir data;
    MakeJournal(data.Path(), "PLA.DBF", SampleRows(rows));
    FetchingDataSet ds(nullptr);
    ds.SetDatabaseName(data.Path());
    ds.SetTableName("PLA.DBF");
    ds.Open();
    // An empty table never put the cursor on a record to read again.
    EXPECT_EQ(ds.Fetch(gmCurrent, false), rows ? grOK : grError) << rows;
    if (rows)
      EXPECT_EQ(ds.Fetch(gmCurrent, true), grOK);
    else
      EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds.Fetch(gmCurrent, true); }),
                "Record request beyond range of table");
  }
}

TEST(XbaseDatasetBookmark, SettingRecNoOntoAHiddenRecordMovesToTheNextShownOne) {
  TempDir data;
  MakeJournal(data.Path(), "PLA.DBF", SampleRows(5));
  auto ds = NewDataSet(data.Path(), "PLA.DBF");
  ds->Open();
  EXPECT_TRUE(ds->IsSequenced());
  ds->SetRecNo(3);
  ds->Delete();
  const struct {
    int target;
    int lands;
  } deletedThree[] = {{3, 4}, {1, 1}, {5, 5}, {2, 2}};
  for (const auto& c : deletedThree) {
    ds->SetRecNo(c.target);
    EXPECT_EQ(ds->RecNo(), c.lands) << c.target;
  }
  ds->SetRecNo(5);
  ds->Delete();
  ds->SetRecNo(1);
  ds->SetRecNo(5);
  EXPECT_EQ(ds->RecNo(), 4);
  ds->SetRecNo(3);
  EXPECT_EQ(ds->RecNo(), 4);
  // An edit after such a move changes the shown record, not the deleted one.
  ds->Edit();
  ds->FieldByName("PLA_KOM")->SetAsString("edited");
  ds->Post();
  EXPECT_EQ(RawRecord(data.File("PLA.DBF"), 3)[0], '*');
  EXPECT_NE(RawRecord(data.File("PLA.DBF"), 4).find("edited"), std::string::npos);

  // Records outside the filter are passed over the same way.
  ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("PLA_DO1")->AsString() != "D0002"; };
  ds->SetFiltered(true);
  ds->SetRecNo(2);
  EXPECT_EQ(ds->RecNo(), 4);
  ds->OnFilterRecord = [](TDataSet*, bool& accept) { accept = false; };
  ds->SetFiltered(false);
  ds->SetFiltered(true);
  EXPECT_TRUE(ds->IsEmpty());
  ds->SetRecNo(2);
  EXPECT_TRUE(ds->IsEmpty());
}
