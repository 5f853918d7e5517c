// Direct printing: a cash-book-shaped report (a header, eight tab stops
// with box lines, 45 lines a page of Czech text and amounts, page numbers)
// printed through TPrinterReport into a job PDF, against the same strings
// and lines drawn at the same device positions with QPainter on a
// QPdfWriter (baseline), at the same resolution.
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "bench/bench_harness.h"
#include "platform/gui/printer_list.h"
#include "platform/gui/qt_support.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "report/canvas_report.h"

namespace {

constexpr int kLines = 45;
constexpr int kDpi = 600;
const double kStops[8] = {0.5, 1.3, 2.1, 3.4, 4.7, 5.5, 6.3, 7.1};
const double kWidths[8] = {0.8, 0.8, 1.3, 1.3, 0.8, 0.8, 0.8, 0.8};

// One printer that takes jobs and throws them away.
class NullPrinters : public TPrinterBackend {
 public:
  std::vector<AnsiString> Destinations() override { return {"Bench"}; }
  int DefaultDestination() override { return 0; }
  bool Capabilities(const AnsiString&, TPrinterCaps& caps) override {
    caps = TPrinterCaps{};
    caps.resolution = kDpi;
    caps.papers = {{"A4", 9, "iso_a4_210x297mm", 210 / 25.4, 297 / 25.4, 0, 0, 0, 0}};
    caps.defaults.fields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
    return true;
  }
  int Submit(const AnsiString&, const std::string&, const TPrintJobOptions&) override { return 1; }
  void Cancel(const AnsiString&, int) override {}
};

AnsiString Cell(int page, int line, int column) {
  static const AnsiString words[] = {Cz("Příjem"), Cz("Výdej"), Cz("Nákup materiálu"), Cz("Tržba pokladna")};
  if (column >= 5) return Format("%8.2f", (page * 37 + line * 13 + column) % 100000 / 100.0);
  if (column == 0) return IntToStr(page * 100 + line);
  return words[(line + column) % 4];
}

void PrintReport(int pages, const std::string& path) {
  TPrinterReport r;
  r.SetOutputName(Utf8ToAnsi(path));
  r.OnPrint = [&](TObject*) {
    for (int page = 1; page <= pages; ++page) {
      if (page > 1) r.NewPage();
      r.SelectFont("ArialCE", 12);
      r.SetFontCharset(238);
      r.Home();
      r.PrintTextLine(Cz("Pokladní kniha — strana ") + IntToStr(page));
      r.SelectFont("ArialCE", 9);
      r.SetFontCharset(238);
      r.ClearAllTabs();
      for (int i = 0; i < 8; ++i) r.AddTab(kStops[i], i >= 5 ? pjRight : pjLeft, kWidths[i], 5, BOXLINEALL, 0);
      for (int line = 0; line < kLines; ++line) {
        for (int c = 0; c < 8; ++c) r.PrintInTab(Cell(page, line, c));
        r.NewLine();
      }
    }
  };
  r.RunReport();
}

void PrintBaseline(int pages, const std::string& path) {
  QPdfWriter writer(QString::fromStdString(path));
  writer.setResolution(kDpi);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  QPainter p(&writer);
  QFont title("Liberation Sans");
  title.setPixelSize(100);
  QFont body("Liberation Sans");
  body.setPixelSize(75);
  double lh = kDpi / 6.0;
  for (int page = 1; page <= pages; ++page) {
    if (page > 1) writer.newPage();
    p.setFont(title);
    p.drawText(QPointF(0, lh), gui_detail::ToQt(Cz("Pokladní kniha — strana ") + IntToStr(page)));
    p.setFont(body);
    for (int line = 0; line < kLines; ++line) {
      double bottom = lh * (line + 2);
      for (int c = 0; c < 8; ++c) {
        double l = kStops[c] * kDpi, r = (kStops[c] + kWidths[c]) * kDpi;
        p.drawText(QPointF(l + 30, bottom - 20), gui_detail::ToQt(Cell(page, line, c)));
        p.drawLine(QPointF(l, bottom - lh), QPointF(r, bottom - lh));
        p.drawLine(QPointF(l, bottom), QPointF(r, bottom));
        p.drawLine(QPointF(l, bottom - lh), QPointF(l, bottom));
        p.drawLine(QPointF(r, bottom - lh), QPointF(r, bottom));
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  SetPrinterBackend(std::make_unique<NullPrinters>());
  bool quick = bench::QuickRun(argc, argv);
  int pages = quick ? 10 : 1000;
  int runs = quick ? 1 : 3;
  std::string dir = "/tmp";
  if (const char* t = std::getenv("TMPDIR"); t && *t) dir = t;
  std::string reportPath = dir + "/report_print_bench_" + std::to_string(getpid()) + "_report.pdf";
  std::string basePath = dir + "/report_print_bench_" + std::to_string(getpid()) + "_base.pdf";
  double report = bench::MedianNs([&] { PrintReport(pages, reportPath); }, runs);
  double base = bench::MedianNs([&] { PrintBaseline(pages, basePath); }, runs);
  std::remove(reportPath.c_str());
  std::remove(basePath.c_str());
  std::printf("report print, %d pages: report %.3f ms/page, baseline (QPainter on QPdfWriter) %.3f ms/page, ratio %.3f\n",
              pages, report / 1e6 / pages, base / 1e6 / pages, base > 0 ? report / base : 0.0);
  SetPrinterBackend(nullptr);
  return 0;
}
