// Helpers of the entry tests: a demo directory (or a hand-made journal with
// the demo's other tables), the entry form driven through the main window's
// commands, and readers of the counter and the journal's records.
#pragma once

#include <functional>
#include <string>

#include "app/data_module.h"
#include "app/entry_form.h"
#include "app/main_window.h"
#include "app/tests/program_scope.h"
#include "app/tests/temp_data_dir.h"
#include "platform/gui/testing/gui_input.h"
#include "platform/gui/testing/gui_modal.h"

namespace app_test {

// A demo directory whose journal is replaced by rows (its index is rebuilt
// at start).
inline void ReplaceJournal(const TempDataDir& dir, const std::vector<JournalRow>& rows) {
  std::remove(dir.Data("Pla0001.cdx").c_str());
  WriteJournal(dir.DataDir(), "Pla0001", rows);
}

inline void SetCounter(const TempDataDir& dir, const std::string& text) {
  auto c = OpenTable(dir.DataDir(), "Cis0001.dbf");
  c->Edit();
  c->FieldByName("CIS_FIN")->SetAsString(text);
  c->Post();
}

inline std::string Counter(const TempDataDir& dir) {
  return Trim(OpenTable(dir.DataDir(), "Cis0001.dbf")->FieldByName("CIS_FIN")->AsString());
}

struct StoredDocument {
  std::string number, type;
  long long amount = 0, balance = 0;
};

// The record of the journal file in physical order (1-based).
inline StoredDocument Stored(const TempDataDir& dir, int recNo) {
  auto d = OpenTable(dir.DataDir(), "Pla0001.dbf");
  d->SetRecNo(recNo);
  return {Trim(d->FieldByName("PLA_DO1")->AsString()), Trim(d->FieldByName("PLA_TYP")->AsString()),
          Hellers(d->FieldByName("PLA_HOD")->AsFloat()), Hellers(d->FieldByName("PLA_STA")->AsFloat())};
}

inline int RecordCount(const TempDataDir& dir) { return OpenTable(dir.DataDir(), "Pla0001.dbf")->RecordCount(); }

// Runs F2 (or F4) on the main window's grid with script driving the entry
// form.
inline void WithEntryForm(Word key, const std::function<void(TPlatebnaEditace*)>& script) {
  OnNextModal([&](TCustomForm* f) { script(dynamic_cast<TPlatebnaEditace*>(f)); });
  KeyClick(Platebna->DBGrid1, key);
}

// Replaces an edit's text as the user would (focus, select all, type).
inline void Retype(TCustomEdit* edit, const char* text) {
  edit->SetFocus();
  edit->SelectAll();
  TypeText(edit, Cz(text));
}

// Types a type code and an amount, leaving each edit by Tab.
inline void FillDocument(TPlatebnaEditace* f, const char* type, const char* amount) {
  Retype(f->DBEditKuvet1, type);
  KeyClick(f->DBEditKuvet1, VK_TAB);
  Retype(f->DBEditKuvet3, amount);
  KeyClick(f->DBEditKuvet3, VK_TAB);
}

inline void ClickOk(TPlatebnaEditace* f) { MouseClick(f->BitBtn1, 10, 10); }

}  // namespace app_test
