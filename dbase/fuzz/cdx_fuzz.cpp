// Fuzz target of the CDX reader. The first input byte chooses what the rest
// is:
//   0: one node - a key type byte ('C' or other), a key length byte, then
//      the 512 node bytes (short inputs are padded with zeros). A node that
//      decodes is encoded again and must decode to the same entries.
//   1: a whole index file, opened without its table; every tag is walked
//      both ways (with a step bound) and searched once, then (the file
//      opened for writing) takes one key.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (index
// files the engine made, and their nodes) into <dir> and ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/index/cdx_index.h"
#include "dbase/fuzz/fuzz_support.h"
#include "dbase/fuzz/index_fuzz_support.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() { return fuzz_support::WorkDir("cdx-fuzz"); }

void ExerciseNode(std::string_view input) {
  if (input.size() < 2) return;
  bool character = input[0] == 'C';
  int keyLength = static_cast<uint8_t>(input[1]);
  uint8_t fill = character ? ' ' : 0;
  // Our leaves share fewer prefix bytes than the format allows, so a full
  // node of another writer may not fit again; what fits must read the same.
  index_fuzz::CheckRoundTrip<CdxNode, kCdxBlockSize>(
      index_fuzz::PageBytes(input, kCdxBlockSize),
      [&](const uint8_t* block, CdxNode& node) { CdxDecodeNode(block, keyLength, fill, "F.cdx", node); },
      [&](const CdxNode& node, uint8_t* block) {
        if (!node.IsLeaf())
          return CdxEncodeBranch(node.entries, 0, node.entries.size(), node.attribute, node.left, node.right,
                                 keyLength, fill, block);
        uint32_t highest = 1;
        for (const CdxEntry& e : node.entries) highest = std::max(highest, static_cast<uint32_t>(e.record));
        return CdxEncodeLeaf(node.entries, 0, node.entries.size(), node.attribute, node.left, node.right,
                             keyLength, fill, CdxLeafParametersFor(keyLength, highest), block);
      },
      [](const CdxNode& node, const CdxNode& back) {
        if (back.entries.size() != node.entries.size() || back.left != node.left || back.right != node.right)
          return false;
        for (std::size_t i = 0; i < node.entries.size(); ++i) {
          const CdxEntry& a = node.entries[i];
          const CdxEntry& b = back.entries[i];
          if (a.key != b.key || a.record != b.record || (!node.IsLeaf() && a.child != b.child)) return false;
        }
        return true;
      },
      false);
}

void ExerciseFile(std::string_view input) {
  index_fuzz::OpenInputFile<XBobjCDXFile>(WorkDir(), "F.cdx", input, [&](XBobjCDXFile& cdx) {
    for (int i = 0; i < cdx.TagCount(); ++i) index_fuzz::WalkAndSearch(*cdx.TagAt(i), input, false);
  });
  // The same file opened for writing takes a key into every tag: an insert
  // reads the leaf it goes into by itself.
  try {
    XBobjCDXFile cdx(nullptr, WorkDir() + "F.cdx", false, false, fmOpenReadWrite, fmShareExclusive);
    for (int i = 0; i < cdx.TagCount(); ++i) {
      XBobjIndexKeyData key;
      key.SetText(input.substr(0, std::min<std::size_t>(input.size(), 6)));
      key.RecordNumber = static_cast<int32_t>(1 + input.size() % 1000);
      cdx.TagAt(i)->InsertKey(key);
    }
  } catch (const EXbaseError&) {
  }
}

// Index files made by the engine over a small table, and their nodes.
std::vector<std::string> Seeds(const std::string& dir) {
  std::vector<std::string> seeds;
  {
    auto table = index_fuzz::SeedTable(dir, 120);
    XBobjCDXFile cdx(&table->link, "S.cdx", true, true, fmOpenReadWrite, fmShareExclusive);
    cdx.CreateTag("NAME", "NAME", false, true, "");
    cdx.CreateTag("AMT", "AMOUNT", false, false, "");
    cdx.CreateTag("DAY", "DAY", true, true, "AMOUNT > 0");
    cdx.SetNewTagCollation(cdxGeneral);
    cdx.CreateTag("GEN", "NAME", false, true, "");
    for (int i = 0; i < cdx.TagCount(); ++i) {
      auto* tag = static_cast<XBobjCDXTag*>(cdx.TagAt(i));
      std::string file = index_fuzz::ReadWhole(dir + "S.cdx");
      std::string prefix = std::string(1, '\0') + (tag->KeyType() == 'C' ? 'C' : 'N') +
                           static_cast<char>(tag->KeyLength());
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(tag->RootPosition()), kCdxBlockSize));
    }
  }
  std::string file = index_fuzz::ReadWhole(dir + "S.cdx");
  seeds.push_back(std::string(1, '\1') + file);
  seeds.push_back(std::string(1, '\1') + file.substr(0, 1536));
  return seeds;
}

}  // namespace

INDEX_FUZZ_PAGE_OR_FILE_TARGET(Seeds, ExerciseNode, ExerciseFile)
