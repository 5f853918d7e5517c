#include "report/rpt_render.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/resources.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/sysutils.h"
#include "report/rpt_font_manager.h"

using namespace rps;

namespace {

// The measuring resolution of formatted runs.
constexpr int kMeasureDpi = 1248;
constexpr double kMaxInches = 1000;

std::vector<std::pair<AnsiString, TRptRender*>>*& List() {
  static std::vector<std::pair<AnsiString, TRptRender*>>* list = nullptr;
  return list;
}

void Register(TRptRender* r) {
  if (!List()) List() = new std::vector<std::pair<AnsiString, TRptRender*>>();
  List()->emplace_back(r->DisplayName(), r);
}

void Unregister(TRptRender* r) {
  auto* list = List();
  if (!list) return;
  std::erase_if(*list, [r](const auto& e) { return e.second == r; });
  if (list->empty()) {
    delete list;
    List() = nullptr;
  }
}

double C(double v) { return std::clamp(v, -kMaxInches, kMaxInches); }
int Pt(double inches) { return static_cast<int>(std::lround(C(inches) * 72)); }

}  // namespace

// --------------------------------------------------------------- renderer

TRptRender::TRptRender(TComponent* owner) : TRptComponent(owner) { Register(this); }
TRptRender::~TRptRender() { Unregister(this); }

void TRptRender::SetDisplayName(const AnsiString& name) {
  Unregister(this);
  displayName_ = name;
  Register(this);
}

void TRptRender::Arc(double, double, double, double, double, double, double, double) {}
void TRptRender::Chord(double, double, double, double, double, double, double, double) {}
void TRptRender::TextCenterAt(const AnsiString&, double, double) {}
void TRptRender::Ellipse(double, double, double, double) {}
void TRptRender::FontChanged() {}
void TRptRender::TextLeftAt(const AnsiString&, double, double) {}
void TRptRender::LineTo(double, double) {}
void TRptRender::MoveTo(double, double) {}
void TRptRender::Pie(double, double, double, double, double, double, double, double) {}
void TRptRender::Polyline(const std::vector<TPoint>&, int) {}
void TRptRender::Polygon(const std::vector<TPoint>&, int) {}
void TRptRender::TextRightAt(const AnsiString&, double, double) {}
void TRptRender::PrintImageRect(TStream*, const AnsiString&, double, double, double, double) {}
void TRptRender::PrintBitmapRect(TBitmap*, double, double, double, double) {}
void TRptRender::PrintBitmap(TBitmap*, double, double, double, double) {}
void TRptRender::StretchDraw(const TRect&, TGraphic*) {}
void TRptRender::Draw(TGraphic*, double, double) {}
void TRptRender::TextBlockAt(const AnsiString&, double, double, double) {}
void TRptRender::Rectangle(double, double, double, double) {}
void TRptRender::FillRect(const TRect&) {}
void TRptRender::TextRect(const TRect&, const AnsiString&, double, double) {}
void TRptRender::RoundRect(double, double, double, double, double, double) {}
void TRptRender::DocBegin() {}
void TRptRender::DocEnd() {}
void TRptRender::PageBegin() {}
void TRptRender::PageEnd() {}
void TRptRender::RenderFile(TStream*, const AnsiString&) {}

TRptRenderStream::~TRptRenderStream() = default;

void TRptRenderStream::Print(const AnsiString& text) {
  if (!text.empty() && OutputStream) OutputStream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TRptRenderStream::PrintLn(const AnsiString& text) { Print(text + "\r\n"); }

void TRptRenderStream::OpenOutputFile(const AnsiString& fileName) {
  ownFile_ = std::make_unique<TFileStream>(fileName, fmCreate);
  OutputStream = ownFile_.get();
}

void TRptRenderStream::CloseOutputFile() {
  if (OutputStream == ownFile_.get()) OutputStream = nullptr;
  ownFile_.reset();
}

void RendererNames(TStringList* list) {
  if (!List()) return;
  for (auto& [name, r] : *List())
    if (r->Active) list->AddObject(name, r);
}

AnsiString RendererFilter() {
  AnsiString out;
  if (!List()) return out;
  for (auto& [name, r] : *List()) {
    if (!r->Active) continue;
    if (!out.empty()) out += "|";
    out += name + "|" + r->FileExtension;
  }
  return out;
}

std::vector<TRptRender*> RegisteredRenderers() {
  std::vector<TRptRender*> out;
  if (List())
    for (auto& e : *List()) out.push_back(e.second);
  return out;
}

// -------------------------------------------------------------- converter

TRptConverter::TRptConverter(TStream* input, TRptRender* renderer)
    : input_(input), renderer_(renderer), reader_(*input) {
  font_.SetName("Arial");
  font_.SetColor(clBlack);
  font_.SetHeight(-static_cast<int>(std::lround(fontPoints_ * kMeasureDpi / 72)));
}

TRptConverter::~TRptConverter() {
  if (renderer_ && renderer_->Converter == this) renderer_->Converter = nullptr;
}

AnsiString TRptConverter::NamedValue(const AnsiString& name) const {
  AnsiString key = UpperCase(name);
  for (auto& [n, v] : named_)
    if (n == key) return v;
  return "";
}

AnsiString TRptConverter::MacroValue(int id) const {
  static const char* const kFormats[] = {"ddddd", "dddddd", "mm/dd/yy", "dd/mm/yy", "t", "tt", "hh:nn ampm", "hh:nn"};
  if (id >= 0 && id <= 7) return FormatDateTime(kFormats[id], dateTime_);
  switch (id) {
    case 8: return IntToStr(firstPage_);
    case 9: return IntToStr(lastPage_);
    case 10: return IntToStr(pageCount_);
    case 11:
    case 12: return IntToStr(currentPage_);
    case 13: return DeviceName();
    case 14: return DriverName();
    case 15: return PortName();
    default: break;
  }
  if (id >= 16 && id <= 35 && id - 16 < renderer_->MacroData.Count()) return renderer_->MacroData[id - 16];
  return "";
}

void TRptConverter::ExpandMacros(AnsiString& text) const {
  // Replacements are not scanned again: a value holding a marker cannot
  // make this loop.
  std::size_t pos = 0;
  while ((pos = text.find('\xFD', pos)) != std::string::npos) {
    if (text.compare(pos + 1, 5, "$RWCM") == 0 && pos + 8 <= text.size() &&
        std::isdigit(static_cast<unsigned char>(text[pos + 6])) && std::isdigit(static_cast<unsigned char>(text[pos + 7]))) {
      AnsiString value = MacroValue((text[pos + 6] - '0') * 10 + (text[pos + 7] - '0'));
      text.replace(pos, 8, value);
      pos += value.size();
    } else if (text.compare(pos + 1, 5, "$RWCV") == 0) {
      std::size_t end = text.find('\xFB', pos + 6);
      std::size_t stop = end == std::string::npos ? text.size() : end + 1;
      AnsiString name;
      if (pos + 6 < text.size() && text[pos + 6] == '\xFC')
        name = text.substr(pos + 7, (end == std::string::npos ? text.size() : end) - (pos + 7));
      AnsiString value = NamedValue(name);
      text.replace(pos, stop - pos, value);
      pos += value.size();
    } else {
      ++pos;
    }
  }
}

std::unique_ptr<TGraphic> TRptConverter::LoadGraphic(const TStoredGraphic& g) {
  std::unique_ptr<TGraphic> graphic;
  switch (g.kind) {
    case kGraphicBitmap: graphic = std::make_unique<TBitmap>(); break;
    case kGraphicMetafile: graphic = std::make_unique<TMetafile>(); break;
    case kGraphicIcon: graphic = std::make_unique<TIcon>(); break;
    default: return nullptr;
  }
  if (g.kind == kGraphicBitmap) CheckStoredBitmap(g.data);
  TMemoryStream m;
  m.WriteBuffer(g.data.data(), static_cast<int64_t>(g.data.size()));
  m.SetPosition(0);
  graphic->LoadFromStream(m);
  return graphic;
}

void TRptConverter::Generate(int page, int total) {
  renderer_->Converter = this;
  dateTime_ = clock_ != 0 ? clock_ : Now();
  TStreamHeader h = reader_.ReadHeader();
  title_ = h.title;
  firstPage_ = h.firstPage;
  lastPage_ = h.lastPage;
  pageCount_ = h.pageCount;
  currentPage_ = 1;
  const auto& pages = reader_.Pages();
  std::exception_ptr failure;
  renderer_->DocBegin();
  try {
    if (page == 0) {
      // As many pages as the header counts and the chain holds.
      for (const TPageRecord& p : pages) {
        reader_.Seek(p.pos);
        PlayPageToRender();
      }
    } else {
      if (total > 0) pageCount_ = total;
      if (page >= 1 && page <= static_cast<int>(pages.size())) {
        reader_.Seek(pages[static_cast<std::size_t>(page - 1)].pos);
        PlayPageToRender();
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    renderer_->DocEnd();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

double TRptConverter::PieceWidth(const AnsiString& text) {
  if (text.empty()) return 0;
  return static_cast<double>(RptFontManager().TextWidth(font_, kMeasureDpi, kMeasureDpi, text)) / kMeasureDpi;
}

void TRptConverter::ApplyBlock(std::string_view block) {
  std::size_t start = 0;
  while (start <= block.size()) {
    std::size_t end = block.find('\x02', start);
    if (end == std::string_view::npos) end = block.size();
    AnsiString item;
    for (char c : block.substr(start, end - start))
      if (c != '\x03') item.push_back(c);
    start = end + 1;
    if (item.empty()) continue;
    AnsiString param = item.substr(1);
    bool on = param == "1";
    TFontStyles style = font_.Style();
    auto setStyle = [&](TFontStyle s) {
      if (on)
        style.Include(s);
      else
        style.Exclude(s);
      font_.SetStyle(style);
    };
    auto reset = [&] {
      font_.SetStyle(TFontStyles());
      font_.SetColor(clBlack);
      font_.SetPitch(fpDefault);
      font_.SetCharset(1);
      rotation_ = 0;
    };
    switch (item[0]) {
      case 'B': setStyle(fsBold); break;
      case 'I': setStyle(fsItalic); break;
      case 'U': setStyle(fsUnderline); break;
      case 'K': setStyle(fsStrikeOut); break;
      case 'C': font_.SetColor(static_cast<TColor>(StrToIntDef(param, 0))); break;
      case 'H': {
        char p = param.empty() ? 'D' : static_cast<char>(std::toupper(static_cast<unsigned char>(param[0])));
        font_.SetPitch(p == 'F' ? fpFixed : p == 'V' ? fpVariable : fpDefault);
        break;
      }
      case 'N': font_.SetName(param.substr(0, 60)); break;
      case 'Z': {
        double pts = fontPoints_;
        if (!TryStrToFloat(param, pts) || !std::isfinite(pts)) pts = fontPoints_;
        pts = std::clamp(std::round(pts), 1.0, 1440.0);
        fontPoints_ = pts;
        font_.SetHeight(-static_cast<int>(std::lround(pts * kMeasureDpi / 72)));
        break;
      }
      case 'r': reset(); break;
      case 'R':
        reset();
        font_.SetName("Arial");
        fontPoints_ = 12;
        font_.SetHeight(-static_cast<int>(std::lround(12.0 * kMeasureDpi / 72)));
        break;
      default: break;
    }
  }
  if (!measuring_) renderer_->FontChanged();
}

void TRptConverter::DrawText(uint8_t code, const AnsiString& text, double x, double y) {
  if (text.empty()) return;
  if (text.find('\x01') == std::string::npos) {
    if (code == cTextCenter) renderer_->TextCenterAt(text, x, y);
    if (code == cTextLeft) renderer_->TextLeftAt(text, x, y);
    if (code == cTextRight) renderer_->TextRightAt(text, x, y);
    return;
  }
  // Pieces: an optional block, then plain text up to the next block.
  struct Piece {
    std::string block;
    AnsiString text;
    bool hasBlock;
  };
  std::vector<Piece> pieces;
  std::size_t i = 0;
  while (i < text.size()) {
    Piece p{"", "", false};
    if (text[i] == '\x01') {
      std::size_t end = text.find('\x04', i + 1);
      if (end == std::string::npos) end = text.size();
      p.block = text.substr(i + 1, end - i - 1);
      p.hasBlock = true;
      i = std::min(end + 1, text.size());
    }
    std::size_t next = text.find('\x01', i);
    if (next == std::string::npos) next = text.size();
    p.text = text.substr(i, next - i);
    i = next;
    pieces.push_back(std::move(p));
  }
  // Widths measured with the font each piece is drawn in; the font state
  // is restored before drawing.
  TFont savedFont = font_;
  double savedPoints = fontPoints_;
  int savedRotation = rotation_;
  double sum = 0;
  measuring_ = true;  // the measuring pass tells the renderer nothing
  for (const Piece& p : pieces) {
    if (p.hasBlock) ApplyBlock(p.block);
    sum += PieceWidth(p.text);
  }
  measuring_ = false;
  font_ = savedFont;
  fontPoints_ = savedPoints;
  rotation_ = savedRotation;
  double runX = code == cTextCenter ? x - sum / 2 : code == cTextRight ? x - sum : x;
  for (const Piece& p : pieces) {
    if (p.hasBlock) ApplyBlock(p.block);
    if (p.text.empty()) continue;
    renderer_->TextLeftAt(p.text, runX, y);
    runX += PieceWidth(p.text);
  }
}

void TRptConverter::PlayPageToRender() {
  TPageStreamReader& r = reader_;
  TPageRecord page = r.ReadPageRecord();
  currentPage_ = page.number;
  if (r.Version() >= kVersion2000) {
    renderer_->PageWidth = page.width;
    renderer_->PageHeight = page.height;
  }
  renderer_->PageBegin();
  auto text = [&] {
    AnsiString t = r.ReadText();
    ExpandMacros(t);
    return t;
  };
  auto pt = [&](double& x, double& y) {
    r.ReadPoint(x, y);
    x = C(x);
    y = C(y);
  };
  auto rcPoints = [&] {
    double l, t, rr, b;
    r.ReadRect(l, t, rr, b);
    return Rect(Pt(l), Pt(t), Pt(rr), Pt(b));
  };
  auto polygon = [&](bool closed) {
    int h = r.ReadWord();
    if (h < 0) UnexpectedCode();
    r.Need(static_cast<int64_t>(h + 1) * 8);
    std::vector<TPoint> points(static_cast<std::size_t>(h) + 1);
    double fx = 0, fy = 0;
    for (int k = 0; k <= h; ++k) {
      double x, y;
      pt(x, y);
      if (k == 0) fx = x, fy = y;
      points[static_cast<std::size_t>(k)] = TPoint{static_cast<int>(std::lround(x * kMeasureDpi)),
                                                   static_cast<int>(std::lround(y * kMeasureDpi))};
    }
    renderer_->MoveTo(fx, fy);
    if (closed)
      renderer_->Polygon(points, h);
    else
      renderer_->Polyline(points, h);
  };
  auto setStyle = [&](TFontStyle s, bool on) {
    TFontStyles st = font_.Style();
    if (on)
      st.Include(s);
    else
      st.Exclude(s);
    font_.SetStyle(st);
  };
  auto setPoints = [&](double inches) {
    fontPoints_ = std::clamp(std::round(inches * 72), 1.0, 1440.0);
    font_.SetHeight(-static_cast<int>(std::lround(fontPoints_ * kMeasureDpi / 72)));
  };
  auto brushGraphic = [&] {
    auto g = LoadGraphic(r.ReadGraphic());
    if (dynamic_cast<TBitmap*>(g.get())) {
      brushBitmap_.reset(static_cast<TBitmap*>(g.release()));
      brush_.SetBitmap(brushBitmap_.get());
    }
  };
  while (true) {
    uint8_t code = r.ReadByte();
    switch (code) {
      case cArc:
      case cChord:
      case cPie: {
        double v[8];
        for (int k = 0; k < 8; k += 2) pt(v[k], v[k + 1]);
        if (code == cArc) renderer_->Arc(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        if (code == cChord) renderer_->Chord(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        if (code == cPie) renderer_->Pie(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        break;
      }
      case cBrushCopy:
        r.ReadGraphic();
        rcPoints();
        rcPoints();
        r.ReadLong();
        break;
      case cCopyRect:
        rcPoints();
        r.ReadLong();
        rcPoints();
        break;
      case cDraw: {
        TStoredGraphic g = r.ReadGraphic();
        double x, y;
        pt(x, y);
        if (auto graphic = LoadGraphic(g)) renderer_->Draw(graphic.get(), x, y);
        break;
      }
      case cFocusRect:
      case cFrameRect: rcPoints(); break;
      case cFillRect: renderer_->FillRect(rcPoints()); break;
      case cFloodFill: {
        double x, y;
        pt(x, y);
        r.ReadLong();
        r.ReadLong();
        break;
      }
      case cEllipse:
      case cRectangle:
      case cPlainRect: {
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        if (code == cEllipse)
          renderer_->Ellipse(x1, y1, x2, y2);
        else
          renderer_->Rectangle(x1, y1, x2, y2);
        break;
      }
      case cLineTo: {
        double x, y;
        pt(x, y);
        renderer_->MoveTo(curX_, curY_);
        renderer_->LineTo(x, y);
        curX_ = x, curY_ = y;
        break;
      }
      case cMoveTo: pt(curX_, curY_); break;
      case cPolygon: polygon(true); break;
      case cPolyline: polygon(false); break;
      case cPrintBitmap: {
        TStoredGraphic g = r.ReadGraphic();
        double x, y;
        pt(x, y);
        double sx = r.ReadFloat(), sy = r.ReadFloat();
        auto graphic = LoadGraphic(g);
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic.get())) renderer_->PrintBitmap(bmp, x, y, sx, sy);
        break;
      }
      case cPrintBitmapRect: {
        TStoredGraphic g = r.ReadGraphic();
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        auto graphic = LoadGraphic(g);
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic.get())) renderer_->PrintBitmapRect(bmp, x1, y1, x2, y2);
        break;
      }
      case cRoundRect: {
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        double cw = C(r.ReadFloat()), ch = C(r.ReadFloat());
        renderer_->RoundRect(x1, y1, x2, y2, cw, ch);
        break;
      }
      case cStretchDraw: {
        TStoredGraphic g = r.ReadGraphic();
        TRect box = rcPoints();
        if (auto graphic = LoadGraphic(g)) renderer_->StretchDraw(box, graphic.get());
        break;
      }
      case cTextRect: {
        TRect box = rcPoints();
        double x, y;
        pt(x, y);
        renderer_->TextRect(box, text(), x, y);
        break;
      }
      case cTextCenter:
      case cTextLeft:
      case cTextRight: {
        double y = C(r.ReadFloat());
        AnsiString t = text();
        double x = C(r.ReadFloat());
        DrawText(code, t, x, y);
        break;
      }
      case cTextBlockOld:
      case cTextBlock: {
        double y = C(r.ReadFloat());
        AnsiString t = text();
        double x = C(r.ReadFloat()), w = C(r.ReadFloat());
        if (!t.empty()) renderer_->TextBlockAt(t, x, w, y);
        break;
      }
      case cBkMode:
      case cTransparent:
      case cOrientation: r.ReadByte(); break;
      case cBackColor: r.ReadLong(); break;
      case cScaleX:
      case cScaleY: r.ReadFloat(); break;
      case cDeviceText:
      case cBin: r.ReadText(); break;
      case cDeviceData: r.ReadBytes(r.ReadLength()); break;
      case cFrameMode: renderer_->FrameMode = r.ReadByte(); break;
      case cImageData: {
        int64_t n = r.ReadLength();
        std::string bytes = r.ReadBytes(n);
        TMemoryStream m;
        m.WriteBuffer(bytes.data(), n);
        m.SetPosition(0);
        AnsiString ext = r.ReadText();
        double x1, y1, x2, y2;
        pt(x1, y1);
        pt(x2, y2);
        renderer_->PrintImageRect(&m, ext, x1, y1, x2, y2);
        break;
      }
      case cNamedValue: {
        AnsiString name, value;
        r.ReadNamedValue(name, value);
        AnsiString key = UpperCase(name);
        auto it = std::find_if(named_.begin(), named_.end(), [&](const auto& e) { return e.first == key; });
        if (it != named_.end())
          it->second = value;
        else
          named_.emplace_back(key, value);
        break;
      }
      case cBrushOld: {
        brush_.SetColor(static_cast<TColor>(r.ReadLong()));
        brush_.SetStyle(r.ReadByte() == 1 ? bsClear : bsSolid);
        if (r.ReadByte() == 1) brushGraphic();
        break;
      }
      case cBrushColor:
        brush_.SetBitmap(nullptr);
        brushBitmap_.reset();
        brush_.SetColor(static_cast<TColor>(r.ReadLong()));
        break;
      case cBrushStyle: brush_.SetStyle(r.ReadByte() == 1 ? bsClear : bsSolid); break;
      case cBrushBitmap:
        if (r.ReadByte() == 1) brushGraphic();
        break;
      case cFontOld: {
        font_.SetName(r.ReadText().substr(0, 60));
        font_.SetColor(static_cast<TColor>(r.ReadLong()));
        uint8_t pitch = r.ReadByte();
        font_.SetPitch(pitch == 1 ? fpVariable : pitch == 2 ? fpFixed : fpDefault);
        font_.SetCharset(r.Version() >= kVersion2018 ? r.ReadByte() : 1);
        setPoints(r.ReadFloat());
        setStyle(fsBold, r.ReadByte() != 0);
        setStyle(fsItalic, r.ReadByte() != 0);
        setStyle(fsUnderline, r.ReadByte() != 0);
        setStyle(fsStrikeOut, r.ReadByte() != 0);
        rotation_ = r.Version() >= kVersion2000 ? ((r.ReadWord() % 360) + 360) % 360 : 0;
        renderer_->FontChanged();
        break;
      }
      case cFontName: font_.SetName(r.ReadText().substr(0, 60)); renderer_->FontChanged(); break;
      case cFontColor: font_.SetColor(static_cast<TColor>(r.ReadLong())); renderer_->FontChanged(); break;
      case cFontSize:
        setPoints(r.ReadFloat());
        if (r.Version() >= kVersion2000) r.ReadFloat();
        renderer_->FontChanged();
        break;
      case cBold: setStyle(fsBold, r.ReadByte() != 0); renderer_->FontChanged(); break;
      case cUnderline: setStyle(fsUnderline, r.ReadByte() != 0); renderer_->FontChanged(); break;
      case cItalic: setStyle(fsItalic, r.ReadByte() != 0); renderer_->FontChanged(); break;
      case cStrikeOut: setStyle(fsStrikeOut, r.ReadByte() != 0); renderer_->FontChanged(); break;
      case cSuperscript: superscript_ = r.ReadByte() != 0; renderer_->FontChanged(); break;
      case cSubscript: subscript_ = r.ReadByte() != 0; renderer_->FontChanged(); break;
      case cRotation: rotation_ = ((r.ReadWord() % 360) + 360) % 360; renderer_->FontChanged(); break;
      case cFontPitch:
      case cPlacement: r.ReadByte(); renderer_->FontChanged(); break;
      // Renderers choose the text's code page by it (238: Central European).
      case cCharset: font_.SetCharset(r.ReadByte()); renderer_->FontChanged(); break;
      case cPenOld:
        pen_.SetColor(static_cast<TColor>(r.ReadLong()));
        pen_.SetMode(PenModeFromCode(r.ReadByte()));
        pen_.SetStyle(static_cast<TPenStyle>(std::min<int>(r.ReadByte(), psInsideFrame)));
        renderer_->PenWidth = std::clamp(r.ReadFloat(), 0.0, 10.0);
        break;
      case cPenColor: pen_.SetColor(static_cast<TColor>(r.ReadLong())); break;
      case cPenMode: pen_.SetMode(PenModeFromCode(r.ReadByte())); break;
      case cPenStyle: pen_.SetStyle(static_cast<TPenStyle>(std::min<int>(r.ReadByte(), psInsideFrame))); break;
      case cPenWidth: renderer_->PenWidth = std::clamp(r.ReadFloat(), 0.0, 10.0); break;
      case cEndPage: renderer_->PageEnd(); return;
      case cLineMetrics:
        r.ReadFloat();
        r.ReadFloat();
        r.ReadFloat();
        break;
      case cPreviewOnly:
      case cPrinterOnly:
      case cAllowAll: break;
      default: UnexpectedCode();
    }
  }
}
