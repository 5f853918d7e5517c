// The glyph button inside the right edge of an entry edit: a speed button
// child (hidden at first, 15 wide, arrow cursor) that the edit places on
// every resize, and the edit's text rectangle that keeps typed text left of
// it.
#pragma once

#include "platform/gui/std_controls.h"
#include "ui/buttons/ux_speed_button.h"

// Button bounds in the edit's client coordinates for an edit W x H with a
// button BW wide (0 while hidden): single border (W-BW-4, 0, BW, H-4), no
// border (W-BW-2, 0, BW, H-1).
TRect GlyphButtonBounds(int w, int h, int bw, bool singleBorder);

class TEditGlyphButton {
 public:
  // parentWhileHidden false: the button has no parent while hidden.
  TEditGlyphButton(TCustomEdit* edit, bool parentWhileHidden);

  TUxSpeedButton* Button() const { return button_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  int Width() const { return width_; }
  // Clamped to 15 .. the edit's width.
  void SetWidth(int w);
  TBitmap* Glyph() const { return button_->Glyph(); }
  // Copies picture; null loads "EditBtn" with one glyph.
  void SetGlyph(const TBitmap* picture);
  int NumGlyphs() const { return button_->NumGlyphs(); }
  // Clamped to 1..4.
  void SetNumGlyphs(int n);
  // Places the button and the edit's text rectangle.
  void Layout();

  TNotifyEvent OnClick;

 private:
  TCustomEdit* edit_;
  TUxSpeedButton* button_;
  bool parentWhileHidden_;
  bool visible_ = false;
  int width_ = 15;
};
