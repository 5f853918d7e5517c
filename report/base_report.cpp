// TBaseReport: geometry, fonts, pens, pages, the run loop and the status
// line. Text, tabs and macros are in base_report_text.cpp.
#include "report/base_report.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/gui/application.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/sysutils.h"

namespace {

// Rounds to the nearest integer, halves to even (the default rounding
// mode), so that device positions do not drift by half-pixel ties.
int RoundEven(double v) {
  double r = std::nearbyint(v);
  // Positions far off the page stay far off without overflowing.
  if (!(r > INT_MIN / 2)) return INT_MIN / 2;
  if (r > INT_MAX / 2) return INT_MAX / 2;
  return static_cast<int>(r);
}

}  // namespace

TBaseReport::TBaseReport(TComponent* owner) : TRptBaseComponent(owner) {
  for (TSaveFont& f : savedFonts_) f = TSaveFont{};
  try {
    TRptPrinterDevice* printer = PrinterDevice();
    if (printer && !printer->NoPrinters()) printer->PrinterIndex();
    RefreshDevice();
  } catch (const Exception&) {
    // A printer that cannot be asked now is asked again when printing.
  }
  AddPageHandler(1, [this](TObject*, intptr_t) { FlushLines(); });
}

TBaseReport::~TBaseReport() {
  try {
    if (printing_ && Device()->Printing() && DestinationKind() == 0) Device()->AbortDoc();
  } catch (...) {
  }
  if (hooked_) UnhookCanvasFont();
  FreeFontCache();
  lines_.Clear();
}

// ------------------------------------------------------------------ units

void TBaseReport::SetUnits(TPrintUnits units) {
  units_ = units;
  switch (units) {
    case unInch: factor_ = 1; break;
    case unMM: factor_ = 25.4; break;
    case unCM: factor_ = 2.54; break;
    case unPoint: factor_ = 72; break;
    case unUser: break;
  }
}

void TBaseReport::SetUnitsFactor(double factor) {
  if (!(factor > 0)) return;
  factor_ = factor;
  units_ = factor == 1 ? unInch : factor == 25.4 ? unMM : factor == 2.54 ? unCM : factor == 72 ? unPoint : unUser;
}

int TBaseReport::XI2D(double x) const {
  return RoundEven(((x + originX_) * scaleX_ * zoom_ / 10000 - wasteL_) * dpiX_) + pixelOffsetX_;
}

int TBaseReport::YI2D(double y) const {
  return RoundEven(((y + originY_) * scaleY_ * zoom_ / 10000 - wasteT_) * dpiY_) + pixelOffsetY_;
}

double TBaseReport::XD2I(int px) const {
  return (static_cast<double>(px - pixelOffsetX_) / dpiX_ + wasteL_) * 10000 / (scaleX_ * zoom_) - originX_;
}

double TBaseReport::YD2I(int px) const {
  return (static_cast<double>(px - pixelOffsetY_) / dpiY_ + wasteT_) * 10000 / (scaleY_ * zoom_) - originY_;
}

// ----------------------------------------------------------------- device

bool TBaseReport::HasPrinter() const {
  TRptPrinterDevice* p = PrinterDevice();
  return p && !p->NoPrinters();
}

double TBaseReport::PageWidthInches() const {
  // Without a printer the page is a Letter sheet in inches, whatever the
  // units, so margins and line counts mean the same as on paper.
  if (!HasPrinter()) return noPrinterWidth_;
  return static_cast<double>(Device()->PageWidth()) / dpiX_ + wasteL_ + wasteR_;
}

double TBaseReport::PageHeightInches() const {
  if (!HasPrinter()) return noPrinterHeight_;
  return static_cast<double>(Device()->PageHeight()) / dpiY_ + wasteT_ + wasteB_;
}

void TBaseReport::ReadDeviceMetrics() {
  wasteL_ = wasteR_ = wasteT_ = wasteB_ = 0;
  int kind = DestinationKind();
  if (kind == 1) return;  // the preview keeps its own resolution
  TRptBaseDevice* d = Device();
  if (!HasPrinter()) {
    dpiX_ = d->XDPI();
    dpiY_ = d->YDPI();
    return;
  }
  if (kind == 0 || kind == 2) PrinterDevice()->ApplySettings();
  dpiX_ = d->XDPI();
  dpiY_ = d->YDPI();
  TRect w = d->Waste();
  wasteL_ = static_cast<double>(w.Left) / dpiX_;
  wasteT_ = static_cast<double>(w.Top) / dpiY_;
  wasteR_ = static_cast<double>(w.Right) / dpiX_;
  wasteB_ = static_cast<double>(w.Bottom) / dpiY_;
}

void TBaseReport::ApplyMargins() {
  SetMarginLeft(marginL_);
  SetMarginRight(marginR_);
  SetMarginTop(marginT_);
  SetMarginBottom(marginB_);
}

void TBaseReport::RefreshDevice() {
  CheckNotPrinting();
  ReadDeviceMetrics();
  ApplyMargins();
  ResetSections();
}

void TBaseReport::ApplyOrientation() {
  TOrientation next = pendingOrientation_;
  if (!HasPrinter()) {
    // A change into or out of landscape turns the page.
    if ((orientation_ == TOrientation::poLandScape) != (next == TOrientation::poLandScape))
      std::swap(noPrinterWidth_, noPrinterHeight_);
  } else if (next != TOrientation::poDefault) {
    Device()->SetOrientation(next);
    ReadDeviceMetrics();
  }
  orientation_ = next;
}

void TBaseReport::SetOrientation(TOrientation o) {
  pendingOrientation_ = o;
  if (!printing_) ApplyOrientation();
}

void TBaseReport::SetCopies(int n) {
  CheckNotPrinting();
  if (n > 0 && HasPrinter()) Device()->SetCopies(n);
  copies_ = n;
}

void TBaseReport::SelectPrinterByIndex(int index) {
  CheckNotPrinting();
  if (index < -1) return;
  if (HasPrinter()) {
    PrinterDevice()->SetPrinterIndex(index);
    RefreshDevice();
  }
}

void TBaseReport::SetOutputName(const AnsiString& name) {
  CheckNotPrinting();
  if (HasPrinter()) PrinterDevice()->SetOutputFileName(name);
}

bool TBaseReport::SelectBin(const AnsiString& name) { return Device()->SelectBin(name, false); }

TCanvas* TBaseReport::GetCanvas() {
  if (!Device()->Printing()) throw EReportError(RptText("Error!  Canvas not yet active."));
  return Device()->Canvas();
}

void TBaseReport::SetBackColor(TColor color) {
  CheckPrinting();
  GetCanvas()->SetBackColor(color);
}

TColor TBaseReport::BackColor() { return GetCanvas()->BackColor(); }

// ---------------------------------------------------------------- margins

void TBaseReport::SetMarginLeft(double units) {
  marginL_ = units;
  edgeL_ = units / factor_;
  SetSectionLeft(edgeL_ * factor_);
}

void TBaseReport::SetMarginRight(double units) {
  marginR_ = units;
  edgeR_ = PageWidthInches() - units / factor_;
  SetSectionRight(edgeR_ * factor_);
}

void TBaseReport::SetMarginTop(double units) {
  marginT_ = units;
  edgeT_ = units / factor_;
  SetSectionTop(edgeT_ * factor_);
}

void TBaseReport::SetMarginBottom(double units) {
  marginB_ = units;
  edgeB_ = PageHeightInches() - units / factor_;
  SetSectionBottom(edgeB_ * factor_);
}

void TBaseReport::SetSectionLeft(double units) {
  secL_ = units / factor_;
  if (x_ < secL_) x_ = secL_;
}

void TBaseReport::SetSectionRight(double units) {
  secR_ = units / factor_;
  if (x_ > secR_) x_ = secR_;
}

void TBaseReport::SetSectionTop(double units) {
  secT_ = units / factor_;
  if (y_ < secT_) y_ = secT_;
}

void TBaseReport::SetSectionBottom(double units) {
  secB_ = units / factor_;
  if (y_ > secB_) y_ = secB_;
}

void TBaseReport::ResetSections() {
  SetSectionLeft(edgeL_ * factor_);
  SetSectionRight(edgeR_ * factor_);
  SetSectionTop(edgeT_ * factor_);
  SetSectionBottom(edgeB_ * factor_);
}

void TBaseReport::SetColumns(int count, double between) {
  if (count < 1) count = 1;
  columns_ = count;
  columnBetween_ = between / factor_;
  columnWidth_ = (secR_ - secL_ + columnBetween_) / count;
  columnNum_ = 1;
  x_ = ColumnLeftInches();
  ResetTabCursor();
}

void TBaseReport::ResetColumns() {
  columns_ = 1;
  columnWidth_ = secR_ - secL_;
  columnBetween_ = 0;
  columnNum_ = 1;
}

// ------------------------------------------------------------------ lines

void TBaseReport::SetLinesPerInch(int n) {
  if (n > 0) linesPerInch_ = n;
}

void TBaseReport::UpdateLineHeight() {
  if (!printing_) return;
  if (fontChanged_) {
    RealizeFont();
    RestoreCanvasFont();
  }
  ascent_ = font_.Ascent;
  descent_ = font_.Descent;
  if (lhm_ == lhmLinesPerInch)
    lineHeight_ = 1.0 / linesPerInch_;
  else if (lhm_ == lhmFont)
    lineHeight_ = font_.Size / 60.0;
}

void TBaseReport::Home() {
  SetColumnNumber(1);
  SetLineNumber(1);
}

void TBaseReport::SetLineNumber(int n) {
  lineNum_ = n;
  UpdateLineHeight();
  ResetTabCursor();
  x_ = ColumnLeftInches();
  y_ = n * lineHeight_ + secT_ - descent_;
}

void TBaseReport::SetColumnNumber(int n) {
  columnNum_ = n;
  x_ = ColumnLeftInches();
  ResetTabCursor();
}

void TBaseReport::NewLine() {
  if (columnNum_ >= columns_ || LinesLeft() > 1) {
    x_ = ColumnLeftInches();
    UpdateLineHeight();
    ++lineNum_;
    y_ += lineHeight_;
  } else {
    SetLineNumber(1);
    SetColumnNumber(columnNum_ + 1);
    FireNewColumn();
  }
  ResetTabCursor();
  if (!(SectionBottom() > LineBottom())) FireEndOfSection();
  AfterLine();
}

int TBaseReport::LinesLeft() {
  double bottom = y_ + descent_;
  if (bottom > secB_ + 1e-9) return 0;
  if (!(lineHeight_ > 0)) return 0;
  // A line height of next to nothing must not overflow the count.
  double lines = std::trunc((secB_ - bottom) / lineHeight_ + 1e-9);
  return lines >= INT_MAX - 1 ? INT_MAX : static_cast<int>(lines) + 1;
}

void TBaseReport::GotoSectionBottom() {
  UpdateLineHeight();
  x_ = ColumnLeftInches();
  y_ = secB_ - descent_;
}

void TBaseReport::MarkSectionTop() {
  secT_ = y_ + descent_;
  SetLineNumber(0);
}

void TBaseReport::PushPos() { posStack_.emplace_back(x_, y_); }

bool TBaseReport::PopPos() {
  if (posStack_.empty()) return false;
  x_ = posStack_.back().first;
  y_ = posStack_.back().second;
  posStack_.pop_back();
  return true;
}

// ------------------------------------------------------------------ fonts

void TBaseReport::SelectFont(const AnsiString& name, double size) {
  if (!(size > 0)) return;
  fontChangesDisabled_ = true;
  TSaveFont f;
  f.Name = name.substr(0, 60);
  f.Size = size;
  f.Height = size / 72.0;
  font_ = f;
  fontChanged_ = true;
  fontChangesDisabled_ = false;
}

void TBaseReport::SetFontCharset(uint8_t charset) {
  font_.CharSet = charset;
  fontChanged_ = true;
}

void TBaseReport::SetBold(bool on) {
  font_.Bold = on;
  fontChanged_ = true;
}

void TBaseReport::SetUnderline(bool on) {
  font_.Underline = on;
  fontChanged_ = true;
}

void TBaseReport::SetItalic(bool on) {
  font_.Italic = on;
  fontChanged_ = true;
}

void TBaseReport::SetStrikeOut(bool on) {
  font_.StrikeOut = on;
  fontChanged_ = true;
}

void TBaseReport::SetSuperscript(bool on) {
  font_.Superscript = on;
  if (on) font_.Subscript = false;
  fontChanged_ = true;
}

void TBaseReport::SetSubscript(bool on) {
  font_.Subscript = on;
  if (on) font_.Superscript = false;
  fontChanged_ = true;
}

void TBaseReport::SetFontRotation(int degrees) {
  font_.Rotation = static_cast<int16_t>(((degrees % 360) + 360) % 360);
  fontChanged_ = true;
}

void TBaseReport::SetFontColor(TColor color) {
  font_.Color = color;
  fontChanged_ = true;
}

void TBaseReport::SetFontName(const AnsiString& name) {
  font_.Name = name.substr(0, 60);
  fontChanged_ = true;
}

void TBaseReport::SetFontPitch(TFontPitch pitch) {
  font_.Pitch = static_cast<uint8_t>(pitch == fpVariable ? 1 : pitch == fpFixed ? 2 : 0);
  fontChanged_ = true;
}

void TBaseReport::SetFontSize(double points) {
  if (!(points > 0)) return;
  font_.Size = points;
  font_.Height = points / 72.0;
  fontChanged_ = true;
}

void TBaseReport::SetFontHeight(double units) {
  double inches = units / factor_;
  if (!(inches > 0)) return;
  font_.Height = inches;
  font_.Size = inches * 72;
  fontChanged_ = true;
}

void TBaseReport::SetFontAlign(int align) {
  if (align >= 0 && align <= 2) font_.Align = static_cast<uint8_t>(align);
}

bool TBaseReport::PushFont() {
  if (blockText_) return true;
  fontStack_.push_back(font_);
  return true;
}

bool TBaseReport::PopFont() {
  if (blockText_) return true;
  if (fontStack_.empty()) return false;
  SetFontRecord(fontStack_.back());
  fontStack_.pop_back();
  return true;
}

void TBaseReport::SetFontRecord(const TSaveFont& record) {
  fontChangesDisabled_ = true;
  font_ = record;
  fontChanged_ = true;
  fontChangesDisabled_ = false;
}

void TBaseReport::FreeFontCache() {
  fontCache_.clear();
  font_.Handle.reset();
}

void TBaseReport::RealizeFont() {
  if (fontChanged_) {
    font_.Handle.reset();
    fontChanged_ = false;
  }
  TRptBaseDevice* d = Device();
  TCanvas* canvas = d->Canvas();
  if (!font_.Handle) {
    auto same = [&](const TSaveFont& c) {
      return c.Name == font_.Name && c.Pitch == font_.Pitch && c.Height == font_.Height && c.Bold == font_.Bold &&
             c.Underline == font_.Underline && c.Italic == font_.Italic && c.StrikeOut == font_.StrikeOut &&
             c.Rotation == font_.Rotation && c.Superscript == font_.Superscript &&
             c.Subscript == font_.Subscript && c.CharSet == font_.CharSet;
    };
    auto hit = std::find_if(fontCache_.begin(), fontCache_.end(), same);
    if (hit != fontCache_.end()) {
      font_.Handle = hit->Handle;
      font_.Ascent = hit->Ascent;
      font_.Descent = hit->Descent;
      font_.InternalLeading = hit->InternalLeading;
      font_.Index = hit->Index;
      fontCache_.splice(fontCache_.begin(), fontCache_, hit);
    } else {
      bool script = font_.Superscript || font_.Subscript;
      double inches = script ? font_.Height / 1.667 : font_.Height;
      // Sizes beyond any paper are held to a pixel height a face can have.
      double px = std::clamp(zoom_ / 100 * dpiY_ * inches, 0.0, 65535.0);
      int height = -static_cast<int>(std::lround(px));
      if (height == 0) height = -1;
      TFontStyles style;
      if (font_.Bold) style.Include(fsBold);
      if (font_.Italic) style.Include(fsItalic);
      if (font_.Underline) style.Include(fsUnderline);
      if (font_.StrikeOut) style.Include(fsStrikeOut);
      TFontPitch pitch = font_.Pitch == 1 ? fpVariable : font_.Pitch == 2 ? fpFixed : fpDefault;
      font_.Handle = std::make_shared<TRptDeviceFont>(font_.Name, height, font_.Rotation * 10, style, font_.CharSet,
                                                      pitch, font_.Color);
      double toInches = 10000.0 / (dpiY_ * scaleY_ * zoom_);
      double half = script ? 0.5 : 1;
      font_.Ascent = font_.Handle->Ascent() * toInches * half;
      font_.Descent = font_.Handle->Descent() * toInches * half;
      font_.InternalLeading = font_.Handle->InternalLeading() * toInches * half;
      font_.Index = static_cast<int16_t>(fontCache_.size());
      fontCache_.push_front(font_);
    }
  }
  if (!fontRealised_) {
    canvasFont_ = *canvas->Font();
    fontRealised_ = true;
  }
  bool hookedBefore = hooked_;
  if (hookedBefore) fontChangesDisabled_ = true;
  TFont f = font_.Handle->Font();
  // Monochrome printers print coloured text black rather than dithered.
  TRptPrinterDevice* printer = PrinterDevice();
  bool black = colorFix_ && printer && !printer->NoPrinters() && !printer->Color() && DestinationKind() == 0 &&
               font_.Color != clWhite;
  f.SetColor(black ? clBlack : font_.Color);
  canvas->Font()->Assign(&f);
  if (hookedBefore) fontChangesDisabled_ = false;
}

void TBaseReport::RestoreCanvasFont() {
  if (!fontRealised_) return;
  bool disabled = fontChangesDisabled_;
  fontChangesDisabled_ = true;
  Device()->Canvas()->Font()->Assign(&canvasFont_);
  fontChangesDisabled_ = disabled;
  fontRealised_ = false;
}

void TBaseReport::UpdateFont() {
  RealizeFont();
  RestoreCanvasFont();
}

void TBaseReport::FontChanged(TObject* sender) {
  if (previousFontChange_) previousFontChange_(sender);
  if (fontChangesDisabled_) return;
  TFont* f = Device()->Canvas()->Font();
  auto mark = [&] { fontChanged_ = true; };
  if (f->Name() != font_.Name) font_.Name = f->Name(), mark();
  if (f->Color() != font_.Color) font_.Color = f->Color(), mark();
  if (f->Charset() != font_.CharSet) font_.CharSet = f->Charset(), mark();
  uint8_t pitch = static_cast<uint8_t>(f->Pitch() == fpVariable ? 1 : f->Pitch() == fpFixed ? 2 : 0);
  if (pitch != font_.Pitch) font_.Pitch = pitch, mark();
  int h = std::abs(f->Height());
  if (h != std::nearbyint(dpiY_ * font_.Height * zoom_ / 100)) {
    font_.Height = h * 100.0 / (dpiY_ * zoom_);
    font_.Size = font_.Height * 72;
    mark();
  }
  TFontStyles s = f->Style();
  if (s.Contains(fsBold) != font_.Bold) font_.Bold = s.Contains(fsBold), mark();
  if (s.Contains(fsItalic) != font_.Italic) font_.Italic = s.Contains(fsItalic), mark();
  if (s.Contains(fsUnderline) != font_.Underline) font_.Underline = s.Contains(fsUnderline), mark();
  if (s.Contains(fsStrikeOut) != font_.StrikeOut) font_.StrikeOut = s.Contains(fsStrikeOut), mark();
}

void TBaseReport::HookCanvasFont() {
  if (hooked_) return;
  TFont* f = Device()->Canvas()->Font();
  previousFontChange_ = f->OnChange;
  f->OnChange = [this](TObject* sender) { FontChanged(sender); };
  hooked_ = true;
}

void TBaseReport::UnhookCanvasFont() {
  if (!hooked_) return;
  Device()->Canvas()->Font()->OnChange = previousFontChange_;
  previousFontChange_ = nullptr;
  hooked_ = false;
}

// ------------------------------------------------------------- pen, brush

int TBaseReport::ScalePenWidth(int width) const {
  if (width >= 0) return width;
  double inches = width >= -10000 ? -width / 100.0 : (-width - 10000) / 10000.0;
  int px = static_cast<int>(std::lround(zoom_ * scaleX_ * inches * dpiX_ / 10000));
  return px == 0 ? 1 : px;
}

void TBaseReport::SetPen(TColor color, TPenStyle style, int width, TPenMode mode) {
  TPen* pen = Device()->Canvas()->Pen();
  pen->SetColor(color);
  pen->SetStyle(style);
  pen->SetWidth(ScalePenWidth(width));
  pen->SetMode(mode);
}

void TBaseReport::SetBrush(TColor color, TBrushStyle style, TBitmap* bitmap) {
  TBrush* brush = Device()->Canvas()->Brush();
  brush->SetColor(color);
  brush->SetStyle(style);
  if (bitmap) brush->SetBitmap(bitmap);
}

void TBaseReport::FlushLines() {
  if (lines_.Horizontal().empty() && lines_.Vertical().empty()) return;
  TCanvas* canvas = Device()->Canvas();
  TPen saved;
  saved.Assign(canvas->Pen());
  bool buffering = lines_.Buffering();
  lines_.SetBuffering(false);
  struct Restore {
    TCanvas* canvas;
    TPen* saved;
    TLineBuffer* lines;
    bool buffering;
    ~Restore() {
      canvas->Pen()->Assign(saved);
      lines->SetBuffering(buffering);
    }
  } restore{canvas, &saved, &lines_, buffering};
  double ox = originX_ * factor_, oy = originY_ * factor_;
  lines_.Flush([&](const TLineSegment& s, bool vertical) {
    TPen* pen = canvas->Pen();
    pen->SetColor(s.color);
    pen->SetMode(s.mode);
    pen->SetStyle(s.style);
    pen->SetWidth(s.width);
    double a = s.start * factor_, b = s.end * factor_, f = s.fixed * factor_;
    if (vertical) {
      MoveTo(f - ox, a - oy);
      LineTo(f - ox, b - oy);
    } else {
      MoveTo(a - ox, f - oy);
      LineTo(b - ox, f - oy);
    }
  });
}

// ------------------------------------------------------------------ pages

void TBaseReport::CheckPrinting() const {
  if (!printing_) throw EReportError(RptText("Invalid method call.  Report is not printing."));
}

void TBaseReport::CheckNotPrinting() const {
  if (printing_) throw EReportError(RptText("Invalid method call.  Report already printing."));
}

bool TBaseReport::PageSelected(int n) const {
  if (selection_.empty()) return n >= firstPage_ && n <= lastPage_;
  AnsiString item;
  int rangeStart = 0;
  bool pending = false;
  auto matches = [&](const AnsiString& raw) {
    AnsiString it = UpperCase(Trim(raw));
    if (it == "E" || it == "EVEN") return n % 2 == 0;
    if (it == "O" || it == "ODD") return n % 2 != 0;
    if (it == "A" || it == "ALL") return true;
    if (it == "R") return false;
    if (it.empty()) return pending && n >= rangeStart;
    int value = StrToInt(it);
    return pending ? n >= rangeStart && n <= value : n == value;
  };
  for (std::size_t i = 0; i <= selection_.size(); ++i) {
    char c = i < selection_.size() ? selection_[i] : ',';
    if (c == '-') {
      AnsiString start = Trim(item);
      rangeStart = start.empty() ? 1 : StrToInt(start);
      pending = true;
      item.clear();
    } else if (c == ',') {
      if (matches(item)) return true;
      item.clear();
      pending = false;
    } else {
      item.push_back(c);
    }
  }
  return false;
}

void TBaseReport::AbortReport() {
  aborted_ = true;
  pageInvalid_ = true;
}

bool TBaseReport::PageSkipped() {
  if (aborted_) Abort();
  return pageInvalid_ || !(outputMask_ & (1u << DestinationKind()));
}

void TBaseReport::AllowPreviewOnly() { outputMask_ = static_cast<uint8_t>((outputMask_ & ~1u) | 2u); }
void TBaseReport::AllowPrinterOnly() { outputMask_ = static_cast<uint8_t>((outputMask_ & ~2u) | 1u); }
void TBaseReport::AllowAll() { outputMask_ = static_cast<uint8_t>(outputMask_ | 3u); }

void TBaseReport::AddPageHandler(int kind, TPageHandler handler, intptr_t data) {
  pageHandlers_[kind == 0 ? 0 : 1].emplace_back(std::move(handler), data);
}

void TBaseReport::FireBeginPageHandlers() {
  for (auto& [fn, data] : pageHandlers_[0]) fn(this, data);
}

void TBaseReport::FireEndPageHandlers() {
  for (auto& [fn, data] : pageHandlers_[1]) fn(this, data);
}

void TBaseReport::AbortPage() {
  if (pageInvalid_) return;
  pageInvalid_ = true;
  --currentPage_;
}

void TBaseReport::RunReport() {
  ApplyOrientation();
  std::exception_ptr failure;
  try {
    StartDocument();
    if (OnPrint || !OnPrintPage) {
      FirePrint();
    } else {
      while (true) {
        int page = currentPage_;
        if (!FirePrintPage(page) || aborted_) break;
        NewPage();
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    FinishDocument();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TBaseReport::NewPage() {
  ApplyOrientation();
  CheckPrinting();
  ++currentPage_;
  UpdateStatus();
  pageInvalid_ = !(PageSelected(currentPage_) && !aborted_);
  originX_ = originY_ = 0;
  ResetTabCursor();
  SetMarginBottom(marginB_);
  SetMarginRight(marginR_);
  ResetSections();
  Home();
}

void TBaseReport::BeginDocumentState() {
  TakeReportDateTime();
  aborted_ = false;
  currentPage_ = 0;
  FireBeforePrint();
}

void TBaseReport::ResetDocumentState() {
  SetBrush(clBlack, bsClear, nullptr);
  Device()->Canvas()->Brush()->SetBitmap(nullptr);
  SetPen(clBlack, psSolid, 1, pmCopy);
  originX_ = originY_ = 0;
  ResetColumns();
  ClearAllTabs();
  ResetSections();
  Home();
}

void TBaseReport::StartFirstPage() {
  // The tab list built before printing survives the reset.
  bool pushed = PushTabs();
  ResetDocumentState();
  if (pushed) PopTabs();
  currentPage_ = 1;
  pageInvalid_ = !PageSelected(1);
}

void TBaseReport::EndDocumentState() {
  if (hooked_) UnhookCanvasFont();
  FreeFontCache();
  lines_.Clear();
}

void TBaseReport::PrintObject(TRptPrintObject* object, double x, double y) {
  CheckPrinting();
  if (object) object->Print(this, x, y);
}

// ----------------------------------------------------------------- events

void TBaseReport::FirePrint() {
  if (OnPrint) OnPrint(this);
}

bool TBaseReport::FirePrintPage(int& pageNum) { return OnPrintPage ? OnPrintPage(this, pageNum) : false; }

void TBaseReport::FireBeforePrint() {
  if (!OnBeforePrint) return;
  OnBeforePrint(this);
  if (!(orientation_ == TOrientation::poDefault && pendingOrientation_ == TOrientation::poDefault)) ApplyOrientation();
}

void TBaseReport::FireAfterPrint() {
  if (OnAfterPrint) OnAfterPrint(this);
}
void TBaseReport::FireNewPage() {
  if (OnNewPage) OnNewPage(this);
}
void TBaseReport::FireNewColumn() {
  if (OnNewColumn) OnNewColumn(this);
}
void TBaseReport::FirePrintHeader() {
  if (OnPrintHeader) OnPrintHeader(this);
}
void TBaseReport::FirePrintFooter() {
  if (OnPrintFooter) OnPrintFooter(this);
}
void TBaseReport::FireEndOfSection() {
  if (OnEndOfSection) OnEndOfSection(this);
}

// ----------------------------------------------------------------- status

AnsiString TBaseReport::DeviceName() const {
  if (const_cast<TBaseReport*>(this)->DestinationKind() == 1) return "Preview";
  TRptPrinterDevice* p = PrinterDevice();
  return p ? p->DeviceName() : AnsiString("Render");
}

AnsiString TBaseReport::DriverName() const {
  if (const_cast<TBaseReport*>(this)->DestinationKind() == 1) return "Preview";
  TRptPrinterDevice* p = PrinterDevice();
  return p ? p->DriverName() : AnsiString("Render");
}

AnsiString TBaseReport::PortName() const {
  if (const_cast<TBaseReport*>(this)->DestinationKind() == 1) return "Screen";
  TRptPrinterDevice* p = PrinterDevice();
  return p ? p->PortName() : AnsiString("Render");
}

AnsiString TBaseReport::StatusLine() const {
  const AnsiString& f = statusFormat_;
  AnsiString out;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      out.push_back(f[i]);
      continue;
    }
    char code = static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(f[i + 1])));
    bool letterOrDigit = (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9');
    if (code != '%' && !letterOrDigit) {
      out.push_back('%');
      continue;
    }
    ++i;
    if (code == '%') {
      out.push_back('%');
    } else if (code >= '0' && code <= '9') {
      int line = code - '0';
      if (line < statusText_.Count()) out += statusText_[line];
    } else {
      switch (code) {
        case 'C': out += IntToStr(currentPass_); break;
        case 'S': out += IntToStr(totalPasses_); break;
        case 'D': out += DeviceName(); break;
        case 'R': out += DriverName(); break;
        case 'T': out += PortName(); break;
        case 'F': out += IntToStr(firstPage_); break;
        case 'L': out += IntToStr(lastPage_); break;
        case 'P': out += IntToStr(currentPage_); break;
        case 'N': out.push_back('\r'); break;
        default:
          out += "<ERROR-%";
          out.push_back(code);
          out += ">";
          break;
      }
    }
  }
  return out;
}

void TBaseReport::UpdateStatus() {
  if (!statusLabel_) return;
  statusLabel_->SetCaption(StatusLine());
  Application->ProcessMessages();
}

// ------------------------------------------------------------------ assign

void TBaseReport::AssignTo(TBaseReport* d) const {
  d->firstPage_ = firstPage_;
  d->lastPage_ = lastPage_;
  d->selection_ = selection_;
  d->statusLabel_ = statusLabel_;
  d->statusFormat_ = statusFormat_;
  d->statusText_.Assign(statusText_);
  d->lhm_ = lhm_;
  d->lineHeight_ = lineHeight_;
  d->linesPerInch_ = linesPerInch_;
  d->SetUnits(units_);
  d->SetUnitsFactor(factor_);
  d->SetMarginLeft(marginL_);
  d->SetMarginRight(marginR_);
  d->SetMarginTop(marginT_);
  d->SetMarginBottom(marginB_);
  d->tabShade_ = tabShade_;
  d->tabColor_ = tabColor_;
  d->boxLineColor_ = boxLineColor_;
  d->title_ = title_;
  d->SetTextBKMode(bkMode_);
  d->SetCopies(copies_);
  d->SetOrientation(orientation_);
  d->SetScaleX(scaleX_);
  d->SetScaleY(scaleY_);
  d->macroData_.Assign(macroData_);
  d->OnPrint = OnPrint;
  d->OnPrintPage = OnPrintPage;
  d->OnBeforePrint = OnBeforePrint;
  d->OnAfterPrint = OnAfterPrint;
  d->OnNewPage = OnNewPage;
  d->OnNewColumn = OnNewColumn;
  d->OnPrintHeader = OnPrintHeader;
  d->OnPrintFooter = OnPrintFooter;
}
