// The MDX file at byte level and in use: packed decimals, the header of a
// new file, the tag table in name order with at most 48 tags, tag headers
// and pages, empty tags, descending keys on disk, rename, the production
// flag, deleting tags, the bounds of keys and expressions, the header's
// next free block after splits, files of other programs with several tags,
// and the progress of a build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dbase/index/mdx_index.h"
#include "dbase/base/dates.h"
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

std::string Packed(double value) {
  std::string out(12, '\0');
  MdxPackNumber(value, reinterpret_cast<uint8_t*>(out.data()));
  return out;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  out.resize(12, '\0');
  return out;
}

TEST(MdxPackedDecimal, KnownValuesHaveTheirDocumentedBytes) {
  struct Case {
    double value;
    std::string bytes;
  };
  const Case cases[] = {
      {1234.5, Bytes({56, 25, 0x12, 0x34, 0x50})},
      {-1234.5, Bytes({56, 25 | 0x80, 0x12, 0x34, 0x50})},
      {0, Bytes({52, 1})},
      {0.001, Bytes({50, 9, 0x10})},
      {100, Bytes({55, 9, 0x10})},
      {-7, Bytes({53, 9 | 0x80, 0x70})},
      // Fifteen significant digits, rounded.
      {1234567890.123456789, Bytes({62, 65, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x60})},
      // More than fifteen integer digits: fifteen 9s.
      {1e16, Bytes({67, 65, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x90})},
      {-123456789012345678.0, Bytes({67, 65 | 0x80, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x90})},
  };
  for (const Case& c : cases) EXPECT_EQ(Packed(c.value), c.bytes) << c.value;
  double back = 0;
  ASSERT_TRUE(MdxUnpackNumber(reinterpret_cast<const uint8_t*>(cases[0].bytes.data()), back));
  EXPECT_EQ(back, 1234.5);
  EXPECT_EQ(MdxStoredNumber(1e16), 999999999999999.0);
  EXPECT_EQ(MdxStoredNumber(0.1 + 0.2), 0.3);  // the 15 digits read back exactly
}

TEST(MdxPackedDecimal, MalformedBytesAreRefused) {
  double value = 0;
  std::string tooMany = Bytes({52, 11 * 8 + 1});
  EXPECT_FALSE(MdxUnpackNumber(reinterpret_cast<const uint8_t*>(tooMany.data()), value));
  std::string badNibble = Bytes({53, 9, 0xA0});
  EXPECT_FALSE(MdxUnpackNumber(reinterpret_cast<const uint8_t*>(badNibble.data()), value));
  std::string ten = Bytes({62, 10 * 8 + 1, 0x11});
  EXPECT_TRUE(MdxUnpackNumber(reinterpret_cast<const uint8_t*>(ten.data()), value));
}

TEST(MdxPackedDecimal, RandomValuesRoundTripInOrder) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::vector<std::pair<double, double>> pairs;
  for (int i = 0; i < 20000; ++i) {
    double v = mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20);
    double stored = MdxStoredNumber(v);
    if (std::fabs(v) >= 999999999999999.5)
      ASSERT_EQ(stored, std::copysign(999999999999999.0, v)) << v;
    else
      ASSERT_NEAR(stored, v, std::fabs(v) * 5e-15) << v;
    ASSERT_EQ(MdxStoredNumber(stored), stored) << v;
    pairs.push_back({v, stored});
  }
  std::sort(pairs.begin(), pairs.end());
  for (std::size_t i = 1; i < pairs.size(); ++i) ASSERT_LE(pairs[i - 1].second, pairs[i].second);
}

// Packed bytes of any digits and exponent read back as the correctly
// rounded decimal text "0.<digits>e<exponent>" does, bit for bit, whether
// the digits fit 53 bits or not.
TEST(MdxPackedDecimal, EveryDigitPatternReadsAsItsDecimalText) {
  std::mt19937_64 rng(20261209);
  for (int i = 0; i < 200000; ++i) {
    uint8_t packed[12] = {};
    const int bytes = static_cast<int>(rng() % 11);
    packed[0] = static_cast<uint8_t>(rng() % 105);
    packed[1] = static_cast<uint8_t>(bytes << 3 | 1 | (rng() % 2 ? 0x80 : 0));
    std::string text = "0.";
    for (int b = 0; b < bytes; ++b) {
      // Runs of zeros are common: trailing zeros and short mantissas.
      int high = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % 10);
      int low = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % 10);
      packed[2 + b] = static_cast<uint8_t>(high << 4 | low);
      text += static_cast<char>('0' + high);
      text += static_cast<char>('0' + low);
    }
    text += "e" + std::to_string(packed[0] - 52);
    double expected = 0;
    if (bytes > 0) expected = std::strtod(text.c_str(), nullptr);
    if (expected != 0 && (packed[1] & 0x80)) expected = -expected;
    double value = 1;
    ASSERT_TRUE(MdxUnpackNumber(packed, value)) << text;
    ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << " gave " << value;
  }
}

class MdxFiles : public IndexFileFixture<XBobjMDXFile> {
 public:
  MdxFiles() : IndexFileFixture({{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}}) {}
  void Add(const std::string& name, const std::string& amount, const std::string& day = "") {
    table->Append({{"NAME", name}, {"AMOUNT", amount}, {"DAY", day}});
  }
  // A multiple index is made when missing: tags are added to it one by one.
  std::unique_ptr<XBobjMDXFile> Open(const std::string& name, bool create = true) {
    return IndexFileFixture::Open(name, create);
  }
};

void ExpectToday(const std::string& bytes, std::size_t at) {
  int year = 0, month = 0, day = 0;
  DbfDate().DecodeJulian(DbfDate().Today(), year, month, day);
  EXPECT_EQ(static_cast<int>(static_cast<unsigned char>(bytes[at])), year - 1900);
  EXPECT_EQ(bytes[at + 1], month);
  EXPECT_EQ(bytes[at + 2], day);
}

TEST(MdxFormat, ANewFileHasTheDocumentedHeader) {
  MdxFiles f;
  f.Open("Payments.mdx").reset();
  std::string bytes = f.dir.Read("Payments.mdx");
  ASSERT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(bytes[0], 2);
  ExpectToday(bytes, 1);
  EXPECT_EQ(std::string(bytes.data() + 4), "T");  // the table's name
  EXPECT_EQ(Le16(bytes, 20), 2u);
  EXPECT_EQ(Le16(bytes, 22), 1024u);
  EXPECT_EQ(bytes[24], 1);
  EXPECT_EQ(bytes[25], 48);
  EXPECT_EQ(bytes[26], 32);
  EXPECT_EQ(Le16(bytes, 28), 0u);
  EXPECT_EQ(Le32(bytes, 32), 4u);
  ExpectToday(bytes, 44);
  EXPECT_EQ(bytes.substr(512), std::string(1536, '\0'));
}

TEST(MdxFormat, TagsHaveTheirTableEntriesHeadersAndPages) {
  MdxFiles f;
  f.Add("B", "2", "2.2.2020");
  f.Add("A", "-1", "1.1.2020");
  auto mdx = f.Open("T.mdx");
  ASSERT_TRUE(mdx->CreateTag("NAME", "NAME", true, true, "AMOUNT > 0"));
  ASSERT_TRUE(mdx->CreateTag("AMT", "AMOUNT", false, false, ""));
  mdx.reset();
  std::string bytes = f.dir.Read("T.mdx");
  EXPECT_EQ(Le16(bytes, 28), 2u);
  EXPECT_EQ(Le32(bytes, 32), bytes.size() / 512);
  // Entry 0 leads to entry 1; AMT sorts before NAME.
  EXPECT_EQ(bytes[512 + 17], 1);
  struct Entry {
    const char* name;
    int next;
    char type;
  };
  const Entry entries[] = {{"AMT", 2, 'N'}, {"NAME", 0, 'C'}};
  for (int i = 1; i <= 2; ++i) {
    std::size_t e = 512 + 32 * static_cast<std::size_t>(i);
    const Entry& x = entries[i - 1];
    EXPECT_EQ(std::string(bytes.data() + e + 4), x.name);
    EXPECT_EQ(bytes[e + 17], x.next) << x.name;
    EXPECT_EQ(bytes[e + 19], 2) << x.name;
    EXPECT_EQ(bytes[e + 20], x.type) << x.name;
    std::size_t h = Le32(bytes, e) * 512;
    bool amount = x.type == 'N';
    EXPECT_EQ(static_cast<unsigned char>(bytes[h + 8]), amount ? 0x18 : 0x50) << x.name;
    EXPECT_EQ(bytes[h + 9], x.type);
    uint32_t keyLength = amount ? 12 : 10, entry = amount ? 16 : 16;
    EXPECT_EQ(Le16(bytes, h + 12), keyLength);
    EXPECT_EQ(Le16(bytes, h + 14), 1016 / entry - 1);
    EXPECT_EQ(Le16(bytes, h + 18), entry);
    EXPECT_EQ(static_cast<unsigned char>(bytes[h + 23]), amount ? 0 : 0x40);
    EXPECT_EQ(std::string(bytes.data() + h + 24), amount ? "AMOUNT" : "NAME");
    EXPECT_EQ(bytes[h + 245], amount ? 0 : 1);
    EXPECT_EQ(bytes[h + 246], 1);
    EXPECT_EQ(std::string(bytes.data() + h + 762), amount ? "" : "AMOUNT > 0");
    uint32_t root = Le32(bytes, h);
    EXPECT_EQ(Le32(bytes, h + 248), root);
    EXPECT_EQ(Le32(bytes, h + 252), root);
    std::size_t p = root * 512;
    if (amount) {
      // Descending: 2 before -1, packed, with the value after them 0.
      EXPECT_EQ(Le32(bytes, p), 2u);
      EXPECT_EQ(Le32(bytes, p + 8), 1u);
      EXPECT_EQ(bytes.substr(p + 12, 12), Packed(2));
      EXPECT_EQ(Le32(bytes, p + 24), 2u);
      EXPECT_EQ(bytes.substr(p + 28, 12), Packed(-1));
      EXPECT_EQ(Le32(bytes, p + 40), 0u);
    } else {
      EXPECT_EQ(Le32(bytes, p), 1u);  // the FOR condition leaves record 1
      EXPECT_EQ(Le32(bytes, p + 8), 1u);
      EXPECT_EQ(bytes.substr(p + 12, 10), "B         ");
    }
  }
}

TEST(MdxFormat, TheTagTableStaysInNameOrder) {
  MdxFiles f;
  f.Add("A", "1");
  auto mdx = f.Open("T.mdx");
  for (const char* name : {"ABD", "zeta", "ABC", "Mid"}) ASSERT_TRUE(mdx->CreateTag(name, "NAME", false, true, ""));
  std::vector<std::string> names;
  for (int i = 0; i < mdx->TagCount(); ++i) names.push_back(mdx->TagAt(i)->TagName());
  EXPECT_EQ(names, (std::vector<std::string>{"ABC", "ABD", "MID", "ZETA"}));
  mdx.reset();
  mdx = f.Open("T.mdx", false);
  ASSERT_TRUE(mdx->Opened());
  names.clear();
  for (int i = 0; i < mdx->TagCount(); ++i) names.push_back(mdx->TagAt(i)->TagName());
  EXPECT_EQ(names, (std::vector<std::string>{"ABC", "ABD", "MID", "ZETA"}));
  // Deleting keeps the order; the last tag gone leaves the bare header.
  EXPECT_TRUE(mdx->DeleteTag("abd"));
  EXPECT_FALSE(mdx->DeleteTag("abd"));
  EXPECT_EQ(mdx->TagCount(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mdx->HeaderBytes()) + 512 + 64 + 4), "MID");
  for (const char* name : {"ABC", "MID", "ZETA"}) EXPECT_TRUE(mdx->DeleteTag(name));
  mdx.reset();
  EXPECT_EQ(f.dir.Read("T.mdx").size(), 2048u);
}

TEST(MdxFormat, AnEmptyTableGetsAnEmptyRootThatIsFirstAndLastPage) {
  MdxFiles f;
  auto mdx = f.Open("T.mdx");
  ASSERT_TRUE(mdx->CreateTag("NAME", "NAME", false, true, ""));
  auto* tag = static_cast<XBobjMDXTag*>(mdx->FindTag("NAME"));
  EXPECT_EQ(tag->FirstPage(), tag->RootPosition());
  EXPECT_EQ(tag->LastPage(), tag->RootPosition());
  mdx->WriteHeldBlocks();
  std::string bytes = f.dir.Read("T.mdx");
  EXPECT_EQ(bytes.substr(static_cast<std::size_t>(tag->RootPosition()) * 512, 1024), std::string(1024, '\0'));
  // Keys arrive one by one and split pages that join the chain.
  f.table->indexes.push_back(mdx.get());
  for (int i = 0; i < 300; ++i) f.Add("K" + std::to_string(i % 97), "1");
  EXPECT_EQ(indexmodel::CheckMdxTag(*tag), "");
  EXPECT_NE(tag->LastPage(), tag->FirstPage());
  EXPECT_EQ(f.Records(*tag).size(), 300u);
}

// The table has 48 entries, but entry 0 is not a tag: tag 48 would lie in
// the first page after the header.
TEST(MdxFormat, AFortyEighthTagIsRefusedButATagCanStillBeReplaced) {
  MdxFiles f;
  f.Add("A", "1");
  auto mdx = f.Open("T.mdx");
  for (int i = 0; i < kMdxMaxTags; ++i) ASSERT_TRUE(mdx->CreateTag("T" + std::to_string(i), "NAME", false, true, ""));
  mdx->WriteHeldBlocks();
  std::string before = f.dir.Read("T.mdx");
  EXPECT_EQ(ErrorMessage<EXbaseError>([&] { mdx->CreateTag("ONE_MORE", "NAME", false, true, ""); }),
            "Too many tags in index file T.mdx");
  mdx->WriteHeldBlocks();
  EXPECT_TRUE(f.dir.Read("T.mdx") == before);
  EXPECT_EQ(mdx->TagCount(), kMdxMaxTags);
  ASSERT_TRUE(mdx->CreateTag("T7", "AMOUNT", false, true, ""));
  EXPECT_EQ(mdx->TagCount(), kMdxMaxTags);
  EXPECT_EQ(mdx->FindTag("T7")->KeyType(), 'N');
  mdx.reset();
  mdx = f.Open("T.mdx", false);
  EXPECT_EQ(mdx->TagCount(), kMdxMaxTags);
  EXPECT_EQ(f.Records(*mdx->FindTag("T46")), (std::vector<int32_t>{1}));
  EXPECT_EQ(f.Records(*mdx->FindTag("T0")), (std::vector<int32_t>{1}));
}

TEST(MdxFormat, RenameWritesTheNewTableNameIntoTheHeader) {
  MdxFiles f;
  auto mdx = f.Open("T.mdx");
  mdx->Rename(f.dir.File("longer_name_here"));
  mdx->WriteHeldBlocks();
  std::string bytes = f.dir.Read("longer_name_here.mdx");
  EXPECT_EQ(bytes.substr(4, 9), std::string("LONGER_N") + '\0');
  EXPECT_EQ(mdx->FileName(), "longer_name_here.mdx");
}

TEST(MdxFormat, AFileNamedAfterTheTableIsItsProductionIndex) {
  MdxFiles f;
  f.Open("T.mdx").reset();
  EXPECT_TRUE(f.table->link.ProductionFlagSet());
  MdxFiles g;
  g.Open("OTHER.mdx").reset();
  EXPECT_FALSE(g.table->link.ProductionFlagSet());
}

TEST(MdxFormat, KeysAndExpressionsBeyondTheHeaderAreRefusedBeforeWriting) {
  MdxFiles f;
  f.Add("A", "1");
  struct Case {
    std::string key;
    std::string forExpression;
    std::string error;
  };
  const Case cases[] = {
      {"NAME + SPACE(240)", "", ""},
      {"NAME + SPACE(241)", "", "Sort key length must be 1-250 bytes, is 251"},
      {"LEFT(NAME, 0)", "", "Sort key length must be 1-250 bytes, is 0"},
      {"NAME" + std::string(215, ' '), "", ""},
      {"NAME" + std::string(216, ' '), "", "Index expression too long for K"},
      {"NAME", "NAME = 'A'" + std::string(251, ' '), ""},
      {"NAME", "NAME = 'A'" + std::string(252, ' '), "Index expression too long for K"},
      {"AMOUNT > 0", "", "Variant type cannot be sorted"},
  };
  auto mdx = f.Open("T.mdx");
  for (const Case& c : cases) {
    mdx->WriteHeldBlocks();
    std::string before = f.dir.Read("T.mdx");
    std::string error = ErrorMessage<EXbaseError>([&] { mdx->CreateTag("K", c.key, false, true, c.forExpression); });
    EXPECT_EQ(error, c.error.empty() ? "(no error)" : c.error) << c.key << "/" << c.forExpression.size();
    if (!c.error.empty()) {
      mdx->WriteHeldBlocks();
      EXPECT_TRUE(f.dir.Read("T.mdx") == before);
    }
  }
}

TEST(MdxFormat, TheHeaderNamesTheNextFreeBlockAfterEverySplit) {
  MdxFiles f;
  auto mdx = f.Open("T.mdx");
  mdx->CreateTag("NAME", "NAME", false, true, "");
  mdx->CreateTag("AMT", "AMOUNT", false, false, "");
  f.table->indexes.push_back(mdx.get());
  for (int i = 0; i < 400; ++i) {
    f.Add("K" + std::to_string((i * 37) % 400), std::to_string(i));
    mdx->WriteHeldBlocks();
    std::string bytes = f.dir.Read("T.mdx");
    ASSERT_EQ(Le32(bytes, 32), bytes.size() / 512) << i;
  }
  EXPECT_GT(f.dir.Read("T.mdx").size(), 20000u);
}

TEST(MdxFormat, FilesOfOtherProgramsWithSeveralTagsAreReadSearchedAndUpdated) {
  MdxFiles f;
  rawindex::RawMdxTag name{"NAME", "NAME", "", 'C', 10, false, false, 4, 0x5A, {}};
  rawindex::RawMdxTag amount{"AMT", "AMOUNT", "", 'N', 12, false, false, 3, 0, {}};
  rawindex::RawMdxTag desc{"NAMED", "NAME", "", 'C', 10, false, true, 4, 0, {}};
  for (int i = 1; i <= 12; ++i) {
    std::string n = "N" + std::to_string(10 + i);
    f.Add(n, std::to_string(i * 5));
    name.keys.push_back({n, i});
    amount.keys.push_back({rawindex::PackedInteger(i * 5), i});
  }
  desc.keys.assign(name.keys.rbegin(), name.keys.rend());
  f.dir.Write("T.mdx", rawindex::WriteMdx("T", {name, amount, desc}));
  auto mdx = f.Open("T.mdx", false);
  ASSERT_TRUE(mdx->Opened());
  ASSERT_EQ(mdx->TagCount(), 3);
  std::vector<int32_t> ascending = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::vector<int32_t> descending(ascending.rbegin(), ascending.rend());
  EXPECT_EQ(f.Records(*mdx->FindTag("NAME")), ascending);
  EXPECT_EQ(f.Records(*mdx->FindTag("AMT")), ascending);
  EXPECT_EQ(f.Records(*mdx->FindTag("NAMED")), descending);
  f.table->SetExactMatch(true);
  XBobjIndexKeyData key;
  key.SetNumber(35);
  EXPECT_EQ(mdx->FindTag("AMT")->FindKey(key), 7);
  key.SetText("N15");
  EXPECT_EQ(mdx->FindTag("NAMED")->FindKey(key), 5);
  f.table->indexes.push_back(mdx.get());
  f.table->Change(3, {{"NAME", "A"}, {"AMOUNT", "1000"}});
  for (int i = 0; i < 30; ++i) f.Add("M" + std::to_string(i), std::to_string(-i));
  for (int i = 0; i < mdx->TagCount(); ++i) {
    auto* tag = static_cast<XBobjMDXTag*>(mdx->TagAt(i));
    EXPECT_EQ(indexmodel::CheckMdxTag(*tag), "") << tag->TagName();
    EXPECT_EQ(f.Records(*tag).size(), 42u) << tag->TagName();
  }
  EXPECT_EQ(f.Records(*mdx->FindTag("NAME")).front(), 3);
  EXPECT_EQ(f.Records(*mdx->FindTag("AMT")).back(), 3);
  EXPECT_EQ(f.Records(*mdx->FindTag("NAMED")).back(), 3);
  // The tag header byte this program does not interpret is kept.
  mdx.reset();
  std::string bytes = f.dir.Read("T.mdx");
  std::size_t h = Le32(bytes, 512 + 32 * 2) * 512;  // NAME follows AMT
  EXPECT_EQ(static_cast<unsigned char>(bytes[h + 20]), 0x5A);
}

TEST(MdxFormat, ABuildReportsRecordsThenKeysAndAnEmptyTableNothing) {
  using Report = indexmodel::ProgressReport;
  RegisterBuiltinExpressions();
  TempDir dir;
  CreateDbfTable(dir.File("P.DBF"), {{"NAME", 'C', 8, 0}, {"SEQ", 'N', 4, 0}});
  indexmodel::RecordingTable table(dir.File("P.DBF"), false);
  XBobjMDXFile file(&table.link, dir.File("P.mdx"), true, true, fmOpenReadWrite, fmShareExclusive);
  file.CreateTag("E", "NAME", false, true, "");
  EXPECT_TRUE(table.reports.empty());
  for (int i = 1; i <= 4; ++i) table.Append({{"NAME", "N" + std::to_string(i)}, {"SEQ", std::to_string(i)}});
  table.reports.clear();
  file.CreateTag("P", "NAME", false, true, "SEQ >= 3");
  std::vector<Report> expected = {{-1, 1, 4}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 4, 0}, {0, 0, 0},
                                  {-1, 2, 4}, {2, 1, 0}, {2, 2, 0}, {0, 0, 0}};
  EXPECT_EQ(table.reports, expected);
}

}  // namespace
