// Writes the workbooks the independent readers check: through the
// in-process model, as the components drive it.
//   xls_fixture_writer DIR            basic.xls (every kind of cell and format),
//                                     alignments.xls, formats.xls (fonts,
//                                     rotation, borders, fills, row heights,
//                                     hyperlinks), charts.xls (every chart
//                                     type)
//   xls_fixture_writer --dump FILE    prints what our reader reads (JSON)
//   xls_fixture_writer DIR --large    also big.xls (65 000 x 12) and
//                                     strings.xls (40 000 distinct texts)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <charconv>

#include "excel/biff/biff_reader.h"
#include "excel/server/xl_app.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"

using namespace xl;

namespace {

void WriteBasic(const std::string& dir) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(1);
  auto book = app->Workbooks()->Add(Variant());
  auto first = book->Worksheets()->Item(1);
  auto sheet = book->Worksheets()->Add(first);
  sheet->SetName(Cz("Přehled"));
  sheet->Outline()->SetSummaryRow(xlSummaryAbove);
  auto a1 = sheet->Range("A1", "A1");
  a1->Resize(1, 4)->SetValue(Variant::Array({Variant(Cz("Číslo")), Variant("Datum"), Variant(Cz("Částka")), Variant("Pravda")}));
  a1->Resize(1, 4)->Font()->SetBold(true);
  a1->Resize(1, 4)->SetHorizontalAlignment(xlCenter);
  struct Row {
    const char* text;
    const char* date;
    Variant amount;
    bool flag;
    int level;
  } rows[] = {
      {"0001", "31.12.2024", Variant("1234,5"), true, 1},
      {"žluťoučký kůň", "28.02.1900", Variant(-500.25), false, 2},
      {"1 234,50", "01.03.1900", Variant("-0"), true, 2},
  };
  int n = 1;
  for (const Row& row : rows) {
    auto r = a1->Offset(n, 0)->Resize(1, 4);
    r->SetValue(Variant::Array({Variant(Cz(row.text)), Variant(row.date), row.amount, Variant(row.flag)}));
    r->EntireRow()->SetOutlineLevel(row.level);
    ++n;
  }
  // A formatted empty cell, other alignments and fonts.
  sheet->Range("F2", "F2")->SetHorizontalAlignment(xlRight);
  sheet->Range("E2", "E2")->SetValue(Variant("vpravo"));
  sheet->Range("E2", "E2")->SetHorizontalAlignment(xlRight);
  sheet->Range("E3", "E3")->SetValue(Variant(Cz("nahoře")));
  sheet->Range("E3", "E3")->SetVerticalAlignment(xlTop);
  sheet->Range("E4", "E4")->SetValue(Variant("Times"));
  sheet->Range("E4", "E4")->Font()->SetName("Times New Roman");
  sheet->Range("E4", "E4")->Font()->SetSize(14);
  for (int c = 0; c < 4; ++c) a1->Offset(0, c)->EntireColumn()->AutoFit();
  sheet->Range("G1", "G1")->EntireColumn()->SetColumnWidth(20);
  sheet->Range("B3", "B3")->Select();
  book->SaveAs(dir + "basic.xls");
  app->Quit();
}

// One cell per horizontal and vertical alignment, and a cell repeating
// an earlier format (which must share its XF).
void WriteAlignments(const std::string& dir) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(1);
  auto book = app->Workbooks()->Add(Variant());
  auto a1 = book->Worksheets()->Item(1)->Range("A1", "A1");
  const int horizontal[] = {xlGeneral, xlLeft, xlCenter, xlRight, xlFill, xlJustify, xlCenterAcrossSelection};
  const int vertical[] = {xlTop, xlCenter, xlBottom, xlJustify, xlDistributed};
  for (int i = 0; i < 7; ++i) {
    a1->Offset(i, 0)->SetValue(Variant("h" + std::to_string(i)));
    a1->Offset(i, 0)->SetHorizontalAlignment(horizontal[i]);
  }
  for (int i = 0; i < 5; ++i) {
    a1->Offset(i, 1)->SetValue(Variant("v" + std::to_string(i)));
    a1->Offset(i, 1)->SetVerticalAlignment(vertical[i]);
  }
  a1->Offset(7, 0)->SetValue(Variant("again"));
  a1->Offset(7, 0)->SetHorizontalAlignment(xlRight);
  book->SaveAs(dir + "alignments.xls");
  app->Quit();
}

// Every formatting property the file holds, one case a cell (the checking
// script holds the same tables), row heights and hyperlinks of each kind.
void WriteFormats(const std::string& dir) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(1);
  auto book = app->Workbooks()->Add(Variant());
  auto sheet = book->Worksheets()->Item(1);
  sheet->SetName(Cz("Formáty"));
  auto cell = [&](int r, int c) {
    auto range = sheet->Range("A1", "A1")->Offset(r, c);
    range->SetValue(Variant("x"));
    return range;
  };
  // Column A: fonts.
  cell(0, 0)->Font()->SetItalic(true);
  cell(1, 0)->Font()->SetUnderline(true);
  cell(2, 0)->Font()->SetStrikethrough(true);
  cell(3, 0)->Font()->SetColor(0x0000FF);  // red
  auto a5 = cell(4, 0);
  a5->Font()->SetBold(true);
  a5->Font()->SetItalic(true);
  a5->Font()->SetColor(0x10F010);  // nearest: green
  // Column B: orientation.
  const int orientations[] = {xlHorizontal, xlUpward, xlDownward, xlVertical, 45, -45, -90, 0};
  for (int i = 0; i < 8; ++i) cell(i, 1)->SetOrientation(orientations[i]);
  // Column C: indent, wrap, shrink.
  cell(0, 2)->SetIndentLevel(3);
  cell(1, 2)->SetWrapText(true);
  cell(2, 2)->SetShrinkToFit(true);
  // Column D: every line style with every weight on the left edge.
  const int styles[] = {xlContinuous, xlDash, xlDashDot, xlDashDotDot, xlDot, xlDouble, xlSlantDashDot, xlLineStyleNone};
  const int weights[] = {xlHairline, xlThin, xlMedium, xlThick};
  int row = 0;
  for (int style : styles) {
    for (int weight : weights) {
      auto border = cell(row++, 3)->Borders(xlEdgeLeft);
      border->SetWeight(weight);
      border->SetLineStyle(style);
    }
  }
  // Column E: four edges at once.
  auto e1 = cell(0, 4);
  e1->Borders(xlEdgeLeft)->SetLineStyle(xlDouble);
  e1->Borders(xlEdgeTop)->SetLineStyle(xlDot);
  e1->Borders(xlEdgeBottom)->SetWeight(xlThick);
  e1->Borders(xlEdgeRight)->SetLineStyle(xlDash);
  // Column F: fills.
  const int patterns[] = {xlPatternSolid, xlPatternGray50, xlPatternGray75, xlPatternGray25, xlPatternHorizontal,
                          xlPatternVertical, xlPatternDown, xlPatternUp, xlPatternChecker, xlPatternSemiGray75,
                          xlPatternLightHorizontal, xlPatternLightVertical, xlPatternLightDown, xlPatternLightUp,
                          xlPatternGrid, xlPatternCrissCross, xlPatternGray16, xlPatternGray8, xlPatternAutomatic,
                          xlPatternNone};
  row = 0;
  for (int pattern : patterns) {
    auto interior = cell(row++, 5)->Interior();
    interior->SetPattern(pattern);
    interior->SetColor(0x00FFFF);         // yellow
    interior->SetPatternColor(0x800000);  // navy
  }
  cell(row, 5)->Interior()->SetColor(0xFF0000);  // blue alone: solid
  // Row heights.
  sheet->Range("A30", "A30")->SetRowHeight(30);
  sheet->Range("A31", "A32")->SetRowHeight(7.5);
  // Hyperlinks.
  auto links = sheet->Hyperlinks();
  links->Add(cell(0, 7), "http://example.invalid/a?b=1", "");
  links->Add(cell(1, 7), "mailto:someone@example.invalid", "");
  links->Add(cell(2, 7), "..\\data\\kniha.xls", "");
  links->Add(cell(3, 7), Cz("C:\\Dokumenty\\účty.xls"), "List1!A1");
  links->Add(cell(4, 7), "", Cz("'Formáty'!B2"));
  links->Add(sheet->Range("H7", "I8"), "https://example.invalid/", "");
  book->SaveAs(dir + "formats.xls");
  app->Quit();
}

// The chart types the object model names (and the default type 51 of a
// new chart), each on the same data, plus a chart on a second sheet; a
// formatted cell and a hyperlink show that the rest reads unchanged.
void WriteCharts(const std::string& dir) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(2);
  auto book = app->Workbooks()->Add(Variant());
  auto sheet = book->Worksheets()->Item(1);
  auto a1 = sheet->Range("A1", "A1");
  a1->Resize(1, 4)->SetValue(Variant::Array({Variant(""), Variant(Cz("Příjem")), Variant(Cz("Výdej")), Variant("Zisk")}));
  const char* months[] = {"leden", "únor", "březen", "duben"};
  for (int r = 0; r < 4; ++r) {
    a1->Offset(r + 1, 0)->Resize(1, 4)->SetValue(
        Variant::Array({Variant(Cz(months[r])), Variant(100.0 + r), Variant(60.0 + 2 * r), Variant(40.0 - r)}));
  }
  a1->Font()->SetItalic(true);
  sheet->Hyperlinks()->Add(a1->Offset(6, 0), "http://example.invalid/", "");
  const int types[] = {1, 58, 4, 5, -4151, -4169, -4098, 61, -4101, -4102, -4100, -4120, 51};
  int i = 0;
  for (int type : types) {
    auto object = sheet->ChartObjects()->Add(300 + 10.5 * i, 20.25 * i, 240, 150);
    auto chart = object->Chart();
    chart->SetChartType(type);
    chart->ChartWizard(sheet->Range("A1", "D5"), 1, 1, i % 2 ? 0 : 1);
    ++i;
  }
  auto second = book->Worksheets()->Item(2);
  second->Range("A1", "A1")->Resize(3, 1)->SetValue(Variant(7.0));
  auto object = second->ChartObjects()->Add(50, 40, 200, 100);
  object->Chart()->ChartWizard(second->Range("A1", "A3"), 0, 0, 1);
  book->SaveAs(dir + "charts.xls");
  app->Quit();
}

void WriteBig(const std::string& dir) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(1);
  auto book = app->Workbooks()->Add(Variant());
  auto sheet = book->Worksheets()->Item(1);
  auto a1 = sheet->Range("A1", "A1")->Resize(1, 12);
  for (int r = 0; r < 65000; ++r) {
    std::vector<Variant> row;
    for (int c = 0; c < 12; ++c) row.push_back(c % 2 ? Variant(r * 12.0 + c) : Variant("t" + std::to_string(r % 1000)));
    a1->Offset(r, 0)->SetValue(Variant::Array(std::move(row)));
  }
  book->SaveAs(dir + "big.xls");
  app->Quit();
}

void WriteStrings(const std::string& dir) {
  auto app = CreateInProcessExcel();
  app->SetSheetsInNewWorkbook(1);
  auto book = app->Workbooks()->Add(Variant());
  auto a1 = book->Worksheets()->Item(1)->Range("A1", "A1");
  for (int r = 0; r < 40000; ++r) {
    // Every fifth text needs 16-bit characters, so both forms cross records.
    std::string text = (r % 5 ? "řetězec " : "text ") + std::to_string(r) + std::string(static_cast<std::size_t>(r % 37), 'x');
    a1->Offset(r, 0)->SetValue(Variant(Cz(text)));
  }
  book->SaveAs(dir + "strings.xls");
  app->Quit();
}

}  // namespace

// A CP1250 text as a JSON string.
std::string Json(const AnsiString& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    char32_t u = Cp1250ToUnicode(c);
    if (u == '"' || u == '\\') {
      out += '\\';
      out += static_cast<char>(u);
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
      out += buf;
    } else if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out + "\"";
}

// Prints what our reader makes of a workbook: sheets, cell values with
// their number formats, and what it did not keep.
int Dump(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return 1;
  std::string bytes;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
  std::fclose(f);
  biff::ReadWorkbookResult read = biff::ReadXlsFile(bytes);
  std::string out = "{\"sheets\": [";
  for (std::size_t s = 0; s < read.sheets.size(); ++s) {
    const biff::SheetData& sheet = read.sheets[s];
    out += (s ? ", " : "") + std::string("{\"name\": ") + Json(sheet.name) + ", \"cells\": [";
    bool first = true;
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
      for (std::size_t c = 0; c < sheet.rows[r].cells.size(); ++c) {
        const biff::Cell& cell = sheet.rows[r].cells[c];
        std::string value;
        switch (cell.kind) {
          case biff::CellKind::Text: value = Json(cell.text); break;
          case biff::CellKind::Number: {
            char n[64];
            auto res = std::to_chars(n, n + sizeof n, cell.number);
            value.assign(n, res.ptr);
            break;
          }
          case biff::CellKind::Boolean: value = cell.boolean ? "true" : "false"; break;
          default: continue;
        }
        out += (first ? "" : ", ") + std::string("[") + std::to_string(r) + ", " + std::to_string(c) + ", " + value + ", " +
               Json(sheet.styles[cell.style].numberFormat) + "]";
        first = false;
      }
    }
    out += "], \"charts\": [";
    for (std::size_t i = 0; i < sheet.charts.size(); ++i) {
      const biff::Chart& c = *sheet.charts[i];
      out += (i ? ", " : "") + std::string("{\"type\": ") + std::to_string(c.type) +
             ", \"legend\": " + (c.hasLegend ? "true" : "false") + "}";
    }
    out += "]}";
  }
  out += "], \"not_kept\": [";
  for (std::size_t i = 0; i < read.notKept.size(); ++i) out += (i ? ", " : "") + Json(read.notKept[i]);
  out += "]}\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--dump") == 0) {
    try {
      return Dump(argv[2]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "xls_fixture_writer: %s\n", e.what());
      return 1;
    }
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: xls_fixture_writer DIR [--large]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
  try {
    WriteBasic(dir);
    WriteAlignments(dir);
    WriteFormats(dir);
    WriteCharts(dir);
    if (argc > 2 && std::strcmp(argv[2], "--large") == 0) {
      WriteBig(dir);
      WriteStrings(dir);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "xls_fixture_writer: %s\n", e.what());
    return 1;
  }
  return 0;
}
