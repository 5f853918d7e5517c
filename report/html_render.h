// TRptRenderHTML turns a page stream into one HTML file per report page
// (report1.html, report2.html, ...). Texts, rectangles and straight lines
// become absolutely positioned DIVs; filled areas and lines are one-colour
// GIF images stretched to size; pictures are JPEG files in a cache folder.
// The pages link to each other through a small script.
//
// Pages are written in windows-1250 (the program's text) and say so; texts
// and attribute values are escaped, so a description such as "<a> & b"
// shows as typed.
#pragma once

#include "report/rpt_render.h"

class TRptRenderHTML : public TRptRenderStream {
 public:
  explicit TRptRenderHTML(TComponent* owner = nullptr);
  AnsiString ClassName() const override { return "TRptRenderHTML"; }

  AnsiString CacheDir;  // folder of the picture files; empty = the current folder
  bool ServerMode = false;  // pictures referred to as "/Cache/..." and "/Color/..."
  // The other pages' file name with "{%PAGENO%}" for the number.
  AnsiString PageURL;

  // One file per page: base + number + extension (".html" when the name
  // has none). The stream's header and chain are checked first; a stream
  // without pages writes no file.
  void RenderFile(TStream* stream, const AnsiString& fileName) override;

  void PageBegin() override;
  void PageEnd() override;
  void TextLeftAt(const AnsiString& text, double x, double y) override;
  void TextCenterAt(const AnsiString& text, double x, double y) override;
  void TextRightAt(const AnsiString& text, double x, double y) override;
  void TextBlockAt(const AnsiString& text, double x, double width, double y) override;
  void Rectangle(double x1, double y1, double x2, double y2) override;
  void FillRect(const TRect& rect) override;
  void MoveTo(double x, double y) override;
  void LineTo(double x, double y) override;
  void PrintBitmapRect(TBitmap* bitmap, double x1, double y1, double x2, double y2) override;
  void StretchDraw(const TRect& rect, TGraphic* graphic) override;

  // The 78-byte GIF of a 2 x 2 picture in one colour.
  static std::string ColorGif(TColor color);
  // "RRGGBB" in upper-case hexadecimal.
  static AnsiString ColorText(TColor color);

 private:
  AnsiString Expand(const AnsiString& text) const;
  void Element(double x, double y, double w, double h, const AnsiString& content, bool fontStyle);
  void ColorBlock(TColor color, double x, double y, double w, double h);
  void Picture(const TBitmap& bitmap, const AnsiString& suffix, double x1, double y1, double x2, double y2);
  // A new, unique picture file in the cache folder: its program name.
  AnsiString NewCacheFile(const AnsiString& suffix);
  AnsiString CacheFolder() const;  // with its trailing "/"
  AnsiString FontStyle() const;

  double maxY_ = 0;
  double moveX_ = 0, moveY_ = 0;
  int leftOffset_ = 0, topOffset_ = 0;
};
