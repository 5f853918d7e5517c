// The item tree below the Excel component: workbooks, each with worksheets,
// each with ranges. Items keep their settings while disconnected and bind
// to their server objects when the component connects.
#pragma once

#include <memory>

#include "excel/excel_charts.h"
#include "excel/excel_hyperlinks.h"
#include "excel/office_base.h"
#include "platform/gui/enum_set.h"
#include "platform/gui/graphics.h"

// Range formatting values; the numbers are those the server takes.
enum TOfXlFontAttribute { xlfaBold, xlfaItalic, xlfaUnderline, xlfaStrikethrough };
using TOfXlFontAttributes = TSet<TOfXlFontAttribute>;
// xlcoRotated writes RotateDegrees instead of a constant.
enum TOfXlCellOrientation {
  xlcoRotated = 0,
  xlcoDownward = -4170,
  xlcoHorizontal = -4128,
  xlcoUpward = -4171,
  xlcoVertical = -4166
};
enum TOfXlCellHorizAlign {
  xlchaGeneral = 1,
  xlchaLeft = -4131,
  xlchaCenter = -4108,
  xlchaRight = -4152,
  xlchaFill = 5,
  xlchaJustify = -4130,
  xlchaCenterAcrossSelection = 7
};
enum TOfXlCellVertAlign {
  xlcvaTop = -4160,
  xlcvaCenter = -4108,
  xlcvaBottom = -4107,
  xlcvaJustify = -4130,
  xlcvaDistributed = -4117
};
enum TOfXlInteriorPatterns {
  xlipPatternAutomatic = -4105,
  xlipPatternChecker = 9,
  xlipPatternCrissCross = 16,
  xlipPatternDown = -4121,
  xlipPatternGray16 = 17,
  xlipPatternGray25 = -4124,
  xlipPatternGray50 = -4125,
  xlipPatternGray75 = -4126,
  xlipPatternGray8 = 18,
  xlipPatternGrid = 15,
  xlipPatternHorizontal = -4128,
  xlipPatternLightDown = 13,
  xlipPatternLightHorizontal = 11,
  xlipPatternLightUp = 14,
  xlipPatternLightVertical = 12,
  xlipPatternNone = -4142,
  xlipPatternSemiGray75 = 10,
  xlipPatternSolid = 1,
  xlipPatternUp = -4162,
  xlipPatternVertical = -4166
};
enum TOfXlBorder { xlbLeft, xlbRight, xlbTop, xlbBottom };
using TOfXlBorders = TSet<TOfXlBorder>;
enum TOfXlBorderLineStyles {
  xlblsContinuous = 1,
  xlblsDash = -4115,
  xlblsDashDot = 4,
  xlblsDashDotDot = 5,
  xlblsDot = -4118,
  xlblsDouble = -4119,
  xlblsLineStyleNone = -4142,
  xlblsSlantDashDot = 13
};
enum TOfXlBorderWeights { xlbwHairline = 1, xlbwThin = 2, xlbwMedium = -4138, xlbwThick = 4 };

class TOfExcel;
class TOfExcelWorkbook;
class TOfExcelWorksheet;
class TOfExcelRange;

class TOfExcelRanges : public TOfNestedCollection {
 public:
  TOfExcelRanges(TOfOfficeComponent* root, TOfNestedCollectionItem* parent);
  AnsiString Caption() const override { return "Range"; }
  TOfExcelRange* Add();
  TOfExcelRange* Items(int index) const;
};

class TOfExcelWorksheets : public TOfNestedCollection {
 public:
  TOfExcelWorksheets(TOfOfficeComponent* root, TOfNestedCollectionItem* parent);
  AnsiString Caption() const override { return "Worksheet"; }
  TOfExcelWorksheet* Add();
  TOfExcelWorksheet* Items(int index) const;
};

class TOfExcelWorkbooks : public TOfNestedCollection {
 public:
  explicit TOfExcelWorkbooks(TOfOfficeComponent* root);
  AnsiString Caption() const override { return "Workbook"; }
  TOfExcelWorkbook* Add();
  TOfExcelWorkbook* Items(int index) const;
};

class TOfExcelWorkbook : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelWorkbook(TCollection* collection);
  ~TOfExcelWorkbook() override;
  AnsiString ClassName() const override { return "TOfExcelWorkbook"; }

  const AnsiString& Filename() const { return filename_; }
  // Stores the name; while connected replaces the bound workbook by the
  // file (the old one closed without saving) and lists its sheets with
  // their hyperlinks and charts.
  void SetFilename(const AnsiString& name);
  void Connect() override;
  TOfExcelWorksheets* Worksheets() const { return worksheets_.get(); }
  std::shared_ptr<xl::IWorkbook> Workbook() const { return std::dynamic_pointer_cast<xl::IWorkbook>(intf_); }

  void SaveAs(const AnsiString& fileName);
  void Save();

  TOfNestedCollection* SubCollection(int index) const override;
  int SubCollectionCount() const override { return 1; }
  void InitDefaults() override;
  int VerbCount() const override { return 1; }
  AnsiString Verb(int index) const override;
  void ExecuteVerb(int index) override;
  void Activate() override;

 private:
  std::shared_ptr<xl::IWorkbook> CheckedWorkbook() const;
  // One worksheet item per sheet of the bound workbook, each with its
  // hyperlink and chart items.
  void ListSheets();

  AnsiString filename_;
  std::unique_ptr<TOfExcelWorksheets> worksheets_;
};

class TOfExcelWorksheet : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelWorksheet(TCollection* collection);
  ~TOfExcelWorksheet() override;
  AnsiString ClassName() const override { return "TOfExcelWorksheet"; }

  // The sheet's name while connected, else the stored one.
  AnsiString Name();
  void SetName(const AnsiString& name);
  const AnsiString& StoredName() const { return name_; }
  TOfExcelRanges* Ranges() const { return ranges_.get(); }
  TOfExcelHyperlinks* Hyperlinks() const { return hyperlinks_.get(); }
  TOfExcelCharts* Charts() const { return charts_.get(); }
  std::shared_ptr<xl::IWorksheet> Worksheet() const { return std::dynamic_pointer_cast<xl::IWorksheet>(intf_); }
  TOfExcelWorkbook* WorkbookItem() const;

  TOfNestedCollection* SubCollection(int index) const override;
  int SubCollectionCount() const override { return 3; }
  void Activate() override;
  // The sheet Index()+1 (a new sheet after the last when there are
  // fewer), then pushes the stored name (new workbook) or pulls it.
  xl::XlRef BindServer();

 private:
  AnsiString name_;
  std::unique_ptr<TOfExcelRanges> ranges_;
  std::unique_ptr<TOfExcelHyperlinks> hyperlinks_;
  std::unique_ptr<TOfExcelCharts> charts_;
};

class TOfExcelRange : public TOfNestedCollectionItem {
 public:
  explicit TOfExcelRange(TCollection* collection);
  ~TOfExcelRange() override;
  AnsiString ClassName() const override { return "TOfExcelRange"; }

  TComponent* OfficeModel() const { return officeModel_; }
  // Stores the model; the component drops it when it is freed.
  void SetOfficeModel(TComponent* model);
  void DropOfficeModel() { officeModel_ = nullptr; }
  // The bound range's address while connected, else the stored text.
  AnsiString Address();
  // While connected rebinds (clearing the old cells with ClearOnMove); a
  // text the sheet does not take shows "Invalid Range Address." and keeps
  // the old binding and text.
  void SetAddress(const AnsiString& address);
  bool ClearOnMove() const { return clearOnMove_; }
  void SetClearOnMove(bool on) { clearOnMove_ = on; }
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name) { name_ = name; }
  // The cell's value as text while connected ("(N/A)" for several cells),
  // else the last text read or set.
  AnsiString SimpleText();
  void SetSimpleText(const AnsiString& text);
  // The address of the range's first cell.
  AnsiString TopLeftAddress();
  std::shared_ptr<xl::IRange> Range() const { return std::dynamic_pointer_cast<xl::IRange>(intf_); }
  TOfExcelWorksheet* WorksheetItem() const;

  // Copies the rows of the office model into the sheet from the range's
  // top-left cell: a bold, centred header row, one row per model row, the
  // used columns auto-fitted; the item's range becomes header plus rows.
  void Populate();
  void SelectRange();
  void SetFromSelection();

  int VerbCount() const override { return 3; }
  AnsiString Verb(int index) const override;
  void ExecuteVerb(int index) override;
  void Activate() override;
  xl::XlRef BindServer();

  // Formatting: each setter ignores a value equal to the stored one
  // (FontAttributes and Borders are always stored), stores it after its
  // clamp and, while connected, writes it to the range.
  const AnsiString& FontName() const { return fontName_; }
  void SetFontName(const AnsiString& name);
  TColor FontColor() const { return fontColor_; }
  // Written as RGB, system colours resolved.
  void SetFontColor(TColor color);
  int FontSize() const { return fontSize_; }
  void SetFontSize(int size);  // 0 or less: ignored
  TOfXlFontAttributes FontAttributes() const { return fontAttributes_; }
  void SetFontAttributes(TOfXlFontAttributes attributes);  // writes all four flags
  int IndentLevel() const { return indentLevel_; }
  void SetIndentLevel(int level);  // 0 or less: 1; above 15: 15
  TOfXlCellOrientation Orientation() const { return orientation_; }
  void SetOrientation(TOfXlCellOrientation orientation);
  int RotateDegrees() const { return rotateDegrees_; }
  // Clamped to -90..90; written only while Orientation is xlcoRotated.
  void SetRotateDegrees(int degrees);
  bool ShrinkToFit() const { return shrinkToFit_; }
  void SetShrinkToFit(bool on);
  bool WrapText() const { return wrapText_; }
  void SetWrapText(bool on);
  TOfXlCellHorizAlign HorizontalAlignment() const { return horizontalAlignment_; }
  void SetHorizontalAlignment(TOfXlCellHorizAlign alignment);
  TOfXlCellVertAlign VerticalAlignment() const { return verticalAlignment_; }
  void SetVerticalAlignment(TOfXlCellVertAlign alignment);
  int ColumnWidth() const { return columnWidth_; }
  void SetColumnWidth(int width);  // 0 or less: ignored
  int RowHeight() const { return rowHeight_; }
  void SetRowHeight(int height);  // 0 or less: ignored
  TColor Color() const { return color_; }
  void SetColor(TColor color);  // passed as stored
  TOfXlInteriorPatterns Pattern() const { return pattern_; }
  void SetPattern(TOfXlInteriorPatterns pattern);
  TColor PatternColor() const { return patternColor_; }
  void SetPatternColor(TColor color);  // passed as stored
  TOfXlBorders Borders() const { return borders_; }
  // Only chooses the edges BorderStyle and BorderLineWeight address.
  void SetBorders(TOfXlBorders borders) { borders_ = borders; }
  TOfXlBorderLineStyles BorderStyle() const { return borderStyle_; }
  // The style on the edges in Borders, none (-4142) on the others.
  void SetBorderStyle(TOfXlBorderLineStyles style);
  TOfXlBorderWeights BorderLineWeight() const { return borderLineWeight_; }
  void SetBorderLineWeight(TOfXlBorderWeights weight);

 private:
  TOfExcel* Excel() const;
  // The bound range while connected, else null.
  std::shared_ptr<xl::IRange> ConnectedRange() const;

  AnsiString fontName_;
  TColor fontColor_ = clWindowText;
  int fontSize_ = 12;
  TOfXlFontAttributes fontAttributes_;
  int indentLevel_ = 0;
  TOfXlCellOrientation orientation_ = xlcoHorizontal;
  int rotateDegrees_ = 0;
  bool shrinkToFit_ = false;
  bool wrapText_ = false;
  TOfXlCellHorizAlign horizontalAlignment_ = xlchaLeft;
  TOfXlCellVertAlign verticalAlignment_ = xlcvaBottom;
  int columnWidth_ = 20;
  int rowHeight_ = 12;
  TColor color_ = clWindow;
  TOfXlInteriorPatterns pattern_ = xlipPatternNone;
  TColor patternColor_ = 0xFFFFFF;
  TOfXlBorders borders_;
  TOfXlBorderLineStyles borderStyle_ = xlblsLineStyleNone;
  TOfXlBorderWeights borderLineWeight_ = xlbwHairline;

  TComponent* officeModel_ = nullptr;
  AnsiString address_;
  bool clearOnMove_ = false;
  AnsiString name_;
  AnsiString simpleText_;
};
