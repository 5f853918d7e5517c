// Layout of the date-range dialog (pixels at 96 dpi).
#include "app/range_dialog.h"

#include "app/report_module.h"
#include "platform/rtl/system.h"

namespace {

// A label whose right edge stays at right whatever its caption.
TLabel* RightAlignedLabel(TForm* form, const char* name, const char* caption, int right, int top) {
  auto* label = new TLabel(form);
  label->SetName(name);
  label->SetParent(form);
  label->SetAlignment(taRightJustify);
  label->SetBounds(right - 40, top, 40, 13);
  label->SetAutoSize(true);
  label->SetCaption(Cz(caption));
  return label;
}

TLomridDateEdit* DateEdit(TForm* form, const char* name, int left, int top, int tabOrder) {
  auto* edit = new TLomridDateEdit(form);
  edit->SetName(name);
  edit->SetParent(form);
  edit->SetBounds(left, top, 97, 21);
  edit->SetTabOrder(tabOrder);
  return edit;
}

TButton* PanelButton(TForm* form, TPanel* panel, const char* name, const char* caption, int left, int tabOrder) {
  auto* button = new TButton(form);
  button->SetName(name);
  button->SetParent(panel);
  button->SetBounds(left, 8, 75, 25);
  button->SetCaption(Cz(caption));
  button->SetTabOrder(tabOrder);
  return button;
}

}  // namespace

TSesPrehOdDo::TSesPrehOdDo(TComponent* owner) : TForm(owner) {
  SetName("SesPrehOdDo");
  SetCaption(Cz("Sestava přehledu dokladů"));
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  Font()->SetCharset(EASTEUROPE_CHARSET);
  SetBorderStyle(bsDialog);
  SetClientWidth(269);
  SetClientHeight(145);

  Label1 = RightAlignedLabel(this, "Label1", "Přehled dokl. vyst. od data", 151, 24);
  Label2 = RightAlignedLabel(this, "Label2", "do data", 151, 48);
  LomridDateEdit1 = DateEdit(this, "LomridDateEdit1", 160, 16, 0);
  LomridDateEdit2 = DateEdit(this, "LomridDateEdit2", 160, 40, 1);

  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetName("CheckBox1");
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(24, 72, 233, 17);
  CheckBox1->SetCaption(Cz("Export data do souboru XLS ( MS Excel )"));
  CheckBox1->SetTabOrder(2);
  CheckBox1->OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { CheckBox1KeyDown(s, key, shift); };

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alBottom);
  Panel1->SetHeight(41);
  Panel1->SetCaption("");
  Panel1->SetTabOrder(3);
  Button1 = PanelButton(this, Panel1, "Button1", "Start", 56, 0);
  Button1->SetModalResult(mrOk);
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2 = PanelButton(this, Panel1, "Button2", "Storno", 136, 1);
  Button2->SetModalResult(mrCancel);
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };

  SetActiveControl(LomridDateEdit1);
}

void TSesPrehOdDo::Button1Click(TObject* Sender) {
  (void)Sender;
  if (DataSestavy) DataSestavy->ExportToExcel = CheckBox1->Checked();
}

void TSesPrehOdDo::Button2Click(TObject* Sender) { (void)Sender; }

void TSesPrehOdDo::CheckBox1KeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_RETURN && Button2->CanFocus()) Button2->SetFocus();
}
