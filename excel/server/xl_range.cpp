// Ranges: A1 addresses and the cell operations of the in-process model.
#include "excel/server/xl_range.h"

#include <algorithm>
#include <functional>

#include "excel/biff/biff_records.h"
#include "excel/server/xl_app.h"
#include "excel/server/xl_autofit.h"
#include "excel/server/xl_book.h"
#include "excel/server/xl_palette.h"
#include "excel/server/xl_sheet.h"
#include "excel/server/xl_typed_entry.h"

namespace xl {

namespace {

constexpr int kLastRow = biff::kMaxRows - 1;
constexpr int kLastCol = biff::kMaxColumns - 1;

// One part of an address: column letters and/or row digits, each with an
// optional "$". kind: 1 cell, 2 column only, 3 row only.
struct Part {
  int kind = 0;
  int row = -1;
  int col = -1;
};

bool ParsePart(std::string_view s, Part& part) {
  std::size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  int col = 0, letters = 0;
  while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
    if (++letters > 2) return false;
    col = col * 26 + ((s[i] | 0x20) - 'a' + 1);
    ++i;
  }
  bool rowDollar = false;
  if (letters > 0 && i < s.size() && s[i] == '$') {
    rowDollar = true;
    ++i;
  }
  if (i < s.size() && s[i] == '0') return false;  // no leading zeros
  int row = 0, digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (++digits > 5) return false;
    row = row * 10 + (s[i] - '0');
    ++i;
  }
  if (i != s.size() || (letters == 0 && digits == 0) || (rowDollar && digits == 0)) return false;
  if (letters > 0 && col - 1 > kLastCol) return false;
  if (digits > 0 && row - 1 > kLastRow) return false;
  part.kind = letters && digits ? 1 : letters ? 2 : 3;
  part.col = letters ? col - 1 : -1;
  part.row = digits ? row - 1 : -1;
  return true;
}

AnsiString ColumnName(int col) {
  AnsiString name;
  if (col >= 26) name += static_cast<char>('A' + col / 26 - 1);
  name += static_cast<char>('A' + col % 26);
  return name;
}

}  // namespace

bool ParseA1(std::string_view text, CellRect& rect) {
  std::size_t colon = text.find(':');
  Part a, b;
  if (colon == std::string_view::npos) {
    if (!ParsePart(text, a) || a.kind != 1) return false;
    rect = {a.row, a.col, a.row, a.col};
    return true;
  }
  if (!ParsePart(text.substr(0, colon), a) || !ParsePart(text.substr(colon + 1), b)) return false;
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case 1:
      rect = {std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row), std::max(a.col, b.col)};
      return true;
    case 2:
      rect = {0, std::min(a.col, b.col), kLastRow, std::max(a.col, b.col)};
      return true;
    default:
      rect = {std::min(a.row, b.row), 0, std::max(a.row, b.row), kLastCol};
      return true;
  }
}

AnsiString FormatA1(const CellRect& r, bool rowAbsolute, bool columnAbsolute) {
  const char* rd = rowAbsolute ? "$" : "";
  const char* cd = columnAbsolute ? "$" : "";
  auto row = [&](int n) { return rd + std::to_string(n + 1); };
  auto col = [&](int n) { return cd + ColumnName(n); };
  if (r.col0 == 0 && r.col1 == kLastCol) return row(r.row0) + ":" + row(r.row1);
  if (r.row0 == 0 && r.row1 == kLastRow) return col(r.col0) + ":" + col(r.col1);
  AnsiString first = col(r.col0) + row(r.row0);
  if (r.row0 == r.row1 && r.col0 == r.col1) return first;
  return first + ":" + col(r.col1) + row(r.row1);
}

CellRect CheckedRect(int row0, int col0, int rows, int columns) {
  if (rows < 1 || columns < 1) throw EOleException("A range needs at least one row and one column");
  int64_t row1 = static_cast<int64_t>(row0) + rows - 1;
  int64_t col1 = static_cast<int64_t>(col0) + columns - 1;
  if (row0 < 0 || col0 < 0 || row1 > kLastRow || col1 > kLastCol) throw EOleException("Range is outside the worksheet");
  return {row0, col0, static_cast<int>(row1), static_cast<int>(col1)};
}

XlRange::XlRange(std::shared_ptr<XlSheet> sheet, const CellRect& rect) : sheet_(std::move(sheet)), rect_(rect) {}

void* XlRange::QueryInterface(TGUID iid) { return iid == IID_Range ? static_cast<IRange*>(this) : nullptr; }

XlSheet& XlRange::Sheet() {
  sheet_->CheckAlive();
  return *sheet_;
}

std::shared_ptr<IWorksheet> XlRange::Worksheet() {
  Sheet();
  return sheet_;
}

std::shared_ptr<IRange> XlRange::Offset(int rows, int columns) {
  Sheet();
  int64_t r = static_cast<int64_t>(rect_.row0) + rows, c = static_cast<int64_t>(rect_.col0) + columns;
  if (r < 0 || c < 0 || r > kLastRow || c > kLastCol) throw EOleException("Range is outside the worksheet");
  return std::make_shared<XlRange>(sheet_, CheckedRect(static_cast<int>(r), static_cast<int>(c), RowCount(), ColumnCount()));
}

std::shared_ptr<IRange> XlRange::Resize(int rows, int columns) {
  Sheet();
  return std::make_shared<XlRange>(sheet_, CheckedRect(rect_.row0, rect_.col0, rows, columns));
}

std::shared_ptr<IRange> XlRange::Range(const AnsiString& cell1, const AnsiString& cell2) {
  Sheet();
  CellRect a, b;
  if (!ParseA1(cell1, a) || !ParseA1(cell2.empty() ? cell1 : cell2, b)) throw EOleException("Invalid range address");
  CellRect u{std::min(a.row0, b.row0), std::min(a.col0, b.col0), std::max(a.row1, b.row1), std::max(a.col1, b.col1)};
  return std::make_shared<XlRange>(
      sheet_, CheckedRect(rect_.row0 + u.row0, rect_.col0 + u.col0, u.row1 - u.row0 + 1, u.col1 - u.col0 + 1));
}

AnsiString XlRange::Address(bool rowAbsolute, bool columnAbsolute) {
  Sheet();
  return FormatA1(rect_, rowAbsolute, columnAbsolute);
}

Variant XlRange::Value() {
  XlSheet& sheet = Sheet();
  auto cellValue = [&](int r, int c) {
    const biff::Cell* cell = sheet.Data().Find(r, c);
    return cell ? CellValue(*cell, sheet.IsDate(*cell)) : Variant();
  };
  if (RowCount() == 1 && ColumnCount() == 1) return cellValue(rect_.row0, rect_.col0);
  // Several cells: only the used part is materialised.
  int lastRow = std::min(rect_.row1, static_cast<int>(sheet.Data().rows.size()) - 1);
  std::vector<Variant> rows;
  for (int r = rect_.row0; r <= std::max(lastRow, rect_.row0); ++r) {
    std::vector<Variant> row;
    for (int c = rect_.col0; c <= rect_.col1; ++c) row.push_back(cellValue(r, c));
    rows.push_back(Variant::Array(std::move(row), 1));
  }
  return Variant::Array(std::move(rows), 1);
}

void XlRange::SetValue(const Variant& value) {
  XlSheet& sheet = Sheet();
  // Type every distinct input once: a row array gives one per column.
  std::vector<TypedValue> typed;
  if (value.IsArray()) {
    for (int i = 0; i < ColumnCount(); ++i) {
      typed.push_back(i < value.ArrayCount() ? TypeEntry(value.Element(value.ArrayLowBound() + i)) : TypedValue{});
    }
  } else {
    typed.push_back(TypeEntry(value));
  }
  int lastRow = rect_.row1;
  // A whole column set to nothing need not create 65 536 blank cells.
  if (!value.IsArray() && typed[0].kind == biff::CellKind::Blank) {
    lastRow = std::min(lastRow, static_cast<int>(sheet.Data().rows.size()) - 1);
  }
  for (int r = rect_.row0; r <= lastRow; ++r) {
    for (int c = rect_.col0; c <= rect_.col1; ++c) {
      const TypedValue& t = typed[value.IsArray() ? static_cast<std::size_t>(c - rect_.col0) : 0];
      biff::Cell* existing = sheet.Data().Find(r, c);
      if (!existing || existing->kind == biff::CellKind::None) {
        if (t.kind == biff::CellKind::Blank && sheet.ColumnStyle(c) == 0) {
          if (existing) existing->kind = biff::CellKind::None;
          continue;
        }
        existing = &sheet.Data().At(r, c);
        existing->style = sheet.ColumnStyle(c);
      }
      biff::Cell& cell = *existing;
      cell.kind = t.kind;
      cell.number = t.number;
      cell.boolean = t.boolean;
      cell.text = t.text;
      if (t.isDate && !sheet.IsDate(cell)) {
        sheet.ChangeFormat(cell, [](biff::CellFormat& f) { f.numberFormat = kDateFormat; });
      }
    }
  }
  sheet.App().Fire(kSheetChange, {OleArg{{}, sheet.shared_from_this()}, OleArg{{}, std::make_shared<XlRange>(*this)}});
}

void XlRange::ClearContents() {
  XlSheet& sheet = Sheet();
  int lastRow = std::min(rect_.row1, static_cast<int>(sheet.Data().rows.size()) - 1);
  for (int r = rect_.row0; r <= lastRow; ++r) {
    for (int c = rect_.col0; c <= rect_.col1; ++c) {
      biff::Cell* cell = sheet.Data().Find(r, c);
      if (!cell || cell->kind == biff::CellKind::None) continue;
      cell->kind = biff::CellKind::Blank;
      cell->text.clear();
    }
  }
  sheet.App().Fire(kSheetChange, {OleArg{{}, sheet.shared_from_this()}, OleArg{{}, std::make_shared<XlRange>(*this)}});
}

void XlRange::Select() {
  XlSheet& sheet = Sheet();
  sheet.Activate();
  biff::SheetData& d = sheet.Data();
  d.activeRow = rect_.row0;
  d.activeColumn = rect_.col0;
  d.selFirstRow = rect_.row0;
  d.selLastRow = rect_.row1;
  d.selFirstColumn = rect_.col0;
  d.selLastColumn = rect_.col1;
  sheet.App().Fire(kSheetSelectionChange,
                   {OleArg{{}, sheet.shared_from_this()}, OleArg{{}, std::make_shared<XlRange>(*this)}});
}

std::shared_ptr<IRange> XlRange::EntireRow() {
  Sheet();
  return std::make_shared<XlRange>(sheet_, CellRect{rect_.row0, 0, rect_.row1, kLastCol});
}

std::shared_ptr<IRange> XlRange::EntireColumn() {
  Sheet();
  return std::make_shared<XlRange>(sheet_, CellRect{0, rect_.col0, kLastRow, rect_.col1});
}

int XlRange::OutlineLevel() {
  XlSheet& sheet = Sheet();
  const auto& rows = sheet.Data().rows;
  return static_cast<std::size_t>(rect_.row0) < rows.size() ? rows[static_cast<std::size_t>(rect_.row0)].outlineLevel + 1 : 1;
}

void XlRange::SetOutlineLevel(int level) {
  XlSheet& sheet = Sheet();
  if (level < 1 || level > 8) throw EOleException("Outline levels run from 1 to 8");
  auto& rows = sheet.Data().rows;
  if (level > 1 && rows.size() <= static_cast<std::size_t>(rect_.row1)) rows.resize(static_cast<std::size_t>(rect_.row1) + 1);
  for (int r = rect_.row0; r <= rect_.row1 && static_cast<std::size_t>(r) < rows.size(); ++r) {
    rows[static_cast<std::size_t>(r)].outlineLevel = static_cast<uint8_t>(level - 1);
  }
}

void XlRange::AutoFit() {
  XlSheet& sheet = Sheet();
  biff::SheetData& d = sheet.Data();
  int lastRow = std::min(rect_.row1, static_cast<int>(d.rows.size()) - 1);
  for (int c = rect_.col0; c <= rect_.col1; ++c) {
    int widest = -1;
    for (int r = rect_.row0; r <= lastRow; ++r) {
      const biff::Cell* cell = d.Find(r, c);
      if (!cell || cell->kind == biff::CellKind::None || cell->kind == biff::CellKind::Blank) continue;
      const biff::CellFormat& f = d.styles[cell->style];
      widest = std::max(widest, TextWidthPixels(DisplayText(*cell, sheet.IsDate(*cell)), f.bold, f.fontHeight / 20.0));
    }
    d.columnWidths[static_cast<std::size_t>(c)] = widest < 0 ? -1 : FittedColumnWidth(widest);
  }
}

double XlRange::ColumnWidth() {
  XlSheet& sheet = Sheet();
  int32_t stored = sheet.Data().columnWidths[static_cast<std::size_t>(rect_.col0)];
  return CharactersFromColumnWidth(stored < 0 ? StandardColumnWidth() : stored);
}

void XlRange::SetColumnWidth(double width) {
  XlSheet& sheet = Sheet();
  if (!(width >= 0 && width <= 255)) throw EOleException("Column widths run from 0 to 255 characters");
  for (int c = rect_.col0; c <= rect_.col1; ++c) {
    sheet.Data().columnWidths[static_cast<std::size_t>(c)] = ColumnWidthFromCharacters(width);
  }
}

namespace {

// Calls change for every cell's format in the rectangle: whole columns
// change the columns' own format and their used cells, other ranges every
// cell (empty ones keep the format for later values).
void ForEachFormat(XlSheet& sheet, const CellRect& rect, const std::function<void(biff::CellFormat&)>& change) {
  biff::SheetData& d = sheet.Data();
  bool wholeColumns = rect.row0 == 0 && rect.row1 == kLastRow;
  bool wholeRows = rect.col0 == 0 && rect.col1 == kLastCol;
  if (wholeColumns) {
    for (int c = rect.col0; c <= rect.col1; ++c) sheet.ChangeColumnFormat(c, change);
  }
  int lastRow = (wholeColumns || wholeRows) ? std::min(rect.row1, static_cast<int>(d.rows.size()) - 1) : rect.row1;
  for (int r = rect.row0; r <= lastRow; ++r) {
    for (int c = rect.col0; c <= rect.col1; ++c) {
      biff::Cell* cell = d.Find(r, c);
      if (!cell || cell->kind == biff::CellKind::None) {
        if (wholeColumns || wholeRows) continue;
        cell = &d.At(r, c);
        cell->kind = biff::CellKind::Blank;
        cell->style = sheet.ColumnStyle(c);
      }
      sheet.ChangeFormat(*cell, change);
    }
  }
}

const biff::CellFormat& FirstFormat(XlSheet& sheet, const CellRect& rect) {
  const biff::Cell* cell = sheet.Data().Find(rect.row0, rect.col0);
  uint16_t style = cell && cell->kind != biff::CellKind::None ? cell->style : sheet.ColumnStyle(rect.col0);
  return sheet.Data().styles[style];
}

class XlFont : public IFont {
 public:
  explicit XlFont(std::shared_ptr<XlRange> range) : range_(std::move(range)) {}
  AnsiString Name() override { return FirstFormat(range_->Sheet(), range_->Rect()).fontName; }
  void SetName(const AnsiString& name) override {
    if (name.empty() || name.size() > 31) throw EOleException("Invalid font name");
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.fontName = name; });
  }
  double Size() override { return FirstFormat(range_->Sheet(), range_->Rect()).fontHeight / 20.0; }
  void SetSize(double points) override {
    if (!(points >= 1 && points <= 409)) throw EOleException("Font sizes run from 1 to 409 points");
    auto height = static_cast<uint16_t>(points * 20 + 0.5);
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.fontHeight = height; });
  }
  bool Bold() override { return FirstFormat(range_->Sheet(), range_->Rect()).bold; }
  void SetBold(bool bold) override {
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.bold = bold; });
  }
  bool Italic() override { return FirstFormat(range_->Sheet(), range_->Rect()).italic; }
  void SetItalic(bool on) override {
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.italic = on; });
  }
  bool Underline() override { return FirstFormat(range_->Sheet(), range_->Rect()).underline; }
  void SetUnderline(bool on) override {
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.underline = on; });
  }
  bool Strikethrough() override { return FirstFormat(range_->Sheet(), range_->Rect()).strikeout; }
  void SetStrikethrough(bool on) override {
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.strikeout = on; });
  }
  int32_t Color() override {
    uint16_t index = FirstFormat(range_->Sheet(), range_->Rect()).fontColour;
    return index == biff::kColourAutomaticFont ? 0 : static_cast<int32_t>(PaletteColour(index));
  }
  void SetColor(int32_t color) override {
    uint8_t index = NearestPaletteIndex(ResolveColour(static_cast<uint32_t>(color)));
    ForEachFormat(range_->Sheet(), range_->Rect(), [&](biff::CellFormat& f) { f.fontColour = index; });
  }

 private:
  std::shared_ptr<XlRange> range_;
};

struct AlignCode {
  int xl;
  uint8_t code;
};
constexpr AlignCode kHorizontal[] = {{xlGeneral, biff::kHGeneral}, {xlLeft, biff::kHLeft},
                                     {xlCenter, biff::kHCentre},   {xlRight, biff::kHRight},
                                     {xlFill, biff::kHFill},       {xlJustify, biff::kHJustify},
                                     {xlCenterAcrossSelection, biff::kHCentreAcross}};
constexpr AlignCode kVertical[] = {{xlTop, biff::kVTop},
                                   {xlCenter, biff::kVCentre},
                                   {xlBottom, biff::kVBottom},
                                   {xlJustify, biff::kVJustify},
                                   {xlDistributed, biff::kVDistributed}};

template <std::size_t N>
uint8_t CodeOf(const AlignCode (&table)[N], int xl) {
  for (const AlignCode& a : table) {
    if (a.xl == xl) return a.code;
  }
  throw EOleException("Unable to set the alignment: no such alignment");
}

template <std::size_t N>
int XlOf(const AlignCode (&table)[N], uint8_t code) {
  for (const AlignCode& a : table) {
    if (a.code == code) return a.xl;
  }
  return table[0].xl;
}

}  // namespace

std::shared_ptr<IFont> XlRange::Font() {
  Sheet();
  return std::make_shared<XlFont>(std::make_shared<XlRange>(*this));
}

int XlRange::HorizontalAlignment() { return XlOf(kHorizontal, FirstFormat(Sheet(), rect_).hAlign); }

void XlRange::SetHorizontalAlignment(int alignment) {
  uint8_t code = CodeOf(kHorizontal, alignment);
  ForEachFormat(Sheet(), rect_, [&](biff::CellFormat& f) { f.hAlign = code; });
}

int XlRange::VerticalAlignment() { return XlOf(kVertical, FirstFormat(Sheet(), rect_).vAlign); }

void XlRange::SetVerticalAlignment(int alignment) {
  uint8_t code = CodeOf(kVertical, alignment);
  ForEachFormat(Sheet(), rect_, [&](biff::CellFormat& f) { f.vAlign = code; });
}

namespace {

struct CodePair {
  int xl;
  uint8_t code;
};

// Model pattern -> file pattern code; the positive constants are the codes.
constexpr CodePair kPatterns[] = {
    {xlPatternNone, 0},       {xlPatternSolid, 1},      {xlPatternGray50, 2}, {xlPatternGray75, 3},
    {xlPatternGray25, 4},     {xlPatternHorizontal, 5}, {xlPatternVertical, 6}, {xlPatternDown, 7},
    {xlPatternUp, 8},         {xlPatternAutomatic, 1},
};

int WeightIndex(int weight) {
  switch (weight) {
    case xlHairline: return 0;
    case xlThin: return 1;
    case xlMedium: return 2;
    case xlThick: return 3;
    default: throw EOleException("Unable to set the border weight: no such weight");
  }
}

class XlInterior : public IInterior {
 public:
  explicit XlInterior(std::shared_ptr<XlRange> range) : range_(std::move(range)) {}
  int32_t Color() override {
    const biff::CellFormat& f = First();
    return f.pattern == 0 ? 0xFFFFFF : static_cast<int32_t>(PaletteColour(f.fillColour));
  }
  void SetColor(int32_t color) override {
    uint8_t index = NearestPaletteIndex(ResolveColour(static_cast<uint32_t>(color)));
    Change([&](biff::CellFormat& f) {
      f.fillColour = index;
      if (f.pattern == 0) f.pattern = 1;  // a colour alone fills the cell
    });
  }
  int Pattern() override { return PatternOf(First().pattern); }
  void SetPattern(int pattern) override {
    uint8_t code = PatternCode(pattern);
    Change([&](biff::CellFormat& f) { f.pattern = code; });
  }
  int32_t PatternColor() override {
    uint8_t index = First().patternColour;
    return index == biff::kColourAutomaticLine ? 0 : static_cast<int32_t>(PaletteColour(index));
  }
  void SetPatternColor(int32_t color) override {
    uint8_t index = NearestPaletteIndex(ResolveColour(static_cast<uint32_t>(color)));
    Change([&](biff::CellFormat& f) { f.patternColour = index; });
  }

 private:
  const biff::CellFormat& First() { return FirstFormat(range_->Sheet(), range_->Rect()); }
  void Change(const std::function<void(biff::CellFormat&)>& change) { ForEachFormat(range_->Sheet(), range_->Rect(), change); }
  std::shared_ptr<XlRange> range_;
};

class XlBorder : public IBorder {
 public:
  XlBorder(std::shared_ptr<XlRange> range, biff::BorderEdge edge) : range_(std::move(range)), edge_(edge) {}
  int LineStyle() override { return LineStyleOf(Line(First())); }
  void SetLineStyle(int style) override {
    LineCode(style, xlThin);  // rejects an unknown style before anything changes
    Change([&](biff::CellFormat& f) {
      uint8_t line = Line(f);
      Line(f) = LineCode(style, line == biff::kLineNone ? xlThin : WeightOf(line));
    });
  }
  int Weight() override { return WeightOf(Line(First())); }
  void SetWeight(int weight) override {
    WeightIndex(weight);
    Change([&](biff::CellFormat& f) {
      uint8_t line = Line(f);
      Line(f) = LineCode(line == biff::kLineNone ? xlContinuous : LineStyleOf(line), weight);
    });
  }

 private:
  uint8_t& Line(biff::CellFormat& f) const { return f.borders[edge_].line; }
  uint8_t Line(const biff::CellFormat& f) const { return f.borders[edge_].line; }
  const biff::CellFormat& First() { return FirstFormat(range_->Sheet(), range_->Rect()); }
  void Change(const std::function<void(biff::CellFormat&)>& change) { ForEachFormat(range_->Sheet(), range_->Rect(), change); }
  std::shared_ptr<XlRange> range_;
  biff::BorderEdge edge_;
};

}  // namespace

uint8_t RotationCode(int orientation) {
  switch (orientation) {
    case xlHorizontal: return 0;
    case xlUpward: return 90;
    case xlDownward: return 180;
    case xlVertical: return 255;
    default:
      if (orientation < -90 || orientation > 90) throw EOleException("Unable to set the orientation: no such orientation");
      return static_cast<uint8_t>(orientation >= 0 ? orientation : 90 - orientation);
  }
}

int OrientationOf(uint8_t code) {
  switch (code) {
    case 0: return xlHorizontal;
    case 90: return xlUpward;
    case 180: return xlDownward;
    case 255: return xlVertical;
    default: return code <= 90 ? code : code <= 180 ? 90 - code : xlHorizontal;
  }
}

uint8_t LineCode(int lineStyle, int weight) {
  int w = WeightIndex(weight);
  // By weight: hairline, thin, medium, thick; a combination the file has no
  // code for takes the nearest line it has.
  auto pick = [w](uint8_t hair, uint8_t thin, uint8_t medium, uint8_t thick) {
    const uint8_t codes[] = {hair, thin, medium, thick};
    return codes[w];
  };
  switch (lineStyle) {
    case xlLineStyleNone: return biff::kLineNone;
    case xlContinuous: return pick(biff::kLineHair, biff::kLineThin, biff::kLineMedium, biff::kLineThick);
    case xlDash: return pick(biff::kLineDashed, biff::kLineDashed, biff::kLineMediumDashed, biff::kLineMediumDashed);
    case xlDot: return biff::kLineDotted;
    case xlDouble: return biff::kLineDouble;
    case xlDashDot: return pick(biff::kLineDashDot, biff::kLineDashDot, biff::kLineMediumDashDot, biff::kLineMediumDashDot);
    case xlDashDotDot:
      return pick(biff::kLineDashDotDot, biff::kLineDashDotDot, biff::kLineMediumDashDotDot, biff::kLineMediumDashDotDot);
    case xlSlantDashDot: return biff::kLineSlantDashDot;
    default: throw EOleException("Unable to set the line style: no such style");
  }
}

int LineStyleOf(uint8_t code) {
  switch (code) {
    case biff::kLineThin: case biff::kLineMedium: case biff::kLineThick: case biff::kLineHair: return xlContinuous;
    case biff::kLineDashed: case biff::kLineMediumDashed: return xlDash;
    case biff::kLineDotted: return xlDot;
    case biff::kLineDouble: return xlDouble;
    case biff::kLineDashDot: case biff::kLineMediumDashDot: return xlDashDot;
    case biff::kLineDashDotDot: case biff::kLineMediumDashDotDot: return xlDashDotDot;
    case biff::kLineSlantDashDot: return xlSlantDashDot;
    default: return xlLineStyleNone;
  }
}

int WeightOf(uint8_t code) {
  switch (code) {
    case biff::kLineHair: return xlHairline;
    case biff::kLineMedium: case biff::kLineMediumDashed: case biff::kLineMediumDashDot:
    case biff::kLineMediumDashDotDot: case biff::kLineSlantDashDot: return xlMedium;
    case biff::kLineThick: case biff::kLineDouble: return xlThick;
    default: return xlThin;
  }
}

uint8_t PatternCode(int pattern) {
  if (pattern >= xlPatternChecker && pattern <= xlPatternGray8) return static_cast<uint8_t>(pattern);
  for (const CodePair& p : kPatterns) {
    if (p.xl == pattern) return p.code;
  }
  throw EOleException("Unable to set the pattern: no such pattern");
}

int PatternOf(uint8_t code) {
  if (code >= xlPatternChecker && code <= xlPatternGray8) return code;
  for (const CodePair& p : kPatterns) {
    if (p.code == code) return p.xl;
  }
  return xlPatternNone;
}

double XlRange::RowHeight() {
  XlSheet& sheet = Sheet();
  const auto& rows = sheet.Data().rows;
  uint16_t h = static_cast<std::size_t>(rect_.row0) < rows.size() ? rows[static_cast<std::size_t>(rect_.row0)].height : 0;
  return (h ? h : biff::kStandardRowHeight) / 20.0;
}

void XlRange::SetRowHeight(double points) {
  XlSheet& sheet = Sheet();
  if (!(points > 0 && points <= 409)) throw EOleException("Row heights run up to 409 points");
  auto twips = static_cast<uint16_t>(points * 20 + 0.5);
  auto& rows = sheet.Data().rows;
  if (rows.size() <= static_cast<std::size_t>(rect_.row1)) rows.resize(static_cast<std::size_t>(rect_.row1) + 1);
  for (int r = rect_.row0; r <= rect_.row1; ++r) rows[static_cast<std::size_t>(r)].height = twips;
}

std::shared_ptr<IInterior> XlRange::Interior() {
  Sheet();
  return std::make_shared<XlInterior>(std::make_shared<XlRange>(*this));
}

std::shared_ptr<IBorder> XlRange::Borders(int edge) {
  Sheet();
  biff::BorderEdge e;
  switch (edge) {
    case xlEdgeLeft: e = biff::kEdgeLeft; break;
    case xlEdgeRight: e = biff::kEdgeRight; break;
    case xlEdgeTop: e = biff::kEdgeTop; break;
    case xlEdgeBottom: e = biff::kEdgeBottom; break;
    default: throw EOleException("Unable to get the Item property of the Borders class: no such edge");
  }
  return std::make_shared<XlBorder>(std::make_shared<XlRange>(*this), e);
}

int XlRange::Orientation() { return OrientationOf(FirstFormat(Sheet(), rect_).rotation); }

void XlRange::SetOrientation(int orientation) {
  uint8_t code = RotationCode(orientation);
  ForEachFormat(Sheet(), rect_, [&](biff::CellFormat& f) { f.rotation = code; });
}

int XlRange::IndentLevel() { return FirstFormat(Sheet(), rect_).indent; }

void XlRange::SetIndentLevel(int level) {
  if (level < 0 || level > 15) throw EOleException("Indent levels run from 0 to 15");
  ForEachFormat(Sheet(), rect_, [&](biff::CellFormat& f) { f.indent = static_cast<uint8_t>(level); });
}

bool XlRange::WrapText() { return FirstFormat(Sheet(), rect_).wrap; }

void XlRange::SetWrapText(bool on) {
  ForEachFormat(Sheet(), rect_, [&](biff::CellFormat& f) { f.wrap = on; });
}

bool XlRange::ShrinkToFit() { return FirstFormat(Sheet(), rect_).shrink; }

void XlRange::SetShrinkToFit(bool on) {
  ForEachFormat(Sheet(), rect_, [&](biff::CellFormat& f) { f.shrink = on; });
}

}  // namespace xl
