// Chart items of a worksheet item: each mirrors one embedded chart (its
// frame in screen pixels, its type and its data range).
#pragma once

#include "excel/office_base.h"

class TOfExcelChart;
class TOfExcelWorksheet;

enum TOfXlChartType {
  xlctArea = 1,
  xlctBar = 58,
  xlctLine = 4,
  xlctPie = 5,
  xlctRadar = -4151,
  xlctXYScatter = -4169,
  xlct3DArea = -4098,
  xlct3DBar = 61,
  xlct3DLine = -4101,
  xlct3DPie = -4102,
  xlct3DColumn = -4100,
  xlctDoughnut = -4120,
  xlctUnknown = -1
};

class TOfExcelCharts : public TOfNestedCollection {
 public:
  TOfExcelCharts(TOfOfficeComponent* root, TOfNestedCollectionItem* parent);
  AnsiString Caption() const override { return "Chart"; }
  TOfExcelChart* Add();
  TOfExcelChart* Items(int index) const;
};

class TOfExcelChart : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelChart(TCollection* collection);
  ~TOfExcelChart() override;
  AnsiString ClassName() const override { return "TOfExcelChart"; }

  // Pixels: read from the chart object while connected, else stored;
  // written to it (in points) while connected.
  int Top();
  void SetTop(int pixels);
  int Left();
  void SetLeft(int pixels);
  int Width();
  void SetWidth(int pixels);
  int Height();
  void SetHeight(int pixels);
  // While connected the chart's type; a type outside the enumeration is
  // xlctUnknown.
  TOfXlChartType ChartType();
  void SetChartType(TOfXlChartType type);
  const AnsiString& DataRange() const { return dataRange_; }
  // Stored; while connected the chart wizard takes the range with labels
  // in its first row and column and a legend.
  void SetDataRange(const AnsiString& address);
  // The active sheet's selection becomes DataRange; ERangeException
  // without a selected range.
  void SetRangeFromSelection();

  std::shared_ptr<xl::IChartObject> ChartObject() const { return std::dynamic_pointer_cast<xl::IChartObject>(intf_); }
  TOfExcelWorksheet* WorksheetItem() const;
  int VerbCount() const override { return 1; }
  AnsiString Verb(int index) const override;
  void ExecuteVerb(int index) override;
  void Activate() override;
  // New workbook: adds the chart and writes the stored settings; workbook
  // from a file: binds to chart Index()+1 of the sheet and reads them.
  xl::XlRef BindServer();

 private:
  std::shared_ptr<xl::IChartObject> Connected() const;
  void ApplyDataRange();

  int top_ = 0, left_ = 0, width_ = 320, height_ = 240;
  AnsiString dataRange_;
  TOfXlChartType chartType_ = xlctBar;
};

// The enumeration member of a server chart type; xlctUnknown for others.
TOfXlChartType ChartTypeOf(int serverType);
