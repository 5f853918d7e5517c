// Fuzz target of the NTX reader. The first input byte chooses what the rest
// is:
//   0: one page - a key length byte and a maximum-items byte, then the 1024
//      page bytes (short inputs are padded with zeros). A page that decodes
//      is encoded again and must decode to the same keys and children.
//   1: a whole index file, opened without its table; the tag is walked both
//      ways through the shared tree machinery and once by the B-tree's own
//      walk (with step bounds), and searched once.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (files
// the engine made, a file shaped like other programs' files with keys in
// branch items, and their pages) into <dir> and ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/fuzz/fuzz_support.h"
#include "dbase/fuzz/index_fuzz_support.h"
#include "dbase/index/ntx_index.h"
#include "dbase/testing/raw_index_writer.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() { return fuzz_support::WorkDir("ntx-fuzz"); }

NtxLayout LayoutFrom(uint8_t lengthByte, uint8_t maxByte) {
  int keyLength = 1 + lengthByte % 250;
  NtxLayout layout{keyLength, keyLength + 8, maxByte, maxByte / 2};
  return NtxLayoutValid(layout) ? layout : NtxNewLayout(keyLength);
}

void ExercisePage(std::string_view input) {
  if (input.size() < 2) return;
  NtxLayout layout = LayoutFrom(static_cast<uint8_t>(input[0]), static_cast<uint8_t>(input[1]));
  index_fuzz::CheckRoundTrip<NtxNode, kNtxPageSize>(
      index_fuzz::PageBytes(input, kNtxPageSize),
      [&](const uint8_t* page, NtxNode& node) { NtxDecodePage(page, layout, "F.ntx", node); },
      [&](const NtxNode& node, uint8_t* page) { return NtxEncodePage(node, layout, page); },
      [](const NtxNode& a, const NtxNode& b) {
        if (a.children != b.children || a.keys.size() != b.keys.size()) return false;
        for (std::size_t i = 0; i < a.keys.size(); ++i)
          if (a.keys[i].bytes != b.keys[i].bytes || a.keys[i].record != b.keys[i].record) return false;
        return true;
      });
}

void ExerciseFile(std::string_view input) {
  index_fuzz::OpenInputFile<XBobjNTXFile>(WorkDir(), "F.ntx", input, [&](XBobjNTXFile& ntx) {
    if (!ntx.Tag()) return;
    ntx.Tag()->InOrder(5000);
    index_fuzz::WalkAndSearch(*ntx.Tag(), input, false);
  });
}

std::vector<std::string> Seeds(const std::string& dir) {
  std::vector<std::string> seeds;
  auto table = index_fuzz::SeedTable(dir, 300);
  struct Spec {
    const char* file;
    const char* key;
    bool unique, ascending;
    const char* forExpression;
  };
  const Spec specs[] = {{"A.ntx", "NAME", false, true, ""},
                        {"B.ntx", "AMOUNT", false, false, ""},
                        {"C.ntx", "DAY", true, true, "AMOUNT > 0"}};
  for (const Spec& s : specs) {
    {
      XBobjNTXFile ntx(&table->link, dir + s.file, true, true, fmOpenReadWrite, fmShareExclusive);
      ntx.CreateTag(s.file, s.key, s.unique, s.ascending, s.forExpression);
      NtxLayout layout = ntx.Tag()->Layout();
      std::string file = index_fuzz::ReadWhole(dir + s.file);
      std::string prefix = std::string(1, '\0') + static_cast<char>(layout.keyLength - 1) +
                           static_cast<char>(layout.maxItems);
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(ntx.Tag()->RootPosition()), kNtxPageSize));
    }
    seeds.push_back(std::string(1, '\1') + index_fuzz::ReadWhole(dir + s.file));
  }
  // A tree as other programs write it: keys in the branch items.
  rawindex::RawNtx raw;
  raw.expression = "NAME";
  raw.keyLength = 10;
  raw.levels = 3;
  for (int i = 0; i < 40; ++i) raw.keys.push_back({"K" + std::to_string(100 + i), i + 1});
  std::string other = rawindex::NtxWriter().Write(raw);
  seeds.push_back(std::string(1, '\1') + other);
  seeds.push_back(std::string(1, '\0') + static_cast<char>(9) + static_cast<char>(50) + other.substr(1024, 1024));
  return seeds;
}

}  // namespace

INDEX_FUZZ_PAGE_OR_FILE_TARGET(Seeds, ExercisePage, ExerciseFile)
