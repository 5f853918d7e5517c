// The report module's file renderers: offered after the two fixed formats,
// and a cash-book-shaped Czech report sent through the report driver to a
// PDF file and to HTML pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/report_module.h"
#include "app/report_renderers.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_setup_form.h"
#include "report/report_system.h"
#include "report/tests/support/pdf_tools.h"
#include "testing/temp_dir.h"

namespace {

class AppRenderersGui : public ::testing::Test {
 protected:
  // File destinations need a printer.
  void SetUp() override { InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

void CashBook(TBaseReport* r) {
  for (int page = 1; page <= 2; ++page) {
    if (page > 1) r->NewPage();
    r->SelectFont("ArialCE", 12);
    r->SetFontCharset(238);
    r->SetYPos(1);
    r->TextLeftAt(Cz("Pokladní kniha od 01.01.2026 do 31.01.2026"), 1);
    r->SelectFont("ArialCE", 10);
    r->SetFontCharset(238);
    for (int line = 0; line < 10; ++line) {
      r->SetYPos(1.5 + line * 0.2);
      r->TextLeftAt(Cz("Nákup kancelářských potřeb č. ") + IntToStr(page * 100 + line), 1);
      r->TextRightAt(Format("%8.2f", 125.5 * (line + 1)), 7);
    }
  }
}

TEST_F(AppRenderersGui, OfferedAfterTheFixedFormatsAndWritingTheirFiles) {
  TDataSestavy module(nullptr);
  const TReportRenderers renderers{module.RptRenderPDF1, module.RptRenderHTML1};
  EXPECT_EQ(renderers.RptRenderPDF1->ImageQuality(), 90);
  EXPECT_EQ(renderers.RptRenderPDF1->MetafileDPI, 300);
  EXPECT_EQ(renderers.RptRenderPDF1->FontEncoding, feWinAnsiEncoding);
  EXPECT_FALSE(renderers.RptRenderHTML1->ServerMode);

  TReportSystem rs;
  {
    TRptSetupForm form(nullptr);
    form.ReportSystem = &rs;
    form.FormShow();
    std::vector<std::string> items;
    for (int i = 0; i < form.cboxFormat->Items()->Count(); ++i) items.push_back((*form.cboxFormat->Items())[i]);
    EXPECT_EQ(items, (std::vector<std::string>{"Report Snapshot File (RPS)", "Native Printer Output (PRN)",
                                               "Adobe Acrobat (PDF)", "Web Page (HTML)"}));
  }

  TempDir dir;
  rs.OnPrint = [](TObject* s) { CashBook(static_cast<TBaseReport*>(s)); };
  auto send = [&](TRptRender* renderer, const std::string& name) {
    rs.OverrideSetup = [&, renderer, name](TObject*, int step, TObject*&) {
      if (step != 1) return;
      rs.ReportDest = rdFile;
      rs.DoNativeOutput = false;
      rs.SelectedRender = renderer;
      rs.OutputFileName = dir.Path() + "/" + name;
    };
    rs.Execute();
  };
  send(renderers.RptRenderPDF1, "kniha");
  send(renderers.RptRenderHTML1, "kniha");
  std::vector<std::string> files;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"kniha.pdf", "kniha1.html", "kniha2.html"}));
  for (const char* page : {"kniha1.html", "kniha2.html"}) {
    std::ifstream f(dir.Path() + "/" + page, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    EXPECT_NE(s.str().find(Cz("Nákup kancelářských potřeb č. ")), std::string::npos);
    EXPECT_NE(s.str().find("charset=windows-1250"), std::string::npos);
  }

  if (std::string missing = PdfToolMissing(); !missing.empty()) GTEST_SKIP() << missing << " is not installed";
  std::string pdf = dir.Path() + "/kniha.pdf";
  ToolRun check = QpdfCheck(pdf);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(PdfPageCount(pdf), 2);
  std::string text = RunTool({"/usr/bin/pdftotext", "-enc", "UTF-8", pdf, "-"}).output;
  EXPECT_NE(text.find("Pokladní kniha od 01.01.2026 do 31.01.2026"), std::string::npos) << text;
  EXPECT_NE(text.find("Nákup kancelářských potřeb č. 209"), std::string::npos) << text;
}

}  // namespace
