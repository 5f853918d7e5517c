// TmtCustomDeltaHandler: walks every record of a table's store and reports
// each as inserted, deleted, modified or not changed since the versions
// began, judged by the record and its oldest saved image. Descendants
// override the four operations; while one runs, the table's field reads
// come from the current record.
#pragma once

#include "memtable/record_store.h"
#include "platform/rtl/classes.h"

class TmtCustomMemTable;

class TmtCustomDeltaHandler : public TComponent {
 public:
  explicit TmtCustomDeltaHandler(TComponent* owner = nullptr) : TComponent(owner) {}
  ~TmtCustomDeltaHandler() override;
  AnsiString ClassName() const override { return "TmtCustomDeltaHandler"; }

  TmtCustomMemTable* MemTable() const { return table_; }
  PMemRecord CurrentRecord() const { return current_; }
  PMemRecord OldestImage() const { return oldest_; }

  // Raises "Delta handler is not assigned to any memorytables." without a
  // table; otherwise calls one operation per record, in slot order.
  virtual void Resolve();

 protected:
  virtual void InsertRecord() {}
  virtual void DeleteRecord() {}
  virtual void ModifyRecord() {}
  virtual void NotChangedRecord() {}

 private:
  friend class TmtCustomMemTable;
  TmtCustomMemTable* table_ = nullptr;
  PMemRecord current_ = nullptr;
  PMemRecord oldest_ = nullptr;
};
