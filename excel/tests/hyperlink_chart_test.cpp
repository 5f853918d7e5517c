// Hyperlink and chart items against the recording server, and workbook
// items opened from files.
#include <gtest/gtest.h>

#include "excel/excel_app.h"
#include "excel/server/xl_app.h"
#include "excel/tests/support/recording_server.h"
#include "platform/gui/shell_open.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/format_settings.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

struct SheetTree {
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  TOfExcel excel{nullptr};
  TOfExcelWorkbook* book = nullptr;
  TOfExcelWorksheet* sheet = nullptr;
  SheetTree() {
    excel.OnGetInstance = [this](TObject*, xl::XlRef& instance, xl::TGUID, xl::TGUID) {
      instance = CreateRecordingExcel(log);
    };
    excel.SetConnected(true);
    book = excel.Workbooks()->Add();
    sheet = book->Worksheets()->Items(0);
    log->calls.clear();
  }
  std::vector<std::string> Calls(const std::string& prefix) const { return log->Matching(prefix); }
};

// Records what would be opened on the desktop.
struct ShellRecorder {
  std::vector<AnsiString> opened;
  TShellOpenHook previous;
  ShellRecorder() {
    previous = SetShellOpenHook([this](const AnsiString& t) {
      opened.push_back(t);
      return true;
    });
  }
  ~ShellRecorder() { SetShellOpenHook(previous); }
};

}  // namespace

TEST(HyperlinkItems, CreatedWhenVisibleAndAgainWhenAnchorOrWindowChange) {
  SheetTree t;
  TOfExcelHyperlink* link = t.sheet->Hyperlinks()->Add();
  EXPECT_EQ(link->Hyperlink(), nullptr);  // not visible yet
  link->SetAddress("http://example.invalid/");
  link->SetAnchorCell("B2");
  EXPECT_TRUE(t.Calls("Hyperlinks.Add").empty());
  link->SetVisible(true);
  EXPECT_EQ(t.Calls("Hyperlinks.Add"), (std::vector<std::string>{"Hyperlinks.Add(B2,http://example.invalid/,)"}));
  t.log->calls.clear();
  link->SetAnchorCell("C3");
  link->SetNewWindow(true);
  EXPECT_EQ(t.Calls("Hyperlink"), (std::vector<std::string>{"Hyperlink.Delete()", "Hyperlinks.Add(C3,http://example.invalid/,)",
                                                            "Hyperlink.Delete()", "Hyperlinks.Add(C3,http://example.invalid/,)"}));
  // Getters refresh from the server.
  link->Hyperlink()->SetSubAddress("List1!A1");
  EXPECT_EQ(link->SubAddress(), "List1!A1");
  EXPECT_EQ(link->AnchorCell(), "C3");
  link->SetAddress("mailto:x@example.invalid");
  EXPECT_EQ(link->Hyperlink()->Address(), "mailto:x@example.invalid");
  t.log->calls.clear();
  link->SetVisible(false);
  EXPECT_EQ(t.Calls("Hyperlink"), (std::vector<std::string>{"Hyperlink.Delete()"}));
  EXPECT_EQ(link->Hyperlink(), nullptr);
  EXPECT_EQ(t.sheet->Worksheet()->Hyperlinks()->Count(), 0);
}

TEST(HyperlinkItems, AFailedCreationShowsTheMessageUnlessSuppressed) {
  SheetTree t;
  TOfExcelHyperlink* link = t.sheet->Hyperlinks()->Add();
  link->SetAnchorCell("not a cell");
  link->SetAddress("http://example.invalid/");
  {
    MessageBoxRecorder boxes;
    link->SetVisible(true);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Text, "Error creating Hyperlink, Check Cell and Address");
    EXPECT_EQ(boxes.Boxes()[0].Type, mtInformation);
    EXPECT_EQ(boxes.Boxes()[0].Buttons, (std::vector<TModalResult>{mrOk}));
    EXPECT_EQ(link->Hyperlink(), nullptr);
  }
  t.excel.SetSuppressMessages(true);
  MessageBoxRecorder boxes;
  link->SetNewWindow(true);  // created again while visible: fails again
  link->SetAddress("");
  link->SetAnchorCell("A1");  // neither address nor sub-address
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(link->Hyperlink(), nullptr);
}

TEST(HyperlinkItems, FollowOpensAddressesAndSelectsPlacesInTheWorkbook) {
  SheetTree t;
  ShellRecorder shell;
  struct Case {
    const char* address;
    const char* subAddress;
    const char* opened;  // null: nothing opened
  } cases[] = {
      {"http://example.invalid/a", "", "http://example.invalid/a"},
      {"..\\data\\kniha.xls", "List1!B2", "..\\data\\kniha.xls"},
      {"", "List1!C4:D5", nullptr},
  };
  for (const Case& c : cases) {
    TOfExcelHyperlink* link = t.sheet->Hyperlinks()->Add();
    link->SetAddress(c.address);
    link->SetSubAddress(c.subAddress);
    link->SetAnchorCell("A" + std::to_string(link->Index() + 1));
    link->SetVisible(true);
    shell.opened.clear();
    link->ExecuteVerb(0);
    if (c.opened) {
      EXPECT_EQ(shell.opened, std::vector<AnsiString>{c.opened});
    } else {
      EXPECT_TRUE(shell.opened.empty());
      auto selection = std::dynamic_pointer_cast<xl::IRange>(t.excel.Application()->Selection());
      ASSERT_NE(selection, nullptr);
      EXPECT_EQ(selection->Address(false, false), "C4:D5");
    }
  }
  EXPECT_EQ(t.sheet->Hyperlinks()->Items(0)->Verb(0), "Follow");
}

TEST(ChartItems, FramesInPixelsTypesAndTheChartWizard) {
  SheetTree t;
  TOfExcelChart* chart = t.sheet->Charts()->Add();
  ASSERT_NE(chart->ChartObject(), nullptr);
  t.log->calls.clear();
  chart->SetLeft(96);
  chart->SetTop(48);
  chart->SetWidth(400);
  EXPECT_EQ(t.Calls("ChartObject.Set"),
            (std::vector<std::string>{"ChartObject.SetLeft(" + FloatToStr(PixelsToPoints(96), CzechFormatSettings()) + ")",
                                      "ChartObject.SetTop(" + FloatToStr(PixelsToPoints(48), CzechFormatSettings()) + ")",
                                      "ChartObject.SetWidth(" + FloatToStr(PixelsToPoints(400), CzechFormatSettings()) + ")"}));
  chart->ChartObject()->SetHeight(PixelsToPoints(150) + 0.4);  // read back truncated
  EXPECT_EQ(chart->Height(), 150);
  EXPECT_EQ(chart->Left(), 96);
  for (TOfXlChartType type : {xlctArea, xlctBar, xlctLine, xlctPie, xlctRadar, xlctXYScatter, xlct3DArea, xlct3DBar,
                              xlct3DLine, xlct3DPie, xlct3DColumn, xlctDoughnut}) {
    chart->SetChartType(type);
    EXPECT_EQ(chart->ChartType(), type);
  }
  chart->ChartObject()->Chart()->SetChartType(57);
  EXPECT_EQ(chart->ChartType(), xlctUnknown);
  t.log->calls.clear();
  chart->SetDataRange("A1:C4");
  EXPECT_EQ(t.Calls("Chart.ChartWizard"), (std::vector<std::string>{"Chart.ChartWizard(A1:C4,1,1,1)"}));
  EXPECT_EQ(chart->Verb(0), "Set Range from Selection");
  t.sheet->Worksheet()->Range("B2", "D5")->Select();
  chart->ExecuteVerb(0);
  EXPECT_EQ(chart->DataRange(), "B2:D5");
  t.book->Workbook()->Close(false);
  EXPECT_EQ(ErrorMessage([&] { chart->ExecuteVerb(0); }), "A Range must be selected in the current Worksheet.");
}

TEST(WorkbookFiles, AWorkbookItemOpensItsFileAndListsSheetsHyperlinksAndCharts) {
  TempDir dir;
  {
    auto app = xl::CreateInProcessExcel();
    app->SetSheetsInNewWorkbook(2);
    auto book = app->Workbooks()->Add(Variant());
    auto first = book->Worksheets()->Item(1);
    first->SetName("Data");
    first->Hyperlinks()->Add(first->Range("B3", "B3"), "http://example.invalid/", "");
    first->Hyperlinks()->Add(first->Range("C3", "D4"), "", "Druhy!A1");
    auto second = book->Worksheets()->Item(2);
    second->SetName("Druhy");
    auto object = second->ChartObjects()->Add(72, 36, 144, 108);
    object->Chart()->SetChartType(xlctLine);
    book->SaveAs(dir.File("kniha.xls"));
    app->Quit();
  }
  struct Check {
    void operator()(TOfExcelWorkbook* book) const {
      ASSERT_EQ(book->Worksheets()->Count(), 2);
      TOfExcelWorksheet* first = book->Worksheets()->Items(0);
      TOfExcelWorksheet* second = book->Worksheets()->Items(1);
      EXPECT_EQ(first->Name(), "Data");
      EXPECT_EQ(second->Name(), "Druhy");
      ASSERT_EQ(first->Hyperlinks()->Count(), 2);
      EXPECT_EQ(first->Hyperlinks()->Items(0)->Address(), "http://example.invalid/");
      EXPECT_EQ(first->Hyperlinks()->Items(1)->AnchorCell(), "C3:D4");
      EXPECT_EQ(first->Hyperlinks()->Items(1)->SubAddress(), "Druhy!A1");
      EXPECT_TRUE(first->Hyperlinks()->Items(1)->Visible());
      EXPECT_EQ(first->Charts()->Count(), 0);
      ASSERT_EQ(second->Charts()->Count(), 1);
      EXPECT_EQ(second->Charts()->Items(0)->ChartType(), xlctLine);
      EXPECT_NEAR(second->Charts()->Items(0)->Left(), PointsToPixels(72), 2);
    }
  };
  // Set while connected: the new workbook is replaced by the file.
  SheetTree t;
  std::vector<AnsiString> opened;
  t.excel.OnWorkbookOpen = [&](TObject*, const std::shared_ptr<xl::IWorkbook>& wb) { opened.push_back(wb->Name()); };
  t.book->SetFilename(dir.File("kniha.xls"));
  Check{}(t.book);
  EXPECT_EQ(opened, std::vector<AnsiString>{"kniha.xls"});
  // The replaced workbook was closed without deleting the file's sheets.
  EXPECT_EQ(t.book->Workbook()->Worksheets()->Count(), 2);
  EXPECT_EQ(t.excel.Application()->Workbooks()->Count(), 1);
  // Set before connecting: opened on connect.
  TOfExcel excel(nullptr);
  TOfExcelWorkbook* book = excel.Workbooks()->Add();
  book->SetFilename(dir.File("kniha.xls"));
  excel.SetConnected(true);
  Check{}(book);
  excel.SetConnected(false);
}
