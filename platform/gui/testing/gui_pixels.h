// Pixel facts of screenshots: the colour at a point, how many pixels of a
// colour lie in a rectangle, and where ink (non-background pixels) starts
// and ends in a cell.
#pragma once

#include <QImage>

#include "platform/gui/graphics.h"

TColor PixelAt(const QImage& image, int x, int y);
int CountColor(const QImage& image, const TRect& r, TColor color);
// Pixels in r that are none of the given colours.
int CountOther(const QImage& image, const TRect& r, std::initializer_list<TColor> colors);
// First / last column in r holding a pixel other than background; -1 if
// none.
int FirstInkColumn(const QImage& image, const TRect& r, TColor background);
int LastInkColumn(const QImage& image, const TRect& r, TColor background);
