// Units, the device mapping, margins, sections, lines and columns.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/testing/fake_printers.h"
#include "report/tests/support/recording_report.h"

namespace {

class GeometryTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }  // no printers unless a test adds them
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(GeometryTest, UnitsFollowTheFactorAndTheFactorFollowsTheUnits) {
  TRecordingReport r;
  struct Case {
    double factor;
    TPrintUnits units;
    double stored;
  } cases[] = {
      {2.54, unCM, 2.54}, {2.5, unUser, 2.5}, {0, unUser, 2.5}, {-1, unUser, 2.5},
      {25.4, unMM, 25.4}, {72, unPoint, 72},  {1, unInch, 1},
  };
  for (const Case& c : cases) {
    r.SetUnitsFactor(c.factor);
    EXPECT_EQ(r.Units(), c.units) << c.factor;
    EXPECT_EQ(r.UnitsFactor(), c.stored) << c.factor;
  }
  r.SetUnitsFactor(3);
  r.SetUnits(unUser);
  EXPECT_EQ(r.UnitsFactor(), 3);
  r.SetUnits(unCM);
  EXPECT_EQ(r.UnitsFactor(), 2.54);
}

TEST_F(GeometryTest, InchesToDeviceAndBack) {
  TRecordingReport r;  // 600 dpi, no waste
  struct Case {
    double origin, scale, zoom;
    int offset;
    double inches;
    int px;
  } cases[] = {
      {0, 100, 100, 0, 1, 600},
      {0.5, 100, 100, 0, 1, 900},
      {0, 50, 100, 0, 1, 300},
      {0, 200, 100, 3, 1, 1203},
      {0, 100, 50, 0, 2, 600},
      {0, 100, 100, 0, 1 / 16.0, 38},   // exactly half a pixel (37.5): to the even one
      {0, 100, 100, 0, 3 / 16.0, 112},  // 112.5
  };
  for (const Case& c : cases) {
    r.SetOriginX(c.origin);
    r.SetScaleX(c.scale);
    r.SetZoom(c.zoom);
    r.SetPixelOffset(c.offset, 0);
    EXPECT_EQ(r.XI2D(c.inches), c.px) << c.inches << " scale " << c.scale;
    EXPECT_NEAR(r.XD2I(c.px), c.inches, 1.0 / 600) << c.inches;
  }
}

TEST_F(GeometryTest, MarginsAreStoredAsGivenAndSetTheirSectionEdges) {
  TRecordingReport r;
  r.SetUnits(unCM);
  r.SetMarginLeft(1.5);
  r.SetMarginRight(1);
  r.SetMarginTop(1.3);
  r.SetMarginBottom(2);
  EXPECT_EQ(r.MarginLeft(), 1.5);
  EXPECT_EQ(r.MarginRight(), 1);
  // Without printers the page is a Letter sheet in inches, shown in units.
  EXPECT_NEAR(r.PageWidth(), 21.59, 1e-9);
  EXPECT_NEAR(r.SectionRight() / 2.54, 8.5 - 1 / 2.54, 1e-9);
  EXPECT_NEAR(r.SectionBottom() / 2.54, 11 - 2 / 2.54, 1e-9);
  EXPECT_NEAR(r.SectionLeft(), 1.5, 1e-9);

  r.SetXPos(0.2);
  r.SetSectionLeft(1);
  EXPECT_NEAR(r.XPos(), 1, 1e-9);  // pulled inside
  r.SetXPos(30);
  r.SetSectionRight(20);
  EXPECT_NEAR(r.XPos(), 20, 1e-9);

  r.SetUnits(unInch);
  r.SetMarginRight(1);
  EXPECT_NEAR(r.SectionRight(), 7.5, 1e-9);
}

TEST_F(GeometryTest, LinesLeftCountsTheCurrentLine) {
  TRecordingReport r;
  r.OnPrint = [](TObject* s) {
    auto* rep = static_cast<TRecordingReport*>(s);
    rep->SetLinesPerInch(4);
    rep->SetSectionTop(1);
    rep->SetSectionBottom(2.5);
    rep->SetLineNumber(0);  // the line bottom on the section top
    rep->MarkSectionTop();
    EXPECT_EQ(rep->LinesLeft(), 7);
    rep->SetYPos(2.5 - rep->LineBottom() + rep->YPos());
    EXPECT_EQ(rep->LinesLeft(), 1);
    rep->SetYPos(rep->YPos() + 0.01);
    EXPECT_EQ(rep->LinesLeft(), 0);

    rep->SetLineHeightMethod(lhmFont);
    rep->SelectFont("Arial", 10);
    rep->SetLineNumber(1);
    EXPECT_NEAR(rep->LineHeight(), 1 / 6.0, 1e-12);
  };
  r.RunReport();
}

TEST_F(GeometryTest, LinesAndColumnsMoveTheCursor) {
  TRecordingReport r;
  int newColumns = 0, endOfSection = 0;
  r.OnNewColumn = [&](TObject*) { ++newColumns; };
  r.OnEndOfSection = [&](TObject*) { ++endOfSection; };
  r.OnPrint = [&](TObject*) {
    r.SetLinesPerInch(4);
    r.SetSectionTop(1);
    r.SetSectionBottom(2);
    r.SetSectionLeft(1);
    r.SetSectionRight(7);
    r.Home();
    EXPECT_EQ(r.LineNum(), 1);
    EXPECT_NEAR(r.LineBottom(), 1.25, 1e-9);
    r.SetColumns(2, 0);
    r.SetLineNumber(4);  // the last line of the section
    r.NewLine();         // -> column 2, line 1
    EXPECT_EQ(r.ColumnNum(), 2);
    EXPECT_EQ(r.LineNum(), 1);
    EXPECT_NEAR(r.XPos(), 4, 1e-9);
    EXPECT_EQ(newColumns, 1);
    for (int i = 0; i < 3; ++i) r.NewLine();  // last column: reaches the bottom
    EXPECT_EQ(r.LineNum(), 4);
    EXPECT_EQ(endOfSection, 1);
    r.NewLine();  // never a new page
    EXPECT_EQ(r.CurrentPage(), 1);
    r.GotoSectionBottom();
    EXPECT_NEAR(r.LineBottom(), 2, 1e-9);
  };
  r.RunReport();
}

TEST_F(GeometryTest, NoPrinterPageIsLetterInInchesWhateverTheUnits) {
  TRecordingReport r;
  r.SetUnits(unCM);
  r.SetMarginTop(1.3);
  r.SetMarginBottom(2);
  r.SetLineHeightMethod(lhmFont);
  int left = 0;
  r.OnPrint = [&](TObject*) {
    r.SelectFont("Arial", 10);
    r.Home();
    left = r.LinesLeft();
  };
  r.RunReport();
  EXPECT_EQ(left, 58);
  r.SetUnits(unInch);
  EXPECT_NEAR(r.PageWidth(), 8.5, 1e-12);
  EXPECT_NEAR(r.PageHeight(), 11, 1e-12);
  r.SetOrientation(TOrientation::poLandScape);
  EXPECT_NEAR(r.PageWidth(), 11, 1e-12);
}

}  // namespace
