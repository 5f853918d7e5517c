// The fixture reports the page-stream tests, the fuzz corpus generator and
// the benchmark share. Each writes a whole report through the given
// canvas from its print handler.
#pragma once

#include "report/base_report.h"

// A cash-voucher-like page in centimetres: "ArialCE" with charset 238, a
// tab grid with box lines and shading, right-aligned "%8.2f" amounts.
void PrintVoucherSample(TBaseReport* r);
// The amounts the voucher prints right-aligned, and the x (cm) they end at.
extern const double kVoucherAmounts[3];
constexpr double kVoucherAmountRight = 15.5;

// A cash-book-like report of pages pages: page macros 11/10 in the footer,
// a named value "Total" printed on every page and defined on the last.
void PrintCashBookSample(TBaseReport* r, int pages);

// Shapes, a bitmap drawn twice through a graphic slot, a rotated text, a
// format-block text and superscript.
void PrintShapesSample(TBaseReport* r);
