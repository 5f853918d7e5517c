// The voucher's print dialog and the report module: layout, printer choice
// for this run only, keys, copies that print nothing, the report options
// after every kind of run, the start objects, the report cursor, unknown
// report kinds and stale or missing printers.
#include <gtest/gtest.h>

#include "app/program.h"
#include "app/tests/voucher_support.h"
#include "platform/gui/application.h"
#include "report/forms/rpt_setup_form.h"
#include "report/rpt_device.h"

namespace {

using app_test::FakePrinter;
using app_test::PreviewCloser;
using app_test::VoucherProgram;

const TSystemSetups kLaterReportSetups = {ssAllowSetup, ssAllowCopies, ssAllowDestPreview, ssAllowDestPrinter,
                                          ssAllowPrinterSetup};

struct DialogDeleter {
  void operator()(TVyberTiskuDokladu* d) const {
    d->BeforeDestruction();
    delete d;
  }
};
using DialogPtr = std::unique_ptr<TVyberTiskuDokladu, DialogDeleter>;

DialogPtr NewDialog() { return DialogPtr(NewForm<TVyberTiskuDokladu>(Platebna)); }

TEST(VoucherDialogGui, LayoutTextsAndTheStoredPrinter) {
  VoucherProgram p({FakePrinter("Office", 99), FakePrinter("Sklad", 1), FakePrinter("Kancelar", 5)}, 0);
  Data->PrinterIndex = 2;
  DialogPtr d = NewDialog();
  EXPECT_EQ(d->Caption(), Cz("Nastavení tisku dokladu"));
  EXPECT_EQ(d->BorderStyle(), bsSingle);
  EXPECT_EQ(d->BorderIcons(), TBorderIcons{biSystemMenu});
  EXPECT_EQ(d->ClientWidth(), 286);
  EXPECT_EQ(d->ClientHeight(), 158);
  EXPECT_TRUE(d->KeyPreview());
  EXPECT_EQ(d->Position(), poOwnerFormCenter);
  struct Place {
    TControl* control;
    const char* text;
    int left, top, width;
  } places[] = {
      {d->Label1, "Počet kopii tisku dokladu", 32, 24, -1},
      {d->EditKuvet1, "1", 200, 16, 49},
      {d->CheckBox2, "Náhled před tiskem", 32, 48, -1},
      {d->Label2, "Vybraná tiskárna", 32, 88, -1},
      {d->ComboBoxKuvet1, nullptr, 128, 80, 121},
      {d->Button2, "Tisk", 72, 8, -1},
      {d->Button1, "Storno", 152, 8, -1},
  };
  for (const Place& pl : places) {
    SCOPED_TRACE(pl.control->Name());
    if (pl.text) {
      EXPECT_EQ(pl.control->Text(), Cz(pl.text));
    }
    EXPECT_EQ(pl.control->Left(), pl.left);
    EXPECT_EQ(pl.control->Top(), pl.top);
    if (pl.width >= 0) {
      EXPECT_EQ(pl.control->Width(), pl.width);
    }
  }
  EXPECT_EQ(d->Panel1->Height(), 41);
  EXPECT_EQ(d->Button2->Parent(), d->Panel1);
  EXPECT_EQ(d->EditKuvet1->EditType(), ttInteger);
  EXPECT_FALSE(d->EditKuvet1->ButtonVisible());
  EXPECT_FALSE(d->CheckBox2->Checked());

  ASSERT_EQ(d->ComboBoxKuvet1->Items()->Count(), 3);
  EXPECT_EQ(d->ComboBoxKuvet1->Items()->Strings(2), "Kancelar");
  EXPECT_EQ(d->ComboBoxKuvet1->ItemIndex(), 2);
  RunModal(d.get(), [](TCustomForm* f) {
    auto* dialog = static_cast<TVyberTiskuDokladu*>(f);
    EXPECT_TRUE(dialog->EditKuvet1->Focused());
    KeyClick(dialog, VK_ESCAPE);
  });
}

TEST(VoucherDialogGui, TiskChoosesThePrinterForThisRunOnly) {
  VoucherProgram p({FakePrinter("Office", 99), FakePrinter("Sklad", 99), FakePrinter("Kancelar", 99)}, 0);
  const std::string settings = p.Dir().ReadSettings();
  p.SetDocument({.amount = 50});
  p.PressF8([](TVyberTiskuDokladu* d) {
    d->ComboBoxKuvet1->SetItemIndex(1);
    d->Button2->Click();
  });
  EXPECT_EQ(RptPrinterDevice()->PrinterIndex(), 1);
  EXPECT_EQ(Data->PrinterIndex, 1);
  ASSERT_EQ(p.Fake().jobs.size(), 1u);
  EXPECT_EQ(p.Fake().jobs[0].printer, "Sklad");
  EXPECT_EQ(p.Dir().ReadSettings(), settings);
}

TEST(VoucherDialogGui, KeysAndTheDestinationTheySet) {
  VoucherProgram p;
  DialogPtr d = NewDialog();
  TReportSystem* rs = DataSestavy->ReportSystem;
  rs->DefaultDest = rdPreview;
  TModalResult result = RunModal(d.get(), [rs](TCustomForm* f) {
    auto* dialog = static_cast<TVyberTiskuDokladu*>(f);
    // Every key first takes the destination from the box as it stands.
    KeyClick(dialog, VK_F12);
    EXPECT_TRUE(dialog->CheckBox2->Checked());
    EXPECT_EQ(rs->DefaultDest, rdPrinter);
    KeyClick(dialog, VK_F2);
    EXPECT_EQ(rs->DefaultDest, rdPreview);
    KeyClick(dialog, VK_F12);
    EXPECT_FALSE(dialog->CheckBox2->Checked());
    dialog->CheckBox2->SetFocus();
    KeyClick(dialog->CheckBox2, VK_RETURN);
    EXPECT_TRUE(dialog->ComboBoxKuvet1->Focused());
    KeyClick(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(rs->DefaultDest, rdPrinter);

  d.reset();
  DialogPtr again = NewDialog();
  EXPECT_EQ(RunModal(again.get(), [](TCustomForm* f) { KeyClick(f, VK_F8); }), mrOk);
}

TEST(VoucherDialogGui, CopiesThatAreNoPositiveNumberPrintNothing) {
  VoucherProgram p;
  PreviewCloser previews;
  for (const char* copies : {"", "0", "-2"})
    for (bool preview : {false, true}) {
      SCOPED_TRACE(std::string("copies \"") + copies + "\" preview " + (preview ? "on" : "off"));
      p.Print(copies, preview);
      EXPECT_TRUE(p.Fake().jobs.empty());
      EXPECT_TRUE(previews.captions.empty());
      EXPECT_EQ(DataSestavy->ReportSystem->SystemSetups, kLaterReportSetups);
    }
  p.PressF8([](TVyberTiskuDokladu* d) {
    d->EditKuvet1->SetText("");
    d->Button2->Click();
    EXPECT_EQ(d->EditKuvet1->Text(), "0");
  });
}

TEST(VoucherDialogGui, AfterAVoucherTheCashBookOffersPrinterAndPreviewOnly) {
  VoucherProgram p;
  PreviewCloser previews;
  p.PrintPreview();
  EXPECT_EQ(previews.captions, std::vector<AnsiString>{Cz("Náhled před tiskem")});
  p.PressF8([](TVyberTiskuDokladu* d) { KeyClick(d, VK_ESCAPE); });
  TReportSystem* rs = DataSestavy->ReportSystem;
  EXPECT_EQ(rs->SystemSetups, kLaterReportSetups);

  bool shown = false;
  OnNextModal([&shown](TCustomForm* f) {
    auto* setup = dynamic_cast<TRptSetupForm*>(f);
    ASSERT_TRUE(setup);
    shown = true;
    EXPECT_EQ(setup->Caption(), Cz("Nestavení sestavy"));
    EXPECT_TRUE(setup->PrinterRB->Enabled());
    EXPECT_TRUE(setup->PreviewRB->Enabled());
    EXPECT_FALSE(setup->FileRB->Enabled());
    EXPECT_TRUE(setup->CopiesED->Enabled());
    EXPECT_FALSE(setup->CollateCK->Enabled());
    EXPECT_FALSE(setup->DuplexCK->Enabled());
    setup->CancelBB->Click();
  });
  DataSestavy->ReportKind = 2;
  rs->Execute();
  EXPECT_TRUE(shown);
}

TEST(VoucherDialogGui, StartObjectsAndTheReportCursor) {
  VoucherProgram p;
  std::vector<AnsiString> order;
  const std::set<AnsiString> startClasses = {"TData",         "TDataSestavy",     "TPlatebna",         "TPlatebnaTypy",
                                             "TRptSetupForm", "TSystemNastaveni", "TVyberTiskuDokladu"};
  for (int i = 0; i < Application->ComponentCount(); ++i)
    if (startClasses.count(Application->Components(i)->ClassName()))
      order.push_back(Application->Components(i)->ClassName());
  EXPECT_EQ(order, (std::vector<AnsiString>{"TData", "TDataSestavy", "TPlatebna", "TPlatebnaTypy", "TRptSetupForm",
                                            "TSystemNastaveni", "TVyberTiskuDokladu"}));
  EXPECT_TRUE(DataSestavy && RptSetupForm && VyberTiskuDokladu);

  TXbaseDataSet* cursor = DataSestavy->SesPlatebna;
  EXPECT_EQ(cursor->DatabaseName(), Data->Platebna->DatabaseName());
  EXPECT_EQ(cursor->TableName(), Data->Platebna->TableName());
  EXPECT_EQ(cursor->LockProtocol(), TxbLokProtocol::ClipLock);
  std::vector<AnsiString> fields;
  for (int i = 0; i < cursor->FieldCount(); ++i) fields.push_back(cursor->Fields()[i]->FieldName());
  EXPECT_EQ(fields, (std::vector<AnsiString>{"PLA_DAT", "PLA_DO1", "PLA_TYP", "PLA_KOM", "PLA_KDO", "PLA_BYT",
                                             "PLA_SML", "PLA_HOD", "PLA_STA", "PLA_ROC"}));
  cursor->Open();
  EXPECT_EQ(cursor->RecordCount(), Data->Platebna->RecordCount());
  cursor->Close();
}

TEST(VoucherDialogGui, UnknownKindStalePrinterAndNoPrinters) {
  {
    VoucherProgram p({FakePrinter("Office", 99), FakePrinter("Sklad", 99)}, 1);
    TReportSystem* rs = DataSestavy->ReportSystem;
    rs->SystemSetups = {};
    // An unknown kind: one blank page.
    DataSestavy->ReportKind = 9;
    rs->DefaultDest = rdPreview;
    {
      PreviewCloser previews;
      rs->Execute();
    }
    const ReportCapture blank = CaptureReportFile(p.StreamFile());
    EXPECT_EQ(blank.pages, 1);
    EXPECT_TRUE(blank.texts.empty());
    EXPECT_TRUE(blank.lines.empty());

    // A printer number past the list (a printer removed since it was
    // saved) prints on the default printer, not on the last one used.
    DataSestavy->ReportKind = 1;
    rs->DefaultDest = rdPrinter;
    Data->PrinterIndex = 0;
    rs->Execute();
    Data->PrinterIndex = 7;
    rs->Execute();
    ASSERT_EQ(p.Fake().jobs.size(), 2u);
    EXPECT_EQ(p.Fake().jobs[0].printer, "Office");
    EXPECT_EQ(p.Fake().jobs[1].printer, "Sklad");
  }
  {
    VoucherProgram p({}, -1);
    MessageBoxRecorder boxes;
    p.Print("1", false);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Text, "No printers are defined, aborting print job.");
    const ReportCapture c = p.PrintPreview();
    EXPECT_EQ(c.pages, 1);
    EXPECT_FALSE(c.texts.empty());
  }
}

}  // namespace
