// Replaying page streams: pixels of a replay against direct drawing, the
// older stream forms, page walking, print jobs through the fake printer
// and device data on pages that are not printed.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/gui/testing/gui_pixels.h"
#include "report/file_printer.h"
#include "report/tests/support/pdf_tools.h"
#include "report/tests/support/sample_reports.h"
#include "testing/temp_dir.h"

namespace {

class Device96 : public TRptRenderDevice {
 public:
  Device96() { Bitmap()->SetSize(816, 600); }
  int XDPI() override { return 96; }
  int YDPI() override { return 96; }
  void RawData(const char*, int count) override { raw += count; }
  int raw = 0;
};

// Direct drawing on a 96-dpi render device.
class Direct : public TCanvasReport {
 public:
  Direct() {
    SetDevice(&device);
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
  Device96 device;
};

std::string Generate(const std::function<void(TBaseReport*)>& body, TAccuracyMethod accuracy, TPrintUnits units,
                     TRptBaseDevice* device = nullptr) {
  TReportFiler f;
  TMemoryStream out;
  if (device) f.SetDevice(device);
  f.SetUnits(units);
  f.SetAccuracyMethod(accuracy);
  f.SetStreamMode(smUser);
  f.SetStream(&out);
  f.OnPrint = [&](TObject*) { body(&f); };
  f.RunReport();
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

QImage Replay(const std::string& bytes, int page = 1) {
  Device96 device;
  TFilePrinter p;
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  p.SetDevice(&device);
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  EXPECT_TRUE(p.BeginReplay());
  p.PlayPage(page);
  p.EndReplay();
  return device.Bitmap()->Image().copy();
}

QImage DirectImage(const std::function<void(TBaseReport*)>& body, TPrintUnits units) {
  Direct d;
  d.SetUnits(units);
  d.OnPrint = [&](TObject*) { body(&d); };
  d.RunReport();
  return d.device.Bitmap()->Image().copy();
}

int Differences(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

// The rightmost dark pixel of each row left of limit (-1: none).
std::vector<int> RightInk(const QImage& img, int from, int limit) {
  std::vector<int> out;
  for (int y = 0; y < img.height(); ++y) {
    int last = -1;
    for (int x = from; x < limit; ++x)
      if (qGray(img.pixel(x, y)) < 128) last = x;
    out.push_back(last);
  }
  return out;
}

class PlayerGui : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(PlayerGui, ReplayDrawsWhatDirectDrawingDraws) {
  Device96 measure;
  QImage direct = DirectImage(PrintVoucherSample, unCM);
  QImage appearance = Replay(Generate(PrintVoucherSample, amAppearance, unCM, &measure));
  EXPECT_LE(Differences(direct, appearance), 0);

  // Block texts spread the blanks of right-aligned amounts but end where
  // the direct text ends (the width is stored in inches, whatever the units).
  QImage positioning = Replay(Generate(PrintVoucherSample, amPositioning, unCM, &measure));
  int from = static_cast<int>(11 / 2.54 * 96), limit = static_cast<int>(kVoucherAmountRight / 2.54 * 96) - 4;
  std::vector<int> a = RightInk(direct, from, limit), b = RightInk(positioning, from, limit);
  int inked = 0;
  for (std::size_t y = 0; y < a.size(); ++y) {
    if (a[y] < 0 && b[y] < 0) continue;
    ++inked;
    EXPECT_NEAR(a[y], b[y], 1) << "row " << y;
  }
  EXPECT_GT(inked, 10);
}

TEST_F(PlayerGui, ShapesAndNamedValuesReplay) {
  Device96 measure;
  QImage direct = DirectImage(PrintShapesSample, unInch);
  QImage replay = Replay(Generate(PrintShapesSample, amAppearance, unInch, &measure));
  EXPECT_LE(Differences(direct, replay), 0);
}

TEST_F(PlayerGui, NamedValueDefinedOnTheLastPageResolvesOnEveryPage) {
  Device96 measure;
  std::string s = Generate([](TBaseReport* r) { PrintCashBookSample(r, 3); }, amAppearance, unInch, &measure);
  TMemoryStream in;
  in.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  Device96 device;
  TFilePrinter p;
  p.SetDevice(&device);
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  ASSERT_TRUE(p.BeginReplay());
  EXPECT_EQ(p.StreamPages(), 3);
  for (int page : {1, 3, 2}) {
    p.PlayPage(page);
    EXPECT_EQ(p.CurrentPage(), page);
    EXPECT_EQ(p.NamedValueText("TOTAL"), Format("%.2f", 3000.0));
  }
  EXPECT_EQ(p.NamedValueText("missing"), "");
  p.GotoPage(0);
  EXPECT_EQ(p.CurrentPage(), 1);
  p.GotoPage(9);
  EXPECT_EQ(p.CurrentPage(), 3);
  p.EndReplay();
}

// Older streams built byte by byte: "Y" (version 2009, no title) and "Q"
// (version 1101: no device fields, one byte instead of the page size).
std::string OldStream(char code) {
  std::string s(1, code);
  auto word = [&](int v) { rps::PutWord(s, v); };
  auto fl = [&](double v) { rps::PutFloat(s, v); };
  word(1);
  word(1);
  word(9999);
  fl(8.5);
  fl(11);
  for (int i = 0; i < 4; ++i) fl(0);
  s.push_back(0);  // portrait
  if (code == 'Y') {
    word(265);
    s.push_back(0);
    s.push_back(0);
  }
  word(1);
  word(1);
  word(0);
  word(0);
  s.push_back(0);  // no output name
  s.push_back(80);
  rps::PutLong(s, 0);
  rps::PutLong(s, 0);
  word(1);
  if (code == 'Y') {
    fl(8.5);
    fl(11);
  } else {
    s.push_back(0);
  }
  // Black brush, a filled rectangle at (1, 1)-(2, 2) inches.
  s.push_back(41);
  rps::PutLong(s, 0);
  s.push_back(42);
  s.push_back(0);
  s.push_back(8);
  for (double v : {1.0, 1.0, 2.0, 2.0}) fl(v);
  // A text longer than 191 bytes with a single length byte.
  s.push_back(24);
  fl(3);
  s.push_back(static_cast<char>(200));
  s.append(200, 'x');
  fl(0.5);
  s.push_back(82);
  return s;
}

TEST_F(PlayerGui, OlderStreamForms) {
  for (char code : {'Y', 'Q'}) {
    QImage img = Replay(OldStream(code));
    EXPECT_GT(CountColor(img, Rect(100, 100, 190, 190), clBlack), 8000) << code;
  }
}

TEST_F(PlayerGui, UnknownCodeAndBadHeader) {
  std::string s = OldStream('Y');
  s[s.size() - 1] = 38;
  s.push_back(82);
  EXPECT_THROW(
      {
        try {
          Replay(s);
        } catch (const EReportError& e) {
          EXPECT_STREQ(e.what(), "Unexpected code found in report file.");
          throw;
        }
      },
      EReportError);
  std::string h = OldStream('Y');
  h[0] = 'X';
  TMemoryStream in;
  in.WriteBuffer(h.data(), static_cast<int64_t>(h.size()));
  TFilePrinter p;
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  try {
    p.BeginReplay();
    ADD_FAILURE();
  } catch (const EReportError& e) {
    EXPECT_EQ(e.Message(), "Unexpected header code found in report file.");
  }
}

TEST_F(PlayerGui, OpenErrorsAndMissingStream) {
  MessageBoxRecorder boxes;
  TFilePrinter p;
  p.SetStreamMode(smFile);
  p.SetFileName("/nonexistent/sestava.rps");
  EXPECT_FALSE(p.OpenInput());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "Error initializing input stream \"/nonexistent/sestava.rps\"");
  p.SetStreamMode(smUser);
  try {
    p.OpenInput();
    ADD_FAILURE();
  } catch (const EReportError& e) {
    EXPECT_EQ(e.Message(), "StreamMode is smUser but Stream is nil");
  }
  // Without printers printing says so once and does nothing.
  p.PrintPages(0, 0, 0);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[1].Text, "No printers are defined, aborting print job.");
}

class PlayerJobs : public ::testing::Test {
 protected:
  void TearDown() override { SetPrinterBackend(nullptr); }
};

// Prints stream through the fake printer; answers the job's page texts.
std::vector<std::string> PrintJob(FakePrinterBackend* fake, const std::string& stream, int first, int last,
                                  const AnsiString& selection, int copies = 0, bool chosen = false) {
  TMemoryStream in;
  in.WriteBuffer(stream.data(), static_cast<int64_t>(stream.size()));
  TFilePrinter p;
  p.SetStreamMode(smUser);
  p.SetStream(&in);
  p.SetSelection(selection);
  p.SettingsChosen = chosen;
  std::size_t before = fake->jobs.size();
  p.PrintPages(first, last, copies);
  EXPECT_EQ(fake->jobs.size(), before + 1);
  TempDir dir;
  std::string path = dir.Path() + "/job.pdf";
  std::ofstream(path, std::ios::binary) << fake->jobs.back().pdf;
  std::string text = PdfText(path);
  std::vector<std::string> pages;
  std::size_t start = 0, ff;
  while ((ff = text.find('\f', start)) != std::string::npos) {
    std::string page = text.substr(start, ff - start);
    std::size_t at = page.find("Strana ");
    pages.push_back(at == std::string::npos ? "" : page.substr(at, 12));
    start = ff + 1;
  }
  return pages;
}

TEST_F(PlayerJobs, RangesReverseSelectionAndCopies) {
  if (!PdfToolMissing().empty()) GTEST_SKIP() << PdfToolMissing();
  FakePrinterBackend* fake = InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  std::string s = Generate([](TBaseReport* r) { PrintCashBookSample(r, 3); }, amAppearance, unInch);
  using V = std::vector<std::string>;
  EXPECT_EQ(PrintJob(fake, s, 0, 0, ""), (V{"Strana 1 z 3", "Strana 2 z 3", "Strana 3 z 3"}));
  EXPECT_EQ(PrintJob(fake, s, 2, 3, ""), (V{"Strana 2 z 3", "Strana 3 z 3"}));
  EXPECT_EQ(PrintJob(fake, s, 0, 0, "1-,r"), (V{"Strana 3 z 3", "Strana 2 z 3", "Strana 1 z 3"}));
  EXPECT_EQ(PrintJob(fake, s, 0, 0, "2,3"), (V{"Strana 2 z 3", "Strana 3 z 3"}));
  PrintJob(fake, s, 0, 0, "", 4);
  EXPECT_EQ(fake->jobs.back().options.copies, 4);
}

TEST_F(PlayerJobs, DeviceDataOnASkippedPageIsConsumed) {
  if (!PdfToolMissing().empty()) GTEST_SKIP() << PdfToolMissing();
  FakePrinterBackend* fake = InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  auto body = [](bool data) {
    return [data](TBaseReport* r) {
      TMemoryStream raw;
      // Bytes that would read as records: a text record and an end of page.
      std::string junk = std::string("\x18") + std::string(20, '\x52');
      raw.WriteBuffer(junk.data(), static_cast<int64_t>(junk.size()));
      raw.SetPosition(0);
      r->SelectFont("Arial", 10);
      if (data) r->WriteDeviceData(&raw, 0);
      for (int page = 1; page <= 2; ++page) {
        if (page > 1) r->NewPage();
        r->SetYPos(1);
        r->TextLeftAt("Strana " + r->MacroText(11) + " z " + r->MacroText(10), 1);
      }
    };
  };
  std::string with = Generate(body(true), amAppearance, unInch);
  std::string without = Generate(body(false), amAppearance, unInch);
  EXPECT_EQ(PrintJob(fake, with, 2, 2, ""), PrintJob(fake, without, 2, 2, ""));
  EXPECT_EQ(PrintJob(fake, with, 2, 2, ""), (std::vector<std::string>{"Strana 2 z 2"}));
}

}  // namespace
