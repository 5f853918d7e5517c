// The preview: zoom rules, refusals, the page bitmap's face, shadow,
// gutters and rulers, where a line lands, and a stream without pages.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/gui/testing/gui_pixels.h"
#include "report/file_preview.h"

namespace {

class PreviewGui : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakePrinters({});
    form = new TForm(nullptr);
    box = new TScrollBox(form);
    box->SetParent(form);
    box->SetBounds(0, 0, 600, 400);
  }
  void TearDown() override {
    delete form;
    SetPrinterBackend(nullptr);
  }
  std::string Stream(const std::function<void(TReportFiler&)>& body, const AnsiString& selection = "") {
    TReportFiler f;
    TMemoryStream out;
    f.SetStreamMode(smUser);
    f.SetStream(&out);
    f.SetUnits(unCM);
    f.SetSelection(selection);
    f.OnPrint = [&](TObject*) { body(f); };
    f.RunReport();
    return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
  }
  void Start(TFilePreview& p, const std::string& bytes) {
    in.Clear();
    in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    p.ScrollBox = box;
    p.SetStreamMode(smUser);
    p.SetStream(&in);
    p.StartDocument();
  }
  TForm* form = nullptr;
  TScrollBox* box = nullptr;
  TMemoryStream in;
};

TEST_F(PreviewGui, ZoomRules) {
  TFilePreview p;
  struct Case {
    double set, expect;
  } cases[] = {{5, 10}, {250, 200}, {150, 150}, {0.5, 10}};
  for (const Case& c : cases) {
    p.SetZoomFactor(c.set);
    EXPECT_EQ(p.ZoomFactor(), c.expect) << c.set;
  }
  p.SetZoomFactor(10);
  p.ZoomInc = 10;
  p.ZoomOut();
  EXPECT_EQ(p.ZoomFactor(), 10);
  Start(p, Stream([](TReportFiler& f) { f.Rectangle(1, 1, 2, 2); }));
  int frameW = box->Width() - box->ClientWidth(), frameH = box->Height() - box->ClientHeight();
  for (TMarginMethod method : {mmFixed, mmScaled}) {
    p.MarginMethod = method;
    p.MarginPercent = 5;
    double m = 0.05 * 96 * 8.5;
    p.SetZoomFactor(-1);
    double a = 600 - 4, b = 400 - 4;
    double whole = method == mmFixed ? std::min((a - 2 * std::round(m)) / (96 * 8.5), (b - 2 * std::round(m)) / (96 * 11.0))
                                     : std::min(a / (96 * 8.5 * 1.1), b / (96 * 11.0 + 96 * 8.5 * 0.1));
    EXPECT_NEAR(p.ZoomFactor(), 100 * whole, 1e-9) << method;
    p.SetZoomFactor(-2);
    double w = method == mmFixed ? (600 - frameW - 2 * std::round(m)) / (96 * 8.5) : (600 - frameW) / (96 * 8.5 * 1.1);
    // The page at that width is taller than the box: the vertical bar is
    // taken off too.
    double bar = box->VertScrollBar()->Size();
    double w2 = method == mmFixed ? (600 - bar - frameW - 2 * std::round(m)) / (96 * 8.5)
                                  : (600 - bar - frameW) / (96 * 8.5 * 1.1);
    (void)frameH;
    EXPECT_NEAR(p.ZoomFactor(), 100 * w2, 1e-9) << method << " " << w;
  }
  p.FinishDocument();
}

TEST_F(PreviewGui, RefusalsAndMessages) {
  MessageBoxRecorder boxes;
  TFilePreview p;
  p.SetShadowDepth(2);
  p.SetMonochrome(true);
  EXPECT_FALSE(p.Monochrome());
  p.SetShadowDepth(0);
  p.SetMonochrome(true);
  p.SetShadowDepth(3);
  EXPECT_EQ(p.ShadowDepth(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "Monochrome not allowed while shadows are in effect.\rChange ShadowDepth to 0 first");
  EXPECT_EQ(boxes.Boxes()[1].Text, "Shadows not allowed while monochrome in effect.\rChange Monochrome to false first");
  TFilePreview q;
  try {
    q.StartDocument();
    ADD_FAILURE();
  } catch (const EReportError& e) {
    EXPECT_EQ(e.Message(), "ScrollBox must be assigned for FilePreview component");
  }
}

TEST_F(PreviewGui, PageBitmapFacts) {
  for (double zoom : {100.0, 150.0}) {
    TFilePreview p;
    p.SetShadowDepth(2);
    p.RulerType = rtBothCm;
    p.SetZoomFactor(zoom);
    Start(p, Stream([](TReportFiler& f) {
      f.SetPen(clBlack, psSolid, 1, pmCopy);
      f.MoveTo(1, 3);
      f.LineTo(15, 3);
    }));
    const QImage& img = p.PageBitmap()->Image();
    int faceW = static_cast<int>(std::lround(96 * 8.5 * zoom / 100)), faceH = static_cast<int>(std::lround(96 * 11 * zoom / 100));
    EXPECT_EQ(img.width(), faceW + 2 + 20);
    EXPECT_EQ(img.height(), faceH + 2 + 20);
    EXPECT_EQ(QColor(img.pixel(20 + faceW / 2, 20 + faceH - 10)), QColor(Qt::white));
    // The shadow: black along the right and bottom, offset by its depth.
    EXPECT_EQ(QColor(img.pixel(20 + faceW + 1, 20 + 2)), QColor(Qt::black));
    EXPECT_EQ(QColor(img.pixel(20 + 2, 20 + faceH + 1)), QColor(Qt::black));
    EXPECT_NE(QColor(img.pixel(20 + faceW + 1, 20)), QColor(Qt::black));
    // Gutters light yellow, their corner silver.
    EXPECT_EQ(QColor(img.pixel(5, 5)), QColor(192, 192, 192));
    EXPECT_EQ(QColor(img.pixel(3, 20 + faceH / 2 + 3)), QColor(255, 255, 128));
    // The line at 3 cm.
    int row = 20 + static_cast<int>(std::lround(3 / 2.54 * 96 * zoom / 100));
    int x = 20 + static_cast<int>(std::lround(8 / 2.54 * 96 * zoom / 100));
    bool found = false;
    for (int y = row - 1; y <= row + 1; ++y) found |= qGray(img.pixel(x, y)) < 100;
    int dark = 0, firstRow = -1;
    for (int y = 21; y < 20 + faceH; ++y)
      for (int xx = 21; xx < 20 + faceW; ++xx)
        if (qGray(img.pixel(xx, y)) < 100) {
          ++dark;
          if (firstRow < 0) firstRow = y;
        }
    EXPECT_TRUE(found) << zoom << " dark " << dark << " first row " << firstRow << " expected " << row;
    // Ticks of 18 pixels at every centimetre of the top ruler.
    int cm1 = 20 + static_cast<int>(std::lround(96 / 2.54 * zoom / 100));
    EXPECT_LT(qGray(img.pixel(cm1, 19 - 17)), 100);
    EXPECT_EQ(p.Image()->Left(), p.MarginPixels());
    p.FinishDocument();
  }
}

TEST_F(PreviewGui, PagesAndZeroPageStreams) {
  TFilePreview p;
  std::string three = Stream([](TReportFiler& f) {
    f.NewPage();
    f.NewPage();
  });
  Start(p, three);
  EXPECT_EQ(p.CurrentPage(), 1);
  p.NextPage();
  p.NextPage();
  p.NextPage();
  EXPECT_EQ(p.CurrentPage(), 3);
  p.PrevPage();
  EXPECT_EQ(p.CurrentPage(), 2);
  p.FinishDocument();

  TFilePreview z;
  Start(z, Stream([](TReportFiler& f) { f.NewPage(); }, "7"));
  EXPECT_EQ(z.CurrentPage(), 0);
  EXPECT_EQ(z.PageCount(), 0);
  z.NextPage();
  EXPECT_EQ(z.CurrentPage(), 0);
  z.FinishDocument();
}

TEST_F(PreviewGui, PrinterOnlyDeviceDataIsSkippedWhole) {
  auto body = [](bool data) {
    return [data](TReportFiler& f) {
      TMemoryStream raw;
      std::string junk = std::string("\x12") + std::string(30, '\x52');
      raw.WriteBuffer(junk.data(), static_cast<int64_t>(junk.size()));
      raw.SetPosition(0);
      f.AllowPrinterOnly();
      if (data) f.WriteDeviceData(&raw, 0);
      f.AllowAll();
      f.SetBrush(clBlack, bsSolid, nullptr);
      f.Rectangle(1, 1, 4, 4);
    };
  };
  QImage images[2];
  for (int i = 0; i < 2; ++i) {
    TFilePreview p;
    Start(p, Stream(body(i == 0)));
    images[i] = p.PageBitmap()->Image().copy();
    p.FinishDocument();
  }
  EXPECT_EQ(images[0], images[1]);
  EXPECT_GT(CountColor(images[0], Rect(60, 60, 120, 120), clBlack), 3000);
}

}  // namespace
