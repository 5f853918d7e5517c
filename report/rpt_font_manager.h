// Text measurement without a device: per-font width tables measured once at
// an em of 600 pixels and scaled to the size and resolution asked for.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"

class TRptBaseFontHandler {
 public:
  virtual ~TRptBaseFontHandler() = default;
  // The text's width in units of the 600-pixel em.
  virtual long WidthUnits(const AnsiString& text) const = 0;
};

// A proportional font: the advance of each of the 256 character codes.
class TRptTrueTypeFontHandler : public TRptBaseFontHandler {
 public:
  explicit TRptTrueTypeFontHandler(const TFont& font600);
  long WidthUnits(const AnsiString& text) const override;
  int Advance(unsigned char c) const { return advances_[c]; }

 private:
  int advances_[256];
};

// A fixed-pitch font: every character as wide as "A".
class TRptNonProportionalFontHandler : public TRptBaseFontHandler {
 public:
  explicit TRptNonProportionalFontHandler(const TFont& font600);
  long WidthUnits(const AnsiString& text) const override;

 private:
  int width_;
};

class TRptFontManager {
 public:
  // Width in pixels at dpi of text in font, whose height is in pixels at
  // fontPixelsPerInch: round(units x size x dpi / 43200), size in points.
  int TextWidth(const TFont& font, int fontPixelsPerInch, int dpi, const AnsiString& text);
  // The key of a font: charset "|" face ["|B"] ["|I"] ("|V" | "|F").
  static AnsiString KeyOf(const TFont& font);
  int HandlerCount();

 private:
  std::mutex lock_;
  std::map<AnsiString, std::unique_ptr<TRptBaseFontHandler>> handlers_;
};

TRptFontManager& RptFontManager();
