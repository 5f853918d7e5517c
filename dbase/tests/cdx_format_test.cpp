// The CDX file as bytes: a new file, tag headers, leaf parameters and
// compression, stored key forms (numbers, dates, GENERAL), descending and
// unique tags, tags on empty tables, deleting the last tag, encrypted
// tables, and the limits on key and expression lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbase/index/cdx_general.h"
#include "dbase/index/cdx_index.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expression.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/file_bytes.h"
#include "dbase/testing/index_model.h"
#include "dbase/testing/raw_cdx_writer.h"
#include "testing/error_message.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::Bytes;
using indexmodel::IndexedTable;
using indexmodel::KeyRecord;

using filebytes::Le16;
using filebytes::Le32;

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// A table T.DBF with the given fields and records, opened with one CDX file.
class CdxFixture {
 public:
  CdxFixture(const std::vector<TxbFieldSpec>& fields,
             const std::vector<std::vector<std::pair<std::string, std::string>>>& records,
             const AnsiString& password = "") {
    RegisterBuiltinExpressions();
    TxbCreateOptions options;
    options.password = password;
    CreateDbfTable(dir.File("T.DBF"), fields, options);
    table = std::make_unique<IndexedTable>(dir.File("T.DBF"), false, password);
    for (const auto& r : records) table->Append(r);
    Open();
  }
  void Open() {
    cdx.reset();
    table->indexes.clear();
    cdx = std::make_unique<XBobjCDXFile>(&table->link, "T.cdx", false, true, fmOpenReadWrite,
                                         fmShareExclusive);
    table->indexes.push_back(cdx.get());
  }
  XBobjCDXTag* Tag(const std::string& name) { return static_cast<XBobjCDXTag*>(cdx->FindTag(name)); }
  std::string Bytes() { return dir.Read("T.cdx"); }
  std::vector<KeyRecord> WalkOf(const std::string& name) { return indexmodel::Walk(*Tag(name), true); }

  TempDir dir;
  std::unique_ptr<IndexedTable> table;
  std::unique_ptr<XBobjCDXFile> cdx;
};

TEST(CdxFormat, NewFileHoldsOnlyTheDirectory) {
  CdxFixture f({{"NAME", 'C', 10, 0}}, {});
  f.cdx.reset();
  std::string b = f.Bytes();
  ASSERT_EQ(b.size(), 1536u);
  EXPECT_EQ(Le32(b, 0), 1024u);       // root
  EXPECT_EQ(Le32(b, 4), 0u);          // free list
  EXPECT_EQ(Le16(b, 12), 10u);        // key length
  EXPECT_EQ(static_cast<unsigned char>(b[14]), 0xE0);
  EXPECT_EQ(b[15], 1);
  EXPECT_EQ(Le16(b, 502), 0u);
  EXPECT_EQ(Le16(b, 504), 0u);
  EXPECT_EQ(Le16(b, 506), 1u);
  EXPECT_EQ(Le16(b, 510), 1u);
  EXPECT_EQ(Le16(b, 1024), 3u);       // root leaf
  EXPECT_EQ(Le16(b, 1026), 0u);
  EXPECT_EQ(Le32(b, 1028), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(b, 1032), 0xFFFFFFFFu);
  EXPECT_EQ(Le16(b, 1036), 488u);
}

TEST(CdxFormat, TagHeaderAndLeafLayout) {
  CdxFixture f({{"NAME", 'C', 10, 0}}, {{{"NAME", "ABC"}}, {{"NAME", "ABCD"}}, {{"NAME", "ABC"}}});
  ASSERT_TRUE(f.cdx->CreateTag("name", "NAME", false, true, ""));
  XBobjCDXTag* tag = f.Tag("NAME");
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->TagName(), "NAME");
  int32_t header = tag->HeaderPosition();
  f.cdx.reset();
  std::string b = f.Bytes();
  std::size_t h = static_cast<std::size_t>(header);
  EXPECT_EQ(Le16(b, h + 12), 10u);
  EXPECT_EQ(static_cast<unsigned char>(b[h + 14]), 0x60);
  EXPECT_EQ(Le16(b, h + 504), 5u);
  EXPECT_EQ(Le16(b, h + 506), 1u);
  EXPECT_EQ(Le16(b, h + 510), 5u);
  EXPECT_EQ(b.substr(h + 512, 5), std::string("NAME\0", 5));
  std::size_t root = Le32(b, h);
  ASSERT_EQ(Le16(b, root), 3u);
  ASSERT_EQ(Le16(b, root + 2), 3u);
  // "ABC" in a key of length 10: 7 trailing blanks, none of them stored;
  // the first entry has no duplicate count.
  int n = static_cast<unsigned char>(b[root + 23]);
  int dupBits = static_cast<unsigned char>(b[root + 21]);
  int trailBits = static_cast<unsigned char>(b[root + 22]);
  auto counts = [&](int i) {
    std::size_t slot = root + 24 + static_cast<std::size_t>(i * n);
    uint32_t word = static_cast<unsigned char>(b[slot + static_cast<std::size_t>(n) - 2]) |
                    static_cast<unsigned char>(b[slot + static_cast<std::size_t>(n) - 1]) << 8;
    int trailing = static_cast<int>(word >> (16 - trailBits));
    int duplicate = static_cast<int>((word >> (16 - trailBits - dupBits)) & ((1u << dupBits) - 1));
    return std::make_pair(duplicate, trailing);
  };
  EXPECT_EQ(counts(0), std::make_pair(0, 7));
  EXPECT_EQ(counts(1), std::make_pair(3, 7));  // ABC again: nothing stored
  EXPECT_EQ(counts(2), std::make_pair(3, 6));  // ABCD: one byte stored
  EXPECT_EQ(Le16(b, root + 12), 488u - 3u * static_cast<unsigned>(n) - 3u - 1u);
  EXPECT_EQ(b.substr(root + 512 - 4, 4), "DABC");
}

TEST(CdxFormat, LeafParametersGrowWithTheRecordCount) {
  struct Case {
    int keyLength;
    uint32_t highest;
    int infoBytes;
    uint32_t mask;
    int recordBits;
    int countBits;
  };
  const Case cases[] = {
      {1, 1, 3, 0x3FFFFF, 22, 1},          {1, 0x3FFFFF, 3, 0x3FFFFF, 22, 1},
      {1, 0x400000, 4, 0x3FFFFFFF, 30, 1}, {1, 0x40000000, 5, 0x7FFFFFFF, 31, 1},
      {10, 4095, 3, 0xFFFF, 16, 4},        {10, 65535, 3, 0xFFFF, 16, 4},
      {10, 65536, 4, 0xFFFFFF, 24, 4},     {10, 0x1000000, 5, 0x7FFFFFFF, 31, 4},
      {240, 255, 3, 0xFF, 8, 8},           {240, 256, 4, 0xFFFF, 16, 8},
      {240, 70000, 5, 0xFFFFFF, 24, 8},    {240, 0x1000000, 6, 0x7FFFFFFF, 31, 8},
  };
  for (const Case& c : cases) {
    CdxLeafParameters p = CdxLeafParametersFor(c.keyLength, c.highest);
    EXPECT_EQ(p.infoBytes, c.infoBytes) << c.keyLength << "/" << c.highest;
    EXPECT_EQ(p.recordMask, c.mask) << c.keyLength << "/" << c.highest;
    EXPECT_EQ(p.recordBits, c.recordBits) << c.keyLength << "/" << c.highest;
    EXPECT_EQ(p.duplicateBits, c.countBits);
    EXPECT_EQ(p.trailingBits, c.countBits);
    EXPECT_EQ(p.duplicateMask, (1u << c.countBits) - 1);
  }
}

TEST(CdxFormat, NumbersKeepEveryByteOfNegativeValues) {
  struct Case {
    double value;
    std::string hex;
  };
  const Case cases[] = {
      {-100, "3F A6 FF FF FF FF FF FF"}, {-100.5, "3F A6 DF FF FF FF FF FF"},
      {-1, "40 0F FF FF FF FF FF FF"},   {-1.001, "40 0F FB E7 6C 8B 43 95"},
      {-0.5, "40 1F FF FF FF FF FF FF"}, {0, "80"},
      {2, "C0"},                         {1.5, "BF F8"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(CdxNumberKey(c.value)), c.hex) << c.value;
  EXPECT_EQ(CdxNumberKey(-0.0), CdxNumberKey(0.0));

  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  const std::vector<std::string> amounts = {"2", "-0,5", "0", "-100", "-1", "-100,5", "-1,001"};
  for (const std::string& a : amounts) records.push_back({{"AMOUNT", a}});
  CdxFixture f({{"AMOUNT", 'N', 12, 3}}, records);
  ASSERT_TRUE(f.cdx->CreateTag("HOD", "AMOUNT", false, true, ""));
  std::vector<double> walked;
  for (const KeyRecord& kr : f.WalkOf("HOD")) walked.push_back(indexmodel::StoredNumber(kr.first));
  EXPECT_EQ(walked, (std::vector<double>{-100.5, -100, -1.001, -1, -0.5, 0, 2}));
  // Exact seeks find negative keys and record changes replace them.
  f.table->SetExactMatch(true);
  XBobjIndexKeyData key;
  key.SetNumber(-100);
  EXPECT_EQ(f.Tag("HOD")->FindKey(key), 4);
  f.table->Change(4, {{"AMOUNT", "-7"}});
  EXPECT_EQ(f.Tag("HOD")->FindKey(key), 0);
  key.SetNumber(-7);
  EXPECT_EQ(f.Tag("HOD")->FindKey(key), 4);
  EXPECT_EQ(f.WalkOf("HOD").size(), amounts.size());
}

TEST(CdxFormat, DatesAreDayNumbersAsNumbers) {
  CdxFixture f({{"DAY", 'D', 8, 0}},
               {{{"DAY", "01.02.2024"}}, {}, {{"DAY", "31.12.1999"}}, {{"DAY", "01.02.2024"}}});
  ASSERT_TRUE(f.cdx->CreateTag("DAT", "DAY", false, true, ""));
  EXPECT_EQ(f.Tag("DAT")->KeyType(), 'D');
  EXPECT_EQ(f.Tag("DAT")->KeyLength(), 8);
  std::vector<KeyRecord> walk = f.WalkOf("DAT");
  ASSERT_EQ(walk.size(), 4u);
  EXPECT_EQ(walk[0].second, 2);  // the empty date is day 0
  EXPECT_EQ(walk[0].first, CdxNumberKey(0));
  EXPECT_EQ(indexmodel::StoredNumber(walk[1].first), 2451544);
  EXPECT_EQ(walk[2].second, 1);
  EXPECT_EQ(walk[3].second, 4);
}

TEST(CdxFormat, GeneralKeysFollowTheWeightTables) {
  struct Case {
    std::string text;
    std::string hex;
  };
  const Case cases[] = {
      {"abc", "60 61 62"},  // the secondaries of a and c are 0xF0: dropped at the end
      {"AB", "60 61"},
      {"\xC6", "60 66"},                // AE ligature: two primaries, secondaries dropped
      {"\xDE", "77 69"},                // thorn: expansion without secondaries
      {"\xC1", "60 F1"},                // A acute
      {"\xE9x", "66 7C F1"},            // e acute then x
      {"A/", "60"},                     // the weight of "/" is 0x20: dropped at the end
      {"/A", "20 60"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(GeneralSortKey(c.text)), c.hex) << c.text;
  EXPECT_EQ(Hex(GeneralToDiskForm(GeneralSortKey("\xC1"))), "60 01");
  EXPECT_EQ(GeneralFromDiskForm(GeneralToDiskForm(GeneralSortKey("\xE9\xE8"))), GeneralSortKey("\xE9\xE8"));
}

TEST(CdxFormat, DescendingTagWalksLastKeyFirstOverAscendingNodes) {
  CdxFixture f({{"NAME", 'C', 4, 0}}, {{{"NAME", "B"}}, {{"NAME", "A"}}, {{"NAME", "C"}}});
  ASSERT_TRUE(f.cdx->CreateTag("DESC", "NAME", false, false, ""));
  std::vector<KeyRecord> walk = f.WalkOf("DESC");
  ASSERT_EQ(walk.size(), 3u);
  EXPECT_EQ(walk[0].first, "C");
  EXPECT_EQ(walk[2].first, "A");
  CdxNode node;
  f.Tag("DESC")->ReadNode(f.Tag("DESC")->RootPosition(), node);
  ASSERT_EQ(node.entries.size(), 3u);
  EXPECT_EQ(node.entries[0].key, "A");
  EXPECT_EQ(node.entries[2].key, "C");
  f.cdx.reset();
  std::string b = f.Bytes();
  EXPECT_EQ(Le16(b, 1536 + 502), 1u);
}

TEST(CdxFormat, UniqueTagKeepsTheLowestRecord) {
  CdxFixture f({{"NAME", 'C', 4, 0}}, {{{"NAME", "X"}}, {{"NAME", "Y"}}, {{"NAME", "X"}}});
  ASSERT_TRUE(f.cdx->CreateTag("U", "NAME", true, true, ""));
  std::vector<KeyRecord> walk = f.WalkOf("U");
  ASSERT_EQ(walk.size(), 2u);
  EXPECT_EQ(walk[0], KeyRecord("X", 1));
  // Appending another X adds nothing.
  f.table->Append({{"NAME", "X"}});
  EXPECT_EQ(f.WalkOf("U").size(), 2u);
  f.cdx.reset();
  EXPECT_EQ(static_cast<unsigned char>(f.Bytes()[1536 + 14]), 0x61);
}

TEST(CdxFormat, EmptyTableBuildsAnEmptyRootLeafThatGrowsByAppends) {
  CdxFixture f({{"NAME", 'C', 6, 0}}, {});
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, true, ""));
  int32_t root = f.Tag("NAME")->RootPosition();
  CdxNode node;
  f.Tag("NAME")->ReadNode(root, node);
  EXPECT_EQ(node.attribute, 3);
  EXPECT_TRUE(node.entries.empty());
  for (int i = 0; i < 300; ++i) f.table->Append({{"NAME", "K" + std::to_string(i * 7919 % 1000)}});
  EXPECT_EQ(f.WalkOf("NAME").size(), 300u);
  EXPECT_EQ(indexmodel::CheckCdxTag(*f.Tag("NAME")), "");
}

TEST(CdxFormat, DeletingTheLastTagLeavesTheEmptyFile) {
  CdxFixture f({{"NAME", 'C', 6, 0}}, {{{"NAME", "A"}}, {{"NAME", "B"}}});
  ASSERT_TRUE(f.cdx->CreateTag("ONE", "NAME", false, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("TWO", "NAME", false, false, ""));
  EXPECT_TRUE(f.cdx->DeleteTag("one"));
  EXPECT_FALSE(f.cdx->DeleteTag("one"));
  EXPECT_EQ(f.cdx->TagCount(), 1);
  EXPECT_TRUE(f.cdx->DeleteTag("TWO"));
  EXPECT_EQ(f.cdx->TagCount(), 0);
  f.cdx.reset();
  EXPECT_EQ(f.Bytes().size(), 1536u);
  f.Open();
  EXPECT_TRUE(f.cdx->Opened());
  EXPECT_EQ(f.cdx->TagCount(), 0);
}

TEST(CdxFormat, TagsOpenAgainFromTheDirectory) {
  CdxFixture f({{"NAME", 'C', 6, 0}, {"AMOUNT", 'N', 8, 2}},
               {{{"NAME", "B"}, {"AMOUNT", "3"}}, {{"NAME", "A"}, {"AMOUNT", "-1"}}});
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("HOD", "AMOUNT", false, true, "AMOUNT > 0"));
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, false, ""));  // replaces the first
  f.Open();
  ASSERT_EQ(f.cdx->TagCount(), 2);
  EXPECT_EQ(f.cdx->TagAt(0)->TagName(), "HOD");  // directory order
  EXPECT_EQ(f.Tag("HOD")->ForExpression(), "AMOUNT > 0");
  EXPECT_EQ(f.Tag("HOD")->KeyType(), 'N');
  EXPECT_EQ(f.WalkOf("HOD").size(), 1u);
  EXPECT_FALSE(f.Tag("NAME")->Ascending());
  EXPECT_EQ(f.WalkOf("NAME").front().first, "B");
}

TEST(CdxFormat, EncryptedTablesScrambleEveryPage) {
  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  for (int i = 0; i < 200; ++i) records.push_back({{"NAME", "NAME" + std::to_string(i)}});
  CdxFixture plain({{"NAME", 'C', 10, 0}}, records);
  CdxFixture secret({{"NAME", 'C', 10, 0}}, records, "heslo");
  ASSERT_TRUE(plain.cdx->CreateTag("NAME", "NAME", false, true, ""));
  ASSERT_TRUE(secret.cdx->CreateTag("NAME", "NAME", false, true, ""));
  std::vector<KeyRecord> expected = plain.WalkOf("NAME");
  EXPECT_EQ(secret.WalkOf("NAME"), expected);
  plain.cdx.reset();
  secret.cdx.reset();
  std::string a = plain.Bytes();
  std::string b = secret.Bytes();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t block = 0; block < a.size(); block += 512)
    EXPECT_NE(a.substr(block, 512), b.substr(block, 512)) << block;
  // A new password: every block is rewritten, the tag reads the same.
  secret.Open();
  secret.table->link.SetPasswords("heslo", "jine");
  secret.cdx->Reencipher();
  secret.table->link.SetPasswords("jine", "jine");
  secret.Open();
  EXPECT_EQ(secret.WalkOf("NAME"), expected);
}

// A function whose text grows after the tag was defined.
class GrowFunction : public TxbUserDefFunction {
 public:
  static int extra;
  AnsiString FunctionName() const override { return "GROW"; }
  void Evaluate(TxbExpFunction&, Variant& value, ExpressionValueType& type) override {
    value = Variant(AnsiString(static_cast<std::size_t>(extra), 'Z'));
    type = etText;
  }
};
int GrowFunction::extra = 0;

TEST(CdxFormat, KeyLengthsAreBounded) {
  CdxFixture f({{"LONG", 'C', 250, 0}, {"NAME", 'C', 6, 0}}, {{{"NAME", "ABC"}}});
  ASSERT_TRUE(f.cdx->CreateTag("OK", "LEFT(LONG, 240)", false, true, ""));
  EXPECT_EQ(f.Tag("OK")->KeyLength(), 240);
  f.cdx.reset();
  std::string before = f.Bytes();
  f.Open();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { f.cdx->CreateTag("BAD", "LEFT(LONG, 241)", false, true, ""); }),
            "Sort key length must be 1-240 bytes, is 241");
  f.table->BlankRecord();  // a trimmed blank field has no length
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { f.cdx->CreateTag("BAD", "TRIM(NAME)", false, true, ""); }),
            "Sort key length must be 1-240 bytes, is 0");
  f.cdx.reset();
  EXPECT_TRUE(f.Bytes() == before);

  // Keys that come out longer than the key length are cut to it.
  f.Open();
  f.table->ExpressionLink()->AddFunction(new GrowFunction);
  GrowFunction::extra = 0;
  ASSERT_TRUE(f.cdx->CreateTag("GROW", "NAME + GROW()", false, true, ""));
  EXPECT_EQ(f.Tag("GROW")->KeyLength(), 6);
  GrowFunction::extra = 20;
  f.table->Append({{"NAME", "XY"}});
  std::vector<KeyRecord> walk = f.WalkOf("GROW");
  ASSERT_EQ(walk.size(), 2u);
  EXPECT_EQ(walk[1].first, "XY");
  f.table->SetExactMatch(false);
  XBobjIndexKeyData key;
  key.SetText("XY");
  EXPECT_EQ(f.Tag("GROW")->FindKey(key), 2);
  f.table->Change(2, {{"NAME", "AAA"}});
  walk = f.WalkOf("GROW");
  ASSERT_EQ(walk.size(), 2u);
  EXPECT_EQ(walk[0], KeyRecord("AAA", 2));
  EXPECT_EQ(indexmodel::CheckCdxTag(*f.Tag("GROW")), "");
}

TEST(CdxFormat, ExpressionTextsMustFitTheHeader) {
  CdxFixture f({{"NAME", 'C', 6, 0}}, {{{"NAME", "A"}}});
  // 507 bytes of key text, a three-byte FOR text and two terminators.
  std::string key = "NAME" + std::string(503, ' ');
  ASSERT_TRUE(f.cdx->CreateTag("FITS", key, false, true, ".T."));
  f.cdx.reset();
  std::string before = f.Bytes();
  f.Open();
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { f.cdx->CreateTag("LONG", key + " ", false, true, ".T."); }),
            "Index expression too long for LONG");
  f.cdx.reset();
  EXPECT_TRUE(f.Bytes() == before);
}

TEST(CdxFormat, LongKeysSplitUntilEveryNodeFits) {
  // Keys of length 200 that share long prefixes: the node that keeps the
  // rest after a split loses the prefix of its new first key.
  CdxFixture f({{"LONG", 'C', 200, 0}}, {});
  ASSERT_TRUE(f.cdx->CreateTag("LONG", "LONG", false, true, ""));
  std::string base(190, 'P');
  for (int i = 0; i < 60; ++i) {
    std::string key = (i % 3 == 0 ? std::string(200, static_cast<char>('A' + i % 26))
                                  : base + std::to_string(1000 + (i * 37) % 100));
    f.table->Append({{"LONG", key}});
    ASSERT_EQ(indexmodel::CheckCdxTag(*f.Tag("LONG")), "") << i;
  }
  EXPECT_EQ(f.WalkOf("LONG").size(), 60u);
}

TEST(CdxFormat, BulkBuildEndsEverySiblingChain) {
  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  for (int i = 1; i <= 400; ++i)
    records.push_back({{"NAME", std::string(90, 'N') + std::to_string(100000 + i)}, {"SEQ", std::to_string(i)}});
  CdxFixture f({{"NAME", 'C', 100, 0}, {"SEQ", 'N', 6, 0}}, records);
  for (int n = 1; n <= 400; n += (n < 40 ? 1 : 7)) {
    ASSERT_TRUE(f.cdx->CreateTag("PART", "NAME", false, true, "SEQ <= " + std::to_string(n)));
    ASSERT_EQ(indexmodel::CheckCdxTag(*f.Tag("PART")), "") << n;
    ASSERT_EQ(f.WalkOf("PART").size(), static_cast<std::size_t>(n));
  }
}

TEST(CdxFormat, EmptiedLeavesLeaveTheSiblingChains) {
  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  for (int i = 1; i <= 120; ++i) records.push_back({{"NAME", std::string(60, 'K') + std::to_string(1000 + i)}});
  CdxFixture f({{"NAME", 'C', 70, 0}}, records);
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, true, ""));
  // Move a block of keys to the end: the leaves in the middle empty out.
  for (int i = 30; i <= 80; ++i) f.table->Change(i, {{"NAME", "ZZ" + std::to_string(i)}});
  EXPECT_EQ(indexmodel::CheckCdxTag(*f.Tag("NAME")), "");
  EXPECT_EQ(f.WalkOf("NAME").size(), 120u);
}

TEST(CdxFormat, GeneralKeysEndingInSlashAreFoundThroughBranches) {
  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  for (int i = 1; i <= 300; ++i) records.push_back({{"NAME", "K" + std::to_string(100 + i) + "/"}});
  CdxFixture f({{"NAME", 'C', 8, 0}}, records);
  f.cdx->SetNewTagCollation(cdxGeneral);
  ASSERT_TRUE(f.cdx->CreateTag("GEN", "NAME", false, true, ""));
  XBobjCDXTag* tag = f.Tag("GEN");
  EXPECT_EQ(tag->KeyLength(), 16);
  EXPECT_EQ(indexmodel::CheckCdxTag(*tag), "");
  f.table->SetExactMatch(true);
  for (int i : {1, 150, 300}) {
    XBobjIndexKeyData key;
    key.SetText("K" + std::to_string(100 + i) + "/");
    EXPECT_EQ(tag->FindKey(key), i);
  }
  f.table->Change(150, {{"NAME", "A/"}});
  f.table->Change(151, {{"NAME", "K251//"}});
  EXPECT_EQ(f.WalkOf("GEN").size(), 300u);
  EXPECT_EQ(indexmodel::CheckCdxTag(*tag), "");
  f.cdx.reset();
  std::string b = f.Bytes();
  EXPECT_EQ(b.substr(1536 + 494, 8), std::string("GENERAL\0", 8));
  EXPECT_EQ(b[1536 + 15], 2);
}

}  // namespace

namespace {

// Files of other programs: every byte of negative numbers, five information
// bytes per leaf entry with a record mask far wider than needed, a free
// list in the header and header bytes the engine does not interpret.
TEST(CdxFormat, FilesWithFullNegativesAndWideMasksAreReadAndUpdated) {
  const std::vector<std::string> amounts = {"-100", "5", "-100,5", "-1", "0", "2,5", "-1,001"};
  const std::vector<double> values = {-100, 5, -100.5, -1, 0, 2.5, -1.001};
  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  for (const std::string& a : amounts) records.push_back({{"AMOUNT", a}});
  CdxFixture f({{"AMOUNT", 'N', 10, 3}}, records);
  f.cdx.reset();
  rawcdx::RawTag tag;
  tag.name = "HOD";
  tag.expression = "AMOUNT";
  tag.keyLength = 8;
  tag.character = false;
  tag.infoBytes = 5;
  tag.keysPerLeaf = 2;
  tag.freeListHead = 0x5000;
  tag.headerByte16 = 0x77;
  for (std::size_t i = 0; i < values.size(); ++i)
    tag.keys.push_back({rawcdx::FullNumber(values[i]), static_cast<int32_t>(i + 1)});
  f.dir.Write("T.cdx", rawcdx::Writer().Write({tag}));
  f.Open();
  ASSERT_TRUE(f.cdx->Opened());
  XBobjCDXTag* hod = f.Tag("HOD");
  ASSERT_NE(hod, nullptr);
  EXPECT_EQ(indexmodel::CheckCdxTag(*hod), "");
  std::vector<double> walked;
  for (const KeyRecord& kr : f.WalkOf("HOD")) walked.push_back(indexmodel::StoredNumber(kr.first));
  EXPECT_EQ(walked, (std::vector<double>{-100.5, -100, -1.001, -1, 0, 2.5, 5}));
  f.table->SetExactMatch(true);
  XBobjIndexKeyData key;
  key.SetNumber(-100);
  EXPECT_EQ(hod->FindKey(key), 1);
  f.table->Change(1, {{"AMOUNT", "-3"}});
  f.table->Change(3, {{"AMOUNT", "-100,25"}});
  for (int i = 0; i < 20; ++i) f.table->Append({{"AMOUNT", std::to_string(-i)}});
  EXPECT_EQ(indexmodel::CheckCdxTag(*hod), "");
  EXPECT_EQ(hod->FindKey(key), 0);
  EXPECT_EQ(f.WalkOf("HOD").size(), values.size() + 20);
  int32_t header = hod->HeaderPosition();
  f.cdx.reset();
  std::string b = f.Bytes();
  EXPECT_EQ(Le32(b, static_cast<std::size_t>(header) + 4), 0x5000u);
  EXPECT_EQ(Le32(b, static_cast<std::size_t>(header) + 16), 0x77777777u);
}

// Engines that cut the trailing 0xFF bytes of negative numbers leave keys
// that are found through that form and replaced by full ones on change.
TEST(CdxFormat, CutNegativesAreFoundAndHealedByRecordChanges) {
  const std::vector<double> values = {-100, -1, -0.5, 2, -7.25};
  std::vector<std::vector<std::pair<std::string, std::string>>> records;
  for (double v : values) records.push_back({{"AMOUNT", Format("%.2f", v)}});
  CdxFixture f({{"AMOUNT", 'N', 10, 2}}, records);
  f.cdx.reset();
  rawcdx::RawTag tag;
  tag.name = "HOD";
  tag.expression = "AMOUNT";
  tag.keyLength = 8;
  tag.character = false;
  for (std::size_t i = 0; i < values.size(); ++i)
    tag.keys.push_back({rawcdx::CutNumber(values[i]), static_cast<int32_t>(i + 1)});
  f.dir.Write("T.cdx", rawcdx::Writer().Write({tag}));
  f.Open();
  for (int32_t n = 1; n <= static_cast<int32_t>(values.size()); ++n)
    f.table->Change(n, {{"AMOUNT", Format("%.2f", -10.0 * n)}});
  std::vector<KeyRecord> walk = f.WalkOf("HOD");
  ASSERT_EQ(walk.size(), values.size());
  for (const KeyRecord& kr : walk) {
    EXPECT_EQ(kr.first, CdxNumberKey(-10.0 * kr.second));
    EXPECT_EQ(kr.first.size(), 8u);
  }
  EXPECT_EQ(indexmodel::CheckCdxTag(*f.Tag("HOD")), "");
}

}  // namespace

namespace {

TEST(CdxFormat, ProductionIndexNameAndRename) {
  CdxFixture f({{"NAME", 'C', 6, 0}}, {{{"NAME", "A"}}});
  // T.cdx beside T.DBF is the table's production index.
  EXPECT_TRUE(f.table->link.ProductionFlagSet());
  EXPECT_TRUE(f.cdx->IsFileName("t.CDX"));
  EXPECT_TRUE(f.cdx->IsFileName(f.dir.File("T.idx")));
  EXPECT_FALSE(f.cdx->IsFileName("U.cdx"));
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, true, ""));
  f.cdx->Rename(f.dir.File("RENAMED.DBF"));
  EXPECT_EQ(f.cdx->FileName(), "RENAMED.cdx");
  EXPECT_EQ(f.WalkOf("NAME").size(), 1u);
  XBobjCDXFile other(&f.table->link, "OTHER", false, true, fmOpenReadWrite, fmShareExclusive);
  EXPECT_EQ(other.FileName(), "OTHER.cdx");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { XBobjCDXFile missing(&f.table->link, "MISSING", false, false, fmOpenRead, fmShareExclusive); }),
            "File MISSING could not be found");
}

}  // namespace
