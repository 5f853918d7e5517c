// Our CDX files read by an independent reader (index_dump of Debian's
// libdbd-xbase-perl): for every tag the printed (key, record) sequence
// equals our walk in the order the keys are stored. Character tags use
// upper-case letters, digits and blanks only, where our collation and plain
// byte order agree.
//
// Variants the tool cannot read, and how they are handled:
// - date tags: "--type date" is refused for CDX files ("unknown
//   extension"); the keys are read with "--type num" as day numbers;
// - GENERAL tags: the tool prints the stored weight bytes, not the text;
//   they are not compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbase/cdx_index.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"
#include "support/index_model.h"
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

}  // namespace
