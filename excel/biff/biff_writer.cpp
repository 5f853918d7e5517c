// Workbook stream writer.
//
// Globals, in this order: BOF (globals), CODEPAGE 1200, DATEMODE (1900
// system), WINDOW1 (active sheet), FONT records (four defaults, then the
// fonts in use; a reader numbers them 0-3, 5, 6, ... since index 4 does not
// exist), FORMAT records of the custom number formats from 164, XF records
// (15 style XFs, the default cell XF 15, then one per distinct font, number
// format and alignment in use), STYLE "Normal", one BOUNDSHEET per sheet
// (the sheet's stream offset is patched once the sheets are laid out), for
// workbooks with charts SUPBOOK, EXTERNSHEET (entry i is sheet i) and
// MSODRAWINGGROUP (biff_drawing.h), the SST with its EXTSST index, EOF.
//
// Each sheet: BOF (worksheet), GUTS (outline depth), WSBOOL (where summary
// rows lie), DEFCOLWIDTH, COLINFO per column with a width or style,
// DIMENSIONS, then blocks of up to 32 rows: their ROW records, then their
// cells (LABELSST, NUMBER, BOOLERR, BLANK for formatted empty cells), per
// embedded chart MSODRAWING, OBJ and the chart substream (biff_chart.h),
// and finally WINDOW2 (selected on the active sheet), SELECTION, one HLINK per
// hyperlink (biff_hyperlink.h), EOF.
//
// What the file holds of the model: values, number formats, fonts (name,
// size, bold, italic, underline, strike-through, colour), alignment,
// rotation, indent, wrap, shrink, borders per edge, fills, column widths,
// row heights and outline levels, hyperlinks (web, mail and file targets and
// places in the workbook) and embedded charts (type, frame, data, legend).
// Left out of the file, kept in the model: a hyperlink's "new window"
// setting (the format has no place for it; following the link uses it) and
// exact RGB colours (a cell refers to the nearest colour of the 56-entry
// default palette, as Excel 97-2003 does).
#include "excel/biff/biff_writer.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "excel/biff/biff_chart.h"
#include "excel/biff/biff_drawing.h"
#include "excel/biff/biff_hyperlink.h"
#include "excel/biff/biff_strings.h"
#include "excel/biff/ole_compound.h"

namespace biff {

uint16_t SheetData::StyleIndex(const CellFormat& format) {
  for (std::size_t i = 0; i < styles.size(); ++i) {
    if (styles[i] == format) return static_cast<uint16_t>(i);
  }
  styles.push_back(format);
  return static_cast<uint16_t>(styles.size() - 1);
}

Cell& SheetData::At(int row, int column) {
  if (rows.size() <= static_cast<std::size_t>(row)) rows.resize(static_cast<std::size_t>(row) + 1);
  std::vector<Cell>& cells = rows[static_cast<std::size_t>(row)].cells;
  if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
  return cells[static_cast<std::size_t>(column)];
}

const Cell* SheetData::Find(int row, int column) const {
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows.size()) return nullptr;
  const std::vector<Cell>& cells = rows[static_cast<std::size_t>(row)].cells;
  if (static_cast<std::size_t>(column) >= cells.size()) return nullptr;
  return &cells[static_cast<std::size_t>(column)];
}

Cell* SheetData::Find(int row, int column) {
  return const_cast<Cell*>(static_cast<const SheetData*>(this)->Find(row, column));
}

namespace {

struct FontKey {
  AnsiString name = "Arial";
  uint16_t height = 200;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  uint16_t colour = kColourAutomaticFont;
  auto operator<=>(const FontKey&) const = default;
};

// Everything an XF holds; the font and number format as their indexes.
struct XfKey {
  uint16_t font = 0;
  uint16_t format = 0;
  uint8_t hAlign = kHGeneral;
  uint8_t vAlign = kVBottom;
  uint8_t rotation = 0;
  uint8_t indent = 0;
  bool wrap = false;
  bool shrink = false;
  std::array<BorderLine, 4> borders{};
  uint8_t pattern = 0;
  uint8_t fillColour = kColourAutomaticBack;
  uint8_t patternColour = kColourAutomaticLine;
  auto operator<=>(const XfKey&) const = default;
};

XfKey KeyOf(uint16_t font, uint16_t format, const CellFormat& f) {
  return XfKey{font, format, f.hAlign, f.vAlign, f.rotation, f.indent, f.wrap, f.shrink,
               f.borders, f.pattern, f.fillColour, f.patternColour};
}

constexpr uint16_t kDefaultCellXf = 15;

// Fonts, formats and XFs of the whole workbook, deduplicated.
class FormatTable {
 public:
  uint16_t XfOf(const CellFormat& f) {
    XfKey key = KeyOf(FontOf(f), FormatOf(f.numberFormat), f);
    if (key == XfKey{}) return kDefaultCellXf;
    auto [it, added] = xfs_.try_emplace(key, static_cast<uint16_t>(16 + xfOrder_.size()));
    if (added) xfOrder_.push_back(key);
    return it->second;
  }

  void Write(std::string& out) const {
    for (int i = 0; i < 4; ++i) WriteFont(out, FontKey{});
    for (const FontKey& f : fontOrder_) WriteFont(out, f);
    for (std::size_t i = 0; i < formatOrder_.size(); ++i) {
      std::string data;
      Put16(data, static_cast<uint16_t>(kFirstCustomFormat + i));
      AppendUnicodeString(data, Cp1250ToUtf16(formatOrder_[i]), false);
      AppendRecord(out, kFormat, data);
    }
    // Style XFs 0-14 (0 is "Normal"), the default cell XF 15.
    for (int i = 0; i < 15; ++i) WriteXf(out, XfKey{}, true);
    WriteXf(out, XfKey{}, false);
    for (const XfKey& key : xfOrder_) WriteXf(out, key, false);
    std::string style;
    Put16(style, 0x8000);  // built-in style of XF 0
    Put8(style, 0);        // "Normal"
    Put8(style, 0xFF);
    AppendRecord(out, kStyle, style);
  }

 private:
  uint16_t FontOf(const CellFormat& f) {
    FontKey key{f.fontName, f.fontHeight, f.bold, f.italic, f.underline, f.strikeout, f.fontColour};
    if (key == FontKey{}) return 0;
    auto [it, added] = fonts_.try_emplace(key, static_cast<uint16_t>(5 + fontOrder_.size()));
    if (added) fontOrder_.push_back(key);
    return it->second;
  }

  uint16_t FormatOf(const AnsiString& format) {
    if (format.empty() || format == "General") return 0;
    auto [it, added] = formats_.try_emplace(format, static_cast<uint16_t>(kFirstCustomFormat + formatOrder_.size()));
    if (added) formatOrder_.push_back(format);
    return it->second;
  }

  static void WriteFont(std::string& out, const FontKey& f) {
    std::string data;
    Put16(data, f.height);
    // Bit 0 repeats bold for readers that look at it rather than the weight.
    Put16(data, static_cast<uint16_t>((f.bold ? 0x0001 : 0) | (f.italic ? 0x0002 : 0) | (f.strikeout ? 0x0008 : 0)));
    Put16(data, f.colour);
    Put16(data, f.bold ? 700 : 400);
    Put16(data, 0);  // no super- or subscript
    Put8(data, f.underline ? 1 : 0);  // single underline
    Put8(data, 2);   // swiss family
    Put8(data, 0xEE);  // Central European character set
    Put8(data, 0);
    std::u16string name = Cp1250ToUtf16(f.name.substr(0, 255));
    AppendUnicodeString(data, name, true);
    AppendRecord(out, kFont, data);
  }

  static void WriteXf(std::string& out, const XfKey& key, bool style) {
    std::string data;
    Put16(data, key.font);
    Put16(data, key.format);
    // Locked; a style XF has no parent (0xFFF), a cell XF has style 0.
    Put16(data, style ? 0xFFF5 : 0x0001);
    Put8(data, static_cast<uint8_t>((key.hAlign & 0x07) | (key.wrap ? 0x08 : 0) | ((key.vAlign & 0x07) << 4)));
    Put8(data, key.rotation);
    Put8(data, static_cast<uint8_t>((key.indent & 0x0F) | (key.shrink ? 0x10 : 0)));
    // A cell XF states its number format, font and alignment itself, and
    // its borders and fill when it has any.
    bool hasBorders = key.borders != std::array<BorderLine, 4>{};
    bool hasFill = key.pattern != 0;
    Put8(data, style ? 0x00 : static_cast<uint8_t>(0x1C | (hasBorders ? 0x20 : 0) | (hasFill ? 0x40 : 0)));
    const auto& b = key.borders;
    // Line codes of left, right, top, bottom; colours of left and right.
    Put32(data, static_cast<uint32_t>(b[kEdgeLeft].line & 0x0F) | (static_cast<uint32_t>(b[kEdgeRight].line & 0x0F) << 4) |
                    (static_cast<uint32_t>(b[kEdgeTop].line & 0x0F) << 8) |
                    (static_cast<uint32_t>(b[kEdgeBottom].line & 0x0F) << 12) |
                    (static_cast<uint32_t>(b[kEdgeLeft].colour & 0x7F) << 16) |
                    (static_cast<uint32_t>(b[kEdgeRight].colour & 0x7F) << 23));
    // Colours of top and bottom, no diagonal, the fill pattern.
    Put32(data, static_cast<uint32_t>(b[kEdgeTop].colour & 0x7F) | (static_cast<uint32_t>(b[kEdgeBottom].colour & 0x7F) << 7) |
                    (static_cast<uint32_t>(kColourAutomaticLine) << 14) | (static_cast<uint32_t>(key.pattern & 0x3F) << 26));
    // A solid fill is drawn in the foreground colour; a pattern in the
    // foreground colour over the background one.
    uint8_t fore = kColourAutomaticLine, back = kColourAutomaticBack;
    if (key.pattern == 1) {
      fore = key.fillColour;
    } else if (key.pattern != 0) {
      fore = key.patternColour;
      back = key.fillColour;
    }
    Put16(data, static_cast<uint16_t>((fore & 0x7F) | ((back & 0x7F) << 7)));
    AppendRecord(out, kXf, data);
  }

  std::map<FontKey, uint16_t> fonts_;
  std::vector<FontKey> fontOrder_;
  std::map<AnsiString, uint16_t> formats_;
  std::vector<AnsiString> formatOrder_;
  std::map<XfKey, uint16_t> xfs_;
  std::vector<XfKey> xfOrder_;
};

// The XF of every style of every sheet, and the shared strings.
struct Prepared {
  FormatTable formats;
  std::vector<std::vector<uint16_t>> sheetXfs;  // [sheet][style]
  std::vector<std::u16string> strings;
  std::unordered_map<AnsiString, uint32_t> stringIndex;
  uint32_t labelCount = 0;
};

void Prepare(const WorkbookData& wb, Prepared& p) {
  for (const SheetData* sheet : wb.sheets) {
    // Only the formats in use get an XF.
    std::vector<bool> used(sheet->styles.size(), false);
    used[0] = true;
    for (uint16_t style : sheet->columnStyles) used[style] = true;
    for (const Row& row : sheet->rows) {
      for (const Cell& cell : row.cells) {
        if (cell.kind != CellKind::None) used[cell.style] = true;
      }
    }
    std::vector<uint16_t> xfs;
    for (std::size_t i = 0; i < sheet->styles.size(); ++i) xfs.push_back(used[i] ? p.formats.XfOf(sheet->styles[i]) : 0);
    p.sheetXfs.push_back(std::move(xfs));
    for (const Row& row : sheet->rows) {
      for (const Cell& cell : row.cells) {
        if (cell.kind != CellKind::Text) continue;
        if (cell.text.size() > kMaxCellChars) throw EBiffError("Text too long for a cell");
        ++p.labelCount;
        auto [it, added] = p.stringIndex.try_emplace(cell.text, static_cast<uint32_t>(p.strings.size()));
        if (added) p.strings.push_back(Cp1250ToUtf16(cell.text));
      }
    }
  }
}

void PutBof(std::string& out, uint16_t kind) {
  std::string data;
  Put16(data, kBiff8Version);
  Put16(data, kind);
  Put16(data, 0x0DBB);  // build
  Put16(data, 0x07CC);  // year
  Put32(data, 0x00000041);
  Put32(data, 0x00000006);
  AppendRecord(out, kBof, data);
}

void PutEof(std::string& out) { AppendRecord(out, kEof, {}); }

void WriteCell(std::string& out, int r, int c, const Cell& cell, uint16_t xf, const Prepared& p) {
  std::string data;
  Put16(data, static_cast<uint16_t>(r));
  Put16(data, static_cast<uint16_t>(c));
  Put16(data, xf);
  switch (cell.kind) {
    case CellKind::Text:
      Put32(data, p.stringIndex.at(cell.text));
      AppendRecord(out, kLabelSst, data);
      break;
    case CellKind::Number:
      PutDouble(data, cell.number);
      AppendRecord(out, kNumber, data);
      break;
    case CellKind::Boolean:
      Put8(data, cell.boolean ? 1 : 0);
      Put8(data, 0);
      AppendRecord(out, kBoolErr, data);
      break;
    case CellKind::Blank:
      AppendRecord(out, kBlank, data);
      break;
    case CellKind::None:
      break;
  }
}

// A cell is written when it holds a value or a format other than the
// default.
bool Written(const Cell& cell) {
  return cell.kind != CellKind::None && (cell.kind != CellKind::Blank || cell.style != 0);
}

void WriteSheet(std::string& out, const SheetData& sheet, const std::vector<uint16_t>& xfs,
                const Prepared& p, bool active, int sheetIndex, int drawing) {
  PutBof(out, kBofWorksheet);

  int maxLevel = 0;
  int firstRow = -1, lastRow = -1, firstCol = kMaxColumns, lastCol = -1;
  for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
    const Row& row = sheet.rows[r];
    maxLevel = std::max<int>(maxLevel, row.outlineLevel);
    for (std::size_t c = 0; c < row.cells.size(); ++c) {
      if (!Written(row.cells[c])) continue;
      if (firstRow < 0) firstRow = static_cast<int>(r);
      lastRow = static_cast<int>(r);
      firstCol = std::min(firstCol, static_cast<int>(c));
      lastCol = std::max(lastCol, static_cast<int>(c));
    }
  }

  std::string data;
  Put16(data, maxLevel ? static_cast<uint16_t>(17 + 12 * maxLevel) : 0);  // row gutter in pixels
  Put16(data, 0);
  Put16(data, maxLevel ? static_cast<uint16_t>(maxLevel + 1) : 0);
  Put16(data, 0);
  AppendRecord(out, kGuts, data);

  data.clear();
  Put16(data, sheet.summaryBelow ? 0x04C1 : 0x0481);
  AppendRecord(out, kWsBool, data);

  data.clear();
  Put16(data, 8);
  AppendRecord(out, kDefColWidth, data);

  for (int c = 0; c < kMaxColumns; ++c) {
    int32_t width = sheet.columnWidths[static_cast<std::size_t>(c)];
    uint16_t style = sheet.columnStyles[static_cast<std::size_t>(c)];
    if (width < 0 && style == 0) continue;
    data.clear();
    Put16(data, static_cast<uint16_t>(c));
    Put16(data, static_cast<uint16_t>(c));
    // The standard width is 8 digits of 7 pixels plus the 5-pixel margin.
    Put16(data, static_cast<uint16_t>(width < 0 ? 2231 : std::min<int32_t>(width, 0xFFFF)));
    Put16(data, xfs[style]);
    Put16(data, width < 0 ? 0 : 0x0002);  // bit 1: width set by the user
    Put16(data, 0);
    AppendRecord(out, kColInfo, data);
  }

  data.clear();
  Put32(data, firstRow < 0 ? 0 : static_cast<uint32_t>(firstRow));
  Put32(data, firstRow < 0 ? 0 : static_cast<uint32_t>(lastRow + 1));
  Put16(data, firstRow < 0 ? 0 : static_cast<uint16_t>(firstCol));
  Put16(data, firstRow < 0 ? 0 : static_cast<uint16_t>(lastCol + 1));
  Put16(data, 0);
  AppendRecord(out, kDimensions, data);

  // Blocks of 32 rows: ROW records, then the cells of those rows.
  for (std::size_t block = 0; block < sheet.rows.size(); block += 32) {
    std::size_t end = std::min(sheet.rows.size(), block + 32);
    for (std::size_t r = block; r < end; ++r) {
      const Row& row = sheet.rows[r];
      int first = -1, last = -1;
      for (std::size_t c = 0; c < row.cells.size(); ++c) {
        if (!Written(row.cells[c])) continue;
        if (first < 0) first = static_cast<int>(c);
        last = static_cast<int>(c);
      }
      if (first < 0 && row.outlineLevel == 0 && row.height == 0) continue;
      data.clear();
      Put16(data, static_cast<uint16_t>(r));
      Put16(data, first < 0 ? 0 : static_cast<uint16_t>(first));
      Put16(data, first < 0 ? 0 : static_cast<uint16_t>(last + 1));
      Put16(data, row.height ? static_cast<uint16_t>(row.height & 0x7FFF) : kStandardRowHeight);
      Put16(data, 0);
      Put16(data, 0);
      // Bit 6: the height is the user's, not the font's.
      Put16(data, static_cast<uint16_t>((row.outlineLevel & 0x07) | (row.height ? 0x0040 : 0) | 0x0100));
      Put16(data, kDefaultCellXf);
      AppendRecord(out, kRow, data);
    }
    for (std::size_t r = block; r < end; ++r) {
      const Row& row = sheet.rows[r];
      for (std::size_t c = 0; c < row.cells.size(); ++c) {
        const Cell& cell = row.cells[c];
        if (Written(cell)) WriteCell(out, static_cast<int>(r), static_cast<int>(c), cell, xfs[cell.style], p);
      }
    }
  }

  // Embedded charts: each one's drawing part, object and substream.
  int count = static_cast<int>(sheet.charts.size());
  for (int i = 0; i < count; ++i) {
    const Chart& chart = *sheet.charts[static_cast<std::size_t>(i)];
    ClientAnchor anchor = AnchorOf(sheet, chart.left, chart.top, chart.width, chart.height);
    AppendRecord(out, kMsoDrawing, DrawingData(drawing, i, count, anchor));
    AppendRecord(out, kObj, ChartObjData(static_cast<uint16_t>(i + 1)));
    AppendChartSubstream(out, chart, sheetIndex);
  }

  data.clear();
  Put16(data, active ? 0x06B6 : 0x00B6);  // grid, headers, zeros, outline symbols; selected
  Put16(data, 0);
  Put16(data, 0);
  Put32(data, 64);  // automatic grid colour
  Put16(data, 0);
  Put16(data, 0);
  Put32(data, 0);
  AppendRecord(out, kWindow2, data);

  data.clear();
  Put8(data, 3);  // the only pane
  Put16(data, static_cast<uint16_t>(sheet.activeRow));
  Put16(data, static_cast<uint16_t>(sheet.activeColumn));
  Put16(data, 0);
  Put16(data, 1);
  Put16(data, static_cast<uint16_t>(sheet.selFirstRow));
  Put16(data, static_cast<uint16_t>(sheet.selLastRow));
  Put8(data, static_cast<uint8_t>(sheet.selFirstColumn));
  Put8(data, static_cast<uint8_t>(sheet.selLastColumn));
  AppendRecord(out, kSelection, data);

  for (const auto& link : sheet.hyperlinks) {
    std::string record = HyperlinkRecordData(*link);
    // A hyperlink cannot continue in CONTINUE records.
    if (record.size() > kMaxRecordData) throw EBiffError("A hyperlink's address is too long for the file");
    AppendRecord(out, kHlink, record);
  }

  PutEof(out);
}

}  // namespace

std::string BuildWorkbookStream(const WorkbookData& wb) {
  if (wb.sheets.empty()) throw EBiffError("A workbook needs at least one sheet");
  Prepared p;
  Prepare(wb, p);

  std::string out;
  PutBof(out, kBofGlobals);
  std::string data;
  Put16(data, kCodepageUtf16);
  AppendRecord(out, kCodepage, data);
  data.clear();
  Put16(data, 0);  // dates count from 1900
  AppendRecord(out, kDateMode, data);
  data.clear();
  Put16(data, 0x0168);
  Put16(data, 0x001E);
  Put16(data, 0x3A5C);
  Put16(data, 0x2328);
  Put16(data, 0x0038);  // horizontal and vertical scroll bars, sheet tabs
  Put16(data, static_cast<uint16_t>(wb.activeSheet));
  Put16(data, 0);
  Put16(data, 1);
  Put16(data, 0x0258);
  AppendRecord(out, kWindow1, data);
  p.formats.Write(out);

  std::vector<std::size_t> offsetFields;
  for (const SheetData* sheet : wb.sheets) {
    data.clear();
    Put32(data, 0);  // patched below
    Put8(data, 0);   // visible
    Put8(data, 0);   // worksheet
    AppendUnicodeString(data, Cp1250ToUtf16(sheet->name.substr(0, 31)), true);
    offsetFields.push_back(out.size() + 4);
    AppendRecord(out, kBoundSheet, data);
  }
  // Charts refer to their sheet through the EXTERNSHEET entry of the same
  // index, and their drawings form one group; a workbook without charts
  // carries neither.
  std::vector<int> chartsPerDrawing;
  std::vector<int> drawingOf(wb.sheets.size(), 0);
  for (std::size_t i = 0; i < wb.sheets.size(); ++i) {
    if (wb.sheets[i]->charts.empty()) continue;
    chartsPerDrawing.push_back(static_cast<int>(wb.sheets[i]->charts.size()));
    drawingOf[i] = static_cast<int>(chartsPerDrawing.size());
  }
  if (!chartsPerDrawing.empty()) {
    data.clear();
    Put16(data, static_cast<uint16_t>(wb.sheets.size()));
    Put16(data, 0x0401);  // this workbook
    AppendRecord(out, kSupBook, data);
    data.clear();
    Put16(data, static_cast<uint16_t>(wb.sheets.size()));
    for (std::size_t i = 0; i < wb.sheets.size(); ++i) {
      Put16(data, 0);
      Put16(data, static_cast<uint16_t>(i));
      Put16(data, static_cast<uint16_t>(i));
    }
    AppendRecord(out, kExternSheet, data);
    AppendRecord(out, kMsoDrawingGroup, DrawingGroupData(chartsPerDrawing));
  }
  AppendSharedStrings(out, p.strings, p.labelCount);
  PutEof(out);

  for (std::size_t i = 0; i < wb.sheets.size(); ++i) {
    uint32_t at = static_cast<uint32_t>(out.size());
    for (int b = 0; b < 4; ++b) out[offsetFields[i] + static_cast<std::size_t>(b)] = static_cast<char>((at >> (8 * b)) & 0xFF);
    WriteSheet(out, *wb.sheets[i], p.sheetXfs[i], p, static_cast<int>(i) == wb.activeSheet, static_cast<int>(i),
               drawingOf[i]);
  }
  return out;
}

std::string BuildXlsFile(const WorkbookData& workbook) {
  return BuildCompoundFile(BuildWorkbookStream(workbook));
}

}  // namespace biff
