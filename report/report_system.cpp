#include "report/report_system.h"

#include <cstdio>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/rtl/fileio.h"
#include "report/forms/rpt_preview_form.h"
#include "report/forms/rpt_setup_form.h"
#include "report/forms/rpt_status_form.h"

// --------------------------------------------------------------- settings

TSystemPrinter::TSystemPrinter() {
  if (TRptPrinterDevice* p = RptPrinterDevice(); p && !p->NoPrinters()) Duplex = p->Duplex();
}

void TSystemPrinter::SetUnits(TPrintUnits u) {
  units_ = u;
  switch (u) {
    case unInch: factor_ = 1; break;
    case unMM: factor_ = 25.4; break;
    case unCM: factor_ = 2.54; break;
    case unPoint: factor_ = 72; break;
    case unUser: break;
  }
}

void TSystemPrinter::SetUnitsFactor(double f) {
  if (!(f > 0)) return;
  factor_ = f;
  units_ = f == 1 ? unInch : f == 25.4 ? unMM : f == 2.54 ? unCM : f == 72 ? unPoint : unUser;
}

void TSystemPreview::SetMonochrome(bool on) {
  if (on && shadow_ > 0) {
    ShowMessage(RptText("Monochrome not allowed while shadows are in effect.") + "\r" +
                RptText("Change ShadowDepth to 0 first"));
    return;
  }
  monochrome_ = on;
}

void TSystemPreview::SetShadowDepth(int depth) {
  if (depth > 0 && monochrome_) {
    ShowMessage(RptText("Shadows not allowed while monochrome in effect.") + "\r" +
                RptText("Change Monochrome to false first"));
    return;
  }
  shadow_ = depth;
}

// ------------------------------------------------------------ the system

TReportSystem::TReportSystem(TComponent* owner) : TRptBaseComponent(owner) {}

TReportSystem::~TReportSystem() = default;

void TReportSystem::ApplyPrinterSettings(TBaseReport* c) {
  const TSystemPrinter& p = SystemPrinter;
  c->SetCopies(p.Copies);
  c->SetFirstPage(p.FirstPage);
  c->SetLastPage(p.LastPage);
  c->SetLineHeightMethod(p.LineHeightMethod);
  c->SetLinesPerInch(p.LinesPerInch);
  c->SetMarginBottom(p.MarginBottom);
  c->SetMarginLeft(p.MarginLeft);
  c->SetMarginRight(p.MarginRight);
  c->SetMarginTop(p.MarginTop);
  c->SetOrientation(p.Orientation);
  c->SetScaleX(p.ScaleX);
  c->SetScaleY(p.ScaleY);
  c->SetStatusFormat(p.StatusFormat);
  c->StatusText()->Assign(p.StatusText);
  c->SetTabShade(p.TabShade());
  c->SetTextBKMode(p.TextBKMode);
  c->SetTitle(p.Title);
  c->SetUnits(p.Units());
  if (p.Units() == unUser) c->SetUnitsFactor(p.UnitsFactor());
  if (c->HasPrinter()) {
    c->Device()->SetCollate(p.Collate);
    c->Device()->SetDuplex(p.Duplex);
  }
}

void TReportSystem::ApplyFilerSettings(TBaseReport* c) {
  TSystemFiler& f = SystemFiler;
  TStreamMode mode = f.StreamMode == smMemory ? smUser : f.StreamMode;
  if (auto* canvas = dynamic_cast<TCanvasReport*>(c)) canvas->SetIgnoreCodes(f.IgnoreFileSettings);
  if (auto* filer = dynamic_cast<TReportFiler*>(c)) {
    filer->SetAccuracyMethod(f.AccuracyMethod);
    filer->SetFileName(f.FileName);
    filer->SetStatusFormat(f.StatusFormat);
    filer->StatusText()->Assign(f.StatusText);
    filer->SetStream(f.Stream);
    filer->SetStreamMode(mode);
  } else if (auto* player = dynamic_cast<TFilePrinter*>(c)) {
    player->SetFileName(f.FileName);
    player->SetStreamMode(mode);
    if (mode == smUser) player->SetStream(f.Stream);
  }
}

void TReportSystem::ApplyPreviewSettings(TBaseReport* c) {
  auto* p = dynamic_cast<TFilePreview*>(c);
  if (!p) return;
  const TSystemPreview& s = SystemPreview;
  p->GridHoriz = s.GridHoriz;
  p->GridPen.Assign(&s.GridPen);
  p->GridVert = s.GridVert;
  p->MarginMethod = s.MarginMethod;
  p->MarginPercent = s.MarginPercent;
  if (s.Monochrome()) p->SetShadowDepth(0);
  p->SetShadowDepth(s.ShadowDepth());
  p->SetMonochrome(s.Monochrome());
  p->PageInc = s.PageInc;
  p->RulerType = s.RulerType;
  p->ZoomInc = s.ZoomInc;
  p->SetZoomFactor(s.ZoomFactor());
}

void TReportSystem::CopyEvents(TBaseReport* c) {
  c->OnPrint = OnPrint;
  c->OnPrintPage = OnPrintPage;
  c->OnBeforePrint = OnBeforePrint;
  c->OnAfterPrint = OnAfterPrint;
  c->OnNewPage = OnNewPage;
  c->OnNewColumn = OnNewColumn;
  c->OnPrintHeader = OnPrintHeader;
  c->OnPrintFooter = OnPrintFooter;
  c->OnEndOfSection = OnEndOfSection;
  if (auto* canvas = dynamic_cast<TCanvasReport*>(c)) canvas->OnDecodeImage = OnDecodeImage;
}

// ------------------------------------------------------------- handlers

void TReportSystem::RunSteps(TReportSystemEvent& event, int step) {
  TObject*& window = &event == &OverrideSetup ? setupWindow_ : &event == &OverrideStatus ? statusWindow_ : previewWindow_;
  if (event) event(this, step, window);
}

void TReportSystem::Setup(int step) {
  if (!OverrideSetup)
    OverrideSetup = [this](TObject*, int s, TObject*& window) { DefaultSetupHandler(s, window); };
  RunSteps(OverrideSetup, step);
}

void TReportSystem::DefaultSetupHandler(int step, TObject*& window) {
  auto* form = dynamic_cast<TRptSetupForm*>(window);
  switch (step) {
    case 0:
      delete form;
      form = new TRptSetupForm(this);
      form->SetCaption(TitleSetup);
      form->ReportSystem = this;
      window = form;
      break;
    case 1:
      if (form && form->ShowModal() != mrOk) aborted_ = true;
      break;
    case 3:
      delete form;
      window = nullptr;
      break;
    default: break;
  }
}

void TReportSystem::Status(int step) {
  if (!OverrideStatus)
    OverrideStatus = [this](TObject*, int s, TObject*& window) { DefaultStatusHandler(s, window); };
  RunSteps(OverrideStatus, step);
}

void TReportSystem::Preview(int step) {
  if (!OverridePreview)
    OverridePreview = [this](TObject*, int s, TObject*& window) { DefaultPreviewHandler(s, window); };
  RunSteps(OverridePreview, step);
}

void TReportSystem::DefaultPreviewHandler(int step, TObject*& window) {
  auto* form = dynamic_cast<TRptPreviewForm*>(window);
  switch (step) {
    case 0:
      delete form;
      form = new TRptPreviewForm(this);
      form->ReportSystem = this;
      form->SetCaption(TitlePreview);
      form->SetWidth(SystemPreview.FormWidth);
      form->SetHeight(SystemPreview.FormHeight);
      window = form;
      break;
    case 1:
      if (!form) return;
      ApplyFilerSettings(form->FilePrinter1);
      ApplyFilerSettings(form->FilePreview1);
      ApplyPreviewSettings(form->FilePreview1);
      for (TFilePrinter* p : {form->FilePrinter1, static_cast<TFilePrinter*>(form->FilePreview1)}) {
        p->MacroData()->Assign(kept_);
        p->OnDecodeImage = OnDecodeImage;
      }
      if (OnPreviewSetup) OnPreviewSetup(form->FilePreview1);
      form->FormClosed = false;
      if (Has(soPreviewModal)) {
        form->OnShow = [form](TObject*) { form->StartPreview(); };
        form->ShowModal();
      } else {
        form->Show();
        form->StartPreview();
      }
      break;
    case 2:
      if (form && !Has(soPreviewModal))
        while (!form->FormClosed) Application->HandleMessage();
      break;
    case 3:
      delete form;
      window = nullptr;
      break;
    default: break;
  }
}

void TReportSystem::DefaultStatusHandler(int step, TObject*& window) {
  if (!Has(soShowStatus)) return;
  auto* form = dynamic_cast<TRptStatusForm*>(window);
  switch (step) {
    case 0:
      delete form;
      form = new TRptStatusForm(this);
      form->SetCaption(TitleStatus);
      window = form;
      break;
    case 1:
      if (!form) return;
      form->Canvas = canvas_;
      if (canvas_) canvas_->SetStatusLabel(form->StatusLabel);
      form->CancelButton->SetCaption(RptText("Cancel"));
      form->CancelButton->SetModalResult(mrCancel);
      form->Show();
      break;
    case 2:
      if (!form || !Has(soWaitForOK)) return;
      form->CancelButton->SetCaption(RptText("Ok"));
      form->CancelButton->SetModalResult(mrOk);
      form->OkClicked = false;
      while (!form->OkClicked) Application->HandleMessage();
      break;
    case 3:
      if (canvas_ && form && canvas_->StatusLabel() == form->StatusLabel) canvas_->SetStatusLabel(nullptr);
      if (statusLabel_ && form && statusLabel_ == form->StatusLabel) statusLabel_ = nullptr;
      delete form;
      window = nullptr;
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- the job

void TReportSystem::Execute() {
  if (running_) throw EReportError(RptText("Invalid method call.  Report already printing."));
  running_ = true;
  struct Running {
    bool& flag;
    ~Running() { flag = false; }
  } running{running_};
  // The program's windows take no input while the job runs; the job's own
  // windows (opened from here on) do.
  TBusyScope busy(TBusyScope::AllExcept{{}});

  ReportDest = DefaultDest;
  aborted_ = false;
  if (SystemSetups.count(ssAllowSetup)) {
    std::exception_ptr failure;
    try {
      Setup(0);
      Setup(1);
      Setup(2);
    } catch (...) {
      failure = std::current_exception();
    }
    Setup(3);
    if (failure) std::rethrow_exception(failure);
    if (aborted_) return;
  }
  TRptBaseDevice* device = RptDevice();
  cannotCopy_ = SystemPrinter.Copies > 1 && SystemPrinter.Copies > device->MaxCopies();
  bool generate = ReportDest == rdPreview || Has(soUseFiler) || cannotCopy_ ||
                  (ReportDest == rdFile && !DoNativeOutput && !Has(soNoGenerate));
  if (generate && SystemFiler.StreamMode == smMemory) {
    memory_ = std::make_unique<TMemoryStream>();
    SystemFiler.Stream = memory_.get();
  }
  std::exception_ptr failure;
  try {
    if (generate) GenerateStream();
    if (!aborted_) {
      if (ReportDest == rdPrinter || (ReportDest == rdFile && DoNativeOutput))
        PrintJob();
      else if (ReportDest == rdFile && SelectedRender)
        RenderJob();
      else if (ReportDest == rdFile) {
        if (OverrideStatus) Status(3);
      } else
        PreviewJob();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  if (SystemFiler.Stream == memory_.get()) SystemFiler.Stream = nullptr;
  memory_.reset();
  if (SystemFiler.StreamMode == smTempFile && (ReportDest == rdPreview || Has(soUseFiler) || cannotCopy_) &&
      !SystemFiler.FileName.empty())
    std::remove(SystemFiler.FileName.c_str());
  if (failure) std::rethrow_exception(failure);
}

void TReportSystem::GenerateStream() {
  if (Has(soNoGenerate)) return;
  aborted_ = true;
  Status(0);
  auto filer = std::make_unique<TReportFiler>(Owner());
  ApplyPrinterSettings(filer.get());
  ApplyFilerSettings(filer.get());
  if (ReportDest == rdFile && !SelectedRender) {
    if (DoNativeOutput) {
      filer->SetOutputName(OutputFileName);
    } else {
      filer->SetStreamMode(smFile);
      filer->SetFileName(OutputFileName);
    }
  }
  CopyEvents(filer.get());
  canvas_ = filer.get();
  std::exception_ptr failure;
  try {
    Status(1);
    filer->RunReport();
    kept_.Assign(*filer->MacroData());
    aborted_ = filer->Aborted();
  } catch (...) {
    failure = std::current_exception();
  }
  statusLabel_ = filer->StatusLabel();
  SystemFiler.FileName = filer->FileName();
  canvas_ = nullptr;
  filer.reset();
  if (ReportDest != rdPrinter || failure) Status(3);
  if (failure) std::rethrow_exception(failure);
}

void TReportSystem::PrintJob() {
  aborted_ = true;
  std::unique_ptr<TBaseReport> canvas;
  bool replay = Has(soUseFiler) || cannotCopy_;
  std::exception_ptr failure;
  try {
    if (replay) {
      if (Has(soNoGenerate)) Status(0);
      auto player = std::make_unique<TFilePrinter>(Owner());
      player->MacroData()->Assign(kept_);
      player->OnDecodeImage = OnDecodeImage;
      player->SettingsChosen = Has(soNoGenerate);
      ApplyPrinterSettings(player.get());
      player->SetUnits(unInch);
      ApplyFilerSettings(player.get());
      player->SetStatusLabel(statusLabel_);
      canvas = std::move(player);
      canvas_ = canvas.get();
      if (Has(soNoGenerate)) Status(1);
    } else {
      Status(0);
      auto printer = std::make_unique<TPrinterReport>(Owner());
      ApplyPrinterSettings(printer.get());
      CopyEvents(printer.get());
      printer->SetOutputName(OutputFileName);
      canvas = std::move(printer);
      canvas_ = canvas.get();
      Status(1);
    }
    // A printer that cannot make all the copies gets one pass per copy.
    int passes = cannotCopy_ ? SystemPrinter.Copies : 1;
    if (cannotCopy_) canvas->SetCopies(1);
    for (int pass = 1; pass <= passes; ++pass) {
      canvas->SetPasses(pass, passes);
      canvas->RunReport();
      if (canvas->Aborted()) break;
    }
    aborted_ = canvas->Aborted();
    if (!aborted_) Status(2);
  } catch (...) {
    failure = std::current_exception();
  }
  canvas_ = nullptr;
  canvas.reset();
  try {
    Status(3);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TReportSystem::PreviewJob() {
  std::exception_ptr failure;
  try {
    Preview(0);
    Preview(1);
    Preview(2);
  } catch (...) {
    failure = std::current_exception();
  }
  Preview(3);
  if (failure) std::rethrow_exception(failure);
}

void TReportSystem::RenderJob() {
  if (statusWindow_) Status(3);
  std::unique_ptr<TStream> own;
  TStream* stream = OpenJobStream();
  if (stream != SystemFiler.Stream || SystemFiler.StreamMode != smUser) own.reset(stream);
  SelectedRender->RenderFile(stream, OutputFileName);
}

TStream* TReportSystem::OpenJobStream() {
  TStream* s = nullptr;
  switch (SystemFiler.StreamMode) {
    case smMemory: {
      auto* m = new TMemoryStream();
      if (memory_) {
        memory_->SetPosition(0);
        m->LoadFromStream(*memory_);
      }
      s = m;
      break;
    }
    case smUser:
      if (!SystemFiler.Stream) throw EReportError(RptText("StreamMode is smUser but Stream is nil"));
      s = SystemFiler.Stream;
      break;
    case smFile:
    case smTempFile: s = new TFileStream(SystemFiler.FileName, fmOpenRead | fmShareDenyWrite); break;
  }
  s->SetPosition(0);
  return s;
}
