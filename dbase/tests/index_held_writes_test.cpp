// Writes of an exclusive index file wait in its held blocks until a flush,
// an eviction or Close. Whatever the bound on held blocks (the whole file,
// or evictions all the time), the file on disk after Close must be exactly
// the file a writer that wrote every page at once leaves (page cache off,
// a flush on the way in both), and every tag must
// equal a rebuild - also the tags that take keys after their last one
// without a search (rising numbers, repeats of the last key, a descending
// and a unique tag) while edits move their paths elsewhere.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dbase/expr/expr_registry.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/index/index_core.h"
#include "dbase/testing/index_verifier.h"
#include "testing/temp_dir.h"

namespace {

using handlertest::TagSpec;

// NO is DOC as appended, never edited (a unique tag kept through edits of
// its key is not a rebuild's).
const std::vector<TxbFieldSpec> kFields = {{"DOC", 'N', 8, 0}, {"NO", 'N', 8, 0}, {"NAME", 'C', 12, 0}};

struct Written {
  std::string afterClose;  // the index file's bytes
};

// Appends 1500 records (DOC rising, now and then the last DOC again),
// editing an earlier record after every fifth; one append flushes.
Written Write(const TempDir& dir, const std::string& extension, int64_t cacheLimit) {
  RegisterBuiltinExpressions();
  const std::string index = dir.File("T" + extension);
  const bool single = extension == ".ndx" || extension == ".ntx";
  std::vector<TagSpec> tags = {TagSpec("DOC", "DOC")};
  if (!single) {
    tags.push_back(TagSpec("NAME", "NAME"));
    tags.push_back(TagSpec("DOCD", "DOC", "", 1));
    tags.push_back(TagSpec("UNO", "NO", "", 0, 0));
  }
  // The tags are made on one record (a numeric tag made on an empty table
  // stores its keys unlike a rebuild).
  const std::string path =
      handlertest::MakeIndexedTable(dir.Path(), "T.DBF", kFields, {{{"DOC", "0"}, {"NO", "0"}, {"NAME", "A"}}}, {});
  {
    DBFObject t(path, false, true, "");
    for (const TagSpec& tag : tags)
      t.CreateIndexTag(index, single ? "" : tag.name, tag.order, tag.uniqueness, tag.forExpression, tag.key);
    t.Close();
  }
  Written run;
  DBFObject t(path, false, true, "");
  t.OpenIndexFile(index);
  t.IndexFile(1)->SetPageCacheLimit(cacheLimit);
  t.SelectTag(single ? "" : "NAME", false);
  int doc = 0;
  for (int i = 1; i <= 1500; ++i) {
    if (i % 9 != 0) ++doc;
    char name[16];
    std::snprintf(name, sizeof name, "N%05d", (i * 7919) % 10007);
    t.SetAutoFlush(i == 1000);
    handlertest::Append(t, {{"DOC", std::to_string(doc)}, {"NO", std::to_string(doc)}, {"NAME", name}});
    t.SetAutoFlush(false);
    // Every tenth edit also moves a DOC key into the middle of the tags.
    if (i % 5 == 0)
      handlertest::Edit(t, i / 2,
                        i % 10 == 0 ? handlertest::Values{{"NAME", "E" + std::string(name)}, {"DOC", std::to_string(i / 4)}}
                                    : handlertest::Values{{"NAME", "E" + std::string(name)}});
  }
  t.Close();
  run.afterClose = dir.Read("T" + extension);
  const indexverify::IndexCheck check = indexverify::VerifyIndexes(path, {index}, dir.File("scratch/"));
  // Other formats: only the structure, as the verifier finds every numeric
  // key of theirs unlike a rebuild's also where every page is written at
  // once.
  if (extension != ".cdx")
    EXPECT_TRUE(check.StructureIntact()) << extension << " " << cacheLimit << ": " << check.Summary();
  else
    EXPECT_TRUE(check.Consistent()) << extension << " " << cacheLimit << ": " << check.Summary();
  return run;
}

}  // namespace

TEST(IndexHeldWrites, FlushAndCloseLeaveTheBytesOfAWriterWithoutHeldBlocks) {
  for (const char* extension : {".cdx", ".mdx", ".ndx", ".ntx"}) {
    SCOPED_TRACE(extension);
    TempDir plainDir;
    std::filesystem::create_directory(plainDir.File("scratch/"));
    const Written plain = Write(plainDir, extension, 0);
    // The default bound holds the whole file; 4 KB evicts all the time.
    for (int64_t limit : {XBobjIndexFile::kDefaultPageCacheBytes, int64_t{4096}}) {
      TempDir dir;
      std::filesystem::create_directory(dir.File("scratch/"));
      const Written held = Write(dir, extension, limit);
      EXPECT_TRUE(held.afterClose == plain.afterClose) << limit;
    }
  }
}
