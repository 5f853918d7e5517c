#include "app/voucher_print_dialog.h"

#include "app/data_module.h"
#include "app/maintenance_forms_support.h"
#include "app/report_module.h"
#include "platform/rtl/sysutils.h"
#include "report/rpt_device.h"

using namespace maintenance;

TVyberTiskuDokladu* VyberTiskuDokladu = nullptr;

TVyberTiskuDokladu::TVyberTiskuDokladu(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "VyberTiskuDokladu", "Nastavení tisku dokladu", 286, 158);
  SetPosition(poOwnerFormCenter);
  Panel1 = BottomPanel(this);

  Label1 = Label(this, this, "Počet kopii tisku dokladu", 32, 24);
  EditKuvet1 = new TEditKuvet(this);
  EditKuvet1->SetName("EditKuvet1");
  EditKuvet1->SetParent(this);
  EditKuvet1->SetBounds(200, 16, 49, 21);
  EditKuvet1->SetEditType(ttInteger);
  EditKuvet1->SetButtonVisible(false);
  EditKuvet1->SetText("1");

  CheckBox2 = new TCheckBox(this);
  CheckBox2->SetName("CheckBox2");
  CheckBox2->SetParent(this);
  CheckBox2->SetBounds(32, 48, 177, 17);
  CheckBox2->SetCaption(Cz("Náhled před tiskem"));

  Label2 = Label(this, this, "Vybraná tiskárna", 32, 88);
  ComboBoxKuvet1 = new TComboBoxKuvet(this);
  ComboBoxKuvet1->SetName("ComboBoxKuvet1");
  ComboBoxKuvet1->SetParent(this);
  ComboBoxKuvet1->SetBounds(128, 80, 121, 21);

  Button2 = Button(this, Panel1, "Button2", "Tisk", 72, 8, mrNone);
  Button1 = Button(this, Panel1, "Button1", "Storno", 152, 8, mrNone);
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  CheckBox2->OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { CheckBox2KeyDown(s, k, sh); };
  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  SetActiveControl(EditKuvet1);
}

void TVyberTiskuDokladu::FormCreate(TObject* Sender) {
  (void)Sender;
  ComboBoxKuvet1->Items()->Clear();
  if (TRptPrinterDevice* printers = RptPrinterDevice()) ComboBoxKuvet1->Items()->Assign(*printers->PrinterNames());
  if (Data) ComboBoxKuvet1->SetItemIndex(Data->PrinterIndex);
}

void TVyberTiskuDokladu::ApplyDestination() {
  if (DataSestavy) DataSestavy->ReportSystem->DefaultDest = CheckBox2->Checked() ? rdPreview : rdPrinter;
}

void TVyberTiskuDokladu::Button2Click(TObject* Sender) {
  (void)Sender;
  // The choice holds for this run; the settings file keeps the main printer.
  if (TRptPrinterDevice* printers = RptPrinterDevice(); printers && !printers->NoPrinters()) {
    printers->SetPrinterIndex(ComboBoxKuvet1->ItemIndex());
    if (Data) Data->PrinterIndex = printers->PrinterIndex();
  }
  if (Trim(EditKuvet1->Text()).empty()) EditKuvet1->SetText("0");
  ApplyDestination();
  SetModalResult(mrOk);
}

void TVyberTiskuDokladu::Button1Click(TObject* Sender) {
  (void)Sender;
  SetModalResult(mrCancel);
}

void TVyberTiskuDokladu::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  ApplyDestination();
  if (Key == VK_ESCAPE) {
    Button1Click(Button1);
  } else if (Key == VK_F12) {
    CheckBox2->SetChecked(!CheckBox2->Checked());
  } else if (Key == VK_F8) {
    Button2Click(Button2);
  }
}

void TVyberTiskuDokladu::CheckBox2KeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_RETURN && ComboBoxKuvet1->CanFocus()) ComboBoxKuvet1->SetFocus();
}
