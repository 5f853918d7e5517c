// The base, printer and render devices. The printer device keeps the
// selected printer's capabilities and job settings record; a document is a
// print job (a PDF) that goes to the printing system when it ends.
#include "report/rpt_device.h"

#include <QFontDatabase>

#include <algorithm>
#include <cmath>

#include "platform/gui/print_setup_dialog.h"
#include "platform/gui/qt_support.h"
#include "platform/gui/report_fonts.h"
#include "report/rpt_font_manager.h"

namespace {

int Px(double inches, int dpi) { return static_cast<int>(std::lround(inches * dpi)); }

bool ContainsText(const AnsiString& text, const AnsiString& part) {
  return UpperCase(text).find(UpperCase(part)) != std::string::npos;
}

}  // namespace

// ------------------------------------------------------------- base device

TRptBaseDevice::TRptBaseDevice() : pageWidth_(Px(8.5, 96)), pageHeight_(Px(11, 96)) {}
TRptBaseDevice::~TRptBaseDevice() = default;

void TRptBaseDevice::CheckPrinting() const {
  if (!printing_) throw EReportError(RptText("Invalid method call.  Device is not printing."));
}

void TRptBaseDevice::CheckNotPrinting() const {
  if (printing_) throw EReportError(RptText("Invalid method call.  Device already printing."));
}

int TRptBaseDevice::TextWidth(const TFont&, const AnsiString&) { return 0; }
void TRptBaseDevice::RawData(const char*, int) {}

bool TRptBaseDevice::SelectBin(const AnsiString& name, bool) {
  binName_ = name;
  return true;
}

bool TRptBaseDevice::SelectPaper(const AnsiString& name, bool) {
  paperName_ = name;
  return true;
}

bool TRptBaseDevice::SetPaper(int code, int width, int length) {
  double w = 8.5, h = 11;
  if (width != 0 && length != 0) {
    w = width / 254.0;
    h = length / 254.0;
  } else if (const TRptPaperSize* row = FindPaperSize(code); row && row->widthInch > 0) {
    w = row->widthInch;
    h = row->heightInch;
  }
  pageWidth_ = Px(w, XDPI());
  pageHeight_ = Px(h, YDPI());
  return true;
}

// ----------------------------------------------------------- printer canvas

TRptPrinterCanvas::TRptPrinterCanvas(TRptPrinterDevice* device)
    : target_(std::make_unique<gui_detail::PaintDeviceTarget>()), fontPpi_(device->YDPI()) {
  SetTarget(target_.get());
}

TRptPrinterCanvas::~TRptPrinterCanvas() { SetTarget(nullptr); }

void TRptPrinterCanvas::Attach(QPainter* painter, int fontPpi) {
  target_->painter = painter;
  fontPpi_ = fontPpi;
}

// ---------------------------------------------------------- printer device

TRptPrinterDevice::TRptPrinterDevice() = default;

TRptPrinterDevice::~TRptPrinterDevice() {
  if (job_) job_->Abort();
}

void TRptPrinterDevice::BuildList() {
  if (generation_ == PrinterBackendGeneration()) return;
  if (printing_) return;
  generation_ = PrinterBackendGeneration();
  items_.clear();
  names_.Clear();
  Release();
  hasMode_ = false;
  index_ = -2;
  outputFile_.clear();  // another printing system: its file choice went with it
  for (const AnsiString& name : PrinterBackend().Destinations()) {
    items_.push_back({name, "", ""});
    names_.Add(name);
  }
}

const TStringList* TRptPrinterDevice::PrinterNames() {
  BuildList();
  return &names_;
}

bool TRptPrinterDevice::NoPrinters() {
  BuildList();
  return items_.empty();
}

void TRptPrinterDevice::Release() {
  context_ = TRptContextMode::None;
  if (!keepSetupMode_) hasMode_ = false;
  keepSetupMode_ = false;
  selected_ = TRptDeviceItem{};
  caps_ = TPrinterCaps{};
  binsRead_ = papersRead_ = false;
  bins_.clear();
  papers_.clear();
  fonts_.reset();
}

void TRptPrinterDevice::Fetch() {
  TPrinterCaps caps;
  if (!PrinterBackend().Capabilities(selected_.device, caps)) {
    // Released again, but its names stay for the messages that follow.
    TRptDeviceItem names = selected_;
    Release();
    selected_ = names;
    return;
  }
  caps_ = caps;
  if (!hasMode_) mode_ = caps.defaults;
  hasMode_ = true;
  changed_ = false;
}

int TRptPrinterDevice::PrinterIndex() {
  BuildList();
  if (index_ == -2) SetPrinterIndex(-1);
  return index_;
}

void TRptPrinterDevice::SetPrinterIndex(int index) {
  CheckNotPrinting();
  BuildList();
  if (items_.empty()) {
    index_ = -1;
    return;
  }
  if (index < -1 || index >= static_cast<int>(items_.size())) return;
  if (index == -1) {
    int def = PrinterBackend().DefaultDestination();
    index = def >= 0 && def < static_cast<int>(items_.size()) ? def : static_cast<int>(items_.size()) - 1;
  }
  if (index == index_) return;
  Release();
  index_ = index;
  selected_ = items_[static_cast<std::size_t>(index)];
  Fetch();
}

bool TRptPrinterDevice::SelectPrinterByName(const AnsiString& name, bool exact) {
  BuildList();
  bool hasOn = ContainsText(name, " on ");
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const TRptDeviceItem& item = items_[i];
    AnsiString full = item.device + " on " + item.port;
    bool hit = ContainsText(name, full) || (exact && !hasOn && SameText(name, item.device));
    if (hit) {
      SetPrinterIndex(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

AnsiString TRptPrinterDevice::DeviceName() {
  PrinterIndex();
  return selected_.device;
}
AnsiString TRptPrinterDevice::DriverName() {
  PrinterIndex();
  return selected_.driver;
}
AnsiString TRptPrinterDevice::PortName() {
  PrinterIndex();
  return selected_.port;
}

bool TRptPrinterDevice::Color() {
  PrinterIndex();
  return caps_.color;
}

bool TRptPrinterDevice::PrinterSetupDialog() {
  PrinterIndex();
  AnsiString printer = selected_.device;
  TRptDeviceMode mode = mode_;
  if (!ExecutePrintSetupDialog(printer, mode)) return false;
  // The chosen record stays in force across the selection that follows.
  mode_ = mode;
  hasMode_ = true;
  keepSetupMode_ = true;
  int before = index_;
  if (!SelectPrinterByName(printer, true) || index_ == before) keepSetupMode_ = false;
  mode_ = mode;
  hasMode_ = true;
  Mark();
  return true;
}

void TRptPrinterDevice::SetContextMode(TRptContextMode mode) {
  if (mode == context_) return;
  if (mode != TRptContextMode::None) {
    PrinterIndex();
    TPrinterCaps probe;
    if (selected_.device.empty() || !PrinterBackend().Capabilities(selected_.device, probe))
      throw EReportError(Format(RptText("Invalid Printer - %0:s on %1:s (%2:s)"), selected_.device, selected_.port,
                                selected_.driver));
  }
  // The canvas keeps its brush, pen and font across the switch: it is the
  // same object on the new context.
  context_ = mode;
}

void TRptPrinterDevice::ApplySettings(bool force) {
  if ((context_ == TRptContextMode::Information && changed_) || force) changed_ = false;
}

TCanvas* TRptPrinterDevice::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TRptPrinterCanvas>(this);
  return canvas_.get();
}

int TRptPrinterDevice::XDPI() {
  if (NoPrinters()) return 100;
  PrinterIndex();
  return caps_.resolution > 0 ? caps_.resolution : 100;
}

const TPrinterPaper* TRptPrinterDevice::CurrentPaper() const {
  for (const TPrinterPaper& p : caps_.papers)
    if (p.code == mode_.paperSize) return &p;
  return nullptr;
}

TPrintPageLayout TRptPrinterDevice::Layout() {
  TPrintPageLayout l;
  l.dpi = XDPI();
  l.landscape = hasMode_ && mode_.orientation == DMORIENT_LANDSCAPE;
  double left = 0, top = 0, right = 0, bottom = 0;
  if (const TPrinterPaper* p = CurrentPaper()) {
    l.widthInch = p->widthInch;
    l.heightInch = p->heightInch;
    left = p->left, top = p->top, right = p->right, bottom = p->bottom;
  } else if (mode_.paperSize == DMPAPER_USER && mode_.paperWidth > 0 && mode_.paperLength > 0) {
    l.widthInch = mode_.paperWidth / 254.0;
    l.heightInch = mode_.paperLength / 254.0;
  } else if (const TRptPaperSize* row = FindPaperSize(mode_.paperSize); row && row->widthInch > 0) {
    l.widthInch = row->widthInch;
    l.heightInch = row->heightInch;
  }
  if (l.landscape) {
    // The page turned a quarter to the left: its top edge was the right one.
    l.left = top, l.top = right, l.right = bottom, l.bottom = left;
  } else {
    l.left = left, l.top = top, l.right = right, l.bottom = bottom;
  }
  return l;
}

TRect TRptPrinterDevice::Waste() {
  if (NoPrinters()) return TRect{};
  TPrintPageLayout l = Layout();
  return Rect(Px(l.left, l.dpi), Px(l.top, l.dpi), Px(l.right, l.dpi), Px(l.bottom, l.dpi));
}

int TRptPrinterDevice::PageWidth() {
  if (NoPrinters()) return pageWidth_;
  ApplySettings();
  TPrintPageLayout l = Layout();
  double w = l.landscape ? l.heightInch : l.widthInch;
  return Px(w - l.left - l.right, l.dpi);
}

int TRptPrinterDevice::PageHeight() {
  if (NoPrinters()) return pageHeight_;
  ApplySettings();
  TPrintPageLayout l = Layout();
  double h = l.landscape ? l.widthInch : l.heightInch;
  return Px(h - l.top - l.bottom, l.dpi);
}

const std::vector<TRptNamedCode>& TRptPrinterDevice::Bins() {
  PrinterIndex();
  if (!binsRead_) {
    binsRead_ = true;
    for (const TPrinterBin& b : caps_.bins) bins_.push_back({b.name.substr(0, 24), b.code});
  }
  return bins_;
}

const std::vector<TRptNamedCode>& TRptPrinterDevice::Papers() {
  PrinterIndex();
  if (!papersRead_) {
    papersRead_ = true;
    for (const TPrinterPaper& p : caps_.papers) papers_.push_back({p.name.substr(0, 64), p.code});
  }
  return papers_;
}

const TStringList* TRptPrinterDevice::Fonts() {
  if (!fonts_) {
    fonts_ = std::make_unique<TStringList>();
    for (const QString& family : QFontDatabase::families()) fonts_->Add(gui_detail::FromQt(family));
  }
  return fonts_.get();
}

TOrientation TRptPrinterDevice::Orientation() {
  PrinterIndex();
  if (!hasMode_) return orientation_;
  return mode_.orientation == DMORIENT_LANDSCAPE ? TOrientation::poLandScape : TOrientation::poPortrait;
}

void TRptPrinterDevice::SetOrientation(TOrientation o) {
  if (o == TOrientation::poDefault) return;
  orientation_ = o;
  PrinterIndex();
  if (!hasMode_) return;
  int value = o == TOrientation::poLandScape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  if (mode_.orientation != value) {
    mode_.orientation = value;
    Mark();
  }
}

int TRptPrinterDevice::MaxCopies() {
  if (NoPrinters()) return 1;
  PrinterIndex();
  return std::max(1, caps_.maxCopies);
}

void TRptPrinterDevice::SetCopies(int n) {
  // The printer makes up to MaxCopies copies itself, MaxCopies included.
  if (printing_ || n < 1 || n > MaxCopies() || !hasMode_) return;
  if (mode_.copies != n) {
    mode_.copies = n;
    Mark();
  }
}

int TRptPrinterDevice::Copies() {
  PrinterIndex();
  return hasMode_ ? mode_.copies : 1;
}

void TRptPrinterDevice::SetDuplex(int d) {
  if (!DuplexOffered()) return;
  mode_.duplex = d + 1;
  Mark();
}

int TRptPrinterDevice::Duplex() {
  PrinterIndex();
  return hasMode_ && mode_.duplex >= 1 && mode_.duplex <= 3 ? mode_.duplex - 1 : 0;
}

void TRptPrinterDevice::SetCollate(bool c) {
  if (!CollateOffered()) return;
  mode_.collate = c;
  Mark();
}

bool TRptPrinterDevice::Collate() {
  PrinterIndex();
  return hasMode_ && mode_.collate;
}

int TRptPrinterDevice::TextWidth(const TFont& font, const AnsiString& text) {
  if (text.empty()) return 1;
  int w = gui_detail::FaceOf(font).TextWidth(text, gui_detail::CodePageOf(font.Charset()));
  return w == 0 ? 1 : w;
}

void TRptPrinterDevice::RawData(const char*, int) {
  throw EReportError(RptText("Raw device data cannot be sent to this printer."));
}

TPrintJobOptions TRptPrinterDevice::JobOptions() {
  TPrintJobOptions o;
  o.title = title_;
  o.copies = hasMode_ ? mode_.copies : 1;
  o.collate = hasMode_ && mode_.collate;
  int duplex = hasMode_ ? mode_.duplex : DMDUP_SIMPLEX;
  o.sides = duplex == DMDUP_VERTICAL     ? "two-sided-long-edge"
            : duplex == DMDUP_HORIZONTAL ? "two-sided-short-edge"
                                         : "one-sided";
  const TRptPaperSize* row = FindPaperSize(mode_.paperSize);
  if (const TPrinterPaper* p = CurrentPaper())
    o.media = p->keyword;
  else if (mode_.paperSize == DMPAPER_USER && mode_.paperWidth > 0)
    o.media = Format("custom_%dx%dmm", mode_.paperWidth / 10, mode_.paperLength / 10);
  else if (!MediaForPaperCode(mode_.paperSize).empty())
    o.media = MediaForPaperCode(mode_.paperSize);
  else if (row && row->widthInch > 0)
    o.media = Format("custom_%dx%dmm", static_cast<int>(std::lround(row->widthInch * 25.4)),
                     static_cast<int>(std::lround(row->heightInch * 25.4)));
  if (hasMode_ && (mode_.fields & DM_DEFAULTSOURCE))
    for (const TPrinterBin& b : caps_.bins)
      if (b.code == mode_.defaultSource) o.mediaSource = b.keyword;
  return o;
}

void TRptPrinterDevice::BeginDoc() {
  CheckNotPrinting();
  ApplySettings();
  SetContextMode(TRptContextMode::Printing);
  job_ = std::make_unique<TPrintJob>(selected_.device, outputFile_, Layout(), JobOptions());
  printing_ = true;
  aborted_ = false;
  static_cast<TRptPrinterCanvas*>(Canvas())->Attach(nullptr, YDPI());
  pageOpen_ = false;
  pageUsed_ = false;
}

void TRptPrinterDevice::StartPage() {
  // The job document opens with its first page; later pages are new ones.
  if (pageUsed_) job_->NewPage(Layout());
  pageUsed_ = true;
  pageOpen_ = true;
  static_cast<TRptPrinterCanvas*>(Canvas())->Attach(job_->Canvas()->Target()->painter, YDPI());
}

void TRptPrinterDevice::BeginDocPage() {
  BeginDoc();
  StartPage();
}

void TRptPrinterDevice::EndDoc() {
  CheckPrinting();
  pageOpen_ = false;
  static_cast<TRptPrinterCanvas*>(Canvas())->Attach(nullptr, YDPI());
  std::unique_ptr<TPrintJob> job = std::move(job_);
  bool aborted = aborted_;
  printing_ = false;
  aborted_ = false;
  context_ = TRptContextMode::None;
  if (!aborted && job) job->End();
}

void TRptPrinterDevice::AbortDoc() {
  CheckPrinting();
  if (job_) job_->Abort();
  aborted_ = true;
  EndDoc();
}

void TRptPrinterDevice::NewPage() {
  CheckPrinting();
  pageOpen_ = false;
  ApplySettings(true);
  StartPage();
}

void TRptPrinterDevice::NewPage(bool valid) {
  CheckPrinting();
  pageOpen_ = false;
  ApplySettings(true);
  if (valid) StartPage();
  pageOpen_ = valid;
}

bool TRptPrinterDevice::SelectBin(const AnsiString& name, bool exact) {
  binName_ = name;
  for (const TRptNamedCode& b : Bins()) {
    bool hit = exact ? b.name == name : ContainsText(b.name, name);
    if (!hit) continue;
    if (!hasMode_) return false;
    if (mode_.defaultSource != b.code) {
      mode_.defaultSource = b.code;
      mode_.fields |= DM_DEFAULTSOURCE;
      Mark();
    }
    return true;
  }
  return false;
}

bool TRptPrinterDevice::SelectPaper(const AnsiString& name, bool exact) {
  paperName_ = name;
  for (const TRptNamedCode& p : Papers()) {
    bool hit = exact ? p.name == name : ContainsText(p.name, name);
    if (!hit) continue;
    if (!hasMode_) return false;
    if (mode_.paperSize != p.code) {
      mode_.paperSize = p.code;
      mode_.fields |= DM_PAPERSIZE;
      Mark();
    }
    return true;
  }
  return false;
}

void TRptPrinterDevice::PaperExtents(TPoint& minimum, TPoint& maximum) {
  PrinterIndex();
  minimum = Point(caps_.minWidth, caps_.minLength);
  maximum = Point(caps_.maxWidth, caps_.maxLength);
}

bool TRptPrinterDevice::SetPaper(int code, int width, int length) {
  PrinterIndex();
  if (!hasMode_) return false;
  if (width != 0 && length != 0) {
    if (caps_.maxWidth <= 0 || width < caps_.minWidth || width > caps_.maxWidth || length < caps_.minLength ||
        length > caps_.maxLength)
      return false;
    if (mode_.paperSize == DMPAPER_USER && mode_.paperWidth == width && mode_.paperLength == length) return false;
    mode_.paperSize = DMPAPER_USER;
    mode_.paperWidth = width;
    mode_.paperLength = length;
  } else {
    if (!PaperOffered(code) || mode_.paperSize == code) return false;
    mode_.paperSize = code;
    mode_.paperWidth = mode_.paperLength = 0;
  }
  Mark();
  return true;
}

bool TRptPrinterDevice::BinOffered(int code) {
  if (!hasMode_ || !(mode_.fields & DM_DEFAULTSOURCE)) return false;
  for (const TRptNamedCode& b : Bins())
    if (b.code == code) return true;
  return false;
}

bool TRptPrinterDevice::PaperOffered(int code) {
  if (!hasMode_ || !(mode_.fields & DM_PAPERSIZE)) return false;
  for (const TRptNamedCode& p : Papers())
    if (p.code == code) return true;
  return false;
}

bool TRptPrinterDevice::OrientationOffered() {
  PrinterIndex();
  return hasMode_ && (mode_.fields & DM_ORIENTATION);
}

bool TRptPrinterDevice::DuplexOffered() {
  PrinterIndex();
  return hasMode_ && (mode_.fields & DM_DUPLEX) && caps_.duplex;
}

bool TRptPrinterDevice::CollateOffered() {
  PrinterIndex();
  return hasMode_ && (mode_.fields & DM_COLLATE) && caps_.collate;
}

// ----------------------------------------------------------- render device

TRptRenderDevice::TRptRenderDevice(TCanvas* canvas) {
  printing_ = true;
  pageWidth_ = Px(8.5, 600);
  pageHeight_ = Px(11, 600);
  SetCanvas(canvas);
}

TRptRenderDevice::~TRptRenderDevice() = default;

void TRptRenderDevice::SetCanvas(TCanvas* canvas) {
  if (canvas) {
    bitmap_.reset();
    canvas_ = canvas;
    return;
  }
  bitmap_ = std::make_unique<TBitmap>();
  canvas_ = bitmap_->Canvas();
}

TCanvas* TRptRenderDevice::Canvas() { return canvas_; }

int TRptRenderDevice::TextWidth(const TFont& font, const AnsiString& text) {
  return RptFontManager().TextWidth(font, YDPI(), XDPI(), text);
}

// ----------------------------------------------------------- global device

namespace {
std::unique_ptr<TRptBaseDevice>& GlobalDevice() {
  static std::unique_ptr<TRptBaseDevice> device;
  return device;
}
}  // namespace

TRptBaseDevice* RptDevice() {
  if (!GlobalDevice()) GlobalDevice() = std::make_unique<TRptPrinterDevice>();
  return GlobalDevice().get();
}

TRptPrinterDevice* RptPrinterDevice() { return dynamic_cast<TRptPrinterDevice*>(RptDevice()); }

void SetRptDevice(std::unique_ptr<TRptBaseDevice> device) { GlobalDevice() = std::move(device); }
