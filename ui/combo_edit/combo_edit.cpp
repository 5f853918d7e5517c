#include "ui/combo_edit/combo_edit.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

#include "platform/gui/application.h"
#include "platform/gui/forms.h"
#include "ui/resources/grid_date_pictures.h"

namespace {

// The child window at the edit's right edge that holds the button.
class EditButtonContainer : public TCustomControl {
 public:
  explicit EditButtonContainer(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(false);
    SetColor(clBtnFace);
  }
  AnsiString ClassName() const override { return "TButtonContainer"; }

 protected:
  bool TakesFocusOnClick() const override { return false; }
  void Paint() override {
    Canvas()->Brush()->SetColor(clBtnFace);
    Canvas()->FillRect(ClientRect());
  }
};

int FontHeight(const TFont* font) {
  TCanvas canvas;
  canvas.Font()->Assign(font);
  return canvas.TextHeight("0");
}

}  // namespace

// ================================================================= TEditButton

TEditButton::TEditButton(TCustomComboEdit* edit) : TUxSpeedButton(edit), edit_(edit) {}

void TEditButton::Paint() {
  TUxSpeedButton::Paint();
  if (State() == ubsDown || Down()) return;
  // The edit's frame runs down the button's left edge, a highlight inside it.
  TCanvas* c = Canvas();
  c->Pen()->SetStyle(psSolid);
  c->Pen()->SetWidth(1);
  c->Pen()->SetColor(clWindowFrame);
  c->MoveTo(0, 0);
  c->LineTo(0, Height());
  c->Pen()->SetColor(clBtnHighlight);
  c->MoveTo(1, 1);
  c->LineTo(1, Height() - 1);
}

void TEditButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    ignoreClick_ = false;
    if (edit_->PopupVisible()) {
      // The press closes the drop-down; the click that follows does nothing.
      edit_->PopupCloseUp(true);
      ignoreClick_ = true;
    } else if (edit_->TabStop() && edit_->CanFocus() && !edit_->Focused()) {
      edit_->SetFocus();
    }
  }
  TUxSpeedButton::MouseDown(button, shift, x, y);
}

void TEditButton::Click() {
  if (ignoreClick_) {
    ignoreClick_ = false;
    return;
  }
  edit_->ButtonClick();
}

// ============================================================ TCustomComboEdit

TCustomComboEdit::TCustomComboEdit(TComponent* owner) : TCustomMaskEdit(owner) {
  clickKey_ = ShortCut(VK_DOWN, {ssAlt});
  SetHeight(21);
  auto* container = new EditButtonContainer(this);
  container->SetParent(this);
  container->SetBounds(0, 0, 21, 17);
  container_ = container;
  button_ = new TEditButton(this);
  button_->SetParent(container_);
  button_->SetAlign(alClient);
  UpdateLayout();
}

TCustomComboEdit::~TCustomComboEdit() {
  if (popup_ && popup_->PopupShowing()) popup_->HidePopup();
}

void TCustomComboEdit::SetPopup(TPopupWindow* popup) {
  popup_ = popup;
  if (popup_) {
    popup_->SetParent(this);
    popup_->OnCloseUp = [this](TPopupWindow*, bool accept) { PopupCloseUp(accept); };
  }
}

// ---- properties

void TCustomComboEdit::UpdateWindowReadOnly() {
  TCustomMaskEdit::SetReadOnly(TextReadOnly());
}

void TCustomComboEdit::SetDirectInput(bool on) {
  directInput_ = on;
  UpdateWindowReadOnly();
}

void TCustomComboEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  UpdateWindowReadOnly();
}

void TCustomComboEdit::SetButtonWidth(int width) {
  if (glyphKind_ == gkDropDown) width = VerticalScrollBarWidth();
  buttonWidth_ = width;
  if (glyphKind_ == gkEllipsis) RecreateGlyph();
  UpdateLayout();
}

void TCustomComboEdit::SetGlyph(const TBitmap* glyph) {
  glyphKind_ = gkCustom;
  button_->SetGlyph(glyph);
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind kind) {
  glyphKind_ = kind;
  RecreateGlyph();
}

void TCustomComboEdit::RecreateGlyph() {
  switch (glyphKind_) {
    case gkDefault: {
      const TBitmap* bitmap = GetDefaultBitmap();
      if (!bitmap) break;
      int glyphs = DefaultNumGlyphs();
      button_->SetGlyph(bitmap);
      button_->SetNumGlyphs(glyphs);
      buttonWidth_ = std::max(bitmap->Width() / glyphs + 6, buttonWidth_);
      UpdateLayout();
      break;
    }
    case gkDropDown: {
      RegisterGridAndDatePictures();
      TBitmap arrow;
      arrow.LoadFromResourceName("COMBOARROW");
      button_->SetGlyph(&arrow);
      button_->SetNumGlyphs(1);
      buttonWidth_ = VerticalScrollBarWidth();
      UpdateLayout();
      break;
    }
    case gkEllipsis: {
      // Three 2 x 2 dots with gaps of (width - 6) div 2, 1 to 3 pixels.
      int width = std::max(1, buttonWidth_ - 6);
      TBitmap dots;
      dots.SetSize(width, 4);
      TCanvas* c = dots.Canvas();
      c->Brush()->SetColor(clWhite);
      c->FillRect(Rect(0, 0, width, 4));
      int gap = std::clamp((width - 6) / 2, 1, 3);
      int x = (width - (6 + 2 * gap)) / 2;
      c->Brush()->SetColor(clBlack);
      for (int i = 0; i < 3; ++i) c->FillRect(Rect(x + i * (2 + gap), 1, x + i * (2 + gap) + 2, 3));
      button_->SetGlyph(&dots);
      button_->SetNumGlyphs(1);
      break;
    }
    case gkCustom:
      break;
  }
}

// ---- layout

int TCustomComboEdit::MinHeight() const {
  int font = std::min(FontHeight(Screen->SystemFont()), FontHeight(Font()));
  return font + 4 * BorderHeight() + 1;
}

void TCustomComboEdit::UpdateLayout() {
  if (!container_) return;
  const int w = Width(), h = Height(), bw = std::max(0, buttonWidth_);
  TRect r;
  if (BorderStyle() == bsSingle && Ctl3D())
    r = Bounds(w - bw - 4, 0, bw, h - 4);
  else if (BorderStyle() == bsSingle)
    r = Bounds(w - bw - 2, 2, bw, h - 4);
  else
    r = Bounds(w - bw, 0, bw, h);
  container_->SetBoundsRect(r);
  container_->SetVisible(buttonWidth_ > 1);
  int used = container_->Visible() ? container_->Width() : 0;
  SetTextRect(Rect(0, 0, std::max(0, ClientWidth() - used - 2), ClientHeight() + 1));
}

void TCustomComboEdit::SetBorderStyle(TBorderStyle style) {
  TCustomMaskEdit::SetBorderStyle(style);
  UpdateLayout();
}

void TCustomComboEdit::SetCtl3D(bool on) {
  TCustomMaskEdit::SetCtl3D(on);
  UpdateLayout();
}

void TCustomComboEdit::Resize() {
  TCustomMaskEdit::Resize();
  if (Height() < MinHeight()) {
    SetHeight(MinHeight());
    return;
  }
  UpdateLayout();
}

void TCustomComboEdit::FontChanged() {
  TCustomMaskEdit::FontChanged();
  if (Height() < MinHeight()) SetHeight(MinHeight());
  UpdateLayout();
}

void TCustomComboEdit::EnabledChanged() {
  TCustomMaskEdit::EnabledChanged();
  button_->SetEnabled(Enabled());
}

// ---- the drop-down

void TCustomComboEdit::ButtonClick() {
  if (readOnly_ && !alwaysEnable_) return;
  if (OnButtonClick) OnButtonClick(this);
  if (!popup_) return;
  if (popupVisible_)
    PopupCloseUp(true);
  else
    PopupDropDown(true);
}

void TCustomComboEdit::PopupDropDown(bool) {
  if (!popup_ || GetReadOnly() || popupVisible_) return;
  TPoint origin = Parent() ? Parent()->ClientToScreen(Point(Left(), Top())) : Point(Left(), Top());
  const int pw = popup_->Width(), ph = popup_->Height();
  const int sw = Screen->Width(), sh = Screen->Height();
  int y = origin.y + Height();
  if (y + ph > sh) y = origin.y - ph;
  int x;
  if (popupAlign_ == epaRight) {
    x = origin.x + Width() - pw;
    if (x < 0) x = origin.x;
  } else {
    x = origin.x;
    if (x + pw > sw) x = origin.x + Width() - pw;
  }
  x = std::max(0, std::min(x, sw - pw));
  SetPopupValue(Text().empty() ? Variant::Null() : Variant(Text()));
  if (CanFocus() && !Focused()) SetFocus();
  ShowPopupAt(Point(x, y));
  popupVisible_ = true;
  UpdateWindowReadOnly();
  HideCaret();
}

void TCustomComboEdit::ShowPopupAt(TPoint origin) { popup_->Show(origin, this); }

void TCustomComboEdit::HidePopupWindow() { popup_->HidePopup(); }

void TCustomComboEdit::PopupCloseUp(bool accept) {
  if (!popup_ || !popupVisible_) return;
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  Variant value;
  try {
    value = GetPopupValue();
    HidePopupWindow();
  } catch (...) {
    popupVisible_ = false;
    ShowCaret();
    UpdateWindowReadOnly();
    throw;
  }
  popupVisible_ = false;
  // Back to the edit, unless the focus is on its way elsewhere.
  if (!closingOnExit_ && CanFocus() && !Focused()) {
    try {
      SetFocus();
    } catch (const EInvalidOperation&) {
    }
  }
  ShowCaret();
  UpdateWindowReadOnly();
  Invalidate();
  if (accept && AcceptPopup(value) && !GetReadOnly()) {
    AcceptValue(value);
    if (directInput_ && Focused()) SelectAll();
  }
}

bool TCustomComboEdit::AcceptPopup(Variant&) { return true; }

void TCustomComboEdit::AcceptValue(const Variant& value) {
  AnsiString text = value.IsNull() || value.IsEmpty() ? AnsiString() : value.AsString();
  if (text == Text()) return;
  SetText(text);  // fires OnChange
  SetModified(true);
}

void TCustomComboEdit::SetPopupValue(const Variant& value) {
  if (popup_) popup_->SetValue(value);
}

Variant TCustomComboEdit::GetPopupValue() const { return popup_ ? popup_->GetValue() : Variant::Null(); }

// ---- input

int TCustomComboEdit::DialogCode() const {
  return TCustomMaskEdit::DialogCode() | (popupVisible_ ? DLGC_WANTALLKEYS : 0);
}

void TCustomComboEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomMaskEdit::KeyDown(key, shift);
  if (key != 0 && buttonWidth_ > 0 && ShortCut(key, shift) == clickKey_) {
    key = 0;
    ButtonClick();
  }
}

void TCustomComboEdit::KeyPress(char& key) {
  if (popupVisible_ && (key == 13 || key == 27)) {
    bool accept = key == 13;
    key = 0;
    PopupCloseUp(accept);
    return;
  }
  // The form had Enter first (its default button); what is left is dropped.
  if (key == 13) {
    key = 0;
    return;
  }
  TCustomMaskEdit::KeyPress(key);
}

void TCustomComboEdit::DoEnter() {
  // Entering by keyboard selects the text only when it may be typed over.
  bool autoSelect = AutoSelect();
  if (!directInput_) SetAutoSelect(false);
  try {
    TCustomMaskEdit::DoEnter();
  } catch (...) {
    SetAutoSelect(autoSelect);
    throw;
  }
  SetAutoSelect(autoSelect);
}

void TCustomComboEdit::DoExit() {
  if (popupVisible_) {
    closingOnExit_ = true;
    try {
      PopupCloseUp(false);
    } catch (...) {
      closingOnExit_ = false;
      throw;
    }
    closingOnExit_ = false;
  }
  TCustomMaskEdit::DoExit();
}

void TCustomComboEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (popupVisible_) PopupCloseUp(false);
  TCustomMaskEdit::MouseDown(button, shift, x, y);
}

void TCustomComboEdit::Change() {
  if (!popupVisible_) TCustomMaskEdit::Change();
}

void TCustomComboEdit::Paste() {
  if (directInput_ && !readOnly_) TCustomMaskEdit::Paste();
}

void TCustomComboEdit::Cut() {
  if (directInput_ && !readOnly_) TCustomMaskEdit::Cut();
}
