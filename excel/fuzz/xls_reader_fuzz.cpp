// The workbook reader: any bytes are a workbook or EBiffError; what was
// read can be walked (every cell, hyperlink and chart) and written again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "excel/biff/biff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  try {
    biff::ReadWorkbookResult read = biff::ReadXlsFile(file);
    std::size_t seen = 0;
    biff::WorkbookData wb;
    for (const biff::SheetData& sheet : read.sheets) {
      for (const biff::Row& row : sheet.rows) {
        for (const biff::Cell& cell : row.cells) seen += cell.text.size() + sheet.styles.at(cell.style).fontName.size();
      }
      for (const auto& link : sheet.hyperlinks) seen += link->address.size() + link->subAddress.size();
      for (const auto& chart : sheet.charts) seen += static_cast<std::size_t>(chart->type != 0);
      wb.sheets.push_back(&sheet);
    }
    wb.activeSheet = read.activeSheet;
    biff::BuildXlsFile(wb);
    (void)seen;
  } catch (const biff::EBiffError&) {
  }
  return 0;
}
