// The table handler with index files of all four formats: CreateIndexTag
// and OpenIndexFile for each extension, one table keeping a CDX, an MDX, an
// NDX and an NTX file current through appends and rewrites, seeks and
// orders through each, a filter using STR() beside an NTX file, and damaged
// files of each kind refused with the engine's message.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/index_model.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/testing/table_fixtures.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

using namespace handlertest;
using indexmodel::KeyRecord;

const std::vector<TxbFieldSpec> kFields = {
    {"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}, {"SMALL", 'N', 6, 0}};

// The tags of the four files: (file, tag, key, order code).
struct FileTag {
  const char* file;
  const char* tag;
  const char* key;
  int order;
};
const FileTag kFileTags[] = {
    {"T.cdx", "NAME", "NAME", 0},     {"T.mdx", "AMT", "AMOUNT", 1},  {"T.mdx", "DAYM", "DAY", 0},
    {"DAYS.ndx", "", "DAY", 0},       {"AMTS.ndx", "", "AMOUNT", 0},  {"NAMES.ntx", "", "NAME", 1},
    {"SMALLS.ntx", "", "SMALL", 0},
};

std::string TagNameOf(const FileTag& t) {
  if (*t.tag) return t.tag;
  std::string base = t.file;
  return UpperCase(base.substr(0, base.find('.')));
}

class FourFormats {
 public:
  FourFormats() {
    RegisterBuiltinExpressions();
    path = handlertest::MakeIndexedTable(dir.Path(), "T.DBF", kFields, {}, {});
    table = std::make_unique<DBFObject>(path, false, true, "");
  }
  void BuildAll() {
    for (const FileTag& t : kFileTags) table->CreateIndexTag(t.file, t.tag, t.order, 1, "", t.key);
    for (const char* file : {"T.cdx", "T.mdx", "DAYS.ndx", "AMTS.ndx", "NAMES.ntx", "SMALLS.ntx"})
      ASSERT_EQ(table->OpenIndexFile(file), 0) << file;
  }
  XBobjIndexTag* Tag(const std::string& name) {
    for (int n = 1; n <= table->TagCount(); ++n)
      if (SameText(table->TagByNumber(n)->TagName(), name)) return table->TagByNumber(n);
    return nullptr;
  }
  // What the tag must hold: every record's stored key, as a sorted list.
  std::vector<KeyRecord> Expected(XBobjIndexTag& tag) {
    std::vector<KeyRecord> out;
    for (int32_t n = 1; n <= table->RecordCount(); ++n) {
      table->SelectTag("", false);
      table->GoRecord(n);
      TxbVariant key(0);
      tag.EvaluateKey(key);
      tag.KeyToStoredForm(key, true);
      out.push_back({indexmodel::Bytes(key), n});
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  TempDir dir;
  std::string path;
  std::unique_ptr<DBFObject> table;
};

Values RandomRecord(std::mt19937& rng) {
  return {{"NAME", "N" + std::to_string(rng() % 60)},
          {"AMOUNT", std::to_string(static_cast<int>(rng() % 2000) - 1000) + ",5"},
          {"DAY", rng() % 5 ? std::to_string(1 + rng() % 28) + ".3.20" + std::to_string(10 + rng() % 20) : ""},
          {"SMALL", std::to_string(static_cast<int>(rng() % 200) - 100)}};
}

TEST(HandlerIndexFormats, OneTableKeepsFilesOfAllFourFormatsCurrent) {
  FourFormats f;
  std::mt19937 rng(11);
  for (int i = 0; i < 40; ++i) handlertest::Append(*f.table, RandomRecord(rng));
  f.BuildAll();
  EXPECT_EQ(f.table->IndexFileCount(), 6);
  EXPECT_EQ(f.table->TagCount(), 7);
  for (int i = 0; i < 400; ++i) {
    if (rng() % 3 == 0)
      handlertest::Append(*f.table, RandomRecord(rng));
    else
      handlertest::Edit(*f.table, static_cast<int32_t>(1 + rng() % static_cast<uint32_t>(f.table->RecordCount())),
                        RandomRecord(rng));
  }
  for (const FileTag& t : kFileTags) {
    XBobjIndexTag* tag = f.Tag(TagNameOf(t));
    ASSERT_NE(tag, nullptr) << t.file;
    std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
    std::sort(walk.begin(), walk.end());
    EXPECT_EQ(walk, f.Expected(*tag)) << t.file << " " << TagNameOf(t);
    EXPECT_EQ(indexmodel::CheckIndexTag(*tag), "") << t.file;
    // The table's order through the tag reaches every record once.
    f.table->SelectTag(TagNameOf(t), false);
    std::vector<int32_t> order = handlertest::Walk(*f.table);
    std::sort(order.begin(), order.end());
    ASSERT_EQ(order.size(), static_cast<std::size_t>(f.table->RecordCount())) << t.file;
    for (std::size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], static_cast<int32_t>(i + 1));
  }
  // Seeks through each kind of tag find the record they ask for.
  handlertest::Edit(*f.table, 7, {{"NAME", "SOUGHT"}, {"AMOUNT", "4321,5"}, {"DAY", "9.9.2099"}, {"SMALL", "777"}});
  f.table->SetExactMatch(true);
  const std::pair<const char*, const char*> seeks[] = {{"NAME", "SOUGHT"}, {"AMT", "4321.5"},   {"DAYM", "20990909"},
                                                       {"DAYS", "20990909"}, {"AMTS", "4321.5"}, {"NAMES", "SOUGHT"},
                                                       {"SMALLS", "777"}};
  for (const auto& [tag, key] : seeks) {
    f.table->SelectTag(tag, false);
    EXPECT_TRUE(f.table->SeekKey(key)) << tag;
    EXPECT_EQ(f.table->RecordNumber(), 7) << tag;
  }
}

TEST(HandlerIndexFormats, CreateIndexTagMakesEveryKindOfFile) {
  FourFormats f;
  for (const char* name : {"B", "C", "A"}) handlertest::Append(*f.table, {{"NAME", name}});
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { f.table->CreateIndexTag("M.mdx", "", 0, 1, "", "NAME"); }),
            "Cannot find index tag ");
  f.table->CreateIndexTag("M.mdx", "BYNAME", 1, 1, "", "NAME");
  // A single-tag file is made anew, named after the file whatever the tag.
  f.table->CreateIndexTag("One.ndx", "IGNORED", 0, 1, "", "NAME");
  f.table->CreateIndexTag("Two.ntx", "", 1, 0, "NAME <> 'B'", "NAME");
  f.table->CreateIndexTag("Two.ntx", "", 0, 1, "", "NAME");
  ASSERT_EQ(f.table->OpenIndexFile("M.mdx"), 0);
  ASSERT_EQ(f.table->OpenIndexFile("One.ndx"), 0);
  ASSERT_EQ(f.table->OpenIndexFile("Two.ntx"), 0);
  EXPECT_EQ(f.table->OpenIndexFile("two.NTX"), -1);
  const std::pair<const char*, std::vector<int32_t>> orders[] = {
      {"BYNAME", {2, 1, 3}}, {"ONE", {3, 1, 2}}, {"TWO", {3, 1, 2}}};
  for (const auto& [tag, records] : orders) {
    f.table->SelectTag(tag, false);
    EXPECT_EQ(handlertest::Walk(*f.table), records) << tag;
  }
}

// Another workstation may build an index file for a shared table: a new
// file of every kind is made and ordered; one that another handle holds
// open is refused and keeps its bytes.
TEST(HandlerIndexFormats, FilesAreBuiltForSharedTablesButNeverUnderAnotherHandle) {
  FourFormats f;
  for (const char* name : {"B", "C", "A"}) handlertest::Append(*f.table, {{"NAME", name}});
  f.table.reset();
  DBFObject shared(f.path, true, true, "");
  const std::pair<const char*, const char*> files[] = {
      {"S.cdx", "BYNAME"}, {"S.mdx", "BYNAME"}, {"SN.ndx", "SN"}, {"ST.ntx", "ST"}};
  for (const auto& [file, tag] : files) {
    shared.CreateIndexTag(file, "BYNAME", 0, 1, "", "NAME");
    ASSERT_EQ(shared.OpenIndexFile(file), 0) << file;
    shared.SelectTag(tag, false);
    EXPECT_EQ(handlertest::Walk(shared), (std::vector<int32_t>{3, 1, 2})) << file;
  }
  // A build closes the table's index files; with the NDX and NTX files
  // open in `shared` again, a second handle may not make them anew.
  ASSERT_EQ(shared.OpenIndexFile("SN.ndx"), 0);
  DBFObject other(f.path, true, true, "");
  for (const char* file : {"SN.ndx", "ST.ntx"}) {
    const std::string path = f.dir.File(file);
    const std::string before = table_test::ReadBytes(path);
    ASSERT_FALSE(before.empty()) << file;
    EXPECT_THROW(other.CreateIndexTag(file, "", 0, 1, "", "NAME"), EXbaseError) << file;
    EXPECT_EQ(table_test::ReadBytes(path), before) << file;
  }
}

TEST(HandlerIndexFormats, AFilterUsingStrIsTheSameWithAnNtxFileOpen) {
  FourFormats f;
  for (const char* small : {"5", "12", "123", "-7", "12"}) handlertest::Append(*f.table, {{"SMALL", small}});
  f.table->SetFilterExpression("STR(SMALL) = '        12'", false, false);
  f.table->EnableFilter(true);
  std::vector<int32_t> without = handlertest::Walk(*f.table);
  EXPECT_EQ(without, (std::vector<int32_t>{2, 5}));
  f.table->CreateIndexTag("S.ntx", "", 0, 1, "", "STR(SMALL)");
  ASSERT_EQ(f.table->OpenIndexFile("S.ntx"), 0);
  handlertest::Edit(*f.table, 1, {{"SMALL", "12"}});
  f.table->SetFilterExpression("STR(SMALL) = '        12'", false, false);
  EXPECT_EQ(handlertest::Walk(*f.table), (std::vector<int32_t>{1, 2, 5}));
  // Equal keys in the order they were written.
  f.table->SelectTag("S", false);
  EXPECT_EQ(handlertest::Walk(*f.table), (std::vector<int32_t>{2, 5, 1}));
  EXPECT_EQ(f.table->TagByNumber(1)->KeyLength(), 6);
}

TEST(HandlerIndexFormats, DamagedFilesOfEveryKindAreReportedAsCorrupted) {
  FourFormats f;
  handlertest::Append(*f.table, {{"NAME", "A"}});
  struct Case {
    const char* file;
    std::size_t offset;  // a header byte that makes the file unreadable
  };
  // NDX: the root block; NTX: the signature; MDX: the page size.
  const Case cases[] = {{"D.ndx", 0}, {"D.ntx", 0}, {"D.mdx", 22}};
  for (const Case& c : cases) {
    f.table->CreateIndexTag(c.file, "TAG", 0, 1, "", "NAME");
    std::string bytes = f.dir.Read(c.file);
    bytes[c.offset] = static_cast<char>(bytes[c.offset] ^ 0x55);
    f.dir.Write(c.file, bytes);
    EXPECT_EQ(ErrorMessage<EXbaseError>([&] { f.table->OpenIndexFile(c.file); }),
              "Index file " + f.dir.File(c.file) + " is corrupted")
        << c.file;
  }
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { f.table->OpenIndexFile("missing.ntx"); }),
            "File " + f.dir.File("missing.ntx") + " could not be found");
}

}  // namespace
