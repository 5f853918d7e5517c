// Seeking and scanning through an index tag with the table handler, against
// SQLite with an index on the same column. The table holds N records: a
// random, distinct C(10) key, an N(12,2) amount and a date; one CDX tag on
// the key. Cases, each for an exclusive and a shared open (shared opens
// also check the index file's change counter before every tag-led move):
//   N random SeekKey hits, reading the amount  vs SQLite: a prepared
//                                                 SELECT n FROM t WHERE k = ?
//   an ordered scan through the tag reading     vs SQLite:
//   key and amount                                SELECT k, n FROM t ORDER BY k
// The program checks with EXPLAIN QUERY PLAN that SQLite uses its index.
// --quick: N = 5000 and one run per case; otherwise N = 100000 (or
// --records=N) and the median of five runs.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "dbase/table/dbf_create.h"
#include "dbase/handler/table_handler.h"
#include "dbase/base/engine.h"

#ifdef HAVE_SQLITE3
#include <sqlite3.h>
#endif

namespace {

struct Row {
  std::string key;
  double amount;
  std::string day;
};

std::vector<Row> MakeRows(int n) {
  std::mt19937 random(12345);
  std::set<std::string> used;
  std::vector<Row> rows;
  while (static_cast<int>(rows.size()) < n) {
    std::string key;
    for (int i = 0; i < 10; ++i) key += static_cast<char>('A' + random() % 26);
    if (!used.insert(key).second) continue;
    char day[16];
    std::snprintf(day, sizeof day, "%04d%02d%02d", 2000 + static_cast<int>(random() % 25),
                  1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 28));
    rows.push_back({key, static_cast<double>(random() % 1000000) / 100.0, day});
  }
  return rows;
}

std::string g_dir;

void BuildTable(const std::vector<Row>& rows) {
  const std::string path = g_dir + "bench.dbf";
  CreateDbfTable(path, {{"K", 'C', 10, 0}, {"N", 'N', 12, 2}, {"D", 'D', 0, 0}});
  XBO_dBHandler t(path, false, true, "");
  for (const Row& r : rows) {
    t.BlankRecord();
    t.PutRawN(1, r.key);
    t.PutNumberN(2, r.amount);
    t.PutRawN(3, r.day);
    t.AppendRecord();
  }
  t.CreateIndexTag(g_dir + "bench.cdx", "K", 0, 1, "", "K");
}

void EngineSeeks(bool shared, const std::vector<std::string>& keys) {
  XBO_dBHandler t(g_dir + "bench.dbf", shared, false, "");
  t.OpenIndexFile("bench.cdx");
  t.SelectTag("K", false);
  t.SetExactMatch(true);
  double sum = 0;
  int missed = 0;
  for (const std::string& k : keys) {
    if (!t.SeekKey(k)) ++missed;
    sum += t.GetNumberN(2);
  }
  if (missed) std::fprintf(stderr, "engine: %d seeks missed\n", missed);
  bench::KeepAlive(sum);
}

void EngineScan(bool shared) {
  XBO_dBHandler t(g_dir + "bench.dbf", shared, false, "");
  t.OpenIndexFile("bench.cdx");
  t.SelectTag("K", false);
  double sum = 0;
  std::size_t bytes = 0;
  for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext)) {
    bytes += t.GetTextN(1).size();
    sum += t.GetNumberN(2);
  }
  bench::KeepAlive(sum);
  bench::KeepAlive(bytes);
}

#ifdef HAVE_SQLITE3
sqlite3* OpenSqlite() {
  sqlite3* db = nullptr;
  bench::CheckSqlite(sqlite3_open((g_dir + "bench.db").c_str(), &db), db);
  return db;
}

void BuildSqlite(const std::vector<Row>& rows) {
  sqlite3* db = OpenSqlite();
  bench::CheckSqlite(sqlite3_exec(db, "CREATE TABLE t(k TEXT, n REAL, d TEXT)", nullptr, nullptr, nullptr),
                     db);
  sqlite3_stmt* insert = nullptr;
  bench::CheckSqlite(sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?)", -1, &insert, nullptr), db);
  bench::CheckSqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  for (const Row& r : rows) {
    sqlite3_bind_text(insert, 1, r.key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 2, r.amount);
    sqlite3_bind_text(insert, 3, r.day.c_str(), -1, SQLITE_TRANSIENT);
    bench::CheckSqlite(sqlite3_step(insert), db);
    sqlite3_reset(insert);
  }
  bench::CheckSqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  sqlite3_finalize(insert);
  bench::CheckSqlite(sqlite3_exec(db, "CREATE INDEX tk ON t(k)", nullptr, nullptr, nullptr), db);
  sqlite3_close(db);
}

// True when SQLite's plan for the statement names the index.
bool UsesIndex(sqlite3* db, const char* sql) {
  sqlite3_stmt* plan = nullptr;
  std::string explain = std::string("EXPLAIN QUERY PLAN ") + sql;
  bench::CheckSqlite(sqlite3_prepare_v2(db, explain.c_str(), -1, &plan, nullptr), db);
  bool uses = false;
  while (sqlite3_step(plan) == SQLITE_ROW) {
    const char* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
    if (detail && std::strstr(detail, "INDEX tk")) uses = true;
  }
  sqlite3_finalize(plan);
  return uses;
}

void SqliteSeeks(const std::vector<std::string>& keys) {
  sqlite3* db = OpenSqlite();
  sqlite3_stmt* select = nullptr;
  bench::CheckSqlite(sqlite3_prepare_v2(db, "SELECT n FROM t WHERE k = ?", -1, &select, nullptr), db);
  double sum = 0;
  for (const std::string& k : keys) {
    sqlite3_bind_text(select, 1, k.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(select) == SQLITE_ROW) sum += sqlite3_column_double(select, 0);
    sqlite3_reset(select);
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  bench::KeepAlive(sum);
}

void SqliteScan() {
  sqlite3* db = OpenSqlite();
  sqlite3_stmt* select = nullptr;
  bench::CheckSqlite(sqlite3_prepare_v2(db, "SELECT k, n FROM t ORDER BY k", -1, &select, nullptr), db);
  double sum = 0;
  std::size_t bytes = 0;
  while (sqlite3_step(select) == SQLITE_ROW) {
    bytes += static_cast<std::size_t>(sqlite3_column_bytes(select, 0));
    sum += sqlite3_column_double(select, 1);
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  bench::KeepAlive(sum);
  bench::KeepAlive(bytes);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  int records = 100000;
  int runs = 5;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--records=", 10) == 0) records = std::max(1, std::atoi(argv[i] + 10));
  if (bench::QuickRun(argc, argv)) {
    records = 5000;
    runs = 1;
  }
  EngineStartup();
  g_dir = bench::ScratchDirectory("handler-bench");
  if (g_dir.empty()) return 1;

  const std::vector<Row> rows = MakeRows(records);
  std::vector<std::string> keys;
  for (const Row& r : rows) keys.push_back(r.key);
  std::shuffle(keys.begin(), keys.end(), std::mt19937(99));
  BuildTable(rows);
  std::printf("handler_seek_scan: %d records, one CDX tag on a C(10) key, median of %d run(s)\n", records, runs);

#ifdef HAVE_SQLITE3
  BuildSqlite(rows);
  {
    sqlite3* db = OpenSqlite();
    const bool seekPlan = UsesIndex(db, "SELECT n FROM t WHERE k = 'A'");
    const bool scanPlan = UsesIndex(db, "SELECT k, n FROM t ORDER BY k");
    sqlite3_close(db);
    if (!seekPlan || !scanPlan) {
      std::fprintf(stderr, "sqlite does not use its index (seek %d, scan %d)\n", seekPlan, scanPlan);
      return 1;
    }
  }
  const double sqliteSeeks = bench::MedianNs([&] { SqliteSeeks(keys); }, runs);
  const double sqliteScan = bench::MedianNs([&] { SqliteScan(); }, runs);
#endif
  for (bool shared : {false, true}) {
    const std::string open = shared ? "shared" : "exclusive";
    const double seeks = bench::MedianNs([&] { EngineSeeks(shared, keys); }, runs);
    const double scan = bench::MedianNs([&] { EngineScan(shared); }, runs);
    const std::string seekName = std::to_string(records) + " random seeks, " + open;
    const std::string scanName = "ordered scan of " + std::to_string(records) + ", " + open;
#ifdef HAVE_SQLITE3
    bench::Report(seekName, seeks, sqliteSeeks, "SQLite, prepared SELECT by key", records);
    bench::Report(scanName, scan, sqliteScan, "SQLite, SELECT ORDER BY key", records);
#else
    std::printf("%s: engine %.2f ns/op, baseline (SQLite) not built\n", seekName.c_str(), seeks / records);
    std::printf("%s: engine %.2f ns/op, baseline (SQLite) not built\n", scanName.c_str(), scan / records);
#endif
  }
  std::filesystem::remove_all(g_dir);
  return 0;
}
