// The formatting properties of range items.
#include <algorithm>

#include "excel/excel_items.h"

std::shared_ptr<xl::IRange> TOfExcelRange::ConnectedRange() const {
  TOfOfficeComponent* root = RootComponent();
  return root && root->Connected() ? Range() : nullptr;
}

void TOfExcelRange::SetFontName(const AnsiString& name) {
  if (name == fontName_) return;
  fontName_ = name;
  if (auto r = ConnectedRange()) r->Font()->SetName(name);
}

void TOfExcelRange::SetFontColor(TColor color) {
  if (color == fontColor_) return;
  fontColor_ = color;
  if (auto r = ConnectedRange()) r->Font()->SetColor(static_cast<int32_t>(ColorToRGB(color)));
}

void TOfExcelRange::SetFontSize(int size) {
  if (size <= 0 || size == fontSize_) return;
  fontSize_ = size;
  if (auto r = ConnectedRange()) r->Font()->SetSize(size);
}

void TOfExcelRange::SetFontAttributes(TOfXlFontAttributes attributes) {
  fontAttributes_ = attributes;
  if (auto r = ConnectedRange()) {
    auto font = r->Font();
    font->SetBold(attributes.Contains(xlfaBold));
    font->SetItalic(attributes.Contains(xlfaItalic));
    font->SetUnderline(attributes.Contains(xlfaUnderline));
    font->SetStrikethrough(attributes.Contains(xlfaStrikethrough));
  }
}

void TOfExcelRange::SetIndentLevel(int level) {
  level = std::clamp(level, 1, 15);
  if (level == indentLevel_) return;
  indentLevel_ = level;
  if (auto r = ConnectedRange()) r->SetIndentLevel(level);
}

void TOfExcelRange::SetOrientation(TOfXlCellOrientation orientation) {
  if (orientation == orientation_) return;
  orientation_ = orientation;
  if (auto r = ConnectedRange()) r->SetOrientation(orientation == xlcoRotated ? rotateDegrees_ : static_cast<int>(orientation));
}

void TOfExcelRange::SetRotateDegrees(int degrees) {
  degrees = std::clamp(degrees, -90, 90);
  if (degrees == rotateDegrees_) return;
  rotateDegrees_ = degrees;
  if (orientation_ != xlcoRotated) return;
  if (auto r = ConnectedRange()) r->SetOrientation(degrees);
}

void TOfExcelRange::SetShrinkToFit(bool on) {
  if (on == shrinkToFit_) return;
  shrinkToFit_ = on;
  if (auto r = ConnectedRange()) r->SetShrinkToFit(on);
}

void TOfExcelRange::SetWrapText(bool on) {
  if (on == wrapText_) return;
  wrapText_ = on;
  if (auto r = ConnectedRange()) r->SetWrapText(on);
}

void TOfExcelRange::SetHorizontalAlignment(TOfXlCellHorizAlign alignment) {
  if (alignment == horizontalAlignment_) return;
  horizontalAlignment_ = alignment;
  if (auto r = ConnectedRange()) r->SetHorizontalAlignment(alignment);
}

void TOfExcelRange::SetVerticalAlignment(TOfXlCellVertAlign alignment) {
  if (alignment == verticalAlignment_) return;
  verticalAlignment_ = alignment;
  if (auto r = ConnectedRange()) r->SetVerticalAlignment(alignment);
}

void TOfExcelRange::SetColumnWidth(int width) {
  if (width <= 0 || width == columnWidth_) return;
  columnWidth_ = width;
  if (auto r = ConnectedRange()) r->SetColumnWidth(width);
}

void TOfExcelRange::SetRowHeight(int height) {
  if (height <= 0 || height == rowHeight_) return;
  rowHeight_ = height;
  if (auto r = ConnectedRange()) r->SetRowHeight(height);
}

void TOfExcelRange::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (auto r = ConnectedRange()) r->Interior()->SetColor(static_cast<int32_t>(color));
}

void TOfExcelRange::SetPattern(TOfXlInteriorPatterns pattern) {
  if (pattern == pattern_) return;
  pattern_ = pattern;
  if (auto r = ConnectedRange()) r->Interior()->SetPattern(pattern);
}

void TOfExcelRange::SetPatternColor(TColor color) {
  if (color == patternColor_) return;
  patternColor_ = color;
  if (auto r = ConnectedRange()) r->Interior()->SetPatternColor(static_cast<int32_t>(color));
}

namespace {

struct Edge {
  TOfXlBorder border;
  int index;
};
constexpr Edge kEdges[] = {{xlbLeft, xl::xlEdgeLeft}, {xlbTop, xl::xlEdgeTop}, {xlbBottom, xl::xlEdgeBottom},
                           {xlbRight, xl::xlEdgeRight}};

}  // namespace

void TOfExcelRange::SetBorderStyle(TOfXlBorderLineStyles style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  if (auto r = ConnectedRange()) {
    for (const Edge& e : kEdges) {
      r->Borders(e.index)->SetLineStyle(borders_.Contains(e.border) ? static_cast<int>(style) : static_cast<int>(xl::xlLineStyleNone));
    }
  }
}

void TOfExcelRange::SetBorderLineWeight(TOfXlBorderWeights weight) {
  if (weight == borderLineWeight_) return;
  borderLineWeight_ = weight;
  if (auto r = ConnectedRange()) {
    for (const Edge& e : kEdges) {
      if (borders_.Contains(e.border)) r->Borders(e.index)->SetWeight(weight);
    }
  }
}
