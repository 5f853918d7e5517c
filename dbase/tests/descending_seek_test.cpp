// Seeks on descending tags of every format that has them land by walk
// order: an exact seek on the first of equal keys as the walk lists them
// (the next skip reaches the second), a soft seek on the first key after
// the sought one, at the first and last key of the tag, with and without a
// range. A descending CDX tag walks its ascending keys backwards, so equal
// keys walk in descending record order there; MDX and NTX keep descending
// keys on disk. NDX has no descending tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/expr/expr_registry.h"
#include "dbase/testing/index_verifier.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

// AMOUNT of records 1..8: runs of equal keys in the middle and at both ends.
const int kAmounts[] = {10, 20, 20, 30, 20, 40, 10, 40};

int AmountOf(int32_t record) { return kAmounts[record - 1]; }

}  // namespace

TEST(DescendingSeek, SeeksLandOnTheFirstOfEqualKeysInWalkOrder) {
  RegisterBuiltinExpressions();
  struct Format {
    const char* file;
    const char* tag;
  };
  const Format formats[] = {{"T.cdx", "AMTD"}, {"T.mdx", "AMTD"}, {"AMTD.ntx", "AMTD"}};
  struct Case {
    int key;
    bool nearOn;
    bool last;  // SeekLastKey
  };
  const Case cases[] = {
      {20, false, false},  // inside the tag
      {40, false, false},  // the tag's first key
      {10, false, false},  // its last key
      {20, false, true},   // the last of the run instead
      {25, true, false},   // soft: the next key in walk order
      {45, true, false},   // soft, before the first key (or the range)
      {5, true, false},    // soft, beyond the last key
      {35, true, false},
      {12, true, false},
  };
  for (const Format& f : formats) {
    for (bool ranged : {false, true}) {
      SCOPED_TRACE(std::string(f.file) + (ranged ? " with a range" : ""));
      TempDir dir;
      std::vector<Values> records;
      for (int amount : kAmounts) records.push_back({{"AMOUNT", std::to_string(amount)}});
      const std::string path = MakeIndexedTable(dir.Path(), "T.DBF", {{"AMOUNT", 'N', 10, 2}}, records, {});
      DBFObject t(path, false, true, "");
      t.CreateIndexTag(f.file, std::string(f.file) == "AMTD.ntx" ? "" : f.tag, 1, 1, "", "AMOUNT");
      ASSERT_EQ(t.OpenIndexFile(f.file), 0);
      t.SelectTag(f.tag, false);
      std::vector<int32_t> walk = Walk(t);
      ASSERT_EQ(walk.size(), 8u);
      for (std::size_t i = 1; i < walk.size(); ++i) ASSERT_GE(AmountOf(walk[i - 1]), AmountOf(walk[i]));
      if (ranged) {
        // The bounds' order follows how the format compares descending
        // keys; either way the range holds the amounts 15 to 35.
        t.SetTagRange("15", "35", false, true, true);
        walk = Walk(t);
        if (walk.empty()) {
          t.SetTagRange("35", "15", false, true, true);
          walk = Walk(t);
        }
        ASSERT_EQ(walk.size(), 4u);
      }
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.last ? "last " : "") + std::to_string(c.key) + (c.nearOn ? " near" : ""));
        t.SetExactMatch(true);
        t.SetNear(c.nearOn);
        const bool found = c.last ? t.SeekLastKey(std::to_string(c.key)) : t.SeekKey(std::to_string(c.key));
        // Where the walk reaches the sought key: the first record of the
        // walk whose key is not before it (descending: not greater).
        auto at = std::find_if(walk.begin(), walk.end(), [&](int32_t r) { return AmountOf(r) <= c.key; });
        const bool equal = at != walk.end() && AmountOf(*at) == c.key;
        EXPECT_EQ(found, equal);
        if (!equal && !c.nearOn) continue;  // a miss with near off: EOF, checked elsewhere
        if (at == walk.end()) {
          EXPECT_TRUE(t.Eof());
          continue;
        }
        if (c.last)
          while (at + 1 != walk.end() && AmountOf(*(at + 1)) == c.key) ++at;
        EXPECT_FALSE(t.Eof());
        EXPECT_EQ(t.RecordNumber(), *at);
        t.GoRecord(xbmoNext);
        if (at + 1 != walk.end()) {
          EXPECT_EQ(t.RecordNumber(), *(at + 1));
        } else {
          EXPECT_TRUE(t.Eof());
        }
      }
    }
  }
}
