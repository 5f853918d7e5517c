// The in-memory table against SQLite in memory and a plain std container:
// (a) appends through the dataset with a maintained index on a text field,
// (b) key searches of existing names, (c) an index rebuilt from scratch.
// Rows: ID integer, NAME text of 20 with 30% repeated names, AMOUNT float,
// DAY date. --quick runs small sizes only to keep the program working;
// --rows N runs another size by hand.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "memtable/indexes.h"
#include "memtable/mem_table.h"

namespace {

struct Row {
  int id;
  std::string name;
  double amount;
  int day;
};

std::vector<Row> MakeRows(int count) {
  std::vector<Row> rows;
  rows.reserve(static_cast<std::size_t>(count));
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  };
  for (int i = 0; i < count; ++i) {
    std::string name;
    if (next() % 10 < 3)
      name = "Repeated " + std::to_string(next() % 50);  // 30% share 50 names
    else
      name = "Name " + std::to_string(next() % 100000000);
    rows.push_back({i, name.substr(0, 20), static_cast<double>(next() % 100000) / 100.0,
                    45000 + static_cast<int>(next() % 365)});
  }
  return rows;
}

std::unique_ptr<TmtMemTable> NewTable() {
  auto t = std::make_unique<TmtMemTable>();
  t->FieldDefs().Add("ID", ftInteger);
  t->FieldDefs().Add("NAME", ftString, 20);
  t->FieldDefs().Add("AMOUNT", ftFloat);
  t->FieldDefs().Add("DAY", ftDate);
  t->IndexDefs().Add("BYNAME", "NAME", {});
  t->Open();
  t->SetIndexName("BYNAME");
  return t;
}

void Fill(TmtMemTable& t, const std::vector<Row>& rows) {
  TField* id = t.FieldByName("ID");
  TField* name = t.FieldByName("NAME");
  TField* amount = t.FieldByName("AMOUNT");
  TField* day = t.FieldByName("DAY");
  t.DisableControls();
  for (const Row& r : rows) {
    t.Append();
    id->SetAsInteger(r.id);
    name->SetAsString(r.name);
    amount->SetAsFloat(r.amount);
    day->SetAsDateTime(r.day);
    t.Post();
  }
  t.EnableControls();
}

struct StdTable {
  std::vector<Row> rows;
  std::multimap<std::string, std::size_t> byName;
};

#ifdef HAVE_SQLITE3
struct Sqlite {
  Sqlite() {
    bench::CheckSqlite(sqlite3_open(":memory:", &db), db);
    Exec("CREATE TABLE t (id INTEGER, name TEXT, amount REAL, day INTEGER)");
  }
  ~Sqlite() { sqlite3_close(db); }
  void Exec(const char* sql) { bench::CheckSqlite(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db); }
  void Insert(const std::vector<Row>& rows) {
    sqlite3_stmt* st;
    bench::CheckSqlite(sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &st, nullptr), db);
    Exec("BEGIN");
    for (const Row& r : rows) {
      sqlite3_bind_int(st, 1, r.id);
      sqlite3_bind_text(st, 2, r.name.c_str(), static_cast<int>(r.name.size()), SQLITE_STATIC);
      sqlite3_bind_double(st, 3, r.amount);
      sqlite3_bind_int(st, 4, r.day);
      bench::CheckSqlite(sqlite3_step(st), db);
      bench::CheckSqlite(sqlite3_reset(st), db);
    }
    Exec("COMMIT");
    bench::CheckSqlite(sqlite3_finalize(st), db);
  }
  sqlite3* db = nullptr;
};
#endif

}  // namespace

int main(int argc, char** argv) {
  bool quick = bench::QuickRun(argc, argv);
  int rowsCount = quick ? 2000 : 1000000;
  int seeks = quick ? 500 : 200000;
  // --rows N scales a run by hand (seeks follow at a fifth of the rows).
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--rows") {
      rowsCount = std::max(1, std::atoi(argv[i + 1]));
      seeks = std::max(1, rowsCount / 5);
    }
  std::vector<Row> rows = MakeRows(rowsCount);
  std::vector<std::string> probes;
  for (int i = 0; i < seeks; ++i)
    probes.push_back(rows[static_cast<std::size_t>((i * 7919) % rowsCount)].name);

  // (a) appends with a maintained index
  double memAppend = bench::MedianNs([&] { auto t = NewTable(); Fill(*t, rows); }, 3);
  double stdAppend = bench::MedianNs(
      [&] {
        StdTable s;
        for (const Row& r : rows) {
          s.rows.push_back(r);
          s.byName.emplace(r.name, s.rows.size() - 1);
        }
        bench::KeepAlive(s);
      },
      3);
#ifdef HAVE_SQLITE3
  double sqlAppend = bench::MedianNs(
      [&] {
        Sqlite q;
        q.Exec("CREATE INDEX byname ON t(name)");
        q.Insert(rows);
      },
      3);
  bench::Report("append with index, memtable/SQLite", memAppend, sqlAppend, "SQLite :memory:", rowsCount);
#endif
  bench::Report("append with index, memtable/std", memAppend, stdAppend, "vector+multimap", rowsCount);

  // (b) key searches
  auto table = NewTable();
  Fill(*table, rows);
  int found = 0;
  double memSeek = bench::MedianNs(
      [&] {
        found = 0;
        for (const std::string& p : probes) found += table->SeekKeyValues({Variant(p)}) ? 1 : 0;
      },
      3);
  if (found != seeks) std::fprintf(stderr, "memtable found %d of %d\n", found, seeks);
  StdTable s;
  for (const Row& r : rows) {
    s.rows.push_back(r);
    s.byName.emplace(r.name, s.rows.size() - 1);
  }
  double stdSeek = bench::MedianNs(
      [&] {
        std::size_t hits = 0;
        for (const std::string& p : probes) hits += s.byName.find(p) != s.byName.end();
        bench::KeepAlive(hits);
      },
      3);
#ifdef HAVE_SQLITE3
  {
    Sqlite q;
    q.Exec("CREATE INDEX byname ON t(name)");
    q.Insert(rows);
    sqlite3_stmt* st;
    bench::CheckSqlite(
        sqlite3_prepare_v2(q.db, "SELECT id FROM t WHERE name = ? LIMIT 1", -1, &st, nullptr), q.db);
    double sqlSeek = bench::MedianNs(
        [&] {
          for (const std::string& p : probes) {
            sqlite3_bind_text(st, 1, p.c_str(), static_cast<int>(p.size()), SQLITE_STATIC);
            bench::CheckSqlite(sqlite3_step(st), q.db);
            bench::CheckSqlite(sqlite3_reset(st), q.db);
          }
        },
        3);
    sqlite3_finalize(st);
    bench::Report("seek, memtable/SQLite", memSeek, sqlSeek, "SQLite :memory:", seeks);
  }
#endif
  bench::Report("seek, memtable/std", memSeek, stdSeek, "multimap::find", seeks);

  // (c) rebuild from scratch
  TmtIndex* index = table->Indexes().FindByName("BYNAME");
  double memRebuild = bench::MedianNs([&] { index->Rebuild(); }, 3);
  double stdRebuild = bench::MedianNs(
      [&] {
        std::vector<std::pair<std::string, std::size_t>> keys;
        keys.reserve(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) keys.emplace_back(rows[i].name, i);
        std::stable_sort(keys.begin(), keys.end());
        bench::KeepAlive(keys);
      },
      3);
#ifdef HAVE_SQLITE3
  {
    Sqlite q;
    q.Insert(rows);
    double sqlRebuild = bench::MedianNs(
        [&] {
          q.Exec("CREATE INDEX byname ON t(name)");
          q.Exec("DROP INDEX byname");
        },
        3);
    bench::Report("rebuild, memtable/SQLite", memRebuild, sqlRebuild, "SQLite CREATE INDEX", rowsCount);
  }
#endif
  bench::Report("rebuild, memtable/std", memRebuild, stdRebuild, "stable_sort", rowsCount);

  // (d) Locate: on NAME through the current index, on AMOUNT by a scan
  const int scans = std::max(1, seeks / 10);
  std::vector<double> amounts;
  for (int i = 0; i < scans; ++i) amounts.push_back(rows[static_cast<std::size_t>((i * 104729) % rowsCount)].amount);
  double memLocate = bench::MedianNs(
      [&] {
        for (const std::string& p : probes) bench::KeepAlive(table->Locate("NAME", Variant(p), {}));
      },
      3);
  bench::Report("Locate indexed, memtable/std", memLocate, stdSeek, "multimap::find", seeks);
  double memScan = bench::MedianNs(
      [&] {
        for (double a : amounts) bench::KeepAlive(table->Locate("AMOUNT", Variant(a), {}));
      },
      3);
  double stdScan = bench::MedianNs(
      [&] {
        for (double a : amounts)
          bench::KeepAlive(std::find_if(s.rows.begin(), s.rows.end(), [&](const Row& r) { return r.amount == a; }) -
                           s.rows.begin());
      },
      3);
  bench::Report("Locate scan, memtable/std", memScan, stdScan, "linear scan", scans);
#ifdef HAVE_SQLITE3
  {
    Sqlite q;
    q.Insert(rows);
    sqlite3_stmt* st;
    bench::CheckSqlite(sqlite3_prepare_v2(q.db, "SELECT id FROM t WHERE amount = ? LIMIT 1", -1, &st, nullptr),
                       q.db);
    double sqlScan = bench::MedianNs(
        [&] {
          for (double a : amounts) {
            sqlite3_bind_double(st, 1, a);
            bench::CheckSqlite(sqlite3_step(st), q.db);
            bench::CheckSqlite(sqlite3_reset(st), q.db);
          }
        },
        3);
    sqlite3_finalize(st);
    bench::Report("Locate scan, memtable/SQLite", memScan, sqlScan, "SQLite unindexed SELECT", scans);
  }
#endif

  // (e) save and load of the whole table, both formats
  const std::string base = "/tmp/memtable_bench_" + std::to_string(getpid());
  for (bool binary : {true, false}) {
    const std::string file = base + (binary ? ".bin" : ".csv");
    double memSaveLoad = bench::MedianNs(
        [&] {
          if (binary)
            table->SaveBinaryToFile(file, {mtfSaveData, mtfSaveDef});
          else
            table->SaveCsvToFile(file, {mtfSaveData, mtfSaveDef});
          auto loaded = NewTable();
          if (binary)
            loaded->LoadBinaryFromFile(file);
          else
            loaded->LoadCsvFromFile(file);
          bench::KeepAlive(loaded->RecordCount());
        },
        3);
    std::remove(file.c_str());
#ifdef HAVE_SQLITE3
    const std::string dbFile = base + ".db";
    double sqlSaveLoad = bench::MedianNs(
        [&] {
          std::remove(dbFile.c_str());
          sqlite3* db = nullptr;
          bench::CheckSqlite(sqlite3_open(dbFile.c_str(), &db), db);
          bench::CheckSqlite(sqlite3_exec(db, "CREATE TABLE t (id INTEGER, name TEXT, amount REAL, day INTEGER);"
                                              "BEGIN", nullptr, nullptr, nullptr), db);
          sqlite3_stmt* st;
          bench::CheckSqlite(sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &st, nullptr), db);
          for (const Row& r : rows) {
            sqlite3_bind_int(st, 1, r.id);
            sqlite3_bind_text(st, 2, r.name.c_str(), static_cast<int>(r.name.size()), SQLITE_STATIC);
            sqlite3_bind_double(st, 3, r.amount);
            sqlite3_bind_int(st, 4, r.day);
            bench::CheckSqlite(sqlite3_step(st), db);
            bench::CheckSqlite(sqlite3_reset(st), db);
          }
          sqlite3_finalize(st);
          bench::CheckSqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
          bench::CheckSqlite(sqlite3_prepare_v2(db, "SELECT * FROM t", -1, &st, nullptr), db);
          int read = 0;
          while (sqlite3_step(st) == SQLITE_ROW) ++read;
          sqlite3_finalize(st);
          sqlite3_close(db);
          bench::KeepAlive(read);
        },
        3);
    std::remove(dbFile.c_str());
    bench::Report(binary ? "binary save+load, memtable/SQLite" : "text save+load, memtable/SQLite", memSaveLoad,
                  sqlSaveLoad, "SQLite file, one transaction", rowsCount);
#else
    bench::KeepAlive(memSaveLoad);
#endif
  }
  return 0;
}
