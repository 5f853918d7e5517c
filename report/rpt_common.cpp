#include "report/rpt_common.h"

namespace {

constexpr double kMm = 1 / 25.4;

TRptTranslator gTranslator = nullptr;

}  // namespace

const std::vector<TRptPaperSize>& PaperSizes() {
  static const std::vector<TRptPaperSize> table = {
      {-1, "Default", 0, 0},
      {256, "Custom", 0, 0},
      {1, "Letter, 8 1/2- by 11-inches", 8.5, 11},
      {5, "Legal, 8 1/2- by 14-inches", 8.5, 14},
      {9, "A4 Sheet, 210- by 297-millimeters", 210 * kMm, 297 * kMm},
      {24, "C Sheet, 17- by 22-inches", 17, 22},
      {25, "D Sheet, 22- by 34-inches", 22, 34},
      {26, "E Sheet, 34- by 44-inches", 34, 44},
      {2, "Letter Small, 8 1/2- by 11-inches", 8.5, 11},
      {3, "Tabloid, 11- by 17-inches", 11, 17},
      {4, "Ledger, 17- by 11-inches", 17, 11},
      {6, "Statement, 5 1/2- by 8 1/2-inches", 5.5, 8.5},
      {7, "Executive, 7 1/4- by 10 1/2-inches", 7.25, 10.5},
      {8, "A3 sheet, 297- by 420-millimeters", 297 * kMm, 420 * kMm},
      {10, "A4 small sheet, 210- by 297-millimeters", 210 * kMm, 297 * kMm},
      {11, "A5 sheet, 148- by 210-millimeters", 148 * kMm, 210 * kMm},
      {12, "B4 sheet, 250- by 354-millimeters", 250 * kMm, 354 * kMm},
      {13, "B5 sheet, 182- by 257-millimeters", 182 * kMm, 257 * kMm},
      {14, "Folio, 8 1/2- by 13-inches", 8.5, 13},
      {15, "Quarto, 215- by 275-millimeters", 215 * kMm, 275 * kMm},
      {16, "10- by 14-inches", 10, 14},
      {17, "11- by 17-inches", 11, 17},
      {18, "Note, 8 1/2- by 11-inches", 8.5, 11},
      {19, "#9 Envelope, 3 7/8- by 8 7/8-inches", 3.875, 8.875},
      {20, "#10 Envelope, 4 1/8- by 9 1/2-inches", 4.125, 9.5},
      {21, "#11 Envelope, 4 1/2- by 10 3/8-inches", 4.5, 10.375},
      {22, "#12 Envelope, 4 3/4- by 11-inches", 4.75, 11},
      {23, "#14 Envelope, 5- by 11 1/2-inches", 5, 11.5},
      {27, "DL Envelope, 110- by 220-millimeters", 110 * kMm, 220 * kMm},
      {28, "C5 Envelope, 162- by 229-millimeters", 162 * kMm, 229 * kMm},
      {29, "C3 Envelope, 324- by 458-millimeters", 324 * kMm, 458 * kMm},
      {30, "C4 Envelope, 229- by 324-millimeters", 229 * kMm, 324 * kMm},
      {31, "C6 Envelope, 114- by 162-millimeters", 114 * kMm, 162 * kMm},
      {32, "C65 Envelope, 114- by 229-millimeters", 114 * kMm, 229 * kMm},
      {33, "B4 Envelope, 250- by 353-millimeters", 250 * kMm, 353 * kMm},
      {34, "B5 Envelope, 176- by 250-millimeters", 176 * kMm, 250 * kMm},
      {35, "B6 Envelope, 176- by 125-millimeters", 176 * kMm, 125 * kMm},
      {36, "Italy Envelope, 110- by 230-millimeters", 110 * kMm, 230 * kMm},
      {37, "Monarch Envelope, 3 7/8- by 7 1/2-inches", 3.875, 7.5},
      {38, "6 3/4 Envelope, 3 5/8- by 6 1/2-inches", 3.625, 6.5},
      {39, "US Std Fanfold, 14 7/8- by 11-inches", 14.875, 11},
      {40, "German Std Fanfold, 8 1/2- by 12-inches", 8.5, 12},
      {41, "German Legal Fanfold, 8 1/2- by 13-inches", 8.5, 13},
  };
  return table;
}

const TRptPaperSize* FindPaperSize(int code) {
  for (const TRptPaperSize& row : PaperSizes())
    if (row.code == code) return &row;
  return nullptr;
}

void SetRptTranslator(TRptTranslator translator) { gTranslator = translator; }

AnsiString RptText(const AnsiString& text) { return gTranslator ? gTranslator(text) : text; }
