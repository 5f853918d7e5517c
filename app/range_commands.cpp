// The commands of the two range reports ("Pokladní kniha" and "Sestava
// rozložení příjmů a výdajů"): the date-range dialog, then the report over
// the journal's second cursor, opened on its date index for the run only.
//
// Whatever happens, the cursor is closed afterwards with no tag selected
// and its index file detached: a tag name left behind would be selected by
// the next open before any index file is attached, and every later report
// would fail.
#include <memory>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/range_dialog.h"
#include "app/report_module.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/system.h"
#include "ui/common/date_util.h"

namespace {

using RangeReport = void (TDataSestavy::*)(TDateTime, TDateTime);

// The edit's date, read as strictly as leaving the edit reads it: a blank
// or impossible date ("31.02.2024") is no date at all.
bool ReadDate(const TLomridDateEdit* edit, TDateTime& date) {
  try {
    date = StrToDateFmt(edit->DateFormat(), edit->Text());
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

AnsiString JournalIndexFile(const char* prefix) { return Data->DataPath + "\\" + prefix + Data->BranchCode + ".cdx"; }

// Detaches the date index and closes the cursor; a failure to detach is
// raised only when quiet is off, and the cursor is closed in any case.
void CloseReportCursor(TXbaseDataSet* cursor, bool quiet) {
  if (cursor->Active()) {
    try {
      cursor->DetachIndexFile(JournalIndexFile("Pla"));
    } catch (const std::exception&) {
      cursor->Close();
      cursor->SetIndexName("");
      if (!quiet) throw;
      return;
    }
  }
  cursor->Close();
  cursor->SetIndexName("");
}

void RunRange(TDataSestavy* module, TDateTime from, TDateTime to, RangeReport report) {
  TXbaseDataSet* cursor = module->SesPlatebna;
  cursor->Close();
  cursor->SetIndexName("");
  cursor->SetDatabaseName(Data->Platebna->DatabaseName());
  cursor->SetTableName(Data->Platebna->TableName());
  try {
    cursor->Open();
    cursor->AttachIndexFile(JournalIndexFile("pla"));
    cursor->SetIndexName("DAT");
    module->DateFrom = from;
    module->DateTo = to;
    (module->*report)(from, to);
  } catch (...) {
    CloseReportCursor(cursor, true);
    throw;
  }
  CloseReportCursor(cursor, false);
}

void RangeCommand(TPlatebna* main, RangeReport report) {
  const TCursor cursor = Screen->Cursor();
  try {
    auto dialog = std::make_unique<TSesPrehOdDo>(main);
    PlaceDialog(dialog.get(), main, TDialogPlacement::DateRange);
    dialog->LomridDateEdit1->SetDateValue(Date());
    dialog->LomridDateEdit2->SetDateValue(Date());
    if (dialog->ShowModal() != mrOk) return;
    TDateTime from = 0;
    TDateTime to = 0;
    if (!ReadDate(dialog->LomridDateEdit1, from) || !ReadDate(dialog->LomridDateEdit2, to)) {
      ShowPlainMessage(Cz("Zadejte platné datum od i do."));
      return;
    }
    RunRange(DataSestavy, from, to, report);
  } catch (const std::exception&) {
    Screen->SetCursor(cursor);
    ShowPlainMessage(Cz("Ošetření vyjímky"));
  }
}

}  // namespace

void TPlatebna::Platebnakniha1Click(TObject* Sender) {
  (void)Sender;
  RangeCommand(this, &TDataSestavy::SesPreh);
}

void TPlatebna::Sestavarozloen1Click(TObject* Sender) {
  (void)Sender;
  RangeCommand(this, &TDataSestavy::SesRozlozeni);
}
