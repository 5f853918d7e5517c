// The in-process spreadsheet model: addresses, typed entry, sheet rules,
// events and saving.
#include <gtest/gtest.h>

#include "excel/server/xl_app.h"
#include "excel/server/xl_range.h"
#include "excel/server/xl_typed_entry.h"

using namespace xl;

TEST(XlAddress, ParsesCellsAreasColumnsAndRows) {
  struct Row {
    const char* text;
    bool ok;
    CellRect rect;
    const char* back;
  } rows[] = {
      {"A1", true, {0, 0, 0, 0}, "A1"},
      {"$B$2", true, {1, 1, 1, 1}, "B2"},
      {"b$3", true, {2, 1, 2, 1}, "B3"},
      {"A1:D4", true, {0, 0, 3, 3}, "A1:D4"},
      {"D4:A1", true, {0, 0, 3, 3}, "A1:D4"},
      {"IV65536", true, {65535, 255, 65535, 255}, "IV65536"},
      {"A:C", true, {0, 0, 65535, 2}, "A:C"},
      {"$B:$B", true, {0, 1, 65535, 1}, "B:B"},
      {"3:5", true, {2, 0, 4, 255}, "3:5"},
      {"IW1", false, {}, ""},
      {"A0", false, {}, ""},
      {"A65537", false, {}, ""},
      {"A01", false, {}, ""},
      {"", false, {}, ""},
      {"$", false, {}, ""},
      {"A$", false, {}, ""},
      {"A1:B", false, {}, ""},
      {"A1:", false, {}, ""},
      {"ABC1", false, {}, ""},
      {"1A", false, {}, ""},
      {"A1 ", false, {}, ""},
      {"A", false, {}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    CellRect rect;
    ASSERT_EQ(ParseA1(row.text, rect), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(rect, row.rect);
    EXPECT_EQ(FormatA1(rect, false, false), row.back);
  }
  EXPECT_EQ(FormatA1({1, 1, 2, 2}, true, true), "$B$2:$C$3");
}
