// TFilePreview draws one page of a page stream at a time into a page
// bitmap shown by an image control inside a scroll box: zoom (with fit to
// the page width or the whole page), margins, a drop shadow, rulers and a
// grid. The bitmap is drawn through a render device of its own at the
// screen's 96 dpi.
#pragma once

#include <memory>

#include "platform/gui/ext_controls.h"
#include "platform/gui/scroll_box.h"
#include "report/file_printer.h"

enum TMarginMethod { mmScaled, mmFixed };
enum TRulerType { rtNone, rtHorizCm, rtVertCm, rtBothCm, rtHorizIn, rtVertIn, rtBothIn };

class TFilePreview : public TFilePrinter {
 public:
  explicit TFilePreview(TComponent* owner = nullptr);
  ~TFilePreview() override;
  AnsiString ClassName() const override { return "TFilePreview"; }

  TScrollBox* ScrollBox = nullptr;
  int ZoomInc = 10;
  double ZoomFactor() const { return zoomFactor_; }
  // <= -1.9 fits the page width, -1.9..0 the whole page; else 10..200.
  void SetZoomFactor(double value);
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool on);
  int ShadowDepth() const { return shadowDepth_; }
  void SetShadowDepth(int depth);
  TMarginMethod MarginMethod = mmFixed;
  double MarginPercent = 0;
  TRulerType RulerType = rtNone;
  TPen GridPen;
  double GridHoriz = 0, GridVert = 0;  // inches; 0 = none
  int PageInc = 1;
  TNotifyEvent OnZoomChange;
  TNotifyEvent OnPageChange;

  int DestinationKind() override { return 1; }
  void StartDocument() override;
  void FinishDocument() override;
  void RunReport() override { StartDocument(); }
  void PlayPage(int n) override;
  void PrevPage();
  void NextPage();
  void ZoomIn();
  void ZoomOut();
  void RedrawPage();
  bool Running() const { return running_; }
  int PageCount() { return PagesInStream(); }
  TBitmap* PageBitmap() { return bitmap_.get(); }
  TImage* Image() { return image_; }
  // The margin around the page in pixels at the current zoom.
  int MarginPixels() const;

 private:
  double MarginAt100() const;
  void DrawBackground(int faceW, int faceH, int gutterL, int gutterT);
  void DrawRulers(int faceW, int faceH, int gutterL, int gutterT);

  double zoomFactor_ = 100;
  bool monochrome_ = false;
  int shadowDepth_ = 0;
  bool running_ = false;
  std::unique_ptr<TBitmap> bitmap_;
  std::unique_ptr<TRptRenderDevice> screenDevice_;
  TImage* image_ = nullptr;
  int hbarSize_ = 0, vbarSize_ = 0, frameW_ = 0, frameH_ = 0;
};
