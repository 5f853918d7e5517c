// Seeks and key ranges of the table handler: exact and near seeks that hit,
// fall between keys, before the first or after the last; SeekLastKey on
// duplicates; descending, unique and FOR tags; seeks landing on hidden
// records; KeyLookup leaving everything as it was; number and date keys;
// range bounds; and a differential check of random ranges, filters and
// deletion patterns against a sorted oracle.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/base/charset.h"
#include "dbase/base/errors.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

const std::vector<TxbFieldSpec> kFields = {{"NAME", 'C', 10, 0}, {"NUM", 'N', 5, 1}, {"DAY", 'D', 0, 0}};

// NAME order: ALFA(1) BETA(2) BETA(6) NOVAK(3) NOVAKOVA(4) ZETA(5).
std::string Names(const TempDir& dir) {
  return MakeIndexedTable(
      dir.Path(), "S.DBF", kFields,
      {{{"NAME", "ALFA"}, {"NUM", "1"}, {"DAY", "20240101"}},
       {{"NAME", "BETA"}, {"NUM", "2"}, {"DAY", "20240102"}},
       {{"NAME", "NOVAK"}, {"NUM", "3"}, {"DAY", "20240103"}},
       {{"NAME", "NOVAKOVA"}, {"NUM", "4"}, {"DAY", "20240104"}},
       {{"NAME", "ZETA"}, {"NUM", "5"}, {"DAY", "20240105"}},
       {{"NAME", "BETA"}, {"NUM", "-6"}, {"DAY", ""}}},
      {TagSpec("NAME", "NAME"), TagSpec("NAMED", "NAME", "", 1), TagSpec("UNAME", "NAME", "", 0, 0),
       TagSpec("FORN", "NAME", "NUM > 2"), TagSpec("NUM", "NUM"), TagSpec("DAY", "DAY")});
}

struct Opened {
  explicit Opened(const std::string& path, const char* tag) : t(path, false, true, "") {
    t.OpenIndexFile("S");
    t.SelectTag(tag, false);
  }
  DBFObject t;
};

}  // namespace

TEST(HandlerSeek, ExactAndNearDecideWhereAMissEnds) {
  struct Case {
    const char* tag;
    const char* key;
    bool exact;
    bool nearOn;
    bool found;
    int32_t record;
    bool eof;
  };
  const Case cases[] = {
      {"NAME", "BETA", true, false, true, 2, false},
      {"NAME", "NOV", false, false, true, 3, false},  // exact off: NOV begins NOVAK
      {"NAME", "NOVAKOVA", false, false, true, 4, false},
      {"NAME", "NOVAK", true, false, true, 3, false},
      {"NAME", "NOV", true, false, false, 5, true},   // miss, near off: last record, EOF
      {"NAME", "NOV", true, true, false, 3, false},   // miss, near on: the next key
      {"NAME", "CAT", false, true, false, 3, false},  // between BETA and NOVAK
      {"NAME", "CAT", false, false, false, 5, true},
      {"NAME", "AAA", true, true, false, 1, false},  // before the first key
      {"NAME", "ZZZ", true, true, false, 5, true},   // beyond the last key: its record, EOF
      {"NAME", "ZZZ", false, false, false, 5, true},
      {"NAME", "novak", false, true, false, 5, false},       // lower case sorts after upper case
      {"NAME", "NOVA      ", false, false, false, 5, true},  // blanks count
      {"NAMED", "BETA", true, false, true, 6, false},  // descending: the first BETA of the walk
      {"NAMED", "NOVAK", true, false, true, 3, false},
      {"UNAME", "BETA", true, false, true, 2, false},
      {"FORN", "BETA", true, false, false, 5, true},  // not in the FOR tag
      {"FORN", "ZETA", true, false, true, 5, false},
      {"NUM", "3", true, false, true, 3, false},
      {"NUM", "-6", true, false, true, 6, false},
      {"NUM", "2,5", true, true, false, 3, false},
      {"NUM", "2.5", true, true, false, 3, false},
      {"DAY", "20240103", true, false, true, 3, false},
      {"DAY", "04.01.2024", true, false, true, 4, false},
  };
  TempDir dir;
  const std::string path = Names(dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " '" + c.key + "'" + (c.exact ? " exact" : "") + (c.nearOn ? " near" : ""));
    Opened o(path, c.tag);
    o.t.SetExactMatch(c.exact);
    o.t.SetNear(c.nearOn);
    EXPECT_EQ(o.t.SeekKey(c.key), c.found);
    EXPECT_EQ(o.t.Found(), c.found);
    EXPECT_EQ(o.t.RecordNumber(), c.record);
    EXPECT_EQ(o.t.Eof(), c.eof);
    EXPECT_EQ(o.t.Positioned(), !c.eof);
  }
}

TEST(HandlerSeek, SeekLastKeyLandsOnTheLastOfEqualKeys) {
  TempDir dir;
  Opened o(Names(dir), "NAME");
  o.t.SetExactMatch(true);
  EXPECT_TRUE(o.t.SeekLastKey("BETA"));
  EXPECT_EQ(o.t.RecordNumber(), 6);
  o.t.GoRecord(xbmoNext);
  EXPECT_EQ(o.t.RecordNumber(), 3);
  o.t.SetExactMatch(false);
  EXPECT_TRUE(o.t.SeekLastKey("NOV"));
  EXPECT_EQ(o.t.RecordNumber(), 4);
  EXPECT_TRUE(o.t.SeekKey("BETA"));
  EXPECT_EQ(o.t.RecordNumber(), 2);
}

TEST(HandlerSeek, ASeekPassesOverRecordsThatAreHidden) {
  TempDir dir;
  const std::string path = Names(dir);
  Opened o(path, "NAME");
  o.t.SetExactMatch(true);
  o.t.GoRecord(2);
  ASSERT_TRUE(o.t.DeleteRecord());
  EXPECT_TRUE(o.t.SeekKey("BETA"));
  EXPECT_EQ(o.t.RecordNumber(), 6);
  o.t.SetShowDeleted(true);
  EXPECT_TRUE(o.t.SeekKey("BETA"));
  EXPECT_EQ(o.t.RecordNumber(), 2);
  o.t.SetShowDeleted(false);
  // Filtered out: the other BETA has a negative number.
  o.t.EnableFilter(true);
  o.t.SetFilterExpression("NUM > 0", false, true);
  EXPECT_FALSE(o.t.SeekKey("BETA"));
  EXPECT_TRUE(o.t.Eof());
  o.t.SetNear(true);
  EXPECT_FALSE(o.t.SeekKey("BETA"));
  EXPECT_EQ(o.t.RecordNumber(), 3);  // the next visible record
  // Refused by the accept hook.
  o.t.EnableFilter(false);
  o.t.OnAcceptRecord = [&o] { return o.t.RecordNumber() != 6; };
  o.t.SetNear(false);
  EXPECT_FALSE(o.t.SeekKey("BETA"));
}

TEST(HandlerSeek, SeekWithoutATagOrOnAnEmptyTableFindsNothing) {
  TempDir dir;
  const std::string path = Names(dir);
  {
    DBFObject t(path, false, true, "");
    EXPECT_FALSE(t.SeekKey("BETA"));
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecordNumber(), 6);
  }
  const std::string empty = MakeIndexedTable(dir.Path(), "E.DBF", kFields, {}, {TagSpec("NAME", "NAME")});
  DBFObject t(empty, false, true, "");
  t.OpenIndexFile("E");
  t.SelectTag("NAME", false);
  EXPECT_TRUE(t.Eof() && t.Bof());
  EXPECT_FALSE(t.SeekKey("BETA"));
  EXPECT_EQ(t.KeyLookup("NAME", "BETA"), 0);
}

TEST(HandlerSeek, KeyLookupLeavesPositionOrderAndExactFlagAsTheyWere) {
  TempDir dir;
  Opened o(Names(dir), "NAME");
  o.t.SetExactMatch(false);
  o.t.GoRecord(3);
  EXPECT_EQ(o.t.KeyLookup("name", "NOVAK"), 3);
  EXPECT_EQ(o.t.KeyLookup("NAME", "NOV"), 0);  // always exact
  EXPECT_EQ(o.t.KeyLookup("NUM", "5"), 5);
  EXPECT_EQ(o.t.KeyLookup("DAY", "20240102"), 2);
  EXPECT_EQ(o.t.KeyLookup("NOPE", "x"), -1);
  EXPECT_FALSE(o.t.ExactMatch());
  EXPECT_EQ(o.t.RecordNumber(), 3);
  o.t.GoRecord(xbmoNext);
  EXPECT_EQ(o.t.RecordNumber(), 4);
}

TEST(HandlerRange, BoundsDecideWhatMovesAndSeeksReach) {
  struct Case {
    const char* low;
    const char* high;
    bool prefix;
    bool includeLow;
    bool includeHigh;
    std::vector<int32_t> walk;
    const char* seek;  // a key to seek exactly (near off)
    bool seekFound;
  };
  const Case cases[] = {
      {"BETA", "NOVAK", false, true, true, {2, 6, 3}, "NOVAK", true},
      {"BETA", "NOVAK", true, true, true, {2, 6, 3, 4}, "NOVAKOVA", true},
      {"BETA", "NOVAK", false, true, true, {2, 6, 3}, "NOVAKOVA", false},
      {"", "BETA", false, true, true, {1, 2, 6}, "ALFA", true},
      {"NOVAK", "", false, true, true, {3, 4, 5}, "ZETA", true},
      // Excluded bounds only refuse seeks; a walk still stops on them.
      {"BETA", "NOVAK", false, false, true, {2, 6, 3}, "BETA", false},
      {"BETA", "NOVAK", false, true, false, {2, 6, 3}, "NOVAK", true},
      {"C", "M", false, true, true, {}, "BETA", false},
  };
  TempDir dir;
  const std::string path = Names(dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.low) + ".." + c.high + (c.prefix ? " prefix" : "") + (c.includeLow ? "" : " (low") +
                 (c.includeHigh ? "" : " high)"));
    Opened o(path, "NAME");
    EXPECT_TRUE(o.t.SetTagRange(c.low, c.high, c.prefix, c.includeLow, c.includeHigh));
    if (c.walk.empty()) {
      EXPECT_FALSE(o.t.Positioned());
      EXPECT_EQ(o.t.GetText("NAME"), "");  // an empty range leaves a blank record
    } else {
      EXPECT_EQ(o.t.RecordNumber(), c.walk.front());
    }
    EXPECT_FALSE(o.t.SetTagRange(c.low, std::string(c.high) + "  ", c.prefix, c.includeLow, c.includeHigh));
    EXPECT_EQ(Walk(o.t), c.walk);
    std::vector<int32_t> back(c.walk.rbegin(), c.walk.rend());
    EXPECT_EQ(Walk(o.t, false), back);
    o.t.SetExactMatch(true);
    EXPECT_EQ(o.t.SeekKey(c.seek), c.seekFound);
  }
  {
    // A near seek below the range lands on the range's first record.
    Opened o(path, "NAME");
    o.t.SetTagRange("BETA", "NOVAK", false, true, true);
    o.t.SetNear(true);
    EXPECT_FALSE(o.t.SeekKey("A"));
    EXPECT_EQ(o.t.RecordNumber(), 2);
    EXPECT_FALSE(o.t.OutOfOrder());
    EXPECT_FALSE(o.t.SeekKey("NOVAKA"));
    EXPECT_TRUE(o.t.Eof());
  }
  DBFObject t(path, false, true, "");
  EXPECT_FALSE(t.SetTagRange("A", "B", false, true, true));  // no master tag
}

// Random ranges over random keys (with duplicates, prefixes, lower case and
// accented letters), random filters and deletion patterns: every walk must
// meet the records an oracle keeps, in the oracle's order, both ways.
TEST(HandlerRange, RandomRangesFiltersAndDeletionsMatchASortedOracle) {
  std::mt19937 random(20261208);
  const char letters[] = {'A', 'B', 'a', '\xAC', ' '};  // 0xAC: C with caron in code page 852
  auto word = [&](int maxLength) {
    std::string w;
    const int n = std::uniform_int_distribution<int>(1, maxLength)(random);
    for (int i = 0; i < n; ++i) w += letters[std::uniform_int_distribution<int>(0, 4)(random)];
    while (!w.empty() && w.back() == ' ') w.pop_back();
    return w;
  };
  constexpr int kRecords = 80;
  std::vector<handlertest::Values> records;
  std::vector<std::string> keys(kRecords + 1);
  std::vector<int> numbers(kRecords + 1);
  for (int i = 1; i <= kRecords; ++i) {
    keys[static_cast<std::size_t>(i)] = word(5);
    numbers[static_cast<std::size_t>(i)] = std::uniform_int_distribution<int>(0, 9)(random);
    records.push_back({{"NAME", keys[static_cast<std::size_t>(i)]},
                       {"NUM", std::to_string(numbers[static_cast<std::size_t>(i)])}});
  }
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "R.DBF", kFields, records, {TagSpec("NAME", "NAME")});

  auto compare = [](const std::string& a, const std::string& b, int shorterResult) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      const int wa = CollationWeights[static_cast<unsigned char>(a[i])];
      const int wb = CollationWeights[static_cast<unsigned char>(b[i])];
      if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? shorterResult : 1;
  };
  std::vector<int32_t> sorted;
  for (int i = 1; i <= kRecords; ++i) sorted.push_back(i);
  std::stable_sort(sorted.begin(), sorted.end(), [&](int32_t x, int32_t y) {
    return compare(keys[static_cast<std::size_t>(x)], keys[static_cast<std::size_t>(y)], -1) < 0;
  });

  int cases = 0;
  for (int pattern = 0; pattern < 10; ++pattern) {
    std::vector<bool> deleted(kRecords + 1, false);
    {
      DBFObject t(path, false, true, "");
      t.SetShowDeleted(true);
      for (int i = 1; i <= kRecords; ++i) {
        deleted[static_cast<std::size_t>(i)] = std::uniform_int_distribution<int>(0, 3)(random) == 0;
        t.GoRecord(i);
        ASSERT_TRUE(deleted[static_cast<std::size_t>(i)] ? t.DeleteRecord() : t.RecallRecord());
      }
    }
    DBFObject t(path, false, true, "");
    t.OpenIndexFile("R");
    for (int k = 0; k < 30; ++k, ++cases) {
      const std::string low = random() % 4 == 0 ? "" : word(3);
      const std::string high = random() % 4 == 0 ? "" : word(3);
      const bool prefix = random() % 2 == 0;
      const bool show = random() % 3 == 0;
      const int limit = static_cast<int>(random() % 12) - 1;  // -1: no filter
      SCOPED_TRACE("case " + std::to_string(cases) + ": '" + low + "'..'" + high + "'" +
                   (prefix ? " prefix" : "") + (show ? " shown" : "") + " filter " + std::to_string(limit));
      t.SelectTag("NAME", false);
      t.SetTagRange(low, high, prefix, true, true);
      t.SetShowDeleted(show);
      t.EnableFilter(limit >= 0);
      t.SetFilterExpression(limit >= 0 ? "NUM < " + std::to_string(limit) : "", false, true);
      std::vector<int32_t> expected;
      for (int32_t r : sorted) {
        const std::string& key = keys[static_cast<std::size_t>(r)];
        if (!low.empty() && compare(low, key, 0) > 0) continue;
        if (!high.empty() && compare(high, key, prefix ? 0 : -1) < 0) continue;
        if (!show && deleted[static_cast<std::size_t>(r)]) continue;
        if (limit >= 0 && numbers[static_cast<std::size_t>(r)] >= limit) continue;
        expected.push_back(r);
      }
      ASSERT_EQ(Walk(t), expected);
      std::reverse(expected.begin(), expected.end());
      ASSERT_EQ(Walk(t, false), expected);
    }
  }
}

namespace {

// Counts the records the table reads.
class ReadCounter : public DBFObject {
 public:
  using DBFObject::DBFObject;
  void Notify(int code, int32_t value) override {
    if (code == xbnRead) ++reads;
    DBFObject::Notify(code, value);
  }
  int reads = 0;
};

}  // namespace

TEST(HandlerSeek, AnExactSeekReadsTheRecordOnlyWhenSomethingLooksAtIt) {
  TempDir dir;
  const std::string path = Names(dir);
  ReadCounter t(path, true, true, "");
  t.OpenIndexFile("S");
  t.SelectTag("NAME", false);
  t.SetExactMatch(true);
  t.SetShowDeleted(true);
  t.reads = 0;
  ASSERT_TRUE(t.SeekKey("NOVAK"));
  EXPECT_EQ(t.RecordNumber(), 3);
  EXPECT_FALSE(t.Eof() || t.Bof());
  EXPECT_EQ(t.reads, 0);
  // Another program's change made after the seek is what the record shows.
  {
    DBFObject other(path, true, true, "");
    other.GoRecord(3);
    ASSERT_TRUE(other.LockCurrentRecord());
    other.GoRecord(xbmoCurrent);
    other.PutText("NUM", "9");
    other.WriteRecord(3);
    other.ReleaseLock();
    other.Close();
  }
  EXPECT_EQ(t.GetText("NUM"), "9.0");
  EXPECT_EQ(t.reads, 1);
  EXPECT_EQ(t.GetText("NAME"), "NOVAK");
  EXPECT_EQ(t.reads, 1);

  // A buffer swapped in for a while does not lose the record to it.
  ASSERT_TRUE(t.SeekKey("ZETA"));
  {
    std::vector<char> probe(static_cast<std::size_t>(t.RecordLength()) + 1, ' ');
    TxbRecordBufferRedirect view(t, probe.data());
    EXPECT_EQ(t.GetText("NAME"), "");
  }
  EXPECT_EQ(t.GetText("NAME"), "ZETA");

  // A record changed after a seek replaces the key it had when it was read.
  ASSERT_TRUE(t.SeekKey("ALFA"));
  ASSERT_TRUE(t.LockCurrentRecord());
  t.PutText("NAME", "ALFB");
  t.WriteRecord(1);
  t.ReleaseLock();
  EXPECT_FALSE(t.SeekKey("ALFA"));
  ASSERT_TRUE(t.SeekKey("ALFB"));
  EXPECT_EQ(t.RecordNumber(), 1);

  // Deleted records hidden: the deletion flag is read, and a deleted record
  // is passed over as before.
  t.SetShowDeleted(false);
  t.reads = 0;
  ASSERT_TRUE(t.SeekKey("NOVAK"));
  EXPECT_EQ(t.reads, 1);
  t.Close();
}
