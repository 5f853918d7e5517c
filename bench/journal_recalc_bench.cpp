// The balance recalculation of the cash journal, through the application
// against the table handler alone.
//
//   journal_recalc_bench [--documents 100000] [--repeat 3] [--quick]
//
// A demo journal of N documents (eight-tag compound index) is generated
// once; every run works on a fresh copy whose balances were scrambled the
// same way. Cases:
//   (a) the application: the data module is created from a settings file
//       (settings, table names, journal open, index attached), the journal
//       goes to tag DAT and its last record as the main window does, then
//       PrepocetZustatku walks it with its message processing, on the
//       offscreen platform;
//   (b) the baseline, the same work straight through the table handler
//       (DBFObject): open shared, attach the index, tag DAT and last record,
//       then physical order from the first record: read PLA_HOD, lock the
//       record, re-read it, PutNumber PLA_STA, WriteRecord (index upkeep
//       included), release, next.
// Both runs must leave identical record areas; the program fails otherwise.
// It prints the open and walk times of both and the ratio (a)/(b) as the
// median over the repeats. --quick: 2000 documents, one run.
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
#include "bench/bench_harness.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/base/engine.h"
#include "platform/gui/application.h"
#include "platform/rtl/system.h"
#include "tools/mkdemo/demo_data.h"

namespace {

namespace fs = std::filesystem;

struct Times {
  double openNs = 0;
  double walkNs = 0;
};

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

// A fresh copy of the master journal with every seventh balance wrong.
void PrepareCopy(const std::string& master, const std::string& copy) {
  fs::remove_all(copy);
  fs::copy(master, copy, fs::copy_options::recursive);
  DBFObject table(copy + "/Pla0001.dbf", false, true, "");
  for (int32_t n = 1; n <= table.RecordCount(); n += 7) {
    table.GoRecord(n);
    table.PutNumber("PLA_STA", -1);
    table.WriteRecord(n);
  }
}

// The records of the journal (everything after the header).
std::string RecordArea(const std::string& dir) {
  const std::string bytes = ReadAll(dir + "/Pla0001.dbf");
  DBFObject table(dir + "/Pla0001.dbf", true, false, "");
  return bytes.substr(static_cast<std::size_t>(table.HeaderLength()));
}

Times RunApplication(const std::string& root, const std::string& dir) {
  fs::create_directories(root + "/prog");
  WriteAll(root + "/prog/Platebna.ini", "[Platebna]\r\nProdejna=0001\r\nCestaData=" + dir + "\r\n");
  SetProgramDirectory(root + "/prog/");
  Times t;
  double start = NowNs();
  auto* data = new TData(nullptr);
  data->AfterConstruction();
  data->Platebna->SetIndexName("DAT");
  data->Platebna->Last();
  t.openNs = NowNs() - start;
  start = NowNs();
  data->PrepocetZustatku();
  t.walkNs = NowNs() - start;
  data->BeforeDestruction();
  delete data;
  SetProgramDirectory("");
  return t;
}

Times RunBaseline(const std::string& dir) {
  Times t;
  double start = NowNs();
  DBFObject table(dir + "/Pla0001.dbf", true, true, "");
  table.SetTranslateOem(true);
  table.OpenIndexFile(dir + "/Pla0001.cdx");
  table.SelectTag("DAT", false);
  table.GoRecord(-4);
  t.openNs = NowNs() - start;
  start = NowNs();
  table.SelectTag("", false);
  table.GoRecord(-3);
  double sum = 0;
  while (!table.Eof()) {
    const int32_t n = table.RecordNumber();
    const double amount = table.GetNumber("PLA_HOD");
    if (!table.LockCurrentRecord()) {
      std::fprintf(stderr, "journal_recalc_bench: record %d is locked\n", n);
      std::exit(1);
    }
    table.GoRecord(-5);
    table.PutNumber("PLA_STA", sum + amount);
    table.WriteRecord(n);
    sum = table.GetNumber("PLA_STA");
    table.ReleaseLock();
    table.GoRecord(-1);
  }
  t.walkNs = NowNs() - start;
  return t;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::QuickRun(argc, argv);
  int documents = quick ? 2000 : 100000;
  int repeat = quick ? 1 : 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--documents") == 0) documents = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
  }

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EngineStartup();
  Application->Initialize();

  std::string root = bench::ScratchDirectory("journal-recalc");
  if (root.empty()) {
    std::perror("journal_recalc_bench: mkdtemp");
    return 1;
  }
  root.pop_back();
  TDemoDataOptions options;
  options.documents = documents;
  const double generateStart = NowNs();
  MakeDemoData(root + "/master", options);
  std::printf("documents: %d (generated in %.0f ms)\n", documents, (NowNs() - generateStart) / 1e6);

  std::vector<double> openApp, walkApp, openBase, walkBase, ratios;
  int status = 0;
  for (int run = 0; run < repeat; ++run) {
    PrepareCopy(root + "/master", root + "/app");
    const Times app = RunApplication(root, root + "/app");
    PrepareCopy(root + "/master", root + "/base");
    const Times base = RunBaseline(root + "/base");
    if (RecordArea(root + "/app") != RecordArea(root + "/base")) {
      std::fprintf(stderr, "journal_recalc_bench: the two runs left different journals\n");
      status = 1;
      break;
    }
    openApp.push_back(app.openNs);
    walkApp.push_back(app.walkNs);
    openBase.push_back(base.openNs);
    walkBase.push_back(base.walkNs);
    ratios.push_back((app.openNs + app.walkNs) / (base.openNs + base.walkNs));
    std::printf("run %d: application open %.1f ms walk %.1f ms; handler open %.1f ms walk %.1f ms\n", run + 1,
                app.openNs / 1e6, app.walkNs / 1e6, base.openNs / 1e6, base.walkNs / 1e6);
  }
  if (status == 0) {
    std::printf("median: application open %.1f ms walk %.1f ms (%.0f ns/document)\n", Median(openApp) / 1e6,
                Median(walkApp) / 1e6, Median(walkApp) / documents);
    std::printf("median: handler open %.1f ms walk %.1f ms (%.0f ns/document)\n", Median(openBase) / 1e6,
                Median(walkBase) / 1e6, Median(walkBase) / documents);
    std::printf("recalculation: ratio application/handler %.3f (walk only %.3f)\n", Median(ratios),
                Median(walkApp) / Median(walkBase));
  }
  Application->Shutdown();
  fs::remove_all(root);
  return status;
}
