#include "ui/combo_edit/popup_window.h"

TPopupWindow::TPopupWindow(TComponent* owner) : TCustomControl(owner) {
  SetVisible(false);
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
  if (button == mbLeft && PopupShowing()) CloseUp(ClientRect().Contains(Point(x, y)));
}

void TPopupWindow::CancelMode(TControl* sender) {
  TCustomControl::CancelMode(sender);
  if (!PopupShowing()) return;
  TWinControl* edit = PopupOwner();
  if (sender && (sender == this || ContainsControl(sender) || (edit && edit->ContainsControl(sender)))) return;
  CloseUp(false);
}
