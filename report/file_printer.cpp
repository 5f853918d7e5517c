#include "report/file_printer.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/resources.h"
#include "platform/rtl/fileio.h"

using namespace rps;

namespace {

constexpr const char* kSampleText =
    "abcdefg hijklmnop qrstuv wxyz ABCDEFG HIJKLMNOP QRSTUV WXYZ 0123456789";

// Coordinates beyond any paper are held here: a hostile value must not
// overflow the conversion to device pixels.
constexpr double kMaxInches = 1000;
constexpr double kMaxFontInches = 20;

}  // namespace

TFilePrinter::TFilePrinter(TComponent* owner) : TCanvasReport(owner) {
  SetUnits(unInch);
  LineBuffer().SetBuffering(false);
}

TFilePrinter::~TFilePrinter() {
  try {
    CloseInput();
  } catch (...) {
  }
}

void TFilePrinter::SetStreamMode(TStreamMode mode) {
  CheckNotPrinting();
  CloseInput();
  streamMode_ = mode;
}

void TFilePrinter::SetStream(TStream* stream) {
  CheckNotPrinting();
  CloseInput();
  userStream_ = stream;
  if (stream) stream->SetPosition(0);
}

void TFilePrinter::CloseInput() {
  reader_.reset();
  ownStream_.reset();
  input_ = nullptr;
  headerRead_ = false;
}

bool TFilePrinter::OpenInput() {
  if (input_) {
    input_->SetPosition(0);
    return true;
  }
  try {
    switch (streamMode_) {
      case smMemory: {
        auto m = std::make_unique<TMemoryStream>();
        m->LoadFromFile(fileName_);
        ownStream_ = std::move(m);
        break;
      }
      case smFile:
      case smTempFile:
        ownStream_ = std::make_unique<TFileStream>(fileName_, fmOpenRead | fmShareDenyWrite);
        break;
      case smUser:
        if (!userStream_) throw EReportError(RptText("StreamMode is smUser but Stream is nil"));
        userStream_->SetPosition(0);
        input_ = userStream_;
        break;
    }
  } catch (const EReportError&) {
    throw;
  } catch (const Exception&) {
    ownStream_.reset();
    MessageDlg(RptText("Error initializing input stream ") + "\"" + fileName_ + "\"", mtError, TMsgDlgButtons{mbOK});
    return false;
  }
  if (ownStream_) input_ = ownStream_.get();
  reader_ = std::make_unique<TPageStreamReader>(*input_);
  headerRead_ = false;
  return true;
}

void TFilePrinter::Unexpected() {
  AbortReport();
  UnexpectedCode();
}

void TFilePrinter::ReadHeader() {
  if (headerRead_) return;
  TStreamHeader h;
  try {
    h = reader_->ReadHeader();
  } catch (const EReportError&) {
    AbortReport();
    throw;
  }
  if (h.version >= kVersion2010) SetTitle(h.title);
  headerPages_ = h.pageCount;
  SetJobPages(h.pageCount);
  pageWidth_ = h.pageWidth;
  pageHeight_ = h.pageHeight;
  TBaseReport::SetOrientation(h.orientation == 1 ? TOrientation::poLandScape : TOrientation::poPortrait);
  ApplyOrientation();
  if (HasPrinter()) {
    TRptPrinterDevice* p = PrinterDevice();
    if (!SettingsChosen) {
      if (TRptDeviceMode* m = p->DeviceMode(); m && h.version >= kVersion2000) m->defaultSource = h.bin;
      if (h.version >= kVersion2000) {
        p->SetCollate(h.collate);
        p->SetDuplex(h.duplex);
      }
      if (h.copies > 0) p->SetCopies(h.copies);
    }
    if (h.paperSize > 0 || (h.paperWidth > 0 && h.paperLength > 0)) p->SetPaper(h.paperSize, h.paperWidth, h.paperLength);
    if (!h.outputName.empty()) p->SetOutputFileName(h.outputName);
  }
  headerRead_ = true;
}

int TFilePrinter::StreamPages() {
  if (!InputReady()) {
    if (!OpenInput()) return 0;
    ReadHeader();
  }
  return headerPages_;
}

void TFilePrinter::GotoPage(int n) {
  const auto& pages = reader_->Pages();
  if (pages.empty()) return;
  n = std::clamp(n, 1, static_cast<int>(pages.size()));
  reader_->Seek(pages[static_cast<std::size_t>(n - 1)].pos);
  TPageRecord p = reader_->ReadPageRecord();
  SetCurrentPage(p.number);
  if (reader_->Version() >= kVersion2000) {
    pageWidth_ = p.width;
    pageHeight_ = p.height;
  }
}

void TFilePrinter::PlayPage(int n) {
  GotoPage(n);
  UpdateStatus();
  PlayRecords();
  if (pendingOrientation_ != 2) {
    TBaseReport::SetOrientation(pendingOrientation_ == 1 ? TOrientation::poLandScape : TOrientation::poPortrait);
    ApplyOrientation();
    pendingOrientation_ = 2;
  }
}

// ---------------------------------------------------------------- replay

double TFilePrinter::Clamp(double inches) const { return std::clamp(inches, -kMaxInches, kMaxInches); }
int TFilePrinter::DX(double inches) const { return XI2D(Clamp(inches)); }
int TFilePrinter::DY(double inches) const { return YI2D(Clamp(inches)); }

std::unique_ptr<TGraphic> TFilePrinter::LoadGraphic(const TStoredGraphic& g) {
  std::unique_ptr<TGraphic> graphic;
  switch (g.kind) {
    case kGraphicBitmap:
      CheckStoredBitmap(g.data);
      graphic = std::make_unique<TBitmap>();
      break;
    case kGraphicMetafile:
      graphic = std::make_unique<TMetafile>();
      break;
    case kGraphicIcon:
      graphic = std::make_unique<TIcon>();
      break;
    default:
      return nullptr;  // another graphic class: nothing this program can draw
  }
  TMemoryStream m;
  m.WriteBuffer(g.data.data(), static_cast<int64_t>(g.data.size()));
  m.SetPosition(0);
  graphic->LoadFromStream(m);
  return graphic;
}

void TFilePrinter::ReadPoints(std::vector<TPoint>& points) {
  int h = reader_->ReadWord();
  if (h < 0) Unexpected();
  reader_->Need(static_cast<int64_t>(h + 1) * 8);
  points.resize(static_cast<std::size_t>(h) + 1);
  for (TPoint& p : points) {
    double x, y;
    reader_->ReadPoint(x, y);
    p = TPoint{DX(x), DY(y)};
  }
}

void TFilePrinter::FitFontWidth(double sample) {
  double size = BaseFont().Height;
  double zoom = Zoom() / 100;
  double w = TextWidth(kSampleText) * 100 / Zoom();
  // The stored width went through a single float.
  double limit = sample * (1 + 1e-6);
  while (w > limit) {
    double h = BaseFont().Height;
    double px = h * YDPI() * zoom - 1.1;
    if (px <= 0) {
      SetFontHeight(size);
      return;
    }
    SetFontHeight(px / (YDPI() * zoom));
    double next = TextWidth(kSampleText) * 100 / Zoom();
    if (next >= w) {
      SetFontHeight(size);
      return;
    }
    w = next;
  }
}

void TFilePrinter::PlayRecords() {
  TPageStreamReader& r = *reader_;
  auto text = [&] {
    AnsiString t = r.ReadText();
    ExpandMacros(t);
    return t;
  };
  auto pt = [&](double& x, double& y) {
    r.ReadPoint(x, y);
    x = Clamp(x);
    y = Clamp(y);
  };
  auto rc = [&]() {
    double l, t, rr, b;
    r.ReadRect(l, t, rr, b);
    return Rect(DX(l), DY(t), DX(rr), DY(b));
  };
  auto pts4 = [&](double (&v)[8]) {
    for (int i = 0; i < 8; i += 2) pt(v[i], v[i + 1]);
  };
  TCanvas* canvas = Device()->Canvas();
  while (true) {
    uint8_t code = r.ReadByte();
    switch (code) {
      case cArc:
      case cChord:
      case cPie: {
        double v[8];
        pts4(v);
        if (code == cArc) Arc(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        if (code == cChord) Chord(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        if (code == cPie) Pie(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        break;
      }
      case cBrushCopy: {
        TStoredGraphic g = r.ReadGraphic();
        TRect dest = rc(), source = rc();
        TColor color = static_cast<TColor>(r.ReadLong());
        auto graphic = LoadGraphic(g);
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic.get())) BrushCopy(dest, bmp, source, color);
        break;
      }
      case cCopyRect:
        rc();
        r.ReadLong();
        rc();
        break;
      case cDraw: {
        TStoredGraphic g = r.ReadGraphic();
        double x, y;
        pt(x, y);
        if (auto graphic = LoadGraphic(g)) Draw(x, y, graphic.get());
        break;
      }
      case cFocusRect: DrawFocusRect(rc()); break;
      case cFillRect: FillRect(rc()); break;
      case cFrameRect: FrameRect(rc()); break;
      case cEllipse:
      case cRectangle:
      case cPlainRect: {
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        if (code == cEllipse) Ellipse(x1, y1, x2, y2);
        if (code == cRectangle) Rectangle(x1, y1, x2, y2);
        if (code == cPlainRect) DrawPlainRect(x1, y1, x2, y2);
        break;
      }
      case cFloodFill: {
        double x, y;
        pt(x, y);
        TColor color = static_cast<TColor>(r.ReadLong());
        auto style = static_cast<TFillStyle>(r.ReadLong() == 0 ? 0 : 1);
        FloodFill(x, y, color, style);
        break;
      }
      case cLineTo:
      case cMoveTo: {
        double x, y;
        pt(x, y);
        if (code == cLineTo)
          LineTo(x, y);
        else
          MoveTo(x, y);
        break;
      }
      case cPolygon:
      case cPolyline: {
        std::vector<TPoint> points;
        ReadPoints(points);
        if (code == cPolygon)
          Polygon(points);
        else
          Polyline(points);
        break;
      }
      case cPrintBitmap: {
        TStoredGraphic g = r.ReadGraphic();
        double x, y;
        pt(x, y);
        double sx = std::clamp(r.ReadFloat(), 0.0, 100.0), sy = std::clamp(r.ReadFloat(), 0.0, 100.0);
        auto graphic = LoadGraphic(g);
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic.get())) PrintBitmap(x, y, sx, sy, bmp);
        break;
      }
      case cPrintBitmapRect: {
        TStoredGraphic g = r.ReadGraphic();
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        auto graphic = LoadGraphic(g);
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic.get())) PrintBitmapRect(x1, y1, x2, y2, bmp);
        break;
      }
      case cRoundRect: {
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        double cw = Clamp(r.ReadFloat()), ch = Clamp(r.ReadFloat());
        RoundRect(x1, y1, x2, y2, cw, ch);
        break;
      }
      case cStretchDraw: {
        TStoredGraphic g = r.ReadGraphic();
        TRect dest = rc();
        if (auto graphic = LoadGraphic(g)) StretchDraw(dest, graphic.get());
        break;
      }
      case cTextRect: {
        TRect box = rc();
        double x, y;
        pt(x, y);
        TextRect(box, x, y, text());
        break;
      }
      case cTextCenter:
      case cTextLeft:
      case cTextRight: {
        double y = Clamp(r.ReadFloat());
        SetCursorInches(CursorXInches(), y);
        AnsiString t = text();
        double x = Clamp(r.ReadFloat());
        if (code == cTextCenter) TextCenterAt(t, x);
        if (code == cTextLeft) TextLeftAt(t, x);
        if (code == cTextRight) TextRightAt(t, x);
        break;
      }
      case cTextBlockOld:
      case cTextBlock: {
        double y = Clamp(r.ReadFloat());
        SetCursorInches(CursorXInches(), y);
        AnsiString t = text();
        double x = Clamp(r.ReadFloat());
        double w = Clamp(r.ReadFloat());
        TextBlockAt(t, w, x);
        break;
      }
      case cBkMode: SetTextBKMode(r.ReadByte() ? bkOpaque : bkTransparent); break;
      case cBackColor: SetBackColor(static_cast<TColor>(r.ReadLong())); break;
      case cScaleX:
      case cScaleY: r.ReadFloat(); break;
      case cDeviceText: WriteDeviceText(text()); break;
      case cDeviceData: {
        // The bytes are always consumed; they reach the device only on a
        // page that is output.
        int64_t n = r.ReadLength();
        std::string bytes = r.ReadBytes(n);
        if (PageSkipped()) break;
        TMemoryStream m;
        m.WriteBuffer(bytes.data(), n);
        m.SetPosition(0);
        if (n > 0) WriteDeviceData(&m, n);
        break;
      }
      case cTransparent: SetTransparentBitmaps(r.ReadByte() != 0); break;
      case cFrameMode: SetFrameMode(r.ReadByte()); break;
      case cImageData: {
        int64_t n = r.ReadLength();
        TMemoryStream m;
        std::string bytes = r.ReadBytes(n);
        m.WriteBuffer(bytes.data(), n);
        m.SetPosition(0);
        AnsiString ext = r.ReadText();
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        PrintImageRect(x1, y1, x2, y2, &m, ext);
        break;
      }
      case cNamedValue: {
        AnsiString name, value;
        r.ReadNamedValue(name, value);
        SetNamedValue(name, value);
        break;
      }
      case cBrushOld: {
        TColor color = static_cast<TColor>(r.ReadLong());
        uint8_t style = r.ReadByte();
        bool has = r.ReadByte() == 1;
        canvas->Brush()->SetColor(color);
        canvas->Brush()->SetStyle(static_cast<TBrushStyle>(style == 1 ? bsClear : bsSolid));
        if (has) {
          auto graphic = LoadGraphic(r.ReadGraphic());
          if (dynamic_cast<TBitmap*>(graphic.get())) {
            brushBitmap_.reset(static_cast<TBitmap*>(graphic.release()));
            canvas->Brush()->SetBitmap(brushBitmap_.get());
          }
        }
        break;
      }
      case cBrushColor:
        canvas->Brush()->SetBitmap(nullptr);
        brushBitmap_.reset();
        // The colour alone: a clear brush stays clear (the style has its
        // own record, which the writer leaves out when it did not change).
        {
          TBrushStyle style = canvas->Brush()->Style();
          canvas->Brush()->SetColor(static_cast<TColor>(r.ReadLong()));
          canvas->Brush()->SetStyle(style);
        }
        break;
      case cBrushStyle:
        canvas->Brush()->SetStyle(r.ReadByte() == 1 ? bsClear : bsSolid);
        break;
      case cBrushBitmap:
        if (r.ReadByte() == 1) {
          auto graphic = LoadGraphic(r.ReadGraphic());
          if (dynamic_cast<TBitmap*>(graphic.get())) {
            brushBitmap_.reset(static_cast<TBitmap*>(graphic.release()));
            canvas->Brush()->SetBitmap(brushBitmap_.get());
          }
        }
        break;
      case cFontOld: {
        SetFontName(r.ReadText().substr(0, 60));
        SetFontColor(static_cast<TColor>(r.ReadLong()));
        uint8_t pitch = r.ReadByte();
        SetFontPitch(pitch == 1 ? fpVariable : pitch == 2 ? fpFixed : fpDefault);
        SetFontCharset(r.Version() >= kVersion2018 ? r.ReadByte() : 1);
        double size = r.ReadFloat();
        if (!(size > 0)) size = 1 / 72.0;
        SetFontHeight(std::min(size, kMaxFontInches));
        SetBold(r.ReadByte() != 0);
        SetItalic(r.ReadByte() != 0);
        SetUnderline(r.ReadByte() != 0);
        SetStrikeOut(r.ReadByte() != 0);
        SetFontRotation(r.Version() >= kVersion2000 ? ((r.ReadWord() % 360) + 360) % 360 : 0);
        break;
      }
      case cFontName: SetFontName(r.ReadText().substr(0, 60)); break;
      case cFontColor: SetFontColor(static_cast<TColor>(r.ReadLong())); break;
      case cFontPitch: {
        uint8_t pitch = r.ReadByte();
        SetFontPitch(pitch == 1 ? fpVariable : pitch == 2 ? fpFixed : fpDefault);
        break;
      }
      case cFontSize: {
        double size = r.ReadFloat();
        if (!(size > 0)) size = 1 / 72.0;
        SetFontHeight(std::min(size, kMaxFontInches));
        if (r.Version() >= kVersion2000) {
          double sample = r.ReadFloat();
          if (sample > 0) FitFontWidth(sample);
        }
        break;
      }
      case cBold: SetBold(r.ReadByte() != 0); break;
      case cUnderline: SetUnderline(r.ReadByte() != 0); break;
      case cItalic: SetItalic(r.ReadByte() != 0); break;
      case cStrikeOut: SetStrikeOut(r.ReadByte() != 0); break;
      case cSuperscript: SetSuperscript(r.ReadByte() != 0); break;
      case cSubscript: SetSubscript(r.ReadByte() != 0); break;
      case cRotation: SetFontRotation(((r.ReadWord() % 360) + 360) % 360); break;
      case cPlacement: SetFontAlign(std::min<int>(r.ReadByte(), 2)); break;
      case cCharset: SetFontCharset(r.ReadByte()); break;
      case cPenOld:
      case cPenColor:
      case cPenMode:
      case cPenStyle:
      case cPenWidth: {
        TPen* pen = canvas->Pen();
        auto width = [&](double inches) {
          double px = std::round(XDPI() * std::clamp(inches, 0.0, 10.0) * ScaleX() * Zoom() / 10000);
          pen->SetWidth(static_cast<int>(px));
        };
        if (code == cPenOld || code == cPenColor) pen->SetColor(static_cast<TColor>(r.ReadLong()));
        if (code == cPenOld || code == cPenMode) pen->SetMode(PenModeFromCode(r.ReadByte()));
        if (code == cPenOld || code == cPenStyle) pen->SetStyle(static_cast<TPenStyle>(std::min<int>(r.ReadByte(), psInsideFrame)));
        if (code == cPenOld || code == cPenWidth) width(r.ReadFloat());
        break;
      }
      case cEndPage: return;
      case cLineMetrics: {
        double a = Clamp(r.ReadFloat()), d = Clamp(r.ReadFloat()), h = Clamp(r.ReadFloat());
        SetLineMetrics(a, d, h);
        break;
      }
      case cPreviewOnly: AllowPreviewOnly(); break;
      case cPrinterOnly: AllowPrinterOnly(); break;
      case cAllowAll: AllowAll(); break;
      case cOrientation: pendingOrientation_ = r.ReadByte() == 1 ? 1 : 0; break;
      case cBin: SelectBin(r.ReadText()); break;
      default: Unexpected();
    }
  }
}

// ---------------------------------------------------------- named values

void TFilePrinter::SetNamedValue(const AnsiString& name, const AnsiString& value) {
  AnsiString key = UpperCase(name);
  for (auto& [n, v] : named_)
    if (n == key) {
      v = value;
      return;
    }
  named_.emplace_back(key, value);
}

AnsiString TFilePrinter::NamedValueText(const AnsiString& name) {
  AnsiString key = UpperCase(name);
  for (auto& [n, v] : named_)
    if (n == key) return v;
  return "";
}

// ------------------------------------------------------------ the job

bool TFilePrinter::BeginReplay() {
  CheckNotPrinting();
  TakeReportDateTime();
  pendingOrientation_ = 2;
  SetAborted(false);
  CloseInput();
  if (!OpenInput()) return false;
  try {
    ReadHeader();
  } catch (...) {
    CloseInput();
    throw;
  }
  HookCanvasFont();
  ReadDeviceMetrics();
  SetPrinting(true);
  ResetDocumentState();
  return true;
}

void TFilePrinter::EndReplay() {
  if (!PrintingFlag()) return;
  EndDocumentState();
  CloseInput();
  SetPrinting(false);
}

void TFilePrinter::PrintPages(int first, int last, int copies) {
  if (!HasPrinter()) {
    MessageDlg(RptText("No printers are defined, aborting print job."), mtError, TMsgDlgButtons{mbOK});
    return;
  }
  CheckNotPrinting();
  TakeReportDateTime();
  pendingOrientation_ = 2;
  SetAborted(false);
  TCursor oldCursor = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  std::exception_ptr failure;
  bool began = false;
  try {
    CloseInput();
    if (OpenInput()) {
      ReadHeader();
      if (copies > 0) SetCopies(copies);
      Device()->SetTitle(Title());
      Device()->BeginDoc();
      began = true;
      HookCanvasFont();
      SetPrinting(true);
      ResetDocumentState();
      ReadDeviceMetrics();
      int pages = headerPages_;
      int from = first > 0 ? first : 1;
      int to = last >= 1 && last < pages ? last : pages;
      bool reverse = UpperCase(Selection()).find('R') != std::string::npos;
      auto playOne = [&](int n) {
        bool valid = PageSelected(n) && !Aborted();
        SetPageInvalid(!valid);
        Device()->NewPage(valid);
        ReadDeviceMetrics();
        Application->ProcessMessages();
        if (valid) PlayPage(n);
        SetCurrentPage(n);
      };
      if (reverse)
        for (int n = to; n >= from; --n) playOne(n);
      else
        for (int n = from; n <= to; ++n) playOne(n);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    if (began && Device()->Printing()) {
      if (failure || Aborted())
        Device()->AbortDoc();
      else
        Device()->EndDoc();
    }
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  EndDocumentState();
  CloseInput();
  SetPrinting(false);
  Screen->SetCursor(oldCursor);
  if (failure) std::rethrow_exception(failure);
}
