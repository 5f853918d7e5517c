#include "app/document_entry.h"

#include <cmath>
#include <exception>
#include <functional>

#include "app/chain_lock.h"
#include "app/data_module.h"
#include "app/entry_form.h"
#include "app/journal_probe.h"
#include "app/main_window.h"
#include "dbase/dataset/xbase_dataset.h"
#include "platform/gui/application.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"

namespace {

bool IsPending(const TDataSet* d) { return d->Active() && (d->State() == dsEdit || d->State() == dsInsert); }

void CancelPending(TDataSet* d) {
  if (IsPending(d)) d->Cancel();
}

[[noreturn]] void NotANumber(const AnsiString& text) {
  throw EConvertError(Format("'%s' is not a valid integer value", text));
}

// Walks the records after the current one in physical order, each balance
// from its stored predecessor. The controls stay off and the corrected
// record is current again at the end, in every case; a failure keeps what
// was posted and leaves no edit pending.
void CarryForward(TXbaseDataSet* journal) {
  TField* amount = journal->FieldByName("PLA_HOD");
  TField* balance = journal->FieldByName("PLA_STA");
  const TBookmark corrected = journal->GetBookmark();
  journal->DisableControls();
  std::exception_ptr failure;
  try {
    double running = balance->AsFloat();
    journal->Next();
    Application->ProcessMessages();
    while (!journal->Eof()) {
      journal->Edit();
      balance->SetAsFloat(running + amount->AsFloat());
      journal->Post();
      running = balance->AsFloat();
      journal->Next();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    CancelPending(journal);
    journal->GotoBookmark(corrected);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  journal->EnableControls();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

int64_t DocumentNumberOf(const AnsiString& text) {
  const AnsiString t = Trim(text);
  if (t.empty() || t.size() > 10) NotANumber(text);
  int64_t value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') NotANumber(text);
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxDocumentNumber) NotANumber(text);
  return value;
}

bool IsDocumentNumber(const AnsiString& text) {
  try {
    DocumentNumberOf(text);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

AnsiString CurrentErrorText() {
  try {
    throw;
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void CommitDocument(TXbaseDataSet* journal, TXbaseDataSet* counters, const TDocumentCommit& commit, bool& posted) {
  posted = false;
  TField* amount = journal->FieldByName("PLA_HOD");
  TField* balance = journal->FieldByName("PLA_STA");
  const double typed = amount->AsFloat();
  TChainLock lock(counters);
  try {
    int64_t next = 0;
    double previous = commit.previousBalance;
    if (commit.isNew) {
      TField* counter = counters->FieldByName("CIS_FIN");
      const AnsiString counterText = Trim(counter->AsString());
      int64_t number = DocumentNumberOf(counterText);
      AnsiString documentText = counterText;
      TJournalProbe probe(*journal);
      // The last run wrote its document but not the counter.
      if (!probe.Empty() && probe.LastDocument() == counterText) {
        ++number;
        documentText = IntToStr(number);
      }
      if (number + 1 > kMaxDocumentNumber) NotANumber(counterText);
      next = number + 1;
      journal->FieldByName("PLA_DO1")->SetAsString(documentText);
      previous = probe.LastBalance();
    }
    amount->SetAsFloat(typed * commit.coefficient);
    balance->SetAsFloat(previous + amount->AsFloat());
    journal->Post();
    posted = true;
    if (!commit.isNew) CarryForward(journal);
    if (commit.isNew) {
      counters->FieldByName("CIS_FIN")->SetAsString(IntToStr(next));
      lock.Commit();
    } else {
      lock.Release();
    }
  } catch (...) {
    if (!posted && IsPending(journal)) {
      try {
        amount->SetAsFloat(typed);
      } catch (...) {
      }
    }
    throw;  // the lock's destructor releases the counter record
  }
}

// ------------------------------------------------------------- commands

namespace {

// Shows the entry form once prepare() has made the journal's pending record.
// However the form was closed, or preparing failed, nothing it left pending
// may be posted by the grid's next move; the form is freed, the types table
// closed and the grid focused again.
void RunEntryForm(TPlatebna* window, TPlatebnaEditace* form, TXbaseDataSet* journal,
                  const std::function<void()>& prepare) {
  try {
    prepare();
    PlaceDialog(form, window, TDialogPlacement::EntryForm);
    form->ShowModal();
  } catch (...) {
    const AnsiString text = CurrentErrorText();
    try {
      CancelPending(journal);
    } catch (...) {
    }
    ShowPlainMessage(text);
  }
  try {
    CancelPending(journal);
  } catch (...) {
    ShowPlainMessage(CurrentErrorText());
  }
  delete form;
  Data->FinOperace->Close();
  if (window->DBGrid1->CanFocus()) window->DBGrid1->SetFocus();
}

}  // namespace

void TPlatebna::Button2Click(TObject* Sender) {
  (void)Sender;
  TXbaseDataSet* journal = Data->Platebna;
  journal->SetIndexName("");
  journal->Last();
  auto* form = new TPlatebnaEditace(this);
  RunEntryForm(this, form, journal, [&] {
    Data->FinOperace->Open();
    form->PreviousBalance = journal->IsEmpty() ? 0.0 : journal->FieldByName("PLA_STA")->AsFloat();
    journal->Append();
    form->IsNew = true;
    form->IsReceipt = true;
    journal->FieldByName("PLA_DAT")->SetAsDateTime(Date());
    journal->FieldByName("PLA_STA")->SetAsFloat(form->PreviousBalance);
  });
}

void TPlatebna::Button3Click(TObject* Sender) {
  (void)Sender;
  TXbaseDataSet* journal = Data->Platebna;
  // Edit of an empty table would insert an unnumbered document.
  if (!journal->Active() || journal->IsEmpty()) return;
  journal->SetIndexName("");
  auto* form = new TPlatebnaEditace(this);
  form->IsNew = false;
  RunEntryForm(this, form, journal, [&] {
    // The values read after the lock are the ones the correction starts
    // from.
    journal->Edit();
    TField* amount = journal->FieldByName("PLA_HOD");
    form->PreviousBalance = journal->FieldByName("PLA_STA")->AsFloat() - amount->AsFloat();
    const AnsiString code = journal->FieldByName("PLA_TYP")->AsString().substr(0, 3);
    TXbaseDataSet* types = Data->FinOperace;
    types->Open();
    if (types->Locate("FIN_TYP", Variant(code), {})) {
      const double coefficient = types->FieldByName("FIN_KOE")->AsFloat();
      form->IsReceipt = coefficient >= 1;
      amount->SetAsFloat(amount->AsFloat() * coefficient);
    } else {
      ShowPlainMessage(Cz("Nelze najít typ operace ") + code);
      // The type chosen in the form gives the sign again.
      amount->SetAsFloat(std::fabs(amount->AsFloat()));
    }
  });
}
