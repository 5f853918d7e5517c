// Comparison of values and records: every type's order, partial keys,
// ordinal and locale texts, null handling, descending fields and the
// table's own comparison event.
#include <gtest/gtest.h>

#include <unicode/ucol.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "memtable/mem_table.h"
#include "memtable/mem_table_errors.h"
#include "memtable/record_compare.h"
#include "memtable/tests/memtable_test_support.h"
#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"

namespace {

template <class T>
std::string Raw(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(RecordCompare, ValuesOrderByType) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  TBcd bad;  // precision 0: unreadable
  struct Case {
    TFieldType type;
    std::string a, b;
    TmtMemTableCompareOptions options;
    int expected;
  } cases[] = {
      {ftSmallint, Raw<int16_t>(-1), Raw<int16_t>(1), 0, -1},
      {ftWord, Raw<uint16_t>(65535), Raw<uint16_t>(1), 0, 1},  // unsigned
      {ftInteger, Raw<int32_t>(-5), Raw<int32_t>(3), 0, -1},
      {ftAutoInc, Raw<int32_t>(7), Raw<int32_t>(7), 0, 0},
      {ftLargeint, Raw<int64_t>(1), Raw<int64_t>(4294967296LL), 0, -1},
      {ftLargeint, Raw<int64_t>(9007199254740993LL), Raw<int64_t>(9007199254740992LL), 0, 1},
      {ftDate, Raw<int32_t>(100), Raw<int32_t>(693594), 0, -1},  // long before 1900
      {ftTime, Raw<int32_t>(1000), Raw<int32_t>(999), 0, 1},
      {ftFloat, Raw(-0.5), Raw(0.25), 0, -1},
      {ftFloat, Raw(nan), Raw(1e300), 0, 1},  // NaN after every number
      {ftFloat, Raw(nan), Raw(nan), 0, 0},
      {ftCurrency, Raw(2.0), Raw(2.0), 0, 0},
      {ftDateTime, Raw(2.0), Raw(1.0), mtcoDescending, -1},
      {ftBoolean, Raw<int16_t>(0), Raw<int16_t>(1), 0, -1},  // true after false
      {ftBoolean, Raw<int16_t>(5), Raw<int16_t>(1), 0, 0},
      {ftBCD, Raw(CurrencyToBcd(Currency{-10000})), Raw(CurrencyToBcd(Currency{5})), 0, -1},
      {ftBCD, Raw(bad), Raw(CurrencyToBcd(Currency{5})), 0, 1},
      {ftBCD, Raw(bad), Raw(bad), 0, 0},
      {ftBlob, "x", "y", 0, 0},  // types without an order are equal
      {ftString, "abc", "abd", mtcoIgnoreLocale, -1},
      {ftString, "abc", "ABC", mtcoIgnoreLocale, 1},  // ordinal: lower case after
      {ftString, "abc", "ABC", mtcoIgnoreLocale | mtcoCaseInsensitive, 0},
      {ftString, "\xE8", "\xC8", mtcoIgnoreLocale | mtcoCaseInsensitive, 1},  // only a-z fold
      {ftString, "ab", "abc", mtcoIgnoreLocale, -1},
      {ftString, "b", "a", mtcoIgnoreLocale | mtcoDescending, -1},
  };
  for (const Case& c : cases) {
    bool full = false;
    int r = CompareFieldValues(c.a.data(), static_cast<int>(c.a.size()), c.b.data(),
                               static_cast<int>(c.b.size()), c.type, c.options, 1024, full);
    EXPECT_EQ(Sign(r), c.expected) << FieldTypeName(c.type) << " case " << &c - cases;
    EXPECT_TRUE(full);
  }
}

TEST(RecordCompare, PartialKeysCutOnlyTheStoredText) {
  struct Case {
    const char* key;
    const char* stored;
    int expected;
    bool full;
  } cases[] = {
      {"AB", "ABC", 0, false},  // the stored text is cut to the key
      {"ABC", "AB", 1, true},   // a shorter stored text is not extended
      {"AB", "AB", 0, true},
      {"AC", "ABC", 1, false},
  };
  for (const Case& c : cases) {
    for (TmtMemTableCompareOptions extra : {0, static_cast<int>(mtcoIgnoreLocale)}) {
      bool full = true;
      int r = CompareFieldValues(c.key, static_cast<int>(std::strlen(c.key)), c.stored,
                                 static_cast<int>(std::strlen(c.stored)), ftString,
                                 static_cast<TmtMemTableCompareOptions>(mtcoPartialKey | extra),
                                 1024, full);
      EXPECT_EQ(Sign(r), c.expected) << c.key << " vs " << c.stored;
      EXPECT_EQ(full, c.full) << c.key << " vs " << c.stored;
    }
  }
}

TEST(RecordCompare, LocaleTextsFollowTheCollatorOfTheLocale) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* czech = ucol_open("cs", &status);
  ASSERT_TRUE(U_SUCCESS(status));
  auto icu = [&](const AnsiString& a, const AnsiString& b, bool ignoreCase) {
    ucol_setStrength(czech, ignoreCase ? UCOL_SECONDARY : UCOL_TERTIARY);
    std::u16string ua, ub;
    for (unsigned char ch : a) ua.push_back(static_cast<char16_t>(Cp1250ToUnicode(ch)));
    for (unsigned char ch : b) ub.push_back(static_cast<char16_t>(Cp1250ToUnicode(ch)));
    return static_cast<int>(ucol_strcoll(czech, ua.data(), static_cast<int32_t>(ua.size()),
                                         ub.data(), static_cast<int32_t>(ub.size())));
  };
  const char* words[] = {"hrad", "chata", "Chata", "cukr", "čaj", "Čech", "řeka", "rum", "zima",
                         "žena", "á", "a", "A"};
  for (const char* x : words)
    for (const char* y : words)
      for (bool ci : {false, true}) {
        AnsiString a = Cz(x), b = Cz(y);
        bool full;
        int r = CompareFieldValues(a.data(), static_cast<int>(a.size()), b.data(),
                                   static_cast<int>(b.size()), ftString,
                                   ci ? mtcoCaseInsensitive : 0, 1024, full);
        EXPECT_EQ(r, icu(a, b, ci)) << x << " vs " << y << " ci " << ci;
      }
  ucol_close(czech);
  bool full;
  mttest::ExpectError<EMemTableError>(
      [&] { CompareFieldValues("a", 1, "b", 1, ftString, 0, 0x7777, full); },
      "Invalid locale. 30583");
}

// A table of two nullable fields with records (A, B) to compare.
struct TwoFieldTable {
  TwoFieldTable() {
    t.FieldDefs().Add("S", ftString, 10);
    t.FieldDefs().Add("N", ftInteger);
    t.Open();
  }
  PMemRecord Record(const char* s, const int* n) {
    PMemRecord r = t.Store()->NewRecordBlock();
    records.push_back(r);
    if (s) t.WriteFieldFromVariant(r, t.FieldByName("S"), Variant(s));
    if (n) t.WriteFieldFromVariant(r, t.FieldByName("N"), Variant(*n));
    return r;
  }
  ~TwoFieldTable() {
    for (PMemRecord r : records) t.Store()->FreeRecordBlock(r);
  }
  TmtMemTable t;
  std::vector<PMemRecord> records;
};

TEST(RecordCompare, RecordsHandleNullsOptionsAndTheCompareEvent) {
  TwoFieldTable f;
  const int one = 1, two = 2;
  struct Case {
    const char* list;
    const char* as;
    const int* an;
    const char* bs;
    const int* bn;
    bool ignoreNulls;
    CompareUse use;
    int expected;
  } cases[] = {
      {"S;N", "a", &one, "a", &two, false, CompareUse::Search, -1},
      {"S;N:D", "a", &one, "a", &two, false, CompareUse::Search, 1},
      {"S", nullptr, nullptr, "a", nullptr, false, CompareUse::Search, -1},   // nulls first
      {"S:D", nullptr, nullptr, "a", nullptr, false, CompareUse::Search, -1}, // also descending
      {"S:D", "a", nullptr, nullptr, nullptr, false, CompareUse::Search, 1},
      {"S;N", nullptr, &one, "z", &two, true, CompareUse::Search, -1},       // A null skipped
      {"S:N;N", nullptr, &two, "z", &one, false, CompareUse::Search, 1},     // option N
      {"S:N;N", nullptr, &two, "z", &one, false, CompareUse::Order, -1},     // not in the order
      {"S:P", "ab", nullptr, "abc", nullptr, false, CompareUse::Search, 0},
      {"S:P", "ab", nullptr, "abc", nullptr, false, CompareUse::Order, -1},  // whole texts
      {"S", nullptr, nullptr, nullptr, nullptr, false, CompareUse::Search, 0},
  };
  for (const Case& c : cases) {
    TmtFieldList list;
    f.t.ParseFieldList(list, c.list);
    int r = CompareRecords(&f.t, f.Record(c.as, c.an), f.Record(c.bs, c.bn), list, 0, false,
                           c.ignoreNulls, c.use);
    EXPECT_EQ(Sign(r), c.expected) << "case " << &c - cases << " " << c.list;
  }
  // The event decides instead; a comparison it marks partial ends the walk.
  TmtFieldList list;
  f.t.ParseFieldList(list, "S;N");
  int calls = 0;
  f.t.OnCompareFields = [&](TDataSet*, const void*, const void*, TFieldType, TmtMemTableCompareOptions,
                            bool& full, int& result) {
    ++calls;
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(full);
    if (calls == 1) full = false;  // first field: stop here, equal
  };
  EXPECT_EQ(CompareRecords(&f.t, f.Record("a", &one), f.Record("b", &two), list, 0, false, false),
            0);
  EXPECT_EQ(calls, 1);
  f.t.OnCompareFields = [&](TDataSet*, const void*, const void*, TFieldType, TmtMemTableCompareOptions,
                            bool&, int& result) { result = 0; };
  calls = 0;
  EXPECT_EQ(CompareRecords(&f.t, f.Record("a", &one), f.Record("b", &two), list, 0, false, false),
            0);  // full compare when the handler leaves it: every field asked
}

}  // namespace
