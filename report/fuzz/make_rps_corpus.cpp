// Writes the seed corpus of the page-stream fuzz targets: the fixture
// reports as written by the report filer, in both accuracy methods, into
// <folder>/rps_convert_seeds/, <folder>/rps_play_seeds/ and
// <folder>/rps_pdf_seeds/. Run it again
// when the fixtures change.
#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/gui/graphics.h"
#include "report/report_filer.h"
#include "report/tests/support/sample_reports.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_rps_corpus <report/fuzz folder>\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  SetFontSubstitutes("Liberation Sans", "DejaVu Sans", "Liberation Serif", "Liberation Mono");
  struct Fixture {
    const char* name;
    std::function<void(TBaseReport*)> body;
    TPrintUnits units;
  } fixtures[] = {{"voucher", PrintVoucherSample, unCM},
                  {"cashbook", [](TBaseReport* r) { PrintCashBookSample(r, 3); }, unInch},
                  {"shapes", PrintShapesSample, unInch}};
  std::filesystem::path root(argv[1]);
  for (const char* target : {"rps_convert_seeds", "rps_play_seeds", "rps_pdf_seeds"}) {
    std::filesystem::create_directories(root / target);
    for (const Fixture& f : fixtures)
      for (TAccuracyMethod m : {amAppearance, amPositioning}) {
        TReportFiler filer;
        TMemoryStream out;
        filer.SetUnits(f.units);
        filer.SetAccuracyMethod(m);
        filer.SetStreamMode(smUser);
        filer.SetStream(&out);
        filer.OnPrint = [&](TObject*) { f.body(&filer); };
        filer.RunReport();
        std::string name = std::string(f.name) + (m == amAppearance ? "-appearance.rps" : "-positioning.rps");
        std::ofstream(root / target / name, std::ios::binary)
            .write(static_cast<const char*>(out.Memory()), static_cast<std::streamsize>(out.Size()));
      }
  }
  return 0;
}
