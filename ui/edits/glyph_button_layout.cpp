#include "ui/edits/glyph_button_layout.h"

#include <algorithm>

#include "ui/resources/ui_pictures.h"

TRect GlyphButtonBounds(int w, int h, int bw, bool singleBorder) {
  return singleBorder ? Bounds(w - bw - 4, 0, bw, h - 4) : Bounds(w - bw - 2, 0, bw, h - 1);
}

TEditGlyphButton::TEditGlyphButton(TCustomEdit* edit, bool parentWhileHidden)
    : edit_(edit), button_(new TUxSpeedButton(edit)), parentWhileHidden_(parentWhileHidden) {
  RegisterUiPictures();
  button_->SetVisible(false);
  button_->SetCursor(crArrow);
  button_->SetWidth(15);
  if (parentWhileHidden_) button_->SetParent(edit);
  button_->OnClick = [this](TObject*) {
    if (OnClick) OnClick(edit_);
  };
  SetGlyph(nullptr);
}

void TEditGlyphButton::SetVisible(bool on) {
  if (on == visible_) return;
  visible_ = on;
  if (on && !button_->Parent()) button_->SetParent(edit_);
  button_->SetVisible(on);
  if (!on && !parentWhileHidden_) button_->SetParent(nullptr);
  Layout();
}

void TEditGlyphButton::SetWidth(int w) {
  w = std::max(15, std::min(w, std::max(15, edit_->Width())));
  if (w == width_) return;
  width_ = w;
  Layout();
}

void TEditGlyphButton::SetGlyph(const TBitmap* picture) {
  if (picture) {
    button_->SetGlyph(picture);
    return;
  }
  TBitmap dots;
  dots.LoadFromResourceName("EditBtn");
  button_->SetGlyph(&dots);
  button_->SetNumGlyphs(1);
}

void TEditGlyphButton::SetNumGlyphs(int n) { button_->SetNumGlyphs(std::clamp(n, 1, 4)); }

void TEditGlyphButton::Layout() {
  int w = edit_->Width(), h = edit_->Height();
  int bw = visible_ ? width_ : 0;
  bool single = edit_->BorderStyle() == bsSingle;
  if (visible_) button_->SetBoundsRect(GlyphButtonBounds(w, h, bw, single));
  edit_->SetTextRect(Rect(0, 0, w - bw - 4, h));
}
