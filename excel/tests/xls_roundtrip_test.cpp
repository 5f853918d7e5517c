// Workbooks written by the model read back into the same model; content
// the model cannot hold is named and protects its file.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "excel/biff/biff_reader.h"
#include "excel/biff/biff_strings.h"
#include "excel/biff/ole_compound.h"
#include "excel/server/xl_app.h"
#include "excel/server/xl_book.h"
#include "excel/server/xl_sheet.h"
#include "platform/rtl/system.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace xl;

namespace {

biff::SheetData& DataOf(const std::shared_ptr<IWorksheet>& sheet) {
  return std::dynamic_pointer_cast<XlSheet>(sheet)->Data();
}

// Every fact of a sheet the file holds, compared one by one.
void ExpectSameSheet(const biff::SheetData& a, const biff::SheetData& b) {
  EXPECT_EQ(a.name, b.name);
  std::size_t rows = std::max(a.rows.size(), b.rows.size());
  for (std::size_t r = 0; r < rows; ++r) {
    for (int c = 0; c < biff::kMaxColumns; ++c) {
      const biff::Cell* x = a.Find(static_cast<int>(r), c);
      const biff::Cell* y = b.Find(static_cast<int>(r), c);
      bool xUsed = x && x->kind != biff::CellKind::None && (x->kind != biff::CellKind::Blank || x->style != 0);
      bool yUsed = y && y->kind != biff::CellKind::None && (y->kind != biff::CellKind::Blank || y->style != 0);
      ASSERT_EQ(xUsed, yUsed) << "cell " << r << "," << c;
      if (!xUsed) continue;
      EXPECT_EQ(x->kind, y->kind) << r << "," << c;
      EXPECT_EQ(x->text, y->text) << r << "," << c;
      EXPECT_EQ(x->number, y->number) << r << "," << c;
      EXPECT_EQ(x->boolean, y->boolean) << r << "," << c;
      EXPECT_TRUE(a.styles[x->style] == b.styles[y->style]) << "format of " << r << "," << c;
    }
    uint16_t ha = r < a.rows.size() ? a.rows[r].height : 0, hb = r < b.rows.size() ? b.rows[r].height : 0;
    EXPECT_EQ(ha, hb) << "height of row " << r;
    int la = r < a.rows.size() ? a.rows[r].outlineLevel : 0, lb = r < b.rows.size() ? b.rows[r].outlineLevel : 0;
    EXPECT_EQ(la, lb) << "level of row " << r;
  }
  EXPECT_EQ(a.columnWidths, b.columnWidths);
  ASSERT_EQ(a.hyperlinks.size(), b.hyperlinks.size());
  for (std::size_t i = 0; i < a.hyperlinks.size(); ++i) {
    EXPECT_EQ(a.hyperlinks[i]->area, b.hyperlinks[i]->area);
    EXPECT_EQ(a.hyperlinks[i]->address, b.hyperlinks[i]->address);
    EXPECT_EQ(a.hyperlinks[i]->subAddress, b.hyperlinks[i]->subAddress);
  }
  ASSERT_EQ(a.charts.size(), b.charts.size());
  for (std::size_t i = 0; i < a.charts.size(); ++i) {
    const biff::Chart &x = *a.charts[i], &y = *b.charts[i];
    EXPECT_EQ(x.type, y.type) << "chart " << i;
    EXPECT_EQ(x.hasSource, y.hasSource);
    EXPECT_EQ(x.source, y.source);
    EXPECT_EQ(x.categoryLabels, y.categoryLabels);
    EXPECT_EQ(x.seriesLabels, y.seriesLabels);
    EXPECT_EQ(x.hasLegend, y.hasLegend);
    // The frame is kept as cells and fractions of them.
    EXPECT_NEAR(x.left, y.left, 0.5);
    EXPECT_NEAR(x.top, y.top, 0.5);
    EXPECT_NEAR(x.width, y.width, 1);
    EXPECT_NEAR(x.height, y.height, 1);
  }
}

}  // namespace

TEST(XlsRoundTrip, ValuesFormatsHyperlinksAndChartsReadBackIntoTheSameModel) {
  TempDir dir;
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(2);
  auto book = app->Workbooks()->Add(Variant());
  auto sheet = book->Worksheets()->Item(1);
  sheet->SetName(Cz("Údaje"));
  auto a1 = sheet->Range("A1", "A1");
  a1->Resize(1, 4)->SetValue(Variant::Array({Variant(""), Variant(Cz("Příjem")), Variant("31.12.2024"), Variant(true)}));
  for (int r = 1; r < 6; ++r) {
    a1->Offset(r, 0)->Resize(1, 4)->SetValue(
        Variant::Array({Variant("m" + std::to_string(r)), Variant(r * 1.5), Variant(-r * 1e9), Variant(r * 7.0)}));
  }
  a1->Offset(3, 0)->EntireRow()->SetOutlineLevel(3);
  a1->Font()->SetItalic(true);
  a1->Font()->SetColor(0x00FF00);
  a1->Offset(1, 1)->Font()->SetUnderline(true);
  a1->Offset(1, 2)->Font()->SetStrikethrough(true);
  a1->Offset(2, 1)->SetOrientation(-30);
  a1->Offset(2, 2)->SetIndentLevel(4);
  a1->Offset(2, 3)->SetWrapText(true);
  a1->Offset(3, 1)->SetShrinkToFit(true);
  a1->Offset(3, 2)->Borders(xlEdgeTop)->SetLineStyle(xlDashDotDot);
  a1->Offset(3, 2)->Borders(xlEdgeRight)->SetWeight(xlThick);
  a1->Offset(3, 3)->Interior()->SetPattern(xlPatternGrid);
  a1->Offset(3, 3)->Interior()->SetColor(0xCCFFFF);
  a1->Offset(3, 3)->Interior()->SetPatternColor(0x0000FF);
  a1->Offset(4, 1)->Interior()->SetColor(0x00FFFF);
  sheet->Range("H10", "H10")->SetHorizontalAlignment(xlRight);  // formatted, empty
  sheet->Range("B1", "B1")->EntireColumn()->SetColumnWidth(17.5);
  sheet->Range("A3", "A4")->SetRowHeight(33.25);
  sheet->Hyperlinks()->Add(sheet->Range("A7", "A7"), "http://example.invalid/x", "");
  sheet->Hyperlinks()->Add(sheet->Range("B7", "C8"), Cz("..\\složka\\kniha.xls"), "List2!B2");
  sheet->Hyperlinks()->Add(sheet->Range("D7", "D7"), "", Cz("'Údaje'!A1"));
  const int types[] = {1, 58, 4, 5, -4151, -4169, -4098, 61, -4101, -4102, -4100, -4120, 51};
  int i = 0;
  for (int type : types) {
    auto chart = sheet->ChartObjects()->Add(40.0 * i, 15.0 * i + 3, 200 + i, 120 + 2 * i);
    chart->Chart()->SetChartType(type);
    chart->Chart()->ChartWizard(sheet->Range(i % 2 ? "A1" : "B2", "D6"), 1, 1, i % 3 ? 1 : 0);
    ++i;
  }
  auto second = book->Worksheets()->Item(2);
  second->Range("B2", "B2")->SetValue(Variant("druhý"));
  second->ChartObjects()->Add(10, 10, 100, 50);  // no data yet
  book->SaveAs(dir.File("roundtrip.xls"));

  auto reader = CreateInProcessExcel();
  auto opened = reader->Workbooks()->Open(dir.File("roundtrip.xls"));
  auto own = std::dynamic_pointer_cast<XlBook>(opened);
  EXPECT_TRUE(own->NotKept().empty()) << own->NotKept().front();
  ASSERT_EQ(opened->Worksheets()->Count(), 2);
  ExpectSameSheet(DataOf(sheet), DataOf(opened->Worksheets()->Item(1)));
  ExpectSameSheet(DataOf(second), DataOf(opened->Worksheets()->Item(2)));
  // A workbook read whole may be saved over its file.
  opened->Save();
  EXPECT_TRUE(biff::ReadXlsFile(dir.Read("roundtrip.xls")).notKept.empty());
  EXPECT_EQ(ErrorMessage([&] { reader->Workbooks()->Open(dir.File("roundtrip.xls")); }),
            "A workbook named roundtrip.xls is already open");
  reader->Quit();
  app->Quit();
}

TEST(XlsRoundTrip, ContentNotKeptIsNamedAndProtectsItsFile) {
  // A text with a Greek letter, as another program would write it: a LABEL
  // record in UTF-16 added to the sheet.
  biff::SheetData sheet;
  sheet.name = "A";
  sheet.At(0, 0).kind = biff::CellKind::Number;
  biff::WorkbookData wb;
  wb.sheets.push_back(&sheet);
  std::string stream = biff::BuildWorkbookStream(wb);
  std::string label;
  biff::Put16(label, 1);
  biff::Put16(label, 0);
  biff::Put16(label, 15);
  biff::AppendUnicodeString(label, u"\u03B1=1", false);
  std::string record;
  biff::AppendRecord(record, 0x0204, label);
  stream.insert(stream.size() - 4, record);  // before the sheet's EOF
  TempDir dir;
  dir.Write("greek.xls", biff::BuildCompoundFile(stream));

  auto app = CreateInProcessExcel();
  auto book = app->Workbooks()->Open(dir.File("greek.xls"));
  EXPECT_EQ(book->Worksheets()->Item(1)->Range("A2", "A2")->Value().AsString(), "?=1");
  const std::string refusal = "This workbook holds content that would be lost; save it under another name.";
  EXPECT_EQ(ErrorMessage([&] { book->Save(); }), refusal);
  EXPECT_EQ(ErrorMessage([&] { book->SaveAs(dir.Path() + "./greek.xls"); }), refusal);
  EXPECT_EQ(ErrorMessage([&] { book->SaveAs(dir.Path() + "GREEK.XLS"); }), refusal);
  EXPECT_EQ(dir.Read("greek.xls"), biff::BuildCompoundFile(stream));
  book->SaveAs(dir.File("copy.xls"));  // another name is fine
  EXPECT_TRUE(biff::ReadXlsFile(dir.Read("copy.xls")).notKept.empty());
  app->Quit();
}

TEST(XlsRoundTrip, TheFixtureWorkbooksReadWriteAndReadIntoTheSameModel) {
  // The fixture program's files, as committed for the fuzz target.
  const std::string dir = std::string(EXCEL_SOURCE_DIR) + "/fuzz/xls_reader_seeds/";
  for (const char* name : {"basic.xls", "alignments.xls", "formats.xls", "charts.xls"}) {
    SCOPED_TRACE(name);
    std::ifstream in(dir + name, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(file.empty());
    biff::ReadWorkbookResult first = biff::ReadXlsFile(file);
    EXPECT_TRUE(first.notKept.empty());
    biff::WorkbookData wb;
    for (const auto& sheet : first.sheets) wb.sheets.push_back(&sheet);
    wb.activeSheet = first.activeSheet;
    // XFs may be numbered in another order; the model must not change.
    std::string again = biff::BuildXlsFile(wb);
    biff::ReadWorkbookResult second = biff::ReadXlsFile(again);
    ASSERT_EQ(first.sheets.size(), second.sheets.size());
    for (std::size_t i = 0; i < first.sheets.size(); ++i) ExpectSameSheet(first.sheets[i], second.sheets[i]);
  }
}
