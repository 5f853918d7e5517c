// Ranges of the in-process spreadsheet model: A1 addresses, moving and
// resizing, values, fonts, alignment, outline levels and column widths.
#pragma once

#include <memory>
#include <string_view>

#include "excel/server/xl_server.h"

namespace xl {

class XlSheet;

// A rectangle of cells, rows and columns from 0, both ends included.
struct CellRect {
  int row0 = 0, col0 = 0, row1 = 0, col1 = 0;
  friend bool operator==(const CellRect&, const CellRect&) = default;
};

// Parses "A1", "$B$2", "A1:D4", whole columns "A:C" and whole rows "3:5"
// (letters in either case, "$" optional before any part). False for
// anything else, including cells outside the sheet (65 536 rows, columns A
// to IV).
bool ParseA1(std::string_view text, CellRect& rect);
// The A1 text: "B2", "A1:D4", "A:A" for whole columns, "1:1" for whole
// rows; "$" before each part that is asked absolute.
AnsiString FormatA1(const CellRect& rect, bool rowAbsolute, bool columnAbsolute);

class XlRange : public IRange {
 public:
  XlRange(std::shared_ptr<XlSheet> sheet, const CellRect& rect);
  void* QueryInterface(TGUID iid) override;

  std::shared_ptr<IRange> Offset(int rows, int columns) override;
  std::shared_ptr<IRange> Resize(int rows, int columns) override;
  std::shared_ptr<IRange> Range(const AnsiString& cell1, const AnsiString& cell2) override;
  AnsiString Address(bool rowAbsolute, bool columnAbsolute) override;
  Variant Value() override;
  void SetValue(const Variant& value) override;
  void ClearContents() override;
  void Select() override;
  std::shared_ptr<IRange> EntireRow() override;
  std::shared_ptr<IRange> EntireColumn() override;
  int OutlineLevel() override;
  void SetOutlineLevel(int level) override;
  void AutoFit() override;
  double ColumnWidth() override;
  void SetColumnWidth(double width) override;
  std::shared_ptr<IFont> Font() override;
  double RowHeight() override;
  void SetRowHeight(double points) override;
  std::shared_ptr<IInterior> Interior() override;
  std::shared_ptr<IBorder> Borders(int edge) override;
  int Orientation() override;
  void SetOrientation(int orientation) override;
  int IndentLevel() override;
  void SetIndentLevel(int level) override;
  bool WrapText() override;
  void SetWrapText(bool on) override;
  bool ShrinkToFit() override;
  void SetShrinkToFit(bool on) override;
  int HorizontalAlignment() override;
  void SetHorizontalAlignment(int alignment) override;
  int VerticalAlignment() override;
  void SetVerticalAlignment(int alignment) override;
  int Row() override { return rect_.row0 + 1; }
  int Column() override { return rect_.col0 + 1; }
  int RowCount() override { return rect_.row1 - rect_.row0 + 1; }
  int ColumnCount() override { return rect_.col1 - rect_.col0 + 1; }
  std::shared_ptr<IWorksheet> Worksheet() override;

  const CellRect& Rect() const { return rect_; }
  XlSheet& Sheet();

 private:
  std::shared_ptr<XlSheet> sheet_;
  CellRect rect_;
};

// Conversions between the object model's values and the file's codes;
// EOleException for a value the model does not know.
uint8_t RotationCode(int orientation);
int OrientationOf(uint8_t code);
uint8_t LineCode(int lineStyle, int weight);
int LineStyleOf(uint8_t code);
int WeightOf(uint8_t code);
uint8_t PatternCode(int pattern);
int PatternOf(uint8_t code);

// A rectangle of sheet (rows from row0, columns from col0) moved and sized;
// EOleException when it leaves the sheet.
CellRect CheckedRect(int row0, int col0, int rows, int columns);

}  // namespace xl
