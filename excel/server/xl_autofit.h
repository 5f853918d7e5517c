// Column widths: how wide a text is in the standard font, and the stored
// width (1/256 of the "0" of Arial 10, which is 7 pixels) of a column.
#pragma once

#include <cstdint>

#include "platform/rtl/ansistring.h"

namespace xl {

// Pixels of a CP1250 text in Arial (Liberation Sans) at 96 dpi: each
// character's advance rounded to whole pixels at 10 pt, scaled for other
// sizes.
int TextWidthPixels(const AnsiString& text, bool bold, double points = 10);
// The stored width of a column whose widest text is that many pixels: the
// text plus the 5-pixel cell margin.
int32_t FittedColumnWidth(int textPixels);
// Width in characters as set through ColumnWidth, and back.
int32_t ColumnWidthFromCharacters(double characters);
double CharactersFromColumnWidth(int32_t stored);
// The standard width (8 characters) as stored.
int32_t StandardColumnWidth();

}  // namespace xl
