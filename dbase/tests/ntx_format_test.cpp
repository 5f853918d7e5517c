// The NTX file at byte level and in use: key texts of numbers and dates,
// header and pages of new files, the change counter, Zap, STR's width only
// inside the tag, trees whose branch items are keys (as other programs write
// them), numbers too wide for their key, the bounds of keys and
// expressions, the other programs' variants of the header and of empty
// dates, equal keys in insertion order, and the progress of a build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/base/dates.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/file_bytes.h"
#include "dbase/testing/index_file_fixture.h"
#include "dbase/testing/index_model.h"
#include "dbase/testing/raw_index_writer.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::IndexedTable;
using indexmodel::KeyRecord;

using filebytes::Le16;
using filebytes::Le32;

std::string Negated(std::string digits) {
  for (char& c : digits)
    if (c >= '0' && c <= '9') c = static_cast<char>(92 - c);
  return digits;
}

TEST(NtxKeys, NumbersBecomeTextsInValueOrder) {
  struct Case {
    double value;
    int width, decimals;
    std::string text;
  };
  const Case cases[] = {
      {12.5, 6, 1, "0012.5"},
      {-12.5, 6, 1, Negated("0012.5")},
      {0, 6, 1, "0000.0"},
      {123, 3, 0, "123"},
      {-7, 4, 0, Negated("0007")},
      {0, 1, 0, "0"},
      {-0.0, 3, 0, "000"},
      {4294967296, 10, 0, "4294967296"},
      {999999999999999, 15, 0, "999999999999999"},
      {1e15, 16, 0, "1000000000000000"},
      {-123, 5, 0, Negated("00123")},
      {12.5, 4, 0, "0013"},
      // Too wide for the key: the widest it shows.
      {1234, 3, 0, "999"},
      {1e14, 18, 4, "9999999999999.9999"},
      {-1e14, 18, 4, Negated("9999999999999.9999")},
  };
  for (const Case& c : cases) EXPECT_EQ(NtxNumberKey(c.value, c.width, c.decimals), c.text) << c.value;
  EXPECT_EQ(Negated("0012.5"), ",,+*.'");
  const double ordered[] = {-1e14, -1000, -12.5, -12.25, -0.5, 0, 0.5, 12.25, 12.5, 1000, 1e14};
  for (std::size_t i = 1; i < std::size(ordered); ++i)
    EXPECT_LT(NtxNumberKey(ordered[i - 1], 18, 4), NtxNumberKey(ordered[i], 18, 4)) << ordered[i];
}

TEST(NtxKeys, DatesAreDbaseTextsAndNoDateIsZeros) {
  EXPECT_EQ(NtxDateKey(0), "00000000");
  EXPECT_EQ(NtxDateKey(-5), "00000000");
  EXPECT_EQ(NtxDateKey(TxbDBFDate::kLastDay + 1), "00000000");
  EXPECT_EQ(NtxDateKey(DbfDate().TextToJulian("20200201")), "20200201");
}

class NtxFiles : public IndexFileFixture<XBobjNTXFile> {
 public:
  NtxFiles()
      : IndexFileFixture({{"NAME", 'C', 10, 0},
                          {"AMOUNT", 'N', 10, 2},
                          {"DAY", 'D', 8, 0},
                          {"SMALL", 'N', 6, 0},
                          {"BIG", 'N', 20, 2}}) {}
  void Add(const std::vector<std::pair<std::string, std::string>>& fields) { table->Append(fields); }
};

TEST(NtxFormat, NewFilesHaveTheDocumentedHeaderAndPages) {
  struct Case {
    const char* key;
    const char* forExpression;
    bool unique, ascending;
    uint32_t keyLength, decimals;
  };
  const Case cases[] = {
      {"NAME", "", false, true, 10, 0},
      {"AMOUNT", "AMOUNT > 0", true, false, 10, 2},  // the field's length and decimals
      {"AMOUNT * 2", "", false, true, 18, 4},        // any other number
      {"DAY", "", false, false, 8, 0},
  };
  NtxFiles f;
  f.Add({{"NAME", "BRAVO"}, {"AMOUNT", "2"}, {"DAY", "2.2.2020"}});
  f.Add({{"NAME", "ALPHA"}, {"AMOUNT", "-1,5"}, {"DAY", "1.1.2020"}});
  for (const Case& c : cases) {
    f.Create("K.ntx", c.key, c.unique, c.ascending, c.forExpression).reset();
    std::string bytes = f.dir.Read("K.ntx");
    ASSERT_EQ(bytes.size(), 2048u) << c.key;
    EXPECT_EQ(Le16(bytes, 0), *c.forExpression ? 7u : 6u) << c.key;
    EXPECT_EQ(Le16(bytes, 2), 1u) << c.key;
    EXPECT_EQ(Le32(bytes, 4), 1024u) << c.key;
    EXPECT_EQ(Le32(bytes, 8), 0u) << c.key;
    EXPECT_EQ(Le16(bytes, 12), c.keyLength + 8) << c.key;
    EXPECT_EQ(Le16(bytes, 14), c.keyLength) << c.key;
    EXPECT_EQ(Le16(bytes, 16), c.decimals) << c.key;
    uint32_t half = (1020 / (c.keyLength + 10) - 1) / 2;
    EXPECT_EQ(Le16(bytes, 18), 2 * half) << c.key;
    EXPECT_EQ(Le16(bytes, 20), half) << c.key;
    EXPECT_EQ(std::string(bytes.data() + 22), c.key);
    EXPECT_EQ(bytes[278], c.unique ? 1 : 0) << c.key;
    EXPECT_EQ(bytes[279], c.ascending ? 0 : 1) << c.key;
    EXPECT_EQ(bytes[280], c.ascending ? 0 : 1) << c.key;
    EXPECT_EQ(std::string(bytes.data() + 282), c.forExpression);
    // The root leaf: the offset table filled, items in order behind it.
    std::size_t p = 1024;
    uint32_t count = *c.forExpression ? 1 : 2;
    EXPECT_EQ(Le16(bytes, p), count) << c.key;
    uint32_t tableEnd = 2 + 2 * (2 * half + 1);
    for (uint32_t i = 0; i <= 2 * half; ++i) EXPECT_EQ(Le16(bytes, p + 2 + 2 * i), tableEnd + i * (c.keyLength + 8));
    std::size_t item = p + tableEnd;
    EXPECT_EQ(Le32(bytes, item), 0u) << c.key;
    std::string first = bytes.substr(item + 8, c.keyLength);
    std::string key = c.key;
    std::string expected = key == "NAME"     ? "ALPHA     "
                           : key == "AMOUNT" ? "0000002.00"  // the FOR keeps record 1 only
                           : key == "DAY"    ? "20200202"    // descending: the later day first
                                             : Negated("0000000000003.0000");
    EXPECT_EQ(first, expected) << c.key;
  }
}

TEST(NtxFormat, TheTagIsNamedAfterTheFile) {
  NtxFiles f;
  f.Add({{"NAME", "A"}});
  f.Create("Orders.ntx", "NAME").reset();
  auto file = f.Open("orders");
  ASSERT_TRUE(file->Opened());
  EXPECT_EQ(file->TagAt(0)->TagName(), "ORDERS");
  EXPECT_EQ(file->TagAt(0)->KeyExpression(), "NAME");
}

TEST(NtxFormat, EveryRecordChangeCountsAndTheCounterWrapsToOne) {
  NtxFiles f;
  f.Add({{"NAME", "A"}});
  auto file = f.Create("C.ntx", "NAME");
  f.table->indexes.push_back(file.get());
  f.Add({{"NAME", "B"}});
  f.table->Change(1, {{"NAME", "C"}});
  file->WriteHeldBlocks();
  EXPECT_EQ(Le16(f.dir.Read("C.ntx"), 2), 3u);
  // Another program has counted to the top.
  std::string bytes = f.dir.Read("C.ntx");
  filebytes::PutLe16(bytes, 2, 0x7FFF);
  f.table->indexes.clear();
  file.reset();
  f.dir.Write("C.ntx", bytes);
  file = f.Open("C.ntx");
  f.table->indexes.push_back(file.get());
  f.table->Change(2, {{"NAME", "D"}});
  file->WriteHeldBlocks();
  EXPECT_EQ(Le16(f.dir.Read("C.ntx"), 2), 1u);
  f.table->Change(2, {{"NAME", "E"}});
  file->WriteHeldBlocks();
  EXPECT_EQ(Le16(f.dir.Read("C.ntx"), 2), 2u);
  EXPECT_EQ(f.Records(*file->TagAt(0)), (std::vector<int32_t>{1, 2}));
}

TEST(NtxFormat, ZapLeavesTwoPagesAnEmptyRootAndACounterThatCountsOn) {
  NtxFiles f;
  for (int i = 0; i < 300; ++i) f.Add({{"NAME", "N" + std::to_string(i)}});
  auto file = f.Create("Z.ntx", "NAME");
  file->WriteHeldBlocks();
  ASSERT_GT(f.dir.Read("Z.ntx").size(), 8192u);
  file->Zap();
  file->WriteHeldBlocks();
  std::string bytes = f.dir.Read("Z.ntx");
  ASSERT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(Le32(bytes, 4), 1024u);
  // Not back to 1: a reader that last saw 1 would take the emptied file
  // for unchanged.
  EXPECT_EQ(Le16(bytes, 2), 2u);
  EXPECT_EQ(Le16(bytes, 1024), 0u);
  EXPECT_TRUE(indexmodel::Walk(*file->TagAt(0), true).empty());
  file->Reindex();
  file->WriteHeldBlocks();
  EXPECT_EQ(Le16(f.dir.Read("Z.ntx"), 2), 3u);
  EXPECT_EQ(indexmodel::Walk(*file->TagAt(0), true).size(), 300u);
  EXPECT_EQ(indexmodel::CheckNtxTag(*file->Tag()), "");
}

TEST(NtxFormat, StrTakesItsArgumentsWidthOnlyInsideTheTag) {
  NtxFiles f;
  for (const char* small : {"5", "12", "123", "-7", "40"}) f.Add({{"NAME", "X"}, {"SMALL", small}});
  TxbExpUserLink* link = f.table->ExpressionLink();
  TxbExpHandler filter(link, false, "STR(SMALL) = '        12'");
  auto ntx = f.Create("S.ntx", "STR(SMALL)");
  // The field is six wide: so are the keys.
  EXPECT_EQ(ntx->TagAt(0)->KeyLength(), 6);
  EXPECT_EQ(link->DefaultNumberWidth(), 10);
  // A compound tag on the same expression keeps the usual width, through
  // changes made while the NTX file is open.
  XBobjCDXFile cdx(&f.table->link, f.dir.File("S.cdx"), true, true, fmOpenReadWrite, fmShareExclusive);
  cdx.CreateTag("STR", "STR(SMALL)", false, true, "");
  f.table->indexes = {ntx.get(), &cdx};
  f.table->Change(1, {{"SMALL", "999"}});
  f.table->Change(3, {{"SMALL", "-12"}});
  f.Add({{"NAME", "Y"}, {"SMALL", "12"}});
  EXPECT_EQ(link->DefaultNumberWidth(), 10);
  XBobjIndexTag* cdxTag = cdx.FindTag("STR");
  EXPECT_EQ(cdxTag->KeyLength(), 10);
  EXPECT_EQ(indexmodel::CheckCdxTag(*static_cast<XBobjCDXTag*>(cdxTag)), "");
  // Values 999, 12, -12, -7, 40, 12: a blank before "-" before digits, in
  // either width.
  EXPECT_EQ(f.Records(*cdxTag), (std::vector<int32_t>{4, 2, 6, 5, 3, 1}));
  EXPECT_EQ(f.Records(*ntx->TagAt(0)), (std::vector<int32_t>{4, 2, 6, 5, 3, 1}));
  std::vector<int32_t> matching;
  for (int32_t n = 1; n <= f.table->RecordCount(); ++n) {
    f.table->GoRecord(n);
    Variant value;
    filter.EvaluateVariant(value);
    if (value.AsBool()) matching.push_back(n);
  }
  EXPECT_EQ(matching, (std::vector<int32_t>{2, 6}));
}

// Files written by other programs: a tree of three levels whose branch
// items are keys, items in permuted slots, the free list and the
// descending flag where those programs keep them.
rawindex::RawNtx ThreeLevels(NtxFiles& f, int keys, bool descending) {
  rawindex::RawNtx raw;
  raw.expression = "NAME";
  raw.keyLength = 10;
  raw.descending = descending;
  raw.freeListHead = 0x00ABCDEF;
  raw.counter = 40;
  raw.branchKeys = 2;
  raw.levels = 3;
  std::vector<int> order(static_cast<std::size_t>(keys));
  for (int i = 0; i < keys; ++i) order[static_cast<std::size_t>(i)] = i;
  if (descending) std::reverse(order.begin(), order.end());
  for (int i = 0; i < keys; ++i) f.Add({{"NAME", "K" + std::to_string(100 + i)}});
  for (int i : order) raw.keys.push_back({"K" + std::to_string(100 + i), i + 1});
  return raw;
}

TEST(NtxFormat, TreesWithKeysInBranchItemsAreReadWholeAndKeptSo) {
  for (bool descending : {false, true}) {
    NtxFiles f;
    rawindex::RawNtx raw = ThreeLevels(f, 40, descending);
    f.dir.Write("B.ntx", rawindex::NtxWriter().Write(raw));
    auto file = f.Open("B.ntx");
    ASSERT_TRUE(file->Opened());
    XBobjNTXTag* tag = file->Tag();
    EXPECT_EQ(tag->Ascending(), !descending);
    EXPECT_EQ(indexmodel::CheckNtxTag(*tag), "");
    std::vector<int32_t> expected;
    for (const auto& k : raw.keys) expected.push_back(k.record);
    EXPECT_EQ(f.Records(*tag), expected) << descending;
    std::vector<int32_t> backward = expected;
    std::reverse(backward.begin(), backward.end());
    std::vector<int32_t> walked;
    for (auto& kr : indexmodel::Walk(*tag, false)) walked.push_back(kr.second);
    EXPECT_EQ(walked, backward);
    // Every key is found, those in branch items as well.
    f.table->SetExactMatch(true);
    for (const auto& k : raw.keys) {
      XBobjIndexKeyData key;
      key.SetText(k.bytes);
      ASSERT_EQ(tag->FindKey(key), k.record) << k.bytes;
    }
    // Changes of every kind, then the tree is whole and holds every record
    // once.
    f.table->indexes.push_back(file.get());
    std::mt19937 rng(descending ? 7 : 8);
    for (int i = 0; i < 200; ++i) {
      int32_t n = static_cast<int32_t>(1 + rng() % static_cast<uint32_t>(f.table->RecordCount()));
      if (rng() % 3 == 0)
        f.Add({{"NAME", "K" + std::to_string(rng() % 300)}});
      else
        f.table->Change(n, {{"NAME", "K" + std::to_string(rng() % 300)}});
      ASSERT_EQ(indexmodel::CheckNtxTag(*tag), "") << i;
    }
    std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
    ASSERT_EQ(walk.size(), static_cast<std::size_t>(f.table->RecordCount()));
    std::vector<int32_t> records;
    for (auto& kr : walk) {
      f.table->GoRecord(kr.second);
      EXPECT_EQ(TrimRight(f.table->GetText("NAME")), kr.first);
      records.push_back(kr.second);
    }
    std::sort(records.begin(), records.end());
    for (std::size_t i = 0; i < records.size(); ++i) ASSERT_EQ(records[i], static_cast<int32_t>(i + 1));
    // The header keeps the other program's free list; both descending bytes
    // are written.
    tag->IndexFile()->WriteHeldBlocks();
    std::string bytes = f.dir.Read("B.ntx");
    EXPECT_EQ(Le32(bytes, 8), 0x00ABCDEFu);
    EXPECT_EQ(bytes[279], descending ? 1 : 0);
    EXPECT_EQ(bytes[280], descending ? 1 : 0);
  }
}

TEST(NtxFormat, NumbersTooWideForTheKeySortAtTheEndsAndStayInTheirItems) {
  NtxFiles f;
  const char* values[] = {"5", "100000000000000", "-3", "-100000000000000", "7"};
  for (const char* v : values) f.Add({{"BIG", v}});
  auto file = f.Create("W.ntx", "BIG * 1");
  XBobjNTXTag* tag = file->Tag();
  EXPECT_EQ(tag->KeyLength(), 18);
  EXPECT_EQ(f.Records(*tag), (std::vector<int32_t>{4, 3, 1, 5, 2}));
  NtxNode root;
  tag->ReadNode(tag->RootPosition(), root);
  ASSERT_EQ(root.keys.size(), 5u);
  EXPECT_EQ(root.keys[0].bytes, Negated("9999999999999.9999"));
  EXPECT_EQ(root.keys[2].bytes, "0000000000005.0000");
  EXPECT_EQ(root.keys[4].bytes, "9999999999999.9999");
  EXPECT_EQ(root.keys[3].record, 5);
}

TEST(NtxFormat, KeysAndExpressionsBeyondTheHeaderAreRefusedBeforeWriting) {
  NtxFiles f;
  f.Add({{"NAME", "A"}, {"AMOUNT", "1"}});
  struct Case {
    std::string key;
    std::string forExpression;
    std::string error;
  };
  const Case cases[] = {
      {"NAME + SPACE(240)", "", ""},
      {"NAME + SPACE(241)", "", "Sort key length must be 1-250 bytes, is 251"},
      {"LEFT(NAME, 0)", "", "Sort key length must be 1-250 bytes, is 0"},
      {"NAME" + std::string(251, ' '), "", ""},
      {"NAME" + std::string(252, ' '), "", "Index expression too long for K"},
      {"NAME", "AMOUNT > 0" + std::string(731, ' '), ""},
      {"NAME", "AMOUNT > 0" + std::string(732, ' '), "Index expression too long for K"},
  };
  for (const Case& c : cases) {
    auto file = f.Create("K.ntx", "NAME");
    file->WriteHeldBlocks();
    std::string before = f.dir.Read("K.ntx");
    std::string error = ErrorMessage<EXbaseError>([&] { file->CreateTag("K", c.key, false, true, c.forExpression); });
    EXPECT_EQ(error, c.error.empty() ? "(no error)" : c.error) << c.key.size() << "/" << c.forExpression.size();
    if (!c.error.empty()) {
      file->WriteHeldBlocks();
      EXPECT_TRUE(f.dir.Read("K.ntx") == before);
    } else {
      EXPECT_EQ(indexmodel::Walk(*file->TagAt(0), true).size(), 1u);
    }
  }
  // The longest key still leaves two items per page.
  for (int i = 0; i < 30; ++i) f.Add({{"NAME", "N" + std::to_string(i)}});
  auto file = f.Create("L.ntx", "NAME + SPACE(240)");
  EXPECT_EQ(file->Tag()->Layout().maxItems, 2);
  EXPECT_EQ(indexmodel::CheckNtxTag(*file->Tag()), "");
  EXPECT_EQ(indexmodel::Walk(*file->TagAt(0), true).size(), 31u);
}

TEST(NtxFormat, EmptyDatesWrittenAsBlanksAreFoundAndMaintained) {
  NtxFiles f;
  rawindex::RawNtx raw;
  raw.expression = "DAY";
  raw.keyLength = 8;
  raw.levels = 2;
  raw.branchKeys = 1;
  for (int i = 1; i <= 6; ++i) {
    bool empty = i <= 3;
    std::string day = empty ? "" : "1.1.20" + std::to_string(10 + i);
    f.Add({{"DAY", day}});
    raw.keys.push_back({empty ? std::string(8, ' ') : "20" + std::to_string(10 + i) + "0101", i});
  }
  f.dir.Write("D.ntx", rawindex::NtxWriter().Write(raw));
  auto file = f.Open("D.ntx");
  XBobjNTXTag* tag = file->Tag();
  ASSERT_EQ(tag->KeyType(), 'D');
  f.table->SetExactMatch(true);
  XBobjIndexKeyData key;
  key.SetDate(0);
  int32_t found = tag->FindKey(key);
  EXPECT_TRUE(found >= 1 && found <= 3) << found;
  f.table->indexes.push_back(file.get());
  f.table->Change(2, {{"DAY", "5.5.2030"}});
  f.table->Change(1, {{"DAY", "6.6.2030"}});
  EXPECT_EQ(f.Records(*tag), (std::vector<int32_t>{3, 4, 5, 6, 2, 1}));
  EXPECT_EQ(indexmodel::CheckNtxTag(*tag), "");
}

TEST(NtxFormat, ItemCountsAreTakenFromTheHeaderAsStored) {
  NtxFiles f;
  rawindex::RawNtx raw;
  raw.expression = "LEFT(NAME, 4)";
  raw.keyLength = 4;
  raw.maxItems = 72;  // the formula gives 70 for four bytes
  raw.halfItems = 36;
  raw.levels = 1;
  for (int i = 0; i < 72; ++i) {
    std::string name = "N" + std::to_string(100 + i);
    f.Add({{"NAME", name}});
    raw.keys.push_back({name, i + 1});
  }
  f.dir.Write("M.ntx", rawindex::NtxWriter().Write(raw));
  auto file = f.Open("M.ntx");
  ASSERT_TRUE(file->Opened());
  EXPECT_EQ(file->Tag()->Layout().maxItems, 72);
  EXPECT_EQ(f.Records(*file->TagAt(0)).size(), 72u);
  f.table->indexes.push_back(file.get());
  f.Add({{"NAME", "N000"}});  // the 73rd key splits the root
  NtxNode root;
  file->Tag()->ReadNode(file->Tag()->RootPosition(), root);
  EXPECT_FALSE(root.IsLeaf());
  EXPECT_EQ(Le16(f.dir.Read("M.ntx"), 18), 72u);
  EXPECT_EQ(indexmodel::CheckNtxTag(*file->Tag()), "");
  EXPECT_EQ(f.Records(*file->TagAt(0)).front(), 73);
}

TEST(NtxFormat, EqualKeysKeepInsertionOrderAlsoWhenDescending) {
  NtxFiles f;
  for (const char* name : {"B", "A", "B", "C", "B"}) f.Add({{"NAME", name}});
  auto file = f.Create("E.ntx", "NAME", false, false);
  EXPECT_EQ(f.Records(*file->TagAt(0)), (std::vector<int32_t>{4, 1, 3, 5, 2}));
  f.table->indexes.push_back(file.get());
  f.Add({{"NAME", "B"}});
  f.table->Change(1, {{"NAME", "C"}});
  f.table->Change(1, {{"NAME", "B"}});
  EXPECT_EQ(f.Records(*file->TagAt(0)), (std::vector<int32_t>{4, 3, 5, 6, 1, 2}));
}

TEST(NtxFormat, ABuildReportsRecordsThenKeysAndAnEmptyTableNothing) {
  using Report = indexmodel::ProgressReport;
  RegisterBuiltinExpressions();
  TempDir dir;
  CreateDbfTable(dir.File("P.DBF"), {{"NAME", 'C', 8, 0}, {"SEQ", 'N', 4, 0}});
  indexmodel::RecordingTable table(dir.File("P.DBF"), false);
  XBobjNTXFile empty(&table.link, dir.File("E.ntx"), true, true, fmOpenReadWrite, fmShareExclusive);
  empty.CreateTag("E", "NAME", false, true, "");
  EXPECT_TRUE(table.reports.empty());
  for (int i = 1; i <= 4; ++i) table.Append({{"NAME", "N" + std::to_string(i)}, {"SEQ", std::to_string(i)}});
  table.reports.clear();
  XBobjNTXFile file(&table.link, dir.File("P.ntx"), true, true, fmOpenReadWrite, fmShareExclusive);
  file.CreateTag("P", "NAME", false, true, "SEQ <> 2");
  std::vector<Report> expected = {{-1, 1, 4}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 4, 0}, {0, 0, 0},
                                  {-1, 2, 4}, {2, 1, 0}, {2, 2, 0}, {2, 3, 0}, {0, 0, 0}};
  EXPECT_EQ(table.reports, expected);
}

}  // namespace
