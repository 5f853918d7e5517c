// The workbook colour palette: cells refer to colours by index into the 56
// colours every Excel 97-2003 workbook starts with (indexes 8-63). An RGB
// colour is kept as the nearest palette colour, as the program does when
// it saves in that format. Colours are 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstdint>

namespace xl {

// The colour of a palette index (8-63); black for anything else.
uint32_t PaletteColour(int index);
// The palette index (8-63) nearest to the colour (by squared distance; the
// lowest index among equals).
uint8_t NearestPaletteIndex(uint32_t bgr);

// A colour as RGB: system colours (high byte 0x80, the index in the low
// byte) and the "none"/"default" values through the installed resolver;
// without one the window colour is white and every other one black.
uint32_t ResolveColour(uint32_t colour);
// Installs the resolver (the GUI layer's system colours); returns the
// previous one.
using ColourResolver = uint32_t (*)(uint32_t);
ColourResolver SetColourResolver(ColourResolver resolver);

}  // namespace xl
