// TFilePrinter replays a page stream (page_stream.h) through the canvas
// output: it prints the pages of a stream in a range, forwards or in
// reverse, with the job settings stored in the stream. TFilePreview
// (file_preview.h) draws the pages on screen the same way.
//
// The stream is never trusted: every record is read through the bounded
// reader, the page chain is checked once when the header is read, and the
// values that reach the device are held to what it can take.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "report/canvas_report.h"
#include "report/page_stream.h"
#include "report/report_filer.h"

class TFilePrinter : public TCanvasReport {
 public:
  explicit TFilePrinter(TComponent* owner = nullptr);
  ~TFilePrinter() override;
  AnsiString ClassName() const override { return "TFilePrinter"; }

  const AnsiString& FileName() const { return fileName_; }
  void SetFileName(const AnsiString& name) { fileName_ = name; }
  TStreamMode StreamMode() const { return streamMode_; }
  void SetStreamMode(TStreamMode mode);
  TStream* Stream() const { return userStream_; }
  void SetStream(TStream* stream);
  // The job settings were chosen already: the stream's bin, collate,
  // duplex and copies are not applied.
  bool SettingsChosen = false;

  // The whole print job; 0 = first page / last page / the stream's copies.
  void PrintPages(int first, int last, int copies);
  void RunReport() override { PrintPages(0, 0, 0); }
  void StartDocument() override { PrintPages(0, 0, 0); }
  void FinishDocument() override {}

  // Positions the stream at the first content record of page n (clamped
  // to the pages of the stream).
  virtual void GotoPage(int n);
  virtual void PlayPage(int n);
  bool OpenInput();
  // Replays onto the report's device without a print job (the preview and
  // tests): opens the input and reads its header; EndReplay releases both.
  // Answers false when the input cannot be opened.
  bool BeginReplay();
  void EndReplay();
  void ReadHeader();
  // The header's page count (read on demand).
  int StreamPages();

  void SetNamedValue(const AnsiString& name, const AnsiString& value) override;
  AnsiString NamedValueText(const AnsiString& name) override;

 protected:
  // The input is open and its header read.
  bool InputReady() const { return reader_ != nullptr && headerRead_; }
  rps::TPageStreamReader* Reader() { return reader_.get(); }
  void CloseInput();
  double StreamPageWidth() const { return pageWidth_; }
  double StreamPageHeight() const { return pageHeight_; }
  int PagesInStream() const { return reader_ ? static_cast<int>(reader_->Pages().size()) : 0; }
  // Replays the records of the current page up to its end.
  void PlayRecords();
  // A failure of the stream: the report is aborted, then the error raised.
  [[noreturn]] void Unexpected();

 private:
  std::unique_ptr<TGraphic> LoadGraphic(const rps::TStoredGraphic& g);
  int DX(double inches) const;
  int DY(double inches) const;
  double Clamp(double inches) const;
  void ReadPoints(std::vector<TPoint>& points);
  void FitFontWidth(double sample);

  AnsiString fileName_;
  TStreamMode streamMode_ = smMemory;
  TStream* userStream_ = nullptr;
  std::unique_ptr<TStream> ownStream_;
  TStream* input_ = nullptr;
  std::unique_ptr<rps::TPageStreamReader> reader_;
  bool headerRead_ = false;
  int headerPages_ = 0;
  double pageWidth_ = 8.5, pageHeight_ = 11;
  int pendingOrientation_ = 2;  // 2 = none
  std::vector<std::pair<AnsiString, AnsiString>> named_;
  std::unique_ptr<TBitmap> brushBitmap_;
};
