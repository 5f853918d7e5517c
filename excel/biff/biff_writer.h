// The sheet model the workbook writer stores, and the writer itself: an
// Excel 97-2003 workbook (BIFF8 records in a compound file).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "excel/biff/biff_records.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/sysutils.h"

namespace biff {

RTL_EXCEPTION(EBiffError, Exception)

// The format of a cell: font, number format and alignment. Font heights are
// in twentieths of a point; an empty number format is "General".
struct CellFormat {
  AnsiString fontName = "Arial";
  uint16_t fontHeight = 200;
  bool bold = false;
  AnsiString numberFormat;
  uint8_t hAlign = kHGeneral;
  uint8_t vAlign = kVBottom;
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
