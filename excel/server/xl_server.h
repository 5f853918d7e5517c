// The spreadsheet object model the office components drive: application,
// workbooks, worksheets, ranges, fonts, outline and the application's event
// connection. Everything the components call goes through these abstract
// interfaces, so a test can hand in a recording implementation; the
// in-process implementation is xl_app.h.
//
// Objects are shared: a component holding a range keeps it alive. A call on
// an object whose workbook was closed or sheet deleted raises EOleException.
// Texts are CP1250 like every text of the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "excel/office_errors.h"
#include "platform/rtl/ansistring.h"
#include "platform/rtl/variant.h"

namespace xl {

using TGUID = std::string_view;

inline constexpr TGUID CLSID_ExcelApplication = "{00024500-0000-0000-C000-000000000046}";
inline constexpr TGUID IID__Application = "{000208D5-0000-0000-C000-000000000046}";
inline constexpr TGUID DIID_AppEvents = "{00024413-0000-0000-C000-000000000046}";
inline constexpr TGUID IID__Workbook = "{000208DA-0000-0000-C000-000000000046}";
inline constexpr TGUID IID__Worksheet = "{000208D8-0000-0000-C000-000000000046}";
inline constexpr TGUID IID_Range = "{00020846-0000-0000-C000-000000000046}";
inline constexpr TGUID IID_IConnectionPointContainer = "{B196B284-BAB4-101A-B69C-00AA00341D07}";
inline constexpr TGUID IID_IDispatch = "{00020400-0000-0000-C000-000000000046}";

// Constants of the object model.
enum : int {
  xlGeneral = 1,
  xlLeft = -4131,
  xlCenter = -4108,
  xlRight = -4152,
  xlFill = 5,
  xlJustify = -4130,
  xlCenterAcrossSelection = 7,
  xlTop = -4160,
  xlBottom = -4107,
  xlDistributed = -4117,
  xlNormal = -4143,
  xlMinimized = -4140,
  xlMaximized = -4137,
  xlSummaryAbove = 0,
  xlSummaryBelow = 1,
  // Orientation of a cell's text (besides degrees -90 to 90).
  xlDownward = -4170,
  xlHorizontal = -4128,
  xlUpward = -4171,
  xlVertical = -4166,
  // Border edges, line styles and weights.
  xlEdgeLeft = 7,
  xlEdgeTop = 8,
  xlEdgeBottom = 9,
  xlEdgeRight = 10,
  xlLineStyleNone = -4142,
  xlContinuous = 1,
  xlDash = -4115,
  xlDashDot = 4,
  xlDashDotDot = 5,
  xlDot = -4118,
  xlDouble = -4119,
  xlSlantDashDot = 13,
  xlHairline = 1,
  xlThin = 2,
  xlMedium = -4138,
  xlThick = 4,
  // Interior patterns (the positive ones are the file's pattern codes).
  xlPatternAutomatic = -4105,
  xlPatternNone = -4142,
  xlPatternSolid = 1,
  xlPatternGray50 = -4125,
  xlPatternGray75 = -4126,
  xlPatternGray25 = -4124,
  xlPatternHorizontal = -4128,
  xlPatternVertical = -4166,
  xlPatternDown = -4121,
  xlPatternUp = -4162,
  xlPatternChecker = 9,
  xlPatternSemiGray75 = 10,
  xlPatternLightHorizontal = 11,
  xlPatternLightVertical = 12,
  xlPatternLightDown = 13,
  xlPatternLightUp = 14,
  xlPatternGrid = 15,
  xlPatternCrissCross = 16,
  xlPatternGray16 = 17,
  xlPatternGray8 = 18,
};

// Dispatch ids of the application events.
enum AppEventId : int {
  kWindowResize = 1554,
  kWindowActivate = 1556,
  kWindowDeactivate = 1557,
  kSheetSelectionChange = 1558,
  kSheetBeforeDoubleClick = 1559,
  kSheetBeforeRightClick = 1560,
  kSheetActivate = 1561,
  kSheetDeactivate = 1562,
  kSheetCalculate = 1563,
  kSheetChange = 1564,
  kNewWorkbook = 1565,
  kWorkbookOpen = 1567,
  kWorkbookActivate = 1568,
  kWorkbookDeactivate = 1569,
  kWorkbookBeforeClose = 1570,
  kWorkbookBeforeSave = 1571,
  kWorkbookBeforePrint = 1572,
  kWorkbookNewSheet = 1573,
  kWorkbookAddinInstall = 1574,
  kWorkbookAddinUninstall = 1575,
};

// The common base of every server object (what IUnknown is to COM):
// QueryInterface answers the object's optional interfaces, or null.
class XlObject {
 public:
  virtual ~XlObject() = default;
  virtual void* QueryInterface(TGUID iid) {
    (void)iid;
    return nullptr;
  }
};
using XlRef = std::shared_ptr<XlObject>;

class IWorkbook;
class IWorksheet;

class IFont : public XlObject {
 public:
  virtual AnsiString Name() = 0;
  virtual void SetName(const AnsiString& name) = 0;
  virtual double Size() = 0;
  virtual void SetSize(double points) = 0;
  // Of a range with mixed weights: false.
  virtual bool Bold() = 0;
  virtual void SetBold(bool bold) = 0;
  virtual bool Italic() = 0;
  virtual void SetItalic(bool on) = 0;
  // Single underline or none.
  virtual bool Underline() = 0;
  virtual void SetUnderline(bool on) = 0;
  virtual bool Strikethrough() = 0;
  virtual void SetStrikethrough(bool on) = 0;
  // 0x00BBGGRR; kept as the nearest palette colour (system colours are
  // resolved first).
  virtual int32_t Color() = 0;
  virtual void SetColor(int32_t color) = 0;
};

// A range's fill: its colour, pattern and the pattern's colour. Setting a
// colour on cells without a pattern makes their fill solid.
class IInterior : public XlObject {
 public:
  virtual int32_t Color() = 0;
  virtual void SetColor(int32_t color) = 0;
  virtual int Pattern() = 0;
  virtual void SetPattern(int pattern) = 0;
  virtual int32_t PatternColor() = 0;
  virtual void SetPatternColor(int32_t color) = 0;
};

// One edge of a range's cells. A weight set on an edge without a line
// draws a continuous one.
class IBorder : public XlObject {
 public:
  virtual int LineStyle() = 0;
  virtual void SetLineStyle(int style) = 0;
  virtual int Weight() = 0;
  virtual void SetWeight(int weight) = 0;
};

class IRange : public XlObject {
 public:
  // Moved by rows and columns; EOleException when it leaves the sheet.
  virtual std::shared_ptr<IRange> Offset(int rows, int columns) = 0;
  // Same top-left cell, new size (at least 1 x 1, within the sheet).
  virtual std::shared_ptr<IRange> Resize(int rows, int columns) = 0;
  // An address relative to this range's top-left cell ("A1" is that cell).
  virtual std::shared_ptr<IRange> Range(const AnsiString& cell1, const AnsiString& cell2) = 0;
  // A1-style address, "$" before rows and columns as asked.
  virtual AnsiString Address(bool rowAbsolute, bool columnAbsolute) = 0;
  // One cell: its value (empty for a blank cell). Several: an array of
  // rows, each an array of the row's values.
  virtual Variant Value() = 0;
  // A single value goes into every cell; a one-dimensional array into
  // every row of the range, element i into column i.
  virtual void SetValue(const Variant& value) = 0;
  virtual void ClearContents() = 0;
  virtual void Select() = 0;
  virtual std::shared_ptr<IRange> EntireRow() = 0;
  virtual std::shared_ptr<IRange> EntireColumn() = 0;
  // 1 .. 8; the first row's level.
  virtual int OutlineLevel() = 0;
  virtual void SetOutlineLevel(int level) = 0;
  // Fits each column of the range to its widest displayed text.
  virtual void AutoFit() = 0;
  // In characters of the standard font's "0".
  virtual double ColumnWidth() = 0;
  virtual void SetColumnWidth(double width) = 0;
  virtual std::shared_ptr<IFont> Font() = 0;
  // In points; the first row's.
  virtual double RowHeight() = 0;
  virtual void SetRowHeight(double points) = 0;
  virtual std::shared_ptr<IInterior> Interior() = 0;
  // One of xlEdgeLeft, xlEdgeTop, xlEdgeBottom, xlEdgeRight.
  virtual std::shared_ptr<IBorder> Borders(int edge) = 0;
  // xlHorizontal, xlUpward, xlDownward, xlVertical or degrees -90..90.
  virtual int Orientation() = 0;
  virtual void SetOrientation(int orientation) = 0;
  // 0 .. 15.
  virtual int IndentLevel() = 0;
  virtual void SetIndentLevel(int level) = 0;
  virtual bool WrapText() = 0;
  virtual void SetWrapText(bool on) = 0;
  virtual bool ShrinkToFit() = 0;
  virtual void SetShrinkToFit(bool on) = 0;
  virtual int HorizontalAlignment() = 0;
  virtual void SetHorizontalAlignment(int alignment) = 0;
  virtual int VerticalAlignment() = 0;
  virtual void SetVerticalAlignment(int alignment) = 0;
  // Position and size: first row and column from 1, counts of rows and
  // columns.
  virtual int Row() = 0;
  virtual int Column() = 0;
  virtual int RowCount() = 0;
  virtual int ColumnCount() = 0;
  virtual std::shared_ptr<IWorksheet> Worksheet() = 0;
};

// A hyperlink on a range of cells: a web or mail address, a file, and/or a
// place in the workbook (the sub-address, "Sheet!A1" or a cell address).
class IHyperlink : public XlObject {
 public:
  virtual AnsiString Address() = 0;
  virtual void SetAddress(const AnsiString& address) = 0;
  virtual AnsiString SubAddress() = 0;
  virtual void SetSubAddress(const AnsiString& subAddress) = 0;
  // The cells it sits on.
  virtual std::shared_ptr<IRange> Range() = 0;
  // Always 0 (on a range); 1 would be on a shape.
  virtual int Type() = 0;
  virtual void Delete() = 0;
  // Opens the address with the desktop's handler; a sub-address alone
  // selects that range.
  virtual void Follow(bool newWindow) = 0;
};

class IHyperlinks : public XlObject {
 public:
  virtual int Count() = 0;
  virtual std::shared_ptr<IHyperlink> Item(int index) = 0;  // from 1
  // A new hyperlink on anchor (a range of this sheet) replacing any on the
  // same cells; address or subAddress must be given.
  virtual std::shared_ptr<IHyperlink> Add(const std::shared_ptr<IRange>& anchor, const AnsiString& address,
                                          const AnsiString& subAddress) = 0;
};

// An embedded chart: its type (any value is kept) and its data, set by the
// chart wizard.
class IChart : public XlObject {
 public:
  virtual int ChartType() = 0;
  virtual void SetChartType(int type) = 0;
  // The data (a range of the chart's sheet), whether the first column or
  // row holds the categories and the series names (1) or not (0), and the
  // legend. An omitted argument is given as -1 (the source as null) and
  // keeps what the chart had.
  virtual void ChartWizard(const std::shared_ptr<IRange>& source, int categoryLabels, int seriesLabels,
                           int hasLegend) = 0;
};

// The frame of an embedded chart on its sheet, in points.
class IChartObject : public XlObject {
 public:
  virtual double Left() = 0;
  virtual void SetLeft(double points) = 0;
  virtual double Top() = 0;
  virtual void SetTop(double points) = 0;
  virtual double Width() = 0;
  virtual void SetWidth(double points) = 0;
  virtual double Height() = 0;
  virtual void SetHeight(double points) = 0;
  virtual std::shared_ptr<IChart> Chart() = 0;
  virtual void Activate() = 0;
  virtual void Delete() = 0;
};

class IChartObjects : public XlObject {
 public:
  virtual int Count() = 0;
  virtual std::shared_ptr<IChartObject> Item(int index) = 0;  // from 1
  // A new empty chart at the position and size in points.
  virtual std::shared_ptr<IChartObject> Add(double left, double top, double width, double height) = 0;
};

class IOutline : public XlObject {
 public:
  virtual int SummaryRow() = 0;
  virtual void SetSummaryRow(int where) = 0;
};

class IWorksheet : public XlObject {
 public:
  virtual AnsiString Name() = 0;
  // 1-31 characters without : \ / ? * [ ], unique in the workbook
  // (case-insensitive); EOleException otherwise.
  virtual void SetName(const AnsiString& name) = 0;
  virtual void Activate() = 0;
  // EOleException for the workbook's only sheet.
  virtual void Delete() = 0;
  virtual std::shared_ptr<IRange> Range(const AnsiString& cell1, const AnsiString& cell2) = 0;
  virtual std::shared_ptr<IOutline> Outline() = 0;
  virtual std::shared_ptr<IHyperlinks> Hyperlinks() = 0;
  virtual std::shared_ptr<IChartObjects> ChartObjects() = 0;
  virtual std::shared_ptr<IWorkbook> Workbook() = 0;
  // Position in the workbook, from 1.
  virtual int Index() = 0;
};

class IWorksheets : public XlObject {
 public:
  virtual int Count() = 0;
  virtual std::shared_ptr<IWorksheet> Item(int index) = 0;  // from 1
  // A new sheet after the given one (null: before the active sheet); it
  // becomes the active sheet.
  virtual std::shared_ptr<IWorksheet> Add(const std::shared_ptr<IWorksheet>& after) = 0;
};

class IWorkbook : public XlObject {
 public:
  virtual AnsiString Name() = 0;
  // The saved file's full name, or the name for a new workbook.
  virtual AnsiString FullName() = 0;
  virtual std::shared_ptr<IWorksheets> Worksheets() = 0;
  virtual void Activate() = 0;
  // Closes the workbook, saving it first when asked; a BeforeClose handler
  // may refuse.
  virtual void Close(bool saveChanges) = 0;
  // Writes the workbook where it was saved last, or a new one into the
  // documents folder as "<Name>.xls".
  virtual void Save() = 0;
  virtual void SaveAs(const AnsiString& fileName) = 0;
};

class IWorkbooks : public XlObject {
 public:
  virtual int Count() = 0;
  virtual std::shared_ptr<IWorkbook> Item(int index) = 0;  // from 1
  // A new workbook; the template must be empty.
  virtual std::shared_ptr<IWorkbook> Add(const Variant& templateName) = 0;
  virtual std::shared_ptr<IWorkbook> Open(const AnsiString& fileName) = 0;
};

// One argument of an event call: a value, a server object, or a Boolean
// the handler may change (the cancel flags).
struct OleArg {
  Variant value;
  XlRef object;
  bool* byRef = nullptr;
};
using NamedArgs = std::vector<std::pair<AnsiString, OleArg>>;

// What a connection point calls: positional arguments last first, as
// automation passes them, then the named ones.
class IEventSink {
 public:
  virtual ~IEventSink() = default;
  virtual void Invoke(int dispId, const std::vector<OleArg>& argsLastFirst, const NamedArgs& named) = 0;
};

class IConnectionPoint {
 public:
  virtual ~IConnectionPoint() = default;
  // A cookie for Unadvise.
  virtual uint32_t Advise(IEventSink* sink) = 0;
  virtual void Unadvise(uint32_t cookie) = 0;
};

class IConnectionPointContainer {
 public:
  virtual ~IConnectionPointContainer() = default;
  // Null when the object does not source that event interface.
  virtual IConnectionPoint* FindConnectionPoint(TGUID iid) = 0;
};

class IApplication : public XlObject {
 public:
  virtual bool Visible() = 0;
  virtual void SetVisible(bool on) = 0;
  virtual bool Interactive() = 0;
  virtual void SetInteractive(bool on) = 0;
  virtual int WindowState() = 0;
  virtual void SetWindowState(int state) = 0;
  // The window in points.
  virtual double Left() = 0;
  virtual void SetLeft(double points) = 0;
  virtual double Top() = 0;
  virtual void SetTop(double points) = 0;
  virtual double Width() = 0;
  virtual void SetWidth(double points) = 0;
  virtual double Height() = 0;
  virtual void SetHeight(double points) = 0;
  virtual AnsiString Caption() = 0;
  virtual void SetCaption(const AnsiString& caption) = 0;
  virtual bool EnableAnimations() = 0;
  virtual void SetEnableAnimations(bool on) = 0;
  virtual bool EnableAutoComplete() = 0;
  virtual void SetEnableAutoComplete(bool on) = 0;
  virtual int EnableCancelKey() = 0;
  virtual void SetEnableCancelKey(int key) = 0;
  virtual bool LargeButtons() = 0;
  virtual void SetLargeButtons(bool on) = 0;
  virtual bool ScreenUpdating() = 0;
  virtual void SetScreenUpdating(bool on) = 0;
  virtual bool DisplayAlerts() = 0;
  virtual void SetDisplayAlerts(bool on) = 0;
  virtual int SheetsInNewWorkbook() = 0;
  virtual void SetSheetsInNewWorkbook(int count) = 0;
  virtual bool EnableEvents() = 0;
  virtual void SetEnableEvents(bool on) = 0;
  virtual AnsiString UserName() = 0;
  virtual void SetUserName(const AnsiString& name) = 0;
  virtual AnsiString OrganizationName() = 0;
  virtual AnsiString OperatingSystem() = 0;
  virtual AnsiString Version() = 0;
  virtual AnsiString Build() = 0;
  // Bytes.
  virtual double MemoryTotal() = 0;
  virtual double MemoryFree() = 0;
  virtual double MemoryUsed() = 0;
  virtual bool MathCoprocessorAvailable() = 0;

  virtual std::shared_ptr<IWorkbooks> Workbooks() = 0;
  // The selected range of the active sheet; null when no workbook is open.
  virtual XlRef Selection() = 0;
  virtual std::shared_ptr<IWorksheet> ActiveSheet() = 0;
  // Closes every workbook without saving.
  virtual void Quit() = 0;
};

}  // namespace xl
