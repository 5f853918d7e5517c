// The index file's page cache: decoded pages kept between searches must
// never hide another writer's change of a shared file, and a tight memory
// bound (pages evicted all the time) must leave every order and seek right.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dbase/expr/expr_registry.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/index/index_core.h"
#include "dbase/testing/index_model.h"
#include "dbase/testing/index_verifier.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace {

using handlertest::Values;
using indexmodel::KeyRecord;

const std::vector<TxbFieldSpec> kFields = {{"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8, 0}};

std::string Name(char prefix, int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%04d", prefix, n);
  return text;
}

// A table of `records` names A0000.. and one index file on NAME.
std::string MakeTable(const TempDir& dir, const std::string& indexFile, int records) {
  RegisterBuiltinExpressions();
  const std::string path = handlertest::MakeIndexedTable(dir.Path(), "T.DBF", kFields, {}, {});
  DBFObject t(path, false, true, "");
  for (int i = 0; i < records; ++i) handlertest::Append(t, {{"NAME", Name('A', i)}, {"AMOUNT", "1"}});
  // NDX and NTX files hold one tag named after the file.
  const bool single = indexFile.find(".nd") != std::string::npos || indexFile.find(".nt") != std::string::npos;
  t.CreateIndexTag(indexFile, single ? "" : "NAME", 0, 1, "", "NAME");
  t.Close();
  return path;
}

// The walk's keys never go down (equal keys may stand in any record order).
bool KeysAscend(const std::vector<KeyRecord>& walk) {
  return std::is_sorted(walk.begin(), walk.end(),
                        [](const KeyRecord& a, const KeyRecord& b) { return a.first < b.first; });
}

// What the tag must hold: each record's stored key, sorted.
std::vector<KeyRecord> Expected(DBFObject& t, XBobjIndexTag& tag) {
  std::vector<KeyRecord> out;
  t.SelectTag("", false);
  for (int32_t n = 1; n <= t.RecordCount(); ++n) {
    t.GoRecord(n);
    TxbVariant key(0);
    tag.EvaluateKey(key);
    tag.KeyToStoredForm(key, true);
    out.push_back({indexmodel::Bytes(key), n});
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The other writer's change: 40 records renamed to Z..., 150 B... appended
// (enough to split leaves the reader holds), then (rebuild) the file built
// anew, so that every page may now hold other keys than the reader saw in
// it.
void ChangeNames(const std::string& path, const std::string& indexFile, bool rebuild) {
  DBFObject w(path, true, true, "");
  w.OpenIndexFile(indexFile);
  for (int i = 0; i < 40; ++i) handlertest::Edit(w, 1 + i * 5, {{"NAME", Name('Z', i)}});
  for (int i = 0; i < 150; ++i) handlertest::Append(w, {{"NAME", Name('B', i)}, {"AMOUNT", "2"}});
  if (rebuild) w.IndexFile(1)->Reindex();
  w.Close();
}

struct WriterCase {
  const char* what;
  const char* indexFile;
  bool childProcess;
  // Formats that count their changes keep pages between reads (the table
  // is large enough for branches below the root); the others read them
  // again after every look at the file.
  bool keepsPages;
  // The writer rebuilds the file as well (a rebuilt NTX must not start its
  // change counter at 1 again: a reader that last saw 1 would take it for
  // no change).
  bool rebuild;
};

TEST(IndexPageCacheMultiprocess, CachedPagesGiveWayToAnotherWritersChangesOfASharedFile) {
  const WriterCase cases[] = {
      {"second handle, CDX", "T.cdx", false, true, false},
      {"child process, CDX", "T.cdx", true, true, false},
      {"second handle, CDX rebuilt", "T.cdx", false, true, true},
      {"child process, CDX rebuilt", "T.cdx", true, true, true},
      {"second handle, NTX", "NAMES.ntx", false, true, false},
      {"child process, NTX", "NAMES.ntx", true, true, false},
      {"second handle, NTX rebuilt", "NAMES.ntx", false, true, true},
      {"child process, NTX rebuilt", "NAMES.ntx", true, true, true},
      {"second handle, MDX", "T.mdx", false, false, false},
      {"second handle, NDX", "NAMES.ndx", false, false, false},
  };
  for (const WriterCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = MakeTable(dir, c.indexFile, 3000);
    DBFObject reader(path, true, true, "");
    ASSERT_EQ(reader.OpenIndexFile(c.indexFile), 0);
    XBobjIndexFile* file = reader.IndexFile(1);
    reader.SelectTag(reader.TagByNumber(1)->TagName(), false);
    reader.SetExactMatch(true);
    // Every key sought twice: the second round runs on cached pages.
    for (int round = 0; round < 2; ++round)
      for (int i = 0; i < 3000; i += 29) ASSERT_TRUE(reader.SeekKey(Name('A', i)));
    if (c.keepsPages) {
      EXPECT_GT(file->PageCacheHits(), 0);
    } else {
      EXPECT_EQ(file->PageCacheHits(), 0);
    }

    if (c.childProcess) {
      ChildProcess writer([&](Channel&) {
        ChangeNames(path, c.indexFile, c.rebuild);
        return 0;
      });
      ASSERT_EQ(writer.Wait(), 0);
    } else {
      ChangeNames(path, c.indexFile, c.rebuild);
    }

    // The reader sees the new keys, not the old ones, and its order holds
    // every record once.
    EXPECT_TRUE(reader.SeekKey(Name('Z', 7)));
    EXPECT_EQ(reader.RecordNumber(), 1 + 7 * 5);
    EXPECT_FALSE(reader.SeekKey(Name('A', 7 * 5)));
    EXPECT_TRUE(reader.SeekKey(Name('B', 149)));
    EXPECT_TRUE(reader.SeekKey(Name('A', 2999)));
    XBobjIndexTag& tag = *reader.TagByNumber(1);
    std::vector<KeyRecord> walk = indexmodel::Walk(tag, true);
    EXPECT_TRUE(KeysAscend(walk));
    std::sort(walk.begin(), walk.end());
    EXPECT_EQ(walk, Expected(reader, tag));
    reader.Close();
  }
}

struct QuietChangeCase {
  const char* what;
  const char* indexFile;
  int counterOffset;  // of the change counter in the first block
  int counterBytes;
  // The counter is put back to the value the reader saw, as a counter that
  // came round (or a rebuild starting it again) leaves it.
  bool counterBack;
};

// Pages a shared reader keeps while the change counter vouches for them:
// another writer's change of one leaf (the file keeps its size) is seen,
// also when the counter reads as before.
TEST(IndexPageCache, AChangeOfOneLeafIsSeenWhateverTheCounterReads) {
  const QuietChangeCase cases[] = {
      {"CDX", "T.cdx", 8, 4, false},
      {"CDX, counter as before", "T.cdx", 8, 4, true},
      {"NTX", "NAMES.ntx", 2, 2, false},
      {"NTX, counter as before", "NAMES.ntx", 2, 2, true},
  };
  for (const QuietChangeCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = MakeTable(dir, c.indexFile, 3000);
    const std::string indexPath = dir.Path() + "/" + c.indexFile;
    DBFObject reader(path, true, true, "");
    ASSERT_EQ(reader.OpenIndexFile(c.indexFile), 0);
    XBobjIndexFile* file = reader.IndexFile(1);
    reader.SelectTag(reader.TagByNumber(1)->TagName(), false);
    reader.SetExactMatch(true);
    // One change of the reader's own (under the lock), then every key
    // sought twice: pages cached under the counter, leaves included.
    handlertest::Append(reader, {{"NAME", Name('C', 1)}});
    int64_t misses = 0;
    for (int round = 0; round < 2; ++round) {
      misses = file->PageCacheMisses();
      for (int i = 0; i < 3000; i += 7) ASSERT_TRUE(reader.SeekKey(Name('A', i)));
    }
    EXPECT_EQ(file->PageCacheMisses(), misses);
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(indexPath));
    std::string counter(static_cast<std::size_t>(c.counterBytes), '\0');
    {
      std::ifstream in(indexPath, std::ios::binary);
      in.seekg(c.counterOffset);
      in.read(counter.data(), c.counterBytes);
    }
    // The file system's clock moves in steps of a few milliseconds; the
    // writer's change comes in a later one than the reader's last look.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    {
      // A0700 becomes A0700X: the same leaf, no page added.
      DBFObject writer(path, true, true, "");
      writer.OpenIndexFile(c.indexFile);
      handlertest::Edit(writer, 701, {{"NAME", "A0700X"}});
      writer.Close();
    }
    ASSERT_EQ(static_cast<int64_t>(std::filesystem::file_size(indexPath)), size);
    if (c.counterBack) {
      std::fstream io(indexPath, std::ios::binary | std::ios::in | std::ios::out);
      io.seekp(c.counterOffset);
      io.write(counter.data(), c.counterBytes);
    }
    EXPECT_FALSE(reader.SeekKey("A0700"));
    EXPECT_TRUE(reader.SeekKey("A0700X"));
    EXPECT_EQ(reader.RecordNumber(), 701);
    EXPECT_TRUE(reader.SeekKey(Name('A', 699)));
    EXPECT_TRUE(reader.SeekKey(Name('A', 701)));
    // And so is it for a change of the reader's own after it.
    handlertest::Append(reader, {{"NAME", "A0700Y"}});
    XBobjIndexTag& tag = *reader.TagByNumber(1);
    std::vector<KeyRecord> walk = indexmodel::Walk(tag, true);
    std::sort(walk.begin(), walk.end());
    EXPECT_EQ(walk, Expected(reader, tag));
    reader.Close();
  }
}

struct BoundCase {
  const char* indexFile;
  int64_t limit;  // bytes
};

TEST(IndexPageCache, ATightBoundEvictsPagesAndEveryOrderAndSeekStaysRight) {
  const BoundCase cases[] = {
      {"T.cdx", 2000}, {"T.cdx", 20000}, {"T.mdx", 3000}, {"NAMES.ndx", 3000}, {"NAMES.ntx", 3000}, {"T.cdx", 0},
  };
  for (const BoundCase& c : cases) {
    SCOPED_TRACE(std::string(c.indexFile) + " bound " + std::to_string(c.limit));
    TempDir dir;
    const std::string path = MakeTable(dir, c.indexFile, 300);
    DBFObject t(path, false, true, "");
    ASSERT_EQ(t.OpenIndexFile(c.indexFile), 0);
    XBobjIndexFile* file = t.IndexFile(1);
    file->SetPageCacheLimit(c.limit);
    XBobjIndexTag& tag = *t.TagByNumber(1);
    std::mt19937 rng(7);
    int64_t packedSeen = 0;
    std::vector<std::string> names(300);
    for (int i = 0; i < 300; ++i) names[static_cast<std::size_t>(i)] = Name('A', i);
    for (int step = 0; step < 900; ++step) {
      t.SelectTag(tag.TagName(), false);
      t.SetExactMatch(true);
      const int pick = static_cast<int>(rng() % 3);
      if (pick == 0) {
        names.push_back(Name('C', static_cast<int>(rng() % 5000)));
        handlertest::Append(t, {{"NAME", names.back()}});
      } else if (pick == 1) {
        const auto n = static_cast<std::size_t>(rng() % names.size());
        names[n] = Name('D', static_cast<int>(rng() % 5000));
        handlertest::Edit(t, static_cast<int32_t>(n + 1), {{"NAME", names[n]}});
      } else {
        // A seek finds a key exactly when some record holds it.
        const std::string sought = Name('C', static_cast<int>(rng() % 5000));
        const bool held = std::find(names.begin(), names.end(), sought) != names.end();
        ASSERT_EQ(t.SeekKey(sought), held) << sought << " at step " << step;
        if (held) {
          EXPECT_EQ(Trim(t.GetText("NAME")), sought);
        }
      }
      ASSERT_LE(file->PageCacheBytes(), c.limit);
      ASSERT_LE(file->PageCachePackedBytes(), file->PageCacheBytes());
      packedSeen = std::max(packedSeen, file->PageCachePackedBytes());
    }
    if (c.limit >= 20000) {
      // Decoded pages do not all fit: the older ones were held packed and
      // served again.
      EXPECT_GT(packedSeen, 0);
      EXPECT_GT(file->PageCacheHits(), 0);
    }
    std::vector<KeyRecord> walk = indexmodel::Walk(tag, true);
    EXPECT_TRUE(KeysAscend(walk));
    std::sort(walk.begin(), walk.end());
    EXPECT_EQ(walk, Expected(t, tag));
    EXPECT_EQ(indexmodel::CheckIndexTag(tag), "");
    if (c.limit == 0) {
      EXPECT_EQ(file->PageCacheCount(), 0);
    }
    t.Close();
  }
}

TEST(IndexPageCache, AfterRandomSeeksOverAFarLargerTreeAFewHotKeysAreServedFromTheCacheAgain) {
  // Random seeks over many more leaves than the bound holds find few of
  // them cached, and only a sample of the leaves read is kept then; a
  // working set that fits must still come to be kept.
  TempDir dir;
  const std::string path = MakeTable(dir, "T.cdx", 4000);
  DBFObject t(path, false, true, "");
  ASSERT_EQ(t.OpenIndexFile("T.cdx"), 0);
  XBobjIndexFile* file = t.IndexFile(1);
  const int64_t limit = 16000;
  file->SetPageCacheLimit(limit);
  t.SelectTag("NAME", false);
  t.SetExactMatch(true);
  std::mt19937 rng(11);
  for (int i = 0; i < 3000; ++i) {
    const std::string sought = Name('A', static_cast<int>(rng() % 4000));
    ASSERT_TRUE(t.SeekKey(sought)) << sought;
    ASSERT_LE(file->PageCacheBytes(), limit);
  }
  const int64_t missesBefore = file->PageCacheMisses();
  for (int i = 0; i < 3000; ++i) {
    const std::string sought = Name('A', 100 + static_cast<int>(rng() % 20));
    ASSERT_TRUE(t.SeekKey(sought)) << sought;
    EXPECT_EQ(Trim(t.GetText("NAME")), sought);
  }
  EXPECT_LT(file->PageCacheMisses() - missesBefore, 300);
  t.Close();
}

}  // namespace
