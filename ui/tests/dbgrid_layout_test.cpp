// The grid's layout: options and their mapping, default and customised
// columns, column widths and their write-back, moved columns, rows for
// the records, the vertical scroll bar, draw events and column menus.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QProcess>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/gui/menus.h"
#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/db/db_errors.h"
#include "testing/error_message.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

using gridtest::GridFixture;

struct DbGridLayoutGui : GridFixture {
  int Rows() const override { return 8; }
  TColumn* Column(int i) const { return grid->Columns()->Items(i); }
  int ZeroWidth(const TFont* font) const {
    TCanvas c;
    c.Font()->Assign(font);
    return c.TextWidth("0");
  }
  // Drags the right border of a grid column in the title row by dx.
  void DragBorder(int rawCol, int dx) {
    int x = grid->CellRect(rawCol, 0).Right;
    MouseDown(grid, x, 5);
    QPointF to(x + dx + 2, 7);
    QMouseEvent move(QEvent::MouseMove, to, grid->Widget()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid->Widget(), &move);
    MouseUp(grid, x + dx, 5);
  }
  void DragTitle(int fromRaw, int toRaw) {
    TRect from = grid->CellRect(fromRaw, 0), to = grid->CellRect(toRaw, 0);
    MouseDown(grid, (from.Left + from.Right) / 2, 6);
    QPointF at((to.Left + to.Right) / 2 + 2, 6);
    QMouseEvent move(QEvent::MouseMove, at, grid->Widget()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid->Widget(), &move);
    MouseUp(grid, (to.Left + to.Right) / 2, 6);
  }
};

TEST(DbGridOptionsGui, DefaultsAndTheRowSelectRule) {
  TDBGridOptions plain = DefaultDBGridOptions(false);
  EXPECT_EQ(plain, (TDBGridOptions{dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                                   dgConfirmDelete, dgCancelOnExit}));
  EXPECT_EQ(DefaultDBGridOptions(true), plain + TDBGridOptions{dgAlwaysShowEditor});
  TForm* form = NewForm<TForm>(Application);
  auto* grid = new TDBGrid(form);
  grid->SetParent(form);
  EXPECT_EQ(grid->Options(), DefaultDBGridOptions(SystemPrimaryLanguageIsKorean()));
  EXPECT_EQ(grid->ColCount(), 2);
  EXPECT_EQ(grid->RowCount(), 2);
  EXPECT_EQ(grid->Color(), clWindow);
  EXPECT_FALSE(grid->ParentColor());
  grid->SetOptions({dgRowSelect, dgEditing, dgAlwaysShowEditor, dgTitles});
  EXPECT_EQ(grid->Options(), (TDBGridOptions{dgRowSelect, dgTitles}));
  // The grid base gets the mapped options.
  struct Case {
    TDBGridOptions options;
    TGridOptions on;
    TGridOptions off;
  };
  const Case cases[] = {
      {{dgColLines}, {goFixedVertLine, goVertLine}, {goFixedHorzLine, goHorzLine, goEditing, goTabs}},
      {{dgRowLines, dgTabs}, {goFixedHorzLine, goHorzLine, goTabs}, {goVertLine, goColSizing}},
      {{dgColumnResize, dgEditing}, {goColSizing, goColMoving, goEditing}, {goRowSelect, goAlwaysShowEditor}},
      {{dgRowSelect, dgEditing}, {goRowSelect}, {goEditing}},
      {{dgEditing, dgAlwaysShowEditor}, {goEditing, goAlwaysShowEditor}, {goRowSelect}},
  };
  for (const Case& c : cases) {
    grid->SetOptions(c.options);
    TGridOptions base = grid->TCustomGrid::Options();
    EXPECT_EQ(base * c.on, c.on) << c.options.Bits();
    EXPECT_TRUE((base * c.off).Empty()) << c.options.Bits();
  }
  delete form;
}

// The system language is read from the environment once per process, so
// each environment runs this test again in a child process, which checks
// the language and a new grid's options.
TEST(DbGridLanguageMultiprocessGui, AKoreanSystemLanguageAddsTheAlwaysShownEditor) {
  const QByteArray expected = qgetenv("DBGRID_TEST_EXPECT_KOREAN");
  if (!expected.isEmpty()) {
    const bool korean = expected == "1";
    EXPECT_EQ(SystemPrimaryLanguageIsKorean(), korean);
    TForm* form = NewForm<TForm>(Application);
    auto* grid = new TDBGrid(form);
    EXPECT_EQ(grid->Options(), DefaultDBGridOptions(korean));
    delete form;
    return;
  }
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    bool korean;
  };
  const Case cases[] = {
      {"", "", "ko_KR.UTF-8", true},
      {"", "", "ko_KR.eucKR", true},
      {"", "", "cs_CZ.UTF-8", false},
      {"", "", "C", false},
      {"", "ko_KR.UTF-8", "cs_CZ.UTF-8", true},  // messages in Korean
      {"cs_CZ.UTF-8", "", "ko_KR.UTF-8", false},  // LC_ALL wins
  };
  const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
  const QString filter = QString("--gtest_filter=%1.%2").arg(self->test_suite_name(), self->name());
  for (const Case& c : cases) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
      if (name.startsWith("GTEST_") || name == "LANGUAGE") env.remove(name);
    const std::pair<const char*, const char*> locale[] = {
        {"LC_ALL", c.lcAll}, {"LC_MESSAGES", c.lcMessages}, {"LANG", c.lang}};
    for (const auto& [name, value] : locale) {
      if (*value)
        env.insert(name, value);
      else
        env.remove(name);
    }
    env.insert("DBGRID_TEST_EXPECT_KOREAN", c.korean ? "1" : "0");
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {filter});
    const std::string what = std::string("LC_ALL=") + c.lcAll + " LC_MESSAGES=" + c.lcMessages + " LANG=" + c.lang;
    ASSERT_TRUE(child.waitForFinished(120000)) << what;
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << what << "\n" << output;
    EXPECT_EQ(child.exitCode(), 0) << what << "\n" << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << what << "\n" << output;
  }
}

TEST_F(DbGridLayoutGui, TitlesAndIndicatorSetTheFixedRowsAndColumns) {
  struct Case {
    TDBGridOptions add;
    int titleOffset;
    int indicatorOffset;
  };
  TDBGridOptions base = grid->Options() - TDBGridOptions{dgTitles, dgIndicator};
  for (Case c :
       {Case{{dgTitles, dgIndicator}, 1, 1}, Case{{dgTitles}, 1, 0}, Case{{dgIndicator}, 0, 1}, Case{{}, 0, 0}}) {
    grid->SetOptions(base + c.add);
    EXPECT_EQ(grid->TitleOffset(), c.titleOffset);
    EXPECT_EQ(grid->IndicatorOffset(), c.indicatorOffset);
    EXPECT_EQ(grid->FixedRows(), c.titleOffset);
    EXPECT_EQ(grid->FixedCols(), c.indicatorOffset);
    EXPECT_EQ(grid->ColCount(), c.indicatorOffset + 5);
    EXPECT_EQ(grid->RowCount(), c.titleOffset + 8);
    EXPECT_EQ(grid->Row(), c.titleOffset);
  }
}

TEST_F(DbGridLayoutGui, DefaultColumnsComeFromTheVisibleFields) {
  ds->FieldByName("PLA_TYP")->SetVisible(false);
  ds->FieldByName("PLA_DAT")->SetDisplayLabel("Datum");
  ASSERT_EQ(grid->Columns()->Count(), 4);
  EXPECT_EQ(grid->Columns()->State(), csDefault);
  std::vector<std::string> names, titles;
  for (int i = 0; i < 4; ++i) {
    names.push_back(Column(i)->FieldName());
    titles.push_back(Column(i)->Title()->Caption());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"PLA_DAT", "PLA_DO1", "PLA_KOM", "PLA_HOD"}));
  EXPECT_EQ(titles, (std::vector<std::string>{"Datum", "PLA_DO1", "PLA_KOM", "PLA_HOD"}));
  EXPECT_EQ(Column(3)->Alignment(), taRightJustify);
  EXPECT_EQ(Column(2)->Alignment(), taLeftJustify);
  EXPECT_EQ(grid->ColCount(), 5);
  // Every field is mapped; a field shown again gets its column back.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(grid->DataLink()->Fields(i), Column(i)->Field());
  ds->FieldByName("PLA_TYP")->SetVisible(true);
  EXPECT_EQ(grid->Columns()->Count(), 5);
  EXPECT_EQ(Column(2)->FieldName(), "PLA_TYP");
}

TEST_F(DbGridLayoutGui, DefaultColumnsWriteThroughToTheirFields) {
  TColumn* text = Column(3);
  TField* field = ds->FieldByName("PLA_KOM");
  text->Title()->SetCaption("Popis");
  text->SetAlignment(taCenter);
  text->SetReadOnly(true);
  EXPECT_EQ(field->DisplayLabel(), "Popis");
  EXPECT_EQ(field->Alignment(), taCenter);
  EXPECT_TRUE(field->ReadOnly());
  EXPECT_TRUE(text->AssignedValues().Empty());
  EXPECT_EQ(Column(3), text);  // the column object survives the relayout
  EXPECT_FALSE(grid->TabStops(4));
  // A customised column keeps its values and leaves the field alone.
  grid->Columns()->SetState(csCustomized);
  EXPECT_EQ(grid->Columns()->State(), csCustomized);
  Column(1)->Title()->SetCaption("Doklad");
  Column(1)->SetColor(clYellow);
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->DisplayLabel(), "PLA_DO1");
  EXPECT_EQ(Column(1)->Title()->Caption(), "Doklad");
  EXPECT_EQ(Column(1)->AssignedValues(), (TColumnValues{cvTitleCaption, cvColor}));
  Column(1)->RestoreDefaults();
  EXPECT_EQ(Column(1)->Title()->Caption(), "PLA_DO1");
  EXPECT_EQ(Column(1)->Color(), grid->Color());
  // Back to default columns: rebuilt from the fields.
  grid->Columns()->SetState(csDefault);
  EXPECT_EQ(grid->Columns()->Count(), 5);
  EXPECT_EQ(Column(3)->Title()->Caption(), "Popis");
}

TEST_F(DbGridLayoutGui, CustomisedColumnsMapByNameAndAMissingFieldDrawsEmpty) {
  TColumn* first = grid->Columns()->Add();
  first->SetFieldName("PLA_KOM");
  first->SetWidth(150);
  first->Title()->SetCaption(Cz("Identifikace"));
  TColumn* missing = grid->Columns()->Add();
  missing->SetFieldName("PLA_XXX");
  TColumn* amount = grid->Columns()->Add();
  amount->SetFieldName("PLA_HOD");
  ASSERT_EQ(grid->Columns()->Count(), 3);
  EXPECT_EQ(grid->Columns()->State(), csCustomized);
  EXPECT_EQ(grid->ColCount(), 4);
  EXPECT_EQ(grid->ColWidths(1), 150);
  EXPECT_EQ(grid->DataLink()->GetMappedIndex(0), 3);
  EXPECT_EQ(grid->DataLink()->GetMappedIndex(1), -1);
  EXPECT_EQ(grid->DataLink()->GetMappedIndex(2), 4);
  EXPECT_EQ(missing->Field(), nullptr);
  EXPECT_EQ(missing->Title()->Caption(), "PLA_XXX");
  EXPECT_EQ(missing->Width(), grid->DefaultColWidth());
  // Reopening the dataset keeps the program's columns.
  ds->Close();
  ds->Open();
  EXPECT_EQ(grid->Columns()->Count(), 3);
  EXPECT_EQ(grid->Columns()->Items(0)->Title()->Caption(), Cz("Identifikace"));
  other->SetFocus();
  QImage img = Grab(grid);
  for (int row = 0; row < 3; ++row) {
    TRect cell = InflateRect(OnImage(Cell(1, row)), -1, -1);
    EXPECT_EQ(CountOther(img, cell, {clWindow}), 0) << row;
    EXPECT_GT(CountOther(img, OnImage(Cell(0, row)), {clWindow}), 0) << row;
  }
}

TEST_F(DbGridLayoutGui, DefaultWidthGrowsWithTheDisplayWidth) {
  int zero = ZeroWidth(grid->Font());
  TField* text = ds->FieldByName("PLA_KOM");
  ASSERT_EQ(text->DisplayWidth(), 30);
  EXPECT_EQ(Column(3)->Width(), 30 * zero + 4);
  EXPECT_EQ(grid->ColWidths(4), 30 * zero + 4);
  // A caption wider than the data sets the width.
  ds->FieldByName("PLA_TYP")->SetDisplayLabel(Cz("Typ finanční operace"));
  TCanvas c;
  c.Font()->Assign(grid->TitleFont());
  EXPECT_EQ(Column(2)->Width(), c.TextWidth(Cz("Typ finanční operace")) + 4);
  // Without titles the caption does not count.
  grid->SetOptions(grid->Options() - TDBGridOptions{dgTitles});
  EXPECT_EQ(Column(2)->Width(), 3 * zero + 4);
  // A column set to its own default width keeps its display width.
  for (int i = 0; i < 5; ++i) {
    TColumn* column = Column(i);
    int before = column->Field()->DisplayWidth();
    column->SetWidth(column->Width());
    EXPECT_LE(std::abs(column->Field()->DisplayWidth() - before), 1) << i;
  }
}

TEST_F(DbGridLayoutGui, SizingADefaultColumnWritesTheDisplayWidthBack) {
  struct Case {
    int fontHeight;
    int dx;
  };
  for (Case c : {Case{-11, 31}, Case{-11, -40}, Case{-13, 25}, Case{-12, 17}}) {
    grid->Font()->SetHeight(c.fontHeight);
    int unit = ZeroWidth(grid->Font());
    int before = Column(3)->Width();
    DragBorder(4, c.dx);
    int wanted = before + c.dx;
    EXPECT_EQ(ds->FieldByName("PLA_KOM")->DisplayWidth(), (wanted + unit / 2 - 3) / unit) << c.fontHeight;
    // The column keeps (within one character) the width it was given.
    EXPECT_LE(std::abs(Column(3)->Width() - wanted), unit) << c.fontHeight << " " << Column(3)->Width();
    EXPECT_EQ(grid->ColWidths(4), Column(3)->Width());
  }
  // A customised column keeps the pixels.
  grid->Columns()->SetState(csCustomized);
  int before = Column(1)->Width();
  DragBorder(2, 13);
  EXPECT_EQ(Column(1)->Width(), before + 13);
  EXPECT_TRUE(Column(1)->AssignedValues().Contains(cvWidth));
}

TEST_F(DbGridLayoutGui, DraggedColumnsMoveTheirFieldsOnlyWhenDefault) {
  std::vector<std::pair<int, int>> moves;
  grid->OnColumnMoved = [&](TObject*, int from, int to) { moves.emplace_back(from, to); };
  DragTitle(1, 3);
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{0, 2}}));
  std::vector<std::string> fields, columns;
  for (int i = 0; i < 5; ++i) {
    fields.push_back(ds->Fields()[i]->FieldName());
    columns.push_back(Column(i)->FieldName());
  }
  EXPECT_EQ(fields, (std::vector<std::string>{"PLA_DO1", "PLA_TYP", "PLA_DAT", "PLA_KOM", "PLA_HOD"}));
  EXPECT_EQ(columns, fields);
  grid->Columns()->SetState(csCustomized);
  DragTitle(5, 1);
  EXPECT_EQ(Column(0)->FieldName(), "PLA_HOD");
  EXPECT_EQ(ds->Fields()[0]->FieldName(), "PLA_DO1");
}

TEST_F(DbGridLayoutGui, AClosedDatasetLeavesAnEmptyGrid) {
  ds->Close();
  EXPECT_EQ(grid->ColCount(), 2);
  EXPECT_EQ(grid->RowCount(), 2);
  EXPECT_EQ(grid->Columns()->Count(), 0);
  EXPECT_FALSE(grid->VerticalScrollInfo().Visible);
  QImage img = Grab(grid);
  EXPECT_EQ(CountOther(img, InflateRect(OnImage(grid->CellRect(1, 1)), -1, -1), {clWindow}), 0);
  ds->Open();
  EXPECT_EQ(grid->ColCount(), 6);
  EXPECT_EQ(grid->RowCount(), 9);
}

TEST_F(DbGridLayoutGui, AForwardOnlyDatasetIsRefused) {
  const std::string refused = "Operation not allowed on a unidirectional dataset";
  // Linked while open, and opened while linked.
  grid->SetDataSource(nullptr);
  ds->SetUniDirectional(true);
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { grid->SetDataSource(source); }), refused);
  grid->SetDataSource(nullptr);
  ds->Close();
  grid->SetDataSource(source);
  EXPECT_EQ(ErrorMessage<EDatabaseError>([&] { ds->Open(); }), refused);
  // The refused grid still paints and lets go of the dataset.
  Grab(grid);
  ds->Close();
  EXPECT_EQ(grid->ColCount(), 2);
  // A dataset that walks both ways is shown again.
  ds->SetUniDirectional(false);
  ds->Open();
  EXPECT_EQ(grid->ColCount(), 6);
  EXPECT_EQ(grid->RowCount(), 9);
}

struct DbGridEmptyGui : GridFixture {
  int Rows() const override { return 0; }
};

TEST_F(DbGridEmptyGui, AnEmptyDatasetShowsOneEmptyRowWithoutIndicator) {
  EXPECT_EQ(grid->RowCount(), 2);
  QImage img = Grab(grid);
  TRect indicator = InflateRect(OnImage(grid->CellRect(0, 1)), -1, -1);
  EXPECT_EQ(CountOther(img, indicator, {clBtnFace}), 0);
  EXPECT_FALSE(grid->VerticalScrollInfo().Visible);
  // A new record shows in the row with the insert mark.
  KeyClick(grid, VK_INSERT);
  ASSERT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(grid->RowCount(), 2);
  img = Grab(grid);
  EXPECT_GT(CountOther(img, indicator, {clBtnFace}), 0);
}

TEST_F(DbGridLayoutGui, SequencedScrollBarShowsTheRecordNumber) {
  int visible = grid->VisibleRowCount();
  ASSERT_EQ(visible, 8);
  TScrollInfo info = grid->VerticalScrollInfo();
  EXPECT_EQ(info.Min, 1);
  EXPECT_EQ(info.Max, 8 + visible - 1);
  EXPECT_EQ(info.Page, visible);
  EXPECT_EQ(info.Pos, 1);
  EXPECT_TRUE(info.Visible);
  ds->MoveBy(4);
  EXPECT_EQ(grid->VerticalScrollInfo().Pos, 5);
  // While a record is inserted the thumb stays.
  ds->Insert();
  EXPECT_EQ(grid->VerticalScrollInfo().Pos, 5);
  ds->Cancel();
  ds->Last();
  EXPECT_EQ(grid->VerticalScrollInfo().Pos, 8);
}

struct DbGridUnsequencedGui : GridFixture {
  void Prepare() override { ds->SetSequenced(false); }
};

TEST_F(DbGridUnsequencedGui, UnsequencedDatasetGetsTheFivePositionBar) {
  struct Step {
    const char* move;
    int pos;
  };
  auto act = [&](const std::string& m) {
    if (m == "first") ds->First();
    if (m == "next") ds->Next();
    if (m == "last") ds->Last();
    if (m == "prior") ds->Prior();
  };
  for (Step s : {Step{"first", 0}, Step{"next", 2}, Step{"last", 4}, Step{"prior", 2}, Step{"first", 0}}) {
    act(s.move);
    TScrollInfo info = grid->VerticalScrollInfo();
    EXPECT_EQ(info.Min, 0);
    EXPECT_EQ(info.Max, 4);
    EXPECT_EQ(info.Pos, s.pos) << s.move;
  }
}

TEST_F(DbGridLayoutGui, DrawEventsFollowTheColumnsState) {
  int dataCells = 0, columnCells = 0;
  grid->OnDrawDataCell = [&](TObject*, const TRect&, TField*, TGridDrawState) { ++dataCells; };
  grid->OnDrawColumnCell = [&](TObject*, const TRect&, int, TColumn*, TGridDrawState) { ++columnCells; };
  grid->Invalidate();
  Grab(grid);
  EXPECT_EQ(dataCells, 40);
  EXPECT_EQ(columnCells, 40);
  grid->Columns()->SetState(csCustomized);
  dataCells = columnCells = 0;
  grid->Invalidate();
  Grab(grid);
  EXPECT_EQ(dataCells, 0);
  EXPECT_EQ(columnCells, 40);
}

TEST_F(DbGridLayoutGui, DrawEventsReadTheRecordOfTheRowTheyDraw) {
  // The usual custom-drawing pattern: a handler looks at the row's own
  // field values (here the document number) while its cell is drawn.
  std::map<int, std::string> numberByRowTop;
  grid->OnDrawColumnCell = [&](TObject*, const TRect& rect, int, TColumn* column, TGridDrawState) {
    if (column->FieldName() == "PLA_DO1") numberByRowTop[rect.Top] = column->Field()->AsString();
  };
  ds->First();
  ds->MoveBy(3);
  grid->Invalidate();
  Grab(grid);
  ASSERT_EQ(static_cast<int>(numberByRowTop.size()), 8);
  int row = 0;
  for (const auto& [top, number] : numberByRowTop) EXPECT_EQ(number, std::to_string(++row));
  EXPECT_EQ(ds->FieldByName("PLA_DO1")->AsString(), "4");  // the current record is put back
}

TEST_F(DbGridLayoutGui, RightClickShowsTheColumnsMenu) {
  auto* menu = new TPopupMenu(form);
  int shown = 0;
  menu->OnPopup = [&](TObject*) { ++shown; };
  Column(2)->SetPopupMenu(menu);
  auto rightClick = [&](int dataCol) {
    TRect r = Cell(dataCol, 1);
    QPoint at(r.Left + 5 + 2, r.Top + 5 + 2);
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, grid->Widget()->mapToGlobal(at));
    QApplication::sendEvent(grid->Widget(), &e);
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  };
  rightClick(1);
  EXPECT_EQ(shown, 0);
  rightClick(2);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(menu->PopupComponent(), grid);
  menu->SetAutoPopup(false);
  rightClick(2);
  EXPECT_EQ(shown, 1);
  delete menu;
  EXPECT_EQ(Column(2)->PopupMenu(), nullptr);
}

}  // namespace
