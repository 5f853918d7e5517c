// TPrehledTypu: the list of operation types with new (F2), edit (F4) and
// delete (Ctrl+Del, refused while the journal uses the type).
#pragma once

#include "platform/gui/db_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/dbgrid/db_grid.h"

class TPrehledTypu : public TForm {
 public:
  explicit TPrehledTypu(TComponent* owner);
  AnsiString ClassName() const override { return "TPrehledTypu"; }

  TPanel* Panel1;
  TDBNavigator* DBNavigator1;
  TButton* Button2;  // F4 Oprava
  TButton* Button1;  // F2 Nový
  TDBGrid* DBGrid1;

  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void DeleteType();
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);

 private:
  void EditType();
};
