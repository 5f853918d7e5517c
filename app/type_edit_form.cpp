#include "app/type_edit_form.h"

#include "app/data_module.h"
#include "app/maintenance_forms_support.h"

using namespace maintenance;

TFinOpeEditForm::TFinOpeEditForm(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "FinOpeEditForm", "Editace typu fin. opearace", 247, 129);
  SetPosition(poOwnerFormCenter);
  TDataSource* source = Data ? Data->DataFinOperace : nullptr;
  Label1 = Label(this, this, "Numerický kod typu výdaje", 8, 24);
  DBEditKuvet1 = Edit(this, this, "DBEditKuvet1", source, "FIN_TYP", 200, 16, 33);
  DBEditKuvet1->SetTabOrder(0);
  Label2 = Label(this, this, "Textový popis", 8, 48);
  DBEditKuvet2 = Edit(this, this, "DBEditKuvet2", source, "FIN_NAC", 112, 40, 121);
  DBEditKuvet2->SetTabOrder(1);
  DBCheckBox1 = new TDBCheckBox(this);
  DBCheckBox1->SetName("DBCheckBox1");
  DBCheckBox1->SetParent(this);
  DBCheckBox1->SetBounds(112, 64, 121, 17);
  DBCheckBox1->SetCaption(Cz("Výdajová operace"));
  DBCheckBox1->SetDataSource(source);
  DBCheckBox1->SetDataField("FIN_KOE");
  DBCheckBox1->SetValueChecked("-1");
  DBCheckBox1->SetValueUnchecked("1");
  DBCheckBox1->SetTabOrder(2);
  TPanel* panel = BottomPanel(this);
  panel->SetTabOrder(3);
  Button2 = Button(this, panel, "Button2", "Zapiš", 88, 8, mrOk);
  Button1 = Button(this, panel, "Button1", "Storno", 168, 8, mrCancel);
  SetActiveControl(DBEditKuvet1);
  DBCheckBox1->OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { DBCheckBox1KeyDown(s, k, sh); };
  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TFinOpeEditForm::DBCheckBox1KeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_RETURN && Button1->CanFocus()) Button1->SetFocus();
}

void TFinOpeEditForm::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_ESCAPE) SetModalResult(mrCancel);
}
