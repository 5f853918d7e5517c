// Our index files read by an independent reader (index_dump and the
// XBase::Index library of Debian's libdbd-xbase-perl): for every tag the
// printed (key, record) sequence equals our walk in the order the keys are
// stored. Character tags use upper-case letters, digits and blanks only,
// where our collation and plain byte order agree.
//
// Variants the tool cannot read, and how they are handled:
// - CDX date tags: "--type date" is refused for CDX files ("unknown
//   extension"); the keys are read with "--type num" as day numbers;
// - CDX GENERAL tags: the tool prints the stored weight bytes, not the
//   text; they are not compared;
// - MDX number and date tags: the tool prints the packed decimals and
//   doubles as raw bytes, not as values; their record sequence is compared,
//   the keys are not;
// - MDX number and date tags: besides, a raw byte may be a line end, so
//   the record numbers are read through the same library's XBase::Index
//   by a one-line script instead of index_dump;
// - NTX tags with a FOR clause: the tool refuses the signature 7 that marks
//   them ("bad signature value"); they are not compared;
// - single-tag files (NDX, NTX): index_dump prints nothing unless a tag
//   argument follows the file name, so the file's tag name is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/index_model.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::IndexedTable;
using indexmodel::KeyRecord;

bool ToolPresent() { return std::system("command -v index_dump >/dev/null 2>&1") == 0; }

std::vector<std::string> RunTool(const std::string& arguments) {
  std::vector<std::string> lines;
  FILE* pipe = ::popen(("index_dump " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return lines;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    lines.push_back(line);
  }
  ::pclose(pipe);
  return lines;
}

// "key record" per line; the key may hold blanks.
std::vector<std::pair<std::string, int32_t>> ParseDump(const std::vector<std::string>& lines) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (const std::string& line : lines) {
    std::size_t space = line.rfind(' ');
    if (space == std::string::npos) {
      out.push_back({line, -1});
      continue;
    }
    out.push_back({line.substr(0, space), std::atoi(line.c_str() + space + 1)});
  }
  return out;
}

class CrosscheckFiles {
 public:
  explicit CrosscheckFiles(int records) {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("X.DBF"), {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 12, 2}, {"DAY", 'D', 8, 0}});
    table = std::make_unique<IndexedTable>(dir.File("X.DBF"), false);
    std::mt19937 rng(5);
    const char letters[] = "ABCXYZ019 ";
    for (int i = 0; i < records; ++i) {
      std::string name;
      int length = 1 + static_cast<int>(rng() % 8);
      for (int k = 0; k < length; ++k) name += letters[rng() % 10];
      int cents = static_cast<int>(rng() % 200001) - 100000;
      if (rng() % 3 == 0) cents = cents / 100 * 100;
      std::string amount = Format("%.2f", cents / 100.0);
      std::string day = rng() % 6 == 0 ? "" : Format("%d.%d.%d", 1 + static_cast<int>(rng() % 28),
                                                     1 + static_cast<int>(rng() % 12),
                                                     1950 + static_cast<int>(rng() % 80));
      table->BlankRecord();
      table->PutText("NAME", name);
      table->PutText("AMOUNT", amount);
      table->PutText("DAY", day);
      table->AppendRecord();
    }
    cdx = std::make_unique<XBobjCDXFile>(&table->link, "X.cdx", false, true, fmOpenReadWrite,
                                         fmShareExclusive);
  }
  // Our walk in the order keys are stored on disk.
  std::vector<KeyRecord> StoredOrder(const std::string& tagName) {
    XBobjIndexTag* tag = cdx->FindTag(tagName);
    std::vector<KeyRecord> walk = indexmodel::Walk(*tag, true);
    if (tag->ReverseNavigation()) std::reverse(walk.begin(), walk.end());
    return walk;
  }
  TempDir dir;
  std::unique_ptr<IndexedTable> table;
  std::unique_ptr<XBobjCDXFile> cdx;
};

void ExpectSameAsTool(CrosscheckFiles& f, const std::string& tag, char type) {
  std::vector<KeyRecord> ours = f.StoredOrder(tag);
  // Our handle holds the file exclusively: its writes reach the disk when
  // they are flushed.
  f.cdx->WriteHeldBlocks();
  std::string option = type == 'C' ? "--type char" : "--type num";
  auto dumped = ParseDump(RunTool(option + " " + f.dir.File("X.cdx") + " " + tag));
  ASSERT_EQ(dumped.size(), ours.size()) << tag << (dumped.empty() ? "" : ": " + dumped[0].first);
  for (std::size_t i = 0; i < ours.size(); ++i) {
    ASSERT_EQ(dumped[i].second, ours[i].second) << tag << " entry " << i;
    if (type == 'C') {
      ASSERT_EQ(dumped[i].first, ours[i].first) << tag << " entry " << i;
    } else {
      double expected = indexmodel::StoredNumber(ours[i].first);
      double printed = std::atof(dumped[i].first.c_str());
      ASSERT_NEAR(printed, expected, std::fabs(expected) * 1e-12) << tag << " entry " << i;
    }
  }
}

TEST(IndexCrosscheck, EveryKindOfTagReadsTheSameInTheIndependentReader) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  CrosscheckFiles f(700);
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("AMT", "AMOUNT", false, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("DAT", "DAY", false, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("UNI", "NAME", true, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("DESC", "AMOUNT", false, false, ""));
  ASSERT_TRUE(f.cdx->CreateTag("POS", "NAME", false, true, "AMOUNT > 0"));
  // Keep changing after the build: the incremental writes must read the
  // same as the bulk ones.
  f.table->indexes.push_back(f.cdx.get());
  for (int32_t n = 1; n <= 200; n += 3) f.table->Change(n, {{"AMOUNT", Format("%d", -n)}, {"NAME", "CHG" + std::to_string(n)}});
  for (int i = 0; i < 50; ++i) f.table->Append({{"NAME", "NEW" + std::to_string(i)}, {"AMOUNT", "-100"}});
  f.cdx.reset();
  f.cdx = std::make_unique<XBobjCDXFile>(&f.table->link, "X.cdx", false, true, fmOpenReadWrite,
                                         fmShareExclusive);
  f.cdx->WriteHeldBlocks();
  std::vector<std::string> tags = RunTool("--type char " + f.dir.File("X.cdx"));
  EXPECT_EQ(tags, (std::vector<std::string>{"AMT", "DAT", "DESC", "NAME", "POS", "UNI"}));
  ExpectSameAsTool(f, "NAME", 'C');
  ExpectSameAsTool(f, "UNI", 'C');
  ExpectSameAsTool(f, "POS", 'C');
  ExpectSameAsTool(f, "AMT", 'N');
  ExpectSameAsTool(f, "DESC", 'N');
  ExpectSameAsTool(f, "DAT", 'D');
  // The tool prints -100 for our stored -100 (every byte kept).
  auto dumped = ParseDump(RunTool("--type num " + f.dir.File("X.cdx") + " AMT"));
  int hundreds = 0;
  for (auto& d : dumped) hundreds += d.first == "-100";
  EXPECT_GE(hundreds, 50);
}

TEST(IndexCrosscheck, AHundredThousandKeys) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  CrosscheckFiles f(100000);
  ASSERT_TRUE(f.cdx->CreateTag("NAME", "NAME", false, true, ""));
  ASSERT_TRUE(f.cdx->CreateTag("AMT", "AMOUNT", false, true, ""));
  ExpectSameAsTool(f, "NAME", 'C');
  ExpectSameAsTool(f, "AMT", 'N');
}


// --- MDX, NDX, NTX

// The same rows with one index file per tag (NDX, NTX) or one file of
// tags (MDX), kept current through changes after the build.
class FormatFiles {
 public:
  FormatFiles(const std::string& extension, int records) : extension_(extension), base_(records) {}

  XBobjIndexTag* Create(const std::string& name, const std::string& key, bool unique, bool ascending,
                        const std::string& forExpression = "") {
    std::string file = base_.dir.File((extension_ == ".mdx" ? std::string("X") : name) + extension_);
    std::unique_ptr<XBobjIndexFile> index;
    if (extension_ == ".mdx") {
      if (files_.empty())
        files_.push_back(std::make_unique<XBobjMDXFile>(&base_.table->link, file, true, true, fmOpenReadWrite,
                                                        fmShareExclusive));
      files_[0]->CreateTag(name, key, unique, ascending, forExpression);
      return files_[0]->FindTag(name);
    }
    if (extension_ == ".ndx")
      index = std::make_unique<XBobjNDXFile>(&base_.table->link, file, true, true, fmOpenReadWrite, fmShareExclusive);
    else
      index = std::make_unique<XBobjNTXFile>(&base_.table->link, file, true, true, fmOpenReadWrite, fmShareExclusive);
    index->CreateTag(name, key, unique, ascending, forExpression);
    files_.push_back(std::move(index));
    return files_.back()->TagAt(0);
  }
  // Changes after the build: the incremental writes must read the same.
  void Change() {
    for (auto& f : files_) base_.table->indexes.push_back(f.get());
    for (int32_t n = 1; n <= 200; n += 3)
      base_.table->Change(n, {{"AMOUNT", Format("%d", -n)}, {"NAME", "CHG" + std::to_string(n)}, {"DAY", ""}});
    for (int i = 0; i < 50; ++i) base_.table->Append({{"NAME", "NEW" + std::to_string(i)}, {"AMOUNT", "-100"}});
    base_.table->indexes.clear();
  }
  // Appends records through the index files: keys come one at a time and
  // in no order, so pages only grow and split.
  void Append(int records) {
    for (auto& f : files_) base_.table->indexes.push_back(f.get());
    for (int i = 0; i < records; ++i)
      base_.table->Append({{"NAME", "N" + std::to_string((i * 7919) % 1000)}, {"AMOUNT", "1"}});
    base_.table->indexes.clear();
  }
  // Gives records first..last keys after every other key, so the pages
  // that held their old keys empty out and leave the tree.
  void MoveToTheEnd(int32_t first, int32_t last) {
    for (auto& f : files_) base_.table->indexes.push_back(f.get());
    for (int32_t n = first; n <= last; ++n) base_.table->Change(n, {{"NAME", "Z" + std::to_string(1000 + n)}});
    base_.table->indexes.clear();
  }
  std::string PathOf(const std::string& name) const {
    return base_.dir.File((extension_ == ".mdx" ? std::string("X") : name) + extension_);
  }
  int32_t RecordCount() const { return base_.table->RecordCount(); }
  void Close() { files_.clear(); }

 private:
  std::string extension_;
  CrosscheckFiles base_;
  std::vector<std::unique_ptr<XBobjIndexFile>> files_;
};

// The record numbers of a tag in stored order, through XBase::Index.
std::vector<std::pair<std::string, int32_t>> ToolRecords(const std::string& path, const std::string& tag) {
  std::string script =
      "use XBase::Index; my $i = XBase::Index->new($ARGV[0], tag => $ARGV[1], type => 'char') or die; "
      "$i->prepare_select; while (my @r = $i->fetch) { print \"- $r[1]\\n\"; }";
  std::vector<std::pair<std::string, int32_t>> out;
  FILE* pipe = ::popen(("/usr/bin/perl -e '" + script + "' " + path + " " + tag + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) out.push_back({"-", std::atoi(buffer + 2)});
  ::pclose(pipe);
  return out;
}

// type: 'C' texts (compared without trailing blanks), 'N' numbers, 'J' day
// numbers, 'T' texts of other kinds (NTX numbers and dates), 'R' records only.
void ExpectToolReads(FormatFiles& f, XBobjIndexTag& tag, const std::string& name, char type) {
  std::vector<KeyRecord> ours = indexmodel::Walk(tag, true);
  tag.IndexFile()->WriteHeldBlocks();
  std::string option = type == 'N' ? "--type num" : type == 'J' ? "--type date" : "--type char";
  auto dumped = type == 'R' ? ToolRecords(f.PathOf(name), name)
                            : ParseDump(RunTool(option + " " + f.PathOf(name) + " " + name));
  ASSERT_EQ(dumped.size(), ours.size()) << name << (dumped.empty() ? "" : ": " + dumped[0].first);
  for (std::size_t i = 0; i < ours.size(); ++i) {
    ASSERT_EQ(dumped[i].second, ours[i].second) << name << " entry " << i;
    if (type == 'C' || type == 'T') {
      ASSERT_EQ(TrimRight(dumped[i].first), TrimRight(ours[i].first)) << name << " entry " << i;
    } else if (type == 'N' || type == 'J') {
      double expected = 0;
      std::memcpy(&expected, ours[i].first.data(), 8);
      double printed = std::atof(dumped[i].first.c_str());
      ASSERT_NEAR(printed, expected, std::fabs(expected) * 1e-12) << name << " entry " << i;
    }
  }
}

TEST(IndexCrosscheck, NdxTagsReadTheSameInTheIndependentReader) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  FormatFiles f(".ndx", 700);
  struct Case {
    const char* name;
    const char* key;
    bool unique;
    char type;
  };
  const Case cases[] = {{"NAME", "NAME", false, 'C'}, {"UNI", "NAME", true, 'C'}, {"AMT", "AMOUNT", false, 'N'},
                        {"DAT", "DAY", false, 'J'}};
  std::vector<XBobjIndexTag*> tags;
  for (const Case& c : cases) tags.push_back(f.Create(c.name, c.key, c.unique, true));
  f.Change();
  for (std::size_t i = 0; i < std::size(cases); ++i) ExpectToolReads(f, *tags[i], cases[i].name, cases[i].type);
}

// The longest text keys leave two to a page: every branch holds a key the
// tool can follow, whether the tree was built at once or grew by splits.
TEST(IndexCrosscheck, NdxTagsOfTheLongestKeysReadTheSameInTheIndependentReader) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  FormatFiles f(".ndx", 0);
  XBobjIndexTag* kept = f.Create("KEPT", "NAME + SPACE(234)", false, true);
  f.Append(300);
  XBobjIndexTag* built = f.Create("BUILT", "NAME + SPACE(234)", false, true);
  for (auto [tag, name] : {std::pair{kept, "KEPT"}, std::pair{built, "BUILT"}}) {
    EXPECT_EQ(indexmodel::CheckIndexTag(*tag), "") << name;
    ASSERT_EQ(indexmodel::Walk(*tag, true).size(), 300u) << name;
    ExpectToolReads(f, *tag, name, 'C');
  }
}

// Where a branch stores no key with its last child, pages that empty out
// must never leave a branch of one child: the tool would take it for empty
// and lose the records below it.
TEST(IndexCrosscheck, BranchesKeepAKeyWhenPagesEmptyOut) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  for (const char* extension : {".ndx", ".mdx"}) {
    for (int keyLength : {40, 120, 244}) {
      SCOPED_TRACE(std::string(extension) + " key length " + std::to_string(keyLength));
      FormatFiles f(extension, 0);
      XBobjIndexTag* tag = f.Create("LONG", "NAME + SPACE(" + std::to_string(keyLength - 10) + ")", false, true);
      f.Append(400);
      f.MoveToTheEnd(1, 380);
      EXPECT_EQ(indexmodel::CheckIndexTag(*tag), "");
      ASSERT_EQ(indexmodel::Walk(*tag, true).size(), 400u);
      ExpectToolReads(f, *tag, "LONG", 'C');
    }
  }
}

TEST(IndexCrosscheck, NtxTagsReadTheSameInTheIndependentReaderEveryRecordOnce) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  FormatFiles f(".ntx", 700);
  struct Case {
    const char* name;
    const char* key;
    bool unique, ascending;
    const char* forExpression;
    char type;
  };
  const Case cases[] = {{"NAME", "NAME", false, true, "", 'C'},      {"NAMED", "NAME", false, false, "", 'C'},
                        {"UNI", "NAME", true, true, "", 'C'},        {"UNID", "NAME", true, false, "", 'C'},
                        {"AMT", "AMOUNT", false, true, "", 'T'},
                        {"AMTD", "AMOUNT", false, false, "", 'T'},   {"DAT", "DAY", false, true, "", 'T'}};
  std::vector<XBobjIndexTag*> tags;
  for (const Case& c : cases) tags.push_back(f.Create(c.name, c.key, c.unique, c.ascending, c.forExpression));
  f.Change();
  for (std::size_t i = 0; i < std::size(cases); ++i) ExpectToolReads(f, *tags[i], cases[i].name, cases[i].type);
  // Every record of a tag without FOR or uniqueness, exactly once.
  auto dumped = ParseDump(RunTool("--type char " + f.PathOf("NAME") + " NAME"));
  std::vector<int32_t> records;
  for (auto& d : dumped) records.push_back(d.second);
  std::sort(records.begin(), records.end());
  ASSERT_EQ(records.size(), static_cast<std::size_t>(f.RecordCount()));
  for (std::size_t i = 0; i < records.size(); ++i) ASSERT_EQ(records[i], static_cast<int32_t>(i + 1));
}

TEST(IndexCrosscheck, MdxTagsReadTheSameInTheIndependentReader) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  FormatFiles f(".mdx", 700);
  struct Case {
    const char* name;
    const char* key;
    bool unique, ascending;
    const char* forExpression;
    char type;
  };
  const Case cases[] = {{"NAME", "NAME", false, true, "", 'C'},       {"NAMED", "NAME", false, false, "", 'C'},
                        {"UNI", "NAME", true, true, "", 'C'},         {"POS", "NAME", false, true, "AMOUNT > 0", 'C'},
                        {"AMT", "AMOUNT", false, true, "", 'R'},      {"DAT", "DAY", false, false, "", 'R'}};
  for (const Case& c : cases) f.Create(c.name, c.key, c.unique, c.ascending, c.forExpression);
  f.Change();
  f.Close();
  // Read back through a fresh open of the file, as the tool reads it.
  for (const Case& c : cases) {
    XBobjMDXFile mdx(nullptr, f.PathOf(c.name), false, false, fmOpenRead, fmShareExclusive);
    ExpectToolReads(f, *mdx.FindTag(c.name), c.name, c.type);
  }
}

TEST(IndexCrosscheck, AHundredThousandKeysInEveryFormat) {
  if (!ToolPresent()) GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
  for (const char* extension : {".ndx", ".ntx", ".mdx"}) {
    FormatFiles f(extension, 100000);
    XBobjIndexTag* name = f.Create("NAME", "NAME", false, true);
    XBobjIndexTag* amount = f.Create("AMT", "AMOUNT", false, true);
    ExpectToolReads(f, *name, "NAME", 'C');
    std::string ext = extension;
    ExpectToolReads(f, *amount, "AMT", ext == ".ndx" ? 'N' : ext == ".ntx" ? 'T' : 'R');
  }
}

}  // namespace
