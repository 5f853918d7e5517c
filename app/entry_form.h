// TPlatebnaEditace: the entry form of a cash document (new or corrected).
// The journal record it edits is prepared by the main window's F2 and F4
// commands; while the form is open the record holds the amount unsigned, as
// typed, and OK numbers, signs, balances and posts it under the chain lock.
//
// Invariants:
// - The form ends with OK only after a successful commit; any failed OK
//   shows its error and leaves the form open with the record pending.
// - The type edit only ever holds a code found in the types table (or the
//   user stays in it), unless "&Storno" takes the focus.
#pragma once

#include "platform/gui/buttons.h"
#include "platform/gui/db_controls.h"
#include "platform/gui/ext_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "ui/date_edits/lomrid_date_edit.h"
#include "ui/edits/db_edit_kuvet.h"

class TPlatebnaEditace : public TForm {
 public:
  explicit TPlatebnaEditace(TComponent* owner);
  AnsiString ClassName() const override { return "TPlatebnaEditace"; }

  TPanel* Panel1;  // upper rows
  TPanel* Panel2;  // lower rows
  TPanel* Panel3;  // buttons
  TLabel* Label1;
  TLabel* Label2;
  TLabel* Label3;
  TLabel* Label4;
  TLabel* Label5;
  TLabel* Label6;
  TLabel* Label7;
  TLabel* Label8;
  TLabel* Label9;
  TLomridDBDateEdit* LomridDBDateEdit1;  // PLA_DAT
  TDBEditKuvet* DBEditKuvet1;            // PLA_TYP
  TDBEditKuvet* DBEditKuvet2;            // PLA_KOM
  TDBEditKuvet* DBEditKuvet3;            // PLA_HOD
  TDBText* DBText1;                      // PLA_STA
  TDBEditKuvet* DBEditKuvet7;            // PLA_ROC
  TDBEditKuvet* DBEditKuvet5;            // PLA_KDO
  TDBEditKuvet* DBEditKuvet6;            // PLA_BYT
  TDBEditKuvet* DBEditKuvet4;            // PLA_SML
  TBitBtn* BitBtn2;                      // "&Storno"
  TBitBtn* BitBtn1;                      // OK

  // A new document: numbered on OK, its description follows the type.
  bool IsNew = false;
  // The chosen type is a receipt (kept up to date; nothing reads it).
  bool IsReceipt = false;
  // The cash balance before this document.
  double PreviousBalance = 0;

  void DBEditKuvet1Valid(TObject* Sender, AnsiString& AText, bool& IsValid);
  void DBEditKuvet1ClickButton(TObject* Sender);
  void DBEditKuvet3Valid(TObject* Sender, AnsiString& AText, bool& IsValid);
  void DBEditKuvet3Exit(TObject* Sender);
  void BitBtn1Click(TObject* Sender);
  void BitBtn2Click(TObject* Sender);
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);

 private:
  // A fresh type picker beside the main window, modal; its result.
  TModalResult RunPicker();
  // FIN_KOE of the record's type (the types table moved onto it when the
  // code is known; else the current type's, or 1 for an empty table).
  double PreviewCoefficient();
  void ShowBalancePreview(double amount);
  // Puts the types table on the record's own type; when the code is not
  // there, offers the picker. False (after the message) when no type is
  // chosen.
  bool EnsureDocumentType();
};
