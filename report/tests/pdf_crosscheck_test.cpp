// The PDF renderer's files read by independent tools: qpdf's structure
// check, poppler's text, fonts, page sizes, pictures and rasteriser, and
// mupdf where it is installed.
#include <gtest/gtest.h>

#include <QColor>

#include <cmath>
#include <fstream>
#include <sstream>

#include "platform/rtl/system.h"
#include "report/tests/renderer_fixtures.h"
#include "report/tests/support/pdf_tools.h"
#include "report/tests/support/sample_reports.h"
#include "testing/temp_dir.h"

namespace {

class PdfCrosscheck : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    if (std::string missing = PdfToolMissing(); !missing.empty()) GTEST_SKIP() << missing << " is not installed";
  }
  std::string Write(const std::string& name, const std::string& pdf) {
    std::string path = dir_.Path() + "/" + name;
    std::ofstream(path, std::ios::binary) << pdf;
    return path;
  }
  TempDir dir_;
};

// Lines of pdftotext's plain output, trimmed, empty ones left out.
std::vector<std::string> TextLines(const std::string& path) {
  std::istringstream in(RunTool({"/usr/bin/pdftotext", "-enc", "UTF-8", path, "-"}).output);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\f')) line.pop_back();
    while (!line.empty() && (line.front() == ' ' || line.front() == '\f')) line.erase(0, 1);
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

constexpr double kRight = 6;  // inches
const char kRcarons[] = "ŘŘŘŘŘŘŘŘŘŘ";

// A page of measurable marks (inches).
void PrintMarks(TBaseReport* r) {
  r->SetPen(clBlack, psClear, 1, pmCopy);
  r->SetBrush(clRed, bsSolid, nullptr);
  r->Rectangle(1, 1, 2, 1.5);
  r->SetPen(clBlack, psSolid, 8, pmCopy);  // 8 / 600 inch: about one point
  r->MoveTo(1, 3);
  r->LineTo(5, 3);
  r->SelectFont("ArialCE", 20);
  r->SetFontCharset(238);
  r->SetYPos(4);
  r->TextRightAt(Cz(kRcarons), kRight);
  r->SetUnderline(true);
  r->SetYPos(5);
  r->TextLeftAt("Under", 1);
  r->SetUnderline(false);
  r->SetYPos(5.5);
  r->TextLeftAt(Cz("Příliš žluťoučký kůň úpěl ďábelské ódy"), 1);
  r->SetYPos(6);
  r->TextLeftAt(Cz("ŘÍŠE ŤŮŇ ĎĚČ"), 1);
  TBitmap bmp;
  bmp.SetSize(8, 6);
  bmp.Canvas()->Brush()->SetColor(static_cast<TColor>(0x208040));
  bmp.Canvas()->FillRect(Rect(0, 0, 8, 6));
  r->PrintBitmapRect(1, 7, 2, 8, &bmp);
}

TEST_F(PdfCrosscheck, FixturesPassTheIndependentReaders) {
  struct Fixture {
    const char* name;
    std::string pdf;
    int pages;
    std::vector<std::string> lines;
    int images;
    const char* imageSize;  // "width height" of every picture
  } fixtures[] = {
      {"voucher.pdf", RenderPdf(MakeStream(PrintVoucherSample, unCM)), 1,
       {"Pokladní doklad", "Žluťoučký kůň", "98765,43"}, 0, ""},
      {"cashbook.pdf", RenderPdf(MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); })), 3,
       {"Pokladni kniha", "Strana 2 z 3", "Celkem: 3000,00"}, 0, ""},
      {"shapes.pdf", RenderPdf(MakeStream(PrintShapesSample)), 1, {"Plain bold"}, 2, "8 8"},
      {"marks.pdf", RenderPdf(MakeStream(PrintMarks)), 1,
       {"Příliš žluťoučký kůň úpěl ďábelské ódy", "ŘÍŠE ŤŮŇ ĎĚČ", kRcarons}, 1, "8 6"},
  };
  for (const Fixture& f : fixtures) {
    SCOPED_TRACE(f.name);
    std::string path = Write(f.name, f.pdf);
    ToolRun check = QpdfCheck(path);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
    EXPECT_EQ(PdfPageCount(path), f.pages);
    auto [w, h] = PdfPageSize(path);
    EXPECT_NEAR(w, 595.28, 0.05);
    EXPECT_NEAR(h, 841.89, 0.05);
    std::vector<std::string> lines = TextLines(path);
    for (const std::string& line : f.lines) EXPECT_TRUE(Has(lines, line)) << line;
    // The 14 standard fonts, Type 1, not embedded; the text fonts in CP1250.
    std::string fonts = PdfFonts(path);
    for (int i = 0; i < kPdfFontCount; ++i) {
      std::string base = PdfCoreFont(i).baseFont;
      std::string row = base + std::string(37 - base.size(), ' ') + "Type 1            " +
                        (i < 12 ? "Custom          " : "WinAnsi         ") + " no  no  no";
      EXPECT_NE(fonts.find(row), std::string::npos) << row << "\n" << fonts;
    }
    std::string images = RunTool({"/usr/bin/pdfimages", "-list", path}).output;
    int jpegs = 0;
    for (std::size_t p = images.find(" image "); p != std::string::npos; p = images.find(" image ", p + 1)) {
      std::string row = images.substr(p, images.find('\n', p) - p);
      EXPECT_NE(row.find(" rgb     3   8  jpeg "), std::string::npos) << row;
      std::istringstream cells(row);
      std::string kind, width, height;
      cells >> kind >> width >> height;
      EXPECT_EQ(width + " " + height, f.imageSize) << row;
      ++jpegs;
    }
    EXPECT_EQ(jpegs, f.images) << images;
    if (access("/usr/bin/mutool", X_OK) == 0) {
      ToolRun draw = RunTool({"/usr/bin/mutool", "draw", "-o", dir_.Path() + "/m%d.png", path});
      std::string out = draw.output;
      // mupdf built without colour management says so for every file.
      if (auto p = out.find("warning: ICC support is not available\n"); p != std::string::npos) out.erase(p, 39);
      EXPECT_EQ(draw.status, 0);
      EXPECT_EQ(out.find("warning"), std::string::npos) << out;
      EXPECT_EQ(out.find("error"), std::string::npos) << out;
    }
  }
}

TEST_F(PdfCrosscheck, MarksLandWhereTheyWereDrawn) {
  std::string path = Write("marks.pdf", RenderPdf(MakeStream(PrintMarks)));
  QImage page = PdfPageImage(path, 1, 144);
  ASSERT_FALSE(page.isNull());
  auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 128; };
  auto red = [&](int x, int y) {
    QRgb p = page.pixel(x, y);
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
  };
  // The red rectangle: 144..288 x 144..216 pixels.
  EXPECT_TRUE(red(216, 180));
  int left = 216, right = 216, top = 180, bottom = 180;
  while (left > 0 && red(left - 1, 180)) --left;
  while (right < page.width() - 1 && red(right + 1, 180)) ++right;
  while (top > 0 && red(216, top - 1)) --top;
  while (bottom < page.height() - 1 && red(216, bottom + 1)) ++bottom;
  EXPECT_NEAR(left, 144, 1);
  EXPECT_NEAR(right + 1, 288, 1);
  EXPECT_NEAR(top, 144, 1);
  EXPECT_NEAR(bottom + 1, 216, 1);
  // The line: a dark row at 3 inches.
  int row = -1;
  for (int y = 420; y < 445; ++y)
    if (dark(400, y)) row = row < 0 ? y : row;
  EXPECT_NEAR(row, 432, 1);
  // The right-aligned text ends at its x less Rcaron's right side bearing
  // (722 - 679 thousandths of 20 points).
  int end = 0;
  for (int y = 4 * 144 - 30; y < 4 * 144; ++y)
    for (int x = 600; x < 1000; ++x)
      if (dark(x, y)) end = std::max(end, x + 1);
  EXPECT_NEAR(end, kRight * 144 - (722 - 679) / 1000.0 * 20 / 72 * 144, 1);
  // The underline lies below the baseline at 5 inches.
  int under = -1;
  for (int y = 5 * 144 + 1; y < 5 * 144 + 12 && under < 0; ++y)
    if (dark(150, y) && dark(180, y)) under = y;
  EXPECT_GT(under, 720);
  // The picture: its colour over 1..2 x 7..8 inches.
  double r = 0, g = 0, b = 0;
  int n = 0;
  for (int y = 7 * 144 + 10; y < 8 * 144 - 10; ++y)
    for (int x = 154; x < 278; ++x, ++n) {
      QRgb p = page.pixel(x, y);
      r += qRed(p), g += qGreen(p), b += qBlue(p);
    }
  EXPECT_NEAR(r / n, 0x40, 8);
  EXPECT_NEAR(g / n, 0x80, 8);
  EXPECT_NEAR(b / n, 0x20, 8);
}

TEST_F(PdfCrosscheck, EmptySelectionGivesOneBlankPage) {
  std::string path = Write("empty.pdf", RenderPdf(MakeStream([](TBaseReport* r) { PrintCashBookSample(r, 3); },
                                                             unInch, [](TReportFiler& f) { f.SetSelection("7"); })));
  ToolRun check = QpdfCheck(path);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(PdfPageCount(path), 1);
  EXPECT_TRUE(TextLines(path).empty());
}

}  // namespace
