// The commit of new cash documents through the application against the same
// writes straight through the table handler.
//
//   document_entry_bench [--journal 100000] [--documents 2000] [--repeat 3] [--quick]
//
// A demo journal (eight-tag compound index) is generated once; every run
// works on a fresh copy. Cases:
//   (a) the application: the data module opens the journal with its index;
//       for each document the journal appends a record, the fields are
//       filled as the entry form leaves them, and the commit runs (chain
//       lock on the counter record, journal probe, number, sign, balance
//       from the file, post with index upkeep, counter written), without
//       the modal loop;
//   (b) the baseline through the table handler (DBFObject): lock the counter
//       record, re-read it, read the last record's balance, append the
//       document with index upkeep, write the counter, release.
// Both runs must leave identical record areas; the program fails otherwise.
// It prints documents per second of both and the ratio (a)/(b) of the
// times as the median over the repeats. --quick: journal 2000, 50
// documents, one run.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/document_entry.h"
#include "bench/bench_harness.h"
#include "dbase/base/engine.h"
#include "dbase/handler/dbf_object.h"
#include "platform/gui/application.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

namespace {

namespace fs = std::filesystem;

double NowNs() {
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string RecordArea(const std::string& dir, const char* table) {
  const std::string bytes = ReadAll(dir + "/" + table);
  DBFObject t(dir + "/" + table, true, false, "");
  return bytes.substr(static_cast<std::size_t>(t.HeaderLength()));
}

// The document i of a run: an expense every third, amounts in hellers.
struct Document {
  const char* type;
  double coefficient;
  double amount;  // as typed
};

Document DocumentAt(int i) {
  const bool expense = i % 3 == 0;
  return {expense ? "V01" : "P01", expense ? -1.0 : 1.0, (1000 + (i * 37) % 90000) / 100.0};
}

double RunApplication(const std::string& root, const std::string& dir, int documents) {
  fs::create_directories(root + "/prog");
  WriteAll(root + "/prog/Platebna.ini", "[Platebna]\r\nProdejna=0001\r\nCestaData=" + dir + "\r\n");
  SetProgramDirectory(root + "/prog/");
  auto* data = new TData(nullptr);
  data->AfterConstruction();
  TXbaseDataSet* journal = data->Platebna;
  journal->SetIndexName("");
  const double start = NowNs();
  for (int i = 0; i < documents; ++i) {
    const Document d = DocumentAt(i);
    journal->Append();
    journal->FieldByName("PLA_DAT")->SetAsDateTime(EncodeDate(2024, 12, 31));
    journal->FieldByName("PLA_TYP")->SetAsString(d.type);
    journal->FieldByName("PLA_KOM")->SetAsString("Bench");
    journal->FieldByName("PLA_HOD")->SetAsFloat(d.amount);
    TDocumentCommit commit;
    commit.isNew = true;
    commit.coefficient = d.coefficient;
    bool posted = false;
    CommitDocument(journal, data->Ciselnik, commit, posted);
  }
  const double elapsed = NowNs() - start;
  data->BeforeDestruction();
  delete data;
  SetProgramDirectory("");
  return elapsed;
}

double RunBaseline(const std::string& dir, int documents) {
  DBFObject journal(dir + "/Pla0001.dbf", true, true, "");
  journal.SetTranslateOem(true);
  journal.OpenIndexFile(dir + "/Pla0001.cdx");
  journal.SelectTag("", false);
  DBFObject counters(dir + "/Cis0001.dbf", true, true, "");
  const double start = NowNs();
  for (int i = 0; i < documents; ++i) {
    const Document d = DocumentAt(i);
    counters.GoRecord(1);
    if (!counters.LockCurrentRecord()) {
      std::fprintf(stderr, "document_entry_bench: the counter is locked\n");
      std::exit(1);
    }
    counters.GoRecord(-5);
    const AnsiString number = Trim(counters.GetRaw("CIS_FIN"));
    journal.GoRecord(-4);
    const double previous = journal.Eof() ? 0.0 : journal.GetNumber("PLA_STA");
    journal.BlankRecord();
    journal.PutRaw("PLA_DAT", "20241231");
    journal.PutText("PLA_DO1", number);
    journal.PutText("PLA_TYP", d.type);
    journal.PutText("PLA_KOM", "Bench");
    journal.PutNumber("PLA_HOD", d.amount * d.coefficient);
    journal.PutNumber("PLA_STA", previous + journal.GetNumber("PLA_HOD"));
    journal.AppendRecord();
    counters.PutText("CIS_FIN", IntToStr(StrToInt64(number) + 1));
    counters.WriteRecord(1);
    counters.ReleaseLock();
  }
  return NowNs() - start;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::QuickRun(argc, argv);
  int journalSize = quick ? 2000 : 100000;
  int documents = quick ? 50 : 2000;
  int repeat = quick ? 1 : 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--journal") == 0) journalSize = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--documents") == 0) documents = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
  }

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EngineStartup();
  Application->Initialize();

  char pattern[] = "/tmp/document-entry-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) {
    std::perror("document_entry_bench: mkdtemp");
    return 1;
  }
  const std::string root = made;
  TDemoDataOptions options;
  options.documents = journalSize;
  MakeDemoData(root + "/master", options);
  std::printf("journal: %d documents; entering %d\n", journalSize, documents);

  std::vector<double> app, base, ratios;
  int status = 0;
  for (int run = 0; run < repeat && status == 0; ++run) {
    for (const char* copy : {"/app", "/base"}) {
      fs::remove_all(root + copy);
      fs::copy(root + "/master", root + copy, fs::copy_options::recursive);
    }
    const double a = RunApplication(root, root + "/app", documents);
    const double b = RunBaseline(root + "/base", documents);
    for (const char* table : {"Pla0001.dbf", "Cis0001.dbf"})
      if (RecordArea(root + "/app", table) != RecordArea(root + "/base", table)) {
        std::fprintf(stderr, "document_entry_bench: the two runs left different %s\n", table);
        status = 1;
      }
    app.push_back(a);
    base.push_back(b);
    ratios.push_back(a / b);
    std::printf("run %d: application %.0f documents/s, handler %.0f documents/s\n", run + 1, documents / (a / 1e9),
                documents / (b / 1e9));
  }
  if (status == 0)
    std::printf("document entry: application %.0f documents/s, handler %.0f documents/s, ratio %.3f\n",
                documents / (Median(app) / 1e9), documents / (Median(base) / 1e9), Median(ratios));
  Application->Shutdown();
  fs::remove_all(root);
  return status;
}
