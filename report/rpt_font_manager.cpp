#include "report/rpt_font_manager.h"

#include <cmath>
#include <cstdlib>

#include "platform/gui/report_fonts.h"

namespace {

TRptDeviceFont At600(const TFont& f) {
  return TRptDeviceFont(f.Name(), -600, 0, f.Style(), f.Charset(), f.Pitch());
}

bool FixedPitchOf(const TFont& f) {
  if (f.Pitch() == fpFixed) return true;
  if (f.Pitch() == fpVariable) return false;
  return At600(f).FixedPitch();
}

}  // namespace

TRptTrueTypeFontHandler::TRptTrueTypeFontHandler(const TFont& font600) {
  TRptDeviceFont d = At600(font600);
  for (int c = 0; c < 256; ++c) advances_[c] = d.Advance(static_cast<unsigned char>(c));
}

long TRptTrueTypeFontHandler::WidthUnits(const AnsiString& text) const {
  long w = 0;
  for (char c : text) w += advances_[static_cast<unsigned char>(c)];
  return w;
}

TRptNonProportionalFontHandler::TRptNonProportionalFontHandler(const TFont& font600)
    : width_(At600(font600).TextWidth("A")) {}

long TRptNonProportionalFontHandler::WidthUnits(const AnsiString& text) const {
  return static_cast<long>(text.size()) * width_;
}

AnsiString TRptFontManager::KeyOf(const TFont& font) {
  AnsiString key = std::to_string(font.Charset()) + "|" + font.Name();
  if (font.Style().Contains(fsBold)) key += "|B";
  if (font.Style().Contains(fsItalic)) key += "|I";
  key += FixedPitchOf(font) ? "|F" : "|V";
  return key;
}

int TRptFontManager::TextWidth(const TFont& font, int fontPixelsPerInch, int dpi, const AnsiString& text) {
  AnsiString key = KeyOf(font);
  const TRptBaseFontHandler* handler = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = handlers_.find(key);
    if (it != handlers_.end()) handler = it->second.get();
  }
  if (!handler) {
    // Measured outside the lock; a second thread's equal handler loses.
    std::unique_ptr<TRptBaseFontHandler> made;
    if (FixedPitchOf(font))
      made = std::make_unique<TRptNonProportionalFontHandler>(font);
    else
      made = std::make_unique<TRptTrueTypeFontHandler>(font);
    std::lock_guard<std::mutex> guard(lock_);
    auto [it, inserted] = handlers_.emplace(key, std::move(made));
    handler = it->second.get();
  }
  double size = std::abs(font.Height()) * 72.0 / (fontPixelsPerInch > 0 ? fontPixelsPerInch : 96);
  return static_cast<int>(std::lround(handler->WidthUnits(text) * size * dpi / 43200.0));
}

int TRptFontManager::HandlerCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(handlers_.size());
}

TRptFontManager& RptFontManager() {
  static TRptFontManager manager;
  return manager;
}
