// Record numbers of the Excel 97-2003 workbook stream (BIFF8) that the
// writer emits. Every record is: 2-byte number, 2-byte data length, data;
// all integers little-endian. Data longer than kMaxRecordData continues in
// CONTINUE records.
#pragma once

#include <cstdint>

namespace biff {

constexpr std::size_t kMaxRecordData = 8224;

enum RecordId : uint16_t {
  kBof = 0x0809,
  kEof = 0x000A,
  kContinue = 0x003C,
  kCodepage = 0x0042,
  kDateMode = 0x0022,
  kWindow1 = 0x003D,
  kFont = 0x0031,
  kFormat = 0x041E,
  kXf = 0x00E0,
  kStyle = 0x0293,
  kBoundSheet = 0x0085,
  kSst = 0x00FC,
  kExtSst = 0x00FF,
  kDefColWidth = 0x0055,
  kColInfo = 0x007D,
  kDimensions = 0x0200,
  kWsBool = 0x0081,
  kGuts = 0x0080,
  kRow = 0x0208,
  kLabelSst = 0x00FD,
  kNumber = 0x0203,
  kBoolErr = 0x0205,
  kBlank = 0x0201,
  kWindow2 = 0x023E,
  kSelection = 0x001D,
};

// BOF substream kinds.
constexpr uint16_t kBofGlobals = 0x0005;
constexpr uint16_t kBofWorksheet = 0x0010;
constexpr uint16_t kBiff8Version = 0x0600;

// Code page 1200: the workbook's texts are UTF-16.
constexpr uint16_t kCodepageUtf16 = 1200;

// Limits of the format, which are the sheet's limits.
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr std::size_t kMaxCellChars = 32767;

// Alignment codes as the XF record stores them.
enum HAlign : uint8_t { kHGeneral = 0, kHLeft, kHCentre, kHRight, kHFill, kHJustify, kHCentreAcross };
enum VAlign : uint8_t { kVTop = 0, kVCentre, kVBottom, kVJustify, kVDistributed };

// Border line codes of the XF record.
enum LineCode : uint8_t {
  kLineNone = 0,
  kLineThin = 1,
  kLineMedium = 2,
  kLineDashed = 3,
  kLineDotted = 4,
  kLineThick = 5,
  kLineDouble = 6,
  kLineHair = 7,
  kLineMediumDashed = 8,
  kLineDashDot = 9,
  kLineMediumDashDot = 10,
  kLineDashDotDot = 11,
  kLineMediumDashDotDot = 12,
  kLineSlantDashDot = 13,
};

// Colour indexes: the palette holds 8-63; these stand for "automatic".
constexpr uint16_t kColourAutomaticFont = 0x7FFF;
constexpr uint8_t kColourAutomaticLine = 64;  // window text: borders, pattern
constexpr uint8_t kColourAutomaticBack = 65;  // window background: fill
constexpr uint8_t kFirstPaletteIndex = 8;
constexpr int kPaletteSize = 56;

// The row height readers assume without a custom one (12.75 points).
constexpr uint16_t kStandardRowHeight = 0x00FF;

// The first custom number format index.
constexpr uint16_t kFirstCustomFormat = 164;

}  // namespace biff
