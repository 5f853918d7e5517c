// Canvas output on a render device's bitmap: shapes with their pen
// correction, text placement and cursor moves, format blocks, block
// justification, bitmaps and raw data.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_pixels.h"
#include "report/canvas_report.h"

namespace {

// A render device at a chosen resolution that records raw data blocks.
class TestDevice : public TRptRenderDevice {
 public:
  explicit TestDevice(int dpi, double inches) : dpi_(dpi) {
    Bitmap()->SetSize(static_cast<int>(inches * dpi), static_cast<int>(inches * dpi));
  }
  int XDPI() override { return dpi_; }
  int YDPI() override { return dpi_; }
  void RawData(const char*, int count) override { blocks.push_back(count); }
  std::vector<int> blocks;

 private:
  int dpi_;
};

// A canvas report printing on a TestDevice; Run executes body in a document.
class Report : public TCanvasReport {
 public:
  explicit Report(int dpi = 300, double inches = 3) : device_(dpi, inches) {
    SetDevice(&device_);
    RefreshDevice();
  }
  void StartDocument() override {
    BeginDocumentState();
    HookCanvasFont();
    RefreshDevice();
    SetPrinting(true);
    StartFirstPage();
  }
  void FinishDocument() override {
    FireEndPageHandlers();
    EndDocumentState();
    SetPrinting(false);
  }
  void Run(std::function<void()> body) {
    OnPrint = [body](TObject*) { body(); };
    RunReport();
  }
  const QImage& Image() { return device_.Bitmap()->Image(); }
  TestDevice& Dev() { return device_; }
  int Rows(TColor c, int& first, int& last) {
    first = -1, last = -1;
    const QImage& img = Image();
    for (int y = 0; y < img.height(); ++y)
      if (CountColor(img, Rect(0, y, img.width(), y + 1), c) > 0) {
        if (first < 0) first = y;
        last = y;
      }
    return first;
  }

 private:
  TestDevice device_;
};

class CanvasOutputGui : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(CanvasOutputGui, RectanglePenCorrection) {
  struct Case {
    const char* name;
    int dpi;
    TPenStyle style;
    int width;
    uint8_t frameMode;
    bool reversed;
    int left, right;  // outermost pixels covered by the pen
  } cases[] = {
      {"1 px, mode 0", 300, psSolid, 1, 0, false, 300, 600},
      {"at 96 dpi", 96, psSolid, 1, 0, false, 96, 192},
      {"reversed corners", 300, psSolid, 1, 0, true, 300, 600},
      {"frame mode 1", 300, psSolid, 1, 1, false, 300, 600},
      {"inside frame", 300, psInsideFrame, 5, 0, false, 300, 600},
      {"5 px, mode 0", 300, psSolid, 5, 0, false, 302, 598},
      {"5 px, mode 2", 300, psSolid, 5, 2, false, 298, 608},  // the table's inset -2, reduction -7
  };
  for (const Case& c : cases) {
    Report r(c.dpi);
    r.Run([&] {
      r.SetPen(clRed, c.style, c.width, pmCopy);
      r.SetBrush(clWhite, bsClear, nullptr);
      r.SetFrameMode(c.frameMode);
      if (c.reversed)
        r.Rectangle(2, 2, 1, 1);
      else
        r.Rectangle(1, 1, 2, 2);
    });
    TRect row = Rect(0, c.dpi * 3 / 2, 3 * c.dpi, c.dpi * 3 / 2 + 1);
    EXPECT_EQ(FirstInkColumn(r.Image(), row, clWhite), c.left) << c.name;
    EXPECT_EQ(LastInkColumn(r.Image(), row, clWhite), c.right) << c.name;
  }
  Report clear;
  clear.Run([&] {
    clear.SetPen(clRed, psClear, 1, pmCopy);
    clear.SetBrush(clBlue, bsSolid, nullptr);
    clear.Rectangle(1, 1, 2, 2);
    clear.DrawPlainRect(0.1, 0.1, 0.2, 0.2);  // one pixel larger, no correction
  });
  TRect row = Rect(0, 450, 900, 451);
  EXPECT_EQ(FirstInkColumn(clear.Image(), row, clWhite), 300);
  EXPECT_EQ(LastInkColumn(clear.Image(), row, clWhite), 600);
  EXPECT_EQ(FirstInkColumn(clear.Image(), Rect(0, 45, 900, 46), clWhite), 30);
  EXPECT_EQ(LastInkColumn(clear.Image(), Rect(0, 45, 900, 46), clWhite), 59);
}

TEST_F(CanvasOutputGui, TextPlacementAndCursor) {
  Report r;
  double afterLeft = 0, afterRight = 0, afterRotated = 0;
  int cursorRow = 0;
  r.Run([&] {
    r.SelectFont("Arial", 20);
    r.SetYPos(1);
    cursorRow = r.YI2D(1);
    r.TextLeftAt("E", 0.5);
    afterLeft = r.XPos();
    r.TextRightAt("E", 2);
    afterRight = r.XPos();
    r.SetFontRotation(90);
    r.SetYPos(2.5);
    r.TextLeftAt("EEE", 1);
    afterRotated = r.YPos();
  });
  EXPECT_GT(afterLeft, 0.5);
  EXPECT_NEAR(afterRight, 2, 1e-12);
  EXPECT_LT(afterRotated, 2.5 - 0.2);  // a 90-degree text moves the cursor up
  // The baseline lies one pixel below the cursor's row, so the ink of "E"
  // (which sits on the baseline) ends on the cursor's row.
  int last = -1;
  for (int y = 0; y < 400; ++y)
    if (CountColor(r.Image(), Rect(0, y, 600, y + 1), clBlack) > 0) last = y;
  EXPECT_EQ(last, cursorRow);
}

TEST_F(CanvasOutputGui, CentredTextAndClippedRectangleText) {
  Report r;
  r.Run([&] {
    r.SelectFont("Arial", 20);
    r.SetYPos(1);
    r.TextCenterAt("WIDE TEXT", 1.5);
    r.SetYPos(2.5);
    r.TextRect(Rect(300, 600, 330, 900), 0.9, 2.5, "clipped text");
  });
  TRect band = Rect(0, 200, 900, 310);
  int first = FirstInkColumn(r.Image(), band, clWhite), last = LastInkColumn(r.Image(), band, clWhite);
  EXPECT_NEAR((first + last) / 2.0, 450, 2);
  TRect clipped = Rect(0, 600, 900, 900);
  EXPECT_GE(FirstInkColumn(r.Image(), clipped, clWhite), 300);
  EXPECT_LE(LastInkColumn(r.Image(), clipped, clWhite), 329);
}

TEST_F(CanvasOutputGui, SuperscriptIsSmallerAndOpaqueTextFillsItsCell) {
  auto inkHeight = [](bool super) {
    Report r;
    r.Run([&] {
      r.SelectFont("Arial", 40);
      r.SetSuperscript(super);
      r.SetYPos(1.5);
      r.TextLeftAt("H", 0.5);
    });
    int first, last;
    r.Rows(clBlack, first, last);
    return last - first + 1;
  };
  int normal = inkHeight(false), super = inkHeight(true);
  EXPECT_NEAR(super, normal / 1.667, 1.5);

  Report o;
  o.Run([&] {
    o.SetTextBKMode(bkOpaque);
    o.SetBackColor(clYellow);
    o.SetYPos(1);
    o.TextLeftAt("ab", 0.5);
  });
  EXPECT_GT(CountColor(o.Image(), Rect(0, 0, 900, 900), clYellow), 100);
}

TEST_F(CanvasOutputGui, FormattedRunsFollowEachOther) {
  Report r;
  double boldStart = 0, plainWidth = 0;
  r.Run([&] {
    r.SelectFont("Arial", 20);
    r.SetYPos(1);
    plainWidth = r.TextWidth("Ab");
    r.TextLeftAt("Ab\x01" "B1\x04" "Cd", 0.5);
    boldStart = 0.5 + plainWidth;
    EXPECT_TRUE(r.BaseFont().Bold);  // the block goes on applying
    EXPECT_NEAR(r.XPos(), boldStart + 0, 0.5);
  });
  // Ink of the bold run starts at (about) the measured end of the plain one.
  int boldPx = r.XI2D(boldStart);
  EXPECT_GE(FirstInkColumn(r.Image(), Rect(boldPx - 1, 0, 900, 320), clWhite), boldPx - 1);
}

TEST_F(CanvasOutputGui, BlockJustificationSpansTheWidth) {
  for (const char* text : {"a b c", "abc"}) {
    Report r;
    r.Run([&] {
      r.SelectFont("Arial", 20);
      r.SetYPos(1);
      r.TextBlockAt(text, 2, 0.5);
    });
    TRect band = Rect(0, 200, 900, 320);
    EXPECT_NEAR(FirstInkColumn(r.Image(), band, clWhite), 150, 4) << text;
    EXPECT_NEAR(LastInkColumn(r.Image(), band, clWhite), 750, 4) << text;
  }
}

TEST_F(CanvasOutputGui, BitmapsImagesAndRawData) {
  TBitmap b;
  b.SetSize(10, 5);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 10, 5));
  Report r;
  int decoded = 0;
  r.Run([&] {
    r.PrintBitmap(1, 1, 3, 2, &b);
    TMemoryStream data;
    r.PrintImageRect(2, 2, 2.5, 2.5, &data, ".jpg");  // no handler: nothing
    r.OnDecodeImage = [&](TObject*, TStream*, const AnsiString& ext, TBitmap* out) {
      ++decoded;
      EXPECT_EQ(ext, ".jpg");
      out->Assign(&b);
    };
    r.PrintImageRect(2, 2, 2.5, 2.5, &data, ".jpg");
    std::string bytes(10000, 'x');
    TMemoryStream big;
    big.WriteBuffer(bytes.data(), 10000);
    big.SetPosition(0);
    r.WriteDeviceData(&big, 0);
  });
  EXPECT_EQ(CountColor(r.Image(), Rect(300, 300, 330, 310), clRed), 300);
  EXPECT_EQ(CountColor(r.Image(), Rect(330, 300, 340, 310), clRed), 0);
  EXPECT_EQ(decoded, 1);
  EXPECT_EQ(CountColor(r.Image(), Rect(600, 600, 750, 750), clRed), 150 * 150);
  EXPECT_EQ(r.Dev().blocks, (std::vector<int>{4096, 4096, 1808}));
}

}  // namespace
