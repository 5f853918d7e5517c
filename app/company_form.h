// TVlastnikForm: the company header (name, branch, address, registration
// numbers, bank account). The caller posts or cancels the record.
#pragma once

#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/edits/db_edit_kuvet.h"

class TVlastnikForm : public TForm {
 public:
  explicit TVlastnikForm(TComponent* owner);
  AnsiString ClassName() const override { return "TVlastnikForm"; }

  // In tab order: VLA_FIR, VLA_NAC, VLA_ULI, VLA_MES, VLA_PSC, VLA_NAC
  // again, VLA_ICO, VLA_DIC, VLA_UCE, VLA_ZAP.
  TDBEditKuvet* Edits[10];
  TLabel* Labels[10];
  TButton* Button2;  // Zapiš
  TButton* Button1;  // Storno

  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
};
