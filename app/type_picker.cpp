// Layout of the type picker: dialog border without border icons, client
// 227 x 69, the grid filling it.
#include "app/type_picker.h"

#include "app/data_module.h"
#include "platform/rtl/system.h"

TPlatebnaTypy* PlatebnaTypy = nullptr;

TPlatebnaTypy::TPlatebnaTypy(TComponent* owner) : TForm(owner) {
  SetName("PlatebnaTypy");
  SetCaption(Cz("Císelník typů fin. operací"));
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  Font()->SetCharset(EASTEUROPE_CHARSET);
  SetBorderStyle(bsDialog);
  SetBorderIcons({});
  SetKeyPreview(true);
  SetClientWidth(227);
  SetClientHeight(69);

  DbGridKuvet1 = new TDbGridKuvet(this);
  DbGridKuvet1->SetName("DbGridKuvet1");
  DbGridKuvet1->SetParent(this);
  DbGridKuvet1->SetAlign(alClient);
  DbGridKuvet1->SetOptions({dgColLines, dgRowLines, dgTabs, dgRowSelect, dgAlwaysShowSelection});
  DbGridKuvet1->SetDataSource(Data ? Data->DataFinOperace : nullptr);
  DbGridKuvet1->Columns()->Add()->SetFieldName("FIN_TYP");
  TColumn* name = DbGridKuvet1->Columns()->Add();
  name->SetFieldName("FIN_NAC");
  name->SetWidth(180);
  DbGridKuvet1->OnDblClick = [this](TObject* sender) { DbGridKuvet1DblClick(sender); };
  DbGridKuvet1->OnKeyDown = [this](TObject* sender, Word& key, TShiftState shift) {
    DbGridKuvet1KeyDown(sender, key, shift);
  };
  OnKeyDown = [this](TObject* sender, Word& key, TShiftState shift) { FormKeyDown(sender, key, shift); };
}

void TPlatebnaTypy::Choose() {
  TDataSet* types = Data->FinOperace;
  TDataSet* journal = Data->Platebna;
  if (!types->Active() || types->IsEmpty()) return;  // no code to choose
  journal->FieldByName("PLA_TYP")->SetAsString(types->FieldByName("FIN_TYP")->AsString());
  journal->FieldByName("PLA_KOM")->SetAsString(types->FieldByName("FIN_NAC")->AsString());
  SetModalResult(mrOk);
}

void TPlatebnaTypy::DbGridKuvet1DblClick(TObject* Sender) {
  (void)Sender;
  Choose();
}

void TPlatebnaTypy::DbGridKuvet1KeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_RETURN) Choose();
}

void TPlatebnaTypy::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_ESCAPE) {
    SetModalResult(mrCancel);
    Close();
  }
}
