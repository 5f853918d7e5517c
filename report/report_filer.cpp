#include "report/report_filer.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/gui/application.h"
#include "platform/rtl/fileio.h"

using namespace rps;

namespace {

constexpr std::size_t kBufferSize = 16384;
constexpr const char* kSampleText =
    "abcdefg hijklmnop qrstuv wxyz ABCDEFG HIJKLMNOP QRSTUV WXYZ 0123456789";

uint8_t GraphicKind(TGraphic* g) {
  if (dynamic_cast<TBitmap*>(g)) return kGraphicBitmap;
  if (dynamic_cast<TMetafile*>(g)) return kGraphicMetafile;
  if (dynamic_cast<TIcon*>(g)) return kGraphicIcon;
  return kGraphicOther;
}

bool SameName(const AnsiString& a, const AnsiString& b) { return UpperCase(a) == UpperCase(b); }

}  // namespace

TReportFiler::TReportFiler(TComponent* owner) : TBaseReport(owner) {}

TReportFiler::~TReportFiler() {
  if (PrintingFlag()) {
    try {
      EndDocumentState();
    } catch (...) {
    }
    if (ownDevice_) SetDevice(nullptr);
  }
}

TCanvas* TReportFiler::GetCanvas() { return Device()->Canvas(); }

// ---------------------------------------------------------------- output

int64_t TReportFiler::Pos() const { return stream_->Position() + static_cast<int64_t>(buffer_.size()); }

void TReportFiler::FlushBuffer() {
  if (buffer_.empty()) return;
  stream_->WriteBuffer(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  buffer_.clear();
}

void TReportFiler::WriteBytes(const void* data, std::size_t n) {
  if (n == 0 || suppress_ > 0 || !stream_) return;
  if (buffer_.size() + n > kBufferSize) FlushBuffer();
  if (n > kBufferSize)
    stream_->WriteBuffer(data, static_cast<int64_t>(n));
  else
    buffer_.append(static_cast<const char*>(data), n);
}

void TReportFiler::PatchLong(int64_t pos, int32_t value) {
  FlushBuffer();
  int64_t here = stream_->Position();
  std::string b;
  PutLong(b, value);
  stream_->SetPosition(pos);
  stream_->WriteBuffer(b.data(), 4);
  stream_->SetPosition(here);
}

void TReportFiler::PatchWord(int64_t pos, int value) {
  FlushBuffer();
  int64_t here = stream_->Position();
  std::string b;
  PutWord(b, value);
  stream_->SetPosition(pos);
  stream_->WriteBuffer(b.data(), 2);
  stream_->SetPosition(here);
}

bool TReportFiler::Ready() {
  CheckPrinting();
  return !PageSkipped() && pageRecordPos_ != 0 && suppress_ == 0;
}

bool TReportFiler::StateReady() { return PrintingFlag() && !PageSkipped() && pageRecordPos_ != 0 && suppress_ == 0; }

void TReportFiler::Done() { Application->ProcessMessages(); }

double TReportFiler::SX(double inches) const { return (inches + OriginX() / UnitsFactor()) * ScaleX() / 100; }
double TReportFiler::SY(double inches) const { return (inches + OriginY() / UnitsFactor()) * ScaleY() / 100; }

void TReportFiler::PutPointUnits(std::string& out, double x, double y) const {
  PutFloat(out, SX(x / UnitsFactor()));
  PutFloat(out, SY(y / UnitsFactor()));
}

void TReportFiler::PutDevicePoint(std::string& out, int x, int y) const {
  PutFloat(out, SX(XD2I(x)));
  PutFloat(out, SY(YD2I(y)));
}

void TReportFiler::PutDeviceRect(std::string& out, const TRect& r) const {
  PutDevicePoint(out, r.Left, r.Top);
  PutDevicePoint(out, r.Right, r.Bottom);
}

void TReportFiler::PutGraphic(std::string& out, TGraphic* graphic) {
  uint8_t kind = GraphicKind(graphic);
  if (pendingReuse_ != 0) {
    PutByte(out, static_cast<uint8_t>(kind + kGraphicReference));
    PutLong(out, static_cast<int32_t>(pendingReuse_));
    pendingReuse_ = 0;
    return;
  }
  PutByte(out, kind);
  // out is written at the current stream position: the size field follows
  // the bytes already in out.
  lastGraphicPos_ = Pos() + static_cast<int64_t>(out.size());
  TMemoryStream data;
  if (kind != kGraphicOther && graphic) graphic->SaveToStream(data);
  PutLong(out, static_cast<int32_t>(data.Size()));
  out.append(static_cast<const char*>(data.Memory()), static_cast<std::size_t>(data.Size()));
}

// ----------------------------------------------------------------- state

void TReportFiler::SyncState() {
  WriteBrushState(false);
  WritePenState(false);
  WriteFontState(false);
}

void TReportFiler::WriteBrushState(bool force) {
  TBrush* b = Device()->Canvas()->Brush();
  std::string out;
  if (force || b->Color() != brushColor_) {
    PutByte(out, cBrushColor);
    PutLong(out, static_cast<int32_t>(b->Color()));
  }
  if (force || static_cast<int>(b->Style()) != brushStyle_) {
    PutByte(out, cBrushStyle);
    PutByte(out, static_cast<uint8_t>(b->Style()));
  }
  bool hasBitmap = b->Bitmap() && !b->Bitmap()->Empty();
  if (hasBitmap) {
    PutByte(out, cBrushBitmap);
    PutByte(out, 1);
    PutGraphic(out, b->Bitmap());
  } else if (force || brushBitmap_) {
    PutByte(out, cBrushBitmap);
    PutByte(out, 0);
  }
  brushColor_ = b->Color();
  brushStyle_ = static_cast<int>(b->Style());
  brushBitmap_ = hasBitmap;
  Write(out);
}

void TReportFiler::WriteFontState(bool force) {
  const TSaveFont& f = BaseFont();
  std::string out;
  bool sizeNeeded = force;
  AnsiString name = f.Name.substr(0, 60);
  auto flag = [&](uint8_t code, bool now, bool& last, bool sizes) {
    if (!force && now == last) return;
    PutByte(out, code);
    PutByte(out, now ? 1 : 0);
    last = now;
    if (sizes) sizeNeeded = true;
  };
  if (force || name != font_.name) {
    PutByte(out, cFontName);
    PutText(out, name);
    font_.name = name;
    sizeNeeded = true;
  }
  if (force || f.Color != font_.color) {
    PutByte(out, cFontColor);
    PutLong(out, static_cast<int32_t>(f.Color));
    font_.color = f.Color;
  }
  if (force || f.Pitch != font_.pitch) {
    PutByte(out, cFontPitch);
    PutByte(out, f.Pitch);
    font_.pitch = f.Pitch;
    sizeNeeded = true;
  }
  if (force || f.CharSet != font_.charset) {
    PutByte(out, cCharset);
    PutByte(out, f.CharSet);
    font_.charset = f.CharSet;
    sizeNeeded = true;
  }
  flag(cBold, f.Bold, font_.bold, true);
  flag(cItalic, f.Italic, font_.italic, true);
  flag(cUnderline, f.Underline, font_.underline, true);
  flag(cStrikeOut, f.StrikeOut, font_.strikeOut, true);
  flag(cSuperscript, f.Superscript, font_.superscript, false);
  flag(cSubscript, f.Subscript, font_.subscript, false);
  if (force || f.Rotation != font_.rotation) {
    PutByte(out, cRotation);
    PutWord(out, f.Rotation);
    font_.rotation = f.Rotation;
  }
  if (force || f.Align != font_.placement) {
    PutByte(out, cPlacement);
    PutByte(out, f.Align);
    font_.placement = f.Align;
  }
  double size = f.Height;  // inches
  if (sizeNeeded || size != font_.size) {
    PutByte(out, cFontSize);
    PutFloat(out, size);
    // The sample's width in inches at full scale: players shrink a font
    // whose sample comes out wider on their device.
    ++suppress_;
    double sample = TextWidth(kSampleText) * 100 / ScaleX() / UnitsFactor();
    --suppress_;
    PutFloat(out, sample);
    font_.size = size;
  }
  Write(out);
}

void TReportFiler::WritePenState(bool force) {
  TPen* p = Device()->Canvas()->Pen();
  std::string out;
  if (force || p->Color() != penColor_) {
    PutByte(out, cPenColor);
    PutLong(out, static_cast<int32_t>(p->Color()));
  }
  if (force || static_cast<int>(p->Mode()) != penMode_) {
    PutByte(out, cPenMode);
    PutByte(out, PenModeCode(p->Mode()));
  }
  if (force || static_cast<int>(p->Style()) != penStyle_) {
    PutByte(out, cPenStyle);
    PutByte(out, static_cast<uint8_t>(p->Style()));
  }
  double width = static_cast<double>(p->Width()) / XDPI();
  if (force || width != penWidth_) {
    PutByte(out, cPenWidth);
    PutFloat(out, width);
  }
  penColor_ = p->Color();
  penMode_ = static_cast<int>(p->Mode());
  penStyle_ = static_cast<int>(p->Style());
  penWidth_ = width;
  Write(out);
}

// ------------------------------------------------------------ the pages

void TReportFiler::StartPageRecord() {
  int64_t p = Pos();
  if (pageRecordPos_ != 0) PatchLong(pageRecordPos_ + 5, static_cast<int32_t>(p));
  prevPagePos_ = pageRecordPos_;
  pageRecordPos_ = p;
  ++pagesWritten_;
  std::string out;
  PutByte(out, cPage);
  PutLong(out, static_cast<int32_t>(prevPagePos_));
  PutLong(out, 0);
  PutWord(out, pagesWritten_);
  PutFloat(out, PageWidthInches());
  PutFloat(out, PageHeightInches());
  Write(out);
  WriteBrushState(true);
  WriteFontState(true);
  WritePenState(true);
  out.clear();
  PutByte(out, cScaleX);
  PutFloat(out, ScaleX());
  PutByte(out, cScaleY);
  PutFloat(out, ScaleY());
  PutByte(out, cBkMode);
  PutByte(out, static_cast<uint8_t>(TextBKMode()));
  PutByte(out, cBackColor);
  PutLong(out, static_cast<int32_t>(Device()->Canvas()->BackColor()));
  for (const auto& [name, pos] : named_) {
    PutByte(out, cNamedValue);
    PutText(out, name);
    PutByte(out, 4);
    PutByte(out, 254);
    PutLong(out, static_cast<int32_t>(std::llabs(pos)));
  }
  Write(out);
}

void TReportFiler::EndPageRecord(bool final) {
  (void)final;
  if (pageRecordPos_ == 0 || PageInvalid()) return;
  uint8_t code = cEndPage;
  WriteBytes(&code, 1);
}

// ------------------------------------------------------------ stream life

void TReportFiler::OpenStream() {
  switch (streamMode_) {
    case smMemory:
      ownStream_ = std::make_unique<TMemoryStream>();
      break;
    case smFile:
      ownStream_ = std::make_unique<TFileStream>(fileName_, fmCreate);
      break;
    case smUser:
      if (!userStream_) throw EReportError(RptText("StreamMode is smUser but Stream is nil"));
      stream_ = userStream_;
      stream_->SetPosition(0);
      return;
    case smTempFile: {
      const char* dir = std::getenv("TMPDIR");
      std::string path = std::string(dir && *dir ? dir : "/tmp") + "/RWXXXXXX";
      int fd = mkstemp(path.data());
      if (fd < 0) throw EFCreateError(Format("Cannot create file \"%s\"", path));
      close(fd);
      fileName_ = path;
      ownStream_ = std::make_unique<TFileStream>(fileName_, fmCreate);
      break;
    }
  }
  stream_ = ownStream_.get();
}

void TReportFiler::CloseStream() {
  if (streamMode_ == smMemory && ownStream_ && !fileName_.empty())
    static_cast<TMemoryStream*>(ownStream_.get())->SaveToFile(fileName_);
  if (streamMode_ != smMemory) {
    ownStream_.reset();
    if (streamMode_ != smUser) stream_ = nullptr;
  }
}

void TReportFiler::StartDocument() {
  CheckNotPrinting();
  BeginDocumentState();
  pagesWritten_ = 0;
  pageRecordPos_ = prevPagePos_ = 0;
  named_.clear();
  slots_.fill(0);
  lastGraphicPos_ = pendingReuse_ = 0;
  mask_ = cAllowAll;
  buffer_.clear();
  suppress_ = 0;
  ownStream_.reset();
  stream_ = nullptr;
  try {
    OpenStream();
  } catch (...) {
    ownStream_.reset();
    stream_ = nullptr;
    throw;
  }
  buffer_.reserve(kBufferSize);
  if (!HasPrinter() && !device_) {
    ownDevice_ = std::make_unique<TRptRenderDevice>();
    SetDevice(ownDevice_.get());
  }
  ReadDeviceMetrics();
  TStreamHeader h;
  h.title = Title();
  h.firstPage = FirstPage();
  h.lastPage = LastPage();
  h.pageWidth = PageWidthInches();
  h.pageHeight = PageHeightInches();
  h.wasteLeft = LeftWaste();
  h.wasteTop = TopWaste();
  h.orientation = Orientation() == TOrientation::poLandScape ? 1 : 0;
  if (TRptPrinterDevice* p = HasPrinter() ? PrinterDevice() : nullptr) {
    TRect w = p->Waste();
    h.wasteRight = static_cast<double>(w.Right) / XDPI();
    h.wasteBottom = static_cast<double>(w.Bottom) / YDPI();
    h.orientation = p->Orientation() == TOrientation::poLandScape ? 1 : 0;
    if (TRptDeviceMode* m = p->DeviceMode()) {
      h.bin = m->defaultSource;
      h.collate = m->collate;
      h.duplex = static_cast<uint8_t>(std::max(0, m->duplex - 1));
      h.copies = m->copies;
      h.paperSize = m->paperSize;
      h.paperWidth = m->paperWidth;
      h.paperLength = m->paperLength;
    }
    h.outputName = p->OutputFileName();
  }
  std::string header = EncodeHeader(h);
  pageCountPos_ = h.pageCountPos;
  SetPrinting(true);
  Write(header);
  HookCanvasFont();
  StartFirstPage();
  force_ = true;
  if (!PageInvalid()) StartPageRecord();
  UpdateStatus();
  if (!Aborted()) FireBeginPageHandlers();
  if (!Aborted()) FireNewPage();
  if (!Aborted()) FirePrintHeader();
}

void TReportFiler::NewPage() {
  CheckPrinting();
  if (!Aborted()) {
    FirePrintFooter();
    FireEndPageHandlers();
  }
  EndPageRecord(false);
  ++suppress_;
  try {
    TBaseReport::NewPage();
  } catch (...) {
    --suppress_;
    throw;
  }
  --suppress_;
  if (!PageInvalid()) StartPageRecord();
  if (!Aborted()) FireBeginPageHandlers();
  if (!Aborted()) FireNewPage();
  if (!Aborted() && Columns() > 1) FireNewColumn();
  if (!Aborted()) FirePrintHeader();
}

void TReportFiler::AbortPage() {
  bool hadRecord = PrintingFlag() && !PageInvalid() && pageRecordPos_ != 0;
  TBaseReport::AbortPage();
  if (!hadRecord) return;
  // Every byte of the aborted page goes: no partial page stays behind.
  buffer_.clear();
  int64_t cut = pageRecordPos_;
  stream_->SetSize(cut);
  stream_->SetPosition(cut);
  --pagesWritten_;
  std::erase_if(named_, [cut](const auto& e) { return std::llabs(e.second) >= cut; });
  for (int64_t& s : slots_)
    if (s >= cut) s = 0;
  if (lastGraphicPos_ >= cut) lastGraphicPos_ = 0;
  if (pendingReuse_ >= cut) pendingReuse_ = 0;
  pageRecordPos_ = prevPagePos_;
  prevPagePos_ = 0;
  if (pageRecordPos_ != 0) {
    PatchLong(pageRecordPos_ + 5, 0);
    // The page before it becomes the last one so far; find its own
    // predecessor from its record.
    std::string b(4, '\0');
    stream_->SetPosition(pageRecordPos_ + 1);
    stream_->ReadBuffer(b.data(), 4);
    std::memcpy(&prevPagePos_, b.data(), 4);
    stream_->SetPosition(cut);
  }
}

void TReportFiler::FinishDocument() {
  if (!PrintingFlag()) {
    FireAfterPrint();
    return;
  }
  std::exception_ptr failure;
  try {
    if (!Aborted()) {
      FirePrintFooter();
      FireEndPageHandlers();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    EndPageRecord(true);
    PatchWord(pageCountPos_, pagesWritten_);
    FlushBuffer();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  buffer_.clear();
  buffer_.shrink_to_fit();
  EndDocumentState();
  if (ownDevice_) {
    SetDevice(nullptr);
    ownDevice_.reset();
  }
  try {
    CloseStream();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  SetPrinting(false);
  try {
    FireAfterPrint();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

// ------------------------------------------------------------- settings

void TReportFiler::SetFrameMode(uint8_t mode) {
  TBaseReport::SetFrameMode(mode);
  if (!StateReady()) return;
  uint8_t b[2] = {cFrameMode, mode};
  WriteBytes(b, 2);
}

void TReportFiler::SetBackColor(TColor color) {
  CheckPrinting();
  Device()->Canvas()->SetBackColor(color);
  if (!StateReady()) return;
  std::string out;
  PutByte(out, cBackColor);
  PutLong(out, static_cast<int32_t>(color));
  Write(out);
}

void TReportFiler::SetScaleX(double percent) {
  TBaseReport::SetScaleX(percent);
  if (!StateReady()) return;
  std::string out;
  PutByte(out, cScaleX);
  PutFloat(out, percent);
  Write(out);
}

void TReportFiler::SetScaleY(double percent) {
  TBaseReport::SetScaleY(percent);
  if (!StateReady()) return;
  std::string out;
  PutByte(out, cScaleY);
  PutFloat(out, percent);
  Write(out);
}

void TReportFiler::SetTextBKMode(TBKMode m) {
  TBaseReport::SetTextBKMode(m);
  if (!StateReady()) return;
  uint8_t b[2] = {cBkMode, static_cast<uint8_t>(m)};
  WriteBytes(b, 2);
}

void TReportFiler::SetOrientation(TOrientation o) {
  TBaseReport::SetOrientation(o);
  if (!StateReady() || o == TOrientation::poDefault) return;
  uint8_t b[2] = {cOrientation, static_cast<uint8_t>(o == TOrientation::poLandScape ? 1 : 0)};
  WriteBytes(b, 2);
}

bool TReportFiler::SelectBin(const AnsiString& name) {
  if (!StateReady()) return false;
  std::string out;
  PutByte(out, cBin);
  PutText(out, CutText(name));
  Write(out);
  return true;
}

void TReportFiler::UpdateLineHeight() {
  TBaseReport::UpdateLineHeight();
  if (!StateReady()) return;
  std::string out;
  PutByte(out, cLineMetrics);
  PutFloat(out, AscentInches());
  PutFloat(out, DescentInches());
  PutFloat(out, LineHeightInches());
  Write(out);
}

void TReportFiler::AllowPreviewOnly() {
  TBaseReport::AllowPreviewOnly();
  if (mask_ == cPreviewOnly || !StateReady()) return;
  mask_ = cPreviewOnly;
  WriteBytes(&mask_, 1);
}

void TReportFiler::AllowPrinterOnly() {
  TBaseReport::AllowPrinterOnly();
  if (mask_ == cPrinterOnly || !StateReady()) return;
  mask_ = cPrinterOnly;
  WriteBytes(&mask_, 1);
}

void TReportFiler::AllowAll() {
  TBaseReport::AllowAll();
  if (mask_ == cAllowAll || !StateReady()) return;
  mask_ = cAllowAll;
  WriteBytes(&mask_, 1);
}

// ----------------------------------------------------------------- text

double TReportFiler::TextWidthInches(const AnsiString& text) {
  if (text.empty()) return 0;
  // Inches at full scale, whatever the units.
  return TextWidth(text) * 10000 / (ScaleX() * ScaleX()) / UnitsFactor();
}

void TReportFiler::WriteText(uint8_t code, const AnsiString& text, double x, double width, double advance) {
  SyncState();
  std::string out;
  PutByte(out, code);
  PutFloat(out, SY(CursorYInches()));
  PutText(out, CutText(text));
  PutFloat(out, SX(x));
  if (code == cTextBlock) PutFloat(out, width);
  Write(out);
  SetCursorInches(x + advance, CursorYInches());
  Done();
}

void TReportFiler::TextOut(const AnsiString& text, double x, int align) {
  if (!Ready()) return;
  double w = TextWidthInches(text);
  bool block = accuracy_ == amPositioning && BaseFont().Rotation == 0 &&
               text.find("\xFD$RWC") == std::string::npos && text.find(kFormatBegin) == std::string::npos &&
               text.find(' ') != std::string::npos;
  double start = align == 0 ? x : align == 1 ? x - w / 2 : x - w;
  if (block) {
    WriteText(cTextBlock, text, start, w, w);
    SetCursorInches(align == 0 ? x + w : align == 1 ? x + w / 2 : x, CursorYInches());
    return;
  }
  uint8_t code = align == 0 ? cTextLeft : align == 1 ? cTextCenter : cTextRight;
  WriteText(code, text, x, 0, align == 0 ? w : align == 1 ? w / 2 : 0);
  if (text.find(kFormatBegin) != std::string::npos) {
    // The blocks go on applying to what is printed next, on every player;
    // the font they leave is taken as written.
    TSaveFont last;
    SplitFormatted(text, &last);
    SetFontRecord(last);
    ++suppress_;
    WriteFontState(false);
    --suppress_;
  }
}

void TReportFiler::TextLeftAt(const AnsiString& text, double x) { TextOut(text, x, 0); }
void TReportFiler::TextCenterAt(const AnsiString& text, double x) { TextOut(text, x, 1); }
void TReportFiler::TextRightAt(const AnsiString& text, double x) { TextOut(text, x, 2); }

void TReportFiler::TextBlockAt(const AnsiString& text, double width, double x) {
  if (!Ready()) return;
  WriteText(cTextBlock, text, x, width, width);
}

void TReportFiler::TextRect(const TRect& rect, double x, double y, const AnsiString& text) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, cTextRect);
  PutDeviceRect(out, rect);
  PutPointUnits(out, x, y);
  PutText(out, CutText(text));
  Write(out);
  Done();
}

void TReportFiler::WriteDeviceText(const AnsiString& text) {
  if (!Ready()) return;
  std::string out;
  PutByte(out, cDeviceText);
  PutText(out, CutText(text));
  Write(out);
  Done();
}

void TReportFiler::WriteDeviceData(TStream* stream, int64_t count) {
  if (!Ready() || !stream) return;
  if (count == 0) count = stream->Size() - stream->Position();
  count = std::clamp<int64_t>(count, 0, std::min<int64_t>(stream->Size() - stream->Position(), INT32_MAX));
  std::string out;
  PutByte(out, cDeviceData);
  PutLong(out, static_cast<int32_t>(count));
  Write(out);
  char block[4096];
  while (count > 0) {
    int64_t n = stream->Read(block, std::min<int64_t>(count, sizeof block));
    if (n <= 0) throw EReadError("Stream read error");
    WriteBytes(block, static_cast<std::size_t>(n));
    count -= n;
  }
  Done();
}

// --------------------------------------------------------------- shapes

void TReportFiler::Shape(uint8_t code, std::initializer_list<double> coords) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, code);
  const double* c = coords.begin();
  for (std::size_t i = 0; i + 1 < coords.size(); i += 2) PutPointUnits(out, c[i], c[i + 1]);
  Write(out);
  Done();
}

void TReportFiler::DrawPlainRect(double x1, double y1, double x2, double y2) { Shape(cPlainRect, {x1, y1, x2, y2}); }
void TReportFiler::Rectangle(double x1, double y1, double x2, double y2) { Shape(cRectangle, {x1, y1, x2, y2}); }
void TReportFiler::Ellipse(double x1, double y1, double x2, double y2) { Shape(cEllipse, {x1, y1, x2, y2}); }
void TReportFiler::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Shape(cArc, {x1, y1, x2, y2, x3, y3, x4, y4});
}
void TReportFiler::Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Shape(cChord, {x1, y1, x2, y2, x3, y3, x4, y4});
}
void TReportFiler::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Shape(cPie, {x1, y1, x2, y2, x3, y3, x4, y4});
}

void TReportFiler::RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, cRoundRect);
  PutPointUnits(out, x1, y1);
  PutPointUnits(out, x2, y2);
  PutFloat(out, cornerW / UnitsFactor());
  PutFloat(out, cornerH / UnitsFactor());
  Write(out);
  Done();
}

void TReportFiler::FloodFill(double x, double y, TColor color, TFillStyle style) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, cFloodFill);
  PutPointUnits(out, x, y);
  PutLong(out, static_cast<int32_t>(color));
  PutLong(out, static_cast<int32_t>(style));
  Write(out);
  Done();
}

void TReportFiler::MoveTo(double x, double y) {
  if (!Ready()) return;
  double f = UnitsFactor();
  LineBuffer().MoveTo(x / f + OriginX() / f, y / f + OriginY() / f);
  if (LineBuffer().Buffering()) return;
  Shape(cMoveTo, {x, y});
}

void TReportFiler::LineTo(double x, double y) {
  if (!Ready()) return;
  double f = UnitsFactor();
  if (!LineBuffer().Buffering()) {
    Shape(cLineTo, {x, y});
    LineBuffer().MoveTo(x / f + OriginX() / f, y / f + OriginY() / f);
    return;
  }
  double fromX = LineBuffer().LastX(), fromY = LineBuffer().LastY();
  TPen* pen = Device()->Canvas()->Pen();
  if (LineBuffer().Add(x / f + OriginX() / f, y / f + OriginY() / f, pen->Color(), pen->Mode(), pen->Style(),
                       pen->Width()))
    return;
  Shape(cMoveTo, {(fromX - OriginX() / f) * f, (fromY - OriginY() / f) * f});
  Shape(cLineTo, {x, y});
}

void TReportFiler::Polygon(const std::vector<TPoint>& points) {
  if (!Ready() || points.empty()) return;
  SyncState();
  std::string out;
  PutByte(out, cPolygon);
  PutWord(out, static_cast<int>(std::min<std::size_t>(points.size(), 32767)) - 1);
  for (std::size_t i = 0; i < points.size() && i < 32767; ++i) PutDevicePoint(out, points[i].x, points[i].y);
  Write(out);
  Done();
}

void TReportFiler::Polyline(const std::vector<TPoint>& points) {
  if (!Ready() || points.empty()) return;
  SyncState();
  std::string out;
  PutByte(out, cPolyline);
  PutWord(out, static_cast<int>(std::min<std::size_t>(points.size(), 32767)) - 1);
  for (std::size_t i = 0; i < points.size() && i < 32767; ++i) PutDevicePoint(out, points[i].x, points[i].y);
  Write(out);
  Done();
}

void TReportFiler::DrawFocusRect(const TRect& rect) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, cFocusRect);
  PutDeviceRect(out, rect);
  Write(out);
  Done();
}

void TReportFiler::FillRect(const TRect& rect) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, cFillRect);
  PutDeviceRect(out, rect);
  Write(out);
  Done();
}

void TReportFiler::FrameRect(const TRect& rect) {
  if (!Ready()) return;
  SyncState();
  std::string out;
  PutByte(out, cFrameRect);
  PutDeviceRect(out, rect);
  Write(out);
  Done();
}

void TReportFiler::CopyRect(const TRect&, TCanvas*, const TRect&) {
  throw EReportError(RptText("CopyRect() not supported in file mode."));
}

// -------------------------------------------------------------- graphics

void TReportFiler::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
  if (!Ready() || !bitmap) return;
  SyncState();
  std::string out;
  PutByte(out, cBrushCopy);
  PutGraphic(out, bitmap);
  PutDeviceRect(out, dest);
  PutDeviceRect(out, source);
  PutLong(out, static_cast<int32_t>(color));
  Write(out);
  Done();
}

void TReportFiler::Draw(double x, double y, TGraphic* graphic) {
  if (!Ready() || !graphic) return;
  SyncState();
  std::string out;
  PutByte(out, cDraw);
  PutGraphic(out, graphic);
  PutPointUnits(out, x, y);
  Write(out);
  Done();
}

void TReportFiler::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!Ready() || !graphic) return;
  SyncState();
  std::string out;
  PutByte(out, cStretchDraw);
  PutGraphic(out, graphic);
  PutDeviceRect(out, rect);
  Write(out);
  Done();
}

void TReportFiler::PrintBitmap(double x, double y, double scaleX, double scaleY, TBitmap* bitmap) {
  if (!Ready() || !bitmap) return;
  SyncState();
  std::string out;
  PutByte(out, cTransparent);
  PutByte(out, TransparentBitmaps() ? 1 : 0);
  PutByte(out, cPrintBitmap);
  PutGraphic(out, bitmap);
  PutPointUnits(out, x, y);
  PutFloat(out, scaleX);
  PutFloat(out, scaleY);
  Write(out);
  Done();
}

void TReportFiler::PrintBitmapRect(double x1, double y1, double x2, double y2, TBitmap* bitmap) {
  if (!Ready() || !bitmap) return;
  SyncState();
  std::string out;
  PutByte(out, cTransparent);
  PutByte(out, TransparentBitmaps() ? 1 : 0);
  PutByte(out, cPrintBitmapRect);
  PutGraphic(out, bitmap);
  PutPointUnits(out, x1, y1);
  PutPointUnits(out, x2, y2);
  Write(out);
  Done();
}

void TReportFiler::PrintImageRect(double x1, double y1, double x2, double y2, TStream* stream,
                                  const AnsiString& extension) {
  if (!Ready() || !stream) return;
  SyncState();
  int64_t n = std::clamp<int64_t>(stream->Size() - stream->Position(), 0, INT32_MAX);
  std::string out;
  PutByte(out, cTransparent);
  PutByte(out, TransparentBitmaps() ? 1 : 0);
  PutByte(out, cImageData);
  PutLong(out, static_cast<int32_t>(n));
  Write(out);
  FlushBuffer();
  if (n > 0) stream_->CopyFrom(*stream, n);
  out.clear();
  PutText(out, CutText(extension));
  PutPointUnits(out, x1, y1);
  PutPointUnits(out, x2, y2);
  Write(out);
  Done();
}

void TReportFiler::RegisterGraphic(int index) {
  if (index < 1 || index > 10) throw EReportError(RptText("RegisterGraphic: Index must be between 1 and ") + "10");
  slots_[static_cast<std::size_t>(index - 1)] = lastGraphicPos_;
}

void TReportFiler::UnregisterGraphic(int index) {
  if (index < 1 || index > 10)
    throw EReportError(RptText("UnregisterGraphic: Index must be between 1 and ") + "10");
  slots_[static_cast<std::size_t>(index - 1)] = 0;
}

void TReportFiler::ReuseGraphic(int index) {
  if (index < 1 || index > 10) throw EReportError(RptText("ReuseGraphic: Index must be between 1 and ") + "10");
  pendingReuse_ = slots_[static_cast<std::size_t>(index - 1)];
}

// ---------------------------------------------------------- named values

AnsiString TReportFiler::MacroText(int id) {
  char digits[3] = {static_cast<char>('0' + (id / 10) % 10), static_cast<char>('0' + id % 10), 0};
  return AnsiString("\xFD$RWCM") + digits;
}

int TReportFiler::FindNamed(const AnsiString& name) const {
  for (std::size_t i = 0; i < named_.size(); ++i)
    if (SameName(named_[i].first, name)) return static_cast<int>(i);
  return -1;
}

AnsiString TReportFiler::MacroText(const AnsiString& name) {
  AnsiString marker = AnsiString("\xFD$RWCV\xFC") + name + "\xFB";
  if (!StateReady()) return marker;
  int i = FindNamed(name);
  if (i >= 0 && named_[static_cast<std::size_t>(i)].second > 0) return marker;
  int64_t linked = i >= 0 ? -named_[static_cast<std::size_t>(i)].second : 0;
  std::string out;
  PutByte(out, cNamedValue);
  PutText(out, CutText(name, kMaxNamedValue));
  int64_t valuePos = Pos() + static_cast<int64_t>(out.size());
  PutByte(out, kPlaceholderSize);
  PutByte(out, 255);
  PutLong(out, static_cast<int32_t>(linked));
  out.append(kPlaceholderSize - 4, '\0');
  Write(out);
  if (i >= 0)
    named_[static_cast<std::size_t>(i)].second = valuePos;
  else
    named_.emplace_back(name, valuePos);
  return marker;
}

void TReportFiler::SetNamedValue(const AnsiString& name, const AnsiString& value) {
  if (!StateReady()) return;
  AnsiString v = value.substr(0, kMaxNamedValue);
  int i = FindNamed(name);
  if (i >= 0 && named_[static_cast<std::size_t>(i)].second > 0) {
    // Fill the placeholder the printed texts already refer to.
    int64_t pos = named_[static_cast<std::size_t>(i)].second;
    std::string b;
    std::size_t l = std::min(v.size(), kPlaceholderSize);
    PutByte(b, kPlaceholderSize);
    PutByte(b, static_cast<uint8_t>(l));
    b.append(v.substr(0, l));
    FlushBuffer();
    int64_t here = stream_->Position();
    stream_->SetPosition(pos);
    stream_->WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
    stream_->SetPosition(here);
    named_.erase(named_.begin() + i);
    return;
  }
  std::string out;
  PutByte(out, cNamedValue);
  PutText(out, CutText(name, kMaxNamedValue));
  int64_t valuePos = Pos() + static_cast<int64_t>(out.size());
  PutByte(out, static_cast<uint8_t>(v.size()));
  PutByte(out, static_cast<uint8_t>(v.size()));
  out.append(v);
  Write(out);
  if (i >= 0) named_.erase(named_.begin() + i);
  named_.emplace_back(name, -valuePos);
}
