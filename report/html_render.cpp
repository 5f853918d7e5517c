#include "report/html_render.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/rtl/fileio.h"
#include "platform/rtl/paths.h"
#include "report/jpeg_writer.h"
#include "report/render_files.h"

namespace {

constexpr int kJpegQuality = 90;

AnsiString Hex2(int v) {
  static const char kDigits[] = "0123456789ABCDEF";
  return AnsiString{kDigits[(v >> 4) & 15], kDigits[v & 15]};
}

int Px(double inches) { return static_cast<int>(std::lround(std::clamp(inches, -1e6, 1e6) * 96)); }

// Text between tags.
AnsiString EscapeText(const AnsiString& text) {
  AnsiString out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out.push_back(c);
  }
  return out;
}

// An attribute value inside double quotes.
AnsiString EscapeAttribute(const AnsiString& text) {
  AnsiString out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '"')
      out += "&quot;";
    else if (c == '<')
      out += "&lt;";
    else
      out.push_back(c);
  }
  return out;
}

// A JavaScript string inside double quotes, inside a script element.
AnsiString EscapeScript(const AnsiString& text) {
  AnsiString out;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '<' || u < 0x20 || u == 0x7F) {
      out += "\\x" + Hex2(u);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

void ReplaceNoCase(AnsiString& text, const AnsiString& marker, const AnsiString& value) {
  AnsiString upper = UpperCase(text), key = UpperCase(marker);
  std::size_t pos = 0;
  std::vector<std::size_t> at;
  while ((pos = upper.find(key, pos)) != std::string::npos) {
    at.push_back(pos);
    pos += key.size();
  }
  for (auto it = at.rbegin(); it != at.rend(); ++it) text.replace(*it, key.size(), value);
}

const char* const kScript[] = {
    "",
    "function GotoPage(APageNo) {",
    "  location.href = GPageURL.replace(/{%PAGENO%}/,APageNo);",
    "}",
    "",
    "function NextPage() {",
    "  if (GPageNo < GPageCount)",
    "    {GotoPage(GPageNo + 1);}",
    "  else",
    "    {window.alert(\"This is the last page.\")}",
    "}",
    "",
    "function PrevPage() {",
    "  if (GPageNo > 1)",
    "    {GotoPage(GPageNo - 1);}",
    "  else",
    "    {window.alert(\"This is the first page.\")}",
    "}",
    "",
    "</SCRIPT>",
};

const char* const kBodyStart[] = {
    "<HTML><HEAD>",
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1250\">",
    "<STYLE TYPE=\"text/css\">",
    "<!--",
    "DIV {position:absolute}",
    "-->",
    "</STYLE>",
    "</HEAD>",
    "<BODY>",
};

const char* const kFooter[] = {
    "<DIV style=\"COLOR: #000000; FONT: 10pt 'Arial'; LEFT: 0px; TOP: {%MaxY%}px\">",
    "<HR><P ALIGN=CENTER>",
    "<A HREF=\"{%PrevPageURL%}\">Previous Page</A>",
    " --------- ",
    "<A HREF=\"{%NextPageURL%}\">Next Page</A>",
    "</P></DIV></BODY></HTML>",
};

}  // namespace

TRptRenderHTML::TRptRenderHTML(TComponent* owner) : TRptRenderStream(owner) {
  SetDisplayName("Web Page (HTML)");
  FileExtension = "*.html;*.htm";
}

std::string TRptRenderHTML::ColorGif(TColor color) {
  TColor rgb = ColorToRGB(color);
  std::string gif("GIF89a\x02\x00\x02\x00\xB3\x00\x00", 13);
  gif.push_back(static_cast<char>(GetRValue(rgb)));
  gif.push_back(static_cast<char>(GetGValue(rgb)));
  gif.push_back(static_cast<char>(GetBValue(rgb)));
  gif.append(45, '\0');
  gif.append("\x2C\x00\x00\x00\x00\x02\x00\x02\x00\x00\x04\x03\x10\x48\x10\x00\x3B", 17);
  return gif;
}

AnsiString TRptRenderHTML::ColorText(TColor color) {
  TColor rgb = ColorToRGB(color);
  return Hex2(GetRValue(rgb)) + Hex2(GetGValue(rgb)) + Hex2(GetBValue(rgb));
}

void TRptRenderHTML::RenderFile(TStream* stream, const AnsiString& fileName) {
  AnsiString ext = ExtractFileExt(fileName);
  AnsiString base = fileName.substr(0, fileName.size() - ext.size());
  if (ext.empty() || ext == ".") ext = DefaultExtension(FileExtension);
  int count = CheckedPageCount(stream);
  for (int i = 1; i <= count; ++i) {
    stream->SetPosition(0);
    TRptRenderHTML page;
    page.CacheDir = CacheDir;
    page.ServerMode = ServerMode;
    page.PageURL = ExtractFileName(base) + "{%PAGENO%}" + ext;
    page.OpenOutputFile(base + IntToStr(i) + ext);
    TRptConverter converter(stream, &page);
    converter.Generate(i, 0);
    page.CloseOutputFile();
  }
}

AnsiString TRptRenderHTML::Expand(const AnsiString& text) const {
  AnsiString out = text;
  int page = Converter ? Converter->CurrentPage() : 1;
  int total = Converter ? Converter->PageCount() : 1;
  ReplaceNoCase(out, "{%PageNo%}", IntToStr(page));
  ReplaceNoCase(out, "{%TotalPages%}", IntToStr(total));
  ReplaceNoCase(out, "{%MaxY%}", IntToStr(Px(maxY_ + 1) + topOffset_));
  ReplaceNoCase(out, "{%PrevPageURL%}", "javascript:PrevPage();");
  ReplaceNoCase(out, "{%NextPageURL%}", "javascript:NextPage();");
  return out;
}

void TRptRenderHTML::PageBegin() {
  maxY_ = 0;
  PrintLn(Expand(""));
  PrintLn("<SCRIPT Language=Javascript>");
  AnsiString url = PageURL;
  std::replace(url.begin(), url.end(), '\\', '/');
  PrintLn("var GPageURL = \"" + EscapeScript(url) + "\";");
  PrintLn("var GPageNo = " + IntToStr(Converter ? Converter->CurrentPage() : 1) + ";");
  PrintLn("var GPageCount = " + IntToStr(Converter ? Converter->PageCount() : 1) + ";");
  for (const char* line : kScript) PrintLn(line);
  for (const char* line : kBodyStart) PrintLn(Expand(line));
}

void TRptRenderHTML::PageEnd() {
  for (const char* line : kFooter) PrintLn(Expand(line));
}

AnsiString TRptRenderHTML::FontStyle() const {
  if (!Converter) return "";
  const TFont& f = Converter->Font();
  AnsiString name;
  for (char c : f.Name()) {
    if (c == '\'' || c == '\\') name.push_back('\\');
    name.push_back(c);
  }
  AnsiString out = AnsiString("font:") + (f.Style().Contains(fsItalic) ? "italic " : "normal ") +
                   (f.Style().Contains(fsBold) ? "bold " : "normal ") + IntToStr(static_cast<int>(Converter->FontPoints())) +
                   "pt '" + EscapeAttribute(name) + "'";
  if (f.Style().Contains(fsUnderline)) out += ";text-decoration:underline";
  if (f.Color() != clBlack) out += ";color:#" + ColorText(f.Color());
  return out;
}

void TRptRenderHTML::Element(double x, double y, double w, double h, const AnsiString& content, bool fontStyle) {
  AnsiString line = "<DIV STYLE=\"left:" + IntToStr(Px(x) + leftOffset_) + ";top:" + IntToStr(Px(y) + topOffset_) + ";";
  if (w > 0) line += "width:" + IntToStr(Px(w)) + ";";
  if (h > 0) line += "height:" + IntToStr(Px(h)) + ";";
  if (fontStyle) line += FontStyle();
  line += "\">" + content + "</DIV>";
  PrintLn(line);
  maxY_ = std::max(maxY_, y + std::max(h, 0.0));
}

void TRptRenderHTML::TextLeftAt(const AnsiString& text, double x, double y) {
  double size = Converter ? Converter->FontSizeInches() : 0;
  // The width is the character count taken as inches: wide enough that
  // the text never wraps.
  Element(x, y - size, static_cast<double>(text.size()), 0, EscapeText(text), true);
}

void TRptRenderHTML::TextCenterAt(const AnsiString& text, double x, double y) {
  double size = Converter ? Converter->FontSizeInches() : 0;
  Element(0, y - size - 1.0 / 96, 2 * x, 0, "<P ALIGN=CENTER>" + EscapeText(text), true);
}

void TRptRenderHTML::TextRightAt(const AnsiString& text, double x, double y) {
  double size = Converter ? Converter->FontSizeInches() : 0;
  Element(0, y - size, x, 0, "<P ALIGN=RIGHT>" + EscapeText(text), true);
}

void TRptRenderHTML::TextBlockAt(const AnsiString& text, double x, double, double y) { TextLeftAt(text, x, y); }

AnsiString TRptRenderHTML::CacheFolder() const {
  AnsiString dir = CacheDir.empty() ? GetCurrentDir() : CacheDir;
  if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += "/";
  std::replace(dir.begin(), dir.end(), '\\', '/');
  return dir;
}

void TRptRenderHTML::ColorBlock(TColor color, double x, double y, double w, double h) {
  AnsiString src;
  if (ServerMode) {
    src = "/Color/" + ColorText(color) + ".gif";
  } else {
    src = CacheFolder() + ColorText(color) + ".gif";
    std::string gif = ColorGif(color);
    TFileStream file(src, fmCreate);
    file.WriteBuffer(gif.data(), static_cast<int64_t>(gif.size()));
  }
  Element(x, y, w, h,
          "<IMG SRC=\"" + EscapeAttribute(src) + "\" WIDTH=" + IntToStr(std::max(Px(w), 1)) +
              " HEIGHT=" + IntToStr(std::max(Px(h), 1)) + ">",
          false);
}

void TRptRenderHTML::Rectangle(double x1, double y1, double x2, double y2) {
  double l = std::min(x1, x2), r = std::max(x1, x2), t = std::min(y1, y2), b = std::max(y1, y2);
  double w = r - l, h = b - t, line = 1.0 / 96;
  // A clear brush or pen paints nothing, as on paper.
  if (Converter && Converter->Brush().Style() != bsClear) ColorBlock(Converter->Brush().Color(), l, t, w, h);
  if (Converter && Converter->Pen().Style() == psClear) return;
  TColor pen = Converter ? Converter->Pen().Color() : clBlack;
  ColorBlock(pen, l, t, line, h);
  ColorBlock(pen, l, b - line, w, line);
  ColorBlock(pen, r - line, t, line, h);
  ColorBlock(pen, l, t, w, line);
}

void TRptRenderHTML::FillRect(const TRect& r) { Rectangle(r.Left / 72.0, r.Top / 72.0, r.Right / 72.0, r.Bottom / 72.0); }

void TRptRenderHTML::MoveTo(double x, double y) {
  moveX_ = x;
  moveY_ = y;
}

void TRptRenderHTML::LineTo(double x, double y) {
  if (Converter && Converter->Pen().Style() == psClear) return;
  TColor pen = Converter ? Converter->Pen().Color() : clBlack;
  double thick = std::max(PenWidth, 1.0 / 96);
  if (y == moveY_)
    ColorBlock(pen, std::min(x, moveX_), y, std::abs(x - moveX_), thick);
  else if (x == moveX_)
    ColorBlock(pen, x, std::min(y, moveY_), thick, std::abs(y - moveY_));
}

AnsiString TRptRenderHTML::NewCacheFile(const AnsiString& suffix) {
  AnsiString folder = CacheFolder();
  std::optional<std::string> disk = ExistingDiskPath(folder);
  if (!disk) throw EReportError("NewCacheFile error.");
  std::string path = *disk;
  if (path.empty() || path.back() != '/') path += "/";
  path += "jpgXXXXXX" + suffix;
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  int fd = mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (fd < 0) throw EReportError("NewCacheFile error.");
  ::close(fd);
  std::string made(name.data());
  return folder + made.substr(made.rfind('/') + 1);
}

void TRptRenderHTML::Picture(const TBitmap& bitmap, const AnsiString& suffix, double x1, double y1, double x2,
                             double y2) {
  if (bitmap.Empty()) return;
  AnsiString file = NewCacheFile(suffix);
  std::string jpeg = EncodeJpeg(bitmap, kJpegQuality);
  {
    TFileStream out(file, fmCreate);
    out.WriteBuffer(jpeg.data(), static_cast<int64_t>(jpeg.size()));
  }
  AnsiString src = ServerMode ? "/Cache/" + ExtractFileName(file) : file;
  double l = std::min(x1, x2), t = std::min(y1, y2), w = std::abs(x2 - x1), h = std::abs(y2 - y1);
  Element(l, t, w, h,
          "<IMG Src=\"" + EscapeAttribute(src) + "\" width=" + IntToStr(Px(w)) + " height=" + IntToStr(Px(h)) + ">",
          false);
}

void TRptRenderHTML::PrintBitmapRect(TBitmap* bitmap, double x1, double y1, double x2, double y2) {
  if (bitmap) Picture(*bitmap, "", x1, y1, x2, y2);
}

void TRptRenderHTML::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic) return;
  double x1 = rect.Left / 72.0, y1 = rect.Top / 72.0, x2 = rect.Right / 72.0, y2 = rect.Bottom / 72.0;
  auto bitmap = DrawnBitmap(graphic, std::abs(x2 - x1) * 300, std::abs(y2 - y1) * 300);
  Picture(*bitmap, ServerMode ? "" : ".jpg", x1, y1, x2, y2);
}
