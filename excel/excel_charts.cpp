// Chart items.
#include "excel/excel_charts.h"

#include "excel/excel_app.h"
#include "excel/excel_items.h"

TOfExcelCharts::TOfExcelCharts(TOfOfficeComponent* root, TOfNestedCollectionItem* parent)
    : TOfNestedCollection(FactoryOf<TOfExcelChart>(), root, parent) {}
TOfExcelChart* TOfExcelCharts::Add() { return static_cast<TOfExcelChart*>(TCollection::Add()); }
TOfExcelChart* TOfExcelCharts::Items(int index) const { return static_cast<TOfExcelChart*>(Item(index)); }

TOfXlChartType ChartTypeOf(int serverType) {
  static constexpr TOfXlChartType kTypes[] = {xlctArea,   xlctBar,     xlctLine,   xlctPie,
                                              xlctRadar,  xlctXYScatter, xlct3DArea, xlct3DBar,
                                              xlct3DLine, xlct3DPie,   xlct3DColumn, xlctDoughnut};
  for (TOfXlChartType t : kTypes) {
    if (t == serverType) return t;
  }
  return xlctUnknown;
}

TOfExcelChart::TOfExcelChart(TCollection* collection) : TOfNestedCollectionItem(collection) {}

TOfExcelChart::~TOfExcelChart() {
  TOfOfficeComponent* root = RootComponent();
  auto object = ChartObject();
  intf_.reset();
  if (object && root && root->Connected() && !root->IsDestroying()) {
    try {
      object->Delete();
    } catch (...) {
      // Gone on the server's side already.
    }
  }
}

TOfExcelWorksheet* TOfExcelChart::WorksheetItem() const { return static_cast<TOfExcelWorksheet*>(ParentItem()); }

std::shared_ptr<xl::IChartObject> TOfExcelChart::Connected() const {
  TOfOfficeComponent* root = RootComponent();
  return root && root->Connected() ? ChartObject() : nullptr;
}

int TOfExcelChart::Top() {
  if (auto o = Connected()) top_ = PointsToPixels(o->Top());
  return top_;
}
void TOfExcelChart::SetTop(int pixels) {
  if (auto o = Connected()) o->SetTop(PixelsToPoints(pixels));
  top_ = pixels;
}
int TOfExcelChart::Left() {
  if (auto o = Connected()) left_ = PointsToPixels(o->Left());
  return left_;
}
void TOfExcelChart::SetLeft(int pixels) {
  if (auto o = Connected()) o->SetLeft(PixelsToPoints(pixels));
  left_ = pixels;
}
int TOfExcelChart::Width() {
  if (auto o = Connected()) width_ = PointsToPixels(o->Width());
  return width_;
}
void TOfExcelChart::SetWidth(int pixels) {
  if (auto o = Connected()) o->SetWidth(PixelsToPoints(pixels));
  width_ = pixels;
}
int TOfExcelChart::Height() {
  if (auto o = Connected()) height_ = PointsToPixels(o->Height());
  return height_;
}
void TOfExcelChart::SetHeight(int pixels) {
  if (auto o = Connected()) o->SetHeight(PixelsToPoints(pixels));
  height_ = pixels;
}

TOfXlChartType TOfExcelChart::ChartType() {
  if (auto o = Connected()) chartType_ = ChartTypeOf(o->Chart()->ChartType());
  return chartType_;
}

void TOfExcelChart::SetChartType(TOfXlChartType type) {
  if (auto o = Connected()) o->Chart()->SetChartType(type);
  chartType_ = type;
}

void TOfExcelChart::ApplyDataRange() {
  auto o = Connected();
  TOfExcelWorksheet* sheetItem = WorksheetItem();
  auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
  if (!o || !sheet || dataRange_.empty()) return;
  o->Chart()->ChartWizard(sheet->Range(dataRange_, dataRange_), 1, 1, 1);
}

void TOfExcelChart::SetDataRange(const AnsiString& address) {
  dataRange_ = address;
  ApplyDataRange();
}

void TOfExcelChart::SetRangeFromSelection() {
  TOfOfficeComponent* root = RootComponent();
  root->CheckConnected(true, false);
  auto* excel = dynamic_cast<TOfExcelBase*>(root);
  auto app = excel ? excel->Application() : nullptr;
  xl::XlRef selection = app ? app->Selection() : nullptr;
  auto range = std::dynamic_pointer_cast<xl::IRange>(selection);
  if (!range) throw ERangeException("A Range must be selected in the current Worksheet.");
  SetDataRange(range->Address(false, false));
}

AnsiString TOfExcelChart::Verb(int index) const { return index == 0 ? "Set Range from Selection" : AnsiString(); }

void TOfExcelChart::ExecuteVerb(int index) {
  if (index == 0) SetRangeFromSelection();
}

void TOfExcelChart::Activate() {
  RootComponent()->CheckConnected(true, false);
  if (auto o = ChartObject()) o->Activate();
}

xl::XlRef TOfExcelChart::BindServer() {
  TOfExcelWorksheet* sheetItem = WorksheetItem();
  auto sheet = sheetItem ? sheetItem->Worksheet() : nullptr;
  TOfExcelWorkbook* bookItem = sheetItem ? sheetItem->WorkbookItem() : nullptr;
  if (!sheet || !bookItem) return nullptr;
  auto objects = sheet->ChartObjects();
  if (!bookItem->Filename().empty()) {
    if (Index() >= objects->Count()) return nullptr;
    intf_ = objects->Item(Index() + 1);
    Top();
    Left();
    Width();
    Height();
    ChartType();
    return intf_;
  }
  auto object = objects->Add(PixelsToPoints(left_), PixelsToPoints(top_), PixelsToPoints(width_), PixelsToPoints(height_));
  intf_ = object;
  object->Chart()->SetChartType(chartType_);
  ApplyDataRange();
  return intf_;
}
