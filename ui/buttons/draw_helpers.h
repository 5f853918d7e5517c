// Drawing helpers of the label and the speed button.
#pragma once

#include <memory>

#include "platform/gui/controls.h"
#include "platform/gui/graphics.h"

// The RGB colour of a bitmap's pixel.
TColor PixelOf(const TBitmap* bitmap, int x, int y);
// Paints into bitmap what lies under control: its parent's own painting and
// every visible graphic control before it in the parent's list that
// overlaps it, with control's top-left at the bitmap's origin.
void PaintParentBackground(TControl* control, TBitmap* bitmap);
// The disabled look of a glyph: its black pixels drawn in clBtnHighlight
// one pixel right and down, then in clBtnShadow, on clBtnFace; the result
// is transparent in clBtnFace.
std::unique_ptr<TBitmap> MakeDisabledBitmap(const TBitmap* glyph);
// Draws image embossed the same way at (x, y): every pixel that is neither
// white nor the image's transparent colour.
void DrawDisabledImage(TCanvas* canvas, int x, int y, const TBitmap* image);
// text cut until it fits width, ending in "..." (one byte is one
// character, so nothing is split).
AnsiString ShortenToWidth(TCanvas* canvas, const AnsiString& text, int width);
// The application has an active window.
bool ActiveWindowInThread();
int RectWidth(const TRect& r);
int RectHeight(const TRect& r);
void Beep();
