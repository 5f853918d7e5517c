// TVyberTiskuDokladu: the voucher's print dialog: number of copies, preview
// or straight to the printer, and the printer. "Tisk" selects the printer
// for this run only (the settings file keeps its own) and sets the report
// system's destination; the caller reads the copies and runs the report.
#pragma once

#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/edits/combo_box_kuvet.h"
#include "ui/edits/edit_kuvet.h"

class TVyberTiskuDokladu : public TForm {
 public:
  explicit TVyberTiskuDokladu(TComponent* owner);
  AnsiString ClassName() const override { return "TVyberTiskuDokladu"; }

  TLabel* Label1;              // Počet kopii tisku dokladu
  TEditKuvet* EditKuvet1;      // copies
  TCheckBox* CheckBox2;        // Náhled před tiskem
  TLabel* Label2;              // Vybraná tiskárna
  TComboBoxKuvet* ComboBoxKuvet1;
  TPanel* Panel1;
  TButton* Button2;  // Tisk
  TButton* Button1;  // Storno

  // Fills the printer list and selects the configured printer.
  void FormCreate(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button1Click(TObject* Sender);
  // Every key first sets the destination from the preview box; then Esc
  // cancels, F12 toggles the preview box and F8 prints.
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  // Enter in the preview box moves on to the printer list.
  void CheckBox2KeyDown(TObject* Sender, Word& Key, TShiftState Shift);

 private:
  void ApplyDestination();
};

// The start instance (its creation handlers only); the voucher command
// makes its own.
extern TVyberTiskuDokladu* VyberTiskuDokladu;
