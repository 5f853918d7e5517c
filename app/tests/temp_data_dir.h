// Test fixtures of the application: a temporary program directory (which
// the program's directory is pointed at for the test's lifetime) holding
// Platebna.ini, a data directory beside it with demo tables or hand-made
// journals, a scoped start of the data module, and small readers of the
// tables and files that the checks compare against.
#pragma once

#include <dirent.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/journal_tables.h"
#include "dbase/table/dbf_create.h"
#include "dbase/dataset/xbase_dataset.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"
#include "testing/temp_dir.h"
#include "tools/mkdemo/demo_data.h"

namespace app_test {

// A settings file naming the data directory (CP1250 bytes).
inline std::string SettingsText(const std::string& dataDir, const std::string& branch = "0001") {
  return "[Platebna]\r\nProdejna=" + branch + "\r\nCestaData=" + dataDir +
         "\r\nHlavniTiskarna=0\r\nCestaPrivate=" + dataDir + "/private\r\nKodMeny=" + Cz("Kč") + "\r\n";
}

class TempDataDir {
 public:
  // documents >= 0: a demo directory of that many documents; below 0 an
  // empty data directory. With settings, Platebna.ini names it.
  explicit TempDataDir(int documents = 40, bool settings = true, const std::string& branch = "0001") {
    program_ = root_.Path() + "prog/";
    data_ = root_.Path() + "data";
    CreateDir(program_);
    CreateDir(data_);
    SetProgramDirectory(program_);
    if (documents >= 0) {
      TDemoDataOptions options;
      options.documents = documents;
      options.branch = branch;
      options.force = true;
      MakeDemoData(data_, options);
    }
    if (settings) WriteSettings(SettingsText(data_, branch));
  }
  ~TempDataDir() { SetProgramDirectory(""); }
  TempDataDir(const TempDataDir&) = delete;
  TempDataDir& operator=(const TempDataDir&) = delete;

  // With a trailing separator.
  const std::string& ProgramDir() const { return program_; }
  // Without a trailing separator.
  const std::string& DataDir() const { return data_; }
  std::string Data(const std::string& name) const { return data_ + "/" + name; }
  std::string IniPath() const { return program_ + "Platebna.ini"; }
  std::string Root() const { return root_.Path(); }

  void WriteSettings(const std::string& bytes) const { root_.Write("prog/Platebna.ini", bytes); }
  std::string ReadSettings() const { return root_.Read("prog/Platebna.ini"); }
  void WriteFile(const std::string& name, const std::string& bytes) const { root_.Write("data/" + name, bytes); }
  std::string ReadFile(const std::string& name) const { return root_.Read("data/" + name); }

 private:
  TempDir root_;
  std::string program_;
  std::string data_;
};

// Every file of a directory with its bytes.
inline std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string bytes;
      if (FILE* f = std::fopen((dir + "/" + name).c_str(), "rb")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
        std::fclose(f);
      }
      files[name] = bytes;
    }
    closedir(d);
  }
  return files;
}

// The data module, started (OnCreate run) and freed with the scope.
struct DataDeleter {
  void operator()(TData* data) const {
    data->BeforeDestruction();
    delete data;
  }
};
using DataPtr = std::unique_ptr<TData, DataDeleter>;

// Constructs the data module; with start its creation ends (DataCreate runs).
inline DataPtr NewData(bool start = true) {
  DataPtr data(new TData(nullptr));
  if (start) data->AfterConstruction();
  return data;
}

// One hand-made journal document.
struct JournalRow {
  int year = 2024, month = 1, day = 1;
  const char* document = "";
  double amount = 0;
  double balance = 0;
  const char* type = "P01";
};

inline std::vector<TxbFieldSpec> JournalLayout(bool withIdentification = true) {
  std::vector<TxbFieldSpec> fields = {
      {"PLA_DAT", 'D', 8, 0},  {"PLA_DO1", 'C', 10, 0}, {"PLA_TYP", 'C', 3, 0}, {"PLA_KOM", 'C', 30, 0},
      {"PLA_STA", 'N', 12, 2}, {"PLA_KDO", 'C', 30, 0}, {"PLA_BYT", 'C', 30, 0}, {"PLA_SML", 'C', 10, 0},
      {"PLA_HOD", 'N', 12, 2}};
  if (withIdentification) fields.push_back({"PLA_ROC", 'C', 10, 0});
  return fields;
}

// Creates <dir>/<table>.dbf with the rows (no index file).
inline void WriteJournal(const std::string& dir, const std::string& table, const std::vector<JournalRow>& rows,
                         bool withIdentification = true) {
  TxbCreateOptions options;
  options.language = 0x64;
  CreateDbfTable(dir + "/" + table + ".dbf", JournalLayout(withIdentification), options);
  TXbaseDataSet d(nullptr);
  d.SetDatabaseName(dir);
  d.SetTableName(table + ".dbf");
  d.Open();
  for (const JournalRow& r : rows) {
    d.Append();
    d.FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(r.year, r.month, r.day));
    d.FieldByName("PLA_DO1")->SetAsString(r.document);
    d.FieldByName("PLA_TYP")->SetAsString(r.type);
    d.FieldByName("PLA_KOM")->SetAsString(Cz("Tržba za hotové"));
    d.FieldByName("PLA_HOD")->SetAsFloat(r.amount);
    d.FieldByName("PLA_STA")->SetAsFloat(r.balance);
    d.Post();
  }
  d.Close();
}

// Creates <dir>/<table>.dbf, the branch's counter table, with one record
// whose CIS_FIN holds number.
inline void WriteCounters(const std::string& dir, const std::string& table, const std::string& number) {
  TxbCreateOptions options;
  options.language = 0x64;
  CreateDbfTable(dir + "/" + table + ".dbf",
                 {{"CIS_DEN", 'N', 15, 0}, {"CIS_ODB", 'N', 6, 0}, {"CIS_VYD", 'C', 10, 0}, {"CIS_FIN", 'C', 10, 0}},
                 options);
  TXbaseDataSet d(nullptr);
  d.SetDatabaseName(dir);
  d.SetTableName(table + ".dbf");
  d.Open();
  d.Append();
  d.FieldByName("CIS_FIN")->SetAsString(number);
  d.Post();
  d.Close();
}

// A plain dataset on a table of the directory (closed).
inline std::unique_ptr<TXbaseDataSet> OpenTable(const std::string& dir, const std::string& table) {
  auto d = std::make_unique<TXbaseDataSet>(nullptr);
  d->SetDatabaseName(dir);
  d->SetTableName(table);
  d->Open();
  return d;
}

// (amount, balance) of every live journal record in physical order, in
// hellers.
struct ChainRow {
  int record;
  long long amount;
  long long balance;
};

inline long long Hellers(double value) { return static_cast<long long>(value * 100 + (value < 0 ? -0.5 : 0.5)); }

inline std::vector<ChainRow> Chain(const std::string& dir, const std::string& table) {
  auto d = OpenTable(dir, table);
  std::vector<ChainRow> rows;
  for (d->First(); !d->Eof(); d->Next())
    rows.push_back({d->RecNo(), Hellers(d->FieldByName("PLA_HOD")->AsFloat()),
                    Hellers(d->FieldByName("PLA_STA")->AsFloat())});
  return rows;
}

// Index of the first record whose balance breaks the chain, or -1.
inline int ChainBreak(const std::vector<ChainRow>& rows) {
  long long sum = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    sum += rows[i].amount;
    if (rows[i].balance != sum) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace app_test
