// Panels (bevels and caption as the library paints them), timers over
// QTimer and the gauge.
#include "platform/gui/ext_controls.h"

#include <QTimer>

#include <algorithm>

#include "platform/gui/widget_bridge.h"

using namespace gui_detail;

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  canvas->Pen()->SetWidth(1);
  --rect.Bottom;
  --rect.Right;
  while (width-- > 0) {
    TPoint topLeft{rect.Left, rect.Top}, topRight{rect.Right, rect.Top};
    TPoint bottomLeft{rect.Left, rect.Bottom}, bottomRight{rect.Right, rect.Bottom};
    canvas->Pen()->SetColor(topColor);
    canvas->Polyline({bottomLeft, topLeft, topRight});
    canvas->Pen()->SetColor(bottomColor);
    --bottomLeft.x;
    canvas->Polyline({topRight, bottomRight, bottomLeft});
    rect = InflateRect(rect, -1, -1);
  }
  ++rect.Bottom;
  ++rect.Right;
}

// ------------------------------------------------------------- TCustomPanel

TImage::TImage(TComponent* owner) : TGraphicControl(owner) { SetBoundsQuietly(0, 0, 105, 105); }

void TImage::SetPicture(TBitmap* bitmap) {
  picture_ = bitmap;
  Invalidate();
}

void TImage::Paint() {
  if (picture_ && !picture_->Empty()) Canvas()->Draw(0, 0, picture_);
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetColor(clBtnFace);
  SetBoundsQuietly(0, 0, 185, 41);
  ApplyGeometry();
}

void TCustomPanel::SetBevelOuter(TBevelCut b) {
  bevelOuter_ = b;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut b) {
  bevelInner_ = b;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int w) {
  bevelWidth_ = std::max(1, w);
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int w) {
  borderWidth_ = std::max(0, w);
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

TRect TCustomPanel::AlignRect() const {
  TRect r = InflateRect(ClientRect(), -borderWidth_, -borderWidth_);
  int bevel = 0;
  if (bevelOuter_ != bvNone) bevel += bevelWidth_;
  if (bevelInner_ != bvNone) bevel += bevelWidth_;
  return InflateRect(r, -bevel, -bevel);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  auto colors = [](TBevelCut b, TColor& top, TColor& bottom) {
    top = b == bvLowered ? clBtnShadow : clBtnHighlight;
    bottom = b == bvLowered ? clBtnHighlight : clBtnShadow;
  };
  TColor top, bottom;
  if (bevelOuter_ != bvNone) {
    colors(bevelOuter_, top, bottom);
    Frame3D(c, r, top, bottom, bevelWidth_);
  }
  Frame3D(c, r, Color(), Color(), borderWidth_);
  if (bevelInner_ != bvNone) {
    colors(bevelInner_, top, bottom);
    Frame3D(c, r, top, bottom, bevelWidth_);
  }
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  c->Brush()->SetStyle(bsClear);
  c->Font()->Assign(Font());
  int h = c->TextHeight("W");
  r.Top = (r.Bottom + r.Top - h) / 2;
  r.Bottom = r.Top + h;
  unsigned align = alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
  DrawText(c, Caption(), r, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | align);
}

// ------------------------------------------------------------------ TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  EnsureQtApplication();
  timer_ = std::make_unique<QTimer>();
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] {
    if (OnTimer) Guard(this, [this] { OnTimer(this); });
  });
  Update();
}

TTimer::~TTimer() { timer_->stop(); }

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Update();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::FireTick() {
  if (!enabled_ || interval_ == 0) return;
  Update();
  if (OnTimer) Guard(this, [this] { OnTimer(this); });
}

void TTimer::Update() {
  timer_->stop();
  if (enabled_ && interval_ > 0) timer_->start(static_cast<int>(interval_));
}

// ------------------------------------------------------------------ TGauge

TGauge::TGauge(TComponent* owner) : TGraphicControl(owner) {
  SetBoundsQuietly(0, 0, 100, 100);
  ApplyGeometry();
}

void TGauge::SetMinValue(int v) {
  min_ = v;
  if (max_ < min_) max_ = min_;
  progress_ = std::clamp(progress_, min_, max_);
  Invalidate();
}

void TGauge::SetMaxValue(int v) {
  max_ = v;
  if (min_ > max_) min_ = max_;
  progress_ = std::clamp(progress_, min_, max_);
  Invalidate();
}

void TGauge::SetProgress(int v) {
  v = std::clamp(v, min_, max_);
  if (v == progress_) return;
  progress_ = v;
  Invalidate();
}

int TGauge::PercentDone() const {
  if (max_ == min_) return 0;
  return static_cast<int>((static_cast<long long>(progress_) - min_) * 100 / (static_cast<long long>(max_) - min_));
}

void TGauge::SetKind(TGaugeKind k) {
  kind_ = k;
  Invalidate();
}

void TGauge::SetShowText(bool on) {
  showText_ = on;
  Invalidate();
}

void TGauge::SetForeColor(TColor c) {
  foreColor_ = c;
  Invalidate();
}

void TGauge::SetBackColor(TColor c) {
  backColor_ = c;
  Invalidate();
}

void TGauge::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  Invalidate();
}

void TGauge::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (borderStyle_ == bsSingle) {
    c->Brush()->SetColor(clBlack);
    c->FrameRect(r);
    r = InflateRect(r, -1, -1);
  }
  c->Brush()->SetColor(backColor_);
  c->FillRect(r);
  TRect bar = r;
  int pct = PercentDone();
  if (kind_ == gkHorizontalBar) {
    bar.Right = r.Left + r.Width() * pct / 100;
  } else if (kind_ == gkVerticalBar) {
    bar.Top = r.Bottom - r.Height() * pct / 100;
  } else {
    bar = TRect{};
  }
  c->Brush()->SetColor(foreColor_);
  c->FillRect(bar);
  if (!showText_) return;
  // The text reads in the back colour over the bar and the fore colour
  // elsewhere.
  AnsiString text = IntToStr(pct) + "%";
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  int x = r.Left + (r.Width() - c->TextWidth(text)) / 2;
  int y = r.Top + (r.Height() - c->TextHeight(text)) / 2;
  c->Font()->SetColor(foreColor_);
  TRect rest = r;
  if (kind_ == gkHorizontalBar) rest.Left = bar.Right;
  if (kind_ == gkVerticalBar) rest.Bottom = bar.Top;
  if (!rest.IsEmpty()) c->TextRect(rest, x, y, text);
  if (!bar.IsEmpty()) {
    c->Font()->SetColor(backColor_);
    c->TextRect(bar, x, y, text);
  }
}
