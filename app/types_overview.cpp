#include "app/types_overview.h"

#include <memory>

#include "app/data_module.h"
#include "app/maintenance_forms_support.h"
#include "app/type_edit_form.h"

using namespace maintenance;

TPrehledTypu::TPrehledTypu(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "PrehledTypu", "Přehled finančních operací", 247, 249);
  SetPosition(poOwnerFormCenter);
  TDataSource* source = Data ? Data->DataFinOperace : nullptr;
  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alTop);
  Panel1->SetHeight(41);
  Panel1->SetCaption("");
  Panel1->SetTabOrder(1);
  DBNavigator1 = new TDBNavigator(this);
  DBNavigator1->SetName("DBNavigator1");
  DBNavigator1->SetParent(Panel1);
  DBNavigator1->SetBounds(8, 8, 48, 25);
  DBNavigator1->SetVisibleButtons({nbPrior, nbNext});
  DBNavigator1->SetConfirmDelete(false);
  DBNavigator1->SetDataSource(source);
  Button2 = Button(this, Panel1, "Button2", "F4 Oprava", 80, 8, mrNone);
  Button1 = Button(this, Panel1, "Button1", "F2 Nový", 160, 8, mrNone);
  DBGrid1 = new TDBGrid(this);
  DBGrid1->SetName("DBGrid1");
  DBGrid1->SetParent(this);
  DBGrid1->SetAlign(alClient);
  DBGrid1->SetReadOnly(true);
  DBGrid1->SetTabOrder(0);
  DBGrid1->SetOptions({dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                       dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit});
  DBGrid1->SetDataSource(source);
  DBGrid1->Columns()->Add()->SetFieldName("FIN_TYP");
  DBGrid1->Columns()->Add()->SetFieldName("FIN_NAC");
  TColumn* coefficient = DBGrid1->Columns()->Add();
  coefficient->SetFieldName("FIN_KOE");
  coefficient->SetWidth(35);
  SetActiveControl(DBGrid1);
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TPrehledTypu::EditType() {
  TDataSet* types = Data->FinOperace;
  std::unique_ptr<TFinOpeEditForm> form(new TFinOpeEditForm(this));
  try {
    if (form->ShowModal() == mrOk)
      types->Post();
    else
      types->Cancel();
  } catch (...) {
    if (IsPending(types)) types->Cancel();
    throw;
  }
  if (DBGrid1->CanFocus()) DBGrid1->SetFocus();
}

void TPrehledTypu::Button1Click(TObject* Sender) {
  (void)Sender;
  Data->FinOperace->Append();
  Data->FinOperace->FieldByName("FIN_KOE")->SetAsInteger(1);
  EditType();
}

void TPrehledTypu::Button2Click(TObject* Sender) {
  (void)Sender;
  Data->FinOperace->Edit();
  EditType();
}

void TPrehledTypu::DeleteType() {
  TDataSet* types = Data->FinOperace;
  if (types->IsEmpty()) return;
  const AnsiString code = types->FieldByName("FIN_TYP")->AsString();
  if (Data->Platebna->Locate("PLA_TYP", Variant(code), {})) {
    ShowPlainMessage(Cz("Nelze vymazat - použito v pokladně !"));
    return;
  }
  types->Delete();
}

void TPrehledTypu::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  if (Key == VK_ESCAPE) SetModalResult(mrCancel);
  if (Key == VK_F2) Button1->Click();
  if (Key == VK_F4) Button2->Click();
  if (Key == VK_DELETE && Shift == TShiftState{ssCtrl}) {
    Key = 0;  // the grid deletes nothing itself
    DeleteType();
  }
}
