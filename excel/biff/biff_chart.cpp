// Chart substream writer.
#include "excel/biff/biff_chart.h"

#include <algorithm>
#include <cmath>

#include "excel/biff/biff_records.h"
#include "excel/biff/biff_strings.h"

namespace biff {

namespace {

struct TypeEntry {
  int type;
  ChartGroup group;
};

// The object model's twelve chart types (their numbers as the model uses
// them).
const TypeEntry kTypes[] = {
    {1, {kChartArea, false, false, false, false}},      // area
    {58, {kChartBar, true, true, false, false}},        // stacked bars
    {4, {kChartLine, false, false, false, false}},      // line
    {5, {kChartPie, false, false, false, false}},       // pie
    {-4151, {kChartRadar, false, false, false, false}}, // radar
    {-4169, {kChartScatter, false, false, false, false}},
    {-4098, {kChartArea, false, false, false, true}},   // 3D area
    {61, {kChartBar, true, true, false, true}},         // 3D stacked bars
    {-4101, {kChartLine, false, false, false, true}},   // 3D line
    {-4102, {kChartPie, false, false, false, true}},    // 3D pie
    {-4100, {kChartBar, false, false, false, true}},    // 3D columns
    {-4120, {kChartPie, false, false, true, false}},    // doughnut
};

bool SameGroup(const ChartGroup& a, const ChartGroup& b) {
  return a.record == b.record && a.horizontal == b.horizontal && a.stacked == b.stacked && a.doughnut == b.doughnut &&
         a.threeD == b.threeD;
}

void Record(std::string& out, uint16_t id, const std::string& data = {}) { AppendRecord(out, id, data); }

void Begin(std::string& out) { Record(out, kChartBegin); }
void End(std::string& out) { Record(out, kChartEnd); }

void PutFixed(std::string& out, double points) {
  Put32(out, static_cast<uint32_t>(std::lround(std::clamp(points, 0.0, 32767.0) * 65536)));
}

// A reference to cells of sheet ixti, absolute, as a formula.
std::string AreaFormula(int ixti, const CellArea& a) {
  std::string f;
  Put8(f, 0x3B);  // area, 3D, reference class
  Put16(f, static_cast<uint16_t>(ixti));
  Put16(f, static_cast<uint16_t>(a.row0));
  Put16(f, static_cast<uint16_t>(a.row1));
  Put16(f, static_cast<uint16_t>(a.col0));
  Put16(f, static_cast<uint16_t>(a.col1));
  return f;
}

void PutAi(std::string& out, uint8_t id, const std::string* formula) {
  std::string d;
  Put8(d, id);
  Put8(d, formula ? 2 : 1);  // 2: a reference to the sheet; 1: none given
  Put16(d, 0);
  Put16(d, 0);
  Put16(d, static_cast<uint16_t>(formula ? formula->size() : 0));
  if (formula) d += *formula;
  Record(out, kChartAi, d);
}

void PutAxis(std::string& out, uint16_t kind, bool valueRange) {
  std::string d;
  Put16(d, kind);
  d.append(16, '\0');
  Record(out, kChartAxis, d);
  Begin(out);
  d.clear();
  if (valueRange) {
    for (int i = 0; i < 5; ++i) PutDouble(d, 0);
    Put16(d, 0x011F);  // minimum, maximum, units and crossing automatic
    Record(out, kChartValueRange, d);
  } else {
    Put16(d, 1);  // crosses at the first category
    Put16(d, 1);  // a label every category
    Put16(d, 1);  // a tick every category
    Put16(d, 1);  // the value axis crosses between categories
    Record(out, kChartCatSerRange, d);
  }
  d.clear();
  Put8(d, 2);  // major ticks outside
  Put8(d, 0);
  Put8(d, 3);  // labels next to the axis
  Put8(d, 1);  // transparent background
  Put32(d, 0);
  d.append(16, '\0');
  Put16(d, 0x0023);  // automatic colour, background and rotation
  Put16(d, 0);
  Record(out, kChartTick, d);
  End(out);
}

}  // namespace

ChartGroup GroupOfType(int type) {
  for (const TypeEntry& e : kTypes) {
    if (e.type == type) return e.group;
  }
  return ChartGroup{};
}

int TypeOfGroup(const ChartGroup& group) {
  for (const TypeEntry& e : kTypes) {
    if (SameGroup(e.group, group)) return e.type;
  }
  return kDefaultChartType;
}

void AppendChartSubstream(std::string& out, const Chart& chart, int sheetIndex) {
  ChartGroup group = GroupOfType(chart.type);
  std::string d;
  Put16(d, kBiff8Version);
  Put16(d, kBofChart);
  Put16(d, 0x0DBB);
  Put16(d, 0x07CC);
  Put32(d, 0x00000041);
  Put32(d, 0x00000006);
  Record(out, kBof, d);
  d.clear();
  Put16(d, 0);
  Record(out, kChartUnits, d);
  d.clear();
  PutFixed(d, 0);
  PutFixed(d, 0);
  PutFixed(d, chart.width);
  PutFixed(d, chart.height);
  Record(out, kChartChart, d);
  Begin(out);
  d.clear();
  Put32(d, 0x00010000);
  Put32(d, 0x00010000);
  Record(out, kChartPlotGrowth, d);

  // Series along the smaller side of the data; the first row and column
  // hold names and categories when the labels say so and data remains.
  if (chart.hasSource) {
    const CellArea& a = chart.source;
    int rows = a.row1 - a.row0 + 1, cols = a.col1 - a.col0 + 1;
    bool byRows = rows < cols;
    int seriesSpan = byRows ? rows : cols;   // along which the series lie
    int pointSpan = byRows ? cols : rows;    // values per series
    int nameLines = chart.seriesLabels == 1 && pointSpan > 1 ? 1 : 0;
    int categoryLines = chart.categoryLabels == 1 && seriesSpan > 1 ? 1 : 0;
    int points = pointSpan - nameLines;
    for (int s = categoryLines; s < seriesSpan; ++s) {
      d.clear();
      Put16(d, 1);
      Put16(d, 1);
      Put16(d, static_cast<uint16_t>(points));
      Put16(d, static_cast<uint16_t>(points));
      Put16(d, 1);
      Put16(d, 0);
      Record(out, kChartSeries, d);
      Begin(out);
      CellArea values, name, categories;
      if (byRows) {
        int r = a.row0 + s;
        values = {r, a.col0 + nameLines, r, a.col1};
        name = {r, a.col0, r, a.col0};
        categories = {a.row0, a.col0 + nameLines, a.row0, a.col1};
      } else {
        int c = a.col0 + s;
        values = {a.row0 + nameLines, c, a.row1, c};
        name = {a.row0, c, a.row0, c};
        categories = {a.row0 + nameLines, a.col0, a.row1, a.col0};
      }
      std::string nameF = AreaFormula(sheetIndex, name), valuesF = AreaFormula(sheetIndex, values),
                  categoriesF = AreaFormula(sheetIndex, categories);
      PutAi(out, 0, nameLines ? &nameF : nullptr);
      PutAi(out, 1, &valuesF);
      PutAi(out, 2, categoryLines ? &categoriesF : nullptr);
      PutAi(out, 3, nullptr);
      d.clear();
      Put16(d, 0);
      Record(out, kChartSerToCrt, d);
      End(out);
    }
  }

  d.clear();
  Put16(d, 0x000A);  // plot visible cells only, no resizing with the window
  Put8(d, 0);        // empty cells are gaps
  Put8(d, 0);
  Record(out, kChartShtProps, d);
  d.clear();
  Put16(d, 1);
  Record(out, kChartAxesUsed, d);
  d.clear();
  Put16(d, 0);
  d.append(16, '\0');
  Record(out, kChartAxisParent, d);
  Begin(out);
  if (group.record != kChartPie) {
    PutAxis(out, 0, group.record == kChartScatter);
    PutAxis(out, 1, true);
    Record(out, kChartPlotArea);
  }
  d.clear();
  d.append(16, '\0');
  Put16(d, 0);
  Put16(d, 0);
  Record(out, kChartFormat, d);
  Begin(out);
  d.clear();
  switch (group.record) {
    case kChartBar:
      Put16(d, static_cast<uint16_t>(group.stacked ? -100 : 0));  // overlap
      Put16(d, 150);  // gap
      Put16(d, static_cast<uint16_t>((group.horizontal ? 1 : 0) | (group.stacked ? 2 : 0)));
      break;
    case kChartPie:
      Put16(d, 0);
      Put16(d, group.doughnut ? 50 : 0);
      Put16(d, 0);
      break;
    case kChartScatter:
      Put16(d, 100);
      Put16(d, 1);
      Put16(d, 0);
      break;
    case kChartRadar:
      Put16(d, 1);  // axis labels
      Put16(d, 0);
      break;
    default:
      Put16(d, 0);
      break;
  }
  Record(out, group.record, d);
  if (group.threeD) {
    d.clear();
    bool pie = group.record == kChartPie;
    Put16(d, 20);   // rotation
    Put16(d, 15);   // elevation
    Put16(d, 30);   // perspective
    Put16(d, 100);  // height
    Put16(d, 100);  // depth
    Put16(d, 150);  // gap
    Put16(d, static_cast<uint16_t>(0x0001 | (pie ? 0 : 0x0010)));  // perspective; not a pie
    Record(out, kChart3d, d);
  }
  if (chart.hasLegend) {
    d.clear();
    for (int i = 0; i < 4; ++i) Put32(d, 0);
    Put8(d, 3);  // on the right
    Put8(d, 1);
    Put16(d, 0x001F);  // placed automatically, vertical
    Record(out, kChartLegend, d);
    Begin(out);
    d.clear();
    Put16(d, 5);
    Put16(d, 2);
    for (int i = 0; i < 8; ++i) Put16(d, 0);
    Record(out, kChartPos, d);
    End(out);
  }
  End(out);  // chart format
  End(out);  // axis parent
  End(out);  // chart
  Record(out, kEof);
}

}  // namespace biff
