#include "dbase/testing/xbase_fixtures.h"

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "dbase/table/dbf_fields.h"
#include "dbase/dataset/xbase_aliases.h"
#include "dbase/base/os_layer.h"
#include "platform/rtl/paths.h"

namespace xbase_test {

std::vector<TxbFieldSpec> JournalFields() {
  return {{"PLA_DAT", 'D', 0, 0},  {"PLA_DO1", 'C', 10, 0}, {"PLA_TYP", 'C', 3, 0},  {"PLA_KOM", 'C', 30, 0},
          {"PLA_STA", 'N', 12, 2}, {"PLA_KDO", 'C', 30, 0}, {"PLA_BYT", 'C', 30, 0}, {"PLA_SML", 'C', 10, 0},
          {"PLA_HOD", 'N', 12, 2}, {"PLA_ROC", 'C', 10, 0}};
}

std::vector<JournalRow> SampleRows(int n) {
  std::vector<JournalRow> rows;
  for (int i = 0; i < n; ++i) {
    JournalRow r;
    char text[32];
    std::snprintf(text, sizeof text, "2024%02d%02d", 1 + (i * 7) % 12, 1 + (i * 13) % 28);
    r.date = text;
    std::snprintf(text, sizeof text, "D%04d", i + 1);
    r.doc = text;
    r.type = i % 3 == 0 ? "V02" : "P01";
    std::snprintf(text, sizeof text, "Operation %d", (i * 37) % 101);
    r.text = text;
    r.amount = ((i * 53) % 97 - 40) * 12.5;
    rows.push_back(r);
  }
  return rows;
}

std::string MakeJournal(const std::string& dir, const std::string& name, const std::vector<JournalRow>& rows,
                        uint8_t version) {
  const std::string path = dir + name;
  TxbCreateOptions options;
  options.version = version;
  CreateDbfTable(path, JournalFields(), options);
  const std::string full = ExtractFileExt(name).empty() ? path + ".DBF" : path;
  XBO_dBaseFld t(full, false, true, "");
  double balance = 0;
  for (const JournalRow& r : rows) {
    balance += r.amount;
    t.BlankRecord();
    t.PutRaw("PLA_DAT", r.date);
    t.PutText("PLA_DO1", AnsiToOem(r.doc));
    t.PutText("PLA_TYP", r.type);
    t.PutText("PLA_KOM", AnsiToOem(r.text));
    t.PutNumber("PLA_STA", balance);
    t.PutText("PLA_KDO", AnsiToOem("Kdo " + r.doc));
    t.PutText("PLA_SML", r.doc);
    t.PutNumber("PLA_HOD", r.amount);
    t.PutText("PLA_ROC", r.type + r.doc);
    t.AppendRecord();
  }
  return full;
}

void BuildJournalTags(TXbaseDataSet& dataSet, const std::string& cdxPath) {
  const struct {
    const char* tag;
    const char* key;
    int unique;
  } tags[] = {{"DO1", "PLA_DO1", 0}, {"KOM", "PLA_KOM", 1}, {"DAT", "PLA_DAT", 1}, {"TYP", "PLA_TYP", 1},
              {"KDO", "PLA_KDO", 1}, {"SML", "PLA_SML", 1}, {"ROC", "PLA_ROC", 1}, {"HOD", "PLA_HOD", 1}};
  for (const auto& t : tags) dataSet.BuildIndexTag(cdxPath, t.tag, 0, t.unique, "", t.key);
}

std::unique_ptr<TXbaseDataSet> NewDataSet(const std::string& dir, const std::string& table) {
  auto dataSet = std::make_unique<TXbaseDataSet>(nullptr);
  dataSet->SetDatabaseName(dir);
  dataSet->SetTableName(table);
  return dataSet;
}

std::vector<std::string> Column(TXbaseDataSet& dataSet, const char* field) {
  std::vector<std::string> values;
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) values.push_back(dataSet.FieldByName(field)->AsString());
  return values;
}

std::vector<int> RecordNumbers(TXbaseDataSet& dataSet) {
  std::vector<int> numbers;
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) numbers.push_back(dataSet.RecNo());
  return numbers;
}

ScopedAliasDirectory::ScopedAliasDirectory(const std::string& dir) {
  if (const char* old = getenv("XBASE_CFG_DIR")) {
    had_ = true;
    old_ = old;
  }
  setenv("XBASE_CFG_DIR", dir.c_str(), 1);
  ReloadXbaseAliases();
}

ScopedAliasDirectory::~ScopedAliasDirectory() {
  if (had_)
    setenv("XBASE_CFG_DIR", old_.c_str(), 1);
  else
    unsetenv("XBASE_CFG_DIR");
  ReloadXbaseAliases();
}

std::string RawRecord(const std::string& path, int n) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12) throw std::runtime_error("not a table: " + path);
  const std::size_t header = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
  const std::size_t length = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
  const std::size_t at = header + static_cast<std::size_t>(n - 1) * length;
  if (at + length > bytes.size()) throw std::runtime_error("no record " + std::to_string(n));
  return bytes.substr(at, length);
}

}  // namespace xbase_test
