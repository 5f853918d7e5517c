#include "report/tests/support/pdf_structure.h"

#include <cstdlib>

namespace {

bool Digits(const std::string& s, std::size_t from, std::size_t n) {
  if (from + n > s.size()) return false;
  for (std::size_t i = from; i < from + n; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace

std::string PdfXrefProblem(const std::string& pdf) {
  if (pdf.compare(0, 9, "%PDF-1.3\r") != 0) return "no header";
  std::size_t sx = pdf.rfind("\r\nstartxref\r\n");
  if (sx == std::string::npos) return "no startxref";
  std::size_t xref = std::strtoul(pdf.c_str() + sx + 13, nullptr, 10);
  if (pdf.compare(xref, 6, "xref\r\n") != 0) return "startxref does not point at xref";
  std::size_t p = xref + 6;
  if (pdf.compare(p, 2, "0 ") != 0) return "no subsection";
  std::size_t eol = pdf.find("\r\n", p);
  if (eol == std::string::npos) return "cut subsection";
  long size = std::strtol(pdf.c_str() + p + 2, nullptr, 10);
  if (size < 1) return "empty table";
  p = eol + 2;
  if (pdf.compare(p, 20, "0000000000 65535 f\r\n") != 0) return "bad free entry";
  for (long k = 1; k < size; ++k) {
    std::size_t at = p + 20 * static_cast<std::size_t>(k);
    if (!Digits(pdf, at, 10) || pdf.compare(at + 10, 10, " 00000 n\r\n") != 0)
      return "bad entry " + std::to_string(k);
    std::size_t offset = std::strtoul(pdf.substr(at, 10).c_str(), nullptr, 10);
    std::string head = std::to_string(k) + " 0 obj\r\n";
    if (pdf.compare(offset, head.size(), head) != 0) return "entry " + std::to_string(k) + " misses its object";
  }
  if (pdf.find("trailer\r\n<<\r\n/Size " + std::to_string(size) + "\r\n/Root 1 0 R\r\n", p) == std::string::npos)
    return "trailer size";
  if (pdf.compare(pdf.size() - 7, 7, "%%EOF\r\n") != 0) return "no %%EOF";
  return "";
}
