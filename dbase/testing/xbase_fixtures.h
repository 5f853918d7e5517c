// Fixtures of the dataset adapter's tests: journal-shaped tables written
// through dbf_create and the engine, the journal's eight-tag compound
// index built through the dataset, a scoped alias directory, and walks that
// collect a column in the dataset's current order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbase/table/dbf_create.h"
#include "dbase/dataset/xbase_dataset.h"

namespace xbase_test {

// PLA_DAT D, PLA_DO1 C10, PLA_TYP C3, PLA_KOM C30, PLA_STA N(12,2),
// PLA_KDO C30, PLA_BYT C30, PLA_SML C10, PLA_HOD N(12,2), PLA_ROC C10.
std::vector<TxbFieldSpec> JournalFields();

// One journal document; texts in CP1250, stored in OEM.
struct JournalRow {
  std::string date;  // yyyymmdd or "" for none
  std::string doc;
  std::string type;
  std::string text;
  double amount = 0;
};

// n rows with distinct documents "D0001"..., dates spread over 2024, types
// "P01"/"V02", amounts that are not in document order.
std::vector<JournalRow> SampleRows(int n);

// Creates <dir><name> (".DBF" added by the creator when missing) and
// appends the rows through the engine; returns the path.
std::string MakeJournal(const std::string& dir, const std::string& name, const std::vector<JournalRow>& rows,
                        uint8_t version = 0x03);

// Builds the eight tags DO1 (unique), KOM, DAT, TYP, KDO, SML, ROC, HOD
// into cdxPath through the dataset (which must be open).
void BuildJournalTags(TXbaseDataSet& dataSet, const std::string& cdxPath);

// A closed dataset on <dir><table> (DatabaseName = dir).
std::unique_ptr<TXbaseDataSet> NewDataSet(const std::string& dir, const std::string& table);

// The column's texts over the whole dataset in its current order (First
// to Eof); the position ends at Eof.
std::vector<std::string> Column(TXbaseDataSet& dataSet, const char* field);
// Record numbers over the dataset in its current order.
std::vector<int> RecordNumbers(TXbaseDataSet& dataSet);

// Points WindowsDirectory() at dir for the scope (XBASE_CFG_DIR) and
// reloads the alias list; restores both afterwards.
class ScopedAliasDirectory {
 public:
  explicit ScopedAliasDirectory(const std::string& dir);
  ~ScopedAliasDirectory();
  ScopedAliasDirectory(const ScopedAliasDirectory&) = delete;
  ScopedAliasDirectory& operator=(const ScopedAliasDirectory&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

// Raw bytes of record n (from 1) of a table file, deletion flag first.
std::string RawRecord(const std::string& path, int n);

}  // namespace xbase_test
