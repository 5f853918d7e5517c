// What a report put on its pages, read back from its page stream: the
// stream is replayed by the converter into a renderer that keeps every
// text with its place (centimetres from the page's top left corner), its
// justification and font, and every straight line. The application's
// report tests and the voucher benchmark compare pages through it.
#pragma once

#include <string>
#include <vector>

#include "platform/rtl/ansistring.h"

struct CapturedText {
  AnsiString text;  // CP1250, as drawn
  double x = 0;     // the anchor: left edge, right edge or centre (cm)
  double y = 0;     // baseline (cm)
  char justify = 'L';  // L, R, C or B (block: a measured width from x)
  double width = 0;    // block texts (cm)
  AnsiString font;
  double size = 0;  // points
  int charset = 0;
  int page = 0;     // 1-based

  // The right edge of a right-aligned or block text.
  double Right() const { return justify == 'B' ? x + width : x; }
};

struct CapturedLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // cm
  int page = 0;
};

struct ReportCapture {
  int pages = 0;
  std::vector<CapturedText> texts;
  std::vector<CapturedLine> lines;

  // The texts in order, without their places.
  std::vector<AnsiString> Texts() const;
  // The first text equal to text, or null.
  const CapturedText* Find(const AnsiString& text) const;
  // Horizontal lines (y1 == y2) of a page in drawing order.
  std::vector<CapturedLine> HorizontalLines(int page) const;
  std::vector<CapturedLine> VerticalLines(int page) const;
};

// Replays a page stream held in memory or in a file.
ReportCapture CaptureReportStream(const std::string& bytes);
ReportCapture CaptureReportFile(const std::string& path);
