#include "app/settings_dialog.h"

#include "app/data_module.h"
#include "app/document_entry.h"
#include "app/maintenance_forms_support.h"
#include "platform/gui/printer_list.h"
#include "platform/rtl/sysutils.h"

using namespace maintenance;

TSystemNastaveni* SystemNastaveni = nullptr;

namespace {

TPrinterListSource& PrinterListSource() {
  static TPrinterListSource source;
  return source;
}

}  // namespace

void SetPrinterListSource(TPrinterListSource source) { PrinterListSource() = std::move(source); }

std::vector<AnsiString> SystemPrinterNames() {
  if (PrinterListSource()) return PrinterListSource()();
  // The printers the printing system knows (none when it has none).
  std::vector<AnsiString> names;
  TStringList* printers = Printer()->Printers();
  for (int i = 0; i < printers->Count(); ++i) names.push_back(printers->Strings(i));
  return names;
}

TSystemNastaveni::TSystemNastaveni(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "SystemNastaveni", "Nastavení systémových parametrů", 343, 153);
  Panel1 = BottomPanel(this);
  PageControl1 = new TPageControl(this);
  PageControl1->SetName("PageControl1");
  PageControl1->SetParent(this);
  PageControl1->SetAlign(alClient);
  TabSheet1 = new TTabSheet(this);
  TabSheet1->SetName("TabSheet1");
  TabSheet1->SetPageControl(PageControl1);
  TabSheet1->SetCaption(Cz("Tiskárny"));
  TabSheet2 = new TTabSheet(this);
  TabSheet2->SetName("TabSheet2");
  TabSheet2->SetPageControl(PageControl1);
  TabSheet2->SetCaption(Cz("Číslování dokladů"));
  PageControl1->SetActivePage(TabSheet1);

  Label1 = Label(this, TabSheet1, "Základní tiskárna", 16, 32);
  ComboBoxKuvet1 = new TComboBoxKuvet(this);
  ComboBoxKuvet1->SetName("ComboBoxKuvet1");
  ComboBoxKuvet1->SetParent(TabSheet1);
  ComboBoxKuvet1->SetBounds(136, 24, 185, 21);

  Label2 = Label(this, TabSheet2, "Poslední pořadové číslo dokladu", 8, 32);
  DBEditKuvet1 = Edit(this, TabSheet2, "DBEditKuvet1", Data ? Data->DataCiselnik : nullptr, "CIS_FIN", 224, 24, 89);
  DBEditKuvet1->OnValid = [this](TObject* s, AnsiString& t, bool& v) { DBEditKuvet1Valid(s, t, v); };
  Label3 = Label(this, TabSheet2, "Změnu tohoto nastavení provádějte pouze na počátku úč. období !!", 8, 56);

  Button1 = Button(this, Panel1, "Button1", "Ulož", 176, 8, mrOk);
  Button2 = Button(this, Panel1, "Button2", "Storno", 256, 8, mrCancel);
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TSystemNastaveni::FormCreate(TObject* Sender) {
  (void)Sender;
  ComboBoxKuvet1->Items()->Clear();
  for (const AnsiString& name : SystemPrinterNames()) ComboBoxKuvet1->Items()->Add(name);
}

void TSystemNastaveni::Button1Click(TObject* Sender) {
  (void)Sender;
  SetModalResult(mrOk);
}

void TSystemNastaveni::Button2Click(TObject* Sender) {
  (void)Sender;
  SetModalResult(mrCancel);
}

void TSystemNastaveni::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_ESCAPE) SetModalResult(mrCancel);
}

void TSystemNastaveni::DBEditKuvet1Valid(TObject* Sender, AnsiString& AText, bool& IsValid) {
  (void)Sender;
  // The next commit must be able to number from it; a text that is no whole
  // number is refused here rather than at the next OK.
  IsValid = IsDocumentNumber(AText);
  if (IsValid) AText = Trim(AText);
}
