// The report windows: the preview's texts, actions, keys and fields as the
// report system shows it, a stream without pages, and the status window.
#include <gtest/gtest.h>

#include "platform/gui/keys.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_preview_form.h"
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

}  // namespace
