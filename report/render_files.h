// What the file renderers share: the default extension of a renderer's
// file pattern, the check of a page stream before any file is created, and
// the pictures drawn into bitmaps for JPEG output.
#pragma once

#include <memory>

#include "platform/gui/graphics.h"
#include "platform/rtl/streams.h"

// ".html" of "*.html;*.htm": from the first "." to before the first ";".
AnsiString DefaultExtension(const AnsiString& pattern);
// Reads the stream's header and page chain (EReportError / EReadError when
// damaged) and answers the number of pages; the stream is left at 0.
int CheckedPageCount(TStream* stream);
// A white bitmap of width x height pixels with the graphic stretched over
// it (bitmaps and icons; a metafile draws nothing on this platform, so it
// stays white). Sizes beyond the limit below are scaled down.
std::unique_ptr<TBitmap> DrawnBitmap(TGraphic* graphic, double width, double height);
// The largest picture made from a drawing call: pixels in all, per side.
constexpr double kMaxRenderPixels = 9e6;  // an A4 page at 300 dpi
constexpr double kMaxRenderSide = 10000;
