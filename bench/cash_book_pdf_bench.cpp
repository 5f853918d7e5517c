// The cash book of a large journal printed to PDF: (a) the application's
// path (the command's open, index attach and range, SesPreh with Execute
// straight to a printer that keeps the job PDF) against (b) a minimal
// QPdfWriter/QPainter loop (baseline) that reads the same rows through the
// table handler (tag DAT, same range) and draws the same strings at the
// same places with the same font and the same page breaks; and (c) the
// same command with Execute sending the report to a PDF file through the
// module's own PDF renderer (RptRenderPDF1). The layout the baseline uses
// (row depth, rows per page, where the page number and the totals go) is
// read once from the report's own page stream. Prints pages, ms per 1000
// pages of all three and the ratios (a)/(b) and (c)/(b), the median of the
// repeats; the three PDFs' pdftotext lines (blanks collapsed) must be
// equal.
//
//   cash_book_pdf_bench [--documents N] [--repeat R] [--quick]
#include <QApplication>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/program.h"
#include "app/report_module.h"
#include "app/tests/report_capture.h"
#include "bench/bench_harness.h"
#include "bench/report_program_bench.h"
#include "dbase/base/dates.h"
#include "dbase/handler/table_handler.h"
#include "platform/gui/application.h"
#include "platform/gui/qt_support.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "report/report_filer.h"
#include "report/tests/support/pdf_tools.h"
#include "tools/mkdemo/demo_data.h"

namespace {

constexpr int kDpi = 600;
const char* const kFrom = "01.01.2024";
const char* const kTo = "31.12.2024";

double Seconds(const std::function<void()>& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The command's part of a run: the report cursor on the journal with its
// date index and the range, then the cash book.
void RunCashBook(bool toStream) {
  TXbaseDataSet* cursor = DataSestavy->SesPlatebna;
  cursor->Close();
  cursor->SetIndexName("");
  cursor->SetDatabaseName(Data->Platebna->DatabaseName());
  cursor->SetTableName(Data->Platebna->TableName());
  cursor->Open();
  cursor->AttachIndexFile(Data->DataPath + "\\pla" + Data->BranchCode + ".cdx");
  cursor->SetIndexName("DAT");
  DataSestavy->DateFrom = StrToDate(kFrom);
  DataSestavy->DateTo = StrToDate(kTo);
  DataSestavy->ExportToExcel = false;
  if (toStream) {
    cursor->SetKeyRange(kFrom, kTo);
    cursor->First();
    DataSestavy->ReportKind = rkCashBook;
  } else {
    DataSestavy->SesPreh(DataSestavy->DateFrom, DataSestavy->DateTo);
  }
}

// The command's part with Execute sending the report to a PDF file
// through the module's PDF renderer instead of the printer.
void RenderCashBook(const std::string& file) {
  TReportSystem* rs = DataSestavy->ReportSystem;
  rs->DefaultDest = rdFile;
  rs->DoNativeOutput = false;
  rs->SelectedRender = DataSestavy->RptRenderPDF1;
  rs->OutputFileName = file;
  RunCashBook(false);
  rs->DefaultDest = rdPrinter;
  rs->SelectedRender = nullptr;
  rs->OutputFileName = "";
}

void CloseCashBook() {
  TXbaseDataSet* cursor = DataSestavy->SesPlatebna;
  cursor->DetachIndexFile(Data->DataPath + "\\Pla" + Data->BranchCode + ".cdx");
  cursor->Close();
  cursor->SetIndexName("");
}

// The cash book's page stream, for the baseline's layout.
ReportCapture CaptureCashBook() {
  RunCashBook(true);
  TReportFiler filer;
  TMemoryStream out;
  filer.SetStreamMode(smUser);
  filer.SetStream(&out);
  DataSestavy->ReportSystem->ApplyPrinterSettings(&filer);
  filer.OnPrint = [](TObject* sender) { DataSestavy->ReportSystemPrint(sender); };
  filer.RunReport();
  CloseCashBook();
  return CaptureReportStream(std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size())));
}

// Where the baseline draws: the fixed texts and rules of the first page,
// the first row's baseline on the first and on later pages, the row depth
// and the rows a page holds, and the font of the rows.
struct Layout {
  std::vector<CapturedText> heading;
  std::vector<CapturedLine> rules;
  double firstRow = 0, laterFirstRow = 0, rowDepth = 0;
  int rowsFirst = 0, rowsLater = 0;
  double size = 10;
};

bool IsDocumentRow(const CapturedText& t) {
  return std::abs(t.x - 2) < 0.01 && t.text.size() == 10 && t.text[2] == '.' && t.text[5] == '.';
}

Layout ReadLayout(const ReportCapture& c) {
  Layout l;
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(c.pages) + 1);
  for (const CapturedText& t : c.texts)
    if (IsDocumentRow(t)) rows[static_cast<std::size_t>(t.page)].push_back(t.y);
  for (const CapturedText& t : c.texts) {
    if (t.page != 1 || IsDocumentRow(t)) continue;
    if (!rows[1].empty() && t.y >= rows[1].front()) break;
    l.heading.push_back(t);
  }
  for (const CapturedLine& line : c.lines)
    if (line.page == 1) l.rules.push_back(line);
  l.firstRow = rows[1].front();
  l.rowDepth = rows[1].size() > 1 ? rows[1][1] - rows[1][0] : 0.5;
  l.rowsFirst = static_cast<int>(rows[1].size());
  if (c.pages > 1) {
    l.laterFirstRow = rows[2].front();
    l.rowsLater = static_cast<int>(rows[2].size());
  }
  return l;
}

AnsiString OemText(const AnsiString& oem) {
  AnsiString out;
  for (unsigned char b : std::string(oem)) {
    const int c = UnicodeToCp1250(Cp852ToUnicode(b));
    out += static_cast<char>(c < 0 ? '?' : c);
  }
  return TrimRight(out);
}

AnsiString Money(std::string_view format, double value) {
  if (std::fabs(value) < 0.005) value = 0.0;
  return Format(format, value);
}

// The baseline: rows read through the table handler, drawn on A4 pages.
std::string DrawBaseline(const std::string& table, const std::string& index, const Layout& l) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kDpi);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  QPainter p(&writer);
  auto px = [](double cm) { return cm / 2.54 * kDpi; };
  QFont font("Liberation Sans");
  auto setSize = [&](double points) {
    font.setPixelSize(static_cast<int>(points / 72.0 * kDpi + 0.5));
    p.setFont(font);
  };
  auto left = [&](const AnsiString& text, double x, double y) {
    p.drawText(QPointF(px(x), px(y)), gui_detail::ToQt(text));
  };
  auto right = [&](const AnsiString& text, double x, double y) {
    const QString q = gui_detail::ToQt(text);
    p.drawText(QPointF(px(x) - QFontMetricsF(font, &writer).horizontalAdvance(q), px(y)), q);
  };
  for (const CapturedLine& r : l.rules) p.drawLine(QPointF(px(r.x1), px(r.y1)), QPointF(px(r.x2), px(r.y2)));
  for (const CapturedText& t : l.heading) {
    setSize(t.size);
    if (t.justify == 'R')
      right(t.text, t.x, t.y);
    else
      left(t.text, t.x, t.y);
  }
  setSize(l.size);

  XBO_dBHandler h(table, true, false, "");
  h.SetLockProtocol(TxbLokProtocol::ClipLock);
  h.OpenIndexFile(index);
  h.SelectTag("DAT", false);
  h.SetTagRange(kFrom, kTo, false, true, true);
  double receipts = 0, expenses = 0;
  int page = 1, onPage = 0;
  double y = l.firstRow;
  for (h.GoRecord(xbmoFirst); !h.Eof(); h.GoRecord(xbmoNext)) {
    int year = 0, month = 0, day = 0;
    DbfDate().DecodeJulian(h.GetDate("PLA_DAT"), year, month, day);
    left(FormatDateTime("dd.mm.yyyy", EncodeDate(year, month, day)), 2, y);
    left(OemText(h.GetText("PLA_DO1")), 4.5, y);
    left(OemText(h.GetText("PLA_SML")), 6.75, y);
    left(OemText(h.GetText("PLA_KOM")), 9, y);
    const double amount = h.GetNumber("PLA_HOD");
    if (amount > 0) {
      right(Money("%8.2f", amount), 16, y);
      receipts += amount;
    } else {
      right(Money("%8.2f", amount), 18, y);
      expenses += amount;
    }
    right(Money("%8.2f", h.GetNumber("PLA_STA")), 20, y);
    y += l.rowDepth;
    if (++onPage == (page == 1 ? l.rowsFirst : l.rowsLater)) {
      left("Strana " + IntToStr(page), 2, y);
      writer.newPage();
      ++page;
      onPage = 0;
      y = l.laterFirstRow;
    }
  }
  left("Celkem za sestavu", 2, y);
  right(Money("%10.2f", receipts), 16, y);
  right(Money("%10.2f", expenses), 18, y);
  p.end();
  return buffer.data().toStdString();
}

// The pdftotext lines with their blanks collapsed.
std::vector<std::string> TextLines(const std::string& path, const std::string& pdf) {
  std::ofstream(path, std::ios::binary) << pdf;
  std::vector<std::string> lines;
  std::istringstream in(PdfText(path));
  std::string line;
  while (std::getline(in, line)) {
    std::string collapsed;
    for (char c : line) {
      const bool blank = c == ' ' || c == '\t' || c == '\f';
      if (blank && (collapsed.empty() || collapsed.back() == ' ')) continue;
      collapsed += blank ? ' ' : c;
    }
    while (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
    if (!collapsed.empty()) lines.push_back(collapsed);
  }
  return lines;
}

// The lines as one string with no blanks at all.
std::string WithoutBlanks(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines)
    for (char c : line)
      if (c != ' ') out += c;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::QuickRun(argc, argv);
  int documents = quick ? 2000 : 100000;
  int repeat = quick ? 1 : 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--documents") == 0) documents = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");

  const bench::ReportProgram program = bench::StartReportProgram("cash_book_pdf_bench", documents, argc, argv);
  if (program.scratch.empty()) return 1;
  const std::string& scratch = program.scratch;
  FakePrinterBackend* printers = program.printers;

  const ReportCapture capture = CaptureCashBook();
  const Layout layout = ReadLayout(capture);
  const std::string table = scratch + "data/Pla0001.dbf";
  const std::string index = scratch + "data/Pla0001.cdx";

  const std::string rendered = scratch + "rendered.pdf";
  std::vector<double> engine, baseline, renderer;
  std::string baselinePdf;
  int status = 0;
  for (int r = 0; r < repeat; ++r) {
    printers->jobs.clear();
    engine.push_back(Seconds([] {
      RunCashBook(false);
      CloseCashBook();
    }));
    baseline.push_back(Seconds([&] { baselinePdf = DrawBaseline(table, index, layout); }));
    std::remove(rendered.c_str());
    renderer.push_back(Seconds([&] {
      RenderCashBook(rendered);
      CloseCashBook();
    }));
    if (printers->jobs.size() != 1) {
      std::fprintf(stderr, "%zu print jobs instead of one\n", printers->jobs.size());
      status = 1;
      break;
    }
  }

  if (status == 0) {
    if (std::string missing = PdfToolMissing(); !missing.empty()) {
      std::printf("(%s is not installed: the PDFs' texts are not compared)\n", missing.c_str());
    } else {
      const auto b = TextLines(scratch + "baseline.pdf", baselinePdf);
      const int baselinePages = PdfPageCount(scratch + "baseline.pdf");
      std::ifstream renderedFile(rendered, std::ios::binary);
      const std::string renderedPdf{std::istreambuf_iterator<char>(renderedFile), std::istreambuf_iterator<char>()};
      // The renderer's PDF pads every text with a blank on each side, and
      // pdftotext puts texts that overlap (the totals of a large journal
      // run into each other) on lines of their own: its text is compared
      // as one string without blanks.
      struct Output {
        const char* name;
        const std::string& pdf;
        bool blanksApart;
      };
      for (const Output& o : {Output{"engine", printers->jobs[0].pdf, false}, Output{"renderer", renderedPdf, true}}) {
        const std::string path = scratch + o.name + "-text.pdf";
        auto a = TextLines(path, o.pdf);
        auto want = b;
        if (o.blanksApart) {
          a = {WithoutBlanks(a)};
          want = {WithoutBlanks(b)};
        }
        const int pages = PdfPageCount(path);
        if (a != want || pages != capture.pages || baselinePages != capture.pages) {
          std::size_t i = 0;
          while (i < a.size() && i < want.size() && a[i] == want[i]) ++i;
          std::string got = i < a.size() ? a[i] : "(end)", expected = i < want.size() ? want[i] : "(end)";
          if (o.blanksApart) {  // the one long line from shortly before the difference
            std::size_t k = 0;
            while (k < got.size() && k < expected.size() && got[k] == expected[k]) ++k;
            k = k > 40 ? k - 40 : 0;
            got = got.substr(k, 100);
            expected = expected.substr(std::min(k, expected.size()), 100);
          }
          std::fprintf(stderr, "the PDFs' texts differ at line %zu (pages %d and %d of %d)\n  %-9s %s\n  baseline: %s\n",
                       i + 1, pages, baselinePages, capture.pages, (std::string(o.name) + ":").c_str(), got.c_str(),
                       expected.c_str());
          status = 1;
        }
      }
    }
  }
  const double a = Median(engine), b = Median(baseline), c = Median(renderer);
  const int pages = capture.pages;
  std::printf("cash book to PDF, %d documents, %d pages: application %.1f ms per 1000 pages, baseline (QPdfWriter "
              "loop over the table handler) %.1f ms per 1000 pages, ratio %.3f (median of %d)\n",
              documents, pages, a * 1e6 / pages, b * 1e6 / pages, b > 0 ? a / b : 0.0, repeat);
  std::printf("cash book through RptRenderPDF1 to a PDF file: %.1f ms per 1000 pages, ratio to the baseline %.3f, "
              "to the application's printer path %.3f\n",
              c * 1e6 / pages, b > 0 ? c / b : 0.0, a > 0 ? c / a : 0.0);
  std::fflush(stdout);
  FreeProgramObjects();
  SetPrinterBackend(nullptr);
  std::system(("rm -rf '" + scratch + "'").c_str());
  return status;
}
