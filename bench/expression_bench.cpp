// Expression evaluation per record against hand-written C++ computing the
// same results: an index key "DTOS(DATUM)+STR(CASTKA,10)+UPPER(JMENO)" (28
// bytes) and a filter "DATUM >= {1.1.2024} .AND. CASTKA > 100", over
// synthetic records of a date, an amount N(12,2) and a Czech name C(10).
// Every record's two results must agree, else the program exits with 1.
//
//   expression_bench           200 000 records
//   expression_bench --quick   2 000 records (what CTest runs)
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/engine.h"
#include "dbase/expr/expression.h"
#include "dbase/base/variant.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"

// The in-memory record link of the engine's test support library.
#include "dbase/testing/memorylink.h"

namespace {

struct Record {
  int32_t day;
  double amount;
  AnsiString name;  // CP1250, padded to 10
};

std::vector<Record> MakeRecords(std::size_t count) {
  static const char* const names[] = {"Novák", "Dvořák", "Černý", "Šťastný", "Řezníček", "Žižka",
                                      "Kůžel", "Ťukal", "Ďurana", "Nývlt", "Procházka", "Svoboda"};
  std::mt19937_64 rng(2026);
  const int32_t first = JulianDay(2020, 1, 1);
  std::vector<Record> records(count);
  for (Record& r : records) {
    r.day = first + static_cast<int32_t>(rng() % 2500);
    r.amount = static_cast<double>(static_cast<int64_t>(rng() % 200000001) - 100000000) / 100;
    r.name = Cz(names[rng() % std::size(names)]);
    r.name.resize(10, ' ');
  }
  return records;
}

// The key by hand: chrono for the date, llround and to_chars for the
// number (half away from zero, as STR), the CP1250 case table for the name.
void HandKey(const Record& r, char* key) {
  using namespace std::chrono;
  year_month_day ymd{sys_days{days{r.day - 2440588}}};  // Julian day 2440588 is 1.1.1970
  auto put = [&](int at, int width, int value) {
    for (int i = width - 1; i >= 0; --i, value /= 10) key[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, 4, static_cast<int>(ymd.year()));
  put(4, 2, static_cast<int>(static_cast<unsigned>(ymd.month())));
  put(6, 2, static_cast<int>(static_cast<unsigned>(ymd.day())));
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, std::llround(r.amount)).ptr;
  std::size_t n = static_cast<std::size_t>(end - digits);
  std::memset(key + 8, ' ', 10 - n);
  std::memcpy(key + 18 - n, digits, n);
  for (int i = 0; i < 10; ++i) key[18 + i] = static_cast<char>(AnsiUpperChar(ByteAt(r.name, i)));
}

bool HandFilter(const Record& r, int32_t from) { return r.day >= from && r.amount > 100; }

}  // namespace

int main(int argc, char** argv) {
  EngineStartup();
  RegisterBuiltinExpressions();
  const std::size_t count = bench::QuickRun(argc, argv) ? 2000 : 200000;
  const std::vector<Record> records = MakeRecords(count);

  TMemoryLink link;
  link.AddField("DATUM", 'D', 8);
  link.AddField("CASTKA", 'N', 12, 2);
  link.AddField("JMENO", 'C', 10);
  const int datum = link.FieldIndex("DATUM"), castka = link.FieldIndex("CASTKA"), jmeno = link.FieldIndex("JMENO");
  auto load = [&](const Record& r) {
    link.SetDate(datum, r.day);
    link.SetNumber(castka, r.amount);
    link.SetText(jmeno, r.name);
  };

  TxbExpHandler key(&link, false, "DTOS(DATUM)+STR(CASTKA,10)+UPPER(JMENO)");
  TxbExpHandler filter(&link, false, "DATUM >= {1.1.2024} .AND. CASTKA > 100");
  const int32_t from = JulianDay(2024, 1, 1);

  // Both computations must agree on every record before anything is timed.
  TxbVariant value;
  char hand[29] = {};
  for (std::size_t i = 0; i < count; ++i) {
    load(records[i]);
    key.EvaluateValue(value);
    HandKey(records[i], hand);
    if (value.AsText() != std::string_view(hand, 28)) {
      std::printf("record %zu: key \"%s\" by expression, \"%.28s\" by hand\n", i,
                  AnsiToUtf8(value.AsText()).c_str(), hand);
      return 1;
    }
    filter.EvaluateValue(value);
    if (value.AsLogical() != HandFilter(records[i], from)) {
      std::printf("record %zu: filter differs\n", i);
      return 1;
    }
  }

  double engine = bench::MedianNs([&] {
    for (const Record& r : records) {
      load(r);
      key.EvaluateValue(value);
      bench::KeepAlive(value);
    }
  });
  double baseline = bench::MedianNs([&] {
    for (const Record& r : records) {
      HandKey(r, hand);
      bench::KeepAlive(hand);
    }
  });
  bench::Report("index key DTOS+STR+UPPER per record", engine, baseline, "hand-written C++", static_cast<double>(count));

  engine = bench::MedianNs([&] {
    for (const Record& r : records) {
      load(r);
      filter.EvaluateValue(value);
      bench::KeepAlive(value);
    }
  });
  int matches = 0;
  baseline = bench::MedianNs([&] {
    for (const Record& r : records) matches += HandFilter(r, from);
    bench::KeepAlive(matches);
  });
  bench::Report("filter DATUM >= date .AND. CASTKA > 100 per record", engine, baseline, "hand-written C++",
                static_cast<double>(count));
  return 0;
}
