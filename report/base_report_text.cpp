// Text output of TBaseReport: tab stops and cells (justification, inner
// margins, box lines, shading), fitting and measuring text, TAB characters
// inside free text, format blocks embedded in printed text, and macros.
#include <algorithm>
#include <cmath>

#include "platform/rtl/codepages.h"
#include "platform/rtl/floatconv.h"
#include "report/base_report.h"

// -------------------------------------------------------------------- tabs

void TBaseReport::AddTab(double pos, TPrintJustify justify, double width, double margin, int boxLines, int shade) {
  if (!tabs_ || tabs_->empty()) {
    tabs_ = std::make_shared<std::vector<TTab>>();
    currentTab_ = -1;
    onTab_ = false;
    beforeTabs_ = true;
  }
  TTab t;
  if (pos < 0)
    t.Pos = tabs_->empty() ? edgeL_ : tabs_->back().Pos + tabs_->back().Width;
  else
    t.Pos = pos / factor_;
  t.Justify = static_cast<uint8_t>(justify);
  if (width > 0) {
    t.Width = width / factor_;
    t.Margin = margin / 100.0;  // hundredths of an inch whatever the units
    t.Left = boxLines & BOXLINELEFT;
    t.Right = boxLines & BOXLINERIGHT;
    t.Top = boxLines & BOXLINETOP;
    t.Bottom = boxLines & BOXLINEBOTTOM;
    t.Shade = static_cast<uint8_t>(std::clamp(shade, 0, 100));
  }
  tabs_->push_back(t);
}

void TBaseReport::ClearAllTabs() {
  tabs_.reset();
  ResetTabCursor();
}

void TBaseReport::ResetTabCursor() {
  currentTab_ = -1;
  onTab_ = false;
  beforeTabs_ = tabs_ && !tabs_->empty();
}

bool TBaseReport::PushTabs() {
  if (!tabs_) return false;
  tabStack_.push_back(tabs_);
  return true;
}

bool TBaseReport::PopTabs() {
  if (tabStack_.empty()) return false;
  tabs_ = std::move(tabStack_.back());
  tabStack_.pop_back();
  ResetTabCursor();
  return true;
}

const TTab* TBaseReport::GetTab(int n) const {
  if (!tabs_) return nullptr;
  int index = n == 0 ? currentTab_ : n - 1;
  if (index < 0 || index >= static_cast<int>(tabs_->size())) return nullptr;
  return &(*tabs_)[static_cast<std::size_t>(index)];
}

double TBaseReport::TabWidth(int n) const {
  const TTab* t = GetTab(n);
  return t ? (t->Width - 2 * t->Margin) * factor_ : 0;
}

TColor TBaseReport::ShadeColor(TColor color, int percent) {
  int p = 100 - std::min(std::max(percent, 0), 100);
  TColor rgb = ColorToRGB(color);
  auto channel = [&](int c) { return c + p * (255 - c) / 100; };
  return RGB(channel(GetRValue(rgb)), channel(GetGValue(rgb)), channel(GetBValue(rgb)));
}

void TBaseReport::DrawBoxLine(int arg, bool flag, double x1, double y1, double x2, double y2) {
  TCanvas* canvas = GetCanvas();
  TPen saved;
  saved.Assign(canvas->Pen());
  if (arg == kTabDefault) {
    if (!flag) return;
  } else {
    if (arg == 0) return;
    int width = arg > 0 ? arg : static_cast<int>(std::lround(zoom_ * scaleX_ * (-arg / 100.0) * dpiX_ / 10000));
    TPen* pen = canvas->Pen();
    pen->SetColor(clBlack);
    pen->SetStyle(psSolid);
    pen->SetMode(pmCopy);
    pen->SetWidth(std::max(1, width));
  }
  struct Restore {
    TCanvas* c;
    TPen* p;
    ~Restore() { c->Pen()->Assign(p); }
  } restore{canvas, &saved};
  MoveTo(x1 * factor_, y1 * factor_);
  LineTo(x2 * factor_, y2 * factor_);
}

void TBaseReport::NextTab(int left, int right, int top, int bottom, int shade) {
  CheckPrinting();
  if (PageSkipped()) return;
  int count = tabs_ ? static_cast<int>(tabs_->size()) : 0;
  if (currentTab_ >= 0) {
    ++currentTab_;
    if (currentTab_ >= count) currentTab_ = -1;
  } else if (count > 0 && beforeTabs_) {
    currentTab_ = 0;
    beforeTabs_ = false;
  }
  if (currentTab_ < 0) {
    onTab_ = false;
    return;
  }
  onTab_ = true;
  const TTab t = (*tabs_)[static_cast<std::size_t>(currentTab_)];
  if (!(t.Width > 0)) return;
  double cellL = (columnNum_ - 1) * columnWidth_ + t.Pos;
  double cellR = cellL + t.Width;
  double cellT = y_ + descent_ - lineHeight_;
  double cellB = y_ + descent_;
  int shadeValue = shade != kTabDefault ? shade : t.Shade > 0 ? t.Shade : tabShade_ >= 1 ? tabShade_ : 0;
  if (shadeValue > 0) {
    TCanvas* canvas = GetCanvas();
    TBrush savedBrush;
    savedBrush.Assign(canvas->Brush());
    TPen savedPen;
    savedPen.Assign(canvas->Pen());
    TCanvasBkMode savedMode = canvas->BackgroundMode();
    struct Restore {
      TCanvas* c;
      TBrush* b;
      TPen* p;
      TCanvasBkMode mode;
      ~Restore() {
        c->SetBackgroundMode(mode);
        c->Brush()->Assign(b);
        c->Pen()->Assign(p);
      }
    } restore{canvas, &savedBrush, &savedPen, savedMode};
    canvas->Brush()->SetBitmap(nullptr);
    canvas->Brush()->SetColor(ShadeColor(tabColor_, shadeValue));
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Pen()->SetColor(boxLineColor_);
    canvas->Pen()->SetStyle(psClear);
    canvas->Pen()->SetMode(pmMask);
    canvas->Pen()->SetWidth(1);
    canvas->SetBackgroundMode(bkmTransparent);
    DrawPlainRect(cellL * factor_, cellT * factor_, cellR * factor_, cellB * factor_);
  }
  DrawBoxLine(left, t.Left, cellL, cellB, cellL, cellB - lineHeight_);
  DrawBoxLine(right, t.Right, cellR, cellT, cellR, cellT + lineHeight_);
  DrawBoxLine(top, t.Top, cellL, cellT, cellL + t.Width, cellT);
  DrawBoxLine(bottom, t.Bottom, cellR, cellB, cellR - t.Width, cellB);
}

// ------------------------------------------------------------------- text

void TBaseReport::PrintText(const AnsiString& text) {
  std::size_t start = 0;
  while (true) {
    std::size_t tab = text.find('\t', start);
    if (tab == std::string::npos) break;
    if (tab > start) PrintTextPiece(text.substr(start, tab - start));
    start = tab + 1;
    NextTab(kTabDefault, kTabDefault, kTabDefault, kTabDefault, kTabDefault);
  }
  PrintTextPiece(text.substr(start));
}

void TBaseReport::PrintTextLine(const AnsiString& text) {
  PrintText(text);
  NewLine();
}

void TBaseReport::PrintInTab(const AnsiString& text) {
  NextTab(kTabDefault, kTabDefault, kTabDefault, kTabDefault, kTabDefault);
  PrintText(FitText(text, TabWidth(0)));
}

void TBaseReport::PrintTextPiece(const AnsiString& text) {
  if (onTab_ && tabs_ && currentTab_ >= 0) {
    const TTab& t = (*tabs_)[static_cast<std::size_t>(currentTab_)];
    double x = (columnNum_ - 1) * columnWidth_ + t.Pos;
    TTab copy = t;
    onTab_ = false;
    PrintJustified(text, copy.Justify, copy.Width, copy.Margin, x);
    return;
  }
  PrintJustified(text, pjLeft, 0, 0, x_);
}

void TBaseReport::PrintJustified(const AnsiString& text, int justify, double width, double margin, double x) {
  switch (justify) {
    case pjCenter:
      TextCenterAt(text, x + width / 2);
      break;
    case pjRight:
      TextRightAt(text, x + width - margin);
      break;
    case pjBlock:
      TextBlockAt(text, width - 2 * margin, x + margin);
      break;
    default: {
      double pieceX = x + margin;
      std::size_t start = 0;
      if (text.find('\t') != std::string::npos) {
        blockText_ = true;
        struct Clear {
          bool* flag;
          ~Clear() { *flag = false; }
        } clear{&blockText_};
        double tab = fixedTabWidth_ / factor_;
        std::size_t t;
        while ((t = text.find('\t', start)) != std::string::npos) {
          double newX = pieceX;
          if (t > start) {
            TextLeftAt(text.substr(start, t - start), pieceX);
            newX = x_;
          }
          pieceX = x + (std::trunc((newX - x + 0.001) / tab) + 1) * tab;
          start = t + 1;
        }
      }
      TextLeftAt(text.substr(start), pieceX);
      break;
    }
  }
}

AnsiString TBaseReport::FitText(const AnsiString& text, double width) {
  if (text.find(std::string(1, kMarker) + "$RWC") != std::string::npos) return text;
  AnsiString t = text;
  while (!t.empty() && TextWidth(t) > width) {
    while (!t.empty() && t.back() == kFormatEnd) {
      std::size_t open = t.rfind(kFormatBegin);
      t.erase(open == std::string::npos ? 0 : open);
    }
    if (!t.empty()) t.pop_back();
  }
  return t;
}

double TBaseReport::TextWidth(const AnsiString& text) {
  CheckPrinting();
  int px;
  if (text.find(kFormatBegin) != std::string::npos) {
    px = TextWidthCoded(text);
  } else if (text.empty()) {
    px = 1;
  } else {
    RealizeFont();
    px = Device()->TextWidth(*Device()->Canvas()->Font(), text);
    RestoreCanvasFont();
  }
  return px * scaleX_ / (100.0 * dpiX_) * factor_;
}

TSize TBaseReport::TextExtent(const AnsiString& text) {
  RealizeFont();
  TSize s = GetCanvas()->TextExtent(text);
  RestoreCanvasFont();
  return s;
}

int TBaseReport::TextWidthCoded(const AnsiString& text) {
  PushFont();
  TSaveFont before = font_;
  int tab = std::max(1, static_cast<int>(std::lround(fixedTabWidth_ / factor_ * dpiX_)));
  int w = 0;
  try {
    for (const TextRun& run : SplitFormatted(text)) {
      SetFontRecord(run.font);
      RealizeFont();
      std::size_t start = 0, t;
      while ((t = run.text.find('\t', start)) != std::string::npos) {
        if (t > start) w += Device()->TextWidth(*Device()->Canvas()->Font(), run.text.substr(start, t - start));
        w = ((w - 1) / tab + 1) * tab;
        start = t + 1;
      }
      if (start < run.text.size()) w += Device()->TextWidth(*Device()->Canvas()->Font(), run.text.substr(start));
      RestoreCanvasFont();
    }
  } catch (...) {
    RestoreCanvasFont();
    if (!PopFont() || blockText_) SetFontRecord(before);
    throw;
  }
  if (!PopFont() || blockText_) SetFontRecord(before);
  return std::max(1, w);
}

// ---------------------------------------------------------- format blocks

void TBaseReport::ApplyFormatBlock(std::string_view block, TSaveFont& f) {
  std::size_t start = 0;
  while (start <= block.size()) {
    std::size_t end = block.find(kFormatSeparator, start);
    if (end == std::string_view::npos) end = block.size();
    AnsiString item;
    for (char c : block.substr(start, end - start))
      if (c != kFormatSkip) item.push_back(c);
    start = end + 1;
    if (item.empty()) continue;
    char letter = item[0];
    AnsiString param = item.substr(1);
    bool on = param == "1";
    auto resetStyles = [&] {
      f.Bold = f.Underline = f.Italic = f.StrikeOut = f.Superscript = f.Subscript = false;
      f.Color = clBlack;
      f.Pitch = 0;
      f.CharSet = DEFAULT_CHARSET;
      f.Rotation = 0;
      f.Width = 0;
      f.Align = 0;
    };
    switch (letter) {
      case 'B': f.Bold = on; break;
      case 'U': f.Underline = on; break;
      case 'I': f.Italic = on; break;
      case 'K': f.StrikeOut = on; break;
      case 'P':
        f.Superscript = on;
        if (on) f.Subscript = false;
        break;
      case 'S':
        f.Subscript = on;
        if (on) f.Superscript = false;
        break;
      case 'C': f.Color = static_cast<TColor>(StrToInt(param)); break;
      case 'H':
        if (!param.empty()) {
          char p = static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(param[0])));
          if (p == 'D') f.Pitch = 0;
          if (p == 'F') f.Pitch = 2;
          if (p == 'V') f.Pitch = 1;
        }
        break;
      case 'N': f.Name = param.substr(0, 60); break;
      case 'Z': {
        // A size of 0 or less would make the line height 0; like
        // SelectFont, it leaves the size as it is.
        double size = StrToFloat(param);
        if (size > 0) {
          f.Size = size;
          f.Height = size / 72.0;
        }
        break;
      }
      case 'R':
        f.Name = "Arial";
        f.Size = 12;
        f.Height = 12 / 72.0;
        resetStyles();
        break;
      case 'r': resetStyles(); break;
      default: break;  // J and unknown letters change nothing
    }
  }
}

std::vector<TBaseReport::TextRun> TBaseReport::SplitFormatted(const AnsiString& text, TSaveFont* finalFont) {
  std::vector<TextRun> runs;
  TSaveFont f = font_;
  AnsiString plain;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != kFormatBegin) {
      plain.push_back(text[i++]);
      continue;
    }
    if (!plain.empty()) {
      runs.push_back({plain, f});
      plain.clear();
    }
    std::size_t end = text.find(kFormatEnd, i + 1);
    if (end == std::string::npos) end = text.size();
    ApplyFormatBlock(std::string_view(text).substr(i + 1, end - i - 1), f);
    i = end + 1;
  }
  if (!plain.empty() || runs.empty()) runs.push_back({plain, f});
  if (finalFont) *finalFont = f;
  return runs;
}

// ----------------------------------------------------------------- macros

AnsiString TBaseReport::MacroValue(int id) {
  static const char* const kFormats[] = {"ddddd", "dddddd", "mm/dd/yy", "dd/mm/yy", "t", "tt", "hh:nn ampm", "hh:nn"};
  if (id >= 0 && id <= 7) return FormatDateTime(kFormats[id], reportDateTime_);
  switch (id) {
    case 8: return IntToStr(firstPage_);
    case 9: return IntToStr(lastPage_);
    case 10: return IntToStr(jobPages_);
    case 11: return IntToStr(currentPage_);
    case 12: return IntToStr(PageNumber());
    case 13: return DeviceName();
    case 14: return DriverName();
    case 15: return PortName();
    default: break;
  }
  if (id >= 16 && id <= 35) return id - 16 < macroData_.Count() ? macroData_[id - 16] : AnsiString();
  return "";
}

void TBaseReport::ExpandMacros(AnsiString& text) {
  // Markers are replaced in text order; a replacement is not scanned again,
  // so a value holding a marker cannot make this loop.
  std::size_t pos = 0;
  while ((pos = text.find(kMarker, pos)) != std::string::npos) {
    if (text.compare(pos + 1, 5, "$RWCM") == 0 && pos + 8 <= text.size() && std::isdigit(static_cast<unsigned char>(text[pos + 6])) &&
        std::isdigit(static_cast<unsigned char>(text[pos + 7]))) {
      AnsiString value = MacroValue((text[pos + 6] - '0') * 10 + (text[pos + 7] - '0'));
      text.replace(pos, 8, value);
      pos += value.size();
    } else if (text.compare(pos + 1, 5, "$RWCV") == 0) {
      std::size_t end = text.find(kNameEnd, pos + 6);
      std::size_t stop = end == std::string::npos ? text.size() : end + 1;
      AnsiString name;
      if (pos + 6 < text.size() && text[pos + 6] == kNameBegin)
        name = text.substr(pos + 7, (end == std::string::npos ? text.size() : end) - (pos + 7));
      AnsiString value = NamedValueText(name);
      text.replace(pos, stop - pos, value);
      pos += value.size();
    } else {
      ++pos;
    }
  }
}

AnsiString TBaseReport::MacroText(int) { return ""; }
AnsiString TBaseReport::MacroText(const AnsiString&) { return ""; }
void TBaseReport::SetNamedValue(const AnsiString&, const AnsiString&) {}
AnsiString TBaseReport::NamedValueText(const AnsiString& name) { return name; }
