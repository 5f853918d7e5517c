// Shared helpers of the benchmark programs: size selection (--quick), timing
// as the median of five runs, the one output line per case:
//   "<case>: engine X ns/op, baseline (<name>) Y ns/op, ratio X/Y"
// and the end of a run whose SQLite baseline failed.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifdef HAVE_SQLITE3
#include <sqlite3.h>
#endif

namespace bench {

// A fresh scratch directory under $TMPDIR (else /tmp), with a trailing
// "/"; "" when it cannot be made.
inline std::string ScratchDirectory(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  return pattern + "/";
}

inline bool QuickRun(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quick") == 0) return true;
  return false;
}

// Median wall time in nanoseconds of five runs of fn.
inline double MedianNs(const std::function<void()>& fn, int runs = 5) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    fn();
    auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::nano>(end - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

inline void Report(const std::string& name, double engineNs, double baselineNs,
                   const std::string& baselineName, double operations) {
  double e = engineNs / operations;
  double b = baselineNs / operations;
  std::printf("%s: engine %.2f ns/op, baseline (%s) %.2f ns/op, ratio %.3f\n", name.c_str(), e,
              baselineName.c_str(), b, b > 0 ? e / b : 0.0);
  std::fflush(stdout);
}

// Keeps a value alive so the optimiser cannot drop the work that made it.
template <class T>
inline void KeepAlive(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

#ifdef HAVE_SQLITE3
// Ends the program with SQLite's message unless rc is a success code: a
// baseline that did not do its work would make every ratio meaningless.
inline void CheckSqlite(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}
#endif

}  // namespace bench
