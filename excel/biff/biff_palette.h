// The 56 colours every Excel 97-2003 workbook starts with (palette indexes
// 8 to 63); a PALETTE record replaces them.
#pragma once

#include <cstdint>

namespace biff {

// RRGGBB of a palette index (8-63); 0 for anything else.
uint32_t DefaultPaletteRgb(int index);

}  // namespace biff
