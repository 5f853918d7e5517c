// PDF output: a cash-book-shaped report (a header, eight tab stops with box
// lines, 45 lines a page of Czech text and amounts) rendered to PDF
//   (a) through the whole chain: TReportFiler into a memory page stream,
//       then TRptRenderPDF into a file;
//   (b) from the finished page stream only;
// against two baselines drawing the same strings and lines at the same
// positions: QPainter on a QPdfWriter with Liberation Sans, and cairo's PDF
// surface (cairo_show_text, Liberation Sans, UTF-8 text) when installed.
// Median of three runs; --quick renders 10 pages once; --verify checks the
// three files with qpdf.
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#ifdef HAVE_CAIRO
#include <cairo-pdf.h>
#include <cairo.h>
#endif

#include "bench/bench_harness.h"
#include "platform/gui/printer_list.h"
#include "platform/gui/qt_support.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "report/pdf_render.h"
#include "report/report_filer.h"

namespace {

constexpr int kLines = 45;
constexpr int kDpi = 600;
const double kStops[8] = {0.5, 1.3, 2.1, 3.4, 4.7, 5.5, 6.3, 7.1};
const double kWidths[8] = {0.8, 0.8, 1.3, 1.3, 0.8, 0.8, 0.8, 0.8};
constexpr double kLineHeight = 1.0 / 6;  // inches

// One printer for the page size; jobs are never sent.
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

AnsiString Title(int page) { return Cz("Pokladní kniha — strana ") + IntToStr(page); }

std::string WriteStream(int pages) {
  TReportFiler r;
  TMemoryStream out;
  r.SetStreamMode(smUser);
  r.SetStream(&out);
  r.OnPrint = [&](TObject*) {
    for (int page = 1; page <= pages; ++page) {
      if (page > 1) r.NewPage();
      r.SelectFont("ArialCE", 12);
      r.SetFontCharset(238);
      r.Home();
      r.PrintTextLine(Title(page));
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
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

void RenderStream(const std::string& stream, const std::string& path) {
  TMemoryStream in;
  in.WriteBuffer(stream.data(), static_cast<int64_t>(stream.size()));
  in.SetPosition(0);
  TRptRenderPDF pdf;
  pdf.RenderFile(&in, Utf8ToAnsi(path));
}

void QtBaseline(int pages, const std::string& path) {
  QPdfWriter writer(QString::fromStdString(path));
  writer.setResolution(72);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  QPainter p(&writer);
  QFont title("Liberation Sans");
  title.setPixelSize(12);
  QFont body("Liberation Sans");
  body.setPixelSize(9);
  double lh = kLineHeight * 72;
  for (int page = 1; page <= pages; ++page) {
    if (page > 1) writer.newPage();
    p.setFont(title);
    p.drawText(QPointF(0, lh), gui_detail::ToQt(Title(page)));
    p.setFont(body);
    for (int line = 0; line < kLines; ++line) {
      double bottom = lh * (line + 2);
      for (int c = 0; c < 8; ++c) {
        double l = kStops[c] * 72, r = (kStops[c] + kWidths[c]) * 72;
        p.drawText(QPointF(l + 3.6, bottom - 2.4), gui_detail::ToQt(Cell(page, line, c)));
        p.drawLine(QPointF(l, bottom - lh), QPointF(r, bottom - lh));
        p.drawLine(QPointF(l, bottom), QPointF(r, bottom));
        p.drawLine(QPointF(l, bottom - lh), QPointF(l, bottom));
        p.drawLine(QPointF(r, bottom - lh), QPointF(r, bottom));
      }
    }
  }
}

#ifdef HAVE_CAIRO
void CairoBaseline(int pages, const std::string& path) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 595.28, 841.89);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_line_width(cr, 0.5);
  double lh = kLineHeight * 72;
  for (int page = 1; page <= pages; ++page) {
    if (page > 1) cairo_show_page(cr);
    cairo_set_font_size(cr, 12);
    cairo_move_to(cr, 0, lh);
    cairo_show_text(cr, AnsiToUtf8(Title(page)).c_str());
    cairo_set_font_size(cr, 9);
    for (int line = 0; line < kLines; ++line) {
      double bottom = lh * (line + 2);
      for (int c = 0; c < 8; ++c) {
        double l = kStops[c] * 72, r = (kStops[c] + kWidths[c]) * 72;
        cairo_move_to(cr, l + 3.6, bottom - 2.4);
        cairo_show_text(cr, AnsiToUtf8(Cell(page, line, c)).c_str());
        cairo_rectangle(cr, l, bottom - lh, r - l, lh);
        cairo_stroke(cr);
      }
    }
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  cairo_debug_reset_static_data();  // cairo's font caches, so leak checks stay quiet
}
#endif

long SizeOf(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  return f ? static_cast<long>(f.tellg()) : -1;
}

bool Verify(const std::string& path) {
  std::string command = "/usr/bin/qpdf --check '" + path + "' > /dev/null 2>&1";
  int rc = std::system(command.c_str());
  std::printf("qpdf --check %s: %s\n", path.c_str(), rc == 0 ? "ok" : "FAILED");
  return rc == 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  SetPrinterBackend(std::make_unique<NullPrinters>());
  bool quick = bench::QuickRun(argc, argv);
  bool verify = false;
  for (int i = 1; i < argc; ++i) verify = verify || std::string(argv[i]) == "--verify";
  int pages = quick ? 10 : 1000;
  int runs = quick ? 1 : 3;
  std::string dir = bench::ScratchDirectory("report_pdf_bench");
  if (dir.empty()) {
    std::fprintf(stderr, "no scratch directory\n");
    return 1;
  }
  std::string chainPath = dir + "chain.pdf", streamPath = dir + "stream.pdf", qtPath = dir + "qt.pdf",
              cairoPath = dir + "cairo.pdf";
  std::string stream = WriteStream(pages);
  double chain = bench::MedianNs([&] { RenderStream(WriteStream(pages), chainPath); }, runs);
  double fromStream = bench::MedianNs([&] { RenderStream(stream, streamPath); }, runs);
  double qt = bench::MedianNs([&] { QtBaseline(pages, qtPath); }, runs);
  auto line = [&](const char* name, double ns, const std::string& path) {
    std::printf("%-28s %8.3f ms/page, %9ld bytes\n", name, ns / 1e6 / pages, SizeOf(path));
  };
  std::printf("PDF of a %d-page cash book\n", pages);
  line("(a) filer + PDF renderer", chain, chainPath);
  line("(b) PDF renderer alone", fromStream, streamPath);
  line("QPainter on QPdfWriter", qt, qtPath);
  std::printf("ratio (a)/Qt %.3f, (b)/Qt %.3f\n", chain / qt, fromStream / qt);
  bool ok = true;
#ifdef HAVE_CAIRO
  double cairo = bench::MedianNs([&] { CairoBaseline(pages, cairoPath); }, runs);
  line("cairo PDF surface", cairo, cairoPath);
  std::printf("ratio (a)/cairo %.3f, (b)/cairo %.3f\n", chain / cairo, fromStream / cairo);
  if (verify) ok = Verify(cairoPath) && ok;
#else
  std::printf("cairo baseline skipped: cairo is not installed (libcairo2-dev)\n");
#endif
  if (verify) {
    ok = Verify(chainPath) && ok;
    ok = Verify(qtPath) && ok;
  }
  for (const std::string& p : {chainPath, streamPath, qtPath, cairoPath}) std::remove(p.c_str());
  rmdir(dir.c_str());
  SetPrinterBackend(nullptr);
  return ok ? 0 : 1;
}
