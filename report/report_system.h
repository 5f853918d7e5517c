// TReportSystem produces a report with one call: Execute asks for the
// destination (the setup window), runs the application's OnPrint against a
// report canvas and delivers the pages to the printer (directly or by
// replaying a page stream), to the preview window or to a file (a page
// stream, printer-driver output or a registered renderer's format), with a
// status window while pages are made.
//
// The setup, status and preview windows run through the Override* events in
// four steps (0 create, 1 show or run, 2 wait, 3 free); an unassigned event
// gets the built-in handler when it is first needed.
#pragma once

#include <memory>
#include <set>

#include "platform/gui/graphics.h"
#include "platform/rtl/stringlist.h"
#include "report/canvas_report.h"
#include "report/file_preview.h"
#include "report/file_printer.h"
#include "report/report_filer.h"
#include "report/rpt_render.h"

enum TReportDest { rdPreview, rdPrinter, rdFile };
enum TSystemSetup {
  ssAllowSetup, ssAllowCopies, ssAllowCollate, ssAllowDuplex, ssAllowDestPreview, ssAllowDestPrinter,
  ssAllowDestFile, ssAllowPrinterSetup, ssAllowPreviewSetup
};
enum TSystemOption { soUseFiler, soWaitForOK, soShowStatus, soAllowPrintFromPreview, soPreviewModal, soNoGenerate };

using TSystemSetups = std::set<TSystemSetup>;
using TSystemOptions = std::set<TSystemOption>;
// sender, step 0-3, the window the handler keeps between steps.
using TReportSystemEvent = std::function<void(TObject* sender, int step, TObject*& window)>;

class TSystemPrinter : public TPersistent {
 public:
  TSystemPrinter();
  int Copies = 1;
  int FirstPage = 1;
  int LastPage = 9999;
  TLineHeightMethod LineHeightMethod = lhmFont;
  int LinesPerInch = 6;
  double MarginBottom = 0, MarginLeft = 0, MarginRight = 0, MarginTop = 0;
  TOrientation Orientation = TOrientation::poPortrait;
  double ScaleX = 100, ScaleY = 100;
  AnsiString StatusFormat = "Printing page %p";
  TStringList StatusText;
  int TabShade() const { return tabShade_; }
  void SetTabShade(int v) { tabShade_ = std::clamp(v, 0, 100); }
  TBKMode TextBKMode = bkTransparent;
  AnsiString Title = "Report";
  TPrintUnits Units() const { return units_; }
  void SetUnits(TPrintUnits u);
  double UnitsFactor() const { return factor_; }
  void SetUnitsFactor(double f);
  bool Collate = false;
  int Duplex = 0;

 private:
  int tabShade_ = 0;
  TPrintUnits units_ = unInch;
  double factor_ = 1;
};

class TSystemPreview : public TPersistent {
 public:
  int FormWidth = 615, FormHeight = 450;
  int FormState = 0;  // normal
  double GridHoriz = 0, GridVert = 0;
  TPen GridPen;
  TMarginMethod MarginMethod = mmFixed;
  double MarginPercent = 0;
  bool Monochrome() const { return monochrome_; }
  // Refused (with a message) while ShadowDepth > 0.
  void SetMonochrome(bool on);
  int ShadowDepth() const { return shadow_; }
  // Refused (with a message) while Monochrome.
  void SetShadowDepth(int depth);
  int PagesWide = 1, PagesHigh = 1;
  int PageInc = 1;
  TRulerType RulerType = rtNone;
  double ZoomFactor() const { return zoom_; }
  void SetZoomFactor(double z) { zoom_ = std::clamp(z, 10.0, 200.0); }
  int ZoomInc = 10;

 private:
  bool monochrome_ = false;
  int shadow_ = 0;
  double zoom_ = 100;
};

class TSystemFiler : public TPersistent {
 public:
  TAccuracyMethod AccuracyMethod = amPositioning;
  AnsiString FileName;
  AnsiString StatusFormat = "Generating page %p";
  TStringList StatusText;
  TStreamMode StreamMode = smMemory;
  // The job's stream: the report system's memory stream, or the caller's
  // for smUser.
  TStream* Stream = nullptr;
  bool IgnoreFileSettings = false;
};

class TReportSystem : public TRptBaseComponent {
 public:
  explicit TReportSystem(TComponent* owner = nullptr);
  ~TReportSystem() override;
  AnsiString ClassName() const override { return "TReportSystem"; }

  AnsiString TitleSetup = "Output Options";
  AnsiString TitleStatus = "Report Status";
  AnsiString TitlePreview = "Report Preview";
  TSystemSetups SystemSetups = {ssAllowSetup,       ssAllowCopies,    ssAllowCollate,
                                ssAllowDuplex,      ssAllowDestPreview, ssAllowDestPrinter,
                                ssAllowDestFile,    ssAllowPrinterSetup, ssAllowPreviewSetup};
  TSystemOptions SystemOptions = {soShowStatus, soAllowPrintFromPreview, soPreviewModal};
  TReportDest DefaultDest = rdPreview;
  TSystemPrinter SystemPrinter;
  TSystemPreview SystemPreview;
  TSystemFiler SystemFiler;

  TNotifyEvent OnPrint;
  TPrintPageEvent OnPrintPage;
  TNotifyEvent OnBeforePrint;
  TNotifyEvent OnAfterPrint;
  TNotifyEvent OnNewPage;
  TNotifyEvent OnNewColumn;
  TNotifyEvent OnPrintHeader;
  TNotifyEvent OnPrintFooter;
  TNotifyEvent OnEndOfSection;
  TDecodeImageEvent OnDecodeImage;
  TNotifyEvent OnPreviewSetup;
  TNotifyEvent OnPreviewShow;
  TReportSystemEvent OverrideSetup;
  TReportSystemEvent OverrideStatus;
  TReportSystemEvent OverridePreview;

  // Runs one report job. A nested call while a job runs raises
  // "Invalid method call.  Report already printing.".
  void Execute();

  // ---- job state (the setup and preview windows read and change it)
  TReportDest ReportDest = rdPreview;
  AnsiString OutputFileName;
  bool DoNativeOutput = true;  // a file destination means printer-driver output
  TRptRender* SelectedRender = nullptr;
  bool Aborted() const { return aborted_; }
  void SetAborted(bool on) { aborted_ = on; }
  // The canvas of the running step.
  TBaseReport* RunningCanvas() const { return canvas_; }
  // The texts the generated page stream left for its players.
  TStringList* KeptMacroData() { return &kept_; }
  // The status label of the last generation.
  TLabel* LastStatusLabel() const { return statusLabel_; }

  // Settings transfer into a canvas.
  void ApplyPrinterSettings(TBaseReport* canvas);
  void ApplyFilerSettings(TBaseReport* canvas);
  void ApplyPreviewSettings(TBaseReport* canvas);
  void CopyEvents(TBaseReport* canvas);

  // The steps of a job.
  void GenerateStream();
  void PrintJob();
  void PreviewJob();
  void RenderJob();
  // A stream on the generated page stream, positioned at 0; owned by the
  // caller unless it is the caller's own (smUser).
  TStream* OpenJobStream();

 private:
  void RunSteps(TReportSystemEvent& event, int step);
  void Setup(int step);
  void Status(int step);
  void Preview(int step);
  void DefaultStatusHandler(int step, TObject*& window);
  void DefaultPreviewHandler(int step, TObject*& window);
  void DefaultSetupHandler(int step, TObject*& window);
  bool Has(TSystemOption o) const { return SystemOptions.count(o) > 0; }

  bool aborted_ = false;
  bool cannotCopy_ = false;
  bool running_ = false;
  TBaseReport* canvas_ = nullptr;
  TLabel* statusLabel_ = nullptr;
  TStringList kept_;
  std::unique_ptr<TMemoryStream> memory_;
  TObject* setupWindow_ = nullptr;
  TObject* statusWindow_ = nullptr;
  TObject* previewWindow_ = nullptr;
};
