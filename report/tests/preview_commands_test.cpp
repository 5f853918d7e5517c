// The preview window's commands: its tool bar and menus, go to page, print
// from the preview with its passes, save as a page stream or through a
// renderer, open another file; the setup window's browse button; the wait
// cursor stack.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <QWidget>

#include "platform/gui/application.h"
#include "platform/gui/testing/fake_printers.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"
#include "platform/rtl/system.h"
#include "report/forms/rpt_cursor.h"
#include "report/forms/rpt_preview_form.h"
#include "report/forms/rpt_setup_form.h"
#include "report/report_system.h"
#include "report/tests/support/recording_renderer.h"
#include "testing/temp_dir.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class PreviewCommandsGui : public ::testing::Test {
 protected:
  void SetUp() override { InstallFakePrinters({}); }
  void TearDown() override { SetPrinterBackend(nullptr); }

  FakePrinterBackend* Printer(int maxCopies) {
    TPrinterCaps caps = OfficePrinterCaps();
    caps.maxCopies = maxCopies;
    return InstallFakePrinters({{"Office", caps, true}}, 0);
  }
  // A report of pages pages previewed; script runs on the preview window.
  void Preview(int pages, const std::function<void(TRptPreviewForm*)>& script) {
    rs.OnPrint = [pages](TObject* s) {
      auto* r = static_cast<TBaseReport*>(s);
      for (int p = 1; p <= pages; ++p) {
        if (p > 1) r->NewPage();
        r->SetYPos(1);
        r->TextLeftAt("Strana " + IntToStr(p), 1);
      }
    };
    rs.OverrideSetup = [](TObject*, int, TObject*&) {};
    rs.SystemOptions.erase(soShowStatus);
    bool ran = false;
    OnNextModal([&](TCustomForm* f) {
      auto* form = dynamic_cast<TRptPreviewForm*>(f);
      ASSERT_NE(form, nullptr);
      script(form);
      ran = true;
      form->Close();
    });
    rs.Execute();
    EXPECT_TRUE(ran);
  }
  TReportSystem rs;
};

TEST_F(PreviewCommandsGui, ToolBarMenusAndGoToPage) {
  Preview(3, [](TRptPreviewForm* form) {
    int buttons = 0;
    std::vector<AnsiString> hints;
    for (int i = 0; i < form->ToolBar1->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TToolButton*>(form->ToolBar1->Controls(i)); b && b->Style() == tbsButton) {
        ++buttons;
        hints.push_back(b->Hint());
        EXPECT_NE(b->Glyph(), nullptr);
      }
    EXPECT_EQ(buttons, 12);
    EXPECT_EQ(hints.front(), "Open another report");
    EXPECT_EQ(hints.back(), "Exit viewer");
    // Controls keep the bar's order: "Strana", the page field, then "z 3".
    EXPECT_LT(form->PageCaption->Left(), form->PageEdit->Left());
    EXPECT_LT(form->PageEdit->Left(), form->PageLabel->Left());
    EXPECT_EQ(form->PageLabel->Caption(), "z 3");

    TMenuItem* page = form->MainMenu1->Items()->Items(1);
    EXPECT_EQ(page->Caption(), Cz("&Strana"));
    EXPECT_EQ(page->Items(0)->Caption(), Cz("&První"));
    EXPECT_FALSE(page->Items(0)->Enabled());  // follows its action
    EXPECT_TRUE(page->Items(2)->Enabled());
    EXPECT_TRUE(page->Items(4)->IsLine());
    EXPECT_EQ(form->GotoPageItem->Caption(), Cz("&Jdi na stranu #"));
    EXPECT_EQ(form->GotoPageItem->Hint(), "Go to specified page");
    EXPECT_EQ(form->GotoPageItem->ShortCut(), ShortCut('G', TShiftState() << ssCtrl));

    // Go to page: the current page offered; a page past the end shows the
    // last; anything not a number is ignored.
    InputQueryRecorder query("2");
    form->GotoPageItem->Click();
    EXPECT_EQ(form->StatusText(), "Page 2 z 3");
    ASSERT_EQ(query.Queries().size(), 1u);
    EXPECT_EQ(query.Queries()[0].Caption, "Go to Page");
    EXPECT_EQ(query.Queries()[0].Prompt, "Enter page to move to:");
    EXPECT_EQ(query.Queries()[0].Value, "1");
    query.SetAnswer("x");
    form->GotoPageItem->Click();
    EXPECT_EQ(form->StatusText(), "Page 2 z 3");
    query.SetAnswer("9");
    form->GotoPageItem->Click();
    EXPECT_EQ(form->StatusText(), "Page 3 z 3");
    EXPECT_FALSE(form->actnPage_Next->Enabled());
    // A menu item runs its action; Ctrl+G asks for the page.
    page->Items(0)->Click();
    EXPECT_EQ(form->StatusText(), "Page 1 z 3");
    query.SetAnswer("2");
    KeyClick(form, 'G', TShiftState() << ssCtrl);
    EXPECT_EQ(form->StatusText(), "Page 2 z 3");
    EXPECT_EQ(query.Queries().size(), 4u);
  });
}

// A printer making up to 5 copies itself: 5 copies are one job, 8 copies
// eight jobs of one copy each.
TEST_F(PreviewCommandsGui, PrintFromPreviewMakesPassesWhenThePrinterCannotCopy) {
  struct Case {
    const char* copies;
    std::size_t jobs;
    int jobCopies;
  } cases[] = {{"5", 1, 5}, {"8", 8, 1}};
  for (const Case& c : cases) {
    FakePrinterBackend* fake = Printer(5);
    Preview(2, [&](TRptPreviewForm* form) {
      EXPECT_TRUE(form->actnFile_Print->Enabled());
      OnNextModal([&](TCustomForm* f) {
        auto* setup = dynamic_cast<TRptSetupForm*>(f);
        ASSERT_NE(setup, nullptr);
        EXPECT_TRUE(setup->RangePage->Visible());
        EXPECT_EQ(setup->ToED->Text(), "2");
        setup->CopiesED->SetText(c.copies);
        setup->bbtnOK->Click();
      });
      form->actnFile_Print->Execute();
      EXPECT_TRUE(form->FilePrinter1->SettingsChosen);
    });
    ASSERT_EQ(fake->jobs.size(), c.jobs) << c.copies;
    for (const auto& job : fake->jobs) EXPECT_EQ(job.options.copies, c.jobCopies);
    SetPrinterBackend(nullptr);
  }
  // Cancel in the setup window prints nothing.
  FakePrinterBackend* fake = Printer(5);
  Preview(1, [](TRptPreviewForm* form) {
    OnNextModal([](TCustomForm* f) { f->SetModalResult(mrCancel); });
    form->actnFile_Print->Execute();
  });
  EXPECT_TRUE(fake->jobs.empty());
  // Without printers the print ends with the one message.
  InstallFakePrinters({});
  MessageBoxRecorder boxes;
  Preview(1, [](TRptPreviewForm* form) {
    OnNextModal([](TCustomForm* f) { static_cast<TRptSetupForm*>(f)->bbtnOK->Click(); });
    form->actnFile_Print->Execute();
  });
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Text, "No printers are defined, aborting print job.");
}

TEST_F(PreviewCommandsGui, SaveCopiesTheStreamOrRendersItAndKeepsThePosition) {
  TempDir dir;
  TRecordingRenderer pdf;
  pdf.SetDisplayName("Adobe Acrobat (PDF)");
  pdf.FileExtension = "*.pdf";
  Preview(2, [&](TRptPreviewForm* form) {
    FileDialogRecorder files({{AnsiString(dir.File("copy.rps")), 1},
                              {AnsiString(dir.File("out.pdf")), 2},
                              {AnsiString(dir.File("none/x.rps")), 1}});
    TStream* stream = form->FilePreview1->Stream();
    ASSERT_NE(stream, nullptr);
    stream->SetPosition(17);
    form->actnFile_Save->Execute();
    EXPECT_EQ(stream->Position(), 17);
    std::string bytes(static_cast<std::size_t>(stream->Size()), '\0');
    stream->SetPosition(0);
    stream->ReadBuffer(bytes.data(), stream->Size());
    EXPECT_EQ(ReadAll(dir.File("copy.rps")), bytes);
    stream->SetPosition(17);
    form->actnFile_Save->Execute();
    EXPECT_EQ(pdf.RenderedPosition, 0);
    EXPECT_EQ(pdf.RenderedName, dir.File("out.pdf"));
    EXPECT_EQ(stream->Position(), 17);
    // A failed save keeps the position and the cursor too.
    EXPECT_THROW(form->actnFile_Save->Execute(), EFCreateError);
    EXPECT_EQ(stream->Position(), 17);
    ASSERT_EQ(files.Dialogs().size(), 3u);
    const TFileDialogRequest& r = files.Dialogs()[0];
    EXPECT_EQ(r.Title, "Save File");
    EXPECT_EQ(r.Filter, "Report Snapshot Files (*.rps)|*.rps|Adobe Acrobat (PDF)|*.pdf");
    EXPECT_TRUE(r.Save);
    EXPECT_EQ(RptCursor().Depth(), 0);
    EXPECT_EQ(Screen->Cursor(), crDefault);
  });
}

TEST_F(PreviewCommandsGui, OpenShowsAnotherFileWithItsNameInTheCaption) {
  TempDir dir;
  {
    TReportFiler f;
    f.SetStreamMode(smFile);
    f.SetFileName(dir.File("jina.rps"));
    f.OnPrint = [&](TObject*) {
      for (int i = 0; i < 4; ++i) f.NewPage();
    };
    f.RunReport();
  }
  AnsiString title = Application->Title();
  Application->SetTitle("Morvake CRM Platebna");
  Preview(2, [&](TRptPreviewForm* form) {
    FileDialogRecorder files({{AnsiString(dir.File("jina.rps"))}});
    form->actnFile_Open->Execute();
    EXPECT_EQ(form->Caption(), "Morvake CRM Platebna - [ jina.rps ]");
    EXPECT_EQ(form->PageLabel->Caption(), "z 5");
    EXPECT_EQ(form->StatusText(), "Page 1 z 5");
    EXPECT_TRUE(form->actnPage_Last->Enabled());
    const TFileDialogRequest& r = files.Dialogs().at(0);
    EXPECT_EQ(r.Title, "Open File");
    EXPECT_EQ(r.DefaultExt, ".rps");
    EXPECT_EQ(r.Filter, "Report Snapshot Files (*.rps)|*.rps|All Files|*.*");
    EXPECT_TRUE(r.Options.Contains(ofFileMustExist));
  });
  Application->SetTitle(title);
}

TEST_F(PreviewCommandsGui, SetupBrowseTakesTheNameAndTheFormatBothWays) {
  InstallFakePrinters({{"Office", OfficePrinterCaps(), true}}, 0);
  TRecordingRenderer pdf;
  pdf.SetDisplayName("Adobe Acrobat (PDF)");
  pdf.FileExtension = "*.pdf";
  TRptSetupForm form(nullptr);
  form.ReportSystem = &rs;
  form.FormShow();
  EXPECT_FALSE(form.FileNameSB->Enabled());
  EXPECT_EQ(form.PrinterRB->Caption(), Cz("&Tiskárna"));
  form.FileRB->SetChecked(true);
  form.DestinationClick();
  EXPECT_TRUE(form.FileNameSB->Enabled());
  FileDialogRecorder files({{"reports.v2/vystup", 3}, {""}});
  form.FileNameSB->Click();
  EXPECT_EQ(form.editFileName->Text(), "reports.v2/vystup");
  EXPECT_EQ(form.cboxFormat->ItemIndex(), 2);
  EXPECT_TRUE(form.bbtnOK->Enabled());
  const TFileDialogRequest& r = files.Dialogs().at(0);
  EXPECT_EQ(r.Filter, "Report Snapshot File (RPS)|*.RPS|Native Printer Output (PRN)|*.PRN|Adobe Acrobat (PDF)|*.pdf");
  EXPECT_TRUE(r.Options.Contains(ofOverwritePrompt));
  EXPECT_TRUE(r.Options.Contains(ofPathMustExist));
  EXPECT_TRUE(r.Options.Contains(ofNoReadOnlyReturn));
  form.cboxFormat->SetItemIndex(1);
  form.cboxFormatChange();
  form.FileNameSB->Click();  // cancelled: name and format stay
  EXPECT_EQ(files.Dialogs().at(1).FilterIndex, 2);
  EXPECT_EQ(form.editFileName->Text(), "reports.v2/vystup");
  ASSERT_TRUE(form.bbtnOKClick());
  EXPECT_EQ(rs.OutputFileName, "reports.v2/vystup.prn");
}

// "Whole page" shows all of an A4 page with its margins inside the scroll
// box, whatever the window's size: no scrolling is left, and the zoom is the
// largest that fits.
TEST_F(PreviewCommandsGui, WholePageFitsTheWindow) {
  struct Size {
    int w, h;
    bool maximized;
  } sizes[] = {{900, 800, false}, {1024, 740, false}, {1000, 700, false}, {700, 1000, false},
               {500, 350, false},  {640, 480, true},   {900, 800, false}};
  for (const Size& size : sizes) {
    Preview(1, [&](TRptPreviewForm* form) {
      form->SetBounds(0, 0, size.w, size.h);
      // Maximised by the window manager: the window has the screen's size.
      if (size.maximized) form->SetWindowState(wsMaximized);
      Application->ProcessMessages();
      KeyClick(form, 'F');
      Application->ProcessMessages();
      TScrollBox* box = form->ScrollBox1;
      TImage* image = form->FilePreview1->Image();
      ASSERT_NE(image, nullptr);
      int margin = form->FilePreview1->MarginPixels();
      SCOPED_TRACE(testing::Message() << size.w << "x" << size.h << (size.maximized ? " maximized" : "") << " zoom " << form->FilePreview1->ZoomFactor()
                                      << " box " << box->Width() << "x" << box->Height() << " client "
                                      << box->ClientWidth() << "x" << box->ClientHeight());
      // The scroll box fills the window's client area below the tool bar.
      QWidget* w = form->Widget();
      int bottom = box->Widget()->mapTo(w, QPoint(0, box->Height())).y();
      int right = box->Widget()->mapTo(w, QPoint(box->Width(), 0)).x();
      EXPECT_LE(bottom, w->height());
      EXPECT_GE(bottom, w->height() - 40) << "only the status bar is below it";
      EXPECT_EQ(right, w->width());
      EXPECT_LE(image->Top() + image->Height() + margin, box->ClientHeight());
      EXPECT_LE(image->Left() + image->Width() + margin, box->ClientWidth());
      EXPECT_LE(box->VertScrollBar()->Range(), box->ClientHeight());
      EXPECT_LE(box->HorzScrollBar()->Range(), box->ClientWidth());
      // Largest that fits: the page is at least as high as the room left by
      // the margins and a few pixels, or as wide.
      EXPECT_TRUE(image->Height() + 2 * margin + 12 >= box->ClientHeight() ||
                  image->Width() + 2 * margin + 12 >= box->ClientWidth());
    });
  }
}

TEST(RptCursorGui, NestedWaitsRestoreWhatEachFound) {
  Screen->SetCursor(crDefault);
  RptCursor().PushHourGlass();
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  Screen->SetCursor(crCross);
  {
    TRptWaitCursor wait;
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EXPECT_EQ(RptCursor().Depth(), 2);
  }
  EXPECT_EQ(Screen->Cursor(), crCross);
  RptCursor().Pop();
  EXPECT_EQ(Screen->Cursor(), crDefault);
  RptCursor().Pop();  // nothing saved: nothing happens
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

}  // namespace
