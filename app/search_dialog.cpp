// Layout of the search dialog (pixels at 96 dpi) and the search itself.
#include "app/search_dialog.h"

#include "app/data_module.h"
#include "app/main_window.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"

namespace {

struct SearchMode {
  const char* caption;
  const char* tag;
};

const SearchMode kModes[] = {
    {"Hledej dle čísla dokladu", "DO1"},      {"Hledej datum vystavení dokladu", "DAT"},
    {"Hledej popis finanční operace", "KOM"}, {"Hledej částku příjmu", "HOD"},
    {"Hledej částku výdeje", "HOD"},          {"Hledej jméno příjemce", "KDO"},
};

}  // namespace

TPlatebnaHledej::TPlatebnaHledej(TComponent* owner) : TForm(owner) {
  SetName("PlatebnaHledej");
  SetCaption(Cz("Hledej položku databáze"));
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  Font()->SetCharset(EASTEUROPE_CHARSET);
  SetBorderStyle(bsSingle);
  SetBorderIcons({});
  SetKeyPreview(true);
  SetPosition(poMainFormCenter);
  SetClientWidth(255);
  SetClientHeight(193);

  TRadioButton** buttons[] = {&RadioButton1, &RadioButton2, &RadioButton3,
                              &RadioButton4, &RadioButton5, &RadioButton6};
  for (int i = 0; i < 6; ++i) {
    auto* b = new TRadioButton(this);
    b->SetName(AnsiString("RadioButton") + IntToStr(i + 1));
    b->SetParent(this);
    b->SetBounds(40, 8 + 16 * i, 177, 17);
    b->SetCaption(Cz(kModes[i].caption));
    b->SetTabOrder(i);
    b->OnClick = [this](TObject* s) { RadioButtonClick(s); };
    b->OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { RadioButton1KeyDown(s, key, shift); };
    *buttons[i] = b;
  }
  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetParent(this);
  Label1->SetLeft(16);
  Label1->SetTop(130);
  Label1->SetCaption("Hledej tento text");

  VEdit1 = new TVEdit(this);
  VEdit1->SetName("VEdit1");
  VEdit1->SetParent(this);
  VEdit1->SetBounds(104, 128, 129, 21);
  VEdit1->SetEditType(ttString);
  VEdit1->SetFloatPrecision(10);
  VEdit1->SetFloatDigits(2);
  VEdit1->SetTabOrder(6);
  VEdit1->OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { VEdit1KeyDown(s, key, shift); };
  VEdit1->OnExit = [this](TObject* s) { VEdit1Exit(s); };

  BitBtn2 = new TBitBtn(this);
  BitBtn2->SetName("BitBtn2");
  BitBtn2->SetParent(this);
  BitBtn2->SetKind(bkAbort);
  BitBtn2->SetCaption("Storno");
  BitBtn2->SetBounds(56, 160, 75, 25);
  BitBtn2->SetTabOrder(7);
  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetName("BitBtn1");
  BitBtn1->SetParent(this);
  BitBtn1->SetCaption("&Hledej");
  BitBtn1->SetModalResult(mrOk);
  BitBtn1->SetBounds(136, 160, 75, 25);
  BitBtn1->SetTabOrder(8);
  BitBtn1->SetEnabled(false);
  BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };

  // Checking fires OnClick, which sets the edit's type.
  RadioButton1->SetChecked(true);
  SetActiveControl(RadioButton1);
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { FormKeyDown(s, key, shift); };
}

int TPlatebnaHledej::Mode() const {
  const TRadioButton* buttons[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6};
  for (int i = 0; i < 6; ++i)
    if (buttons[i]->Checked()) return i + 1;
  return 0;
}

void TPlatebnaHledej::TypeFromMode() {
  const int mode = Mode();
  VEdit1->SetEditType(mode == 2 ? ttDate : (mode == 4 || mode == 5) ? ttFloat : ttString);
}

void TPlatebnaHledej::FormActivate(TObject* Sender) {
  (void)Sender;
  VEdit1->SetText("");
  if (VEdit1->CanFocus()) VEdit1->SetFocus();
  BitBtn1->SetEnabled(false);
  VEdit1->SetEditType(ttString);
  if (RadioButton1->CanFocus()) RadioButton1->SetFocus();
}

void TPlatebnaHledej::RadioButton1KeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  TypeFromMode();
  if (Key == VK_RETURN && VEdit1->CanFocus()) VEdit1->SetFocus();
}

void TPlatebnaHledej::RadioButtonClick(TObject* Sender) {
  (void)Sender;
  TypeFromMode();
}

void TPlatebnaHledej::VEdit1KeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Key;
  (void)Shift;
  BitBtn1->SetEnabled(true);
}

void TPlatebnaHledej::VEdit1Exit(TObject* Sender) { (void)Sender; }

void TPlatebnaHledej::BitBtn1Click(TObject* Sender) {
  (void)Sender;
  const int mode = Mode();
  if (mode == 0) return;
  TXbaseDataSet* journal = Data->Platebna;
  AnsiString key = VEdit1->Text();
  if (mode == 5) key = "-" + key;
  if (mode == 6) key = Trim(key);
  journal->SelectTag(kModes[mode - 1].tag);
  journal->SeekKey(key, false, mode != 6);
}

void TPlatebnaHledej::FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  (void)Sender;
  (void)Shift;
  if (Key == VK_ESCAPE) {
    SetModalResult(mrCancel);
    TDataSet* journal = Data->Platebna;
    if (journal->Active() && (journal->State() == dsEdit || journal->State() == dsInsert)) journal->Cancel();
    Hide();
  }
}

// ------------------------------------------------------------- command

void TPlatebna::Button1Click(TObject* Sender) {
  (void)Sender;
  auto* dialog = new TPlatebnaHledej(this);
  try {
    dialog->ShowModal();
  } catch (...) {
    delete dialog;
    throw;
  }
  delete dialog;
  if (DBGrid1->CanFocus()) DBGrid1->SetFocus();
}
