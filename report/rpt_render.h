// Renderers turn a page stream into another file format. TRptConverter
// reads the stream (through the bounded page-stream reader) and calls the
// renderer's operations page by page, keeping the drawing state the records
// change; the renderer reads that state through its link to the converter.
// Every renderer registers itself in a global list under its display name,
// from which the setup form offers the active ones.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/gui/graphics.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/stringlist.h"
#include "report/page_stream.h"
#include "report/rpt_common.h"

class TRptConverter;

class TRptRender : public TRptComponent {
 public:
  explicit TRptRender(TComponent* owner = nullptr);
  ~TRptRender() override;
  AnsiString ClassName() const override { return "TRptRender"; }

  bool Active = true;
  const AnsiString& DisplayName() const { return displayName_; }
  // Re-registers the renderer under the new name.
  void SetDisplayName(const AnsiString& name);
  AnsiString FileExtension;  // a file-dialog pattern such as "*.pdf"

  // State the converter fills in.
  double PageWidth = 8.5, PageHeight = 11;  // inches
  double PenWidth = 0;                      // inches
  int FrameMode = 0;
  TRptConverter* Converter = nullptr;
  TStringList MacroData;  // texts of macro identifiers 16-35

  // Coordinates in inches unless said otherwise.
  virtual void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  virtual void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  virtual void TextCenterAt(const AnsiString& text, double x, double y);
  virtual void Ellipse(double x1, double y1, double x2, double y2);
  virtual void FontChanged();
  virtual void TextLeftAt(const AnsiString& text, double x, double y);
  virtual void LineTo(double x, double y);
  virtual void MoveTo(double x, double y);
  virtual void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  // Points in 1/1248 inch; last is the index of the last point.
  virtual void Polyline(const std::vector<TPoint>& points, int last);
  virtual void Polygon(const std::vector<TPoint>& points, int last);
  virtual void TextRightAt(const AnsiString& text, double x, double y);
  virtual void PrintImageRect(TStream* image, const AnsiString& extension, double x1, double y1, double x2,
                              double y2);
  virtual void PrintBitmapRect(TBitmap* bitmap, double x1, double y1, double x2, double y2);
  virtual void PrintBitmap(TBitmap* bitmap, double x, double y, double scaleX, double scaleY);
  // Rectangle in points (1/72 inch).
  virtual void StretchDraw(const TRect& rect, TGraphic* graphic);
  virtual void Draw(TGraphic* graphic, double x, double y);
  virtual void TextBlockAt(const AnsiString& text, double x, double width, double y);
  virtual void Rectangle(double x1, double y1, double x2, double y2);
  virtual void FillRect(const TRect& rect);  // points
  virtual void TextRect(const TRect& rect, const AnsiString& text, double x, double y);  // rect in points
  virtual void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH);
  virtual void DocBegin();
  virtual void DocEnd();
  virtual void PageBegin();
  virtual void PageEnd();
  virtual void RenderFile(TStream* stream, const AnsiString& fileName);

 private:
  AnsiString displayName_ = "RptRender";
};

// A renderer writing to an output stream.
class TRptRenderStream : public TRptRender {
 public:
  explicit TRptRenderStream(TComponent* owner = nullptr) : TRptRender(owner) {}
  ~TRptRenderStream() override;
  AnsiString ClassName() const override { return "TRptRenderStream"; }

  TStream* OutputStream = nullptr;
  virtual void Print(const AnsiString& text);
  template <typename... Args>
  void PrintF(std::string_view fmt, const Args&... args) {
    Print(Format(fmt, args...));
  }
  virtual void PrintLn(const AnsiString& text = "");
  template <typename... Args>
  void PrintLnF(std::string_view fmt, const Args&... args) {
    PrintLn(Format(fmt, args...));
  }
  // Creates the named file (replacing it) as the output.
  void OpenOutputFile(const AnsiString& fileName);
  void CloseOutputFile();

 private:
  std::unique_ptr<TStream> ownFile_;
};

// The active renderers: (display name, renderer) into list.
void RendererNames(TStringList* list);
// "Name|*.ext|Name|*.ext" of the active renderers.
AnsiString RendererFilter();
// Every registered renderer, active or not, in registration order.
std::vector<TRptRender*> RegisteredRenderers();

class TRptConverter : public TObject {
 public:
  TRptConverter(TStream* input, TRptRender* renderer);
  ~TRptConverter() override;
  AnsiString ClassName() const override { return "TRptConverter"; }

  // page 0: every page; p > 0: that page only, with total as the page count
  // (0 = the header's).
  void Generate(int page, int total);

  // The drawing state the renderer reads.
  const TFont& Font() const { return font_; }
  double FontPoints() const { return fontPoints_; }
  double FontSizeInches() const { return fontPoints_ / 72.0; }
  bool Superscript() const { return superscript_; }
  bool Subscript() const { return subscript_; }
  int Rotation() const { return rotation_; }
  const TBrush& Brush() const { return brush_; }
  const TPen& Pen() const { return pen_; }
  double CurrentX() const { return curX_; }
  double CurrentY() const { return curY_; }
  int CurrentPage() const { return currentPage_; }
  int PageCount() const { return pageCount_; }
  const AnsiString& Title() const { return title_; }
  // The page stream being converted.
  TStream* Input() const { return input_; }
  TDateTime ConversionTime() const { return dateTime_; }
  // The conversion's clock (tests).
  void SetClock(TDateTime fixed) { clock_ = fixed; }
  AnsiString NamedValue(const AnsiString& name) const;
  void ExpandMacros(AnsiString& text) const;

  virtual AnsiString DeviceName() const { return "Render"; }
  virtual AnsiString DriverName() const { return "Render"; }
  virtual AnsiString PortName() const { return "Render"; }

 protected:
  virtual std::unique_ptr<TGraphic> LoadGraphic(const rps::TStoredGraphic& g);

 private:
  void PlayPageToRender();
  void DrawText(uint8_t code, const AnsiString& text, double x, double y);
  void ApplyBlock(std::string_view block);
  double PieceWidth(const AnsiString& text);
  AnsiString MacroValue(int id) const;

  TStream* input_;
  TRptRender* renderer_;
  rps::TPageStreamReader reader_;
  TDateTime dateTime_ = 0;
  TDateTime clock_ = 0;
  int firstPage_ = 1, lastPage_ = 9999, pageCount_ = 0, currentPage_ = 0;
  AnsiString title_;
  double curX_ = 0, curY_ = 0;
  TFont font_;
  double fontPoints_ = 10;
  bool superscript_ = false, subscript_ = false;
  int rotation_ = 0;
  TBrush brush_;
  std::unique_ptr<TBitmap> brushBitmap_;
  TPen pen_;
  std::vector<std::pair<AnsiString, AnsiString>> named_;
  bool measuring_ = false;
};
