// JPEG encoding of pictures for the file renderers (PDF image objects and
// the HTML pages' cache files), through libjpeg: baseline, 8-bit RGB.
#pragma once

#include <string>

#include "platform/gui/graphics.h"

// The bitmap (any pixel format, converted to 24-bit RGB) as JPEG bytes at
// quality 1..100 (clamped). An empty bitmap or a libjpeg failure raises
// EReportError; nothing is left allocated.
std::string EncodeJpeg(const TBitmap& bitmap, int quality);
