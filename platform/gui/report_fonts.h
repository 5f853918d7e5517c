// Device fonts for reports: a font realised at a device's pixel size on the
// canvas's own faces, so reports measure and draw by the same rule as the
// screens (per-byte advances in whole pixels, drawn at exactly those
// positions).
//
// Metrics: em = |height| pixels; ascent and descent are the face's, rounded
// up; internal leading = ascent + descent - em; a text's width is the sum of
// its bytes' advances in the code page of the charset.
#pragma once

#include <string_view>

#include "platform/gui/graphics.h"

namespace gui_detail {
struct FontFace;
}

class TRptDeviceFont {
 public:
  // height: negative = em pixels (reports always pass negative heights).
  // escapement: tenths of a degree.
  TRptDeviceFont(const AnsiString& faceName, int height, int escapement, TFontStyles style,
                 TFontCharset charset, TFontPitch pitch, TColor color = clBlack);

  // A font that selects this device font into a canvas.
  const TFont& Font() const { return font_; }
  int EmPixels() const { return em_; }
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  int InternalLeading() const { return ascent_ + descent_ - em_; }
  bool FixedPitch() const { return fixedPitch_; }
  int Escapement() const { return font_.Escapement(); }
  // Advance of one byte / width of a text in pixels.
  int Advance(unsigned char byte) const;
  int TextWidth(std::string_view text) const;

  // Device fonts made since the program started (cache tests count them).
  static int CreatedCount();

 private:
  TFont font_;
  const gui_detail::FontFace* face_;
  int codePage_;
  int em_;
  int ascent_;
  int descent_;
  bool fixedPitch_;
};
