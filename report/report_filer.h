// TReportFiler: the report canvas that writes every output call of a
// running report as a record of a page stream (page_stream.h) instead of
// drawing it. The stream is kept in memory (and saved to FileName at the
// end when one is given), written straight to FileName, to a temporary file
// "RWxxxxxx" in the system temporary folder, or to a stream the caller
// hands in.
//
// Brush, pen and font state reach the stream as change records written
// just before the output that uses them; each page record repeats the
// complete state so any page can be replayed on its own.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "report/base_report.h"
#include "report/page_stream.h"

enum TStreamMode { smMemory, smFile, smUser, smTempFile };
enum TAccuracyMethod { amPositioning, amAppearance };

class TReportFiler : public TBaseReport {
 public:
  explicit TReportFiler(TComponent* owner = nullptr);
  ~TReportFiler() override;
  AnsiString ClassName() const override { return "TReportFiler"; }

  const AnsiString& FileName() const { return fileName_; }
  void SetFileName(const AnsiString& name) { fileName_ = name; }
  TStreamMode StreamMode() const { return streamMode_; }
  void SetStreamMode(TStreamMode mode) { streamMode_ = mode; }
  TAccuracyMethod AccuracyMethod() const { return accuracy_; }
  void SetAccuracyMethod(TAccuracyMethod m) { accuracy_ = m; }
  // The output stream: the caller's for smUser, else the filer's own while
  // it runs (the memory stream stays after the document for smMemory).
  TStream* Stream() const { return stream_; }
  void SetStream(TStream* stream) { userStream_ = stream; }

  int DestinationKind() override { return 2; }
  TCanvas* GetCanvas() override;
  void StartDocument() override;
  void FinishDocument() override;
  void NewPage() override;
  void AbortPage() override;

  void TextCenterAt(const AnsiString& text, double x) override;
  void TextLeftAt(const AnsiString& text, double x) override;
  void TextRightAt(const AnsiString& text, double x) override;
  void TextBlockAt(const AnsiString& text, double width, double x) override;
  void SetFrameMode(uint8_t mode) override;
  void SetBackColor(TColor color) override;
  void SetScaleX(double percent) override;
  void SetScaleY(double percent) override;
  void SetTextBKMode(TBKMode m) override;
  void SetOrientation(TOrientation o) override;
  bool SelectBin(const AnsiString& name) override;
  void UpdateLineHeight() override;
  void AllowPreviewOnly() override;
  void AllowPrinterOnly() override;
  void AllowAll() override;

  void DrawPlainRect(double x1, double y1, double x2, double y2) override;
  void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) override;
  void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) override;
  void Draw(double x, double y, TGraphic* graphic) override;
  void DrawFocusRect(const TRect& rect) override;
  void Ellipse(double x1, double y1, double x2, double y2) override;
  void FillRect(const TRect& rect) override;
  void FloodFill(double x, double y, TColor color, TFillStyle style) override;
  void FrameRect(const TRect& rect) override;
  void LineTo(double x, double y) override;
  void MoveTo(double x, double y) override;
  void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) override;
  void Polygon(const std::vector<TPoint>& points) override;
  void Polyline(const std::vector<TPoint>& points) override;
  void PrintBitmap(double x, double y, double scaleX, double scaleY, TBitmap* bitmap) override;
  void PrintBitmapRect(double x1, double y1, double x2, double y2, TBitmap* bitmap) override;
  void PrintImageRect(double x1, double y1, double x2, double y2, TStream* stream,
                      const AnsiString& extension) override;
  void Rectangle(double x1, double y1, double x2, double y2) override;
  void RoundRect(double x1, double y1, double x2, double y2, double cornerW, double cornerH) override;
  void StretchDraw(const TRect& rect, TGraphic* graphic) override;
  void TextRect(const TRect& rect, double x, double y, const AnsiString& text) override;
  void WriteDeviceText(const AnsiString& text) override;
  void WriteDeviceData(TStream* stream, int64_t count) override;
  void UnregisterGraphic(int index) override;
  void RegisterGraphic(int index) override;
  void ReuseGraphic(int index) override;

  AnsiString MacroText(int id) override;
  AnsiString MacroText(const AnsiString& name) override;
  void SetNamedValue(const AnsiString& name, const AnsiString& value) override;

 private:
  struct FontState {
    AnsiString name;
    TColor color = clBlack;
    uint8_t pitch = 0, charset = 1, placement = 0;
    bool bold = false, italic = false, underline = false, strikeOut = false, superscript = false,
         subscript = false;
    int rotation = 0;
    double size = 0;
  };

  // Whether a drawing record goes out now (printing and a page kept).
  bool Ready();
  bool StateReady();
  void Done();  // after a drawing record
  int64_t Pos() const;
  void WriteBytes(const void* data, std::size_t n);
  void Write(const std::string& bytes) { WriteBytes(bytes.data(), bytes.size()); }
  void FlushBuffer();
  void PatchLong(int64_t pos, int32_t value);
  void PatchWord(int64_t pos, int value);
  // Report units / inches to the stored page coordinates.
  double SX(double inches) const;
  double SY(double inches) const;
  void PutPointUnits(std::string& out, double x, double y) const;
  void PutDevicePoint(std::string& out, int x, int y) const;
  void PutDeviceRect(std::string& out, const TRect& r) const;
  void PutGraphic(std::string& out, TGraphic* graphic);
  void SyncState();
  void WriteBrushState(bool force);
  void WriteFontState(bool force);
  void WritePenState(bool force);
  void StartPageRecord();
  void EndPageRecord(bool final);
  void WriteText(uint8_t code, const AnsiString& text, double x, double width, double advance);
  void TextOut(const AnsiString& text, double x, int align);  // 0 left, 1 centre, 2 right
  double TextWidthInches(const AnsiString& text);
  void Shape(uint8_t code, std::initializer_list<double> coords);
  void OpenStream();
  void CloseStream();
  int FindNamed(const AnsiString& name) const;

  AnsiString fileName_;
  TStreamMode streamMode_ = smMemory;
  TAccuracyMethod accuracy_ = amAppearance;
  TStream* userStream_ = nullptr;
  TStream* stream_ = nullptr;
  std::unique_ptr<TStream> ownStream_;
  std::string buffer_;
  int suppress_ = 0;

  bool force_ = true;
  TColor brushColor_ = clWhite;
  int brushStyle_ = -1;
  bool brushBitmap_ = false;
  FontState font_;
  TColor penColor_ = clBlack;
  int penMode_ = -1, penStyle_ = -1;
  double penWidth_ = -1;

  int64_t pageRecordPos_ = 0;     // the current page's record, 0 = none
  int64_t prevPagePos_ = 0;       // the page before it
  int64_t pageCountPos_ = 0;
  int pagesWritten_ = 0;
  std::vector<int64_t> pagePositions_;
  std::vector<std::pair<AnsiString, int64_t>> named_;
  std::array<int64_t, 10> slots_{};
  int64_t lastGraphicPos_ = 0;
  int64_t pendingReuse_ = 0;
  uint8_t mask_ = rps::cAllowAll;
  std::unique_ptr<TRptRenderDevice> ownDevice_;
};
