#include "report/tests/support/pdf_tools.h"

#include <unistd.h>

#include <cstdio>
#include <regex>

#include "testing/temp_dir.h"

std::string PdfToolMissing() {
  for (const char* tool : {"pdftotext", "pdffonts", "pdfinfo", "pdftoppm", "qpdf"})
    if (access((std::string("/usr/bin/") + tool).c_str(), X_OK) != 0) return tool;
  return "";
}

std::string PdfText(const std::string& path) {
  return RunTool({"/usr/bin/pdftotext", "-enc", "UTF-8", "-layout", path, "-"}).output;
}

std::string PdfFonts(const std::string& path) { return RunTool({"/usr/bin/pdffonts", path}).output; }

int PdfPageCount(const std::string& path) {
  std::smatch m;
  std::string out = RunTool({"/usr/bin/pdfinfo", path}).output;
  static const std::regex pages("Pages:\\s+([0-9]+)");
  return std::regex_search(out, m, pages) ? std::stoi(m[1]) : -1;
}

std::pair<double, double> PdfPageSize(const std::string& path) {
  std::smatch m;
  std::string out = RunTool({"/usr/bin/pdfinfo", path}).output;
  static const std::regex size("Page size:\\s+([0-9.]+) x ([0-9.]+) pts");
  if (!std::regex_search(out, m, size)) return {0, 0};
  return {std::stod(m[1]), std::stod(m[2])};
}

QImage PdfPageImage(const std::string& path, int page, int dpi) {
  TempDir dir;
  std::string prefix = dir.Path() + "/page";
  std::string p = std::to_string(page);
  RunTool({"/usr/bin/pdftoppm", "-r", std::to_string(dpi), "-f", p, "-l", p, "-png", "-singlefile", path, prefix});
  return QImage(QString::fromStdString(prefix + ".png")).convertToFormat(QImage::Format_RGB32);
}

ToolRun QpdfCheck(const std::string& path) { return RunTool({"/usr/bin/qpdf", "--check", path}); }
