// Reads an Excel 97-2003 workbook (BIFF8 in a compound file) into the sheet
// model the writer stores: values (a formula keeps its last value), number
// formats, fonts, alignment, borders, fills, column widths, row heights and
// outline levels, hyperlinks and embedded charts (type, frame, data range,
// legend). Whatever else the file holds is skipped and named in notKept,
// so that a caller never writes back less than it read without knowing.
// Texts become CP1250; a character outside it becomes "?" (and is named).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "excel/biff/biff_writer.h"

namespace biff {

struct ReadWorkbookResult {
  std::vector<SheetData> sheets;
  int activeSheet = 0;
  // What was skipped, each kind once ("formulas", "comments", ...).
  std::vector<std::string> notKept;
};

// Raises EBiffError with a clear text for a damaged, encrypted or older
// file; every length and count is checked against its record and stream.
ReadWorkbookResult ReadXlsFile(std::string_view file);
ReadWorkbookResult ReadWorkbookRecords(std::string_view stream);

}  // namespace biff
