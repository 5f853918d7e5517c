// TSesPrehOdDo: the date-range dialog of the cash book and the breakdown.
// The user gives the first and the last day of the range and whether the
// report's data are exported to a workbook first; "Start" closes it with
// OK, "Storno" with cancel.
#pragma once

#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/date_edits/lomrid_date_edit.h"

class TSesPrehOdDo : public TForm {
 public:
  explicit TSesPrehOdDo(TComponent* owner);
  AnsiString ClassName() const override { return "TSesPrehOdDo"; }

  TLabel* Label1;
  TLabel* Label2;
  TLomridDateEdit* LomridDateEdit1;  // from
  TLomridDateEdit* LomridDateEdit2;  // to
  TCheckBox* CheckBox1;              // export first
  TPanel* Panel1;
  TButton* Button1;  // Start
  TButton* Button2;  // Storno

  // ExportToExcel of the report module := CheckBox1 checked.
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  // Enter moves on to "Storno".
  void CheckBox1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
};
