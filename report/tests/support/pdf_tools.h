// Independent PDF readers for the printing tests: poppler's pdftotext,
// pdffonts, pdfinfo and pdftoppm, and qpdf's structure check. A missing
// tool is reported by PdfToolMissing, so the test can skip with its name.
#pragma once

#include <QImage>

#include <string>

#include "testing/tool_run.h"

// Empty when every tool is installed, else the first missing one's name.
std::string PdfToolMissing();
// The text of the document (UTF-8, pages separated by form feeds).
std::string PdfText(const std::string& path);
// The pdffonts listing.
std::string PdfFonts(const std::string& path);
// The page count, or -1.
int PdfPageCount(const std::string& path);
// The page size in points (pdfinfo "Page size"), or {0, 0}.
std::pair<double, double> PdfPageSize(const std::string& path);
// One page (1-based) rendered at dpi, in RGB.
QImage PdfPageImage(const std::string& path, int page, int dpi);
// qpdf --check: status 0 and its report.
ToolRun QpdfCheck(const std::string& path);
