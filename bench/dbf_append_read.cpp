// Appending and reading DBF records through the table engine, against
// SQLite (one table with the same columns) and shapelib's DBF writer and
// reader. Cases:
//   append N records, auto-flush off   vs SQLite, all inserts in one transaction;
//                                         vs shapelib
//   append min(N, 5000), auto-flush on vs SQLite, one commit per row
//   read all N with typed getters      vs SQLite SELECT of every column;
//                                         vs shapelib
// The table is shared, under the Default lock protocol, without indexes.
// --memo adds a memo field (SQLite: a TEXT column; shapelib has no memos).
// --quick: N = 2000 (200 flushed appends) and one run per case (CTest keeps
// the program working);
// otherwise N = 100000 (or --records=N) and the median of five runs.
//
// The baselines are compiled in when the build defines HAVE_SQLITE3 and
// HAVE_SHAPELIB (and links the libraries); otherwise their lines say
// that the baseline is not built.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_harness.h"
#include "dbase/table/dbf_create.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/base/engine.h"

#ifdef HAVE_SQLITE3
#include <sqlite3.h>
#endif
#ifdef HAVE_SHAPELIB
#include <shapefil.h>
#endif

namespace {

struct Options {
  int records = 100000;
  bool memo = false;
  bool quick = false;
  int runs = 5;
};

struct Row {
  std::string name;
  double amount;
  std::string day;  // yyyymmdd
  bool paid;
  std::string note;
};

Row MakeRow(int i, bool memo) {
  Row r;
  r.name = "Customer " + std::to_string(i % 9973);
  r.amount = (i % 20011) * 1.25 - 5000;
  char day[16];
  std::snprintf(day, sizeof day, "%04d%02d%02d", 2000 + i % 25, 1 + i % 12, 1 + i % 28);
  r.day = day;
  r.paid = i % 3 == 0;
  if (memo) r.note = std::string(static_cast<std::size_t>(40 + i % 200), static_cast<char>('a' + i % 26));
  return r;
}

std::string g_dir;

std::string TablePath(const char* name) { return g_dir + name; }

void RemoveFiles(const std::string& base) {
  for (const char* ext : {".dbf", ".DBF", ".dbt", ".db", ".db-journal"}) std::filesystem::remove(base + ext);
}

// --- Engine

void EngineAppend(const Options& o, int count, bool autoFlush) {
  const std::string base = TablePath("engine");
  RemoveFiles(base);
  TxbCreateOptions create;
  create.version = o.memo ? 0x83 : 0x03;
  std::vector<TxbFieldSpec> fields = {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"DAY", 'D', 0, 0},
                                      {"PAID", 'L', 0, 0}};
  if (o.memo) fields.push_back({"NOTE", 'M', 0, 0});
  CreateDbfTable(base + ".dbf", fields, create);
  XBO_dBaseFld t(base + ".dbf", true, true, "");
  t.SetLockProtocol(TxbLokProtocol::Default);
  t.SetAutoFlush(autoFlush);
  for (int i = 0; i < count; ++i) {
    const Row r = MakeRow(i, o.memo);
    t.BlankRecord();
    t.PutTextN(1, r.name);
    t.PutNumberN(2, r.amount);
    t.PutRawN(3, r.day);
    t.PutLogicalN(4, r.paid);
    if (o.memo) t.PutMemo(5, r.note.data(), static_cast<int64_t>(r.note.size()));
    t.AppendRecord();
  }
}

void EngineRead(const Options& o) {
  XBO_dBaseFld t(TablePath("engine") + ".dbf", true, false, "");
  double sum = 0;
  std::size_t bytes = 0;
  for (t.GoRecord(xbmoFirst); !t.Eof(); t.GoRecord(xbmoNext)) {
    bytes += t.GetTextN(1).size();
    sum += t.GetNumberN(2);
    sum += t.GetDateN(3);
    sum += t.GetLogicalN(4) ? 1 : 0;
    if (o.memo) bytes += t.GetMemoText(5).size();
  }
  bench::KeepAlive(sum);
  bench::KeepAlive(bytes);
}

// --- SQLite

#ifdef HAVE_SQLITE3
void SqliteAppend(const Options& o, int count, bool commitEachRow) {
  const std::string base = TablePath("sqlite");
  RemoveFiles(base);
  sqlite3* db = nullptr;
  bench::CheckSqlite(sqlite3_open((base + ".db").c_str(), &db), db);
  bench::CheckSqlite(sqlite3_exec(db,
                     o.memo ? "CREATE TABLE t(name TEXT, amount REAL, day TEXT, paid INTEGER, note TEXT)"
                            : "CREATE TABLE t(name TEXT, amount REAL, day TEXT, paid INTEGER)",
                     nullptr, nullptr, nullptr),
        db);
  sqlite3_stmt* insert = nullptr;
  const char* sql = o.memo ? "INSERT INTO t VALUES(?,?,?,?,?)" : "INSERT INTO t VALUES(?,?,?,?)";
  bench::CheckSqlite(sqlite3_prepare_v2(db, sql, -1, &insert, nullptr), db);
  if (!commitEachRow) bench::CheckSqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  for (int i = 0; i < count; ++i) {
    const Row r = MakeRow(i, o.memo);
    sqlite3_bind_text(insert, 1, r.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 2, r.amount);
    sqlite3_bind_text(insert, 3, r.day.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 4, r.paid ? 1 : 0);
    if (o.memo) sqlite3_bind_text(insert, 5, r.note.c_str(), -1, SQLITE_TRANSIENT);
    bench::CheckSqlite(sqlite3_step(insert), db);
    sqlite3_reset(insert);
  }
  if (!commitEachRow) bench::CheckSqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

void SqliteRead(const Options& o) {
  sqlite3* db = nullptr;
  bench::CheckSqlite(sqlite3_open((TablePath("sqlite") + ".db").c_str(), &db), db);
  sqlite3_stmt* select = nullptr;
  bench::CheckSqlite(sqlite3_prepare_v2(db, "SELECT * FROM t", -1, &select, nullptr), db);
  double sum = 0;
  std::size_t bytes = 0;
  while (sqlite3_step(select) == SQLITE_ROW) {
    bytes += static_cast<std::size_t>(sqlite3_column_bytes(select, 0));
    sum += sqlite3_column_double(select, 1);
    bytes += std::strlen(reinterpret_cast<const char*>(sqlite3_column_text(select, 2)));
    sum += sqlite3_column_int(select, 3);
    if (o.memo) bytes += static_cast<std::size_t>(sqlite3_column_bytes(select, 4));
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  bench::KeepAlive(sum);
  bench::KeepAlive(bytes);
}
#endif

// --- shapelib

#ifdef HAVE_SHAPELIB
void ShapelibAppend(int count) {
  const std::string base = TablePath("shapelib");
  RemoveFiles(base);
  DBFHandle h = DBFCreate((base + ".dbf").c_str());
  DBFAddField(h, "NAME", FTString, 20, 0);
  DBFAddField(h, "AMOUNT", FTDouble, 12, 2);
  DBFAddField(h, "DAY", FTDate, 8, 0);
  DBFAddField(h, "PAID", FTLogical, 1, 0);
  for (int i = 0; i < count; ++i) {
    const Row r = MakeRow(i, false);
    DBFWriteStringAttribute(h, i, 0, r.name.c_str());
    DBFWriteDoubleAttribute(h, i, 1, r.amount);
    DBFWriteStringAttribute(h, i, 2, r.day.c_str());
    DBFWriteLogicalAttribute(h, i, 3, r.paid ? 'T' : 'F');
  }
  DBFClose(h);
}

void ShapelibRead() {
  DBFHandle h = DBFOpen((TablePath("shapelib") + ".dbf").c_str(), "rb");
  double sum = 0;
  std::size_t bytes = 0;
  const int count = DBFGetRecordCount(h);
  for (int i = 0; i < count; ++i) {
    bytes += std::strlen(DBFReadStringAttribute(h, i, 0));
    sum += DBFReadDoubleAttribute(h, i, 1);
    bytes += std::strlen(DBFReadStringAttribute(h, i, 2));
    sum += *DBFReadLogicalAttribute(h, i, 3) == 'T' ? 1 : 0;
  }
  DBFClose(h);
  bench::KeepAlive(sum);
  bench::KeepAlive(bytes);
}
#endif

[[maybe_unused]] void NotBuilt(const std::string& name, const char* baseline, double engineNs, double operations) {
  std::printf("%s: engine %.2f ns/op, baseline (%s) not built\n", name.c_str(), engineNs / operations, baseline);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--memo") == 0) o.memo = true;
    if (std::strncmp(argv[i], "--records=", 10) == 0) o.records = std::atoi(argv[i] + 10);
  }
  o.quick = bench::QuickRun(argc, argv);
  if (o.quick) {
    o.records = 2000;
    o.runs = 1;
  }
  if (o.records < 1) o.records = 1;
  EngineStartup();
  g_dir = bench::ScratchDirectory("dbf-bench");
  if (g_dir.empty()) return 1;

  const int n = o.records;
  // Every flushed append waits for the disk; the quick run keeps it short.
  const int flushed = o.quick ? 200 : std::min(n, 5000);
  const std::string suffix = o.memo ? " with memo" : "";
  std::printf("dbf_append_read: %d records%s, %d flushed appends, median of %d run(s)\n", n, suffix.c_str(),
              flushed, o.runs);

  const double engineAppend = bench::MedianNs([&] { EngineAppend(o, n, false); }, o.runs);
  const double engineRead = bench::MedianNs([&] { EngineRead(o); }, o.runs);
  const double engineFlushed = bench::MedianNs([&] { EngineAppend(o, flushed, true); }, o.runs);

  const std::string append = "append " + std::to_string(n) + suffix + ", auto-flush off";
  const std::string read = "read " + std::to_string(n) + suffix + " with typed getters";
  const std::string flushedName = "append " + std::to_string(flushed) + suffix + ", auto-flush on";
#ifdef HAVE_SQLITE3
  bench::Report(append, engineAppend, bench::MedianNs([&] { SqliteAppend(o, n, false); }, o.runs),
                "SQLite, one transaction", n);
  bench::Report(read, engineRead, bench::MedianNs([&] { SqliteRead(o); }, o.runs), "SQLite, SELECT *", n);
  bench::Report(flushedName, engineFlushed, bench::MedianNs([&] { SqliteAppend(o, flushed, true); }, o.runs),
                "SQLite, commit per row", flushed);
#else
  NotBuilt(append, "SQLite", engineAppend, n);
  NotBuilt(read, "SQLite", engineRead, n);
  NotBuilt(flushedName, "SQLite", engineFlushed, flushed);
#endif
  if (!o.memo) {
#ifdef HAVE_SHAPELIB
    bench::Report(append, engineAppend, bench::MedianNs([&] { ShapelibAppend(n); }, o.runs), "shapelib DBF", n);
    bench::Report(read, engineRead, bench::MedianNs([&] { ShapelibRead(); }, o.runs), "shapelib DBF", n);
#else
    NotBuilt(append, "shapelib", engineAppend, n);
    NotBuilt(read, "shapelib", engineRead, n);
#endif
  }
  std::filesystem::remove_all(g_dir);
  return 0;
}
