// The cash voucher: F8, the print dialog and the page the report system
// makes of the journal's current document, read back from its page stream
// and, printed, from the job's PDF.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>

#include "app/tests/voucher_support.h"
#include "platform/rtl/codepages.h"
#include "report/tests/support/pdf_tools.h"
#include "testing/temp_dir.h"

namespace {

using app_test::Document;
using app_test::FakePrinter;
using app_test::VoucherProgram;

const std::vector<std::pair<const char*, const char*>> kCompany = {
    {"VLA_FIR", "Kelvo s.r.o."}, {"VLA_NAC", "Pokladna"},  {"VLA_ULI", "Nádražní 12"},
    {"VLA_PSC", "738 01"},       {"VLA_MES", "Frýdek-Místek"}, {"VLA_ICO", "27654321"},
    {"VLA_DIC", "CZ27654321"},   {"VLA_ZAP", "OR KS Ostrava C 4321"}};

struct Expected {
  const char* text;  // UTF-8
  double size;
  double x;           // left edge (cm), or the right edge when right
  bool right = false;
};

// Every text of a voucher in drawing order: the block twice, then the stub.
std::vector<Expected> VoucherTexts(bool receipt, const char* amount, const char* words, const char* stubAmount) {
  const char* heading = receipt ? "Pokladní doklad číslo 41 příjmový " : "Pokladní doklad číslo 41 výdajový ";
  const char* party = receipt ? "Přijato od" : "Vydáno komu";
  std::vector<Expected> block = {
      {heading, 15, 2},
      {"Tržba za hotové, párový doklad číslo VB12", 10, 2},
      {"Ze dne 07.03.2024", 12, 2},
      {"Organizace", 10, 2.254},
      {party, 10, 11},
      {"Kelvo s.r.o.", 10, 2.254},
      {"Jan Novák", 10, 11},
      {"Pokladna", 10, 2.254},
      {"Dlouhá 5, Opava", 10, 11},
      {"Nádražní 12", 10, 2.254},
      {"Identifikace (IČO,OP,RČ) 7801011234", 10, 11},
      {"738 01 Frýdek-Místek", 10, 2.254},
      {"IČO 27654321 DIČ CZ27654321", 8, 2.254},
      {"OR KS Ostrava C 4321", 8, 2.254},
      {"částka Kč", 13, 11},
      {amount, 13, 20, true},
      {words, 10, 11},
      {"Podpis pokladníka", 10, 2},
      {"Podpis příjemce", 10, 11},
      {"zde odstřihni", 6, 2},
  };
  std::vector<Expected> all = block;
  all.insert(all.end(), block.begin(), block.end());
  const std::vector<Expected> stub = {
      {heading, 15, 2},
      {"Tržba za hotové, párový doklad číslo VB12", 9, 2},
      {"Organizace: ", 8, 2},
      {"Kelvo s.r.o.,Pokladna,Nádražní 12,738 01, OR KS Ostrava C 4321", 8, -1},
      {party, 10, 2},
      {"Jan Novák,Dlouhá 5, Opava,ID 7801011234", 10, -1},
      {receipt ? "Přijatá částka Kč" : "Vydaná částka Kč", 10, 2},
      {stubAmount, 10, -1},
      {"Text", 10, 2.127},
      {"Účtovací předpis", 10, 9.127},
      {"Kč", 10, 15.127},
  };
  all.insert(all.end(), stub.begin(), stub.end());
  for (int row = 0; row < 3; ++row)
    for (double x : {2.127, 9.127, 15.127}) all.push_back({" ", 10, x});
  all.push_back({"Podpis pokladníka", 10, 2});
  all.push_back({"Zaúčtoval", 10, 11});
  return all;
}

void ExpectTexts(const ReportCapture& c, const std::vector<Expected>& expected) {
  ASSERT_EQ(c.pages, 1);
  ASSERT_EQ(c.texts.size(), expected.size()) << "texts drawn";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const CapturedText& t = c.texts[i];
    const Expected& e = expected[i];
    SCOPED_TRACE("text " + std::to_string(i) + " \"" + e.text + "\"");
    EXPECT_EQ(AnsiToUtf8(t.text), e.text);
    EXPECT_EQ(t.font, "ArialCE");
    EXPECT_EQ(t.charset, 238);
    EXPECT_DOUBLE_EQ(t.size, e.size);
    if (e.x < 0) continue;  // placed after a free tab: its width depends on the font
    EXPECT_NEAR(e.right ? t.Right() : t.x, e.x, 0.02);
  }
}

bool Near(double a, double b) { return std::abs(a - b) < 0.02; }

// The horizontal line from x1 to x2 whose y lies in (above, below).
const CapturedLine* Horizontal(const ReportCapture& c, double x1, double x2, double above, double below) {
  for (const CapturedLine& l : c.lines) {
    if (!Near(l.y1, l.y2)) continue;
    double a = std::min(l.x1, l.x2), b = std::max(l.x1, l.x2);
    if (Near(a, x1) && Near(b, x2) && l.y1 > above && l.y1 < below) return &l;
  }
  return nullptr;
}

const CapturedLine* Vertical(const ReportCapture& c, double x, double y1, double y2) {
  for (const CapturedLine& l : c.lines) {
    double a = std::min(l.y1, l.y2), b = std::max(l.y1, l.y2);
    if (Near(l.x1, x) && Near(l.x2, x) && Near(a, y1) && Near(b, y2)) return &l;
  }
  return nullptr;
}

class VoucherReportGui : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = std::make_unique<VoucherProgram>();
    program_->SetCompany(kCompany);
  }
  void TearDown() override { program_.reset(); }
  VoucherProgram& P() { return *program_; }
  std::unique_ptr<VoucherProgram> program_;
};

TEST_F(VoucherReportGui, ReceiptTextsFontsStopsAndLines) {
  P().SetDocument({.amount = 1234.56});
  const ReportCapture c = P().PrintPreview();
  ExpectTexts(c, VoucherTexts(true, " 1234,56", "(  jeden tisíc dvěstě třicet čtyři Kč )", " 1234,56"));
  if (HasFailure()) return;

  // Each block: its separator at the same distance below its date line, the
  // organisation box (top, sides, bottom under the amount row), the amount
  // cells' bottom line, the signature lines and the cutting line.
  const double date1 = c.texts[2].y;
  for (int block = 0; block < 2; ++block) {
    SCOPED_TRACE("block " + std::to_string(block + 1));
    const std::size_t base = static_cast<std::size_t>(block) * 20;
    const double date = c.texts[base + 2].y, header = c.texts[base + 3].y, amount = c.texts[base + 15].y,
                 words = c.texts[base + 16].y, signature = c.texts[base + 17].y, cut = c.texts[base + 19].y;
    const double separator = 3 + (date - date1);
    EXPECT_TRUE(Horizontal(c, 2, 20, separator - 0.01, separator + 0.01));
    const CapturedLine* top = Horizontal(c, 2, 10, date, header);
    const CapturedLine* bottom = Horizontal(c, 2, 10, amount, words);
    ASSERT_TRUE(top && bottom);
    EXPECT_TRUE(Vertical(c, 2, top->y1, bottom->y1));
    EXPECT_TRUE(Vertical(c, 10, top->y1, bottom->y1));
    EXPECT_TRUE(Horizontal(c, 11, 20, amount, words));
    EXPECT_TRUE(Horizontal(c, 6, 10, signature, signature + 0.5));
    EXPECT_TRUE(Horizontal(c, 15.5, 20, signature, signature + 0.5));
    EXPECT_TRUE(Horizontal(c, 2, 20, cut, cut + 0.5));
  }
  // The stub's account table: four sides of three columns, five rows' lines.
  const double textRow = c.texts[48].y, lastRow = c.texts[57].y;
  int rows = 0;
  for (const CapturedLine& l : c.HorizontalLines(1))
    if (Near(l.x1, 2) && Near(l.x2, 20) && l.y1 > textRow - 1 && l.y1 < lastRow + 0.5) ++rows;
  EXPECT_EQ(rows, 5);
  int sides = 0;
  for (const CapturedLine& l : c.VerticalLines(1))
    if (l.y1 < textRow && l.y2 > lastRow) sides += Near(l.x1, 2) || Near(l.x1, 9) || Near(l.x1, 15) || Near(l.x1, 20);
  EXPECT_EQ(sides, 4);
  EXPECT_EQ(c.lines.size(), 29u);
  EXPECT_FALSE(Data->Vlastnik->Active());
}

TEST_F(VoucherReportGui, ExpensesAndZeroPrintAsExpensesWithTheStubsSignedAmount) {
  struct Case {
    double amount;
    const char *shown, *words, *stub;
  } cases[] = {
      {-100, "  100,00", "(  jednosto Kč )", " -100,00"},
      {0, "    0,00", "(  Kč )", "    0,00"},
      {-1960, " 1960,00", "(  jeden tisíc devětset šedesát Kč )", "-1960,00"},
      {-1234567.5, "1234567,50", "(  Kč )", "-1234567,50"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.amount);
    P().SetDocument({.amount = k.amount});
    ExpectTexts(P().PrintPreview(), VoucherTexts(false, k.shown, k.words, k.stub));
  }
}

TEST_F(VoucherReportGui, MissingCompanyAndDatePrintEmptyFields) {
  P().SetCompany({});
  P().SetDocument({.amount = 5, .nullDate = true});
  const ReportCapture c = P().PrintPreview();
  const std::vector<AnsiString> texts = c.Texts();
  auto has = [&](const char* utf8) { return std::find(texts.begin(), texts.end(), Cz(utf8)) != texts.end(); };
  EXPECT_TRUE(has("Ze dne "));
  EXPECT_TRUE(has("IČO  DIČ "));
  EXPECT_TRUE(has(",,,, "));
  EXPECT_FALSE(has("Kelvo s.r.o."));
  EXPECT_TRUE(has("Jan Novák"));
  EXPECT_FALSE(Data->Vlastnik->Active());
}

TEST_F(VoucherReportGui, FailingPrintShowsTheErrorClosesTheCompanyAndRestoresTheOptions) {
  P().SetDocument({.amount = 10});
  P().Fake().refuseJobs = true;
  MessageBoxRecorder boxes;
  P().Print("1", false);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Type, mtError);
  EXPECT_TRUE(P().Fake().jobs.empty());
  EXPECT_FALSE(Data->Vlastnik->Active());
  EXPECT_EQ(DataSestavy->ReportSystem->SystemSetups,
            (TSystemSetups{ssAllowSetup, ssAllowCopies, ssAllowDestPreview, ssAllowDestPrinter, ssAllowPrinterSetup}));
  EXPECT_EQ(DataSestavy->ReportSystem->DefaultDest, rdPrinter);
}

// ------------------------------------------------------------ printed PDF

std::string Save(const TempDir& dir, const std::string& name, const std::string& bytes) {
  dir.Write(name, bytes);
  return dir.File(name);
}

std::string Collapsed(const std::string& text) { return std::regex_replace(text, std::regex("[ \t]+"), " "); }

TEST(VoucherReportCrosscheck, PrintedVoucherIsAValidPdfWithTheCzechTexts) {
  if (std::string missing = PdfToolMissing(); !missing.empty()) GTEST_SKIP() << missing << " is not installed";
  VoucherProgram p({FakePrinter("Office", 99), FakePrinter("Single", 1)}, 0);
  p.SetCompany(kCompany);
  p.SetDocument({.amount = 1234.56});
  p.Print("1", false);
  ASSERT_EQ(p.Fake().jobs.size(), 1u);
  TempDir dir;
  const std::string pdf = Save(dir, "voucher.pdf", p.Fake().jobs[0].pdf);
  ToolRun check = QpdfCheck(pdf);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(PdfFonts(pdf).find("LiberationSans"), std::string::npos) << PdfFonts(pdf);
  const std::string text = Collapsed(PdfText(pdf));
  for (const char* expected : {"Pokladní doklad číslo 41 příjmový", "Přijato od", "Identifikace (IČO,OP,RČ)",
                               "částka Kč", "( jeden tisíc dvěstě třicet čtyři Kč )", "Podpis pokladníka",
                               "zde odstřihni", "Účtovací předpis", "Zaúčtoval"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

  // The numeral for sixty as the law knows it, in the printed text too.
  p.Fake().jobs.clear();
  p.SetDocument({.amount = 1960});
  p.Print("1", false);
  ASSERT_EQ(p.Fake().jobs.size(), 1u);
  EXPECT_NE(Collapsed(PdfText(Save(dir, "sixty.pdf", p.Fake().jobs[0].pdf)))
                .find("( jeden tisíc devětset šedesát Kč )"),
            std::string::npos);

  // Copies: one job asking for two where the printer makes copies, else two
  // identical jobs.
  p.Fake().jobs.clear();
  p.Print("2", false);
  ASSERT_EQ(p.Fake().jobs.size(), 1u);
  EXPECT_EQ(p.Fake().jobs[0].options.copies, 2);
  p.Fake().jobs.clear();
  Data->PrinterIndex = 1;
  p.PressF8([](TVyberTiskuDokladu* d) {
    d->EditKuvet1->SetText("2");
    d->ComboBoxKuvet1->SetItemIndex(1);
    KeyClick(d, VK_F8);
  });
  ASSERT_EQ(p.Fake().jobs.size(), 2u);
  EXPECT_EQ(p.Fake().jobs[0].printer, "Single");
  EXPECT_EQ(p.Fake().jobs[0].options.copies, 1);
  EXPECT_EQ(PdfText(Save(dir, "a.pdf", p.Fake().jobs[0].pdf)), PdfText(Save(dir, "b.pdf", p.Fake().jobs[1].pdf)));
}

}  // namespace
