// Our own pictures for the date edits, the calendar's navigation buttons,
// the combo edit's drop-down arrow and the picking grid's indicator column,
// registered under their resource names on first use (the ui library is
// static, so nothing may rely on a static initialiser).
#pragma once

// Registers every picture below once; later calls do nothing.
//   "DEDITBMP"        28 x 12, two 14-pixel glyphs (calendar, enabled and disabled)
//   "PREVYEAR", "PREVMONTH", "NEXTMONTH", "NEXTYEAR"   navigation arrows
//   "COMBOARROW"      the drop-down arrow
//   "DBGARROWKUVET", "DBEDITKUVET", "DBINSERTKUVET", "DBCHECKED",
//   "DBCHEARROW", "DBCHEEDIT", "DBCHEINSERT"           8 x 13, white see-through
void RegisterGridAndDatePictures();
