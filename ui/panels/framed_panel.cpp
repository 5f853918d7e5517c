// The framed panel and its dock manager.
#include "ui/panels/framed_panel.h"

#include <algorithm>

#include "platform/gui/forms.h"

// ------------------------------------------------------------ dock manager

bool TFxPanelDockManager::VerticalGrabbers() const {
  return site_->Align() == alTop || site_->Align() == alBottom;
}

TRect TFxPanelDockManager::GrabberRect(const TControl* c) const {
  if (VerticalGrabbers()) return Rect(c->Left() - kGrabberSize, c->Top(), c->Left(), c->Top() + c->Height());
  return Rect(c->Left(), c->Top() - kGrabberSize, c->Left() + c->Width(), c->Top());
}

TRect TFxPanelDockManager::CloseRect(const TControl* c) const {
  TRect g = GrabberRect(c);
  if (VerticalGrabbers()) return Rect(g.Left + 1, g.Top + 1, g.Left + 12, g.Top + 12);
  return Rect(g.Right - 15, g.Top + 1, g.Right - 2, g.Top + 12);
}

void TFxPanelDockManager::Layout(const TRect& rect) {
  int pos = VerticalGrabbers() ? rect.Left : rect.Top;
  for (TControl* c : site_->DockedControls()) {
    if (!c->Visible()) continue;
    pos += kGrabberSize;
    if (VerticalGrabbers()) {
      c->SetBounds(pos, rect.Top, c->Width(), rect.Height());
      pos += c->Width();
    } else {
      c->SetBounds(rect.Left, pos, rect.Width(), c->Height());
      pos += c->Height();
    }
  }
}

std::pair<TColor, TColor> TFxPanelDockManager::GrabberColors(const TControl* c) const {
  auto* windowed = dynamic_cast<const TWinControl*>(c);
  if (!windowed || windowed->Focused()) return {clActiveCaption, clCaptionText};
  return {clInactiveCaption, clInactiveCaptionText};
}

void TFxPanelDockManager::PaintGrabbers(TCanvas* canvas) {
  TFont font;
  font.SetName("Verdana");
  font.SetSize(8);
  for (TControl* c : site_->DockedControls()) {
    if (!c->Visible()) continue;
    const TRect g = GrabberRect(c);
    auto [back, text] = GrabberColors(c);
    canvas->Brush()->SetColor(back);
    canvas->FillRect(g);
    canvas->Brush()->SetStyle(bsClear);
    TFont captionFont = font;
    captionFont.SetColor(text);
    const unsigned align = canvas->TextAlign();
    if (VerticalGrabbers()) {
      const TFont rotated = RotatedFont(captionFont, 90);
      canvas->SetFont(&rotated);
      canvas->SetTextAlign(TA_LEFT | TA_BASELINE);
      canvas->TextOut(g.Right - 2, g.Bottom - 3, c->Caption());
    } else {
      canvas->SetFont(&captionFont);
      canvas->SetTextAlign(TA_LEFT | TA_TOP);
      canvas->TextOut(g.Left + 2, g.Top, c->Caption());
    }
    canvas->SetTextAlign(align);
    // The close glyph: a drawn cross in its box.
    const TRect x = CloseRect(c);
    canvas->Pen()->SetColor(text);
    canvas->Pen()->SetWidth(1);
    for (int d = 0; d < 2; ++d) {
      canvas->MoveTo(x.Left + 2 + d, x.Top + 2);
      canvas->LineTo(x.Right - 2 + d, x.Bottom - 2);
      canvas->MoveTo(x.Right - 3 + d, x.Top + 2);
      canvas->LineTo(x.Left - 1 + d, x.Bottom - 2);
    }
    canvas->Brush()->SetStyle(bsSolid);
  }
}

// ------------------------------------------------------------ the panel

TFxCustomPanel::TFxCustomPanel(TComponent* owner) : TCustomPanel(owner) {
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
}

TFxCustomPanel::~TFxCustomPanel() {
  if (frameController_) frameController_->Unlink(this);
}

void TFxCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TFxCustomPanel::SetBorderInner(TFrameStyleEx s) {
  if (s == borderInner_) return;
  borderInner_ = s;
  Changed();
}

void TFxCustomPanel::SetBorderOuter(TFrameStyleEx s) {
  if (s == borderOuter_) return;
  borderOuter_ = s;
  Changed();
}

void TFxCustomPanel::SetBorderSides(TSides s) {
  if (s == borderSides_) return;
  borderSides_ = s;
  Changed();
}

void TFxCustomPanel::SetBorderColor(TColor c) {
  borderColor_ = c;
  Invalidate();
}

void TFxCustomPanel::SetFlatColor(TColor c) {
  flatColor_ = c;
  Invalidate();
}

void TFxCustomPanel::SetFlatColorAdjustment(int n) {
  flatColorAdjustment_ = n;
  Invalidate();
}

void TFxCustomPanel::SetThemeAware(bool on) {
  themeAware_ = on;
  Invalidate();
}

void TFxCustomPanel::SetFrameHighlight(TColor c) {
  frameHighlight_ = c;
  Invalidate();
}

void TFxCustomPanel::SetFrameShadow(TColor c) {
  frameShadow_ = c;
  Invalidate();
}

void TFxCustomPanel::SetVerticalAlignment(TTextLayout v) {
  verticalAlignment_ = v;
  Invalidate();
}

void TFxCustomPanel::SetGridVisible(bool on) {
  gridVisible_ = on;
  Invalidate();
}

void TFxCustomPanel::SetGridColor(TColor c) {
  gridColor_ = c;
  Invalidate();
}

void TFxCustomPanel::SetGridStyle(int style) {
  gridStyle_ = std::clamp(style, 0, 2);
  Invalidate();
}

void TFxCustomPanel::SetGridSpacing(TSize spacing) {
  gridSpacing_ = TSize{std::max(1, spacing.cx), std::max(1, spacing.cy)};
  Invalidate();
}

void TFxCustomPanel::SetPanelTransparent(bool on) {
  if (on == panelTransparent_) return;
  panelTransparent_ = on;
  TControlStyle style = ControlStyle();
  if (on)
    style.Exclude(csOpaque);
  else
    style.Include(csOpaque);
  SetControlStyle(style);
  Invalidate();
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->Invalidate();
}

void TFxCustomPanel::SetFrameController(TFxFrameController* controller) {
  if (controller == frameController_) return;
  if (frameController_) {
    frameController_->Unlink(this);
    frameController_->RemoveFreeNotification(this);
  }
  frameController_ = controller;
  if (frameController_) {
    frameController_->FreeNotification(this);
    frameController_->Link(this);
  }
}

void TFxCustomPanel::FrameControllerChanged(TFxFrameController* c) {
  if (!c || !c->FrameVisible()) return;
  borderOuter_ = c->FrameStyle();
  borderSides_ = c->FrameSides();
  flatColor_ = c->FrameColor();
  flatColorAdjustment_ = 0;
  SetColor(c->Color());
  SetParentColor(c->ParentColor());
  frameHighlight_ = LighterColor(Color(), 100);
  frameShadow_ = DarkerColor(Color(), 50);
  Changed();
}

void TFxCustomPanel::Notification(TComponent* component, TOperation operation) {
  TCustomPanel::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == frameController_) frameController_ = nullptr;
  docked_.erase(std::remove(docked_.begin(), docked_.end(), component), docked_.end());
  childStates_.erase(std::remove_if(childStates_.begin(), childStates_.end(),
                                    [&](const auto& s) { return s.first == component; }),
                     childStates_.end());
}

void TFxCustomPanel::ControlsChanged() {
  // A child that left the panel is no longer restored or docked here.
  auto gone = [&](const TControl* c) {
    for (int i = 0; i < ControlCount(); ++i)
      if (Controls(i) == c) return false;
    return true;
  };
  docked_.erase(std::remove_if(docked_.begin(), docked_.end(), gone), docked_.end());
  childStates_.erase(std::remove_if(childStates_.begin(), childStates_.end(),
                                    [&](const auto& s) { return gone(s.first); }),
                     childStates_.end());
}

TRect TFxCustomPanel::FrameInsets() const {
  const int outer = FrameWidthOf(borderOuter_, BevelWidth());
  const int inner = FrameWidthOf(borderInner_, BevelWidth());
  const int w = outer + inner + BorderWidth();
  return Rect(borderSides_.Contains(sdLeft) ? w : 0, borderSides_.Contains(sdTop) ? w : 0,
              borderSides_.Contains(sdRight) ? w : 0, borderSides_.Contains(sdBottom) ? w : 0);
}

TRect TFxCustomPanel::AlignRect() const {
  TRect r = ClientRect();
  TRect in = FrameInsets();
  return Rect(r.Left + in.Left, r.Top + in.Top, r.Right - in.Right, r.Bottom - in.Bottom);
}

void TFxCustomPanel::AlignControls() {
  TCustomPanel::AlignControls();
  if (dockManager_) dockManager_->Layout(AlignRect());
}

void TFxCustomPanel::SetBounds(int left, int top, int width, int height) {
  // An edge-aligned panel keeps its outer edge when it changes size.
  if (Align() == alBottom && height != Height() && top == Top()) top = Top() + Height() - height;
  if (Align() == alRight && width != Width() && left == Left()) left = Left() + Width() - width;
  TCustomPanel::SetBounds(left, top, width, height);
}

void TFxCustomPanel::EnabledChanged() {
  TCustomPanel::EnabledChanged();
  if (!Enabled()) {
    childStates_.clear();
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      childStates_.emplace_back(c, c->Enabled());
      c->SetEnabled(false);
    }
  } else {
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      auto it = std::find_if(childStates_.begin(), childStates_.end(), [&](const auto& s) { return s.first == c; });
      if (it == childStates_.end() || it->second) c->SetEnabled(true);
    }
    childStates_.clear();
  }
  Invalidate();
}

void TFxCustomPanel::SetDockSite(bool on) {
  dockSite_ = on;
  UpdateDockManager();
}

void TFxCustomPanel::SetUseDockManager(bool on) {
  useDockManager_ = on;
  UpdateDockManager();
}

void TFxCustomPanel::UpdateDockManager() {
  if (dockSite_ && useDockManager_) {
    if (!dockManager_) dockManager_ = std::make_unique<TFxPanelDockManager>(this);
    SetDoubleBuffered(true);
  } else {
    dockManager_.reset();
  }
  Changed();
}

void TFxCustomPanel::DockControl(TControl* control) {
  if (!control || !dockSite_) return;
  if (std::find(docked_.begin(), docked_.end(), control) == docked_.end()) docked_.push_back(control);
  control->SetAlign(alNone);
  control->SetParent(this);
  Changed();
}

void TFxCustomPanel::UndockControl(TControl* control) {
  docked_.erase(std::remove(docked_.begin(), docked_.end(), control), docked_.end());
  Changed();
}

void TFxCustomPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomPanel::MouseDown(button, shift, x, y);
  // A press inside the dock site may change which control is focused.
  if (dockManager_) Invalidate();
}

TBorderPaintSettings TFxCustomPanel::BorderSettings() const {
  TBorderPaintSettings s;
  s.outer = borderOuter_;
  s.inner = borderInner_;
  s.sides = borderSides_;
  s.borderColor = borderColor_;
  s.borderWidth = BorderWidth();
  s.bevelWidth = BevelWidth();
  s.flatColor = flatColor_;
  s.flatColorAdjustment = flatColorAdjustment_;
  s.color = Color();
  s.parentColor = Parent() ? Parent()->Color() : Color();
  s.frameHighlight = frameHighlight_;
  s.frameShadow = frameShadow_;
  s.transparent = panelTransparent_;
  return s;
}

void TFxCustomPanel::PaintPanel(TCanvas* c) {
  if (panelTransparent_) DrawParentImage(this, c, false);
  TRect r = DrawInnerOuterBorders(c, Rect(0, 0, Width(), Height()), BorderSettings());
  if (!panelTransparent_) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
  }
  if (gridVisible_) {
    const TColor grid = ColorToRGB(gridColor_);
    c->Pen()->SetColor(gridColor_);
    c->Pen()->SetWidth(1);
    for (int x = r.Left + gridSpacing_.cx - 1; x < r.Right; x += gridSpacing_.cx) {
      if (gridStyle_ == 0) {
        for (int y = r.Top + gridSpacing_.cy - 1; y < r.Bottom; y += gridSpacing_.cy) c->SetPixels(x, y, grid);
      } else if (gridStyle_ == 1) {
        for (int y = r.Top + 1; y < r.Bottom; y += 2) c->SetPixels(x, y, grid);
      } else {
        c->MoveTo(x, r.Top);
        c->LineTo(x, r.Bottom);
      }
    }
    if (gridStyle_ != 0)
      for (int y = r.Top + gridSpacing_.cy - 1; y < r.Bottom; y += gridSpacing_.cy) {
        if (gridStyle_ == 1) {
          for (int x = r.Left + 1; x < r.Right; x += 2) c->SetPixels(x, y, grid);
        } else {
          c->MoveTo(r.Left, y);
          c->LineTo(r.Right, y);
        }
      }
  }
  const AnsiString caption = Caption();
  if (!caption.empty()) {
    c->SetFont(Font());
    c->Brush()->SetStyle(bsClear);
    TRect text = r;
    text.Left += 1;
    const unsigned align = Alignment() == taRightJustify ? DT_RIGHT : Alignment() == taCenter ? DT_CENTER : DT_LEFT;
    const unsigned flags = DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | align;
    TRect measured = text;
    DrawText(c, caption, measured, flags | DT_CALCRECT);
    const int h = measured.Height();
    if (verticalAlignment_ == tlCenter)
      text.Top = (text.Top + text.Bottom - h) >> 1;
    else if (verticalAlignment_ == tlBottom)
      text.Top = text.Bottom - h - 1;
    text.Bottom = text.Top + h;
    if (!Enabled()) {
      TRect shifted = Rect(text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1);
      c->Font()->SetColor(clBtnHighlight);
      DrawText(c, caption, shifted, flags);
      c->Font()->SetColor(clBtnShadow);
    }
    DrawText(c, caption, text, flags);
    c->Brush()->SetStyle(bsSolid);
  }
  if (dockManager_) dockManager_->PaintGrabbers(c);
}

void TFxCustomPanel::Paint() {
  PaintPanel(Canvas());
  if (OnPaint) OnPaint(this);
}
