// The NDX file at byte level and in use: header and pages of new files per
// key kind, the tag named after the file without FOR and descending order,
// Zap, the usual STR width, the bounds of keys and expressions, trees of the
// longest keys, the header's next free block after splits, files of other
// programs with 16-byte numeric entries or one key per page, and the
// progress of a build.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "dbase/index/ndx_index.h"
#include "dbase/base/errors.h"
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

using filebytes::Le16;
using filebytes::Le32;

double DoubleAt(const std::string& s, std::size_t at) {
  double v;
  std::memcpy(&v, s.data() + at, 8);
  return v;
}

class NdxFiles : public IndexFileFixture<XBobjNDXFile> {
 public:
  NdxFiles() : IndexFileFixture({{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}}) {}
  void Add(const std::string& name, const std::string& amount, const std::string& day = "") {
    table->Append({{"NAME", name}, {"AMOUNT", amount}, {"DAY", day}});
  }
};

TEST(NdxFormat, NewFilesHaveTheDocumentedHeaderAndPages) {
  struct Case {
    const char* key;
    uint32_t headerKeyLength, type, entryLength, maxKeys;
  };
  // Text: 10 + 8 = 18 -> 20; numbers count 12 key bytes: 20; dates 8: 16.
  const Case cases[] = {{"NAME", 10, 0, 20, 25}, {"AMOUNT", 8, 1, 20, 25}, {"DAY", 8, 1, 16, 31}};
  NdxFiles f;
  f.Add("CHARLIE", "3", "3.1.2020");
  f.Add("ALPHA", "-1,5", "1.1.2020");
  f.Add("BRAVO", "2", "");
  for (const Case& c : cases) {
    f.Create("K.ndx", c.key, true).reset();
    std::string bytes = f.dir.Read("K.ndx");
    ASSERT_EQ(bytes.size(), 1024u) << c.key;
    EXPECT_EQ(Le32(bytes, 0), 1u) << c.key;                   // root
    EXPECT_EQ(Le32(bytes, 4), 2u) << c.key;                   // next free block
    EXPECT_EQ(Le16(bytes, 12), c.headerKeyLength) << c.key;
    EXPECT_EQ(Le16(bytes, 14), c.maxKeys) << c.key;
    EXPECT_EQ(Le16(bytes, 16), c.type) << c.key;
    EXPECT_EQ(Le16(bytes, 18), c.entryLength) << c.key;
    EXPECT_EQ(bytes[23], 1) << c.key;
    EXPECT_EQ(std::string(bytes.data() + 24), c.key);
    // The root leaf: three entries of (child 0, record, key).
    EXPECT_EQ(Le16(bytes, 512), 3u) << c.key;
    std::size_t e = 512 + 4;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Le32(bytes, e + static_cast<std::size_t>(i) * c.entryLength), 0u);
    std::vector<uint32_t> records;
    for (int i = 0; i < 3; ++i) records.push_back(Le32(bytes, e + static_cast<std::size_t>(i) * c.entryLength + 4));
    if (c.type == 0) {
      EXPECT_EQ(records, (std::vector<uint32_t>{2, 3, 1}));
      EXPECT_EQ(bytes.substr(e + 8, 10), "ALPHA     ");
    } else if (std::string(c.key) == "AMOUNT") {
      EXPECT_EQ(records, (std::vector<uint32_t>{2, 3, 1}));
      EXPECT_EQ(DoubleAt(bytes, e + 8), -1.5);
    } else {
      // No date is the empty date 1e100, after every day.
      EXPECT_EQ(records, (std::vector<uint32_t>{2, 1, 3}));
      EXPECT_EQ(DoubleAt(bytes, e + 2 * c.entryLength + 8), 1e100);
    }
  }
}

TEST(NdxFormat, TheTagIsNamedAfterTheFileAndKeepsNeitherForNorDescendingOrder) {
  NdxFiles f;
  for (const char* name : {"B", "C", "A"}) f.Add(name, "1");
  auto file = std::make_unique<XBobjNDXFile>(&f.table->link, f.dir.File("Orders.ndx"), true, true,
                                             fmOpenReadWrite, fmShareExclusive);
  // The format has no room for them: asked for, they are not kept.
  ASSERT_TRUE(file->CreateTag("OTHER", "NAME", false, false, "NAME = 'A'"));
  XBobjIndexTag* tag = file->TagAt(0);
  EXPECT_EQ(tag->TagName(), "ORDERS");
  EXPECT_TRUE(tag->Ascending());
  EXPECT_FALSE(tag->HasFor());
  EXPECT_EQ(f.Records(*tag), (std::vector<int32_t>{3, 1, 2}));
  file.reset();
  file = f.Open("orders");
  ASSERT_TRUE(file->Opened());
  EXPECT_EQ(file->TagAt(0)->TagName(), "ORDERS");
  EXPECT_EQ(file->TagAt(0)->KeyExpression(), "NAME");
}

TEST(NdxFormat, ZapLeavesAnEmptyRootAtBlockOne) {
  NdxFiles f;
  for (int i = 0; i < 200; ++i) f.Add("N" + std::to_string(i), std::to_string(i));
  auto file = f.Create("Z.ndx", "NAME");
  file->WriteHeldBlocks();
  ASSERT_GT(f.dir.Read("Z.ndx").size(), 4096u);
  file->Zap();
  file->WriteHeldBlocks();
  std::string bytes = f.dir.Read("Z.ndx");
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(Le32(bytes, 0), 1u);
  EXPECT_EQ(Le32(bytes, 4), 2u);
  EXPECT_EQ(bytes.substr(512), std::string(512, '\0'));
  EXPECT_TRUE(indexmodel::Walk(*file->TagAt(0), true).empty());
  // An empty table's tag has the same shape.
  NdxFiles empty;
  empty.Create("E.ndx", "NAME").reset();
  std::string fresh = empty.dir.Read("E.ndx");
  EXPECT_EQ(fresh.size(), 1024u);
  EXPECT_EQ(Le32(fresh, 0), 1u);
  // Reindex after Zap gives every key back.
  file->Reindex();
  EXPECT_EQ(indexmodel::Walk(*file->TagAt(0), true).size(), 200u);
  EXPECT_EQ(indexmodel::CheckNdxTag(*file->Tag()), "");
}

TEST(NdxFormat, StrKeepsItsUsualWidthOfTen) {
  NdxFiles f;
  for (const char* amount : {"5", "12", "123", "-7"}) f.Add("X", amount);
  auto file = f.Create("S.ndx", "STR(AMOUNT)", true);
  XBobjIndexTag* tag = file->TagAt(0);
  EXPECT_EQ(tag->KeyLength(), 10);
  // Right-aligned in ten places: "5" has a blank where "-7" has its sign.
  EXPECT_EQ(f.Records(*tag), (std::vector<int32_t>{1, 4, 2, 3}));
  f.table->SetExactMatch(true);
  for (const auto& [text, record] : std::vector<std::pair<std::string, int32_t>>{
           {"         5", 1}, {"        12", 2}, {"       123", 3}, {"        -7", 4}}) {
    XBobjIndexKeyData key;
    key.SetText(text);
    EXPECT_EQ(tag->FindKey(key), record) << text;
  }
  EXPECT_EQ(f.table->ExpressionLink()->DefaultNumberWidth(), 10);
}

TEST(NdxFormat, KeysAndExpressionsBeyondTheHeaderAreRefusedBeforeWriting) {
  NdxFiles f;
  f.Add("A", "1");
  struct Case {
    std::string key;
    std::string error;
  };
  const std::string longest = "NAME" + std::string(483, ' ');
  // Text keys stop at 244 bytes: two keys to a page.
  const Case cases[] = {
      {"NAME + SPACE(234)", ""},
      {"NAME + SPACE(235)", "Sort key length must be 1-244 bytes, is 245"},
      {"NAME + SPACE(240)", "Sort key length must be 1-244 bytes, is 250"},
      {"NAME + SPACE(241)", "Sort key length must be 1-244 bytes, is 251"},
      {"TRIM(NAME)", ""},  // "A": one byte
      {"LEFT(NAME, 0)", "Sort key length must be 1-244 bytes, is 0"},
      {longest, ""},
      {longest + " ", "Index expression too long for K"},
  };
  for (const Case& c : cases) {
    auto file = f.Create("K.ndx", "NAME");
    file->WriteHeldBlocks();
    std::string before = f.dir.Read("K.ndx");
    std::string error = ErrorMessage<EXbaseError>([&] { file->CreateTag("K", c.key, false, true, ""); });
    EXPECT_EQ(error, c.error.empty() ? "(no error)" : c.error) << c.key.size();
    if (!c.error.empty()) {
      file->WriteHeldBlocks();
      EXPECT_TRUE(f.dir.Read("K.ndx") == before) << c.key.size();
      EXPECT_EQ(file->TagAt(0)->KeyExpression(), "NAME");
    } else {
      EXPECT_EQ(indexmodel::Walk(*file->TagAt(0), true).size(), 1u);
    }
  }
}

// At 244 bytes a page holds two keys, the fewest that let every branch keep
// a key through builds and splits.
TEST(NdxFormat, TheLongestTextKeysKeepAKeyInEveryBranch) {
  const std::string key = "NAME + SPACE(234)";
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("K" + std::to_string((i * 113) % 300));
  auto expectAll = [&](XBobjNDXFile& file, const std::string& where) {
    EXPECT_EQ(indexmodel::CheckNdxTag(*file.Tag()), "") << where;
    std::vector<indexmodel::KeyRecord> walk = indexmodel::Walk(*file.Tag(), true);
    ASSERT_EQ(walk.size(), names.size()) << where;
    for (std::size_t i = 1; i < walk.size(); ++i)
      EXPECT_LT(indexmodel::CompareStored(walk[i - 1].first, walk[i].first, true), 0) << where;
  };
  NdxFiles f;
  // On the empty table the keys come one at a time and split the pages.
  auto kept = f.Create("KEPT.ndx", key);
  kept->WriteHeldBlocks();
  std::string empty = f.dir.Read("KEPT.ndx");
  EXPECT_EQ(Le16(empty, 12), 244u);
  EXPECT_EQ(Le16(empty, 14), 2u);
  EXPECT_EQ(Le16(empty, 18), 252u);
  f.table->indexes.push_back(kept.get());
  for (const std::string& name : names) f.Add(name, "1");
  expectAll(*kept, "kept");
  // Built from all records at once, and built again.
  auto built = f.Create("BUILT.ndx", key);
  expectAll(*built, "built");
  kept->Reindex();
  expectAll(*kept, "reindexed");
  // One byte more is refused on an empty table as on a filled one.
  NdxFiles none;
  auto file = none.Create("E.ndx", "NAME");
  file->WriteHeldBlocks();
  std::string before = none.dir.Read("E.ndx");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { file->CreateTag("E", "NAME + SPACE(235)", false, true, ""); }),
            "Sort key length must be 1-244 bytes, is 245");
  file->WriteHeldBlocks();
  EXPECT_TRUE(none.dir.Read("E.ndx") == before);
}

// Pages of one 250-byte key, as another program may have written them, are
// still read and searched.
TEST(NdxFormat, FilesOfOtherProgramsWithOneKeyPerPageAreRead) {
  NdxFiles f;
  f.Add("A", "1");
  f.Add("B", "2");
  rawindex::RawNdx raw;
  raw.expression = "NAME + SPACE(240)";
  raw.keyLength = 250;
  raw.keysPerLeaf = 1;
  raw.keys = {{"A", 1}, {"B", 2}};
  f.dir.Write("W.ndx", rawindex::WriteNdx(raw));
  auto file = f.Open("W.ndx");
  ASSERT_TRUE(file->Opened());
  EXPECT_EQ(file->Tag()->Layout().maxKeys, 1);
  EXPECT_EQ(f.Records(*file->Tag()), (std::vector<int32_t>{1, 2}));
  f.table->SetExactMatch(false);
  XBobjIndexKeyData seek;
  seek.SetText("B");
  EXPECT_EQ(file->Tag()->FindKey(seek), 2);
  EXPECT_EQ(indexmodel::CheckNdxTag(*file->Tag()), "");
}

TEST(NdxFormat, TheHeaderNamesTheNextFreeBlockAfterEverySplit) {
  NdxFiles f;
  auto file = f.Create("G.ndx", "NAME");
  f.table->indexes.push_back(file.get());
  int64_t lastSize = 0;
  int splits = 0;
  for (int i = 0; i < 150; ++i) {
    f.Add("K" + std::to_string((i * 37) % 150), "1");
    file->WriteHeldBlocks();
    std::string bytes = f.dir.Read("G.ndx");
    ASSERT_EQ(Le32(bytes, 4), bytes.size() / 512) << i;
    if (static_cast<int64_t>(bytes.size()) > lastSize) ++splits;
    lastSize = static_cast<int64_t>(bytes.size());
  }
  EXPECT_GT(splits, 5);
  EXPECT_EQ(indexmodel::CheckNdxTag(*file->Tag()), "");
}

TEST(NdxFormat, FilesWithSixteenByteNumericEntriesAreReadSearchedAndUpdated) {
  NdxFiles f;
  rawindex::RawNdx raw;
  raw.expression = "AMOUNT";
  raw.numeric = true;
  raw.entryLength = 16;
  raw.keysPerLeaf = 3;
  for (int i = 1; i <= 10; ++i) {
    f.Add("R", std::to_string(i * 10));
    raw.keys.push_back({rawindex::DoubleBytes(i * 10.0), i});
  }
  f.dir.Write("N.ndx", rawindex::WriteNdx(raw));
  auto file = f.Open("N.ndx");
  ASSERT_TRUE(file->Opened());
  XBobjNDXTag* tag = file->Tag();
  EXPECT_EQ(tag->Layout().entryLength, 16);
  EXPECT_EQ(tag->KeyType(), 'N');
  EXPECT_EQ(f.Records(*tag), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  f.table->SetExactMatch(true);
  XBobjIndexKeyData key;
  key.SetNumber(70);
  EXPECT_EQ(tag->FindKey(key), 7);
  // Changes keep the file's own entry length.
  f.table->indexes.push_back(file.get());
  f.table->Change(7, {{"AMOUNT", "5"}});
  for (int i = 0; i < 20; ++i) f.Add("S", std::to_string(200 - i));
  EXPECT_EQ(f.Records(*tag).front(), 7);
  EXPECT_EQ(f.Records(*tag).size(), 30u);
  EXPECT_EQ(Le16(f.dir.Read("N.ndx"), 18), 16u);
  EXPECT_EQ(indexmodel::CheckNdxTag(*tag), "");
}

TEST(NdxFormat, ABuildReportsRecordsThenKeysAndAnEmptyTableNothing) {
  using Report = indexmodel::ProgressReport;
  RegisterBuiltinExpressions();
  TempDir dir;
  CreateDbfTable(dir.File("P.DBF"), {{"NAME", 'C', 8, 0}});
  indexmodel::RecordingTable table(dir.File("P.DBF"), false);
  XBobjNDXFile empty(&table.link, dir.File("E.ndx"), true, true, fmOpenReadWrite, fmShareExclusive);
  empty.CreateTag("E", "NAME", false, true, "");
  EXPECT_TRUE(table.reports.empty());
  for (const char* name : {"B", "A", "C"}) table.Append({{"NAME", name}});
  table.reports.clear();
  XBobjNDXFile file(&table.link, dir.File("P.ndx"), true, true, fmOpenReadWrite, fmShareExclusive);
  file.CreateTag("P", "NAME", false, true, "");
  std::vector<Report> expected = {{-1, 1, 3}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {0, 0, 0},
                                  {-1, 2, 3}, {2, 1, 0}, {2, 2, 0}, {2, 3, 0}, {0, 0, 0}};
  EXPECT_EQ(table.reports, expected);
}

}  // namespace
