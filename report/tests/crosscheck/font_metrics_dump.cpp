// Prints the report's font measures for font_metrics_check.py: per-byte
// advances of the device fonts at several pixel sizes, their ascent,
// descent and internal leading, and a few measured texts.
#include <QGuiApplication>

#include <cstdio>

#include "platform/gui/graphics.h"
#include "platform/gui/report_fonts.h"
#include "platform/rtl/system.h"
#include "report/rpt_font_manager.h"

namespace {

struct Face {
  const char* key;  // the font file's base name
  const char* name;
  TFontStyles style;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  TFontStyles bold, italic, both;
  bold.Include(fsBold);
  italic.Include(fsItalic);
  both.Include(fsBold);
  both.Include(fsItalic);
  const Face faces[] = {
      {"LiberationSans-Regular", "ArialCE", {}},
      {"LiberationSans-Bold", "ArialCE", bold},
      {"LiberationSans-Italic", "ArialCE", italic},
      {"LiberationSans-BoldItalic", "ArialCE", both},
      {"LiberationMono-Regular", "Courier New", {}},
  };
  for (const Face& f : faces) {
    for (int px : {600, 13, 83, 100}) {
      TRptDeviceFont d(f.name, -px, 0, f.style, EASTEUROPE_CHARSET, fpDefault);
      std::printf("metrics %s %d %d %d %d\n", f.key, px, d.Ascent(), d.Descent(), d.InternalLeading());
      for (int c = 0; c < 256; ++c) std::printf("adv %s %d %d %d\n", f.key, px, c, d.Advance(static_cast<unsigned char>(c)));
    }
  }
  // Font manager: 600-pixel tables scaled to size and resolution.
  TFont mono;
  mono.SetName("Courier New");
  mono.SetHeight(-83);
  mono.SetCharset(EASTEUROPE_CHARSET);
  std::printf("mono A %d AB %d\n", RptFontManager().TextWidth(mono, 600, 600, "A"),
              RptFontManager().TextWidth(mono, 600, 600, "AB"));
  AnsiString czech = Cz("Příjmy Výdeje Zůstatek");
  TFont arial;
  arial.SetName("ArialCE");
  arial.SetCharset(EASTEUROPE_CHARSET);
  arial.SetHeight(-83);  // 10 points at 600 dpi
  std::printf("czech600 %d\n", RptFontManager().TextWidth(arial, 600, 600, czech));
  // One rule: the screen canvas and the report's device font agree.
  TBitmap bmp;
  bmp.SetSize(10, 10);
  TCanvas* canvas = bmp.Canvas();
  canvas->Font()->SetName("ArialCE");
  canvas->Font()->SetCharset(EASTEUROPE_CHARSET);
  canvas->Font()->SetHeight(-13);
  TRptDeviceFont d13("ArialCE", -13, 0, {}, EASTEUROPE_CHARSET, fpDefault);
  std::printf("czech13 %d %d\n", canvas->TextWidth(czech), d13.TextWidth(czech));
  return 0;
}
