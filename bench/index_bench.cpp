// Index build and seek speed of index tags against SQLite on the same rows.
//
// --format cdx|mdx|ndx|ntx picks the index file format (default cdx).
// A table of N records (1 000 000; --quick 10 000) with a C(12) key of
// upper-case letters, an N(12,2) amount (30 % whole numbers) and a date.
// Per key type: CreateTag (records read from the table, sorted, pages
// written; a file per tag for the single-tag formats) against SQLite
// CREATE INDEX on a table filled beforehand (journal_mode=OFF,
// synchronous=OFF, same directory); then N random seeks (10 % absent keys,
// outside every key's range) through the tag against a prepared query.
// Every seek result is compared with SQLite's. Last, N/10 records with
// rising document numbers are appended through the table handler with one
// tag open (each key lands after the tag's last), against SQLite inserting
// them into an indexed table in one transaction. Times are medians of
// three runs; the ratio is ours / SQLite.
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "dbase/handler/table_handler.h"
#include "dbase/index/cdx_index.h"
#include "dbase/table/dbf_create.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/base/engine.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/sysutils.h"

#ifdef HAVE_SQLITE3
#include <sqlite3.h>
#endif

namespace {

struct Row {
  std::string name;
  double amount = 0;
  int32_t day = 0;  // Julian day
};

double Seconds(const std::function<void()>& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Median of three runs; prepare runs before each, untimed.
double MedianOfThree(const std::function<void()>& prepare, const std::function<void()>& run) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    prepare();
    times.push_back(Seconds(run));
  }
  std::sort(times.begin(), times.end());
  return times[1];
}

std::string MachineNote(const std::string& dir) {
  std::string cpu = "unknown processor";
  std::ifstream info("/proc/cpuinfo");
  std::string line;
  while (std::getline(info, line))
    if (line.rfind("model name", 0) == 0) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  struct statfs fs {};
  std::string fsType = "unknown";
  if (statfs(dir.c_str(), &fs) == 0) {
    switch (static_cast<unsigned long>(fs.f_type)) {
      case 0xEF53: fsType = "ext4"; break;
      case 0x01021994: fsType = "tmpfs"; break;
      case 0x794C7630: fsType = "overlayfs"; break;
      case 0x58465342: fsType = "xfs"; break;
      case 0x9123683E: fsType = "btrfs"; break;
      default: fsType = Format("0x%x", static_cast<unsigned>(fs.f_type)); break;
    }
  }
  return cpu + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + fsType + " at " + dir;
}

void Print(const std::string& phase, double ours, double baseline, const std::string& baselineName) {
  if (baseline > 0)
    std::printf("%-28s ours %9.3f s, %s %9.3f s, ratio %.3f\n", phase.c_str(), ours,
                baselineName.c_str(), baseline, ours / baseline);
  else
    std::printf("%-28s ours %9.3f s, %s not installed\n", phase.c_str(), ours, baselineName.c_str());
  std::fflush(stdout);
}

#ifdef HAVE_SQLITE3
void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    std::exit(2);
  }
}
#endif

// The --format argument; "" when it names no known format.
std::string FormatArgument(int argc, char** argv) {
  std::string format = "cdx";
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--format") == 0) format = argv[i + 1];
  for (const char* known : {"cdx", "mdx", "ndx", "ntx"})
    if (format == known) return format;
  return "";
}

// A new index file of the format (one per tag for the single-tag formats).
std::unique_ptr<XBobjIndexFile> MakeIndexFile(const std::string& format, XBobjIndexTable* table,
                                              const std::string& path) {
  std::filesystem::remove(path);
  if (format == "mdx")
    return std::make_unique<XBobjMDXFile>(table, path, true, true, fmOpenReadWrite, fmShareExclusive);
  if (format == "ndx")
    return std::make_unique<XBobjNDXFile>(table, path, true, true, fmOpenReadWrite, fmShareExclusive);
  if (format == "ntx")
    return std::make_unique<XBobjNTXFile>(table, path, true, true, fmOpenReadWrite, fmShareExclusive);
  return std::make_unique<XBobjCDXFile>(table, path, true, true, fmOpenReadWrite, fmShareExclusive);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = bench::QuickRun(argc, argv);
  const int records = quick ? 10000 : 1000000;
  const std::string format = FormatArgument(argc, argv);
  if (format.empty()) {
    std::fprintf(stderr, "usage: index_bench [--quick] [--format cdx|mdx|ndx|ntx]\n");
    return 2;
  }
  EngineStartup();
  RegisterBuiltinExpressions();
  std::string dir = bench::ScratchDirectory("index-bench");
  if (dir.empty()) return 2;
  std::printf("index_bench: %s, %d records; %s\n", format.c_str(), records, MachineNote(dir).c_str());

  // The rows, reproducible.
  std::mt19937 rng(20261208u);
  std::vector<Row> rows(static_cast<std::size_t>(records));
  for (Row& r : rows) {
    r.name.resize(12);
    for (char& c : r.name) c = static_cast<char>('A' + rng() % 26);
    int cents = static_cast<int>(rng() % 2000001) - 1000000;
    if (rng() % 10 < 3) cents = cents / 100 * 100;
    r.amount = cents / 100.0;
    r.day = 2440000 + static_cast<int32_t>(rng() % 20000);
  }
  CreateDbfTable(dir + "B.DBF", {{"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 12, 2}, {"DAY", 'D', 8, 0}});
  auto table = std::make_unique<XBO_dBaseFld>(dir + "B.DBF", false, true, "");
  for (const Row& r : rows) {
    table->BlankRecord();
    table->PutRaw("NAME", r.name);
    table->PutNumber("AMOUNT", r.amount);
    table->PutDate("DAY", r.day);
    table->AppendRecord();
  }
  XBobjDBFIndexTable link(*table, "");

#ifdef HAVE_SQLITE3
  sqlite3* db = nullptr;
  sqlite3_open((dir + "b.sqlite").c_str(), &db);
  Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
  Exec(db, "CREATE TABLE t(name TEXT, amount REAL, day INTEGER)");
  Exec(db, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t(rowid, name, amount, day) VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    sqlite3_bind_int64(insert, 1, static_cast<sqlite3_int64>(i + 1));
    sqlite3_bind_text(insert, 2, rows[i].name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 3, rows[i].amount);
    sqlite3_bind_int(insert, 4, rows[i].day);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(db, "COMMIT");
  const std::string baselineName = "SQLite " + std::string(sqlite3_libversion());
#else
  const std::string baselineName = "SQLite";
#endif

  struct KeyKind {
    const char* tag;
    const char* column;
    char type;
  };
  const KeyKind kinds[] = {{"NAME", "name", 'C'}, {"AMOUNT", "amount", 'N'}, {"DAY", "day", 'D'}};
  int mismatches = 0;
  for (const KeyKind& kind : kinds) {
    std::unique_ptr<XBobjIndexFile> index;
    const std::string indexPath = dir + "B" + kind.tag + "." + format;
    double ours = MedianOfThree(
        [&] {
          if (index) index->Close();
          index.reset();
          index = MakeIndexFile(format, &link, indexPath);
        },
        [&] { index->CreateTag(kind.tag, kind.tag, false, true, ""); });
    double baseline = 0;
#ifdef HAVE_SQLITE3
    baseline = MedianOfThree([&] { Exec(db, "DROP INDEX IF EXISTS i"); },
                             [&] { Exec(db, std::string("CREATE INDEX i ON t(") + kind.column + ")"); });
#endif
    Print(std::string("build ") + kind.tag, ours, baseline, baselineName);

    // Seek probes: present keys of random records, and 10 % absent ones.
    std::mt19937 probeRng(7);
    struct Probe {
      Row value;
      bool absent;
    };
    std::vector<Probe> probes(static_cast<std::size_t>(records));
    for (Probe& p : probes) {
      p.value = rows[probeRng() % rows.size()];
      p.absent = probeRng() % 10 == 0;
      if (p.absent) {
        // Outside every key's range, also where a format keeps only two
        // decimals of a number.
        p.value.name[0] = '0';                                        // digits never start a name
        p.value.amount = 20000 + static_cast<int>(probeRng() % 1000);  // amounts stay within +-10000
        p.value.day = 2400000;                                        // before every date
      }
    }
    XBobjIndexTag* tag = index->TagAt(index->TagCount() - 1);
    table->SetExactMatch(true);
    std::vector<int32_t> found(probes.size());
    auto seekOurs = [&] {
      XBobjIndexKeyData key;
      for (std::size_t i = 0; i < probes.size(); ++i) {
        const Row& v = probes[i].value;
        if (kind.type == 'C')
          key.SetText(v.name);
        else if (kind.type == 'N')
          key.SetNumber(v.amount);
        else
          key.SetDate(v.day);
        found[i] = tag->FindKey(key);
      }
    };
    double oursSeek = MedianOfThree([] {}, seekOurs);
    double baseSeek = 0;
#ifdef HAVE_SQLITE3
    Exec(db, "DROP INDEX IF EXISTS i");
    Exec(db, std::string("CREATE INDEX i ON t(") + kind.column + ")");
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db,
                       (std::string("SELECT rowid FROM t WHERE ") + kind.column +
                        " = ? ORDER BY rowid LIMIT 1").c_str(),
                       -1, &select, nullptr);
    std::vector<int32_t> expected(probes.size());
    auto seekBase = [&] {
      for (std::size_t i = 0; i < probes.size(); ++i) {
        const Row& v = probes[i].value;
        if (kind.type == 'C')
          sqlite3_bind_text(select, 1, v.name.c_str(), -1, SQLITE_STATIC);
        else if (kind.type == 'N')
          sqlite3_bind_double(select, 1, v.amount);
        else
          sqlite3_bind_int(select, 1, v.day);
        expected[i] = sqlite3_step(select) == SQLITE_ROW ? sqlite3_column_int(select, 0) : 0;
        sqlite3_reset(select);
      }
    };
    baseSeek = MedianOfThree([] {}, seekBase);
    sqlite3_finalize(select);
    Exec(db, "DROP INDEX IF EXISTS i");
    for (std::size_t i = 0; i < probes.size(); ++i)
      if (found[i] != expected[i] && ++mismatches <= 5)
        std::printf("  mismatch %s probe %zu: ours %d, SQLite %d\n", kind.tag, i, found[i], expected[i]);
#endif
    Print(std::string("seek ") + kind.tag, oursSeek, baseSeek, baselineName);
    index->Close();
  }
  // Appends of increasing keys (a journal's document numbers) through the
  // table handler, each key after the tag's last: against SQLite inserting
  // the same rows into an indexed table in one transaction.
  {
    const int appends = std::max(1000, records / 10);
    const std::string appendTable = dir + "D.DBF";
    const std::string appendIndex = dir + "D." + format;
    double ours = MedianOfThree(
        [&] {
          std::filesystem::remove(appendTable);
          std::filesystem::remove(appendIndex);
          CreateDbfTable(appendTable, {{"DOC", 'N', 10, 0}, {"NAME", 'C', 12, 0}});
          XBO_dBHandler t(appendTable, false, true, "");
          t.CreateIndexTag(appendIndex, "DOC", 0, 1, "", "DOC");
          t.Close();
        },
        [&] {
          XBO_dBHandler t(appendTable, false, true, "");
          t.OpenIndexFile(appendIndex);
          for (int i = 1; i <= appends; ++i) {
            t.BlankRecord();
            t.PutNumberN(1, i);
            t.PutTextN(2, rows[static_cast<std::size_t>(i) % rows.size()].name);
            t.AppendRecord();
          }
          t.Close();
        });
    {
      // Every key there, in order.
      XBO_dBHandler t(appendTable, false, false, "");
      t.OpenIndexFile(appendIndex);
      XBobjIndexTag* tag = t.TagByNumber(1);
      int count = 0;
      for (int32_t r = tag->MoveTo(xbmoFirst); r > 0; r = tag->MoveTo(xbmoNext))
        if (r != ++count) ++mismatches;
      if (count != appends) ++mismatches;
      t.Close();
    }
    double baseline = 0;
#ifdef HAVE_SQLITE3
    baseline = MedianOfThree(
        [&] { Exec(db, "DROP TABLE IF EXISTS d; CREATE TABLE d(doc INTEGER, name TEXT); CREATE INDEX di ON d(doc)"); },
        [&] {
          Exec(db, "BEGIN");
          sqlite3_stmt* add = nullptr;
          sqlite3_prepare_v2(db, "INSERT INTO d(doc, name) VALUES (?, ?)", -1, &add, nullptr);
          for (int i = 1; i <= appends; ++i) {
            sqlite3_bind_int(add, 1, i);
            sqlite3_bind_text(add, 2, rows[static_cast<std::size_t>(i) % rows.size()].name.c_str(), -1,
                              SQLITE_TRANSIENT);
            sqlite3_step(add);
            sqlite3_reset(add);
          }
          sqlite3_finalize(add);
          Exec(db, "COMMIT");
        });
#endif
    Print("append " + std::to_string(appends) + " rising DOC", ours, baseline, baselineName);
  }
#ifdef HAVE_SQLITE3
  sqlite3_close(db);
#endif
  table.reset();
  std::filesystem::remove_all(dir);
  std::printf("seek results that differ from the baseline: %d\n", mismatches);
  return mismatches == 0 ? 0 : 1;
}
