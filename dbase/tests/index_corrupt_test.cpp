// Damaged index files of every format (CDX, MDX, NDX, NTX): every
// single-field mutation of a valid file gives "Index file %s is corrupted"
// when the tag is used (or leaves the file not opened when its header is
// bad), never a crash, and writes nothing; seeded random inputs never get
// anything else past the readers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/index/mdx_index.h"
#include "dbase/index/ndx_index.h"
#include "dbase/index/ntx_index.h"
#include "dbase/base/errors.h"
#include "dbase/expr/expr_registry.h"
#include "platform/rtl/fileio.h"
#include "dbase/testing/index_model.h"
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
void WalkAll(XBobjIndexFile& file) {
  for (int i = 0; i < file.TagCount(); ++i) {
    XBobjIndexTag* tag = file.TagAt(i);
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

  struct Mutation {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  // Writes the valid file with the mutation applied: the bytes written.
  std::string WriteMutated(const Mutation& m) {
    std::string bytes = valid;
    m.apply(bytes);
    dir.Write("T.cdx", bytes);
    return bytes;
  }
  // The message of the engine error the file raises in use, "(no error)".
  std::string ErrorInUse(const std::function<void(XBobjCDXFile&)>& use) {
    std::string error = "(no error)";
    try {
      auto cdx = Open();
      use(*cdx);
    } catch (const EXbaseError& e) {
      error = e.Message();
    }
    table->indexes.clear();
    return error;
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
      {"separator below its child's last key",
       [&](std::string& s) {
         std::string low = "NAME0";
         low.resize(static_cast<std::size_t>(keyLength), ' ');
         s.replace(branchEntry, low.size(), low);
       }},
      {"left sibling off a block", [&](std::string& s) { Put32(s, leaf + 4, 77); }},
      {"left sibling another page", [&](std::string& s) { Put32(s, leaf + 4, static_cast<uint32_t>(root)); }},
      {"right sibling beyond the file", [&](std::string& s) { Put32(s, leaf + 8, 0x00100000); }},
      {"tag root 0", [&](std::string& s) { Put32(s, header, 0); }},
      {"tag root off a block", [&](std::string& s) { Put32(s, header, 1030); }},
      {"tag root beyond the file", [&](std::string& s) { Put32(s, header, 0x00100000); }},
      {"tag key length 241", [&](std::string& s) { Put16(s, header + 12, 241); }},
      {"file cut inside a node", [&](std::string& s) { s.resize(leaf + 100); }},
  };
  for (const Mutation& m : mutations) {
    const std::string bytes = WriteMutated(m);
    const std::string error = ErrorInUse([&](XBobjCDXFile& cdx) {
      EXPECT_TRUE(cdx.Opened()) << m.what;
      WalkAll(cdx);
      // Seeks and a record change must not get past the damage either.
      table->Change(1, {{"NAME", "CHANGED"}});
    });
    EXPECT_EQ(error, "Index file T.cdx is corrupted") << m.what;
    EXPECT_TRUE(dir.Read("T.cdx") == bytes) << m.what << ": the file was written";
  }
}

TEST_F(CdxMalformed, AKeyAppendedIntoADamagedLeafIsRefusedAndTheLeafLeftAlone) {
  // Nothing read the tree before: the append's own look at the leaf it
  // goes into must find the damage. (The record is in the table, and the
  // file's other tag takes its key.)
  std::string first;
  {
    auto cdx = Open();
    CdxNode node;
    static_cast<XBobjCDXTag*>(cdx->FindTag("NAME"))->ReadNode(static_cast<int32_t>(leaf), node);
    ASSERT_GT(node.entries.size(), 2u);
    first = node.entries[0].key;  // lands among the leaf's keys, not after its last
  }
  const std::size_t separator = root + 12 + static_cast<std::size_t>(keyLength + 8);  // the leaf's own
  const std::vector<Mutation> mutations = {
      {"none", [](std::string&) {}},
      {"left sibling another page", [&](std::string& s) { Put32(s, leaf + 4, static_cast<uint32_t>(root)); }},
      {"separator below the leaf's last key",
       [&](std::string& s) {
         std::string low = first;
         low.resize(static_cast<std::size_t>(keyLength), ' ');
         s.replace(separator, low.size(), low);
       }},
  };
  for (const Mutation& m : mutations) {
    const std::string bytes = WriteMutated(m);
    const std::string error = ErrorInUse([&](XBobjCDXFile& cdx) {
      table->indexes = {&cdx};
      table->Append({{"NAME", first}, {"AMOUNT", "1"}});
    });
    const bool leafKept = dir.Read("T.cdx").compare(leaf, kCdxBlockSize, bytes, leaf, kCdxBlockSize) == 0;
    if (std::string(m.what) == "none") {
      EXPECT_EQ(error, "(no error)");
      EXPECT_FALSE(leafKept) << "the key is not in the leaf";
    } else {
      EXPECT_EQ(error, "Index file T.cdx is corrupted") << m.what;
      EXPECT_TRUE(leafKept) << m.what << ": the leaf was written";
    }
  }
}

TEST_F(CdxMalformed, DirectoryHeaderLeavesTheFileNotOpened) {
  const std::vector<Mutation> mutations = {
      {"options", [](std::string& s) { s[14] = 0x60; }},
      {"root 0", [](std::string& s) { Put32(s, 0, 0); }},
      {"root off a block", [](std::string& s) { Put32(s, 0, 1025); }},
      {"root beyond the file", [](std::string& s) { Put32(s, 0, 0x10000000); }},
      {"key length 241", [](std::string& s) { Put16(s, 12, 241); }},
  };
  for (const Mutation& m : mutations) {
    const std::string bytes = WriteMutated(m);
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


// --- MDX, NDX, NTX

struct Mutation {
  const char* what;
  std::function<void(std::string&)> apply;
  bool headerBad = false;  // the file is not opened at all
};

// A table of 150 records with a tag of each kind over it, in one file of
// the format (MDX) or one file per tag (NDX, NTX).
class FormatMalformed : public ::testing::Test {
 protected:
  void Build(const std::string& extension) {
    extension_ = extension;
    RegisterBuiltinExpressions();
    CreateDbfTable(dir.File("T.DBF"), {{"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 8, 0}});
    table = std::make_unique<IndexedTable>(dir.File("T.DBF"), false);
    for (int i = 0; i < 150; ++i)
      table->Append({{"NAME", "NAME" + std::to_string(1000 + i * 7 % 150)}, {"AMOUNT", std::to_string(i - 75)}});
    if (extension == ".mdx") {
      auto file = Open("T.mdx", true);
      file->CreateTag("NAME", "NAME", false, true, "");
      file->CreateTag("AMT", "AMOUNT", false, true, "");
    } else {
      Open("T" + extension, true)->CreateTag("T", "NAME", false, true, "");
      Open("A" + extension, true)->CreateTag("A", "AMOUNT", false, true, "");
    }
  }
  std::unique_ptr<XBobjIndexFile> Open(const std::string& name, bool create = false) {
    if (extension_ == ".mdx")
      return std::make_unique<XBobjMDXFile>(&table->link, dir.File(name), create, create, fmOpenReadWrite,
                                            fmShareExclusive);
    if (extension_ == ".ndx")
      return std::make_unique<XBobjNDXFile>(&table->link, dir.File(name), create, create, fmOpenReadWrite,
                                            fmShareExclusive);
    return std::make_unique<XBobjNTXFile>(&table->link, dir.File(name), create, create, fmOpenReadWrite,
                                          fmShareExclusive);
  }
  // Applies each mutation to a copy of the file and uses it.
  void Expect(const std::string& name, const std::vector<Mutation>& mutations) {
    std::string valid = dir.Read(name);
    for (const Mutation& m : mutations) {
      std::string bytes = valid;
      m.apply(bytes);
      dir.Write(name, bytes);
      std::string error = "(no error)";
      bool opened = false;
      try {
        auto file = Open(name);
        opened = file->Opened();
        if (opened) {
          table->indexes.push_back(file.get());
          WalkAll(*file);
          // A record change must not get past the damage either.
          table->Change(1, {{"NAME", "CHANGED"}, {"AMOUNT", "999"}});
        }
        table->indexes.clear();
      } catch (const EXbaseError& e) {
        table->indexes.clear();
        error = e.Message();
      }
      if (m.headerBad) {
        EXPECT_FALSE(opened) << m.what;
      } else {
        EXPECT_TRUE(opened) << m.what;
        EXPECT_EQ(error, "Index file " + name + " is corrupted") << m.what;
      }
      EXPECT_TRUE(dir.Read(name) == bytes) << m.what << ": the file was written";
    }
    dir.Write(name, valid);
  }
  // A random-input run over the file and its pages, opened without table.
  void RandomInputs(const std::string& name, std::size_t pageSize, const std::vector<std::size_t>& pages,
                    const std::function<void(const std::string&)>& decode) {
    std::string valid = dir.Read(name);
    RandomInputOptions options;
    options.iterations = 400;
    options.maxSize = valid.size() + 4096;
    TempDir scratch;
    RunRandomInputs({valid}, [&](const std::string& input) {
      scratch.Write("F" + extension_, input);
      try {
        std::unique_ptr<XBobjIndexFile> file;
        std::string path = scratch.File("F" + extension_);
        if (extension_ == ".mdx")
          file = std::make_unique<XBobjMDXFile>(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
        else if (extension_ == ".ndx")
          file = std::make_unique<XBobjNDXFile>(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
        else
          file = std::make_unique<XBobjNTXFile>(nullptr, path, false, false, fmOpenRead, fmShareExclusive);
        WalkAll(*file);
        for (int i = 0; i < file->TagCount(); ++i) {
          XBobjIndexKeyData key;
          if (file->TagAt(i)->KeyType() == 'C')
            key.SetText("NAME1");
          else
            key.SetNumber(-3);
          file->TagAt(i)->FindKey(key);
        }
      } catch (const EXbaseError&) {
      }
    }, options);
    std::vector<std::string> seeds;
    for (std::size_t at : pages) seeds.push_back(valid.substr(at, pageSize));
    RunRandomInputs(seeds, [&](const std::string& input) {
      std::string block = input;
      block.resize(pageSize, '\0');
      try {
        decode(block);
      } catch (const EXbaseError&) {
      }
    }, options);
  }

  TempDir dir;
  std::unique_ptr<IndexedTable> table;
  std::string extension_;
};

class MdxMalformed : public FormatMalformed {};
class NdxMalformed : public FormatMalformed {};
class NtxMalformed : public FormatMalformed {};

TEST_F(MdxMalformed, SingleFieldMutationsAreReported) {
  Build(".mdx");
  auto file = Open("T.mdx");
  auto* name = static_cast<XBobjMDXTag*>(file->FindTag("NAME"));
  auto* amount = static_cast<XBobjMDXTag*>(file->FindTag("AMT"));
  std::size_t header = static_cast<std::size_t>(name->HeaderPosition()) * 512;
  std::size_t root = static_cast<std::size_t>(name->RootPosition()) * 512;
  MdxPage page;
  name->ReadNode(name->RootPosition(), page);
  ASSERT_TRUE(page.branch) << "the fixture needs a branch root";
  std::size_t leaf = static_cast<std::size_t>(page.entries[1].value) * 512;
  std::size_t entry = static_cast<std::size_t>(name->Layout().entryLength);
  std::size_t amountLeaf = static_cast<std::size_t>(amount->LastPage()) * 512;
  amount->ReadNode(amount->RootPosition(), page);
  if (page.branch) amountLeaf = static_cast<std::size_t>(page.entries[0].value) * 512;
  file.reset();
  const std::vector<Mutation> mutations = {
      {"leaf key count beyond the page", [&](std::string& s) { Put32(s, leaf, 100); }},
      {"branch key count beyond the page", [&](std::string& s) { Put32(s, root, 1000); }},
      {"leaf record 0", [&](std::string& s) { Put32(s, leaf + 8 + entry, 0); }},
      {"child 0 in a branch", [&](std::string& s) { Put32(s, root + 8, 0); }},
      {"child beyond the file", [&](std::string& s) { Put32(s, root + 8, 0x100000); }},
      {"child inside the file header", [&](std::string& s) { Put32(s, root + 8, 1); }},
      {"child pointing at its parent", [&](std::string& s) { Put32(s, root + 8, static_cast<uint32_t>(root / 512)); }},
      {"packed number of eleven digit bytes", [&](std::string& s) { s[amountLeaf + 8 + 4 + 1] = static_cast<char>(11 * 8 + 1); }},
      {"packed digit above nine", [&](std::string& s) { s[amountLeaf + 8 + 4 + 2] = static_cast<char>(0xAB); }},
      {"tag root 0", [&](std::string& s) { Put32(s, header, 0); }},
      {"tag root beyond the file", [&](std::string& s) { Put32(s, header, 0x100000); }},
      {"tag entry length below the key", [&](std::string& s) { Put16(s, header + 18, 8); }},
      {"tag maximum keys beyond the page", [&](std::string& s) { Put16(s, header + 14, 200); }},
      {"tag key type unknown", [&](std::string& s) { s[header + 9] = 'X'; }},
      {"tag key expression unterminated", [&](std::string& s) { std::memset(&s[header + 24], 'A', 220); }},
      {"tag header beyond the file", [&](std::string& s) { Put32(s, 512 + 32 * 2, 0x100000); }},
      {"file cut inside a page", [&](std::string& s) { s.resize(leaf + 100); }},
      {"page size 2048", [](std::string& s) { Put16(s, 22, 2048); }, true},
      {"blocks per page 4", [](std::string& s) { Put16(s, 20, 4); }, true},
      {"48 tags", [](std::string& s) { Put16(s, 28, 48); }, true},
  };
  Expect("T.mdx", mutations);
}

TEST_F(NdxMalformed, SingleFieldMutationsAreReported) {
  Build(".ndx");
  auto file = Open("T.ndx");
  auto* tag = static_cast<XBobjNDXFile*>(file.get())->Tag();
  std::size_t root = static_cast<std::size_t>(tag->RootPosition()) * 512;
  NdxPage page;
  tag->ReadNode(tag->RootPosition(), page);
  ASSERT_TRUE(page.branch) << "the fixture needs a branch root";
  std::size_t leaf = static_cast<std::size_t>(page.entries[1].value) * 512;
  std::size_t entry = static_cast<std::size_t>(tag->Layout().entryLength);
  file.reset();
  const std::vector<Mutation> mutations = {
      {"leaf key count beyond the page", [&](std::string& s) { Put16(s, leaf, 30); }},
      {"branch key count beyond the page", [&](std::string& s) { Put16(s, root, 400); }},
      {"leaf record 0", [&](std::string& s) { Put32(s, leaf + 4 + entry + 4, 0); }},
      {"leaf entry with a child", [&](std::string& s) { Put32(s, leaf + 4 + entry, 3); }},
      {"child 0 in a branch", [&](std::string& s) { Put32(s, root + 4 + entry, 0); }},
      {"child beyond the file", [&](std::string& s) { Put32(s, root + 4, 0x10000); }},
      {"child pointing at its parent", [&](std::string& s) { Put32(s, root + 4 + entry, static_cast<uint32_t>(root / 512)); }},
      // The root is the last page a build writes: the header points past
      // the end.
      {"file cut inside a page", [&](std::string& s) { s.resize(leaf + 100); }, true},
      {"root 0", [](std::string& s) { Put32(s, 0, 0); }, true},
      {"root beyond the file", [](std::string& s) { Put32(s, 0, 0x10000); }, true},
      {"entry length below the key", [](std::string& s) { Put16(s, 18, 12); }, true},
      {"maximum keys beyond the page", [](std::string& s) { Put16(s, 14, 30); }, true},
      {"key type 2", [](std::string& s) { Put16(s, 16, 2); }, true},
      {"key expression unterminated", [](std::string& s) { std::memset(&s[24], 'A', 488); }, true},
  };
  Expect("T.ndx", mutations);
}

TEST_F(NtxMalformed, SingleFieldMutationsAreReported) {
  Build(".ntx");
  auto file = Open("T.ntx");
  auto* tag = static_cast<XBobjNTXFile*>(file.get())->Tag();
  std::size_t root = static_cast<std::size_t>(tag->RootPosition());
  NtxNode node;
  tag->ReadNode(tag->RootPosition(), node);
  ASSERT_FALSE(node.IsLeaf()) << "the fixture needs a branch root";
  std::size_t leaf = static_cast<std::size_t>(node.children[1]);
  const NtxLayout layout = tag->Layout();
  std::size_t tableEnd = 2 + 2 * static_cast<std::size_t>(layout.maxItems + 1);
  std::size_t item = static_cast<std::size_t>(layout.itemSize);
  file.reset();
  const std::vector<Mutation> mutations = {
      {"leaf item count beyond the maximum", [&](std::string& s) { Put16(s, leaf, 200); }},
      {"branch item count beyond the maximum", [&](std::string& s) { Put16(s, root, 200); }},
      {"item offset inside the offset table", [&](std::string& s) { Put16(s, leaf + 4, 10); }},
      {"item offset past the page", [&](std::string& s) { Put16(s, leaf + 4, static_cast<uint32_t>(1025 - item)); }},
      {"leaf record 0", [&](std::string& s) { Put32(s, leaf + tableEnd + item + 4, 0); }},
      {"leaf item with a child", [&](std::string& s) { Put32(s, leaf + tableEnd + item, 2048); }},
      {"branch record 0", [&](std::string& s) { Put32(s, root + tableEnd + 4, 0); }},
      {"child off a page boundary", [&](std::string& s) { Put32(s, root + tableEnd, 1500); }},
      {"child beyond the file", [&](std::string& s) { Put32(s, root + tableEnd, 0x100000); }},
      {"child inside the header", [&](std::string& s) { Put32(s, root + tableEnd + item, 0); }},
      {"child pointing at its parent", [&](std::string& s) { Put32(s, root + tableEnd, static_cast<uint32_t>(root)); }},
      {"file cut inside a page", [&](std::string& s) { s.resize(leaf + 100); }, true},
      {"signature 9", [](std::string& s) { Put16(s, 0, 9); }, true},
      {"root off a page boundary", [](std::string& s) { Put32(s, 4, 1500); }, true},
      {"root beyond the file", [](std::string& s) { Put32(s, 4, 0x100000); }, true},
      {"item size below the key", [](std::string& s) { Put16(s, 12, 10); }, true},
      {"one item per page", [](std::string& s) { Put16(s, 18, 1); }, true},
      {"items beyond the page", [](std::string& s) { Put16(s, 18, 100); }, true},
      {"half above the maximum", [](std::string& s) { Put16(s, 20, 200); }, true},
      {"key expression unterminated", [](std::string& s) { std::memset(&s[22], 'A', 256); }, true},
  };
  Expect("T.ntx", mutations);
}

TEST_F(MdxMalformed, RandomInputsOnlyRaiseEngineErrors) {
  Build(".mdx");
  auto file = Open("T.mdx");
  auto* tag = static_cast<XBobjMDXTag*>(file->FindTag("NAME"));
  MdxLayout layout = tag->Layout();
  std::size_t root = static_cast<std::size_t>(tag->RootPosition()) * 512;
  file.reset();
  RandomInputs("T.mdx", 1024, {root, 2048 + 1024}, [&](const std::string& block) {
    MdxPage page;
    for (MdxLayout l : {layout, MdxLayout{'N', 12, 16, 62}, MdxLayout{'D', 8, 12, 83}}) {
      try {
        MdxDecodePage(reinterpret_cast<const uint8_t*>(block.data()), l, "F.mdx", page);
      } catch (const EXbaseError&) {
      }
    }
  });
}

TEST_F(NdxMalformed, RandomInputsOnlyRaiseEngineErrors) {
  Build(".ndx");
  auto file = Open("T.ndx");
  NdxLayout layout = static_cast<XBobjNDXFile*>(file.get())->Tag()->Layout();
  std::size_t root = static_cast<std::size_t>(file->TagAt(0)->RootPosition()) * 512;
  file.reset();
  RandomInputs("T.ndx", 512, {root, 512}, [&](const std::string& block) {
    NdxPage page;
    for (NdxLayout l : {layout, NdxLayout{false, 8, 16, 31}}) {
      try {
        NdxDecodePage(reinterpret_cast<const uint8_t*>(block.data()), l, "F.ndx", page);
      } catch (const EXbaseError&) {
      }
    }
  });
}

TEST_F(NtxMalformed, RandomInputsOnlyRaiseEngineErrors) {
  Build(".ntx");
  auto file = Open("T.ntx");
  NtxLayout layout = static_cast<XBobjNTXFile*>(file.get())->Tag()->Layout();
  std::size_t root = static_cast<std::size_t>(file->TagAt(0)->RootPosition());
  file.reset();
  RandomInputs("T.ntx", 1024, {root, 1024}, [&](const std::string& block) {
    NtxNode node;
    for (NtxLayout l : {layout, NtxNewLayout(4), NtxNewLayout(250)}) {
      try {
        NtxDecodePage(reinterpret_cast<const uint8_t*>(block.data()), l, "F.ntx", node);
      } catch (const EXbaseError&) {
      }
    }
  });
}

}  // namespace
