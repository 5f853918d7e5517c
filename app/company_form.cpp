#include "app/company_form.h"

#include "app/data_module.h"
#include "app/maintenance_forms_support.h"

using namespace maintenance;

namespace {

struct Row {
  const char* label;
  int labelTop;
  const char* field;
  int left, top, width;
};

// Both "Pobočka" rows edit the one field VLA_NAC.
const Row kRows[10] = {
    {"Název firmy", 16, "VLA_FIR", 88, 8, 153},          {"Pobočka", 40, "VLA_NAC", 88, 32, 153},
    {"Sídlo firmy", 64, "VLA_ULI", 88, 56, 153},         {"Město", 88, "VLA_MES", 88, 80, 153},
    {"PSČ", 112, "VLA_PSC", 88, 104, 57},                {"Pobočka", 136, "VLA_NAC", 88, 128, 153},
    {"IČO firmy", 168, "VLA_ICO", 144, 160, 97},         {"DIČ firmy", 192, "VLA_DIC", 144, 184, 97},
    {"Číslo bankovního účtu", 216, "VLA_UCE", 144, 208, 97}, {"Zápis do OR", 240, "VLA_ZAP", 8, 256, 233},
};

}  // namespace

TVlastnikForm::TVlastnikForm(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "VlastnikForm", "Hlavička firmy", 255, 329);
  SetPosition(poOwnerFormCenter);
  TDataSource* source = Data ? Data->DataVlastnik : nullptr;
  for (int i = 0; i < 10; ++i) {
    const Row& r = kRows[i];
    Labels[i] = Label(this, this, r.label, 8, r.labelTop);
    Edits[i] = Edit(this, this, ("DBEditKuvet" + std::to_string(i + 1)).c_str(), source, r.field, r.left, r.top,
                    r.width);
    Edits[i]->SetTabOrder(i);
  }
  TPanel* panel = BottomPanel(this);
  panel->SetTabOrder(10);
  Button2 = Button(this, panel, "Button2", "Zapiš", 88, 8, mrOk);
  Button1 = Button(this, panel, "Button1", "Storno", 168, 8, mrCancel);
  SetActiveControl(Edits[0]);
  OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TVlastnikForm::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_ESCAPE) SetModalResult(mrCancel);
}
