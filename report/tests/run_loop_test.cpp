// The run loop and its events, aborting, the printing guards, page
// selection, the status line and AssignTo.
#include <gtest/gtest.h>

#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_modal.h"
#include "report/canvas_report.h"
#include "report/tests/support/recording_report.h"
#include "testing/error_message.h"

namespace {

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
};

TEST_F(RunLoopTest, EventsOfAThreePageReportComeInOrder) {
  TRecordingReport r;
  std::string log;
  r.AddPageHandler(0, [&](TObject*, intptr_t d) { log += "begin" + std::to_string(d) + " "; }, 7);
  r.AddPageHandler(1, [&](TObject*, intptr_t) { log += "end "; });
  r.OnBeforePrint = [&](TObject*) { log += "before "; };
  r.OnNewPage = [&](TObject*) { log += "new" + std::to_string(r.CurrentPage()) + " "; };
  r.OnPrintHeader = [&](TObject*) { log += "header "; };
  r.OnPrintFooter = [&](TObject*) { log += "footer "; };
  r.OnAfterPrint = [&](TObject*) { log += "after"; };
  r.OnPrint = [&](TObject*) {
    log += "print ";
    r.NewPage();
    r.NewPage();
  };
  r.RunReport();
  EXPECT_EQ(log,
            "before begin7 new1 header print footer end begin7 new2 header footer end begin7 new3 header footer end "
            "after");
}

TEST_F(RunLoopTest, PrintPageLoopStopsOnFalseAndFailuresStillFinish) {
  TRecordingReport r;
  int pages = 0;
  r.OnPrintPage = [&](TObject*, int& page) {
    ++pages;
    return page < 3;
  };
  r.RunReport();
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(r.CallsNamed("NewPage").size(), 2u);

  TRecordingReport failing;
  bool after = false;
  failing.OnPrint = [](TObject*) { throw EReportError("broken"); };
  failing.OnAfterPrint = [&](TObject*) { after = true; };
  EXPECT_THROW(failing.RunReport(), EReportError);
  EXPECT_TRUE(after);
  EXPECT_FALSE(failing.Printing());
  EXPECT_EQ(failing.CallsNamed("EndDoc").size(), 1u);
}

TEST_F(RunLoopTest, GuardsWhileNotPrintingAndWhilePrinting) {
  FakePrinterBackend* fake = InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  TPrinterReport r;
  EXPECT_EQ(ErrorMessage<EReportError>([&] { r.NewPage(); }), "Invalid method call.  Report is not printing.");
  EXPECT_EQ(ErrorMessage<EReportError>([&] { r.PrintText("x"); }), "Invalid method call.  Report is not printing.");
  EXPECT_EQ(ErrorMessage<EReportError>([&] { r.GetCanvas(); }), "Error!  Canvas not yet active.");
  r.SetOutputName("/dev/null");
  std::vector<std::string> errors;
  r.OnPrint = [&](TObject*) {
    for (auto action : std::vector<std::function<void()>>{[&] { r.SetCopies(2); },
                                                           [&] { r.SelectPrinterByIndex(0); },
                                                           [&] { r.SetOutputName("x.prn"); }})
      errors.push_back(ErrorMessage<EReportError>(action));
  };
  r.RunReport();
  for (const std::string& e : errors) EXPECT_EQ(e, "Invalid method call.  Report already printing.");
  EXPECT_EQ(errors.size(), 3u);
  EXPECT_TRUE(fake->jobs.empty());  // went to the output file
}

TEST_F(RunLoopTest, AbortedReportRaisesTheSilentAbortAndDropsTheJob) {
  FakePrinterBackend* fake = InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  TPrinterReport r;
  bool after = false;
  r.OnAfterPrint = [&](TObject*) { after = true; };
  r.OnPrint = [&](TObject*) {
    r.PrintTextLine("strana 1");
    r.NewPage();
    r.AbortReport();
    r.PrintText("strana 2");
  };
  EXPECT_THROW(r.RunReport(), EAbort);
  EXPECT_TRUE(after);
  EXPECT_TRUE(fake->jobs.empty());
}

TEST_F(RunLoopTest, NoPrintersEndsTheJobWithOneMessage) {
  TPrinterReport r;
  int printed = 0;
  bool after = false;
  r.OnPrint = [&](TObject*) { ++printed; };
  r.OnAfterPrint = [&](TObject*) { after = true; };
  MessageBoxRecorder boxes;
  EXPECT_THROW(r.RunReport(), EAbort);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "No printers are defined, aborting print job.");
  EXPECT_EQ(boxes.Boxes()[0].Buttons, std::vector<TModalResult>{mrOk});
  EXPECT_EQ(printed, 0);
  EXPECT_TRUE(after);
}

TEST_F(RunLoopTest, PageSelection) {
  TRecordingReport r;
  struct Case {
    const char* selection;
    std::vector<int> pages;  // of 1..10
  } cases[] = {
      {"2-4,O", {1, 2, 3, 4, 5, 7, 9}},
      {"3-", {3, 4, 5, 6, 7, 8, 9, 10}},
      {"-2", {1, 2}},
      {"e", {2, 4, 6, 8, 10}},
      {"ALL", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"R", {}},
      {"7, 9", {7, 9}},
  };
  for (const Case& c : cases) {
    r.SetSelection(c.selection);
    std::vector<int> got;
    for (int n = 1; n <= 10; ++n)
      if (r.PageSelected(n)) got.push_back(n);
    EXPECT_EQ(got, c.pages) << c.selection;
  }
  r.SetSelection("2-x");
  EXPECT_THROW(r.PageSelected(3), EConvertError);
  r.SetSelection("");
  r.SetFirstPage(2);
  r.SetLastPage(3);
  EXPECT_FALSE(r.PageSelected(1));
  EXPECT_TRUE(r.PageSelected(3));
}

TEST_F(RunLoopTest, StatusLineCodes) {
  TRecordingReport r;
  r.StatusText()->Add("first");
  struct Case {
    const char* format;
    const char* want;
  } cases[] = {
      {"%p %l %x", "2 9999 <ERROR-%X>"},
      {"a%Nb", "a\rb"},
      {"100%% %", "100% %"},
      {"%0|%1|%f", "first||1"},
      {"%D %R %T", "Render Render Render"},
      {"%c/%s", "1/1"},
  };
  r.OnPrint = [&](TObject*) {
    r.NewPage();
    for (const Case& c : cases) {
      r.SetStatusFormat(c.format);
      EXPECT_EQ(r.StatusLine(), c.want) << c.format;
    }
  };
  r.RunReport();
}

TEST_F(RunLoopTest, AssignToCopiesSettingsAndEventsButNotEndOfSection) {
  TRecordingReport a, b;
  a.SetFirstPage(2);
  a.SetSelection("1-3");
  a.SetUnits(unCM);
  a.SetMarginLeft(2);
  a.SetTitle("Kniha");
  a.SetTabShade(150);
  a.SetLinesPerInch(8);
  a.MacroData()->Add("m");
  a.OnPrint = [](TObject*) {};
  a.OnEndOfSection = [](TObject*) {};
  a.AssignTo(&b);
  EXPECT_EQ(b.FirstPage(), 2);
  EXPECT_EQ(b.Selection(), "1-3");
  EXPECT_EQ(b.Units(), unCM);
  EXPECT_EQ(b.MarginLeft(), 2);
  EXPECT_EQ(b.Title(), "Kniha");
  EXPECT_EQ(b.TabShade(), 100);
  EXPECT_EQ(b.LinesPerInch(), 8);
  EXPECT_EQ(b.MacroData()->Count(), 1);
  EXPECT_TRUE(static_cast<bool>(b.OnPrint));
  EXPECT_FALSE(static_cast<bool>(b.OnEndOfSection));
}

}  // namespace
