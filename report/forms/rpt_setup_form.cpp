#include "report/forms/rpt_setup_form.h"

#include "platform/gui/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "report/report_system.h"

namespace {

void DigitsOnly(TEdit* edit, const char* extra) {
  std::string allowed = std::string("0123456789\b") + extra;
  edit->OnKeyPress = [allowed](TObject*, char& k) {
    if (allowed.find(k) == std::string::npos) k = 0;
  };
}

}  // namespace

TGroupBox* TRptSetupForm::Group(TWinControl* parent, const AnsiString& caption, int x, int y, int w, int h) {
  auto* g = new TGroupBox(this);
  g->SetParent(parent);
  g->SetBounds(x, y, w, h);
  g->SetCaption(caption);
  return g;
}

TRptSetupForm::TRptSetupForm(TComponent* owner) : TForm(owner) {
  AfterConstruction();
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(470);
  SetClientHeight(250);
  auto button = [&](const AnsiString& caption, int y) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(caption);
    b->SetBounds(380, y, 80, 25);
    return b;
  };
  bbtnOK = button("   OK   ", 10);
  bbtnOK->SetDefault(true);
  bbtnOK->SetModalResult(mrOk);
  CancelBB = button(Cz("Zruš"), 40);
  CancelBB->SetCancel(true);
  CancelBB->SetModalResult(mrCancel);
  SetupBB = button(Cz("N&astavení"), 70);

  TGroupBox* printer = Group(this, Cz("Vybraná tiskárna"), 8, 8, 360, 44);
  PrinterLabel = new TLabel(this);
  PrinterLabel->SetParent(printer);
  PrinterLabel->SetCaption("(none)");
  PrinterLabel->SetBounds(10, 22, 340, 16);

  TGroupBox* options = Group(this, "Volby", 8, 180, 360, 60);
  CopiesLabel = new TLabel(this);
  CopiesLabel->SetParent(options);
  CopiesLabel->SetCaption("&Kopie");
  CopiesLabel->SetBounds(10, 28, 40, 16);
  CopiesED = new TEdit(this);
  CopiesED->SetParent(options);
  CopiesED->SetBounds(55, 24, 40, 21);
  DigitsOnly(CopiesED, "");
  CollateCK = new TCheckBox(this);
  CollateCK->SetParent(options);
  CollateCK->SetCaption(Cz("&Zarovnání"));
  CollateCK->SetBounds(110, 26, 110, 18);
  DuplexCK = new TCheckBox(this);
  DuplexCK->SetParent(options);
  DuplexCK->SetCaption("&Duplex");
  DuplexCK->SetBounds(230, 26, 100, 18);

  // Two pages, one shown at a time (no tabs).
  DestPage = Group(this, Cz("Směrování tisku"), 8, 60, 360, 112);
  RangePage = Group(this, "Print Range", 8, 60, 360, 112);
  DestPage->SetVisible(false);
  RangePage->SetVisible(false);
  auto radio = [&](TWinControl* parent, const AnsiString& caption, int x, int y) {
    auto* r = new TRadioButton(this);
    r->SetParent(parent);
    r->SetCaption(caption);
    r->SetBounds(x, y, 100, 18);
    return r;
  };
  PrinterRB = radio(DestPage, Cz("&Tiskárna"), 10, 22);
  PreviewRB = radio(DestPage, Cz("&Náhled"), 10, 44);
  FileRB = radio(DestPage, "&Soubor", 10, 66);
  editFileName = new TEdit(this);
  editFileName->SetParent(DestPage);
  editFileName->SetBounds(120, 64, 200, 21);
  FileNameSB = new TButton(this);
  FileNameSB->SetParent(DestPage);
  FileNameSB->SetCaption("...");
  FileNameSB->SetBounds(324, 64, 26, 21);
  FileNameSB->OnClick = [this](TObject*) { FileNameSBClick(); };
  auto* format = new TLabel(this);
  format->SetParent(DestPage);
  format->SetCaption(Cz("Formát:"));
  format->SetBounds(120, 90, 50, 16);
  cboxFormat = new TComboBox(this);
  cboxFormat->SetParent(DestPage);
  cboxFormat->SetBounds(175, 86, 175, 21);
  for (TRadioButton* r : {PrinterRB, PreviewRB, FileRB}) r->OnClick = [this](TObject*) { DestinationClick(); };
  editFileName->OnChange = [this](TObject*) { DestinationClick(); };
  cboxFormat->SetStyle(csDropDownList);
  cboxFormat->OnChange = [this](TObject*) { cboxFormatChange(); };
  dlogSave = new TSaveDialog(this);
  dlogSave->SetFilter("All Files|*.*");
  dlogSave->SetOptions({ofOverwritePrompt, ofPathMustExist, ofNoReadOnlyReturn});

  AllRB = radio(RangePage, "All", 10, 22);
  AllRB->SetChecked(true);
  SelectionRB = radio(RangePage, "Selection", 10, 44);
  PagesRB = radio(RangePage, "Pages", 10, 66);
  auto small = [&](const AnsiString& caption, int x, int y) {
    auto* l = new TLabel(this);
    l->SetParent(RangePage);
    l->SetCaption(caption);
    l->SetBounds(x, y, 50, 16);
    return l;
  };
  auto edit = [&](int x, int y, int w) {
    auto* e = new TEdit(this);
    e->SetParent(RangePage);
    e->SetBounds(x, y, w, 21);
    return e;
  };
  SelectionLabel = small("Selection", 120, 46);
  SelectionED = edit(180, 42, 160);
  FromLabel = small("From", 120, 68);
  FromED = edit(160, 64, 50);
  ToLabel = small("to", 220, 68);
  ToED = edit(245, 64, 50);
  DigitsOnly(FromED, "");
  DigitsOnly(ToED, "");
  DigitsOnly(SelectionED, "-,");
  for (TRadioButton* r : {AllRB, SelectionRB, PagesRB}) r->OnClick = [this](TObject*) { RangeClick(); };

  // FormCreate.
  for (TControl* c : {static_cast<TControl*>(FromLabel), static_cast<TControl*>(FromED),
                      static_cast<TControl*>(ToLabel), static_cast<TControl*>(ToED)})
    c->SetVisible(false);
  SelectionLabel->SetEnabled(false);
  SelectionED->SetEnabled(false);
  editFileName->SetEnabled(false);
  FileNameSB->SetEnabled(false);

  SetupBB->OnClick = [this](TObject*) { SetupClick(); };
  bbtnOK->OnClick = [this](TObject*) {
    if (!bbtnOKClick()) SetModalResult(mrNone);
  };
  OnShow = [this](TObject*) { FormShow(); };
}

AnsiString TRptSetupForm::PrinterText() {
  TRptPrinterDevice* p = RptPrinterDevice();
  if (!p || p->NoPrinters()) return "No printers installed!";
  AnsiString device = p->DeviceName(), port = p->PortName();
  return port.empty() ? device : Format("%s on %s", device, port);
}

void TRptSetupForm::FormShow() {
  TReportSystem* rs = ReportSystem;
  TStringList names;
  RendererNames(&names);
  cboxFormat->Items()->Clear();
  for (int i = 0; i < names.Count(); ++i) cboxFormat->Items()->Add(names[i]);
  cboxFormat->Items()->Insert(0, "Report Snapshot File (RPS)");
  cboxFormat->Items()->Insert(1, "Native Printer Output (PRN)");
  AnsiString filter = cboxFormat->Items()->Strings(0) + "|*.RPS|" + cboxFormat->Items()->Strings(1) + "|*.PRN";
  if (!RendererFilter().empty()) filter += "|" + RendererFilter();
  dlogSave->SetFilter(filter);
  PrinterLabel->SetCaption(PrinterText());
  bool printers = PrinterText() != "No printers installed!";
  auto allowed = [rs](TSystemSetup s) { return rs && rs->SystemSetups.count(s) > 0; };
  if (PreviewSetup) {
    RangePage->SetVisible(true);
    int count = FilePrinter ? FilePrinter->StreamPages() : 0;
    FromED->SetText("1");
    ToED->SetText(IntToStr(count));
    SelectionED->SetText("1-" + IntToStr(count));
  } else {
    DestPage->SetVisible(true);
    if (cboxFormat->ItemIndex() < 0) cboxFormat->SetItemIndex(0);
    if (!printers) {
      PrinterRB->SetEnabled(false);
      FileRB->SetEnabled(false);
      if (allowed(ssAllowDestPreview))
        PreviewRB->SetChecked(true);
      else
        PreviewRB->SetEnabled(false);
    } else {
      PrinterRB->SetEnabled(allowed(ssAllowDestPrinter));
      PreviewRB->SetEnabled(allowed(ssAllowDestPreview));
      FileRB->SetEnabled(allowed(ssAllowDestFile));
      TReportDest d = rs ? rs->DefaultDest : rdPreview;
      (d == rdPrinter ? PrinterRB : d == rdFile ? FileRB : PreviewRB)->SetChecked(true);
    }
    DestinationClick();
  }
  if (!printers) {
    for (TControl* c : {static_cast<TControl*>(CollateCK), static_cast<TControl*>(CopiesED),
                        static_cast<TControl*>(CopiesLabel), static_cast<TControl*>(DuplexCK),
                        static_cast<TControl*>(SetupBB)})
      c->SetEnabled(false);
  } else {
    CollateCK->SetEnabled(allowed(ssAllowCollate));
    CopiesED->SetEnabled(allowed(ssAllowCopies));
    CopiesLabel->SetEnabled(allowed(ssAllowCopies));
    DuplexCK->SetEnabled(allowed(ssAllowDuplex));
    SetupBB->SetEnabled(allowed(ssAllowPrinterSetup));
  }
  CopiesED->SetText(IntToStr(rs ? rs->SystemPrinter.Copies : 1));
}

void TRptSetupForm::DestinationClick() {
  if (PreviewSetup) return;
  bool file = FileRB->Checked();
  editFileName->SetEnabled(file);
  FileNameSB->SetEnabled(file);
  cboxFormat->SetEnabled(file);
  SetupBB->SetEnabled(!file && PrinterText() != "No printers installed!" && ReportSystem &&
                      ReportSystem->SystemSetups.count(ssAllowPrinterSetup));
  bbtnOK->SetEnabled(!file || !Trim(editFileName->Text()).empty());
  bool printer = PrinterRB->Checked() && PrinterRB->Enabled();
  if (PrinterText() != "No printers installed!") {
    CopiesED->SetEnabled(printer);
    CollateCK->SetEnabled(printer);
    DuplexCK->SetEnabled(printer);
  }
}

void TRptSetupForm::RangeClick() {
  bool selection = SelectionRB->Checked(), pages = PagesRB->Checked();
  SelectionLabel->SetVisible(!pages);
  SelectionED->SetVisible(!pages);
  SelectionLabel->SetEnabled(selection);
  SelectionED->SetEnabled(selection);
  for (TControl* c : {static_cast<TControl*>(FromLabel), static_cast<TControl*>(FromED),
                      static_cast<TControl*>(ToLabel), static_cast<TControl*>(ToED)}) {
    c->SetVisible(pages);
    c->SetEnabled(pages);
  }
}

void TRptSetupForm::SetupClick() {
  if (TRptPrinterDevice* p = RptPrinterDevice()) p->PrinterSetupDialog();
  PrinterLabel->SetCaption(PrinterText());
}

void TRptSetupForm::FileNameSBClick() {
  dlogSave->SetFileName(Trim(editFileName->Text()));
  if (!dlogSave->Execute()) return;
  editFileName->SetText(dlogSave->FileName());
  int format = dlogSave->FilterIndex() - 1;
  if (format >= 0 && format < cboxFormat->Items()->Count()) cboxFormat->SetItemIndex(format);
  DestinationClick();
}

void TRptSetupForm::cboxFormatChange() { dlogSave->SetFilterIndex(cboxFormat->ItemIndex() + 1); }

bool TRptSetupForm::bbtnOKClick() {
  TReportSystem* rs = ReportSystem;
  auto allowed = [rs](TSystemSetup s) { return rs && rs->SystemSetups.count(s) > 0; };
  try {
    if (PreviewSetup && FilePrinter) {
      FilePrinter->SetFirstPage(1);
      FilePrinter->SetLastPage(9999);
      FilePrinter->SetSelection("");
      if (SelectionRB->Checked()) FilePrinter->SetSelection(SelectionED->Text());
      if (PagesRB->Checked()) {
        FilePrinter->SetFirstPage(StrToInt(FromED->Text()));
        FilePrinter->SetLastPage(StrToInt(ToED->Text()));
      }
      if (allowed(ssAllowCopies)) {
        int n = StrToIntDef(CopiesED->Text(), 0);
        if (n > 0) FilePrinter->SetCopies(n);
      }
      if (FilePrinter->HasPrinter()) {
        TRptBaseDevice* d = FilePrinter->Device();
        if (allowed(ssAllowCollate)) d->SetCollate(CollateCK->Checked());
        if (allowed(ssAllowDuplex)) d->SetDuplex(!DuplexCK->Checked() ? 0 : d->Duplex() == 0 ? 1 : d->Duplex());
      }
    } else if (rs) {
      if (PrinterRB->Checked()) {
        rs->ReportDest = rdPrinter;
        rs->OutputFileName = "";
      } else if (PreviewRB->Checked()) {
        rs->ReportDest = rdPreview;
        rs->OutputFileName = "";
      } else if (FileRB->Checked()) {
        rs->ReportDest = rdFile;
        rs->OutputFileName = Trim(editFileName->Text());
        int format = cboxFormat->ItemIndex();
        // Only the last path component tells whether the name has an
        // extension: folders may hold dots.
        bool hasExt = !ExtractFileExt(rs->OutputFileName).empty();
        rs->SelectedRender = nullptr;
        if (format <= 0) {
          if (!hasExt) rs->OutputFileName += ".rps";
          rs->DoNativeOutput = false;
        } else if (format == 1) {
          if (!hasExt) rs->OutputFileName += ".prn";
          rs->DoNativeOutput = true;
        } else {
          rs->DoNativeOutput = false;
          TStringList names;
          RendererNames(&names);
          if (format - 2 < names.Count()) rs->SelectedRender = static_cast<TRptRender*>(names.Objects(format - 2));
        }
      }
    }
    if (rs) {
      if (allowed(ssAllowCopies)) {
        int n = StrToIntDef(CopiesED->Text(), 0);
        if (n > 0) rs->SystemPrinter.Copies = n;
      }
      if (allowed(ssAllowCollate)) rs->SystemPrinter.Collate = CollateCK->Checked();
      if (allowed(ssAllowDuplex))
        rs->SystemPrinter.Duplex = !DuplexCK->Checked() ? 0 : rs->SystemPrinter.Duplex == 0 ? 1 : rs->SystemPrinter.Duplex;
    }
  } catch (const EConvertError& e) {
    ShowMessage(e.Message());
    return false;
  }
  return true;
}
