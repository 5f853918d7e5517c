#include "platform/gui/report_fonts.h"

#include <atomic>
#include <cstdlib>

#include "platform/gui/qt_support.h"

namespace {
std::atomic<int> gCreated{0};
}

TRptDeviceFont::TRptDeviceFont(const AnsiString& faceName, int height, int escapement, TFontStyles style,
                               TFontCharset charset, TFontPitch pitch, TColor color) {
  font_.SetName(faceName.empty() ? AnsiString("Arial") : faceName);
  font_.SetHeight(height == 0 ? -1 : -std::abs(height));
  font_.SetEscapement(escapement);
  font_.SetStyle(style);
  font_.SetCharset(charset);
  font_.SetPitch(pitch);
  font_.SetColor(color);
  face_ = &gui_detail::FaceOf(font_);
  codePage_ = gui_detail::CodePageOf(charset);
  em_ = std::abs(font_.Height());
  ascent_ = face_->ascent;
  descent_ = face_->descent;
  fixedPitch_ = face_->fixedPitch;
  ++gCreated;
}

int TRptDeviceFont::Advance(unsigned char byte) const { return face_->TableFor(codePage_).advance[byte]; }

int TRptDeviceFont::TextWidth(std::string_view text) const { return face_->TextWidth(text, codePage_); }

int TRptDeviceFont::CreatedCount() { return gCreated.load(); }
