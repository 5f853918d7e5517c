// A small journal grid rendered to dbgrid_small.png (kept under the build
// tree's artifacts) and checked by pixel facts rather than a stored
// picture: what the title band and indicator hold, the highlight band of
// the current row, the grid lines, where the texts sit, and the band
// moving with the record.
#include <string>

#include "platform/gui/testing/gui_environment.h"
#include "platform/gui/testing/gui_pixels.h"
#include "ui/tests/dbgrid_test_support.h"

namespace {

struct DbGridScreenshotGui : ::testing::Test {
  TForm* form = nullptr;
  VectorDataSet* ds = nullptr;
  TDBGrid* grid = nullptr;

  void SetUp() override {
    form = NewForm<TForm>(Application);
    form->SetBounds(40, 40, 420, 260);
    ds = new VectorDataSet(form);
    ds->FieldDefs().Add("PLA_DO1", ftString, 8);
    ds->FieldDefs().Add("PLA_KOM", ftString, 20);
    ds->FieldDefs().Add("PLA_HOD", ftFloat);
    const char* texts[] = {"Tržba", "Nájem", "Mzdy", "Vklad", "Poplatek"};
    for (int i = 0; i < 5; ++i)
      ds->AddRow({Variant(IntToStr(1001 + i)), Variant(Cz(texts[i])), Variant((i % 2 ? -1 : 1) * (1234.5 + i * 1111))});
    ds->Open();
    static_cast<TFloatField*>(ds->FieldByName("PLA_HOD"))->SetDisplayFormat("#,##0.00");
    auto* source = new TDataSource(form);
    source->SetDataSet(ds);
    grid = new TDBGrid(form);
    grid->SetParent(form);
    grid->SetBounds(8, 8, 380, 160);
    grid->SetOptions({dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection});
    grid->SetReadOnly(true);
    grid->SetDataSource(source);
    auto* other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(8, 180, 80, 21);
    form->Show();
    Application->ProcessMessages();
    other->SetFocus();
  }
  void TearDown() override { delete form; }

  TRect CellOnImage(int col, int row) const { return gridtest::GridFixture::OnImage(grid->CellRect(col, row)); }
  // Where a text written into a data cell lies (left or right aligned).
  TRect TextBox(const TRect& cell, const AnsiString& text, bool right) const {
    TCanvas c;
    c.Font()->Assign(grid->Font());
    int w = c.TextWidth(text), h = c.TextHeight(text);
    int x = right ? cell.Right - 3 - w : cell.Left + 2;
    return Rect(x - 1, cell.Top + 2, x + w + 1, cell.Top + 2 + h);
  }
  // Pixels of r outside box that are none of colors.
  static int OtherOutside(const QImage& img, const TRect& r, const TRect& box, std::initializer_list<TColor> colors) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        if (box.Contains(Point(x, y))) continue;
        n += CountOther(img, Rect(x, y, x + 1, y + 1), colors);
      }
    return n;
  }
  // The first image row at column x, from top, holding the highlight.
  static int HighlightTop(const QImage& img, int x) {
    for (int y = 0; y < img.height(); ++y)
      if (PixelAt(img, x, y) == ColorToRGB(clHighlight)) return y;
    return -1;
  }
};

TEST_F(DbGridScreenshotGui, SmallJournalGridPixelFacts) {
  ASSERT_EQ(grid->RowCount(), 6);
  ASSERT_EQ(grid->ColCount(), 4);
  ds->Next();
  QImage img = Grab(grid);
  SaveArtifact(img, "dbgrid_small.png");
  const std::initializer_list<TColor> face = {clBtnFace, clBtnHighlight, clBtnShadow};

  // Title band: face and edges, the caption only where it is written.
  EXPECT_EQ(CountOther(img, CellOnImage(0, 0), face), 0);
  for (int col = 1; col < 4; ++col) {
    TRect cell = CellOnImage(col, 0);
    TColumn* column = grid->VisibleColumn(col - 1);
    TCanvas c;
    c.Font()->Assign(grid->TitleFont());
    TRect caption = Rect(cell.Left + 1, cell.Top + 2, cell.Left + 3 + c.TextWidth(column->Title()->Caption()),
                         cell.Top + 2 + c.TextHeight("Wg"));
    EXPECT_EQ(OtherOutside(img, cell, caption, face), 0) << col;
    EXPECT_GT(CountOther(img, caption, face), 0) << col;
  }
  // Indicator: only the current row has a picture.
  int current = grid->Row();
  ASSERT_EQ(current, 2);
  for (int row = 1; row < 6; ++row) EXPECT_EQ(CountOther(img, CellOnImage(0, row), face) > 0, row == current) << row;

  // The current row's data cells are highlight but for their text.
  for (int col = 1; col < 4; ++col) {
    TRect cell = CellOnImage(col, current);
    TField* field = grid->VisibleColumn(col - 1)->Field();
    TRect box = TextBox(cell, field->DisplayText(), col == 3);
    EXPECT_EQ(OtherOutside(img, cell, box, {clHighlight}), 0) << col;
    EXPECT_GT(CountOther(img, box, {clHighlight}), 0) << col;
  }
  // Grid lines of the base's colour right of every data cell.
  for (int row = 1; row < 6; ++row)
    for (int col = 1; col < 4; ++col) {
      TRect cell = CellOnImage(col, row);
      EXPECT_EQ(PixelAt(img, cell.Right, (cell.Top + cell.Bottom) / 2), ColorToRGB(clSilver)) << col << "," << row;
    }
  // Texts: left ones start 2-4 pixels in, the amount ends 3-5 pixels
  // before the right edge.
  for (int row : {1, 3, 4, 5}) {
    TRect left = CellOnImage(2, row);
    int first = FirstInkColumn(img, left, clWindow);
    EXPECT_GE(first - left.Left, 2) << row;
    EXPECT_LE(first - left.Left, 4) << row;
    TRect amount = CellOnImage(3, row);
    int last = LastInkColumn(img, amount, clWindow);
    EXPECT_GE(amount.Right - 1 - last, 3) << row;
    EXPECT_LE(amount.Right - 1 - last, 5) << row;
  }

  // Down moves the band by one row.
  int probe = CellOnImage(2, current).Left + 1;
  int top = HighlightTop(img, probe);
  grid->SetFocus();
  KeyClick(grid, VK_DOWN);
  form->FocusControl(static_cast<TWinControl*>(form->Controls(1)));
  QImage after = Grab(grid);
  SaveArtifact(after, "dbgrid_small_down.png");
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_EQ(HighlightTop(after, probe) - top, grid->RowHeights(1) + grid->GridLineWidth());
}

}  // namespace
