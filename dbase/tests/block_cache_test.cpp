// Block copies of an exclusive file: whatever mix of reads and writes, over
// a file inside the bound or far beyond it, a read through the cache gives
// the file's bytes and the file's end; and an exclusive table whose
// records are read again and again through a tag reads them from memory.
#include "dbase/base/block_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dbase/expr/expr_registry.h"
#include "dbase/handler/dbf_object.h"
#include "dbase/testing/index_verifier.h"
#include "testing/temp_dir.h"

namespace {

constexpr int32_t B = TxbBlockCache::kBlockBytes;

// The file the cache stands in front of, with a count of the reads that
// reached it.
struct ModelFile {
  std::string bytes;
  int reads = 0;
  int32_t Read(int64_t position, void* buffer, int32_t length) {
    ++reads;
    if (position >= static_cast<int64_t>(bytes.size())) return 0;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(length, static_cast<int64_t>(bytes.size()) - position));
    std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(n));
    return n;
  }
  void Write(int64_t position, const std::string& data) {
    if (bytes.size() < position + data.size()) bytes.resize(position + data.size(), '\0');
    bytes.replace(static_cast<std::size_t>(position), data.size(), data);
  }
};

std::string Through(TxbBlockCache& cache, int64_t position, int32_t length) {
  std::string out(static_cast<std::size_t>(length), '?');
  out.resize(static_cast<std::size_t>(cache.Read(position, out.data(), length)));
  return out;
}

std::string Direct(const ModelFile& file, int64_t position, int32_t length) {
  if (position >= static_cast<int64_t>(file.bytes.size())) return {};
  return file.bytes.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(length));
}

}  // namespace

TEST(BlockCache, RandomReadsAndWritesAlwaysGiveTheFilesBytesAndEnd) {
  // Files inside the bound (every block stays) and far beyond it (eviction
  // and the sampled fills), with writes that overwrite, extend the last
  // block, and leave gaps past the end.
  const struct {
    int64_t limitBlocks;
    int64_t fileBlocks;
  } cases[] = {{64, 10}, {8, 40}, {6, 400}, {24, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE("limit " + std::to_string(c.limitBlocks) + " blocks, file " + std::to_string(c.fileBlocks));
    ModelFile file;
    std::mt19937 rng(static_cast<unsigned>(c.limitBlocks * 1000 + c.fileBlocks));
    file.bytes.resize(static_cast<std::size_t>(c.fileBlocks * B - 123));
    for (char& ch : file.bytes) ch = static_cast<char>(rng());
    TxbBlockCache cache(c.limitBlocks * B, [&](int64_t p, void* b, int32_t n) { return file.Read(p, b, n); });
    for (int op = 0; op < 20000; ++op) {
      const int64_t size = static_cast<int64_t>(file.bytes.size());
      const int64_t position = std::uniform_int_distribution<int64_t>(0, size + (op % 5 == 0 ? 2 * B : 300))(rng);
      const int32_t length = std::uniform_int_distribution<int32_t>(1, op % 7 == 0 ? 5 * B : 300)(rng);
      if (rng() % 4 == 0) {
        std::string data(static_cast<std::size_t>(length), static_cast<char>('a' + op % 26));
        file.Write(position, data);
        cache.Wrote(position, data.data(), length);
      } else {
        ASSERT_EQ(Through(cache, position, length), Direct(file, position, length))
            << "op " << op << " at " << position;
      }
      ASSERT_LE(cache.Bytes(), cache.Limit());
    }
    EXPECT_GT(cache.Hits(), 0);
  }
}

TEST(BlockCache, ReadsAgainNeedNoFileReadAndAppendsExtendTheLastBlock) {
  ModelFile file;
  file.bytes.assign(static_cast<std::size_t>(B + 100), 'x');
  TxbBlockCache cache(16 * B, [&](int64_t p, void* b, int32_t n) { return file.Read(p, b, n); });
  EXPECT_EQ(Through(cache, B + 10, 50), std::string(50, 'x'));
  const int afterFirst = file.reads;
  for (int i = 0; i < 100; ++i) Through(cache, B + i, 1);
  EXPECT_EQ(file.reads, afterFirst);
  // An append right after the end joins the held block and is read back
  // from it; a read past the new end still ends where the file does.
  file.Write(B + 100, "appended");
  cache.Wrote(B + 100, "appended", 8);
  EXPECT_EQ(Through(cache, B + 100, 8), "appended");
  EXPECT_EQ(file.reads, afterFirst);
  EXPECT_EQ(Through(cache, B + 104, 20), "nded");
  // A lower bound gives the memory back.
  cache.SetLimit(0);
  EXPECT_EQ(cache.Bytes(), 0);
  EXPECT_EQ(Through(cache, 0, 3), "xxx");
  // A walk in file order reads several blocks at a time.
  file.bytes.assign(static_cast<std::size_t>(64 * B), 'w');
  TxbBlockCache walk(32 * B, [&](int64_t p, void* b, int32_t n) { return file.Read(p, b, n); });
  const int beforeWalk = file.reads;
  for (int64_t p = 0; p < 64 * B; p += 100) ASSERT_EQ(Through(walk, p, 100), Direct(file, p, 100));
  EXPECT_LE(file.reads - beforeWalk, 64 / TxbBlockCache::kRunBlocks + 2);
}

TEST(BlockCache, AnExclusiveTableReadsRecordsSoughtAgainFromMemoryAndSeesItsOwnWrites) {
  RegisterBuiltinExpressions();
  TempDir dir;
  // 61-byte records: many straddle two blocks.
  const std::vector<TxbFieldSpec> fields = {{"NAME", 'C', 10, 0}, {"NOTE", 'C', 50, 0}};
  const std::string path = handlertest::MakeIndexedTable(dir.Path(), "C.DBF", fields, {}, {});
  std::vector<std::string> notes;
  {
    DBFObject t(path, false, true, "");
    t.SetTableCacheLimit(8 * B);  // far less than the table
    for (int i = 0; i < 3000; ++i) {
      notes.push_back("note " + std::to_string(i));
      handlertest::Append(t, {{"NAME", "N" + std::to_string(100000 + i)}, {"NOTE", notes.back()}});
    }
    t.CreateIndexTag("C", "NAME", 0, 1, "", "NAME");
    t.OpenIndexFile("C");
    t.SelectTag("NAME", false);
    std::mt19937 rng(7);
    for (int op = 0; op < 6000; ++op) {
      const int i = static_cast<int>(rng() % (op < 3000 ? 3000 : 100));  // later: a hot set that fits
      ASSERT_TRUE(t.SeekKey(("N" + std::to_string(100000 + i)).c_str()));
      ASSERT_EQ(t.RecordNumber(), i + 1);
      ASSERT_EQ(std::string(t.GetTextN(2).c_str()), notes[static_cast<std::size_t>(i)]) << "op " << op;
      if (op % 10 == 0) {
        notes[static_cast<std::size_t>(i)] = "edited " + std::to_string(op);
        handlertest::Edit(t, i + 1, {{"NOTE", notes[static_cast<std::size_t>(i)]}});
      }
      if (op % 97 == 0) {
        notes.push_back("late " + std::to_string(op));
        const int n = static_cast<int>(notes.size());
        handlertest::Append(t, {{"NAME", "N" + std::to_string(100000 + n - 1)}, {"NOTE", notes.back()}});
      }
    }
    EXPECT_GT(t.TableCacheHits(), 2000);
    t.Close();
  }
  // The file holds what the cached reads showed.
  DBFObject check(path, true, false, "");
  ASSERT_EQ(check.RecordCount(), static_cast<int32_t>(notes.size()));
  for (int32_t n = 1; n <= check.RecordCount(); ++n) {
    check.GoRecord(n);
    ASSERT_EQ(std::string(check.GetTextN(2).c_str()), notes[static_cast<std::size_t>(n - 1)]) << "record " << n;
  }
  EXPECT_EQ(check.TableCacheHits() + check.TableCacheMisses(), 0);
}
