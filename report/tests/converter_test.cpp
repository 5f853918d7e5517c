// The converter: records to renderer calls, formatted runs, macros, page
// selection, the renderer list, and conversion of zero-page and damaged
// streams.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/testing/fake_printers.h"
#include "report/report_filer.h"
#include "report/rpt_font_manager.h"
#include "report/rpt_render.h"
#include "report/tests/support/recording_renderer.h"
#include "report/tests/support/sample_reports.h"

namespace {

std::string Generate(const std::function<void(TReportFiler&)>& body,
                     const std::function<void(TReportFiler&)>& setup = {}) {
  TReportFiler f;
  TMemoryStream out;
  f.SetStreamMode(smUser);
  f.SetStream(&out);
  if (setup) setup(f);
  f.OnPrint = [&](TObject*) { body(f); };
  f.RunReport();
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

// Converts stream; the calls without font and page bookkeeping.
std::vector<RenderCall> Convert(const std::string& s, int page = 0, int total = 0, TDateTime clock = 0,
                                std::vector<std::string>* names = nullptr) {
  TMemoryStream in;
  in.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  in.SetPosition(0);
  TRecordingRenderer r;
  TRptConverter c(&in, &r);
  if (clock != 0) c.SetClock(clock);
  c.Generate(page, total);
  if (names) *names = r.Names();
  std::vector<RenderCall> out;
  for (const RenderCall& call : r.Calls)
    if (call.name != "FontChanged") out.push_back(call);
  return out;
}

class Converter : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(Converter, RecordsToRendererCalls) {
  TBitmap bmp;
  bmp.SetSize(3, 2);
  auto calls = Convert(Generate([&](TReportFiler& f) {
    f.Arc(1, 1, 2, 2, 1, 1, 2, 2);
    f.Chord(1, 1, 2, 2, 1, 1, 2, 2);
    f.Pie(1, 1, 2, 2, 1, 1, 2, 2);
    f.Ellipse(1, 1, 2, 2);
    f.Rectangle(1, 1, 2, 2);
    f.DrawPlainRect(1, 1, 2, 2);
    f.RoundRect(1, 1, 2, 2, 0.25, 0.5);
    f.FillRect(Rect(600, 600, 1200, 1200));
    f.FrameRect(Rect(96, 96, 192, 192));
    f.DrawFocusRect(Rect(96, 96, 192, 192));
    f.FloodFill(1, 1, clRed, fsSurface);
    f.Draw(1, 1, &bmp);
    f.StretchDraw(Rect(96, 96, 192, 192), &bmp);
    f.PrintBitmap(1, 1, 2, 3, &bmp);
    f.PrintBitmapRect(1, 1, 2, 2, &bmp);
    f.BrushCopy(Rect(0, 0, 1, 1), &bmp, Rect(0, 0, 1, 1), clRed);
    f.TextRect(Rect(96, 96, 192, 192), 1, 1, "rect");
    f.TextLeftAt("", 1);
    f.TextBlockAt("a b", 2, 1);
    f.Polygon({TPoint{600, 600}, TPoint{1200, 600}, TPoint{1200, 1200}});
    f.WriteDeviceText("raw");
  }, [](TReportFiler& f) { f.LineBuffer().SetBuffering(false); }));
  std::vector<std::string> names;
  for (const RenderCall& c : calls) names.push_back(c.name);
  std::vector<std::string> expect = {"DocBegin",  "PageBegin", "Arc",        "Chord",       "Pie",
                                     "Ellipse",   "Rectangle", "Rectangle",  "RoundRect",   "FillRect",
                                     "Draw",      "StretchDraw", "PrintBitmap", "PrintBitmapRect", "TextRect",
                                     "TextBlockAt", "MoveTo",  "Polygon",    "PageEnd",     "DocEnd"};
  EXPECT_EQ(names, expect);
  auto find = [&](const std::string& n) {
    for (const RenderCall& c : calls)
      if (c.name == n) return c;
    return RenderCall{};
  };
  EXPECT_EQ(find("FillRect").args, (std::vector<double>{72, 72, 144, 144}));
  EXPECT_EQ(find("RoundRect").args, (std::vector<double>{1, 1, 2, 2, 0.25, 0.5}));
  EXPECT_EQ(find("PrintBitmap").args, (std::vector<double>{1, 1, 2, 3, 3}));
  EXPECT_EQ(find("Polygon").args, (std::vector<double>{1248, 1248, 2496, 1248, 2496, 2496, 2}));
}

TEST_F(Converter, LinesFromTheMovedToPoint) {
  auto calls = Convert(Generate([](TReportFiler& f) {
    f.MoveTo(1, 1);
    f.LineTo(2, 1);
    f.LineTo(2, 3);
  }, [](TReportFiler& f) { f.LineBuffer().SetBuffering(false); }));
  std::vector<std::vector<double>> lines;
  for (const RenderCall& c : calls)
    if (c.name == "MoveTo" || c.name == "LineTo") lines.push_back(c.args);
  EXPECT_EQ(lines, (std::vector<std::vector<double>>{{1, 1}, {2, 1}, {2, 1}, {2, 3}}));
}

TEST_F(Converter, FormattedRunsStartFromPieceWidths) {
  AnsiString t = "ab\x01" "B1\x04" "cd";
  auto calls = Convert(Generate([&](TReportFiler& f) {
    f.SelectFont("Arial", 12);
    f.TextRightAt(t, 4);
    // The block's bold goes on until the report changes it back.
    f.SetBold(false);
    f.TextCenterAt(t, 4);
  }));
  TFont plain;
  plain.SetName("Arial");
  plain.SetHeight(-static_cast<int>(std::lround(12.0 * 1248 / 72)));
  TFont bold = plain;
  bold.SetStyle(TFontStyles() << fsBold);
  double wa = RptFontManager().TextWidth(plain, 1248, 1248, "ab") / 1248.0;
  double wc = RptFontManager().TextWidth(bold, 1248, 1248, "cd") / 1248.0;
  std::vector<RenderCall> runs;
  for (const RenderCall& c : calls)
    if (c.name == "TextLeftAt") runs.push_back(c);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_NEAR(runs[0].args[0], 4 - wa - wc, 1e-6);
  EXPECT_NEAR(runs[1].args[0], 4 - wc, 1e-6);
  EXPECT_EQ(runs[1].text, "cd");
  EXPECT_NEAR(runs[2].args[0], 4 - (wa + wc) / 2, 1e-6);
}

TEST_F(Converter, MacrosPagesAndNamedValues) {
  std::string s = Generate([](TReportFiler& f) { PrintCashBookSample(&f, 3); });
  TDateTime clock = EncodeDate(2026, 12, 9) + EncodeTime(10, 30, 0, 0);
  auto all = Convert(s, 0, 0, clock);
  std::vector<AnsiString> strana, total;
  for (const RenderCall& c : all) {
    if (c.text.rfind("Strana", 0) == 0) strana.push_back(c.text);
    if (c.text.rfind("Celkem", 0) == 0) total.push_back(c.text);
  }
  EXPECT_EQ(strana, (std::vector<AnsiString>{"Strana 1 z 3", "Strana 2 z 3", "Strana 3 z 3"}));
  AnsiString sum = "Celkem: " + Format("%.2f", 3000.0);
  EXPECT_EQ(total, (std::vector<AnsiString>{sum, sum, sum}));

  auto two = Convert(s, 2, 0, clock);
  int pages = 0;
  for (const RenderCall& c : two) {
    pages += c.name == "PageBegin";
    if (c.text.rfind("Strana", 0) == 0) {
      EXPECT_EQ(c.text, "Strana 2 z 3");
    }
  }
  EXPECT_EQ(pages, 1);
  std::vector<std::string> names;
  Convert(s, 7, 0, clock, &names);
  EXPECT_EQ(names, (std::vector<std::string>{"DocBegin", "DocEnd"}));

  // Date macros use the conversion's clock.
  auto dated = Convert(Generate([](TReportFiler& f) { f.TextLeftAt(f.MacroText(7), 1); }), 0, 0, clock);
  bool found = false;
  for (const RenderCall& c : dated) found |= c.text == "10:30";
  EXPECT_TRUE(found);
}

TEST_F(Converter, ZeroPagesAndBadRecords) {
  std::vector<std::string> names;
  Convert(Generate([](TReportFiler& f) { f.NewPage(); f.NewPage(); }, [](TReportFiler& f) { f.SetSelection("7"); }),
          0, 0, 0, &names);
  EXPECT_EQ(names, (std::vector<std::string>{"DocBegin", "DocEnd"}));

  std::string s = Generate([](TReportFiler& f) { f.Rectangle(1, 1, 2, 2); });
  s[s.size() - 1] = 38;
  s.push_back(82);
  TMemoryStream in;
  in.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  TRecordingRenderer r;
  TRptConverter c(&in, &r);
  EXPECT_THROW(c.Generate(0, 0), EReportError);
  EXPECT_EQ(r.Names().back(), "DocEnd");
}

TEST_F(Converter, RendererList) {
  TRecordingRenderer a, b;
  a.SetDisplayName("Adobe Acrobat (PDF)");
  a.FileExtension = "*.pdf";
  b.SetDisplayName("Web Page (HTML)");
  b.FileExtension = "*.html";
  b.Active = false;
  EXPECT_EQ(RendererFilter(), "Adobe Acrobat (PDF)|*.pdf");
  TStringList names;
  RendererNames(&names);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(names.Objects(0), &a);
  b.Active = true;
  a.SetDisplayName("PDF");
  EXPECT_EQ(RendererFilter(), "Web Page (HTML)|*.html|PDF|*.pdf");
}

}  // namespace
