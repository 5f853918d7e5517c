// TProgresWin: the small window that shows which index is being rebuilt and
// how far the build has got. The data module creates it for one re-indexing
// pass, sets Label1 before each tag, drives Gauge1 from the engine's
// progress reports and frees it when the pass ends, whatever happened.
#pragma once

#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

class TProgresWin : public TForm {
 public:
  explicit TProgresWin(TComponent* owner);
  AnsiString ClassName() const override { return "TProgresWin"; }

  TLabel* Label2;  // "Indexace souboru :"
  // The name of the index being built.
  TLabel* Label1;
  // 0 to 100 percent of ProgressTotal.
  TGauge* Gauge1;
  // The count that 100 % stands for (records of the table being indexed).
  int ProgressTotal = 0;
};
