// TJournalProbe: a short-lived, read-only look at the journal file as it is
// now, beside the journal's own cursor (which the grid shows and which may
// stand anywhere, in any order). The commit of a document opens one under
// the chain lock to read the last live record in physical order.
#pragma once

#include <memory>

#include "dbase/dataset/xbase_dataset.h"

class TJournalProbe {
 public:
  // Opens the journal's table shared and read-only, in natural order, on
  // its last live record.
  explicit TJournalProbe(const TXbaseDataSet& journal);
  ~TJournalProbe();
  TJournalProbe(const TJournalProbe&) = delete;
  TJournalProbe& operator=(const TJournalProbe&) = delete;

  bool Empty() const { return probe_->IsEmpty(); }
  // PLA_STA of the last live record (0 for an empty journal).
  double LastBalance() const;
  // PLA_DO1 of the last live record, trimmed ("" for an empty journal).
  AnsiString LastDocument() const;

 private:
  std::unique_ptr<TXbaseDataSet> probe_;
};
