// The key sorter: order of keys of every kind, record-number order of equal
// keys, Unique in both directions, refusals, and agreement with std::sort
// over many runs of a full trie.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dbase/index/key_sort.h"
#include "dbase/base/charset.h"
#include "dbase/base/errors.h"
#include "testing/error_message.h"

namespace {

struct Out {
  std::string text;
  double number = 0;
  int32_t record = 0;
};

std::vector<Out> Drain(TxbSort& sort) {
  std::vector<Out> out;
  TxbVariant key(0);
  int32_t record = 0;
  while (sort.NextKey(key, record)) {
    Out o;
    o.record = record;
    if (key.Kind() == xbvNumber)
      o.number = key.AsNumber();
    else if (key.Kind() == xbvDate)
      o.number = key.AsDate();
    else
      o.text.assign(reinterpret_cast<const char*>(key.Data()), static_cast<std::size_t>(key.Length()));
    out.push_back(o);
  }
  return out;
}

void AddText(TxbSort& sort, const std::string& text, int32_t record) {
  TxbVariant key(0);
  key.SetText(text);
  sort.AddKey(key, record);
}

void AddNumber(TxbSort& sort, double value, int32_t record) {
  TxbVariant key(0);
  key.SetNumber(value);
  sort.AddKey(key, record);
}

// Text order the index trees use: bytes through the collation, a prefix
// first.
bool TextLess(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = CollationWeights[static_cast<unsigned char>(a[i])];
    unsigned char y = CollationWeights[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

TEST(KeySort, EqualKeysComeOutInRecordOrderAndUniqueKeepsTheLowest) {
  struct Case {
    bool ascending;
    bool unique;
    std::vector<int32_t> expected;  // records in output order
  };
  // Keys: B(7) A(5) B(3) A(9) C(1) B(4)
  const Case cases[] = {
      {true, false, {5, 9, 3, 4, 7, 1}},
      {false, false, {1, 7, 4, 3, 9, 5}},
      {true, true, {5, 3, 1}},
      {false, true, {1, 3, 5}},
  };
  for (const Case& c : cases) {
    TxbSort sort(10, CollationWeights, c.ascending, c.unique);
    AddText(sort, "B", 7);
    AddText(sort, "A", 5);
    AddText(sort, "B", 3);
    AddText(sort, "A", 9);
    AddText(sort, "C", 1);
    AddText(sort, "B", 4);
    std::vector<int32_t> records;
    for (const Out& o : Drain(sort)) records.push_back(o.record);
    EXPECT_EQ(records, c.expected) << "ascending " << c.ascending << " unique " << c.unique;
  }
}

TEST(KeySort, RefusesWhatCannotBeSorted) {
  EXPECT_EQ(ErrorMessage<EXbaseError>([] { TxbSort s(252, nullptr, true, false); }),
            "Sort key length must be 1-251 bytes, is 252");
  EXPECT_EQ(ErrorMessage<EXbaseError>([] { TxbSort s(0, nullptr, true, false); }),
            "Sort key length must be 1-251 bytes, is 0");
  EXPECT_EQ(ErrorMessage<EXbaseError>([] {
              TxbSort s(3, nullptr, true, false);
              AddText(s, "ABCD", 1);
            }),
            "Sort key length must be 1-3 bytes, is 4");
  EXPECT_EQ(ErrorMessage<EXbaseError>([] {
              TxbSort s(10, nullptr, true, false);
              TxbVariant key(0);
              key.SetLogical(true);
              s.AddKey(key, 1);
            }),
            "Variant type cannot be sorted");
  EXPECT_EQ(ErrorMessage<EXbaseError>([] {
              TxbSort s(10, nullptr, true, false);
              AddText(s, "A", 1);
              TxbVariant key(0);
              int32_t record;
              s.NextKey(key, record);
              AddText(s, "B", 2);
            }),
            "Cannot add sort keys after beginning retrieval");
  // Trailing blanks do not count towards the length.
  EXPECT_EQ(ErrorMessage<EXbaseError>([] {
              TxbSort s(3, nullptr, true, false);
              AddText(s, "ABC   ", 1);
            }),
            "(no error)");
}

TEST(KeySort, RestoresEveryKindAsItWasAdded) {
  TxbSort sort(20, CollationWeights, true, false);
  TxbVariant key(0);
  key.SetDate(2460000);
  sort.AddKey(key, 1);
  key.SetDate(-5);  // before every positive day
  sort.AddKey(key, 2);
  std::vector<Out> out = Drain(sort);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].number, -5);
  EXPECT_EQ(out[1].number, 2460000);

  TxbSort raw(20, nullptr, true, false);
  const unsigned char a[] = {0x80, 0x00, 0x01};
  const unsigned char b[] = {0x80};
  key.SetRaw(a, 3);
  raw.AddKey(key, 1);
  key.SetRaw(b, 1);
  raw.AddKey(key, 2);
  TxbVariant got(0);
  int32_t record;
  ASSERT_TRUE(raw.NextKey(got, record));
  EXPECT_EQ(got.Kind(), xbvRaw);
  EXPECT_EQ(got.Length(), 1);  // the prefix first
  EXPECT_EQ(record, 2);
  ASSERT_TRUE(raw.NextKey(got, record));
  EXPECT_EQ(got.Length(), 3);
  EXPECT_EQ(std::memcmp(got.Data(), a, 3), 0);
  EXPECT_FALSE(raw.NextKey(got, record));
}

TEST(KeySort, NumbersSortNumericallyWhateverTheirLengthOrRecord) {
  // Pairs whose sortable forms are prefixes of each other: the record
  // number must never decide between different values.
  std::vector<std::pair<double, int32_t>> input = {
      {65536.0, 70000}, {65536.01, 1}, {2.0, 200000}, {2.0 + std::ldexp(1.0, -40), 1},
      {-100.0, 5},      {-100.5, 6},   {-1.0, 7},     {-1.001, 8},
      {-0.5, 9},        {0.0, 10},     {-0.0, 11},    {2.0, 3},
  };
  TxbSort sort(9, nullptr, true, false);
  for (auto& [v, r] : input) AddNumber(sort, v, r);
  std::vector<Out> out = Drain(sort);
  auto expected = input;
  for (auto& e : expected)
    if (e.first == 0) e.first = 0;  // -0 and 0 are one key
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].number, expected[i].first) << i;
    EXPECT_EQ(out[i].record, expected[i].second) << i;
  }
}

TEST(KeySort, InlineNodesSplitWhenLaterKeysPassThrough) {
  // The first key opens levels with inline bytes; the others branch off at
  // every depth of them.
  TxbSort sort(12, CollationWeights, true, false);
  const std::vector<std::string> keys = {"ABCDEFGH", "ABCDEFGX", "ABCDX", "ABX", "AX", "ABCDEFGH",
                                         "ABCDEFG", "ABCDEFGHI"};
  for (std::size_t i = 0; i < keys.size(); ++i) AddText(sort, keys[i], static_cast<int32_t>(100 - i));
  std::vector<std::pair<std::string, int32_t>> expected;
  for (std::size_t i = 0; i < keys.size(); ++i) expected.push_back({keys[i], static_cast<int32_t>(100 - i)});
  std::sort(expected.begin(), expected.end(), [](const auto& x, const auto& y) {
    if (TextLess(x.first, y.first)) return true;
    if (TextLess(y.first, x.first)) return false;
    return x.second < y.second;
  });
  std::vector<Out> out = Drain(sort);
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].text, expected[i].first);
    EXPECT_EQ(out[i].record, expected[i].second);
  }
}

// A seeded mix of texts (with shared prefixes, collation-sensitive bytes
// and blanks) and adversarial numbers, large enough for several runs.
TEST(KeySort, MatchesStdSortOverManyRuns) {
  for (bool ascending : {true, false}) {
    for (bool unique : {false, true}) {
      std::mt19937 rng(20261208u + (ascending ? 1 : 0) + (unique ? 2 : 0));
      TxbSort sort(20, CollationWeights, ascending, unique);
      std::vector<std::pair<std::string, int32_t>> texts;
      const char alphabet[] = {'A', 'a', 'B', 'b', 'Z', '0', '9', ' ', '\x8A', '\xA5', '\xE1'};
      for (int32_t record = 1; record <= 50000; ++record) {
        std::string key;
        int length = static_cast<int>(rng() % 16);
        for (int i = 0; i < length; ++i) key += alphabet[rng() % sizeof alphabet];
        AddText(sort, key, record);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        texts.push_back({key, record});
      }
      std::stable_sort(texts.begin(), texts.end(), [&](const auto& x, const auto& y) {
        bool less = TextLess(x.first, y.first) ||
                    (!TextLess(y.first, x.first) && x.second < y.second);
        bool greater = TextLess(y.first, x.first) ||
                       (!TextLess(x.first, y.first) && y.second < x.second);
        return ascending ? less : greater;
      });
      if (unique) {
        // One entry per key, the one with the lowest record number.
        std::vector<std::pair<std::string, int32_t>> kept;
        for (const auto& t : texts) {
          if (!kept.empty() && kept.back().first == t.first) {
            kept.back().second = std::min(kept.back().second, t.second);
            continue;
          }
          kept.push_back(t);
        }
        texts = kept;
      }
      std::vector<Out> out = Drain(sort);
      EXPECT_GT(sort.RunCount(), 1) << "the buffer never filled up";
      ASSERT_EQ(out.size(), texts.size());
      for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i].text, texts[i].first) << i;
        ASSERT_EQ(out[i].record, texts[i].second) << i;
      }
    }
  }

  std::mt19937 rng(7);
  TxbSort numbers(9, nullptr, true, false);
  std::vector<std::pair<double, int32_t>> values;
  for (int32_t record = 1; record <= 150000; ++record) {
    double v;
    switch (rng() % 4) {
      case 0: v = std::ldexp(1.0, static_cast<int>(rng() % 40) - 10); break;
      case 1: v = std::nextafter(std::ldexp(1.0, static_cast<int>(rng() % 40)), 1e300); break;
      case 2: v = static_cast<double>(static_cast<int>(rng() % 2000) - 1000) / 100.0; break;
      default: v = -std::ldexp(1.0, static_cast<int>(rng() % 30)); break;
    }
    if (v == 0) v = 0;
    AddNumber(numbers, v, record);
    values.push_back({v, record});
  }
  std::sort(values.begin(), values.end());
  std::vector<Out> out = Drain(numbers);
  EXPECT_GT(numbers.RunCount(), 1);
  ASSERT_EQ(out.size(), values.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out[i].number, values[i].first) << i;
    ASSERT_EQ(out[i].record, values[i].second) << i;
  }
}

TEST(KeySort, NodeMemoryStaysWithinThirtyTwoPages) {
  TxbSort sort(40, nullptr, true, false);
  std::mt19937 rng(3);
  for (int32_t record = 1; record <= 40000; ++record) {
    std::string key(30, 'x');
    for (char& c : key) c = static_cast<char>('A' + rng() % 26);
    AddText(sort, key, record);
    ASSERT_LE(sort.NodePageCount(), TxbSort::kMaxNodePages);
  }
  // The bound split the keys into runs (the last one made on retrieval).
  EXPECT_EQ(Drain(sort).size(), 40000u);
  EXPECT_GE(sort.RunCount(), 2);
}

TEST(KeySort, ResetStartsAgain) {
  TxbSort sort(5, nullptr, true, false);
  AddText(sort, "B", 1);
  EXPECT_EQ(Drain(sort).size(), 1u);
  sort.Reset();
  AddText(sort, "A", 2);
  std::vector<Out> out = Drain(sort);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].text, "A");
}

// Keys of every kind, drained as bytes: the sequence a build writes from.
struct Drained {
  uint8_t type;
  std::string bytes;
  int32_t record;
  double value;  // numbers and dates
  bool operator==(const Drained&) const = default;
};

std::vector<Drained> DrainBytes(TxbSort& sort) {
  std::vector<Drained> out;
  uint8_t type;
  const uint8_t* bytes;
  int length;
  int32_t record;
  TxbVariant key(0);
  while (sort.NextBytes(type, bytes, length, record)) {
    sort.KeyValue(type, bytes, length, key);
    const double value = type == xbsNumber ? key.AsNumber() : type == xbsInteger ? key.AsDate() : 0;
    out.push_back(
        {type, std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length)), record, value});
  }
  return out;
}

enum class Kind { Text, Number, Date, Raw };

// Seeded keys of one kind with many repeats (equal keys meet on record
// numbers) and shared prefixes (the radix sort must look past 8 bytes).
void AddSeeded(TxbSort& sort, Kind kind, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  const char alphabet[] = {'A', 'a', 'C', 'c', '\xC8', '\xE8', 'H', 'Z', '0', ' ', '\x8A', '\x9A'};
  for (int32_t record = 1; record <= count; ++record) {
    switch (kind) {
      case Kind::Text: {
        std::string key = rng() % 2 ? "PREFIX-SHARED-" : "";
        int length = static_cast<int>(rng() % 6);
        for (int i = 0; i < length; ++i) key += alphabet[rng() % sizeof alphabet];
        AddText(sort, key, record);
        break;
      }
      case Kind::Number:
        AddNumber(sort, static_cast<double>(static_cast<int>(rng() % 400) - 200) / 8.0, record);
        break;
      case Kind::Date: {
        TxbVariant key(0);
        key.SetDate(static_cast<int32_t>(rng() % 300) - 150);
        sort.AddKey(key, record);
        break;
      }
      case Kind::Raw: {
        uint8_t bytes[12];
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng() % 3 ? 0x41 : rng());
        sort.AddRaw(bytes, static_cast<int>(1 + rng() % 12), record);
        break;
      }
    }
  }
}

// The expected order of the same keys by plain comparison: text through
// the collation, numbers and dates by value, raw bytes unsigned, a prefix
// first, then record numbers; reversed when descending.
std::vector<Drained> Expected(const std::vector<Drained>& drained, Kind kind, bool ascending, bool unique) {
  std::vector<Drained> v = drained;
  auto valueLess = [&](const Drained& x, const Drained& y) {
    switch (kind) {
      case Kind::Text:
        return TextLess(x.bytes, y.bytes);
      case Kind::Number:
      case Kind::Date:
        return x.value < y.value;
      case Kind::Raw:
        return std::lexicographical_compare(x.bytes.begin(), x.bytes.end(), y.bytes.begin(), y.bytes.end(),
                                            [](char p, char q) { return static_cast<uint8_t>(p) < static_cast<uint8_t>(q); });
    }
    return false;
  };
  std::sort(v.begin(), v.end(), [&](const Drained& x, const Drained& y) {
    bool less = valueLess(x, y) || (!valueLess(y, x) && x.record < y.record);
    bool greater = valueLess(y, x) || (!valueLess(x, y) && y.record < x.record);
    return ascending ? less : greater;
  });
  if (unique) {
    std::vector<Drained> kept;
    for (const Drained& d : v) {
      if (!kept.empty() && !valueLess(kept.back(), d) && !valueLess(d, kept.back())) {
        kept.back().record = std::min(kept.back().record, d.record);
        continue;
      }
      kept.push_back(d);
    }
    v = kept;
  }
  return v;
}

TEST(KeySort, RadixOrderIsTheCollationAndValueOrderForEveryKind) {
  for (Kind kind : {Kind::Text, Kind::Number, Kind::Date, Kind::Raw}) {
    for (bool ascending : {true, false}) {
      for (bool unique : {false, true}) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " ascending " << ascending
                                        << " unique " << unique);
        TxbSort sort(20, CollationWeights, ascending, unique);
        sort.SetMemoryBound(TxbSort::kBuildMemoryBound);
        AddSeeded(sort, kind, 3000, 11);
        std::vector<Drained> out = DrainBytes(sort);
        EXPECT_EQ(sort.RunCount(), 1);
        // Every key once (the sorter's own output, unsorted, is the input).
        TxbSort all(20, CollationWeights, true, false);
        AddSeeded(all, kind, 3000, 11);
        std::vector<Drained> input = DrainBytes(all);
        ASSERT_EQ(input.size(), 3000u);
        EXPECT_EQ(out, Expected(input, kind, ascending, unique));
      }
    }
  }
}

TEST(KeySort, RunsOnDiskBeyondTheBoundGiveTheOrderOfOneRun) {
  for (Kind kind : {Kind::Text, Kind::Number, Kind::Date, Kind::Raw}) {
    for (bool ascending : {true, false}) {
      for (bool unique : {false, true}) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " ascending " << ascending
                                        << " unique " << unique);
        TxbSort inMemory(20, CollationWeights, ascending, unique);
        inMemory.SetMemoryBound(TxbSort::kBuildMemoryBound);
        TxbSort onDisk(20, CollationWeights, ascending, unique);
        onDisk.SetMemoryBound(4096);
        for (TxbSort* sort : {&inMemory, &onDisk}) {
          AddSeeded(*sort, kind, 5000, 29);
          // The same key and record number in two runs is still one entry.
          AddSeeded(*sort, kind, 40, 29);
        }
        std::vector<Drained> expected = DrainBytes(inMemory);
        EXPECT_EQ(inMemory.RunCount(), 1);
        EXPECT_EQ(DrainBytes(onDisk), expected);
        EXPECT_GT(onDisk.RunCount(), 50);
        EXPECT_LE(onDisk.NodePageCount(), 1);
      }
    }
  }
}

// Sorts under a memory holder reuse the buffers of the ones before, kept
// and grown, and give what sorts without one give.
TEST(KeySort, SortsUnderAMemoryHolderReuseItsBuffersWithTheSameOrder) {
  TxbSortMemory memory;
  for (int round = 0; round < 2; ++round) {
    // Growing key lengths: each sort needs more than the last one kept.
    for (int length : {24, 60, 160}) {
      SCOPED_TRACE(testing::Message() << "round " << round << " length " << length);
      TxbSort plain(length, CollationWeights, true, false);
      AddSeeded(plain, Kind::Text, 60000, 31);
      const std::vector<Drained> expected = DrainBytes(plain);
      {
        TxbSortMemory::Use use(memory);
        TxbSort held(length, CollationWeights, true, false);
        held.SetMemoryBound(TxbSort::kBuildMemoryBound);
        held.ExpectKeys(60000);
        AddSeeded(held, Kind::Text, 60000, 31);
        EXPECT_EQ(DrainBytes(held), expected);
      }
      EXPECT_GT(memory.HeldBytes(), std::size_t{1} << 20);
    }
  }
}

}  // namespace
