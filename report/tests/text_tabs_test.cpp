// Text through tab stops, cells with box lines and shading, fitting and
// measuring, format blocks and macros, on the recording report (positions
// in inches, 600 dpi).
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/testing/fake_printers.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "report/tests/support/recording_report.h"

namespace {

// Exposes the text internals the tests look into.
struct Report : TRecordingReport {
  using TBaseReport::ApplyFormatBlock;
  using TBaseReport::PrintJustified;
  using TBaseReport::SplitFormatted;
  // Runs body inside a document.
  void Run(std::function<void()> body) {
    OnPrint = [body](TObject*) { body(); };
    RunReport();
  }
};

class TextTabsTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(TextTabsTest, PiecesGoToTheCursorAndIntoTabCells) {
  Report r;
  r.Run([&] {
    r.AddTab(2, pjLeft, 1, 0, 0, 0);
    r.AddTab(4, pjRight, 1, 10, 0, 0);
    r.SetXPos(0.5);
    r.PrintText("one\ttwo");
    r.NewLine();
    for (const char* t : {"a", "b", "c"}) r.PrintInTab(t);
  });
  auto left = r.CallsNamed("TextLeftAt");
  ASSERT_GE(left.size(), 3u);
  EXPECT_EQ(left[0].text, "one");
  EXPECT_NEAR(left[0].args[0], 0.5, 1e-9);
  EXPECT_EQ(left[1].text, "two");
  EXPECT_NEAR(left[1].args[0], 2, 1e-9);
  EXPECT_EQ(left[2].text, "a");
  auto right = r.CallsNamed("TextRightAt");
  ASSERT_EQ(right.size(), 1u);
  EXPECT_EQ(right[0].text, "b");
  EXPECT_NEAR(right[0].args[0], 4 + 1 - 0.1, 1e-9);  // right edge less the margin
  for (const RecordedCall& c : r.Calls) EXPECT_NE(c.text, "c");  // no third stop

  Report bare;
  bare.Run([&] {
    bare.SetXPos(1);
    bare.PrintText("one\ttwo");
  });
  auto l = bare.CallsNamed("TextLeftAt");
  ASSERT_EQ(l.size(), 2u);
  EXPECT_GT(l[1].args[0], 1);  // where the first piece ended
}

TEST_F(TextTabsTest, TabsBuiltBeforePrintingSurviveTheStart) {
  Report r;
  r.AddTab(2, pjLeft, 1, 0, 0, 0);
  r.Run([&] { r.PrintInTab("x"); });
  ASSERT_EQ(r.CallsNamed("TextLeftAt").size(), 1u);
  EXPECT_NEAR(r.CallsNamed("TextLeftAt")[0].args[0], 2, 1e-9);
}

TEST_F(TextTabsTest, AddTabPositionsAndWidths) {
  Report r;
  r.SetUnits(unCM);
  r.SetMarginLeft(1.5);
  r.AddTab(-1, pjLeft, 3, 20, BOXLINEALL, 10);  // the first at the left margin edge
  r.AddTab(2, pjLeft, 8, 0, 0, 0);
  r.AddTab(-1, pjLeft, 0, 50, BOXLINEALL, 30);   // after 2 + 8; no width: a bare position
  EXPECT_NEAR(r.GetTab(1)->Pos * 2.54, 1.5, 1e-9);
  EXPECT_NEAR(r.GetTab(1)->Margin, 0.2, 1e-12);  // hundredths of an inch whatever the units
  EXPECT_NEAR(r.GetTab(3)->Pos * 2.54, 10, 1e-9);
  EXPECT_EQ(r.GetTab(3)->Width, 0);
  EXPECT_FALSE(r.GetTab(3)->Left);
  EXPECT_EQ(r.GetTab(3)->Shade, 0);
  EXPECT_NEAR(r.TabWidth(1), 3 - 2 * 0.2 * 2.54, 1e-9);
  EXPECT_EQ(r.GetTab(4), nullptr);
  EXPECT_EQ(r.TabWidth(4), 0);
}

TEST_F(TextTabsTest, BoxLinesAndShadingOfACell) {
  struct Case {
    const char* name;
    int left, right, top, bottom, shade;
    int tabShade;
    size_t lines;
    int width;        // pen width of the lines, pixels
    TColor fill;      // clNone: no shading
  } cases[] = {
      {"stop's own", kTabDefault, kTabDefault, kTabDefault, kTabDefault, kTabDefault, 0, 4, 1,
       TBaseReport::ShadeColor(clBlack, 20)},
      {"suppressed", 0, 0, 0, 0, 0, 0, 0, 1, clNone},
      {"pixels", 3, 3, 3, 3, kTabDefault, 0, 4, 3, TBaseReport::ShadeColor(clBlack, 20)},
      {"hundredths", -2, -2, -2, -2, 50, 0, 4, 12, TBaseReport::ShadeColor(clBlack, 50)},
  };
  for (const Case& c : cases) {
    Report r;
    r.SetTabShade(c.tabShade);
    r.Run([&] {
      r.AddTab(1, pjLeft, 2, 0, BOXLINEALL, 20);
      r.NextTab(c.left, c.right, c.top, c.bottom, c.shade);
      r.FlushLines();
    });
    auto lines = r.CallsNamed("LineTo");
    EXPECT_EQ(lines.size(), c.lines) << c.name;
    for (const RecordedCall& l : lines) EXPECT_EQ(l.args[2], c.width) << c.name;
    auto fills = r.CallsNamed("DrawPlainRect");
    if (c.fill == clNone) {
      EXPECT_TRUE(fills.empty()) << c.name;
    } else {
      ASSERT_EQ(fills.size(), 1u) << c.name;
      EXPECT_EQ(static_cast<TColor>(fills[0].args[4]), c.fill) << c.name;
      EXPECT_NEAR(fills[0].args[0], 1, 1e-9);
      EXPECT_NEAR(fills[0].args[2], 3, 1e-9);
    }
  }
  Report shaded;
  shaded.SetTabShade(10);
  shaded.Run([&] {
    shaded.AddTab(1, pjLeft, 2, 0, 0, 0);
    shaded.NextTab(0, 0, 0, 0, kTabDefault);
  });
  ASSERT_EQ(shaded.CallsNamed("DrawPlainRect").size(), 1u);
  EXPECT_EQ(static_cast<TColor>(shaded.CallsNamed("DrawPlainRect")[0].args[4]), RGB(229, 229, 229));
}

TEST_F(TextTabsTest, ShadeColorMixesWithWhite) {
  EXPECT_EQ(TBaseReport::ShadeColor(clBlack, 10), RGB(229, 229, 229));
  EXPECT_EQ(TBaseReport::ShadeColor(clBlack, 100), clBlack);
  EXPECT_EQ(TBaseReport::ShadeColor(clBlack, 0), clWhite);
  EXPECT_EQ(TBaseReport::ShadeColor(RGB(100, 0, 200), 50), RGB(177, 127, 227));
}

TEST_F(TextTabsTest, AGridOfCellsFlushesAsItsDistinctLines) {
  Report r;
  r.Run([&] {
    for (double x : {1.0, 2.0, 3.5, 5.0}) r.AddTab(x, pjLeft, x == 1.0 ? 1 : 1.5, 0, BOXLINELEFT | BOXLINERIGHT | BOXLINETOP, 0);
    for (int row = 0; row < 2; ++row) {
      for (int i = 0; i < 4; ++i) r.PrintInTab("x");
      r.NewLine();
    }
    r.FlushLines();
  });
  // Five verticals running through both rows and one top line per row.
  auto lines = r.CallsNamed("LineTo");
  EXPECT_EQ(lines.size(), 7u);
}

TEST_F(TextTabsTest, TabsInsideLeftTextGoToTheFixedStops) {
  Report r;
  r.SetUnits(unCM);  // the fixed tab width is 0.5 units
  r.Run([&] {
    r.PrintJustified("ab\t\tc", pjLeft, 0, 0, 1);
    EXPECT_FALSE(r.BlockText());
  });
  auto left = r.CallsNamed("TextLeftAt");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[1].text, "c");
  double tab = 0.5 / 2.54;
  double ab = left[0].args[0] + 0;  // "ab" at 1
  EXPECT_NEAR(ab, 1, 1e-9);
  EXPECT_NEAR(left[1].args[0], 1 + 2 * tab, 1e-9);  // past "ab", then an empty piece
}

TEST_F(TextTabsTest, FontStackIsInertWhileABlockTextPrints) {
  struct Probe : Report {
    std::vector<bool> pops;
    void TextLeftAt(const AnsiString& text, double x) override {
      pops.push_back(PushFont() && PopFont() && PopFont());  // a second pop only succeeds when inert
      TRecordingReport::TextLeftAt(text, x);
    }
  } r;
  r.Run([&] { r.PrintJustified("a\tb", pjLeft, 0, 0, 1); });
  EXPECT_EQ(r.pops, (std::vector<bool>{true, false}));  // inside the TAB text, then the last piece
}

TEST_F(TextTabsTest, TabListsAreSharedAndReleasedOnce) {
  Report r;
  r.AddTab(1, pjLeft, 1, 0, 0, 0);
  EXPECT_TRUE(r.PushTabs());
  r.ClearAllTabs();
  EXPECT_EQ(r.GetTab(1), nullptr);
  r.AddTab(5, pjLeft, 1, 0, 0, 0);
  EXPECT_TRUE(r.PopTabs());
  EXPECT_NEAR(r.GetTab(1)->Pos, 1, 1e-12);
  EXPECT_FALSE(r.PopTabs());
  r.ClearAllTabs();
  EXPECT_FALSE(r.PushTabs());
}

TEST_F(TextTabsTest, FormatBlockCommands) {
  Report r;
  struct Case {
    const char* block;
    std::function<bool(const TSaveFont&)> check;
  } cases[] = {
      {"B1\x02U1\x02I1\x02K1", [](const TSaveFont& f) { return f.Bold && f.Underline && f.Italic && f.StrikeOut; }},
      {"B0", [](const TSaveFont& f) { return !f.Bold; }},
      {"P1", [](const TSaveFont& f) { return f.Superscript && !f.Subscript; }},
      {"S1", [](const TSaveFont& f) { return f.Subscript; }},
      {"C255", [](const TSaveFont& f) { return f.Color == 255; }},
      {"HF", [](const TSaveFont& f) { return f.Pitch == 2; }},
      {"Hv", [](const TSaveFont& f) { return f.Pitch == 1; }},
      {"H", [](const TSaveFont& f) { return f.Pitch == 1; }},  // no parameter: unchanged
      {"NCourier New", [](const TSaveFont& f) { return f.Name == "Courier New"; }},
      {"Z1\x03" "2", [](const TSaveFont& f) { return f.Size == 12 && f.Height == 12 / 72.0; }},
      {"Z0", [](const TSaveFont& f) { return f.Size == 12; }},   // a size of 0 or less is ignored
      {"Z-3", [](const TSaveFont& f) { return f.Size == 12; }},
      {"J\x02Q7", [](const TSaveFont& f) { return f.Size == 12 && f.Name == "Courier New"; }},
      {"r", [](const TSaveFont& f) { return !f.Bold && f.Color == clBlack && f.Pitch == 0 && f.Name == "Courier New"; }},
      {"R", [](const TSaveFont& f) { return f.Name == "Arial" && f.Size == 12; }},
  };
  TSaveFont f;
  for (const Case& c : cases) {
    r.ApplyFormatBlock(c.block, f);
    EXPECT_TRUE(c.check(f)) << c.block;
  }
  EXPECT_THROW(r.ApplyFormatBlock("Zx", f), EConvertError);
  EXPECT_THROW(r.ApplyFormatBlock("Cred", f), EConvertError);

  TSaveFont last;
  auto runs = r.SplitFormatted("a\x01" "B1\x04" "b\x01" "Z0\x04" "c\x01I1\x04", &last);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_FALSE(runs[0].font.Bold);
  EXPECT_TRUE(runs[1].font.Bold);
  EXPECT_EQ(runs[2].font.Size, 10);
  EXPECT_TRUE(last.Italic);
}

TEST_F(TextTabsTest, FittingAndMeasuring) {
  Report r;
  r.Run([&] {
    EXPECT_NEAR(r.TextWidth(""), 1 / 600.0, 1e-12);
    double abc = r.TextWidth("abc");
    AnsiString coded = AnsiString("abc") + "\x01" "B1\x04";
    EXPECT_EQ(r.FitText(coded, abc + 0.001), coded);
    EXPECT_EQ(r.FitText(coded + "d", abc + 0.001), coded);
    EXPECT_EQ(r.FitText(coded, r.TextWidth("ab") + 0.001), "ab");  // the block goes whole before a letter
    AnsiString macro = AnsiString("\xFD$RWCM11") + "long text that does not fit";
    EXPECT_EQ(r.FitText(macro, 0.01), macro);
    EXPECT_EQ(r.FitText("abc", 0), "");

    int a = static_cast<int>(std::lround(r.TextWidth("a") * 600));
    int b = static_cast<int>(std::lround(r.TextWidth("b") * 600));
    EXPECT_EQ(r.TextWidthCoded("a\tb"), 300 + b);  // the next half inch
    EXPECT_EQ(r.TextWidthCoded("\tb"), 300 + b);
    EXPECT_EQ(r.TextWidthCoded("\x01" "B1\x04"), 1);
    EXPECT_GT(r.TextWidthCoded("a\x01" "B1\x04" "a"), 2 * a - 1);
    EXPECT_FALSE(r.BaseFont().Bold);  // measuring leaves the font as it was
  });
}

TEST_F(TextTabsTest, MacrosAndNamedValues) {
  Report r;
  r.SetReportDateTime(EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 7, 0));
  r.MacroData()->Add("first");
  r.MacroData()->Add("second");
  struct Case {
    int id;
    const char* want;  // UTF-8
  } cases[] = {
      {0, "08.12.2026"}, {1, "8. prosinec 2026"}, {2, "12.08.26"}, {3, "08.12.26"}, {4, "14:05"},
      {5, "14:05:07"},   {6, "02:05 odp."},       {7, "14:05"},    {8, "1"},        {9, "9999"},
      {13, "Render"},    {14, "Render"},          {15, "Render"},  {16, "first"},   {17, "second"},
      {18, ""},          {35, ""},                {36, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(r.MacroValue(c.id), Cz(c.want)) << c.id;

  struct Expand {
    AnsiString in;
    AnsiString want;
  } expands[] = {
      {AnsiString("p. \xFD$RWCM16!"), "p. first!"},
      {AnsiString("[\xFD$RWCV\xFCname\xFB]"), "[name]"},
      {AnsiString("[\xFD$RWCV\xFCname"), "[name"},  // the terminator is missing
      {AnsiString("[\xFD$RWCVx\xFB]"), "[]"},       // no name
      {AnsiString("\xFD$RWCMxx"), AnsiString("\xFD$RWCMxx")},
  };
  for (Expand& e : expands) {
    r.ExpandMacros(e.in);
    EXPECT_EQ(e.in, e.want);
  }
  // A value holding its own marker is not expanded again.
  r.MacroData()->Clear();
  r.MacroData()->Add(AnsiString("\xFD$RWCM16"));
  AnsiString loop = AnsiString("\xFD$RWCM16");
  r.ExpandMacros(loop);
  EXPECT_EQ(loop, AnsiString("\xFD$RWCM16"));
}

}  // namespace
