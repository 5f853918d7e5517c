// The report windows: the preview's texts, actions, keys and fields as the
// report system shows it, a stream without pages, and the status window.
#include <gtest/gtest.h>

#include "platform/gui/keys.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_preview_form.h"
#include "report/forms/rpt_setup_form.h"
#include "report/tests/support/recording_renderer.h"
#include "report/report_system.h"

namespace {

class ReportFormsGui : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }
  void Pages(TReportSystem& rs, int pages) {
    rs.OnPrint = [pages](TObject* s) {
      auto* r = static_cast<TBaseReport*>(s);
      for (int p = 1; p <= pages; ++p) {
        if (p > 1) r->NewPage();
        r->SetYPos(1);
        r->TextLeftAt("Strana " + IntToStr(p), 1);
      }
    };
  }
};

TEST_F(ReportFormsGui, PreviewWindowTextsActionsAndKeys) {
  TReportSystem rs;
  rs.TitlePreview = Cz("Náhled před tiskem");
  Pages(rs, 3);
  rs.OverrideSetup = [](TObject*, int, TObject*&) {};
  bool checked = false;
  OnNextModal([&](TCustomForm* f) {
    auto* form = dynamic_cast<TRptPreviewForm*>(f);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Caption(), Cz("Náhled před tiskem"));
    EXPECT_EQ(form->PageLabel->Caption(), "z 3");
    EXPECT_EQ(form->StatusText(), "Page 1 z 3");
    EXPECT_EQ(form->ZoomEdit->Text(), "100.0");
    struct A {
      TAction* action;
      const char *caption, *hint;
      TShortCut shortcut;
    } actions[] = {
        {form->actnFile_Print, "&Print", "Tisk sestavy", ShortCut(VK_F8, {})},
        {form->actnFile_Save, "&Save As", "Save report", ShortCut('S', TShiftState() << ssCtrl)},
        {form->actnPage_Next, "&Next", "Move to next page", ShortCut(VK_NEXT, TShiftState() << ssCtrl)},
        {form->actnZoom_Page, "Fit to &Page", "Zoom to fit page", ShortCut('F', TShiftState() << ssCtrl)},
        {form->actnZoom_In, "Zoom &In", "Zoom In (+)", 0},
    };
    for (const A& a : actions) {
      EXPECT_EQ(a.action->Caption(), a.caption);
      EXPECT_EQ(a.action->Hint(), a.hint);
      EXPECT_EQ(a.action->ShortCut(), a.shortcut);
    }
    EXPECT_FALSE(form->actnPage_First->Enabled());
    EXPECT_TRUE(form->actnPage_Next->Enabled());
    char key = 'n';
    form->FormKeyPress(form, key);
    EXPECT_EQ(form->StatusText(), "Page 2 z 3");
    EXPECT_EQ(form->PageEdit->Text(), "2");
    key = 'e';
    form->FormKeyPress(form, key);
    EXPECT_EQ(form->StatusText(), "Page 3 z 3");
    EXPECT_FALSE(form->actnPage_Last->Enabled());
    key = 'q';
    form->FormKeyPress(form, key);
    EXPECT_EQ(key, 0);
    key = '+';
    form->FormKeyPress(form, key);
    EXPECT_EQ(form->ZoomEdit->Text(), "110.0");
    // Fields: the page field takes no ".", the zoom field one decimal.
    char dot = '.';
    form->PageEdit->OnKeyPress(form->PageEdit, dot);
    EXPECT_EQ(dot, 0);
    form->ZoomEdit->SetText("12.5");
    form->ZoomEdit->SetSelStart(4);
    char digit = '7';
    form->ZoomEdit->OnKeyPress(form->ZoomEdit, digit);
    EXPECT_EQ(digit, 0);
    checked = true;
    char esc = 27;
    form->FormKeyPress(form, esc);
  });
  rs.Execute();
  EXPECT_TRUE(checked);
}

TEST_F(ReportFormsGui, PreviewOfAStreamWithoutPages) {
  TReportSystem rs;
  Pages(rs, 3);
  rs.SystemPrinter.FirstPage = 7;
  rs.OverrideSetup = [](TObject*, int, TObject*&) {};
  bool checked = false;
  OnNextModal([&](TCustomForm* f) {
    auto* form = dynamic_cast<TRptPreviewForm*>(f);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->PageLabel->Caption(), "z 0");
    EXPECT_FALSE(form->actnPage_Next->Enabled());
    EXPECT_FALSE(form->actnPage_First->Enabled());
    checked = true;
    form->Close();
  });
  rs.Execute();
  EXPECT_TRUE(checked);
}

TEST_F(ReportFormsGui, SetupFileNamesFormatsAndEnabling) {
  InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  TRecordingRenderer pdf;
  pdf.SetDisplayName("Adobe Acrobat (PDF)");
  pdf.FileExtension = "*.pdf";
  TReportSystem rs;
  struct Case {
    const char* name;
    int format;
    const char* expect;
    bool native;
  } cases[] = {{"reports.v2/out", 0, "reports.v2/out.rps", false},
               {"reports.v2/out.x", 0, "reports.v2/out.x", false},
               {"out", 1, "out.prn", true},
               {"  /home/jan.novak/pokladna  ", 0, "/home/jan.novak/pokladna.rps", false},
               {"sestava", 2, "sestava", false}};
  for (const Case& c : cases) {
    TRptSetupForm form(nullptr);
    form.ReportSystem = &rs;
    form.FormShow();
    ASSERT_EQ(form.cboxFormat->Items()->Count(), 3);
    EXPECT_EQ((*form.cboxFormat->Items())[0], "Report Snapshot File (RPS)");
    EXPECT_EQ((*form.cboxFormat->Items())[1], "Native Printer Output (PRN)");
    EXPECT_EQ((*form.cboxFormat->Items())[2], "Adobe Acrobat (PDF)");
    EXPECT_TRUE(form.PreviewRB->Checked());
    form.FileRB->SetChecked(true);
    form.DestinationClick();
    EXPECT_FALSE(form.bbtnOK->Enabled()) << "empty name";
    form.editFileName->SetText(c.name);
    form.DestinationClick();
    EXPECT_TRUE(form.bbtnOK->Enabled());
    form.cboxFormat->SetItemIndex(c.format);
    ASSERT_TRUE(form.bbtnOKClick());
    EXPECT_EQ(rs.ReportDest, rdFile);
    EXPECT_EQ(rs.OutputFileName, c.expect);
    EXPECT_EQ(rs.DoNativeOutput, c.native);
    EXPECT_EQ(rs.SelectedRender, c.format == 2 ? &pdf : nullptr);
  }
  EXPECT_EQ(TRptSetupForm::PrinterText(), "Office");
  rs.SystemSetups.erase(ssAllowDestPrinter);
  TRptSetupForm form(nullptr);
  form.ReportSystem = &rs;
  form.FormShow();
  EXPECT_FALSE(form.PrinterRB->Enabled());
  EXPECT_TRUE(form.SetupBB->Enabled() == false || form.PreviewRB->Checked());

  // Without printers only the preview is offered, and the options are off.
  InstallFakePrinters({});
  TRptSetupForm none(nullptr);
  none.ReportSystem = &rs;
  none.FormShow();
  EXPECT_EQ(none.PrinterLabel->Caption(), "No printers installed!");
  EXPECT_FALSE(none.FileRB->Enabled());
  EXPECT_TRUE(none.PreviewRB->Checked());
  EXPECT_FALSE(none.CopiesED->Enabled());
  EXPECT_FALSE(none.SetupBB->Enabled());
}

TEST_F(ReportFormsGui, SetupFromPreviewRange) {
  TReportSystem rs;
  TMemoryStream stream;
  {
    TReportFiler f;
    f.SetStreamMode(smUser);
    f.SetStream(&stream);
    f.OnPrint = [&](TObject*) { f.NewPage(); f.NewPage(); };
    f.RunReport();
  }
  TFilePrinter printer;
  printer.SetStreamMode(smUser);
  printer.SetStream(&stream);
  TRptSetupForm form(nullptr);
  form.ReportSystem = &rs;
  form.PreviewSetup = true;
  form.FilePrinter = &printer;
  form.FormShow();
  EXPECT_EQ(form.FromED->Text(), "1");
  EXPECT_EQ(form.ToED->Text(), "3");
  EXPECT_EQ(form.SelectionED->Text(), "1-3");
  form.PagesRB->SetChecked(true);
  form.RangeClick();
  form.FromED->SetText("2");
  form.ToED->SetText("3");
  ASSERT_TRUE(form.bbtnOKClick());
  EXPECT_EQ(printer.FirstPage(), 2);
  EXPECT_EQ(printer.LastPage(), 3);
  MessageBoxRecorder boxes;
  form.FromED->SetText("");
  EXPECT_FALSE(form.bbtnOKClick());
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  char key = 'a';
  form.CopiesED->OnKeyPress(form.CopiesED, key);
  EXPECT_EQ(key, 0);
  key = '-';
  form.SelectionED->OnKeyPress(form.SelectionED, key);
  EXPECT_EQ(key, '-');
}

}  // namespace
