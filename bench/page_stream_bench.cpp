// Page streams: the cash-book fixture report (a) generated page by page
// into a memory stream by TReportFiler and (b) replayed page by page by the
// page-stream player onto a 96-dpi page bitmap, against Qt's own drawing
// recorder as the baseline: the same texts and lines recorded into one
// QPicture per page and saved to a buffer, then loaded and played onto a
// QImage of the same size.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "platform/gui/printer_list.h"
#include "platform/gui/qt_support.h"
#include "report/file_printer.h"
#include "report/report_filer.h"
#include "report/tests/support/sample_reports.h"

namespace {

class NoPrinters : public TPrinterBackend {
 public:
  std::vector<AnsiString> Destinations() override { return {}; }
  int DefaultDestination() override { return -1; }
  bool Capabilities(const AnsiString&, TPrinterCaps&) override { return false; }
  int Submit(const AnsiString&, const std::string&, const TPrintJobOptions&) override { return 0; }
  void Cancel(const AnsiString&, int) override {}
};

class PageDevice : public TRptRenderDevice {
 public:
  PageDevice() { Bitmap()->SetSize(816, 1056); }
  int XDPI() override { return 96; }
  int YDPI() override { return 96; }
};

std::string Generate(int pages) {
  TReportFiler f;
  TMemoryStream out;
  f.SetStreamMode(smUser);
  f.SetStream(&out);
  f.OnPrint = [&](TObject*) { PrintCashBookSample(&f, pages); };
  f.RunReport();
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

void Replay(const std::string& bytes, int pages) {
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  PageDevice device;
  TFilePrinter p;
  p.SetDevice(&device);
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  p.BeginReplay();
  for (int page = 1; page <= pages; ++page) p.PlayPage(page);
  p.EndReplay();
}

// The same drawing calls as the fixture, recorded by Qt.
std::vector<QByteArray> Record(int pages) {
  std::vector<QByteArray> out;
  QFont font("Liberation Sans");
  font.setPixelSize(13);
  for (int page = 1; page <= pages; ++page) {
    QPicture picture;
    QPainter p(&picture);
    p.setFont(font);
    p.drawText(96, 96, "Pokladni kniha");
    p.drawText(QRect(0, 110, 720, 20), Qt::AlignRight, QString("Strana %1 z %2").arg(page).arg(pages));
    for (int line = 0; line < 20; ++line) {
      int y = static_cast<int>((1.6 + line * 0.2) * 96);
      p.drawText(96, y, QString::asprintf("%4d  Doklad %d", line + 1, page * 100 + line));
      p.drawText(QRect(0, y - 13, 720, 16), Qt::AlignRight, QString::asprintf("%8.2f", (page * 20 + line) * 12.5));
    }
    p.drawText(96, 960, "Celkem: 1000.00");
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer);
    out.push_back(bytes);
  }
  return out;
}

void Play(const std::vector<QByteArray>& pictures) {
  QImage image(816, 1056, QImage::Format_RGB32);
  for (const QByteArray& bytes : pictures) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QPicture picture;
    picture.load(&buffer);
    image.fill(Qt::white);
    QPainter p(&image);
    p.drawPicture(0, 0, picture);
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  SetPrinterBackend(std::make_unique<NoPrinters>());
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  int pages = bench::QuickRun(argc, argv) ? 10 : 1000;
  int runs = bench::QuickRun(argc, argv) ? 1 : 3;

  std::string stream;
  double generate = bench::MedianNs([&] { stream = Generate(pages); }, runs);
  std::vector<QByteArray> pictures;
  double record = bench::MedianNs([&] { pictures = Record(pages); }, runs);
  double replay = bench::MedianNs([&] { Replay(stream, pages); }, runs);
  double play = bench::MedianNs([&] { Play(pictures); }, runs);
  std::size_t pictureBytes = 0;
  for (const QByteArray& b : pictures) pictureBytes += static_cast<std::size_t>(b.size());

  std::printf("pages %d: stream %.0f bytes/page, QPicture %.0f bytes/page\n", pages,
              static_cast<double>(stream.size()) / pages, static_cast<double>(pictureBytes) / pages);
  std::printf("generate: %.3f ms/page, record (QPicture): %.3f ms/page, ratio %.3f\n", generate / 1e6 / pages,
              record / 1e6 / pages, generate / record);
  std::printf("replay: %.3f ms/page, play (QPicture): %.3f ms/page, ratio %.3f\n", replay / 1e6 / pages,
              play / 1e6 / pages, replay / play);
  SetPrinterBackend(nullptr);
  return 0;
}
