// TPlatebnaTypy: the picking list of operation types. Choosing a row (double
// click or Enter) writes its code and description straight into the
// journal's pending record and ends the modal run with OK; Esc cancels.
#pragma once

#include "platform/gui/forms.h"
#include "ui/dbgrid/db_grid_kuvet.h"

class TPlatebnaTypy : public TForm {
 public:
  explicit TPlatebnaTypy(TComponent* owner);
  AnsiString ClassName() const override { return "TPlatebnaTypy"; }

  TDbGridKuvet* DbGridKuvet1;

  void DbGridKuvet1DblClick(TObject* Sender);
  void DbGridKuvet1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);

 private:
  void Choose();
};

// The start instance (its creation handlers only; the entry form opens
// fresh pickers).
extern TPlatebnaTypy* PlatebnaTypy;
