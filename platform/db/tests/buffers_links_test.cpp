// The record-buffer window as links see it: a 20-row link (a grid) and a
// one-row link (an edit) on one dataset must always agree with the dataset
// about the current record, see consecutive records, and receive scroll
// distances that add up to how far their rows moved.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/db/testing/db_test_support.h"

namespace {

using dbtest::LogLink;

int RowNumber(LogLink& link, int row) { return StrToInt(link.RowText(row, "PLA_DO1")); }

class BuffersAndLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    dbtest::DefineJournal(ds);
    dbtest::FillJournal(ds, 60);
    source.SetDataSet(&ds);
    grid.SetBufferCount(20);
    grid.SetDataSource(&source);
    edit.SetDataSource(&source);
    ds.Open();
    grid.Take();
    edit.Take();
  }
  void TearDown() override {
    grid.SetDataSource(nullptr);
    edit.SetDataSource(nullptr);
  }

  int Current() { return StrToInt(ds.FieldByName("PLA_DO1")->AsString()); }

  // Both links name the dataset's current record and show consecutive
  // records without gaps.
  void ExpectConsistent(LogLink& link) {
    ASSERT_GE(link.ActiveRecord(), 0);
    ASSERT_LT(link.ActiveRecord(), link.RecordCount());
    EXPECT_EQ(RowNumber(link, link.ActiveRecord()), Current());
    int top = RowNumber(link, 0);
    for (int r = 1; r < link.RecordCount(); ++r) EXPECT_EQ(RowNumber(link, r), top + r);
    EXPECT_EQ(link.RecordCount(), std::min(link.BufferCount(), ds.RecordCount()));
  }

  VectorDataSet ds;
  TDataSource source{nullptr};
  LogLink grid;
  LogLink edit;
};

TEST_F(BuffersAndLinks, LinksFollowEveryMoveAndScrollDistancesAddUp) {
  struct Step {
    const char* name;
    std::function<void(TDataSet&)> move;
    int current;  // record number after the move
    enum Kind { kScroll, kRefill, kNothing } kind;
  } steps[] = {
      {"next", [](TDataSet& d) { d.Next(); }, 2, Step::kScroll},
      {"next", [](TDataSet& d) { d.Next(); }, 3, Step::kScroll},
      {"prior", [](TDataSet& d) { d.Prior(); }, 2, Step::kScroll},
      {"forward 7", [](TDataSet& d) { d.MoveBy(7); }, 9, Step::kScroll},
      {"back 7", [](TDataSet& d) { d.MoveBy(-7); }, 2, Step::kScroll},
      {"forward 30, past the window", [](TDataSet& d) { d.MoveBy(30); }, 32, Step::kScroll},
      {"forward 7 at the bottom", [](TDataSet& d) { d.MoveBy(7); }, 39, Step::kScroll},
      {"back 7 inside", [](TDataSet& d) { d.MoveBy(-7); }, 32, Step::kScroll},
      {"back 25, past the top", [](TDataSet& d) { d.MoveBy(-25); }, 7, Step::kScroll},
      {"last", [](TDataSet& d) { d.Last(); }, 60, Step::kRefill},
      {"prior at the end", [](TDataSet& d) { d.Prior(); }, 59, Step::kScroll},
      {"back 7 from the end", [](TDataSet& d) { d.MoveBy(-7); }, 52, Step::kScroll},
      {"first", [](TDataSet& d) { d.First(); }, 1, Step::kRefill},
      {"prior at the start", [](TDataSet& d) { d.Prior(); }, 1, Step::kNothing},
      {"resync centred", [](TDataSet& d) { d.MoveBy(30); d.Resync({rmCenter}); }, 31, Step::kRefill},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    int gridTop = RowNumber(grid, 0);
    int editTop = RowNumber(edit, 0);
    grid.scrolled = edit.scrolled = 0;
    step.move(ds);
    EXPECT_EQ(Current(), step.current);
    ExpectConsistent(grid);
    ExpectConsistent(edit);
    std::vector<std::string> gridLog = grid.Take();
    std::vector<std::string> editLog = edit.Take();
    if (step.kind == Step::kNothing) {
      EXPECT_TRUE(gridLog.empty());
      EXPECT_TRUE(editLog.empty());
      continue;
    }
    ASSERT_FALSE(gridLog.empty());
    ASSERT_FALSE(editLog.empty());
    if (step.kind == Step::kScroll) {
      EXPECT_EQ(gridLog.size(), 1u);
      EXPECT_EQ(gridLog[0].rfind("Scrolled", 0), 0u) << gridLog[0];
      EXPECT_EQ(RowNumber(grid, 0) - gridTop, grid.scrolled);
      EXPECT_EQ(RowNumber(edit, 0) - editTop, edit.scrolled);
    } else {
      EXPECT_EQ(gridLog.back(), "Changed");
      EXPECT_EQ(editLog.back(), "Changed");
    }
  }
}

TEST_F(BuffersAndLinks, InsertInTheMiddleAndDeleteOfTheLastBufferedRowKeepLinksRight) {
  ds.MoveBy(9);  // record 10, row 9 of the grid
  ds.Insert();
  EXPECT_EQ(grid.ActiveRecord(), 9);
  EXPECT_EQ(edit.ActiveRecord(), 0);
  EXPECT_TRUE(ds.FieldByName("PLA_DO1")->IsNull());
  EXPECT_EQ(grid.RowText(10, "PLA_DO1"), "10");
  ds.FieldByName("PLA_DO1")->SetAsString("100");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsString(), "100");
  EXPECT_EQ(grid.RowText(grid.ActiveRecord(), "PLA_DO1"), "100");
  EXPECT_EQ(grid.RowText(grid.ActiveRecord() + 1, "PLA_DO1"), "10");
  EXPECT_EQ(edit.RowText(edit.ActiveRecord(), "PLA_DO1"), "100");

  // The last row the grid buffers goes; the next record moves up into view.
  ds.First();
  ds.MoveBy(19);
  ASSERT_EQ(grid.ActiveRecord(), 19);
  AnsiString following = "20";  // records 1..9, 100, 10..19 fill rows 0..19
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsString(), "19");
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsString(), following);
  EXPECT_EQ(grid.RowText(grid.ActiveRecord(), "PLA_DO1"), following);
  EXPECT_EQ(edit.RowText(edit.ActiveRecord(), "PLA_DO1"), following);
  EXPECT_EQ(grid.RecordCount(), 20);

  // Deleting the very last record leaves the one before it current.
  ds.Last();
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsString(), "59");
  EXPECT_EQ(edit.RowText(0, "PLA_DO1"), "59");
}

TEST_F(BuffersAndLinks, DisabledControlsHearNothingUntilTheOuterEnable) {
  ds.DisableControls();
  ds.DisableControls();
  ds.Next();
  ds.Edit();
  ds.FieldByName("PLA_KOM")->SetAsString("quiet");
  ds.Post();
  ds.MoveBy(12);
  ds.Last();
  ds.EnableControls();
  EXPECT_TRUE(grid.Take().empty());
  EXPECT_TRUE(edit.Take().empty());
  ds.EnableControls();
  EXPECT_EQ(grid.Take(), std::vector<std::string>{"Changed"});
  EXPECT_EQ(edit.Take(), std::vector<std::string>{"Changed"});
  ExpectConsistent(grid);
  ExpectConsistent(edit);

  // Closing and opening reach the links even now.
  ds.DisableControls();
  ds.Close();
  EXPECT_EQ(grid.Take(), std::vector<std::string>{"Inactive"});
  ds.Open();
  EXPECT_EQ(grid.Take(), std::vector<std::string>{"Active"});
  ds.EnableControls();
  grid.Take();
  ExpectConsistent(grid);

  // Nothing held back: enabling tells nobody anything.
  ds.DisableControls();
  ds.EnableControls();
  EXPECT_TRUE(grid.Take().empty());
}

TEST_F(BuffersAndLinks, BufferCountFollowsTheLargestLink) {
  EXPECT_EQ(grid.RecordCount(), 20);
  grid.SetBufferCount(5);
  EXPECT_EQ(grid.RecordCount(), 5);
  ExpectConsistent(grid);
  ExpectConsistent(edit);
  ds.MoveBy(12);
  grid.SetBufferCount(30);
  EXPECT_EQ(grid.RecordCount(), 30);
  ExpectConsistent(grid);
  ExpectConsistent(edit);
  grid.SetDataSource(nullptr);
  ExpectConsistent(edit);
  ds.MoveBy(3);
  ExpectConsistent(edit);
}

TEST_F(BuffersAndLinks, RecordNumbersMoveLikeAGridThumb) {
  EXPECT_TRUE(ds.IsSequenced());
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.RecordCount(), 60);
  ds.SetRecNo(45);
  EXPECT_EQ(Current(), 45);
  EXPECT_EQ(ds.RecNo(), 45);
  EXPECT_EQ(grid.ActiveRecord(), 9);
  ExpectConsistent(grid);
  ExpectConsistent(edit);
  ds.Edit();
  ds.FieldByName("PLA_KOM")->SetAsString("posted by the move");
  ds.SetRecNo(3);  // leaves edit mode first
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(ds.Cell(44, 3).AsString(), "posted by the move");
  ds.SetRecNo(99);  // beyond the records: stays
  EXPECT_EQ(Current(), 3);
  ds.SetSequenced(false);
  EXPECT_FALSE(ds.IsSequenced());
  EXPECT_EQ(ds.RecNo(), -1);
}

TEST_F(BuffersAndLinks, BlockReadingWalksQuietlyAndRefreshesOnceAfter) {
  ds.SetBlockReadSize(10);
  EXPECT_EQ(ds.State(), dsBlockRead);
  int walked = 0;
  while (!ds.Eof()) {
    ++walked;
    ds.Next();
  }
  EXPECT_EQ(walked, 60);
  EXPECT_TRUE(grid.Take().empty());
  ds.SetBlockReadSize(0);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(grid.Take(), std::vector<std::string>{"Changed"});
  ExpectConsistent(grid);
  ds.SetBlockReadSize(5);
  ds.Close();  // closing ends block reading
  EXPECT_FALSE(ds.ControlsDisabled());
  ds.Open();
  EXPECT_EQ(ds.State(), dsBrowse);
}

TEST(DataLinks, OneRowWindowStepsBackOntoThePriorRecord) {
  // Only edits and navigators bound: the window holds a single buffer.
  VectorDataSet ds;
  dbtest::DefineJournal(ds);
  dbtest::FillJournal(ds, 5);
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  LogLink edit;
  edit.SetDataSource(&source);
  ds.Open();
  ds.Last();
  ds.Prior();
  EXPECT_EQ(ds.RecNo(), ds.RecordCount() - 1);
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsInteger(), 4);
  ds.Prior();
  EXPECT_EQ(ds.RecNo(), 3);
  edit.SetDataSource(nullptr);
}

TEST(DataLinks, SourcesAndLinksSurviveTheObjectsTheyHangOn) {
  LogLink link;
  auto* source = new TDataSource(nullptr);
  {
    VectorDataSet d;
    dbtest::DefineJournal(d);
    dbtest::FillJournal(d, 3);
    source->SetDataSet(&d);
    link.SetDataSource(source);
    d.Open();
    EXPECT_TRUE(link.Active());
    link.Take();
  }  // the dataset goes first
  EXPECT_EQ(source->DataSet(), nullptr);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.Take(), std::vector<std::string>{"Inactive"});
  delete source;  // then the source
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_EQ(link.RecordCount(), 0);
  EXPECT_EQ(link.DataSet(), nullptr);
}

TEST_F(BuffersAndLinks, ARowOutsideTheLinkCannotBeMadeActive) {
  EXPECT_THROW(grid.SetActiveRecord(25), EDatabaseError);
  EXPECT_THROW(edit.SetActiveRecord(-1), EDatabaseError);
  EXPECT_EQ(Current(), 1);
}

TEST_F(BuffersAndLinks, BookmarksReturnToTheirRecordAndCompareInOrder) {
  ds.MoveBy(5);
  TBookmark six = ds.Bookmark();
  ds.MoveBy(20);
  TBookmark twentySix = ds.GetBookmark();
  EXPECT_LT(ds.CompareBookmarks(six, twentySix), 0);
  EXPECT_GT(ds.CompareBookmarks(twentySix, six), 0);
  EXPECT_EQ(ds.CompareBookmarks(six, six), 0);
  EXPECT_LT(ds.CompareBookmarks(TBookmark(), six), 0);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark(), TBookmark()), 0);

  // Deleting other records leaves a bookmark valid; the record goes to the
  // middle of the window.
  ds.First();
  ds.Delete();
  grid.Take();
  ds.GotoBookmark(twentySix);
  EXPECT_EQ(Current(), 26);
  EXPECT_EQ(grid.ActiveRecord(), 9);
  ExpectConsistent(grid);
  EXPECT_EQ(grid.Take().back(), "Changed");
  ds.GotoBookmark(six);
  EXPECT_EQ(Current(), 6);
  EXPECT_TRUE(ds.BookmarkValid(six));
  ExpectConsistent(grid);

  ds.Delete();
  EXPECT_FALSE(ds.BookmarkValid(six));
  EXPECT_THROW(ds.GotoBookmark(six), EDatabaseError);
  EXPECT_THROW(ds.GotoBookmark(TBookmark("xy")), EDatabaseError);

  ds.Insert();
  EXPECT_TRUE(ds.Bookmark().empty());  // a new record has none yet
  ds.Cancel();
}

TEST_F(BuffersAndLinks, DataSourceReportsStateDataAndUpdates) {
  std::vector<std::string> log;
  source.OnStateChange = [&](TObject*) { log.push_back("state " + std::to_string(source.State())); };
  source.OnDataChange = [&](TObject*, TField* f) {
    log.push_back(std::string("data ") + (f ? f->FieldName() : "*"));
  };
  source.OnUpdateData = [&](TObject*) { log.push_back("update"); };
  ds.Edit();
  ds.FieldByName("PLA_KOM")->SetAsString("x");
  ds.Post();
  EXPECT_EQ(log, (std::vector<std::string>{"state 2", "data *", "data PLA_KOM", "update", "state 1",
                                           "data *"}));
  log.clear();
  grid.Take();
  source.SetEnabled(false);
  EXPECT_EQ(grid.Take(), std::vector<std::string>{"Inactive"});
  ds.Next();
  EXPECT_TRUE(grid.Take().empty());
  source.SetEnabled(true);
  EXPECT_EQ(grid.Take(), std::vector<std::string>{"Active"});
  ExpectConsistent(grid);

  // AutoEdit: a control starting to type puts the dataset into edit state.
  source.SetAutoEdit(false);
  EXPECT_FALSE(edit.Edit());
  EXPECT_EQ(ds.State(), dsBrowse);
  source.SetAutoEdit(true);
  EXPECT_TRUE(edit.Edit());
  EXPECT_EQ(ds.State(), dsEdit);
  ds.Cancel();
}

TEST_F(BuffersAndLinks, FieldLinkShowsItsFieldAndWritesPendingValues) {
  TFieldDataLink link;
  std::vector<std::string> log;
  link.OnDataChange = [&](TObject*) { log.push_back("data"); };
  link.OnActiveChange = [&](TObject*) { log.push_back(link.Active() ? "active" : "inactive"); };
  link.OnEditingChange = [&](TObject*) { log.push_back(link.Editing() ? "editing" : "browsing"); };
  link.OnUpdateData = [&](TObject*) {
    log.push_back("update");
    link.Field()->SetAsString("typed");
  };
  link.SetFieldName("PLA_KOM");
  link.SetDataSource(&source);
  ASSERT_NE(link.Field(), nullptr);
  EXPECT_EQ(link.Field()->FieldName(), "PLA_KOM");
  EXPECT_TRUE(link.CanModify());
  log.clear();

  ds.Next();
  ds.FieldByName("PLA_HOD");  // no notification for looking at fields
  EXPECT_EQ(log, std::vector<std::string>{"data"});
  log.clear();

  EXPECT_TRUE(link.Edit());
  link.Modified();
  ds.Post();  // the control's pending text goes in before the record is stored
  EXPECT_EQ(ds.Cell(1, 3).AsString(), "typed");
  EXPECT_EQ(log, (std::vector<std::string>{"editing", "data", "update", "browsing", "data"}));

  // A write to another field does not disturb this control.
  log.clear();
  ds.Edit();
  ds.FieldByName("PLA_TYP")->SetAsString("X");
  EXPECT_EQ(log, (std::vector<std::string>{"editing", "data"}));
  ds.Cancel();

  // A required empty field asks its control for the focus.
  int focus = 0;
  link.OnFocusControl = [&](TObject*) { ++focus; };
  ds.FieldByName("PLA_KOM")->SetRequired(true);
  ds.Append();
  EXPECT_THROW(ds.Post(), EDatabaseError);
  EXPECT_EQ(focus, 1);
  ds.Cancel();
  ds.FieldByName("PLA_KOM")->SetRequired(false);

  ds.FieldByName("PLA_KOM")->SetReadOnly(true);
  EXPECT_FALSE(link.CanModify());
  ds.Close();
  EXPECT_EQ(link.Field(), nullptr);
  link.SetDataSource(nullptr);
}

TEST_F(BuffersAndLinks, MasterLinksRefuseCirclesAndFollowTheMaster) {
  VectorDataSet master;
  master.FieldDefs().Add("PLA_TYP", ftString, 3);
  master.AddRow({Variant("P1")});
  master.AddRow({Variant("P2")});
  TDataSource masterSource(nullptr);
  masterSource.SetDataSet(&master);

  ds.SetMasterFields("PLA_TYP");
  ds.SetMasterSource(&masterSource);
  master.Open();
  ds.First();
  EXPECT_EQ(ds.FieldByName("PLA_TYP")->AsString(), "P1");
  EXPECT_EQ(ds.RecordCount(), 20);
  master.Next();
  EXPECT_EQ(ds.FieldByName("PLA_TYP")->AsString(), "P2");
  EXPECT_EQ(ds.FieldByName("PLA_DO1")->AsString(), "2");

  struct Row {
    const char* name;
    std::function<void()> action;
  } rows[] = {
      {"the master hanging on its own detail", [&] { master.SetMasterSource(&source); }},
      {"a detail hanging on itself", [&] { ds.SetMasterSource(&source); }},
      {"a source whose dataset hangs on it", [&] {
         TDataSource other(nullptr);
         master.SetMasterSource(&other);
         other.SetDataSet(&master);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      row.action();
      ADD_FAILURE() << "circle accepted";
    } catch (EDatabaseError& e) {
      EXPECT_EQ(e.Message(), "Circular datalinks are not allowed");
    }
  }
  master.SetMasterSource(nullptr);
  ds.SetMasterSource(nullptr);
  master.Close();
}

}  // namespace
