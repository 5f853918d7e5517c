// Moving through the data with the grid's keys, the mouse, the wheel and
// the vertical bar; Tab over columns and records; cell and title clicks.
#include <QApplication>
#include <QWheelEvent>
#include <random>
#include <string>
#include <vector>

#include "platform/gui/testing/gui_modal.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

using gridtest::GridFixture;

struct DbGridNavGui : GridFixture {};

TEST_F(DbGridNavGui, KeysMoveRecordsAndColumns) {
  int page = Page();
  ASSERT_GE(page, 5);
  ASSERT_LT(page, 30);
  struct Step {
    Word key;
    TShiftState shift;
    int recNo;
    int column;
  };
  const Step steps[] = {
      {VK_DOWN, {}, 2, 0},
      {VK_UP, {}, 1, 0},
      {VK_UP, {}, 1, 0},
      {VK_NEXT, {}, 1 + page, 0},
      {VK_PRIOR, {}, 1, 0},
      {VK_END, {ssCtrl}, 30, 0},
      {VK_UP, {ssCtrl}, 31 - page, 0},  // the first row shown
      {VK_DOWN, {ssCtrl}, 30, 0},       // the last row shown
      {VK_HOME, {ssCtrl}, 1, 0},
      {VK_RIGHT, {}, 1, 1},
      {VK_END, {}, 1, 4},
      {VK_RIGHT, {}, 1, 4},
      {VK_LEFT, {}, 1, 3},
      {VK_HOME, {}, 1, 0},
      {VK_RIGHT, {ssCtrl}, 1, 4},
      {VK_LEFT, {ssCtrl}, 1, 0},
  };
  for (const Step& s : steps) {
    KeyClick(grid, s.key, s.shift);
    EXPECT_EQ(ds->RecNo(), s.recNo) << "key " << s.key;
    EXPECT_EQ(grid->SelectedIndex(), s.column) << "key " << s.key;
    EXPECT_EQ(grid->Row(), grid->DataLink()->ActiveRecord() + 1) << "key " << s.key;
  }
}

TEST_F(DbGridNavGui, RowSelectHomeAndEndGoToTheFirstAndLastRecord) {
  UseJournalOptions();
  KeyClick(grid, VK_END);
  EXPECT_EQ(ds->RecNo(), 30);
  KeyClick(grid, VK_HOME);
  EXPECT_EQ(ds->RecNo(), 1);
  // Left and Right scroll the columns instead of moving between them.
  grid->SetWidth(200);
  Application->ProcessMessages();
  int left = grid->LeftCol();
  KeyClick(grid, VK_RIGHT);
  EXPECT_EQ(grid->LeftCol(), left + 1);
  EXPECT_EQ(grid->SelectedIndex(), 0);
  KeyClick(grid, VK_LEFT);
  EXPECT_EQ(grid->LeftCol(), left);
}

TEST_F(DbGridNavGui, ClickMovesByTheRowDifferenceAndSelectsTheColumn) {
  KeyClick(grid, VK_DOWN);
  KeyClick(grid, VK_DOWN);
  ASSERT_EQ(ds->RecNo(), 3);
  int activeRow = grid->DataLink()->ActiveRecord();
  std::vector<std::string> log;
  grid->OnColExit = [&](TObject*) { log.push_back("exit " + std::to_string(grid->SelectedIndex())); };
  grid->OnColEnter = [&](TObject*) { log.push_back("enter " + std::to_string(grid->SelectedIndex())); };
  ClickCell(3, activeRow + 4);
  EXPECT_EQ(ds->RecNo(), 7);
  EXPECT_EQ(grid->SelectedIndex(), 3);
  EXPECT_EQ(log, (std::vector<std::string>{"exit 0", "enter 3"}));
  int topRecord = ds->RecNo() - grid->DataLink()->ActiveRecord();
  ClickCell(1, 0);
  EXPECT_EQ(ds->RecNo(), topRecord);
  // A click on the indicator moves the record only.
  TRect ind = grid->CellRect(0, 3);
  int before = grid->SelectedIndex();
  MouseClick(grid, ind.Left + 4, ind.Top + 4);
  EXPECT_EQ(grid->DataLink()->ActiveRecord(), 2);
  EXPECT_EQ(grid->SelectedIndex(), before);
}

TEST_F(DbGridNavGui, CellAndTitleClicksOnlyRightOfTheIndicator) {
  std::vector<std::string> clicks;
  grid->OnCellClick = [&](TColumn* c) { clicks.push_back("cell " + c->FieldName()); };
  grid->OnTitleClick = [&](TColumn* c) { clicks.push_back("title " + c->FieldName()); };
  ClickCell(1, 2);
  TRect title = grid->CellRect(4, 0);
  MouseClick(grid, (title.Left + title.Right) / 2, 6);
  TRect corner = grid->CellRect(0, 0);
  MouseClick(grid, corner.Left + 3, corner.Top + 3);
  TRect ind = grid->CellRect(0, 2);
  MouseClick(grid, ind.Left + 3, ind.Top + 3);
  EXPECT_EQ(clicks, (std::vector<std::string>{"cell PLA_DO1", "title PLA_KOM"}));
}

struct ScrollGrid : TDBGrid {
  using TDBGrid::TDBGrid;
  using TDBGrid::VerticalScroll;
};

struct DbGridScrollGui : GridFixture {
  TDBGrid* MakeGrid() override { return new ScrollGrid(form); }
};

TEST_F(DbGridScrollGui, WheelAndScrollBarMoveTheDataset) {
  auto* bar = static_cast<ScrollGrid*>(grid);
  int page = Page();
  struct Step {
    TScrollCode code;
    int pos;
    int recNo;
  };
  const Step steps[] = {{scLineDown, 0, 2},   {scPageDown, 0, 2 + page}, {scLineUp, 0, 1 + page},
                        {scPageUp, 0, 1},     {scBottom, 0, 30},         {scTop, 0, 1},
                        {scPosition, 17, 17}, {scPosition, 0, 1},        {scPosition, 99, 30}};
  for (const Step& s : steps) {
    bar->VerticalScroll(s.code, s.pos);
    EXPECT_EQ(ds->RecNo(), s.recNo) << s.code << " " << s.pos;
    EXPECT_EQ(grid->VerticalScrollInfo().Pos, s.recNo);
  }
  ds->First();
  QPoint centre(grid->Width() / 2, grid->Height() / 2);
  QWheelEvent down(centre, grid->Widget()->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid->Widget(), &down);
  EXPECT_EQ(ds->RecNo(), 2);
}

TEST_F(DbGridNavGui, TabWalksTabStopColumnsAndWrapsToTheNextRecord) {
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    seen.push_back(grid->SelectedIndex());
    KeyClick(grid, VK_TAB);
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(grid->SelectedIndex(), 0);
  EXPECT_EQ(ds->RecNo(), 2);
  KeyClick(grid, VK_TAB, {ssShift});
  EXPECT_EQ(grid->SelectedIndex(), 4);
  EXPECT_EQ(ds->RecNo(), 1);
  // A read-only column is no tab stop.
  grid->Columns()->Items(1)->SetReadOnly(true);
  grid->SetSelectedIndex(0);
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(grid->SelectedIndex(), 2);
  // Without dgTabs Tab leaves the grid and moves nothing.
  grid->SetOptions(grid->Options() - TDBGridOptions{dgTabs});
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), other);
  EXPECT_EQ(grid->SelectedIndex(), 2);
  EXPECT_EQ(ds->RecNo(), 1);
}

struct DbGridTabGui : GridFixture {
  int Rows() const override { return 5; }
};

TEST_F(DbGridTabGui, TabInAReadOnlyRowSelectGridMovesByRecordsAndStopsAtTheEnds) {
  UseJournalOptions();
  ds->MoveBy(2);
  ASSERT_EQ(ds->RecNo(), 3);
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(ds->RecNo(), 4);
  KeyClick(grid, VK_TAB, {ssShift});
  EXPECT_EQ(ds->RecNo(), 3);
  ds->Last();
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(ds->RecNo(), 5);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(form->ActiveControl(), grid);
  ds->First();
  KeyClick(grid, VK_TAB, {ssShift});
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(form->ActiveControl(), grid);
}

TEST_F(DbGridTabGui, AGridTallerThanItsDataShowsOnlyTheRecords) {
  EXPECT_EQ(grid->RowCount(), 6);
  EXPECT_EQ(grid->DataLink()->RecordCount(), 5);
  // Moving down from the last record of a read-only grid does not append.
  UseJournalOptions();
  ds->Last();
  KeyClick(grid, VK_DOWN);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 5);
  EXPECT_EQ(grid->RowCount(), 6);
}

TEST_F(DbGridTabGui, RandomKeysKeepTheRowsInStepWithTheRecords) {
  // Deletions are confirmed; typed texts go into the description column.
  MessageBoxRecorder boxes(mrOk);
  struct Key {
    Word vk;
    TShiftState shift;
  };
  const Key keys[] = {{VK_UP, {}},         {VK_DOWN, {}},         {VK_NEXT, {}},       {VK_PRIOR, {}},
                      {VK_HOME, {ssCtrl}}, {VK_END, {ssCtrl}},    {VK_TAB, {}},        {VK_TAB, {ssShift}},
                      {VK_INSERT, {}},     {VK_ESCAPE, {}},       {VK_F2, {}},         {VK_RETURN, {}},
                      {'K', {}},           {VK_DELETE, {ssCtrl}}, {VK_DOWN, {ssCtrl}}, {VK_LEFT, {}},
                      {VK_RIGHT, {}},      {VK_END, {}}};
  std::mt19937 random(20261208);
  for (int step = 0; step < 400; ++step) {
    const Key& k = keys[random() % (sizeof keys / sizeof keys[0])];
    if (k.vk == 'K' && grid->SelectedIndex() != 3) continue;
    if (k.vk == VK_DELETE && ds->RecordCount() <= 2) continue;
    TControl* target = grid->InplaceEditor() && grid->InplaceEditor()->Focused()
                           ? static_cast<TControl*>(grid->InplaceEditor())
                           : grid;
    KeyClick(target, k.vk, k.shift);
    Application->ProcessMessages();
    ASSERT_EQ(grid->Row() - grid->TitleOffset(), grid->DataLink()->ActiveRecord()) << "step " << step;
    ASSERT_EQ(grid->RowCount(), std::max(1, grid->DataLink()->RecordCount()) + grid->TitleOffset()) << "step " << step;
    ASSERT_TRUE(grid->ContainsControl(form->ActiveControl())) << "step " << step;
  }
  EXPECT_GT(boxes.Boxes().size(), 0u);
  EXPECT_GT(ds->RowCount(), 0);
  for (const TMessageBoxRequest& box : boxes.Boxes()) EXPECT_EQ(box.Type, mtConfirmation) << box.Text;
}

}  // namespace
