// Our engine and a writer that locks exactly as another family of xBase
// programs does (FoxPro with CDX and FPT, Clipper with NTX and DBT) append,
// edit keys and memos and delete on one shared table at the same time,
// each under the protocol that matches the other. Afterwards every order
// equals a rebuild, every document either side appended is there once and
// every memo reads back whole. 3 s in the multiprocess suite, 20 s in the
// slow one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "dbase/tests/support/soak_memo.h"
#include "dbase/testing/table_fixtures.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

using namespace handlertest;

namespace {

struct Family {
  const char* name;     // the foreign writer's locks
  const char* ours;     // our protocol beside it
  uint8_t version;      // table version (memo kind)
  bool cdx;             // CDX tags, else NTX files
};

const Family kFoxPro{"foxpro", "default", 0xF5, true};
const Family kClipper{"clipper", "cliplock", 0x83, false};

void SharedWriters(const Family& f, double seconds) {
  TempDir dir;
  const std::vector<TxbFieldSpec> fields = {
      {"DOC", 'N', 10, 0}, {"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 10, 2}, {"NOTE", 'M', 0, 0}};
  std::vector<std::string> indexes;
  std::string path;
  if (f.cdx) {
    path = MakeIndexedTable(dir.Path(), "J.DBF", fields, {},
                            {TagSpec("DOC", "DOC"), TagSpec("NAME", "NAME"), TagSpec("AMOUNT", "AMOUNT"),
                             TagSpec("NAMEAMT", "NAME+STR(AMOUNT,10,2)")},
                            f.version);
    indexes = {"J.cdx"};
  } else {
    path = MakeIndexedTable(dir.Path(), "J.DBF", fields, {}, {}, f.version);
    DBFObject t(path, false, true, "");
    t.CreateIndexTag("DOC.ntx", "", 0, 1, "", "DOC");
    t.CreateIndexTag("NAME.ntx", "", 0, 1, "", "NAME");
    t.CreateIndexTag("AMOUNT.ntx", "", 0, 1, "", "AMOUNT");
    indexes = {"DOC.ntx", "NAME.ntx", "AMOUNT.ntx"};
  }
  auto writer = [&](int side, const char* locks) {
    return std::make_unique<ChildProcess>([&, side, locks](Channel& ch) {
      std::vector<std::string> argv = {XBASE_SOAK_WRITER, path, std::to_string(side), std::to_string(seconds),
                                       std::to_string(1000 + side), locks};
      for (const std::string& index : indexes) argv.push_back(dir.File(index));
      const table_test::ToolRun run = table_test::RunTool(argv);
      ch.Send(run.output);
      return run.status;
    });
  };
  std::unique_ptr<ChildProcess> foreign = writer(1, f.name);
  std::unique_ptr<ChildProcess> ours = writer(2, f.ours);
  const std::string foreignOutput = foreign->channel().Receive(static_cast<int>(seconds * 1000) + 120000);
  const std::string ourOutput = ours->channel().Receive(static_cast<int>(seconds * 1000) + 120000);
  ASSERT_EQ(foreign->Wait(), 0) << foreignOutput;
  ASSERT_EQ(ours->Wait(), 0) << ourOutput;

  std::map<int64_t, int> expected;  // document -> times found
  for (int side : {1, 2}) {
    std::ifstream log(path + ".side" + std::to_string(side));
    int64_t doc = 0;
    while (log >> doc) expected[doc] = 0;
  }
  ASSERT_FALSE(expected.empty());
  DBFObject t(path, true, false, "");
  t.SetShowDeleted(true);
  int whole = 0;
  for (int32_t n = 1; n <= t.RecordCount(); ++n) {
    t.GoRecord(n);
    const auto doc = static_cast<int64_t>(t.GetNumber("DOC"));
    auto it = expected.find(doc);
    ASSERT_NE(it, expected.end()) << "record " << n << " holds document " << doc << " nobody appended";
    ++it->second;
    if (soak::MemoIsWhole(t.GetText("NOTE"), doc))
      ++whole;
    else
      ADD_FAILURE() << "memo of record " << n << " (document " << doc << ") is not whole";
  }
  for (const auto& [doc, times] : expected) EXPECT_EQ(times, 1) << "document " << doc;
  EXPECT_EQ(whole, t.RecordCount());

  if (f.cdx) {
    std::filesystem::create_directory(dir.File("scratch"));
    const indexverify::IndexCheck check =
        indexverify::VerifyIndexes(path, {dir.File("J.cdx")}, dir.File("scratch/"));
    EXPECT_TRUE(check.Consistent()) << check.Summary();
  } else {
    // Each NTX order walks every record once, keys in order; NTX keeps
    // equal keys in the order they came, so only the keys' order is
    // compared with a rebuild.
    for (const std::string& index : indexes) {
      const std::string field = index.substr(0, index.find('.'));
      std::map<int32_t, std::string> keyOf;
      for (int32_t n = 1; n <= t.RecordCount(); ++n) {
        t.GoRecord(n);
        char key[32];
        std::snprintf(key, sizeof key, "%020.2f", t.GetNumber("AMOUNT"));
        keyOf[n] = field == "NAME" ? std::string(t.GetText("NAME"))
                   : field == "DOC" ? std::to_string(1000000000000 + static_cast<int64_t>(t.GetNumber("DOC")))
                                    : std::string(key);
      }
      DBFObject walker(path, true, false, "");
      walker.SetShowDeleted(true);
      walker.OpenIndexFile(dir.File(index));
      walker.SelectTag(field, false);
      std::vector<std::pair<std::string, int32_t>> walked;
      for (int32_t n : Walk(walker)) walked.push_back({keyOf[n], n});
      std::vector<std::pair<std::string, int32_t>> rebuilt(walked);
      std::sort(rebuilt.begin(), rebuilt.end());
      EXPECT_EQ(walked.size(), keyOf.size()) << index;
      EXPECT_TRUE(std::is_sorted(walked.begin(), walked.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; }))
          << index;
      for (int32_t n = 1; n <= t.RecordCount(); ++n)
        EXPECT_TRUE(std::binary_search(rebuilt.begin(), rebuilt.end(), std::make_pair(keyOf[n], n)))
            << index << " record " << n;
    }
  }
  std::cout << "  " << foreignOutput << "\n  " << ourOutput << "\n";
}

}  // namespace

TEST(ForeignWriterMultiprocess, FoxProLocksBesideDefaultKeepOrdersRecordsAndMemosWhole) {
  SharedWriters(kFoxPro, 3);
}
TEST(ForeignWriterMultiprocess, ClipperLocksBesideClipLockKeepOrdersRecordsAndMemosWhole) {
  SharedWriters(kClipper, 3);
}
TEST(ForeignWriterSlow, FoxProLocksBesideDefaultForTwentySeconds) { SharedWriters(kFoxPro, 20); }
TEST(ForeignWriterSlow, ClipperLocksBesideClipLockForTwentySeconds) { SharedWriters(kClipper, 20); }
