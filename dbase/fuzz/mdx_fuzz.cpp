// Fuzz target of the MDX reader. The first input byte chooses what the rest
// is:
//   0: one page - a key type byte ('C', 'N' or anything else for dates), a
//      key length byte for texts, then the 1024 page bytes (short inputs are
//      padded with zeros). A page that decodes is encoded again and must
//      decode to the same entries.
//   1: a whole index file, opened without its table; every tag is walked
//      both ways (with a step bound) and searched once.
//   2: twelve bytes of a packed decimal: a value that unpacks must pack to
//      the same value again.
// Every input must end in a result or an engine error; anything else is a
// finding.
//
// With DBF_FUZZ_WRITE_SEEDS=<dir> the target writes its seed corpus (files
// the engine made, a file shaped like other programs' files, and their
// pages) into <dir> and ends.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbase/fuzz/fuzz_support.h"
#include "dbase/fuzz/index_fuzz_support.h"
#include "dbase/index/mdx_index.h"
#include "dbase/testing/raw_index_writer.h"
#include "platform/rtl/fileio.h"

namespace {

const std::string& WorkDir() { return fuzz_support::WorkDir("mdx-fuzz"); }

MdxLayout LayoutFrom(uint8_t typeByte, uint8_t lengthByte) {
  MdxLayout layout;
  layout.type = typeByte == 'C' ? 'C' : typeByte == 'N' ? 'N' : 'D';
  layout.keyLength = layout.type == 'C' ? 1 + lengthByte % 250 : layout.type == 'N' ? kMdxPackedLength : 8;
  layout.entryLength = (layout.keyLength + 4 + 3) / 4 * 4;
  layout.maxKeys = (kMdxPageSize - 8) / layout.entryLength - 1;
  return layout;
}

void ExercisePage(std::string_view input) {
  if (input.size() < 2) return;
  MdxLayout layout = LayoutFrom(static_cast<uint8_t>(input[0]), static_cast<uint8_t>(input[1]));
  index_fuzz::CheckRoundTrip<MdxPage, kMdxPageSize>(
      index_fuzz::PageBytes(input, kMdxPageSize),
      [&](const uint8_t* block, MdxPage& page) { MdxDecodePage(block, layout, "F.mdx", page); },
      [&](const MdxPage& page, uint8_t* block) { return MdxEncodePage(page, layout, block); },
      [](const MdxPage& a, const MdxPage& b) {
        return a.branch == b.branch && a.previous == b.previous && index_fuzz::SameEntries(a.entries, b.entries);
      });
}

void ExercisePacked(std::string_view input) {
  std::string bytes(input.substr(0, kMdxPackedLength));
  bytes.resize(kMdxPackedLength, '\0');
  double value = 0;
  if (!MdxUnpackNumber(reinterpret_cast<const uint8_t*>(bytes.data()), value)) return;
  if (!std::isfinite(value)) return;
  double stored = MdxStoredNumber(value);
  if (MdxStoredNumber(stored) != stored) __builtin_trap();
}

void ExerciseFile(std::string_view input) {
  index_fuzz::OpenInputFile<XBobjMDXFile>(WorkDir(), "F.mdx", input, [&](XBobjMDXFile& mdx) {
    for (int i = 0; i < mdx.TagCount(); ++i) {
      try {
        index_fuzz::WalkAndSearch(*mdx.TagAt(i), input, true);
      } catch (const EXbaseError&) {
      }
    }
  });
}

std::vector<std::string> Seeds(const std::string& dir) {
  std::vector<std::string> seeds;
  {
    auto table = index_fuzz::SeedTable(dir, 300, ",25");
    XBobjMDXFile mdx(&table->link, dir + "S.mdx", true, true, fmOpenReadWrite, fmShareExclusive);
    mdx.CreateTag("NAME", "NAME", false, true, "");
    mdx.CreateTag("AMT", "AMOUNT", false, false, "");
    mdx.CreateTag("DAY", "DAY", true, true, "AMOUNT > 0");
    std::string file = index_fuzz::ReadWhole(dir + "S.mdx");
    for (int i = 0; i < mdx.TagCount(); ++i) {
      auto* tag = static_cast<XBobjMDXTag*>(mdx.TagAt(i));
      std::string prefix = std::string(1, '\0') + tag->KeyType() + static_cast<char>(tag->KeyLength() - 1);
      seeds.push_back(prefix + file.substr(static_cast<std::size_t>(tag->RootPosition()) * kMdxBlockSize,
                                           kMdxPageSize));
    }
  }
  seeds.push_back(std::string(1, '\1') + index_fuzz::ReadWhole(dir + "S.mdx"));
  rawindex::RawMdxTag name{"NAME", "NAME", "", 'C', 10, false, false, 4, 0x5A, {}};
  rawindex::RawMdxTag amount{"AMT", "AMOUNT", "", 'N', 12, false, false, 3, 0, {}};
  for (int i = 1; i <= 12; ++i) {
    name.keys.push_back({"N" + std::to_string(10 + i), i});
    amount.keys.push_back({rawindex::PackedInteger(i * 5), i});
  }
  seeds.push_back(std::string(1, '\1') + rawindex::WriteMdx("S", {name, amount}));
  for (double v : {1234.5, -0.001, 0.0, 1e20}) {
    std::string packed(kMdxPackedLength, '\0');
    MdxPackNumber(v, reinterpret_cast<uint8_t*>(packed.data()));
    seeds.push_back(std::string(1, '\2') + packed);
  }
  return seeds;
}

}  // namespace

INDEX_FUZZ_INITIALIZE(Seeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  index_fuzz::RunModes(data, size, [](uint8_t mode, std::string_view input) {
    if (mode == 0)
      ExercisePage(input);
    else if (mode == 2)
      ExercisePacked(input);
    else
      ExerciseFile(input);
  });
  return 0;
}
