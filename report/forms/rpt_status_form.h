// The status window of a running report: the canvas writes its status line
// into StatusLabel; Cancel aborts the running canvas, and after the report
// system turned the button into "Ok" a click ends its wait.
#pragma once

#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "report/base_report.h"

class TRptStatusForm : public TForm {
 public:
  explicit TRptStatusForm(TComponent* owner);
  AnsiString ClassName() const override { return "TRptStatusForm"; }

  TLabel* StatusLabel;
  TButton* CancelButton;
  // The canvas that is running (aborted by Cancel).
  TBaseReport* Canvas = nullptr;
  // Set when "Ok" was clicked.
  bool OkClicked = false;

  void CancelButtonClick(TObject* sender);
};
