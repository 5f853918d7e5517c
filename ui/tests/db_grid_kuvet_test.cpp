// The picking grid over a three-column dataset: locked columns, the
// highlighted title, check marks in the indicator column, its key events
// and the type picker's configuration.
#include <string>

#include <QApplication>
#include <QMouseEvent>

#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/gui/testing/gui_pixels.h"
#include "ui/dbgrid/db_grid_kuvet.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

struct DbGridKuvetGui : ::testing::Test {
  TForm* form = nullptr;
  VectorDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TDbGridKuvet* grid = nullptr;
  TEdit* other = nullptr;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(30, 30, 420, 260);
    ds = new VectorDataSet(form);
    ds->FieldDefs().Add("ID", ftInteger);
    ds->FieldDefs().Add("NAME", ftString, 20);
    ds->FieldDefs().Add("AMOUNT", ftFloat);
    for (int i = 0; i < 5; ++i)
      ds->AddRow({Variant(10 + i), Variant("Row " + IntToStr(i)), Variant(i * 1.5)});
    ds->Open();
    source = new TDataSource(form);
    source->SetDataSet(ds);
    grid = new TDbGridKuvet(form);
    grid->SetParent(form);
    grid->SetBounds(8, 8, 380, 180);
    grid->SetDataSource(source);
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(8, 200, 80, 21);
    form->Show();
    Application->ProcessMessages();
    grid->SetFocus();
  }
  void TearDown() override { delete form; }

  TPoint Middle(int col, int row) const {
    TRect r = grid->CellRect(col, row);
    return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  void Click(int col, int row) {
    TPoint p = Middle(col, row);
    MouseClick(grid, p.x, p.y);
  }
  TColor IndicatorFill(const QImage& img, int row) const {
    TRect r = gridtest::GridFixture::OnImage(grid->CellRect(0, row));
    return PixelAt(img, r.Left + 2, r.Top + 2);
  }
  // Ink (black or navy) in the indicator cell of a row.
  int IndicatorInk(const QImage& img, int row) const {
    TRect r = InflateRect(gridtest::GridFixture::OnImage(grid->CellRect(0, row)), -1, -1);
    return CountColor(img, r, clBlack) + CountColor(img, r, clNavy);
  }
};

TEST_F(DbGridKuvetGui, DefaultsMatchThePickingList) {
  EXPECT_EQ(grid->ActiveTitleIndex(), 0);
  EXPECT_EQ(grid->ActiveTitleBevel(), stbLowered);
  EXPECT_EQ(grid->ActiveTitleColor(), clBtnFace);
  EXPECT_EQ(grid->LockedCols(), 0);
  EXPECT_EQ(grid->LockedColor(), clSilver);
  EXPECT_EQ(grid->CheckedColor(), clGray);
  EXPECT_EQ(grid->KeyFieldType(), sktInteger);
  EXPECT_FALSE(grid->ClickTitleEnabled() || grid->CheckEnabled() || grid->CheckedSignum() || grid->EnterIsTab());
  EXPECT_EQ(grid->CheckImages(), nullptr);
}

TEST_F(DbGridKuvetGui, OneScrollingColumnMustRemain) {
  struct Case {
    bool indicator;
    int locked;
    int fixed;
  };
  for (Case c : {Case{true, 1, 2}, Case{true, 2, 1}, Case{false, 1, 1}, Case{false, 2, 0}, Case{true, 0, 1}}) {
    TDBGridOptions o = grid->Options();
    if (c.indicator)
      o.Include(dgIndicator);
    else
      o.Exclude(dgIndicator);
    grid->SetLockedCols(0);
    grid->SetOptions(o);
    grid->SetLockedCols(c.locked);
    EXPECT_EQ(grid->FixedCols(), c.fixed) << c.indicator << " " << c.locked;
  }
}

TEST_F(DbGridKuvetGui, LockedColumnsTakeTheirLookAndLoweringRestoresTheGrids) {
  grid->LockedFont()->SetStyle({fsItalic});
  grid->SetLockedCols(1);
  TColumn* first = grid->VisibleColumn(0);
  EXPECT_EQ(first->Color(), clSilver);
  EXPECT_TRUE(first->Font()->Style().Contains(fsItalic));
  grid->SetLockedColor(clYellow);
  EXPECT_EQ(first->Color(), clYellow);
  // The layout rebuilt by a column change keeps the lock.
  grid->VisibleColumn(2)->SetWidth(90);
  EXPECT_EQ(grid->FixedCols(), 2);
  grid->SetLockedCols(0);
  EXPECT_EQ(grid->FixedCols(), 1);
  EXPECT_EQ(first->Color(), grid->Color());
  EXPECT_FALSE(first->Font()->Style().Contains(fsItalic));
}

TEST_F(DbGridKuvetGui, ScrollingKeepsLockedColumnsAndJumpsBackLeft) {
  for (int i = 0; i < 3; ++i) grid->VisibleColumn(i)->SetWidth(160);
  grid->SetLockedCols(1);
  ASSERT_EQ(grid->FixedCols(), 2);
  grid->SetSelectedIndex(2);
  EXPECT_GT(grid->LeftCol(), 2);
  EXPECT_FALSE(grid->CellRect(1, 1).IsEmpty());  // the locked column stays
  // The current column is the first scrolling one: a scroll snaps back left.
  grid->SetSelectedIndex(1);
  grid->SetLeftCol(3);
  EXPECT_EQ(grid->LeftCol(), 2);
  EXPECT_EQ(grid->Col(), 2);
}

TEST_F(DbGridKuvetGui, TitleClicksMoveTheHighlightOnlyWhenEnabled) {
  int clicks = 0;
  AnsiString name;
  int index = -9;
  grid->OnClickTitle = [&](TObject*, const AnsiString& f, int i) {
    ++clicks;
    name = f;
    index = i;
  };
  Click(2, 0);
  EXPECT_EQ(grid->ActiveTitleIndex(), 0);
  EXPECT_EQ(clicks, 0);
  grid->SetClickTitleEnabled(true);
  Click(2, 0);
  EXPECT_EQ(grid->ActiveTitleIndex(), 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(name, "NAME");
  EXPECT_EQ(index, 1);
  EXPECT_EQ(grid->VisibleColumn(1)->Title()->Color(), clBtnFace);
  grid->SetActiveTitleColor(clAqua);
  EXPECT_EQ(grid->VisibleColumn(1)->Title()->Color(), clAqua);
  // Redirected by OnChangeTitle.
  grid->OnChangeTitle = [](TObject*, int& i) { i = 3; };
  Click(1, 0);
  EXPECT_EQ(grid->ActiveTitleIndex(), 3);
  EXPECT_EQ(name, "AMOUNT");
  EXPECT_EQ(grid->VisibleColumn(1)->Title()->Color(), grid->FixedColor());
  grid->OnChangeTitle = nullptr;
  // A press in the sizing zone of a border changes nothing.
  TRect r = grid->CellRect(1, 0);
  MouseClick(grid, r.Right - 1, (r.Top + r.Bottom) / 2);
  EXPECT_EQ(grid->ActiveTitleIndex(), 3);
  EXPECT_EQ(clicks, 2);
}

TEST_F(DbGridKuvetGui, TheHighlightFollowsAMovedColumnAndBoldFollowsTheHighlight) {
  grid->SetActiveTitleIndex(1);
  grid->SetActiveColumnBold(true);
  EXPECT_TRUE(grid->VisibleColumn(0)->Font()->Style().Contains(fsBold));
  grid->SetOptions(grid->Options() + TDBGridOptions{dgColumnResize});
  TRect from = grid->CellRect(1, 0), to = grid->CellRect(3, 0);
  MouseDown(grid, (from.Left + from.Right) / 2, 6);
  QPointF at((to.Left + to.Right) / 2 + 2, 6);
  QMouseEvent move(QEvent::MouseMove, at, grid->Widget()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(grid->Widget(), &move);
  MouseUp(grid, (to.Left + to.Right) / 2, 6);
  ASSERT_EQ(grid->VisibleColumn(2)->FieldName(), "ID");
  EXPECT_EQ(grid->ActiveTitleIndex(), 3);
}

TEST_F(DbGridKuvetGui, BevelOfTheHighlightedTitleByPixels) {
  grid->SetActiveTitleIndex(2);
  TRect cell = gridtest::GridFixture::OnImage(grid->CellRect(2, 0));
  TRect r = InflateRect(cell, -1, -1);
  struct Case {
    TKuvetActiveTitleBevel bevel;
    TColor topLeft;
  };
  for (Case c : {Case{stbLowered, cl3DDkShadow}, Case{stbRaised, clBtnHighlight}}) {
    grid->SetActiveTitleBevel(c.bevel);
    QImage img = Grab(grid);
    EXPECT_EQ(PixelAt(img, r.Left + 4, r.Top), ColorToRGB(c.topLeft)) << c.bevel;
  }
  grid->SetActiveTitleColor(clRed);
  grid->SetActiveTitleBevel(stbNone);
  QImage img = Grab(grid);
  EXPECT_EQ(PixelAt(img, r.Left, r.Top + 3), ColorToRGB(clRed));
  EXPECT_EQ(PixelAt(img, r.Right - 1, r.Top + 3), ColorToRGB(clRed));
}

TEST_F(DbGridKuvetGui, CheckMarksNeedAKeyField) {
  MessageBoxRecorder boxes;
  grid->SetCheckEnabled(true);
  EXPECT_FALSE(grid->CheckEnabled());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, Cz("Položka \"KeyField\" musí být definována"));
  grid->SetKeyField("ID");
  grid->SetCheckEnabled(true);
  EXPECT_TRUE(grid->CheckEnabled());
  ASSERT_NE(grid->CheckImages(), nullptr);
  EXPECT_EQ(grid->CheckImages()->Count(), 7);
  EXPECT_EQ(grid->CheckImages()->Width(), 8);
  EXPECT_EQ(grid->CheckImages()->Height(), 13);
  grid->SetCheckEnabled(false);
  EXPECT_EQ(grid->CheckImages(), nullptr);
}

TEST_F(DbGridKuvetGui, IndicatorClicksToggleChecksByIntegerOrStringKey) {
  int checks = 0;
  grid->OnCheckRow = [&](TObject*) { ++checks; };
  Click(0, 3);  // off: only moves
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 12);
  EXPECT_EQ(checks, 0);
  grid->SetKeyField("ID");
  grid->SetCheckEnabled(true);
  Click(0, 2);
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(grid->CheckedList()->Contains(11));
  EXPECT_TRUE(grid->IsRowChecked(1));
  EXPECT_FALSE(grid->IsRowChecked(2));
  Click(0, 2);
  EXPECT_FALSE(grid->CheckedList()->Contains(11));
  Click(0, 4);
  grid->SetKeyFieldType(sktString);  // clears
  EXPECT_EQ(grid->CheckedList()->Count(), 0);
  grid->SetKeyField("NAME");
  Click(0, 5);
  EXPECT_TRUE(grid->CheckedStringList()->GetChecked("Row 4"));
  EXPECT_FALSE(grid->CheckedStringList()->GetChecked("row 4"));
}

TEST_F(DbGridKuvetGui, IndicatorPictureAndFillPerRowStateAndCheck) {
  grid->SetKeyField("ID");
  grid->SetCheckEnabled(true);
  grid->CheckedList()->Toggle(10);  // row 1 (current)
  grid->CheckedList()->Toggle(12);  // row 3
  // Insert puts a blank record on top (key 0, not checked): the others move down.
  struct Case {
    bool signum;
    TDataSetState state;
    int checkedOther, unchecked;
    TColor currentFill;
  };
  for (Case c : {Case{false, dsBrowse, 3, 2, clGray}, Case{true, dsBrowse, 3, 2, clGray},
                 Case{true, dsEdit, 3, 2, clGray}, Case{true, dsInsert, 4, 3, grid->FixedColor()}}) {
    grid->SetCheckedSignum(c.signum);
    if (c.state == dsEdit) ds->Edit();
    if (c.state == dsInsert) ds->Insert();
    QImage img = Grab(grid);
    EXPECT_EQ(IndicatorFill(img, c.checkedOther), ColorToRGB(clGray)) << c.signum;
    EXPECT_EQ(IndicatorInk(img, c.checkedOther) > 0, c.signum) << "checked, not current";
    EXPECT_EQ(IndicatorFill(img, c.unchecked), ColorToRGB(grid->FixedColor()));
    EXPECT_EQ(IndicatorInk(img, c.unchecked), 0);
    EXPECT_EQ(IndicatorFill(img, 1), ColorToRGB(c.currentFill));
    EXPECT_GT(IndicatorInk(img, 1), 0);
    ds->Cancel();
  }
}

TEST_F(DbGridKuvetGui, LockedTitlesAndEmptyRowsPaintSafely) {
  grid->SetLockedCols(5);  // more than exist: no effect, paints
  EXPECT_EQ(grid->FixedCols(), 1);
  QImage a = Grab(grid);
  grid->SetLockedCols(1);
  ds->Close();
  QImage b = Grab(grid);
  ds->Open();
  // A check on key 0, then an empty dataset: its blank row shows nothing.
  grid->SetKeyField("ID");
  grid->SetCheckEnabled(true);
  grid->CheckedList()->Toggle(0);
  ds->Close();
  ds->ClearRows();
  ds->Open();
  QImage img = Grab(grid);
  EXPECT_EQ(IndicatorFill(img, 1), ColorToRGB(grid->FixedColor()));
  EXPECT_EQ(IndicatorInk(img, 1), 0);
}

TEST_F(DbGridKuvetGui, KeysFireTheirEventsOrDoTheDefault) {
  int enter = 0, esc = 0, ins = 0, del = 0;
  KeyClick(grid, VK_INSERT);  // no handler, dgEditing on: one insert
  EXPECT_EQ(ds->State(), dsInsert);
  KeyClick(grid, VK_ESCAPE);  // no handler: the link resets
  EXPECT_EQ(ds->State(), dsBrowse);
  grid->SetOptions(grid->Options() - TDBGridOptions{dgEditing});
  KeyClick(grid, VK_INSERT);  // also without dgEditing
  EXPECT_EQ(ds->State(), dsInsert);
  ds->Cancel();
  grid->SetReadOnly(true);
  KeyClick(grid, VK_INSERT);
  EXPECT_EQ(ds->State(), dsBrowse);
  grid->SetReadOnly(false);
  grid->OnClickEnter = [&](TObject*) { ++enter; };
  grid->OnClickEsc = [&](TObject*) { ++esc; };
  grid->OnClickIns = [&](TObject*) { ++ins; };
  grid->OnClickDel = [&](TObject*) { ++del; };
  // Enter last: it may open the editor, which then takes the keys.
  for (Word k : {VK_ESCAPE, VK_INSERT, VK_DELETE, VK_RETURN}) KeyClick(grid, k);
  EXPECT_EQ(enter, 1);
  EXPECT_EQ(esc, 1);
  EXPECT_EQ(ins, 1);
  EXPECT_EQ(del, 1);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 5);
}

TEST_F(DbGridKuvetGui, EnterAsTabSpaceAndDecimalComma) {
  grid->SetEnterIsTab(true);
  ASSERT_EQ(grid->SelectedIndex(), 0);
  KeyClick(grid, VK_RETURN);
  EXPECT_EQ(grid->SelectedIndex(), 1);
  // With the editor shown Enter stores the value and moves on.
  KeyClick(grid, VK_F2);
  ASSERT_TRUE(grid->EditorMode());
  KeyClick(grid->InplaceEditor(), VK_END);
  TypeText(grid->InplaceEditor(), "x");
  KeyClick(grid->InplaceEditor(), VK_RETURN);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "Row 0x");
  EXPECT_EQ(grid->SelectedIndex(), 2);
  // A point typed into the float column becomes the decimal comma.
  KeyClick(grid->InplaceEditor(), VK_F2);
  ASSERT_TRUE(grid->EditorMode());
  KeyClick(grid->InplaceEditor(), VK_END);
  TypeText(grid->InplaceEditor(), ".5");
  EXPECT_EQ(grid->InplaceEditor()->Text(), "0,5");
  KeyClick(grid->InplaceEditor(), VK_ESCAPE);
  AnsiString spaced = "-";
  grid->OnClickSpace = [&](TObject*, const AnsiString& f) { spaced = f; };
  KeyClick(grid, VK_SPACE);
  EXPECT_EQ(spaced, "AMOUNT");
}

TEST_F(DbGridKuvetGui, SelectCellVetoesMovesAndFiresOnFocus) {
  int asked = 0;
  grid->OnSelectCell = [&](TObject*, int col, int, bool& can) {
    ++asked;
    can = col != 2;
  };
  KeyClick(grid, VK_RIGHT);
  EXPECT_EQ(grid->Col(), 1);
  other->SetFocus();
  asked = 0;
  grid->SetFocus();
  EXPECT_EQ(asked, 1);
}

TEST_F(DbGridKuvetGui, TypePickerConfiguration) {
  grid->SetOptions({dgRowSelect, dgAlwaysShowSelection});
  grid->SetReadOnly(true);
  TColumn* typ = grid->Columns()->Add();
  typ->SetFieldName("ID");
  typ->SetWidth(180);
  TColumn* nac = grid->Columns()->Add();
  nac->SetFieldName("NAME");
  nac->SetWidth(180);
  int dbl = 0, keys = 0;
  grid->OnDblClick = [&](TObject*) { ++dbl; };
  grid->OnKeyDown = [&](TObject*, Word& k, TShiftState) {
    if (k == VK_RETURN) ++keys;
  };
  EXPECT_EQ(grid->TitleOffset(), 0);
  EXPECT_EQ(grid->IndicatorOffset(), 0);
  EXPECT_EQ(grid->ColCount(), 2);
  KeyClick(grid, VK_RETURN);
  TPoint p = Middle(1, 1);
  DoubleClick(grid, p.x, p.y);
  EXPECT_EQ(keys, 1);
  EXPECT_EQ(dbl, 1);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 11);
}

}  // namespace
