// Damaged CDX files: every single-field mutation of a valid file gives
// "Index file %s is corrupted" when the tag is used (or leaves the file not
// opened when the directory header is bad), never a crash, and writes
// nothing; seeded random inputs never get anything else past the reader.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbase/cdx_index.h"
#include "dbase/xbexcept.h"
#include "dbase/xbexprreg.h"
#include "platform/rtl/fileio.h"
#include "support/index_model.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

namespace {

using indexmodel::IndexedTable;

void Put16(std::string& s, std::size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutBig32(std::string& s, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}

// Walks every tag of an opened file both ways, with a step bound.
void WalkAll(XBobjCDXFile& cdx) {
  for (int i = 0; i < cdx.TagCount(); ++i) {
    XBobjIndexTag* tag = cdx.TagAt(i);
    indexmodel::Walk(*tag, true, 100000);
    indexmodel::Walk(*tag, false, 100000);
  }
}

class CdxMalformed : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("T.DBF"), {{"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 8, 0}});
    table = std::make_unique<IndexedTable>(dir.File("T.DBF"), false);
    for (int i = 0; i < 150; ++i)
      table->Append({{"NAME", "NAME" + std::to_string(1000 + i * 7 % 150)}, {"AMOUNT", std::to_string(i - 75)}});
    auto cdx = Open();
    cdx->CreateTag("NAME", "NAME", false, true, "");
    cdx->CreateTag("AMT", "AMOUNT", false, true, "");
    auto* tag = static_cast<XBobjCDXTag*>(cdx->FindTag("NAME"));
    header = static_cast<std::size_t>(tag->HeaderPosition());
    root = static_cast<std::size_t>(tag->RootPosition());
    CdxNode node;
    tag->ReadNode(tag->RootPosition(), node);
    ASSERT_FALSE(node.IsLeaf()) << "the fixture needs a branch root";
    leaf = static_cast<std::size_t>(node.entries[1].child);
    keyLength = tag->KeyLength();
    cdx.reset();
    valid = dir.Read("T.cdx");
  }

  std::unique_ptr<XBobjCDXFile> Open() {
    return std::make_unique<XBobjCDXFile>(&table->link, "T.cdx", false, true, fmOpenReadWrite,
                                          fmShareExclusive);
  }

  TempDir dir;
  std::unique_ptr<IndexedTable> table;
  std::string valid;
  std::size_t header = 0;
  std::size_t root = 0;
  std::size_t leaf = 0;
  int keyLength = 0;
};

TEST_F(CdxMalformed, SingleFieldMutationsAreReported) {
  std::size_t branchEntry = root + 12;  // first branch entry of the root
  std::size_t child = branchEntry + static_cast<std::size_t>(keyLength) + 4;
  struct Mutation {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  const std::vector<Mutation> mutations = {
      {"leaf attribute 7", [&](std::string& s) { Put16(s, leaf, 7); }},
      {"leaf key count beyond the node", [&](std::string& s) { Put16(s, leaf + 2, 300); }},
      {"two information bytes", [&](std::string& s) { s[leaf + 23] = 2; }},
      {"nine information bytes", [&](std::string& s) { s[leaf + 23] = 9; }},
      {"record bits beyond the entry", [&](std::string& s) { s[leaf + 20] = 40; }},
      {"record mask wider than its bits", [&](std::string& s) { Put32(s, leaf + 14, 0xFFFFFFFF); }},
      {"duplicate mask wider than its bits", [&](std::string& s) { s[leaf + 18] = static_cast<char>(0xFF); }},
      {"first entry with a duplicate count",
       [&](std::string& s) {
         int n = s[leaf + 23];
         s[leaf + 24 + static_cast<std::size_t>(n) - 1] |= 0x0F;  // low bits of the duplicate count
         s[leaf + 24 + static_cast<std::size_t>(n) - 2] |= static_cast<char>(0xF0);
       }},
      {"duplicate and trailing beyond the key",
       [&](std::string& s) {
         int n = s[leaf + 23];
         std::size_t slot = leaf + 24 + static_cast<std::size_t>(n);
         s[slot + static_cast<std::size_t>(n) - 1] = static_cast<char>(0xFF);
         s[slot + static_cast<std::size_t>(n) - 2] = static_cast<char>(0xFF);
       }},
      {"record number 0",
       [&](std::string& s) {
         s[leaf + 24] = 0;
         s[leaf + 25] = 0;
         s[leaf + 26] &= static_cast<char>(0xF0);
       }},
      {"branch key count beyond the node", [&](std::string& s) { Put16(s, root + 2, 100); }},
      {"child not on a block", [&](std::string& s) { PutBig32(s, child, 1000); }},
      {"child beyond the file", [&](std::string& s) { PutBig32(s, child, 0x00100000); }},
      {"child 0", [&](std::string& s) { PutBig32(s, child, 0); }},
      {"child pointing at its parent", [&](std::string& s) { PutBig32(s, child, static_cast<uint32_t>(root)); }},
      {"branch record 0", [&](std::string& s) { PutBig32(s, child - 4, 0); }},
      {"left sibling off a block", [&](std::string& s) { Put32(s, leaf + 4, 77); }},
      {"right sibling beyond the file", [&](std::string& s) { Put32(s, leaf + 8, 0x00100000); }},
      {"tag root 0", [&](std::string& s) { Put32(s, header, 0); }},
      {"tag root off a block", [&](std::string& s) { Put32(s, header, 1030); }},
      {"tag root beyond the file", [&](std::string& s) { Put32(s, header, 0x00100000); }},
      {"tag key length 241", [&](std::string& s) { Put16(s, header + 12, 241); }},
      {"file cut inside a node", [&](std::string& s) { s.resize(leaf + 100); }},
  };
  for (const Mutation& m : mutations) {
    std::string bytes = valid;
    m.apply(bytes);
    dir.Write("T.cdx", bytes);
    std::string error = "(no error)";
    try {
      auto cdx = Open();
      EXPECT_TRUE(cdx->Opened()) << m.what;
      WalkAll(*cdx);
      // Seeks and a record change must not get past the damage either.
      table->Change(1, {{"NAME", "CHANGED"}});
    } catch (const EXbaseError& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, "Index file T.cdx is corrupted") << m.what;
    EXPECT_TRUE(dir.Read("T.cdx") == bytes) << m.what << ": the file was written";
    table->indexes.clear();
  }
}

TEST_F(CdxMalformed, DirectoryHeaderLeavesTheFileNotOpened) {
  struct Mutation {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  const std::vector<Mutation> mutations = {
      {"options", [](std::string& s) { s[14] = 0x60; }},
      {"root 0", [](std::string& s) { Put32(s, 0, 0); }},
      {"root off a block", [](std::string& s) { Put32(s, 0, 1025); }},
      {"root beyond the file", [](std::string& s) { Put32(s, 0, 0x10000000); }},
      {"key length 241", [](std::string& s) { Put16(s, 12, 241); }},
  };
  for (const Mutation& m : mutations) {
    std::string bytes = valid;
    m.apply(bytes);
    dir.Write("T.cdx", bytes);
    auto cdx = Open();
    EXPECT_FALSE(cdx->Opened()) << m.what;
    EXPECT_EQ(cdx->TagCount(), 0) << m.what;
    cdx.reset();
    EXPECT_TRUE(dir.Read("T.cdx") == bytes) << m.what;
  }
}

TEST_F(CdxMalformed, RandomInputsOnlyRaiseEngineErrors) {
  std::vector<std::string> seeds = {valid, valid.substr(0, 1536)};
  RandomInputOptions options;
  options.iterations = 400;
  options.maxSize = valid.size() + 4096;
  TempDir scratch;
  RunRandomInputs(seeds, [&](const std::string& input) {
    scratch.Write("F.cdx", input);
    try {
      XBobjCDXFile cdx(nullptr, scratch.File("F.cdx"), false, false, fmOpenRead, fmShareExclusive);
      WalkAll(cdx);
    } catch (const EXbaseError&) {
    }
  }, options);
  // The node decoder alone, on every block of the inputs' shape.
  RunRandomInputs({valid.substr(root, 512), valid.substr(leaf, 512)}, [&](const std::string& input) {
    std::string block = input;
    block.resize(512, '\0');
    for (int length : {1, 8, keyLength, 240}) {
      CdxNode node;
      try {
        CdxDecodeNode(reinterpret_cast<const uint8_t*>(block.data()), length, ' ', "F.cdx", node);
      } catch (const EXbaseError&) {
      }
    }
  }, options);
}

}  // namespace
