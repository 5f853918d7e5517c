// Printing straight to a printer: a two-page voucher-like report in
// centimetres goes through the fake printer backend into a job PDF, which
// the independent PDF tools read back.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/system.h"
#include "report/canvas_report.h"
#include "report/tests/support/pdf_tools.h"
#include "testing/temp_dir.h"

namespace {

// The voucher's way of writing: cm, "ArialCE" with charset 238 after every
// font selection, tab stops with box lines, a right-aligned amount.
void PrintVoucher(TBaseReport* r) {
  auto font = [&](double size, bool bold) {
    r->SelectFont("ArialCE", size);
    r->SetFontCharset(238);
    r->SetBold(bold);
  };
  for (int page = 1; page <= 2; ++page) {
    if (page > 1) r->NewPage();
    font(14, true);
    r->Home();
    r->PrintTextLine(Cz("Pokladní doklad číslo 2026/00") + IntToStr(page));
    r->MoveTo(2, 3);
    r->LineTo(20, 3);
    font(10, false);
    r->SetYPos(4);
    r->ClearAllTabs();
    r->AddTab(2, pjLeft, 8, 10, BOXLINEALL, 0);
    r->AddTab(-1, pjRight, 4, 10, BOXLINEALL, 0);
    r->PrintText(Cz("\tŘÍŠE žluťoučký kůň\t1 234,50"));
    r->NewLine();
    r->NewLine();
    r->PrintTextLine(Cz("Podpis pokladníka"));
  }
}

class DirectPrintCrosscheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string missing = PdfToolMissing(); !missing.empty()) GTEST_SKIP() << missing << " is not installed";
  }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(DirectPrintCrosscheck, VoucherPdfHoldsTheCzechTextOnTwoA4Pages) {
  InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  TempDir dir;
  std::string path = dir.Path() + "/voucher.prn";
  TPrinterReport r;
  r.SetUnits(unCM);
  r.SetMarginLeft(1);
  r.SetMarginTop(1.3);
  r.SetOutputName(path);
  r.OnPrint = [&](TObject* s) { PrintVoucher(static_cast<TBaseReport*>(s)); };
  r.RunReport();

  ToolRun check = QpdfCheck(path);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(PdfPageCount(path), 2);
  auto [w, h] = PdfPageSize(path);
  EXPECT_NEAR(w, 595.28, 0.5);
  EXPECT_NEAR(h, 841.89, 0.5);
  std::string text = PdfText(path);
  for (const char* line : {"Pokladní doklad číslo 2026/001", "Pokladní doklad číslo 2026/002", "Podpis pokladníka",
                           "ŘÍŠE žluťoučký kůň", "1 234,50"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  QImage page = PdfPageImage(path, 1, 150);
  ASSERT_FALSE(page.isNull());
  int y = static_cast<int>(std::lround(3 / 2.54 * 150));
  int x1 = static_cast<int>(std::lround(2 / 2.54 * 150)), x2 = static_cast<int>(std::lround(20 / 2.54 * 150));
  int bestRow = -1, bestCount = 0;
  for (int row = y - 2; row <= y + 2; ++row) {
    int dark = 0;
    for (int x = x1; x < x2; ++x) dark += qGray(page.pixel(x, row)) < 128;
    if (dark > bestCount) bestCount = dark, bestRow = row;
  }
  EXPECT_NEAR(bestRow, y, 1);
  TRect line = Rect(0, bestRow, page.width(), bestRow + 1);
  EXPECT_NEAR(FirstInkColumn(page, line, clWhite), x1, 1);
  EXPECT_NEAR(LastInkColumn(page, line, clWhite), x2, 1);

  // The amount ends within 3 pixels left of its cell's right edge less the
  // 0.1-inch margin.
  double cellRight = (2 + 8 + 4) / 2.54 - 0.1;
  int right = static_cast<int>(std::lround(cellRight * 150));
  int top = static_cast<int>(std::lround(3.4 / 2.54 * 150)), bottom = static_cast<int>(std::lround(4.3 / 2.54 * 150));
  int last = -1;
  for (int row = top; row < bottom; ++row) {
    if (qGray(page.pixel(right + 6, row)) < 128) continue;  // a box line crosses the cell here
    for (int x = right - 40; x <= right + 5; ++x)
      if (qGray(page.pixel(x, row)) < 128) last = std::max(last, x);
  }
  EXPECT_LE(last, right);
  EXPECT_GE(last, right - 3);
}

TEST_F(DirectPrintCrosscheck, SubmittedJobCarriesItsOptions) {
  FakePrinterBackend* fake = InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  TPrinterReport r;
  r.SetUnits(unCM);
  r.SetCopies(2);
  TRptPrinterDevice* d = r.PrinterDevice();
  d->SetCollate(true);
  d->SetDuplex(1);
  EXPECT_TRUE(r.SelectBin("Tray 2"));
  EXPECT_TRUE(d->SelectPaper("A4", true));
  r.OnPrint = [&](TObject* s) { PrintVoucher(static_cast<TBaseReport*>(s)); };
  r.RunReport();
  ASSERT_EQ(fake->jobs.size(), 1u);
  const TPrintJobOptions& o = fake->jobs[0].options;
  EXPECT_EQ(o.copies, 2);
  EXPECT_TRUE(o.collate);
  EXPECT_EQ(o.sides, "two-sided-long-edge");
  EXPECT_EQ(o.mediaSource, "tray-2");
  EXPECT_EQ(o.media, "iso_a4_210x297mm");
  EXPECT_EQ(o.title, "Report");
  TempDir dir;
  std::string path = dir.Path() + "/job.pdf";
  std::ofstream(path, std::ios::binary) << fake->jobs[0].pdf;
  EXPECT_EQ(QpdfCheck(path).status, 0);
}

}  // namespace
