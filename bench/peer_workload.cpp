// A fixed journal-like workload whose phases other xBase programs can run
// the same way, so that their times compare with ours line by line.
//
// A table bench.dbf (ID N(10), NAME C(30), AMOUNT N(12,2), DAT D, NOTE
// C(57)) with three tags ID, NAME and DAT made on the empty table (one
// production CDX, or with --ntx three NTX files). Values come from the
// generator seed := seed * 16807 mod 2147483647, Rnd(n) = seed mod n, seed
// 12345 at the start of each size. Phases, each timed:
//   append  N records (IDs a Fisher-Yates shuffle of 1..N from the top),
//           then close (every page written); --shared: a shared open, each
//           append under its own locks
//   reindex all tags (exclusive)
//   seek    N exact seeks of Rnd(N)+1 on ID (every one must be found)
//   soft    N soft seeks of a fresh random name on NAME
//   build   the index files deleted, the three tags built from scratch
//           (exclusive), beside std::sort of the same (key, record) pairs
// Every tag's key count and order are verified after the append, the
// reindex and the build, so that no phase can be fast by doing less.
// --n 10000,100000,1000000 picks the sizes (default 100000; --quick 10000).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_harness.h"
#include "dbase/base/charset.h"
#include "dbase/base/engine.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/handler/table_handler.h"
#include "dbase/index/index_core.h"
#include "dbase/table/dbf_create.h"

namespace {

class Rng {
 public:
  explicit Rng(int64_t seed) : seed_(seed) {}
  int64_t operator()(int64_t n) {
    seed_ = seed_ * 16807 % 2147483647;
    return seed_ % n;
  }

 private:
  int64_t seed_;
};

const char* const kNames[] = {"NOVAK",  "DVORAK",   "CERNY",   "CERMAK", "SIMEK",  "REZNICEK",
                              "ZIZKA",  "CHALUPA",  "HLAVACEK", "CIBULKA", "ADAMEK", "UHER"};
constexpr int32_t kFirstDay = 2458850;  // 1 January 2020

std::string RandomName(Rng& rnd) {
  std::string name = kNames[rnd(12)];
  char digits[8];
  std::snprintf(digits, sizeof digits, " %05d", static_cast<int>(rnd(100000)));
  return name + digits;
}

double Ms(const std::function<void()>& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "peer_workload: %s\n", what.c_str());
  std::exit(1);
}

struct Options {
  std::vector<int> sizes;
  bool shared = false;
  bool ntx = false;
  int runs = 1;
};

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--shared") == 0) o.shared = true;
    else if (std::strcmp(argv[i], "--ntx") == 0) o.ntx = true;
    else if (std::strcmp(argv[i], "--quick") == 0) o.sizes = {10000};
    else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) o.runs = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--n") == 0 && i + 1 < argc) {
      o.sizes.clear();
      std::string list = argv[++i];
      std::size_t start = 0;
      while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        int n = std::atoi(list.substr(start, comma - start).c_str());
        if (n <= 0) Fail("--n takes positive sizes separated by commas");
        o.sizes.push_back(n);
        start = comma + 1;
      }
    } else {
      Fail(std::string("unknown argument ") + argv[i] +
           "; usage: peer_workload [--quick] [--n N,N...] [--runs R] [--shared] [--ntx]");
    }
  }
  if (o.sizes.empty()) o.sizes = {100000};
  return o;
}

struct Workload {
  std::string dir;
  bool ntx = false;
  const char* tags[3] = {"ID", "NAME", "DAT"};

  std::string Table() const { return dir + "bench.dbf"; }
  // The index file of tag i (all three share the CDX).
  std::string IndexFile(int i) const {
    if (!ntx) return dir + "bench.cdx";
    return dir + std::string(tags[i]) + ".ntx";
  }
  void RemoveIndexes() const {
    for (int i = 0; i < 3; ++i) std::filesystem::remove(IndexFile(i));
  }
  void CreateTags(XBO_dBHandler& table) const {
    for (int i = 0; i < 3; ++i) table.CreateIndexTag(IndexFile(i), tags[i], 0, 1, "", tags[i]);
  }
  std::unique_ptr<XBO_dBHandler> Open(bool shared) const {
    auto table = std::make_unique<XBO_dBHandler>(Table(), shared, true, "");
    for (int i = 0; i < (ntx ? 3 : 1); ++i) table->OpenIndexFile(IndexFile(i));
    return table;
  }
  int64_t Bytes() const {
    int64_t total = 0;
    for (int i = 0; i < (ntx ? 3 : 1); ++i) total += static_cast<int64_t>(std::filesystem::file_size(IndexFile(i)));
    return total;
  }
};

// Walks every tag: n keys each, in ascending order.
void VerifyTags(XBO_dBHandler& table, int n, const char* phase) {
  for (int t = 1; t <= table.TagCount(); ++t) {
    XBobjIndexTag* tag = table.TagByNumber(t);
    XBobjIndexKeyData previous;
    int count = 0;
    for (int32_t r = tag->MoveTo(xbmoFirst); r > 0; r = tag->MoveTo(xbmoNext)) {
      const XBobjIndexKeyData& key = tag->CurrentKey();
      if (count > 0 && previous.Compare(&key, nullptr, CollationWeights, kIndexCompareExact) > 0)
        Fail(std::string(phase) + ": tag " + tag->TagName().c_str() + " out of order at key " +
             std::to_string(count));
      previous.AssignEntry(key);
      ++count;
    }
    if (count != n)
      Fail(std::string(phase) + ": tag " + tag->TagName().c_str() + " holds " + std::to_string(count) +
           " keys, not " + std::to_string(n));
  }
}

struct Times {
  double append = 0, reindex = 0, seek = 0, soft = 0, build = 0, sort = 0;
  int64_t dbfBytes = 0, indexBytes = 0;
  int softFound = 0;
};

Times RunSize(const Workload& w, int n, bool shared) {
  Times times;
  std::filesystem::remove(w.Table());
  w.RemoveIndexes();
  CreateDbfTable(w.Table(), {{"ID", 'N', 10, 0},
                             {"NAME", 'C', 30, 0},
                             {"AMOUNT", 'N', 12, 2},
                             {"DAT", 'D', 8, 0},
                             {"NOTE", 'C', 57, 0}});
  {
    XBO_dBHandler table(w.Table(), false, true, "");
    w.CreateTags(table);
  }
  Rng rnd(12345);
  std::vector<int32_t> ids(static_cast<std::size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) ids[i] = i;
  for (int i = n; i >= 2; --i) std::swap(ids[i], ids[rnd(i) + 1]);

  times.append = Ms([&] {
    auto table = w.Open(shared);
    for (int i = 1; i <= n; ++i) {
      table->BlankRecord();
      table->PutNumberN(1, ids[i]);
      table->PutTextN(2, RandomName(rnd));
      table->PutNumberN(3, static_cast<double>(rnd(2000000) - 1000000) / 100.0);
      table->PutDateN(4, kFirstDay + static_cast<int32_t>(rnd(2000)));
      table->PutTextN(5, "note " + std::to_string(i));
      table->AppendRecord();
    }
    table->Close();
    table.reset();
  });
  {
    auto table = w.Open(false);
    VerifyTags(*table, n, "append");
  }

  times.reindex = Ms([&] {
    auto table = w.Open(false);
    for (int s = 1; s <= table->IndexFileCount(); ++s) table->IndexFile(s)->Reindex();
    table->Close();
    table.reset();
  });
  {
    auto table = w.Open(false);
    VerifyTags(*table, n, "reindex");
  }

  {
    auto table = w.Open(shared);
    table->SelectTag("ID", false);
    table->SetExactMatch(true);
    int found = 0;
    times.seek = Ms([&] {
      for (int i = 0; i < n; ++i)
        if (table->SeekKey(AnsiString(std::to_string(rnd(n) + 1)))) ++found;
    });
    if (found != n) Fail("only " + std::to_string(found) + " of " + std::to_string(n) + " IDs found");
    table->SelectTag("NAME", false);
    table->SetExactMatch(false);
    table->SetNear(true);
    times.soft = Ms([&] {
      for (int i = 0; i < n; ++i)
        if (table->SeekKey(AnsiString(RandomName(rnd)))) ++times.softFound;
    });
  }

  w.RemoveIndexes();
  times.build = Ms([&] {
    XBO_dBHandler table(w.Table(), false, true, "");
    w.CreateTags(table);
  });
  {
    auto table = w.Open(false);
    VerifyTags(*table, n, "build");
  }
  times.dbfBytes = static_cast<int64_t>(std::filesystem::file_size(w.Table()));
  times.indexBytes = w.Bytes();

  // The same (key, record number) pairs sorted by std::sort; reading them
  // is not timed.
  std::vector<std::pair<int32_t, int32_t>> idPairs, datPairs;
  std::vector<std::pair<std::array<char, 30>, int32_t>> namePairs;
  {
    XBO_dBaseFld table(w.Table(), false, false, "");
    for (int32_t r = 1; r <= table.RecordCount(); ++r) {
      table.GoRecord(r);
      idPairs.emplace_back(static_cast<int32_t>(table.GetNumberN(1)), r);
      std::array<char, 30> name{};
      std::string text = table.GetTextN(2).c_str();
      std::memcpy(name.data(), text.data(), std::min<std::size_t>(30, text.size()));
      namePairs.emplace_back(name, r);
      datPairs.emplace_back(table.GetDateN(4), r);
    }
  }
  times.sort = Ms([&] {
    std::sort(idPairs.begin(), idPairs.end());
    std::sort(namePairs.begin(), namePairs.end());
    std::sort(datPairs.begin(), datPairs.end());
  });
  bench::KeepAlive(idPairs);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  EngineStartup();
  RegisterBuiltinExpressions();
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/peer-workload-XXXXXX";
  if (!mkdtemp(pattern.data())) Fail("no temporary directory");
  Workload w;
  w.dir = pattern + "/";
  w.ntx = options.ntx;
  std::printf("peer_workload: %s, %s\n", options.ntx ? "3 NTX" : "CDX", options.shared ? "shared" : "exclusive");
  for (int n : options.sizes) {
    std::vector<Times> runs;
    for (int r = 0; r < options.runs; ++r) runs.push_back(RunSize(w, n, options.shared));
    // Minimum and median of each phase over the runs.
    auto phase = [&](double Times::*field) {
      std::vector<double> v;
      for (const Times& t : runs) v.push_back(t.*field);
      std::sort(v.begin(), v.end());
      return std::make_pair(v.front(), v[v.size() / 2]);
    };
    auto [appendMin, append] = phase(&Times::append);
    auto [reindexMin, reindex] = phase(&Times::reindex);
    auto [seekMin, seek] = phase(&Times::seek);
    auto [softMin, soft] = phase(&Times::soft);
    auto [buildMin, build] = phase(&Times::build);
    auto [sortMin, sort] = phase(&Times::sort);
    const Times& t = runs.front();
    std::printf(
        "N=%d (median/min of %d): append %.0f/%.0f ms, reindex %.1f/%.1f ms, seek %.1f/%.1f ms, "
        "soft seek %.1f/%.1f ms (%d found), build %.1f/%.1f ms, std::sort %.1f/%.1f ms (build/sort %.2f), "
        "dbf %lld bytes, index %lld bytes\n",
        n, options.runs, append, appendMin, reindex, reindexMin, seek, seekMin, soft, softMin, t.softFound, build,
        buildMin, sort, sortMin, sort > 0 ? build / sort : 0.0, static_cast<long long>(t.dbfBytes),
        static_cast<long long>(t.indexBytes));
    std::fflush(stdout);
  }
  std::filesystem::remove_all(w.dir);
  return 0;
}
