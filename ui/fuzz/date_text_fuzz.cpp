// Fuzz target of the date and time texts users type: arbitrary bytes
// completed as a date and as a time against a fixed base, and read as a
// date by the default formats. A rejected completion must leave no text; a
// parse either gives a valid date or the default.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/rtl/datetime.h"
#include "ui/common/date_util.h"
#include "ui/edits/date_time_completion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static TPinnedClock clock(EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0));
  const std::string input(reinterpret_cast<const char*>(data), size);
  const TDateTime base = EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0);
  for (auto complete : {CompleteDateText, CompleteTimeText}) {
    AnsiString text = input;
    if (!complete(text, base) && !text.empty()) std::abort();
  }
  for (const char* format : {"DD/MM/YYYY", "MM/DD/YY", "YYYY/MM/DD", "DD/MMM/YYYY"}) {
    TDateTime date = StrToDateFmtDef(format, input, -1.0);
    if (date != -1.0 && date != NullDate && !IsValidDate(date)) std::abort();
  }
  return 0;
}
