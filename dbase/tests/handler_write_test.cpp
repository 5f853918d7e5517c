// Writes through the table handler keep every open index equal to a fresh
// rebuild: appends, edits of key fields, deletion marks, records entering
// and leaving a FOR condition, duplicates in a unique tag, auto-flush. Also
// another handler's node splits seen before this one reads or writes, tag
// builds (progress, order and uniqueness codes, collations, refusals), and
// the table password (records, memos of every format, index files).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/testing/table_fixtures.h"
#include "dbase/base/errors.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

const std::vector<TxbFieldSpec> kFields = {
    {"NAME", 'C', 10, 0}, {"NUM", 'N', 8, 2}, {"DAY", 'D', 0, 0}, {"PAID", 'L', 0, 0}};

const std::vector<TagSpec> kTags = {TagSpec("NAME", "NAME"),
                                    TagSpec("NUM", "NUM", "", 1),
                                    TagSpec("DAY", "DAY"),
                                    TagSpec("BIG", "NAME", "NUM > 10"),
                                    TagSpec("UNAME", "NAME", "", 0, 0),
                                    TagSpec("LIVE", "NAME", ".NOT. DELETED()"),
                                    TagSpec("GEN", "NAME", "", 7)};

// Checks every tag of the table's CDX against a rebuild in a scratch copy.
::testing::AssertionResult EqualsRebuild(const TempDir& dir, const std::string& table,
                                         const AnsiString& password = "") {
  namespace fs = std::filesystem;
  const std::string scratch = dir.File("scratch/");
  fs::remove_all(scratch);
  fs::create_directory(scratch);
  indexverify::IndexCheck check =
      indexverify::VerifyIndexes(table, {fs::path(table).replace_extension(".cdx").string()}, scratch, password);
  if (check.Consistent()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << check.Summary();
}

}  // namespace

TEST(HandlerWrite, EveryWriteKeepsEveryTagEqualToARebuild) {
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "W.DBF", kFields,
                                            {{{"NAME", "ALFA"}, {"NUM", "5"}, {"DAY", "20240101"}},
                                             {{"NAME", "BETA"}, {"NUM", "20"}, {"DAY", "20240301"}}},
                                            kTags);
  DBFObject t(path, true, true, "");
  t.OpenIndexFile("W");
  t.SelectTag("NAME", false);
  struct Step {
    const char* what;
    std::function<void()> run;
  };
  const Step steps[] = {
      {"append",
       [&] {
         Append(t, {{"NAME", "GAMA"}, {"NUM", "11"}, {"DAY", "20240201"}});
       }},
      {"append a duplicate",
       [&] {
         Append(t, {{"NAME", "ALFA"}, {"NUM", "1"}});
       }},
      {"change a key",
       [&] {
         Edit(t, 2, {{"NAME", "DELTA"}});
       }},
      {"leave the FOR condition",
       [&] {
         Edit(t, 3, {{"NUM", "2"}});
       }},
      {"enter the FOR condition",
       [&] {
         Edit(t, 1, {{"NUM", "99,5"}});
       }},
      {"change a date and a number",
       [&] {
         Edit(t, 4, {{"DAY", "19991231"}, {"NUM", "-3"}});
       }},
      {"change the later duplicate of a unique key",
       [&] {
         Edit(t, 4, {{"NAME", "OMEGA"}});
       }},
      {"change nothing", [&] { Edit(t, 2, {}); }},
      {"delete",
       [&] {
         t.GoRecord(2);
         ASSERT_TRUE(t.DeleteRecord());
       }},
      {"recall",
       [&] {
         t.SetShowDeleted(true);
         t.GoRecord(2);
         ASSERT_TRUE(t.RecallRecord());
         t.SetShowDeleted(false);
       }},
      {"many appends that split nodes",
       [&] {
         for (int i = 0; i < 300; ++i)
           Append(t, {{"NAME", "N" + std::to_string((i * 7919) % 1000)}, {"NUM", std::to_string(i % 40)}});
       }},
      {"auto-flush",
       [&] {
         t.SetAutoFlush(true);
         Append(t, {{"NAME", "FLUSHED"}, {"NUM", "12"}});
         Edit(t, 5, {{"NAME", "ZULU"}});
         t.SetAutoFlush(false);
       }},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.run();
    EXPECT_TRUE(EqualsRebuild(dir, path));
  }
  EXPECT_EQ(t.MasterTagName(), "NAME");
  EXPECT_TRUE(t.Positioned());
  // The walk by NAME meets every record once.
  EXPECT_EQ(Walk(t).size(), static_cast<std::size_t>(t.RecordCount()));
}

TEST(HandlerWrite, KeysAppendedBetweenOthersInALargeTreeLeaveTheOrderOnTheNewRecord) {
  // Thousands of keys make branches above the leaves; new keys land inside
  // leaves, at their ends and in full ones (splits), with the tag as order.
  for (const bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "shared" : "exclusive");
    TempDir dir;
    std::vector<Values> records;
    for (int i = 0; i < 3000; ++i)
      records.push_back({{"NAME", "K" + std::to_string(100000 + i * 37 % 3000 * 10)}, {"NUM", std::to_string(i)}});
    const std::string path =
        MakeIndexedTable(dir.Path(), "W.DBF", kFields, records, {TagSpec("NAME", "NAME"), TagSpec("NUM", "NUM")});
    DBFObject t(path, shared, true, "");
    t.OpenIndexFile("W");
    t.SelectTag("NAME", false);
    std::mt19937 random(5);
    for (int i = 0; i < 400; ++i) {
      const std::string name = "K" + std::to_string(100000 + random() % 30000);
      Append(t, {{"NAME", name}, {"NUM", std::to_string(random() % 5000)}});
      const int32_t n = t.RecordCount();
      ASSERT_EQ(t.RecordNumber(), n);
      // The neighbours in the order hold the keys around the new one.
      t.SkipRecords(-1);
      if (!t.Bof()) {
        EXPECT_LE(Trim(t.GetText("NAME")), name);
      }
      t.GoRecord(n);
      t.SkipRecords(1);
      if (!t.Eof()) {
        EXPECT_GE(Trim(t.GetText("NAME")), name);
      }
      t.GoRecord(n);
    }
    EXPECT_EQ(Walk(t).size(), static_cast<std::size_t>(t.RecordCount()));
    t.Close();
    EXPECT_TRUE(EqualsRebuild(dir, path));
  }
}

TEST(HandlerWrite, AnotherHandlersNodeSplitsAreSeenBeforeThisOneMovesOrWrites) {
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "S.DBF", kFields, {}, {TagSpec("NAME", "NAME")});
  std::set<std::string> names;
  std::mt19937 random(77);
  auto name = [&] {
    std::string n;
    for (int i = 0; i < 8; ++i) n += static_cast<char>('A' + random() % 26);
    names.insert(n);
    return n;
  };
  DBFObject a(path, true, true, "");
  DBFObject b(path, true, true, "");
  a.OpenIndexFile("S");
  b.OpenIndexFile("S");
  for (int i = 0; i < 60; ++i) Append(a, {{"NAME", name()}});
  a.SelectTag("NAME", false);
  for (int i = 0; i < 30; ++i) a.GoRecord(xbmoNext);  // A stands in the middle, its path cached
  const std::string here = a.GetText("NAME");
  for (int i = 0; i < 2000; ++i) Append(b, {{"NAME", name()}});
  // A goes on in key order over B's keys.
  auto at = names.find(here);
  ASSERT_NE(at, names.end());
  int steps = 0;
  for (auto it = std::next(at); it != names.end() && steps < 50; ++it, ++steps) {
    a.GoRecord(xbmoNext);
    ASSERT_EQ(a.GetText("NAME"), *it);
  }
  ASSERT_TRUE(a.SeekKey(here));
  steps = 0;
  for (auto it = std::make_reverse_iterator(at); it != names.rend() && steps < 50; ++it, ++steps) {
    a.GoRecord(xbmoPrevious);
    ASSERT_EQ(a.GetText("NAME"), *it);
  }
  // A's own appends land in the tree B has grown.
  for (int i = 0; i < 300; ++i) Append(a, {{"NAME", name()}});
  EXPECT_TRUE(EqualsRebuild(dir, path));
  EXPECT_EQ(Walk(a).size(), names.size());
}

TEST(HandlerWrite, AnotherHandlersNodeSplitsAreSeenBeforeThisOneGoesToARecordNumber) {
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "G.DBF", kFields, {}, {TagSpec("NAME", "NAME")});
  std::mt19937 random(78);
  std::vector<std::string> byRecord(1);  // names by record number
  std::set<std::string> names;
  auto append = [&](DBFObject& table) {
    std::string n;
    for (int i = 0; i < 8; ++i) n += static_cast<char>('A' + random() % 26);
    ASSERT_TRUE(names.insert(n).second);
    byRecord.push_back(n);
    Append(table, {{"NAME", n}});
  };
  DBFObject a(path, true, true, "");
  DBFObject b(path, true, true, "");
  a.OpenIndexFile("G");
  b.OpenIndexFile("G");
  for (int i = 0; i < 60; ++i) append(a);
  a.SelectTag("NAME", false);
  for (int i = 0; i < 30; ++i) a.GoRecord(xbmoNext);  // A's path cached
  // B grows the tree under A's cached pages (the root splits), then A goes
  // straight to records by their numbers: B's and its own.
  for (int i = 0; i < 3000; ++i) append(b);
  for (int32_t target : {2500, 1, 2999, 3004, 60, 1700}) {
    SCOPED_TRACE("record " + std::to_string(target));
    a.GoRecord(target);
    EXPECT_EQ(a.RecordNumber(), target);
    EXPECT_FALSE(a.OutOfOrder());
  }
  // The next move goes on in key order from there.
  const auto at = names.find(byRecord[1700]);
  ASSERT_NE(std::next(at), names.end());
  a.GoRecord(xbmoNext);
  EXPECT_EQ(a.GetText("NAME"), *std::next(at));
}

TEST(HandlerBuild, ProgressIsReportedInTheOrderTheDatasetShowsIt) {
  TempDir dir;
  const std::string path =
      MakeIndexedTable(dir.Path(), "P.DBF", kFields, {{{"NAME", "C"}}, {{"NAME", "A"}}, {{"NAME", "B"}}}, {});
  DBFObject t(path, false, true, "");
  std::vector<std::tuple<int, int, int>> events;
  t.OnStatusReport = [&](int status, int current, int total) { events.emplace_back(status, current, total); };
  t.CreateIndexTag("P", "NAME", 0, 1, "", "NAME");
  const std::vector<std::tuple<int, int, int>> expected = {{-1, 1, 3}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {0, 0, 0},
                                                           {-1, 2, 3}, {2, 1, 0}, {2, 2, 0}, {2, 3, 0}, {0, 0, 0}};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(t.State(), TxbTableState::Normal);
}

TEST(HandlerBuild, OrderAndUniquenessCodesChooseTheKindOfTag) {
  struct Case {
    int order;
    int uniqueness;
    bool ascending;
    bool unique;
    int collation;
    std::vector<int32_t> walk;
  };
  const Case cases[] = {
      {0, 1, true, false, cdxMachine, {2, 4, 3, 1}},  // a B b C by the sort weights
      {1, 1, false, false, cdxMachine, {1, 3, 4, 2}}, {0, 0, true, true, cdxMachine, {2, 4, 3, 1}},
      {7, 1, true, false, cdxGeneral, {2, 3, 4, 1}},  // GENERAL: b and B are one key
      {8, 0, false, true, cdxGeneral, {1, 3, 2}},
  };
  TempDir dir;
  const std::string path = MakeIndexedTable(
      dir.Path(), "O.DBF", kFields, {{{"NAME", "C"}}, {{"NAME", "a"}}, {{"NAME", "b"}}, {{"NAME", "B"}}}, {});
  for (const Case& c : cases) {
    SCOPED_TRACE("order " + std::to_string(c.order) + " uniqueness " + std::to_string(c.uniqueness));
    DBFObject t(path, false, true, "");
    t.CreateIndexTag("O.cdx", "K", c.order, c.uniqueness, "", "NAME");
    EXPECT_EQ(t.IndexFileCount(), 0);
    t.OpenIndexFile("O");
    XBobjIndexTag* tag = t.TagByNumber(1);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->Ascending(), c.ascending);
    EXPECT_EQ(tag->Unique(), c.unique);
    EXPECT_EQ(static_cast<XBobjCDXTag*>(tag)->Collation() == cdxGeneral, c.collation == cdxGeneral);
    t.SelectTag("K", false);
    EXPECT_EQ(Walk(t), c.walk);
  }
}

TEST(HandlerBuild, ABuildRefusesWhatItCannotMake) {
  TempDir dir;
  const std::string path =
      MakeIndexedTable(dir.Path(), "F.DBF", kFields, {{{"NAME", "A"}}}, {TagSpec("NAME", "NAME")});
  DBFObject t(path, false, true, "");
  t.OpenIndexFile("F");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.CreateIndexTag("F", " ", 0, 1, "", "NAME"); }), "Cannot find index tag  ");
  EXPECT_EQ(t.IndexFileCount(), 0);  // closed first, whatever follows
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.CreateIndexTag("F.idx", "", 0, 1, "", "NAME"); }),
            "File " + dir.File("F.idx") + " could not be found");
  EXPECT_NE(ErrorMessage<EXbaseError>([&] { t.CreateIndexTag("F", "BAD", 0, 1, "", "NOSUCHFIELD"); }), "(no error)");
  EXPECT_EQ(t.State(), TxbTableState::Normal);
  std::filesystem::copy_file(dir.File("F.cdx"), dir.File("G.cdx"));
  table_test::PatchBytes(dir.File("G.cdx"), 0, table_test::Le32Bytes(7));
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.CreateIndexTag("G", "NAME", 0, 1, "", "NAME"); }),
            "Index file " + dir.File("G.cdx") + " is corrupted");
  // The good file still has its tag.
  t.OpenIndexFile("F");
  EXPECT_EQ(t.SelectTag("NAME", false), 1);
}

TEST(HandlerPassword, ASharedTableIsRefused) {
  TempDir dir;
  const std::string path = MakeIndexedTable(dir.Path(), "P.DBF", kFields, {{{"NAME", "A"}}}, {});
  DBFObject t(path, true, true, "");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { t.SetPassword("x"); }), "SetPassword requires full access to file " + path);
}

TEST(HandlerPassword, RecordsMemosAndIndexesFollowEveryChange) {
  for (uint8_t version : {uint8_t{0x83}, uint8_t{0x8B}, uint8_t{0xF5}}) {
    SCOPED_TRACE(static_cast<int>(version));
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> expected;  // NAME, NOTE
    std::vector<handlertest::Values> records;
    for (int i = 0; i < 40; ++i) {
      expected.emplace_back(
          "N" + std::to_string((i * 37) % 100),
          i % 3 ? std::string(static_cast<std::size_t>(i * 40), static_cast<char>('a' + i % 26)) : "");
      records.push_back({{"NAME", expected.back().first}, {"NOTE", expected.back().second}});
    }
    const std::string path = MakeIndexedTable(dir.Path(), "M.DBF", {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 10, 0}},
                                              records, {TagSpec("NAME", "NAME")}, version);
    AnsiString current;
    for (const char* next : {"secret", "other", ""}) {
      SCOPED_TRACE(std::string("to '") + next + "'");
      {
        DBFObject t(path, false, true, current);
        t.OpenIndexFile("M");
        t.SelectTag("NAME", false);
        t.GoRecord(7);
        t.SetPassword(next);
        EXPECT_EQ(t.RecordNumber(), 7);
        EXPECT_EQ(t.Encrypted(), *next != 0);
        // Writes go on under the new password.
        Append(t, {{"NAME", "Z"}, {"NOTE", "late"}});
        const int32_t added = t.RecordNumber();
        Edit(t, added, {{"NAME", "ZZ" + std::to_string(added)}});
        expected.emplace_back("ZZ" + std::to_string(added), "late");
      }
      if (!current.empty()) {
        const std::string refusal = *next ? "Invalid Password for encrypted file " + path
                                          : "A Password is included for unencrypted file " + path;
        EXPECT_EQ(ErrorMessage<EXbaseError>([&] { DBFObject t(path, false, true, current); }), refusal);
      }
      current = next;
      if (!current.empty()) {
        EXPECT_EQ(ErrorMessage<EXbaseError>([&] { DBFObject t(path, false, true, ""); }), "No Password for encrypted file " + path);
      }
      {
        DBFObject t(path, false, true, current);
        t.OpenIndexFile("M");
        t.SelectTag("NAME", false);
        EXPECT_EQ(Walk(t).size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
          t.GoRecord(static_cast<int32_t>(i + 1));
          EXPECT_EQ(t.GetText("NAME"), expected[i].first);
          EXPECT_EQ(t.GetText("NOTE"), expected[i].second);
        }
      }
      EXPECT_TRUE(EqualsRebuild(dir, path, current));
    }
  }
}
