// The report module's file renderers: offered after the two fixed formats,
// a cash-book-shaped Czech report sent through the report driver to a PDF
// file and to HTML pages, and the program's own cash book sent to both
// through the output-options form.
#include <gtest/gtest.h>

#include <QTimer>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/report_module.h"
#include "app/report_renderers.h"
#include "app/tests/range_support.h"
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

// Blanks (and page breaks) collapsed to single blanks.
std::string Collapsed(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\n' || c == '\f' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  return out;
}

// Runs with the working directory changed: the HTML pages' colour blocks go
// to the current directory when no cache directory is set.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedWorkingDirectory() { std::filesystem::current_path(old_); }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

// The cash book of a demo year, chosen from the menu and sent to a file in
// each renderer's format through the output-options form (the start-up
// setups, all nine, with a printer installed, so the file destination is
// open): the PDF passes qpdf and its text holds the heading and every
// description of the journal; the HTML is one file per page of the page
// stream, each read by html5lib as windows-1250 with the heading and the
// descriptions as texts of their own.
TEST(AppRenderersCashBookGui, DemoJournalToPdfAndHtmlFiles) {
  app_test::RangeProgram p(300);
  TReportSystem* rs = DataSestavy->ReportSystem;
  rs->OverrideSetup = nullptr;
  EXPECT_EQ(rs->SystemSetups.size(), 9u);
  std::set<std::string> descriptions;  // UTF-8
  {
    auto d = app_test::OpenTable(p.Dir().DataDir(), "Pla0001.dbf");
    for (d->First(); !d->Eof(); d->Next()) descriptions.insert(AnsiToUtf8(Trim(d->FieldByName("PLA_KOM")->AsString())));
  }
  ASSERT_GT(descriptions.size(), 5u);
  const std::string heading = "Pokladní kniha od 01.01.2024 do 31.12.2024";
  std::string missingTools;

  struct Case {
    int format;  // the output-options form's list: RPS, PRN, PDF, HTML
    const char* name;
  };
  for (const Case& c : {Case{2, "kniha.pdf"}, Case{3, "kniha.html"}}) {
    SCOPED_TRACE(c.name);
    TempDir out;
    ScopedWorkingDirectory cwd(out.Path());
    bool fileOpen = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
      auto* setup = dynamic_cast<TRptSetupForm*>(CurrentModalForm());
      if (!setup) return;
      watcher.stop();
      fileOpen = setup->FileRB->Enabled();
      setup->FileRB->SetChecked(true);
      setup->cboxFormat->SetItemIndex(c.format);
      setup->editFileName->SetText(out.Path() + c.name);
      setup->bbtnOK->Click();
    });
    watcher.start(5);
    p.Run(app_test::kCashBook, app_test::RangeAnswer{});
    EXPECT_TRUE(fileOpen);
    ASSERT_TRUE(p.Boxes.empty()) << p.Boxes[0];
    EXPECT_FALSE(p.Printed());
    const int pages = p.Capture().pages;
    ASSERT_GT(pages, 2);

    std::set<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(out.Path()))
      if (!e.path().filename().string().ends_with(".gif")) files.insert(e.path().filename().string());
    if (c.format == 2) {
      EXPECT_EQ(files, std::set<std::string>{"kniha.pdf"});
      if (std::string missing = PdfToolMissing(); !missing.empty()) {
        missingTools += missing + " ";
        continue;
      }
      const std::string pdf = out.Path() + c.name;
      ToolRun check = QpdfCheck(pdf);
      EXPECT_EQ(check.status, 0) << check.output;
      EXPECT_EQ(PdfPageCount(pdf), pages);
      const std::string text = Collapsed(PdfText(pdf));
      EXPECT_NE(text.find(heading), std::string::npos) << text.substr(0, 200);
      for (const std::string& d : descriptions) EXPECT_NE(text.find(" " + d + " "), std::string::npos) << d;
    } else {
      std::set<std::string> expected;
      for (int i = 1; i <= pages; ++i) expected.insert("kniha" + std::to_string(i) + ".html");
      EXPECT_EQ(files, expected);
      std::ofstream list(out.Path() + "expected.txt");
      list << "text:" << heading << "\n";
      for (const std::string& d : descriptions) list << "text:" << d << "\n";
      list.close();
      if (!PythonHas({"html5lib", "PIL"})) {
        missingTools += "python3-html5lib or python3-pil ";
        continue;
      }
      ToolRun check = RunTool({"/usr/bin/python3", HTML_CHECK_SCRIPT, out.Path()});
      EXPECT_EQ(check.status, 0) << check.output;
    }
  }
  if (!missingTools.empty()) GTEST_SKIP() << missingTools << "not installed: the files were not read back";
}

}  // namespace
