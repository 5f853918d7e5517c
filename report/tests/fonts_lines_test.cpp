// Fonts of the report (selection, styles, the cache, realised sizes, the
// black-text rule) and the line buffer.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/report_fonts.h"
#include "platform/gui/testing/fake_printers.h"
#include "report/canvas_report.h"
#include "report/tests/support/recording_report.h"

namespace {

class FontsLinesTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(FontsLinesTest, FontRecordSetters) {
  TRecordingReport r;
  r.SelectFont("Times New Roman", 12);
  r.SelectFont("Courier", 0);  // ignored
  EXPECT_EQ(r.BaseFont().Name, "Times New Roman");
  EXPECT_EQ(r.BaseFont().Size, 12);
  EXPECT_NEAR(r.BaseFont().Height, 12 / 72.0, 1e-12);
  r.SetSuperscript(true);
  r.SetSubscript(true);
  EXPECT_FALSE(r.BaseFont().Superscript);
  EXPECT_TRUE(r.BaseFont().Subscript);
  r.SetFontRotation(-90);
  EXPECT_EQ(r.BaseFont().Rotation, 270);
  r.SetBold(true);
  r.SelectFont("Arial", 10);  // a new font starts plain
  EXPECT_FALSE(r.BaseFont().Bold);
  EXPECT_EQ(r.BaseFont().CharSet, DEFAULT_CHARSET);
}

TEST_F(FontsLinesTest, RealisedFontsComeFromTheCacheAndFollowTheCanvas) {
  TRecordingReport r;
  r.OnPrint = [&](TObject*) {
    r.SelectFont("Courier New", 10);
    int before = TRptDeviceFont::CreatedCount();
    r.RealizeFont();
    r.RestoreCanvasFont();
    int height = -r.BaseFont().Handle->Font().Height();
    EXPECT_EQ(height, 83);  // 10 pt at 600 dpi
    r.SelectFont("Courier New", 10);
    r.RealizeFont();
    r.RestoreCanvasFont();
    EXPECT_EQ(TRptDeviceFont::CreatedCount(), before + 1);  // the second one came from the cache

    r.SetSuperscript(true);
    r.RealizeFont();
    r.RestoreCanvasFont();
    EXPECT_EQ(-r.BaseFont().Handle->Font().Height(), std::lround(600 * (10 / 72.0) / 1.667));

    // A height set on the canvas font is taken into the record.
    r.SelectFont("Arial", 10);
    r.GetCanvas()->Font()->SetHeight(-100);
    EXPECT_NEAR(r.BaseFont().Height, 100 / 600.0, 1e-12);
    EXPECT_NEAR(r.BaseFont().Size, 12, 1e-12);
  };
  r.RunReport();
}

TEST_F(FontsLinesTest, MonochromePrintersPrintColouredTextBlack) {
  struct Case {
    bool color;
    TColor font;
    TColor want;
  } cases[] = {
      {false, clRed, clBlack},
      {false, clWhite, clWhite},
      {true, clRed, clRed},
  };
  for (const Case& c : cases) {
    InstallFakePrinters({{"P", OfficePrinterCaps(c.color), true}}, 0);
    TPrinterReport r;
    r.SetOutputName("/dev/null");
    TColor seen = clNone;
    r.OnPrint = [&](TObject*) {
      r.SetFontColor(c.font);
      r.RealizeFont();
      seen = r.GetCanvas()->Font()->Color();
      r.RestoreCanvasFont();
    };
    r.RunReport();
    EXPECT_EQ(seen, c.want) << c.color << " " << c.font;
  }
}

TEST_F(FontsLinesTest, LineBufferMergesLinesOfTheSamePen) {
  struct Seg {
    double x1, y1, x2, y2;
    int width;
  };
  struct Case {
    const char* name;
    std::vector<Seg> in;
    size_t horizontal, vertical;
    double start, end;  // of the first horizontal line left
  } cases[] = {
      {"touching", {{1, 1, 2, 1, 1}, {2, 1, 3, 1, 1}}, 1, 0, 1, 3},
      {"contained dropped", {{1, 1, 4, 1, 1}, {2, 1, 3, 1, 1}}, 1, 0, 1, 4},
      {"overlapping end", {{2, 1, 4, 1, 1}, {1, 1, 3, 1, 1}}, 1, 0, 1, 4},
      {"old inside new", {{2, 1, 3, 1, 1}, {1, 1, 4, 1, 1}}, 1, 0, 1, 4},
      {"different widths", {{1, 1, 2, 1, 1}, {2, 1, 3, 1, 2}}, 2, 0, 2, 3},
      {"within tolerance", {{1, 1, 2, 1, 1}, {2.00005, 1.00005, 3, 1.00005, 1}}, 1, 0, 1, 3},
      {"apart", {{1, 1, 2, 1, 1}, {2.1, 1, 3, 1, 1}}, 2, 0, 2.1, 3},
      {"vertical", {{1, 1, 1, 2, 1}, {1, 2, 1, 3, 1}}, 0, 1, 0, 0},
  };
  for (const Case& c : cases) {
    TLineBuffer b;
    for (const Seg& s : c.in) {
      b.MoveTo(s.x1, s.y1);
      EXPECT_TRUE(b.Add(s.x2, s.y2, clBlack, pmCopy, psSolid, s.width));
    }
    EXPECT_EQ(b.Horizontal().size(), c.horizontal) << c.name;
    EXPECT_EQ(b.Vertical().size(), c.vertical) << c.name;
    if (c.horizontal) {
      EXPECT_NEAR(b.Horizontal().front().start, c.start, 1e-9) << c.name;
      EXPECT_NEAR(b.Horizontal().front().end, c.end, 1e-9) << c.name;
    }
  }
  TLineBuffer b;
  b.MoveTo(0, 0);
  EXPECT_FALSE(b.Add(1, 1, clBlack, pmCopy, psSolid, 1));  // diagonal: drawn at once
  b.MoveTo(0, 0);
  b.Add(1, 0, clBlack, pmCopy, psSolid, 1);
  b.MoveTo(0, 0);
  b.Add(0, 1, clBlack, pmCopy, psSolid, 1);
  std::string order;
  b.Flush([&](const TLineSegment&, bool vertical) { order += vertical ? "v" : "h"; });
  EXPECT_EQ(order, "vh");
  EXPECT_TRUE(b.Horizontal().empty());
}

TEST_F(FontsLinesTest, FlushedLinesRestoreThePenAlsoOnFailure) {
  TRecordingReport r;
  r.OnPrint = [&](TObject*) {
    r.SetPen(clRed, psSolid, 3, pmCopy);
    r.MoveTo(1, 1);
    r.LineTo(2, 1);
    r.MoveTo(2, 1);
    r.LineTo(3, 1);
    r.SetPen(clBlue, psDot, 1, pmCopy);
    r.FlushLines();
    EXPECT_EQ(r.GetCanvas()->Pen()->Color(), clBlue);
    EXPECT_EQ(r.GetCanvas()->Pen()->Style(), psDot);
  };
  r.RunReport();
  auto lines = r.CallsNamed("LineTo");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0].args[0], 3, 1e-9);
  EXPECT_EQ(lines[0].args[2], 3);

  struct Throwing : TRecordingReport {
    void LineTo(double, double) override { throw EReportError("device gone"); }
  } t;
  t.OnPrint = [&](TObject*) {
    t.LineBuffer().MoveTo(0, 0);
    t.LineBuffer().Add(1, 0, clRed, pmCopy, psSolid, 2);
    t.SetPen(clGreen, psSolid, 1, pmCopy);
    EXPECT_THROW(t.FlushLines(), EReportError);
    EXPECT_EQ(t.GetCanvas()->Pen()->Color(), clGreen);
    EXPECT_TRUE(t.LineBuffer().Buffering());
  };
  t.RunReport();
}

}  // namespace
