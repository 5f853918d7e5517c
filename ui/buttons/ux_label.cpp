#include "ui/buttons/ux_label.h"

#include <algorithm>

#include "ui/buttons/draw_helpers.h"
#include "ui/buttons/ux_cursors.h"

TUxCustomLabel::TUxCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  RegisterUxCursors();
  SetBounds(Left(), Top(), 65, 17);
  SetColor(clWindow);
  SetParentColor(true);
}

void TUxCustomLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TUxCustomLabel::SetAutoSize(bool on) {
  autoSize_ = on;
  AdjustLabelBounds();
  Invalidate();
}

void TUxCustomLabel::SetLayout(TTextLayout l) {
  layout_ = l;
  Invalidate();
}

void TUxCustomLabel::SetShadowColor(TColor c) {
  shadowColor_ = c;
  Invalidate();
}

void TUxCustomLabel::SetShadowSize(int s) {
  shadowSize_ = std::clamp(s, 0, 255);
  AdjustLabelBounds();
  Invalidate();
}

void TUxCustomLabel::SetShadowPos(TShadowPosition p) {
  shadowPos_ = p;
  Invalidate();
}

void TUxCustomLabel::SetShowAccelChar(bool on) {
  showAccelChar_ = on;
  AdjustLabelBounds();
  Invalidate();
}

void TUxCustomLabel::SetShowFocus(bool on) {
  showFocus_ = on;
  Invalidate();
}

void TUxCustomLabel::SetFocusControl(TWinControl* control) {
  if (focusControl_) RemoveFreeNotification(focusControl_);
  focusControl_ = control;
  if (control) FreeNotification(control);
  focused_ = control && control->Focused();
  Invalidate();
}

void TUxCustomLabel::SetTransparent(bool on) {
  transparent_ = on;
  Invalidate();
}

void TUxCustomLabel::SetWordWrap(bool on) {
  wordWrap_ = on;
  AdjustLabelBounds();
  Invalidate();
}

void TUxCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

int TUxCustomLabel::DrawLabelText(TRect& r, unsigned flags) {
  TCanvas* c = Canvas();
  AnsiString text = GetLabelText();
  // An empty text still measures one line.
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += " ";
  flags |= DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  c->SetFont(Font());
  c->Brush()->SetStyle(bsClear);
  TColor textColor = GetLabelFontColor(), shadow = shadowColor_;
  int size = shadowSize_;
  TShadowPosition pos = shadowPos_;
  if (!Enabled()) {
    textColor = clGrayText;
    shadow = clBtnHighlight;
    // Without a shadow a disabled label looks engraved.
    if (size == 0) {
      pos = spRightBottom;
      size = 1;
    }
  }
  int dx = pos == spLeftTop || pos == spLeftBottom ? -size : size;
  int dy = pos == spLeftTop || pos == spRightTop ? -size : size;
  TRect shadowRect = Rect(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy);
  if (size > 0) {
    c->Font()->SetColor(shadow);
    DrawText(c, text, shadowRect, flags);
  }
  c->Font()->SetColor(textColor);
  int height = DrawText(c, text, r, flags);
  if (size > 0) {
    r = Rect(std::min(r.Left, shadowRect.Left), std::min(r.Top, shadowRect.Top), std::max(r.Right, shadowRect.Right),
             std::max(r.Bottom, shadowRect.Bottom));
    height += size;
  }
  return height;
}

void TUxCustomLabel::Paint() {
  TCanvas* c = Canvas();
  if (!transparent_) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
  }
  unsigned align = alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
  TRect r = ClientRect();
  r = Rect(r.Left + leftMargin_ + 1, r.Top, r.Right - rightMargin_ - 1, r.Bottom);
  if (layout_ != tlTop) {
    TRect calc = r;
    DrawLabelText(calc, align | DT_CALCRECT);
    int shift = layout_ == tlCenter ? (Height() - calc.Bottom) / 2 : Height() - calc.Bottom;
    r = Rect(r.Left, r.Top + shift, r.Right, r.Bottom + shift);
  }
  DrawLabelText(r, align);
  if (showFocus_ && focused_) {
    TRect f = Rect(r.Left - 1, r.Top, r.Right + 1, r.Bottom);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->DrawFocusRect(f);
  }
}

void TUxCustomLabel::AdjustLabelBounds() {
  if (!autoSize_ || IsLoading()) return;
  TRect r = ClientRect();
  r = Rect(r.Left + leftMargin_ + 1, 0, r.Right - rightMargin_ - 1, 0);
  DrawLabelText(r, DT_CALCRECT);
  int width = r.Right - r.Left + 2 + leftMargin_ + rightMargin_;
  int height = r.Bottom;
  int left = Left();
  if (alignment_ == taRightJustify) left = Left() + Width() - width;
  SetBounds(left, Top(), width, height);
}

bool TUxCustomLabel::DialogChar(char key) {
  if (focusControl_ && Enabled() && showAccelChar_ && IsAccel(key, GetLabelText())) {
    if (focusControl_->CanFocus()) focusControl_->SetFocus();
    return true;
  }
  return false;
}

void TUxCustomLabel::FocusChanged(TWinControl* focused) {
  bool now = focusControl_ && focused == focusControl_;
  if (now == focused_) return;
  focused_ = now;
  if (showFocus_) Invalidate();
}

void TUxCustomLabel::MouseEnter() {
  if (!Enabled() || mouseInControl_ || !ActiveWindowInThread()) return;
  mouseInControl_ = true;
  if (OnMouseEnter) OnMouseEnter(this);
}

void TUxCustomLabel::MouseLeave() {
  if (!mouseInControl_ || !Enabled()) return;
  mouseInControl_ = false;
  if (OnMouseLeave) OnMouseLeave(this);
}

void TUxCustomLabel::TextChanged() {
  TGraphicControl::TextChanged();
  AdjustLabelBounds();
  Invalidate();
}

void TUxCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustLabelBounds();
  Invalidate();
}
