// The Office-drawing records that place embedded charts on a sheet.
//
// Globals: one MSODRAWINGGROUP holding the drawing group container: the
// drawing group record (the highest shape id + 1, the id clusters + 1, the
// shapes and drawings saved, then per drawing its id and the shapes it
// used + 1). Shape ids are counted over all sheets: drawing d (from 1)
// owns the ids from d * 1024, the group shape first.
//
// Each sheet with charts: a drawing container split over MSODRAWING
// records, one per chart. The first holds the container's header, the
// drawing record (shape count, last shape id), the group container's
// header, the group shape and the first chart's shape container; each
// later one holds the next chart's shape container. Containers count the
// bytes of all their parts. A chart's shape container: the shape record
// (type 201, with an anchor), a few display properties, the client anchor
// (top-left and bottom-right cell, each with an offset in 1/1024 of the
// column width and 1/256 of the row height) and an empty client data
// record. After each MSODRAWING comes the chart's OBJ record and its chart
// substream (biff_chart.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "excel/biff/biff_writer.h"

namespace biff {

constexpr uint16_t kMsoDrawingGroup = 0x00EB;
constexpr uint16_t kMsoDrawing = 0x00EC;
constexpr uint16_t kObj = 0x005D;
constexpr uint16_t kObjChart = 5;

// A corner of an anchor: the cell and the offset inside it.
struct AnchorCorner {
  int col = 0, dx = 0;  // dx in 1/1024 of the column's width
  int row = 0, dy = 0;  // dy in 1/256 of the row's height
  friend bool operator==(const AnchorCorner&, const AnchorCorner&) = default;
};

struct ClientAnchor {
  AnchorCorner from, to;
};

// Column widths and row heights of a sheet in points.
double ColumnWidthPoints(const SheetData& sheet, int column);
double RowHeightPoints(const SheetData& sheet, int row);
// The anchor of a frame in points, and back.
ClientAnchor AnchorOf(const SheetData& sheet, double left, double top, double width, double height);
void FrameOf(const SheetData& sheet, const ClientAnchor& anchor, double& left, double& top, double& width, double& height);

// The MSODRAWINGGROUP data for the drawings (charts per sheet, sheets
// without charts left out).
std::string DrawingGroupData(const std::vector<int>& chartsPerDrawing);
// The MSODRAWING data for chart i (from 0) of drawing d (from 1) of a sheet
// with count charts.
std::string DrawingData(int drawing, int chartIndex, int count, const ClientAnchor& anchor);
// The OBJ record data of a chart with the given object id.
std::string ChartObjData(uint16_t objectId);

}  // namespace biff
