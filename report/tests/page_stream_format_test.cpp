// The bytes of the page stream as other copies of the program read them:
// header, page records and links, text lengths, coordinates, named values,
// graphic references, aborted pages and the stream modes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/gui/testing/fake_printers.h"
#include "report/report_filer.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

float FloatAt(const std::string& s, std::size_t pos) {
  float f;
  std::memcpy(&f, s.data() + pos, 4);
  return f;
}

int32_t LongAt(const std::string& s, std::size_t pos) {
  int32_t v;
  std::memcpy(&v, s.data() + pos, 4);
  return v;
}

class PageStreamFormat : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }

  // Runs body as the report's print handler into a memory stream.
  std::string Run(const std::function<void(TReportFiler&)>& body,
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
};

TEST_F(PageStreamFormat, HeaderAndFirstPageRecord) {
  std::string s = Run([](TReportFiler&) {});
  std::string header = Bytes({0x5A, 0xE1, 0x07, 0x06}) + "Report" +
                       Bytes({0x01, 0x00, 0x01, 0x00, 0x0F, 0x27, 0x00, 0x00, 0x08, 0x41, 0x00, 0x00, 0x30, 0x41}) +
                       std::string(16, '\0') +
                       Bytes({0x00, 0x09, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  ASSERT_EQ(header.size(), 54u);
  ASSERT_GT(s.size(), 54u + 19);
  EXPECT_EQ(s.substr(0, 54), header);
  EXPECT_EQ(static_cast<uint8_t>(s[54]), 0x50);
  EXPECT_EQ(LongAt(s, 55), 0);
  EXPECT_EQ(LongAt(s, 59), 0);
  EXPECT_EQ(s.substr(63, 2), Bytes({1, 0}));
  EXPECT_EQ(FloatAt(s, 65), 8.5f);
  EXPECT_EQ(FloatAt(s, 69), 11.0f);
  // The forced state begins with the brush and ends the page with 82.
  EXPECT_EQ(static_cast<uint8_t>(s[73]), 41);
  EXPECT_EQ(static_cast<uint8_t>(s.back()), 82);
}

TEST_F(PageStreamFormat, TextLengthForms) {
  struct Case {
    std::size_t n;
    std::string prefix;
  } cases[] = {{0, Bytes({0})}, {191, Bytes({0xBF})}, {192, Bytes({0xC0, 0xC0})}, {16383, Bytes({0xFF, 0xFF})}};
  for (const Case& c : cases) {
    std::string out;
    rps::PutText(out, std::string(c.n, 'a'));
    EXPECT_EQ(out.substr(0, c.prefix.size()), c.prefix) << c.n;
    EXPECT_EQ(out.size(), c.prefix.size() + c.n);
    // Older streams always use one length byte.
    std::string old;
    rps::PutText(old, std::string(c.n % 256, 'a'), 2015);
    EXPECT_EQ(old.size(), 1 + c.n % 256);
  }
  EXPECT_EQ(rps::CutText(std::string(16384, 'x')).size(), 16383u);
  // A format block the cut would split goes with it.
  AnsiString coded = std::string(16380, 'x') + "\x01" "B\x04" "yy";
  EXPECT_EQ(rps::CutText(coded), std::string(16380, 'x') + "\x01" "B\x04");
  AnsiString split = std::string(16381, 'x') + "\x01" "BB\x04";
  EXPECT_EQ(rps::CutText(split), std::string(16381, 'x'));
}

TEST_F(PageStreamFormat, CoordinatesInInches) {
  // The last drawing record sits right before the end-of-page byte.
  struct Case {
    double factor, scale, x, expect;
  } cases[] = {{1, 100, 1.5, 1.5f}, {1, 50, 1.5, 0.75f}, {2.54, 100, 3.81, 1.5f}};
  for (const Case& c : cases) {
    std::string s = Run([&](TReportFiler& f) {
      f.SetScaleX(c.scale);
      f.Rectangle(c.x, 0, c.x, 0);
    }, [&](TReportFiler& f) { f.SetUnitsFactor(c.factor); });
    ASSERT_EQ(static_cast<uint8_t>(s[s.size() - 18]), rps::cRectangle);
    EXPECT_FLOAT_EQ(FloatAt(s, s.size() - 17), static_cast<float>(c.expect)) << c.factor << " " << c.scale;
  }
}

TEST_F(PageStreamFormat, FontChangesWriteOnlyWhatChanged) {
  std::string s = Run([](TReportFiler& f) {
    f.SetFontColor(clRed);
    f.TextLeftAt("A", 1);
    f.SetBold(true);
    f.TextLeftAt("B", 1);
  });
  std::size_t a = s.find(Bytes({52}) + Bytes({0xFF, 0, 0, 0}) + Bytes({24}));
  ASSERT_NE(a, std::string::npos) << "colour alone before the first text";
  std::size_t b = s.find(Bytes({55, 1, 54}), a);
  ASSERT_NE(b, std::string::npos) << "bold then size";
  EXPECT_EQ(static_cast<uint8_t>(s[b + 11]), rps::cTextLeft);
}

TEST_F(PageStreamFormat, PageLinksAndCounts) {
  std::string s = Run([](TReportFiler& f) {
    f.NewPage();
    f.NewPage();
  });
  TMemoryStream m;
  m.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  rps::TPageStreamReader r(m);
  rps::TStreamHeader h = r.ReadHeader();
  EXPECT_EQ(h.pageCount, 3);
  ASSERT_EQ(r.Pages().size(), 3u);
  EXPECT_EQ(r.Pages()[0].prev, 0);
  EXPECT_EQ(r.Pages()[1].prev, r.Pages()[0].pos);
  EXPECT_EQ(r.Pages()[0].next, r.Pages()[1].pos);
  EXPECT_EQ(r.Pages()[2].next, 0);

  // Every page outside the selection: count 0 and no page at all.
  std::string none = Run([](TReportFiler& f) { f.NewPage(); }, [](TReportFiler& f) { f.SetSelection("7"); });
  EXPECT_EQ(none.size(), 54u);
  EXPECT_EQ(none.substr(10, 2), Bytes({0, 0}));
}

TEST_F(PageStreamFormat, AbortPageLeavesNoByteOfIt) {
  std::string one = Run([](TReportFiler& f) { f.TextLeftAt("first", 1); });
  std::string aborted = Run([](TReportFiler& f) {
    f.TextLeftAt("first", 1);
    f.NewPage();
    f.TextLeftAt("second", 1);
    f.AbortPage();
  });
  EXPECT_EQ(aborted, one);
}

TEST_F(PageStreamFormat, NamedValues) {
  // Defined first: a text record, then the placeholder points at it.
  std::string s = Run([](TReportFiler& f) {
    f.SetNamedValue("Total", "42");
    EXPECT_EQ(f.MacroText("total"), AnsiString("\xFD$RWCV\xFC" "total\xFB"));
  });
  std::size_t text = s.find(Bytes({37, 5}) + "Total" + Bytes({2, 2}) + "42");
  ASSERT_NE(text, std::string::npos);
  std::size_t ph = s.find(Bytes({37, 5}) + "total" + Bytes({128, 255}));
  ASSERT_NE(ph, std::string::npos);
  EXPECT_EQ(LongAt(s, ph + 9), static_cast<int32_t>(text + 7));

  // Printed first: the placeholder is overwritten in place, cut to 128.
  std::string later = Run([](TReportFiler& f) {
    f.MacroText("Sum");
    f.SetNamedValue("SUM", std::string(200, 'v'));
  });
  std::size_t p = later.find(Bytes({37, 3}) + "Sum");
  ASSERT_NE(p, std::string::npos);
  EXPECT_EQ(later.substr(p + 5, 2), Bytes({128, 128}));
  EXPECT_EQ(later.substr(p + 7, 128), std::string(128, 'v'));
}

TEST_F(PageStreamFormat, GraphicReusedTwiceIsTwoReferences) {
  TBitmap bmp;
  bmp.SetSize(4, 4);
  std::string s = Run([&](TReportFiler& f) {
    f.Draw(1, 1, &bmp);
    f.RegisterGraphic(3);
    for (int i = 0; i < 2; ++i) {
      f.ReuseGraphic(3);
      f.Draw(2, 2, &bmp);
    }
  });
  std::size_t first = s.find(Bytes({rps::cDraw, 1}));
  ASSERT_NE(first, std::string::npos);
  std::string ref = Bytes({rps::cDraw, 129}) + s.substr(0, 0);
  std::size_t r1 = s.find(ref, first + 1);
  ASSERT_NE(r1, std::string::npos);
  EXPECT_EQ(LongAt(s, r1 + 2), static_cast<int32_t>(first + 2));
  std::size_t r2 = s.find(ref, r1 + 1);
  ASSERT_NE(r2, std::string::npos);
  EXPECT_EQ(r2 - r1, 1u + 5 + 8);
}

TEST_F(PageStreamFormat, Failures) {
  auto message = [&](const std::function<void(TReportFiler&)>& body) -> std::string {
    try {
      Run(body);
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  };
  EXPECT_EQ(message([](TReportFiler& f) { f.CopyRect(TRect{}, nullptr, TRect{}); }),
            "CopyRect() not supported in file mode.");
  EXPECT_EQ(message([](TReportFiler& f) { f.RegisterGraphic(11); }), "RegisterGraphic: Index must be between 1 and 10");
  EXPECT_EQ(message([](TReportFiler& f) { f.UnregisterGraphic(0); }),
            "UnregisterGraphic: Index must be between 1 and 10");
  EXPECT_EQ(message([](TReportFiler& f) { f.ReuseGraphic(-1); }), "ReuseGraphic: Index must be between 1 and 10");
  TReportFiler f;
  f.SetStreamMode(smUser);
  try {
    f.RunReport();
    ADD_FAILURE();
  } catch (const EReportError& e) {
    EXPECT_EQ(e.Message(), "StreamMode is smUser but Stream is nil");
  }
  EXPECT_FALSE(f.Printing());
}

TEST_F(PageStreamFormat, DeviceDataAcrossTheBuffer) {
  TMemoryStream data;
  std::string payload(20000, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
  data.WriteBuffer(payload.data(), 20000);
  data.SetPosition(0);
  std::string s = Run([&](TReportFiler& f) {
    f.TextLeftAt("x", 1);
    f.WriteDeviceData(&data, 0);
  });
  std::size_t at = s.size() - 1 - 20000 - 5;
  EXPECT_EQ(static_cast<uint8_t>(s[at]), rps::cDeviceData);
  EXPECT_EQ(LongAt(s, at + 1), 20000);
  EXPECT_EQ(s.substr(at + 5, 20000), payload);
}

TEST_F(PageStreamFormat, TempFileAndFileModes) {
  auto dir = std::filesystem::temp_directory_path() / "i21_rps";
  std::filesystem::create_directories(dir);
  setenv("TMPDIR", dir.c_str(), 1);
  TReportFiler f;
  f.SetStreamMode(smTempFile);
  f.RunReport();
  std::filesystem::path made(f.FileName());
  EXPECT_EQ(made.parent_path(), dir);
  EXPECT_EQ(made.filename().string().substr(0, 2), "RW");
  EXPECT_GT(std::filesystem::file_size(made), 54u);
  unsetenv("TMPDIR");

  TReportFiler g;
  g.SetStreamMode(smFile);
  g.SetFileName((dir / "out.rps").string());
  g.RunReport();
  EXPECT_EQ(std::filesystem::file_size(dir / "out.rps"), std::filesystem::file_size(made));
  std::filesystem::remove_all(dir);
}

}  // namespace

// ---- the independent reader (crosscheck/rps_check.py) on written streams

#include "report/tests/support/sample_reports.h"
#include "testing/temp_dir.h"
#include "testing/tool_run.h"

namespace {

std::string CheckWithPython(const std::string& bytes) {
  TempDir dir;
  std::string path = dir.Path() + "/s.rps";
  std::ofstream(path, std::ios::binary) << bytes;
  ToolRun run = RunTool({"/usr/bin/python3", std::string(REPORT_TESTS_DIR) + "/crosscheck/rps_check.py", path});
  EXPECT_EQ(run.status, 0) << run.output;
  std::size_t at = run.output.find(": ");
  return at == std::string::npos ? run.output : run.output.substr(at + 2);
}

class PageStreamFormatCrosscheck : public PageStreamFormat {};

TEST_F(PageStreamFormatCrosscheck, EveryOutputOperationOnce) {
  TBitmap bmp;
  bmp.SetSize(2, 2);
  TMemoryStream raw, image;
  raw.WriteBuffer("abc", 3);
  image.WriteBuffer("jpegbytes", 9);
  std::string s = Run([&](TReportFiler& f) {
    f.Arc(1, 1, 2, 2, 1, 1, 2, 2);
    f.BrushCopy(Rect(0, 0, 1, 1), &bmp, Rect(0, 0, 1, 1), clRed);
    f.Chord(1, 1, 2, 2, 1, 1, 2, 2);
    f.Draw(1, 1, &bmp);
    f.DrawFocusRect(Rect(0, 0, 9, 9));
    f.Ellipse(1, 1, 2, 2);
    f.FillRect(Rect(0, 0, 9, 9));
    f.FloodFill(1, 1, clRed, fsBorder);
    f.FrameRect(Rect(0, 0, 9, 9));
    f.MoveTo(1, 1);
    f.LineTo(2, 2);
    f.Pie(1, 1, 2, 2, 1, 1, 2, 2);
    f.Polygon({TPoint{1, 1}, TPoint{5, 5}, TPoint{1, 5}});
    f.Polyline({TPoint{1, 1}, TPoint{5, 5}});
    f.PrintBitmap(1, 1, 1, 1, &bmp);
    f.PrintBitmapRect(1, 1, 2, 2, &bmp);
    f.Rectangle(1, 1, 2, 2);
    f.DrawPlainRect(1, 1, 2, 2);
    f.RoundRect(1, 1, 2, 2, 0.1, 0.1);
    f.StretchDraw(Rect(0, 0, 9, 9), &bmp);
    f.TextRect(Rect(0, 0, 90, 90), 1, 1, "r");
    f.TextCenterAt("c", 1);
    f.TextLeftAt("l", 1);
    f.TextRightAt("r", 1);
    f.TextBlockAt("b b", 1, 1);
    f.SetTextBKMode(bkOpaque);
    f.SetBackColor(clYellow);
    f.SetScaleX(90);
    f.SetScaleY(90);
    f.WriteDeviceText("dev");
    f.WriteDeviceData(&raw, 3);
    f.SetFrameMode(1);
    image.SetPosition(0);
    f.PrintImageRect(1, 1, 2, 2, &image, ".jpg");
    f.SetNamedValue("N", "v");
    f.SetBrush(clRed, bsSolid, &bmp);
    f.Rectangle(1, 1, 2, 2);
    f.SetPen(clBlue, psDash, 3, pmXor);
    f.SelectFont("Courier New", 14);
    f.SetFontCharset(238);
    f.SetBold(true);
    f.SetItalic(true);
    f.SetUnderline(true);
    f.SetStrikeOut(true);
    f.SetSuperscript(true);
    f.SetFontRotation(90);
    f.SetFontAlign(1);
    f.TextLeftAt("x", 1);
    f.UpdateLineHeight();
    f.AllowPreviewOnly();
    f.AllowPrinterOnly();
    f.AllowAll();
    f.SetOrientation(TOrientation::poLandScape);
    f.SelectBin("Tray 2");
    f.NewPage();
  }, [](TReportFiler& f) { f.LineBuffer().SetBuffering(false); });
  std::string summary = CheckWithPython(s);
  EXPECT_NE(summary.find("2 pages"), std::string::npos) << summary;
  std::string codes = summary.substr(summary.find("codes ") + 6);
  codes = "," + codes.substr(0, codes.find('\n')) + ",";
  for (int code : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                   27, 28, 29, 30, 31, 33, 34, 35, 36, 37, 41, 42, 43, 51, 52, 53, 54, 55, 56, 57, 58, 59, 61, 62,
                   63, 71, 72, 73, 74, 82, 83, 84, 85, 86, 87, 88})
    EXPECT_NE(codes.find("," + std::to_string(code) + ","), std::string::npos) << code << " in " << summary;
}

TEST_F(PageStreamFormatCrosscheck, FixtureReports) {
  for (TAccuracyMethod m : {amAppearance, amPositioning}) {
    CheckWithPython(Run([](TReportFiler& f) { PrintVoucherSample(&f); },
                        [m](TReportFiler& f) { f.SetUnits(unCM), f.SetAccuracyMethod(m); }));
    CheckWithPython(Run([](TReportFiler& f) { PrintCashBookSample(&f, 3); }));
    CheckWithPython(Run([](TReportFiler& f) { PrintShapesSample(&f); }));
  }
}

}  // namespace

namespace {

// Widths of block texts and the font's sample are stored in inches also
// when the report runs in centimetres.
TEST_F(PageStreamFormat, BlockAndSampleWidthsInInches) {
  const AnsiString sample = "abcdefg hijklmnop qrstuv wxyz ABCDEFG HIJKLMNOP QRSTUV WXYZ 0123456789";
  for (TPrintUnits units : {unInch, unCM}) {
    double expectBlock = 0, expectSample = 0, expectX = 0;
    std::string s = Run(
        [&](TReportFiler& f) {
          f.SelectFont("Arial", 10);
          f.SetYPos(1);
          expectSample = f.TextWidth(sample) * 100 / f.ScaleX() / f.UnitsFactor();
          double w = f.TextWidth("    3,14") * 10000 / (f.ScaleX() * f.ScaleX());
          expectBlock = w / f.UnitsFactor();
          expectX = 3 - expectBlock;
          f.TextRightAt("    3,14", 3);
        },
        [&](TReportFiler& f) {
          f.SetUnits(units);
          f.SetAccuracyMethod(amPositioning);
        });
    std::size_t block = s.rfind(std::string(1, rps::cTextBlock));
    ASSERT_NE(block, std::string::npos);
    // 33: y, text (1 + 8), x, width.
    EXPECT_FLOAT_EQ(FloatAt(s, block + 1 + 4 + 9), static_cast<float>(expectX)) << units;
    EXPECT_FLOAT_EQ(FloatAt(s, block + 1 + 4 + 9 + 4), static_cast<float>(expectBlock)) << units;
    // The last size record before the text carries the sample's width.
    std::size_t size = s.rfind(Bytes({0x3E, 0x00, 0x36}), block);
    ASSERT_NE(size, std::string::npos);
    EXPECT_FLOAT_EQ(FloatAt(s, size + 3 + 4), static_cast<float>(expectSample)) << units;
  }
}

}  // namespace
