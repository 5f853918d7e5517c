// The chart substream of an embedded chart, and the mapping between the
// object model's chart types and the chart group records.
//
// Layout: BOF (chart), UNITS, CHART (frame in points, 16.16 fixed), BEGIN,
// PLOTGROWTH, one SERIES per data column or row (BEGIN, the AI records of
// the name, values, categories and bubble sizes as references to the
// sheet, SERTOCRT, END), SHTPROPS, AXESUSED, AXISPARENT (BEGIN, for types
// with axes a category or value axis and a value axis each with its range
// and ticks, PLOTAREA, CHARTFORMAT (BEGIN, the group record: AREA, BAR,
// LINE, PIE, RADAR or SCATTER, CHART3D for the 3D types, LEGEND, END),
// END), END, EOF. References need the workbook's EXTERNSHEET: sheet i is
// entry i.
#pragma once

#include <cstdint>
#include <string>

#include "excel/biff/biff_writer.h"

namespace biff {

constexpr uint16_t kBofChart = 0x0020;

enum ChartRecord : uint16_t {
  kChartUnits = 0x1001,
  kChartChart = 0x1002,
  kChartSeries = 0x1003,
  kChartFormat = 0x1014,
  kChartLegend = 0x1015,
  kChartBar = 0x1017,
  kChartLine = 0x1018,
  kChartPie = 0x1019,
  kChartArea = 0x101A,
  kChartScatter = 0x101B,
  kChartAxis = 0x101D,
  kChartTick = 0x101E,
  kChartValueRange = 0x101F,
  kChartCatSerRange = 0x1020,
  kChartBegin = 0x1033,
  kChartEnd = 0x1034,
  kChartPlotArea = 0x1035,
  kChart3d = 0x103A,
  kChartRadar = 0x103E,
  kChartAxisParent = 0x1041,
  kChartShtProps = 0x1044,
  kChartSerToCrt = 0x1045,
  kChartAxesUsed = 0x1046,
  kChartPos = 0x104F,
  kChartAi = 0x1051,
  kChartPlotGrowth = 0x1064,
};

constexpr uint16_t kSupBook = 0x01AE;
constexpr uint16_t kExternSheet = 0x0017;

// What the chart group records say about a chart type.
struct ChartGroup {
  uint16_t record = kChartBar;
  bool horizontal = false;  // BAR: bars rather than columns
  bool stacked = false;     // BAR
  bool doughnut = false;    // PIE with a hole
  bool threeD = false;
};

// The group of an object-model chart type; a type the table does not hold
// gives clustered columns.
ChartGroup GroupOfType(int type);
// The object-model type of a group (clustered columns: 51).
int TypeOfGroup(const ChartGroup& group);

// Appends the chart substream of chart on sheet sheetIndex.
void AppendChartSubstream(std::string& out, const Chart& chart, int sheetIndex);

}  // namespace biff
