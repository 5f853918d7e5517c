// TSystemNastaveni: the system settings: the main printer (index into the
// system printer list) and the counter of document numbers. While it is
// open the caller holds the records of Vla0000 and the branch's counter in
// edit state (so new documents at other stations wait for it).
#pragma once

#include <functional>
#include <vector>

#include "platform/gui/com_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/edits/combo_box_kuvet.h"
#include "ui/edits/db_edit_kuvet.h"

// The names of the system's printers, in the order printer indexes count
// them: the printing system's list, unless a test installs its own.
using TPrinterListSource = std::function<std::vector<AnsiString>()>;
void SetPrinterListSource(TPrinterListSource source);
std::vector<AnsiString> SystemPrinterNames();

class TSystemNastaveni : public TForm {
 public:
  explicit TSystemNastaveni(TComponent* owner);
  AnsiString ClassName() const override { return "TSystemNastaveni"; }

  TPageControl* PageControl1;
  TTabSheet* TabSheet1;  // Tiskárny
  TTabSheet* TabSheet2;  // Číslování dokladů
  TLabel* Label1;
  TComboBoxKuvet* ComboBoxKuvet1;
  TLabel* Label2;
  TDBEditKuvet* DBEditKuvet1;  // CIS_FIN
  TLabel* Label3;
  TPanel* Panel1;
  TButton* Button1;  // Ulož
  TButton* Button2;  // Storno

  void FormCreate(TObject* Sender);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  // Valid only for a whole number from 1 to 9999999999 (trimmed).
  void DBEditKuvet1Valid(TObject* Sender, AnsiString& AText, bool& IsValid);
};

// The start instance (its creation handlers only).
extern TSystemNastaveni* SystemNastaveni;
