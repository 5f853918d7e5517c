// Office-drawing records of embedded charts.
#include "excel/biff/biff_drawing.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>

#include "excel/biff/biff_records.h"
#include "excel/biff/biff_strings.h"

namespace biff {

namespace {

constexpr int kShapesPerCluster = 1024;
constexpr int kStandardColumnWidth = 2231;  // 8 digits of 7 pixels and the margin, in 1/256 of a digit

void Header(std::string& out, int version, int instance, uint16_t type, uint32_t length) {
  Put16(out, static_cast<uint16_t>((version & 0x0F) | (instance << 4)));
  Put16(out, type);
  Put32(out, length);
}

// A chart's shape container.
std::string ChartShape(uint32_t shapeId, const ClientAnchor& a) {
  std::string body;
  Header(body, 2, 201, 0xF00A, 8);  // shape: host control, as charts are
  Put32(body, shapeId);
  Put32(body, 0x00000A00);  // has an anchor and a shape type
  struct Prop {
    uint16_t id;
    uint32_t value;
  } props[] = {{0x007F, 0x01040104}, {0x00BF, 0x00080008}, {0x0181, 0x0800004E}, {0x01BF, 0x00110010},
               {0x01C0, 0x0800004D}, {0x01FF, 0x00080008}, {0x023F, 0x00020000}, {0x03BF, 0x00080000}};
  Header(body, 3, static_cast<int>(std::size(props)), 0xF00B, static_cast<uint32_t>(6 * std::size(props)));
  for (const Prop& p : props) {
    Put16(body, p.id);
    Put32(body, p.value);
  }
  Header(body, 0, 0, 0xF010, 18);
  Put16(body, 0);  // moves and sizes with the cells
  for (const AnchorCorner* c : {&a.from, &a.to}) {
    Put16(body, static_cast<uint16_t>(c->col));
    Put16(body, static_cast<uint16_t>(c->dx));
    Put16(body, static_cast<uint16_t>(c->row));
    Put16(body, static_cast<uint16_t>(c->dy));
  }
  Header(body, 0, 0, 0xF011, 0);
  std::string out;
  Header(out, 0x0F, 0, 0xF004, static_cast<uint32_t>(body.size()));
  return out + body;
}

// The group shape container that heads a drawing.
std::string GroupShape(uint32_t shapeId) {
  std::string body;
  Header(body, 1, 0, 0xF009, 16);
  body.append(16, '\0');
  Header(body, 2, 0, 0xF00A, 8);
  Put32(body, shapeId);
  Put32(body, 0x00000005);  // group, patriarch
  std::string out;
  Header(out, 0x0F, 0, 0xF004, static_cast<uint32_t>(body.size()));
  return out + body;
}

// Where a position in points falls: the index and the fraction into it.
void Locate(double points, int limit, const std::function<double(int)>& size, int& index, double& fraction) {
  index = 0;
  while (index < limit - 1 && points >= size(index)) {
    points -= size(index);
    ++index;
  }
  double s = size(index);
  fraction = s > 0 ? std::min(points / s, 1.0) : 0;
}

}  // namespace

double ColumnWidthPoints(const SheetData& sheet, int column) {
  int32_t w = sheet.columnWidths[static_cast<std::size_t>(column)];
  return (w < 0 ? kStandardColumnWidth : w) * 7.0 / 256 * 0.75;
}

double RowHeightPoints(const SheetData& sheet, int row) {
  uint16_t h = static_cast<std::size_t>(row) < sheet.rows.size() ? sheet.rows[static_cast<std::size_t>(row)].height : 0;
  return (h ? h : kStandardRowHeight) / 20.0;
}

ClientAnchor AnchorOf(const SheetData& sheet, double left, double top, double width, double height) {
  auto col = [&](int c) { return ColumnWidthPoints(sheet, c); };
  auto row = [&](int r) { return RowHeightPoints(sheet, r); };
  ClientAnchor a;
  double f;
  Locate(left, kMaxColumns, col, a.from.col, f);
  a.from.dx = static_cast<int>(std::lround(f * 1023));
  Locate(top, kMaxRows, row, a.from.row, f);
  a.from.dy = static_cast<int>(std::lround(f * 255));
  Locate(left + width, kMaxColumns, col, a.to.col, f);
  a.to.dx = static_cast<int>(std::lround(f * 1023));
  Locate(top + height, kMaxRows, row, a.to.row, f);
  a.to.dy = static_cast<int>(std::lround(f * 255));
  return a;
}

void FrameOf(const SheetData& sheet, const ClientAnchor& a, double& left, double& top, double& width, double& height) {
  auto x = [&](const AnchorCorner& c) {
    double p = 0;
    for (int i = 0; i < c.col; ++i) p += ColumnWidthPoints(sheet, i);
    return p + ColumnWidthPoints(sheet, c.col) * std::min(c.dx, 1023) / 1023.0;
  };
  auto y = [&](const AnchorCorner& c) {
    double p = 0;
    for (int i = 0; i < c.row; ++i) p += RowHeightPoints(sheet, i);
    return p + RowHeightPoints(sheet, c.row) * std::min(c.dy, 255) / 255.0;
  };
  left = x(a.from);
  top = y(a.from);
  width = std::max(0.0, x(a.to) - left);
  height = std::max(0.0, y(a.to) - top);
}

std::string DrawingGroupData(const std::vector<int>& chartsPerDrawing) {
  std::string dgg;
  int drawings = static_cast<int>(chartsPerDrawing.size());
  uint32_t shapes = 0;
  for (int n : chartsPerDrawing) shapes += static_cast<uint32_t>(n + 1);
  int last = chartsPerDrawing.empty() ? 0 : chartsPerDrawing.back();
  Header(dgg, 0, 0, 0xF006, static_cast<uint32_t>(16 + 8 * drawings));
  Put32(dgg, static_cast<uint32_t>(drawings * kShapesPerCluster + last + 1));  // highest shape id + 1
  Put32(dgg, static_cast<uint32_t>(drawings + 1));
  Put32(dgg, shapes);
  Put32(dgg, static_cast<uint32_t>(drawings));
  for (int d = 0; d < drawings; ++d) {
    Put32(dgg, static_cast<uint32_t>(d + 1));
    Put32(dgg, static_cast<uint32_t>(chartsPerDrawing[static_cast<std::size_t>(d)] + 2));
  }
  std::string out;
  Header(out, 0x0F, 0, 0xF000, static_cast<uint32_t>(dgg.size()));
  return out + dgg;
}

std::string DrawingData(int drawing, int chartIndex, int count, const ClientAnchor& anchor) {
  uint32_t base = static_cast<uint32_t>(drawing * kShapesPerCluster);
  std::string shape = ChartShape(base + 1 + static_cast<uint32_t>(chartIndex), anchor);
  if (chartIndex > 0) return shape;
  // Every chart's shape container has the same size.
  std::string group = GroupShape(base);
  uint32_t groupLength = static_cast<uint32_t>(group.size() + shape.size() * static_cast<std::size_t>(count));
  std::string out;
  Header(out, 0x0F, 0, 0xF002, 16 + 8 + groupLength);
  Header(out, 0, drawing, 0xF008, 8);
  Put32(out, static_cast<uint32_t>(count + 1));
  Put32(out, base + static_cast<uint32_t>(count));
  Header(out, 0x0F, 0, 0xF003, groupLength);
  return out + group + shape;
}

std::string ChartObjData(uint16_t objectId) {
  std::string out;
  Put16(out, 0x0015);  // common object data
  Put16(out, 18);
  Put16(out, kObjChart);
  Put16(out, objectId);
  Put16(out, 0x6011);  // locked, printed, automatic fill and line
  out.append(12, '\0');
  Put32(out, 0);  // end
  return out;
}

}  // namespace biff
