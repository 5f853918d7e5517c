// The status bar. The size grip is Qt's own grip widget over the grip's
// rectangle: it paints nothing (the bar draws the grip) and lets the window
// system size the window from its bottom-right corner.
#include "ui/panels/status_bar.h"

#include <QSizeGrip>
#include <QWidget>

#include <cmath>

#include "platform/gui/forms.h"
#include "ui/panels/theme_services.h"

namespace {

class SilentGrip : public QSizeGrip {
 public:
  using QSizeGrip::QSizeGrip;

 protected:
  void paintEvent(QPaintEvent*) override {}
};

}  // namespace

TFxStatusBar::TFxStatusBar(TComponent* owner) : TFxCustomPanel(owner) {
  SetAlign(alBottom);
  SetThemeAware(true);
  SetFlatColor(clBtnShadow);
  SetFlatColorAdjustment(30);
  grip_ = new SilentGrip(Widget());
  grip_->setCursor(Qt::SizeFDiagCursor);
  grip_->hide();
  ApplyAutoStyle();
}

TFxStatusBar::~TFxStatusBar() = default;

void TFxStatusBar::ApplyAutoStyle() {
  const bool keep = autoStyle_;
  applyingAutoStyle_ = true;
  SetBorderInner(fsNone);
  SetBorderOuter(fsNone);
  SetBorderSides(AllSides());
  SetHeight(19);
  SetBorderWidth(0);
  applyingAutoStyle_ = false;
  autoStyle_ = keep;
}

void TFxStatusBar::Loaded() {
  TFxCustomPanel::Loaded();
  if (autoStyle_) ApplyAutoStyle();
  UpdateSizeGrip();
}

void TFxStatusBar::SetBorderInner(TFrameStyleEx s) {
  if (s != BorderInner() && !applyingAutoStyle_) autoStyle_ = false;
  TFxCustomPanel::SetBorderInner(s);
}

void TFxStatusBar::SetBorderOuter(TFrameStyleEx s) {
  if (s != BorderOuter() && !applyingAutoStyle_) autoStyle_ = false;
  TFxCustomPanel::SetBorderOuter(s);
}

void TFxStatusBar::SetBorderSides(TSides s) {
  if (s != BorderSides() && !applyingAutoStyle_) autoStyle_ = false;
  TFxCustomPanel::SetBorderSides(s);
}

void TFxStatusBar::SetShowSizeGrip(bool on) {
  showSizeGrip_ = on;
  UpdateSizeGrip();
  Invalidate();
}

void TFxStatusBar::SetSimpleCaption(const AnsiString& text) {
  simpleCaption_ = text;
  Invalidate();
}

void TFxStatusBar::SetSimpleFrameStyle(TFrameStyle s) {
  simpleFrameStyle_ = s;
  Invalidate();
}

void TFxStatusBar::SetSimpleStatus(bool on) {
  simpleStatus_ = on;
  DisableAlign();
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->SetVisible(!on);
  EnableAlign();
  Repaint();
}

TRect TFxStatusBar::BarClientRect() const {
  TRect r = ClientRect();
  if (!SharedThemeServices()->ThemesAvailable()) {
    r.Bottom += 1;
    if (simpleStatus_) {
      r.Top = 2;
    } else {
      r.Top = 1;
      r.Left -= 1;
      r.Right += 1;
    }
  } else if (simpleStatus_) {
    r.Left += 1;
    r.Top += 1;
    r.Right -= 1;
  }
  return r;
}

TRect TFxStatusBar::AlignRect() const { return BarClientRect(); }

bool TFxStatusBar::SizeGripAllowed() const {
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  const bool sizeable = form->BorderStyle() == bsSizeable || form->BorderStyle() == bsSizeToolWin;
  return sizeable && form->WindowState() != wsMaximized;
}

bool TFxStatusBar::SizeGripShown() const { return showSizeGrip_ && SizeGripAllowed(); }

void TFxStatusBar::UpdateSizeGrip() {
  if (!grip_) return;
  if (SizeGripShown()) {
    const TRect r = SizeGripRect();
    grip_->setGeometry(r.Left, r.Top, r.Width(), r.Height());
    grip_->raise();
    grip_->show();
  } else {
    grip_->hide();
  }
}

void TFxStatusBar::DrawSimpleFrame(const TRect& rect) {
  TCanvas* c = Canvas();
  TThemeServices* themes = SharedThemeServices();
  if (ThemeAware() && themes->ThemesInUse()) {
    themes->DrawElement(c, kStatusPane, rect);
    return;
  }
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(rect);
  c->Pen()->SetWidth(1);
  if (simpleFrameStyle_ == fsFlat) {
    const TColor line = AdjustedColor(FlatColor(), FlatColorAdjustment());
    c->Pen()->SetColor(line);
    c->MoveTo(rect.Left + 1, rect.Top);
    c->LineTo(rect.Right - 1, rect.Top);
    c->MoveTo(rect.Right - 1, rect.Top + 1);
    c->LineTo(rect.Right - 1, rect.Bottom - 1);
    c->MoveTo(rect.Left + 1, rect.Bottom - 1);
    c->LineTo(rect.Right - 1, rect.Bottom - 1);
    c->MoveTo(rect.Left, rect.Top + 1);
    c->LineTo(rect.Left, rect.Bottom - 1);
  } else {
    PaintFrameStyle(c, rect, simpleFrameStyle_);
  }
}

void TFxStatusBar::DrawSizeGrip(TCanvas* c) {
  TRect r = BarClientRect();
  r.Bottom -= 1;
  const int R = r.Right, B = r.Bottom;
  TThemeServices* themes = SharedThemeServices();
  if (ThemeAware() && themes->ThemesInUse()) {
    themes->DrawElement(c, kStatusGripper, Rect(R - 20, r.Top, R, B));
    return;
  }
  const TPoint squares[] = {{R - 5, B - 12}, {R - 5, B - 8}, {R - 5, B - 4},
                            {R - 9, B - 8},  {R - 9, B - 4}, {R - 13, B - 4}};
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnHighlight);
  for (TPoint p : squares) c->FillRect(Rect(p.x, p.y, p.x + 2, p.y + 2));
  c->Brush()->SetColor(clBtnShadow);
  for (TPoint p : squares) c->FillRect(Rect(p.x - 1, p.y - 1, p.x + 1, p.y + 1));
}

void TFxStatusBar::Paint() {
  TCanvas* c = Canvas();
  TThemeServices* themes = SharedThemeServices();
  const TRect client = BarClientRect();
  if (ThemeAware() && themes->ThemesInUse()) {
    themes->DrawElement(c, kStatusRoot, Rect(0, 0, Width(), Height()));
    if (simpleStatus_ && !simpleCaption_.empty()) {
      c->SetFont(Font());
      themes->DrawText(c, kStatusPane, simpleCaption_, client);
    }
  } else {
    PaintPanel(c);
    if (simpleStatus_) {
      TRect r = client;
      r.Bottom -= 1;
      DrawSimpleFrame(r);
      r = InflateRect(r, -1, -1);
      c->SetFont(Font());
      c->Brush()->SetColor(Color());
      c->Brush()->SetStyle(bsSolid);
      c->SetTextAlign(TA_LEFT | TA_TOP);
      const int y = r.Top + (r.Height() - c->TextHeight("Pp")) / 2;
      c->TextRect(r, r.Left + 2, y, simpleCaption_);
    }
  }
  UpdateSizeGrip();
  if (SizeGripShown()) DrawSizeGrip(c);
  if (OnPaint) OnPaint(this);
}

void TFxStatusBar::Resize() {
  TFxCustomPanel::Resize();
  if (firstResize_) {
    firstResize_ = false;
    lastChange_ = 0;
  } else {
    lastChange_ = Width() - previousWidth_;
  }
  if (autoScalePanes_ && ControlCount() > 0 && lastChange_ != 0 && previousWidth_ != 0) {
    DisableAlign();
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* child = Controls(i);
      const float ratio = static_cast<float>(child->Width()) / static_cast<float>(previousWidth_);
      child->SetWidth(child->Width() + static_cast<int>(std::nearbyint(static_cast<float>(lastChange_) * ratio)));
    }
    EnableAlign();
  }
  previousWidth_ = Width();
  UpdateSizeGrip();
}
