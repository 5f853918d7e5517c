// The device layer: the printer list and selection, the job settings record
// and its guards, papers and bins, document brackets, the render device and
// the paper-size table.
#include <gtest/gtest.h>

#include <cups/cups.h>

#include <cmath>
#include <regex>

#include "platform/gui/print_setup_dialog.h"
#include "platform/gui/testing/fake_printers.h"
#include "report/rpt_device.h"
#include "testing/error_message.h"

namespace {

FakePrinterBackend::Printer Office(const char* name, TPrinterCaps caps = OfficePrinterCaps()) {
  return {name, caps, true};
}

class DeviceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetPrintSetupResponder(nullptr);
    SetPrinterBackend(nullptr);
  }
};

TEST_F(DeviceTest, PrinterListAndTheDefaultPrinter) {
  struct Case {
    int backendDefault;
    int want;
  } cases[] = {{1, 1}, {-1, 2}};  // the backend's default, else the last
  for (const Case& c : cases) {
    InstallFakePrinters({Office("A"), Office("B"), Office("C")}, c.backendDefault);
    TRptPrinterDevice d;
    EXPECT_EQ(d.PrinterNames()->Count(), 3);
    EXPECT_EQ(d.PrinterIndex(), c.want);
    EXPECT_EQ(d.DriverName(), "");
    EXPECT_EQ(d.PortName(), "");
  }
  InstallFakePrinters({});
  TRptPrinterDevice none;
  EXPECT_TRUE(none.NoPrinters());
  EXPECT_EQ(none.PrinterIndex(), -1);
  EXPECT_EQ(none.MaxCopies(), 1);
  EXPECT_EQ(none.XDPI(), 100);
}

TEST_F(DeviceTest, SelectionByIndexAndByName) {
  InstallFakePrinters({Office("Office"), Office("Laser Druhy")}, 0);
  TRptPrinterDevice d;
  d.SetCopies(3);
  d.SetPrinterIndex(0);  // the same printer: nothing happens
  EXPECT_EQ(d.Copies(), 3);
  d.SetPrinterIndex(1);  // another printer brings its own record
  EXPECT_EQ(d.Copies(), 1);
  d.SetPrinterIndex(-5);  // below -1: ignored
  EXPECT_EQ(d.PrinterIndex(), 1);

  struct Case {
    const char* name;
    bool exact;
    int want;  // index after the call, -1 = no hit
  } cases[] = {
      {"OFFICE", true, 0},             // exact: equal device name, any case
      {"office", false, -1},           // not exact: needs "device on port"
      {"Office on ", false, 0},        // contains "device on port" (empty port)
      {"Laser druhy on  x", true, 1},  // with " on ": contains "device on port"
      {"Nobody", true, -1},
  };
  for (const Case& c : cases) {
    d.SetPrinterIndex(c.want == 0 ? 1 : 0);
    int before = d.PrinterIndex();
    bool hit = d.SelectPrinterByName(c.name, c.exact);
    EXPECT_EQ(hit, c.want >= 0) << c.name;
    EXPECT_EQ(d.PrinterIndex(), c.want >= 0 ? c.want : before) << c.name;
  }
}

TEST_F(DeviceTest, SetupDialogKeepsItsRecordAndSelectsThePrinter) {
  InstallFakePrinters({Office("Office"), Office("Other")}, 0);
  TRptPrinterDevice d;
  PrintSetupRecorder dialog;
  dialog.AnswerOk("Other", [](TRptDeviceMode& mode) {
    mode.copies = 4;
    mode.orientation = DMORIENT_LANDSCAPE;
  });
  EXPECT_TRUE(d.PrinterSetupDialog());
  ASSERT_EQ(dialog.Dialogs().size(), 1u);
  EXPECT_EQ(dialog.Dialogs()[0].printer, "Office");
  EXPECT_EQ(d.DeviceName(), "Other");
  EXPECT_EQ(d.Copies(), 4);
  EXPECT_EQ(d.Orientation(), TOrientation::poLandScape);
  dialog.AnswerCancel();
  EXPECT_FALSE(d.PrinterSetupDialog());
  EXPECT_EQ(d.Copies(), 4);
}

TEST_F(DeviceTest, JobSettingsChangeOnlyWhereThePrinterOffersThem) {
  TPrinterCaps five = OfficePrinterCaps();
  five.maxCopies = 5;
  TPrinterCaps plain = five;
  plain.duplex = plain.collate = false;
  plain.defaults.fields &= ~(DM_DUPLEX | DM_COLLATE);
  InstallFakePrinters({Office("Five", five), Office("Plain", plain)}, 0);
  TRptPrinterDevice d;
  struct Case {
    int copies;
    int want;
  } cases[] = {{5, 5}, {6, 5}, {0, 5}, {2, 2}};  // MaxCopies itself is accepted
  for (const Case& c : cases) {
    d.SetCopies(c.copies);
    EXPECT_EQ(d.Copies(), c.want) << c.copies;
  }
  d.SetOrientation(TOrientation::poDefault);
  EXPECT_EQ(d.DeviceMode()->orientation, DMORIENT_PORTRAIT);
  d.SetOrientation(TOrientation::poLandScape);
  EXPECT_EQ(d.DeviceMode()->orientation, DMORIENT_LANDSCAPE);
  EXPECT_TRUE(d.SettingsChanged());
  d.SetDuplex(1);
  d.SetCollate(true);
  EXPECT_EQ(d.Duplex(), 1);
  EXPECT_TRUE(d.Collate());

  d.SetPrinterIndex(1);
  d.SetDuplex(1);
  d.SetCollate(true);
  EXPECT_EQ(d.Duplex(), 0);
  EXPECT_FALSE(d.Collate());

  // During a document the count stays.
  d.SetCopies(2);
  d.SetOutputFileName("/dev/null");
  d.BeginDocPage();
  d.SetCopies(3);
  EXPECT_EQ(d.Copies(), 2);
  d.AbortDoc();
}

TEST_F(DeviceTest, BinsAndPapersByName) {
  FakePrinterBackend* fake = InstallFakePrinters({Office("Office"), {"Dead", OfficePrinterCaps(), false}}, 0);
  TRptPrinterDevice d;
  EXPECT_TRUE(d.SelectBin("Auto", true));
  EXPECT_FALSE(d.SettingsChanged());  // already the record's bin
  EXPECT_TRUE(d.SelectBin("tray", false));
  EXPECT_EQ(d.DeviceMode()->defaultSource, DMBIN_USER + 1);
  EXPECT_TRUE(d.SettingsChanged());
  EXPECT_FALSE(d.SelectBin("tray", true));
  EXPECT_TRUE(d.SelectPaper("letter", false));
  EXPECT_EQ(d.DeviceMode()->paperSize, 1);
  EXPECT_TRUE(d.SelectBin("", false));  // the empty text is in every name
  EXPECT_EQ(d.DeviceMode()->defaultSource, DMBIN_AUTO);

  struct Case {
    int code, width, length;
    bool want;
    int paper;
  } cases[] = {
      {0, 1000, 2000, true, DMPAPER_USER},  // custom, within the extents
      {0, 1000, 2000, false, DMPAPER_USER},  // unchanged
      {0, 5000, 2000, false, DMPAPER_USER},  // wider than the printer takes
      {9, 0, 0, true, 9},                    // an offered code
      {9, 0, 0, false, 9},
      {8, 0, 0, false, 9},                   // A3 is not offered
  };
  for (const Case& c : cases) {
    EXPECT_EQ(d.SetPaper(c.code, c.width, c.length), c.want) << c.code << " " << c.width;
    EXPECT_EQ(d.DeviceMode()->paperSize, c.paper);
  }

  d.SetPrinterIndex(1);  // unreachable: no record
  EXPECT_EQ(d.DeviceMode(), nullptr);
  EXPECT_FALSE(d.SelectBin("Auto", true));
  EXPECT_EQ(ErrorMessage<EReportError>([&] { d.SetContextMode(TRptContextMode::Information); }),
            "Invalid Printer - Dead on  ()");
  (void)fake;
}

TEST_F(DeviceTest, DocumentBracketsAndRawData) {
  FakePrinterBackend* fake = InstallFakePrinters({Office("Office")}, 0);
  TRptPrinterDevice d;
  EXPECT_EQ(ErrorMessage<EReportError>([&] { d.EndDoc(); }), "Invalid method call.  Device is not printing.");
  EXPECT_EQ(ErrorMessage<EReportError>([&] { d.NewPage(); }), "Invalid method call.  Device is not printing.");
  d.SetTitle("Doklad");
  d.BeginDocPage();
  EXPECT_EQ(ErrorMessage<EReportError>([&] { d.BeginDoc(); }), "Invalid method call.  Device already printing.");
  EXPECT_EQ(ErrorMessage<EReportError>([&] { d.RawData("x", 1); }),
            "Raw device data cannot be sent to this printer.");
  d.NewPage(false);
  d.NewPage(true);
  d.EndDoc();
  ASSERT_EQ(fake->jobs.size(), 1u);
  EXPECT_EQ(fake->jobs[0].options.title, "Doklad");
  EXPECT_EQ(fake->jobs[0].options.media, "iso_a4_210x297mm");
  d.BeginDocPage();
  d.AbortDoc();
  EXPECT_EQ(fake->jobs.size(), 1u);
  EXPECT_FALSE(d.Printing());

  TRptRenderDevice render;
  EXPECT_TRUE(render.Printing());
  EXPECT_EQ(render.XDPI(), 600);
  render.RawData("x", 1);  // nothing happens
  EXPECT_EQ(render.Canvas(), render.Bitmap()->Canvas());
}

TEST_F(DeviceTest, BaseDevicePaperByCodeOrSize) {
  struct Case {
    int code, width, length;
    double wantW, wantH;  // inches
  } cases[] = {
      {9, 0, 0, 8.2677, 11.6929},
      {999, 0, 0, 8.5, 11},
      {0, 2100, 2970, 8.2677, 11.6929},
      {11, 0, 0, 5.8268, 8.2677},
  };
  for (const Case& c : cases) {
    TRptRenderDevice d;
    d.SetPaper(c.code, c.width, c.length);
    EXPECT_EQ(d.PageWidth(), std::lround(c.wantW * 600)) << c.code;
    EXPECT_EQ(d.PageHeight(), std::lround(c.wantH * 600)) << c.code;
  }
}

double Words(const std::string& s) {
  // "8 1/2" -> 8.5
  std::smatch m;
  static const std::regex frac("([0-9]+)(?: ([0-9]+)/([0-9]+))?");
  std::regex_match(s, m, frac);
  double v = std::stod(m[1]);
  if (m[2].matched) v += std::stod(m[2]) / std::stod(m[3]);
  return v;
}

TEST_F(DeviceTest, PaperTableSizesMatchTheirNamesAndCups) {
  const std::regex size("([0-9]+(?: [0-9]+/[0-9]+)?)- by ([0-9]+(?: [0-9]+/[0-9]+)?)-(inch|millimeter)");
  EXPECT_EQ(PaperSizes().size(), 43u);
  for (const TRptPaperSize& row : PaperSizes()) {
    if (row.code == -1 || row.code == 256) {
      EXPECT_EQ(row.widthInch, 0);
      continue;
    }
    std::cmatch m;
    ASSERT_TRUE(std::regex_search(row.name, m, size)) << row.name;
    double unit = m[3] == "inch" ? 1 : 1 / 25.4;
    EXPECT_NEAR(row.widthInch, Words(m[1]) * unit, 0.001) << row.name;
    EXPECT_NEAR(row.heightInch, Words(m[2]) * unit, 0.001) << row.name;
    AnsiString media = MediaForPaperCode(row.code);
    pwg_media_t* pwg = media.empty() ? nullptr : pwgMediaForPWG(media.c_str());
    if (!pwg) continue;
    double w = pwg->width / 2540.0, h = pwg->length / 2540.0;
    EXPECT_NEAR(std::min(row.widthInch, row.heightInch), std::min(w, h), 0.01) << row.name;
    EXPECT_NEAR(std::max(row.widthInch, row.heightInch), std::max(w, h), 0.01) << row.name;
  }
}

}  // namespace
