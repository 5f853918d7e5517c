#include "ui/combo_edit/popup_window.h"

#include <QApplication>
#include <QWidget>

TPopupWindow::TPopupWindow(TComponent* owner) : TCustomControl(owner) {
  SetVisible(false);
  // Inside its edit from the start: a window that was ever a top-level of
  // its own must not become the pop-up.
  if (auto* edit = dynamic_cast<TWinControl*>(owner)) SetParent(edit);
  SetTabStop(false);
  SetColor(clBtnFace);
}

void TPopupWindow::Show(TPoint origin, TWinControl* edit) {
  // Visible stays off: the pop-up's window shows, its place inside the
  // edit never does.
  ShowPopup(origin, edit);
}

void TPopupWindow::CloseUp(bool accept) {
  if (OnCloseUp) OnCloseUp(this, accept);
}

void TPopupWindow::PaintNonClient(TCanvas* canvas) {
  canvas->Brush()->SetColor(clWindowFrame);
  canvas->FrameRect(Rect(0, 0, Width(), Height()));
}

void TPopupWindow::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !PopupShowing()) return;
  // A release over a child is the child's (it may pass it up unhandled).
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* child = Controls(i);
    if (child->Visible() && child->BoundsRect().Contains(Point(x, y))) return;
  }
  CloseUp(ClientRect().Contains(Point(x, y)));
}

void TPopupWindow::CancelMode(TControl* sender) {
  TCustomControl::CancelMode(sender);
  if (!PopupShowing()) return;
  TWinControl* edit = PopupOwner();
  // Some platforms hand the activation to the pop-up despite its asking
  // never to take it; that is no reason to close (and closing would tear
  // its window down while the activation is still being delivered).
  if (!sender && QApplication::activeWindow() == Widget()) return;
  if (sender && (sender == this || ContainsControl(sender) || (edit && edit->ContainsControl(sender)))) return;
  CloseUp(false);
}
