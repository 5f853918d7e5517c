// The sheet model the workbook writer stores, and the writer itself: an
// Excel 97-2003 workbook (BIFF8 records in a compound file).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "excel/biff/biff_records.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/sysutils.h"

namespace biff {

RTL_EXCEPTION(EBiffError, Exception)

// One edge of a cell's border: the line code (kLine*) and its colour.
struct BorderLine {
  uint8_t line = kLineNone;
  uint8_t colour = kColourAutomaticLine;
  friend auto operator<=>(const BorderLine&, const BorderLine&) = default;
};

enum BorderEdge : uint8_t { kEdgeLeft = 0, kEdgeRight, kEdgeTop, kEdgeBottom };

// The format of a cell as the file stores it: font, number format,
// alignment, rotation, indent, wrap and shrink, borders and fill. Font
// heights are in twentieths of a point; an empty number format is
// "General"; colours are indexes of the workbook's palette (8-63) or the
// automatic colours.
struct CellFormat {
  AnsiString fontName = "Arial";
  uint16_t fontHeight = 200;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  uint16_t fontColour = kColourAutomaticFont;
  AnsiString numberFormat;
  uint8_t hAlign = kHGeneral;
  uint8_t vAlign = kVBottom;
  uint8_t rotation = 0;  // 0-90 up, 91-180 down (90 - angle), 255 stacked
  uint8_t indent = 0;    // 0-15
  bool wrap = false;
  bool shrink = false;
  std::array<BorderLine, 4> borders{};  // by BorderEdge
  // Fill: the pattern code (0 none, 1 solid, 2-18 the patterns); the cell's
  // colour and the colour the pattern is drawn in. A solid fill shows
  // fillColour; other patterns draw patternColour over fillColour.
  uint8_t pattern = 0;
  uint8_t fillColour = kColourAutomaticBack;
  uint8_t patternColour = kColourAutomaticLine;
  friend bool operator==(const CellFormat&, const CellFormat&) = default;
};

enum class CellKind : uint8_t { None, Blank, Number, Text, Boolean };

struct Cell {
  CellKind kind = CellKind::None;
  uint16_t style = 0;  // index into the sheet's styles
  bool boolean = false;
  double number = 0;
  AnsiString text;  // CP1250, at most kMaxCellChars characters
};

struct Row {
  std::vector<Cell> cells;   // by column; kind None past the used ones
  uint8_t outlineLevel = 0;  // 0 (outline level 1) .. 7
  uint16_t height = 0;       // twips (1/20 point); 0: the standard height
};

// Cells from row0/col0 to row1/col1 (from 0, both ends included).
struct CellArea {
  int row0 = 0, col0 = 0, row1 = 0, col1 = 0;
  friend bool operator==(const CellArea&, const CellArea&) = default;
};

// A hyperlink on cells: an address (a URL with its scheme, or a file name,
// relative or absolute) and/or a place in the workbook ("Sheet!A1").
struct Hyperlink {
  CellArea area;
  AnsiString address;
  AnsiString subAddress;
};

// The chart type written when a chart's type is none the file layer knows
// (a clustered column chart).
constexpr int kDefaultChartType = 51;

// An embedded chart: its frame in points from the sheet's top-left corner,
// its type (the object model's number), and its data: a range of its own
// sheet whose first row and column hold the series names and categories
// when the labels are 1.
struct Chart {
  double left = 0, top = 0, width = 0, height = 0;
  int type = kDefaultChartType;
  bool hasSource = false;
  CellArea source;
  int categoryLabels = 1;
  int seriesLabels = 1;
  bool hasLegend = true;
};

// One worksheet: cells by row and column, column widths and default styles,
// row outline levels, the summary-row setting and the selection.
struct SheetData {
  AnsiString name;
  std::vector<Row> rows;
  std::array<int32_t, kMaxColumns> columnWidths;  // 1/256 of a "0"; -1: standard
  std::array<uint16_t, kMaxColumns> columnStyles{};
  bool summaryBelow = true;
  int activeRow = 0, activeColumn = 0;
  int selFirstRow = 0, selLastRow = 0, selFirstColumn = 0, selLastColumn = 0;
  std::vector<CellFormat> styles{CellFormat{}};  // index 0: the default
  // Shared with the server objects that stand for them.
  std::vector<std::shared_ptr<Hyperlink>> hyperlinks;
  std::vector<std::shared_ptr<Chart>> charts;

  SheetData() { columnWidths.fill(-1); }
  // The index of format in styles, added when new.
  uint16_t StyleIndex(const CellFormat& format);
  // The cell, created (kind None) when the row or column was not used yet.
  Cell& At(int row, int column);
  // The cell, or null when it was never created.
  const Cell* Find(int row, int column) const;
  Cell* Find(int row, int column);
};

struct WorkbookData {
  std::vector<const SheetData*> sheets;
  int activeSheet = 0;
};

// The workbook stream (BIFF8 records of the globals and of each sheet).
// Raises EBiffError for data the format cannot hold (no sheet, a text above
// kMaxCellChars characters).
std::string BuildWorkbookStream(const WorkbookData& workbook);
// The whole .xls file.
std::string BuildXlsFile(const WorkbookData& workbook);

}  // namespace biff
