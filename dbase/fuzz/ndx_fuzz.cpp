// Fuzz target of the NDX reader. The first input byte chooses what the rest
// is:
//   0: one page - a key kind byte ('C' texts, anything else doubles), a key
//      length byte for texts or an entry length byte for doubles, then the
//      512 page bytes (short inputs are padded with zeros). A page that
//      decodes is encoded again and must decode to the same entries.
//   1: a whole index file, opened without its table; the tag is walked both
//      ways (with a step bound) and searched once.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (files
// the engine made, a file with the 16-byte numeric entries of other
// programs, and their pages) into <dir> and ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/fuzz/fuzz_support.h"
#include "dbase/fuzz/index_fuzz_support.h"
#include "dbase/index/ndx_index.h"
#include "dbase/testing/raw_index_writer.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() { return fuzz_support::WorkDir("ndx-fuzz"); }

NdxLayout LayoutFrom(uint8_t kindByte, uint8_t lengthByte) {
  NdxLayout layout;
  layout.text = kindByte == 'C';
  layout.keyLength = layout.text ? 1 + lengthByte % 250 : 8;
  int stored = layout.text ? layout.keyLength : 8;
  layout.entryLength = layout.text ? (stored + 8 + 3) / 4 * 4 : 16 + 4 * (lengthByte % 2);
  layout.maxKeys = 504 / layout.entryLength;
  return layout;
}

void ExercisePage(std::string_view input) {
  if (input.size() < 2) return;
  NdxLayout layout = LayoutFrom(static_cast<uint8_t>(input[0]), static_cast<uint8_t>(input[1]));
  index_fuzz::CheckRoundTrip<NdxPage, kNdxBlockSize>(
      index_fuzz::PageBytes(input, kNdxBlockSize),
      [&](const uint8_t* block, NdxPage& page) { NdxDecodePage(block, layout, "F.ndx", page); },
      [&](const NdxPage& page, uint8_t* block) { return NdxEncodePage(page, layout, block); },
      [](const NdxPage& a, const NdxPage& b) {
        return a.branch == b.branch && index_fuzz::SameEntries(a.entries, b.entries);
      });
}

void ExerciseFile(std::string_view input) {
  index_fuzz::OpenInputFile<XBobjNDXFile>(WorkDir(), "F.ndx", input, [&](XBobjNDXFile& ndx) {
    if (ndx.Tag()) index_fuzz::WalkAndSearch(*ndx.Tag(), input, true);
  });
}

std::vector<std::string> Seeds(const std::string& dir) {
  std::vector<std::string> seeds;
  auto table = index_fuzz::SeedTable(dir, 300);
  struct Spec {
    const char* file;
    const char* key;
    bool unique;
  };
  const Spec specs[] = {{"A.ndx", "NAME", false}, {"B.ndx", "AMOUNT", false}, {"C.ndx", "DAY", true}};
  for (const Spec& s : specs) {
    {
      XBobjNDXFile ndx(&table->link, dir + s.file, true, true, fmOpenReadWrite, fmShareExclusive);
      ndx.CreateTag(s.file, s.key, s.unique, true, "");
      const NdxLayout& layout = ndx.Tag()->Layout();
      std::string file = index_fuzz::ReadWhole(dir + s.file);
      std::string prefix = std::string(1, '\0') + (layout.text ? 'C' : 'N') +
                           static_cast<char>(layout.text ? layout.keyLength - 1 : layout.entryLength == 20);
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(ndx.Tag()->RootPosition()) * kNdxBlockSize,
                                           kNdxBlockSize));
    }
    seeds.push_back(std::string(1, '\1') + index_fuzz::ReadWhole(dir + s.file));
  }
  rawindex::RawNdx raw;
  raw.expression = "AMOUNT";
  raw.numeric = true;
  raw.entryLength = 16;
  raw.keysPerLeaf = 3;
  for (int i = 1; i <= 10; ++i) raw.keys.push_back({rawindex::DoubleBytes(i * 10.0), i});
  seeds.push_back(std::string(1, '\1') + rawindex::WriteNdx(raw));
  return seeds;
}

}  // namespace

INDEX_FUZZ_PAGE_OR_FILE_TARGET(Seeds, ExercisePage, ExerciseFile)
