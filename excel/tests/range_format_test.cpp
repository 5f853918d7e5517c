// The formatting properties of range items: clamps, equal values, and the
// exact calls they make on the server.
#include <gtest/gtest.h>

#include "excel/excel_app.h"
#include "excel/tests/support/recording_server.h"

namespace {

struct FormatTree {
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  TOfExcel excel{nullptr};
  TOfExcelRange* range = nullptr;
  FormatTree() {
    excel.OnGetInstance = [this](TObject*, xl::XlRef& instance, xl::TGUID, xl::TGUID) {
      instance = CreateRecordingExcel(log);
    };
    excel.SetConnected(true);
    range = excel.Workbooks()->Add()->Worksheets()->Items(0)->Ranges()->Add();
    range->SetAddress("B2:C3");
    log->calls.clear();
  }
  // The calls made by action, without the objects asked for on the way.
  std::vector<std::string> Calls(const std::function<void(TOfExcelRange&)>& action) {
    log->calls.clear();
    action(*range);
    std::vector<std::string> out;
    for (const std::string& c : log->calls) {
      if (c != "Range.Font()" && c != "Range.Interior()" && c.rfind("Range.Borders(", 0) != 0) out.push_back(c);
    }
    return out;
  }
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(RangeFormat, DefaultsAreThoseOfANewRange) {
  TOfExcel excel(nullptr);
  TOfExcelRange* r = excel.Workbooks()->Add()->Worksheets()->Items(0)->Ranges()->Add();
  EXPECT_EQ(r->FontColor(), clWindowText);
  EXPECT_EQ(r->Color(), clWindow);
  EXPECT_EQ(r->PatternColor(), 0xFFFFFFu);
  EXPECT_EQ(r->FontSize(), 12);
  EXPECT_EQ(r->ColumnWidth(), 20);
  EXPECT_EQ(r->RowHeight(), 12);
  EXPECT_EQ(r->HorizontalAlignment(), xlchaLeft);
  EXPECT_EQ(r->VerticalAlignment(), xlcvaBottom);
  EXPECT_EQ(r->Orientation(), xlcoHorizontal);
  EXPECT_EQ(r->Pattern(), xlipPatternNone);
  EXPECT_EQ(r->BorderStyle(), xlblsLineStyleNone);
  EXPECT_EQ(r->BorderLineWeight(), xlbwHairline);
  // Disconnected: stored, nothing to write to.
  r->SetIndentLevel(20);
  EXPECT_EQ(r->IndentLevel(), 15);
}

TEST(RangeFormat, EachPropertyMakesItsCallsWithItsValues) {
  FormatTree t;
  struct Case {
    const char* what;
    std::function<void(TOfExcelRange&)> action;
    Calls calls;
  } cases[] = {
      {"font name", [](TOfExcelRange& r) { r.SetFontName("Courier New"); }, {"Font.SetName(Courier New)"}},
      {"font colour resolved", [](TOfExcelRange& r) { r.SetFontColor(clWindow); }, {"Font.SetColor(16777215)"}},
      {"font colour as RGB", [](TOfExcelRange& r) { r.SetFontColor(0x0000FF); }, {"Font.SetColor(255)"}},
      {"font size", [](TOfExcelRange& r) { r.SetFontSize(9); }, {"Font.SetSize(9)"}},
      {"font size 0 ignored", [](TOfExcelRange& r) { r.SetFontSize(0); }, {}},
      {"font attributes, all four",
       [](TOfExcelRange& r) { r.SetFontAttributes(TOfXlFontAttributes{xlfaItalic, xlfaStrikethrough}); },
       {"Font.SetBold(false)", "Font.SetItalic(true)", "Font.SetUnderline(false)", "Font.SetStrikethrough(true)"}},
      {"font attributes again", [](TOfExcelRange& r) { r.SetFontAttributes(TOfXlFontAttributes{xlfaItalic, xlfaStrikethrough}); },
       {"Font.SetBold(false)", "Font.SetItalic(true)", "Font.SetUnderline(false)", "Font.SetStrikethrough(true)"}},
      {"indent 20 -> 15", [](TOfExcelRange& r) { r.SetIndentLevel(20); }, {"Range.SetIndentLevel(15)"}},
      {"indent -3 -> 1", [](TOfExcelRange& r) { r.SetIndentLevel(-3); }, {"Range.SetIndentLevel(1)"}},
      {"indent 0 -> 1, unchanged", [](TOfExcelRange& r) { r.SetIndentLevel(0); }, {}},
      {"rotation while horizontal", [](TOfExcelRange& r) { r.SetRotateDegrees(120); }, {}},
      {"rotated writes the degrees", [](TOfExcelRange& r) { r.SetOrientation(xlcoRotated); }, {"Range.SetOrientation(90)"}},
      {"degrees while rotated", [](TOfExcelRange& r) { r.SetRotateDegrees(-120); }, {"Range.SetOrientation(-90)"}},
      {"upward", [](TOfExcelRange& r) { r.SetOrientation(xlcoUpward); }, {"Range.SetOrientation(-4171)"}},
      {"shrink", [](TOfExcelRange& r) { r.SetShrinkToFit(true); }, {"Range.SetShrinkToFit(true)"}},
      {"wrap", [](TOfExcelRange& r) { r.SetWrapText(true); }, {"Range.SetWrapText(true)"}},
      {"wrap unchanged", [](TOfExcelRange& r) { r.SetWrapText(true); }, {}},
      {"horizontal", [](TOfExcelRange& r) { r.SetHorizontalAlignment(xlchaCenter); }, {"Range.SetHorizontalAlignment(-4108)"}},
      {"vertical", [](TOfExcelRange& r) { r.SetVerticalAlignment(xlcvaTop); }, {"Range.SetVerticalAlignment(-4160)"}},
      {"column width", [](TOfExcelRange& r) { r.SetColumnWidth(30); }, {"Range.SetColumnWidth(30)"}},
      {"column width -1 ignored", [](TOfExcelRange& r) { r.SetColumnWidth(-1); }, {}},
      {"row height", [](TOfExcelRange& r) { r.SetRowHeight(25); }, {"Range.SetRowHeight(25)"}},
      {"row height 0 ignored", [](TOfExcelRange& r) { r.SetRowHeight(0); }, {}},
      {"colour as stored", [](TOfExcelRange& r) { r.SetColor(clBtnFace); }, {"Interior.SetColor(-2147483633)"}},
      {"pattern", [](TOfExcelRange& r) { r.SetPattern(xlipPatternGray25); }, {"Interior.SetPattern(-4124)"}},
      {"pattern colour", [](TOfExcelRange& r) { r.SetPatternColor(0x00FF00); }, {"Interior.SetPatternColor(65280)"}},
      {"borders write nothing", [](TOfExcelRange& r) { r.SetBorders(TOfXlBorders{xlbLeft, xlbTop}); }, {}},
      {"double on left and top",
       [](TOfExcelRange& r) { r.SetBorderStyle(xlblsDouble); },
       {"Border.SetLineStyle(7=-4119)", "Border.SetLineStyle(8=-4119)", "Border.SetLineStyle(9=-4142)",
        "Border.SetLineStyle(10=-4142)"}},
      {"weight on the chosen edges", [](TOfExcelRange& r) { r.SetBorderLineWeight(xlbwThick); },
       {"Border.SetWeight(7=4)", "Border.SetWeight(8=4)"}},
  };
  for (const Case& c : cases) EXPECT_EQ(t.Calls(c.action), c.calls) << c.what;
  EXPECT_EQ(t.range->RotateDegrees(), -90);
  EXPECT_EQ(t.range->IndentLevel(), 1);
  // The model holds what was written.
  auto cell = t.range->Range();
  EXPECT_EQ(cell->Borders(xl::xlEdgeLeft)->LineStyle(), xl::xlDouble);
  EXPECT_EQ(cell->Borders(xl::xlEdgeBottom)->LineStyle(), xl::xlLineStyleNone);
  EXPECT_EQ(cell->Interior()->Pattern(), xl::xlPatternGray25);
  EXPECT_EQ(cell->Interior()->Color(), 0xC0C0C0);  // the button face's grey
  EXPECT_EQ(cell->Font()->Color(), 0x0000FF);
  EXPECT_EQ(cell->RowHeight(), 25);
}
