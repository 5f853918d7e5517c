// The canvas additions reports draw with (shapes, background modes, pen
// mask, pattern brush, rotated text), streamed pictures, the font table
// additions, the silent abort, and print jobs on the fake printer backend.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "platform/gui/application.h"
#include "platform/gui/graphics.h"
#include "platform/gui/print_job.h"
#include "platform/gui/qt_support.h"
#include "platform/gui/resources.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_pixels.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/streams.h"
#include "testing/temp_dir.h"

namespace {

struct Page {
  TBitmap bmp;
  TCanvas* c;
  explicit Page(int w = 60, int h = 40) {
    bmp.SetSize(w, h);
    c = bmp.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, w, h));
  }
  TRect All() const { return Rect(0, 0, bmp.Width(), bmp.Height()); }
};

TEST(PrintingCanvasGui, ShapesStayInsideTheirBoundingBox) {
  struct Case {
    const char* name;
    std::function<void(TCanvas*)> draw;
  } cases[] = {
      {"ellipse", [](TCanvas* c) { c->Ellipse(10, 5, 40, 25); }},
      {"round rect", [](TCanvas* c) { c->RoundRect(10, 5, 40, 25, 8, 8); }},
      {"pie", [](TCanvas* c) { c->Pie(10, 5, 40, 25, 40, 15, 25, 5); }},
      {"chord", [](TCanvas* c) { c->Chord(10, 5, 40, 25, 40, 15, 10, 15); }},
      {"arc", [](TCanvas* c) { c->Arc(10, 5, 40, 25, 40, 15, 10, 15); }},
      {"polygon", [](TCanvas* c) { c->Polygon({{10, 5}, {39, 5}, {39, 24}}); }},
  };
  for (const Case& k : cases) {
    Page p;
    p.c->Pen()->SetColor(clRed);
    p.c->Brush()->SetColor(clBlue);
    k.draw(p.c);
    const QImage& img = p.bmp.Image();
    EXPECT_GT(CountColor(img, Rect(10, 5, 40, 25), clRed), 10) << k.name;
    EXPECT_EQ(CountOther(img, Rect(0, 0, 60, 5), {clWhite}), 0) << k.name;
    EXPECT_EQ(CountOther(img, Rect(40, 0, 60, 40), {clWhite}), 0) << k.name;
    EXPECT_EQ(CountOther(img, Rect(0, 25, 60, 40), {clWhite}), 0) << k.name;
  }
}

TEST(PrintingCanvasGui, FloodFillAndMaskPenAndPatternBrush) {
  Page p;
  p.c->Pen()->SetColor(clBlack);
  p.c->Brush()->SetStyle(bsClear);
  p.c->Rectangle(5, 5, 20, 20);
  p.c->Brush()->SetColor(clLime);
  p.c->FloodFill(10, 10, clWhite, fsSurface);
  EXPECT_EQ(PixelAt(p.bmp.Image(), 10, 10), clLime);
  EXPECT_EQ(PixelAt(p.bmp.Image(), 25, 25), clWhite);  // the frame held it in

  // Mask: red ANDed onto lime (0x00FF00) leaves black.
  p.c->Pen()->SetMode(pmMask);
  p.c->Pen()->SetColor(clRed);
  p.c->MoveTo(6, 12);
  p.c->LineTo(19, 12);
  EXPECT_EQ(PixelAt(p.bmp.Image(), 10, 12), clBlack);

  TBitmap pattern;
  pattern.SetSize(2, 1);
  pattern.Canvas()->SetPixels(0, 0, clRed);
  pattern.Canvas()->SetPixels(1, 0, clBlue);
  p.c->Brush()->SetBitmap(&pattern);
  p.c->FillRect(Rect(30, 30, 34, 31));
  EXPECT_EQ(CountColor(p.bmp.Image(), Rect(30, 30, 34, 31), clRed), 2);
  EXPECT_EQ(CountColor(p.bmp.Image(), Rect(30, 30, 34, 31), clBlue), 2);
}

TEST(PrintingCanvasGui, BackgroundModesOfText) {
  for (TCanvasBkMode mode : {bkmTransparent, bkmOpaque}) {
    Page p;
    p.c->Brush()->SetColor(clBlue);
    p.c->SetBackColor(clYellow);
    p.c->SetBackgroundMode(mode);
    p.c->TextOut(2, 2, "Hi");
    int yellow = CountColor(p.bmp.Image(), p.All(), clYellow);
    EXPECT_EQ(CountColor(p.bmp.Image(), p.All(), clBlue), 0);
    if (mode == bkmOpaque)
      EXPECT_GT(yellow, 20);
    else
      EXPECT_EQ(yellow, 0);
  }
}

TEST(PrintingCanvasGui, RotatedTextRunsUpwards) {
  Page p(60, 80);
  p.c->Font()->SetName("Arial");
  p.c->Font()->SetHeight(-13);
  p.c->Font()->SetColor(clBlack);
  p.c->Font()->SetEscapement(900);
  p.c->SetBackgroundMode(bkmTransparent);
  p.c->TextOut(20, 70, "HHHHHH");
  // The text climbs from y = 70 towards y = 70 - width, left of x = 20 + ascent.
  int w = p.c->TextWidth("HHHHHH");
  EXPECT_GT(CountColor(p.bmp.Image(), Rect(0, 70 - w, 40, 70), clBlack), 30);
  EXPECT_EQ(CountColor(p.bmp.Image(), Rect(0, 71, 60, 80), clBlack), 0);
}

TEST(PrintingCanvasGui, BitmapsStreamAsBmpAndOtherPicturesKeepTheirBytes) {
  TBitmap b;
  b.SetSize(3, 2);
  b.Canvas()->SetPixels(0, 0, clRed);
  b.Canvas()->SetPixels(2, 1, clBlue);
  TMemoryStream s;
  b.SaveToStream(s);
  ASSERT_EQ(s.Size(), 54 + 2 * 12);  // 9 bytes a row padded to 12
  const auto* bytes = static_cast<const unsigned char*>(s.Memory());
  EXPECT_EQ(bytes[28], 24);
  EXPECT_EQ(bytes[54 + 12 + 0], 0x00);  // top row stored last: red is B=0,G=0,R=255
  EXPECT_EQ(bytes[54 + 12 + 2], 0xFF);
  s.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(s);
  EXPECT_EQ(PixelAt(back.Image(), 0, 0), clRed);
  EXPECT_EQ(PixelAt(back.Image(), 2, 1), clBlue);

  TMemoryStream junk;
  junk.WriteBuffer("BMnonsense-not-a-bitmap-at-all", 30);
  junk.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(junk), EInvalidGraphic);

  // A placeable metafile 2 x 1 inches at 1440 units per inch.
  std::string wmf(22, '\0');
  const unsigned char head[] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0x40, 0x0B, 0xA0, 0x05, 0xA0, 0x05};
  std::copy(std::begin(head), std::end(head), wmf.begin());
  TMemoryStream ms;
  ms.WriteBuffer(wmf.data(), static_cast<int64_t>(wmf.size()));
  ms.SetPosition(0);
  TMetafile meta;
  meta.LoadFromStream(ms);
  EXPECT_EQ(meta.Width(), 192);
  EXPECT_EQ(meta.Height(), 96);
  EXPECT_EQ(meta.Bytes(), wmf);
}

TEST(PrintingCanvasGui, ReportFacesSubstituteMetricCompatibleFamilies) {
  struct Case {
    const char* name;
    const char* family;
    bool fixed;
  } cases[] = {
      {"Arial CE", "Liberation Sans", false},  {"Times New Roman", "Liberation Serif", false},
      {"Courier New", "Liberation Mono", true}, {"Courier", "Liberation Mono", true},
      {"Wingdings", "DejaVu Sans", false},
  };
  for (const Case& c : cases) {
    TFont f;
    f.SetName(c.name);
    f.SetHeight(-600);
    EXPECT_EQ(f.ResolvedFamily(), c.family) << c.name;
    EXPECT_EQ(gui_detail::FaceOf(f).fixedPitch, c.fixed) << c.name;
  }
  EXPECT_EQ(gui_detail::ToQt("\x41", gui_detail::CodePageOf(SYMBOL_CHARSET)), QString(QChar(0xF041)));
}

TEST(PrintingCanvasGui, SilentAbortShowsNothing) {
  int handled = 0;
  Application->OnException = [&](TObject*, const std::exception&) { ++handled; };
  Application->HandleException(nullptr, EAbort());
  EXPECT_EQ(handled, 0);
  Application->HandleException(nullptr, Exception("x"));
  EXPECT_EQ(handled, 1);
  Application->OnException = nullptr;
  EXPECT_THROW(Abort(), EAbort);
}

TEST(PrintingCanvasGui, PrintJobsGoToTheBackendOrToTheOutputFile) {
  FakePrinterBackend* fake = InstallFakePrinters({{"Office", OfficePrinterCaps(), true}, {"Other", OfficePrinterCaps(), true}}, 1);
  EXPECT_EQ(Printer()->Printers()->Count(), 2);
  EXPECT_EQ(Printer()->PrinterIndex(), 1);
  TPrintPageLayout a4{210 / 25.4, 297 / 25.4, false, 0.25, 0.25, 0.25, 0.25, 300};
  TPrintJobOptions options;
  options.copies = 2;
  {
    TPrintJob job("Office", "", a4, options);
    job.Canvas()->Pen()->SetColor(clBlack);
    job.Canvas()->MoveTo(0, 0);
    job.Canvas()->LineTo(100, 0);
    job.NewPage(a4);
    job.Canvas()->TextOut(10, 10, "Strana 2");
    EXPECT_EQ(job.End(), 1);
  }
  ASSERT_EQ(fake->jobs.size(), 1u);
  EXPECT_EQ(fake->jobs[0].options.copies, 2);
  EXPECT_EQ(fake->jobs[0].pdf.substr(0, 5), "%PDF-");
  {
    TPrintJob dropped("Office", "", a4, options);
    dropped.Abort();
  }
  EXPECT_EQ(fake->jobs.size(), 1u);

  TempDir dir;
  std::string file = dir.Path() + "/out.prn";
  {
    TPrintJob toFile("Office", Utf8ToAnsi(file), a4, options);
    EXPECT_EQ(toFile.End(), 0);
  }
  EXPECT_EQ(fake->jobs.size(), 1u);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(file)));

  // An aborted job deletes its half-written output only when that is a plain
  // file: an output named through a link (or a device such as /dev/null)
  // stays where it is.
  std::string link = dir.Path() + "/link.prn";
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  {
    TPrintJob viaLink("Office", Utf8ToAnsi(link), a4, options);
    viaLink.Abort();
  }
  EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(file)));
  SetPrinterBackend(nullptr);
}

}  // namespace
