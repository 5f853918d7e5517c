// Benchmark of the engine base: the three operations an index build or a
// table scan repeats millions of times, each against a plain standard-library
// version of the same work.
//   key comparison  TxbVariant::Compare through the collation weights
//                   vs std::lexicographical_compare with the same mapping
//   date text       JulianToDbfText + TextToJulian
//                   vs std::chrono::year_month_day with to_chars/from_chars
//   OEM translation AnsiToOemBytes vs std::transform through the same table
// Both sides must compute the same results; a difference ends the run with
// status 1.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "dbase/base/charset.h"
#include "dbase/base/dates.h"
#include "dbase/base/engine.h"
#include "dbase/base/os_layer.h"
#include "dbase/base/variant.h"

namespace {

constexpr int kKeyLength = 20;

bool Fail(const char* what) {
  std::fprintf(stderr, "engine_base_bench: %s: engine and baseline disagree\n", what);
  return false;
}

// Keys drawn from what Czech names look like in CP852: letters with and
// without accents, digits and blanks. Each pair shares a prefix of random
// length (0 to the whole key), so comparisons stop at every position.
std::vector<unsigned char> MakeKeyPairs(std::size_t pairs, std::mt19937_64& rng) {
  static const unsigned char kAlphabet[] = {
      'A', 'B', 'C', 'D', 'E', 'H', 'K', 'N', 'O', 'R', 'S', 'T', 'Z', 'a', 'c', 'e', 'h',
      'k', 'n', 'o', 'r', 's', 't', 'z', '0', '5', ' ', 0xB5, 0xA0, 0xAC, 0x9F, 0xB7, 0xD8,
      0xFC, 0xFD, 0xE6, 0xE7, 0xDE, 0x85, 0xA6, 0xA7, 0x82, 0xA1, 0xEC};
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kAlphabet - 1);
  std::uniform_int_distribution<int> prefix(0, kKeyLength);
  std::vector<unsigned char> bytes(pairs * 2 * kKeyLength);
  for (std::size_t p = 0; p < pairs; ++p) {
    unsigned char* a = &bytes[p * 2 * kKeyLength];
    unsigned char* b = a + kKeyLength;
    int shared = prefix(rng);
    for (int i = 0; i < kKeyLength; ++i) {
      a[i] = kAlphabet[letter(rng)];
      b[i] = i < shared ? a[i] : kAlphabet[letter(rng)];
    }
  }
  return bytes;
}

bool KeyComparison(std::size_t pairs, std::mt19937_64& rng) {
  std::vector<unsigned char> bytes = MakeKeyPairs(pairs, rng);
  std::vector<TxbVariant> keys;
  keys.reserve(pairs * 2);
  for (std::size_t k = 0; k < pairs * 2; ++k) {
    keys.emplace_back(kKeyLength);
    keys.back().SetText(
        std::string_view(reinterpret_cast<const char*>(&bytes[k * kKeyLength]), kKeyLength));
  }
  const unsigned char* weights = CollationWeights;

  std::vector<signed char> engine(pairs), baseline(pairs);
  auto runEngine = [&] {
    for (std::size_t p = 0; p < pairs; ++p)
      engine[p] = static_cast<signed char>(keys[2 * p].Compare(&keys[2 * p + 1], nullptr, weights));
    bench::KeepAlive(engine);
  };
  auto runBaseline = [&] {
    for (std::size_t p = 0; p < pairs; ++p) {
      const unsigned char* a = &bytes[2 * p * kKeyLength];
      const unsigned char* b = a + kKeyLength;
      auto less = [weights](unsigned char x, unsigned char y) { return weights[x] < weights[y]; };
      baseline[p] = std::lexicographical_compare(a, a + kKeyLength, b, b + kKeyLength, less)
                        ? -1
                        : (std::lexicographical_compare(b, b + kKeyLength, a, a + kKeyLength, less)
                               ? 1
                               : 0);
    }
    bench::KeepAlive(baseline);
  };
  double e = bench::MedianNs(runEngine);
  double b = bench::MedianNs(runBaseline);
  if (engine != baseline) return Fail("key comparison");
  bench::Report("key comparison", e, b, "std::lexicographical_compare", static_cast<double>(pairs));
  return true;
}

// The baseline round trip: day number -> "yyyymmdd" -> day number.
int32_t ChronoRoundTrip(int32_t jdn) {
  namespace chr = std::chrono;
  constexpr int32_t kUnixEpochJdn = 2440588;
  chr::year_month_day ymd{chr::sys_days{chr::days{jdn - kUnixEpochJdn}}};
  char text[8];
  auto put = [&text](int at, int width, unsigned value) {
    char digits[8];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    int n = static_cast<int>(end - digits);
    std::fill(text + at, text + at + width - n, '0');
    std::copy(digits, end, text + at + width - n);
  };
  put(0, 4, static_cast<unsigned>(int(ymd.year())));
  put(4, 2, unsigned(ymd.month()));
  put(6, 2, unsigned(ymd.day()));

  int y = 0;
  unsigned m = 0, d = 0;
  std::from_chars(text, text + 4, y);
  std::from_chars(text + 4, text + 6, m);
  std::from_chars(text + 6, text + 8, d);
  chr::year_month_day back{chr::year{y}, chr::month{m}, chr::day{d}};
  if (!back.ok()) return TxbDBFDate::kOffset;
  return static_cast<int32_t>(chr::sys_days{back}.time_since_epoch().count()) + kUnixEpochJdn;
}

bool DateText(std::size_t count, std::mt19937_64& rng) {
  std::uniform_int_distribution<int32_t> anyDay(TxbDBFDate::kFirstDay, TxbDBFDate::kLastDay);
  std::vector<int32_t> days(count);
  for (int32_t& day : days) day = anyDay(rng);
  const TxbDBFDate& dates = DbfDate();

  int64_t engineSum = 0, baselineSum = 0;
  auto runEngine = [&] {
    engineSum = 0;
    for (int32_t day : days) engineSum += dates.TextToJulian(dates.JulianToDbfText(day));
    bench::KeepAlive(engineSum);
  };
  auto runBaseline = [&] {
    baselineSum = 0;
    for (int32_t day : days) baselineSum += ChronoRoundTrip(day);
    bench::KeepAlive(baselineSum);
  };
  double e = bench::MedianNs(runEngine);
  double b = bench::MedianNs(runBaseline);
  int64_t expected = 0;
  for (int32_t day : days) expected += day;
  if (engineSum != baselineSum || engineSum != expected) return Fail("date text");
  bench::Report("date text", e, b, "std::chrono + to_chars/from_chars", static_cast<double>(count));
  return true;
}

bool OemTranslation(std::size_t size, std::mt19937_64& rng) {
  std::vector<char> source(size), engine(size), baseline(size);
  for (char& c : source) c = static_cast<char>(rng());
  auto runEngine = [&] {
    AnsiToOemBytes(source.data(), engine.data(), size);
    bench::KeepAlive(engine);
  };
  auto runBaseline = [&] {
    const unsigned char* table = AnsiToOemTable;
    std::transform(source.begin(), source.end(), baseline.begin(), [table](char c) {
      return static_cast<char>(table[static_cast<unsigned char>(c)]);
    });
    bench::KeepAlive(baseline);
  };
  double e = bench::MedianNs(runEngine);
  double b = bench::MedianNs(runBaseline);
  if (engine != baseline) return Fail("OEM translation");
  bench::Report("OEM translation", e, b, "std::transform", static_cast<double>(size));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  EngineStartup();
  const bool quick = bench::QuickRun(argc, argv);
  const std::size_t scale = quick ? 100 : 1;
  std::mt19937_64 rng(20261208);
  bool ok = KeyComparison(1000000 / scale, rng);
  ok = DateText(1000000 / scale, rng) && ok;
  ok = OemTranslation((std::size_t{64} << 20) / scale, rng) && ok;
  return ok ? 0 : 1;
}
