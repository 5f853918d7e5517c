// TPopupWindow: the drop-down of a combo edit. It lives hidden inside its
// edit and shows as a bordered top-level pop-up under (or above) it that
// never takes the activation, so the edit keeps the keyboard focus while
// it shows. A left mouse-up inside it closes it accepting its value, one
// outside (after a press that began inside) without; so does a press
// anywhere else or the focus leaving the edit. Closing goes through the
// handler the edit installs, which reads the value.
#pragma once

#include <functional>

#include "platform/gui/controls.h"
#include "platform/rtl/variant.h"

class TPopupWindow;
using TCloseUpEvent = std::function<void(TPopupWindow* Sender, bool Accept)>;

class TPopupWindow : public TCustomControl {
 public:
  explicit TPopupWindow(TComponent* owner);
  AnsiString ClassName() const override { return "TPopupWindow"; }

  // The value shown; null when there is none. The base keeps none.
  virtual Variant GetValue() const { return Variant::Null(); }
  virtual void SetValue(const Variant& value) { (void)value; }
  // Shows the window with its top-left at a screen point for the edit.
  void Show(TPoint origin, TWinControl* edit);
  // Asks the edit to close the window (accepting the value or not).
  void CloseUp(bool accept);

  TCloseUpEvent OnCloseUp;

 protected:
  bool TakesFocusOnClick() const override { return false; }
  TRect NonClientInsets() const override { return TRect{1, 1, 1, 1}; }
  void PaintNonClient(TCanvas* canvas) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // A press elsewhere or the focus leaving the edit; presses on the edit
  // and its button are the edit's own business.
  void CancelMode(TControl* sender) override;
};
