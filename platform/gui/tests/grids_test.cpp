// The grid base: geometry, navigation, tab walking, column sizing and
// moving, the in-place editor and the vertical scroll-bar hook.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>

#include <map>
#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/grids.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_pixels.h"

namespace {

// A grid of texts "c,r" that records what the base asks of it.
class TextGrid : public TCustomGrid {
 public:
  using TCustomGrid::TCustomGrid;
  std::map<std::pair<int, int>, AnsiString> texts;
  std::vector<std::string> log;
  std::map<std::pair<int, int>, TGridDrawState> drawn;
  bool ownsBar = false;
  TEditStyle style = esSimple;

  using TCustomGrid::CalcSizingState;
  AnsiString At(int c, int r) { return texts[{c, r}]; }
  TGridDrawState DrawnAt(int c, int r) { return drawn[{c, r}]; }
  using TCustomGrid::SetVerticalScrollInfo;

 protected:
  void DrawCell(int c, int r, const TRect& rect, TGridDrawState state) override {
    drawn[{c, r}] = state;
    Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, Text(c, r));
  }
  AnsiString GetEditText(int c, int r) override { return Text(c, r); }
  void SetEditText(int c, int r, const AnsiString& v) override {
    texts[{c, r}] = v;
    log.push_back("set " + std::to_string(c) + "," + std::to_string(r) + "=" + v);
  }
  TEditStyle GetEditStyle(int, int) override { return style; }
  void FillPickList(TStrings* list) override {
    list->Clear();
    list->Add("alfa");
    list->Add("beta");
  }
  void EditButtonClick() override { log.push_back("button"); }
  void ColumnMoved(int from, int to) override { log.push_back("moved " + std::to_string(from) + ">" + std::to_string(to)); }
  void ColWidthsChanged() override {
    log.push_back("widths");
    TCustomGrid::ColWidthsChanged();
  }
  void TopLeftChanged() override { log.push_back("topleft " + std::to_string(TopRow())); }
  bool OwnsVerticalScrollBar() const override { return ownsBar; }
  void VerticalScroll(TScrollCode code, int pos) override {
    if (!ownsBar) return TCustomGrid::VerticalScroll(code, pos);
    log.push_back("scroll " + std::to_string(code) + " " + std::to_string(pos));
  }

 private:
  AnsiString Text(int c, int r) {
    auto it = texts.find({c, r});
    return it != texts.end() ? it->second : IntToStr(c) + "," + IntToStr(r);
  }
};

struct GridGui : ::testing::Test {
  TForm* form = nullptr;
  TextGrid* grid = nullptr;
  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(20, 20, 500, 400);
    grid = new TextGrid(form);
    grid->SetParent(form);
    grid->SetBounds(10, 10, 404, 204);
    grid->SetColCount(8);
    grid->SetRowCount(30);
    grid->SetDefaultRowHeight(18);
    form->Show();
    Application->ProcessMessages();
    grid->SetFocus();
  }
  void TearDown() override { delete form; }
  TGridCoord Cur() const { return TGridCoord{grid->Col(), grid->Row()}; }
};

TEST_F(GridGui, CellRectanglesAndMouseCoordinatesAgree) {
  // 64 wide columns, one-pixel lines, fixed first row and column.
  EXPECT_EQ(grid->CellRect(0, 0), Rect(0, 0, 64, 18));
  EXPECT_EQ(grid->CellRect(2, 1), Rect(130, 19, 194, 37));
  for (TPoint p : {Point(0, 0), Point(63, 17), Point(64, 17), Point(130, 19), Point(200, 100)}) {
    TGridCoord c = grid->MouseCoord(p.x, p.y);
    TRect r = grid->CellRect(c.X, c.Y);
    EXPECT_TRUE(p.x >= r.Left && p.x <= r.Right && p.y >= r.Top && p.y <= r.Bottom) << p.x << "," << p.y;
  }
  grid->SetLeftCol(3);
  EXPECT_EQ(grid->CellRect(2, 1), TRect{});
  EXPECT_EQ(grid->CellRect(3, 1).Left, 65);
  EXPECT_EQ(grid->MouseCoord(70, 20).X, 3);
}

TEST_F(GridGui, KeysMoveTheCurrentCellAndScroll) {
  struct Step {
    Word key;
    TShiftState shift;
    TGridCoord want;
  };
  int page = grid->VisibleRowCount();
  ASSERT_GT(page, 3);
  const Step steps[] = {
      {VK_DOWN, {}, {1, 2}},
      {VK_RIGHT, {}, {2, 2}},
      {VK_END, {}, {7, 2}},
      {VK_HOME, {}, {1, 2}},
      {VK_NEXT, {}, {1, 2 + page}},
      {VK_PRIOR, {}, {1, 2}},
      {VK_END, {ssCtrl}, {7, 29}},
      {VK_HOME, {ssCtrl}, {1, 1}},
      {VK_UP, {}, {1, 1}},
  };
  for (const Step& s : steps) {
    KeyClick(grid, s.key, s.shift);
    EXPECT_EQ(Cur(), s.want) << s.key;
  }
  KeyClick(grid, VK_END, {ssCtrl});
  EXPECT_EQ(grid->TopRow(), grid->RowCount() - page);
  // Row select: Home and End go to the first and last row.
  grid->SetOptions(grid->Options() + TGridOptions{goRowSelect});
  KeyClick(grid, VK_HOME);
  EXPECT_EQ(grid->Row(), 1);
  KeyClick(grid, VK_END);
  EXPECT_EQ(grid->Row(), 29);
  TGridRect sel = grid->Selection();
  EXPECT_EQ(sel.Left, 1);
  EXPECT_EQ(sel.Right, 7);
}

TEST_F(GridGui, TabWalksTabStopsAndWrapsRows) {
  grid->SetOptions(grid->Options() + TGridOptions{goTabs});
  for (int c = 1; c < 8; ++c) grid->SetTabStops(c, c == 2 || c == 5);
  grid->SetCol(2);
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(Cur(), (TGridCoord{5, 1}));
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(Cur(), (TGridCoord{2, 2}));
  KeyClick(grid, VK_TAB, {ssShift});
  EXPECT_EQ(Cur(), (TGridCoord{5, 1}));
  // With no tab stop but the start column the walk ends where it began,
  // a row further on.
  for (int c = 1; c < 8; ++c) grid->SetTabStops(c, false);
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(Cur(), (TGridCoord{5, 2}));
  // Without goTabs Tab leaves the grid.
  grid->SetOptions(grid->Options() - TGridOptions{goTabs});
  auto* after = new TEdit(form);
  after->SetParent(form);
  after->SetBounds(10, 250, 80, 21);
  KeyClick(grid, VK_TAB);
  EXPECT_EQ(form->ActiveControl(), after);
}

TEST_F(GridGui, ColumnSizingZoneIsSevenPixelsAroundTheBorder) {
  grid->SetOptions(grid->Options() + TGridOptions{goColSizing});
  // The border of column 1 lies at x = 64 + 1 + 64 = 129 (its right edge).
  int index, pos, ofs;
  struct Case {
    int x;
    bool sizing;
  };
  for (Case c : {Case{125, false}, Case{126, true}, Case{129, true}, Case{133, true}, Case{134, false}}) {
    TGridState s = grid->CalcSizingState(c.x, 5, index, pos, ofs);
    EXPECT_EQ(s == gsColSizing, c.sizing) << c.x;
    if (c.sizing) {
      EXPECT_EQ(index, 1);
      EXPECT_EQ(pos, 129);
    }
  }
  // Only in the title row.
  EXPECT_EQ(grid->CalcSizingState(129, 30, index, pos, ofs), gsNormal);
  // A 3-pixel line moves the border to 67 + 64 = 131; the zone starts two
  // pixels left of it.
  grid->SetGridLineWidth(3);
  EXPECT_EQ(grid->CalcSizingState(129, 5, index, pos, ofs), gsColSizing);
  EXPECT_EQ(grid->CalcSizingState(128, 5, index, pos, ofs), gsNormal);
  grid->SetGridLineWidth(1);
  // Dragging the border resizes the column.
  MouseDown(grid, 129, 5);
  QMouseEvent move(QEvent::MouseMove, QPointF(151, 7), grid->Widget()->mapToGlobal(QPointF(151, 7)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid->Widget(), &move);
  MouseUp(grid, 149, 5);
  EXPECT_EQ(grid->ColWidths(1), 84);
  EXPECT_NE(std::find(grid->log.begin(), grid->log.end(), "widths"), grid->log.end());
}

TEST_F(GridGui, DraggingATitleMovesTheColumn) {
  grid->SetOptions(grid->Options() + TGridOptions{goColMoving});
  grid->SetColWidths(2, 50);
  MouseDown(grid, 100, 5);
  QMouseEvent move(QEvent::MouseMove, QPointF(260, 5), grid->Widget()->mapToGlobal(QPointF(260, 5)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid->Widget(), &move);
  MouseUp(grid, 260, 5);
  ASSERT_FALSE(grid->log.empty());
  EXPECT_EQ(grid->log.back(), "moved 1>4");
  EXPECT_EQ(grid->ColWidths(4), 64);
}

TEST_F(GridGui, EditorShowsTheCellTextAndWritesItBack) {
  grid->SetOptions(grid->Options() + TGridOptions{goEditing});
  grid->SetCol(2);
  grid->SetRow(3);
  KeyClick(grid, VK_F2);
  ASSERT_NE(grid->InplaceEditor(), nullptr);
  EXPECT_TRUE(grid->InplaceEditor()->Visible());
  EXPECT_EQ(grid->InplaceEditor()->Text(), "2,3");
  EXPECT_EQ(form->ActiveControl(), grid->InplaceEditor());
  EXPECT_EQ(grid->InplaceEditor()->BoundsRect(), grid->CellRect(2, 3));
  TypeText(grid->InplaceEditor(), "xy");
  EXPECT_EQ(grid->At(2, 3), "xy");
  KeyClick(grid->InplaceEditor(), VK_RETURN);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_FALSE(grid->InplaceEditor()->Visible());
  EXPECT_EQ(form->ActiveControl(), grid);
  // A typed character opens the editor and goes into it.
  KeyClick(grid, VK_DOWN);
  TypeText(grid, "q");
  Application->ProcessMessages();
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(grid->InplaceEditor()->Text(), "q");
  // Down in the editor goes to the grid: the editor follows only while
  // always shown.
  KeyClick(grid->InplaceEditor(), VK_DOWN);
  EXPECT_EQ(grid->Row(), 5);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->At(2, 4), "q");
}

TEST_F(GridGui, PickListAndEllipsisEditors) {
  grid->SetOptions(grid->Options() + TGridOptions{goEditing});
  grid->style = esPickList;
  grid->SetCol(1);
  grid->SetRow(1);
  grid->ShowEditor();
  TInplaceEdit* ed = grid->InplaceEditor();
  ASSERT_NE(ed, nullptr);
  EXPECT_GT(ed->ButtonWidth(), 0);
  KeyClick(ed, VK_DOWN, {ssAlt});
  ASSERT_TRUE(ed->ListVisible());
  EXPECT_EQ(ed->PickList()->Count(), 2);
  auto* list = dynamic_cast<QListWidget*>(QApplication::activePopupWidget());
  ASSERT_NE(list, nullptr);
  list->setCurrentRow(1);
  ed->CloseUp(true);
  EXPECT_EQ(ed->Text(), "beta");
  EXPECT_EQ(grid->At(1, 1), "beta");
  grid->HideEditor();
  grid->style = esEllipsis;
  grid->SetRow(2);
  grid->ShowEditor();
  KeyClick(ed, VK_RETURN, {ssCtrl});
  EXPECT_EQ(grid->log.back(), "button");
}

TEST_F(GridGui, DescendantOwnsTheVerticalScrollBar) {
  grid->ownsBar = true;
  grid->SetVerticalScrollInfo(0, 4, 0, 2);
  TScrollInfo info = grid->VerticalScrollInfo();
  EXPECT_TRUE(info.Visible);
  EXPECT_EQ(info.Pos, 2);
  QScrollBar* bar = nullptr;
  for (QScrollBar* b : grid->Widget()->findChildren<QScrollBar*>())
    if (b->orientation() == Qt::Vertical) bar = b;
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  std::vector<std::string> scrolls;
  for (const std::string& s : grid->log)
    if (s.rfind("scroll", 0) == 0) scrolls.push_back(s.substr(0, 8));
  EXPECT_EQ(scrolls, (std::vector<std::string>{"scroll 1", "scroll 2", "scroll 7"}));
  // A range that fits in its page hides the bar, as on the platform.
  grid->SetVerticalScrollInfo(1, 10, 10, 1);
  EXPECT_FALSE(grid->VerticalScrollInfo().Visible);
  grid->SetVerticalScrollInfo(1, 14, 10, 3);
  EXPECT_TRUE(grid->VerticalScrollInfo().Visible);
  EXPECT_EQ(grid->ClientWidth(), 404 - 4 - bar->width());
}

TEST_F(GridGui, PaintsFixedCellsSelectionAndFocus) {
  grid->SetOptions(grid->Options() + TGridOptions{goRowSelect});
  grid->SetRow(2);
  grid->Repaint();
  EXPECT_TRUE(grid->DrawnAt(0, 0).Contains(gdFixed));
  EXPECT_TRUE(grid->DrawnAt(3, 2).Contains(gdSelected));
  EXPECT_FALSE(grid->DrawnAt(3, 3).Contains(gdSelected));
  EXPECT_TRUE(grid->DrawnAt(1, 2).Contains(gdFocused));
  QImage img = Grab(grid);
  SaveArtifact(img, "grid_base.png");
  // Inside the border (2 px): a fixed cell's face, a selected cell's
  // highlight, a plain cell's window colour and a grid line.
  TRect sel = grid->CellRect(4, 2);
  EXPECT_EQ(PixelAt(img, 2 + sel.Right - 3, 2 + sel.Top + 1), ColorToRGB(clHighlight));
  TRect plain = grid->CellRect(4, 5);
  EXPECT_EQ(PixelAt(img, 2 + plain.Right - 3, 2 + plain.Top + 1), ColorToRGB(clWindow));
  EXPECT_EQ(PixelAt(img, 2 + plain.Right, 2 + plain.Top + 3), ColorToRGB(clSilver));
  TRect fixed = grid->CellRect(0, 4);
  EXPECT_EQ(PixelAt(img, 2 + fixed.Right - 4, 2 + fixed.Top + 4), ColorToRGB(clBtnFace));
}

}  // namespace
