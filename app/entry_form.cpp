// Layout of the entry form (pixels at 96 dpi, font "MS Sans Serif" -11) and
// its handlers.
#include "app/entry_form.h"

#include <memory>

#include "app/data_module.h"
#include "app/document_entry.h"
#include "app/main_window.h"
#include "app/type_picker.h"
#include "platform/gui/application.h"
#include "platform/rtl/floatconv.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"

namespace {

TLabel* NewLabel(TForm* form, TWinControl* parent, const char* name, const char* caption, int top) {
  auto* label = new TLabel(form);
  label->SetName(name);
  label->SetParent(parent);
  label->SetLeft(8);
  label->SetTop(top);
  label->SetCaption(Cz(caption));
  return label;
}

TDBEditKuvet* NewEdit(TForm* form, TWinControl* parent, const char* name, const char* field, int left, int top,
                      int width, int tabOrder) {
  auto* edit = new TDBEditKuvet(form);
  edit->SetName(name);
  edit->SetParent(parent);
  edit->SetBounds(left, top, width, 21);
  edit->SetDataSource(Data ? Data->DataPlatebna : nullptr);
  edit->SetDataField(field);
  edit->SetEnterIsTab(true);
  edit->SetWhenValid(swvAlways);
  edit->SetTabOrder(tabOrder);
  return edit;
}

TPanel* NewPanel(TForm* form, const char* name, TAlign align, int height) {
  auto* panel = new TPanel(form);
  panel->SetName(name);
  panel->SetParent(form);
  panel->SetAlign(align);
  panel->SetHeight(height);
  panel->SetCaption("");
  return panel;
}

bool IsPending(const TDataSet* d) { return d->Active() && (d->State() == dsEdit || d->State() == dsInsert); }

}  // namespace

TPlatebnaEditace::TPlatebnaEditace(TComponent* owner) : TForm(owner) {
  SetName("PlatebnaEditace");
  SetCaption(Cz("Editace pokl. dokladu"));
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  Font()->SetCharset(EASTEUROPE_CHARSET);
  SetBorderStyle(bsSingle);
  SetBorderIcons({});
  SetKeyPreview(true);
  SetClientWidth(297);
  SetClientHeight(360);

  Panel1 = NewPanel(this, "Panel1", alTop, 145);
  Panel1->SetTabOrder(0);
  Panel3 = NewPanel(this, "Panel3", alBottom, 57);
  Panel3->SetTabOrder(2);
  Panel2 = NewPanel(this, "Panel2", alClient, 0);
  Panel2->SetTabOrder(1);

  Label1 = NewLabel(this, Panel1, "Label1", "Datum příjmu do- výdeje z pokladny ", 16);
  LomridDBDateEdit1 = new TLomridDBDateEdit(this);
  LomridDBDateEdit1->SetName("LomridDBDateEdit1");
  LomridDBDateEdit1->SetParent(Panel1);
  LomridDBDateEdit1->SetBounds(192, 16, 89, 21);
  LomridDBDateEdit1->SetDataSource(Data ? Data->DataPlatebna : nullptr);
  LomridDBDateEdit1->SetDataField("PLA_DAT");
  LomridDBDateEdit1->SetTabOrder(0);

  Label2 = NewLabel(this, Panel1, "Label2", "Typ pokladní operace dle číselníku", 40);
  DBEditKuvet1 = NewEdit(this, Panel1, "DBEditKuvet1", "PLA_TYP", 216, 40, 65, 1);
  DBEditKuvet1->SetButtonVisible(true);
  DBEditKuvet1->SetButtonWidth(21);
  Label3 = NewLabel(this, Panel1, "Label3", "Popis operace", 64);
  DBEditKuvet2 = NewEdit(this, Panel1, "DBEditKuvet2", "PLA_KOM", 92, 64, 189, 2);
  Label4 = NewLabel(this, Panel1, "Label4", "Přijatá nebo vydaná částka", 88);
  DBEditKuvet3 = NewEdit(this, Panel1, "DBEditKuvet3", "PLA_HOD", 192, 88, 89, 3);
  DBEditKuvet3->SetEditType(setFloat);
  Label5 = NewLabel(this, Panel1, "Label5", "Stav pokladny po operaci", 116);
  DBText1 = new TDBText(this);
  DBText1->SetName("DBText1");
  DBText1->SetParent(Panel1);
  DBText1->SetBounds(208, 116, 69, 17);
  DBText1->SetAlignment(taRightJustify);
  DBText1->SetDataSource(Data ? Data->DataPlatebna : nullptr);
  DBText1->SetDataField("PLA_STA");

  Label6 = NewLabel(this, Panel2, "Label6", "Identifikace (OP,IČO,RČ) ", 8);
  DBEditKuvet7 = NewEdit(this, Panel2, "DBEditKuvet7", "PLA_ROC", 192, 8, 89, 0);
  Label7 = NewLabel(this, Panel2, "Label7", "Vydáno, piřjato od", 40);
  DBEditKuvet5 = NewEdit(this, Panel2, "DBEditKuvet5", "PLA_KDO", 136, 40, 145, 1);
  Label8 = NewLabel(this, Panel2, "Label8", "Firma, adresa ...", 72);
  DBEditKuvet6 = NewEdit(this, Panel2, "DBEditKuvet6", "PLA_BYT", 136, 72, 145, 2);
  Label9 = NewLabel(this, Panel2, "Label9", "Párový doklad ( faktura, smlouva )", 128);
  DBEditKuvet4 = NewEdit(this, Panel2, "DBEditKuvet4", "PLA_SML", 192, 128, 89, 3);

  BitBtn2 = new TBitBtn(this);
  BitBtn2->SetName("BitBtn2");
  BitBtn2->SetParent(Panel3);
  BitBtn2->SetKind(bkAbort);
  BitBtn2->SetCaption(Cz("&Storno"));
  BitBtn2->SetModalResult(mrAbort);
  BitBtn2->SetBounds(128, 16, 75, 25);
  BitBtn2->SetTabOrder(0);
  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetName("BitBtn1");
  BitBtn1->SetParent(Panel3);
  BitBtn1->SetKind(bkOK);
  BitBtn1->SetBounds(208, 16, 75, 25);
  BitBtn1->SetTabOrder(1);

  SetActiveControl(LomridDBDateEdit1);

  DBEditKuvet1->OnValid = [this](TObject* s, AnsiString& text, bool& valid) { DBEditKuvet1Valid(s, text, valid); };
  DBEditKuvet1->OnClickButton = [this](TObject* s) { DBEditKuvet1ClickButton(s); };
  DBEditKuvet3->OnValid = [this](TObject* s, AnsiString& text, bool& valid) { DBEditKuvet3Valid(s, text, valid); };
  DBEditKuvet3->OnExit = [this](TObject* s) { DBEditKuvet3Exit(s); };
  BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
  BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
  OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { FormKeyDown(s, key, shift); };
}

// ------------------------------------------------------------------ type

TModalResult TPlatebnaEditace::RunPicker() {
  std::unique_ptr<TPlatebnaTypy> picker(new TPlatebnaTypy(this));
  if (Platebna) PlaceDialog(picker.get(), Platebna, TDialogPlacement::TypePicker);
  return picker->ShowModal();
}

void TPlatebnaEditace::DBEditKuvet1Valid(TObject* Sender, AnsiString& AText, bool& IsValid) {
  (void)Sender;
  // Leaving the form by Storno is not blocked by an invalid code.
  if (BitBtn2->Focused()) return;
  TXbaseDataSet* types = Data->FinOperace;
  TDataSet* journal = Data->Platebna;
  const AnsiString code = Trim(AText);
  types->First();
  if (!code.empty() && types->Locate("FIN_TYP", Variant(code), {})) {
    AText = types->FieldByName("FIN_TYP")->AsString();
    if (IsNew) journal->FieldByName("PLA_KOM")->SetAsString(types->FieldByName("FIN_NAC")->AsString());
    IsReceipt = types->FieldByName("FIN_KOE")->AsFloat() >= 1;
    IsValid = true;
    return;
  }
  types->First();
  if (RunPicker() == mrOk) {
    AText = types->FieldByName("FIN_TYP")->AsString();
    IsReceipt = types->FieldByName("FIN_KOE")->AsFloat() >= 1;
    journal->FieldByName("PLA_KOM")->SetAsString(types->FieldByName("FIN_NAC")->AsString());
    IsValid = true;
  } else {
    IsValid = false;
  }
  DBEditKuvet1->Invalidate();
}

void TPlatebnaEditace::DBEditKuvet1ClickButton(TObject* Sender) {
  (void)Sender;
  TXbaseDataSet* types = Data->FinOperace;
  if (RunPicker() == mrOk) {
    Data->Platebna->FieldByName("PLA_TYP")->SetAsString(types->FieldByName("FIN_TYP")->AsString());
    IsReceipt = types->FieldByName("FIN_KOE")->AsFloat() >= 1;
    Data->Platebna->FieldByName("PLA_KOM")->SetAsString(types->FieldByName("FIN_NAC")->AsString());
  }
  if (DBEditKuvet1->CanFocus()) DBEditKuvet1->SetFocus();
}

// --------------------------------------------------------------- balance

double TPlatebnaEditace::PreviewCoefficient() {
  TXbaseDataSet* types = Data->FinOperace;
  if (!types->Active() || types->IsEmpty()) return 1;
  const AnsiString code = Trim(Data->Platebna->FieldByName("PLA_TYP")->AsString());
  if (!code.empty()) types->Locate("FIN_TYP", Variant(code), {});
  return types->FieldByName("FIN_KOE")->AsFloat();
}

void TPlatebnaEditace::ShowBalancePreview(double amount) {
  TDataSet* journal = Data->Platebna;
  if (!IsPending(journal)) return;
  journal->FieldByName("PLA_STA")->SetAsFloat(PreviewCoefficient() * amount + PreviousBalance);
  DBText1->Update();
}

void TPlatebnaEditace::DBEditKuvet3Valid(TObject* Sender, AnsiString& AText, bool& IsValid) {
  (void)Sender;
  (void)IsValid;
  // The text is not in the field yet.
  double amount = 0;
  if (!TryStrToFloat(Trim(AText), amount)) amount = Data->Platebna->FieldByName("PLA_HOD")->AsFloat();
  ShowBalancePreview(amount);
}

void TPlatebnaEditace::DBEditKuvet3Exit(TObject* Sender) {
  (void)Sender;
  ShowBalancePreview(Data->Platebna->FieldByName("PLA_HOD")->AsFloat());
}

// ---------------------------------------------------------------- commit

bool TPlatebnaEditace::EnsureDocumentType() {
  TXbaseDataSet* types = Data->FinOperace;
  TDataSet* journal = Data->Platebna;
  auto locate = [&] {
    const AnsiString code = Trim(journal->FieldByName("PLA_TYP")->AsString());
    return !code.empty() && types->Locate("FIN_TYP", Variant(code), {});
  };
  if (locate()) return true;
  types->First();
  if (RunPicker() == mrOk) {
    IsReceipt = types->FieldByName("FIN_KOE")->AsFloat() >= 1;
    if (locate()) return true;
  }
  ShowPlainMessage(Cz("Nelze najít typ operace ") + Trim(journal->FieldByName("PLA_TYP")->AsString()));
  return false;
}

void TPlatebnaEditace::BitBtn1Click(TObject* Sender) {
  (void)Sender;
  // The button asked for OK before this ran; only a stored document ends
  // the form that way.
  SetModalResult(mrNone);
  TXbaseDataSet* journal = Data->Platebna;
  if (!IsPending(journal)) return;
  if (!EnsureDocumentType()) return;
  TDocumentCommit commit;
  commit.isNew = IsNew;
  commit.previousBalance = PreviousBalance;
  commit.coefficient = Data->FinOperace->FieldByName("FIN_KOE")->AsFloat();
  bool posted = false;
  try {
    std::vector<TCustomForm*> busy{this};
    if (Platebna) busy.push_back(Platebna);
    TBusyScope scope(busy);
    CommitDocument(journal, Data->Ciselnik, commit, posted);
  } catch (...) {
    ShowPlainMessage(CurrentErrorText());
    // A document already written ends the form: a second OK must not
    // commit it again.
    if (posted) SetModalResult(mrOk);
    return;
  }
  SetModalResult(mrOk);
}

void TPlatebnaEditace::BitBtn2Click(TObject* Sender) {
  (void)Sender;
  if (IsPending(Data->Platebna)) Data->Platebna->Cancel();
}

void TPlatebnaEditace::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_ESCAPE) {
    SetModalResult(mrCancel);
    if (IsPending(Data->Platebna)) Data->Platebna->Cancel();
    Hide();
  }
}
