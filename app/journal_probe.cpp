#include "app/journal_probe.h"

#include "platform/rtl/sysutils.h"

TJournalProbe::TJournalProbe(const TXbaseDataSet& journal) : probe_(std::make_unique<TXbaseDataSet>(nullptr)) {
  probe_->SetDatabaseName(journal.DatabaseName());
  probe_->SetTableName(journal.TableName());
  probe_->SetExclusive(false);
  probe_->SetReadOnly(true);
  probe_->Open();
  probe_->Last();
}

TJournalProbe::~TJournalProbe() {
  try {
    probe_->Close();
  } catch (...) {
  }
}

double TJournalProbe::LastBalance() const {
  return Empty() ? 0.0 : probe_->FieldByName("PLA_STA")->AsFloat();
}

AnsiString TJournalProbe::LastDocument() const {
  return Empty() ? AnsiString() : Trim(probe_->FieldByName("PLA_DO1")->AsString());
}
