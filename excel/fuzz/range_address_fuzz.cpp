// The A1 address parser: any text is an address or EOleException; a parsed
// range survives moving and resizing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "excel/server/xl_app.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static auto app = xl::CreateInProcessExcel();
  static auto sheet = app->Workbooks()->Add(Variant())->Worksheets()->Item(1);
  std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t bar = text.find('|');
  std::string first = text.substr(0, bar);
  std::string second = bar == std::string::npos ? first : text.substr(bar + 1);
  try {
    auto range = sheet->Range(first, second);
    range->Address(true, true);
    int rows = size > 0 ? data[0] : 1;
    int columns = size > 1 ? data[1] : 1;
    range->Offset(rows - 128, columns - 128)->Resize(rows % 7 + 1, columns % 5 + 1)->Address(false, false);
  } catch (const EOleException&) {
  }
  return 0;
}
