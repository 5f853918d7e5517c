// TBaseReport: the report canvas the application's print handler writes a
// whole report through. It keeps the page geometry (units, margins,
// sections, columns, the cursor and the line height), the font, pen and
// brush state, tab stops, the page counter and selection, the status line
// and the report events, and it runs the report. It puts nothing on paper
// itself: every output operation is virtual, implemented by a canvas
// (canvas_report.h) or a page-stream writer.
//
// Lengths cross the interface in report units (Units, UnitsFactor = units
// per inch) and are held inside as double inches; the text slots take x in
// inches. Device pixels come from inches by
//   round(((x + origin) * scale * zoom / 10000 - waste) * dpi) + pixel offset
// rounding halves to even.
#pragma once

#include <array>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "platform/gui/graphics.h"
#include "platform/gui/report_fonts.h"
#include "platform/gui/std_controls.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/stringlist.h"
#include "report/line_buffer.h"
#include "report/rpt_common.h"
#include "report/rpt_device.h"

enum TPrintUnits { unInch, unMM, unCM, unPoint, unUser };
enum TLineHeightMethod { lhmLinesPerInch, lhmFont, lhmUser };
enum TBKMode { bkTransparent, bkOpaque };
enum TPrintJustify { pjCenter, pjLeft, pjRight, pjBlock };

// Box-line flags of AddTab.
constexpr int BOXLINELEFT = 1;
constexpr int BOXLINERIGHT = 2;
constexpr int BOXLINETOP = 4;
constexpr int BOXLINEBOTTOM = 8;
constexpr int BOXLINEALL = 15;
// "The stop's own setting" in NextTab's arguments.
constexpr int kTabDefault = -32768;

// The markers embedded in printed texts.
constexpr char kFormatBegin = '\x01';
constexpr char kFormatSeparator = '\x02';
constexpr char kFormatSkip = '\x03';
constexpr char kFormatEnd = '\x04';
constexpr char kMarker = '\xFD';
constexpr char kNameBegin = '\xFC';
constexpr char kNameEnd = '\xFB';

// The complete current font, copied whole by the font stack, the saved-font
// slots and the font cache.
struct TSaveFont {
  AnsiString Name = "Arial";  // up to 60 characters
  TColor Color = clBlack;
  uint8_t Pitch = 0;          // 0 default, 1 variable, 2 fixed
  double Size = 10;           // points
  double Height = 10 / 72.0;  // inches
  double Width = 0;           // inches; 0 = the font's own
  double Ascent = 0;          // inches, filled when realised
  double Descent = 0;
  double InternalLeading = 0;
  bool Bold = false;
  bool Underline = false;
  bool Italic = false;
  bool StrikeOut = false;
  bool Subscript = false;
  bool Superscript = false;
  int16_t Rotation = 0;       // degrees 0-359
  uint8_t Align = 0;          // 0 baseline, 1 top, 2 bottom
  int16_t Index = 0;          // cache index
  std::shared_ptr<TRptDeviceFont> Handle;
  uint8_t CharSet = DEFAULT_CHARSET;
};

struct TTab {
  double Pos = 0;       // inches
  uint8_t Justify = pjLeft;
  double Width = 0;     // inches; 0 = a bare position
  double Margin = 0;    // inches
  bool Left = false, Right = false, Top = false, Bottom = false;
  uint8_t Shade = 0;    // percent; 0 = TabShade
};
// A tab list is shared by reference (PushTabs) and freed with its last one.
using TTabList = std::shared_ptr<std::vector<TTab>>;

using TPrintPageEvent = std::function<bool(TObject* sender, int& pageNum)>;
using TDecodeImageEvent =
    std::function<void(TObject* sender, TStream* stream, const AnsiString& extension, TBitmap* bitmap)>;
using TPageHandler = std::function<void(TObject* sender, intptr_t data)>;

class TBaseReport;
// An object that draws itself on a report (PrintObject).
class TRptPrintObject {
 public:
  virtual ~TRptPrintObject() = default;
  virtual void Print(TBaseReport* report, double x, double y) = 0;
};

class TBaseReport : public TRptBaseComponent {
 public:
  explicit TBaseReport(TComponent* owner = nullptr);
  ~TBaseReport() override;
  AnsiString ClassName() const override { return "TBaseReport"; }

  // ---- units and device mapping
  TPrintUnits Units() const { return units_; }
  void SetUnits(TPrintUnits units);
  double UnitsFactor() const { return factor_; }
  void SetUnitsFactor(double factor);
  double ScaleX() const { return scaleX_; }
  double ScaleY() const { return scaleY_; }
  virtual void SetScaleX(double percent) { scaleX_ = percent; }
  virtual void SetScaleY(double percent) { scaleY_ = percent; }
  double Zoom() const { return zoom_; }
  void SetZoom(double percent) { zoom_ = percent; }
  void SetPixelOffset(int x, int y) { pixelOffsetX_ = x, pixelOffsetY_ = y; }
  int XDPI() const { return dpiX_; }
  int YDPI() const { return dpiY_; }
  // Inches / units to device pixels and back.
  int XI2D(double inches) const;
  int YI2D(double inches) const;
  double XD2I(int px) const;
  double YD2I(int px) const;
  int XU2D(double units) const { return XI2D(units / factor_); }
  int YU2D(double units) const { return YI2D(units / factor_); }
  double XD2U(int px) const { return XD2I(px) * factor_; }
  double YD2U(int px) const { return YD2I(px) * factor_; }
  // Unprintable edges, inches.
  double LeftWaste() const { return wasteL_; }
  double TopWaste() const { return wasteT_; }

  // ---- page, margins, sections, cursor (units)
  double PageWidth() const { return PageWidthInches() * factor_; }
  double PageHeight() const { return PageHeightInches() * factor_; }
  double MarginLeft() const { return marginL_; }
  double MarginRight() const { return marginR_; }
  double MarginTop() const { return marginT_; }
  double MarginBottom() const { return marginB_; }
  void SetMarginLeft(double units);
  void SetMarginRight(double units);
  void SetMarginTop(double units);
  void SetMarginBottom(double units);
  double SectionLeft() const { return secL_ * factor_; }
  double SectionRight() const { return secR_ * factor_; }
  double SectionTop() const { return secT_ * factor_; }
  double SectionBottom() const { return secB_ * factor_; }
  void SetSectionLeft(double units);
  void SetSectionRight(double units);
  void SetSectionTop(double units);
  void SetSectionBottom(double units);
  void ResetSections();
  double XPos() const { return x_ * factor_; }
  double YPos() const { return y_ * factor_; }
  void SetXPos(double units) { x_ = units / factor_; }
  void SetYPos(double units) { y_ = units / factor_; }
  double CursorY() const { return y_ * factor_; }
  double TextTop() const { return (y_ - ascent_) * factor_; }
  double LineBottom() const { return (y_ + descent_) * factor_; }
  double LineTop() const { return (y_ + descent_ - lineHeight_) * factor_; }
  double OriginX() const { return originX_ * factor_; }
  double OriginY() const { return originY_ * factor_; }
  void SetOriginX(double units) { originX_ = units / factor_; }
  void SetOriginY(double units) { originY_ = units / factor_; }
  int LineNum() const { return lineNum_; }
  int ColumnNum() const { return columnNum_; }
  int Columns() const { return columns_; }
  // count columns across the section, between (units) apart.
  void SetColumns(int count, double between);
  void ResetColumns();
  double ColumnLeft() const { return ColumnLeftInches() * factor_; }
  double ColumnWidth() const { return columnWidth_ * factor_; }

  // ---- lines
  TLineHeightMethod LineHeightMethod() const { return lhm_; }
  void SetLineHeightMethod(TLineHeightMethod m) { lhm_ = m; }
  int LinesPerInch() const { return linesPerInch_; }
  void SetLinesPerInch(int n);
  double LineHeight() const { return lineHeight_ * factor_; }
  // A user line height (units); used with lhmUser.
  void SetLineHeight(double units) { lineHeight_ = units / factor_; }
  void Home();
  void SetLineNumber(int n);
  void SetColumnNumber(int n);
  void NewLine();
  int LinesLeft();
  void GotoSectionBottom();
  void MarkSectionTop();
  void PushPos();
  bool PopPos();

  // ---- fonts
  virtual void SelectFont(const AnsiString& name, double size);
  void SetFontCharset(uint8_t charset);
  void SetBold(bool on);
  void SetUnderline(bool on);
  void SetItalic(bool on);
  void SetStrikeOut(bool on);
  void SetSuperscript(bool on);
  void SetSubscript(bool on);
  void SetFontRotation(int degrees);
  void SetFontColor(TColor color);
  void SetFontName(const AnsiString& name);
  void SetFontPitch(TFontPitch pitch);
  void SetFontSize(double points);
  void SetFontHeight(double units);
  double FontHeight() const { return font_.Height * factor_; }
  void SetFontAlign(int align);
  bool PushFont();
  bool PopFont();
  const TSaveFont& BaseFont() const { return font_; }
  // Makes record the current font at once (format blocks).
  void SetFontRecord(const TSaveFont& record);
  // Realises the font on the canvas (before output and measuring); the
  // canvas's own font comes back with RestoreCanvasFont.
  void RealizeFont();
  void RestoreCanvasFont();
  // The black-text rule for monochrome printers (on by default).
  void SetColorFix(bool on) { colorFix_ = on; }

  // ---- pen, brush, lines
  virtual void SetPen(TColor color, TPenStyle style, int width, TPenMode mode);
  virtual void SetBrush(TColor color, TBrushStyle style, TBitmap* bitmap);
  // A pen width as in SetPen (pixels, hundredths or ten-thousandths of an
  // inch when negative) in device pixels.
  int ScalePenWidth(int width) const;
  TLineBuffer& LineBuffer() { return lines_; }
  // Draws the pending lines (an end-page handler).
  void FlushLines();

  // ---- pages and the job
  int CurrentPage() const { return currentPage_; }
  int PageNumber() const { return currentPage_ + pageOffset_; }
  void SetPageOffset(int offset) { pageOffset_ = offset; }
  int FirstPage() const { return firstPage_; }
  int LastPage() const { return lastPage_; }
  void SetFirstPage(int n) { firstPage_ = n; }
  void SetLastPage(int n) { lastPage_ = n; }
  const AnsiString& Selection() const { return selection_; }
  void SetSelection(const AnsiString& s) { selection_ = s; }
  int JobPages() const { return jobPages_; }
  void SetJobPages(int n) { jobPages_ = n; }
  // Whether page n is output; a malformed number raises EConvertError.
  bool PageSelected(int n) const;
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  void AbortReport();
  // Output of the current page is dropped (invalid page or masked
  // destination).
  bool PageSkipped();
  uint8_t OutputMask() const { return outputMask_; }
  virtual void AllowPreviewOnly();
  virtual void AllowPrinterOnly();
  virtual void AllowAll();
  void AddPageHandler(int kind, TPageHandler handler, intptr_t data = 0);
  virtual void RunReport();
  virtual void NewPage();
  virtual void AbortPage();
  virtual void StartDocument() = 0;
  virtual void FinishDocument() = 0;
  void CheckPrinting() const;
  void CheckNotPrinting() const;

  // ---- settings
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& t) { title_ = t; }
  int Copies() const { return copies_; }
  void SetCopies(int n);
  TOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TOrientation o);
  TBKMode TextBKMode() const { return bkMode_; }
  virtual void SetTextBKMode(TBKMode m) { bkMode_ = m; }
  int TabShade() const { return tabShade_; }
  void SetTabShade(int percent) { tabShade_ = std::clamp(percent, 0, 100); }
  TColor TabColor() const { return tabColor_; }
  void SetTabColor(TColor c) { tabColor_ = c; }
  TColor BoxLineColor() const { return boxLineColor_; }
  void SetBoxLineColor(TColor c) { boxLineColor_ = c; }
  uint8_t FrameMode() const { return frameMode_; }
  virtual void SetFrameMode(uint8_t mode) { frameMode_ = mode; }
  bool TransparentBitmaps() const { return transparentBitmaps_; }
  void SetTransparentBitmaps(bool on) { transparentBitmaps_ = on; }
  virtual void SetBackColor(TColor color);
  TColor BackColor();
  void SelectPrinterByIndex(int index);
  void SetOutputName(const AnsiString& name);
  virtual bool SelectBin(const AnsiString& name);
  void RefreshDevice();
  void ReadDeviceMetrics();
  void ApplyOrientation();
  // The report's own device; none = the global printer device.
  void SetDevice(TRptBaseDevice* device) { device_ = device; }
  TRptBaseDevice* Device() const { return device_ ? device_ : RptDevice(); }
  TRptPrinterDevice* PrinterDevice() const { return dynamic_cast<TRptPrinterDevice*>(Device()); }
  bool HasPrinter() const;

  // ---- status
  TLabel* StatusLabel() const { return statusLabel_; }
  void SetStatusLabel(TLabel* label) { statusLabel_ = label; }
  const AnsiString& StatusFormat() const { return statusFormat_; }
  void SetStatusFormat(const AnsiString& f) { statusFormat_ = f; }
  TStringList* StatusText() { return &statusText_; }
  void SetPasses(int current, int total) { currentPass_ = current, totalPasses_ = total; }
  // The status line for the current page (empty without StatusLabel).
  AnsiString StatusLine() const;
  void UpdateStatus();
  AnsiString DeviceName() const;
  AnsiString DriverName() const;
  AnsiString PortName() const;

  // ---- events
  TNotifyEvent OnPrint;
  TPrintPageEvent OnPrintPage;
  TNotifyEvent OnBeforePrint;
  TNotifyEvent OnAfterPrint;
  TNotifyEvent OnNewPage;
  TNotifyEvent OnNewColumn;
  TNotifyEvent OnPrintHeader;
  TNotifyEvent OnPrintFooter;
  TNotifyEvent OnEndOfSection;

  // Copies the settings and events of the report onto dest.
  void AssignTo(TBaseReport* dest) const;

  // ---- text and tabs
  void AddTab(double pos, TPrintJustify justify, double width, double margin, int boxLines, int shade);
  void ClearAllTabs();
  bool PushTabs();
  bool PopTabs();
  virtual void NextTab(int left, int right, int top, int bottom, int shade);
  void PrintText(const AnsiString& text);
  void PrintTextLine(const AnsiString& text);
  virtual void PrintInTab(const AnsiString& text);
  double TabWidth(int n) const;
  const TTab* GetTab(int n) const;
  const TTabList& Tabs() const { return tabs_; }
  void ResetTabCursor();
  // Width in units; an empty text is one device pixel.
  virtual double TextWidth(const AnsiString& text);
  // Width of a text with format blocks, in device pixels (at least 1).
  int TextWidthCoded(const AnsiString& text);
  virtual TSize TextExtent(const AnsiString& text);
  AnsiString FitText(const AnsiString& text, double width);
  static TColor ShadeColor(TColor color, int percent);
  AnsiString MacroValue(int id);
  void ExpandMacros(AnsiString& text);
  virtual AnsiString MacroText(int id);
  // The marker of a named value (the page-stream writer; empty elsewhere).
  virtual AnsiString MacroText(const AnsiString& name);
  virtual void SetNamedValue(const AnsiString& name, const AnsiString& value);
  virtual AnsiString NamedValueText(const AnsiString& name);
  TStringList* MacroData() { return &macroData_; }
  TDateTime ReportDateTime() const { return reportDateTime_; }
  // The date and time the macros print (taken when a document starts;
  // players set the one of the recorded job).
  void SetReportDateTime(TDateTime value) { reportDateTime_ = value; }
  bool BlockText() const { return blockText_; }
  // The fixed tab width for TAB characters inside free text (units).
  double FixedTabWidth() const { return fixedTabWidth_; }

  // ---- output slots
  virtual int DestinationKind() { return 0; }
  virtual TCanvas* GetCanvas();
  virtual void TextCenterAt(const AnsiString& text, double x) = 0;
  virtual void TextLeftAt(const AnsiString& text, double x) = 0;
  virtual void TextRightAt(const AnsiString& text, double x) = 0;
  virtual void TextBlockAt(const AnsiString& text, double width, double x) = 0;
  virtual void DrawPlainRect(double x1, double y1, double x2, double y2) = 0;
  virtual void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) = 0;
  virtual void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) = 0;
  virtual void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) = 0;
  virtual void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) = 0;
  virtual void Draw(double x, double y, TGraphic* graphic) = 0;
  virtual void DrawFocusRect(const TRect& rect) = 0;
  virtual void Ellipse(double x1, double y1, double x2, double y2) = 0;
  virtual void FillRect(const TRect& rect) = 0;
  virtual void FloodFill(double x, double y, TColor color, TFillStyle style) = 0;
  virtual void FrameRect(const TRect& rect) = 0;
  virtual void LineTo(double x, double y) = 0;
  virtual void MoveTo(double x, double y) = 0;
  virtual void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) = 0;
  virtual void Polygon(const std::vector<TPoint>& points) = 0;
  virtual void Polyline(const std::vector<TPoint>& points) = 0;
  virtual void PrintBitmap(double x, double y, double scaleX, double scaleY, TBitmap* bitmap) = 0;
  virtual void PrintBitmapRect(double x1, double y1, double x2, double y2, TBitmap* bitmap) = 0;
  virtual void PrintImageRect(double x1, double y1, double x2, double y2, TStream* stream,
                              const AnsiString& extension) = 0;
  virtual void Rectangle(double x1, double y1, double x2, double y2) = 0;
  virtual void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) = 0;
  virtual void StretchDraw(const TRect& rect, TGraphic* graphic) = 0;
  virtual void TextRect(const TRect& rect, double x, double y, const AnsiString& text) = 0;
  virtual void WriteDeviceText(const AnsiString& text) = 0;
  // count 0: from the stream's position to its end.
  virtual void WriteDeviceData(TStream* stream, int64_t count) = 0;
  virtual void UnregisterGraphic(int index) { (void)index; }
  virtual void RegisterGraphic(int index) { (void)index; }
  virtual void ReuseGraphic(int index) { (void)index; }
  virtual void AfterLine() {}
  virtual void UpdateLineHeight();
  virtual void PrintObject(TRptPrintObject* object, double x, double y);

  // ---- event slots
  virtual void FirePrint();
  virtual bool FirePrintPage(int& pageNum);
  virtual void FireBeforePrint();
  virtual void FireAfterPrint();
  virtual void FireNewPage();
  virtual void FireNewColumn();
  virtual void FirePrintHeader();
  virtual void FirePrintFooter();
  virtual void FireEndOfSection();
  virtual void FontChanged(TObject* sender);
  virtual void HookCanvasFont();
  virtual void UnhookCanvasFont();

 protected:
  // The report form of AssignTo above stands beside the general one.
  using TPersistent::AssignTo;
  // The parts of StartDocument and FinishDocument every destination shares.
  void BeginDocumentState();
  void StartFirstPage();
  void EndDocumentState();
  void ResetDocumentState();
  void UpdateFont();
  void FreeFontCache();
  void FireBeginPageHandlers();
  void FireEndPageHandlers();
  bool PrintingFlag() const { return printing_; }
  void SetPrinting(bool on) { printing_ = on; }
  bool PageInvalid() const { return pageInvalid_; }
  void SetPageInvalid(bool on) { pageInvalid_ = on; }
  void SetCurrentPage(int n) { currentPage_ = n; }
  void SetAborted(bool on) { aborted_ = on; }
  void TakeReportDateTime() { reportDateTime_ = Now(); }
  double PageWidthInches() const;
  double PageHeightInches() const;
  double ColumnLeftInches() const { return (columnNum_ - 1) * columnWidth_ + secL_; }
  double CursorXInches() const { return x_; }
  double CursorYInches() const { return y_; }
  void SetCursorInches(double x, double y) { x_ = x, y_ = y; }
  double DescentInches() const { return descent_; }
  double AscentInches() const { return ascent_; }
  double LineHeightInches() const { return lineHeight_; }
  // The resolution of a destination that keeps its own (the preview).
  void SetResolution(int x, int y) { dpiX_ = x, dpiY_ = y; }
  // Replayed line metrics (inches).
  void SetLineMetrics(double ascent, double descent, double lineHeight) {
    ascent_ = ascent, descent_ = descent, lineHeight_ = lineHeight;
  }
  // Applies the format blocks of text (from 0x01 to 0x04) to the font
  // record; answers the plain runs with the record each starts with.
  struct TextRun {
    AnsiString text;
    TSaveFont font;
  };
  // finalFont receives the record after the last block.
  std::vector<TextRun> SplitFormatted(const AnsiString& text, TSaveFont* finalFont = nullptr);
  void ApplyFormatBlock(std::string_view block, TSaveFont& font);

  // Prints text at x (inches) by justification in a cell of width and inner
  // margin (inches); TABs inside left text go to the fixed tab stops.
  void PrintJustified(const AnsiString& text, int justify, double width, double margin, double x);

  TRptBaseDevice* device_ = nullptr;
  double noPrinterWidth_ = 8.5;   // inches
  double noPrinterHeight_ = 11;
  bool ignoreCodes_ = false;

 private:
  void PrintTextPiece(const AnsiString& text);
  void DrawBoxLine(int arg, bool flag, double x1, double y1, double x2, double y2);
  void ApplyMargins();
  void ClampCursorToSections();

  TPrintUnits units_ = unInch;
  double factor_ = 1;
  int dpiX_ = 96, dpiY_ = 96;
  double wasteL_ = 0, wasteR_ = 0, wasteT_ = 0, wasteB_ = 0;
  double scaleX_ = 100, scaleY_ = 100, zoom_ = 100;
  double originX_ = 0, originY_ = 0;
  int pixelOffsetX_ = 0, pixelOffsetY_ = 0;
  double marginL_ = 0, marginR_ = 0, marginT_ = 0, marginB_ = 0;
  double edgeL_ = 0, edgeR_ = 0, edgeT_ = 0, edgeB_ = 0;
  double secL_ = 0, secR_ = 0, secT_ = 0, secB_ = 0;
  double x_ = 0, y_ = 0;
  int lineNum_ = 0;
  double lineHeight_ = 1 / 6.0;
  double ascent_ = 0, descent_ = 0;
  int columns_ = 1, columnNum_ = 1;
  double columnWidth_ = 0, columnBetween_ = 0;
  TLineHeightMethod lhm_ = lhmLinesPerInch;
  int linesPerInch_ = 6;

  TSaveFont font_;
  bool fontChanged_ = true;
  bool fontChangesDisabled_ = false;
  std::vector<TSaveFont> fontStack_;
  std::array<TSaveFont, 10> savedFonts_;
  std::list<TSaveFont> fontCache_;
  TFont canvasFont_;           // the canvas's own font while one is realised
  bool fontRealised_ = false;
  TNotifyEvent previousFontChange_;
  bool hooked_ = false;
  bool colorFix_ = true;

  std::vector<std::pair<double, double>> posStack_;
  TTabList tabs_;
  std::vector<TTabList> tabStack_;
  std::array<TTabList, 10> savedTabs_;
  int currentTab_ = -1;
  bool onTab_ = false;
  bool beforeTabs_ = false;
  bool blockText_ = false;
  double fixedTabWidth_ = 0.5;

  int currentPage_ = 0;
  int pageOffset_ = 0;
  int firstPage_ = 1;
  int lastPage_ = 9999;
  AnsiString selection_;
  int jobPages_ = 9999;
  bool aborted_ = false;
  bool pageInvalid_ = false;
  bool printing_ = false;
  uint8_t outputMask_ = 31;

  TLabel* statusLabel_ = nullptr;
  AnsiString statusFormat_ = "Printing page %p";
  TStringList statusText_;
  int currentPass_ = 1, totalPasses_ = 1;

  AnsiString title_ = "Report";
  int copies_ = 1;
  TOrientation orientation_ = TOrientation::poPortrait;
  TOrientation pendingOrientation_ = TOrientation::poPortrait;
  TBKMode bkMode_ = bkTransparent;
  int tabShade_ = 0;
  TColor tabColor_ = clBlack;
  TColor boxLineColor_ = clBlack;
  uint8_t frameMode_ = 0;
  bool transparentBitmaps_ = false;

  std::array<std::vector<std::pair<TPageHandler, intptr_t>>, 2> pageHandlers_;
  TLineBuffer lines_;
  TStringList macroData_;
  TDateTime reportDateTime_ = 0;
};
