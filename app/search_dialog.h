// TPlatebnaHledej: the search dialog. The user picks what to search by
// (document number, date, description, receipt, expense, payee), types the
// text, and "&Hledej" moves the journal to the first key at or after it in
// that tag's order, which the journal (and its grid) then keeps.
#pragma once

#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/edits/vedit.h"

class TPlatebnaHledej : public TForm {
 public:
  explicit TPlatebnaHledej(TComponent* owner);
  AnsiString ClassName() const override { return "TPlatebnaHledej"; }

  TRadioButton* RadioButton1;  // document number
  TRadioButton* RadioButton2;  // date
  TRadioButton* RadioButton3;  // description
  TRadioButton* RadioButton4;  // receipt amount
  TRadioButton* RadioButton5;  // expense amount
  TRadioButton* RadioButton6;  // payee
  TLabel* Label1;
  TVEdit* VEdit1;
  TBitBtn* BitBtn2;  // Storno
  TBitBtn* BitBtn1;  // &Hledej

  void FormActivate(TObject* Sender);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void RadioButton1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  // Bound to every radio button: the edit's type follows the mode.
  void RadioButtonClick(TObject* Sender);
  void VEdit1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void VEdit1Exit(TObject* Sender);
  void BitBtn1Click(TObject* Sender);

  // The checked mode, 1 to 6 (0 when none is checked).
  int Mode() const;

 private:
  void TypeFromMode();
};
