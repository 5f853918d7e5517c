// Cash vouchers printed one by one: every document of a demo journal run
// through the report system (Execute, the printer destination, a job PDF
// each) against a minimal QPdfWriter loop (baseline) that draws the same
// texts and lines at the same places with the same font, as read back from
// each voucher's page stream. Prints vouchers per second of both and the
// ratio; the two PDFs of the first and the last voucher must give the same
// pdftotext output.
//
//   voucher_print_bench [--vouchers N] [--quick]
#include <QApplication>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/program.h"
#include "app/report_module.h"
#include "app/tests/report_capture.h"
#include "bench/bench_harness.h"
#include "bench/report_program_bench.h"
#include "platform/gui/application.h"
#include "platform/gui/qt_support.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/system.h"
#include "report/report_filer.h"
#include "report/tests/support/pdf_tools.h"
#include "tools/mkdemo/demo_data.h"

namespace {

constexpr int kDpi = 600;

double Seconds(const std::function<void()>& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The page stream of the current document's voucher.
ReportCapture CaptureVoucher() {
  TReportFiler filer;
  TMemoryStream out;
  filer.SetStreamMode(smUser);
  filer.SetStream(&out);
  DataSestavy->ReportSystem->ApplyPrinterSettings(&filer);
  DataSestavy->ReportKind = rkVoucher;
  filer.OnPrint = [](TObject* sender) { DataSestavy->ReportSystemPrint(sender); };
  filer.RunReport();
  return CaptureReportStream(std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size())));
}

// The baseline: the captured texts and lines on one A4 page.
std::string DrawBaseline(const ReportCapture& page) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kDpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p(&writer);
    auto px = [](double cm) { return cm / 2.54 * kDpi; };
    for (const CapturedLine& l : page.lines) p.drawLine(QPointF(px(l.x1), px(l.y1)), QPointF(px(l.x2), px(l.y2)));
    for (const CapturedText& t : page.texts) {
      QFont font("Liberation Sans");
      font.setPixelSize(static_cast<int>(t.size / 72.0 * kDpi + 0.5));
      p.setFont(font);
      const QString text = gui_detail::ToQt(t.text);
      double x = px(t.x);
      if (t.justify == 'R') x -= QFontMetricsF(font, &writer).horizontalAdvance(text);
      if (t.justify == 'C') x -= QFontMetricsF(font, &writer).horizontalAdvance(text) / 2;
      p.drawText(QPointF(x, px(t.y)), text);
    }
  }
  return buffer.data().toStdString();
}

std::string TextOf(const std::string& dir, const std::string& name, const std::string& pdf) {
  const std::string path = dir + name;
  std::ofstream(path, std::ios::binary) << pdf;
  return PdfText(path);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::QuickRun(argc, argv);
  int vouchers = quick ? 20 : 500;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--vouchers") == 0) vouchers = std::max(1, std::atoi(argv[i + 1]));
  qputenv("QT_QPA_PLATFORM", "offscreen");

  const bench::ReportProgram program = bench::StartReportProgram("voucher_print_bench", vouchers, argc, argv);
  if (program.scratch.empty()) return 1;
  const std::string& scratch = program.scratch;
  FakePrinterBackend* printers = program.printers;
  TReportSystem* rs = DataSestavy->ReportSystem;
  TXbaseDataSet* journal = Data->Platebna;

  std::vector<ReportCapture> pages;
  for (journal->First(); !journal->Eof() && static_cast<int>(pages.size()) < vouchers; journal->Next())
    pages.push_back(CaptureVoucher());
  vouchers = static_cast<int>(pages.size());

  const double engine = Seconds([&] {
    int printed = 0;
    for (journal->First(); !journal->Eof() && printed < vouchers; journal->Next(), ++printed) {
      DataSestavy->ReportKind = rkVoucher;
      rs->Execute();
    }
  });
  std::vector<std::string> baselinePdfs;
  const double baseline = Seconds([&] {
    for (const ReportCapture& page : pages) baselinePdfs.push_back(DrawBaseline(page));
  });

  int status = 0;
  if (static_cast<int>(printers->jobs.size()) != vouchers) {
    std::fprintf(stderr, "%zu jobs for %d vouchers\n", printers->jobs.size(), vouchers);
    status = 1;
  } else if (std::string missing = PdfToolMissing(); !missing.empty()) {
    std::printf("(%s is not installed: the PDFs' texts are not compared)\n", missing.c_str());
  } else {
    for (int i : {0, vouchers - 1}) {
      const std::string a = TextOf(scratch, "engine.pdf", printers->jobs[static_cast<std::size_t>(i)].pdf);
      const std::string b = TextOf(scratch, "baseline.pdf", baselinePdfs[static_cast<std::size_t>(i)]);
      if (a != b || a.find("Pokladn") == std::string::npos) {
        std::fprintf(stderr, "voucher %d: the PDFs' texts differ\n--- engine\n%s\n--- baseline\n%s\n", i + 1,
                     a.c_str(), b.c_str());
        status = 1;
      }
    }
  }
  std::printf("voucher print, %d vouchers: report system %.1f vouchers/s, baseline (QPdfWriter loop) %.1f vouchers/s, "
              "ratio %.3f\n",
              vouchers, vouchers / engine, vouchers / baseline, baseline > 0 ? engine / baseline : 0.0);
  std::fflush(stdout);
  FreeProgramObjects();
  SetPrinterBackend(nullptr);
  std::system(("rm -rf '" + scratch + "'").c_str());
  return status;
}
