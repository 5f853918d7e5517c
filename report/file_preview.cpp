#include "report/file_preview.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"

namespace {

// The screen's resolution the page bitmap is drawn at.
class ScreenDevice : public TRptRenderDevice {
 public:
  explicit ScreenDevice(TCanvas* canvas) : TRptRenderDevice(canvas) {}
  int XDPI() override { return 96; }
  int YDPI() override { return 96; }
  void RawData(const char*, int) override {}
};

constexpr TColor kGutter = static_cast<TColor>(0x80FFFF);  // RGB 255, 255, 128
constexpr TColor kCorner = static_cast<TColor>(0xC0C0C0);

bool LeftRuler(TRulerType t) { return t == rtVertCm || t == rtBothCm || t == rtVertIn || t == rtBothIn; }
bool TopRuler(TRulerType t) { return t == rtHorizCm || t == rtBothCm || t == rtHorizIn || t == rtBothIn; }

}  // namespace

TFilePreview::TFilePreview(TComponent* owner) : TFilePrinter(owner) {}

TFilePreview::~TFilePreview() {
  try {
    if (running_) FinishDocument();
  } catch (...) {
  }
}

void TFilePreview::SetMonochrome(bool on) {
  if (on && shadowDepth_ > 0) {
    ShowMessage(RptText("Monochrome not allowed while shadows are in effect.") + "\r" +
                RptText("Change ShadowDepth to 0 first"));
    return;
  }
  monochrome_ = on;
}

void TFilePreview::SetShadowDepth(int depth) {
  if (depth > 0 && monochrome_) {
    ShowMessage(RptText("Shadows not allowed while monochrome in effect.") + "\r" +
                RptText("Change Monochrome to false first"));
    return;
  }
  shadowDepth_ = std::max(0, depth);
}

double TFilePreview::MarginAt100() const { return MarginPercent / 100 * 96 * StreamPageWidth(); }

int TFilePreview::MarginPixels() const {
  double m = MarginAt100();
  return static_cast<int>(std::lround(MarginMethod == mmScaled ? m * zoomFactor_ / 100 : m));
}

void TFilePreview::SetZoomFactor(double value) {
  double pw = StreamPageWidth(), ph = StreamPageHeight();
  int shadow = monochrome_ ? 0 : shadowDepth_;
  int gl = LeftRuler(RulerType) ? 20 : 0, gt = TopRuler(RulerType) ? 20 : 0;
  double m = MarginAt100();
  double z;
  if (value <= -1.9 && ScrollBox) {
    double b = ScrollBox->Width() - shadow - gl;
    auto fit = [&] {
      return MarginMethod == mmFixed ? (b - frameW_ - 2 * std::round(m)) / (96 * pw)
                                     : (b - frameW_) / (96 * pw * (MarginPercent / 50 + 1));
    };
    z = fit();
    double margin = MarginMethod == mmFixed ? std::round(m) : m * z;
    double available = ScrollBox->Height() - shadow - gt - frameH_;
    if (96 * ph * z + 2 * margin > available) {
      b -= vbarSize_;
      z = fit();
    }
    z *= 100;
  } else if (value <= 0 && ScrollBox) {
    double a = ScrollBox->Width() - shadow - gl - 4, b = ScrollBox->Height() - shadow - gt - 4;
    double zx, zy;
    if (MarginMethod == mmFixed) {
      zx = (a - 2 * std::round(m)) / (96 * pw);
      zy = (b - 2 * std::round(m)) / (96 * ph);
    } else {
      zx = a / (96 * pw * (MarginPercent / 50 + 1));
      zy = b / (96 * ph + 96 * pw * MarginPercent / 50);
    }
    z = 100 * std::min(zx, zy);
  } else {
    z = std::clamp(value, 10.0, 200.0);
  }
  zoomFactor_ = std::max(z, 1.0);
  if (OnZoomChange)
    OnZoomChange(this);
  else if (running_)
    RedrawPage();
}

void TFilePreview::StartDocument() {
  if (running_) return;
  if (!ScrollBox) throw EReportError(RptText("ScrollBox must be assigned for FilePreview component"));
  TakeReportDateTime();
  if (OnZoomChange) OnZoomChange(this);
  // The bars' thickness and the frame, measured on the scroll box itself.
  TControlScrollBar* h = ScrollBox->HorzScrollBar();
  TControlScrollBar* v = ScrollBox->VertScrollBar();
  int hr = h->Range(), vr = v->Range();
  h->SetRange(0);
  v->SetRange(0);
  frameW_ = ScrollBox->Width() - ScrollBox->ClientWidth();
  frameH_ = ScrollBox->Height() - ScrollBox->ClientHeight();
  v->SetRange(ScrollBox->ClientHeight() * 2);
  vbarSize_ = ScrollBox->Width() - frameW_ - ScrollBox->ClientWidth();
  v->SetRange(0);
  h->SetRange(ScrollBox->ClientWidth() * 2);
  hbarSize_ = ScrollBox->Height() - frameH_ - ScrollBox->ClientHeight();
  h->SetRange(hr);
  v->SetRange(vr);

  bitmap_ = std::make_unique<TBitmap>();
  bitmap_->SetSize(1, 1);
  if (monochrome_) bitmap_->SetMonochrome(true);
  screenDevice_ = std::make_unique<ScreenDevice>(bitmap_->Canvas());
  SetDevice(screenDevice_.get());
  delete image_;
  image_ = new TImage(ScrollBox->Owner());
  image_->SetParent(ScrollBox);
  image_->SetBounds(0, 0, 100, 100);
  // The screen's resolution, whatever device measured before.
  SetResolution(screenDevice_->XDPI(), screenDevice_->YDPI());
  if (!BeginReplay()) {
    SetDevice(nullptr);
    screenDevice_.reset();
    return;
  }
  running_ = true;
  if (PagesInStream() > 0) PlayPage(1);
  else SetCurrentPage(0);
}

void TFilePreview::FinishDocument() {
  if (!running_) return;
  running_ = false;
  EndReplay();
  if (image_) image_->SetPicture(nullptr);
  SetDevice(nullptr);
  screenDevice_.reset();
  bitmap_.reset();
}

void TFilePreview::DrawBackground(int faceW, int faceH, int gl, int gt) {
  TCanvas* c = bitmap_->Canvas();
  int shadow = monochrome_ ? 0 : shadowDepth_;
  int w = bitmap_->Width(), h = bitmap_->Height();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(ScrollBox ? ScrollBox->Color() : clBtnFace);
  c->FillRect(Rect(0, 0, w, h));
  if (shadow > 0) {
    c->Brush()->SetColor(clBlack);
    c->FillRect(Rect(gl + faceW, gt + shadow, w, h));
    c->FillRect(Rect(gl + shadow, gt + faceH, w, h));
  }
  c->Pen()->SetColor(clBlack);
  c->Pen()->SetStyle(psSolid);
  c->Pen()->SetWidth(1);
  if (gl > 0 && gt > 0) {
    c->Brush()->SetColor(kCorner);
    c->FillRect(Rect(0, 0, gl, gt));
  }
  c->Brush()->SetColor(kGutter);
  if (gl > 0) c->Rectangle(0, gt, gl, gt + faceH);
  if (gt > 0) c->Rectangle(gl, 0, gl + faceW, gt);
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(gl, gt, gl + faceW, gt + faceH));
}

void TFilePreview::DrawRulers(int faceW, int faceH, int gl, int gt) {
  if (gl == 0 && gt == 0) return;
  TCanvas* c = bitmap_->Canvas();
  bool cm = RulerType == rtHorizCm || RulerType == rtVertCm || RulerType == rtBothCm;
  int perUnit = cm ? 10 : 8;
  TFont saved = *c->Font();
  TFont f;
  f.SetName("Arial");
  f.SetHeight(-static_cast<int>(std::lround(7.0 * 96 / 72)));
  f.SetColor(clBlack);
  c->Font()->Assign(&f);
  c->SetBackgroundMode(bkmTransparent);
  auto tick = [&](int i) {
    if (cm) return i % 10 == 0 ? 18 : i % 5 == 0 ? 15 : 5;
    return i % 8 == 0 ? 18 : i % 4 == 0 ? 15 : i % 2 == 0 ? 10 : 5;
  };
  // Pixels per tick: the page's pixels per inch over the ticks per inch.
  double stepX = faceW / StreamPageWidth() / (cm ? 25.4 : 8);
  double stepY = faceH / StreamPageHeight() / (cm ? 25.4 : 8);
  c->Pen()->SetColor(clBlack);
  if (gt > 0) {
    for (int i = 1; gl + i * stepX < gl + faceW; ++i) {
      int x = gl + static_cast<int>(std::lround(i * stepX));
      c->MoveTo(x, gt - 1);
      c->LineTo(x, gt - 1 - tick(i));
      if (i % perUnit == 0) {
        AnsiString label = IntToStr(i / perUnit).substr(0, 3);
        c->TextOut(x - 1 - c->TextWidth(label), 0, label);
      }
    }
  }
  if (gl > 0) {
    for (int i = 1; gt + i * stepY < gt + faceH; ++i) {
      int y = gt + static_cast<int>(std::lround(i * stepY));
      c->MoveTo(gl - 1, y);
      c->LineTo(gl - 1 - tick(i), y);
      if (i % perUnit == 0) {
        AnsiString label = IntToStr(i / perUnit).substr(0, 3);
        c->TextOut(2, y - c->TextHeight(label), label);
      }
    }
  }
  c->Font()->Assign(&saved);
}

void TFilePreview::PlayPage(int n) {
  if (!running_) return;
  int gl = LeftRuler(RulerType) ? 20 : 0, gt = TopRuler(RulerType) ? 20 : 0;
  int shadow = monochrome_ ? 0 : shadowDepth_;
  SetPixelOffset(gl, gt);
  TCursor oldCursor = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  GotoPage(n);
  if (OnPageChange) OnPageChange(this);
  int hpos = ScrollBox->HorzScrollBar()->Position(), vpos = ScrollBox->VertScrollBar()->Position();
  ScrollBox->HorzScrollBar()->SetPosition(0);
  ScrollBox->VertScrollBar()->SetPosition(0);
  double zoom = zoomFactor_ / 100;
  int faceW = static_cast<int>(std::lround(96 * StreamPageWidth() * zoom));
  int faceH = static_cast<int>(std::lround(96 * StreamPageHeight() * zoom));
  bitmap_->SetSize(faceW + shadow + gl, faceH + shadow + gt);
  screenDevice_->SetCanvas(bitmap_->Canvas());
  DrawBackground(faceW, faceH, gl, gt);
  DrawRulers(faceW, faceH, gl, gt);
  TCanvas* c = bitmap_->Canvas();
  if (GridHoriz > 0 || GridVert > 0) {
    TPen saved;
    saved.Assign(c->Pen());
    c->Pen()->Assign(&GridPen);
    if (GridHoriz > 0)
      for (double y = 96 * GridHoriz * zoom; y < faceH; y += 96 * GridHoriz * zoom) {
        c->MoveTo(gl, gt + static_cast<int>(std::lround(y)));
        c->LineTo(gl + faceW, gt + static_cast<int>(std::lround(y)));
      }
    if (GridVert > 0)
      for (double x = 96 * GridVert * zoom; x < faceW; x += 96 * GridVert * zoom) {
        c->MoveTo(gl + static_cast<int>(std::lround(x)), gt);
        c->LineTo(gl + static_cast<int>(std::lround(x)), gt + faceH);
      }
    c->Pen()->Assign(&saved);
  }
  SetZoom(zoomFactor_);
  std::exception_ptr failure;
  try {
    ResetDocumentState();
    TFilePrinter::PlayPage(n);
  } catch (...) {
    failure = std::current_exception();
  }
  int m = MarginPixels();
  image_->SetBounds(m, m, bitmap_->Width(), bitmap_->Height());
  image_->SetPicture(bitmap_.get());
  image_->Invalidate();
  ScrollBox->HorzScrollBar()->SetRange(bitmap_->Width() + 2 * m);
  ScrollBox->VertScrollBar()->SetRange(bitmap_->Height() + 2 * m);
  ScrollBox->HorzScrollBar()->SetPosition(hpos);
  ScrollBox->VertScrollBar()->SetPosition(vpos);
  Screen->SetCursor(oldCursor);
  FreeFontCache();
  LineBuffer().Clear();
  if (failure) std::rethrow_exception(failure);
}

void TFilePreview::PrevPage() {
  if (running_ && CurrentPage() > 1) PlayPage(std::max(1, CurrentPage() - PageInc));
}

void TFilePreview::NextPage() {
  if (running_ && CurrentPage() < PagesInStream()) PlayPage(std::min(PagesInStream(), CurrentPage() + PageInc));
}

void TFilePreview::ZoomIn() { SetZoomFactor(zoomFactor_ + ZoomInc); }

void TFilePreview::ZoomOut() {
  if (zoomFactor_ > ZoomInc) SetZoomFactor(zoomFactor_ - ZoomInc);
}

void TFilePreview::RedrawPage() {
  if (running_ && CurrentPage() > 0) PlayPage(CurrentPage());
}
