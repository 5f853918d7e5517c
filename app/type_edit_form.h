// TFinOpeEditForm: editing one operation type (code, description and
// whether it is an expense). The caller posts or cancels the record.
#pragma once

#include "platform/gui/db_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/edits/db_edit_kuvet.h"

class TFinOpeEditForm : public TForm {
 public:
  explicit TFinOpeEditForm(TComponent* owner);
  AnsiString ClassName() const override { return "TFinOpeEditForm"; }

  TLabel* Label1;
  TLabel* Label2;
  TDBEditKuvet* DBEditKuvet1;  // FIN_TYP
  TDBEditKuvet* DBEditKuvet2;  // FIN_NAC
  TDBCheckBox* DBCheckBox1;    // FIN_KOE: -1 expense, 1 receipt
  TButton* Button2;            // Zapiš
  TButton* Button1;            // Storno

  void DBCheckBox1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
};
